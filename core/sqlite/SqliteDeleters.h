#pragma once
#include <sqlite3.h>

#include <memory>

// Owning handles of SQLite objects: a prepared statement (finalized), a string that
// sqlite3_mprintf returned (freed), and a connection (closed).
struct StatementDeleter {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

struct SqlTextDeleter {
    void operator()(char* s) const { sqlite3_free(s); }
};
using SqlText = std::unique_ptr<char, SqlTextDeleter>;

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, DbCloser>;
