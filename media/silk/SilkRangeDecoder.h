#pragma once
// The SILK range decoder: every symbol of a SILK packet is read through it.
#include <array>
#include <cstdint>

namespace silk {

inline constexpr int32_t kSilkMaxPayloadBytes = 1024;

// Error codes of the decoder (0 while healthy).
enum SilkError : int32_t {
    kSilkOk = 0,
    kSilkResamplerError = -1,
    kSilkRangeCdfOutOfRange = -2,
    kSilkRangeNormalisationFailed = -3,
    kSilkRangeZeroInterval = -4,
    kSilkRangeTailCheckFailed = -5,
    kSilkRangeReadBeyondBuffer = -6,
    kSilkIllegalSamplingRate = -7,
    kSilkPayloadTooLong = -8,
    kSilkInvalidOutputRate = -10,
    kSilkPayloadTooLarge = -11,
    kSilkPayloadError = -12,
};

struct SilkRangeDecoder {
    int32_t bufferLength = 0;
    int32_t bufferIx = 0;
    uint32_t baseQ32 = 0;
    uint32_t rangeQ16 = 0;
    int32_t error = 0;
    // The payload, plus four bytes read past its end (what earlier payloads left there).
    std::array<uint8_t, kSilkMaxPayloadBytes + 4> buffer{};
};

void silkRangeDecInit(SilkRangeDecoder& rc, const uint8_t* payload, int32_t bytes);
// Reads one symbol with the cumulative distribution `cdf` (0 .. 65535), starting the
// search at startIndex. After an error every symbol reads as 0.
int32_t silkRangeDecode(SilkRangeDecoder& rc, const uint16_t* cdf, int32_t startIndex);
void silkRangeDecodeMulti(int32_t* symbols, SilkRangeDecoder& rc, const uint16_t* const* cdfs,
                          const int32_t* startIndices, int32_t count);
// Bits used so far; stores the bytes (rounded up) into `bytes`.
int32_t silkRangeGetLength(const SilkRangeDecoder& rc, int32_t& bytes);
// Checks that the unused bits of the last byte are all ones.
void silkRangeCheckTail(SilkRangeDecoder& rc);

} // namespace silk
