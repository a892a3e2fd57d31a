#include "media/silk/SilkNlsf.h"

#include <algorithm>

#include "media/silk/SilkFixedPoint.h"
#include "media/silk/SilkLpc.h"

namespace silk {

void silkNlsfMsvqDecode(int32_t* nlsfQ15, const tables::NlsfCodebook& codebook, const int32_t* indices,
                        int32_t order) {
    const int16_t* v = codebook.stages[0].vectorsQ15 + indices[0] * order;
    for (int32_t i = 0; i < order; ++i)
        nlsfQ15[i] = v[i];
    for (int32_t s = 1; s < codebook.nStages; ++s) {
        v = codebook.stages[s].vectorsQ15 + indices[s] * order;
        for (int32_t i = 0; i < order; ++i)
            nlsfQ15[i] += v[i];
    }
    silkNlsfStabilize(nlsfQ15, codebook.nDeltaMinQ15, order);
}

void silkInsertionSortIncreasing(int32_t* a, int32_t length) {
    for (int32_t i = 1; i < length; ++i) {
        int32_t value = a[i];
        int32_t j = i - 1;
        for (; j >= 0 && value < a[j]; --j)
            a[j + 1] = a[j];
        a[j + 1] = value;
    }
}

void silkNlsfStabilize(int32_t* nlsf, const int32_t* minDist, int32_t order) {
    const int32_t L = order;
    int loops = 0;
    for (; loops < 20; ++loops) {
        int32_t minDiff = nlsf[0] - minDist[0];
        int32_t worst = 0;
        for (int32_t i = 1; i <= L - 1; ++i) {
            int32_t diff = nlsf[i] - (nlsf[i - 1] + minDist[i]);
            if (diff < minDiff) {
                minDiff = diff;
                worst = i;
            }
        }
        int32_t diff = (1 << 15) - (nlsf[L - 1] + minDist[L]);
        if (diff < minDiff) {
            minDiff = diff;
            worst = L;
        }
        if (minDiff >= 0) return;
        if (worst == 0) {
            nlsf[0] = minDist[0];
        } else if (worst == L) {
            nlsf[L - 1] = (1 << 15) - minDist[L];
        } else {
            int32_t minCentre = 0;
            for (int32_t k = 0; k < worst; ++k)
                minCentre += minDist[k];
            minCentre += minDist[worst] >> 1;
            int32_t maxCentre = 1 << 15;
            for (int32_t k = L; k > worst; --k)
                maxCentre -= minDist[k];
            maxCentre -= minDist[worst] - (minDist[worst] >> 1);
            int32_t centre = rshiftRound(nlsf[worst - 1] + nlsf[worst], 1);
            if (minCentre > maxCentre)
                centre = centre > minCentre ? minCentre : (centre < maxCentre ? maxCentre : centre);
            else
                centre = centre > maxCentre ? maxCentre : (centre < minCentre ? minCentre : centre);
            nlsf[worst - 1] = centre - (minDist[worst] >> 1);
            nlsf[worst] = nlsf[worst - 1] + minDist[worst];
        }
    }
    silkInsertionSortIncreasing(nlsf, L);
    nlsf[0] = std::max(nlsf[0], minDist[0]);
    for (int32_t i = 1; i < L; ++i)
        nlsf[i] = std::max(nlsf[i], nlsf[i - 1] + minDist[i]);
    nlsf[L - 1] = std::min(nlsf[L - 1], (1 << 15) - minDist[L]);
    for (int32_t i = L - 2; i >= 0; --i)
        nlsf[i] = std::min(nlsf[i], nlsf[i + 1] - minDist[i + 1]);
}

namespace {

// One of the two polynomials from every second 2cos value (Q20).
void findPolynomial(int32_t* out, const int32_t* cosQ20, int32_t half) {
    out[0] = 1 << 20;
    out[1] = -cosQ20[0];
    for (int32_t k = 1; k < half; ++k) {
        int64_t f = cosQ20[2 * k];
        out[k + 1] = wrapSub(wrapShl(out[k - 1], 1), static_cast<int32_t>(rshiftRound64(f * out[k], 20)));
        for (int32_t n = k; n > 1; --n)
            out[n] =
                wrapAdd(out[n], wrapSub(out[n - 2], static_cast<int32_t>(rshiftRound64(f * out[n - 1], 20))));
        out[1] = wrapSub(out[1], static_cast<int32_t>(f));
    }
}

} // namespace

void silkNlsfToLpc(int16_t* aQ12, const int32_t* nlsfQ15, int32_t order) {
    int32_t cosQ20[16];
    for (int32_t k = 0; k < order; ++k) {
        // NLSFs are kept inside [0, 32768) by the stabiliser; the clamp only guards the table.
        int32_t nlsf = std::clamp<int32_t>(nlsfQ15[k], 0, 32767);
        int32_t fInt = nlsf >> 8;
        int32_t fFrac = nlsf - (fInt << 8);
        int32_t cosVal = tables::LSFCosTab_FIX_Q12[static_cast<size_t>(fInt)];
        int32_t delta = tables::LSFCosTab_FIX_Q12[static_cast<size_t>(fInt + 1)] - cosVal;
        cosQ20[k] = (cosVal << 8) + delta * fFrac;
    }
    int32_t half = order >> 1;
    int32_t P[9], Q[9];
    findPolynomial(P, cosQ20, half);
    findPolynomial(Q, cosQ20 + 1, half);
    int32_t a32[16];
    for (int32_t k = 0; k < half; ++k) {
        int64_t p = static_cast<int64_t>(P[k + 1]) + P[k];
        int64_t q = static_cast<int64_t>(Q[k + 1]) - Q[k];
        a32[k] = static_cast<int32_t>(-rshiftRound64(p + q, 9));
        a32[order - k - 1] = static_cast<int32_t>(rshiftRound64(q - p, 9));
    }
    int i = 0;
    int32_t idx = 0;
    for (; i < 10; ++i) {
        int32_t maxAbs = 0;
        for (int32_t k = 0; k < order; ++k) {
            int32_t absVal = abs32(a32[k]);
            if (absVal > maxAbs) {
                maxAbs = absVal;
                idx = k;
            }
        }
        if (maxAbs <= INT16_MAX) break;
        maxAbs = std::min(maxAbs, 98369);
        int32_t scQ16 = 65470 - ((65470 >> 2) * (maxAbs - INT16_MAX)) / ((maxAbs * (idx + 1)) >> 2);
        silkBandwidthExpand32(a32, order, scQ16);
    }
    if (i == 10) {
        for (int32_t k = 0; k < order; ++k)
            a32[k] = sat16(a32[k]);
    }
    for (int32_t k = 0; k < order; ++k)
        aQ12[k] = static_cast<int16_t>(a32[k]);
}

void silkNlsfToLpcStable(int16_t* aQ12, const int32_t* nlsfQ15, int32_t order) {
    silkNlsfToLpc(aQ12, nlsfQ15, order);
    int32_t n = 0;
    for (; n < 20; ++n) {
        int32_t invGainQ30 = 0;
        if (silkLpcInversePredGain(invGainQ30, aQ12, order) == 1)
            silkBandwidthExpand(aQ12, order, 65536 - n * (n + 10));
        else
            break;
    }
    if (n == 20) {
        for (int32_t k = 0; k < order; ++k)
            aQ12[k] = 0;
    }
}

} // namespace silk
