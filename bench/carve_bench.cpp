// Speed of the live-cell map and of the deleted-record carver on generated databases of
// 64 MB and more: tables of 10 and 40 columns, one file with a large freelist (most rows
// deleted) and one mostly live. Reported per table on one core:
//   examined_MBps  non-live bytes examined per second of CPU time by CarveTable
//   map_ms         time to open the file and build the live-cell map (its own benchmark)
//   peak_MB        peak resident memory during the benchmark (reset before each one)
//   carve_s        seconds of one carve of a file padded with zeros to 1 GiB
// The files are generated once into $TMPDIR (or /tmp) and reused while their size fits.
#include "core/sqlite/CCommonInterFace.h"
#include "scan/engine/CScanManager.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kTargetBytes = 72ull << 20; // at least 64 MB after deletion

// Declared type of column c (column 0 is the INTEGER PRIMARY KEY).
const char* ColumnType(int c) {
    static const char* types[] = {"TEXT", "INTEGER", "REAL", "INTEGER", "BLOB"};
    return types[(c - 1) % 5];
}

struct DbShape {
    const char* name;
    int columns;
    int deletePercent; // rows deleted after the load
};

const DbShape kShapes[] = {
    {"cols10_freelist", 10, 75},
    {"cols10_live", 10, 5},
    {"cols40_freelist", 40, 75},
    {"cols40_live", 40, 5},
};

void Exec(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "carve_bench: %s: %s\n", sql.c_str(), err ? err : "?");
        std::exit(1);
    }
}

std::string Word(std::mt19937_64& rng) {
    static const char* words[] = {"hello", "meeting", "tomorrow", "photo", "thanks",  "ok",
                                  "see",   "you",     "at",       "the",   "station", "lunch",
                                  "call",  "me",      "when",     "free",  "love"};
    std::string s;
    int n = 1 + int(rng() % 8);
    for (int i = 0; i < n; ++i) {
        if (i) s += ' ';
        s += words[rng() % (sizeof words / sizeof *words)];
    }
    return s;
}

fs::path Generate(const DbShape& shape) {
    const char* tmp = std::getenv("TMPDIR");
    fs::path p = fs::path(tmp && *tmp ? tmp : "/tmp") / (std::string("carve_bench_") + shape.name + ".db");
    std::error_code ec;
    if (fs::exists(p, ec) && fs::file_size(p, ec) >= (64ull << 20)) return p;
    fs::remove(p, ec);
    sqlite3* db = nullptr;
    if (sqlite3_open(p.c_str(), &db) != SQLITE_OK) std::exit(1);
    Exec(db, "PRAGMA page_size=4096; PRAGMA secure_delete=OFF; PRAGMA auto_vacuum=NONE; "
             "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
    std::string schema = "CREATE TABLE t(id INTEGER PRIMARY KEY";
    std::string insert = "INSERT INTO t VALUES(NULL";
    for (int c = 1; c < shape.columns; ++c) {
        schema += ", c" + std::to_string(c) + " " + ColumnType(c);
        insert += ",?";
    }
    Exec(db, schema + ")");
    Exec(db, "BEGIN");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &st, nullptr);
    std::mt19937_64 rng(42);
    // Load until the file is big enough that what is left after deletion is still 64 MB+.
    const uint64_t rawTarget = kTargetBytes;
    for (int64_t row = 0;; ++row) {
        for (int c = 1; c < shape.columns; ++c) {
            const char* type = ColumnType(c);
            if (c != 1 && rng() % 10 == 0) {
                sqlite3_bind_null(st, c);
            } else if (type[0] == 'T') {
                std::string w = Word(rng);
                sqlite3_bind_text(st, c, w.c_str(), int(w.size()), SQLITE_TRANSIENT);
            } else if (type[0] == 'I') {
                int64_t v = (c % 3 == 0) ? int64_t(rng() % 2) : int64_t(rng() % 2000000000);
                sqlite3_bind_int64(st, c, v);
            } else if (type[0] == 'R') {
                sqlite3_bind_double(st, c, 600000000.0 + double(rng() % 100000000) + 0.25);
            } else {
                std::string b(size_t(4 + rng() % 40), '\0');
                for (char& ch : b)
                    ch = char(rng());
                sqlite3_bind_blob(st, c, b.data(), int(b.size()), SQLITE_TRANSIENT);
            }
        }
        sqlite3_step(st);
        sqlite3_reset(st);
        if (row % 4096 == 0) {
            sqlite3_int64 pages = 0;
            sqlite3_stmt* q = nullptr;
            sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &q, nullptr);
            if (sqlite3_step(q) == SQLITE_ROW) pages = sqlite3_column_int64(q, 0);
            sqlite3_finalize(q);
            if (uint64_t(pages) * 4096 >= rawTarget) break;
        }
    }
    sqlite3_finalize(st);
    Exec(db, "COMMIT");
    // Scattered deletions: whole runs of rows, so that emptied pages go to the freelist,
    // plus single rows that leave freeblocks.
    Exec(db,
         "DELETE FROM t WHERE (id / 64) % 100 < " + std::to_string(shape.deletePercent) + " OR id % 97 = 0");
    sqlite3_close(db);
    return p;
}

// Plausibility rules of a typical parser, by declared column type.
class BenchCarver : public CCommonInterFace {
  public:
    BenchCarver(CScanManager* owner, bool declareKinds)
        : CCommonInterFace(owner, 0x8), declareKinds(declareKinds) {}
    bool declareKinds;
    uint64_t records = 0;

    static uint32_t Accepted(int c) {
        const uint32_t ints = (1u << KindNull) | (1u << KindZero) | (1u << KindOne) | (1u << KindInt8) |
                              (1u << KindInt16) | (1u << KindInt24) | (1u << KindInt32) | (1u << KindInt48) |
                              (1u << KindInt64);
        if (c == 0) return 0;
        if (c == 1) return 1u << KindText; // the row's main text (a message, a name) is never empty
        switch (ColumnType(c)[0]) {
        case 'T':
            return (1u << KindNull) | (1u << KindText);
        case 'I':
            return ints;
        case 'R':
            return ints | (1u << KindDouble);
        default:
            return (1u << KindNull) | (1u << KindBlob);
        }
    }

    bool PrepareTable() override {
        if (declareKinds) {
            acceptedKinds.resize(size_t(columnCount));
            for (int c = 0; c < columnCount; ++c)
                acceptedKinds[size_t(c)] = Accepted(c);
        }
        return true;
    }
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override {
        if (column == 0) return true;
        if ((Accepted(column) & (1u << kind)) == 0) return false;
        if (kind == KindText) {
            if (size == 0) return false;
            for (uint32_t i = 0; i < size; ++i) {
                unsigned char ch = static_cast<unsigned char>(value->text[i]);
                if (ch < 0x20 || ch > 0x7e) return false;
            }
        }
        if (kind == KindDouble && (value->i64 < 0 || value->i64 > 2000000000)) return false;
        return true;
    }
    bool OnCarvedRecord(CarvedRecord*, int32_t) override {
        ++records;
        return true;
    }
    uint64_t ExaminedBytes() const {
        uint64_t live = 0;
        for (const auto& [page, ranges] : liveCells)
            for (const CellRange& r : ranges)
                live += r.end - r.start;
        return pageCount * pageSize - live;
    }
    uint64_t Pages() const { return pageCount; }
    size_t MapEntries() const { return liveCells.size(); }
};

// CPU time of this thread: the figure for one core, whatever else the machine runs.
double ThreadSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

double PeakMb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

void BM_LiveCellMap(benchmark::State& state) {
    const DbShape& shape = kShapes[state.range(0)];
    fs::path p = Generate(shape);
    state.SetLabel(shape.name);
    ResetPeak();
    CScanManager owner(0x8, "/tmp", "/tmp", 14, nullptr, nullptr);
    size_t leaves = 0;
    uint64_t examined = 0;
    for (auto _ : state) {
        BenchCarver c(&owner, false);
        if (!c.Open(p.c_str(), false) || !c.BuildLiveCellMap()) {
            state.SkipWithError("cannot open");
            return;
        }
        leaves = c.MapEntries();
        examined = c.ExaminedBytes();
    }
    state.counters["file_MB"] = double(fs::file_size(p)) / 1e6;
    state.counters["leaf_pages"] = double(leaves);
    state.counters["nonlive_MB"] = double(examined) / 1e6;
    state.counters["peak_MB"] = PeakMb();
}

void BM_Carve(benchmark::State& state) {
    const DbShape& shape = kShapes[state.range(0)];
    const bool declareKinds = state.range(1) != 0;
    const bool follow = state.range(2) != 0;
    fs::path p = Generate(shape);
    state.SetLabel(std::string(shape.name) + (declareKinds ? " kinds" : " plain") +
                   (follow ? " overflow" : ""));
    ResetPeak();
    CScanManager owner(0x8, "/tmp", "/tmp", 14, nullptr, nullptr);
    BenchCarver c(&owner, declareKinds);
    if (!c.Open(p.c_str(), follow) || !c.BuildLiveCellMap()) {
        state.SkipWithError("cannot open");
        return;
    }
    const uint64_t examined = c.ExaminedBytes();
    uint64_t records = 0;
    double seconds = 0;
    for (auto _ : state) {
        c.records = 0;
        const double t0 = ThreadSeconds();
        c.CarveTable("t");
        seconds += ThreadSeconds() - t0;
        records = c.records;
    }
    state.SetBytesProcessed(int64_t(examined) * int64_t(state.iterations()));
    state.counters["examined_MBps"] = double(examined) * double(state.iterations()) / 1e6 / seconds;
    state.counters["nonlive_MB"] = double(examined) / 1e6;
    state.counters["records"] = double(records);
    state.counters["peak_MB"] = PeakMb();
}

// The mostly-live 10-column file padded with zeros to 1 GiB (a preallocated database):
// the carver passes the zero pages over; the records found are those of the unpadded file.
void BM_CarveZeroPadded(benchmark::State& state) {
    const bool declareKinds = state.range(0) != 0;
    const fs::path source = Generate(kShapes[1]);
    const fs::path p = source.string() + ".padded";
    std::error_code ec;
    if (!fs::exists(p, ec) || fs::file_size(p, ec) != (1ull << 30)) {
        fs::copy_file(source, p, fs::copy_options::overwrite_existing, ec);
        fs::resize_file(p, 1ull << 30, ec); // sparse: the zeros cost no disk
        if (ec) {
            state.SkipWithError("cannot pad");
            return;
        }
    }
    state.SetLabel(std::string("cols10_live padded to 1 GiB") + (declareKinds ? " kinds" : " plain"));
    CScanManager owner(0x8, "/tmp", "/tmp", 14, nullptr, nullptr);
    BenchCarver c(&owner, declareKinds);
    if (!c.Open(p.c_str(), false) || !c.BuildLiveCellMap()) {
        state.SkipWithError("cannot open");
        return;
    }
    uint64_t records = 0;
    double seconds = 0;
    for (auto _ : state) {
        c.records = 0;
        const double t0 = ThreadSeconds();
        c.CarveTable("t");
        seconds += ThreadSeconds() - t0;
        records = c.records;
    }
    state.counters["carve_s"] = seconds / double(state.iterations());
    state.counters["file_MB"] = double(1ull << 30) / 1e6;
    state.counters["records"] = double(records);
}

} // namespace

BENCHMARK(BM_CarveZeroPadded)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LiveCellMap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Carve)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}, {0}})
    ->Args({0, 1, 1})
    ->Args({2, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

BENCHMARK_MAIN();
