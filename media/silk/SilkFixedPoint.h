#pragma once
// Fixed-point arithmetic of the SILK decoder. Qn means a value scaled by 2^n. The codec
// relies on two's-complement wrap-around in a few places (random generator, some
// accumulations); those go through the wrap helpers, which compute in unsigned or 64-bit
// arithmetic, so no signed overflow ever happens.
#include <algorithm>
#include <bit>
#include <cstdint>

namespace silk {

inline int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t wrapMul(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int32_t wrapShl(int32_t a, int n) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) << n);
}

// Q16 multiply: (a x signed low 16 bits of b) >> 16 (never overflows).
inline int32_t smulwb(int32_t a, int32_t b) {
    return static_cast<int32_t>((static_cast<int64_t>(a) * static_cast<int16_t>(b)) >> 16);
}
inline int32_t smlawb(int32_t acc, int32_t a, int32_t b) {
    return wrapAdd(acc, smulwb(a, b));
}
// 32 x 32 Q16 multiply: (a x b) >> 16, kept to 32 bits.
inline int32_t smulww(int32_t a, int32_t b) {
    return static_cast<int32_t>(
        static_cast<uint32_t>(static_cast<uint64_t>((static_cast<int64_t>(a) * b) >> 16)));
}
inline int32_t smlaww(int32_t acc, int32_t a, int32_t b) {
    return wrapAdd(acc, smulww(a, b));
}
// 16 x 16 product of the signed low halves.
inline int32_t smulbb(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<int16_t>(a)) * static_cast<int16_t>(b);
}
inline int32_t smlabb(int32_t acc, int32_t a, int32_t b) {
    return wrapAdd(acc, smulbb(a, b));
}
// Upper 32 bits of the 64-bit product.
inline int32_t smmul(int32_t a, int32_t b) {
    return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 32);
}

// Rounding arithmetic right shift by n >= 1.
inline int32_t rshiftRound(int32_t a, int n) {
    return n == 1 ? (a >> 1) + (a & 1) : ((a >> (n - 1)) + 1) >> 1;
}
inline int64_t rshiftRound64(int64_t a, int n) {
    return n == 1 ? (a >> 1) + (a & 1) : ((a >> (n - 1)) + 1) >> 1;
}

inline int32_t sat16(int32_t a) {
    return std::clamp<int32_t>(a, INT16_MIN, INT16_MAX);
}
inline int32_t sat16(int64_t a) {
    return static_cast<int32_t>(std::clamp<int64_t>(a, INT16_MIN, INT16_MAX));
}

inline int32_t addSat32(int32_t a, int32_t b) {
    int64_t s = static_cast<int64_t>(a) + b;
    return static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
}
inline int32_t lshiftSat32(int32_t a, int n) {
    int64_t s = static_cast<int64_t>(a) * (int64_t{1} << n);
    return static_cast<int32_t>(std::clamp<int64_t>(s, INT32_MIN, INT32_MAX));
}

inline int clz32(int32_t a) {
    return std::countl_zero(static_cast<uint32_t>(a));
}
inline int32_t abs32(int32_t a) {
    return a == INT32_MIN ? INT32_MAX : (a < 0 ? -a : a);
}

// The codec's linear congruential generator (wraps).
inline int32_t silkRand(int32_t seed) {
    return wrapAdd(907633515, wrapMul(seed, 196314165));
}

// Approximate inverse of b in Qres (b != 0).
inline int32_t silkInverse32VarQ(int32_t b32, int qres) {
    int headroom = clz32(abs32(b32)) - 1;
    int32_t nrm = wrapShl(b32, headroom);
    int32_t div = nrm >> 16;
    if (div == 0) return INT32_MAX;
    int32_t inv = (INT32_MAX >> 2) / div;
    int32_t result = wrapShl(inv, 16);
    int32_t err = wrapShl(-smulwb(nrm, inv), 3);
    result = wrapAdd(result, wrapAdd(smulwb(err, inv), wrapMul(err, rshiftRound(inv, 16))));
    int lshift = 61 - headroom - qres;
    if (lshift <= 0) return lshiftSat32(result, -lshift);
    return lshift < 32 ? result >> lshift : 0;
}

// Approximate quotient a / b in Qres (b != 0).
inline int32_t silkDiv32VarQ(int32_t a32, int32_t b32, int qres) {
    int aHeadroom = clz32(abs32(a32)) - 1;
    int32_t aNrm = wrapShl(a32, aHeadroom);
    int bHeadroom = clz32(abs32(b32)) - 1;
    int32_t bNrm = wrapShl(b32, bHeadroom);
    int32_t div = bNrm >> 16;
    if (div == 0) return INT32_MAX;
    int32_t inv = (INT32_MAX >> 2) / div;
    int32_t result = smulwb(aNrm, inv);
    aNrm = wrapSub(aNrm, wrapShl(smmul(bNrm, result), 3));
    result = smlawb(result, aNrm, inv);
    int lshift = 29 + aHeadroom - bHeadroom - qres;
    if (lshift <= 0) return lshiftSat32(result, -lshift);
    return lshift < 32 ? result >> lshift : 0;
}

} // namespace silk
