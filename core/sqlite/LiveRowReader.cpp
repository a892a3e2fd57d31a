#include "core/sqlite/LiveRowReader.h"

#include "core/sqlite/SqliteDeleters.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <numeric>
#include <optional>
#include <unordered_set>
#include <utility>

namespace {

Statement prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return nullptr;
    }
    return Statement(st);
}

bool sameNoCase(const std::string& a, const char* b) {
    return sqlite3_stricmp(a.c_str(), b) == 0;
}

std::string trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// One sort value of a row, kept for the in-memory sort.
struct SortValue {
    int type = SQLITE_NULL;
    int64_t integer = 0;
    double real = 0;
    std::string bytes;
};

SortValue sortValueOf(sqlite3_stmt* st, int column) {
    SortValue v;
    v.type = sqlite3_column_type(st, column);
    switch (v.type) {
    case SQLITE_INTEGER:
        v.integer = sqlite3_column_int64(st, column);
        break;
    case SQLITE_FLOAT:
        v.real = sqlite3_column_double(st, column);
        break;
    case SQLITE_TEXT: {
        const unsigned char* t = sqlite3_column_text(st, column);
        if (t) v.bytes.assign(reinterpret_cast<const char*>(t), size_t(sqlite3_column_bytes(st, column)));
        break;
    }
    case SQLITE_BLOB: {
        const void* b = sqlite3_column_blob(st, column);
        if (b) v.bytes.assign(static_cast<const char*>(b), size_t(sqlite3_column_bytes(st, column)));
        break;
    }
    default:
        v.type = SQLITE_NULL;
        break;
    }
    return v;
}

int typeClass(int type) {
    switch (type) {
    case SQLITE_NULL:
        return 0;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return 1;
    case SQLITE_TEXT:
        return 2;
    default:
        return 3;
    }
}

int compareBytes(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    const int c = n ? std::memcmp(a.data(), b.data(), n) : 0;
    if (c != 0) return c < 0 ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int compareText(const std::string& a, const std::string& b, int collation) {
    if (collation == 1) { // NOCASE: ASCII letters fold to lower case
        const size_t n = std::min(a.size(), b.size());
        for (size_t i = 0; i < n; ++i) {
            unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
            if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
            if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
            if (x != y) return x < y ? -1 : 1;
        }
        return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    }
    if (collation == 2) { // RTRIM: trailing spaces do not count
        const size_t ea = a.find_last_not_of(' ') + 1, eb = b.find_last_not_of(' ') + 1;
        return compareBytes(a.substr(0, ea), b.substr(0, eb));
    }
    return compareBytes(a, b);
}

// SQLite's order of two values: NULL, then numbers by value, then text by the
// collation, then blobs by their bytes.
int compareValues(const SortValue& a, const SortValue& b, int collation) {
    const int ca = typeClass(a.type), cb = typeClass(b.type);
    if (ca != cb) return ca < cb ? -1 : 1;
    switch (ca) {
    case 0:
        return 0;
    case 1: {
        if (a.type == SQLITE_INTEGER && b.type == SQLITE_INTEGER)
            return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
        // An int64 is exact as a long double on x86-64 Linux (64-bit mantissa), the
        // platform this is built for; elsewhere integers past 2^53 may compare as equal.
        const long double x = a.type == SQLITE_INTEGER ? (long double)a.integer : (long double)a.real;
        const long double y = b.type == SQLITE_INTEGER ? (long double)b.integer : (long double)b.real;
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case 2:
        return compareText(a.bytes, b.bytes, collation);
    default:
        return compareBytes(a.bytes, b.bytes);
    }
}

} // namespace

// A walk over the rows of one table in the order of its rowid (the last result column),
// stepping past what SQLite cannot read.
class LiveRowReader::KeyWalk {
  public:
    // `select` is the column list, ending with the key; `where` a condition or empty.
    KeyWalk(sqlite3* db, const std::string& from, const std::string& key, const std::string& select,
            const std::string& where)
        : db(db), from(from), key(key), select(select), where(where) {}

    // Prepares the walk; false when its statements do not prepare.
    bool Start() {
        const std::string cond = where.empty() ? std::string() : " and (" + where + ")";
        // NOT INDEXED: the table's own b-tree in key order, never an index and a sort
        // (which would read every row before the first).
        walk = prepare(db, "select " + select + " from " + from + " NOT INDEXED where " + key + " >= ?1" +
                               cond + " order by " + key);
        probe = prepare(db, "select " + select + " from " + from + " where " + key + " = ?1" + cond);
        nextKey = prepare(db, "select " + key + " from " + from + " NOT INDEXED where " + key +
                                  " >= ?1 order by " + key + " limit 1");
        return walk && probe && nextKey;
    }

    // Hands each readable row to `onRow` in key order until the rows end or `stop`.
    void Run(const std::function<bool()>& stop, const std::function<void(sqlite3_stmt*)>& onRow,
             int64_t& skipped, int64_t& stretches) {
        sqlite3_stmt* st = walk.get();
        const int keyColumn = sqlite3_column_count(st) - 1;
        int64_t from = INT64_MIN; // the smallest key not met yet
        sqlite3_bind_int64(st, 1, from);
        while (!stop()) {
            const int rc = sqlite3_step(st);
            if (rc == SQLITE_ROW) {
                const int64_t k = sqlite3_column_int64(st, keyColumn);
                // Keys out of order (a damaged tree) would come round again: the walk
                // only moves forward.
                if (k < from) continue;
                onRow(st);
                if (k == INT64_MAX) break;
                from = k + 1;
                continue;
            }
            sqlite3_reset(st);
            if (rc == SQLITE_DONE) return;
            const std::optional<int64_t> resume = StepPast(from, stop, onRow, skipped, stretches);
            if (!resume) return;
            from = *resume;
            sqlite3_bind_int64(st, 1, from);
        }
        sqlite3_reset(st);
    }

  private:
    // The first key from `from` on: the key, nullopt at the end; `failed` when the keys
    // cannot be read there.
    std::optional<int64_t> KeyFrom(int64_t from, bool& failed) {
        sqlite3_stmt* st = nextKey.get();
        sqlite3_bind_int64(st, 1, from);
        const int rc = sqlite3_step(st);
        failed = rc != SQLITE_ROW && rc != SQLITE_DONE;
        std::optional<int64_t> k;
        if (rc == SQLITE_ROW) k = sqlite3_column_int64(st, 0);
        sqlite3_reset(st);
        return k;
    }

    bool KeysReadableFrom(int64_t from) {
        bool failed = false;
        KeyFrom(from, failed);
        return !failed;
    }

    // After a failed step: finds the row that failed (the first key from `from` on whose
    // row cannot be read) and returns the key to resume from; a stretch whose keys
    // cannot be read either is jumped over. nullopt ends the walk.
    std::optional<int64_t> StepPast(int64_t from, const std::function<bool()>& stop,
                                    const std::function<void(sqlite3_stmt*)>& onRow, int64_t& skipped,
                                    int64_t& stretches) {
        while (!stop()) {
            bool failed = false;
            const std::optional<int64_t> k = KeyFrom(from, failed);
            if (failed) return Jump(from, stretches);
            if (!k) return std::nullopt; // no row left: nothing was lost
            if (*k < from) {
                ++stretches; // keys out of order: the walk cannot go on
                return std::nullopt;
            }
            sqlite3_stmt* st = probe.get();
            sqlite3_bind_int64(st, 1, *k);
            const int rc = sqlite3_step(st);
            // Readable on its own (the walk failed moving to it): handed on.
            if (rc == SQLITE_ROW) onRow(st);
            sqlite3_reset(st);
            if (rc != SQLITE_ROW && rc != SQLITE_DONE) ++skipped;
            if (*k == INT64_MAX) return std::nullopt;
            if (rc != SQLITE_DONE) return *k + 1;
            from = *k + 1; // a row the condition leaves out: the damage lies further on
        }
        return std::nullopt;
    }

    // The keys from `from` on cannot be read (a damaged page): finds the smallest bound
    // from which they can, first by doubling steps, then by halving. The rows in between
    // are lost as one stretch.
    std::optional<int64_t> Jump(int64_t from, int64_t& stretches) {
        ++stretches;
        int64_t lo = from; // the keys from lo on cannot be read
        std::optional<int64_t> hi;
        for (int j = 0; j < 64 && !hi; ++j) {
            const int64_t step = j < 63 ? int64_t(1) << j : INT64_MAX;
            const int64_t x = from > INT64_MAX - step ? INT64_MAX : from + step;
            if (KeysReadableFrom(x))
                hi = x;
            else if (x == INT64_MAX)
                break;
            else
                lo = x;
        }
        if (!hi) return std::nullopt;
        while (uint64_t(*hi) - uint64_t(lo) > 1) {
            const int64_t mid = int64_t(uint64_t(lo) + (uint64_t(*hi) - uint64_t(lo)) / 2);
            if (KeysReadableFrom(mid))
                hi = mid;
            else
                lo = mid;
        }
        return hi;
    }

    sqlite3* db;
    std::string from, key, select, where;
    Statement walk, probe, nextKey;
};

LiveRowReader::LiveRowReader(sqlite3* db, LiveQuery q) : db(db), query(std::move(q)) {
    SqlText quoted(sqlite3_mprintf("%Q", query.table.c_str()));
    if (quoted) from = quoted.get();
}

LiveRowReader::~LiveRowReader() = default;

std::string LiveRowReader::KeyName() const {
    // Only a table of its own has a rowid (a view, a table without one, or a virtual
    // table is read as written).
    {
        Statement st =
            prepare(db, "select sql from sqlite_master where type='table' and name=?1 collate nocase");
        if (!st) return {};
        sqlite3_bind_text(st.get(), 1, query.table.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st.get()) != SQLITE_ROW) return {};
        const unsigned char* sql = sqlite3_column_text(st.get(), 0);
        if (!sql || sqlite3_strnicmp(reinterpret_cast<const char*>(sql), "CREATE TABLE", 12) != 0) return {};
    }
    // The rowid goes by three names; a table may declare a column of any of them.
    Statement st = prepare(db, "select name from pragma_table_info(?1)");
    if (!st) return {};
    sqlite3_bind_text(st.get(), 1, query.table.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::string> declared;
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        const unsigned char* n = sqlite3_column_text(st.get(), 0);
        if (n) declared.emplace_back(reinterpret_cast<const char*>(n));
    }
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        if (std::none_of(declared.begin(), declared.end(),
                         [&](const std::string& d) { return sameNoCase(d, name); }))
            return name;
    }
    return {};
}

bool LiveRowReader::ParseOrder() {
    terms.clear();
    size_t pos = 0;
    const std::string& o = query.orderBy;
    while (pos <= o.size()) {
        size_t comma = o.find(',', pos);
        if (comma == std::string::npos) comma = o.size();
        std::string term = trimmed(o.substr(pos, comma - pos));
        pos = comma + 1;
        if (term.empty()) return false;
        SortTerm t;
        const size_t blank = term.find_last_of(" \t");
        if (blank != std::string::npos) {
            const std::string word = term.substr(blank + 1);
            if (sameNoCase(word, "DESC") || sameNoCase(word, "ASC")) {
                t.descending = sameNoCase(word, "DESC");
                term = trimmed(term.substr(0, blank));
            }
        }
        t.column = term;
        const char* collation = nullptr;
        if (sqlite3_table_column_metadata(db, nullptr, query.table.c_str(), term.c_str(), nullptr, &collation,
                                          nullptr, nullptr, nullptr) == SQLITE_OK &&
            collation) {
            t.collation = sqlite3_stricmp(collation, "NOCASE") == 0  ? 1
                          : sqlite3_stricmp(collation, "RTRIM") == 0 ? 2
                                                                     : 0;
        }
        terms.push_back(std::move(t));
    }
    return !terms.empty();
}

LiveRowReader::Outcome LiveRowReader::Read(const std::function<bool()>& stopFn,
                                           const std::function<void(sqlite3_stmt*)>& onRowFn,
                                           int64_t expected) {
    Outcome out;
    if (!db || from.empty() || query.columns.empty()) return out;
    std::string sql = "select " + query.columns + " from " + from;
    if (!query.where.empty()) sql += " where (" + query.where + ")";
    if (!query.orderBy.empty()) sql += " order by " + query.orderBy;
    if (!prepare(db, sql)) return out;
    out.prepared = true;

    stop = &stopFn;
    int64_t handed = 0;
    const std::function<void(sqlite3_stmt*)> counted = [&](sqlite3_stmt* st) {
        ++handed;
        onRowFn(st);
    };
    onRow = &counted;
    key = KeyName();
    if (key.empty() || !prepare(db, "select " + key + " from " + from + " limit 0"))
        ReadAsWritten(out);
    else if (query.orderBy.empty())
        ReadInTableOrder(out);
    else if (ParseOrder())
        ReadSorted(out, expected);
    else
        ReadAsWritten(out);
    out.rows = handed;
    CountLost(out);
    stop = nullptr;
    onRow = nullptr;
    return out;
}

void LiveRowReader::ReadAsWritten(Outcome& out) {
    std::string sql = "select " + query.columns + ",NULL from " + from;
    if (!query.where.empty()) sql += " where (" + query.where + ")";
    if (!query.orderBy.empty()) sql += " order by " + query.orderBy;
    Statement st = prepare(db, sql);
    if (!st) return;
    int rc = SQLITE_ROW;
    while (!(*stop)() && (rc = sqlite3_step(st.get())) == SQLITE_ROW)
        (*onRow)(st.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) ++out.stretches;
}

void LiveRowReader::ReadInTableOrder(Outcome& out) {
    KeyWalk walk(db, from, key, query.columns + "," + key, query.where);
    if (!walk.Start()) {
        ReadAsWritten(out);
        return;
    }
    walk.Run(*stop, *onRow, out.skipped, out.stretches);
}

void LiveRowReader::ReadSorted(Outcome& out, int64_t expected) {
    std::string sql = "select " + query.columns + "," + key + " from " + from;
    if (!query.where.empty()) sql += " where (" + query.where + ")";
    sql += " order by " + query.orderBy;
    Statement st = prepare(db, sql);
    if (!st) {
        ReadAsWritten(out);
        return;
    }
    const int keyColumn = sqlite3_column_count(st.get()) - 1;
    std::unordered_set<int64_t> handed;
    int rc = SQLITE_ROW;
    while (!(*stop)() && (rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        // A damaged tree can lead to a page twice: its rows are handed on once.
        if (!handed.insert(sqlite3_column_int64(st.get(), keyColumn)).second) continue;
        (*onRow)(st.get());
    }
    st.reset();
    if ((*stop)()) return;
    if (rc == SQLITE_DONE && (expected <= 0 || int64_t(handed.size()) >= expected)) return;

    // The rows not handed on yet, with their sort values, in key order.
    std::string select;
    for (const SortTerm& t : terms)
        select += t.column + ",";
    select += key;
    KeyWalk walk(db, from, key, select, query.where);
    if (!walk.Start()) {
        ++out.stretches; // the sort columns are not the table's own: nothing more to read
        return;
    }
    const size_t n = terms.size();
    std::vector<int64_t> keys;
    std::vector<SortValue> values;
    walk.Run(
        *stop,
        [&](sqlite3_stmt* row) {
            const int64_t k = sqlite3_column_int64(row, int(n));
            if (handed.count(k)) return;
            keys.push_back(k);
            for (size_t i = 0; i < n; ++i)
                values.push_back(sortValueOf(row, int(i)));
        },
        out.skipped, out.stretches);
    if ((*stop)()) return;

    // In order of the sort values, rows of equal values in key order.
    std::vector<size_t> order(keys.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        for (size_t i = 0; i < n; ++i) {
            int c = compareValues(values[a * n + i], values[b * n + i], terms[i].collation);
            if (terms[i].descending) c = -c;
            if (c != 0) return c < 0;
        }
        return false;
    });
    Statement one =
        prepare(db, "select " + query.columns + "," + key + " from " + from + " where " + key + " = ?1");
    if (!one) {
        ++out.stretches;
        return;
    }
    for (size_t i : order) {
        if ((*stop)()) return;
        sqlite3_bind_int64(one.get(), 1, keys[i]);
        const int r = sqlite3_step(one.get());
        if (r == SQLITE_ROW)
            (*onRow)(one.get());
        else if (r != SQLITE_DONE)
            ++out.skipped;
        sqlite3_reset(one.get());
    }
}

void LiveRowReader::CountLost(Outcome& out) const {
    out.lost = out.skipped + out.stretches;
    if (out.stretches == 0) return;
    // A count through an index may still see the rows a damaged page of the table hides.
    std::string sql = "select count(*) from " + from;
    if (!query.where.empty()) sql += " where (" + query.where + ")";
    Statement st = prepare(db, sql);
    if (!st || sqlite3_step(st.get()) != SQLITE_ROW || sqlite3_column_type(st.get(), 0) != SQLITE_INTEGER)
        return;
    const int64_t all = sqlite3_column_int64(st.get(), 0);
    if (all - out.rows > out.lost) out.lost = all - out.rows;
}
