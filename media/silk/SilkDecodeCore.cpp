#include "media/silk/SilkDecodeCore.h"

#include <algorithm>

#include "media/silk/SilkFixedPoint.h"
#include "media/silk/SilkLpc.h"

namespace silk {

void silkDecodeCore(SilkDecoderState& s, SilkFrameParameters& p, int16_t* out, const int32_t* q) {
    const int32_t L = s.frameLength;
    const int32_t offsetQ10 =
        tables::Quantization_Offsets_Q10[static_cast<size_t>(2 * p.sigtype + p.quantOffsetType)];
    const int32_t interpolate = p.nlsfInterpCoefQ2 < 4 ? 1 : 0;

    int32_t seed = p.seed;
    for (int32_t i = 0; i < L; ++i) {
        seed = silkRand(seed);
        int32_t e = wrapAdd(wrapShl(q[i], 10), offsetQ10);
        if (seed < 0) e = wrapSub(0, e);
        s.excQ10[static_cast<size_t>(i)] = e;
        seed = wrapAdd(seed, q[i]);
    }

    int16_t whitened[kSilkMaxFrameLength];
    int32_t vecQ10[kSilkMaxSubframeLength];
    int32_t* exc = s.excQ10.data();
    int32_t* res = s.resQ10.data();
    int16_t* xq = s.outBuf.data() + L;
    int32_t ltpIx = L;
    int32_t* ltp = s.ltpHistoryQ16.data();
    int32_t lag = 0;

    for (int k = 0; k < kSilkSubframes; ++k) {
        const int16_t* aQ12 = p.predCoefQ12[static_cast<size_t>(k >> 1)].data();
        int16_t* bQ14 = p.ltpCoefQ14.data() + k * kSilkLtpOrder;
        const int32_t gainQ16 = p.gainsQ16[static_cast<size_t>(k)];
        int32_t sigtype = p.sigtype;

        int32_t invGainQ16 = silkInverse32VarQ(std::max(gainQ16, 1), 32);
        invGainQ16 = std::min(invGainQ16, int32_t{INT16_MAX});
        int32_t gainAdjQ16 = 1 << 16;
        if (invGainQ16 != s.prevInvGainQ16) gainAdjQ16 = silkDiv32VarQ(invGainQ16, s.prevInvGainQ16, 16);

        // After a concealed voiced frame, start an unvoiced one with a plain pitch tap.
        if (s.lossCnt && s.prevSigtype == 0 && p.sigtype == 1 && k < 2) {
            std::fill_n(bQ14, kSilkLtpOrder, int16_t{0});
            bQ14[2] = 1 << 12;
            sigtype = 0;
            p.pitchL[static_cast<size_t>(k)] = s.lagPrev;
        }

        if (sigtype == 0) {
            // Lags from the tables never exceed frame length - 2; the clamp only keeps reads
            // inside the history whatever the state holds.
            lag = std::clamp(p.pitchL[static_cast<size_t>(k)], 0, L - 2);
            if ((k & (3 - (interpolate << 1))) == 0) {
                // Re-whiten the past output with the new coefficients. The start is kept inside
                // the buffers: a long lag at 12 kHz would otherwise begin before them.
                int32_t start = std::clamp(L - lag - s.lpcOrder - 2, 0, L - s.lpcOrder);
                silkMaPrediction(s.outBuf.data() + start + k * s.subfrLength, aQ12, whitened + start,
                                 L - start, s.lpcOrder);
                int32_t invGainQ32 = wrapShl(invGainQ16, 16);
                if (k == 0) invGainQ32 = wrapShl(smulwb(invGainQ32, p.ltpScaleQ14), 2);
                const int32_t n = std::min(lag + 2, L - start);
                for (int32_t i = 0; i < n; ++i)
                    ltp[ltpIx - i - 1] = smulwb(invGainQ32, whitened[L - i - 1]);
            } else if (gainAdjQ16 != (1 << 16)) {
                const int32_t n = std::min(lag + 2, ltpIx);
                for (int32_t i = 0; i < n; ++i)
                    ltp[ltpIx - i - 1] = smulww(gainAdjQ16, ltp[ltpIx - i - 1]);
            }
        }

        for (int i = 0; i < kSilkMaxLpcOrder; ++i)
            s.lpcHistoryQ14[static_cast<size_t>(i)] =
                smulww(gainAdjQ16, s.lpcHistoryQ14[static_cast<size_t>(i)]);
        s.prevInvGainQ16 = invGainQ16;

        if (sigtype == 0) {
            for (int32_t i = 0; i < s.subfrLength; ++i) {
                const int32_t* pred = ltp + ltpIx - lag + 2;
                int32_t ltpPredQ14 = smulwb(pred[0], bQ14[0]);
                ltpPredQ14 = smlawb(ltpPredQ14, pred[-1], bQ14[1]);
                ltpPredQ14 = smlawb(ltpPredQ14, pred[-2], bQ14[2]);
                ltpPredQ14 = smlawb(ltpPredQ14, pred[-3], bQ14[3]);
                ltpPredQ14 = smlawb(ltpPredQ14, pred[-4], bQ14[4]);
                res[i] = wrapAdd(exc[i], rshiftRound(ltpPredQ14, 4));
                ltp[ltpIx] = wrapShl(res[i], 6);
                ++ltpIx;
            }
        } else {
            std::copy_n(exc, s.subfrLength, res);
        }

        silkShortTermSynthesis(vecQ10, res, s.lpcHistoryQ14.data(), aQ12, s.lpcOrder, s.subfrLength);
        for (int32_t i = 0; i < s.subfrLength; ++i)
            xq[i] = static_cast<int16_t>(sat16(rshiftRound(smulww(vecQ10[i], gainQ16), 10)));
        std::copy_n(s.lpcHistoryQ14.begin() + s.subfrLength, kSilkMaxLpcOrder, s.lpcHistoryQ14.begin());
        exc += s.subfrLength;
        res += s.subfrLength;
        xq += s.subfrLength;
    }
    std::copy_n(s.outBuf.begin() + L, L, out);
}

} // namespace silk
