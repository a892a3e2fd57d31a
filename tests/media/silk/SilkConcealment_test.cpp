// Loss concealment and comfort noise.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/silk/SilkDecoder.h"
#include "media/silk/SilkFileDecoder.h"
#include "media/silk/SilkPlc.h"
#include "tests/kit/SilkPacketWriter.h"

using namespace silk;

namespace {

std::vector<int16_t> decodeOne(SilkDecoderState& s, SilkDecControl& c, const std::vector<uint8_t>& p,
                               int lost) {
    std::array<int16_t, kSilkMaxOutputFrame> frame{};
    int16_t n = 0;
    SKP_Silk_SDK_Decode(s, c, lost, p.data(), static_cast<int32_t>(p.size()), frame, n);
    return std::vector<int16_t>(frame.begin(), frame.begin() + n);
}

int64_t energy(const std::vector<int16_t>& x) {
    int64_t e = 0;
    for (int16_t v : x)
        e += int64_t{v} * v;
    return e;
}

kit::SilkFrameSymbols loudVoiced() {
    kit::SilkFrameSymbols f;
    f.typeOffset = 0;
    f.gainIndices[0] = 45;
    f.lagIndex = 100;
    f.perIndex = 2;
    f.ltpIndices[0] = f.ltpIndices[1] = f.ltpIndices[2] = f.ltpIndices[3] = 10;
    f.pulses.assign(480, 0);
    for (int i = 0; i < 480; i += 5)
        f.pulses[static_cast<size_t>(i)] = (i / 5) % 2 ? 3 : -3;
    return f;
}

kit::SilkFrameSymbols quietUnvoiced(int vad) {
    kit::SilkFrameSymbols f;
    f.typeOffset = 2;
    f.gainIndices[0] = 25;
    f.vad = vad;
    f.pulses.assign(480, 0);
    for (int i = 0; i < 480; i += 3)
        f.pulses[static_cast<size_t>(i)] = (i / 3) % 2 ? 1 : -1;
    return f;
}

} // namespace

TEST(SilkConcealment, StoredPitchTapIsKeptInsideItsWindow) {
    struct Case {
        int16_t tap;
        int32_t target;
    } cases[] = {{4000, 15565}, {1600, 11469}, {2600, 13000}};
    for (const Case& c : cases) {
        SilkDecoderState s;
        SKP_Silk_InitDecoder(s);
        SilkFrameParameters p;
        p.sigtype = 0;
        p.pitchL = {100, 100, 100, 100};
        for (int i = 0; i < 5; ++i)
            p.ltpCoefQ14[static_cast<size_t>(15 + i)] = c.tap;
        silkPlcUpdate(s, p);
        // A single middle tap; the integer scaling lands within a step or two of the window edge.
        EXPECT_EQ(s.plc.ltpCoefQ14[0], 0);
        EXPECT_EQ(s.plc.ltpCoefQ14[1], 0);
        EXPECT_EQ(s.plc.ltpCoefQ14[3], 0);
        EXPECT_NEAR(s.plc.ltpCoefQ14[2], c.target, 2) << c.tap * 5;
        EXPECT_EQ(s.plc.pitchLQ8, 100 << 8);
    }
}

TEST(SilkConcealment, LongLossDecaysAndTheLagStopsAt18ms) {
    SilkDecoderState s;
    SKP_Silk_InitDecoder(s);
    SilkDecControl c;
    std::vector<uint8_t> p = kit::silkPacket(loudVoiced());
    for (int i = 0; i < 3; ++i)
        decodeOne(s, c, p, 0);
    std::vector<int64_t> levels;
    for (int i = 0; i < 40; ++i)
        levels.push_back(energy(decodeOne(s, c, {}, 1)));
    EXPECT_GT(levels[0], 0);
    EXPECT_LT(levels[10], levels[0]);
    EXPECT_LT(levels[39], levels[0] / 100);
    EXPECT_EQ(s.plc.pitchLQ8, (18 * 24) << 8);
    EXPECT_EQ(s.lossCnt, 40);
    // The first good frame after the run fades in: its start is quieter than its end.
    std::vector<int16_t> back = decodeOne(s, c, p, 0);
    EXPECT_EQ(s.lossCnt, 0);
    std::vector<int16_t> head(back.begin(), back.begin() + 120), tail(back.end() - 120, back.end());
    EXPECT_LT(energy(head), energy(tail));
}

TEST(SilkConcealment, ComfortNoiseLearnsFromFramesWithoutVoiceOnly) {
    SilkDecControl c;
    SilkDecoderState voiced;
    SKP_Silk_InitDecoder(voiced);
    decodeOne(voiced, c, kit::silkPacket(quietUnvoiced(1)), 0);
    EXPECT_EQ(voiced.cng.smthGainQ16, 0);

    SilkDecoderState silent;
    SKP_Silk_InitDecoder(silent);
    decodeOne(silent, c, kit::silkPacket(quietUnvoiced(0)), 0);
    EXPECT_GT(silent.cng.smthGainQ16, 0);
}

TEST(SilkConcealment, ComfortNoiseIsAddedToConcealedFramesOnly) {
    std::vector<uint8_t> p = kit::silkPacket(quietUnvoiced(0));
    SilkDecControl c1, c2;
    SilkDecoderState a, b;
    SKP_Silk_InitDecoder(a);
    SKP_Silk_InitDecoder(b);
    decodeOne(a, c1, p, 0);
    decodeOne(b, c2, p, 0);
    b.cng.smthGainQ16 = a.cng.smthGainQ16 * 8; // a much louder comfort noise in b
    EXPECT_EQ(decodeOne(a, c1, p, 0), decodeOne(b, c2, p, 0));
    EXPECT_NE(decodeOne(a, c1, {}, 1), decodeOne(b, c2, {}, 1));
}

TEST(SilkConcealment, HeaderOnlyFileGivesTwoFramesOfOnes) {
    std::vector<uint8_t> file = kit::silkVoiceFile({});
    std::vector<int16_t> pcm;
    SilkVoiceResult r = silkDecodeVoice(file, pcm);
    EXPECT_EQ(r.status, SilkVoiceStatus::Decoded);
    ASSERT_EQ(pcm.size(), 960u);
    for (int16_t v : pcm)
        EXPECT_EQ(v, 1);
    EXPECT_FLOAT_EQ(r.duration, 0.04f);
}
