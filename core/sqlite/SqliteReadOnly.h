#pragma once
#include <sqlite3.h>
#include <string>

// Opens a database of a backup strictly read-only: a `file:` URI with mode=ro and
// immutable=1, so SQLite neither creates, locks nor writes anything beside it (no
// journal, -wal or -shm files). A missing file fails without creating one.
// Returns the connection, or null on failure. Close it with sqlite3_close.
sqlite3* openReadOnlyDatabase(const std::string& path);

// The `file:` URI used for a path (percent-encoded).
std::string readOnlyDatabaseUri(const std::string& path);
