#pragma once
// The SILK resampler: any rate from 8000 to 192000 Hz to any other, continuous across calls.
#include <cstdint>

#include "media/silk/SilkDecoderState.h"

namespace silk {

inline constexpr int32_t kSilkResamplerMagic = 123456789;
inline constexpr int32_t kSilkResamplerMaxBatch = 480;

// 0, or -1 for a rate outside 8000..192000 (the state is then zeroed).
int32_t silkResamplerInit(SilkResamplerState& s, int32_t inRate, int32_t outRate);
// 0, or -1 when the state was never initialised. About inLen x out / in samples are written;
// `out` must have room for that count plus a few per block of 10 ms.
int32_t silkResample(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen);

// Main operations.
void silkResamplerCopy(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen);
void silkResamplerUp2HqWrapper(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen);
void silkResamplerIirFir(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen);
void silkResamplerDownFir(SilkResamplerState& s, int16_t* out, const int16_t* in, int32_t inLen);
// 2x, pre- and post-stages.
void silkResamplerUp2Hq(int32_t* state, int16_t* out, const int16_t* in, int32_t inLen);
void silkResamplerUp2(int32_t* state, int16_t* out, const int16_t* in, int32_t inLen);
void silkResamplerUp4(int32_t* state, int16_t* out, const int16_t* in, int32_t inLen);
void silkResamplerDown2(int32_t* state, int16_t* out, const int16_t* in, int32_t inLen);
void silkResamplerDown4(int32_t* state, int16_t* out, const int16_t* in, int32_t inLen);
// Filters: second-order AR (output Q8) and fourth-order ARMA.
void silkResamplerAr2(int32_t* state, int32_t* outQ8, const int16_t* in, const int16_t* aQ14, int32_t len);
void silkResamplerArma4(int32_t* state, int16_t* out, const int16_t* in, const int16_t* coef, int32_t len);

} // namespace silk
