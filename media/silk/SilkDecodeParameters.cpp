#include "media/silk/SilkDecodeParameters.h"

#include <algorithm>

#include "media/silk/SilkFixedPoint.h"
#include "media/silk/SilkLpc.h"
#include "media/silk/SilkNlsf.h"

namespace silk {

using namespace tables;

void silkSetInternalRate(SilkDecoderState& s, int32_t fsKHz) {
    if (s.fsKHz == fsKHz) return;
    s.fsKHz = fsKHz;
    s.frameLength = 20 * fsKHz;
    s.subfrLength = 5 * fsKHz;
    if (fsKHz == 8) {
        s.lpcOrder = 10;
        s.nlsfCodebooks = {&NLSF_CB0_10, &NLSF_CB1_10};
    } else {
        s.lpcOrder = 16;
        s.nlsfCodebooks = {&NLSF_CB0_16, &NLSF_CB1_16};
    }
    std::fill_n(s.lpcHistoryQ14.begin(), kSilkMaxLpcOrder, 0);
    std::fill_n(s.outBuf.begin(), kSilkMaxFrameLength, int16_t{0});
    s.prevNlsfQ15.fill(0);
    s.lagPrev = 100;
    s.lastGainIndex = 1;
    s.prevSigtype = 0;
    s.firstFrameAfterReset = 1;
    switch (fsKHz) {
    case 24:
        s.hpA = Dec_A_HP_24.data();
        s.hpB = Dec_B_HP_24.data();
        break;
    case 16:
        s.hpA = Dec_A_HP_16.data();
        s.hpB = Dec_B_HP_16.data();
        break;
    case 12:
        s.hpA = Dec_A_HP_12.data();
        s.hpB = Dec_B_HP_12.data();
        break;
    default:
        s.hpA = Dec_A_HP_8.data();
        s.hpB = Dec_B_HP_8.data();
        break;
    }
}

int32_t silkLog2Lin(int32_t inLogQ7) {
    if (inLogQ7 < 0) return 0;
    if (inLogQ7 >= (31 << 7)) return INT32_MAX;
    int32_t out = 1 << (inLogQ7 >> 7);
    int32_t frac = inLogQ7 & 0x7F;
    int32_t fracAdj = smlawb(frac, frac * (128 - frac), -174);
    if (inLogQ7 < 2048) return out + ((out * fracAdj) >> 7);
    return out + (out >> 7) * fracAdj;
}

void silkGainsDequant(int32_t* gainsQ16, const int32_t* indices, int32_t& prevIndex, int32_t conditional) {
    for (int k = 0; k < kSilkSubframes; ++k) {
        if (k == 0 && conditional == 0)
            prevIndex = indices[k];
        else
            prevIndex = wrapAdd(wrapAdd(indices[k], prevIndex), -4);
        // 27 + 5201/65536 in Q16, applied as a Q16 multiply; 3967 caps the level at 31 in Q7.
        gainsQ16[k] = silkLog2Lin(std::min(smulwb(1774673, prevIndex) + 2176, 3967));
    }
}

void silkDecodePitch(int32_t lagIndex, int32_t contourIndex, int32_t* pitchLags, int32_t fsKHz) {
    int32_t lag = 2 * fsKHz + lagIndex;
    for (int k = 0; k < kSilkSubframes; ++k) {
        if (fsKHz == 8)
            pitchLags[k] = lag + CB_lags_stage2[static_cast<size_t>(k * 11 + contourIndex)];
        else
            pitchLags[k] = lag + CB_lags_stage3[static_cast<size_t>(k * 34 + contourIndex)];
    }
}

namespace {

// Largest count each shell level's split table has a row for (16 -> 8+8, 8 -> 4+4, ...).
constexpr int32_t kShellMaxCount[4] = {18, 12, 8, 6};

void decodeSplit(int32_t& child1, int32_t& child2, SilkRangeDecoder& rc, int32_t count, const uint16_t* table,
                 int level) {
    if (count <= 0) {
        child1 = 0;
        child2 = 0;
        return;
    }
    if (count > kShellMaxCount[level]) {
        // Only a crafted packet hands a split a count its table has no row for.
        if (!rc.error) rc.error = kSilkRangeCdfOutOfRange;
        child1 = 0;
        child2 = 0;
        return;
    }
    child1 = silkRangeDecode(rc, table + shell_code_table_offsets[static_cast<size_t>(count)], count >> 1);
    child2 = count - child1;
}

} // namespace

void silkShellDecode(int32_t* p0, SilkRangeDecoder& rc, int32_t count) {
    const uint16_t* t3 = shell_code_table3.data();
    const uint16_t* t2 = shell_code_table2.data();
    const uint16_t* t1 = shell_code_table1.data();
    const uint16_t* t0 = shell_code_table0.data();
    int32_t p3[2], p2[4], p1[8];
    decodeSplit(p3[0], p3[1], rc, count, t3, 0);
    decodeSplit(p2[0], p2[1], rc, p3[0], t2, 1);
    decodeSplit(p1[0], p1[1], rc, p2[0], t1, 2);
    decodeSplit(p0[0], p0[1], rc, p1[0], t0, 3);
    decodeSplit(p0[2], p0[3], rc, p1[1], t0, 3);
    decodeSplit(p1[2], p1[3], rc, p2[1], t1, 2);
    decodeSplit(p0[4], p0[5], rc, p1[2], t0, 3);
    decodeSplit(p0[6], p0[7], rc, p1[3], t0, 3);
    decodeSplit(p2[2], p2[3], rc, p3[1], t2, 1);
    decodeSplit(p1[4], p1[5], rc, p2[2], t1, 2);
    decodeSplit(p0[8], p0[9], rc, p1[4], t0, 3);
    decodeSplit(p0[10], p0[11], rc, p1[5], t0, 3);
    decodeSplit(p1[6], p1[7], rc, p2[3], t1, 2);
    decodeSplit(p0[12], p0[13], rc, p1[6], t0, 3);
    decodeSplit(p0[14], p0[15], rc, p1[7], t0, 3);
}

void silkDecodeSigns(SilkRangeDecoder& rc, int32_t* q, int32_t length, int32_t sigtype,
                     int32_t quantOffsetType, int32_t rateLevelIndex) {
    size_t i = static_cast<size_t>(9 * (2 * sigtype + quantOffsetType) + rateLevelIndex);
    const uint16_t cdf[3] = {0, sign_CDF[i], 65535};
    for (int32_t k = 0; k < length; ++k) {
        if (q[k] > 0) {
            int32_t bit = silkRangeDecode(rc, cdf, 1);
            q[k] *= 2 * bit - 1;
        }
    }
}

void silkDecodePulses(SilkRangeDecoder& rc, SilkFrameParameters& p, int32_t* q, int32_t frameLength) {
    p.rateLevelIndex = silkRangeDecode(rc, rate_levels_CDF.data() + 10 * p.sigtype, rate_levels_CDF_offset);
    const int32_t blocks = frameLength / 16;
    int32_t sumPulses[kSilkMaxFrameLength / 16];
    int32_t nLshifts[kSilkMaxFrameLength / 16];
    const uint16_t* cdf = pulses_per_block_CDF.data() + 21 * p.rateLevelIndex;
    const uint16_t* lastCdf = pulses_per_block_CDF.data() + 21 * 9;
    for (int32_t i = 0; i < blocks; ++i) {
        nLshifts[i] = 0;
        sumPulses[i] = silkRangeDecode(rc, cdf, pulses_per_block_CDF_offset);
        while (sumPulses[i] == 19) {
            if (++nLshifts[i] > kSilkMaxLsbPlanes) {
                // More planes than any stream needs: the values would overflow.
                if (!rc.error) rc.error = kSilkRangeCdfOutOfRange;
                nLshifts[i] = 0;
                sumPulses[i] = 0;
                break;
            }
            sumPulses[i] = silkRangeDecode(rc, lastCdf, pulses_per_block_CDF_offset);
        }
    }
    for (int32_t i = 0; i < blocks; ++i) {
        if (sumPulses[i] > 0)
            silkShellDecode(q + i * 16, rc, sumPulses[i]);
        else
            std::fill_n(q + i * 16, 16, 0);
    }
    for (int32_t i = 0; i < blocks; ++i) {
        if (nLshifts[i] > 0) {
            int32_t* block = q + i * 16;
            for (int k = 0; k < 16; ++k) {
                int32_t v = block[k];
                for (int32_t j = 0; j < nLshifts[i]; ++j)
                    v = 2 * v + silkRangeDecode(rc, lsb_CDF.data(), 1);
                block[k] = v;
            }
        }
    }
    silkDecodeSigns(rc, q, frameLength, p.sigtype, p.quantOffsetType, p.rateLevelIndex);
}

void silkDecodeParameters(SilkDecoderState& s, SilkFrameParameters& p, int32_t* q, int32_t fullDecoding) {
    SilkRangeDecoder& rc = s.rangeDecoder;
    if (s.nFramesDecoded == 0) {
        int32_t ix = silkRangeDecode(rc, SamplingRates_CDF.data(), SamplingRates_offset);
        if (ix < 0 || ix > 3) {
            rc.error = kSilkIllegalSamplingRate;
            return;
        }
        silkSetInternalRate(s, SamplingRates_table[static_cast<size_t>(ix)]);
    }
    int32_t ix;
    if (s.nFramesDecoded == 0)
        ix = silkRangeDecode(rc, type_offset_CDF.data(), type_offset_CDF_offset);
    else
        ix = silkRangeDecode(rc, type_offset_joint_CDF.data() + 5 * s.typeOffsetPrev, type_offset_CDF_offset);
    p.sigtype = ix >> 1;
    p.quantOffsetType = ix & 1;
    s.typeOffsetPrev = ix;

    int32_t gainIndices[kSilkSubframes];
    if (s.nFramesDecoded == 0)
        gainIndices[0] = silkRangeDecode(rc, gain_CDF.data() + 65 * p.sigtype, gain_CDF_offset);
    else
        gainIndices[0] = silkRangeDecode(rc, delta_gain_CDF.data(), delta_gain_CDF_offset);
    for (int k = 1; k < kSilkSubframes; ++k)
        gainIndices[k] = silkRangeDecode(rc, delta_gain_CDF.data(), delta_gain_CDF_offset);
    silkGainsDequant(p.gainsQ16.data(), gainIndices, s.lastGainIndex, s.nFramesDecoded);

    const NlsfCodebook& cb = *s.nlsfCodebooks[static_cast<size_t>(p.sigtype)];
    int32_t nlsfIndices[10] = {};
    silkRangeDecodeMulti(nlsfIndices, rc, cb.startPtr, cb.middleIx, cb.nStages);
    int32_t nlsfQ15[kSilkMaxLpcOrder] = {};
    silkNlsfMsvqDecode(nlsfQ15, cb, nlsfIndices, s.lpcOrder);

    p.nlsfInterpCoefQ2 =
        silkRangeDecode(rc, NLSF_interpolation_factor_CDF.data(), NLSF_interpolation_factor_offset);
    if (s.firstFrameAfterReset == 1) p.nlsfInterpCoefQ2 = 4;

    if (fullDecoding) {
        silkNlsfToLpcStable(p.predCoefQ12[1].data(), nlsfQ15, s.lpcOrder);
        if (p.nlsfInterpCoefQ2 < 4) {
            int32_t nlsf0Q15[kSilkMaxLpcOrder];
            for (int32_t i = 0; i < s.lpcOrder; ++i)
                nlsf0Q15[i] =
                    s.prevNlsfQ15[static_cast<size_t>(i)] +
                    ((p.nlsfInterpCoefQ2 * (nlsfQ15[i] - s.prevNlsfQ15[static_cast<size_t>(i)])) >> 2);
            silkNlsfToLpcStable(p.predCoefQ12[0].data(), nlsf0Q15, s.lpcOrder);
        } else {
            p.predCoefQ12[0] = p.predCoefQ12[1];
        }
    }
    std::copy_n(nlsfQ15, s.lpcOrder, s.prevNlsfQ15.begin());

    if (s.lossCnt) {
        silkBandwidthExpand(p.predCoefQ12[0].data(), s.lpcOrder, 63570);
        silkBandwidthExpand(p.predCoefQ12[1].data(), s.lpcOrder, 63570);
    }

    if (p.sigtype == 0) {
        int32_t lagIndex, contourIndex;
        if (s.fsKHz == 8)
            lagIndex = silkRangeDecode(rc, pitch_lag_NB_CDF.data(), pitch_lag_NB_CDF_offset);
        else if (s.fsKHz == 12)
            lagIndex = silkRangeDecode(rc, pitch_lag_MB_CDF.data(), pitch_lag_MB_CDF_offset);
        else if (s.fsKHz == 16)
            lagIndex = silkRangeDecode(rc, pitch_lag_WB_CDF.data(), pitch_lag_WB_CDF_offset);
        else
            lagIndex = silkRangeDecode(rc, pitch_lag_SWB_CDF.data(), pitch_lag_SWB_CDF_offset);
        if (s.fsKHz == 8)
            contourIndex = silkRangeDecode(rc, pitch_contour_NB_CDF.data(), pitch_contour_NB_CDF_offset);
        else
            contourIndex = silkRangeDecode(rc, pitch_contour_CDF.data(), pitch_contour_CDF_offset);
        silkDecodePitch(lagIndex, contourIndex, p.pitchL.data(), s.fsKHz);

        p.perIndex = silkRangeDecode(rc, LTP_per_index_CDF.data(), LTP_per_index_CDF_offset);
        const int16_t* codebook = LTP_vq_ptrs_Q14[static_cast<size_t>(p.perIndex)];
        for (int k = 0; k < kSilkSubframes; ++k) {
            int32_t cbIx = silkRangeDecode(rc, LTP_gain_CDF_ptrs[static_cast<size_t>(p.perIndex)],
                                           LTP_gain_CDF_offsets[static_cast<size_t>(p.perIndex)]);
            for (int i = 0; i < kSilkLtpOrder; ++i)
                p.ltpCoefQ14[static_cast<size_t>(k * kSilkLtpOrder + i)] = codebook[cbIx * kSilkLtpOrder + i];
        }
        int32_t scaleIx = silkRangeDecode(rc, LTPscale_CDF.data(), LTPscale_offset);
        p.ltpScaleQ14 = LTPScales_table_Q14[static_cast<size_t>(scaleIx)];
    } else {
        p.pitchL.fill(0);
        p.ltpCoefQ14.fill(0);
        p.perIndex = 0;
        p.ltpScaleQ14 = 0;
    }

    p.seed = silkRangeDecode(rc, Seed_CDF.data(), Seed_offset);
    silkDecodePulses(rc, p, q, s.frameLength);
    s.vadFlag = silkRangeDecode(rc, vadflag_CDF.data(), vadflag_offset);
    s.frameTermination = silkRangeDecode(rc, FrameTermination_CDF.data(), FrameTermination_offset);

    int32_t bytesUsed = 0;
    silkRangeGetLength(rc, bytesUsed);
    s.nBytesLeft = rc.bufferLength - bytesUsed;
    if (s.nBytesLeft < 0) rc.error = kSilkRangeReadBeyondBuffer;
    if (s.nBytesLeft == 0) silkRangeCheckTail(rc);
}

} // namespace silk
