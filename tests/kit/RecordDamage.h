#pragma once
#include <cstdint>
#include <filesystem>
#include <string>

namespace kit {

// Damages one live row of a table in a closed SQLite file, in place, the way a bad
// sector or a torn write does, for tests and the developer tools that measure what such
// damage costs.
class RecordDamage {
  public:
    // The record of the row with `rowid`: its header then claims to hold no column, so
    // SQLite reports the row as malformed whenever one of its columns is read, while
    // the cell, its rowid and the rest of the page stay readable. False when the table
    // or the row is not found.
    static bool DamageRecord(const std::filesystem::path& db, const std::string& table, int64_t rowid);

    // The rowid of the n-th row (1-based) of a table in rowid order, as the file's
    // b-tree holds them; 0 when the table has fewer rows.
    static int64_t NthRowid(const std::filesystem::path& db, const std::string& table, int64_t n);

    // The leaf page that holds the row with `rowid`: its page header is overwritten, so
    // SQLite cannot read any row of that page (nor their keys). Returns the number of
    // rows the page held, 0 when the row is not found.
    static int DamageLeafOf(const std::filesystem::path& db, const std::string& table, int64_t rowid);
};

} // namespace kit
