#pragma once
// Normalised line spectral frequencies (NLSF, Q15): codebook decoding, stabilisation and
// conversion to prediction coefficients.
#include <cstdint>

#include "media/silk/SilkTables.h"

namespace silk {

void silkNlsfMsvqDecode(int32_t* nlsfQ15, const tables::NlsfCodebook& codebook, const int32_t* indices,
                        int32_t order);
// Enforces the minimum distances (order + 1 values) in up to 20 passes, then falls back to
// sorting and clamping.
void silkNlsfStabilize(int32_t* nlsfQ15, const int32_t* nDeltaMinQ15, int32_t order);
void silkInsertionSortIncreasing(int32_t* a, int32_t length);
void silkNlsfToLpc(int16_t* aQ12, const int32_t* nlsfQ15, int32_t order);
// As silkNlsfToLpc, then bandwidth-expanded until stable (all zero if that fails).
void silkNlsfToLpcStable(int16_t* aQ12, const int32_t* nlsfQ15, int32_t order);

} // namespace silk
