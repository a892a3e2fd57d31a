#include "core/sqlite/SqliteReadOnly.h"

#include <sys/stat.h>

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

sqlite3* openDatabase(const std::string& path, bool withLog) {
    if (path.empty()) return nullptr;
    // A stored file that is a symbolic link is not opened (it would read a file from
    // outside the backup).
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(readOnlyDatabaseUri(path, withLog).c_str(), &db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    // A crafted schema must not run code of ours or reach SQLite's internals: defensive
    // mode on, untrusted schema, no fts3_tokenizer() pointers.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    return db;
}

} // namespace

sqlite3* openReadOnlyDatabase(const std::string& path) {
    return openDatabase(path, false);
}

sqlite3* openReadOnlyDatabaseWithLog(const std::string& copyPath) {
    return openDatabase(copyPath, true);
}
