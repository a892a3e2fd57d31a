#include "media/silk/SilkPlc.h"

#include <algorithm>

#include "media/silk/SilkFixedPoint.h"
#include "media/silk/SilkLpc.h"

namespace silk {

namespace {
constexpr int32_t kBweCoefQ16 = 64880;
constexpr int32_t kPitchGainStartMinQ14 = 11469;
constexpr int32_t kPitchGainStartMaxQ14 = 15565;
constexpr int32_t kPitchDriftQ16 = 655;
constexpr int32_t kMaxPitchLagMs = 18;
constexpr int32_t kRandBufSize = 128;
constexpr int32_t kRandBufMask = 127;
constexpr int32_t kRandScaleFloorQ14 = 3277;

int32_t sqrtApprox(int32_t x) {
    if (x <= 0) return 0;
    int32_t lz = clz32(x);
    uint32_t ux = static_cast<uint32_t>(x);
    int rot = (24 - lz) & 31;
    int32_t fracQ7 = static_cast<int32_t>(rot == 0 ? ux : ((ux >> rot) | (ux << (32 - rot)))) & 0x7F;
    int32_t y = (lz & 1) ? 32768 : 46214;
    y >>= lz >> 1;
    return smlawb(y, y, smulbb(213, fracQ7));
}
} // namespace

void silkPlcReset(SilkDecoderState& s) {
    s.plc.pitchLQ8 = s.frameLength >> 1;
}

void silkPlc(SilkDecoderState& s, SilkFrameParameters& p, int16_t* samples, int32_t length, int32_t lost) {
    if (s.fsKHz != s.plc.fsKHz) {
        silkPlcReset(s);
        s.plc.fsKHz = s.fsKHz;
    }
    if (lost) {
        silkPlcConceal(s, p, samples);
        s.lossCnt++;
    } else {
        silkPlcUpdate(s, p);
    }
}

void silkPlcUpdate(SilkDecoderState& s, SilkFrameParameters& p) {
    SilkPlcState& plc = s.plc;
    s.prevSigtype = p.sigtype;
    int32_t ltpGainQ14 = 0;
    if (p.sigtype == 0) {
        for (int32_t j = 0; j * s.subfrLength < p.pitchL[kSilkSubframes - 1]; ++j) {
            if (j >= kSilkSubframes) break;
            int32_t sum = 0;
            const int16_t* taps = p.ltpCoefQ14.data() + (kSilkSubframes - 1 - j) * kSilkLtpOrder;
            for (int i = 0; i < kSilkLtpOrder; ++i)
                sum += taps[i];
            if (sum > ltpGainQ14) {
                ltpGainQ14 = sum;
                std::copy_n(taps, kSilkLtpOrder, plc.ltpCoefQ14.begin());
                plc.pitchLQ8 = wrapShl(p.pitchL[static_cast<size_t>(kSilkSubframes - 1 - j)], 8);
            }
        }
        plc.ltpCoefQ14.fill(0);
        plc.ltpCoefQ14[2] = static_cast<int16_t>(ltpGainQ14);
        if (ltpGainQ14 < kPitchGainStartMinQ14) {
            int32_t scaleQ10 = (kPitchGainStartMinQ14 << 10) / std::max(ltpGainQ14, 1);
            for (auto& t : plc.ltpCoefQ14)
                t = static_cast<int16_t>(smulbb(t, scaleQ10) >> 10);
        } else if (ltpGainQ14 > kPitchGainStartMaxQ14) {
            int32_t scaleQ14 = (kPitchGainStartMaxQ14 << 14) / std::max(ltpGainQ14, 1);
            for (auto& t : plc.ltpCoefQ14)
                t = static_cast<int16_t>(smulbb(t, scaleQ14) >> 14);
        }
    } else {
        plc.pitchLQ8 = (s.fsKHz * kMaxPitchLagMs) << 8;
        plc.ltpCoefQ14.fill(0);
    }
    std::copy_n(p.predCoefQ12[1].begin(), s.lpcOrder, plc.prevLpcQ12.begin());
    plc.prevLtpScaleQ14 = static_cast<int16_t>(p.ltpScaleQ14);
    plc.prevGainQ16 = p.gainsQ16;
}

void silkPlcConceal(SilkDecoderState& s, SilkFrameParameters& p, int16_t* samples) {
    SilkPlcState& plc = s.plc;
    const int32_t L = s.frameLength;
    const int32_t sub = s.subfrLength;
    int32_t* ltp = s.ltpHistoryQ16.data();

    std::copy_n(ltp + L, L, ltp);
    silkBandwidthExpand(plc.prevLpcQ12.data(), s.lpcOrder, kBweCoefQ16);

    // Noise source: the quieter of the last two subframes' excitation.
    int16_t excBuf[2 * kSilkMaxSubframeLength];
    for (int k = 2; k < kSilkSubframes; ++k)
        for (int32_t i = 0; i < sub; ++i)
            excBuf[(k - 2) * sub + i] = static_cast<int16_t>(
                smulww(s.excQ10[static_cast<size_t>(i + k * sub)], plc.prevGainQ16[static_cast<size_t>(k)]) >>
                10);
    int32_t energy1, shift1, energy2, shift2;
    silkSumSquareShift(energy1, shift1, excBuf, sub);
    silkSumSquareShift(energy2, shift2, excBuf + sub, sub);
    const int32_t* randPtr;
    if ((energy1 >> shift2) < (energy2 >> shift1))
        randPtr = s.excQ10.data() + std::max(0, 3 * sub - kRandBufSize);
    else
        randPtr = s.excQ10.data() + std::max(0, L - kRandBufSize);

    int16_t* bQ14 = plc.ltpCoefQ14.data();
    int32_t randScaleQ14 = plc.randScaleQ14;
    const size_t att = static_cast<size_t>(std::min(1, s.lossCnt));
    int32_t harmGainQ15 = tables::HARM_ATT_Q15[att];
    int32_t randGainQ15 =
        s.prevSigtype == 0 ? tables::PLC_RAND_ATTENUATE_V_Q15[att] : tables::PLC_RAND_ATTENUATE_UV_Q15[att];

    if (s.lossCnt == 0) {
        randScaleQ14 = 1 << 14;
        if (s.prevSigtype == 0) {
            int16_t r = 1 << 14;
            for (int i = 0; i < kSilkLtpOrder; ++i)
                r = static_cast<int16_t>(r - bQ14[i]);
            r = std::max<int16_t>(kRandScaleFloorQ14, r);
            randScaleQ14 = static_cast<int16_t>(smulbb(r, plc.prevLtpScaleQ14) >> 14);
        }
        if (s.prevSigtype == 1) {
            int32_t invGainQ30 = 0;
            silkLpcInversePredGain(invGainQ30, plc.prevLpcQ12.data(), s.lpcOrder);
            int32_t downScaleQ30 = std::min((1 << 30) >> 3, invGainQ30);
            downScaleQ30 = std::max((1 << 30) >> 8, downScaleQ30);
            downScaleQ30 = downScaleQ30 << 3;
            randGainQ15 = smulwb(downScaleQ30, randGainQ15) >> 14;
        }
    }

    int32_t seed = plc.randSeed;
    int32_t lag = rshiftRound(plc.pitchLQ8, 8);
    int32_t ltpIx = L;
    int32_t sigQ10[kSilkMaxFrameLength];
    int32_t* sig = sigQ10;
    const int32_t maxLagQ8 = (kMaxPitchLagMs * s.fsKHz) << 8;
    for (int k = 0; k < kSilkSubframes; ++k) {
        for (int32_t i = 0; i < sub; ++i) {
            seed = silkRand(seed);
            int32_t idx = (seed >> 25) & kRandBufMask;
            const int32_t* pred = ltp + ltpIx - lag + 2;
            int32_t ltpPredQ14 = smulwb(pred[0], bQ14[0]);
            ltpPredQ14 = smlawb(ltpPredQ14, pred[-1], bQ14[1]);
            ltpPredQ14 = smlawb(ltpPredQ14, pred[-2], bQ14[2]);
            ltpPredQ14 = smlawb(ltpPredQ14, pred[-3], bQ14[3]);
            ltpPredQ14 = smlawb(ltpPredQ14, pred[-4], bQ14[4]);
            int32_t excQ10 = wrapShl(smulwb(randPtr[idx], randScaleQ14), 2);
            excQ10 = wrapAdd(excQ10, rshiftRound(ltpPredQ14, 4));
            ltp[ltpIx] = wrapShl(excQ10, 6);
            ++ltpIx;
            sig[i] = excQ10;
        }
        sig += sub;
        for (int j = 0; j < kSilkLtpOrder; ++j)
            bQ14[j] = static_cast<int16_t>(smulbb(harmGainQ15, bQ14[j]) >> 15);
        randScaleQ14 = static_cast<int16_t>(smulbb(randScaleQ14, randGainQ15) >> 15);
        plc.pitchLQ8 = wrapAdd(plc.pitchLQ8, smulwb(plc.pitchLQ8, kPitchDriftQ16));
        plc.pitchLQ8 = std::min(plc.pitchLQ8, maxLagQ8);
        lag = rshiftRound(plc.pitchLQ8, 8);
    }

    sig = sigQ10;
    int32_t* hist = s.lpcHistoryQ14.data();
    const int16_t* a = plc.prevLpcQ12.data();
    for (int k = 0; k < kSilkSubframes; ++k) {
        for (int32_t i = 0; i < sub; ++i) {
            int32_t pred = 0;
            for (int32_t j = 0; j < s.lpcOrder; ++j)
                pred = smlawb(pred, hist[kSilkMaxLpcOrder + i - j - 1], a[j]);
            sig[i] = wrapAdd(sig[i], pred);
            hist[kSilkMaxLpcOrder + i] = wrapShl(sig[i], 4);
        }
        sig += sub;
        std::copy_n(hist + sub, kSilkMaxLpcOrder, hist);
    }

    for (int32_t i = 0; i < L; ++i)
        samples[i] = static_cast<int16_t>(
            sat16(rshiftRound(smulww(sigQ10[i], plc.prevGainQ16[kSilkSubframes - 1]), 10)));

    plc.randSeed = seed;
    plc.randScaleQ14 = static_cast<int16_t>(randScaleQ14);
    p.pitchL.fill(lag);
}

void silkPlcGlueFrames(SilkDecoderState& s, int16_t* samples, int32_t length) {
    SilkPlcState& plc = s.plc;
    if (s.lossCnt) {
        silkSumSquareShift(plc.concEnergy, plc.concEnergyShift, samples, length);
        plc.lastFrameLost = 1;
        return;
    }
    if (plc.lastFrameLost) {
        int32_t energy, energyShift;
        silkSumSquareShift(energy, energyShift, samples, length);
        if (energyShift > plc.concEnergyShift)
            plc.concEnergy >>= (energyShift - plc.concEnergyShift);
        else if (energyShift < plc.concEnergyShift)
            energy >>= (plc.concEnergyShift - energyShift);
        if (energy > plc.concEnergy) {
            int32_t lz = clz32(plc.concEnergy) - 1;
            plc.concEnergy = wrapShl(plc.concEnergy, lz);
            energy >>= std::max(24 - lz, 0);
            int32_t fracQ24 = plc.concEnergy / std::max(energy, 1);
            int32_t gainQ12 = sqrtApprox(fracQ24);
            int32_t slopeQ12 = ((1 << 12) - gainQ12) / length;
            for (int32_t i = 0; i < length; ++i) {
                samples[i] = static_cast<int16_t>((gainQ12 * samples[i]) >> 12);
                gainQ12 = std::min(gainQ12 + slopeQ12, 1 << 12);
            }
        }
    }
    plc.lastFrameLost = 0;
}

} // namespace silk
