#pragma once
#include <sqlite3.h>

// A SQLite file system layer that reads a database through a descriptor we opened and
// checked ourselves, never through its path: a file swapped for a pipe, a device or a
// link after our check cannot reach SQLite (its own open of a pipe would wait for a
// writer for ever). The database is read-only and immutable: nothing is written,
// locked or created beside it; SQLite's temporary files go to the default layer.
class DescriptorVfs {
  public:
    DescriptorVfs() = delete;

    // A read-only, immutable connection reading the regular file open at `fd` (which
    // stays the caller's: SQLite reads a duplicate of it). Null on failure.
    static sqlite3* Open(int fd);
};
