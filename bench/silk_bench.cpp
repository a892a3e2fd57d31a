// SILK voice decoding speed: a 60 s stream built from the fixtures' packets (8, 16 and
// 24 kHz stretches, so both resampler paths run), decoded in memory and through
// silkFileToPcm to a temporary file. The counter "rtf" is the real-time factor: seconds
// of audio decoded per second of wall time.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/silk/SilkFileDecoder.h"

namespace {

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::vector<uint8_t>> packetsOf(const std::vector<uint8_t>& file) {
    std::vector<std::vector<uint8_t>> packets;
    size_t pos = 10;
    while (pos + 2 <= file.size()) {
        size_t n = static_cast<size_t>(file[pos] | (file[pos + 1] << 8));
        pos += 2;
        if (pos + n > file.size()) break;
        packets.emplace_back(file.begin() + static_cast<long>(pos),
                             file.begin() + static_cast<long>(pos + n));
        pos += n;
    }
    return packets;
}

// 3000 packets of 20 ms.
const std::vector<uint8_t>& stream() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<std::vector<uint8_t>> parts;
        for (int rate : {8000, 16000, 24000})
            parts.push_back(
                readBytes(std::string(SILK_FIXTURE_DIR) + "/speech_" + std::to_string(rate) + ".silk"));
        std::vector<uint8_t> out = {0x02, '#', '!', 'S', 'I', 'L', 'K', '_', 'V', '3'};
        int count = 0;
        while (count < 3000) {
            for (const auto& f : parts)
                for (const auto& p : packetsOf(f)) {
                    if (count == 3000) break;
                    out.push_back(static_cast<uint8_t>(p.size() & 0xFF));
                    out.push_back(static_cast<uint8_t>(p.size() >> 8));
                    out.insert(out.end(), p.begin(), p.end());
                    ++count;
                }
        }
        return out;
    }();
    return bytes;
}

constexpr double kStreamSeconds = 60.0;

void BM_SilkDecodeInMemory(benchmark::State& state) {
    const auto& bytes = stream();
    std::vector<int16_t> pcm;
    pcm.reserve(60 * 24000);
    for (auto _ : state) {
        pcm.clear();
        auto r = silk::silkDecodeVoice(bytes, pcm);
        benchmark::DoNotOptimize(r.samples);
    }
    state.counters["rtf"] = benchmark::Counter(kStreamSeconds * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SilkDecodeInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SilkFileToPcm(benchmark::State& state) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("silk_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path in = dir / "stream.silk", out = dir / "stream.silkp";
    {
        std::ofstream f(in, std::ios::binary);
        f.write(reinterpret_cast<const char*>(stream().data()),
                static_cast<std::streamsize>(stream().size()));
    }
    for (auto _ : state) {
        float duration = 0;
        benchmark::DoNotOptimize(silk::silkFileToPcm(in, out, &duration));
    }
    state.counters["rtf"] = benchmark::Counter(kStreamSeconds * static_cast<double>(state.iterations()),
                                               benchmark::Counter::kIsRate);
    fs::remove_all(dir);
}
BENCHMARK(BM_SilkFileToPcm)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
