// Opening a backup manifest of 200,000 entries, in both generations: the time from
// the manifest file to every entry filed and indexed by category.
#include "core/backup/CMbdbFileParser.h"
#include "tests/kit/BackupBuilder.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr int kEntries = 200000;

// A spread of domains and paths like a real phone's: photos, app containers, system data.
std::vector<kit::BackupBuilder::Entry> makeEntries() {
    static const char* const kDomains[] = {"CameraRollDomain",
                                           "HomeDomain",
                                           "MediaDomain",
                                           "AppDomain-com.tencent.xin",
                                           "AppDomainGroup-group.net.whatsapp.WhatsApp.shared",
                                           "AppDomain-com.example.app",
                                           "WirelessDomain",
                                           "AppDomainPlugin-com.apple.widget"};
    std::vector<kit::BackupBuilder::Entry> entries;
    entries.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        kit::BackupBuilder::Entry e;
        e.domain = kDomains[i % 8];
        switch (i % 8) {
        case 0:
        case 2:
            e.relativePath =
                "Media/DCIM/" + std::to_string(100 + i / 1000) + "APPLE/IMG_" + std::to_string(i) + ".JPG";
            break;
        case 1:
            e.relativePath =
                "Library/SMS/Attachments/" + std::to_string(i % 97) + "/file" + std::to_string(i);
            break;
        case 3:
            e.relativePath = "Documents/0123456789abcdef0123456789abcdef/Img/" + std::to_string(i) + ".pic";
            break;
        default:
            e.relativePath = "Library/Caches/item-" + std::to_string(i) + ".dat";
            break;
        }
        e.size = (i % 10 == 9) ? 0 : uint64_t(1000 + i); // every tenth a folder
        e.mtime = e.atime = e.ctime = 1500000000 + i;
        entries.push_back(std::move(e));
    }
    return entries;
}

struct Fixture {
    fs::path dir;
    fs::path db, mbdb;
    Fixture() {
        dir = fs::temp_directory_path() / ("manifest_bench_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        auto entries = makeEntries();
        db = dir / "Manifest.db";
        kit::writeManifestDb(db, entries);
        mbdb = dir / "Manifest.mbdb";
        std::string bytes = kit::buildMbdbBytes(entries);
        std::ofstream(mbdb, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    ~Fixture() { fs::remove_all(dir); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void openManifest(benchmark::State& state, const fs::path& path, int iosVersion) {
    size_t kept = 0;
    for (auto _ : state) {
        CMbdbFileParser parser;
        if (!parser.Open(path.c_str(), fixture().dir.c_str(), iosVersion)) state.SkipWithError("Open failed");
        kept = parser.AllEntries().size();
        benchmark::DoNotOptimize(kept);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kEntries);
    state.counters["entries_kept"] = double(kept);
}

void BM_OpenManifestDb(benchmark::State& state) {
    openManifest(state, fixture().db, 14);
}
void BM_OpenManifestMbdb(benchmark::State& state) {
    openManifest(state, fixture().mbdb, 9);
}

} // namespace

BENCHMARK(BM_OpenManifestDb)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenManifestMbdb)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    fixture();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
