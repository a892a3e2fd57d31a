#include "core/apps/CMemo.h"
#include "core/records/NoteRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/core/apps/SystemAppBackup.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/NoteBody.h"
#include "tests/kit/SystemSchemas.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <string>
#include <vector>

using kit::Blob;
using kit::FixtureDb;
using kit::noteBody;

namespace {

constexpr int64_t kApple = 978307200;
const char* kNewDevicePath = "/var/mobile/Applications/group.com.apple.notes/NoteStore.sqlite";
const char* kOldDevicePath = "/var/mobile/Library/Notes/notes.sqlite";

const char* kNewSchema = kit::kNoteStoreSchema;

const char* kOldSchema = kit::kNotesLegacySchema;

std::string uuid(int n) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "6F1C2A9E-0B7D-4C3E-8A1F-%012d", n);
    return buf;
}

void addTitle(FixtureDb& db, int64_t pk, kit::Value noteData, kit::Value date, const std::string& title,
              const std::string& snippet, int64_t marked = 0) {
    db.insert("ZICCLOUDSYNCINGOBJECT",
              {"Z_PK", "Z_ENT", "Z_OPT", "ZMARKEDFORDELETION", "ZNOTEDATA", "ZMODIFICATIONDATE1",
               "ZIDENTIFIER", "ZSNIPPET", "ZSUMMARY", "ZTITLE1"},
              {pk, int64_t(9), int64_t(3), marked, noteData, date, uuid(static_cast<int>(pk)), snippet,
               nullptr, title});
}

void addBody(FixtureDb& db, int64_t pk, int64_t note, const std::string& blob) {
    db.insert("ZICNOTEDATA", {"Z_PK", "Z_ENT", "Z_OPT", "ZNOTE", "ZDATA"},
              {pk, int64_t(8), int64_t(2), note, Blob{blob}});
}

struct Note {
    bool deleted;
    std::string text;
    int64_t date;
};

std::vector<Note> notesOf(const CScanManager& m) {
    std::vector<Note> out;
    for (const NoteRecord* r = m.noteList.first; r; r = r->next)
        out.push_back({r->deleted, r->text, r->date});
    return out;
}

const Note* findText(const std::vector<Note>& notes, const std::string& text) {
    for (const auto& n : notes)
        if (n.text == text) return &n;
    return nullptr;
}

const Note* findContaining(const std::vector<Note>& notes, const std::string& part) {
    for (const auto& n : notes)
        if (n.text.find(part) != std::string::npos) return &n;
    return nullptr;
}

// The whole list is in order: deleted first, then live, each newest first.
void expectOrdered(const std::vector<Note>& notes) {
    bool seenLive = false;
    for (size_t i = 0; i < notes.size(); ++i) {
        if (!notes[i].deleted) {
            seenLive = true;
        } else {
            EXPECT_FALSE(seenLive) << "deleted note after a live one at " << i;
        }
        if (i > 0 && notes[i].deleted == notes[i - 1].deleted) {
            EXPECT_GE(notes[i - 1].date, notes[i].date) << i;
        }
    }
}

} // namespace

// A NoteStore of iOS 9 and later with live notes, deleted notes, an overflowing deleted
// body, a cut title, a note without a body and rows the decoder must refuse.
class NoteStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FixtureDb db(backup.Scratch("NoteStore.sqlite"));
        db.exec(kNewSchema);
        db.exec("BEGIN");
        // Live notes.
        addTitle(db, 1, int64_t(1), 700000000.25, "Groceries", "milk, eggs");
        addBody(db, 1, 1, noteBody("Groceries\nmilk\neggs\nbread"));
        addTitle(db, 2, int64_t(2), int64_t(710000000),
                 "Holiday plans for the summer and a very long title that…", "snippet");
        addBody(db, 2, 2, noteBody("Holiday plans for the summer and a very long title that goes on and on"));
        // Title row whose body does not exist.
        addTitle(db, 3, int64_t(99), 690000000.0, "Bodiless", "only a snippet");
        addTitle(db, 4, int64_t(98), 680000000.0, "Cut without body…", " continues here");
        // Bodies the decoder refuses: 1 to 17 bytes, not gzip, truncated gzip.
        addTitle(db, 5, int64_t(5), 670000000.0, "Short blob", "short snippet");
        addBody(db, 5, 5, std::string("\x1F\x8B\x08\x00\x00", 5));
        addTitle(db, 6, int64_t(6), 660000000.0, "Truncated", "truncated snippet");
        std::string whole = noteBody("Truncated note body text");
        addBody(db, 6, 6, whole.substr(0, whole.size() - 9));
        // Live note marked for deletion (Recently Deleted).
        addTitle(db, 7, int64_t(7), 650000000.0, "Trash", "trash snippet", 1);
        addBody(db, 7, 7, noteBody("Trash\nin the bin"));

        // A note that will be deleted: its body is larger than a page and runs onto an
        // overflow page. Live cells before and after it bound its local part.
        addTitle(db, 10, int64_t(10), 720000000.0, "Big deleted", "big snippet");
        addBody(db, 9, 1, noteBody("spacer one"));
        bigText = "Big deleted\n" + kit::incompressibleText(6000);
        bigBlob = noteBody(bigText);
        addBody(db, 10, 10, bigBlob);
        addBody(db, 11, 1, noteBody("spacer two"));
        // A small deleted note, and a deleted body whose title row stays live elsewhere.
        addTitle(db, 12, int64_t(12), 715000000.0, "Small deleted", "small snippet");
        addBody(db, 12, 12, noteBody("Small deleted\nwith its body"));
        addBody(db, 13, 77, noteBody("Orphan body text without a title"));
        db.exec("COMMIT");

        // A freelist trunk page first, so the freed overflow page becomes a leaf and
        // keeps its bytes.
        db.exec(
            "CREATE TABLE scratch(x BLOB); INSERT INTO scratch VALUES(zeroblob(20000)); DROP TABLE scratch;");
        db.deleteWhere("ZICCLOUDSYNCINGOBJECT", "Z_PK IN (10, 12)");
        db.deleteWhere("ZICNOTEDATA", "Z_PK IN (10, 12, 13)");
        db.close();
        backup.Add(CategoryNotes, kNewDevicePath, "AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite",
                   backup.Scratch("NoteStore.sqlite"));
    }

    std::vector<Note> Run() {
        CScanManager& m = backup.Manager(0x20);
        before = kit::FolderSnapshot::Take(backup.BackupDir());
        CMemo memo(&m);
        ok = memo.Scan();
        return notesOf(m);
    }

    testsupport::SystemAppBackup backup{14};
    std::string bigText, bigBlob;
    kit::FolderSnapshot before;
    bool ok = false;
};

TEST_F(NoteStoreTest, LiveNotesComeBackWithTheirBodies) {
    auto notes = Run();
    ASSERT_TRUE(ok);
    const Note* n = findText(notes, "Groceries\nmilk\neggs\nbread");
    ASSERT_NE(nullptr, n);
    EXPECT_FALSE(n->deleted);
    EXPECT_EQ(700000000 + kApple, n->date); // fraction dropped
    // Whole-second dates are stored as INTEGER and keep their date.
    n = findContaining(notes, "goes on and on");
    ASSERT_NE(nullptr, n) << "title ending in an ellipsis matches its body";
    EXPECT_EQ("Holiday plans for the summer and a very long title that goes on and on", n->text);
    EXPECT_EQ(710000000 + kApple, n->date);
    n = findText(notes, "Trash\nin the bin");
    ASSERT_NE(nullptr, n);
    EXPECT_TRUE(n->deleted) << "marked for deletion";
}

TEST_F(NoteStoreTest, NotesWithoutUsableBodyKeepTitleAndSnippet) {
    auto notes = Run();
    EXPECT_NE(nullptr, findText(notes, "Bodiless\nonly a snippet"));
    EXPECT_NE(nullptr, findText(notes, "Cut without body continues here"));
    EXPECT_NE(nullptr, findText(notes, "Short blob\nshort snippet"));
    EXPECT_NE(nullptr, findText(notes, "Truncated\ntruncated snippet"));
}

TEST_F(NoteStoreTest, DeletedBodyOnOverflowPagesComesBackByteForByte) {
    auto notes = Run();
    const Note* n = findText(notes, bigText);
    ASSERT_NE(nullptr, n) << "deleted note spanning an overflow page was not recovered";
    EXPECT_TRUE(n->deleted);
    EXPECT_EQ(720000000 + kApple, n->date);
    n = findText(notes, "Small deleted\nwith its body");
    ASSERT_NE(nullptr, n);
    EXPECT_TRUE(n->deleted);
    EXPECT_EQ(715000000 + kApple, n->date);
}

TEST_F(NoteStoreTest, DeletedBodyWithoutTitleIsListedFirstWithoutDate) {
    auto notes = Run();
    const Note* n = findText(notes, "Orphan body text without a title");
    ASSERT_NE(nullptr, n);
    EXPECT_TRUE(n->deleted);
    EXPECT_EQ(0, n->date);
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(0, notes.front().date);
    EXPECT_TRUE(notes.front().deleted);
}

TEST_F(NoteStoreTest, ListIsOrderedAndHasNoDuplicates) {
    auto notes = Run();
    // Deleted bodies without a title row head the list with date 0; the rest is in order.
    size_t i = 0;
    while (i < notes.size() && notes[i].deleted && notes[i].date == 0)
        ++i;
    std::vector<Note> rest(notes.begin() + static_cast<long>(i), notes.end());
    expectOrdered(rest);
    for (size_t a = 0; a < notes.size(); ++a)
        for (size_t b = a + 1; b < notes.size(); ++b)
            EXPECT_FALSE(notes[a].text == notes[b].text && notes[a].date == notes[b].date) << notes[a].text;
    // No live note comes back as deleted.
    for (const char* live : {"Groceries\nmilk\neggs\nbread", "Bodiless\nonly a snippet"}) {
        int count = 0;
        for (const auto& n : notes)
            if (n.text == live) {
                ++count;
                EXPECT_FALSE(n.deleted) << live;
            }
        EXPECT_EQ(1, count) << live;
    }
}

TEST_F(NoteStoreTest, BackupFolderIsLeftUnchanged) {
    Run();
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.BackupDir()).DiffFrom(before));
}

// notes.sqlite of iOS 8 and earlier: HTML bodies.
TEST(NotesIos8, LiveAndDeletedNotes) {
    testsupport::SystemAppBackup backup(8);
    {
        FixtureDb db(backup.Scratch("notes.sqlite"));
        db.exec(kOldSchema);
        auto note = [&](int64_t pk, int64_t body, kit::Value created, const std::string& title,
                        const std::string& summary) {
            db.insert("ZNOTE",
                      {"Z_PK", "Z_ENT", "Z_OPT", "ZBODY", "ZCREATIONDATE", "ZMODIFICATIONDATE", "ZTITLE",
                       "ZSUMMARY"},
                      {pk, int64_t(3), int64_t(1), body, created, created, title, summary});
        };
        auto body = [&](int64_t pk, int64_t owner, const std::string& html) {
            db.insert("ZNOTEBODY", {"Z_PK", "Z_ENT", "Z_OPT", "ZOWNER", "ZCONTENT"},
                      {pk, int64_t(2), int64_t(1), owner, html});
        };
        note(1, 1, 400000000.5, "Recipe", "flour");
        note(6, 6, 430000000.0, "Twice", "t"); // two rows with the same text and date
        body(6, 6, "Twice<div>same</div>");
        note(7, 7, 430000000.0, "Twice", "t");
        body(7, 7, "Twice<div>same</div>");
        body(1, 1, "Recipe<div>flour</div><div>water</div>");
        note(2, 2, int64_t(410000000), "Whole second", "integer date"); // INTEGER date
        body(2, 2, "Whole second<div>integer&nbsp;date</div>");
        note(3, 50, 390000000.0, "", "empty title summary"); // empty title, no body
        note(4, 4, 420000000.0, "Gone", "gone summary");
        body(4, 4, "Gone<div>deleted body</div>");
        body(5, 60, "Lost title<div>orphan html body</div>");
        db.deleteWhere("ZNOTE", "Z_PK = 4");
        db.deleteWhere("ZNOTEBODY", "Z_PK IN (4, 5)");
        db.close();
    }
    backup.Add(CategoryNotes, kOldDevicePath, "HomeDomain", "Library/Notes/notes.sqlite",
               backup.Scratch("notes.sqlite"));
    CScanManager& m = backup.Manager(0x20);
    auto before = kit::FolderSnapshot::Take(backup.BackupDir());
    CMemo memo(&m);
    ASSERT_TRUE(memo.Scan());
    auto notes = notesOf(m);

    const Note* n = findText(notes, "Recipe\nflour\nwater\n");
    ASSERT_NE(nullptr, n);
    EXPECT_FALSE(n->deleted);
    EXPECT_EQ(400000000 + kApple, n->date);
    int twice = 0;
    for (const auto& x : notes)
        twice += x.text == "Twice\nsame\n";
    EXPECT_EQ(1, twice);
    n = findText(notes, "Whole second\ninteger date\n");
    ASSERT_NE(nullptr, n);
    EXPECT_EQ(410000000 + kApple, n->date) << "INTEGER creation date keeps its date";
    n = findText(notes, "Gone\ndeleted body\n");
    ASSERT_NE(nullptr, n);
    EXPECT_TRUE(n->deleted);
    EXPECT_EQ(420000000 + kApple, n->date);
    // The empty title must not borrow a deleted body.
    n = findText(notes, "\nempty title summary");
    ASSERT_NE(nullptr, n);
    EXPECT_FALSE(n->deleted);
    n = findText(notes, "Lost title\norphan html body\n");
    ASSERT_NE(nullptr, n);
    EXPECT_TRUE(n->deleted);
    EXPECT_EQ(0, n->date);
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.BackupDir()).DiffFrom(before));
}

// Carved modification dates: REAL and INTEGER alike, 0 rejected, future rejected.
TEST(NotesCarvedDates, RealAndIntegerConvertedZeroAndFutureRejected) {
    testsupport::SystemAppBackup backup(12);
    const int64_t future = static_cast<int64_t>(std::time(nullptr)) - kApple + 10 * 365 * 86400LL;
    {
        FixtureDb db(backup.Scratch("NoteStore.sqlite"));
        db.exec(kNewSchema);
        addTitle(db, 1, int64_t(501), 500000000.5, "Real date", "r");
        addTitle(db, 2, int64_t(502), int64_t(600000000), "Integer date", "i");
        addTitle(db, 3, int64_t(503), int64_t(0), "Zero date", "z");
        addTitle(db, 4, int64_t(504), future, "Future date", "f");
        addTitle(db, 5, int64_t(505), int64_t(-28800), "Earliest date", "e");
        addTitle(db, 6, int64_t(506), int64_t(-28801), "Too early", "t");
        addTitle(db, 7, int64_t(507), 1e300, "Huge float", "h");
        db.exec("DELETE FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK > 0");
        db.close();
    }
    backup.Add(CategoryNotes, kNewDevicePath, "AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite",
               backup.Scratch("NoteStore.sqlite"));
    CScanManager& m = backup.Manager(0x20);
    CMemo memo(&m);
    ASSERT_TRUE(memo.Scan());
    auto notes = notesOf(m);
    struct Expect {
        const char* text;
        bool found;
        int64_t date;
    } table[] = {
        {"Real date\nr", true, 500000000 + kApple},
        {"Integer date\ni", true, 600000000 + kApple},
        {"Zero date\nz", false, 0},
        {"Future date\nf", false, 0},
        {"Earliest date\ne", true, 978278400},
        {"Too early\nt", false, 0},
        {"Huge float\nh", false, 0},
    };
    for (const auto& e : table) {
        SCOPED_TRACE(e.text);
        const Note* n = findText(notes, e.text);
        EXPECT_EQ(e.found, n != nullptr);
        if (n && e.found) {
            EXPECT_TRUE(n->deleted);
            EXPECT_EQ(e.date, n->date);
        }
    }
}

// Damaged and unexpected input: a soft failure, no crash, nothing written.
TEST(NotesBadInput, SoftFailures) {
    struct Case {
        const char* name;
        std::string sql; // schema and rows; empty for the raw-bytes cases
        std::string raw; // file content when not a database
        bool scanOk;
    } cases[] = {
        {"no tables", "CREATE TABLE other(x);", "", true},
        {"missing columns",
         "CREATE TABLE ZICCLOUDSYNCINGOBJECT (Z_PK INTEGER PRIMARY KEY, ZNOTEDATA INTEGER);"
         "CREATE TABLE ZICNOTEDATA (Z_PK INTEGER PRIMARY KEY, ZNOTE INTEGER);"
         "INSERT INTO ZICCLOUDSYNCINGOBJECT VALUES(1, 1); INSERT INTO ZICNOTEDATA VALUES(1, 1);",
         "", true},
        {"wrong types and NULLs",
         std::string(kNewSchema) +
             "INSERT INTO ZICCLOUDSYNCINGOBJECT VALUES(1, NULL, NULL, 'x', 1, 'yesterday', NULL, 7, X'00', "
             "5);"
             "INSERT INTO ZICCLOUDSYNCINGOBJECT VALUES(2, NULL, NULL, NULL, 2, NULL, NULL, NULL, NULL, NULL);"
             "INSERT INTO ZICNOTEDATA VALUES(1, NULL, NULL, 1, 'text not blob');"
             "INSERT INTO ZICNOTEDATA VALUES(2, NULL, NULL, 2, NULL);"
             "INSERT INTO ZICNOTEDATA VALUES(3, NULL, NULL, 'x', X'1F8B0800');",
         "", true},
        {"zero-byte file", "", std::string(), false},
        {"garbage", "", std::string(8192, '\xA5'), false},
        {"header only", "", std::string("SQLite format 3\0", 16) + std::string(84, '\0'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::SystemAppBackup backup(14);
        if (!c.sql.empty()) {
            FixtureDb db(backup.Scratch("NoteStore.sqlite"));
            db.exec(c.sql);
            db.close();
            backup.Add(CategoryNotes, kNewDevicePath, "AppDomainGroup-group.com.apple.notes",
                       "NoteStore.sqlite", backup.Scratch("NoteStore.sqlite"));
        } else {
            backup.AddBytes(CategoryNotes, kNewDevicePath, "AppDomainGroup-group.com.apple.notes",
                            "NoteStore.sqlite", c.raw);
        }
        CScanManager& m = backup.Manager(0x20);
        auto before = kit::FolderSnapshot::Take(backup.BackupDir());
        CMemo memo(&m);
        EXPECT_EQ(c.scanOk, memo.Scan());
        for (const NoteRecord* r = m.noteList.first; r; r = r->next)
            EXPECT_FALSE(r->text.empty());
        EXPECT_EQ("", kit::FolderSnapshot::Take(backup.BackupDir()).DiffFrom(before));
    }
}

TEST(NotesBadInput, TruncatedDatabaseKeepsGoing) {
    testsupport::SystemAppBackup backup(14);
    {
        FixtureDb db(backup.Scratch("full.sqlite"));
        db.exec(kNewSchema);
        for (int i = 1; i <= 60; ++i) {
            addTitle(db, i, int64_t(i), 600000000.0 + i, "Title " + std::to_string(i), "s");
            addBody(db, i, i,
                    noteBody("Title " + std::to_string(i) + "\n" + kit::incompressibleText(300, i)));
        }
        db.exec("DELETE FROM ZICNOTEDATA WHERE Z_PK % 3 = 0");
        db.close();
    }
    std::ifstream in(backup.Scratch("full.sqlite"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 3u * 4096u);
    backup.AddBytes(CategoryNotes, kNewDevicePath, "AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite",
                    bytes.substr(0, bytes.size() / 2 + 100));
    CScanManager& m = backup.Manager(0x20);
    CMemo memo(&m);
    memo.Scan(); // whatever the result: no crash, no hang
    SUCCEED();
}

TEST(NotesScan, FailsWithoutOwnerParserOrStoredFile) {
    CMemo ownerless(nullptr);
    EXPECT_FALSE(ownerless.Scan());

    CScanManager noParser(0x20, "/tmp/", "/tmp/", 14, nullptr, nullptr);
    CMemo memo(&noParser);
    EXPECT_FALSE(memo.Scan());

    testsupport::SystemAppBackup backup(14); // no notes database in it
    CScanManager& m = backup.Manager(0x20);
    auto before = kit::FolderSnapshot::Take(backup.BackupDir());
    CMemo missing(&m);
    EXPECT_FALSE(missing.Scan());
    EXPECT_EQ(0, m.noteList.count);
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.BackupDir()).DiffFrom(before));

    CScanManager cancelled(0x20, "/tmp/", "/tmp/", 14, nullptr, &backup.files);
    cancelled.Stop(false);
    CMemo stopped(&cancelled);
    EXPECT_FALSE(stopped.Scan());
}
