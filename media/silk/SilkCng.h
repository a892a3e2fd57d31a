#pragma once
// Comfort noise: learns the spectrum and level of good frames without voice activity and
// adds matching noise to concealed frames.
#include <cstdint>

#include "media/silk/SilkDecoderState.h"

namespace silk {

void silkCngReset(SilkDecoderState& s);
void silkCng(SilkDecoderState& s, const SilkFrameParameters& p, int16_t* samples, int32_t length);

} // namespace silk
