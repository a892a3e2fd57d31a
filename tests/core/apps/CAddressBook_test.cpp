// Contacts parser: phone rows, names, e-mails, photos and the search table, live and
// deleted, for both search-table generations; splitting of search phone texts; the
// names the Messages parser takes from the contact list; damaged databases.
#include "core/apps/CAddressBook.h"
#include "core/apps/CSMS.h"
#include "core/records/ContactRecord.h"
#include "core/records/SmsConversationRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/core/apps/SystemParserSupport.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/RecordDamage.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/kit/SystemSchemas.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <sys/stat.h>

using namespace systest;

namespace {

constexpr const char* kBookRelative = "Library/AddressBook/AddressBook.sqlitedb";
constexpr const char* kImagesRelative = "Library/AddressBook/AddressBookImages.sqlitedb";

constexpr const char* kBookSchema = kit::kAddressBookSchema;

// Search table of the older generation (phone c15, e-mail c16) and the newer one
// (phone c16, e-mail c17), shaped as the full-text index stores its content.
constexpr const char* kSearchOld = kit::kAddressBookSearchOldSchema;
constexpr const char* kSearchNew = kit::kAddressBookSearchNewSchema;

std::string guid36(int n) {
    char b[40];
    std::snprintf(b, sizeof b, "%08X-AAAA-4BBB-8CCC-%012X", n, n * 31);
    return b;
}

class BookDb {
  public:
    BookDb(const fs::path& path, bool newSearch) : db(path), newSearch(newSearch) {
        db.exec(kBookSchema);
        db.exec(newSearch ? kSearchNew : kSearchOld);
    }

    int64_t Person(std::optional<std::string> first, std::optional<std::string> last,
                   std::optional<std::string> organization) {
        auto v = [](const std::optional<std::string>& s) -> kit::Value {
            if (s) return *s;
            return nullptr;
        };
        ++n;
        return db.insert(
            "ABPerson", {"First", "Last", "Organization", "Kind", "CreationDate", "ModificationDate", "guid"},
            {v(first), v(last), v(organization), int64_t(0), int64_t(600000000 + n), int64_t(600000000 + n),
             guid36(n)});
    }
    int64_t Value(int64_t person, int property, const std::string& value) {
        ++n;
        return db.insert("ABMultiValue", {"record_id", "property", "identifier", "label", "value", "guid"},
                         {person, int64_t(property), int64_t(0), int64_t(1), value, guid36(1000 + n)});
    }
    int64_t Search(int64_t docid, const std::string& first, const std::string& last, const std::string& org,
                   const std::string& phones, const std::string& email) {
        return db.insert("ABPersonFullTextSearch_content",
                         {"docid", "c0First", "c1Last", "c6Organization", newSearch ? "c16Phone" : "c15Phone",
                          newSearch ? "c17Email" : "c16Email"},
                         {docid, first, last, org, phones, email});
    }

    kit::FixtureDb db;
    bool newSearch;
    int n = 0;
};

struct Contact {
    bool deleted;
    std::string phone, name, email, imagePath;
};

std::vector<Contact> contactsOf(const CScanManager& mgr) {
    std::vector<Contact> out;
    for (const ContactRecord* c = mgr.contactList.first; c; c = c->next)
        out.push_back({c->deleted, c->phone, c->name, c->email, c->imagePath});
    EXPECT_EQ(static_cast<int>(out.size()), mgr.contactList.count);
    bool seenLive = false;
    for (const Contact& c : out) {
        if (!c.deleted) {
            seenLive = true;
        } else {
            EXPECT_FALSE(seenLive) << "deleted contact " << c.phone << " after a live one";
        }
    }
    return out;
}

const Contact* findContact(const std::vector<Contact>& list, const std::string& phone) {
    const Contact* found = nullptr;
    for (const Contact& c : list) {
        if (c.phone != phone) continue;
        EXPECT_EQ(nullptr, found) << "two contacts for " << phone;
        found = &c;
    }
    return found;
}

class ContactsTest : public ::testing::TestWithParam<bool> {
  protected:
    fs::path BookPath() const { return tmp.path() / "fixture" / "AddressBook.sqlitedb"; }
    fs::path ImagesPath() const { return tmp.path() / "fixture" / "AddressBookImages.sqlitedb"; }
    fs::path BackupRoot() const { return tmp.path() / "backup"; }
    fs::path OutRoot() const { return tmp.path() / "out"; }

    bool Run(bool withImages = true, bool withBook = true, std::optional<std::string> outDir = std::nullopt) {
        backup = std::make_unique<TestBackup>(BackupRoot());
        if (withBook) backup->Add(CategoryAddressBook, kBookRelative, BookPath());
        if (withImages) backup->Add(CategoryAddressBook, kImagesRelative, ImagesPath());
        backup->builder.Finish();
        fs::create_directories(OutRoot());
        auto before = kit::FolderSnapshot::Take(BackupRoot());
        std::string out = outDir ? *outDir : OutRoot().string();
        mgr = std::make_unique<CScanManager>(ScanContacts, out.c_str(), BackupRoot().c_str(), 10, nullptr,
                                             &backup->parser);
        bool ok = CAddressBook(mgr.get()).Scan();
        EXPECT_EQ("", kit::FolderSnapshot::Take(BackupRoot()).DiffFrom(before));
        return ok;
    }

    void MakeImages(const std::vector<std::pair<int64_t, std::string>>& rows) {
        kit::FixtureDb img(ImagesPath());
        img.exec(kit::kAddressBookImagesSchema);
        for (auto& [id, bytes] : rows)
            img.insert("ABFullSizeImage", {"record_id", "data"}, {id, kit::Blob{bytes}});
    }

    kit::ScratchFolder tmp{"sysparser"};
    std::unique_ptr<TestBackup> backup;
    std::unique_ptr<CScanManager> mgr;
};

const std::string kJpegA = std::string("\xff\xd8\xff\xe0\x00\x10JFIF\x00photo-a\x00\x01\x02", 21);
const std::string kJpegB = std::string("\xff\xd8\xff\xe0\x00\x10JFIF\x00photo-b-longer\xff\xd9", 27);

} // namespace

TEST_P(ContactsTest, LiveAndDeletedContacts) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), GetParam());
        int64_t zhang = b.Person("San", "Zhang", std::nullopt);
        int64_t acme = b.Person(std::nullopt, std::nullopt, "Acme Corp");
        int64_t li = b.Person("Si", "Li", std::nullopt);
        b.Value(zhang, 3, "+86 138-0013-8000");
        b.Value(zhang, 3, "010-6552-1234");
        b.Value(zhang, 4, "zhang@example.com");
        int64_t zhangGone = b.Value(zhang, 3, "186 1111 2222"); // deleted number of a live person
        int64_t zhangTwin = b.Value(zhang, 3, "13800138000");   // deleted twin of a live row
        b.Value(acme, 3, "+1 (555) 010-9999");
        int64_t liPhone = b.Value(li, 3, "139 0000 1111");
        int64_t liMail = b.Value(li, 4, "li@example.com");
        b.Search(zhang, "San", "Zhang", "", "+86 138 0013 8000 13800138000 010 6552 1234",
                 "zhang@example.com");
        b.Search(acme, "", "", "Acme Corp", "+1 (555) 010-9999", "");
        b.Search(li, "Si", "Li", "", "139 0000 1111 13900001111", "li@example.com");
        b.Search(90, "Wu", "Wang", "", "+86 177 0000 3333", "wang@example.com"); // only in the search table
        b.db.deleteWhere("ABMultiValue", "UID IN (" + std::to_string(zhangGone) + "," +
                                             std::to_string(zhangTwin) + "," + std::to_string(liPhone) + "," +
                                             std::to_string(liMail) + ")");
        b.db.deleteWhere("ABPerson", "ROWID = " + std::to_string(li));
        b.db.deleteWhere("ABPersonFullTextSearch_content", "docid IN (" + std::to_string(li) + ",90)");
    }
    MakeImages({{1, kJpegA}, {9, kJpegB}});
    ASSERT_TRUE(Run());
    auto list = contactsOf(*mgr);

    // Live contacts: one per number, named by the person or else the organization.
    const Contact* z1 = findContact(list, "13800138000");
    ASSERT_NE(nullptr, z1);
    EXPECT_FALSE(z1->deleted);
    EXPECT_EQ("ZhangSan", z1->name);
    EXPECT_EQ("zhang@example.com", z1->email);
    const Contact* z2 = findContact(list, "01065521234");
    ASSERT_NE(nullptr, z2);
    EXPECT_FALSE(z2->deleted);
    EXPECT_EQ("ZhangSan", z2->name);
    EXPECT_EQ("zhang@example.com", z2->email);
    EXPECT_EQ(z1->imagePath, z2->imagePath);
    const Contact* acmeC = findContact(list, "15550109999");
    ASSERT_NE(nullptr, acmeC);
    EXPECT_FALSE(acmeC->deleted);
    EXPECT_EQ("Acme Corp", acmeC->name);
    EXPECT_EQ("", acmeC->imagePath);

    // Deleted: a number of a live person (named by it), a deleted person's number
    // (named by its deleted search row or person row), and a number only a deleted
    // search row still holds.
    const Contact* zGone = findContact(list, "18611112222");
    ASSERT_NE(nullptr, zGone);
    EXPECT_TRUE(zGone->deleted);
    EXPECT_EQ("ZhangSan", zGone->name);
    const Contact* liC = findContact(list, "13900001111");
    ASSERT_NE(nullptr, liC);
    EXPECT_TRUE(liC->deleted);
    EXPECT_EQ("LiSi", liC->name);
    EXPECT_EQ("li@example.com", liC->email);
    const Contact* wang = findContact(list, "17700003333");
    ASSERT_NE(nullptr, wang);
    EXPECT_TRUE(wang->deleted);
    EXPECT_EQ("WangWu", wang->name);
    EXPECT_EQ("wang@example.com", wang->email);
    EXPECT_EQ(6u, list.size());

    // Photos: every row of the photo table lands under the output folder, none elsewhere.
    fs::path folder = OutRoot() / "contact";
    EXPECT_EQ(kJpegA, readFile(folder / "1.jpg"));
    EXPECT_EQ(kJpegB, readFile(folder / "9.jpg"));
    EXPECT_EQ((folder / "1.jpg").string(), z1->imagePath);
    size_t files = 0;
    for (auto& e : fs::recursive_directory_iterator(OutRoot()))
        files += e.is_regular_file();
    EXPECT_EQ(2u, files);
}

// One damaged record in the phone table (read sorted, under a condition) and one in the
// person table: every other number is a live contact (the person whose record is
// damaged keeps the number, without a name), and both lost rows are noted for the user.
TEST_P(ContactsTest, DamagedRecordsCostOnlyTheirRows) {
    fs::create_directories(tmp.path() / "fixture");
    std::vector<int64_t> phoneRows;
    {
        BookDb b(BookPath(), GetParam());
        for (int i = 1; i <= 30; ++i) {
            const std::string first = "First" + std::to_string(i), last = "Last" + std::to_string(i);
            const std::string phone = "1380000" + std::to_string(1000 + i);
            const int64_t person = b.Person(first, last, std::nullopt);
            phoneRows.push_back(b.Value(person, 3, phone));
            b.Value(person, 4, "p" + std::to_string(i) + "@example.com");
            b.Search(person, first, last, "", phone, "");
        }
    }
    MakeImages({});
    ASSERT_TRUE(kit::RecordDamage::DamageRecord(BookPath(), "ABMultiValue", phoneRows[9]));
    ASSERT_TRUE(kit::RecordDamage::DamageRecord(BookPath(), "ABPerson", 20));
    ASSERT_TRUE(Run());
    std::set<std::string> live;
    for (const Contact& c : contactsOf(*mgr)) {
        if (c.deleted) continue;
        live.insert(c.phone);
        if (c.phone == "13800001021") EXPECT_EQ("Last21First21", c.name);
    }
    EXPECT_EQ(29u, live.size());
    EXPECT_EQ(0u, live.count("13800001010"));
    EXPECT_EQ(1u, live.count("13800001020"));
    int64_t lost = 0;
    for (const ScanLoss& loss : mgr->losses) {
        EXPECT_EQ(uint32_t(ScanContacts), loss.dataType);
        EXPECT_EQ(ScanLoss::Kind::UnreadableRows, loss.kind);
        lost += loss.count;
    }
    EXPECT_EQ(2u, mgr->losses.size());
    EXPECT_EQ(2, lost);
}

// A damaged record in the photos database costs that photo only; the log names the
// stored file and its table (the file was read through its descriptor, whose name SQLite
// gave as a bare number).
TEST_P(ContactsTest, ADamagedPhotoRecordIsNotedWithItsFile) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), GetParam());
        for (int i = 1; i <= 30; ++i)
            b.Person("First" + std::to_string(i), "Last" + std::to_string(i), std::nullopt);
    }
    std::vector<std::pair<int64_t, std::string>> photos;
    for (int64_t i = 1; i <= 30; ++i)
        photos.push_back({i, kJpegA + std::string(size_t(200 + i), char('a' + i % 26))});
    MakeImages(photos);
    ASSERT_TRUE(kit::RecordDamage::DamageRecord(ImagesPath(), "ABFullSizeImage", 15));
    ASSERT_TRUE(Run());
    ASSERT_EQ(1u, mgr->losses.size());
    EXPECT_EQ(1, mgr->losses[0].count);
    EXPECT_TRUE(std::regex_match(mgr->losses[0].what, std::regex("[0-9a-f]{40}, table ABFullSizeImage")))
        << mgr->losses[0].what;
}

// Numbers written with parentheses or dots: the deleted search rows that hold them are
// recovered like those written with spaces and dashes.
TEST_P(ContactsTest, DeletedSearchRowsWithParenthesesAndDots) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), GetParam());
        int64_t keep = b.Person("Live", "Person", std::nullopt);
        b.Value(keep, 3, "13800138000");
        b.Search(keep, "Live", "Person", "", "13800138000", "");
        b.Search(91, "Ann", "Parens", "", "(415) 555-0100", "ann@example.com");
        b.Search(92, "Dot", "Ted", "", "415.555.0101", "");
        b.Search(93, "Both", "Kinds", "", "+1 (415) 555.0102", "");
        b.Search(94, "Keep", "Me", "", "13900001111", "");
        b.db.deleteWhere("ABPersonFullTextSearch_content", "docid IN (91,92,93)");
    }
    MakeImages({});
    ASSERT_TRUE(Run());
    auto list = contactsOf(*mgr);
    struct Want {
        const char* phone;
        const char* name;
    } wants[] = {{"4155550100", "ParensAnn"}, {"4155550101", "TedDot"}, {"14155550102", "KindsBoth"}};
    for (const Want& w : wants) {
        const Contact* c = findContact(list, w.phone);
        ASSERT_NE(nullptr, c) << w.phone;
        EXPECT_TRUE(c->deleted);
        EXPECT_EQ(w.name, c->name);
    }
}

INSTANTIATE_TEST_SUITE_P(SearchGenerations, ContactsTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "PhoneC16" : "PhoneC15"; });

TEST_F(ContactsTest, NoPhoneRowsMeansNoContactsButPhotosAreWritten) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), true);
        int64_t p = b.Person("A", "B", std::nullopt);
        b.Value(p, 4, "ab@example.com");
        b.Search(p, "A", "B", "", "", "ab@example.com");
    }
    MakeImages({{5, kJpegA}});
    ASSERT_TRUE(Run());
    EXPECT_EQ(0, mgr->contactList.count);
    EXPECT_EQ(kJpegA, readFile(OutRoot() / "contact" / "5.jpg"));
}

// Photos go below the output folder only: an output folder that is the backup itself
// (or lies inside it), an empty one, or one that cannot be made gives contacts without
// photos, and the backup stays byte-identical (checked by Run).
TEST_F(ContactsTest, PhotosNeverLandInTheBackup) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), true);
        int64_t p = b.Person("San", "Zhang", std::nullopt);
        b.Value(p, 3, "13800138000");
    }
    MakeImages({{1, kJpegA}});
    fs::create_directories(tmp.path() / "blocker");
    writeFile(tmp.path() / "blocker" / "file", "x");
    const std::vector<std::pair<const char*, std::string>> outs = {
        {"backup root", BackupRoot().string()},
        {"inside the backup", (BackupRoot() / "sub").string()},
        {"backup root through a dot", (BackupRoot() / "." / "").string()},
        {"empty", ""},
        {"a file", (tmp.path() / "blocker" / "file").string()},
    };
    for (auto& [what, out] : outs) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(Run(true, true, out));
        auto list = contactsOf(*mgr);
        ASSERT_EQ(1u, list.size());
        EXPECT_EQ("ZhangSan", list[0].name);
        EXPECT_EQ("", list[0].imagePath);
    }
    EXPECT_FALSE(fs::exists(BackupRoot() / "contact"));
    EXPECT_FALSE(fs::exists(BackupRoot() / "sub"));
}

TEST_F(ContactsTest, MissingPhotoDatabase) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), false);
        b.Value(b.Person("San", "Zhang", std::nullopt), 3, "13800138000");
    }
    ASSERT_TRUE(Run(false));
    auto list = contactsOf(*mgr);
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ("", list[0].imagePath);
    EXPECT_FALSE(fs::exists(OutRoot() / "contact"));
}

TEST_F(ContactsTest, MissingBookOpensNothing) {
    fs::create_directories(tmp.path() / "fixture");
    MakeImages({{1, kJpegA}});
    EXPECT_FALSE(Run(true, false));
    EXPECT_EQ(0, mgr->contactList.count);
    EXPECT_FALSE(fs::exists(OutRoot() / "contact"));
}

TEST_F(ContactsTest, BadInput) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        std::optional<bool> scanResult;
    };
    auto bigBook = [](const fs::path& p) {
        BookDb b(p, true);
        b.db.exec("BEGIN");
        for (int i = 0; i < 300; ++i) {
            int64_t id = b.Person("First" + std::to_string(i), "Last", std::nullopt);
            b.Value(id, 3, "1380000" + std::to_string(1000 + i));
            b.Search(id, "First" + std::to_string(i), "Last", "", "138 0000 " + std::to_string(1000 + i), "");
        }
        b.db.exec("COMMIT");
        b.db.deleteWhere("ABMultiValue", "UID % 4 = 0");
        b.db.deleteWhere("ABPersonFullTextSearch_content", "docid % 5 = 0");
    };
    std::vector<Case> cases = {
        {"zero bytes", [](const fs::path& p) { writeFile(p, ""); }, false},
        {"not a database", [](const fs::path& p) { writeFile(p, noise(20000, 3)); }, false},
        {"truncated",
         [&](const fs::path& p) {
             bigBook(p);
             writeFile(p, readFile(p).substr(0, 6 * 4096 + 77));
         },
         std::nullopt},
        {"garbage pages",
         [&](const fs::path& p) {
             bigBook(p);
             std::string bytes = readFile(p);
             for (size_t off = 4096; off + 4096 <= bytes.size(); off += 2 * 4096)
                 bytes.replace(off, 4096, noise(4096, static_cast<uint32_t>(off)));
             writeFile(p, bytes);
         },
         std::nullopt},
        {"no tables",
         [](const fs::path& p) {
             kit::FixtureDb f(p);
             f.exec("CREATE TABLE other (a);");
         },
         true},
        {"tables without their columns",
         [](const fs::path& p) {
             kit::FixtureDb f(p);
             f.exec("CREATE TABLE ABMultiValue (UID INTEGER PRIMARY KEY, number TEXT);"
                    "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, Name TEXT);"
                    "CREATE TABLE ABPersonFullTextSearch_content (docid INTEGER PRIMARY KEY, c0First);");
             f.insert("ABMultiValue", {"number"}, {std::string("13800138000")});
             f.insert("ABPerson", {"Name"}, {std::string("x")});
             f.insert("ABPersonFullTextSearch_content", {"c0First"}, {std::string("x")});
             f.deleteWhere("ABMultiValue", "1");
         },
         true},
        {"wrong types and nulls",
         [](const fs::path& p) {
             BookDb b(p, false);
             const std::vector<std::string> cols = {"record_id", "property", "value"};
             b.db.insert("ABMultiValue", cols, {std::string("x"), int64_t(3), std::string("13800138000")});
             b.db.insert("ABMultiValue", cols,
                         {int64_t(1), std::string("three"), std::string("13800138000")});
             b.db.insert("ABMultiValue", cols, {int64_t(0), int64_t(3), std::string("13800138000")});
             b.db.insert("ABMultiValue", cols, {int64_t(1), int64_t(3), std::string("no digits")});
             b.db.insert("ABMultiValue", cols, {nullptr, nullptr, nullptr});
             b.db.insert("ABPerson", {"First", "Last", "Organization"},
                         {int64_t(1), kit::Blob{"x"}, nullptr});
             b.db.insert("ABPersonFullTextSearch_content", {"c0First", "c15Phone"}, {nullptr, int64_t(5)});
             b.db.insert("ABPersonFullTextSearch_content", {"c0First", "c15Phone"}, {nullptr, nullptr});
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(tmp.path() / "fixture");
        fs::remove_all(BackupRoot());
        fs::create_directories(tmp.path() / "fixture");
        c.make(BookPath());
        MakeImages({});
        bool ok = Run();
        if (c.scanResult) {
            EXPECT_EQ(*c.scanResult, ok);
        }
        auto list = contactsOf(*mgr);
        for (const Contact& k : list)
            EXPECT_FALSE(k.phone.empty());
        if (c.scanResult == true) {
            EXPECT_EQ(0u, list.size());
        }
        mgr.reset();
    }
}

TEST_F(ContactsTest, DamagedPhotoDatabase) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), true);
        b.Value(b.Person("San", "Zhang", std::nullopt), 3, "13800138000");
    }
    for (const std::string& bytes : {std::string(), noise(9000, 11)}) {
        writeFile(ImagesPath(), bytes);
        ASSERT_TRUE(Run());
        EXPECT_EQ(1, mgr->contactList.count);
        EXPECT_EQ("", mgr->contactList.first->imagePath);
    }
    {
        kit::FixtureDb img(ImagesPath());
        img.exec("CREATE TABLE ABFullSizeImage (record_id INTEGER, data BLOB);");
        img.insert("ABFullSizeImage", {"record_id", "data"}, {int64_t(1), nullptr});
        img.insert("ABFullSizeImage", {"record_id", "data"}, {int64_t(1), std::string("text, not a blob")});
        img.insert("ABFullSizeImage", {"record_id", "data"}, {std::string("one"), kit::Blob{kJpegA}});
        img.insert("ABFullSizeImage", {"record_id", "data"}, {int64_t(0), kit::Blob{kJpegA}});
        img.insert("ABFullSizeImage", {"record_id", "data"}, {int64_t(1), kit::Blob{""}});
    }
    ASSERT_TRUE(Run());
    EXPECT_EQ("", mgr->contactList.first->imagePath);
    EXPECT_FALSE(fs::exists(OutRoot() / "contact" / "1.jpg"));
    EXPECT_FALSE(fs::exists(OutRoot() / "contact" / "0.jpg"));
}

TEST(SplitPhoneNumbers, Table) {
    CScanManager mgr(ScanContacts, "", "", 10, nullptr, nullptr);
    CAddressBook parser(&mgr);
    std::string longDigits;
    for (int i = 0; i < 40; ++i)
        longDigits += "1234567890";
    struct Case {
        std::string text;
        std::vector<std::string> expected;
    } cases[] = {
        {"138 0013 8000", {"13800138000"}}, // groups join into one number
        {"(010) 6552-1234", {"01065521234"}},
        {"555 1234", {"555", "1234"}}, // 555 stays a piece of its own
        {"559 12", {"559", "12"}},
        {"+8613800138000 13800138000", {"13800138000"}}, // with and without the prefix
        {"13800138000 +8613800138000", {"13800138000"}},
        {"13800138000 8613800138000", {"13800138000"}},
        {"+86 138 0013 8000 13800138000", {"13800138000"}},
        {"13800138000 15551234567", {"13800138000", "15551234567"}},
        {"+1 (555) 010-9999", {"15550109999"}},
        {"1234567 +89", {"1234567", "89"}}, // a '+' piece is not joined
        {"12345678901 2345", {"12345678901", "2345"}},
        {"", {}},
        {"   ", {}},
        {"abc def", {}},
        {"138  0013", {"1380013"}}, // an empty piece between spaces
        {longDigits, {longDigits}}, // no length limit
        {longDigits + " " + longDigits, {longDigits}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> out = {"stale"};
        int n = splitPhoneNumbers(&parser, c.text.c_str(), out);
        EXPECT_EQ(c.expected, out) << "'" << c.text << "'";
        EXPECT_EQ(static_cast<int>(c.expected.size()), n);
    }
    std::vector<std::string> out;
    EXPECT_EQ(0, splitPhoneNumbers(&parser, nullptr, out));
    EXPECT_EQ(0, splitPhoneNumbers(nullptr, "13800138000", out));
    mgr.Stop(false);
    EXPECT_EQ(0, splitPhoneNumbers(&parser, "13800138000", out));
    EXPECT_TRUE(out.empty());
}

// A whole run of the two parsers in scan order: the Messages parser names numbers from
// the contacts just read, deleted contacts included.
TEST_F(ContactsTest, MessagesTakeNamesFromContacts) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), true);
        int64_t zhang = b.Person("San", "Zhang", std::nullopt);
        b.Value(zhang, 3, "+86 138 0013 8000");
        int64_t gone = b.Value(zhang, 3, "139 0000 1111");
        b.db.deleteWhere("ABMultiValue", "UID = " + std::to_string(gone));
    }
    fs::path sms = tmp.path() / "fixture" / "sms.db";
    {
        kit::FixtureDb db(sms);
        db.exec("CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, "
                "country TEXT, service TEXT NOT NULL, uncanonicalized_id TEXT);"
                "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
                "text TEXT, handle_id INTEGER DEFAULT 0, date INTEGER, is_from_me INTEGER DEFAULT 0);");
        db.insert("handle", {"id", "country", "service"},
                  {std::string("+8613800138000"), std::string("cn"), std::string("SMS")});
        db.insert("handle", {"id", "country", "service"},
                  {std::string("13900001111"), std::string("cn"), std::string("SMS")});
        db.insert("handle", {"id", "country", "service"},
                  {std::string("15550000000"), std::string("us"), std::string("SMS")});
        db.insert("message", {"guid", "text", "handle_id", "date"},
                  {std::string("a"), std::string("hi"), int64_t(1), int64_t(600000000)});
        db.insert("message", {"guid", "text", "handle_id", "date"},
                  {std::string("b"), std::string("yo"), int64_t(2), int64_t(600000001)});
        db.insert("message", {"guid", "text", "handle_id", "date"},
                  {std::string("c"), std::string("hey"), int64_t(3), int64_t(600000002)});
    }
    MakeImages({});
    backup = std::make_unique<TestBackup>(BackupRoot());
    backup->Add(CategoryAddressBook, kBookRelative, BookPath());
    backup->Add(CategorySms, "Library/SMS/sms.db", sms);
    backup->builder.Finish();
    auto before = kit::FolderSnapshot::Take(BackupRoot());
    CScanManager m(ScanSms, OutRoot().c_str(), BackupRoot().c_str(), 10, nullptr, &backup->parser);
    ASSERT_TRUE(CAddressBook(&m).Scan());
    ASSERT_TRUE(CSMS(&m).Scan());
    EXPECT_EQ("", kit::FolderSnapshot::Take(BackupRoot()).DiffFrom(before));
    std::map<std::string, std::string> names;
    for (const SmsConversationRecord* c = m.smsList.first; c; c = c->next)
        names[c->address] = c->contactName;
    EXPECT_EQ("ZhangSan", names["13800138000"]);
    EXPECT_EQ("ZhangSan", names["13900001111"]); // from a deleted phone row of a live person
    EXPECT_EQ("", names["15550000000"]);
    EXPECT_EQ(3u, names.size());
}

// A deleted person whose row kept its rowid names its deleted numbers even without a
// search row (the carver's rowid serves as the person's record id).
TEST_F(ContactsTest, DeletedPersonNamesItsDeletedNumbers) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), true);
        int64_t keep = b.Person("Keep", "Me", std::nullopt);
        int64_t gone = b.Person("Wu", "Zhao", "Zhao Trading");
        int64_t lower = b.Person("Lower", "Cell", std::nullopt); // inserted later: stored below
        b.Person("Bottom", "Cell", std::nullopt);                // keeps both off the free gap
        b.Value(keep, 3, "13800000001");
        int64_t number = b.Value(gone, 3, "13800000003");
        // SQLite writes a free-block header over the first bytes of a deleted cell; the
        // cell just above a free block joins that block and keeps its own header.
        b.db.deleteWhere("ABPerson", "ROWID = " + std::to_string(lower));
        b.db.deleteWhere("ABPerson", "ROWID = " + std::to_string(gone));
        b.db.deleteWhere("ABMultiValue", "UID = " + std::to_string(number));
        (void)keep;
    }
    MakeImages({});
    ASSERT_TRUE(Run());
    auto list = contactsOf(*mgr);
    const Contact* c = findContact(list, "13800000003");
    ASSERT_NE(nullptr, c);
    EXPECT_TRUE(c->deleted);
    EXPECT_EQ("ZhaoWu", c->name);
    EXPECT_FALSE(findContact(list, "13800000001")->deleted);
}

// Deleted rows read from a wrong offset give number pieces ("087", "1996") and names run
// into a row's other columns. A deleted number must be spelt and sized as a phone
// number (or be a short code a live row holds), a deleted search row's name must read as
// a name, and a nameless deleted number that is a piece of a longer one is no contact.
// Real numbers, short codes of live rows and deleted people stay.
TEST_P(ContactsTest, PiecesOfNumbersAndMisreadNamesAreNoContacts) {
    fs::create_directories(tmp.path() / "fixture");
    {
        BookDb b(BookPath(), GetParam());
        const int64_t live = b.Person("Live", "Person", std::nullopt);
        b.Value(live, 3, "+1 (415) 555-0123");
        b.Value(live, 3, "110");
        const int64_t carrier = b.Person(std::nullopt, std::nullopt, "Carrier");
        b.Search(carrier, "", "", "Carrier", "10086", ""); // its number only in the search table
        b.Search(live, "Live", "Person", "", "+1 (415) 555-0123 14155550123 110", "");
        const int64_t gone = b.Person("Ann", "Gone", std::nullopt);
        std::string goneValues;
        for (const char* v : {"+86 139 0000 2222", "087", "1996", "ACC-ABP-000735", "10086", "95588"})
            goneValues += (goneValues.empty() ? "" : ",") + std::to_string(b.Value(gone, 3, v));
        b.Search(91, "Old", "Friend", "", "620 0777", "");
        b.Search(92, "", "", "", "1996", "");
        b.Search(93, "", "", "", "5550123", "");
        b.Search(94, "ACC-ABP-000735 met at the fair", "ylent Co", "", "+1 415 555 0199", "");
        b.Search(95, "", "", "", "0871", "");
        b.db.deleteWhere("ABMultiValue", "UID IN (" + goneValues + ")");
        b.db.deleteWhere("ABPersonFullTextSearch_content", "docid IN (91,92,93,94,95)");
    }
    MakeImages({});
    ASSERT_TRUE(Run());
    const auto list = contactsOf(*mgr);
    struct Want {
        const char* phone;
        bool listed, deleted;
        const char* name;
    };
    const Want wants[] = {
        {"14155550123", true, false, "PersonLive"},
        {"110", true, false, "PersonLive"},     // a live short code
        {"13900002222", true, true, "GoneAnn"}, // a deleted person's number
        {"10086", true, true, "GoneAnn"},       // a short code a live row holds
        {"6200777", true, true, "FriendOld"},   // a deleted seven-digit number with a name
        {"087", false, false, ""},              // pieces of other values
        {"1996", false, false, ""},
        {"000735", false, false, ""},
        {"95588", false, false, ""}, // a short code no live row holds
        {"0871", false, false, ""},
        {"5550123", false, false, ""},     // nameless piece of a live number
        {"14155550199", false, false, ""}, // a name run into other columns
    };
    for (const Want& w : wants) {
        SCOPED_TRACE(w.phone);
        const Contact* c = findContact(list, w.phone);
        ASSERT_EQ(w.listed, c != nullptr);
        if (!c) continue;
        EXPECT_EQ(w.deleted, c->deleted);
        EXPECT_EQ(w.name, c->name);
    }
    for (const Contact& c : list)
        EXPECT_EQ(std::string::npos, c.name.find("ACC-ABP")) << c.phone;
}
