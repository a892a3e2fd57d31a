// Arithmetic primitives and the small signal helpers, at their bounds.
#include <gtest/gtest.h>

#include <array>
#include <climits>

#include "media/silk/SilkDecodeParameters.h"
#include "media/silk/SilkFixedPoint.h"
#include "media/silk/SilkLpc.h"
#include "media/silk/SilkNlsf.h"
#include "media/silk/SilkTables.h"

using namespace silk;

TEST(SilkFixedPoint, Q16MultipliesAtTheBounds) {
    struct Case {
        int32_t a, b, wb, ww;
    } cases[] = {
        {INT32_MIN, 1, -32768, -32768},
        {INT32_MIN, -1, 32768, 32768},
        {INT32_MAX, INT32_MAX, -32768,
         static_cast<int32_t>(static_cast<uint32_t>((int64_t{INT32_MAX} * INT32_MAX) >> 16))},
        {-1, 1, -1, -1},
        {1, -1, -1, -1},
        {65536, 0x18000, -32768, 0x18000}, // low half of b is -32768
        {INT32_MIN, INT32_MIN, 0, 0},      // 2^62 >> 16 keeps its low 32 bits: 0
    };
    for (const Case& c : cases) {
        EXPECT_EQ(smulwb(c.a, c.b), c.wb) << c.a << " " << c.b;
        EXPECT_EQ(smulww(c.a, c.b), c.ww) << c.a << " " << c.b;
    }
    EXPECT_EQ(smmul(INT32_MIN, INT32_MIN), 1 << 30);
    EXPECT_EQ(smulbb(-32768, -32768), 1 << 30);
}

TEST(SilkFixedPoint, RoundingShiftAndSaturation) {
    EXPECT_EQ(rshiftRound(INT32_MIN, 1), INT32_MIN / 2);
    EXPECT_EQ(rshiftRound(INT32_MAX, 1), 1 << 30);
    EXPECT_EQ(rshiftRound(-1, 1), 0);
    EXPECT_EQ(rshiftRound(1, 1), 1);
    EXPECT_EQ(rshiftRound(-1, 10), 0);
    EXPECT_EQ(rshiftRound(512, 10), 1);
    EXPECT_EQ(rshiftRound(511, 10), 0);
    EXPECT_EQ(rshiftRound(INT32_MAX, 16), 32768);
    EXPECT_EQ(rshiftRound(INT32_MIN, 16), -32768);
    EXPECT_EQ(sat16(int32_t{INT32_MIN}), -32768);
    EXPECT_EQ(sat16(int32_t{INT32_MAX}), 32767);
    EXPECT_EQ(sat16(int32_t{32768}), 32767);
    EXPECT_EQ(sat16(int32_t{-32769}), -32768);
    EXPECT_EQ(sat16(int32_t{-1}), -1);
    EXPECT_EQ(addSat32(INT32_MAX, 1), INT32_MAX);
    EXPECT_EQ(addSat32(INT32_MIN, -1), INT32_MIN);
    EXPECT_EQ(lshiftSat32(1 << 30, 4), INT32_MAX);
    EXPECT_EQ(lshiftSat32(-(1 << 30), 4), INT32_MIN);
    EXPECT_EQ(wrapAdd(INT32_MAX, 1), INT32_MIN);
    EXPECT_EQ(silkRand(0), 907633515);
}

TEST(SilkFixedPoint, InverseAndQuotient) {
    // The approximations land one step below the exact 1.0 (65536 in Q16).
    EXPECT_EQ(silkInverse32VarQ(1, 16), 65535);
    EXPECT_EQ(silkInverse32VarQ(65536, 32), 65535);
    EXPECT_EQ(silkInverse32VarQ(INT32_MAX, 32), 2);
    EXPECT_EQ(silkInverse32VarQ(1, 46), INT32_MAX); // saturates
    EXPECT_EQ(silkDiv32VarQ(1, 1, 16), 65535);
    EXPECT_EQ(silkDiv32VarQ(INT32_MAX, INT32_MAX, 16), 65536);
    EXPECT_EQ(silkDiv32VarQ(INT32_MAX, 1, 16), INT32_MAX);
    EXPECT_EQ(silkDiv32VarQ(1, INT32_MAX, 16), 0);
    EXPECT_NEAR(silkDiv32VarQ(1000, 3, 16), 1000 * 65536 / 3, 2);
}

TEST(SilkFixedPoint, Log2Lin) {
    struct Case {
        int32_t in, out;
    } cases[] = {{-1, 0}, {0, 1}, {2047, 65535 + 0}, {2048, 65536}, {3967, 2130706432}, {3968, INT32_MAX}};
    for (const Case& c : cases) {
        if (c.in == 2047) {
            // 2^15 x 2^(127/128): just under 2^16.
            EXPECT_GT(silkLog2Lin(c.in), 65000);
            EXPECT_LT(silkLog2Lin(c.in), 65536);
        } else {
            EXPECT_EQ(silkLog2Lin(c.in), c.out) << c.in;
        }
    }
}

TEST(SilkFixedPoint, GainDequantisationAtTheIndexBounds) {
    std::array<int32_t, 4> gains{};
    int32_t prev = 0;
    const int32_t lowest[4] = {0, 0, 0, 0};
    silkGainsDequant(gains.data(), lowest, prev, 0);
    EXPECT_EQ(gains[0], silkLog2Lin(2176)); // index 0: about 2^17
    EXPECT_EQ(prev, -12);                   // three deltas of -4
    EXPECT_EQ(gains[3], silkLog2Lin(-12 * 27 + ((5201 * -12) >> 16) + 2176));
    const int32_t highest[4] = {63, 40, 40, 40};
    silkGainsDequant(gains.data(), highest, prev, 0);
    EXPECT_EQ(gains[0], silkLog2Lin(std::min(27 * 63 + ((5201 * 63) >> 16) + 2176, 3967)));
    EXPECT_EQ(gains[3], silkLog2Lin(3967)); // capped at 31 in Q7
    EXPECT_EQ(prev, 63 + 3 * 36);
}

TEST(SilkFixedPoint, NlsfStabiliseFallsBackToSortAndClamp) {
    // Crossed, clustered values no 20 passes of pairwise moves can separate.
    std::array<int32_t, 17> minDist{};
    minDist.fill(1900);
    std::array<int32_t, 16> nlsf = {30000, 100, 29000, 200, 28000, 300, 27000, 400,
                                    26000, 500, 25000, 600, 24000, 700, 23000, 800};
    silkNlsfStabilize(nlsf.data(), minDist.data(), 16);
    EXPECT_GE(nlsf[0], minDist[0]);
    for (int i = 1; i < 16; ++i)
        EXPECT_GE(nlsf[static_cast<size_t>(i)] - nlsf[static_cast<size_t>(i - 1)],
                  minDist[static_cast<size_t>(i)])
            << i;
    EXPECT_LE(nlsf[15], 32768 - minDist[16]);
}

TEST(SilkFixedPoint, NlsfStabiliseKeepsAValidVector) {
    std::array<int32_t, 16> nlsf{};
    for (int i = 0; i < 16; ++i)
        nlsf[static_cast<size_t>(i)] = (i + 1) * 1900;
    auto before = nlsf;
    silkNlsfStabilize(nlsf.data(), tables::NLSF_MSVQ_CB0_16_ndelta_min_Q15.data(), 16);
    EXPECT_EQ(nlsf, before);
}

TEST(SilkFixedPoint, UnstableFilterBecomesZero) {
    // Descending NLSFs give a filter far outside the unit circle: 20 expansions do not
    // bring it back.
    std::array<int32_t, 16> nlsf{};
    for (int i = 0; i < 16; ++i)
        nlsf[static_cast<size_t>(i)] = 32000 - i * 1900;
    std::array<int16_t, 16> a{};
    a.fill(7);
    silkNlsfToLpcStable(a.data(), nlsf.data(), 16);
    for (int16_t v : a)
        EXPECT_EQ(v, 0);
}

TEST(SilkFixedPoint, InversePredictionGain) {
    std::array<int16_t, 16> a{};
    int32_t inv = 0;
    EXPECT_EQ(silkLpcInversePredGain(inv, a.data(), 16), 0);
    EXPECT_NEAR(inv, 1 << 30, 1 << 8); // 1.0 in Q30, less the rounding of 16 steps
    a[0] = 4096;                       // a single coefficient of 1.0: on the unit circle
    EXPECT_EQ(silkLpcInversePredGain(inv, a.data(), 16), 1);
    a[0] = 2048; // 0.5: stable, gain 1 - 0.25
    EXPECT_EQ(silkLpcInversePredGain(inv, a.data(), 16), 0);
    EXPECT_NEAR(inv, (1 << 30) / 4 * 3, 1 << 12);
}

TEST(SilkFixedPoint, BiquadOnZerosGivesOnes) {
    std::array<int16_t, 64> x{};
    std::array<int32_t, 2> state{};
    silkBiquad(x.data(), tables::Dec_B_HP_24.data(), tables::Dec_A_HP_24.data(), state.data(), x.data(), 64);
    for (int16_t v : x)
        EXPECT_EQ(v, 1);
}

TEST(SilkFixedPoint, SumSquareShiftPairsFromTheFirstSample) {
    std::array<int16_t, 5> x = {3, 4, 5, 6, 7};
    int32_t energy = 0, shift = 0;
    silkSumSquareShift(energy, shift, x.data(), 5);
    EXPECT_EQ(shift, 0);
    EXPECT_EQ(energy, 9 + 16 + 25 + 36 + 49);
    std::array<int16_t, 480> loud{};
    loud.fill(-32768);
    silkSumSquareShift(energy, shift, loud.data(), 480);
    EXPECT_GT(shift, 0);
    EXPECT_EQ(static_cast<int64_t>(energy) << shift, int64_t{480} * (1 << 30));
    EXPECT_EQ(static_cast<uint32_t>(energy) & 0xC0000000u, 0u);
}
