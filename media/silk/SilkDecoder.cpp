#include "media/silk/SilkDecoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "media/silk/SilkCng.h"
#include "media/silk/SilkDecodeCore.h"
#include "media/silk/SilkDecodeParameters.h"
#include "media/silk/SilkLpc.h"
#include "media/silk/SilkPlc.h"
#include "media/silk/SilkResampler.h"

namespace silk {

namespace {
constexpr int32_t kNoFecThreshold = 10;

// The first non-zero code of a frame wins.
int32_t keepFirst(int32_t ret, int32_t code) {
    return ret != 0 ? ret : code;
}
} // namespace

int32_t SKP_Silk_SDK_Get_Decoder_Size(int32_t* size) {
    *size = static_cast<int32_t>(sizeof(SilkDecoderState));
    return 0;
}

int32_t SKP_Silk_InitDecoder(SilkDecoderState& s) {
    s = SilkDecoderState{};
    silkSetInternalRate(s, 24);
    s.firstFrameAfterReset = 1;
    s.prevInvGainQ16 = 65536;
    silkCngReset(s);
    silkPlcReset(s);
    return 0;
}

int32_t silkDecodeFrame(SilkDecoderState& s, int16_t* out, int16_t& sampleCount, const uint8_t* payload,
                        int32_t payloadBytes, int32_t lostFlag, int32_t& usedBytes) {
    SilkFrameParameters p;
    int32_t pulses[kSilkMaxFrameLength] = {};
    int32_t L = s.frameLength;
    int32_t ret = 0;
    p.ltpScaleQ14 = 0;
    usedBytes = 0;
    if (lostFlag == 0) {
        int32_t fsOld = s.fsKHz;
        if (s.nFramesDecoded == 0) silkRangeDecInit(s.rangeDecoder, payload, payloadBytes);
        silkDecodeParameters(s, p, pulses, 1);
        if (s.rangeDecoder.error) {
            s.nBytesLeft = 0;
            lostFlag = 1;
            silkSetInternalRate(s, fsOld);
            usedBytes = s.rangeDecoder.bufferLength;
            ret = s.rangeDecoder.error == kSilkPayloadTooLong ? kSilkPayloadTooLarge : kSilkPayloadError;
        } else {
            usedBytes = s.rangeDecoder.bufferLength - s.nBytesLeft;
            s.nFramesDecoded++;
            L = s.frameLength;
            silkDecodeCore(s, p, out, pulses);
            silkPlc(s, p, out, L, 0);
            s.lossCnt = 0;
            s.prevSigtype = p.sigtype;
            s.firstFrameAfterReset = 0;
        }
    }
    if (lostFlag == 1) silkPlc(s, p, out, L, 1);

    std::copy_n(out, L, s.outBuf.begin());
    silkPlcGlueFrames(s, out, L);
    silkCng(s, p, out, L);
    silkBiquad(out, s.hpB, s.hpA, s.hpState.data(), out, L);
    sampleCount = static_cast<int16_t>(L);
    s.lagPrev = p.pitchL[kSilkSubframes - 1];
    return ret;
}

int32_t SKP_Silk_SDK_Decode(SilkDecoderState& s, SilkDecControl& control, int32_t lostFlag,
                            const uint8_t* payload, int32_t payloadBytes,
                            std::span<int16_t, kSilkMaxOutputFrame> samples, int16_t& sampleCount) {
    int32_t ret = 0;
    std::array<int16_t, kSilkMaxFrameLength> frame{};
    const bool directOutput = s.fsKHz * 1000 <= control.outputRate;

    if (s.moreInternalDecoderFrames == 0) s.nFramesDecoded = 0;
    if (s.moreInternalDecoderFrames == 0 && lostFlag == 0 && payloadBytes > kSilkMaxPayloadBytes) {
        lostFlag = 1;
        ret = kSilkPayloadTooLarge;
    }
    const int32_t prevFsKHz = s.fsKHz;
    int32_t usedBytes = 0;
    ret = keepFirst(
        ret, silkDecodeFrame(s, frame.data(), sampleCount, payload, payloadBytes, lostFlag, usedBytes));

    if (usedBytes) {
        if (s.nBytesLeft > 0 && s.frameTermination == 1 && s.nFramesDecoded < kSilkMaxFramesPerPacket) {
            s.moreInternalDecoderFrames = 1;
        } else {
            s.moreInternalDecoderFrames = 0;
            s.nFramesInPacket = s.nFramesDecoded;
            if (s.vadFlag == 1) {
                if (s.frameTermination == 0) {
                    s.noFecCounter++;
                    if (s.noFecCounter > kNoFecThreshold) s.inbandFecOffset = 0;
                } else if (s.frameTermination == 2) {
                    s.inbandFecOffset = 1;
                    s.noFecCounter = 0;
                } else if (s.frameTermination == 3) {
                    s.inbandFecOffset = 2;
                    s.noFecCounter = 0;
                }
            }
        }
    }

    if (control.outputRate > 48000 || control.outputRate < 8000) {
        if (directOutput) std::copy_n(frame.begin(), sampleCount, samples.begin());
        return keepFirst(ret, kSilkInvalidOutputRate);
    }

    if (s.fsKHz * 1000 != control.outputRate) {
        if (prevFsKHz != s.fsKHz || s.prevApiSampleRate != control.outputRate)
            ret = keepFirst(ret, silkResamplerInit(s.resampler, s.fsKHz * 1000, control.outputRate));
        // The resampler may write a sample or two beyond the nominal count per 10 ms block.
        std::array<int16_t, 2 * kSilkMaxOutputFrame> resampled{};
        ret = keepFirst(ret, silkResample(s.resampler, resampled.data(), frame.data(), sampleCount));
        int32_t count = sampleCount * control.outputRate / (s.fsKHz * 1000);
        count = std::clamp(count, 0, kSilkMaxOutputFrame);
        std::copy_n(resampled.begin(), count, samples.begin());
        sampleCount = static_cast<int16_t>(count);
    } else {
        std::copy_n(frame.begin(), sampleCount, samples.begin());
    }

    s.prevApiSampleRate = control.outputRate;
    control.frameSize = control.outputRate / 50;
    control.framesPerPacket = s.nFramesInPacket;
    control.fecOffset = s.inbandFecOffset;
    control.moreFrames = s.moreInternalDecoderFrames;
    return ret;
}

void silkSearchForLbrr(const uint8_t* payload, int32_t payloadBytes, int32_t lostOffset, uint8_t* fecPayload,
                       int16_t& fecBytes) {
    fecBytes = 0;
    if (lostOffset < 1 || lostOffset > 2) return;
    auto scratch = std::make_unique<SilkDecoderState>();
    SilkDecoderState& s = *scratch;
    s.nFramesDecoded = 0;
    s.fsKHz = 0;
    s.lossCnt = 0;
    s.prevNlsfQ15.fill(0);
    silkRangeDecInit(s.rangeDecoder, payload, payloadBytes);
    std::array<int32_t, kSilkMaxFrameLength> pulses{};
    SilkFrameParameters p;
    for (;;) {
        silkDecodeParameters(s, p, pulses.data(), 0);
        if (s.rangeDecoder.error) return;
        if (((s.frameTermination - 1) & lostOffset) && s.frameTermination > 0 && s.nBytesLeft >= 0) {
            fecBytes = static_cast<int16_t>(s.nBytesLeft);
            if (s.nBytesLeft > 0)
                std::memcpy(fecPayload, payload + (payloadBytes - s.nBytesLeft),
                            static_cast<size_t>(s.nBytesLeft));
            return;
        }
        // Like the decoder, look at no more than five frames of one packet.
        if (s.nBytesLeft > 0 && s.frameTermination == 1 && s.nFramesDecoded + 1 < kSilkMaxFramesPerPacket)
            s.nFramesDecoded++;
        else
            return;
    }
}

void silkGetToc(const uint8_t* payload, int32_t payloadBytes, SilkToc& toc) {
    toc = SilkToc{};
    auto scratch = std::make_unique<SilkDecoderState>();
    SilkDecoderState& s = *scratch;
    s.nFramesDecoded = 0;
    s.fsKHz = 0;
    silkRangeDecInit(s.rangeDecoder, payload, payloadBytes);
    std::array<int32_t, kSilkMaxFrameLength> pulses{};
    SilkFrameParameters p;
    bool tooMany = false;
    for (;;) {
        silkDecodeParameters(s, p, pulses.data(), 0);
        toc.vadFlags[static_cast<size_t>(s.nFramesDecoded)] = s.vadFlag;
        toc.sigtypeFlags[static_cast<size_t>(s.nFramesDecoded)] = p.sigtype;
        if (s.rangeDecoder.error) {
            toc.corrupt = 1;
            break;
        }
        if (s.nBytesLeft > 0 && s.frameTermination == 1) {
            if (s.nFramesDecoded + 1 >= kSilkMaxFramesPerPacket) {
                tooMany = true; // a sixth frame: the table holds five
                break;
            }
            s.nFramesDecoded++;
        } else {
            break;
        }
    }
    if (toc.corrupt || tooMany || s.frameTermination == 1) {
        toc = SilkToc{};
        toc.corrupt = 1;
        return;
    }
    toc.framesInPacket = s.nFramesDecoded + 1;
    toc.fsKHz = s.fsKHz;
    toc.inbandFec = s.frameTermination == 0 ? 0 : s.frameTermination - 1;
}

const char* silkGetVersion() {
    return "1.0.9.6";
}

} // namespace silk
