#pragma once
// The one flat state record of the SILK decoder and its sub-states.
#include <array>
#include <cstdint>

#include "media/silk/SilkRangeDecoder.h"
#include "media/silk/SilkTables.h"

namespace silk {

inline constexpr int kSilkSubframes = 4;
inline constexpr int kSilkMaxFrameLength = 480; // 20 ms at 24 kHz
inline constexpr int kSilkMaxSubframeLength = 120;
inline constexpr int kSilkMaxLpcOrder = 16;
inline constexpr int kSilkLtpOrder = 5;
inline constexpr int kSilkMaxFramesPerPacket = 5;

struct SilkResamplerState;
using SilkResampleFn = void (*)(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen);
using SilkResampleStageFn = void (*)(int32_t* state, int16_t* out, const int16_t* in, int32_t inLen);

struct SilkResamplerState {
    std::array<int32_t, 6> sIIR{};
    std::array<int32_t, 16> sFIR{};
    std::array<int32_t, 2> sDown2{};
    SilkResampleFn resamplerFunction = nullptr;
    SilkResampleStageFn up2Function = nullptr;
    int32_t batchSize = 0;
    int32_t invRatioQ16 = 0;
    int32_t firFracs = 0;
    int32_t input2x = 0;
    const int16_t* coefs = nullptr;
    std::array<int32_t, 2> sDownPre{};
    std::array<int32_t, 2> sUpPost{};
    SilkResampleStageFn downPreFunction = nullptr;
    SilkResampleStageFn upPostFunction = nullptr;
    int32_t batchSizePrePost = 0;
    int32_t ratioQ16 = 0;
    int32_t nPreDownsamplers = 0;
    int32_t nPostUpsamplers = 0;
    int32_t magicNumber = 0;
};

struct SilkCngState {
    std::array<int32_t, kSilkMaxFrameLength> excBufQ10{};
    std::array<int32_t, kSilkMaxLpcOrder> smthNlsfQ15{};
    std::array<int32_t, kSilkMaxLpcOrder> synthState{};
    int32_t smthGainQ16 = 0;
    int32_t randSeed = 0;
    int32_t fsKHz = 0;
};

struct SilkPlcState {
    int32_t pitchLQ8 = 0;
    std::array<int16_t, kSilkLtpOrder> ltpCoefQ14{};
    std::array<int16_t, kSilkMaxLpcOrder> prevLpcQ12{};
    int32_t lastFrameLost = 0;
    int32_t randSeed = 0;
    int16_t randScaleQ14 = 0;
    int32_t concEnergy = 0;
    int32_t concEnergyShift = 0;
    int16_t prevLtpScaleQ14 = 0;
    std::array<int32_t, kSilkSubframes> prevGainQ16{};
    int32_t fsKHz = 0;
};

struct SilkDecoderState {
    SilkRangeDecoder rangeDecoder;
    int32_t prevInvGainQ16 = 0;
    // Long-term history: two frames, plus two zeroed guard entries that concealment before
    // any good frame may read (with a tap of 0).
    std::array<int32_t, 2 * kSilkMaxFrameLength + 2> ltpHistoryQ16{};
    std::array<int32_t, kSilkMaxLpcOrder + kSilkMaxSubframeLength> lpcHistoryQ14{};
    std::array<int32_t, kSilkMaxFrameLength> excQ10{};
    std::array<int32_t, kSilkMaxFrameLength> resQ10{};
    std::array<int16_t, 2 * kSilkMaxFrameLength> outBuf{};
    int32_t lagPrev = 0;
    int32_t lastGainIndex = 0;
    int32_t typeOffsetPrev = 0;
    std::array<int32_t, 2> hpState{};
    const int16_t* hpA = nullptr;
    const int16_t* hpB = nullptr;
    int32_t fsKHz = 0;
    int32_t prevApiSampleRate = 0;
    int32_t frameLength = 0;
    int32_t subfrLength = 0;
    int32_t lpcOrder = 0;
    std::array<int32_t, kSilkMaxLpcOrder> prevNlsfQ15{};
    int32_t firstFrameAfterReset = 0;
    int32_t nBytesLeft = 0;
    int32_t nFramesDecoded = 0;
    int32_t nFramesInPacket = 0;
    int32_t moreInternalDecoderFrames = 0;
    int32_t frameTermination = 0;
    SilkResamplerState resampler;
    std::array<const tables::NlsfCodebook*, 2> nlsfCodebooks{};
    int32_t vadFlag = 0;
    int32_t noFecCounter = 0;
    int32_t inbandFecOffset = 0;
    SilkCngState cng;
    int32_t lossCnt = 0;
    int32_t prevSigtype = 0;
    SilkPlcState plc;
};

// Parameters of one frame, as read from the bitstream.
struct SilkFrameParameters {
    std::array<int32_t, kSilkSubframes> pitchL{};
    std::array<int32_t, kSilkSubframes> gainsQ16{};
    int32_t seed = 0;
    std::array<std::array<int16_t, kSilkMaxLpcOrder>, 2> predCoefQ12{};
    std::array<int16_t, kSilkLtpOrder * kSilkSubframes> ltpCoefQ14{};
    int32_t ltpScaleQ14 = 0;
    int32_t perIndex = 0;
    int32_t rateLevelIndex = 0;
    int32_t quantOffsetType = 0;
    int32_t sigtype = 0;
    int32_t nlsfInterpCoefQ2 = 0;
};

} // namespace silk
