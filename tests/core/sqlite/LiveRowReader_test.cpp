// The live-row reader: what a query gives on a sound table (exactly what SQLite gives),
// and on a table with damaged records or a damaged page: every other row, in the query's
// order, with the damage counted.
#include "core/sqlite/LiveRowReader.h"

#include "core/sqlite/CCommonInterFace.h"
#include "core/sqlite/SqliteReadOnly.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/RecordDamage.h"
#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kRows = 300;

// A table of kRows rows over many 1024-byte pages: k repeats (ties for the sorts), s
// is unique, v names the row.
fs::path buildTable(const fs::path& path, bool indexed) {
    kit::FixtureDb db(path, 1024);
    db.exec("CREATE TABLE t(id INTEGER PRIMARY KEY, k INTEGER, s TEXT, v TEXT); BEGIN");
    for (int i = 1; i <= kRows; ++i)
        db.insert("t", {"k", "s", "v"},
                  {int64_t((i * 7) % 50), "s" + std::to_string(1000 + (i * 37) % kRows),
                   "row " + std::to_string(i) + std::string(20, 'x')});
    db.exec("COMMIT");
    if (indexed) db.exec("CREATE INDEX t_k ON t(k); CREATE INDEX t_s ON t(s)");
    db.close();
    return path;
}

struct Row {
    int64_t id;
    int64_t k;
    std::string s;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& r, std::ostream* os) {
    *os << r.id;
}

// The rows a plain SQLite statement gives (ids, k and s).
std::vector<Row> plainRows(const fs::path& path, const std::string& sql) {
    std::vector<Row> rows;
    sqlite3* db = openReadOnlyDatabase(path.string());
    sqlite3_stmt* st = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr)) << sql;
    while (sqlite3_step(st) == SQLITE_ROW)
        rows.push_back({sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1),
                        reinterpret_cast<const char*>(sqlite3_column_text(st, 2))});
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

struct Read {
    std::vector<Row> rows;
    LiveRowReader::Outcome outcome;
};

Read readRows(const fs::path& path, const LiveQuery& query, int64_t expected = 0, int64_t stopAfter = -1) {
    Read r;
    sqlite3* db = openReadOnlyDatabase(path.string());
    LiveRowReader reader(db, query);
    r.outcome = reader.Read(
        [&] { return stopAfter >= 0 && int64_t(r.rows.size()) >= stopAfter; },
        [&](sqlite3_stmt* st) {
            const char* s = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
            r.rows.push_back({sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1), s ? s : ""});
            // The row's key follows the query's columns (NULL for a view).
            EXPECT_EQ(4, sqlite3_column_count(st));
            if (sqlite3_column_type(st, 3) != SQLITE_NULL) {
                EXPECT_EQ(sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 3));
            }
        },
        expected);
    sqlite3_close(db);
    return r;
}

std::set<int64_t> ids(const std::vector<Row>& rows) {
    std::set<int64_t> out;
    for (const Row& r : rows)
        out.insert(r.id);
    return out;
}

std::vector<Row> without(std::vector<Row> rows, const std::set<int64_t>& ids) {
    rows.erase(std::remove_if(rows.begin(), rows.end(), [&](const Row& r) { return ids.count(r.id) != 0; }),
               rows.end());
    return rows;
}

// The rows that SQLite cannot read on their own.
std::set<int64_t> unreadableIds(const fs::path& path) {
    std::set<int64_t> ids;
    sqlite3* db = openReadOnlyDatabase(path.string());
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "select v from t where id=?1", -1, &st, nullptr);
    for (int64_t id = 1; id <= kRows; ++id) {
        sqlite3_bind_int64(st, 1, id);
        if (sqlite3_step(st) != SQLITE_ROW) ids.insert(id);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return ids;
}

uint32_t be16(const std::string& b, size_t at) {
    return (uint32_t(uint8_t(b[at])) << 8) | uint8_t(b[at + 1]);
}

struct Shape {
    const char* name;
    const char* where;
    const char* orderBy;
    bool indexed;
};

// Every query shape the parsers use: table order, a condition, sorts through an index
// or through SQLite's sorter, descending, on two columns, with ties.
const Shape kShapes[] = {
    {"table order", "", "", false},
    {"condition", "k % 3 = 0", "", true},
    {"sorted by a unique column", "", "s", false},
    {"sorted through an index", "", "s", true},
    {"sorted descending", "", "s DESC", false},
    {"sorted with ties", "", "k, s DESC", false},
    {"sorted with ties through an index", "", "k", true},
    {"condition and sort", "k < 25", "s", true},
};

std::string plainSql(const Shape& shape) {
    std::string sql = "select id,k,s from t";
    if (*shape.where) sql += std::string(" where ") + shape.where;
    // Ties in key order, as the reader gives them.
    sql += " order by ";
    if (*shape.orderBy) sql += std::string(shape.orderBy) + ",";
    sql += "id";
    return sql;
}

LiveQuery queryOf(const Shape& shape) {
    LiveQuery q("t", "id,k,s");
    if (*shape.where) q.Where(shape.where);
    if (*shape.orderBy) q.OrderBy(shape.orderBy);
    return q;
}

class LiveRowReaderShapes : public ::testing::TestWithParam<Shape> {};

} // namespace

// A sound table: exactly the rows SQLite gives, in its order, nothing counted as lost.
TEST_P(LiveRowReaderShapes, SoundTableReadsAsSqliteDoes) {
    const Shape& shape = GetParam();
    kit::ScratchFolder dir("liverows");
    const fs::path db = buildTable(dir.path() / "t.db", shape.indexed);
    const Read r = readRows(db, queryOf(shape));
    EXPECT_TRUE(r.outcome.prepared);
    const std::vector<Row> expected = plainRows(db, plainSql(shape));
    ASSERT_FALSE(expected.empty());
    if (*shape.orderBy) {
        // Rows of equal sort values come in SQLite's order: compared as sets, the
        // sort order itself through the unique column.
        EXPECT_EQ(ids(expected), ids(r.rows));
        EXPECT_EQ(expected.size(), r.rows.size());
    } else {
        EXPECT_EQ(expected, r.rows);
    }
    EXPECT_EQ(int64_t(r.rows.size()), r.outcome.rows);
    EXPECT_EQ(0, r.outcome.skipped);
    EXPECT_EQ(0, r.outcome.lost);
}

// Damaged records (one in the middle, the first, the last, two side by side): every
// other row, in the query's order, and each damaged row counted once.
TEST_P(LiveRowReaderShapes, DamagedRecordsCostOnlyTheirRows) {
    const Shape& shape = GetParam();
    const std::vector<std::vector<int64_t>> damages = {{150}, {1}, {kRows}, {100, 101}};
    for (const std::vector<int64_t>& nths : damages) {
        SCOPED_TRACE("damaged rows from " + std::to_string(nths.front()));
        kit::ScratchFolder dir("liverows");
        const fs::path db = buildTable(dir.path() / "t.db", shape.indexed);
        const std::vector<Row> sound = plainRows(db, plainSql(shape));
        std::set<int64_t> damaged;
        for (int64_t n : nths) {
            const int64_t rowid = kit::RecordDamage::NthRowid(db, "t", n);
            ASSERT_TRUE(kit::RecordDamage::DamageRecord(db, "t", rowid));
            damaged.insert(rowid);
        }
        const Read r = readRows(db, queryOf(shape));
        EXPECT_EQ(without(sound, damaged), r.rows);
        // A damaged row is counted whether or not it met the condition: it cannot be told.
        EXPECT_EQ(int64_t(damaged.size()), r.outcome.skipped);
        EXPECT_EQ(int64_t(damaged.size()), r.outcome.lost);
        EXPECT_EQ(0, r.outcome.stretches);
    }
}

INSTANTIATE_TEST_SUITE_P(Queries, LiveRowReaderShapes, ::testing::ValuesIn(kShapes),
                         [](const ::testing::TestParamInfo<Shape>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// A damaged leaf page of the table: the rows of the other pages are all read, in order;
// the page's rows are counted through the index that still sees them.
TEST(LiveRowReader, DamagedPageIsJumpedOver) {
    for (const char* orderBy : {"", "s"}) {
        SCOPED_TRACE(*orderBy ? "sorted" : "table order");
        kit::ScratchFolder dir("liverows");
        const fs::path db = buildTable(dir.path() / "t.db", true);
        Shape shape{"", "", orderBy, true};
        const std::vector<Row> sound = plainRows(db, plainSql(shape));
        const int64_t rowid = kit::RecordDamage::NthRowid(db, "t", 150);
        const int held = kit::RecordDamage::DamageLeafOf(db, "t", rowid);
        ASSERT_GT(held, 1);
        const std::set<int64_t> onPage = unreadableIds(db);
        ASSERT_EQ(size_t(held), onPage.size());
        const Read r = readRows(db, queryOf(shape));
        EXPECT_EQ(without(sound, onPage), r.rows);
        EXPECT_EQ(1, r.outcome.stretches);
        EXPECT_EQ(int64_t(onPage.size()), r.outcome.lost);
    }
}

// A sorted read through an index that hides rows (an index leaf that lists fewer of its
// cells) ends without an error: told how many rows the table holds, the reader reads
// the others too.
TEST(LiveRowReader, RowsAnIndexHidesAreRead) {
    kit::ScratchFolder dir("liverows");
    const fs::path db = buildTable(dir.path() / "t.db", true);
    const std::vector<Row> sound = plainRows(db, "select id,k,s from t where s >= 's' order by s");
    ASSERT_EQ(size_t(kRows), sound.size());
    int64_t root = 0;
    {
        sqlite3* c = openReadOnlyDatabase(db.string());
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(c, "select rootpage from sqlite_master where name='t_s'", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW) root = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        sqlite3_close(c);
    }
    ASSERT_GT(root, 1);
    // The index's first leaf, found from its root, made to list half of its cells.
    std::fstream f(db, std::ios::binary | std::ios::in | std::ios::out);
    std::string page(1024, '\0');
    f.seekg(std::streamoff((root - 1) * 1024));
    f.read(page.data(), 1024);
    ASSERT_EQ(2, page[0]) << "the index spans more than one page";
    const size_t cell = be16(page, 12);
    const uint32_t child = (be16(page, cell) << 16) | be16(page, cell + 2);
    f.seekg(std::streamoff((int64_t(child) - 1) * 1024));
    f.read(page.data(), 1024);
    ASSERT_EQ(10, page[0]);
    const uint32_t cells = be16(page, 3);
    ASSERT_GT(cells, 4u);
    f.seekp(std::streamoff((int64_t(child) - 1) * 1024 + 3));
    f << char((cells / 2) >> 8) << char((cells / 2) & 0xff);
    f.close();
    const std::vector<Row> shown =
        plainRows(db, "select id,k,s from t indexed by t_s where s >= 's' order by s");
    ASSERT_EQ(size_t(kRows) - (cells - cells / 2), shown.size()) << "the index must hide rows, not fail";

    // A condition on the sort column: SQLite reads both through the index.
    const LiveQuery q = LiveQuery("t", "id,k,s").Where("s >= 's'").OrderBy("s");
    EXPECT_LT(readRows(db, q).rows.size(), sound.size()) << "without a count the index is trusted";
    const Read r = readRows(db, q, kRows);
    // The rows the index showed, then those it hid, each in order.
    std::vector<Row> expected = shown;
    const std::vector<Row> hidden = without(sound, ids(shown));
    expected.insert(expected.end(), hidden.begin(), hidden.end());
    EXPECT_EQ(expected, r.rows);
    EXPECT_EQ(0, r.outcome.lost);
}

// Tables the rowid walk cannot serve: a view is read as written (a damage ends it and
// counts as one stretch); a table that names a column "rowid" is walked by another
// name of its key; a query on a missing column does not prepare.
TEST(LiveRowReader, ViewsNamedKeysAndMissingColumns) {
    kit::ScratchFolder dir("liverows");
    const fs::path db = buildTable(dir.path() / "t.db", false);
    {
        sqlite3* c = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(db.string().c_str(), &c));
        EXPECT_EQ(SQLITE_OK, sqlite3_exec(c,
                                          "CREATE VIEW tv AS SELECT id,k,s FROM t;"
                                          "CREATE TABLE odd(rowid TEXT, id INTEGER, k INTEGER, s TEXT);"
                                          "INSERT INTO odd(rowid,id,k,s) SELECT 'x', id, k, s FROM t;",
                                          nullptr, nullptr, nullptr));
        sqlite3_close(c);
    }
    const std::vector<Row> sound = plainRows(db, "select id,k,s from t order by id");
    EXPECT_EQ(sound, readRows(db, LiveQuery("tv", "id,k,s")).rows);
    EXPECT_EQ(sound, readRows(db, LiveQuery("odd", "id,k,s")).rows);

    const Read missing = readRows(db, LiveQuery("t", "id,k,nothing"));
    EXPECT_FALSE(missing.outcome.prepared);
    EXPECT_TRUE(missing.rows.empty());

    const int64_t rowid = kit::RecordDamage::NthRowid(db, "odd", 150);
    ASSERT_TRUE(kit::RecordDamage::DamageRecord(db, "odd", rowid));
    const Read odd = readRows(db, LiveQuery("odd", "id,k,s"));
    EXPECT_EQ(size_t(kRows - 1), odd.rows.size());
    EXPECT_EQ(1, odd.outcome.skipped);

    ASSERT_TRUE(kit::RecordDamage::DamageRecord(db, "t", 150));
    const Read view = readRows(db, LiveQuery("tv", "id,k,s"));
    EXPECT_EQ(size_t(149), view.rows.size());
    EXPECT_EQ(1, view.outcome.stretches);
    // The rows after the damage, as a count through the view tells.
    EXPECT_EQ(kRows - 149, view.outcome.lost);
}

// A stop ends the read at once, also in the middle of stepping past damage.
TEST(LiveRowReader, StopsWhenTold) {
    kit::ScratchFolder dir("liverows");
    const fs::path db = buildTable(dir.path() / "t.db", false);
    ASSERT_TRUE(kit::RecordDamage::DamageRecord(db, "t", 5));
    for (const char* orderBy : {"", "s"}) {
        LiveQuery q("t", "id,k,s");
        if (*orderBy) q.OrderBy(orderBy);
        EXPECT_EQ(size_t(10), readRows(db, q, 0, 10).rows.size());
    }
}

namespace {

// A parser's live-row loop over the table, as CCommonInterFace runs it.
class RowParser : public CCommonInterFace {
  public:
    using CCommonInterFace::CCommonInterFace;
    bool PrepareTable() override { return false; }
    bool OnCarvedRecord(CarvedRecord*, int32_t) override { return false; }
    bool CheckCarvedValue(int32_t, uint32_t, CarvedValue*, uint32_t) override { return false; }
    int Read(const LiveQuery& q) {
        int rows = 0;
        ReadRows(q, [&](sqlite3_stmt*) { ++rows; });
        return rows;
    }
};

} // namespace

// What a parser's read stepped past is noted with the scan, under the parser's data
// type, once per read, naming the table for the log.
TEST(LiveRowReader, ParserNotesItsLoss) {
    kit::ScratchFolder dir("liverows");
    const fs::path db = buildTable(dir.path() / "t.db", false);
    ASSERT_TRUE(kit::RecordDamage::DamageRecord(db, "t", 100));
    ASSERT_TRUE(kit::RecordDamage::DamageRecord(db, "t", 200));
    const std::string out = (dir.path() / "out").string() + "/";
    CScanManager manager(0x20, out.c_str(), (dir.path().string() + "/").c_str(), 14, nullptr, nullptr);
    RowParser parser(&manager, 0x20);
    ASSERT_TRUE(parser.Open(db.c_str(), false));
    EXPECT_EQ(kRows - 2, parser.Read(LiveQuery("t", "id,k,s").OrderBy("k")));
    ASSERT_EQ(1u, manager.losses.size());
    EXPECT_EQ(0x20u, manager.losses[0].dataType);
    EXPECT_EQ(ScanLoss::Kind::UnreadableRows, manager.losses[0].kind);
    EXPECT_EQ(2, manager.losses[0].count);
    EXPECT_NE(std::string::npos, manager.losses[0].what.find("t.db, table t"));
    // A read that never reads the damaged records notes nothing.
    EXPECT_EQ(kRows - 2, parser.Read(LiveQuery("t", "id,k,s").Where("id<>100 and id<>200")));
    EXPECT_EQ(1u, manager.losses.size());
}
