// The range decoder against the test range encoder, and its edge cases.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "media/silk/SilkRangeDecoder.h"
#include "tests/kit/SilkRangeEncoder.h"

using namespace silk;

namespace {

std::vector<uint16_t> randomCdf(std::mt19937& rng, int symbols) {
    // Strictly increasing inner points: every symbol has some probability.
    std::uniform_int_distribution<int> d(1, 65534);
    std::vector<uint16_t> inner;
    while (static_cast<int>(inner.size()) < symbols - 1) {
        int v = d(rng);
        bool seen = false;
        for (uint16_t x : inner)
            seen |= x == v;
        if (!seen) inner.push_back(static_cast<uint16_t>(v));
    }
    std::sort(inner.begin(), inner.end());
    std::vector<uint16_t> cdf = {0};
    cdf.insert(cdf.end(), inner.begin(), inner.end());
    cdf.push_back(65535);
    return cdf;
}

} // namespace

TEST(SilkRangeDecoder, RoundTripsRandomSymbols) {
    std::mt19937 rng(1234);
    for (int trial = 0; trial < 200; ++trial) {
        int count = std::uniform_int_distribution<int>(1, 200)(rng);
        std::vector<std::vector<uint16_t>> cdfs;
        std::vector<int32_t> symbols, starts;
        kit::SilkRangeEncoder enc(1024);
        for (int i = 0; i < count; ++i) {
            int n = std::uniform_int_distribution<int>(2, 40)(rng);
            cdfs.push_back(randomCdf(rng, n));
            symbols.push_back(std::uniform_int_distribution<int>(0, n - 1)(rng));
            starts.push_back(std::uniform_int_distribution<int>(1, n - 1)(rng));
            enc.encode(symbols.back(), cdfs.back().data());
        }
        const int32_t encoderBits = enc.lengthBits();
        enc.wrapUp();
        ASSERT_FALSE(enc.failed());
        std::vector<uint8_t> bytes = enc.bytes();
        SilkRangeDecoder rc;
        silkRangeDecInit(rc, bytes.data(), static_cast<int32_t>(bytes.size()));
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(
                silkRangeDecode(rc, cdfs[static_cast<size_t>(i)].data(), starts[static_cast<size_t>(i)]),
                symbols[static_cast<size_t>(i)])
                << "trial " << trial << " symbol " << i;
        EXPECT_EQ(rc.error, 0);
        int32_t decodedBytes = 0;
        EXPECT_EQ(silkRangeGetLength(rc, decodedBytes), encoderBits);
        EXPECT_EQ(decodedBytes, static_cast<int32_t>(bytes.size()));
        silkRangeCheckTail(rc);
        EXPECT_EQ(rc.error, 0);
    }
}

TEST(SilkRangeDecoder, TooLongPayloadSetsErrorAndNothingElse) {
    std::vector<uint8_t> small = {1, 2, 3, 4, 5};
    SilkRangeDecoder rc;
    silkRangeDecInit(rc, small.data(), 5);
    SilkRangeDecoder before = rc;
    std::vector<uint8_t> big(1025, 0xAB);
    silkRangeDecInit(rc, big.data(), 1025);
    EXPECT_EQ(rc.error, kSilkPayloadTooLong);
    EXPECT_EQ(rc.bufferLength, before.bufferLength);
    EXPECT_EQ(rc.baseQ32, before.baseQ32);
    EXPECT_EQ(rc.rangeQ16, before.rangeQ16);
    EXPECT_EQ(rc.buffer, before.buffer);
}

TEST(SilkRangeDecoder, AfterAnErrorSymbolsAreZeroAndStateStays) {
    std::vector<uint8_t> bytes(8, 0xFF);
    SilkRangeDecoder rc;
    silkRangeDecInit(rc, bytes.data(), 8);
    // A table whose last symbol has no width: a base in the top region runs off its end.
    const uint16_t cdf[3] = {0, 100, 65535};
    rc.baseQ32 = 0xFFFFFFFFu;
    EXPECT_EQ(silkRangeDecode(rc, cdf, 1), 0);
    EXPECT_EQ(rc.error, kSilkRangeCdfOutOfRange);
    SilkRangeDecoder before = rc;
    const uint16_t half[3] = {0, 32768, 65535};
    EXPECT_EQ(silkRangeDecode(rc, half, 1), 0);
    EXPECT_EQ(rc.baseQ32, before.baseQ32);
    EXPECT_EQ(rc.rangeQ16, before.rangeQ16);
    EXPECT_EQ(rc.bufferIx, before.bufferIx);
    EXPECT_EQ(rc.error, kSilkRangeCdfOutOfRange);
}

TEST(SilkRangeDecoder, ZerosPastTheEndAndTailError) {
    std::vector<uint8_t> bytes = {0x12, 0x34};
    SilkRangeDecoder rc;
    silkRangeDecInit(rc, bytes.data(), 2);
    const uint16_t cdf[3] = {0, 32768, 65535};
    for (int i = 0; i < 64 && rc.error == 0; ++i)
        silkRangeDecode(rc, cdf, 1);
    EXPECT_EQ(rc.error, 0);
    EXPECT_EQ(rc.bufferIx, 2); // stays at the payload length
    silkRangeCheckTail(rc);
    EXPECT_EQ(rc.error, kSilkRangeTailCheckFailed);
}

TEST(SilkRangeDecoder, ShortPayloadTakesItsFirstBytesFromTheCopy) {
    // A 1-byte payload after a 4-byte one: the base's last three bytes are the earlier
    // payload's, not bytes past the caller's buffer.
    std::vector<uint8_t> first = {0x11, 0x22, 0x33, 0x44};
    SilkRangeDecoder rc;
    silkRangeDecInit(rc, first.data(), 4);
    std::vector<uint8_t> one = {0x99};
    silkRangeDecInit(rc, one.data(), 1);
    EXPECT_EQ(rc.baseQ32, 0x99223344u);
    SilkRangeDecoder fresh;
    silkRangeDecInit(fresh, one.data(), 1);
    EXPECT_EQ(fresh.baseQ32, 0x99000000u);
}
