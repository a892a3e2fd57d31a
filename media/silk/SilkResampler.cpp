#include "media/silk/SilkResampler.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

#include "media/silk/SilkFixedPoint.h"

namespace silk {

using namespace tables;

namespace {
constexpr int kFirOrder144 = 6;
constexpr int kDownFirOrder = 12;
} // namespace

int32_t silkResamplerInit(SilkResamplerState& s, int32_t inRate, int32_t outRate) {
    s = SilkResamplerState{};
    if (inRate < 8000 || inRate > 192000 || outRate < 8000 || outRate > 192000) return -1;
    if (inRate > 96000) {
        s.nPreDownsamplers = 2;
        s.downPreFunction = silkResamplerDown4;
    } else if (inRate > 48000) {
        s.nPreDownsamplers = 1;
        s.downPreFunction = silkResamplerDown2;
    }
    if (outRate > 96000) {
        s.nPostUpsamplers = 2;
        s.upPostFunction = silkResamplerUp4;
    } else if (outRate > 48000) {
        s.nPostUpsamplers = 1;
        s.upPostFunction = silkResamplerUp2;
    }
    if (s.nPreDownsamplers + s.nPostUpsamplers > 0) {
        s.ratioQ16 = ((outRate << 13) / inRate) << 3;
        while (smulww(s.ratioQ16, inRate) < outRate)
            s.ratioQ16++;
        s.batchSizePrePost = inRate / 100;
        inRate >>= s.nPreDownsamplers;
        outRate >>= s.nPostUpsamplers;
    }

    s.batchSize = inRate / 100;
    if (s.batchSize * 100 != inRate || inRate % 100 != 0) {
        int32_t cycleLen = inRate / std::gcd(inRate, outRate);
        int32_t cyclesPerBatch = kSilkResamplerMaxBatch / cycleLen;
        s.batchSize = cyclesPerBatch == 0 ? kSilkResamplerMaxBatch : cyclesPerBatch * cycleLen;
    }

    int32_t up2 = 0, down2 = 0;
    if (outRate > inRate) {
        if (outRate == inRate * 2) {
            s.resamplerFunction = silkResamplerUp2HqWrapper;
        } else {
            s.resamplerFunction = silkResamplerIirFir;
            up2 = 1;
            s.up2Function = inRate > 24000 ? silkResamplerUp2 : silkResamplerUp2Hq;
        }
    } else if (outRate < inRate) {
        auto downFir = [&](int32_t fracs, const int16_t* coefs) {
            s.firFracs = fracs;
            s.coefs = coefs;
            s.resamplerFunction = silkResamplerDownFir;
        };
        auto arma4 = [&](const int16_t* coefs) {
            s.coefs = coefs;
            s.resamplerFunction = silkResamplerIirFir;
        };
        if (outRate * 4 == inRate * 3) {
            downFir(3, Resampler_3_4_COEFS.data());
        } else if (outRate * 3 == inRate * 2) {
            downFir(2, Resampler_2_3_COEFS.data());
        } else if (outRate * 2 == inRate) {
            downFir(1, Resampler_1_2_COEFS.data());
        } else if (outRate * 8 == inRate * 3) {
            downFir(3, Resampler_3_8_COEFS.data());
        } else if (outRate * 3 == inRate) {
            downFir(1, Resampler_1_3_COEFS.data());
        } else if (outRate * 4 == inRate) {
            down2 = 1;
            downFir(1, Resampler_1_2_COEFS.data());
        } else if (outRate * 6 == inRate) {
            down2 = 1;
            downFir(1, Resampler_1_3_COEFS.data());
        } else if (outRate * 441 == inRate * 80) {
            arma4(Resampler_80_441_ARMA4_COEFS.data());
        } else if (outRate * 441 == inRate * 120) {
            arma4(Resampler_120_441_ARMA4_COEFS.data());
        } else if (outRate * 441 == inRate * 160) {
            arma4(Resampler_160_441_ARMA4_COEFS.data());
        } else if (outRate * 441 == inRate * 240) {
            arma4(Resampler_240_441_ARMA4_COEFS.data());
        } else if (outRate * 441 == inRate * 320) {
            arma4(Resampler_320_441_ARMA4_COEFS.data());
        } else {
            s.resamplerFunction = silkResamplerIirFir;
            up2 = 1;
            s.up2Function = inRate > 24000 ? silkResamplerUp2 : silkResamplerUp2Hq;
        }
    } else {
        s.resamplerFunction = silkResamplerCopy;
    }
    s.input2x = up2 | down2;
    s.invRatioQ16 = ((inRate << (14 + up2 - down2)) / outRate) << 2;
    while (smulww(s.invRatioQ16, outRate << down2) < (inRate << up2))
        s.invRatioQ16++;
    s.magicNumber = kSilkResamplerMagic;
    return 0;
}

int32_t silkResample(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen) {
    if (s.magicNumber != kSilkResamplerMagic || s.resamplerFunction == nullptr) return -1;
    if (s.nPreDownsamplers + s.nPostUpsamplers > 0) {
        // Blocks of 10 ms: after a pre-stage at most 480 samples reach the main operation, and
        // before a post-stage it writes about as many (with room for rounding).
        std::array<int16_t, 2 * kSilkResamplerMaxBatch> inBuf{};
        std::array<int16_t, 4 * kSilkResamplerMaxBatch> outBuf{};
        while (inLen > 0) {
            int32_t nIn = std::min(inLen, s.batchSizePrePost);
            int32_t nOut = smulwb(s.ratioQ16, nIn);
            if (s.nPreDownsamplers > 0) {
                s.downPreFunction(s.sDownPre.data(), inBuf.data(), in, nIn);
                if (s.nPostUpsamplers > 0) {
                    s.resamplerFunction(s, outBuf.data(), inBuf.data(), nIn >> s.nPreDownsamplers);
                    s.upPostFunction(s.sUpPost.data(), out, outBuf.data(), nOut >> s.nPostUpsamplers);
                } else {
                    s.resamplerFunction(s, out, inBuf.data(), nIn >> s.nPreDownsamplers);
                }
            } else {
                s.resamplerFunction(s, outBuf.data(), in, nIn >> s.nPreDownsamplers);
                s.upPostFunction(s.sUpPost.data(), out, outBuf.data(), nOut >> s.nPostUpsamplers);
            }
            in += nIn;
            out += nOut;
            inLen -= nIn;
        }
    } else {
        s.resamplerFunction(s, out, in, inLen);
    }
    return 0;
}

void silkResamplerCopy(SilkResamplerState&, int16_t* out, const int16_t* in, int32_t inLen) {
    if (inLen > 0) std::memmove(out, in, static_cast<size_t>(inLen) * sizeof(int16_t));
}

void silkResamplerUp2Hq(int32_t* S, int16_t* out, const int16_t* in, int32_t len) {
    const int32_t hq0a = resampler_up2_hq_0[0], hq0b = resampler_up2_hq_0[1];
    const int32_t hq1a = resampler_up2_hq_1[0], hq1b = resampler_up2_hq_1[1];
    const int32_t n0 = resampler_up2_hq_notch[0], n1 = resampler_up2_hq_notch[1];
    const int32_t n2 = resampler_up2_hq_notch[2], n3 = resampler_up2_hq_notch[3];
    for (int32_t k = 0; k < len; ++k) {
        int32_t in32 = static_cast<int32_t>(in[k]) << 10;
        // Even output sample.
        int32_t y = wrapSub(in32, S[0]);
        int32_t x = smulwb(y, hq0a);
        int32_t out1 = wrapAdd(S[0], x);
        S[0] = wrapAdd(in32, x);
        y = wrapSub(out1, S[1]);
        x = smlawb(y, y, hq0b);
        int32_t out2 = wrapAdd(S[1], x);
        S[1] = wrapAdd(out1, x);
        out2 = smlawb(out2, S[5], n2);
        out2 = smlawb(out2, S[4], n1);
        out1 = smlawb(out2, S[4], n0);
        S[5] = wrapSub(out2, S[5]);
        out[2 * k] = static_cast<int16_t>(sat16(smlawb(256, out1, n3) >> 9));
        // Odd output sample.
        y = wrapSub(in32, S[2]);
        x = smulwb(y, hq1a);
        out1 = wrapAdd(S[2], x);
        S[2] = wrapAdd(in32, x);
        y = wrapSub(out1, S[3]);
        x = smlawb(y, y, hq1b);
        out2 = wrapAdd(S[3], x);
        S[3] = wrapAdd(out1, x);
        out2 = smlawb(out2, S[4], n2);
        out2 = smlawb(out2, S[5], n1);
        out1 = smlawb(out2, S[5], n0);
        S[4] = wrapSub(out2, S[4]);
        out[2 * k + 1] = static_cast<int16_t>(sat16(smlawb(256, out1, n3) >> 9));
    }
}

void silkResamplerUp2HqWrapper(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen) {
    silkResamplerUp2Hq(s.sIIR.data(), out, in, inLen);
}

void silkResamplerUp2(int32_t* S, int16_t* out, const int16_t* in, int32_t len) {
    for (int32_t k = 0; k < len; ++k) {
        int32_t in32 = static_cast<int32_t>(in[k]) << 10;
        int32_t y = wrapSub(in32, S[0]);
        int32_t x = smulwb(y, resampler_up2_lq_0);
        int32_t out32 = wrapAdd(S[0], x);
        S[0] = wrapAdd(in32, x);
        out[2 * k] = static_cast<int16_t>(sat16(rshiftRound(out32, 10)));
        y = wrapSub(in32, S[1]);
        x = smlawb(y, y, resampler_up2_lq_1);
        out32 = wrapAdd(S[1], x);
        S[1] = wrapAdd(in32, x);
        out[2 * k + 1] = static_cast<int16_t>(sat16(rshiftRound(out32, 10)));
    }
}

void silkResamplerUp4(int32_t* S, int16_t* out, const int16_t* in, int32_t len) {
    for (int32_t k = 0; k < len; ++k) {
        int32_t in32 = static_cast<int32_t>(in[k]) << 10;
        int32_t y = wrapSub(in32, S[0]);
        int32_t x = smulwb(y, resampler_up2_lq_0);
        int32_t out32 = wrapAdd(S[0], x);
        S[0] = wrapAdd(in32, x);
        int16_t even = static_cast<int16_t>(sat16(rshiftRound(out32, 10)));
        out[4 * k] = even;
        out[4 * k + 1] = even;
        y = wrapSub(in32, S[1]);
        x = smlawb(y, y, resampler_up2_lq_1);
        out32 = wrapAdd(S[1], x);
        S[1] = wrapAdd(in32, x);
        int16_t odd = static_cast<int16_t>(sat16(rshiftRound(out32, 10)));
        out[4 * k + 2] = odd;
        out[4 * k + 3] = odd;
    }
}

void silkResamplerDown2(int32_t* S, int16_t* out, const int16_t* in, int32_t inLen) {
    const int32_t len2 = inLen >> 1;
    for (int32_t k = 0; k < len2; ++k) {
        int32_t in32 = static_cast<int32_t>(in[2 * k]) << 10;
        int32_t y = wrapSub(in32, S[0]);
        int32_t x = smlawb(y, y, resampler_down2_1);
        int32_t out32 = wrapAdd(S[0], x);
        S[0] = wrapAdd(in32, x);
        in32 = static_cast<int32_t>(in[2 * k + 1]) << 10;
        y = wrapSub(in32, S[1]);
        x = smulwb(y, resampler_down2_0);
        out32 = wrapAdd(out32, S[1]);
        out32 = wrapAdd(out32, x);
        S[1] = wrapAdd(in32, x);
        out[k] = static_cast<int16_t>(sat16(rshiftRound(out32, 11)));
    }
}

void silkResamplerDown4(int32_t* S, int16_t* out, const int16_t* in, int32_t inLen) {
    const int32_t len4 = inLen >> 2;
    for (int32_t k = 0; k < len4; ++k) {
        int32_t in32 = (static_cast<int32_t>(in[4 * k]) + in[4 * k + 1]) << 9;
        int32_t y = wrapSub(in32, S[0]);
        int32_t x = smlawb(y, y, resampler_down2_1);
        int32_t out32 = wrapAdd(S[0], x);
        S[0] = wrapAdd(in32, x);
        in32 = (static_cast<int32_t>(in[4 * k + 2]) + in[4 * k + 3]) << 9;
        y = wrapSub(in32, S[1]);
        x = smulwb(y, resampler_down2_0);
        out32 = wrapAdd(out32, S[1]);
        out32 = wrapAdd(out32, x);
        S[1] = wrapAdd(in32, x);
        out[k] = static_cast<int16_t>(sat16(rshiftRound(out32, 11)));
    }
}

void silkResamplerAr2(int32_t* S, int32_t* outQ8, const int16_t* in, const int16_t* aQ14, int32_t len) {
    for (int32_t k = 0; k < len; ++k) {
        int32_t out32 = wrapAdd(S[0], static_cast<int32_t>(in[k]) << 8);
        outQ8[k] = out32;
        out32 = wrapShl(out32, 2);
        S[0] = smlawb(S[1], out32, aQ14[0]);
        S[1] = smulwb(out32, aQ14[1]);
    }
}

void silkResamplerArma4(int32_t* S, int16_t* out, const int16_t* in, const int16_t* coef, int32_t len) {
    for (int32_t k = 0; k < len; ++k) {
        int32_t inQ8 = static_cast<int32_t>(in[k]) << 8;
        int32_t out1Q8 = wrapAdd(inQ8, wrapShl(S[0], 2));
        int32_t out2Q8 = wrapAdd(out1Q8, wrapShl(S[2], 2));
        int32_t x = smlawb(S[1], inQ8, coef[0]);
        S[0] = smlawb(x, out1Q8, coef[2]);
        x = smlawb(S[3], out1Q8, coef[1]);
        S[2] = smlawb(x, out2Q8, coef[4]);
        S[1] = smlawb(inQ8 >> 2, out1Q8, coef[3]);
        S[3] = smlawb(out1Q8 >> 2, out2Q8, coef[5]);
        out[k] = static_cast<int16_t>(sat16(smlawb(128, out2Q8, coef[6]) >> 8));
    }
}

void silkResamplerIirFir(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen) {
    std::array<int16_t, 2 * kSilkResamplerMaxBatch + kFirOrder144> buf{};
    for (int i = 0; i < kFirOrder144; ++i)
        buf[static_cast<size_t>(i)] = static_cast<int16_t>(s.sFIR[static_cast<size_t>(i)]);
    const int32_t step = s.invRatioQ16;
    int32_t nIn = 0;
    for (;;) {
        nIn = std::min(inLen, s.batchSize);
        if (s.input2x == 1)
            s.up2Function(s.sIIR.data(), buf.data() + kFirOrder144, in, nIn);
        else
            silkResamplerArma4(s.sIIR.data(), buf.data() + kFirOrder144, in, s.coefs, nIn);
        const int32_t maxIndexQ16 = nIn << (16 + s.input2x);
        for (int32_t index = 0; index < maxIndexQ16; index += step) {
            int32_t phase = smulwb(index & 0xFFFF, 144);
            const int16_t* b = buf.data() + (index >> 16);
            const int16_t* f = resampler_frac_FIR_144.data() + 3 * phase;
            const int16_t* g = resampler_frac_FIR_144.data() + 3 * (143 - phase);
            int32_t sum = smulbb(b[0], f[0]);
            sum = smlabb(sum, b[1], f[1]);
            sum = smlabb(sum, b[2], f[2]);
            sum = smlabb(sum, b[3], g[2]);
            sum = smlabb(sum, b[4], g[1]);
            sum = smlabb(sum, b[5], g[0]);
            *out++ = static_cast<int16_t>(sat16(rshiftRound(sum, 15)));
        }
        in += nIn;
        inLen -= nIn;
        if (inLen > 0)
            std::copy_n(buf.begin() + (nIn << s.input2x), kFirOrder144, buf.begin());
        else
            break;
    }
    for (int i = 0; i < kFirOrder144; ++i)
        s.sFIR[static_cast<size_t>(i)] = buf[static_cast<size_t>((nIn << s.input2x) + i)];
}

void silkResamplerDownFir(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen) {
    std::array<int16_t, kSilkResamplerMaxBatch / 2> buf1{};
    std::array<int32_t, kSilkResamplerMaxBatch + kDownFirOrder> buf2{};
    std::copy_n(s.sFIR.begin(), kDownFirOrder, buf2.begin());
    const int16_t* fir = s.coefs + 2;
    const int32_t step = s.invRatioQ16;
    int32_t nIn = 0;
    for (;;) {
        nIn = std::min(inLen, s.batchSize);
        if (s.input2x == 1) {
            silkResamplerDown2(s.sDown2.data(), buf1.data(), in, nIn);
            nIn >>= 1;
            silkResamplerAr2(s.sIIR.data(), buf2.data() + kDownFirOrder, buf1.data(), s.coefs, nIn);
        } else {
            silkResamplerAr2(s.sIIR.data(), buf2.data() + kDownFirOrder, in, s.coefs, nIn);
        }
        const int32_t maxIndexQ16 = nIn << 16;
        if (s.firFracs == 1) {
            for (int32_t index = 0; index < maxIndexQ16; index += step) {
                const int32_t* b = buf2.data() + (index >> 16);
                int32_t res = smulwb(wrapAdd(b[0], b[11]), fir[0]);
                res = smlawb(res, wrapAdd(b[1], b[10]), fir[1]);
                res = smlawb(res, wrapAdd(b[2], b[9]), fir[2]);
                res = smlawb(res, wrapAdd(b[3], b[8]), fir[3]);
                res = smlawb(res, wrapAdd(b[4], b[7]), fir[4]);
                res = smlawb(res, wrapAdd(b[5], b[6]), fir[5]);
                *out++ = static_cast<int16_t>(sat16(rshiftRound(res, 6)));
            }
        } else {
            for (int32_t index = 0; index < maxIndexQ16; index += step) {
                const int32_t* b = buf2.data() + (index >> 16);
                int32_t phase = smulwb(index & 0xFFFF, s.firFracs);
                const int16_t* f = fir + (kDownFirOrder / 2) * phase;
                int32_t res = smulwb(b[0], f[0]);
                for (int j = 1; j < 6; ++j)
                    res = smlawb(res, b[j], f[j]);
                const int16_t* g = fir + (kDownFirOrder / 2) * (s.firFracs - 1 - phase);
                for (int j = 0; j < 6; ++j)
                    res = smlawb(res, b[11 - j], g[j]);
                *out++ = static_cast<int16_t>(sat16(rshiftRound(res, 6)));
            }
        }
        in += nIn << s.input2x;
        inLen -= nIn << s.input2x;
        if (inLen > s.input2x)
            std::copy_n(buf2.begin() + nIn, kDownFirOrder, buf2.begin());
        else
            break;
    }
    std::copy_n(buf2.begin() + nIn, kDownFirOrder, s.sFIR.begin());
}

} // namespace silk
