#include "core/backup/CMbdbFileParser.h"

#include "core/util/RegularFile.h"

#include "core/backup/CWxAccountDiscovery.h"
#include "core/backup/ManifestFileBlob.h"
#include "core/sqlite/SqliteReadOnly.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_map>

namespace {

constexpr int kCategoryCount = 10;

bool startsWith(const std::string& s, const char* prefix, size_t prefixLength) {
    return s.size() >= prefixLength && std::memcmp(s.data(), prefix, prefixLength) == 0;
}

// Device-path prefixes in the order they are tried; the first match decides.
struct CategoryPrefix {
    const char* prefix;
    size_t length;
    int category; // 0: the Reminders store list
};

#define PREFIX(text, category)                                                                               \
    { text, sizeof(text) - 1, category }
const CategoryPrefix kPrefixes[] = {
    PREFIX("/var/mobile/Library/SMS/", CategorySms),
    PREFIX("/var/mobile/Library/AddressBook/", CategoryAddressBook),
    PREFIX("/var/mobile/Library/CallHistoryDB/", CategoryCallHistory),
    PREFIX("/var/wireless/Library/CallHistory/", CategoryCallHistory),
    PREFIX("/var/mobile/Library/Notes/", CategoryNotes),
    PREFIX("/var/mobile/Applications/group.com.apple.notes/", CategoryNotes),
    PREFIX("/var/mobile/Library/Safari/", CategorySafari),
    PREFIX("/var/mobile/Library/Calendar/", CategoryCalendar), // also CategoryCalendarReminders
    PREFIX("/var/mobile/Media/", CategoryMedia),
    PREFIX("/var/mobile/Applications/com.tencent.xin/", CategoryWeChat),
    PREFIX("/var/mobile/Applications/group.net.whatsapp.WhatsApp.shared/", CategoryWhatsApp),
    PREFIX("/var/mobile/Library/Reminders/Container_v1/Stores", 0),
};
#undef PREFIX

// Bounded reader over the bytes of a "Manifest.mbdb".
struct MbdbCursor {
    const uint8_t* data;
    size_t length;
    size_t pos;

    // A string is a 16-bit big-endian length and that many bytes; 0xFFFF is absent.
    // A length whose bytes do not fit gives an empty string and moves past the length
    // only; length bytes that do not fit leave the cursor where it is.
    std::string ReadString() {
        if (pos > length || length - pos < 2) return std::string();
        uint16_t n = static_cast<uint16_t>((data[pos] << 8) | data[pos + 1]);
        pos += 2;
        if (n == 0xFFFF || n == 0 || length - pos < n) return std::string();
        std::string s(reinterpret_cast<const char*>(data + pos), n);
        pos += n;
        return s;
    }

    uint64_t BigEndian(size_t at, int bytes) const {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | data[at + size_t(i)];
        return v;
    }
};

// Fixed block after the five strings of a record.
constexpr size_t kFixedBlock = 40;
constexpr size_t kMtimeAt = 18, kAtimeAt = 22, kCtimeAt = 26, kSizeAt = 30, kPropertyCountAt = 39;

// Percentage done, reported only when it grows (so never 0 and never twice the same).
struct ProgressReporter {
    const CMbdbFileParser::ProgressCallback& callback;
    int maximum = 0;

    void Report(double done, double total) {
        if (total <= 0) return;
        int percent = static_cast<int>(static_cast<float>(done) / static_cast<float>(total) * 100.0f);
        if (percent > maximum) {
            maximum = percent;
            if (callback) callback(percent);
        }
    }
};

// Reads the "Files" rows of a statement into records, columns found by name. The two
// name buffers are reused from row to row.
struct FilesRowReader {
    int fileIdColumn = -1, domainColumn = -1, pathColumn = -1, fileColumn = -1, flagsColumn = -1;
    int rowidColumn = -1;
    std::string domain, relativePath;
    std::string scratch; // for the blob decoder
    // Where the stored files lie, for the size of a file whose blob does not decode.
    const std::string& backupRoot;
    int iosMajorVersion = 0;
    // Rows of a known domain whose blob could not be decoded.
    int undecoded = 0;
    // Whether the last row read came back without its names: every real row has a
    // domain and a relative path (empty for a domain's own folder), so a row without
    // them is a damaged record whose cell survived, not a row to drop unnoticed.
    bool unreadable = false;

    FilesRowReader(sqlite3_stmt* st, const std::string& backupRoot, int iosMajorVersion)
        : backupRoot(backupRoot), iosMajorVersion(iosMajorVersion) {
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const char* name = sqlite3_column_name(st, i);
            if (!name) continue;
            if (std::strcmp(name, "fileID") == 0)
                fileIdColumn = i;
            else if (std::strcmp(name, "domain") == 0)
                domainColumn = i;
            else if (std::strcmp(name, "relativePath") == 0)
                pathColumn = i;
            else if (std::strcmp(name, "file") == 0)
                fileColumn = i;
            else if (std::strcmp(name, "flags") == 0)
                flagsColumn = i;
            else if (std::strcmp(name, "rowid") == 0)
                rowidColumn = i;
        }
    }

    // A text column up to its first NUL; any other type reads as empty.
    static void ReadText(sqlite3_stmt* st, int column, std::string& out) {
        out.clear();
        if (column < 0 || sqlite3_column_type(st, column) != SQLITE_TEXT) return;
        if (const unsigned char* text = sqlite3_column_text(st, column))
            out.assign(reinterpret_cast<const char*>(text));
    }

    // The record of the current row, or null when the row is not kept (`unreadable`
    // tells a row that came back without its names).
    std::unique_ptr<BackupFileRecord> Read(sqlite3_stmt* st) {
        ReadText(st, domainColumn, domain);
        ReadText(st, pathColumn, relativePath);
        unreadable = domainColumn >= 0 && pathColumn >= 0 &&
                     (domain.empty() || sqlite3_column_type(st, pathColumn) != SQLITE_TEXT);
        // Rows without both names, or of a domain with no device path, are dropped
        // whatever their attributes say: their blobs are not decoded at all.
        if (domain.empty() || relativePath.empty() || !backupDomainKnown(domain)) return nullptr;
        ManifestFileAttributes attrs;
        if (fileColumn >= 0 && sqlite3_column_type(st, fileColumn) == SQLITE_BLOB) {
            const void* blob = sqlite3_column_blob(st, fileColumn);
            int bytes = sqlite3_column_bytes(st, fileColumn);
            if (blob && bytes > 0) attrs = decodeManifestFileBlob(blob, size_t(bytes), scratch);
        }
        if (!attrs.decoded) {
            // The row's flags still tell a file (1) from a folder (2): a file is kept, its
            // size taken from the stored file when there is one, its times unknown.
            ++undecoded;
            const bool isFile = flagsColumn >= 0 && sqlite3_column_type(st, flagsColumn) == SQLITE_INTEGER &&
                                sqlite3_column_int64(st, flagsColumn) == 1;
            if (!isFile) return nullptr;
            return WithoutAttributes(domain, relativePath);
        }
        if (attrs.size == 0) return nullptr;
        return std::make_unique<BackupFileRecord>(domain, relativePath, attrs.size, attrs.mtime, attrs.atime,
                                                  attrs.ctime);
    }

    // The record of a file whose attributes are unknown: its size is that of the stored
    // file when there is one, its times 0.
    std::unique_ptr<BackupFileRecord> WithoutAttributes(const std::string& domain,
                                                        const std::string& relativePath) const {
        auto record = std::make_unique<BackupFileRecord>(domain, relativePath, 0, 0, 0, 0);
        RegularFile stored;
        if (stored.OpenStored(backupRoot, record->StoredPath(iosMajorVersion))) record->size = stored.Size();
        return record;
    }

    // Where the current row stands in the table: its rowid, or for a table without one
    // its fileID; empty when neither can be read.
    struct Locator {
        bool byRowid = false;
        int64_t rowid = 0;
        std::string fileId;
        bool Empty() const { return !byRowid && fileId.empty(); }
    };
    Locator Locate(sqlite3_stmt* st) const {
        Locator at;
        if (rowidColumn >= 0) {
            if (sqlite3_column_type(st, rowidColumn) == SQLITE_INTEGER) {
                at.byRowid = true;
                at.rowid = sqlite3_column_int64(st, rowidColumn);
            }
            return at;
        }
        ReadText(st, fileIdColumn, at.fileId);
        return at;
    }
};

// The names of rows whose record came back without them, read from the indexes over
// "Files" that hold them (an index entry holds its columns and the row's rowid, or the
// fileID of a table without rowid): the index entries of a damaged record are apart
// from it and usually intact.
struct RowNames {
    std::string fileId, domain, relativePath;
    bool hasFileId = false, hasDomain = false, hasPath = false, hasFlags = false;
    int64_t flags = 0;
};

class IndexedNames {
  public:
    using Locator = FilesRowReader::Locator;

    // Rows to look for; call before Read.
    void Want(const Locator& at) {
        if (at.byRowid)
            byRowid.emplace(at.rowid, RowNames());
        else if (!at.fileId.empty())
            byFileId.emplace(at.fileId, RowNames());
    }
    bool Empty() const { return byRowid.empty() && byFileId.empty(); }

    // One covering walk per index that holds one of the wanted columns. An index that
    // cannot be read to its end gives what was read before the damage.
    void Read(sqlite3* db) {
        if (Empty()) return;
        const bool withRowid = !byRowid.empty();
        std::vector<std::string> indexes;
        sqlite3_stmt* list = nullptr;
        if (sqlite3_prepare_v2(db, "select name from pragma_index_list('Files')", -1, &list, nullptr) ==
            SQLITE_OK) {
            while (sqlite3_step(list) == SQLITE_ROW) {
                if (const unsigned char* name = sqlite3_column_text(list, 0))
                    indexes.emplace_back(reinterpret_cast<const char*>(name));
            }
        }
        sqlite3_finalize(list);
        static const char* const kColumns[] = {"fileID", "domain", "relativePath", "flags"};
        for (const std::string& index : indexes) {
            // The wanted columns this index holds, in the fixed spelling.
            std::vector<int> held;
            sqlite3_stmt* info = nullptr;
            if (sqlite3_prepare_v2(db, "select name from pragma_index_info(?1)", -1, &info, nullptr) ==
                SQLITE_OK) {
                sqlite3_bind_text(info, 1, index.c_str(), -1, SQLITE_TRANSIENT);
                while (sqlite3_step(info) == SQLITE_ROW) {
                    const char* name = reinterpret_cast<const char*>(sqlite3_column_text(info, 0));
                    for (int c = 0; c < 4 && name; ++c) {
                        if (sqlite3_stricmp(name, kColumns[c]) == 0 &&
                            std::find(held.begin(), held.end(), c) == held.end())
                            held.push_back(c);
                    }
                }
            }
            sqlite3_finalize(info);
            if (held.empty()) continue;
            std::string sql = withRowid ? "select rowid" : "select fileID";
            for (int c : held)
                sql += std::string(",") + kColumns[c];
            sql += " from 'Files' indexed by \"";
            for (char ch : index)
                sql += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            sql += "\"";
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW) {
                    RowNames* names = Find(st, withRowid);
                    if (!names) continue;
                    for (size_t k = 0; k < held.size(); ++k)
                        Take(st, int(k) + 1, held[k], *names);
                }
            }
            sqlite3_finalize(st);
        }
    }

    const RowNames* Names(const Locator& at) const {
        if (at.byRowid) {
            auto it = byRowid.find(at.rowid);
            return it == byRowid.end() ? nullptr : &it->second;
        }
        auto it = byFileId.find(at.fileId);
        return it == byFileId.end() ? nullptr : &it->second;
    }

  private:
    RowNames* Find(sqlite3_stmt* st, bool withRowid) {
        if (withRowid) {
            if (sqlite3_column_type(st, 0) != SQLITE_INTEGER) return nullptr;
            auto it = byRowid.find(sqlite3_column_int64(st, 0));
            return it == byRowid.end() ? nullptr : &it->second;
        }
        std::string id;
        FilesRowReader::ReadText(st, 0, id);
        auto it = byFileId.find(id);
        return id.empty() || it == byFileId.end() ? nullptr : &it->second;
    }

    static void Take(sqlite3_stmt* st, int column, int which, RowNames& names) {
        if (which == 3) {
            if (sqlite3_column_type(st, column) != SQLITE_INTEGER) return;
            names.flags = sqlite3_column_int64(st, column);
            names.hasFlags = true;
            return;
        }
        if (sqlite3_column_type(st, column) != SQLITE_TEXT) return;
        std::string* out = which == 0 ? &names.fileId : which == 1 ? &names.domain : &names.relativePath;
        bool* has = which == 0 ? &names.hasFileId : which == 1 ? &names.hasDomain : &names.hasPath;
        FilesRowReader::ReadText(st, column, *out);
        *has = true;
    }

    std::unordered_map<int64_t, RowNames> byRowid;
    std::unordered_map<std::string, RowNames> byFileId;
};

// The record of a row read back from the indexes, or null when it is not kept: a
// folder, a domain with no device path, or names the indexes do not hold (`lost`).
std::unique_ptr<BackupFileRecord> recordFromNames(const RowNames* names, const FilesRowReader& reader,
                                                  bool& lost) {
    lost = !names || !names->hasDomain || !names->hasPath || names->domain.empty();
    if (lost) return nullptr;
    if (names->relativePath.empty() || !backupDomainKnown(names->domain)) return nullptr;
    if (names->hasFlags && names->flags != 1) return nullptr; // a folder
    std::unique_ptr<BackupFileRecord> record = reader.WithoutAttributes(names->domain, names->relativePath);
    // Flags that cannot be read either: a file is kept when the backup holds it.
    if (!names->hasFlags && record->size == 0) {
        RegularFile stored;
        if (!stored.OpenStored(reader.backupRoot, record->StoredPath(reader.iosMajorVersion))) return nullptr;
    }
    return record;
}

// The column list of the "Files" query: with "flags" when the table has it.
std::string filesQuery(sqlite3* db, const char* order, const char* extraColumn = nullptr) {
    std::string sql = "select fileID,domain,relativePath,file";
    // A table or a view: whether the column is there, SQLite says by preparing it.
    sqlite3_stmt* probe = nullptr;
    if (sqlite3_prepare_v2(db, "select flags from 'Files' limit 0", -1, &probe, nullptr) == SQLITE_OK)
        sql += ",flags";
    sqlite3_finalize(probe);
    if (extraColumn) sql += std::string(",") + extraColumn;
    sql += " from 'Files'";
    sql += order;
    return sql;
}

// A walk over the "Files" rows in the order of one key (the rowid, or fileID) that steps
// past a row SQLite cannot read (a damaged record): the walk starts again after the last
// key it has read, leaving out the rows since then, the unreadable one included. A
// damaged record's own key is never used: it may be anything, and a restart after it
// would leave out every row up to wherever it sorts. Each such row counts as skipped.
// A damage that the restarts cannot get past ends the walk as failed.
class FilesWalk {
  public:
    // `select` is the column list and table ("select ... from 'Files'"), `key` the key
    // column, which the column list holds.
    // `rows` is the row count SQLite gives for the table (0 when unknown): a walk that
    // has met as many rows, read or skipped, and is handed another one is going round
    // (keys that compare unlike they sort) and ends as failed.
    // `stepPast` false ends the walk at the first row that cannot be read (a walk whose
    // every restart would sort the whole table again).
    FilesWalk(sqlite3* db, std::string select, std::string key, int64_t rows = 0, bool stepPast = true)
        : db(db), select(std::move(select)), key(std::move(key)), rows(rows), stepPast(stepPast) {}
    ~FilesWalk() {
        sqlite3_finalize(st);
        sqlite3_value_free(lastKey);
    }
    FilesWalk(const FilesWalk&) = delete;
    FilesWalk& operator=(const FilesWalk&) = delete;

    bool Start() {
        if (!Prepare()) return false;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const char* name = sqlite3_column_name(st, i);
            if (name && sqlite3_stricmp(name, key.c_str()) == 0) keyColumn = i;
        }
        return true;
    }
    sqlite3_stmt* Statement() const { return st; }
    // The next row (true), or the end of the walk (false; Failed tells a damage that
    // could not be stepped past).
    bool Next() {
        while (st) {
            const int rc = sqlite3_step(st);
            if (rc == SQLITE_ROW) {
                if (rows > 0 && seen + skipped >= rows) {
                    failed = true;
                    return false;
                }
                sqlite3_value* value = keyColumn >= 0 ? sqlite3_column_value(st, keyColumn) : nullptr;
                if (value && sqlite3_value_type(value) != SQLITE_NULL) {
                    sqlite3_value_free(lastKey);
                    lastKey = sqlite3_value_dup(value);
                    sinceKey = 0;
                } else {
                    ++sinceKey; // a NULL key sorts before every key: the restart counts it
                }
                ++seen;
                failuresInARow = 0;
                return true;
            }
            if (rc == SQLITE_DONE) return false;
            // Without an index on the key SQLite sorts the whole table before the first
            // row, so a damaged row fails every restart and the rows skipped are not the
            // damaged one: a run of failures with no row between them ends the walk.
            if (!stepPast || ++failuresInARow > kMaxFailuresInARow || !StepPast()) {
                failed = true;
                return false;
            }
        }
        return false;
    }
    bool Failed() const { return failed; }
    int Skipped() const { return skipped; }
    int64_t Seen() const { return seen; }

  private:
    // Prepares the walk from the start, or after the last key read, leaving out the
    // first `sinceKey` rows (those already handed on or skipped since that key).
    // OFFSET passes over rows without reading their columns.
    bool Prepare() {
        sqlite3_finalize(st);
        st = nullptr;
        std::string sql = select;
        if (lastKey) sql += " where " + key + " > ?1";
        sql += " order by " + key;
        if (sinceKey > 0) sql += " limit -1 offset ?2";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            st = nullptr;
            return false;
        }
        if (lastKey) sqlite3_bind_value(st, 1, lastKey);
        if (sinceKey > 0) sqlite3_bind_int64(st, 2, sinceKey);
        return true;
    }

    // After a failed step: the row that failed is the next after those handed on since
    // the last key; the walk starts again past it.
    bool StepPast() {
        if (keyColumn < 0 || skipped >= kMaxSkipped) return false;
        ++sinceKey;
        ++skipped;
        return Prepare();
    }

    static constexpr int kMaxFailuresInARow = 8;
    static constexpr int kMaxSkipped = 100000;

    sqlite3* db;
    std::string select, key;
    int keyColumn = -1;
    int failuresInARow = 0;
    int64_t rows = 0;
    bool stepPast = true;
    sqlite3_stmt* st = nullptr;
    // The key of the last row handed on whose key was not NULL, and the rows met since
    // it in key order.
    sqlite3_value* lastKey = nullptr;
    int64_t sinceKey = 0;
    int skipped = 0;
    int64_t seen = 0;
    bool failed = false;
};

// Whether "ORDER BY fileID" on "Files" compares plain bytes: a table (not a view) whose
// fileID column has the default BINARY collation.
bool fileIdSortsAsBytes(sqlite3* db) {
    const char* collation = nullptr;
    if (sqlite3_table_column_metadata(db, nullptr, "Files", "fileID", nullptr, &collation, nullptr, nullptr,
                                      nullptr) != SQLITE_OK)
        return false;
    return collation && sqlite3_stricmp(collation, "BINARY") == 0;
}

constexpr int kReminderStore = kCategoryCount + 1;

// Where an entry of a device path is filed: its category (1 to 10), kReminderStore for
// the Reminders store list, or 0 for nowhere. The first prefix it begins with decides.
int categoryOf(const std::string& devicePath) {
    for (const CategoryPrefix& p : kPrefixes) {
        if (startsWith(devicePath, p.prefix, p.length)) return p.category == 0 ? kReminderStore : p.category;
    }
    return 0;
}

// Kept records with where each is filed, in fileID order.
struct SortedEntries {
    std::vector<std::unique_ptr<BackupFileRecord>> records;
    std::vector<uint8_t> categories;
};

// Kept records read in table order, sorted afterwards into fileID order: a walk of the
// fileID index would visit the table's pages out of order, one random read per row.
// Each record's category and its claim in the category indexes are settled while the
// record is at hand; a device path claimed twice goes, once the order is known, to the
// first entry in fileID order (as filing in that order would give).
// Gives up (false, nothing kept, the indexes to be rebuilt) whenever the result could
// differ from what "ORDER BY fileID" gives: a kept row whose fileID is not plain ASCII
// text (other types and encodings sort differently), two kept rows with the same
// fileID (their order is SQLite's to choose), or a read error (the rows read before it
// would not be the same).
bool readInFileIdOrder(sqlite3* db, ProgressReporter& reporter, double entriesBefore, double total,
                       DevicePathIndex (&index)[kCategoryCount], SortedEntries& out,
                       const std::string& backupRoot, int iosMajorVersion, int& undecoded, int& skipped) {
    if (!fileIdSortsAsBytes(db)) return false;
    // The table's own order is the rowid's; a table without one is read by the walk in
    // fileID order.
    FilesWalk walk(db, filesQuery(db, "", "rowid"), "rowid", int64_t(total));
    if (!walk.Start()) return false;
    sqlite3_stmt* st = walk.Statement();
    FilesRowReader reader(st, backupRoot, iosMajorVersion);
    if (reader.fileIdColumn < 0) return false;

    std::vector<std::unique_ptr<BackupFileRecord>> records;
    std::vector<uint8_t> categories;
    if (total < double(1 << 24)) {
        records.reserve(size_t(total));
        categories.reserve(size_t(total));
    }
    struct Clash {
        int category;
        size_t record; // the entry that found the path claimed
    };
    std::vector<Clash> clashes;
    auto claims = [](int category, auto&& claim) {
        if (category < 1 || category > kCategoryCount) return;
        claim(category);
        if (category == CategoryCalendar) claim(CategoryCalendarReminders);
    };
    std::string keys;                             // every kept row's fileID, back to back
    std::vector<std::pair<size_t, size_t>> keyAt; // offset and length in keys, per record
    // Files a kept record under its fileID; false when the fileID is not plain ASCII.
    auto keep = [&](std::unique_ptr<BackupFileRecord> record, const unsigned char* id, int idLength) {
        if (!id || idLength < 0) return false;
        bool plain = true;
        for (int i = 0; i < idLength && plain; ++i)
            plain = id[i] != 0 && id[i] < 0x80;
        if (!plain) return false;
        keyAt.emplace_back(keys.size(), size_t(idLength));
        keys.append(reinterpret_cast<const char*>(id), size_t(idLength));

        const int category = categoryOf(record->devicePath);
        claims(category, [&](int c) {
            if (!index[c - 1].Claim(record.get())) clashes.push_back({c, records.size()});
        });
        records.push_back(std::move(record));
        categories.push_back(uint8_t(category));
        reporter.Report(entriesBefore + double(records.size()), total);
        return true;
    };
    std::vector<FilesRowReader::Locator> unreadable; // rows that came back without names
    bool complete = false;
    while (true) {
        if (!walk.Next()) {
            complete = !walk.Failed();
            break;
        }
        st = walk.Statement();
        std::unique_ptr<BackupFileRecord> record = reader.Read(st);
        if (!record) {
            if (reader.unreadable) unreadable.push_back(reader.Locate(st));
            continue;
        }
        if (sqlite3_column_type(st, reader.fileIdColumn) != SQLITE_TEXT) break;
        if (!keep(std::move(record), sqlite3_column_text(st, reader.fileIdColumn),
                  sqlite3_column_bytes(st, reader.fileIdColumn)))
            break;
    }
    if (!complete) return false;
    // Rows without names: read back from the indexes, with their fileID to sort them by.
    int lost = 0;
    if (!unreadable.empty()) {
        IndexedNames names;
        for (const auto& at : unreadable)
            names.Want(at);
        names.Read(db);
        for (const auto& at : unreadable) {
            const RowNames* found = at.Empty() ? nullptr : names.Names(at);
            bool missing = false;
            std::unique_ptr<BackupFileRecord> record = recordFromNames(found, reader, missing);
            if (missing || (record && !found->hasFileId)) {
                ++lost;
                continue;
            }
            if (!record) continue;
            ++reader.undecoded;
            const std::string& id = found->fileId;
            if (!keep(std::move(record), reinterpret_cast<const unsigned char*>(id.data()), int(id.size())))
                return false;
        }
    }
    undecoded += reader.undecoded;
    skipped += walk.Skipped() + lost;

    // SQLite's BINARY collation: bytes compared up to the shorter length, then the
    // shorter first. The first eight bytes, zero-padded, settle most comparisons (a
    // fileID holds no zero byte).
    struct SortKey {
        uint64_t head;
        size_t record;
    };
    auto key = [&](size_t i) { return std::string_view(keys.data() + keyAt[i].first, keyAt[i].second); };
    std::vector<SortKey> order(records.size());
    for (size_t i = 0; i < order.size(); ++i) {
        uint64_t head = 0;
        const std::string_view k = key(i);
        for (size_t b = 0; b < 8; ++b)
            head = (head << 8) | (b < k.size() ? uint8_t(k[b]) : 0);
        order[i] = {head, i};
    }
    std::sort(order.begin(), order.end(), [&](const SortKey& a, const SortKey& b) {
        return a.head != b.head ? a.head < b.head : key(a.record) < key(b.record);
    });
    for (size_t i = 1; i < order.size(); ++i) {
        if (order[i - 1].head == order[i].head && key(order[i - 1].record) == key(order[i].record))
            return false;
    }

    if (!clashes.empty()) {
        // Positions in fileID order of every entry involved; an entry of an earlier Open
        // (not in this batch) comes before them all.
        std::unordered_map<const BackupFileRecord*, int64_t> position;
        for (const Clash& c : clashes) {
            position.emplace(records[c.record].get(), -1);
            position.emplace(index[c.category - 1].Find(records[c.record]->devicePath), -1);
        }
        for (size_t p = 0; p < order.size(); ++p) {
            auto it = position.find(records[order[p].record].get());
            if (it != position.end()) it->second = int64_t(p);
        }
        for (const Clash& c : clashes) {
            BackupFileRecord* challenger = records[c.record].get();
            if (position[challenger] < position[index[c.category - 1].Find(challenger->devicePath)])
                index[c.category - 1].Replace(challenger);
        }
    }

    out.records.reserve(out.records.size() + order.size());
    out.categories.reserve(out.categories.size() + order.size());
    for (const SortKey& k : order) {
        out.records.push_back(std::move(records[k.record]));
        out.categories.push_back(categories[k.record]);
    }
    return true;
}

// Whether "Files" is a table with a rowid (not a view, not WITHOUT ROWID).
bool filesHasRowid(sqlite3* db) {
    sqlite3_stmt* probe = nullptr;
    const bool has =
        sqlite3_prepare_v2(db, "select rowid from 'Files' limit 0", -1, &probe, nullptr) == SQLITE_OK;
    sqlite3_finalize(probe);
    return has;
}

// What a walk of "Files" in fileID order read: the kept records in order, with a place
// left (a null record and where the row stands) for each row that came back without
// its names.
struct FileIdOrderRead {
    struct Row {
        std::unique_ptr<BackupFileRecord> record;
        FilesRowReader::Locator at;
    };
    std::vector<Row> rows;
    bool started = false, failed = false;
    int64_t seen = 0;
    int skipped = 0, undecoded = 0, unreadable = 0;
};

FileIdOrderRead readThroughSqlite(sqlite3* db, std::string select, int64_t total, bool stepPast,
                                  ProgressReporter& reporter, double entriesBefore,
                                  const std::string& backupRoot, int iosMajorVersion) {
    FileIdOrderRead read;
    FilesWalk walk(db, std::move(select), "fileID", total, stepPast);
    if (!walk.Start()) return read;
    read.started = true;
    FilesRowReader reader(walk.Statement(), backupRoot, iosMajorVersion);
    size_t kept = 0;
    while (walk.Next()) {
        std::unique_ptr<BackupFileRecord> record = reader.Read(walk.Statement());
        if (record) {
            read.rows.push_back({std::move(record), {}});
            reporter.Report(entriesBefore + double(++kept), double(total));
        } else if (reader.unreadable) {
            read.rows.push_back({nullptr, reader.Locate(walk.Statement())});
            ++read.unreadable;
        }
    }
    read.failed = walk.Failed();
    read.seen = walk.Seen();
    read.skipped = walk.Skipped();
    read.undecoded = reader.undecoded;
    return read;
}

} // namespace

CMbdbFileParser::CMbdbFileParser() = default;

CMbdbFileParser::~CMbdbFileParser() {
    ReleaseEntries();
}

bool CMbdbFileParser::Open(const char* manifestPath, const char* backupRoot, int iosMajorVersion,
                           ProgressCallback progress) {
    cleared = false;
    undecodedFileRows = 0;
    skippedFileRows = 0;
    byStoredName.clear();
    this->backupRoot = backupRoot ? backupRoot : "";
    this->iosMajorVersion = iosMajorVersion;
    if (!manifestPath || !*manifestPath) return false;

    RegularFile file;
    if (!file.Open(manifestPath)) return false;
    const uint64_t size = file.Size();
    if (size == 0 || size > uint64_t(SIZE_MAX / 2)) return false;

    // The magic decides the format; only the first bytes are read for it.
    uint8_t head[16] = {};
    const size_t headLength = size < sizeof head ? size_t(size) : sizeof head;
    if (!file.ReadAt(0, head, headLength)) return false;

    static const uint8_t kMbdbMagic[6] = {'m', 'b', 'd', 'b', 0x05, 0x00};
    if (headLength >= sizeof kMbdbMagic && std::memcmp(head, kMbdbMagic, sizeof kMbdbMagic) == 0) {
        std::string bytes;
        if (!file.ReadAll(bytes, size_t(size))) return false;
        std::vector<uint8_t> data(bytes.begin(), bytes.end());
        return ParseMbdb(data, progress);
    }
    if (headLength >= 15 && std::memcmp(head, "SQLite format 3", 15) == 0) {
        return ParseDatabase(manifestPath, progress);
    }
    return false;
}

bool CMbdbFileParser::ParseMbdb(const std::vector<uint8_t>& data, const ProgressCallback& progress) {
    ProgressReporter reporter{progress};
    MbdbCursor c{data.data(), data.size(), 6};
    if (data.size() < 7) return true;

    while (!cleared.load(std::memory_order_relaxed)) {
        std::string domain = c.ReadString();
        std::string path = c.ReadString();
        c.ReadString(); // link target
        c.ReadString(); // data hash
        c.ReadString(); // encryption key

        // A record cut short ends the parse; the entries before it stay.
        if (c.pos > c.length || c.length - c.pos < kFixedBlock) break;
        int32_t mtime = static_cast<int32_t>(static_cast<uint32_t>(c.BigEndian(c.pos + kMtimeAt, 4)));
        int32_t atime = static_cast<int32_t>(static_cast<uint32_t>(c.BigEndian(c.pos + kAtimeAt, 4)));
        int32_t ctime = static_cast<int32_t>(static_cast<uint32_t>(c.BigEndian(c.pos + kCtimeAt, 4)));
        uint64_t size = c.BigEndian(c.pos + kSizeAt, 8);
        int propertyCount = c.data[c.pos + kPropertyCountAt];
        c.pos += kFixedBlock;
        for (int i = 0; i < propertyCount; ++i) {
            c.ReadString(); // name
            c.ReadString(); // value
        }

        if (size != 0 && (!domain.empty() || !path.empty())) {
            AddEntry(std::make_unique<BackupFileRecord>(domain, path, size, mtime, atime, ctime));
            reporter.Report(double(c.pos), double(c.length));
        }
        if (c.pos >= c.length) break;
    }
    return true;
}

namespace {

// The count a "select count(*)" statement gives; 0 when it fails.
int64_t countFiles(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    int64_t total = 0;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        total = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return total;
}

} // namespace

bool CMbdbFileParser::ParseDatabase(const char* path, const ProgressCallback& progress) {
    sqlite3* db = openReadOnlyDatabase(path);
    if (!db) return false;
    struct DbCloser {
        sqlite3* db;
        ~DbCloser() { sqlite3_close(db); }
    } dbCloser{db};

    // SQLite counts through the smallest index that covers the table: a damaged index
    // would undercount the rows (cutting the walks short) or fail the count. The table is
    // counted on its own as well; the larger count that succeeds stands.
    const int64_t total =
        std::max(countFiles(db, "select count(*) as total_row from 'Files' ORDER BY fileID"),
                 countFiles(db, "select count(*) from 'Files' NOT INDEXED"));
    if (total <= 0) return false;

    ProgressReporter reporter{progress};
    const double entriesBefore = double(allEntries.size());
    if (total < int64_t(1) << 24) allEntries.reserve(allEntries.size() + size_t(total));

    SortedEntries sorted;
    if (readInFileIdOrder(db, reporter, entriesBefore, double(total), categoryIndex, sorted, backupRoot,
                          iosMajorVersion, undecodedFileRows, skippedFileRows)) {
        // The category indexes are complete; the lists take the entries in order.
        for (size_t i = 0; i < sorted.records.size(); ++i) {
            allEntries.push_back(std::move(sorted.records[i]));
            AddToLists(allEntries.back().get(), sorted.categories[i], false);
        }
        return true;
    }
    // The claims of the entries given up go; those of earlier Opens are made again.
    for (DevicePathIndex& index : categoryIndex)
        index.Clear();
    for (const auto& entry : allEntries) {
        const int category = categoryOf(entry->devicePath);
        if (category < 1 || category > kCategoryCount) continue;
        categoryIndex[category - 1].Claim(entry.get());
        if (category == CategoryCalendar) categoryIndex[CategoryCalendarReminders - 1].Claim(entry.get());
    }

    // Anything unusual: let SQLite walk the rows in fileID order. That walk goes through
    // the fileID index, whose damage could hide rows of an intact table: a walk that
    // reads fewer rows than the table counts is tried again on the table alone (SQLite
    // then sorts it), and the reading that gets further is kept.
    const bool withRowid = filesHasRowid(db);
    FileIdOrderRead read = readThroughSqlite(db, filesQuery(db, "", withRowid ? "rowid" : nullptr), total,
                                             true, reporter, entriesBefore, backupRoot, iosMajorVersion);
    if (!read.started) return false;
    if (withRowid && read.seen < total) {
        // SQLite sorts the whole table before the first row: a damaged row of the table
        // fails it at once, and the index walk stands. (A walk that stepped past rows is
        // tried too: what it skipped may be index entries over intact rows.)
        FileIdOrderRead table = readThroughSqlite(db, filesQuery(db, " not indexed", "rowid"), total, false,
                                                  reporter, entriesBefore, backupRoot, iosMajorVersion);
        if (table.started && !table.failed && table.seen > read.seen) read = std::move(table);
    }
    // Rows without names: read back from the indexes, in their place in the order.
    int lost = 0;
    if (read.unreadable > 0) {
        IndexedNames names;
        for (const auto& row : read.rows)
            if (!row.record) names.Want(row.at);
        names.Read(db);
        FilesRowReader reader(nullptr, backupRoot, iosMajorVersion);
        for (auto& row : read.rows) {
            if (row.record) continue;
            bool missing = false;
            row.record = recordFromNames(row.at.Empty() ? nullptr : names.Names(row.at), reader, missing);
            if (missing) ++lost;
            if (row.record) ++read.undecoded;
        }
    }
    for (auto& row : read.rows) {
        if (row.record) AddEntry(std::move(row.record));
    }
    undecodedFileRows += read.undecoded;
    skippedFileRows += read.skipped + lost;
    // A damage the walk could not step past leaves the rows after it unread: they count
    // as skipped too.
    if (read.failed) skippedFileRows += int(std::max<int64_t>(1, total - read.seen - read.skipped));
    // A database damaged part-way keeps the rows read before the damage.
    return !read.failed || !allEntries.empty();
}

void CMbdbFileParser::AddEntry(std::unique_ptr<BackupFileRecord> record) {
    allEntries.push_back(std::move(record));
    FileEntry(allEntries.back().get());
}

void CMbdbFileParser::FileEntry(BackupFileRecord* record) {
    AddToLists(record, categoryOf(record->devicePath), true);
}

void CMbdbFileParser::AddToLists(BackupFileRecord* record, int category, bool claimPath) {
    if (category == kReminderStore) {
        std::string stored = record->StoredPath(iosMajorVersion);
        if (!stored.empty()) reminderStores.push_back(std::move(stored));
        return;
    }
    auto add = [&](int c) {
        categoryLists[c - 1].push_back(record);
        if (claimPath) categoryIndex[c - 1].Claim(record); // the first entry wins
    };
    if (category < 1 || category > kCategoryCount) return;
    add(category);
    if (category == CategoryCalendar) add(CategoryCalendarReminders);
}

bool CMbdbFileParser::GetLogFileName(const std::string& storedPath, std::string* out) {
    if (!out) return false;
    auto upper = [](std::string s) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        return s;
    };
    const size_t slash = storedPath.rfind('/');
    const std::string name = upper(slash == std::string::npos ? storedPath : storedPath.substr(slash + 1));
    if (byStoredName.empty() && !allEntries.empty()) {
        byStoredName.reserve(allEntries.size());
        for (const auto& e : allEntries)
            byStoredName.emplace(upper(e->storedName), e.get());
    }
    const auto db = byStoredName.find(name);
    if (db == byStoredName.end()) return false;
    const std::string logName =
        upper(backupHashedFileName(db->second->domain, db->second->relativePath + "-wal"));
    const auto log = byStoredName.find(logName);
    if (log == byStoredName.end()) return false;
    *out = log->second->StoredPath(iosMajorVersion);
    return true;
}

void CMbdbFileParser::Clear() {
    cleared = true;
    byStoredName.clear();
    for (int i = 0; i < kCategoryCount; ++i) {
        categoryLists[i].clear();
        categoryIndex[i].Clear();
    }
    reminderStores.clear();
    wxAccounts.clear();
    waStores.clear();
    ReleaseEntries();
}

void CMbdbFileParser::ReleaseEntries() {
    // Records are freed in address order, which is about the order they were made in:
    // the allocator then walks its memory forward instead of jumping across it, which
    // matters with hundreds of thousands of records (the list is in fileID order).
    std::vector<BackupFileRecord*> records;
    records.reserve(allEntries.size());
    for (auto& entry : allEntries)
        records.push_back(entry.release());
    allEntries.clear();
    std::sort(records.begin(), records.end(), std::less<BackupFileRecord*>());
    for (BackupFileRecord* record : records)
        delete record;
}

bool CMbdbFileParser::GetBackupFileName(int category, const char* devicePath, std::string* out) {
    if (!out || !devicePath || category < 1 || category > kCategoryCount) return false;
    const BackupFileRecord* entry = categoryIndex[category - 1].Find(devicePath);
    if (!entry) return false;
    *out = entry->StoredPath(iosMajorVersion);
    return true;
}

std::string CMbdbFileParser::GetBackupFilePath(int category, const char* devicePath) {
    std::string path;
    GetBackupFileName(category, devicePath, &path);
    return path;
}

const BackupEntryList* CMbdbFileParser::GetEntryList(int category) {
    if (category < 1 || category > kCategoryCount) return nullptr;
    return &categoryLists[category - 1];
}

const WxAccountList* CMbdbFileParser::ScanWeChatAccounts() {
    // Every call finds the accounts afresh: a second call gives the same list.
    CWxAccountDiscovery(*this, backupRoot, iosMajorVersion, wxAvatarPrefix).Discover(wxAccounts);
    return &wxAccounts;
}

const WxAccountList* CMbdbFileParser::GetWeChatAccounts() {
    return &wxAccounts;
}

const WaStoreList* CMbdbFileParser::ScanWhatsApp() {
    static const char kStore[] = "ChatStorage.sqlite";
    const size_t storeLength = sizeof kStore - 1;
    for (const BackupFileRecord* r : categoryLists[CategoryWhatsApp - 1]) {
        // The first occurrence of the store name must end the path (no "-wal", no
        // "ChatStorage.sqlite/..." folder).
        size_t at = r->devicePath.find(kStore);
        if (at == std::string::npos || at + storeLength != r->devicePath.size()) continue;
        auto entry = std::make_unique<WaStoreEntry>();
        entry->index = 0;
        entry->folder = r->devicePath.substr(0, at);
        entry->storedPath = r->StoredPath(iosMajorVersion);
        waStores.push_back(std::move(entry));
    }
    return &waStores;
}

const WaStoreList* CMbdbFileParser::GetWhatsAppStores() {
    return &waStores;
}

const std::vector<std::string>* CMbdbFileParser::GetReminderStores() {
    return &reminderStores;
}

const WxAccountEntry* CMbdbFileParser::FindAccount(int index) const {
    for (const auto& a : wxAccounts) {
        if (a->index == index) return a.get();
    }
    return nullptr;
}

const WaStoreEntry* CMbdbFileParser::FirstWhatsAppStore() const {
    return waStores.empty() ? nullptr : waStores.front().get();
}
