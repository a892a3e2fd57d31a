#pragma once
// Synthesis of one frame: excitation, long-term (pitch) and short-term (LPC) prediction.
#include <cstdint>

#include "media/silk/SilkDecoderState.h"

namespace silk {

// Writes frameLength samples at the internal rate into `out`.
void silkDecodeCore(SilkDecoderState& s, SilkFrameParameters& p, int16_t* out, const int32_t* pulses);

} // namespace silk
