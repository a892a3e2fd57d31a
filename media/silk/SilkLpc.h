#pragma once
// Linear-prediction filters and signal helpers of the SILK decoder.
#include <cstdint>

namespace silk {

// 1 when the Q12 filter is unstable; else 0 with the inverse prediction gain in Q30.
int32_t silkLpcInversePredGain(int32_t& invGainQ30, const int16_t* aQ12, int32_t order);
// Inner step-down recursion on Q16 coefficients (two rows of 16; row order & 1 holds them).
int32_t silkLpcInversePredGainQ16(int32_t& invGainQ30, int32_t aQ16[2][16], int32_t order);
void silkBandwidthExpand(int16_t* a, int32_t order, int32_t chirpQ16);
void silkBandwidthExpand32(int32_t* a, int32_t order, int32_t chirpQ16);

// Moving-average (whitening) filter; its state starts at zero for every call.
void silkMaPrediction(const int16_t* in, const int16_t* bQ12, int16_t* out, int32_t len, int32_t order);
// Short-term synthesis of one subframe: `history` holds 16 past Q14 values followed by room
// for the subframe.
void silkShortTermSynthesis(int32_t* outQ10, const int32_t* resQ10, int32_t* historyQ14, const int16_t* aQ12,
                            int32_t order, int32_t length);
// Synthesis filter with a Q26 input gain and a Q14 state of `order` values (most recent last).
void silkLpcSynthesis(const int16_t* in, const int16_t* aQ12, int32_t gainQ26, int32_t* state, int16_t* out,
                      int32_t len, int32_t order);
void silkLpcSynthesisOrder16(const int16_t* in, const int16_t* aQ12, int32_t gainQ26, int32_t* state,
                             int16_t* out, int32_t len);

// Energy of 16-bit samples as energy >> shift, summed in pairs from the first sample.
void silkSumSquareShift(int32_t& energy, int32_t& shift, const int16_t* x, int32_t len);
// Second-order filter, in place allowed; B and A in Q13, state of two values.
void silkBiquad(const int16_t* in, const int16_t* bQ13, const int16_t* aQ13, int32_t* state, int16_t* out,
                int32_t len);

} // namespace silk
