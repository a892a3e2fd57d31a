// Decoded output of voice files made by the fixture script equals the reference decoder's,
// sample for sample.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "media/silk/SilkDecoder.h"
#include "media/silk/SilkFileDecoder.h"
#include "tests/kit/ScratchFolder.h"

namespace {

std::string fixturePath(const std::string& name) {
    return std::string(TEST_DATA_DIR) + "/media/silk/fixtures/" + name;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<int16_t> readPcm(const std::string& path) {
    std::vector<uint8_t> b = readBytes(path);
    std::vector<int16_t> s(b.size() / 2);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>(static_cast<uint16_t>(b[2 * i] | (b[2 * i + 1] << 8)));
    return s;
}

// Index of the first differing sample, or -1.
long firstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return static_cast<long>(i);
    return a.size() == b.size() ? -1 : static_cast<long>(n);
}

std::vector<std::vector<uint8_t>> packetsOf(const std::vector<uint8_t>& file) {
    std::vector<std::vector<uint8_t>> packets;
    size_t pos = file.size() > 0 && file[0] == 0x02 ? 10 : 9;
    while (pos + 2 <= file.size()) {
        int16_t n = static_cast<int16_t>(static_cast<uint16_t>(file[pos] | (file[pos + 1] << 8)));
        pos += 2;
        if (n < 0 || pos + static_cast<size_t>(n) > file.size()) break;
        packets.emplace_back(file.begin() + static_cast<long>(pos),
                             file.begin() + static_cast<long>(pos) + n);
        pos += static_cast<size_t>(n);
    }
    return packets;
}

class SilkFixture : public ::testing::TestWithParam<std::string> {};

TEST_P(SilkFixture, DecodesSampleForSampleWithAndWithoutLeadingByte) {
    const std::string name = GetParam();
    std::vector<uint8_t> file = readBytes(fixturePath(name + ".silk"));
    std::vector<int16_t> expected = readPcm(fixturePath(name + ".pcm"));
    ASSERT_GT(file.size(), 10u);
    ASSERT_EQ(file[0], 0x02);
    ASSERT_FALSE(expected.empty());

    std::vector<int16_t> pcm;
    auto r = silk::silkDecodeVoice(file, pcm);
    EXPECT_EQ(r.status, silk::SilkVoiceStatus::Decoded);
    EXPECT_EQ(firstDifference(pcm, expected), -1) << name;

    std::vector<uint8_t> plain(file.begin() + 1, file.end());
    std::vector<int16_t> pcm2;
    silk::silkDecodeVoice(plain, pcm2);
    EXPECT_EQ(pcm2, pcm);
}

INSTANTIATE_TEST_SUITE_P(All, SilkFixture,
                         ::testing::Values("speech_8000", "speech_12000", "speech_16000", "speech_24000",
                                           "lossy_8000", "lossy_16000"));

TEST(SilkFixtureFile, FileToPcmWritesTheSameSamples) {
    kit::ScratchFolder dir("silk");
    const std::string out = (dir.path() / "speech.silkp").string();
    float duration = -1;
    ASSERT_EQ(silk::silkFileToPcm(fixturePath("speech_16000.silk"), out, &duration), 1);
    std::vector<int16_t> expected = readPcm(fixturePath("speech_16000.pcm"));
    EXPECT_EQ(readPcm(out), expected);
    EXPECT_FLOAT_EQ(duration, static_cast<float>(expected.size()) / 24000.0f);
}

class SilkOutputRate : public ::testing::TestWithParam<int32_t> {};

// Packet by packet through the decoder interface at other output rates: the 2x, down-FIR
// and fractional resampler paths.
TEST_P(SilkOutputRate, MatchesReferenceAtRate) {
    const int32_t rate = GetParam();
    auto packets = packetsOf(readBytes(fixturePath("speech_24000.silk")));
    std::vector<int16_t> expected = readPcm(fixturePath("speech_24000_at_" + std::to_string(rate) + ".pcm"));
    ASSERT_FALSE(packets.empty());
    silk::SilkDecoderState state;
    silk::SKP_Silk_InitDecoder(state);
    silk::SilkDecControl control;
    control.outputRate = rate;
    std::vector<int16_t> pcm;
    std::array<int16_t, silk::kSilkMaxOutputFrame> frame{};
    for (const auto& p : packets) {
        do {
            int16_t n = 0;
            EXPECT_EQ(silk::SKP_Silk_SDK_Decode(state, control, 0, p.data(), static_cast<int32_t>(p.size()),
                                                frame, n),
                      0);
            EXPECT_EQ(n, rate / 50);
            pcm.insert(pcm.end(), frame.begin(), frame.begin() + n);
        } while (control.moreFrames);
    }
    EXPECT_EQ(firstDifference(pcm, expected), -1) << rate;
}

INSTANTIATE_TEST_SUITE_P(Rates, SilkOutputRate, ::testing::Values(8000, 12000, 16000, 44100, 48000));

} // namespace
