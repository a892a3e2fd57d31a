#pragma once
// Reading one frame's parameters from the bitstream, and the rate-dependent settings.
#include <cstdint>

#include "media/silk/SilkDecoderState.h"

namespace silk {

// Switches the decoder to an internal rate of 8, 12, 16 or 24 kHz (nothing when unchanged).
void silkSetInternalRate(SilkDecoderState& s, int32_t fsKHz);
// Reads one frame; with fullDecoding 0 the prediction coefficients are not computed.
void silkDecodeParameters(SilkDecoderState& s, SilkFrameParameters& p, int32_t* pulses, int32_t fullDecoding);

void silkDecodePulses(SilkRangeDecoder& rc, SilkFrameParameters& p, int32_t* pulses, int32_t frameLength);
// Splits `count` pulses over a block of 16 values.
void silkShellDecode(int32_t* pulses16, SilkRangeDecoder& rc, int32_t count);
void silkDecodeSigns(SilkRangeDecoder& rc, int32_t* pulses, int32_t length, int32_t sigtype,
                     int32_t quantOffsetType, int32_t rateLevelIndex);
void silkGainsDequant(int32_t* gainsQ16, const int32_t* indices, int32_t& prevIndex, int32_t conditional);
int32_t silkLog2Lin(int32_t inLogQ7);
void silkDecodePitch(int32_t lagIndex, int32_t contourIndex, int32_t* pitchLags, int32_t fsKHz);

inline constexpr int32_t kSilkMaxLsbPlanes = 10;

} // namespace silk
