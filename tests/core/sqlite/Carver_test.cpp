// The deleted-record carver on real SQLite files with deleted rows.
#include "core/sqlite/CarvedColumn.h"
#include "tests/core/sqlite/CarverTestSupport.h"
#include "tests/kit/FixtureDb.h"

#include <algorithm>
#include <climits>
#include <random>

using namespace carvertest;

namespace {

struct Owner {
    CScanManager manager{0x8, "/tmp", "/tmp", 14, nullptr, nullptr};
};

// name: printable text of 3 bytes or more; n: an integer.
bool NameAndNumber(int column, uint32_t kind, const CarvedValue& v, uint32_t size) {
    if (column == 0) return kind == KindNotRead;
    if (column == 1) return kind == KindText && size >= 3 && IsPrintable(v, size);
    return IsIntegerKind(kind);
}

fs::path ThreeRows(const fs::path& dir, const std::string& deleteWhere) {
    fs::path p = dir / "three.db";
    kit::FixtureDb db(p, 4096);
    db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER)");
    db.insert("t", {"name", "n"}, {std::string("alice"), int64_t(1001)});
    db.insert("t", {"name", "n"}, {std::string("bobby-the-deleted"), int64_t(2002)});
    db.insert("t", {"name", "n"}, {std::string("carol"), int64_t(3003)});
    db.deleteWhere("t", deleteWhere);
    return p;
}

} // namespace

TEST(Carver, MiddleRowOfThreeComesBackAndNoLiveRow) {
    fs::path dir = TempDir("three");
    fs::path p = ThreeRows(dir, "id = 2");
    Owner o;
    TestCarver c(&o.manager);
    c.check = NameAndNumber;
    ASSERT_TRUE(c.Open(p.c_str(), false));
    ASSERT_TRUE(c.BuildLiveCellMap());
    ASSERT_TRUE(c.CarveTable("t"));
    ASSERT_EQ(1u, c.records.size());
    const Carved& r = c.records[0];
    EXPECT_EQ("bobby-the-deleted", r.texts[1]);
    EXPECT_EQ(2002, r.ints[2]);
    EXPECT_EQ(uint32_t(KindNotRead), r.kinds[0]);
    EXPECT_EQ(uint32_t(c.GetTableRootPage("t")), r.page);
    // The freeblock header overwrote the cell's first four bytes, the rowid among them.
    EXPECT_EQ(0, r.rowid);
}

TEST(Carver, WithoutTheLiveCellMapLiveRowsWouldComeBack) {
    // The map is what keeps live rows out: carving without it offers all three.
    fs::path dir = TempDir("nomap");
    fs::path p = ThreeRows(dir, "id = 2");
    Owner o;
    TestCarver c(&o.manager);
    c.check = NameAndNumber;
    ASSERT_TRUE(c.Open(p.c_str(), false));
    ASSERT_TRUE(c.CarveTable("t"));
    EXPECT_EQ(3u, c.records.size());
}

TEST(Carver, RowidRecoveredWhenCellBytesIntact) {
    // Deleting every row at once empties the page header but leaves each cell whole, its
    // payload length and rowid included. (A row deleted alone gets the freeblock header
    // over its first four bytes, and with it the rowid.)
    fs::path dir = TempDir("rowid");
    struct Case {
        const char* schema;
        int64_t rowid;
        bool ipk;
    };
    const Case cases[] = {
        {"CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER)", 3, true},
        {"CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER)", 300, true},
        {"CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER)", 70000, true},
        {"CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER)", 2000000000, true},
        {"CREATE TABLE t(name TEXT, n INTEGER)", 3, false},
        {"CREATE TABLE t(name TEXT, n INTEGER)", 123456, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.rowid) + (k.ipk ? " ipk" : " implicit"));
        fs::path p = dir / "r.db";
        {
            kit::FixtureDb db(p, 4096);
            db.exec(k.schema);
            db.run("INSERT INTO t(rowid, name, n) VALUES(1, 'alice', 1001)");
            db.run("INSERT INTO t(rowid, name, n) VALUES(2, 'bobby', 2002)");
            db.run("INSERT INTO t(rowid, name, n) VALUES(?1, 'last-one', 3003)", {k.rowid});
            db.exec("DELETE FROM t");
        }
        Owner o;
        TestCarver c(&o.manager);
        c.check = [&](int column, uint32_t kind, const CarvedValue& v, uint32_t size) {
            if (k.ipk) return NameAndNumber(column, kind, v, size);
            return NameAndNumber(column + 1, kind, v, size);
        };
        ASSERT_TRUE(c.Open(p.c_str(), false));
        ASSERT_TRUE(c.BuildLiveCellMap());
        ASSERT_TRUE(c.CarveTable("t"));
        auto found = WithText(c.records, k.ipk ? 1 : 0, "last-one");
        ASSERT_EQ(1u, found.size());
        EXPECT_EQ(k.rowid, found[0].rowid);
        ASSERT_EQ(3u, c.records.size());
        auto bobby = WithText(c.records, k.ipk ? 1 : 0, "bobby");
        ASSERT_EQ(1u, bobby.size());
        EXPECT_EQ(2, bobby[0].rowid);
    }
}

TEST(Carver, LongTextsFollowOverflowPagesWhole) {
    fs::path dir = TempDir("overflow");
    fs::path p = dir / "o.db";
    std::string t6000, t10000;
    for (int i = 0; i < 6000; ++i)
        t6000 += char('A' + (i * 7 + i / 26) % 26);
    for (int i = 0; i < 10000; ++i)
        t10000 += char('a' + (i * 11 + i / 13) % 26);
    {
        kit::FixtureDb db(p, 4096);
        db.exec("CREATE TABLE junk(b BLOB); CREATE TABLE t(id INTEGER PRIMARY KEY, body TEXT, n INTEGER)");
        // A freelist trunk with room, so that the overflow pages freed later become
        // freelist leaves and keep their bytes.
        db.insert("junk", {"b"}, {kit::Blob{std::string(40000, 'j')}});
        db.deleteWhere("junk", "1");
        db.insert("t", {"body", "n"}, {std::string("short one"), int64_t(1)});
        db.insert("t", {"body", "n"}, {t6000, int64_t(6000)});
        db.insert("t", {"body", "n"}, {std::string("short two"), int64_t(2)});
        db.insert("t", {"body", "n"}, {t10000, int64_t(10000)});
        db.insert("t", {"body", "n"}, {std::string("short three"), int64_t(3)});
        db.deleteWhere("t", "n >= 6000");
    }
    // The rows were written with n equal to the text's length (or 0 when the text was cut).
    uint32_t textSize = 0;
    auto longText = [&](int column, uint32_t kind, const CarvedValue& v, uint32_t size) {
        if (column == 0) return true;
        if (column == 1) {
            textSize = size;
            return kind == KindText && size >= 1000 && IsPrintable(v, 50);
        }
        int64_t n = IntOf(v, kind);
        return IsIntegerKind(kind) && (n == int64_t(textSize) || n == 0);
    };
    {
        Owner o;
        TestCarver c(&o.manager);
        c.check = longText;
        ASSERT_TRUE(c.Open(p.c_str(), true));
        ASSERT_TRUE(c.BuildLiveCellMap());
        c.BuildLiveCellMapFromPointers();
        ASSERT_TRUE(c.CarveTable("t"));
        auto a = WithText(c.records, 1, t6000);
        auto b = WithText(c.records, 1, t10000);
        ASSERT_EQ(1u, a.size());
        ASSERT_EQ(1u, b.size());
        EXPECT_EQ(6000, a[0].ints[2]);
        EXPECT_EQ(10000, b[0].ints[2]);
        EXPECT_EQ(6000u, a[0].sizes[1]);
        EXPECT_EQ(t10000, b[0].bytes[1]);
        EXPECT_EQ(2u, c.records.size());
    }
    {
        // Without following overflow pages a record that runs past its page is dropped.
        Owner o;
        TestCarver c(&o.manager);
        c.check = longText;
        ASSERT_TRUE(c.Open(p.c_str(), false));
        ASSERT_TRUE(c.BuildLiveCellMap());
        ASSERT_TRUE(c.CarveTable("t"));
        EXPECT_TRUE(c.records.empty());
    }

    // Find the local part of the 10000-byte text: its overflow page number follows it.
    std::string raw = ReadFile(p);
    const uint64_t ps = 4096;
    size_t at = raw.find(t10000.substr(0, 200));
    ASSERT_NE(std::string::npos, at);
    // Local bytes of a 10000-byte text in a 4096-byte page by SQLite's rule.
    uint64_t payload = 6 + 10000 + 2; // header (size, NULL, 3-byte text type, n's type), text, n
    size_t serialTypes = 1 + 3 + 1;   // NULL, the text's 3-byte type, n's
    uint64_t minLocal = ((ps - 12) * 32 / 255) - 23;
    uint64_t local = minLocal + (payload - minLocal) % (ps - 4);
    size_t headerStart = at - serialTypes - 1;
    size_t linkAt = headerStart + local;
    uint32_t first = (uint8_t(raw[linkAt]) << 24) | (uint8_t(raw[linkAt + 1]) << 16) |
                     (uint8_t(raw[linkAt + 2]) << 8) | uint8_t(raw[linkAt + 3]);
    ASSERT_GT(first, 1u);
    ASSERT_LE(first, raw.size() / ps);

    // A broken chain keeps what was read before the break: the text up to there, and
    // the columns that lay past it are not read. The chain breaks at a page number past
    // the file, at a free-list trunk (whose first bytes list page numbers now), and at a
    // b-tree page.
    const size_t localText = local - serialTypes - 1;
    const uint32_t second = (uint8_t(raw[(first - 1) * ps]) << 24) |
                            (uint8_t(raw[(first - 1) * ps + 1]) << 16) |
                            (uint8_t(raw[(first - 1) * ps + 2]) << 8) | uint8_t(raw[(first - 1) * ps + 3]);
    ASSERT_GT(second, 1u);
    ASSERT_LE(second, raw.size() / ps);
    auto be = [](uint32_t v) { return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; };
    struct Break {
        const char* name;
        std::vector<std::pair<uint64_t, std::string>> patches;
        size_t textRead;
    };
    const Break breaks[] = {
        {"second page number past the file", {{(first - 1) * ps, be(0x7fffffff)}}, localText + ps - 4},
        {"second page a free-list trunk",
         {{(second - 1) * ps, raw.substr(32, 4) + be(0)}, {32, be(second)}},
         localText + ps - 4},
        {"second page a b-tree leaf",
         {{(second - 1) * ps, std::string("\x0d\x00\x00\x00", 4)}},
         localText + ps - 4},
        {"no chain at all", {{linkAt, std::string(4, '\0')}}, localText},
    };
    for (const Break& b : breaks) {
        SCOPED_TRACE(b.name);
        WriteFile(p, raw);
        for (const auto& [at, bytes] : b.patches)
            Patch(p, at, bytes);
        Owner o;
        TestCarver c(&o.manager);
        c.check = longText;
        ASSERT_TRUE(c.Open(p.c_str(), true));
        ASSERT_TRUE(c.BuildLiveCellMap());
        ASSERT_TRUE(c.CarveTable("t"));
        EXPECT_EQ(1u, WithText(c.records, 1, t6000).size());
        auto cut = WithText(c.records, 1, t10000.substr(0, b.textRead));
        ASSERT_EQ(1u, cut.size());
        EXPECT_EQ(b.textRead, cut[0].sizes[1]);
        EXPECT_EQ(uint32_t(KindNotRead), cut[0].kinds[2]); // n lay past the break
        EXPECT_EQ(2u, c.records.size());
    }
}

TEST(Carver, ValueKinds) {
    fs::path dir = TempDir("kinds");
    fs::path p = dir / "k.db";
    {
        kit::FixtureDb db(p, 4096);
        db.exec(
            "CREATE TABLE t(id INTEGER PRIMARY KEY, f REAL, g REAL, i8 INTEGER, i16 INTEGER, i24 INTEGER,"
            " i32 INTEGER, i48 INTEGER, i64 INTEGER, zero INTEGER, one INTEGER, nul, txt TEXT, blb BLOB)");
        db.insert("t", {"f"}, {1.5}); // a live row before the deleted one
        db.insert("t",
                  {"f", "g", "i8", "i16", "i24", "i32", "i48", "i64", "zero", "one", "nul", "txt", "blb"},
                  {1.9, -1.9, int64_t(-1), int64_t(-300), int64_t(-100000), int64_t(-2000000000),
                   int64_t(-(int64_t(1) << 40)), int64_t(-1234567890123456789LL), int64_t(0), int64_t(1),
                   nullptr, std::string("ab\0cd", 5), kit::Blob{std::string("ab\0cd", 5)}});
        db.exec("DELETE FROM t");
    }
    const uint32_t want[] = {KindNotRead, KindDouble, KindDouble, KindInt8, KindInt16, KindInt24, KindInt32,
                             KindInt48,   KindInt64,  KindZero,   KindOne,  KindNull,  KindText,  KindBlob};
    auto exactKinds = [&](int column, uint32_t kind, const CarvedValue&, uint32_t) {
        return kind == want[column];
    };
    auto carve = [&](std::vector<Carved>& out) {
        Owner o;
        TestCarver c(&o.manager);
        c.check = exactKinds;
        ASSERT_TRUE(c.Open(p.c_str(), false));
        ASSERT_TRUE(c.BuildLiveCellMap());
        ASSERT_TRUE(c.CarveTable("t"));
        out = c.records;
    };
    std::vector<Carved> got;
    carve(got);
    ASSERT_EQ(1u, got.size());
    const Carved& r = got[0];
    EXPECT_EQ(2, r.rowid);
    EXPECT_EQ(1, r.ints[1]);  // 1.9 cut toward zero
    EXPECT_EQ(-1, r.ints[2]); // -1.9 too
    EXPECT_EQ(-1, r.ints[3]);
    EXPECT_EQ(0xFFFFFFFFull, r.raw[3]); // 32-bit value in the low half, high half 0
    EXPECT_EQ(-300, r.ints[4]);
    EXPECT_EQ(-100000, r.ints[5]);
    EXPECT_EQ(-2000000000, r.ints[6]);
    EXPECT_EQ(-(int64_t(1) << 40), r.ints[7]);
    EXPECT_EQ(-1234567890123456789LL, r.ints[8]);
    EXPECT_EQ(0, r.ints[9]);
    EXPECT_EQ(1, r.ints[10]);
    EXPECT_EQ(0u, r.raw[11]);
    EXPECT_EQ("ab", r.texts[12]); // a text stops at its NUL
    EXPECT_EQ(5u, r.sizes[12]);
    EXPECT_EQ(std::string("ab\0cd", 5), r.bytes[13]); // a blob keeps every byte
    EXPECT_EQ(5u, r.sizes[13]);

    // NaN and doubles no 64-bit integer holds become INT64_MIN.
    std::string raw = ReadFile(p);
    const std::string d19("\x3f\xfe\x66\x66\x66\x66\x66\x66", 8);
    size_t at = raw.find(d19);
    ASSERT_NE(std::string::npos, at);
    Patch(p, at, std::string("\x7f\xf8\0\0\0\0\0\0", 8));
    Patch(p, at + 8, std::string("\xc7\xef\xff\xff\xff\xff\xff\xff", 8)); // about -3.4e38
    carve(got);
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(INT64_MIN, got[0].ints[1]);
    EXPECT_EQ(INT64_MIN, got[0].ints[2]);
}

TEST(Carver, SerialTypeSizes) {
    struct Case {
        uint64_t type;
        uint64_t size;
        uint32_t kind;
    };
    const Case cases[] = {{0, 0, KindNull},
                          {1, 1, KindInt8},
                          {2, 2, KindInt16},
                          {3, 3, KindInt24},
                          {4, 4, KindInt32},
                          {5, 6, KindInt48},
                          {6, 8, KindInt64},
                          {7, 8, KindDouble},
                          {8, 0, KindZero},
                          {9, 0, KindOne},
                          {12, 0, KindBlob},
                          {13, 0, KindText},
                          {14, 1, KindBlob},
                          {127, 57, KindText},
                          {128, 58, KindBlob},
                          {20013, 10000, KindText},
                          {UINT64_MAX, (UINT64_MAX - 13) / 2, KindText}};
    for (const Case& k : cases) {
        uint32_t kind = 99;
        EXPECT_EQ(k.size, CCommonInterFace::SerialTypeSize(k.type, &kind)) << k.type;
        EXPECT_EQ(k.kind, kind) << k.type;
    }
}

TEST(Carver, CancelInsideOnCarvedRecordStopsTheScan) {
    fs::path dir = TempDir("cancel");
    fs::path p = dir / "c.db";
    {
        kit::FixtureDb db(p, 1024);
        db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER); BEGIN");
        for (int i = 0; i < 200; ++i)
            db.insert("t", {"name", "n"}, {"person-" + std::to_string(i), int64_t(i)});
        db.exec("COMMIT");
        db.deleteWhere("t", "id % 2 = 0");
    }
    Owner o;
    {
        TestCarver all(&o.manager);
        all.check = NameAndNumber;
        ASSERT_TRUE(all.Open(p.c_str(), false));
        ASSERT_TRUE(all.BuildLiveCellMap());
        ASSERT_TRUE(all.CarveTable("t"));
        EXPECT_GE(all.records.size(), 50u);
    }
    TestCarver c(&o.manager);
    c.check = NameAndNumber;
    c.onRecord = [&](const CarvedRecord&, int32_t) { o.manager.cancelled = true; };
    ASSERT_TRUE(c.Open(p.c_str(), false));
    ASSERT_TRUE(c.BuildLiveCellMap());
    int before = c.checkCalls;
    EXPECT_TRUE(c.CarveTable("t"));
    EXPECT_EQ(1u, c.records.size());
    int after = c.checkCalls;
    EXPECT_FALSE(c.CarveTable("t"));
    EXPECT_FALSE(c.BuildLiveCellMap());
    EXPECT_EQ(after, c.checkCalls);
    EXPECT_GT(after, before);
}

TEST(Carver, AcceptedKindsGiveTheSameRecords) {
    fs::path dir = TempDir("accepted");
    fs::path p = dir / "a.db";
    {
        kit::FixtureDb db(p, 1024);
        db.exec("CREATE TABLE noise(b BLOB); CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER, d "
                "REAL);"
                "BEGIN");
        // Freed pages of random bytes: every kind of serial-type list shows up there.
        std::mt19937 rng(7);
        for (int i = 0; i < 40; ++i) {
            std::string noise(3000, '\0');
            for (char& ch : noise)
                ch = char(rng());
            db.insert("noise", {"b"}, {kit::Blob{noise}});
        }
        for (int i = 0; i < 300; ++i)
            db.insert("t", {"name", "n", "d"}, {"x" + std::to_string(i * 31), int64_t(i * 1000), i * 0.5});
        db.exec("COMMIT");
        db.deleteWhere("t", "id % 3 <> 0");
        db.exec("DELETE FROM noise");
    }
    auto check = [](int column, uint32_t kind, const CarvedValue& v, uint32_t size) {
        if (column == 1) return kind == KindText && size >= 1 && IsPrintable(v, size);
        if (column == 2) return IsIntegerKind(kind);
        if (column == 3) return kind == KindDouble || IsIntegerKind(kind);
        return true;
    };
    auto run = [&](bool withKinds, bool follow) {
        Owner o;
        TestCarver c(&o.manager);
        c.check = check;
        if (withKinds) {
            c.prepare = [](TestCarver& self) {
                const uint32_t ints = (1u << KindZero) | (1u << KindOne) | (1u << KindInt8) |
                                      (1u << KindInt16) | (1u << KindInt24) | (1u << KindInt32) |
                                      (1u << KindInt48) | (1u << KindInt64);
                self.acceptedKinds = {0, 1u << KindText, ints, ints | (1u << KindDouble)};
                return true;
            };
        }
        EXPECT_TRUE(c.Open(p.c_str(), follow));
        EXPECT_TRUE(c.BuildLiveCellMap());
        EXPECT_TRUE(c.CarveTable("t"));
        std::vector<std::tuple<uint32_t, std::string, int64_t, int64_t, int32_t>> out;
        for (auto& r : c.records)
            out.emplace_back(r.page, r.texts[1], r.ints[2], r.ints[3], r.rowid);
        return std::make_pair(out, c.checkCalls);
    };
    for (bool follow : {false, true}) {
        auto plain = run(false, follow);
        auto fast = run(true, follow);
        EXPECT_GE(plain.first.size(), 200u);
        EXPECT_EQ(plain.first, fast.first);
        EXPECT_LT(fast.second, plain.second);
    }
}

TEST(Carver, SkipTablesAndFullPageNumbersAboveSixtyFiveThousand) {
    fs::path dir = TempDir("bigfile");
    fs::path p = dir / "big.db";
    std::vector<uint64_t> blobPages;
    {
        kit::FixtureDb db(p, 512);
        db.exec("CREATE TABLE blobs(b BLOB)");
        db.run("INSERT INTO blobs VALUES(zeroblob(34000000))");
        db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, n INTEGER)");
        db.insert("t", {"name", "n"}, {std::string("alice"), int64_t(1001)});
        db.insert("t", {"name", "n"}, {std::string("bobby-the-deleted"), int64_t(2002)});
        db.insert("t", {"name", "n"}, {std::string("carol"), int64_t(3003)});
        db.deleteWhere("t", "id = 2");
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_prepare_v2(db.handle(), "SELECT pageno FROM dbstat WHERE name='blobs'",
                                                -1, &st, nullptr));
        while (sqlite3_step(st) == SQLITE_ROW)
            blobPages.push_back(uint64_t(sqlite3_column_int64(st, 0)));
        sqlite3_finalize(st);
    }
    ASSERT_GT(blobPages.size(), 65536u);
    Owner o;
    TestCarver c(&o.manager);
    c.check = NameAndNumber;
    c.prepare = [&](TestCarver& self) {
        TableEntry e;
        e.name = "blobs";
        e.pages = blobPages;
        self.skipTables.push_back(std::move(e));
        return true;
    };
    ASSERT_TRUE(c.Open(p.c_str(), false));
    ASSERT_GT(c.pageCount, 65536u);
    uint64_t root = uint64_t(c.GetTableRootPage("t"));
    ASSERT_GT(root, 65536u);
    ASSERT_TRUE(c.BuildLiveCellMap());
    EXPECT_TRUE(c.liveCells.count(root));
    ASSERT_TRUE(c.CarveTable("t"));
    ASSERT_EQ(1u, c.records.size());
    EXPECT_EQ(root, c.records[0].page);
    EXPECT_EQ("bobby-the-deleted", c.records[0].texts[1]);
    // Every page counted for progress, the skipped ones included.
    EXPECT_EQ(int32_t(c.pageCount), c.progressDone);
}

TEST(Carver, SkipLiveRangeMovesPastRanges) {
    Owner o;
    TestCarver c(&o.manager);
    c.liveCells[7] = {{0, 10}, {20, 30}, {30, 45}, {100, 4096}};
    // Arbitrary order of offsets gives the plain answer every time.
    const std::pair<uint32_t, uint32_t> cases[] = {
        {0, 10},  {9, 10}, {10, 10}, {19, 19},    {20, 30},     {30, 45},     {44, 45},
        {45, 45}, {5, 10}, {99, 99}, {100, 4096}, {4095, 4096}, {4096, 4096}, {25, 30}};
    for (auto [in, out] : cases)
        EXPECT_EQ(out, c.SkipLiveRange(7, in)) << in;
    EXPECT_EQ(5u, c.SkipLiveRange(8, 5)); // a page without an entry
}

TEST(Carver, PrepareTableDeclinesAndMissingTables) {
    fs::path dir = TempDir("decline");
    fs::path p = ThreeRows(dir, "id = 2");
    Owner o;
    TestCarver c(&o.manager);
    ASSERT_TRUE(c.Open(p.c_str(), false));
    EXPECT_FALSE(c.CarveTable("missing"));
    c.table = "other";
    EXPECT_FALSE(c.CarveTable("t"));
    EXPECT_EQ(0, c.columnCount);
    EXPECT_TRUE(c.records.empty());
    uint32_t off = 0;
    EXPECT_EQ(-1, c.TryRecordAt(1, &off));
}

TEST(Carver, DecodeRecordOnCraftedContent) {
    Owner o;
    TestCarver c(&o.manager);
    c.columnCount = 3;
    c.columnKinds = {KindInt24, KindText, KindBlob};
    c.columnSizes = {3, 4, 2};
    const uint8_t content[] = {0x80, 0x00, 0x01, 'a', 'b', 0, 'c', 0xff, 0x00};
    CarvedRecord* r = c.DecodeRecord(42, content, sizeof content, 3);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(42u, r->page);
    EXPECT_EQ(-8388607, r->values[0].i32);
    EXPECT_EQ("ab", r->Text(1));
    EXPECT_EQ(std::string("ab\0\0", 4), r->Bytes(1));
    EXPECT_EQ(std::string("\xff\0", 2), r->Bytes(2));
    EXPECT_EQ("\xff", r->Text(2));
    EXPECT_EQ("", r->Text(0));
    EXPECT_EQ("", r->Text(7));
    CCommonInterFace::FreeRecord(r);
    EXPECT_TRUE(r->values.empty());
    delete r;
    EXPECT_EQ(nullptr, c.DecodeRecord(1, content, 8, 3)); // content shorter than the sizes
    EXPECT_EQ(nullptr, c.DecodeRecord(1, content, sizeof content, 2));
    c.check = [](int column, uint32_t, const CarvedValue&, uint32_t) { return column < 1; };
    EXPECT_EQ(nullptr, c.DecodeRecord(1, content, sizeof content, 3));
}

TEST(Carver, ReservedSerialTypesInLongFormAreNoRecord) {
    // 0x80 0x0A is serial type 10 written in two bytes: still reserved.
    Owner o;
    TestCarver c(&o.manager);
    c.columnCount = 2;
    c.columnKinds.assign(2, 0);
    c.columnSizes.assign(2, 0);
    c.pageSize = 512;
    c.pageBuffer.assign(512, 0);
    const uint8_t list[] = {0x80, 0x0A, 0x01, 0x05};
    memcpy(c.pageBuffer.data() + 10, list, sizeof list);
    uint32_t at = 10;
    EXPECT_EQ(1, c.TryRecordAt(5, &at));
    EXPECT_EQ(0u, c.delivered);
    c.pageBuffer[11] = 0x0D; // type 13: an empty text, then the 1-byte integer 5
    EXPECT_EQ(1, c.TryRecordAt(5, &at));
    ASSERT_EQ(1u, c.records.size());
    EXPECT_EQ(uint32_t(KindText), c.records[0].kinds[0]);
    EXPECT_EQ(5, c.records[0].ints[1]);
    at = 511;
    EXPECT_EQ(0, c.TryRecordAt(5, &at)); // no room for one byte per column
}

TEST(Carver, FragmentInsideAnAcceptedRowIsNoRecordOfItsOwn) {
    // The deleted row's text b carries, from its "!#", bytes that read as a record of
    // their own: serial types 0x21 and 0x23 (texts of 10 and 11 bytes) and those texts.
    // The other texts use only bytes of even value, which open no text serial type, and
    // the deleted cells are of even size, so the size a freeblock header writes over a
    // cell's first bytes is none either.
    const std::string innerA = "BDFHJLNPRT", innerB = "bdfhjlnprtv";
    const std::string outerB = "VXPT!#" + innerA + innerB + "ZXVTRPB";
    struct Case {
        const char* what;
        bool refuseOuter;                  // the check turns the row holding the fragment down
        std::vector<std::string> expected; // texts a of the records handed over
    } cases[] = {
        {"fragment inside an accepted row", false, {"RZDHBN", "BRDL"}},
        {"the row turned down: the fragment is a candidate", true, {innerA, "BRDL"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        fs::path dir = TempDir(k.refuseOuter ? "inside_refused" : "inside");
        fs::path p = dir / "inside.db";
        {
            kit::FixtureDb db(p, 4096);
            db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, a TEXT, b TEXT)");
            db.insert("t", {"a", "b"}, {std::string("HJLN"), std::string("DFHJ")});
            db.insert("t", {"a", "b"}, {std::string("RZDHBN"), outerB});
            db.insert("t", {"a", "b"}, {std::string("LNPR"), std::string("XZBD")});
            db.insert("t", {"a", "b"}, {std::string("BRDL"), std::string("NPTXZB")});
            db.insert("t", {"a", "b"}, {std::string("PRTV"), std::string("FHJL")});
            db.deleteWhere("t", "id IN (2, 4)");
        }
        Owner o;
        TestCarver c(&o.manager);
        c.check = [&](int column, uint32_t kind, const CarvedValue& v, uint32_t size) {
            if (column == 0) return kind == KindNotRead;
            if (kind != KindText || size < 3 || !IsPrintable(v, size)) return false;
            return !(k.refuseOuter && column == 2 && std::string(v.text, size) == outerB);
        };
        ASSERT_TRUE(c.Open(p.c_str(), false));
        ASSERT_TRUE(c.BuildLiveCellMap());
        ASSERT_TRUE(c.CarveTable("t"));
        std::vector<std::string> got;
        for (const Carved& r : c.records)
            got.push_back(r.texts[1]);
        std::sort(got.begin(), got.end());
        std::vector<std::string> expected = k.expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, got);
        if (!k.refuseOuter) {
            ASSERT_EQ(1u, WithText(c.records, 1, "RZDHBN").size());
            EXPECT_EQ(outerB, WithText(c.records, 1, "RZDHBN")[0].texts[2]);
        } else {
            ASSERT_EQ(1u, WithText(c.records, 1, innerA).size());
            EXPECT_EQ(innerB, WithText(c.records, 1, innerA)[0].texts[2]);
        }
    }
}

// A candidate read from a wrong offset (a blob in an INTEGER column, a number in a TEXT
// column, a text with a control byte) yields to the sound row lying wholly inside it;
// a sound outer candidate still keeps its fragments out.
TEST(Carver, SoundRowInsideAMisreadCandidateWins) {
    fs::path dir = TempDir("misread");
    fs::path p = dir / "m.db";
    {
        kit::FixtureDb db(p, 4096);
        db.exec("CREATE TABLE t(ver INTEGER, name TEXT, n INTEGER)");
        db.insert("t", {"ver", "name", "n"}, {int64_t(1), std::string("live row"), int64_t(9)});
    }
    // In the free space of the table's page: serial types 0x10 0x01 0x17 0x01, then the
    // content 07 "hello" 03. From the first byte they read (blob of 2, int8, text of 5:
    // "ello" and a control byte); from the second (int8 7, text "hello", int8 3) they are
    // the row.
    const uint64_t at = 4096 + 2000;
    Patch(p, at, std::string("\x10\x01\x17\x01\x07hello\x03", 11));
    Owner o;
    TestCarver c(&o.manager);
    c.check = [](int, uint32_t kind, const CarvedValue&, uint32_t) { return kind != KindNull; };
    ASSERT_TRUE(c.Open(p.c_str(), false));
    ASSERT_TRUE(c.BuildLiveCellMap());
    ASSERT_TRUE(c.CarveTable("t"));
    auto row = WithText(c.records, 1, "hello");
    ASSERT_EQ(1u, row.size());
    EXPECT_EQ(7, row[0].ints[0]);
    EXPECT_EQ(3, row[0].ints[2]);
    for (const Carved& r : c.records)
        EXPECT_FALSE(r.kinds[0] == KindBlob && r.sizes[0] == 2) << "the misread candidate was kept";

    // The same bytes where the outer read is a sound row of its own: a table whose
    // columns hold any kind keeps the longer candidate, as before.
    {
        fs::path q = dir / "any.db";
        {
            kit::FixtureDb db(q, 4096);
            db.exec("CREATE TABLE t(ver, name, n)");
            db.insert("t", {"ver", "name", "n"}, {int64_t(1), std::string("live row"), int64_t(9)});
        }
        Patch(q, at, std::string("\x10\x01\x17\x01\x07hello!", 11));
        Owner o2;
        TestCarver d(&o2.manager);
        d.check = [](int, uint32_t kind, const CarvedValue&, uint32_t) { return kind != KindNull; };
        ASSERT_TRUE(d.Open(q.c_str(), false));
        ASSERT_TRUE(d.BuildLiveCellMap());
        ASSERT_TRUE(d.CarveTable("t"));
        auto outer = WithText(d.records, 2, "ello!");
        ASSERT_EQ(1u, outer.size());
        EXPECT_TRUE(WithText(d.records, 1, "hello").empty());
    }
}

// The kinds a column holds by its declared type, as SQLite's affinity stores values.
TEST(Carver, DeclaredTypeKinds) {
    const uint32_t every = (1u << (KindText + 1)) - 1;
    const uint32_t numbers = kNumberKinds | (1u << KindNull);
    const uint32_t texts = (1u << KindText) | (1u << KindBlob) | (1u << KindNull);
    const struct {
        const char* type;
        uint32_t kinds;
    } cases[] = {
        {"INTEGER", numbers},   {"int", numbers},    {"BIGINT", numbers}, {"TEXT", texts},
        {"VARCHAR(20)", texts}, {"clob", texts},     {"BLOB", every},     {"", every},
        {"REAL", numbers},      {"DOUBLE", numbers}, {"NUMERIC", every},  {"BOOLEAN", every},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.kinds, declaredTypeKinds(c.type)) << c.type;
}
