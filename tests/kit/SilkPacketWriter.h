#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "tests/kit/SilkRangeEncoder.h"

namespace kit {

// The symbols of one SILK frame, chosen by a test. Defaults give a quiet unvoiced frame.
struct SilkFrameSymbols {
    int32_t rateIndex = 3;  // 0..3: 8, 12, 16, 24 kHz (first frame of a packet only)
    int32_t typeOffset = 2; // signal type << 1 | offset type (0, 1 voiced; 2, 3 unvoiced)
    int32_t gainIndices[4] = {20, 4, 4, 4};
    int32_t nlsfIndices[10] = {};
    int32_t interpolation = 4;
    int32_t lagIndex = 0; // voiced only
    int32_t contourIndex = 0;
    int32_t perIndex = 0;
    int32_t ltpIndices[4] = {};
    int32_t ltpScaleIndex = 0;
    int32_t seed = 0;
    int32_t rateLevel = 0;
    std::vector<int32_t> pulses;    // signed, frame length values (empty: all zero)
    std::vector<int32_t> lsbPlanes; // per block of 16 (empty: none)
    // Raw pulse-count symbols written for a block instead of its true count (a crafted
    // stream); the shell and LSB data then follow as far as the tables allow.
    std::vector<std::vector<int32_t>> forcedCountSymbols;
    int32_t vad = 1;
    int32_t termination = 0; // 0 last, 1 more frames, 2/3 FEC of packet n-1 / n-2 follows
};

// Writes SILK packets from frame specs with the codec's tables.
class SilkPacketWriter {
  public:
    explicit SilkPacketWriter(size_t capacity = 1024) : enc_(capacity) {}
    void addFrame(const SilkFrameSymbols& frame);
    // Ends the range-coded part; `trailer` bytes (FEC data) follow it unchanged.
    std::vector<uint8_t> finish(const std::vector<uint8_t>& trailer = {});
    SilkRangeEncoder& encoder() { return enc_; }

  private:
    SilkRangeEncoder enc_;
    int32_t frames_ = 0;
    int32_t fsKHz_ = 24;
    int32_t prevTypeOffset_ = 0;
};

// A whole packet of one frame.
std::vector<uint8_t> silkPacket(const SilkFrameSymbols& frame, const std::vector<uint8_t>& trailer = {});
// A voice file: optional 0x02, "#!SILK_V3", then the packets with their lengths.
std::vector<uint8_t> silkVoiceFile(const std::vector<std::vector<uint8_t>>& packets, bool leading02 = true);

} // namespace kit
