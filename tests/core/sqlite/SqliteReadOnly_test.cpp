#include "core/sqlite/SqliteReadOnly.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/PipeWatchdog.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace fs = std::filesystem;

namespace {
struct TempDir {
    fs::path path;
    explicit TempDir(const std::string& name)
        : path(fs::temp_directory_path() / ("ro_test_" + name + "_" + std::to_string(::getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

int64_t count(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    int64_t v = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}
} // namespace

TEST(SqliteReadOnly, MissingFileFailsAndCreatesNothing) {
    TempDir dir("missing");
    auto before = kit::FolderSnapshot::Take(dir.path);
    EXPECT_EQ(nullptr, openReadOnlyDatabase((dir.path / "nope.db").string()));
    EXPECT_EQ(nullptr, openReadOnlyDatabase(""));
    EXPECT_EQ(nullptr, openReadOnlyDatabase(dir.path.string())); // a folder
    EXPECT_EQ("", kit::FolderSnapshot::Take(dir.path).DiffFrom(before));
}

TEST(SqliteReadOnly, WalDatabaseIsReadWithoutSideFiles) {
    TempDir dir("wal");
    fs::path p = dir.path / "odd name #1?.db"; // characters that must be escaped in a URI
    {
        kit::FixtureDb db(p);
        db.exec("PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES(1),(2),(3);"
                "PRAGMA wal_checkpoint(TRUNCATE);");
    }
    fs::remove(p.string() + "-wal");
    fs::remove(p.string() + "-shm");
    auto before = kit::FolderSnapshot::Take(dir.path);

    sqlite3* db = openReadOnlyDatabase(p.string());
    ASSERT_NE(nullptr, db);
    EXPECT_EQ(3, count(db, "SELECT count(*) FROM t"));
    EXPECT_NE(SQLITE_OK, sqlite3_exec(db, "INSERT INTO t VALUES(4)", nullptr, nullptr, nullptr));
    sqlite3_close(db);

    EXPECT_EQ("", kit::FolderSnapshot::Take(dir.path).DiffFrom(before));
}

TEST(SqliteReadOnly, UriEscapesEverythingButPlainPathBytes) {
    EXPECT_EQ("file:/a/b.db?mode=ro&immutable=1", readOnlyDatabaseUri("/a/b.db"));
    EXPECT_EQ("file:/a%20b/%23%3F%25.db?mode=ro&immutable=1", readOnlyDatabaseUri("/a b/#?%.db"));
}

TEST(SqliteReadOnly, ConnectionIsDefensiveAndTrustsNoSchema) {
    TempDir dir("guard");
    const fs::path p = dir.path / "guard.db";
    {
        kit::FixtureDb db(p);
        db.exec("CREATE TABLE t(x); INSERT INTO t VALUES(1);");
    }
    sqlite3* db = openReadOnlyDatabase(p.string());
    ASSERT_NE(nullptr, db);
    struct {
        int option;
        int expected;
    } cases[] = {{SQLITE_DBCONFIG_DEFENSIVE, 1},
                 {SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0},
                 {SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0}};
    for (const auto& c : cases) {
        int value = -1;
        EXPECT_EQ(SQLITE_OK, sqlite3_db_config(db, c.option, -1, &value));
        EXPECT_EQ(c.expected, value) << c.option;
    }
    sqlite3_close(db);
}

namespace {

// Stands in for a stored database swapped for a named pipe right after our check of it:
// while installed as SQLite's default file layer, the first open of `target` by its path
// renames the pipe over it first, then opens the path as SQLite would.
class SwapForPipeOnOpen {
  public:
    SwapForPipeOnOpen(const fs::path& target, const fs::path& pipe) {
        target_ = target.string();
        pipe_ = pipe.string();
        base_ = sqlite3_vfs_find(nullptr);
        vfs_ = *base_;
        vfs_.zName = "swap-for-pipe";
        vfs_.xOpen = &SwapForPipeOnOpen::Open;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~SwapForPipeOnOpen() {
        sqlite3_vfs_unregister(&vfs_);
        sqlite3_vfs_register(base_, 1);
    }
    static int swaps;

  private:
    static int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
        if (name && target_ == name && std::rename(pipe_.c_str(), target_.c_str()) == 0) ++swaps;
        return base_->xOpen(base_, name, f, flags, outFlags);
    }
    static inline sqlite3_vfs* base_ = nullptr;
    static inline std::string target_, pipe_;
    sqlite3_vfs vfs_{};
};
int SwapForPipeOnOpen::swaps = 0;

} // namespace

// The database is opened once, without blocking, and SQLite reads that descriptor: a
// pipe put in its place after the check is never opened (SQLite's own open of a pipe
// waits for a writer for ever, and a stop cannot end it).
TEST(SqliteReadOnly, FileSwappedForAPipeAfterTheCheckIsNeverOpened) {
    TempDir dir("swap");
    const fs::path p = dir.path / "ab" / "ab01";
    fs::create_directories(p.parent_path());
    {
        kit::FixtureDb db(p);
        db.exec("CREATE TABLE t(x); INSERT INTO t VALUES(1),(2),(3);");
    }
    kit::PipeWatchdog watchdog(std::chrono::seconds(5));
    ASSERT_TRUE(watchdog.MakePipe(dir.path / "pipe"));
    watchdog.Watch(p);
    SwapForPipeOnOpen::swaps = 0;
    sqlite3* db = nullptr;
    {
        SwapForPipeOnOpen swap(p, dir.path / "pipe");
        watchdog.Start();
        db = openReadOnlyDatabase(p.string());
    }
    EXPECT_FALSE(watchdog.Stop()) << "the open blocked on the pipe";
    EXPECT_EQ(0, SwapForPipeOnOpen::swaps) << "SQLite opened the path again after the check";
    ASSERT_NE(nullptr, db);
    EXPECT_EQ(3, count(db, "SELECT count(*) FROM t"));
    sqlite3_close(db);
}

// What SQLite keeps aside while it reads (a sort larger than its cache, a temporary
// table) goes to its own temporary files, never beside the database.
TEST(SqliteReadOnly, TemporaryFilesOfALargeSortWork) {
    TempDir dir("sort");
    const fs::path p = dir.path / "big.db";
    {
        kit::FixtureDb db(p);
        db.exec("CREATE TABLE t(x TEXT); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                "WHERE i < "
                "20000) INSERT INTO t SELECT hex(randomblob(40)) FROM n;");
    }
    const auto before = kit::FolderSnapshot::Take(dir.path);
    sqlite3* db = openReadOnlyDatabase(p.string());
    ASSERT_NE(nullptr, db);
    ASSERT_EQ(SQLITE_OK,
              sqlite3_exec(db, "PRAGMA cache_size=2; PRAGMA temp_store=FILE;", nullptr, nullptr, nullptr));
    EXPECT_EQ(20000, count(db, "SELECT count(*) FROM (SELECT x FROM t ORDER BY x DESC)"));
    EXPECT_EQ(1, count(db, "SELECT (SELECT x FROM t ORDER BY x LIMIT 1) = (SELECT min(x) FROM t)"));
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TEMP TABLE k AS SELECT x FROM t WHERE rowid % 2 = 0",
                                      nullptr, nullptr, nullptr));
    EXPECT_EQ(10000, count(db, "SELECT count(*) FROM temp.k"));
    sqlite3_close(db);
    EXPECT_EQ("", kit::FolderSnapshot::Take(dir.path).DiffFrom(before));
}
