// Fuzz target of the database reader and the deleted-record carver: the input is the
// database file itself. Every table of the schema is mapped and carved, in both overflow
// modes, with a parser that takes every candidate; nothing may crash, hang or leak.
#include "core/CCommonInterFace.h"
#include "scan/CScanManager.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class FuzzCarver : public CCommonInterFace {
public:
    FuzzCarver(CScanManager* owner, bool limitKinds) : CCommonInterFace(owner, 0x8), limitKinds(limitKinds) {}
    bool limitKinds;
    uint64_t sink = 0;

    bool PrepareTable() override {
        if (limitKinds) {
            acceptedKinds.assign(size_t(columnCount), 0);
            for (int c = 0; c < columnCount; ++c) acceptedKinds[size_t(c)] = 0x1fffu & ~(1u << (c % 13));
        }
        return true;
    }
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override {
        if (kind == KindText || kind == KindBlob) {
            // Touch every byte the record claims to own.
            for (uint32_t i = 0; i < size; ++i) sink += uint8_t(value->blob[i]);
            sink += uint8_t(value->blob[size]);  // the closing NUL
        } else {
            sink += uint64_t(value->i64);
        }
        return (sink + uint64_t(column)) % 7 != 0;
    }
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override {
        for (int c = 0; c < record->columnCount; ++c) sink += record->Text(c).size() + record->Bytes(c).size();
        sink += uint64_t(rowid) + record->page;
        return true;
    }
};

std::string& FilePath() {
    static std::string path = [] {
        const char* dir = getenv("TMPDIR");
        std::string p = std::string(dir && *dir ? dir : "/tmp") + "/carve_fuzz_" + std::to_string(getpid()) + ".db";
        return p;
    }();
    return path;
}

bool WriteInput(const uint8_t* data, size_t size) {
    int fd = ::open(FilePath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        ssize_t w = ::write(fd, data + done, size - done);
        if (w <= 0) break;
        done += size_t(w);
    }
    ::close(fd);
    return done == size;
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
    for (int i = 0; i < 64 && CCommonInterFace::ReadLengthDelimitedField(&cursor, &remaining, &out, true); ++i) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FieldHelpers(data, size);
    if (!WriteInput(data, size)) return 0;
    const bool limitKinds = size > 60 && (data[60] & 1);
    for (bool follow : {false, true}) {
        CScanManager owner(0x8, "/tmp", "/tmp", 14, nullptr, nullptr);
        FuzzCarver carver(&owner, limitKinds);
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
    }
    ::unlink(FilePath().c_str());
    return 0;
}
