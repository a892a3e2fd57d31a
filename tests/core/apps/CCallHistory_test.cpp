#include "core/apps/CCallHistory.h"
#include "core/records/CallRecord.h"
#include "core/records/ContactRecord.h"
#include "core/records/IScanProgress.h"
#include "tests/core/apps/ParserBackupFixture.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/SystemSchemas.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <ctime>
#include <functional>
#include <limits>
#include <random>
#include <tuple>
#include <string>
#include <vector>

using namespace parsertest;
using kit::BackupBuilder;

namespace {

constexpr int64_t kAppleOffset = 978307200;

// Up to iOS 8: WirelessDomain, table "call", Unix dates.
const char* const kLegacyDomain = "WirelessDomain";
const char* const kLegacyRelative = "Library/CallHistory/call_history.db";
const char* const kLegacySchema = kit::kCallHistoryLegacySchema;

// From iOS 9: HomeDomain, Core Data table "ZCALLRECORD", Apple dates.
const char* const kModernDomain = "HomeDomain";
const char* const kModernRelative = "Library/CallHistoryDB/CallHistory.storedata";
const char* const kModernSchema = kit::kCallHistorySchema;

int64_t now() {
    return static_cast<int64_t>(std::time(nullptr));
}

int64_t addLegacy(kit::FixtureDb& db, kit::Value address, kit::Value date, kit::Value duration,
                  kit::Value flags) {
    return db.insert("call", {"address", "date", "duration", "flags", "id", "read", "country_code"},
                     {address, date, duration, flags, int64_t(-1), int64_t(1), std::string("us")});
}

int64_t addModern(kit::FixtureDb& db, kit::Value originated, kit::Value date, kit::Value duration,
                  kit::Value address) {
    static int unique = 0;
    char uid[40];
    std::snprintf(uid, sizeof uid, "3F2504E0-4F89-11D3-9A0C-%012d", ++unique);
    return db.insert("ZCALLRECORD",
                     {"Z_ENT", "Z_OPT", "ZANSWERED", "ZCALLTYPE", "ZORIGINATED", "ZREAD", "ZDATE",
                      "ZDURATION", "ZISO_COUNTRY_CODE", "ZUNIQUE_ID", "ZADDRESS"},
                     {int64_t(2), int64_t(1), int64_t(1), int64_t(1), originated, int64_t(1), date, duration,
                      std::string("cn"), std::string(uid), address});
}

void addContact(CScanManager& owner, const std::string& phone, const std::string& name) {
    auto c = std::make_unique<ContactRecord>();
    c->phone = phone;
    c->name = name;
    owner.contactList.append(std::move(c));
}

struct Call {
    bool deleted;
    bool outgoing;
    std::string number;
    std::string name;
    int64_t date;
    int64_t duration;
    bool operator==(const Call&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Call& c) {
    return os << (c.deleted ? "deleted " : "live ") << (c.outgoing ? "out " : "in ") << c.number << " '"
              << c.name << "' @" << c.date << " " << c.duration << "s";
}

std::vector<Call> callsOf(const RecordList<CallRecord>& list) {
    std::vector<Call> out;
    for (const CallRecord* r = list.first; r; r = r->next)
        out.push_back({r->deleted, r->outgoing, r->number, r->name, r->date, r->duration});
    return out;
}

struct ScanRun {
    bool result = false;
    std::unique_ptr<CScanManager> owner;
    std::string folderDiff;
};

ScanRun runOn(TestBackup& backup, const std::function<void(CScanManager&)>& prepare = nullptr) {
    backup.Finish();
    auto before = kit::FolderSnapshot::Take(backup.builder.root());
    ScanRun run;
    run.owner = backup.Manager(ScanCallHistory | ScanContacts);
    if (prepare) prepare(*run.owner);
    {
        CCallHistory parser(run.owner.get());
        run.result = parser.Scan();
    }
    run.folderDiff = kit::FolderSnapshot::Take(backup.builder.root()).DiffFrom(before);
    return run;
}

void withContacts(CScanManager& owner) {
    addContact(owner, "13800138000", "Alice");
    addContact(owner, "13900001111", "Bob");
}

} // namespace

// Up to iOS 8: "call_history.db", table "call".
TEST(CallHistoryLegacy, LiveAndDeletedCallsNamedAndOrdered) {
    TestBackup backup(BackupBuilder::Generation::Mbdb, "8.4.1");
    const fs::path src = backup.dir / "src.db";
    {
        kit::FixtureDb db(src);
        db.exec(kLegacySchema);
        addLegacy(db, std::string("+86 138-0013-8000"), int64_t(1600000000), int64_t(65), int64_t(5));
        addLegacy(db, std::string("(555) 010-2000"), int64_t(1600001000), int64_t(10), int64_t(4));
        addLegacy(db, std::string("Unknown"), int64_t(1600002000), int64_t(3), int64_t(4)); // a name, kept
        addLegacy(db, std::string("5550103000"), int64_t(1600002500), nullptr, int64_t(4)); // NULL duration
        addLegacy(db, std::string("5550104000"), int64_t(1600003000), int64_t(0),
                  int64_t(0)); // flags 0: incoming
        addLegacy(db, std::string("(555) 010-2000"), int64_t(1600001000), int64_t(10),
                  int64_t(4));                                                                 // same call
        addLegacy(db, kit::Blob{"555-010-6000"}, int64_t(1600000500), int64_t(7), int64_t(5)); // blob address
        // Deleted below (rowid 100 on).
        db.exec("UPDATE sqlite_sequence SET seq = 99 WHERE name = 'call'");
        addLegacy(db, std::string("5550105000"), int64_t(1500000000), int64_t(30), int64_t(5));
        addLegacy(db, std::string("+86 13800138000"), int64_t(1400000000), int64_t(12), int64_t(4));
        addLegacy(db, std::string("+86 138 0013 8000"), int64_t(1600000000), int64_t(99),
                  int64_t(5));                                                                  // = live
        addLegacy(db, std::string("5550107000"), now() + 30 * 86400, int64_t(5), int64_t(4));   // future
        addLegacy(db, std::string("5550108000"), int64_t(978278399), int64_t(5), int64_t(4));   // too early
        addLegacy(db, std::string("5550109000"), int64_t(978278400), int64_t(5), int64_t(4));   // earliest
        addLegacy(db, std::string("5550105000"), int64_t(1500000000), int64_t(30), int64_t(5)); // twice
        addLegacy(db, std::string("5550110000"), int64_t(1450000000), int64_t(-4),
                  int64_t(4)); // bad duration
        db.deleteWhere("call", "ROWID >= 100");
    }
    backup.AddDb(CategoryCallHistory, kLegacyDomain, kLegacyRelative, src);
    ScanRun run = runOn(backup, withContacts);

    ASSERT_TRUE(run.result);
    EXPECT_EQ("", run.folderDiff);
    const std::vector<Call> expected = {
        {true, true, "5550105000", "", 1500000000, 30}, {true, false, "13800138000", "Alice", 1400000000, 12},
        {true, false, "5550109000", "", 978278400, 5},  {false, false, "5550104000", "", 1600003000, 0},
        {false, false, "Unknown", "", 1600002000, 3},   {false, false, "5550102000", "", 1600001000, 10},
        {false, true, "5550106000", "", 1600000500, 7}, {false, true, "13800138000", "Alice", 1600000000, 65},
    };
    EXPECT_EQ(expected, callsOf(run.owner->callList));
    EXPECT_EQ(static_cast<int>(expected.size()), run.owner->callList.count);
    EXPECT_EQ(run.owner->callList.last->prev->next, run.owner->callList.last);
}

// From iOS 9: "CallHistory.storedata", table "ZCALLRECORD"; both manifest generations.
class CallHistoryModern : public ::testing::TestWithParam<std::pair<BackupBuilder::Generation, const char*>> {
};

TEST_P(CallHistoryModern, LiveAndDeletedCallsNamedAndOrdered) {
    TestBackup backup(GetParam().first, GetParam().second);
    const fs::path src = backup.dir / "src.db";
    {
        kit::FixtureDb db(src);
        db.exec(kModernSchema);
        addModern(db, int64_t(1), 700000000.75, 42.9, std::string("+86 139 0000 1111"));
        // A whole-second date is stored as INTEGER in a TIMESTAMP column and must be kept.
        addModern(db, int64_t(0), int64_t(700001000), 5.0, std::string("555 000 2222"));
        addModern(db, int64_t(0), 0.0, 1.0, std::string("5550003333"));       // date 0 stays 0
        addModern(db, int64_t(2), -5.5, 1.0, std::string("5550004444"));      // negative stays as is
        addModern(db, int64_t(0), 699999000.0, 3.0, kit::Blob{"5550001111"}); // blob address
        addModern(db, std::string("yes"), 699990000.0, 3.0, std::string("5550005555")); // wrong type
        addModern(db, int64_t(0), 1e300, 3.0, std::string("5550006666"));               // not a date
        addModern(db, int64_t(0), int64_t(std::numeric_limits<int64_t>::max()), 3.0,
                  std::string("5550007777"));
        addModern(db, int64_t(0), 699980000.0, 1e300, std::string("5550008888")); // not a duration
        addModern(db, int64_t(1), 699970000.0, 60.0,
                  std::string(" Li.Huang@Example.com")); // FaceTime by e-mail
        // Deleted below.
        const int64_t firstDeleted =
            addModern(db, int64_t(0), 690000000.5, 20.0, std::string("+86 139-0000-1111")); // float date
        addModern(db, int64_t(1), int64_t(690001000), 21.0, std::string("5550009999"));     // integer date
        addModern(db, int64_t(1), 700000000.25, 1.0, std::string("13900001111"));           // = live call
        addModern(db, int64_t(0), static_cast<double>(now() - kAppleOffset + 30 * 86400), 2.0,
                  std::string("5550010000"));                             // future
        addModern(db, int64_t(0), 1e300, 2.0, std::string("5550011000")); // not a date
        addModern(db, int64_t(0), int64_t(std::numeric_limits<int64_t>::max()), 2.0,
                  std::string("5550012000"));
        addModern(db, int64_t(0), 690002000.0, -3.0, std::string("5550013000")); // negative duration
        addModern(db, int64_t(0), 690003000.0, 9.0, std::string("friend24@example.org"));
        db.deleteWhere("ZCALLRECORD", "Z_PK >= " + std::to_string(firstDeleted));
    }
    backup.AddDb(CategoryCallHistory, kModernDomain, kModernRelative, src);
    ScanRun run = runOn(backup, withContacts);

    ASSERT_TRUE(run.result);
    EXPECT_EQ("", run.folderDiff);
    const std::vector<Call> expected = {
        {true, false, "friend24@example.org", "", 690003000 + kAppleOffset, 9},
        {true, true, "5550009999", "", 690001000 + kAppleOffset, 21},
        {true, false, "13900001111", "Bob", 690000000 + kAppleOffset, 20},
        {false, false, "5550002222", "", 700001000 + kAppleOffset, 5},
        {false, true, "13900001111", "Bob", 700000000 + kAppleOffset, 42},
        {false, false, "5550001111", "", 699999000 + kAppleOffset, 3},
        {false, true, "li.huang@example.com", "", 699970000 + kAppleOffset, 60},
        {false, false, "5550003333", "", 0, 1},
        {false, true, "5550004444", "", -5, 1},
    };
    EXPECT_EQ(expected, callsOf(run.owner->callList));
}

// Misaligned candidates of the newer table (rows of other tables, read from a wrong
// offset) are told apart from deleted calls: a call's unique id has the UUID shape and
// its date lies after 2001-01-02.
TEST_P(CallHistoryModern, JunkIsNotADeletedCall) {
    TestBackup backup(GetParam().first, GetParam().second);
    const fs::path src = backup.dir / "src.db";
    {
        kit::FixtureDb db(src);
        db.exec(kModernSchema);
        auto add = [&](const std::string& uid, kit::Value date, const std::string& address) {
            return db.insert("ZCALLRECORD",
                             {"Z_ENT", "Z_OPT", "ZANSWERED", "ZCALLTYPE", "ZORIGINATED", "ZREAD", "ZDATE",
                              "ZDURATION", "ZISO_COUNTRY_CODE", "ZUNIQUE_ID", "ZADDRESS"},
                             {int64_t(2), int64_t(1), int64_t(1), int64_t(1), int64_t(0), int64_t(1), date,
                              5.0, std::string("us"), uid, address});
        };
        add("3F2504E0-4F89-11D3-9A0C-000000000001", 700000000.0, "5550000001"); // live
        const int64_t first = add("3F2504E0-4F89-11D3-9A0C-000000000002", 690000000.0, "5550000002");
        add("not-a-uuid-but-thirty-six-chars-long", 690000100.0, "5550000003");
        add("3F2504E04F8911D39A0C0000000000000004", 690000200.0, "5550000004");    // no hyphens
        add("3F2504E0-4F89-11D3-9A0C-000000000005", int64_t(2), "5550000005");     // 2001-01-01 00:00:02
        add("3F2504E0-4F89-11D3-9A0C-000000000006", int64_t(86400), "5550000006"); // 2001-01-02 00:00:00
        add("3F2504E0-4F89-11D3-9A0C-000000000007", int64_t(86401), "5550000007");
        db.deleteWhere("ZCALLRECORD", "Z_PK >= " + std::to_string(first));
    }
    backup.AddDb(CategoryCallHistory, kModernDomain, kModernRelative, src);
    ScanRun run = runOn(backup);
    ASSERT_TRUE(run.result);
    std::vector<std::string> deleted;
    for (const Call& c : callsOf(run.owner->callList))
        if (c.deleted) deleted.push_back(c.number);
    EXPECT_EQ((std::vector<std::string>{"5550000002", "5550000007"}), deleted);
}

INSTANTIATE_TEST_SUITE_P(Generations, CallHistoryModern,
                         ::testing::Values(std::make_pair(BackupBuilder::Generation::Mbdb, "9.3.5"),
                                           std::make_pair(BackupBuilder::Generation::ManifestDb, "14.2")));

// The generation follows the backup's iOS version, not what happens to be there.
TEST(CallHistory, ChoosesTheDatabaseByIosVersion) {
    TestBackup backup(BackupBuilder::Generation::Mbdb, "8.4.1");
    const fs::path legacy = backup.dir / "legacy.db";
    const fs::path modern = backup.dir / "modern.db";
    {
        kit::FixtureDb db(legacy);
        db.exec(kLegacySchema);
        addLegacy(db, std::string("5551110000"), int64_t(1600000000), int64_t(1), int64_t(4));
    }
    {
        kit::FixtureDb db(modern);
        db.exec(kModernSchema);
        addModern(db, int64_t(0), 700000000.0, 1.0, std::string("5552220000"));
    }
    backup.AddDb(CategoryCallHistory, kLegacyDomain, kLegacyRelative, legacy);
    backup.AddDb(CategoryCallHistory, kModernDomain, kModernRelative, modern);
    backup.Finish();

    for (int version : {8, 9, 17}) {
        std::string root = backup.builder.root().string() + "/";
        CScanManager owner(ScanCallHistory, (backup.dir / "out").c_str(), root.c_str(), version, nullptr,
                           &backup.manifest);
        CCallHistory parser(&owner);
        ASSERT_TRUE(parser.Scan()) << version;
        ASSERT_EQ(1, owner.callList.count) << version;
        EXPECT_EQ(version < 9 ? "5551110000" : "5552220000", owner.callList.first->number) << version;
    }
}

TEST(CallHistory, RunsThatFindNothingFailWithoutTouchingTheList) {
    TestBackup backup(BackupBuilder::Generation::ManifestDb, "14.2");
    ScanRun run = runOn(backup);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(1, backup.manifest.lookups);
    EXPECT_EQ(0, run.owner->callList.count);
    EXPECT_EQ("", run.folderDiff);

    CCallHistory orphan(nullptr);
    EXPECT_FALSE(orphan.Scan());

    auto cancelled = backup.Manager(ScanCallHistory);
    cancelled->cancelled = true;
    CCallHistory parser(cancelled.get());
    EXPECT_FALSE(parser.Scan());
    EXPECT_EQ(1, backup.manifest.lookups);
}

TEST(CallListInsertAt, Positions) {
    struct Case {
        int32_t position;
        bool inserted;
        std::vector<int64_t> dates; // the list afterwards, by date
    };
    const std::vector<Case> cases = {
        {-1, false, {1, 2, 3}},  {0, true, {9, 1, 2, 3}}, {1, true, {1, 9, 2, 3}},
        {3, true, {1, 2, 3, 9}}, {4, false, {1, 2, 3}},
    };
    for (const Case& c : cases) {
        RecordList<CallRecord> list;
        for (int64_t d : {1, 2, 3}) {
            auto r = std::make_unique<CallRecord>();
            r->date = d;
            list.append(std::move(r));
        }
        auto r = std::make_unique<CallRecord>();
        r->date = 9;
        EXPECT_EQ(c.inserted, callListInsertAt(list, std::move(r), c.position)) << c.position;
        std::vector<int64_t> dates;
        for (const CallRecord* x = list.first; x; x = x->next)
            dates.push_back(x->date);
        EXPECT_EQ(c.dates, dates) << c.position;
        EXPECT_EQ(static_cast<int32_t>(c.dates.size()), list.count) << c.position;
        std::vector<int64_t> back;
        for (const CallRecord* x = list.last; x; x = x->prev)
            back.insert(back.begin(), x->date);
        EXPECT_EQ(c.dates, back) << c.position;
    }
}

// Damaged or unexpected databases of either generation.
struct BadCallInput {
    const char* name;
    std::function<std::string(const fs::path& dir, bool modern)> bytes;
    int expectResult;                    // 1 true, 0 false, -1 either
    std::vector<std::string> expectLive; // numbers of the live calls, newest first (when result is known)
};

std::string fixtureBytes(const fs::path& dir, const std::function<void(kit::FixtureDb&)>& fill) {
    const fs::path p = dir / "bad-src.db";
    {
        kit::FixtureDb db(p);
        fill(db);
    }
    return readAll(p);
}

std::string goodCalls(const fs::path& dir, bool modern) {
    return fixtureBytes(dir, [modern](kit::FixtureDb& db) {
        db.exec(modern ? kModernSchema : kLegacySchema);
        for (int i = 0; i < 300; ++i) {
            std::string number = "555" + std::to_string(1000000 + i);
            if (modern)
                addModern(db, int64_t(i % 2), 600000000.0 + i, 1.0 * i, number);
            else
                addLegacy(db, number, int64_t(1500000000 + i), int64_t(i), int64_t(4 + i % 2));
        }
        db.exec(modern ? "DELETE FROM ZCALLRECORD WHERE Z_PK % 3 = 0"
                       : "DELETE FROM call WHERE ROWID % 3 = 0");
    });
}

class CallHistoryBadInput : public ::testing::TestWithParam<std::tuple<BadCallInput, bool>> {};

TEST_P(CallHistoryBadInput, FailsSoftlyAndLeavesTheBackupAlone) {
    const BadCallInput& c = std::get<0>(GetParam());
    const bool modern = std::get<1>(GetParam());
    TestBackup backup(modern ? BackupBuilder::Generation::ManifestDb : BackupBuilder::Generation::Mbdb,
                      modern ? "14.2" : "8.4.1");
    backup.AddBytes(CategoryCallHistory, modern ? kModernDomain : kLegacyDomain,
                    modern ? kModernRelative : kLegacyRelative, c.bytes(backup.dir, modern));
    ScanRun run = runOn(backup);
    if (c.expectResult >= 0) {
        EXPECT_EQ(c.expectResult == 1, run.result);
    }
    EXPECT_EQ("", run.folderDiff);
    std::vector<std::string> live;
    bool seenLive = false;
    for (const CallRecord* r = run.owner->callList.first; r; r = r->next) {
        EXPECT_FALSE(r->number.empty());
        EXPECT_TRUE(!seenLive || !r->deleted) << "deleted call after a live one";
        seenLive = seenLive || !r->deleted;
        if (!r->deleted) live.push_back(r->number);
    }
    if (c.expectResult >= 0) {
        EXPECT_EQ(c.expectLive, live);
    }
}

const std::vector<BadCallInput> kBadCallInputs = {
    {"ZeroBytes", [](const fs::path&, bool) { return std::string(); }, 0, {}},
    {"ShorterThanTheHeader", [](const fs::path& d, bool m) { return goodCalls(d, m).substr(0, 99); }, 0, {}},
    {"TruncatedMidPage",
     [](const fs::path& d, bool m) { return goodCalls(d, m).substr(0, 4096 * 3 + 77); },
     -1,
     {}},
    {"Garbage", [](const fs::path&, bool) { return randomBytes(5 * 4096, 3); }, -1, {}},
    {"GarbageWithAHeader",
     [](const fs::path& d, bool m) {
         std::string b = goodCalls(d, m);
         return b.substr(0, 100) + randomBytes(b.size() - 100, 5);
     },
     -1,
     {}},
    {"GarbagePages",
     [](const fs::path& d, bool m) {
         std::string b = goodCalls(d, m);
         for (size_t page = 1; (page + 1) * 4096 <= b.size(); page += 2)
             b.replace(page * 4096, 4096, randomBytes(4096, static_cast<uint32_t>(page)));
         return b;
     },
     -1,
     {}},
    {"NoTable",
     [](const fs::path& d, bool) {
         return fixtureBytes(d, [](kit::FixtureDb& db) { db.exec("CREATE TABLE other(x INTEGER)"); });
     },
     1,
     {}},
    {"NoAddressColumn",
     [](const fs::path& d, bool m) {
         return fixtureBytes(d, [m](kit::FixtureDb& db) {
             if (m) {
                 db.exec("CREATE TABLE ZCALLRECORD(Z_PK INTEGER PRIMARY KEY, ZORIGINATED INTEGER, ZDATE "
                         "TIMESTAMP, "
                         "ZDURATION FLOAT)");
                 db.exec("INSERT INTO ZCALLRECORD VALUES(1, 0, 700000000.5, 3.0)");
             } else {
                 db.exec("CREATE TABLE call(ROWID INTEGER PRIMARY KEY, date INTEGER, duration INTEGER, flags "
                         "INTEGER)");
                 db.exec("INSERT INTO call VALUES(1, 1600000000, 3, 4)");
             }
         });
     },
     1,
     {}},
    {"NoIdColumn",
     [](const fs::path& d, bool m) {
         return fixtureBytes(d, [m](kit::FixtureDb& db) {
             if (m) {
                 db.exec("CREATE TABLE ZCALLRECORD(ZORIGINATED INTEGER, ZDATE TIMESTAMP, ZDURATION FLOAT, "
                         "ZADDRESS VARCHAR)");
                 db.exec("INSERT INTO ZCALLRECORD VALUES(0, 700000000.5, 3.0, '5550001234')");
             } else {
                 db.exec("CREATE TABLE call(address TEXT, date INTEGER, duration INTEGER, flags INTEGER)");
                 db.exec("INSERT INTO call VALUES('5550001234', 1600000000, 3, 4)");
             }
         });
     },
     1,
     {"5550001234"}},
    {"WrongTypes",
     [](const fs::path& d, bool m) {
         return fixtureBytes(d, [m](kit::FixtureDb& db) {
             // Columns without a declared type keep whatever is stored in them.
             db.exec(m ? "CREATE TABLE ZCALLRECORD(Z_PK INTEGER PRIMARY KEY, ZORIGINATED, ZDATE, ZDURATION, "
                         "ZADDRESS, ZUNIQUE_ID)"
                       : "CREATE TABLE call(ROWID INTEGER PRIMARY KEY, address, date, duration, flags, id)");
             auto add = [&db, m](kit::Value direction, kit::Value date, kit::Value duration,
                                 kit::Value address) {
                 if (m)
                     db.insert("ZCALLRECORD", {"ZORIGINATED", "ZDATE", "ZDURATION", "ZADDRESS", "ZUNIQUE_ID"},
                               {direction, date, duration, address, std::string("u")});
                 else
                     db.insert("call", {"flags", "date", "duration", "address", "id"},
                               {direction, date, duration, address, int64_t(-1)});
             };
             const kit::Value date = m ? kit::Value(700000000.0) : kit::Value(int64_t(1600000000));
             add(int64_t(0), date, 1.0, int64_t(5550001)); // number address
             add(int64_t(0), date, 1.0, 5550001.5);        // real address
             add(int64_t(0), std::string("today"), 1.0, std::string("5550002"));
             add(int64_t(0), kit::Blob{"\x01"}, 1.0, std::string("5550002"));
             add(kit::Blob{"x"}, date, 1.0, std::string("5550003"));
             add(std::string("5"), date, 1.0, std::string("5550003"));
             add(2.0, date, 1.0, std::string("5550003"));
             add(int64_t(0), date, std::string("long"), std::string("5550004"));
             add(int64_t(0), date, kit::Blob{"1"}, std::string("5550004"));
             add(int64_t(0), date, 1e300, std::string("5550004"));
             add(int64_t(0), 1e300, 1.0, std::string("5550006"));
             add(int64_t(1), date, 1.0, std::string("5550005")); // the good one
         });
     },
     1,
     {"5550005"}},
    {"NullsEverywhere",
     [](const fs::path& d, bool m) {
         return fixtureBytes(d, [m](kit::FixtureDb& db) {
             db.exec(m ? kModernSchema : kLegacySchema);
             for (int i = 0; i < 6; ++i) {
                 if (m)
                     db.exec("INSERT INTO ZCALLRECORD(Z_PK) VALUES(NULL)");
                 else
                     db.exec("INSERT INTO call(address) VALUES(NULL)");
             }
             db.exec(m ? "DELETE FROM ZCALLRECORD WHERE Z_PK > 3" : "DELETE FROM call WHERE ROWID > 3");
         });
     },
     1,
     {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CallHistoryBadInput,
                         ::testing::Combine(::testing::ValuesIn(kBadCallInputs), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<BadCallInput, bool>>& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_Modern" : "_Legacy");
                         });

namespace {
// Records progress and stops the scan at the first hand-over report.
struct StopAtHandOver : IScanProgress {
    CScanManager* owner = nullptr;
    std::vector<std::tuple<int, int, int, int, int>> reports; // stage, done, total, stepDone, stepTotal
    void OnScanData(int, void*) override {}
    void OnProgress(int dataType, int stage, int done, int total, int stepDone, int stepTotal, int) override {
        EXPECT_EQ(ScanCallHistory, dataType);
        reports.emplace_back(stage, done, total, stepDone, stepTotal);
        if (stage == 3 && owner) owner->Stop(false);
    }
};
} // namespace

TEST(CallHistory, ProgressAndAStopDuringTheHandOver) {
    TestBackup backup(BackupBuilder::Generation::Mbdb, "8.4.1");
    const fs::path src = backup.dir / "src.db";
    {
        kit::FixtureDb db(src);
        db.exec(kLegacySchema);
        for (int i = 0; i < 5; ++i)
            addLegacy(db, "555000" + std::to_string(i), int64_t(1600000000 + i), int64_t(i), int64_t(4));
    }
    backup.AddDb(CategoryCallHistory, kLegacyDomain, kLegacyRelative, src);
    backup.Finish();
    StopAtHandOver progress;
    std::string root = backup.builder.root().string() + "/";
    CScanManager owner(ScanCallHistory, (backup.dir / "out").c_str(), root.c_str(), 8, &progress,
                       &backup.manifest);
    progress.owner = &owner;
    CCallHistory parser(&owner);
    EXPECT_TRUE(parser.Scan());

    // The row being handed over when the stop came is linked; nothing after it.
    ASSERT_EQ(1, owner.callList.count);
    EXPECT_EQ("5550004", owner.callList.first->number);

    int liveReports = 0, handOverReports = 0;
    for (auto [stage, done, total, stepDone, stepTotal] : progress.reports) {
        EXPECT_LE(0, done);
        EXPECT_LT(done, total);
        // One step total for the whole parser: three steps of reading, two of hand-over.
        EXPECT_EQ(5, stepTotal);
        if (stage == 3) {
            ++handOverReports;
            EXPECT_EQ(3, stepDone);
        } else if (stepDone == 0 && total == 5) {
            ++liveReports;
        }
    }
    EXPECT_EQ(5, liveReports);
    EXPECT_EQ(1, handOverReports);
}

namespace {

// The hand-over as the plain walk of the owner's list per call: a call equal in direction,
// date, duration and number to a listed one is left out; the others go after every call
// that must precede them (deleted first, then live, each newest first).
void addByWalk(std::vector<Call>& list, const Call& c) {
    size_t position = 0;
    for (const Call& r : list) {
        if (r.outgoing == c.outgoing && r.date == c.date && r.duration == c.duration && r.number == c.number)
            return;
        if (r.deleted) {
            if (!c.deleted || r.date > c.date) ++position;
        } else if (!c.deleted && r.date > c.date) {
            ++position;
        }
    }
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), c);
}

} // namespace

// Many calls on few dates, repeated calls, deleted copies of live calls and contacts that
// share a number: the list comes out as the walk per call builds it.
TEST(CallHistory, ManyEqualDatesAndRepeatsComeOutAsTheWalkListsThem) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        TestBackup backup(BackupBuilder::Generation::ManifestDb, "14.2");
        const std::vector<std::string> numbers = {"5550001000", "5550002000", "13800138000", "13900001111"};
        std::vector<Call> live, gone;
        const fs::path src = backup.dir / "src.db";
        {
            kit::FixtureDb db(src);
            db.exec(kModernSchema);
            // Deleted calls between live ones, so that no page empties: every one stays whole.
            std::string goneKeys;
            for (int i = 0; i < 110; ++i) {
                Call c{false,
                       rng() % 2 == 1,
                       numbers[rng() % numbers.size()],
                       "",
                       700000000 + static_cast<int64_t>(rng() % 6) * 60,
                       static_cast<int64_t>(rng() % 3)};
                if (i % 5 == 4) {
                    c.deleted = true;
                    if (i % 3 == 0 && !live.empty()) { // an old copy of a live call, another duration
                        c = live[rng() % live.size()];
                        c.deleted = true;
                        c.duration += 100;
                    } else { // a date of its own among the deleted calls
                        c.date = 700000007 + 13 * i;
                    }
                }
                const int64_t pk =
                    addModern(db, int64_t(c.outgoing), double(c.date), double(c.duration), c.number);
                if (c.deleted) {
                    gone.push_back(c);
                    goneKeys += (goneKeys.empty() ? "" : ",") + std::to_string(pk);
                } else {
                    live.push_back(c);
                }
            }
            db.deleteWhere("ZCALLRECORD", "Z_PK IN (" + goneKeys + ")");
        }

        // The live calls in the order the parser's query returns them.
        std::vector<Call> liveInQueryOrder;
        {
            sqlite3* db = nullptr;
            ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(src.c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
            sqlite3_stmt* st = nullptr;
            ASSERT_EQ(
                SQLITE_OK,
                sqlite3_prepare_v2(
                    db, "select ZORIGINATED,ZDATE,ZDURATION,ZADDRESS from 'ZCALLRECORD' ORDER BY ZDATE DESC",
                    -1, &st, nullptr));
            while (sqlite3_step(st) == SQLITE_ROW)
                liveInQueryOrder.push_back({false, sqlite3_column_int64(st, 0) != 0,
                                            reinterpret_cast<const char*>(sqlite3_column_text(st, 3)), "",
                                            sqlite3_column_int64(st, 1) + kAppleOffset,
                                            sqlite3_column_int64(st, 2)});
            sqlite3_finalize(st);
            sqlite3_close(db);
        }
        ASSERT_EQ(live.size(), liveInQueryOrder.size());

        backup.AddDb(CategoryCallHistory, kModernDomain, kModernRelative, src);
        ScanRun run = runOn(backup, [](CScanManager& owner) {
            addContact(owner, "13800138000", "Alice");
            addContact(owner, "13800138000", "Not Alice"); // the first contact names the number
            addContact(owner, "5550002000", "Bob");
        });
        ASSERT_TRUE(run.result);

        // The deleted calls the carver recovered (SQLite's page merges on delete destroy
        // some, and misaligned candidates add a few), fed in the reverse of their listed
        // order: among equal dates the later arrival is listed first.
        const std::vector<Call> listed = callsOf(run.owner->callList);
        std::vector<Call> carved;
        for (const Call& c : listed)
            if (c.deleted) carved.insert(carved.begin(), c);
        int recovered = 0;
        for (const Call& g : gone)
            for (const Call& c : carved)
                recovered +=
                    c.date == g.date + kAppleOffset && c.number == g.number && c.outgoing == g.outgoing;
        EXPECT_GT(recovered, 8);
        std::vector<Call> expected;
        for (Call c : liveInQueryOrder) {
            if (c.number == "13800138000") c.name = "Alice";
            if (c.number == "5550002000") c.name = "Bob";
            addByWalk(expected, c);
        }
        for (const Call& c : carved)
            addByWalk(expected, c);
        // No deleted call repeats a live one in date, direction and number.
        for (const Call& c : carved)
            for (const Call& r : liveInQueryOrder)
                EXPECT_FALSE(r.date == c.date && r.outgoing == c.outgoing && r.number == c.number) << c;
        EXPECT_EQ(expected, callsOf(run.owner->callList));
    }
}
