// Crafted packets through the decoder interface: frames per packet, termination codes and
// FEC data, the table of contents, and the guards against crafted pulse data.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "media/silk/SilkDecodeParameters.h"
#include "media/silk/SilkDecoder.h"
#include "media/silk/SilkFileDecoder.h"
#include "media/silk/SilkTables.h"
#include "tests/kit/SilkPacketWriter.h"

using namespace silk;
using kit::SilkFrameSymbols;

namespace {

SilkFrameSymbols voicedFrame(int rateIndex = 3) {
    SilkFrameSymbols f;
    f.rateIndex = rateIndex;
    f.typeOffset = 0;
    f.gainIndices[0] = 30;
    f.lagIndex = 40;
    f.contourIndex = 3;
    f.perIndex = 1;
    f.ltpIndices[0] = f.ltpIndices[1] = f.ltpIndices[2] = f.ltpIndices[3] = 5;
    int len = 20 * silk::tables::SamplingRates_table[static_cast<size_t>(rateIndex)];
    f.pulses.assign(static_cast<size_t>(len), 0);
    for (int i = 0; i < len; i += 37)
        f.pulses[static_cast<size_t>(i)] = (i / 37) % 2 ? 2 : -3;
    return f;
}

struct Decoded {
    std::vector<int32_t> codes;
    std::vector<int16_t> samples;
    int frames = 0;
};

// Decodes one packet (all its frames) or conceals one packet's frames.
Decoded decodePacket(SilkDecoderState& s, SilkDecControl& c, const std::vector<uint8_t>& p, int lost = 0) {
    Decoded d;
    std::array<int16_t, kSilkMaxOutputFrame> frame{};
    int guard = 0;
    do {
        int16_t n = 0;
        d.codes.push_back(
            SKP_Silk_SDK_Decode(s, c, lost, p.data(), static_cast<int32_t>(p.size()), frame, n));
        d.samples.insert(d.samples.end(), frame.begin(), frame.begin() + n);
        ++d.frames;
    } while (c.moreFrames && ++guard < 10);
    return d;
}

struct Fresh {
    SilkDecoderState state;
    SilkDecControl control;
    Fresh() { SKP_Silk_InitDecoder(state); }
};

std::vector<uint8_t> multiFrame(int frames, int lastTermination = 0,
                                const std::vector<uint8_t>& trailer = {}) {
    kit::SilkPacketWriter w;
    for (int i = 0; i < frames; ++i) {
        SilkFrameSymbols f = voicedFrame();
        f.termination = i + 1 < frames ? 1 : lastTermination;
        if (i > 0) f.gainIndices[0] = 4;
        w.addFrame(f);
    }
    return w.finish(trailer);
}

} // namespace

TEST(SilkPackets, MultiFramePacketDecodesEveryFrame) {
    Fresh d;
    Decoded out = decodePacket(d.state, d.control, multiFrame(3));
    EXPECT_EQ(out.frames, 3);
    for (int32_t code : out.codes)
        EXPECT_EQ(code, 0);
    EXPECT_EQ(out.samples.size(), 3u * 480);
    EXPECT_EQ(d.control.framesPerPacket, 3);
    EXPECT_EQ(d.control.frameSize, 480);
}

TEST(SilkPackets, SixFramePacketStopsAfterFive) {
    Fresh d;
    Decoded out = decodePacket(d.state, d.control, multiFrame(6));
    EXPECT_EQ(out.frames, 5);
    EXPECT_EQ(d.control.framesPerPacket, 5);
}

TEST(SilkPackets, TableOfContents) {
    SilkToc toc;
    std::vector<uint8_t> three = multiFrame(3);
    silkGetToc(three.data(), static_cast<int32_t>(three.size()), toc);
    EXPECT_EQ(toc.corrupt, 0);
    EXPECT_EQ(toc.framesInPacket, 3);
    EXPECT_EQ(toc.fsKHz, 24);
    EXPECT_EQ(toc.inbandFec, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(toc.vadFlags[static_cast<size_t>(i)], 1);
        EXPECT_EQ(toc.sigtypeFlags[static_cast<size_t>(i)], 0);
    }
    std::vector<uint8_t> six = multiFrame(6);
    silkGetToc(six.data(), static_cast<int32_t>(six.size()), toc);
    EXPECT_EQ(toc.corrupt, 1);
    EXPECT_EQ(toc.framesInPacket, 0);
    std::vector<uint8_t> withFec = multiFrame(1, 3, {1, 2, 3});
    silkGetToc(withFec.data(), static_cast<int32_t>(withFec.size()), toc);
    EXPECT_EQ(toc.corrupt, 0);
    EXPECT_EQ(toc.inbandFec, 2);
    std::vector<uint8_t> bad = {0xFF};
    silkGetToc(bad.data(), 1, toc);
    EXPECT_EQ(toc.corrupt, 1);
    EXPECT_STREQ(silkGetVersion(), "1.0.9.6");
}

TEST(SilkPackets, OneByteLeftWithLastTerminationIsAccepted) {
    Fresh d;
    Decoded out = decodePacket(d.state, d.control, kit::silkPacket(voicedFrame(), {0x5A}));
    ASSERT_EQ(out.frames, 1);
    EXPECT_EQ(out.codes[0], 0);
    EXPECT_EQ(d.state.nBytesLeft, 1);
}

TEST(SilkPackets, PaddingBitsMustBeOnes) {
    std::vector<uint8_t> p = kit::silkPacket(voicedFrame());
    Fresh a;
    EXPECT_EQ(decodePacket(a.state, a.control, p).codes[0], 0);
    p.back() = 0x00; // the last byte's unused bits are no longer ones (or the symbols change)
    Fresh b;
    EXPECT_NE(decodePacket(b.state, b.control, p).codes[0], 0);
}

TEST(SilkPackets, FecSearchByTerminationAndOffset) {
    const std::vector<uint8_t> fec = kit::silkPacket(voicedFrame(2));
    struct Case {
        int termination, offset;
        bool found;
    } cases[] = {{0, 1, false}, {0, 2, false}, {2, 1, true}, {2, 2, false}, {3, 1, false}, {3, 2, true}};
    for (const Case& c : cases) {
        std::vector<uint8_t> packet =
            multiFrame(1, c.termination, c.termination ? fec : std::vector<uint8_t>{});
        std::array<uint8_t, 1024> out{};
        int16_t n = -1;
        silkSearchForLbrr(packet.data(), static_cast<int32_t>(packet.size()), c.offset, out.data(), n);
        SCOPED_TRACE(::testing::Message() << "termination " << c.termination << " offset " << c.offset);
        if (c.found) {
            ASSERT_EQ(n, static_cast<int16_t>(fec.size()));
            EXPECT_TRUE(std::equal(fec.begin(), fec.end(), out.begin()));
        } else {
            EXPECT_EQ(n, 0);
        }
    }
    // FEC after the second frame of a two-frame packet; offsets outside 1..2 find nothing.
    std::vector<uint8_t> two = multiFrame(2, 2, fec);
    std::array<uint8_t, 1024> out{};
    int16_t n = 0;
    silkSearchForLbrr(two.data(), static_cast<int32_t>(two.size()), 1, out.data(), n);
    EXPECT_EQ(n, static_cast<int16_t>(fec.size()));
    silkSearchForLbrr(two.data(), static_cast<int32_t>(two.size()), 3, out.data(), n);
    EXPECT_EQ(n, 0);
    std::vector<uint8_t> tooLong(1025, 0x55);
    silkSearchForLbrr(tooLong.data(), 1025, 1, out.data(), n);
    EXPECT_EQ(n, 0);
}

TEST(SilkPackets, LostPacketIsReplacedByFecOfTheNextPacket) {
    const std::vector<uint8_t> p1 = kit::silkPacket(voicedFrame());
    SilkFrameSymbols f2 = voicedFrame();
    f2.gainIndices[0] = 40;
    const std::vector<uint8_t> p2 = kit::silkPacket(f2);
    const std::vector<uint8_t> p3 = multiFrame(1, 2, p2); // carries p2 as FEC
    const std::vector<uint8_t> p4 = kit::silkPacket(voicedFrame());

    std::vector<int16_t> pcm;
    ASSERT_EQ(silkDecodeVoice(kit::silkVoiceFile({p1, {}, p3, p4}), pcm).status, SilkVoiceStatus::Decoded);

    Fresh d;
    std::vector<int16_t> expected;
    for (const auto* p : {&p1, &p2, &p3, &p4}) {
        Decoded out = decodePacket(d.state, d.control, *p);
        expected.insert(expected.end(), out.samples.begin(), out.samples.end());
    }
    EXPECT_EQ(pcm, expected);
}

TEST(SilkPackets, LostPacketWithoutFecIsConcealedForThePreviousFrameCount) {
    const std::vector<uint8_t> p1 = multiFrame(2);
    const std::vector<uint8_t> p3 = kit::silkPacket(voicedFrame());
    std::vector<int16_t> pcm;
    silkDecodeVoice(kit::silkVoiceFile({p1, {}, p3, p3}), pcm);
    EXPECT_EQ(pcm.size(), (2u + 2u + 1u + 1u) * 480);
}

TEST(SilkPackets, LongLagAtTwelveKilohertz) {
    // Lag index 192 plus a contour of +8: lag 224, whose re-whitening would start before the
    // buffers; it is kept inside them.
    int contour = -1;
    for (int c = 0; c < 34; ++c)
        if (silk::tables::CB_lags_stage3[static_cast<size_t>(c)] == 8) contour = c;
    ASSERT_GE(contour, 0);
    SilkFrameSymbols f = voicedFrame(1);
    f.lagIndex = 192;
    f.contourIndex = contour;
    std::vector<uint8_t> p = kit::silkPacket(f);
    Fresh d;
    std::vector<int16_t> all;
    for (int i = 0; i < 3; ++i) {
        Decoded out = decodePacket(d.state, d.control, p);
        EXPECT_EQ(out.codes[0], 0);
        all.insert(all.end(), out.samples.begin(), out.samples.end());
    }
    EXPECT_EQ(all.size(), 3u * 480);
    SilkDecoderState probe;
    SKP_Silk_InitDecoder(probe);
    silkRangeDecInit(probe.rangeDecoder, p.data(), static_cast<int32_t>(p.size()));
    SilkFrameParameters params;
    std::array<int32_t, kSilkMaxFrameLength> q{};
    silkDecodeParameters(probe, params, q.data(), 1);
    EXPECT_EQ(params.pitchL[0], 224);
}

TEST(SilkPackets, TwoLsbPlanes) {
    SilkFrameSymbols f = voicedFrame();
    f.pulses.assign(480, 0);
    f.pulses[0] = 5;   // high part 1, low bits 0 1
    f.pulses[3] = -14; // high part 3, low bits 1 0
    f.lsbPlanes = {2};
    std::vector<uint8_t> p = kit::silkPacket(f);
    SilkDecoderState s;
    SKP_Silk_InitDecoder(s);
    silkRangeDecInit(s.rangeDecoder, p.data(), static_cast<int32_t>(p.size()));
    SilkFrameParameters params;
    std::array<int32_t, kSilkMaxFrameLength> q{};
    silkDecodeParameters(s, params, q.data(), 1);
    EXPECT_EQ(s.rangeDecoder.error, 0);
    EXPECT_EQ(q[0], 5);
    EXPECT_EQ(q[3], -14);
    EXPECT_EQ(q[1], 0);
}

TEST(SilkPackets, TenLsbPlanesPassAnEleventhIsAnError) {
    SilkFrameSymbols ten = voicedFrame();
    ten.pulses.assign(480, 0);
    ten.pulses[0] = 1 << 10;
    ten.lsbPlanes = {10};
    Fresh a;
    EXPECT_EQ(decodePacket(a.state, a.control, kit::silkPacket(ten)).codes[0], 0);

    SilkFrameSymbols eleven = voicedFrame();
    eleven.forcedCountSymbols = {std::vector<int32_t>(11, 19)};
    Fresh b;
    Decoded out = decodePacket(b.state, b.control, kit::silkPacket(eleven));
    EXPECT_EQ(out.codes[0], kSilkPayloadError);
    EXPECT_EQ(out.samples.size(), 480u); // concealed
}

TEST(SilkPackets, ShellCountBeyondItsTableIsAnError) {
    // The split tables give no width to halves their child table has no row for, so only a
    // count handed in directly goes beyond them: it is refused, never read past the table.
    for (int32_t count : {19, 40, 1000}) {
        SilkRangeDecoder rc;
        std::vector<uint8_t> bytes = {0x12, 0x34, 0x56, 0x78, 0x9A};
        silkRangeDecInit(rc, bytes.data(), 5);
        std::array<int32_t, 16> q;
        q.fill(-1);
        silkShellDecode(q.data(), rc, count);
        EXPECT_EQ(rc.error, kSilkRangeCdfOutOfRange);
        for (int32_t v : q)
            EXPECT_EQ(v, 0);
    }
    // Every codable split of every level keeps both halves within the next level's rows.
    const uint16_t* tables[3] = {silk::tables::shell_code_table3.data(),
                                 silk::tables::shell_code_table2.data(),
                                 silk::tables::shell_code_table1.data()};
    const int maxCount[3] = {18, 12, 8}, childMax[3] = {12, 8, 6};
    for (int l = 0; l < 3; ++l)
        for (int n = 1; n <= maxCount[l]; ++n) {
            const uint16_t* row = tables[l] + silk::tables::shell_code_table_offsets[static_cast<size_t>(n)];
            for (int k = 0; k <= n; ++k)
                if (row[k + 1] > row[k])
                    EXPECT_TRUE(k <= childMax[l] && n - k <= childMax[l]) << l << " " << n << " " << k;
        }
    // A full block of 18 pulses decodes.
    SilkFrameSymbols f = voicedFrame();
    f.pulses.assign(480, 0);
    for (int i = 0; i < 16; ++i)
        f.pulses[static_cast<size_t>(i)] = i < 2 ? 2 : 1;
    Fresh d;
    EXPECT_EQ(decodePacket(d.state, d.control, kit::silkPacket(f)).codes[0], 0);
}

TEST(SilkPackets, InvalidOutputRateStillAdvancesTheState) {
    const std::vector<uint8_t> p1 = kit::silkPacket(voicedFrame());
    const std::vector<uint8_t> p2 = kit::silkPacket(voicedFrame(2));
    for (int32_t bad : {7999, 48001}) {
        Fresh a, b;
        a.control.outputRate = bad;
        EXPECT_EQ(decodePacket(a.state, a.control, p1).codes[0], kSilkInvalidOutputRate);
        EXPECT_EQ(decodePacket(b.state, b.control, p1).codes[0], 0);
        a.control.outputRate = 24000;
        Decoded fromBad = decodePacket(a.state, a.control, p2);
        Decoded fromGood = decodePacket(b.state, b.control, p2);
        EXPECT_EQ(fromBad.samples, fromGood.samples) << bad;
    }
}

TEST(SilkPackets, TooLargePayloadIsConcealed) {
    Fresh d;
    std::vector<uint8_t> big(1025, 0x33);
    Decoded out = decodePacket(d.state, d.control, big);
    ASSERT_EQ(out.frames, 1);
    EXPECT_EQ(out.codes[0], kSilkPayloadTooLarge);
    EXPECT_EQ(out.samples.size(), 480u);
}

TEST(SilkPackets, SixteenKilohertzFrameIsResampledTo480) {
    Fresh d;
    Decoded out = decodePacket(d.state, d.control, kit::silkPacket(voicedFrame(2)));
    EXPECT_EQ(out.codes[0], 0);
    EXPECT_EQ(out.samples.size(), 480u);
    EXPECT_EQ(d.state.fsKHz, 16);
}

TEST(SilkPackets, FirstErrorOfAFrameWins) {
    // A frame meeting two faults reports the one its decode met first: the payload is
    // checked and decoded before the output rate is looked at.
    SilkFrameSymbols damagedFrame = voicedFrame();
    damagedFrame.forcedCountSymbols = {std::vector<int32_t>(11, 19)};
    const std::vector<uint8_t> damaged = kit::silkPacket(damagedFrame);
    const std::vector<uint8_t> tooLarge(kSilkMaxPayloadBytes + 1, 0x33);
    const std::vector<uint8_t> healthy = kit::silkPacket(voicedFrame());
    struct Case {
        const char* name;
        const std::vector<uint8_t>& packet;
        int32_t outputRate;
        int32_t expected;
    } cases[] = {
        {"damaged, rate too low", damaged, 7999, kSilkPayloadError},
        {"damaged, rate too high", damaged, 48001, kSilkPayloadError},
        {"too large, rate too low", tooLarge, 7999, kSilkPayloadTooLarge},
        {"too large, rate too high", tooLarge, 48001, kSilkPayloadTooLarge},
        {"damaged, valid rate", damaged, 24000, kSilkPayloadError},
        {"healthy, rate too low", healthy, 7999, kSilkInvalidOutputRate},
    };
    for (const Case& c : cases) {
        Fresh d;
        d.control.outputRate = c.outputRate;
        Decoded out = decodePacket(d.state, d.control, c.packet);
        ASSERT_FALSE(out.codes.empty()) << c.name;
        EXPECT_EQ(out.codes[0], c.expected) << c.name;
    }
}
