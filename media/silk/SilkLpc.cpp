#include "media/silk/SilkLpc.h"

#include "media/silk/SilkFixedPoint.h"

namespace silk {

namespace {
constexpr int32_t kALimitQ16 = 65520; // 0.99975
}

int32_t silkLpcInversePredGainQ16(int32_t& invGainQ30, int32_t aQ16[2][16], int32_t order) {
    int32_t* aNew = aQ16[order & 1];
    invGainQ30 = 1 << 30;
    for (int32_t k = order - 1; k > 0; --k) {
        if (aNew[k] > kALimitQ16 || aNew[k] < -kALimitQ16) return 1;
        int32_t rcQ31 = -wrapShl(aNew[k], 15);
        int32_t rcMult1Q30 = (INT32_MAX >> 1) - smmul(rcQ31, rcQ31);
        int32_t rcMult2Q16 = silkInverse32VarQ(rcMult1Q30, 46);
        invGainQ30 = wrapShl(smmul(invGainQ30, rcMult1Q30), 2);
        int32_t* aOld = aNew;
        aNew = aQ16[k & 1];
        int headroom = clz32(rcMult2Q16) - 1;
        rcMult2Q16 = wrapShl(rcMult2Q16, headroom);
        for (int32_t n = 0; n < k; ++n) {
            int32_t tmp = wrapSub(aOld[n], wrapShl(smmul(aOld[k - n - 1], rcQ31), 1));
            aNew[n] = wrapShl(smmul(tmp, rcMult2Q16), 16 - headroom);
        }
    }
    if (aNew[0] > kALimitQ16 || aNew[0] < -kALimitQ16) return 1;
    int32_t rcQ31 = -wrapShl(aNew[0], 15);
    int32_t rcMult1Q30 = (INT32_MAX >> 1) - smmul(rcQ31, rcQ31);
    invGainQ30 = wrapShl(smmul(invGainQ30, rcMult1Q30), 2);
    return 0;
}

int32_t silkLpcInversePredGain(int32_t& invGainQ30, const int16_t* aQ12, int32_t order) {
    int32_t aQ16[2][16] = {};
    int32_t* aNew = aQ16[order & 1];
    for (int32_t k = 0; k < order; ++k)
        aNew[k] = static_cast<int32_t>(aQ12[k]) * 16;
    return silkLpcInversePredGainQ16(invGainQ30, aQ16, order);
}

void silkBandwidthExpand(int16_t* a, int32_t order, int32_t chirpQ16) {
    int32_t chirpMinusOne = chirpQ16 - 65536;
    for (int32_t i = 0; i < order - 1; ++i) {
        a[i] = static_cast<int16_t>(rshiftRound64(static_cast<int64_t>(chirpQ16) * a[i], 16));
        chirpQ16 += static_cast<int32_t>(rshiftRound64(static_cast<int64_t>(chirpQ16) * chirpMinusOne, 16));
    }
    a[order - 1] = static_cast<int16_t>(rshiftRound64(static_cast<int64_t>(chirpQ16) * a[order - 1], 16));
}

void silkBandwidthExpand32(int32_t* a, int32_t order, int32_t chirpQ16) {
    int32_t chirp = chirpQ16;
    for (int32_t i = 0; i < order - 1; ++i) {
        a[i] = smulww(a[i], chirp);
        chirp = smulww(chirpQ16, chirp);
    }
    a[order - 1] = smulww(a[order - 1], chirp);
}

void silkMaPrediction(const int16_t* in, const int16_t* bQ12, int16_t* out, int32_t len, int32_t order) {
    int32_t state[16] = {};
    for (int32_t k = 0; k < len; ++k) {
        int32_t x = in[k];
        int32_t out32 = rshiftRound(wrapSub(x * 4096, state[0]), 12);
        for (int32_t d = 0; d < order - 1; ++d)
            state[d] = smlabb(state[d + 1], x, bQ12[d]);
        state[order - 1] = smulbb(x, bQ12[order - 1]);
        out[k] = static_cast<int16_t>(sat16(out32));
    }
}

void silkShortTermSynthesis(int32_t* outQ10, const int32_t* resQ10, int32_t* historyQ14, const int16_t* aQ12,
                            int32_t order, int32_t length) {
    for (int32_t i = 0; i < length; ++i) {
        const int32_t* h = historyQ14 + 16 + i - 1;
        int32_t pred = 0;
        for (int32_t j = 0; j < order; ++j)
            pred = smlawb(pred, h[-j], aQ12[j]);
        outQ10[i] = wrapAdd(resQ10[i], pred);
        historyQ14[16 + i] = wrapShl(outQ10[i], 4);
    }
}

void silkLpcSynthesis(const int16_t* in, const int16_t* aQ12, int32_t gainQ26, int32_t* state, int16_t* out,
                      int32_t len, int32_t order) {
    for (int32_t k = 0; k < len; ++k) {
        int32_t pred = 0;
        for (int32_t j = 0; j < order; ++j)
            pred = smlawb(pred, state[order - 1 - j], aQ12[j]);
        for (int32_t j = 0; j < order - 1; ++j)
            state[j] = state[j + 1];
        int32_t outQ10 = addSat32(pred, smulwb(gainQ26, in[k]));
        out[k] = static_cast<int16_t>(sat16(rshiftRound(outQ10, 10)));
        state[order - 1] = lshiftSat32(outQ10, 4);
    }
}

void silkLpcSynthesisOrder16(const int16_t* in, const int16_t* aQ12, int32_t gainQ26, int32_t* state,
                             int16_t* out, int32_t len) {
    silkLpcSynthesis(in, aQ12, gainQ26, state, out, len, 16);
}

void silkSumSquareShift(int32_t& energy, int32_t& shift, const int16_t* x, int32_t len) {
    int32_t nrg = 0;
    int32_t shft = 0;
    int32_t i = 0;
    int32_t last = len - 1;
    while (i < last) {
        nrg = smlabb(nrg, x[i], x[i]);
        nrg = smlabb(nrg, x[i + 1], x[i + 1]);
        i += 2;
        if (nrg < 0) {
            nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) >> 2);
            shft = 2;
            break;
        }
    }
    for (; i < last; i += 2) {
        uint32_t tmp =
            static_cast<uint32_t>(smulbb(x[i], x[i])) + static_cast<uint32_t>(smulbb(x[i + 1], x[i + 1]));
        nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) + (tmp >> shft));
        if (nrg < 0) {
            nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) >> 2);
            shft += 2;
        }
    }
    if (i == last) {
        uint32_t tmp = static_cast<uint32_t>(smulbb(x[i], x[i]));
        nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) + (tmp >> shft));
    }
    if (static_cast<uint32_t>(nrg) & 0xC0000000u) {
        nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) >> 2);
        shft += 2;
    }
    shift = shft;
    energy = nrg;
}

void silkBiquad(const int16_t* in, const int16_t* bQ13, const int16_t* aQ13, int32_t* state, int16_t* out,
                int32_t len) {
    int32_t s0 = state[0];
    int32_t s1 = state[1];
    int32_t a0Neg = -aQ13[0];
    int32_t a1Neg = -aQ13[1];
    for (int32_t k = 0; k < len; ++k) {
        int32_t x = in[k];
        int32_t y = smlabb(s0, x, bQ13[0]);
        s0 = smlabb(s1, x, bQ13[1]);
        s0 = wrapAdd(s0, wrapShl(smulwb(y, a0Neg), 3));
        s1 = wrapShl(smulwb(y, a1Neg), 3);
        s1 = smlabb(s1, x, bQ13[2]);
        out[k] = static_cast<int16_t>(sat16(static_cast<int64_t>(rshiftRound(y, 13)) + 1));
    }
    state[0] = s0;
    state[1] = s1;
}

} // namespace silk
