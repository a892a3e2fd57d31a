#pragma once
#include <sqlite3.h>
#include <string>

class RegularFile;

// Opens a database of a backup strictly read-only and immutable: SQLite neither
// creates, locks nor writes anything beside it (no journal, -wal or -shm files), and
// reads it through the descriptor of `file`, which the caller opened and checked as a
// regular file (RegularFile::OpenStored): the path is never opened again, so a file
// swapped for a pipe or a link meanwhile cannot reach SQLite. Returns the connection, or
// null on failure. Close it with sqlite3_close; `file` may be closed at once.
sqlite3* openReadOnlyDatabase(const RegularFile& file);
// The same for the stored file `relative` below the backup folder `root`.
sqlite3* openReadOnlyDatabase(const std::string& root, const std::string& relative);
// The same for a stored file named by its full path (RegularFile::OpenStoredPath). A
// missing file fails without creating one.
sqlite3* openReadOnlyDatabase(const std::string& path);

// Opens our own copy of a backup database together with its write-ahead log (a copy
// in the scan's cache folder, never a file of the backup): read-only, but not
// immutable, so SQLite applies the log ("<path>-wal") and may keep its shared-memory
// index ("<path>-shm") beside the copy.
sqlite3* openReadOnlyDatabaseWithLog(const std::string& copyPath);

// The `file:` URI used for a path (percent-encoded); immutable unless `withLog`.
std::string readOnlyDatabaseUri(const std::string& path, bool withLog = false);
