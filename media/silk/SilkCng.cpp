#include "media/silk/SilkCng.h"

#include <algorithm>
#include <cstring>

#include "media/silk/SilkFixedPoint.h"
#include "media/silk/SilkLpc.h"
#include "media/silk/SilkNlsf.h"

namespace silk {

namespace {
constexpr int32_t kNlsfSmoothQ16 = 16348;
constexpr int32_t kGainSmoothQ16 = 4634;
constexpr int32_t kSeedAfterReset = 3176576;
} // namespace

void silkCngReset(SilkDecoderState& s) {
    int32_t step = INT16_MAX / (s.lpcOrder + 1);
    int32_t acc = 0;
    for (int32_t i = 0; i < s.lpcOrder; ++i) {
        acc += step;
        s.cng.smthNlsfQ15[static_cast<size_t>(i)] = acc;
    }
    s.cng.smthGainQ16 = 0;
    s.cng.randSeed = kSeedAfterReset;
}

void silkCng(SilkDecoderState& s, const SilkFrameParameters& p, int16_t* samples, int32_t length) {
    SilkCngState& cng = s.cng;
    if (s.fsKHz != cng.fsKHz) {
        silkCngReset(s);
        cng.fsKHz = s.fsKHz;
    }
    if (s.lossCnt == 0 && s.vadFlag == 0) {
        for (int32_t i = 0; i < s.lpcOrder; ++i) {
            auto& v = cng.smthNlsfQ15[static_cast<size_t>(i)];
            v = wrapAdd(v, smulwb(wrapSub(s.prevNlsfQ15[static_cast<size_t>(i)], v), kNlsfSmoothQ16));
        }
        int32_t maxGain = 0;
        int subfr = 0;
        for (int i = 0; i < kSilkSubframes; ++i) {
            if (p.gainsQ16[static_cast<size_t>(i)] > maxGain) {
                maxGain = p.gainsQ16[static_cast<size_t>(i)];
                subfr = i;
            }
        }
        const size_t sub = static_cast<size_t>(s.subfrLength);
        std::memmove(cng.excBufQ10.data() + sub, cng.excBufQ10.data(),
                     (kSilkSubframes - 1) * sub * sizeof(int32_t));
        std::copy_n(s.excQ10.begin() + static_cast<std::ptrdiff_t>(static_cast<size_t>(subfr) * sub), sub,
                    cng.excBufQ10.begin());
        for (int i = 0; i < kSilkSubframes; ++i)
            cng.smthGainQ16 =
                wrapAdd(cng.smthGainQ16,
                        smulwb(wrapSub(p.gainsQ16[static_cast<size_t>(i)], cng.smthGainQ16), kGainSmoothQ16));
    }

    if (s.lossCnt) {
        int16_t noise[kSilkMaxFrameLength];
        int32_t mask = 255;
        while (mask > length)
            mask >>= 1;
        int32_t seed = cng.randSeed;
        for (int32_t i = 0; i < length; ++i) {
            seed = silkRand(seed);
            int32_t idx = (seed >> 24) & mask;
            noise[i] = static_cast<int16_t>(
                sat16(rshiftRound(smulww(cng.excBufQ10[static_cast<size_t>(idx)], cng.smthGainQ16), 10)));
        }
        cng.randSeed = seed;
        int16_t lpc[kSilkMaxLpcOrder];
        silkNlsfToLpcStable(lpc, cng.smthNlsfQ15.data(), s.lpcOrder);
        if (s.lpcOrder == 16)
            silkLpcSynthesisOrder16(noise, lpc, 1 << 26, cng.synthState.data(), noise, length);
        else
            silkLpcSynthesis(noise, lpc, 1 << 26, cng.synthState.data(), noise, length, s.lpcOrder);
        for (int32_t i = 0; i < length; ++i)
            samples[i] = static_cast<int16_t>(sat16(static_cast<int32_t>(samples[i]) + noise[i]));
    } else {
        std::fill_n(cng.synthState.begin(), s.lpcOrder, 0);
    }
}

} // namespace silk
