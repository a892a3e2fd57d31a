// Database file reader: open and header checks, varints, schema helpers and the
// live-cell map compared with SQLite's own page statistics.
#include "core/sqlite/SqliteReadOnly.h"
#include "tests/core/sqlite/CarverTestSupport.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"

#include <algorithm>
#include <map>
#include <set>

using namespace carvertest;

namespace {

struct Owner {
    CScanManager manager{0x8, "/tmp", "/tmp", 14, nullptr, nullptr};
};

std::string be16(uint32_t v) {
    return std::string{char((v >> 8) & 0xff), char(v & 0xff)};
}

// A small database of a few pages with live and deleted rows.
fs::path SmallDb(const fs::path& dir, int pageSize = 1024) {
    fs::path p = dir / "small.db";
    kit::FixtureDb db(p, pageSize);
    db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER); BEGIN");
    for (int i = 0; i < 40; ++i)
        db.insert("t", {"name", "n"}, {std::string("row-") + std::to_string(i), int64_t(i)});
    db.exec("COMMIT");
    db.deleteWhere("t", "id % 3 = 0");
    db.close();
    return p;
}

} // namespace

TEST(ReaderOpen, ReadsHeaderAndLeavesBackupUntouched) {
    fs::path dir = TempDir("open");
    fs::path p = SmallDb(dir, 2048);
    auto before = kit::FolderSnapshot::Take(dir);
    Owner o;
    {
        TestCarver c(&o.manager);
        ASSERT_TRUE(c.Open(p.c_str(), false));
        EXPECT_EQ(2048u, c.pageSize);
        EXPECT_EQ(fs::file_size(p) / 2048, c.pageCount);
        EXPECT_NE(nullptr, c.Db());
        EXPECT_TRUE(c.BuildLiveCellMap());
        EXPECT_TRUE(c.CarveTable("t"));
        c.Close();
        EXPECT_EQ(0u, c.pageSize);
        EXPECT_EQ(nullptr, c.Db());
        EXPECT_EQ(-1, c.file);
    }
    EXPECT_EQ("", kit::FolderSnapshot::Take(dir).DiffFrom(before));
}

TEST(ReaderOpen, HeaderFailuresTable) {
    fs::path dir = TempDir("header");
    fs::path base = SmallDb(dir);
    const std::string good = ReadFile(base);
    struct Case {
        const char* name;
        std::function<std::string(std::string)> mutate;
        bool opens;
        uint64_t pageSize;
    };
    const Case cases[] = {
        {"intact", [](std::string s) { return s; }, true, 1024},
        {"99 bytes", [](std::string s) { return s.substr(0, 99); }, false, 0},
        {"empty", [](std::string) { return std::string(); }, false, 0},
        {"wrong magic",
         [](std::string s) {
             s[0] = 'X';
             return s;
         },
         false, 0},
        {"page size 0", [](std::string s) { return s.replace(16, 2, be16(0)); }, false, 0},
        {"page size 3", [](std::string s) { return s.replace(16, 2, be16(3)); }, false, 0},
        {"page size 256", [](std::string s) { return s.replace(16, 2, be16(256)); }, false, 0},
        {"page size 1000", [](std::string s) { return s.replace(16, 2, be16(1000)); }, false, 0},
        {"page size 65535", [](std::string s) { return s.replace(16, 2, be16(65535)); }, false, 0},
        {"page size 1 is 65536", [](std::string s) { return s.replace(16, 2, be16(1)); }, true, 65536},
        {"page size 512", [](std::string s) { return s.replace(16, 2, be16(512)); }, true, 512},
        {"reserved bytes leave too little",
         [](std::string s) {
             s[20] = char(40);
             s.replace(16, 2, be16(512));
             return s;
         },
         false, 0},
        {"not a page multiple", [](std::string s) { return s.substr(0, s.size() - 100); }, true, 1024},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        fs::path p = dir / "case.db";
        WriteFile(p, k.mutate(good));
        Owner o;
        TestCarver c(&o.manager);
        EXPECT_EQ(k.opens, c.Open(p.c_str(), false));
        EXPECT_EQ(k.pageSize, c.pageSize);
        if (k.opens) {
            EXPECT_EQ(fs::file_size(p) / k.pageSize, c.pageCount);
        } else {
            EXPECT_EQ(nullptr, c.Db());
            EXPECT_EQ(-1, c.file);
            EXPECT_FALSE(c.BuildLiveCellMap());
            EXPECT_FALSE(c.ReadPage(1));
        }
    }
    Owner o;
    TestCarver c(&o.manager);
    EXPECT_FALSE(c.Open((dir / "missing.db").c_str(), false));
    EXPECT_FALSE(fs::exists(dir / "missing.db"));
    EXPECT_FALSE(c.Open(nullptr, false));
    EXPECT_FALSE(c.Open(dir.c_str(), false));
}

TEST(ReaderVarint, SqliteVarints) {
    uint64_t v = 99;
    const uint8_t one[] = {0x7f};
    EXPECT_EQ(1, CCommonInterFace::ParseVarint(one, 1, &v));
    EXPECT_EQ(127u, v);
    const uint8_t two[] = {0x81, 0x00};
    EXPECT_EQ(2, CCommonInterFace::ParseVarint(two, 2, &v));
    EXPECT_EQ(128u, v);
    EXPECT_EQ(-1, CCommonInterFace::ParseVarint(two, 1, &v)); // ends past the limit
    EXPECT_EQ(0u, v);
    EXPECT_EQ(-1, CCommonInterFace::ParseVarint(two, 0, &v));
    const uint8_t nineHigh[9] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
    EXPECT_EQ(-1, CCommonInterFace::ParseVarint(nineHigh, 9, &v));
    const uint8_t nine[10] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f, 0x00};
    EXPECT_EQ(9, CCommonInterFace::ParseVarint(nine, 10, &v));
    EXPECT_EQ(0xFFFFFFFFFFFFFF7Full, v);
}

TEST(ReaderVarint, ProtobufVarintsAndFields) {
    uint64_t v = 0;
    const uint8_t n300[] = {0xAC, 0x02};
    EXPECT_EQ(2, CCommonInterFace::ParseVarintChecked(n300, 2, &v, false));
    EXPECT_EQ(300u, v);
    EXPECT_EQ(-1, CCommonInterFace::ParseVarintChecked(n300, 2, &v, true));
    EXPECT_EQ(-1, CCommonInterFace::ParseVarintChecked(n300, 1, &v, false));
    const uint8_t huge[] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x7f, 0, 0};
    EXPECT_EQ(-1, CCommonInterFace::ParseVarintChecked(huge, 11, &v, true)); // no wrap-around

    // field 2 "hello", then field 3 holding a nested field 1 "ab".
    const char msg[] = "\x12\x05hello\x1a\x04\x0a\x02"
                       "ab";
    const char* cur = msg;
    int32_t left = int32_t(sizeof msg - 1);
    std::string out;
    ASSERT_TRUE(CCommonInterFace::ReadLengthDelimitedField(&cur, &left, &out, true));
    EXPECT_EQ("hello", out);
    EXPECT_EQ(msg + 7, cur);
    ASSERT_TRUE(CCommonInterFace::ReadLengthDelimitedField(&cur, &left, &out, true));
    EXPECT_EQ(msg + 9, cur); // stays at the nested message
    ASSERT_TRUE(CCommonInterFace::ReadLengthDelimitedField(&cur, &left, &out, true));
    EXPECT_EQ("ab", out);
    EXPECT_EQ(0, left);
    EXPECT_FALSE(CCommonInterFace::ReadLengthDelimitedField(&cur, &left, &out, true));
    const char bad[] = "\x12\x09short";
    cur = bad;
    left = 7;
    EXPECT_FALSE(CCommonInterFace::ReadLengthDelimitedField(&cur, &left, &out, true));
}

TEST(ReaderSchema, ColumnsRootsAndQuotedNames) {
    fs::path dir = TempDir("schema");
    fs::path p = dir / "s.db";
    {
        kit::FixtureDb db(p, 1024);
        db.exec("CREATE TABLE \"we'ird\"\"name\"(id INTEGER PRIMARY KEY, body TEXT)");
        db.exec("CREATE TABLE lower(id integer primary key, x)");
        db.exec("CREATE TABLE composite(a INTEGER, b TEXT, PRIMARY KEY(a, b))");
        db.exec("CREATE TABLE notalias(id INT PRIMARY KEY, x)");
        db.exec("CREATE INDEX i1 ON lower(x)");
        db.exec("CREATE VIEW v AS SELECT 1");
        db.run("INSERT INTO \"we'ird\"\"name\"(body) VALUES('a'),('b'),('c')");
    }
    Owner o;
    TestCarver c(&o.manager);
    ASSERT_TRUE(c.Open(p.c_str(), false));
    const char* weird = "we'ird\"name";
    EXPECT_EQ(2, c.LoadColumns(weird));
    EXPECT_EQ(1, c.GetColumnIndex("body"));
    EXPECT_EQ(-1, c.GetColumnIndex("nope"));
    EXPECT_TRUE(c.FirstColumnIsRowid());
    EXPECT_EQ(3, c.CountRows(weird, ""));
    EXPECT_EQ(1, c.CountRows(weird, "where body='b'"));
    EXPECT_EQ(0, c.CountRows("missing'); DROP TABLE x; --", ""));
    EXPECT_GT(c.GetTableRootPage(weird), 1);
    EXPECT_EQ(0, c.GetTableRootPage("x' OR '1'='1"));
    EXPECT_EQ(0, c.LoadColumns("missing"));

    EXPECT_EQ(2, c.LoadColumns("lower"));
    EXPECT_TRUE(c.FirstColumnIsRowid()); // the alias rule of SQLite ignores case
    EXPECT_EQ(2, c.LoadColumns("composite"));
    EXPECT_FALSE(c.FirstColumnIsRowid());
    EXPECT_EQ(2, c.LoadColumns("notalias"));
    EXPECT_FALSE(c.FirstColumnIsRowid());

    std::vector<int32_t> roots;
    ASSERT_TRUE(c.GetAllRootPages(roots));
    EXPECT_EQ(7u, roots.size()); // four tables, three indexes; the view has none
    std::vector<TableEntry> tables;
    EXPECT_EQ(4, c.LoadTableList(tables));
    EXPECT_TRUE(std::is_sorted(tables.begin(), tables.end(), [](const TableEntry& a, const TableEntry& b) {
        return a.rootPage < b.rootPage;
    }));
    CCommonInterFace::ClearTableList(tables);
    EXPECT_TRUE(tables.empty());

    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(c.Db(), "SELECT 'x', 12, NULL, x'00ff', x''", -1, &st, nullptr));
    ASSERT_EQ(SQLITE_ROW, sqlite3_step(st));
    std::string out = "junk";
    EXPECT_EQ(1, CCommonInterFace::CopyColumnText(st, 0, &out));
    EXPECT_EQ("x", out);
    EXPECT_EQ(-1, CCommonInterFace::CopyColumnText(st, 1, &out));
    EXPECT_EQ("", out);
    EXPECT_EQ(-1, CCommonInterFace::CopyColumnText(st, 2, &out));
    EXPECT_EQ(2, CCommonInterFace::CopyColumnText(st, 3, &out));
    EXPECT_EQ(std::string("\0\xff", 2), out);
    EXPECT_EQ(0, CCommonInterFace::CopyColumnText(st, 4, &out));
    sqlite3_finalize(st);
}

namespace {

struct StatPage {
    std::string name;
    std::string type;
    int64_t unused = 0;
    std::string path;
};

// Every page of the database as SQLite's dbstat table reports it.
std::map<uint64_t, StatPage> DbStat(sqlite3* db) {
    std::map<uint64_t, StatPage> out;
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, "SELECT pageno, name, pagetype, unused, path FROM dbstat", -1,
                                            &st, nullptr));
    while (sqlite3_step(st) == SQLITE_ROW) {
        StatPage s;
        s.name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        s.type = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
        s.unused = sqlite3_column_int64(st, 3);
        s.path = reinterpret_cast<const char*>(sqlite3_column_text(st, 4));
        out[uint64_t(sqlite3_column_int64(st, 0))] = s;
    }
    sqlite3_finalize(st);
    return out;
}

} // namespace

// The live ranges of every leaf page cover exactly the bytes SQLite counts as used: the
// page size minus its unused bytes (gap, freeblocks and fragments).
TEST(LiveCellMap, MatchesDbstatOnMultiLevelTable) {
    fs::path dir = TempDir("dbstat");
    fs::path p = dir / "multi.db";
    std::map<uint64_t, StatPage> stat;
    {
        kit::FixtureDb db(p, 1024);
        db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, body BLOB, n INTEGER)");
        db.exec("CREATE INDEX t_name ON t(name)");
        db.exec("BEGIN");
        for (int i = 0; i < 3000; ++i) {
            // Mostly short rows, every 37th long enough to overflow; varied name lengths so
            // that index cells overflow too.
            std::string name = "name-" + std::to_string(i * 7919 % 3001) + std::string(size_t(i % 23), 'x');
            if (i % 211 == 0) name += std::string(900, 'n');
            std::string body(size_t(i % 37 == 0 ? 1500 + i % 1000 : 20 + i % 60), char('a' + i % 26));
            db.insert("t", {"name", "body", "n"}, {name, kit::Blob{body}, int64_t(i) * 1000003});
        }
        db.exec("COMMIT");
        db.deleteWhere("t", "id % 5 = 0 OR (id > 1000 AND id < 1400)");
        db.close();
        sqlite3* ro = openReadOnlyDatabase(p.string());
        ASSERT_NE(nullptr, ro);
        stat = DbStat(ro);
        sqlite3_close(ro);
    }
    ASSERT_FALSE(stat.empty());
    Owner o;
    TestCarver c(&o.manager);
    ASSERT_TRUE(c.Open(p.c_str(), false));
    ASSERT_TRUE(c.BuildLiveCellMap());

    std::set<uint64_t> statLeaves, mapLeaves;
    int depth = 0;
    for (const auto& [page, s] : stat) {
        if (s.type == "leaf") statLeaves.insert(page);
        depth = std::max(depth, int(std::count(s.path.begin(), s.path.end(), '/')));
    }
    ASSERT_GE(depth, 2) << "the table must have at least three levels";
    for (const auto& [page, ranges] : c.liveCells)
        mapLeaves.insert(page);
    EXPECT_EQ(statLeaves, mapLeaves);

    int checked = 0;
    for (uint64_t page : statLeaves) {
        const std::vector<CellRange>& ranges = c.liveCells[page];
        uint64_t covered = 0, lastEnd = 0;
        for (const CellRange& r : ranges) {
            ASSERT_LT(r.start, r.end);
            ASSERT_LE(r.end, c.pageSize);
            ASSERT_TRUE(r.start > lastEnd || (r.start == 0 && lastEnd == 0))
                << "ranges are merged and sorted";
            lastEnd = r.end;
            covered += r.end - r.start;
        }
        EXPECT_EQ(c.pageSize - uint64_t(stat[page].unused), covered)
            << "page " << page << " of " << stat[page].name;
        ++checked;
    }
    EXPECT_GT(checked, 50);

    // The leaves of one tree come in key order, as dbstat's paths give them.
    int64_t root = c.GetTableRootPage("t");
    std::vector<uint64_t> leaves;
    ASSERT_TRUE(c.CollectLeafPages(uint64_t(root), leaves));
    std::vector<std::pair<std::string, uint64_t>> byPath;
    for (const auto& [page, s] : stat)
        if (s.name == "t" && s.type == "leaf") byPath.push_back({s.path, page});
    std::sort(byPath.begin(), byPath.end());
    std::vector<uint64_t> expected;
    for (auto& e : byPath)
        expected.push_back(e.second);
    EXPECT_EQ(expected, leaves);

    // Cell starts of every leaf, in ascending order.
    c.BuildLiveCellMapFromPointers();
    EXPECT_EQ(statLeaves.size(), c.cellStarts.size());
    for (const auto& [page, starts] : c.cellStarts)
        EXPECT_TRUE(std::is_sorted(starts.begin(), starts.end()));
}

TEST(LiveCellMap, EmptyLeafAndRootLeaf) {
    fs::path dir = TempDir("emptyleaf");
    fs::path p = dir / "e.db";
    {
        kit::FixtureDb db(p, 1024);
        db.exec("CREATE TABLE empty(x); CREATE TABLE one(x); INSERT INTO one VALUES('only')");
    }
    Owner o;
    TestCarver c(&o.manager);
    ASSERT_TRUE(c.Open(p.c_str(), false));
    ASSERT_TRUE(c.BuildLiveCellMap());
    uint64_t empty = uint64_t(c.GetTableRootPage("empty"));
    uint64_t one = uint64_t(c.GetTableRootPage("one"));
    ASSERT_TRUE(c.liveCells.count(empty));
    EXPECT_TRUE(c.liveCells[empty].empty()); // the whole page is examined
    ASSERT_EQ(2u, c.liveCells[one].size());  // header and pointer, then the cell at the page end
    EXPECT_EQ(0u, c.liveCells[one][0].start);
    EXPECT_EQ(10u, c.liveCells[one][0].end);
    EXPECT_EQ(c.pageSize, c.liveCells[one][1].end);
    std::vector<uint64_t> leaves;
    EXPECT_TRUE(c.CollectLeafPages(one, leaves));
    EXPECT_EQ(std::vector<uint64_t>{one}, leaves);
    EXPECT_FALSE(c.CollectLeafPages(0, leaves));
    EXPECT_FALSE(c.CollectLeafPages(c.pageCount + 1, leaves));
}

TEST(ReaderProgress, ReportsThroughOwner) {
    struct Sink : IScanProgress {
        std::vector<std::vector<int>> calls;
        void OnScanData(int, void*) override {}
        void OnProgress(int type, int stage, int done, int total, int stepDone, int stepTotal, int) override {
            calls.push_back({type, stage, done, total, stepDone, stepTotal});
        }
    } sink;
    CScanManager m(0x8, "/tmp", "/tmp", 14, &sink, nullptr);
    TestCarver c(&m, 0x8);
    c.SetProgressSteps(3);
    c.AddProgressStep(1);
    c.progressTotal = 10;
    c.ReportProgress(2, false);
    c.ReportProgress(2, false);
    c.ReportProgressAt(3, 7);
    c.ReportProgress(3, true);
    ASSERT_EQ(4u, sink.calls.size());
    EXPECT_EQ((std::vector<int>{8, 2, 0, 10, 1, 3}), sink.calls[0]);
    EXPECT_EQ((std::vector<int>{8, 2, 1, 10, 1, 3}), sink.calls[1]);
    EXPECT_EQ((std::vector<int>{8, 3, 7, 10, 1, 3}), sink.calls[2]);
    EXPECT_EQ((std::vector<int>{8, 3, 1000, 1000, 1, 3}), sink.calls[3]);

    TestCarver orphan(nullptr);
    orphan.ReportProgress(2, false); // nothing happens without an owner
    EXPECT_FALSE(orphan.BuildLiveCellMap());
    EXPECT_FALSE(orphan.CarveTable("t"));
}
