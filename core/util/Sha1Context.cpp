#include "core/util/Sha1Context.h"

#include <cstring>

namespace {

inline uint32_t rol(uint32_t v, int bits) {
    return (v << bits) | (v >> (32 - bits));
}

} // namespace

// A round adds to z the round function of x1..x3, the schedule word, the constant and
// v rotated by 5, then rotates x1 by 30; the five working words take turns in these
// roles instead of being moved. The message schedule is a ring of 16 words.
#define SHA1_SCHEDULE(i)                                                                                     \
    (w[(i)&15] = rol(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i)&15], 1))
#define SHA1_ROUND(v, x1, x2, x3, z, f, k, wi)                                                               \
    z += (f) + (wi) + (k) + rol(v, 5);                                                                       \
    x1 = rol(x1, 30);
#define R0(v, x1, x2, x3, z, i) SHA1_ROUND(v, x1, x2, x3, z, (x1 & (x2 ^ x3)) ^ x3, 0x5A827999u, w[i])
#define R1(v, x1, x2, x3, z, i)                                                                              \
    SHA1_ROUND(v, x1, x2, x3, z, (x1 & (x2 ^ x3)) ^ x3, 0x5A827999u, SHA1_SCHEDULE(i))
#define R2(v, x1, x2, x3, z, i) SHA1_ROUND(v, x1, x2, x3, z, x1 ^ x2 ^ x3, 0x6ED9EBA1u, SHA1_SCHEDULE(i))
#define R3(v, x1, x2, x3, z, i)                                                                              \
    SHA1_ROUND(v, x1, x2, x3, z, ((x1 | x2) & x3) | (x1 & x2), 0x8F1BBCDCu, SHA1_SCHEDULE(i))
#define R4(v, x1, x2, x3, z, i) SHA1_ROUND(v, x1, x2, x3, z, x1 ^ x2 ^ x3, 0xCA62C1D6u, SHA1_SCHEDULE(i))

void sha1Transform(uint32_t state[5], const uint8_t block[64]) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) {
        w[i] = (uint32_t(block[i * 4]) << 24) | (uint32_t(block[i * 4 + 1]) << 16) |
               (uint32_t(block[i * 4 + 2]) << 8) | uint32_t(block[i * 4 + 3]);
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    R0(a, b, c, d, e, 0);
    R0(e, a, b, c, d, 1);
    R0(d, e, a, b, c, 2);
    R0(c, d, e, a, b, 3);
    R0(b, c, d, e, a, 4);
    R0(a, b, c, d, e, 5);
    R0(e, a, b, c, d, 6);
    R0(d, e, a, b, c, 7);
    R0(c, d, e, a, b, 8);
    R0(b, c, d, e, a, 9);
    R0(a, b, c, d, e, 10);
    R0(e, a, b, c, d, 11);
    R0(d, e, a, b, c, 12);
    R0(c, d, e, a, b, 13);
    R0(b, c, d, e, a, 14);
    R0(a, b, c, d, e, 15);
    R1(e, a, b, c, d, 16);
    R1(d, e, a, b, c, 17);
    R1(c, d, e, a, b, 18);
    R1(b, c, d, e, a, 19);
    R2(a, b, c, d, e, 20);
    R2(e, a, b, c, d, 21);
    R2(d, e, a, b, c, 22);
    R2(c, d, e, a, b, 23);
    R2(b, c, d, e, a, 24);
    R2(a, b, c, d, e, 25);
    R2(e, a, b, c, d, 26);
    R2(d, e, a, b, c, 27);
    R2(c, d, e, a, b, 28);
    R2(b, c, d, e, a, 29);
    R2(a, b, c, d, e, 30);
    R2(e, a, b, c, d, 31);
    R2(d, e, a, b, c, 32);
    R2(c, d, e, a, b, 33);
    R2(b, c, d, e, a, 34);
    R2(a, b, c, d, e, 35);
    R2(e, a, b, c, d, 36);
    R2(d, e, a, b, c, 37);
    R2(c, d, e, a, b, 38);
    R2(b, c, d, e, a, 39);
    R3(a, b, c, d, e, 40);
    R3(e, a, b, c, d, 41);
    R3(d, e, a, b, c, 42);
    R3(c, d, e, a, b, 43);
    R3(b, c, d, e, a, 44);
    R3(a, b, c, d, e, 45);
    R3(e, a, b, c, d, 46);
    R3(d, e, a, b, c, 47);
    R3(c, d, e, a, b, 48);
    R3(b, c, d, e, a, 49);
    R3(a, b, c, d, e, 50);
    R3(e, a, b, c, d, 51);
    R3(d, e, a, b, c, 52);
    R3(c, d, e, a, b, 53);
    R3(b, c, d, e, a, 54);
    R3(a, b, c, d, e, 55);
    R3(e, a, b, c, d, 56);
    R3(d, e, a, b, c, 57);
    R3(c, d, e, a, b, 58);
    R3(b, c, d, e, a, 59);
    R4(a, b, c, d, e, 60);
    R4(e, a, b, c, d, 61);
    R4(d, e, a, b, c, 62);
    R4(c, d, e, a, b, 63);
    R4(b, c, d, e, a, 64);
    R4(a, b, c, d, e, 65);
    R4(e, a, b, c, d, 66);
    R4(d, e, a, b, c, 67);
    R4(c, d, e, a, b, 68);
    R4(b, c, d, e, a, 69);
    R4(a, b, c, d, e, 70);
    R4(e, a, b, c, d, 71);
    R4(d, e, a, b, c, 72);
    R4(c, d, e, a, b, 73);
    R4(b, c, d, e, a, 74);
    R4(a, b, c, d, e, 75);
    R4(e, a, b, c, d, 76);
    R4(d, e, a, b, c, 77);
    R4(c, d, e, a, b, 78);
    R4(b, c, d, e, a, 79);
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

#undef R0
#undef R1
#undef R2
#undef R3
#undef R4
#undef SHA1_ROUND
#undef SHA1_SCHEDULE

void sha1Init(Sha1Context* context) {
    context->state[0] = 0x67452301u;
    context->state[1] = 0xEFCDAB89u;
    context->state[2] = 0x98BADCFEu;
    context->state[3] = 0x10325476u;
    context->state[4] = 0xC3D2E1F0u;
    context->count[0] = context->count[1] = 0;
    std::memset(context->buffer, 0, sizeof context->buffer);
}

void sha1Update(Sha1Context* context, const uint8_t* data, size_t length) {
    if (length == 0) return;
    size_t used = (context->count[0] >> 3) & 63;
    // 64-bit bit count held as two halves; the carry goes into the high half.
    uint64_t bits = (uint64_t(context->count[1]) << 32) | context->count[0];
    bits += uint64_t(length) << 3;
    context->count[0] = uint32_t(bits);
    context->count[1] = uint32_t(bits >> 32);

    size_t i = 0;
    if (used + length >= 64) {
        i = 64 - used;
        std::memcpy(context->buffer + used, data, i);
        sha1Transform(context->state, context->buffer);
        for (; i + 63 < length; i += 64)
            sha1Transform(context->state, data + i);
        used = 0;
    }
    if (i < length) std::memcpy(context->buffer + used, data + i, length - i);
}

void sha1Final(uint8_t digest[20], Sha1Context* context) {
    uint8_t lengthBytes[8];
    for (int i = 0; i < 4; ++i) {
        lengthBytes[i] = uint8_t(context->count[1] >> (24 - 8 * i));
        lengthBytes[4 + i] = uint8_t(context->count[0] >> (24 - 8 * i));
    }
    static const uint8_t pad = 0x80;
    static const uint8_t zeros[64] = {};
    sha1Update(context, &pad, 1);
    size_t used = (context->count[0] >> 3) & 63;
    size_t zeroCount = used <= 56 ? 56 - used : 120 - used;
    sha1Update(context, zeros, zeroCount);
    sha1Update(context, lengthBytes, 8);
    for (int i = 0; i < 20; ++i)
        digest[i] = uint8_t(context->state[i >> 2] >> (24 - 8 * (i & 3)));
    std::memset(context, 0, sizeof *context);
}
