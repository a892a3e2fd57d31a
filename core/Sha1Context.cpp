#include "core/Sha1Context.h"

#include <cstring>

namespace {

inline uint32_t rol(uint32_t v, int bits) {
    return (v << bits) | (v >> (32 - bits));
}

} // namespace

void sha1Transform(uint32_t state[5], const uint8_t block[64]) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
        w[i] = (uint32_t(block[i * 4]) << 24) | (uint32_t(block[i * 4 + 1]) << 16) |
               (uint32_t(block[i * 4 + 2]) << 8) | uint32_t(block[i * 4 + 3]);
    }
    for (int i = 16; i < 80; ++i)
        w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999u;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1u;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDCu;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6u;
        }
        uint32_t t = rol(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rol(b, 30);
        b = a;
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

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
