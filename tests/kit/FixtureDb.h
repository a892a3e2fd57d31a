#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

namespace kit {

struct Blob {
    std::string bytes;
};
using Value = std::variant<std::nullptr_t, int64_t, double, std::string, Blob>;

// Builds a fixture database with real SQLite: secure_delete off and a rollback journal,
// so deleted rows stay on the pages for the carver to find. Every failure is a test
// failure (ADD_FAILURE) naming the SQL.
class FixtureDb {
  public:
    // Creates (replacing) the file. pageSize 0 keeps SQLite's default.
    explicit FixtureDb(const std::filesystem::path& path, int pageSize = 4096);
    ~FixtureDb();
    FixtureDb(const FixtureDb&) = delete;
    FixtureDb& operator=(const FixtureDb&) = delete;

    // Runs one or more statements (a schema, PRAGMAs, plain inserts).
    void exec(const std::string& sql);
    // Runs one statement with bound values (?1, ?2, ...); returns the last insert rowid.
    int64_t run(const std::string& sql, const std::vector<Value>& values = {});
    // Inserts one row: INSERT INTO table(columns...) VALUES(?...). Returns its rowid.
    int64_t insert(const std::string& table, const std::vector<std::string>& columns,
                   const std::vector<Value>& values);
    // Deletes the rows matching a WHERE clause (without the word WHERE).
    void deleteWhere(const std::string& table, const std::string& where);
    // Single integer result of a query (0 when no row).
    int64_t queryInt(const std::string& sql);

    sqlite3* handle() const { return db_; }
    const std::filesystem::path& path() const { return path_; }
    // Closes the connection so the file is complete on disk; later calls fail.
    void close();

  private:
    std::filesystem::path path_;
    sqlite3* db_ = nullptr;
};

} // namespace kit
