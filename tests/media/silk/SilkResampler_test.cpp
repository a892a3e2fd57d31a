// The resampler: output counts, continuity across calls, re-initialisation and the variants
// a 24 kHz decode never reaches.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "media/silk/SilkResampler.h"

using namespace silk;

namespace {

constexpr int16_t kUnwritten = -32768;

std::vector<int16_t> sine(int32_t rate, double hz, int n, double amplitude = 8000) {
    std::vector<int16_t> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / rate)));
    return x;
}

// Resamples `in` in the given chunk sizes (repeated); returns everything written.
std::vector<int16_t> run(int32_t inRate, int32_t outRate, const std::vector<int16_t>& in, std::vector<int> chunks) {
    SilkResamplerState s;
    EXPECT_EQ(silkResamplerInit(s, inRate, outRate), 0);
    std::vector<int16_t> out;
    size_t pos = 0, k = 0;
    while (pos < in.size()) {
        int n = std::min<int>(chunks[k++ % chunks.size()], static_cast<int>(in.size() - pos));
        std::vector<int16_t> buf(static_cast<size_t>(n) * 12 + 64, kUnwritten);
        EXPECT_EQ(silkResample(s, buf.data(), in.data() + pos, n), 0);
        size_t written = buf.size();
        while (written > 0 && buf[written - 1] == kUnwritten)
            --written;
        out.insert(out.end(), buf.begin(), buf.begin() + static_cast<long>(written));
        pos += static_cast<size_t>(n);
    }
    return out;
}

int zeroCrossings(const std::vector<int16_t>& x, size_t skip) {
    int c = 0;
    for (size_t i = skip + 1; i < x.size(); ++i)
        c += (x[i - 1] < 0) != (x[i] < 0);
    return c;
}

} // namespace

TEST(SilkResampler, OutputCounts) {
    struct Case {
        int32_t in, out, n, expected;
    } cases[] = {{12000, 24000, 240, 480}, {16000, 24000, 320, 480}, {8000, 24000, 160, 480},
                 {24000, 24000, 480, 480}, {24000, 8000, 480, 160},  {24000, 12000, 480, 240},
                 {24000, 16000, 480, 320}, {24000, 48000, 480, 960}, {48000, 12000, 960, 240},
                 {48000, 8000, 960, 160}};
    for (const Case& c : cases) {
        std::vector<int16_t> x = sine(c.in, 440, c.n);
        EXPECT_EQ(run(c.in, c.out, x, {c.n}).size(), static_cast<size_t>(c.expected)) << c.in << " -> " << c.out;
    }
}

TEST(SilkResampler, ChunksGiveTheSameSignal) {
    // Any chunking for the 2x and copy paths; whole 10 ms blocks for the fractional ones.
    struct Case {
        int32_t in, out;
        std::vector<int> chunks;
    } cases[] = {{12000, 24000, {1, 7, 33, 240}},  {24000, 24000, {5, 100}},
                 {16000, 24000, {160, 320, 480}},  {8000, 24000, {80, 160, 240}},
                 {24000, 16000, {240, 480}},       {24000, 8000, {240, 720}},
                 {24000, 44100, {240, 480}},       {44100, 8000, {441, 882}},
                 {96000, 24000, {960, 1920}},      {192000, 16000, {1920, 3840}},
                 {24000, 96000, {240, 480}},       {24000, 192000, {240, 720}}};
    for (const Case& c : cases) {
        std::vector<int16_t> x = sine(c.in, 300, c.in / 10);
        std::vector<int16_t> whole = run(c.in, c.out, x, {static_cast<int>(x.size())});
        std::vector<int16_t> chunked = run(c.in, c.out, x, c.chunks);
        EXPECT_EQ(whole, chunked) << c.in << " -> " << c.out;
    }
}

TEST(SilkResampler, SineKeepsItsFrequency) {
    // Includes the stages only rates above 48 kHz use (2x and 4x before and after) and the
    // ARMA4 prefilter of the 441 ratios.
    struct Case {
        int32_t in, out;
    } cases[] = {{44100, 8000},  {44100, 12000}, {44100, 16000}, {44100, 24000}, {44100, 32000},
                 {96000, 24000}, {192000, 16000}, {24000, 96000}, {24000, 192000}, {8000, 24000},
                 {12000, 24000}, {24000, 8000},   {32000, 24000}, {48000, 8000},  {48000, 12000}};
    for (const Case& c : cases) {
        const double hz = 500;
        std::vector<int16_t> x = sine(c.in, hz, c.in / 2);
        std::vector<int16_t> y = run(c.in, c.out, x, {c.in / 100});
        ASSERT_GT(y.size(), static_cast<size_t>(c.out / 4)) << c.in << " -> " << c.out;
        size_t skip = static_cast<size_t>(c.out / 50);
        double seconds = static_cast<double>(y.size() - skip) / c.out;
        double measured = zeroCrossings(y, skip) / 2.0 / seconds;
        EXPECT_NEAR(measured, hz, hz * 0.03) << c.in << " -> " << c.out;
    }
}

TEST(SilkResampler, ReinitialisationStartsFromSilence) {
    for (auto rates : {std::pair{16000, 24000}, std::pair{12000, 24000}, std::pair{24000, 8000}}) {
        SilkResamplerState s;
        ASSERT_EQ(silkResamplerInit(s, rates.first, rates.second), 0);
        std::vector<int16_t> x = sine(rates.first, 700, rates.first / 50, 20000);
        std::vector<int16_t> out(4096);
        silkResample(s, out.data(), x.data(), static_cast<int32_t>(x.size()));
        ASSERT_EQ(silkResamplerInit(s, rates.first, rates.second), 0);
        std::vector<int16_t> zeros(x.size(), 0);
        std::vector<int16_t> out2(4096, 7);
        silkResample(s, out2.data(), zeros.data(), static_cast<int32_t>(zeros.size()));
        size_t n = static_cast<size_t>(rates.second / 50);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(out2[i], 0) << i;
    }
}

TEST(SilkResampler, RefusesBadRatesAndUninitialisedState) {
    SilkResamplerState s;
    EXPECT_EQ(silkResamplerInit(s, 7999, 24000), -1);
    EXPECT_EQ(silkResamplerInit(s, 24000, 192001), -1);
    EXPECT_EQ(silkResamplerInit(s, 192001, 24000), -1);
    EXPECT_EQ(silkResamplerInit(s, 8000, 7999), -1);
    std::vector<int16_t> in(10, 100), out(64, 5);
    EXPECT_EQ(silkResample(s, out.data(), in.data(), 10), -1);
    SilkResamplerState never;
    EXPECT_EQ(silkResample(never, out.data(), in.data(), 10), -1);
    for (int16_t v : out)
        EXPECT_EQ(v, 5);
    EXPECT_EQ(silkResamplerInit(s, 8000, 192000), 0);
    EXPECT_EQ(silkResamplerInit(s, 192000, 8000), 0);
}
