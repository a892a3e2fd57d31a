#include "core/sqlite/CCommonInterFace.h"
#include "core/sqlite/CarverState.h"

#include "core/backup/IFileParser.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/LiveRowReader.h"
#include "core/sqlite/SqliteReadOnly.h"
#include "core/sqlite/SqliteDeleters.h"
#include "core/util/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr char kMagic[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

// A b-tree deeper than this is a damaged or crafted file (SQLite itself stops at 20).
constexpr int kMaxTreeDepth = 40;

inline uint32_t be16(const uint8_t* p) {
    return (uint32_t(p[0]) << 8) | p[1];
}
inline uint32_t be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Offset of the b-tree page header: page 1 carries the 100-byte file header first.
inline uint32_t headerOffset(uint64_t page) {
    return page == 1 ? 100 : 0;
}

Statement prepare(sqlite3* db, const char* sql) {
    if (!db || !sql) return nullptr;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    return Statement(st);
}

// Index of a result column by name, -1 when absent.
int resultColumn(sqlite3_stmt* st, const char* name) {
    int n = sqlite3_column_count(st);
    for (int i = 0; i < n; ++i) {
        const char* c = sqlite3_column_name(st, i);
        if (c && strcmp(c, name) == 0) return i;
    }
    return -1;
}

std::string columnText(sqlite3_stmt* st, int column) {
    if (column < 0) return {};
    const unsigned char* t = sqlite3_column_text(st, column);
    if (!t) return {};
    return std::string(reinterpret_cast<const char*>(t), size_t(sqlite3_column_bytes(st, column)));
}

bool equalsNoCase(const std::string& a, const char* b) {
    size_t n = strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 32);
        if (y >= 'a' && y <= 'z') y = char(y - 32);
        if (x != y) return false;
    }
    return true;
}

std::string trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Construction and lifetime

CCommonInterFace::CCommonInterFace(IParserOwner* owner, int32_t dataType)
    : owner(owner), dataType(static_cast<uint32_t>(dataType)), carver(std::make_unique<CarverState>()) {}

CCommonInterFace::~CCommonInterFace() {
    Close();
}

bool CCommonInterFace::Cancelled() const {
    return !owner || owner->CancelFlag().load();
}

std::string CCommonInterFace::StoredFilePath(int category, const std::string& devicePath) const {
    if (!owner || !owner->FileParser()) return {};
    std::string stored;
    // Without a stored file nothing is joined: the joined path would be the backup
    // folder itself.
    if (!owner->FileParser()->GetBackupFileName(category, devicePath.c_str(), &stored) || stored.empty())
        return {};
    return owner->BackupFilePath(stored);
}

bool CCommonInterFace::OpenStoredDatabase(int category, const std::string& devicePath, bool follow) {
    const std::string path = StoredFilePath(category, devicePath);
    return !path.empty() && OpenAs(path.c_str(), follow, devicePath);
}

bool CCommonInterFace::OpenBackupFile(const std::string& path, RegularFile& out) const {
    // A stored file is opened relative to the backup folder: no link below it is followed.
    if (owner) {
        const std::string& root = owner->BackupDir();
        if (!root.empty() && path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
            (root.back() == '/' || path[root.size()] == '/'))
            return out.OpenStored(root, path.substr(root.size()));
    }
    return out.OpenStoredPath(path);
}

std::string CCommonInterFace::CountClause(const LiveQuery& query) {
    std::string clause = query.orderBy.empty() ? "" : "NOT INDEXED";
    if (!query.where.empty()) clause += (clause.empty() ? "where (" : " where (") + query.where + ")";
    return clause;
}

bool CCommonInterFace::ReadRows(const LiveQuery& query, const std::function<void(sqlite3_stmt*)>& onRow) {
    if (!db || Cancelled()) return false;
    // The count sizes the progress (and tells a sorted read how many rows to expect): a
    // damaged page makes SQLite fail the count (read as 0) while the other rows can still
    // be read, and are.
    const int n = CountRows(query.table.c_str(), CountClause(query).c_str());
    progressDone = 0;
    progressTotal = n > 0 ? n : 1;
    return StepRows(
        db, query,
        [&](sqlite3_stmt* st) {
            if (progressDone < progressTotal) ReportProgress(2, false);
            onRow(st);
        },
        query.orderBy.empty() ? 0 : n);
}

bool CCommonInterFace::StepRows(sqlite3* connection, const LiveQuery& query,
                                const std::function<void(sqlite3_stmt*)>& onRow, int64_t expected,
                                const std::string& source) {
    if (!connection) connection = db;
    if (!connection || Cancelled()) return false;
    LiveRowReader reader(connection, query);
    const LiveRowReader::Outcome read = reader.Read([this] { return Cancelled(); }, onRow, expected);
    if (read.lost > 0 && owner) {
        // For the log: the stored file and the table (SQLite knows the file only by the
        // descriptor it reads).
        const std::string& path = connection == db || source.empty() ? rawPath : source;
        const std::string what = path.substr(path.find_last_of('/') + 1) + ", table " + query.table;
        owner->NoteLoss({dataType, ScanLoss::Kind::UnreadableRows, read.lost, what});
    }
    return read.prepared;
}

bool CCommonInterFace::Open(const char* path, bool follow) {
    return OpenAs(path, follow, std::string());
}

bool CCommonInterFace::OpenAs(const char* path, bool follow, const std::string& name) {
    Close();
    if (!path || !*path) return false;
    dbPath = path;
    rawPath = path;
    followOverflow = follow;
    // One descriptor, opened without following a link and without blocking, serves
    // SQLite, the raw pages and the copy: the path is not opened again.
    RegularFile raw;
    if (!OpenBackupFile(rawPath, raw)) {
        Close();
        return false;
    }
    // Rows kept only in the database's write-ahead log are read from a copy of both in
    // the scan's cache folder; the pages carved stay those of the stored file. When the
    // log cannot be applied the database is read without it, and the scan says so.
    std::string why;
    const std::string copy = CopyWithLog(raw, &why);
    if (!copy.empty()) {
        db = openReadOnlyDatabaseWithLog(copy);
        // SQLite reads the log when the schema is first read: a copy it cannot read (its
        // index of the log could not be made, say) gives way to the stored file.
        if (db &&
            sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) == SQLITE_OK) {
            dbPath = copy;
        } else {
            if (db) sqlite3_close_v2(db);
            db = nullptr;
            RemoveLogCopy(logCopy);
            logCopy.clear();
            why = "the copy with its log does not open";
        }
    }
    // For the log: the stored file's name in the backup (or the name given).
    auto what = [&] {
        const std::string root = owner ? owner->BackupDir() : std::string();
        return !name.empty()                                                 ? name
               : !root.empty() && rawPath.compare(0, root.size(), root) == 0 ? rawPath.substr(root.size())
                                                                             : rawPath;
    };
    if (!db) db = openReadOnlyDatabase(raw);
    file = raw.Release();
    // A stored file that is there but is no database SQLite can read (damaged, or cut
    // short while the backup was made) is told: otherwise its app would just look empty.
    if (!db || !ReadHeader()) {
        if (owner) owner->NoteLoss({dataType, ScanLoss::Kind::UnreadableDatabase, 0, what()});
        Close();
        return false;
    }
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK &&
        owner)
        owner->NoteLoss({dataType, ScanLoss::Kind::UnreadableDatabase, 0, what()});
    if (!why.empty() && owner)
        owner->NoteLoss({dataType, ScanLoss::Kind::LogNotApplied, 0, what() + " (" + why + ")"});
    return true;
}

namespace {

// Room the cache must keep beside a copy: SQLite's index of the log, and what else the
// scan writes there.
constexpr uint64_t kCopyMargin = uint64_t(64) << 20;

std::string megabytes(uint64_t bytes) {
    return std::to_string((bytes + (uint64_t(1) << 20) - 1) >> 20) + " MB";
}

} // namespace

std::string CCommonInterFace::CopyWithLog(const RegularFile& raw, std::string* why) {
    if (!owner || !owner->FileParser()) return {};
    const std::string& backupDir = owner->BackupDir();
    const std::string& outputDir = owner->OutputDir();
    if (backupDir.empty() || rawPath.size() <= backupDir.size() ||
        rawPath.compare(0, backupDir.size(), backupDir) != 0)
        return {};
    const std::string stored = rawPath.substr(backupDir.size());
    std::string logStored;
    if (!owner->FileParser()->GetLogFileName(stored, &logStored) || logStored.empty()) return {};
    RegularFile log;
    RegularFile::Kind found = RegularFile::Kind::Missing;
    if (!log.OpenStored(backupDir, logStored, &found)) {
        // A log the backup does not hold was empty; one that is not a file is damage.
        if (found != RegularFile::Kind::Missing) *why = "its log is not a regular file";
        return {};
    }
    if (log.Size() == 0) return {}; // an empty log holds no rows
    // Derived files never go into the backup folder.
    if (outputDir.empty() || outputDir.compare(0, backupDir.size(), backupDir) == 0) {
        *why = "no cache folder outside the backup";
        return {};
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(outputDir) / "logged";
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        *why = "the cache folder cannot be made: " + ec.message();
        return {};
    }
    // Only the data is copied (the holes of a sparse file stay holes), and only when the
    // cache has room for it: a copy never fills the disk.
    const uint64_t rawData = raw.DataBytes(), logData = log.DataBytes();
    const uint64_t need = rawData > UINT64_MAX - logData ? UINT64_MAX : rawData + logData;
    const std::optional<uint64_t> room = owner->CacheFreeBytes(folder.string());
    if (room && (*room < need || *room - need < kCopyMargin + need / 10)) {
        *why = "the cache has " + megabytes(*room) + " free, the copy needs " + megabytes(need) +
               " and room beside it";
        return {};
    }
    static std::atomic<uint64_t> serial{0};
    const std::string copy = (folder / ("db-" + std::to_string(++serial))).string();
    RemoveLogCopy(copy);
    if (!raw.CopyTo(copy, &owner->CancelFlag()) || !log.CopyTo(copy + "-wal", &owner->CancelFlag())) {
        RemoveLogCopy(copy);
        if (!Cancelled()) *why = "the copy into the cache failed";
        return {};
    }
    logCopy = copy;
    return copy;
}

void CCommonInterFace::RemoveLogCopy(const std::string& copy) {
    if (copy.empty()) return;
    for (const char* suffix : {"", "-wal", "-shm"})
        std::remove((copy + suffix).c_str());
}

bool CCommonInterFace::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    if (file < 0 || !buffer) return false;
    if (offset > fileSizeBytes || length > fileSizeBytes - offset) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < length) {
        ssize_t r = ::pread(file, out + done, length - done, off_t(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += size_t(r);
    }
    return true;
}

bool CCommonInterFace::ReadHeader() {
    pageSize = pageCount = usableSize = 0;
    if (file < 0) return false;
    struct stat st {};
    if (fstat(file, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 100) return false;
    fileSizeBytes = uint64_t(st.st_size);
    uint8_t header[100];
    if (!ReadAt(0, header, sizeof header)) return false;
    if (memcmp(header, kMagic, sizeof kMagic) != 0) return false;
    uint64_t size = be16(header + 16);
    if (size == 1) size = 65536;
    // Powers of two from 512 to 32768, and 65536 stored as 1.
    if (size < 512 || size > 65536 || (size & (size - 1)) != 0) return false;
    uint64_t usable = size - header[20];
    if (usable < 480) return false; // SQLite refuses such a file as well
    pageSize = size;
    usableSize = usable;
    pageCount = fileSizeBytes / pageSize;
    return true;
}

void CCommonInterFace::Close() {
    columnCount = 0;
    pageSize = 0;
    pageCount = 0;
    usableSize = 0;
    currentPage = 0;
    fileSizeBytes = 0;
    ClearColumns();
    pageBuffer.clear();
    pageBuffer.shrink_to_fit();
    columnKinds.clear();
    columnSizes.clear();
    acceptedKinds.clear();
    overflowBuffer.clear();
    overflowBuffer.shrink_to_fit();
    if (file >= 0) {
        ::close(file);
        file = -1;
    }
    if (db) {
        sqlite3_close_v2(db);
        db = nullptr;
    }
    RemoveLogCopy(logCopy);
    logCopy.clear();
    liveCells.clear();
    cellStarts.clear();
    ClearTableList(skipTables);
    carver->skipPages.clear();
    carver->skipCursorPage = 0;
    carver->skipCursorRanges.clear();
    carver->skipCursorIndex = 0;
    FreeRecord(&carver->scratchRecord);
    carver->columnAccept.clear();
    carver->pairFilter.clear();
    carver->filterColumns = -1;
}

// ---------------------------------------------------------------------------------------
// Page access

bool CCommonInterFace::ReadPage(uint64_t page) {
    currentPage = 0;
    if (file < 0 || pageSize == 0 || page == 0 || page > pageCount) return false;
    if (pageBuffer.size() != pageSize) pageBuffer.assign(pageSize, 0);
    if (!ReadAt((page - 1) * pageSize, pageBuffer.data(), pageSize)) {
        std::fill(pageBuffer.begin(), pageBuffer.end(), 0);
        return false;
    }
    currentPage = page;
    return true;
}

uint8_t CCommonInterFace::ReadPageType(uint64_t page) {
    if (file < 0 || pageSize == 0 || page == 0 || page > pageCount) return 0;
    uint8_t header[12];
    if (!ReadAt((page - 1) * pageSize + headerOffset(page), header, sizeof header)) return 0;
    return header[0];
}

int CCommonInterFace::ParseVarint(const uint8_t* data, int32_t length, uint64_t* out) {
    uint64_t v = 0;
    if (out) *out = 0;
    if (!data || length <= 0) return -1;
    int n = length < 9 ? length : 9;
    for (int i = 0; i < n; ++i) {
        uint8_t b = data[i];
        if (i == 8) {
            if (b >= 0x80) return -1;
            v = (v << 8) | b;
            if (out) *out = v;
            return 9;
        }
        v = (v << 7) | (b & 0x7f);
        if (b < 0x80) {
            if (out) *out = v;
            return i + 1;
        }
    }
    return -1;
}

// ---------------------------------------------------------------------------------------
// Schema and SQL

int CCommonInterFace::LoadColumns(const char* table) {
    ClearColumns();
    if (!db || !table) return -1;
    SqlText sql(sqlite3_mprintf("PRAGMA table_info(%Q)", table));
    Statement st = prepare(db, sql.get());
    if (!st) return -1;
    int cName = resultColumn(st.get(), "name");
    int cType = resultColumn(st.get(), "type");
    int cPk = resultColumn(st.get(), "pk");
    int primaryKeyColumns = 0;
    std::vector<int64_t> pk;
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        ColumnInfo info;
        info.name = columnText(st.get(), cName).substr(0, 127);
        info.type = columnText(st.get(), cType).substr(0, 127);
        int64_t key = (cPk >= 0 && sqlite3_column_type(st.get(), cPk) == SQLITE_INTEGER)
                          ? sqlite3_column_int64(st.get(), cPk)
                          : 0;
        if (key > 0) ++primaryKeyColumns;
        pk.push_back(key);
        columns.push_back(std::move(info));
    }
    // A column is the table's rowid (and then stored as NULL in every record) only when it
    // is the single primary-key column and declared with the type INTEGER exactly.
    for (size_t i = 0; i < columns.size(); ++i) {
        columns[i].isIntegerPrimaryKey =
            pk[i] == 1 && primaryKeyColumns == 1 && equalsNoCase(trimmed(columns[i].type), "INTEGER");
    }
    return int(columns.size());
}

int CCommonInterFace::GetTableRootPage(const char* table) {
    if (!db || !table) return -1;
    Statement st = prepare(db, "SELECT rootpage FROM sqlite_master WHERE type='table' AND name=?1");
    if (!st) return -1;
    sqlite3_bind_text(st.get(), 1, table, -1, SQLITE_TRANSIENT);
    int root = 0;
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        root = sqlite3_column_type(st.get(), 0) == SQLITE_INTEGER ? sqlite3_column_int(st.get(), 0) : 0;
    }
    return root;
}

bool CCommonInterFace::GetAllRootPages(std::vector<int32_t>& roots) {
    Statement st = prepare(db, "SELECT rootpage FROM sqlite_master");
    if (!st) return false;
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        if (sqlite3_column_type(st.get(), 0) != SQLITE_INTEGER) continue;
        int64_t root = sqlite3_column_int64(st.get(), 0);
        if (root > 0 && root <= INT32_MAX) roots.push_back(int32_t(root));
    }
    return true;
}

int CCommonInterFace::LoadTableList(std::vector<TableEntry>& tables) {
    ClearTableList(tables);
    Statement st =
        prepare(db, "SELECT name,rootpage FROM sqlite_master WHERE type='table' ORDER BY rootpage");
    if (!st) return -1;
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        std::string name = columnText(st.get(), 0);
        if (name.empty()) continue;
        TableEntry e;
        e.name = std::move(name);
        e.rootPage =
            sqlite3_column_type(st.get(), 1) == SQLITE_INTEGER ? sqlite3_column_int64(st.get(), 1) : 0;
        tables.push_back(std::move(e));
    }
    return int(tables.size());
}

int CCommonInterFace::CountRows(const char* table, const char* where) {
    return countRows(db, table, where);
}

int CCommonInterFace::countRows(sqlite3* connection, const char* table, const char* where) {
    if (!connection || !table) return 0;
    // The table name is quoted; `where` is a clause written by the calling parser.
    SqlText sql(sqlite3_mprintf("select count(*) from %Q %s", table, where ? where : ""));
    Statement st = prepare(connection, sql.get());
    if (!st) return 0;
    if (sqlite3_step(st.get()) != SQLITE_ROW) return 0;
    if (sqlite3_column_type(st.get(), 0) != SQLITE_INTEGER) return 0;
    return sqlite3_column_int(st.get(), 0);
}

void CCommonInterFace::ClearColumns() {
    columns.clear();
}

void CCommonInterFace::ClearTableList(std::vector<TableEntry>& tables) {
    tables.clear();
}

// ---------------------------------------------------------------------------------------
// Column and field access

int CCommonInterFace::GetColumnIndex(const char* name) const {
    if (!name) return -1;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == name) return int(i);
    }
    return -1;
}

int CCommonInterFace::CopyColumnText(sqlite3_stmt* statement, int column, std::string* out) {
    if (!out) return -1;
    out->clear();
    if (!statement) return -1;
    int type = sqlite3_column_type(statement, column);
    const void* data = nullptr;
    if (type == SQLITE_TEXT)
        data = sqlite3_column_text(statement, column);
    else if (type == SQLITE_BLOB)
        data = sqlite3_column_blob(statement, column);
    else
        return -1;
    int n = sqlite3_column_bytes(statement, column);
    if (!data || n < 0) {
        // An empty blob has no data pointer but is a value.
        if (type == SQLITE_BLOB && n == 0) return 0;
        return -1;
    }
    out->assign(static_cast<const char*>(data), size_t(n));
    return n;
}

int CCommonInterFace::ParseVarintChecked(const uint8_t* data, int32_t length, uint64_t* out,
                                         bool checkLength) {
    uint64_t v = 0;
    if (out) *out = 0;
    if (!data || length <= 0) return -1;
    int n = length < 9 ? length : 9;
    int used = -1;
    for (int i = 0; i < n; ++i) {
        uint8_t b = data[i];
        if (i == 8) {
            v |= uint64_t(b) << 56;
            if (b >= 0x80) return -1;
            used = 9;
            break;
        }
        v |= uint64_t(b & 0x7f) << (7 * i);
        if (b < 0x80) {
            used = i + 1;
            break;
        }
    }
    if (used < 0) return -1;
    if (checkLength && v > uint64_t(length - used)) return -1;
    if (out) *out = v;
    return used;
}

bool CCommonInterFace::ReadLengthDelimitedField(const char** cursor, int32_t* remaining, std::string* out,
                                                bool copy) {
    if (!cursor || !*cursor || !remaining || *remaining < 2) return false;
    const auto* p = reinterpret_cast<const uint8_t*>(*cursor);
    int32_t left = *remaining;
    uint64_t key = 0;
    int k = ParseVarintChecked(p, left, &key, false);
    if (k < 0) return false;
    p += k;
    left -= k;
    uint64_t length = 0;
    int l = ParseVarintChecked(p, left, &length, true);
    if (l < 0) return false;
    p += l;
    left -= l;
    // checkLength guarantees length <= left.
    if (copy && out) {
        const auto* text = reinterpret_cast<const char*>(p);
        const void* nul = memchr(text, 0, size_t(length));
        out->assign(text, nul ? size_t(static_cast<const char*>(nul) - text) : size_t(length));
    }
    if (length > 0 && p[0] == 0x0A) {
        // A nested message (field 1, length-delimited): stay at its start so that the
        // next call descends into it.
        *cursor = reinterpret_cast<const char*>(p);
        *remaining = left;
    } else {
        *cursor = reinterpret_cast<const char*>(p + length);
        *remaining = left - int32_t(length);
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Live-cell maps

uint64_t CCommonInterFace::LocalPayloadSize(uint64_t payload, bool indexPage) const {
    // The SQLite file format's rule for the part of a payload kept on the b-tree page.
    const uint64_t u = usableSize;
    if (u < 480) return payload;
    const uint64_t maxLocal = indexPage ? ((u - 12) * 64 / 255) - 23 : u - 35;
    if (payload <= maxLocal) return payload;
    const uint64_t minLocal = ((u - 12) * 32 / 255) - 23;
    const uint64_t k = minLocal + ((payload - minLocal) % (u - 4));
    return k <= maxLocal ? k : minLocal;
}

std::vector<uint64_t> CCommonInterFace::MapRootPages() {
    std::vector<int32_t> roots;
    GetAllRootPages(roots);
    std::vector<uint64_t> out;
    out.reserve(roots.size() + 1);
    // The schema table's own tree starts on page 1.
    if (pageCount >= 1) out.push_back(1);
    for (int32_t r : roots)
        out.push_back(uint64_t(r));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

bool CCommonInterFace::WalkTree(uint64_t page, std::vector<uint64_t>& leaves, std::vector<bool>& visited,
                                int depth) {
    if (file < 0 || page == 0 || page > pageCount) return false;
    if (visited.size() != pageCount + 1) visited.assign(pageCount + 1, false);
    if (visited[page]) {
        treeDamaged = true; // a loop or a page shared by two parents
        return true;
    }
    visited[page] = true;
    uint8_t type = ReadPageType(page);
    if (type == 10 || type == 13) {
        leaves.push_back(page);
        return true;
    }
    if (type != 2 && type != 5) return true;
    if (depth >= kMaxTreeDepth) return false;

    std::vector<uint64_t> children;
    {
        std::vector<uint8_t> buffer(pageSize);
        if (!ReadAt((page - 1) * pageSize, buffer.data(), pageSize)) return false;
        const uint32_t hdr = headerOffset(page);
        const uint8_t* h = buffer.data() + hdr;
        uint32_t cells = be16(h + 3);
        uint32_t right = be32(h + 8);
        // A count larger than the page can hold is clamped to the pointers that fit.
        uint32_t maxCells = uint32_t((pageSize - hdr - 12) / 2);
        if (cells > maxCells) cells = maxCells;
        children.reserve(cells + 1);
        const uint8_t* pointers = h + 12;
        for (uint32_t i = 0; i < cells; ++i) {
            uint32_t p = be16(pointers + 2 * i);
            if (uint64_t(p) + 4 > pageSize) continue;
            children.push_back(be32(buffer.data() + p));
        }
        if (right != 0) children.push_back(right);
    }
    for (uint64_t child : children) {
        // A child out of the file, met twice or of no b-tree type is a damaged page.
        if (child == 0 || child > pageCount || visited[child]) {
            treeDamaged = true;
            continue;
        }
        uint8_t t = ReadPageType(child);
        if (t == 2 || t == 5) {
            if (!WalkTree(child, leaves, visited, depth + 1)) treeDamaged = true;
        } else if (t == 10 || t == 13) {
            visited[child] = true;
            leaves.push_back(child);
        } else {
            treeDamaged = true;
        }
    }
    return true;
}

std::vector<bool> CCommonInterFace::FreelistPages(bool* complete, std::vector<bool>* trunks) const {
    std::vector<bool> free(pageCount + 1, false);
    if (complete) *complete = false;
    if (trunks) trunks->assign(pageCount + 1, false);
    uint8_t header[8];
    if (!ReadAt(32, header, sizeof header)) return free;
    uint64_t trunk = be32(header);
    const uint64_t total = be32(header + 4);
    // Every trunk page and every leaf page it lists, the chain guarded against loops.
    std::vector<uint8_t> page(pageSize);
    const uint64_t maxLeaves = usableSize >= 8 ? (usableSize - 8) / 4 : 0;
    uint64_t counted = 0;
    bool sound = true;
    while (trunk != 0) {
        if (trunk > pageCount || free[trunk] || !ReadAt((trunk - 1) * pageSize, page.data(), pageSize)) {
            sound = false;
            break;
        }
        free[trunk] = true;
        if (trunks) (*trunks)[trunk] = true;
        ++counted;
        const uint64_t next = be32(page.data());
        const uint64_t count = be32(page.data() + 4);
        if (count > maxLeaves) {
            sound = false;
            break;
        }
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t leaf = be32(page.data() + 8 + 4 * i);
            if (leaf == 0 || leaf > pageCount || free[leaf]) {
                sound = false;
                continue;
            }
            free[leaf] = true;
            ++counted;
        }
        trunk = next;
    }
    // Complete when the chain ends where it should and holds as many pages as the file
    // header counts.
    if (complete) *complete = sound && counted == total;
    return free;
}

bool CCommonInterFace::LooksLikeLeafPage() const {
    // The page in pageBuffer: a leaf header whose cell pointers all lie in the page's
    // content area, as SQLite itself would demand of it.
    if (pageBuffer.size() != pageSize || currentPage == 0) return false;
    const uint32_t hdr = headerOffset(currentPage);
    const uint8_t* h = pageBuffer.data() + hdr;
    if (h[0] != 10 && h[0] != 13) return false;
    const uint64_t cells = be16(h + 3);
    const uint64_t pointersEnd = hdr + 8 + 2 * cells;
    if (cells == 0 || pointersEnd > usableSize) return false;
    uint64_t contentStart = be16(h + 5);
    if (contentStart == 0) contentStart = 65536;
    if (contentStart < pointersEnd || contentStart > usableSize) return false;
    for (uint64_t i = 0; i < cells; ++i) {
        const uint64_t p = be16(h + 8 + 2 * i);
        if (p < contentStart || p >= usableSize) return false;
    }
    return true;
}

bool CCommonInterFace::CollectLeafPages(uint64_t page, std::vector<uint64_t>& leaves) {
    if (file < 0 || page == 0 || page > pageCount) return false;
    std::vector<bool> visited(pageCount + 1, false);
    return WalkTree(page, leaves, visited, 0);
}

bool CCommonInterFace::CollectLiveCellRanges(std::vector<CellRange>& ranges) {
    if (pageSize == 0 || pageBuffer.size() != pageSize || currentPage == 0) return false;
    const uint8_t* data = pageBuffer.data();
    const uint32_t hdr = headerOffset(currentPage);
    const uint8_t type = data[hdr];
    const bool interior = type == 2 || type == 5;
    const uint32_t headerLength = interior ? 12 : 8;
    const bool indexPage = type == 2 || type == 10;
    uint32_t cells = be16(data + hdr + 3);
    if (cells == 0) return false;
    uint32_t maxCells = uint32_t((pageSize - hdr - headerLength) / 2);
    if (cells > maxCells) cells = maxCells;
    const uint32_t pointers = hdr + headerLength;
    ranges.push_back({0, uint64_t(pointers) + 2ull * cells});
    for (uint32_t i = 0; i < cells; ++i) {
        const uint32_t p = be16(data + pointers + 2 * i);
        if (p >= pageSize) continue;
        uint64_t pos = p;
        if (interior) pos += 4; // left child page number
        if (pos >= pageSize) break;
        uint64_t end = 0;
        if (type == 5) {
            // Interior table cell: child page number and a rowid varint.
            uint64_t rowid = 0;
            int b = ParseVarint(data + pos, int32_t(pageSize - pos), &rowid);
            if (b < 0) break;
            end = pos + uint64_t(b);
        } else {
            uint64_t payload = 0;
            int a = ParseVarint(data + pos, int32_t(pageSize - pos), &payload);
            if (a < 0) break;
            pos += uint64_t(a);
            if (type != 2 && type != 10) {
                // Table leaf cell: the rowid follows the payload length.
                if (pos >= pageSize) break;
                uint64_t rowid = 0;
                int b = ParseVarint(data + pos, int32_t(pageSize - pos), &rowid);
                if (b < 0) break;
                pos += uint64_t(b);
            }
            uint64_t local = LocalPayloadSize(payload, indexPage);
            end = pos + local;
            if (local < payload) end += 4; // first overflow page number
        }
        ranges.push_back({p, std::min<uint64_t>(pageSize, end)});
    }
    return true;
}

bool CCommonInterFace::BuildLiveCellMap() {
    if (file < 0 || Cancelled()) return false;
    liveCells.clear();
    carver->skipCursorPage = 0;
    treeDamaged = false;
    cutOffLeafPages = 0;
    std::vector<uint64_t> roots = MapRootPages();
    progressDone = 0;
    progressTotal = int32_t(std::min<size_t>(roots.size(), INT32_MAX));
    if (roots.empty()) return true;
    std::vector<bool> visited(pageCount + 1, false);
    std::vector<uint64_t> leaves;
    std::vector<CellRange> ranges;
    for (uint64_t root : roots) {
        if (owner->CancelFlag().load()) break;
        ReportProgress(2, false);
        leaves.clear();
        uint8_t type = ReadPageType(root);
        if (type == 2 || type == 5 || type == 10 || type == 13) {
            if (!WalkTree(root, leaves, visited, 0)) treeDamaged = true;
        } else {
            treeDamaged = true; // a root page of no b-tree type
        }
        for (uint64_t leaf : leaves) {
            if (owner->CancelFlag().load()) break;
            // A leaf that cannot be read is left out; the build goes on with the next.
            if (!ReadPage(leaf)) continue;
            ranges.clear();
            CollectLiveCellRanges(ranges);
            std::sort(ranges.begin(), ranges.end(),
                      [](const CellRange& a, const CellRange& b) { return a.start < b.start; });
            std::vector<CellRange> merged;
            merged.reserve(ranges.size());
            for (const CellRange& r : ranges) {
                if (!merged.empty() && r.start <= merged.back().end) {
                    merged.back().end = std::max(merged.back().end, r.end);
                } else {
                    merged.push_back(r);
                }
            }
            liveCells[leaf] = std::move(merged);
        }
    }
    if (treeDamaged && !owner->CancelFlag().load()) AddCutOffLeaves(visited);
    return true;
}

void CCommonInterFace::AddCutOffLeaves(const std::vector<bool>& reached) {
    // A damaged interior page cuts its subtree off the walk: those leaf pages still hold
    // live rows (SQLite stopped at the damage and could not return them), which must not
    // come back as deleted records. Such a page is a well-formed leaf page that no tree
    // reaches and the freelist does not hold; freed leaf pages keep their old header
    // too, so only the freelist tells them apart.
    // A damaged freelist leaves freed leaf pages (whose deleted rows are what the carver
    // is for) indistinguishable from cut-off ones: then no page is added.
    bool freelistComplete = false;
    const std::vector<bool> free = FreelistPages(&freelistComplete);
    if (!freelistComplete) return;
    std::vector<CellRange> ranges;
    for (uint64_t page = 2; page <= pageCount; ++page) {
        if ((page < reached.size() && reached[page]) || free[page]) continue;
        if (owner->CancelFlag().load()) break;
        const uint8_t type = ReadPageType(page);
        if (type != 10 && type != 13) continue;
        if (!ReadPage(page) || !LooksLikeLeafPage()) continue;
        ranges.clear();
        CollectLiveCellRanges(ranges);
        std::sort(ranges.begin(), ranges.end(),
                  [](const CellRange& a, const CellRange& b) { return a.start < b.start; });
        std::vector<CellRange> merged;
        for (const CellRange& r : ranges) {
            if (!merged.empty() && r.start <= merged.back().end)
                merged.back().end = std::max(merged.back().end, r.end);
            else
                merged.push_back(r);
        }
        liveCells[page] = std::move(merged);
        ++cutOffLeafPages;
    }
}

void CCommonInterFace::BuildLiveCellMapFromPointers() {
    if (!db || file < 0 || Cancelled()) return;
    cellStarts.clear();
    std::vector<uint64_t> roots = MapRootPages();
    std::vector<bool> visited(pageCount + 1, false);
    std::vector<uint64_t> leaves;
    for (uint64_t root : roots) {
        if (owner->CancelFlag().load()) break;
        leaves.clear();
        uint8_t type = ReadPageType(root);
        if (type == 2 || type == 5 || type == 10 || type == 13) WalkTree(root, leaves, visited, 0);
        for (uint64_t leaf : leaves) {
            if (owner->CancelFlag().load()) break;
            std::vector<uint64_t> pointers;
            ReadCellPointers(leaf, pointers);
            std::sort(pointers.begin(), pointers.end());
            cellStarts[leaf] = std::move(pointers);
        }
    }
}

bool CCommonInterFace::ReadCellPointers(uint64_t page, std::vector<uint64_t>& pointers) {
    pointers.clear();
    if (file < 0 || pageSize == 0 || page == 0 || page > pageCount) return false;
    const uint64_t start = (page - 1) * pageSize;
    const uint32_t hdr = headerOffset(page);
    uint8_t header[8];
    if (!ReadAt(start + hdr, header, sizeof header)) return false;
    uint32_t cells = be16(header + 3);
    uint32_t maxCells = uint32_t((pageSize - hdr - 8) / 2);
    if (cells > maxCells) cells = maxCells;
    if (cells == 0) return true;
    std::vector<uint8_t> raw(2 * size_t(cells));
    if (!ReadAt(start + hdr + 8, raw.data(), raw.size())) return false;
    pointers.reserve(cells);
    for (uint32_t i = 0; i < cells; ++i)
        pointers.push_back(be16(raw.data() + 2 * i));
    return true;
}

// ---------------------------------------------------------------------------------------
// Progress

void CCommonInterFace::ReportProgress(int stage, bool finished) {
    if (!owner) return;
    if (finished) {
        owner->ReportProgress(int(dataType), stage, 1000, 1000, true);
        return;
    }
    int32_t done = progressDone;
    owner->ReportProgress(int(dataType), stage, done, progressTotal, false);
    if (progressDone < INT32_MAX) ++progressDone;
}

void CCommonInterFace::ReportProgressAt(int stage, int done) {
    progressDone = done;
    if (!owner) return;
    owner->ReportProgress(int(dataType), stage, done, progressTotal, false);
}

void CCommonInterFace::SetProgressSteps(int n) {
    if (!owner) return;
    owner->SetProgressSteps(n);
}

void CCommonInterFace::AddProgressStep(int n) {
    if (!owner) return;
    owner->AddProgressStep(n);
}
