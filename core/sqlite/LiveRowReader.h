#pragma once
#include "core/sqlite/LiveQuery.h"

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Reads the rows of a LiveQuery so that damage costs only what is damaged: a row SQLite
// cannot read (a damaged record) is stepped past and counted, a stretch of the table that
// cannot be reached at all (a damaged page) is jumped over by key ranges, and the rows
// on both sides of either are read.
//
// Rows in the table's own order come from one walk over the rowid that starts again
// after each damaged row, which a query reading the keys alone finds. A sorted query
// first runs as written (through an index where there is one). When it fails part-way
// (a sort reads every row first, so one bad row fails it before its first row), or ends
// with fewer rows than the table holds for it (a damaged index), the rows it did not
// hand on are found by a walk over their keys and sort columns, put in order here, and
// read one by one after those it did: the order holds whenever the statement failed,
// while rows a damaged index hid come after the rows it showed.
//
// A table without a rowid (a view) is read as the query is written: a damage ends it.
class LiveRowReader {
  public:
    struct Outcome {
        // The query prepared: its table and columns exist.
        bool prepared = false;
        // Rows handed on.
        int64_t rows = 0;
        // Rows SQLite could not read, stepped past.
        int64_t skipped = 0;
        // Stretches of the table that could not be reached (a damaged page, or a damage
        // that ended the read): their rows are not known one by one.
        int64_t stretches = 0;
        // Rows lost, as well as they can be told: the rows skipped, and for the
        // stretches what a count of the table's rows says is missing (each stretch
        // at least one row).
        int64_t lost = 0;
    };

    LiveRowReader(sqlite3* db, LiveQuery query);
    ~LiveRowReader();
    LiveRowReader(const LiveRowReader&) = delete;
    LiveRowReader& operator=(const LiveRowReader&) = delete;

    // Hands every readable row to `onRow` until the rows end or `stop` says so. The
    // statement holds the query's columns first, then one more: the row's key. A sorted
    // query that ends with fewer rows than `expected` (the rows of the table that match
    // the condition, counted without any index; 0 when unknown) reads the table on its
    // own for the rows an index hid.
    Outcome Read(const std::function<bool()>& stop, const std::function<void(sqlite3_stmt*)>& onRow,
                 int64_t expected = 0);

  private:
    class KeyWalk;
    struct SortTerm {
        std::string column;
        bool descending = false;
        int collation = 0; // 0 binary, 1 nocase, 2 rtrim
    };

    std::string KeyName() const;
    void ReadAsWritten(Outcome& out);
    void ReadInTableOrder(Outcome& out);
    void ReadSorted(Outcome& out, int64_t expected);
    bool ParseOrder();
    void CountLost(Outcome& out) const;

    sqlite3* db;
    LiveQuery query;
    std::string from; // quoted table name
    std::string key;  // name of the rowid; empty for a table without one
    std::vector<SortTerm> terms;
    const std::function<bool()>* stop = nullptr;
    const std::function<void(sqlite3_stmt*)>* onRow = nullptr;
};
