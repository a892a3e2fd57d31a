#pragma once
// Loss concealment: extrapolates the last good frame for a lost one, and fades good frames
// back in after a loss.
#include <cstdint>

#include "media/silk/SilkDecoderState.h"

namespace silk {

void silkPlcReset(SilkDecoderState& s);
// lost 1: conceals one frame into `samples`; lost 0: learns from the good frame just decoded.
void silkPlc(SilkDecoderState& s, SilkFrameParameters& p, int16_t* samples, int32_t length, int32_t lost);
void silkPlcUpdate(SilkDecoderState& s, SilkFrameParameters& p);
void silkPlcConceal(SilkDecoderState& s, SilkFrameParameters& p, int16_t* samples);
void silkPlcGlueFrames(SilkDecoderState& s, int16_t* samples, int32_t length);

} // namespace silk
