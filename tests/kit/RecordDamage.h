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

    // The records of every row on the leaf page that holds the row with `rowid` are
    // zeroed, their cells (payload size and rowid) left as they were: SQLite then reads
    // each of those rows as a row of NULLs. Returns the number of rows the page held, 0
    // when the row is not found.
    static int ZeroLeafRecordsOf(const std::filesystem::path& db, const std::string& table, int64_t rowid);
    // The same for the record of the row with `rowid` alone; false when not found.
    static bool ZeroRecord(const std::filesystem::path& db, const std::string& table, int64_t rowid);

    // The n-th entry (1-based, in key order) of a b-tree keyed by its record: an index,
    // or a table WITHOUT ROWID, found by name. The first byte of its key becomes 0xFF (a
    // key that sorts past every text key) and the type of its second column claims more
    // bytes than the record holds: the key still reads on its own, but SQLite reports
    // the entry as malformed when the rest of it is read. False when not found.
    static bool GarbleKeyedEntry(const std::filesystem::path& db, const std::string& tree, int64_t n);
};

} // namespace kit
