#pragma once
#include <sqlite3.h>
#include <string>

// Opens a database of a backup strictly read-only: a `file:` URI with mode=ro and
// immutable=1, so SQLite neither creates, locks nor writes anything beside it (no
// journal, -wal or -shm files). A missing file fails without creating one.
// Returns the connection, or null on failure. Close it with sqlite3_close.
sqlite3* openReadOnlyDatabase(const std::string& path);

// Opens our own copy of a backup database together with its write-ahead log (a copy
// in the scan's cache folder, never a file of the backup): read-only, but not
// immutable, so SQLite applies the log ("<path>-wal") and may keep its shared-memory
// index ("<path>-shm") beside the copy.
sqlite3* openReadOnlyDatabaseWithLog(const std::string& copyPath);

// The `file:` URI used for a path (percent-encoded); immutable unless `withLog`.
std::string readOnlyDatabaseUri(const std::string& path, bool withLog = false);
