#include "core/sqlite/SqliteReadOnly.h"

#include "core/sqlite/DescriptorVfs.h"
#include "core/util/RegularFile.h"

std::string readOnlyDatabaseUri(const std::string& path, bool withLog) {
    static const char hex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                     c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    uri += withLog ? "?mode=ro" : "?mode=ro&immutable=1";
    return uri;
}

namespace {

// A crafted schema must not run code of ours or reach SQLite's internals: defensive
// mode on, untrusted schema, no fts3_tokenizer() pointers.
sqlite3* guarded(sqlite3* db) {
    if (!db) return nullptr;
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    return db;
}

} // namespace

sqlite3* openReadOnlyDatabase(const RegularFile& file) {
    if (!file.IsOpen()) return nullptr;
    return guarded(DescriptorVfs::Open(file.Descriptor()));
}

sqlite3* openReadOnlyDatabase(const std::string& root, const std::string& relative) {
    RegularFile file;
    if (!file.OpenStored(root, relative)) return nullptr;
    return openReadOnlyDatabase(file);
}

sqlite3* openReadOnlyDatabase(const std::string& path) {
    RegularFile file;
    if (path.empty() || !file.OpenStoredPath(path)) return nullptr;
    return openReadOnlyDatabase(file);
}

sqlite3* openReadOnlyDatabaseWithLog(const std::string& copyPath) {
    // Our own copy in our own cache folder; it is a regular file, never a link.
    RegularFile check;
    if (copyPath.empty() || !check.Open(copyPath)) return nullptr;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(readOnlyDatabaseUri(copyPath, true).c_str(), &db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return guarded(db);
}
