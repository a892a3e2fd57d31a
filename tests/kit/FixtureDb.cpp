#include "tests/kit/FixtureDb.h"

#include <gtest/gtest.h>

namespace kit {

namespace {
void bindValue(sqlite3_stmt* st, int index, const Value& v) {
    if (std::holds_alternative<std::nullptr_t>(v)) {
        sqlite3_bind_null(st, index);
    } else if (auto* i = std::get_if<int64_t>(&v)) {
        sqlite3_bind_int64(st, index, *i);
    } else if (auto* d = std::get_if<double>(&v)) {
        sqlite3_bind_double(st, index, *d);
    } else if (auto* s = std::get_if<std::string>(&v)) {
        sqlite3_bind_text(st, index, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    } else if (auto* b = std::get_if<Blob>(&v)) {
        sqlite3_bind_blob(st, index, b->bytes.data(), static_cast<int>(b->bytes.size()), SQLITE_TRANSIENT);
    }
}
} // namespace

FixtureDb::FixtureDb(const std::filesystem::path& path, int pageSize) : path_(path) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::filesystem::remove(path, ec);
    std::filesystem::remove(path.string() + "-journal", ec);
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        ADD_FAILURE() << "cannot create fixture database " << path;
        sqlite3_close(db_);
        db_ = nullptr;
        return;
    }
    if (pageSize > 0) exec("PRAGMA page_size=" + std::to_string(pageSize) + ";");
    exec("PRAGMA secure_delete=OFF; PRAGMA journal_mode=DELETE; PRAGMA auto_vacuum=NONE;");
}

FixtureDb::~FixtureDb() {
    close();
}

void FixtureDb::close() {
    if (db_) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

void FixtureDb::exec(const std::string& sql) {
    if (!db_) {
        ADD_FAILURE() << "fixture database is closed: " << sql;
        return;
    }
    char* err = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        ADD_FAILURE() << "fixture SQL failed: " << (err ? err : "?") << "\n  " << sql;
    }
    sqlite3_free(err);
}

int64_t FixtureDb::run(const std::string& sql, const std::vector<Value>& values) {
    if (!db_) {
        ADD_FAILURE() << "fixture database is closed: " << sql;
        return 0;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "fixture SQL failed to prepare: " << sqlite3_errmsg(db_) << "\n  " << sql;
        return 0;
    }
    for (size_t i = 0; i < values.size(); ++i)
        bindValue(st, static_cast<int>(i + 1), values[i]);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) ADD_FAILURE() << "fixture SQL failed: " << sqlite3_errmsg(db_) << "\n  " << sql;
    sqlite3_finalize(st);
    return sqlite3_last_insert_rowid(db_);
}

int64_t FixtureDb::insert(const std::string& table, const std::vector<std::string>& columns,
                          const std::vector<Value>& values) {
    std::string sql = "INSERT INTO \"" + table + "\"(";
    std::string marks;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i) {
            sql += ",";
            marks += ",";
        }
        sql += "\"" + columns[i] + "\"";
        marks += "?" + std::to_string(i + 1);
    }
    sql += ") VALUES(" + marks + ")";
    return run(sql, values);
}

void FixtureDb::deleteWhere(const std::string& table, const std::string& where) {
    exec("DELETE FROM \"" + table + "\" WHERE " + where + ";");
}

int64_t FixtureDb::queryInt(const std::string& sql) {
    if (!db_) return 0;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "fixture query failed to prepare: " << sqlite3_errmsg(db_) << "\n  " << sql;
        return 0;
    }
    int64_t v = 0;
    if (sqlite3_step(st) == SQLITE_ROW) v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}

} // namespace kit
