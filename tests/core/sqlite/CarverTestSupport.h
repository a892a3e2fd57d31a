#pragma once
// A small parser over CCommonInterFace for the engine tests: it carves one table, lets
// each test decide per column what a plausible value is, and keeps a copy of every
// record it is handed.
#include "core/sqlite/CCommonInterFace.h"
#include "scan/engine/CScanManager.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace carvertest {

namespace fs = std::filesystem;

// A fresh folder below the temporary folder, removed with everything in it when the
// test program ends.
inline fs::path TempDir(const std::string& name) {
    struct Cleanup {
        std::vector<fs::path> dirs;
        ~Cleanup() {
            for (const auto& d : dirs) {
                std::error_code ec;
                fs::remove_all(d, ec);
            }
        }
    };
    static Cleanup cleanup;
    fs::path d = fs::temp_directory_path() / ("engine_test_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    cleanup.dirs.push_back(d);
    return d;
}

inline std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline void Patch(const fs::path& p, uint64_t offset, const std::string& bytes) {
    std::string all = ReadFile(p);
    ASSERT_LE(offset + bytes.size(), all.size());
    all.replace(size_t(offset), bytes.size(), bytes);
    WriteFile(p, all);
}

// One record as handed to OnCarvedRecord, copied.
struct Carved {
    uint32_t page = 0;
    int32_t rowid = 0;
    std::vector<uint32_t> kinds;
    std::vector<uint32_t> sizes;
    std::vector<int64_t> ints;      // kinds 2-7 as 32-bit, 8-10 as 64-bit
    std::vector<uint64_t> raw;      // the whole 8-byte slot (pointer slots: 0)
    std::vector<std::string> texts; // Text()
    std::vector<std::string> bytes; // Bytes()
};

inline int64_t IntOf(const CarvedValue& v, uint32_t kind) {
    if (kind >= KindZero && kind <= KindInt32) return v.i32;
    if (kind >= KindInt48 && kind <= KindDouble) return v.i64;
    return 0;
}

inline bool IsIntegerKind(uint32_t kind) {
    return kind >= KindZero && kind <= KindInt64;
}

inline bool IsPrintable(const CarvedValue& v, uint32_t size) {
    if (size == 0) return false;
    for (uint32_t i = 0; i < size; ++i) {
        unsigned char c = static_cast<unsigned char>(v.text[i]);
        if (c < 0x20 || c > 0x7e) return false;
    }
    return true;
}

class TestCarver : public CCommonInterFace {
  public:
    explicit TestCarver(CScanManager* owner, int32_t dataType = 0x8) : CCommonInterFace(owner, dataType) {}

    std::string table = "t";                  // the one table PrepareTable accepts
    std::function<bool(TestCarver&)> prepare; // extra work in PrepareTable
    std::function<bool(int, uint32_t, const CarvedValue&, uint32_t)> check; // default: accept
    std::function<void(const CarvedRecord&, int32_t)> onRecord;
    std::vector<Carved> records;
    bool keepRecords = true; // false: only count them
    size_t delivered = 0;
    int checkCalls = 0;

    bool PrepareTable() override {
        if (tableName != table) return false;
        return prepare ? prepare(*this) : true;
    }
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override {
        ++checkCalls;
        return check ? check(column, kind, *value, size) : true;
    }
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override {
        ++delivered;
        if (onRecord) onRecord(*record, rowid);
        if (!keepRecords) return true;
        Carved c;
        c.page = record->page;
        c.rowid = rowid;
        for (int i = 0; i < record->columnCount; ++i) {
            uint32_t kind = record->kinds[size_t(i)];
            c.kinds.push_back(kind);
            c.sizes.push_back(record->sizes[size_t(i)]);
            c.ints.push_back(IntOf(record->values[size_t(i)], kind));
            c.raw.push_back(kind == KindBlob || kind == KindText ? 0
                                                                 : uint64_t(record->values[size_t(i)].i64));
            c.texts.push_back(record->Text(i));
            c.bytes.push_back(record->Bytes(i));
        }
        records.push_back(std::move(c));
        return true;
    }

    using CCommonInterFace::acceptedKinds;
    using CCommonInterFace::cellStarts;
    using CCommonInterFace::columnCount;
    using CCommonInterFace::columnKinds;
    using CCommonInterFace::columns;
    using CCommonInterFace::columnSizes;
    using CCommonInterFace::file;
    using CCommonInterFace::liveCells;
    using CCommonInterFace::pageBuffer;
    using CCommonInterFace::pageCount;
    using CCommonInterFace::pageSize;
    using CCommonInterFace::progressDone;
    using CCommonInterFace::progressTotal;
    using CCommonInterFace::skipTables;
    using CCommonInterFace::tableName;
    using CCommonInterFace::usableSize;
};

// Records whose text column `column` equals `text`.
inline std::vector<Carved> WithText(const std::vector<Carved>& all, int column, const std::string& text) {
    std::vector<Carved> out;
    for (const Carved& c : all) {
        if (size_t(column) < c.texts.size() && c.texts[size_t(column)] == text) out.push_back(c);
    }
    return out;
}

} // namespace carvertest
