// Damaged copies of realistic databases, parser by parser: random bytes overwritten
// (header included or not), the file cut short, one page copied over another. Whatever
// the damage, a parser neither crashes nor hangs, leaves the backup folder as it was and
// keeps its list well-formed with the deleted records first; a damaged Reminders store
// does not keep the next store from being read. One damaged record costs its row alone.
#include "core/apps/CBookMark.h"
#include "core/apps/CCalendar.h"
#include "core/apps/CCallHistory.h"
#include "core/apps/CMemo.h"
#include "core/apps/CReminder.h"
#include "core/apps/CReminderEx.h"
#include "core/backup/BackupFileRecord.h"
#include "core/records/BookmarkRecord.h"
#include "core/records/CalendarRecord.h"
#include "core/records/CallRecord.h"
#include "core/records/NoteRecord.h"
#include "core/records/ReminderRecord.h"
#include "core/records/ScanDataType.h"
#include "tests/core/apps/SystemAppBackup.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/NoteBody.h"
#include "tests/kit/RecordDamage.h"
#include "tests/kit/SystemSchemas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

using kit::Blob;
using kit::FixtureDb;
using kit::Value;

namespace {

constexpr int kPageSize = 4096;
constexpr int kMutationsPerParser = 24;

enum class Parser { Bookmarks, CallHistory, Notes, Calendar, CalendarReminders, ReminderStores };

struct Target {
    const char* name;
    Parser parser;
    int category;
    const char* devicePath;
    // The parser's main table, and a live row in its middle that the parser reads.
    const char* table;
    int64_t rowid;
    uint32_t dataType;
};

const Target kTargets[] = {
    {"Bookmarks", Parser::Bookmarks, CategorySafari, "/var/mobile/Library/Safari/Bookmarks.db", "bookmarks",
     151, ScanBookmarks},
    {"CallHistory", Parser::CallHistory, CategoryCallHistory,
     "/var/mobile/Library/CallHistoryDB/CallHistory.storedata", "ZCALLRECORD", 151, ScanCallHistory},
    {"Notes", Parser::Notes, CategoryNotes, "/var/mobile/Applications/group.com.apple.notes/NoteStore.sqlite",
     "ZICCLOUDSYNCINGOBJECT", 31, ScanNotes},
    {"Calendar", Parser::Calendar, CategoryCalendar, "/var/mobile/Library/Calendar/Calendar.sqlitedb",
     "CalendarItem", 151, ScanCalendar},
    {"CalendarReminders", Parser::CalendarReminders, CategoryCalendarReminders,
     "/var/mobile/Library/Calendar/Calendar.sqlitedb", "CalendarItem", 153, ScanReminders},
    {"ReminderStores", Parser::ReminderStores, 0, "", "ZREMCDOBJECT", 153, ScanReminders},
};

std::string uuid(int n) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "6F1C2A9E-0B7D-4C3E-8A1F-%012d", n);
    return buf;
}

// A database of the parser's schema with a few hundred rows, every other one deleted.
void buildDatabase(const std::filesystem::path& path, Parser parser) {
    FixtureDb db(path, kPageSize);
    db.exec("BEGIN");
    switch (parser) {
    case Parser::Bookmarks:
        db.exec("CREATE TABLE bookmarks (id INTEGER PRIMARY KEY AUTOINCREMENT, special_id INTEGER DEFAULT 0,"
                " parent INTEGER, type INTEGER, title TEXT, url TEXT, num_children INTEGER DEFAULT 0,"
                " editable INTEGER DEFAULT 1, external_uuid TEXT, added INTEGER DEFAULT 1,"
                " deleted INTEGER DEFAULT 0)");
        for (int i = 1; i <= 300; ++i)
            db.insert("bookmarks", {"type", "title", "url", "num_children", "external_uuid"},
                      {int64_t(0), "Page " + std::to_string(i), "https://site.example/" + std::to_string(i),
                       int64_t(0), uuid(i)});
        db.exec("DELETE FROM bookmarks WHERE id % 2 = 0");
        break;
    case Parser::CallHistory:
        db.exec("CREATE TABLE ZCALLRECORD (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
                " ZANSWERED INTEGER, ZCALLTYPE INTEGER, ZORIGINATED INTEGER, ZREAD INTEGER, ZDATE TIMESTAMP,"
                " ZDURATION FLOAT, ZUNIQUE_ID VARCHAR, ZADDRESS VARCHAR)");
        for (int i = 1; i <= 300; ++i)
            db.insert("ZCALLRECORD",
                      {"Z_ENT", "Z_OPT", "ZANSWERED", "ZCALLTYPE", "ZORIGINATED", "ZREAD", "ZDATE",
                       "ZDURATION", "ZUNIQUE_ID", "ZADDRESS"},
                      {int64_t(2), int64_t(1), int64_t(1), int64_t(1), int64_t(i % 2), int64_t(1),
                       600000000.5 + i * 1000, double(i), uuid(i),
                       "+86 139 " + std::to_string(10000000 + i)});
        db.exec("DELETE FROM ZCALLRECORD WHERE Z_PK % 2 = 0");
        break;
    case Parser::Notes:
        db.exec("CREATE TABLE ZICCLOUDSYNCINGOBJECT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
                " ZMARKEDFORDELETION INTEGER, ZNOTEDATA INTEGER, ZMODIFICATIONDATE1 TIMESTAMP,"
                " ZIDENTIFIER VARCHAR, ZSNIPPET VARCHAR, ZSUMMARY VARCHAR, ZTITLE1 VARCHAR);"
                "CREATE TABLE ZICNOTEDATA (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
                " ZNOTE INTEGER, ZDATA BLOB);");
        for (int i = 1; i <= 60; ++i) {
            const std::string title = "Note " + std::to_string(i);
            db.insert("ZICCLOUDSYNCINGOBJECT",
                      {"Z_PK", "Z_ENT", "Z_OPT", "ZMARKEDFORDELETION", "ZNOTEDATA", "ZMODIFICATIONDATE1",
                       "ZIDENTIFIER", "ZSNIPPET", "ZTITLE1"},
                      {int64_t(i), int64_t(9), int64_t(1), int64_t(0), int64_t(i), 600000000.0 + i, uuid(i),
                       std::string("snippet"), title});
            // Bodies of growing size, the larger ones running onto overflow pages.
            db.insert("ZICNOTEDATA", {"Z_PK", "Z_ENT", "Z_OPT", "ZNOTE", "ZDATA"},
                      {int64_t(i), int64_t(8), int64_t(1), int64_t(i),
                       Blob{kit::noteBody(title + "\n" + kit::incompressibleText(i * 80, i))}});
        }
        db.exec("DELETE FROM ZICNOTEDATA WHERE Z_PK % 2 = 0; DELETE FROM ZICCLOUDSYNCINGOBJECT WHERE Z_PK % "
                "3 = 0");
        break;
    case Parser::Calendar:
    case Parser::CalendarReminders:
        kit::createCalendarSchema(db);
        for (int i = 1; i <= 6; ++i) {
            db.insert("Location", {"title"}, {"Place " + std::to_string(i)});
            db.insert("Calendar", {"title", "flags"}, {"List " + std::to_string(i), int64_t(2304)});
        }
        for (int i = 1; i <= 300; ++i) {
            const int64_t row = db.insert(
                "CalendarItem",
                {"summary", "location_id", "description", "start_date", "end_date", "calendar_id", "UUID",
                 "entity_type", "priority", "completion_date"},
                {"Item " + std::to_string(i), int64_t(i % 6 + 1), "about " + std::to_string(i),
                 600000000.0 + i, 600003600.0 + i, int64_t(i % 6 + 1), uuid(i), int64_t(i % 3 ? 2 : 3),
                 int64_t(i % 10), i % 2 ? Value(600100000.0) : Value(nullptr)});
            if (i % 50 == 0)
                db.insert("Alarm", {"location_id", "calendaritem_owner_id"}, {int64_t(i / 50), row});
        }
        db.exec("DELETE FROM CalendarItem WHERE ROWID % 2 = 0");
        break;
    case Parser::ReminderStores:
        db.exec("CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER,"
                " Z_MAX INTEGER);"
                "INSERT INTO Z_PRIMARYKEY VALUES(22,'REMCDReminder',5,0),(11,'REMCDAlarm',5,0),"
                "(14,'REMCDAlarmLocationTrigger',5,0);"
                "CREATE TABLE ZREMCDOBJECT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
                " ZMARKEDFORDELETION INTEGER, ZREMINDER INTEGER, ZTRIGGER INTEGER, ZPRIORITY INTEGER,"
                " ZCREATIONDATE TIMESTAMP, ZCOMPLETIONDATE TIMESTAMP, ZDUEDATE TIMESTAMP, ZTITLE1 VARCHAR,"
                " ZNOTES VARCHAR, ZADDRESS VARCHAR, ZDACALENDARITEMUNIQUEIDENTIFIER VARCHAR);");
        // Triples of reminder, location trigger and the alarm that links them.
        for (int i = 1; i <= 100; ++i) {
            const int64_t pk = 3 * i;
            db.insert("ZREMCDOBJECT",
                      {"Z_PK", "Z_ENT", "Z_OPT", "ZMARKEDFORDELETION", "ZPRIORITY", "ZCREATIONDATE",
                       "ZCOMPLETIONDATE", "ZDUEDATE", "ZTITLE1", "ZNOTES", "ZDACALENDARITEMUNIQUEIDENTIFIER"},
                      {pk, int64_t(22), int64_t(1), int64_t(0), int64_t(i % 10), int64_t(600000000 + i),
                       i % 2 ? Value(int64_t(600000500)) : Value(nullptr), 600086400.5 + i,
                       "Reminder " + std::to_string(i), std::string("notes"), uuid(i)});
            db.insert("ZREMCDOBJECT", {"Z_PK", "Z_ENT", "Z_OPT", "ZADDRESS"},
                      {pk + 1, int64_t(14), int64_t(1), "Street " + std::to_string(i)});
            db.insert("ZREMCDOBJECT", {"Z_PK", "Z_ENT", "Z_OPT", "ZREMINDER", "ZTRIGGER"},
                      {pk + 2, int64_t(11), int64_t(1), pk, pk + 1});
        }
        db.exec("DELETE FROM ZREMCDOBJECT WHERE Z_PK % 6 = 0");
        break;
    }
    db.exec("COMMIT");
    db.close();
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// One kind of damage, chosen and shaped by the generator.
std::string damage(const std::string& base, std::mt19937& rng) {
    std::string bytes = base;
    switch (rng() % 4) {
    case 0: // random bytes anywhere, the file header included
        for (int n = 1 + int(rng() % 200); n > 0; --n)
            bytes[rng() % bytes.size()] = char(rng());
        break;
    case 1: // cut short
        bytes.resize(100 + rng() % (bytes.size() - 100));
        break;
    case 2: // a few bytes behind the file header
        for (int n = 1 + int(rng() % 40); n > 0; --n)
            bytes[100 + rng() % (bytes.size() - 100)] = char(rng());
        break;
    default: { // one page copied over another (a b-tree page where a different one belongs)
        const size_t pages = bytes.size() / kPageSize;
        const size_t from = 1 + rng() % (pages - 1), to = 1 + rng() % (pages - 1);
        bytes.replace(to * kPageSize, kPageSize, base.substr(from * kPageSize, kPageSize));
        break;
    }
    }
    return bytes;
}

// The list's links and count agree and no deleted record follows a live one.
template <class T> void expectWellFormed(const RecordList<T>& list) {
    int n = 0;
    bool live = false;
    const T* prev = nullptr;
    for (const T* r = list.first; r; r = r->next, ++n) {
        EXPECT_EQ(prev, r->prev);
        if (!r->deleted)
            live = true;
        else
            EXPECT_FALSE(live) << "deleted record after a live one at " << n;
        prev = r;
    }
    EXPECT_EQ(prev, list.last);
    EXPECT_EQ(n, list.count);
}

// Runs the parser with `stored` as its database (for the Reminders stores: `stored`,
// then every name of `thenStores`) under a new scan manager kept in `holder`.
CScanManager& runParser(const Target& t, const testsupport::SystemAppBackup& backup,
                        const std::string& stored, const std::vector<std::string>& thenStores,
                        kit::DevicePathManifest& files, std::unique_ptr<CScanManager>& holder) {
    files.Add(t.category, t.devicePath, stored);
    files.stores = {stored};
    files.stores.insert(files.stores.end(), thenStores.begin(), thenStores.end());
    const std::string backupDir = backup.BackupDir().string() + "/";
    const std::string outputDir = (backup.dir / "output").string() + "/";
    holder = std::make_unique<CScanManager>(0x7F, outputDir.c_str(), backupDir.c_str(), 14, nullptr, &files);
    CScanManager& m = *holder;
    switch (t.parser) {
    case Parser::Bookmarks:
        CBookMark(&m).Scan();
        break;
    case Parser::CallHistory:
        CCallHistory(&m).Scan();
        break;
    case Parser::Notes:
        CMemo(&m).Scan();
        break;
    case Parser::Calendar:
        CCalendar(&m).Scan();
        break;
    case Parser::CalendarReminders:
        CReminder(&m).Scan();
        break;
    case Parser::ReminderStores:
        CReminderEx(&m).Scan();
        break;
    }
    return m;
}

std::set<std::string> reminderTitles(const CScanManager& m) {
    std::set<std::string> titles;
    for (const ReminderRecord* r = m.reminderList.first; r; r = r->next)
        titles.insert(r->title);
    return titles;
}

// A stored path of the backup for the n-th file of the test.
std::string storedPath(int n) {
    char name[41];
    std::snprintf(name, sizeof name, "%040x", 0xd0000 + n);
    return backupStoredPath(name, 14);
}

void writeStored(const testsupport::SystemAppBackup& backup, const std::string& stored,
                 const std::string& bytes) {
    const std::filesystem::path p = backup.BackupDir() / stored;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

class SystemParserDamage : public ::testing::TestWithParam<Target> {};

} // namespace

TEST_P(SystemParserDamage, DamagedDatabasesFailSoftly) {
    const Target& t = GetParam();
    testsupport::SystemAppBackup backup(14);
    buildDatabase(backup.Scratch("base.db"), t.parser);
    const std::string base = readFile(backup.Scratch("base.db"));
    ASSERT_GE(base.size(), size_t(4 * kPageSize));

    const std::string intact = storedPath(0);
    writeStored(backup, intact, base);
    kit::DevicePathManifest files;
    std::unique_ptr<CScanManager> holder;
    const std::set<std::string> intactTitles =
        reminderTitles(runParser(t, backup, intact, {}, files, holder));
    if (t.parser == Parser::ReminderStores) {
        ASSERT_GT(intactTitles.size(), 50u);
    }

    std::mt19937 rng(static_cast<unsigned>(t.parser) + 1);
    for (int i = 1; i <= kMutationsPerParser; ++i) {
        SCOPED_TRACE("damaged copy " + std::to_string(i));
        const std::string stored = storedPath(i);
        writeStored(backup, stored, damage(base, rng));
        const auto before = kit::FolderSnapshot::Take(backup.BackupDir());
        const CScanManager& m = runParser(t, backup, stored, {intact}, files, holder);
        EXPECT_EQ("", kit::FolderSnapshot::Take(backup.BackupDir()).DiffFrom(before));
        expectWellFormed(m.bookmarkList);
        expectWellFormed(m.callList);
        expectWellFormed(m.noteList);
        expectWellFormed(m.calendarList);
        expectWellFormed(m.reminderList);
        if (t.parser == Parser::ReminderStores) {
            // The intact store read after the damaged one still gives every reminder.
            const std::set<std::string> titles = reminderTitles(m);
            for (const std::string& title : intactTitles)
                EXPECT_EQ(1u, titles.count(title)) << title;
        }
    }
}

namespace {

int liveRecords(const CScanManager& m) {
    int n = 0;
    auto count = [&n](const auto& list) {
        for (const auto* r = list.first; r; r = r->next)
            n += r->deleted ? 0 : 1;
    };
    count(m.bookmarkList);
    count(m.callList);
    count(m.noteList);
    count(m.calendarList);
    count(m.reminderList);
    return n;
}

// The parser's database built and read intact once (its live records counted), then
// read again as the bytes a case gives.
struct IntactThenDamaged {
    const Target& t;
    testsupport::SystemAppBackup backup{14};
    std::filesystem::path base = backup.Scratch("base.db");
    kit::DevicePathManifest files;
    std::unique_ptr<CScanManager> holder;
    int live = 0;

    explicit IntactThenDamaged(const Target& target) : t(target) {
        buildDatabase(base, t.parser);
        writeStored(backup, storedPath(0), readFile(base));
        live = liveRecords(runParser(t, backup, storedPath(0), {}, files, holder));
    }
    const CScanManager& Read(const std::string& bytes) {
        writeStored(backup, storedPath(1), bytes);
        return runParser(t, backup, storedPath(1), {}, files, holder);
    }
};

} // namespace

// One damaged record in the middle of the parser's main table (each parser reads it with
// its own query, sorted or not): that record alone is missing, and the loss is noted
// once, under the parser's data type.
TEST_P(SystemParserDamage, OneDamagedRecordCostsOnlyItsRow) {
    const Target& t = GetParam();
    IntactThenDamaged f(t);
    ASSERT_GT(f.live, 10);
    EXPECT_TRUE(f.holder->losses.empty());

    ASSERT_TRUE(kit::RecordDamage::DamageRecord(f.base, t.table, t.rowid));
    const CScanManager& m = f.Read(readFile(f.base));
    EXPECT_EQ(f.live - 1, liveRecords(m));
    ASSERT_EQ(1u, m.losses.size());
    EXPECT_EQ(t.dataType, m.losses[0].dataType);
    EXPECT_EQ(ScanLoss::Kind::UnreadableRows, m.losses[0].kind);
    EXPECT_EQ(1, m.losses[0].count);
}

// A database cut short (a backup made while the file was written, or a file that shrank
// while it was read): what is missing is told under the parser's data type, never an app
// that silently looks empty.
TEST_P(SystemParserDamage, ADatabaseCutShortIsTold) {
    const Target& t = GetParam();
    IntactThenDamaged f(t);
    ASSERT_GT(f.live, 10);

    const std::string whole = readFile(f.base);
    const CScanManager& m = f.Read(whole.substr(0, whole.size() / 4));
    EXPECT_LT(liveRecords(m), f.live);
    ASSERT_FALSE(m.losses.empty());
    for (const ScanLoss& loss : m.losses)
        EXPECT_EQ(t.dataType, loss.dataType);
}

INSTANTIATE_TEST_SUITE_P(Parsers, SystemParserDamage, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) {
                             return std::string(info.param.name);
                         });
