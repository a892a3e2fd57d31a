// Fuzz target of the SILK voice decoder. An input with a voice file header goes through the
// in-memory file decoder; any other input is split into packets (one length byte each) and
// fed to the decoder interface at an output rate chosen by its first byte, with the
// table of contents and the FEC search run on every packet.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "media/silk/SilkDecoder.h"
#include "media/silk/SilkFileDecoder.h"

namespace {

constexpr int32_t kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 7999, 48001};

void decodePackets(const uint8_t* data, size_t size) {
    silk::SilkDecoderState state;
    silk::SKP_Silk_InitDecoder(state);
    silk::SilkDecControl control;
    control.outputRate = kRates[data[0] % (sizeof(kRates) / sizeof(kRates[0]))];
    std::array<int16_t, silk::kSilkMaxOutputFrame> frame{};
    std::array<uint8_t, silk::kSilkMaxPayloadBytes> fec{};
    size_t pos = 1;
    while (pos < size) {
        size_t n = data[pos++];
        n = n > size - pos ? size - pos : n;
        const uint8_t* p = data + pos;
        pos += n;
        silk::SilkToc toc;
        silk::silkGetToc(p, static_cast<int32_t>(n), toc);
        int16_t fecBytes = 0;
        silk::silkSearchForLbrr(p, static_cast<int32_t>(n), 1 + static_cast<int32_t>(n & 1), fec.data(),
                                fecBytes);
        int32_t lost = n == 0 ? 1 : 0;
        int frames = 0;
        do {
            int16_t count = 0;
            silk::SKP_Silk_SDK_Decode(state, control, lost, p, static_cast<int32_t>(n), frame, count);
        } while (control.moreFrames && ++frames < 8);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    bool voiceFile = (size >= 10 && data[0] == 0x02) || (size >= 9 && data[1] == '!' && data[2] == 'S');
    if (voiceFile) {
        std::vector<int16_t> pcm;
        silk::silkDecodeVoice(std::span<const uint8_t>(data, size), pcm);
    } else {
        decodePackets(data, size);
    }
    return 0;
}
