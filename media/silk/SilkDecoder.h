#pragma once
// The outer face of the SILK decoder: sizing, initialisation, one 20 ms frame per call with
// resampling to the caller's rate, the in-band FEC search and a packet's table of contents.
#include <array>
#include <cstdint>
#include <span>

#include "media/silk/SilkDecoderState.h"

namespace silk {

// Samples of one 20 ms frame at the highest output rate (48 kHz).
inline constexpr int32_t kSilkMaxOutputFrame = 960;

struct SilkDecControl {
    int32_t outputRate = 24000;  // in: 8000..48000 Hz
    int32_t frameSize = 0;       // out: outputRate / 50
    int32_t framesPerPacket = 0; // out: frames of the last complete packet
    int32_t moreFrames = 0;      // out: 1 while the packet holds further frames
    int32_t fecOffset = 0;       // out: 0, 1 or 2 packets until a packet's FEC copy
};

struct SilkToc {
    int32_t framesInPacket = 0;
    int32_t fsKHz = 0;
    int32_t inbandFec = 0;
    int32_t corrupt = 0;
    std::array<int32_t, kSilkMaxFramesPerPacket> vadFlags{};
    std::array<int32_t, kSilkMaxFramesPerPacket> sigtypeFlags{};
};

int32_t SKP_Silk_SDK_Get_Decoder_Size(int32_t* size);
int32_t SKP_Silk_InitDecoder(SilkDecoderState& state);
// Decodes the next frame of `payload` (lostFlag 0) or conceals one (lostFlag 1); the same
// payload is passed again while control.moreFrames is 1. Writes sampleCount samples.
int32_t SKP_Silk_SDK_Decode(SilkDecoderState& state, SilkDecControl& control, int32_t lostFlag,
                            const uint8_t* payload, int32_t payloadBytes,
                            std::span<int16_t, kSilkMaxOutputFrame> samples, int16_t& sampleCount);
// One frame at the internal rate: 0, -11 or -12.
int32_t silkDecodeFrame(SilkDecoderState& state, int16_t* samples, int16_t& sampleCount,
                        const uint8_t* payload, int32_t payloadBytes, int32_t lostFlag, int32_t& usedBytes);
// Looks in a received packet for the FEC copy of the packet lost lostOffset (1 or 2) packets
// before it. fecPayload needs room for 1024 bytes.
void silkSearchForLbrr(const uint8_t* payload, int32_t payloadBytes, int32_t lostOffset, uint8_t* fecPayload,
                       int16_t& fecBytes);
void silkGetToc(const uint8_t* payload, int32_t payloadBytes, SilkToc& toc);
const char* silkGetVersion();

} // namespace silk
