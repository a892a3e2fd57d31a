#include "core/sqlite/SqliteReadOnly.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"

#include <gtest/gtest.h>

#include <unistd.h>

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
