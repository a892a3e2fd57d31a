#include "core/apps/CBookMark.h"
#include "core/records/BookmarkRecord.h"
#include "tests/core/apps/ParserBackupFixture.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/SystemSchemas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace parsertest;
using kit::BackupBuilder;

namespace {

const char* const kDomain = "HomeDomain";
const char* const kRelative = "Library/Safari/Bookmarks.db";

const char* const kSchema = kit::kBookmarksSchema;

const std::string kUuid36 = "6D2B7A34-1C55-4B8E-9A0F-3E2D1C0B9A87";
const std::string kLongPath(120, 'a');
const std::string kUuid38 = "{8F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";

// Rows in the order they are added.
int64_t addInOrder(kit::FixtureDb& db, kit::BookmarkRow r) {
    static int64_t order = 0;
    r.order = ++order;
    return kit::addBookmark(db, r);
}

std::vector<const BookmarkRecord*> listOf(const RecordList<BookmarkRecord>& list) {
    std::vector<const BookmarkRecord*> out;
    for (const BookmarkRecord* r = list.first; r; r = r->next)
        out.push_back(r);
    return out;
}

// Runs the parser on a backup holding `db` as Bookmarks.db.
struct ScanRun {
    bool result = false;
    std::unique_ptr<CScanManager> owner;
    std::string folderDiff;
};

ScanRun runOn(TestBackup& backup) {
    backup.Finish();
    auto before = kit::FolderSnapshot::Take(backup.builder.root());
    ScanRun run;
    run.owner = backup.Manager(ScanBookmarks);
    {
        CBookMark parser(run.owner.get());
        run.result = parser.Scan();
    }
    run.folderDiff = kit::FolderSnapshot::Take(backup.builder.root()).DiffFrom(before);
    return run;
}

} // namespace

// Live bookmarks in "id" order, deleted ones first, no live bookmark reported as
// deleted, duplicates collapsed; both manifest generations.
class BookmarksLiveAndDeleted
    : public ::testing::TestWithParam<std::pair<BackupBuilder::Generation, const char*>> {};

TEST_P(BookmarksLiveAndDeleted, RecoversDeletedFirstThenLiveInIdOrder) {
    TestBackup backup(GetParam().first, GetParam().second);
    const fs::path src = backup.dir / "src.db";
    {
        kit::FixtureDb db(src);
        db.exec(kSchema);
        addInOrder(db, {std::string("Favorites"), nullptr, kUuid36, 1, 2}); // folder, not a bookmark
        addInOrder(db, {std::string("Example"), std::string("https://example.com/"), kUuid36});
        addInOrder(db, {std::string("News"), std::string("https://news.example.org/"), kUuid38});
        addInOrder(db, {std::string("Example"), std::string("https://example.com/"), kUuid36}); // same again
        addInOrder(db, {std::string("No URL"), nullptr, kUuid36});                              // skipped
        addInOrder(db, {nullptr, std::string("https://untitled.example/"), kUuid36});           // no title
        addInOrder(db, {std::string("Reading list"), std::string("https://rl.example/"), kUuid36, 1, 0});
        // Rows deleted below.
        addInOrder(db, {std::string("Deleted One"), std::string("https://deleted-one.example/"), kUuid36});
        addInOrder(
            db, {std::string("Deleted Two"), std::string("https://deleted-two.example/path?q=1"), kUuid38});
        addInOrder(
            db, {std::string("Example"), std::string("https://example.com/"), kUuid36}); // equals a live one
        addInOrder(db, {std::string("Bad uuid"), std::string("https://bad-uuid.example/"), kUuid36 + "X"});
        addInOrder(db, {std::string("Old folder"), std::string("https://folder.example/"), kUuid36, 0, 3});
        addInOrder(db, {std::string("Deleted One"), std::string("https://deleted-one.example/"), kUuid36});
        db.deleteWhere("bookmarks", "id >= 8");
    }
    backup.AddDb(CategorySafari, kDomain, kRelative, src);
    ScanRun run = runOn(backup);

    ASSERT_TRUE(run.result);
    EXPECT_EQ("", run.folderDiff);
    auto list = listOf(run.owner->bookmarkList);
    ASSERT_EQ(5u, list.size());
    EXPECT_EQ(5, run.owner->bookmarkList.count);

    // Deleted first (their order is the carving order, reversed).
    std::vector<std::string> deleted;
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(list[i]->deleted);
        deleted.push_back(list[i]->title + " " + list[i]->url);
    }
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ((std::vector<std::string>{"Deleted One https://deleted-one.example/",
                                        "Deleted Two https://deleted-two.example/path?q=1"}),
              deleted);

    // Then the live ones, none marked deleted, in id order, the repeated one once.
    EXPECT_FALSE(list[2]->deleted);
    EXPECT_EQ("Example", list[2]->title);
    EXPECT_EQ("https://example.com/", list[2]->url);
    EXPECT_FALSE(list[3]->deleted);
    EXPECT_EQ("News", list[3]->title);
    EXPECT_FALSE(list[4]->deleted);
    EXPECT_EQ("", list[4]->title);
    EXPECT_EQ("https://untitled.example/", list[4]->url);

    // The links agree with the order.
    EXPECT_EQ(list.back(), run.owner->bookmarkList.last);
    for (size_t i = 1; i < list.size(); ++i)
        EXPECT_EQ(list[i - 1], list[i]->prev);
}

INSTANTIATE_TEST_SUITE_P(Generations, BookmarksLiveAndDeleted,
                         ::testing::Values(std::make_pair(BackupBuilder::Generation::Mbdb, "9.3.5"),
                                           std::make_pair(BackupBuilder::Generation::ManifestDb, "14.2")));

TEST(Bookmarks, RecordsOfAnEarlierRunAreNotAddedTwice) {
    TestBackup backup(BackupBuilder::Generation::ManifestDb, "15.1");
    const fs::path src = backup.dir / "src.db";
    {
        kit::FixtureDb db(src);
        db.exec(kSchema);
        addInOrder(db, {std::string("Live"), std::string("https://live.example/"), kUuid36});
        addInOrder(db, {std::string("Gone"), std::string("https://gone.example/"), kUuid36});
        db.deleteWhere("bookmarks", "title = 'Gone'");
    }
    backup.AddDb(CategorySafari, kDomain, kRelative, src);
    backup.Finish();
    auto owner = backup.Manager(ScanBookmarks);
    for (int i = 0; i < 2; ++i) {
        CBookMark parser(owner.get());
        EXPECT_TRUE(parser.Scan());
    }
    auto list = listOf(owner->bookmarkList);
    ASSERT_EQ(2u, list.size());
    EXPECT_TRUE(list[0]->deleted);
    EXPECT_EQ("https://gone.example/", list[0]->url);
    EXPECT_FALSE(list[1]->deleted);
}

TEST(Bookmarks, NoDatabaseInTheBackupFailsWithoutOpeningAnything) {
    TestBackup backup(BackupBuilder::Generation::Mbdb, "9.3.5");
    ScanRun run = runOn(backup);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(1, backup.manifest.lookups);
    EXPECT_EQ(0, run.owner->bookmarkList.count);
    EXPECT_EQ("", run.folderDiff);
}

TEST(Bookmarks, NoOwnerNoManifestOrCancelledFails) {
    TestBackup backup(BackupBuilder::Generation::Mbdb, "9.3.5");
    const fs::path src = backup.dir / "src.db";
    {
        kit::FixtureDb db(src);
        db.exec(kSchema);
        addInOrder(db, {std::string("Live"), std::string("https://live.example/"), kUuid36});
    }
    backup.AddDb(CategorySafari, kDomain, kRelative, src);
    backup.Finish();

    CBookMark orphan(nullptr);
    EXPECT_FALSE(orphan.Scan());

    auto cancelled = backup.Manager(ScanBookmarks);
    cancelled->cancelled = true;
    CBookMark a(cancelled.get());
    EXPECT_FALSE(a.Scan());
    EXPECT_EQ(0, cancelled->bookmarkList.count);

    std::string root = backup.builder.root().string() + "/";
    CScanManager noManifest(ScanBookmarks, (backup.dir / "out").c_str(), root.c_str(), 9, nullptr, nullptr);
    CBookMark b(&noManifest);
    EXPECT_FALSE(b.Scan());
    EXPECT_EQ(0, backup.manifest.lookups);
}

// Damaged or unexpected databases: the parser fails softly for that database, reads what
// it can, never crashes and never writes into the backup folder.
struct BadInput {
    const char* name;
    std::function<std::string(const fs::path& dir)> bytes; // the database file's content
    int expectResult;                                      // 1 true, 0 false, -1 either
    std::vector<std::string> expectUrls;                   // in list order; "!" prefix = deleted
};

std::string fixtureBytes(const fs::path& dir, const std::function<void(kit::FixtureDb&)>& fill) {
    const fs::path p = dir / "bad-src.db";
    {
        kit::FixtureDb db(p);
        fill(db);
    }
    return readAll(p);
}

std::string goodDatabase(const fs::path& dir) {
    return fixtureBytes(dir, [](kit::FixtureDb& db) {
        db.exec(kSchema);
        for (int i = 0; i < 150; ++i)
            addInOrder(db, {std::string("Page ") + std::to_string(i),
                            std::string("https://site.example/page/") + std::to_string(i), kUuid36});
    });
}

class BookmarksBadInput : public ::testing::TestWithParam<BadInput> {};

TEST_P(BookmarksBadInput, FailsSoftlyAndLeavesTheBackupAlone) {
    const BadInput& c = GetParam();
    TestBackup backup(BackupBuilder::Generation::ManifestDb, "14.2");
    backup.AddBytes(CategorySafari, kDomain, kRelative, c.bytes(backup.dir));
    ScanRun run = runOn(backup);
    if (c.expectResult >= 0) {
        EXPECT_EQ(c.expectResult == 1, run.result);
    }
    EXPECT_EQ("", run.folderDiff);
    std::vector<std::string> urls;
    for (const BookmarkRecord* r = run.owner->bookmarkList.first; r; r = r->next) {
        urls.push_back((r->deleted ? "!" : "") + r->url);
        EXPECT_FALSE(r->url.empty());
    }
    if (c.expectResult >= 0) {
        EXPECT_EQ(c.expectUrls, urls);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BookmarksBadInput,
    ::testing::Values(
        BadInput{"ZeroBytes", [](const fs::path&) { return std::string(); }, 0, {}},
        BadInput{
            "ShorterThanTheHeader", [](const fs::path& d) { return goodDatabase(d).substr(0, 60); }, 0, {}},
        BadInput{"TruncatedMidPage",
                 [](const fs::path& d) { return goodDatabase(d).substr(0, 4096 * 2 + 1000); },
                 -1,
                 {}},
        BadInput{"Garbage", [](const fs::path&) { return randomBytes(3 * 4096, 7); }, -1, {}},
        BadInput{"GarbagePages",
                 [](const fs::path& d) {
                     std::string b = goodDatabase(d);
                     std::string noise = randomBytes(4096, 11);
                     if (b.size() >= 4 * 4096) b.replace(2 * 4096, 4096, noise); // page 3
                     return b;
                 },
                 -1,
                 {}},
        BadInput{"NoBookmarksTable",
                 [](const fs::path& d) {
                     return fixtureBytes(
                         d, [](kit::FixtureDb& db) { db.exec("CREATE TABLE other(id INTEGER)"); });
                 },
                 1,
                 {}},
        BadInput{"NoUrlColumn",
                 [](const fs::path& d) {
                     return fixtureBytes(d, [](kit::FixtureDb& db) {
                         db.exec("CREATE TABLE bookmarks(id INTEGER PRIMARY KEY, type INTEGER, title TEXT, "
                                 "num_children INTEGER)");
                         db.exec("INSERT INTO bookmarks(type,title,num_children) VALUES(0,'x',0)");
                     });
                 },
                 1,
                 {}},
        BadInput{"NoIdColumn",
                 [](const fs::path& d) {
                     return fixtureBytes(d, [](kit::FixtureDb& db) {
                         db.exec("CREATE TABLE bookmarks(type INTEGER, title TEXT, url TEXT, num_children "
                                 "INTEGER, external_uuid TEXT)");
                         db.exec("INSERT INTO bookmarks VALUES(0,'Kept','https://kept.example/',0,NULL)");
                         // Long enough for a two-byte payload length: the four bytes the free-block
                         // header overwrites then end before the serial types, which the carver
                         // needs whole when no rowid column leads the record.
                         db.exec("INSERT INTO bookmarks VALUES(0,'Gone','https://gone.example/" + kLongPath +
                                 "',0,'" + kUuid36 + "')");
                         db.deleteWhere("bookmarks", "title='Gone'");
                     });
                 },
                 1,
                 {"!https://gone.example/" + kLongPath}},
        BadInput{"WrongTypes",
                 [](const fs::path& d) {
                     return fixtureBytes(d, [](kit::FixtureDb& db) {
                         // Declared types that keep what is stored in them.
                         db.exec("CREATE TABLE bookmarks(id INTEGER PRIMARY KEY, type INTEGER, title BLOB, "
                                 "url NUMERIC, num_children INTEGER, external_uuid BLOB)");
                         auto add = [&db](kit::Value title, kit::Value url) {
                             db.insert("bookmarks", {"type", "title", "url", "num_children", "external_uuid"},
                                       {int64_t(0), title, url, int64_t(0), kUuid36});
                         };
                         add(std::string("Number url"), int64_t(12345));
                         add(std::string("Real url"), 2.5);
                         add(kit::Blob{"blob title"}, std::string("https://blobtitle.example/"));
                         add(3.5, std::string("https://realtitle.example/"));
                         add(std::string("Blob url"), kit::Blob{"https://blob.example/"});
                         add(std::string("Text"), std::string("https://text.example/"));
                     });
                 },
                 1,
                 {"https://blobtitle.example/", "https://realtitle.example/", "https://text.example/"}},
        BadInput{"NullsEverywhere",
                 [](const fs::path& d) {
                     return fixtureBytes(d, [](kit::FixtureDb& db) {
                         db.exec(kSchema);
                         for (int i = 0; i < 5; ++i)
                             db.exec(
                                 "INSERT INTO bookmarks(special_id,parent,type,title,url,num_children,"
                                 "editable,deletable,hidden,hidden_ancestor_count,order_index,external_uuid,"
                                 "read,last_modified,server_id,added,deleted) VALUES(NULL,NULL,NULL,NULL,"
                                 "NULL,NULL,NULL,NULL,NULL,NULL,0,NULL,NULL,NULL,NULL,NULL,NULL)");
                         db.exec("DELETE FROM bookmarks WHERE id > 2");
                     });
                 },
                 1,
                 {}}),
    [](const ::testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

// The carving rules of one column, checked through the parser's own test.
TEST(BookmarksCarvedValues, ColumnRules) {
    TestBackup backup(BackupBuilder::Generation::Mbdb, "9.3.5");
    const fs::path src = backup.dir / "src.db";
    {
        kit::FixtureDb db(src);
        db.exec(kSchema);
        // Deleted rows, each breaking one rule, and one good row.
        addInOrder(db, {std::string("Good"), std::string("https://good.example/"), kUuid38});
        addInOrder(db, {std::string(""), std::string("https://empty-title.example/"), kUuid36});
        addInOrder(db, {std::string("Empty url"), std::string(""), kUuid36});
        addInOrder(db, {std::string("Typed"), std::string("https://typed.example/"), kUuid36, 2, 0});
        addInOrder(db, {std::string("No uuid"), std::string("https://no-uuid.example/"), nullptr});
        addInOrder(db, {std::string("Short uuid"), std::string("https://short.example/"), kUuid36.substr(1)});
        db.exec("DELETE FROM bookmarks");
    }
    backup.AddDb(CategorySafari, kDomain, kRelative, src);
    ScanRun run = runOn(backup);
    ASSERT_TRUE(run.result);
    auto list = listOf(run.owner->bookmarkList);
    ASSERT_EQ(1u, list.size());
    EXPECT_TRUE(list[0]->deleted);
    EXPECT_EQ("Good", list[0]->title);
    EXPECT_EQ("https://good.example/", list[0]->url);
}
