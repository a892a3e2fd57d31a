#include "core/util/MD5_CTX.h"

#include <cstring>

namespace {

inline uint32_t rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) | (~x & z);
}
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) {
    return (x & z) | (y & ~z);
}
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ y ^ z;
}
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) {
    return y ^ (x | ~z);
}

// Per-round shift amounts and sine-derived constants of RFC 1321.
const int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

} // namespace

MD5_CTX::MD5_CTX() {
    Reset();
}

MD5_CTX::~MD5_CTX() = default;

void MD5_CTX::Reset() {
    count[0] = count[1] = 0;
    state[0] = 0x67452301u;
    state[1] = 0xefcdab89u;
    state[2] = 0x98badcfeu;
    state[3] = 0x10325476u;
    std::memset(buffer, 0, sizeof buffer);
    std::memset(PADDING, 0, sizeof PADDING);
    PADDING[0] = 0x80;
}

void MD5_CTX::Transform(const uint8_t block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) {
        x[i] = uint32_t(block[i * 4]) | (uint32_t(block[i * 4 + 1]) << 8) |
               (uint32_t(block[i * 4 + 2]) << 16) | (uint32_t(block[i * 4 + 3]) << 24);
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = F(b, c, d);
            g = i;
        } else if (i < 32) {
            f = G(b, c, d);
            g = (5 * i + 1) & 15;
        } else if (i < 48) {
            f = H(b, c, d);
            g = (3 * i + 5) & 15;
        } else {
            f = I(b, c, d);
            g = (7 * i) & 15;
        }
        uint32_t t = d;
        d = c;
        c = b;
        b = b + rotl(a + f + kSine[i] + x[g], kShift[i]);
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void MD5_CTX::MD5Update(const uint8_t* input, uint32_t length) {
    if (length == 0) return;
    uint32_t index = (count[0] >> 3) & 0x3F;
    uint32_t low = count[0] + (length << 3);
    if (low < count[0]) ++count[1];
    count[0] = low;
    count[1] += length >> 29;

    uint32_t partLen = 64 - index;
    uint32_t i = 0;
    if (length >= partLen) {
        std::memcpy(&buffer[index], input, partLen);
        Transform(buffer);
        for (i = partLen; i + 63 < length; i += 64)
            Transform(&input[i]);
        index = 0;
    }
    if (i < length) std::memcpy(&buffer[index], &input[i], length - i);
}

void MD5_CTX::MD5Final(uint8_t digest[16]) {
    uint8_t bits[8];
    for (int i = 0; i < 4; ++i) {
        bits[i] = uint8_t(count[0] >> (8 * i));
        bits[4 + i] = uint8_t(count[1] >> (8 * i));
    }
    uint32_t index = (count[0] >> 3) & 0x3f;
    uint32_t padLen = index < 56 ? 56 - index : 120 - index;
    MD5Update(PADDING, padLen);
    MD5Update(bits, 8);
    for (int i = 0; i < 16; ++i)
        digest[i] = uint8_t(state[i >> 2] >> (8 * (i & 3)));
    Reset();
}

std::string getMd5String(const std::string& bytes) {
    MD5_CTX ctx;
    // Fed in pieces that fit the 32-bit length of MD5Update.
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t left = bytes.size();
    while (left > 0) {
        uint32_t n = left > 0x10000000u ? 0x10000000u : uint32_t(left);
        ctx.MD5Update(p, n);
        p += n;
        left -= n;
    }
    uint8_t digest[16];
    ctx.MD5Final(digest);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(32);
    for (uint8_t b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

std::string getMd5String(const char* text) {
    if (!text) return std::string();
    return getMd5String(std::string(text));
}
