// Fuzz target of the database reader and the deleted-record carver: the input is the
// database file itself. Every table of the schema is mapped and carved, in both overflow
// modes, with a parser that takes every candidate; nothing may crash, hang or leak.
#include "core/sqlite/CCommonInterFace.h"
#include "scan/engine/CScanManager.h"
#include "tests/fuzz/FuzzBackup.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Accepts a value by its kind (a fixed mask per column) and by a hash of its bytes, so
// that the same file gives the same records whether or not the masks are declared to
// the carver in advance.
class FuzzCarver : public CCommonInterFace {
  public:
    FuzzCarver(CScanManager* owner, bool declare) : CCommonInterFace(owner, 0x8), declare(declare) {}
    bool declare;
    uint64_t digest = 0;
    uint64_t count = 0;

    static uint32_t Mask(int c) {
        return c == 0 ? 0x1fffu : 0x1fffu & ~(1u << (c % 13)) & ~(c % 3 ? 0u : 1u << KindNull);
    }

    bool PrepareTable() override {
        if (declare) {
            acceptedKinds.assign(size_t(columnCount), 0);
            for (int c = 0; c < columnCount; ++c)
                acceptedKinds[size_t(c)] = Mask(c);
        }
        return true;
    }
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override {
        if ((Mask(column) & (1u << kind)) == 0) return false;
        uint64_t h = kind * 1315423911u + size;
        if (kind == KindText || kind == KindBlob) {
            // Touch every byte the record claims to own, and the closing NUL.
            for (uint32_t i = 0; i <= size; ++i)
                h = h * 31 + uint8_t(value->blob[i]);
        } else {
            h = h * 31 + uint64_t(value->i64);
        }
        return h % 5 != 0;
    }
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override {
        uint64_t h = uint64_t(uint32_t(rowid)) * 2654435761u + record->page;
        for (int c = 0; c < record->columnCount; ++c) {
            std::string b = record->Bytes(c);
            h = h * 1099511628211ull + record->kinds[size_t(c)] + record->Text(c).size();
            for (unsigned char ch : b)
                h = h * 31 + ch;
        }
        digest = digest * 6364136223846793005ull + h;
        ++count;
        return true;
    }
};

std::string& FilePath() {
    static std::string path = [] {
        const char* dir = getenv("TMPDIR");
        std::string p =
            std::string(dir && *dir ? dir : "/tmp") + "/carve_fuzz_" + std::to_string(getpid()) + ".db";
        return p;
    }();
    return path;
}

void FieldHelpers(const uint8_t* data, size_t size) {
    int32_t n = int32_t(size > 4096 ? 4096 : size);
    uint64_t v = 0;
    for (int32_t i = 0; i + 1 < n; i += 97) {
        CCommonInterFace::ParseVarint(data + i, n - i, &v);
        CCommonInterFace::ParseVarintChecked(data + i, n - i, &v, true);
    }
    const char* cursor = reinterpret_cast<const char*>(data);
    int32_t remaining = n;
    std::string out;
    for (int i = 0; i < 64 && CCommonInterFace::ReadLengthDelimitedField(&cursor, &remaining, &out, true);
         ++i) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FieldHelpers(data, size);
    if (!FuzzBackup::WriteFile(FilePath(), data, size)) return 0;
    for (bool follow : {false, true}) {
        uint64_t digest[2] = {0, 0}, count[2] = {0, 0};
        for (int declare = 0; declare < 2; ++declare) {
            CScanManager owner(0x8, "/tmp", "/tmp", 14, nullptr, nullptr);
            FuzzCarver carver(&owner, declare != 0);
            if (!carver.Open(FilePath().c_str(), follow)) break;
            carver.BuildLiveCellMap();
            carver.BuildLiveCellMapFromPointers();
            std::vector<TableEntry> tables;
            carver.LoadTableList(tables);
            int carved = 0;
            for (const TableEntry& t : tables) {
                if (++carved > 4) break;
                carver.CarveTable(t.name.c_str());
            }
            digest[declare] = carver.digest;
            count[declare] = carver.count;
        }
        // Declaring the kinds only makes the carver faster, never changes what it finds.
        if (digest[0] != digest[1] || count[0] != count[1]) {
            std::fprintf(stderr, "records differ with declared kinds: %llu vs %llu\n",
                         (unsigned long long)count[0], (unsigned long long)count[1]);
            std::abort();
        }
    }
    ::unlink(FilePath().c_str());
    return 0;
}
