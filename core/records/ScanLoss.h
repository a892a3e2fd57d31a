#pragma once
#include <cstdint>
#include <string>

// Something a scan could not read: written to the scan's log as it happens and told to
// the user once when the scan ends, so that damage costs only what is damaged and never
// goes unsaid.
struct ScanLoss {
    enum class Kind {
        // Rows of a table that SQLite could not read: stepped past, the rest read on.
        UnreadableRows,
        // A database's write-ahead log could not be applied: the database was read
        // without the changes held only in the log.
        LogNotApplied,
        // Records left out at a safety limit (a count no real store reaches).
        LeftOut,
        // A file shrank or changed while it was read: its read ended early.
        FileChanged,
        // A database of the backup that SQLite cannot read at all (damaged, or cut short):
        // its live rows are not there to read.
        UnreadableDatabase,
    };
    // ScanDataType bit of the data concerned (0: the scan as a whole).
    uint32_t dataType = 0;
    Kind kind = Kind::UnreadableRows;
    // Rows or records lost; 0 where no count applies (a log not applied, a file cut).
    int64_t count = 0;
    // For the log only: the database, table or store, never shown to the user.
    std::string what;
};
