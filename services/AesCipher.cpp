#include "services/AesCipher.h"

#include <cstring>

namespace {

// ---------------------------------------------------------------------------------------
// Lookup tables, computed at compile time from GF(2^8) logarithms (reduction 0x11B,
// generator 3). Being constant, they can never be seen half-built by another thread.

struct Tables {
    std::array<uint8_t, 256> sbox{};
    std::array<uint8_t, 256> inverseSbox{};
    std::array<uint32_t, 10> roundConstants{};
    std::array<std::array<uint32_t, 256>, 4> forward{}; // S(x) times column {2,1,1,3}, four rotations
    std::array<std::array<uint32_t, 256>, 4> inverse{}; // S^-1(x) times column {14,9,13,11}, four rotations
};

constexpr uint8_t xtime(uint8_t x) {
    return uint8_t((x << 1) ^ ((x & 0x80) ? 0x1B : 0x00));
}

constexpr uint32_t rotl8(uint32_t x) {
    return (x << 8) | (x >> 24);
}

constexpr Tables BuildTables() {
    Tables t;
    std::array<uint8_t, 256> pow{};
    std::array<uint8_t, 256> log{};
    uint8_t x = 1;
    for (int i = 0; i < 256; ++i) {
        pow[i] = x;
        log[x] = uint8_t(i);
        x = uint8_t(x ^ xtime(x)); // times 3
    }
    auto mul = [&](uint8_t a, uint8_t b) -> uint8_t {
        if (a == 0 || b == 0) return 0;
        return pow[(log[a] + log[b]) % 255];
    };

    uint8_t rc = 1;
    for (int i = 0; i < 10; ++i) {
        t.roundConstants[i] = rc;
        rc = xtime(rc);
    }

    for (int i = 0; i < 256; ++i) {
        uint8_t inv = i == 0 ? 0 : pow[255 - log[i]];
        uint8_t s = inv;
        uint8_t r = inv;
        for (int k = 0; k < 4; ++k) {
            r = uint8_t((r << 1) | (r >> 7));
            s ^= r;
        }
        s ^= 0x63;
        t.sbox[i] = s;
        t.inverseSbox[s] = uint8_t(i);
    }

    for (int i = 0; i < 256; ++i) {
        const uint8_t s = t.sbox[i];
        const uint32_t f =
            uint32_t(mul(s, 2)) | (uint32_t(s) << 8) | (uint32_t(s) << 16) | (uint32_t(mul(s, 3)) << 24);
        const uint8_t v = t.inverseSbox[i];
        const uint32_t r = uint32_t(mul(v, 14)) | (uint32_t(mul(v, 9)) << 8) | (uint32_t(mul(v, 13)) << 16) |
                           (uint32_t(mul(v, 11)) << 24);
        t.forward[0][i] = f;
        t.forward[1][i] = rotl8(f);
        t.forward[2][i] = rotl8(rotl8(f));
        t.forward[3][i] = rotl8(rotl8(rotl8(f)));
        t.inverse[0][i] = r;
        t.inverse[1][i] = rotl8(r);
        t.inverse[2][i] = rotl8(rotl8(r));
        t.inverse[3][i] = rotl8(rotl8(rotl8(r)));
    }
    return t;
}

constexpr Tables kTables = BuildTables();

static_assert(kTables.sbox[0x00] == 0x63 && kTables.sbox[0x53] == 0xED && kTables.sbox[0xFF] == 0x16);
static_assert(kTables.inverseSbox[0x63] == 0x00 && kTables.roundConstants[9] == 0x36);

constexpr uint32_t LoadLe(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void StoreLe(uint32_t v, uint8_t* p) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

inline uint32_t SubWord(uint32_t w) {
    const auto& s = kTables.sbox;
    return uint32_t(s[w & 0xFF]) | (uint32_t(s[(w >> 8) & 0xFF]) << 8) |
           (uint32_t(s[(w >> 16) & 0xFF]) << 16) | (uint32_t(s[w >> 24]) << 24);
}

bool ValidKeyLength(uint32_t keyLength) {
    return keyLength == 16 || keyLength == 24 || keyLength == 32;
}

void ExpandKey(const uint8_t* key, uint32_t keyLength, AesKeySchedule& schedule) {
    const int nk = int(keyLength / 4);
    const int total = 4 * (nk + 7);
    schedule.nk = nk;
    auto& w = schedule.roundKeys;
    w.fill(0);
    for (int i = 0; i < nk; ++i)
        w[i] = LoadLe(key + 4 * i);
    for (int i = nk; i < total; ++i) {
        uint32_t temp = w[i - 1];
        if (i % nk == 0) {
            temp = SubWord((temp >> 8) | (temp << 24)) ^ kTables.roundConstants[i / nk - 1];
        } else if (nk > 6 && i % nk == 4) {
            temp = SubWord(temp);
        }
        w[i] = w[i - nk] ^ temp;
    }
}

// InvMixColumns of one round-key word: through the S-box and back through the inverse
// round tables, which cancel the inverse S-box.
uint32_t InvMixColumn(uint32_t w) {
    const auto& s = kTables.sbox;
    const auto& r = kTables.inverse;
    return r[0][s[w & 0xFF]] ^ r[1][s[(w >> 8) & 0xFF]] ^ r[2][s[(w >> 16) & 0xFF]] ^ r[3][s[w >> 24]];
}

// ---------------------------------------------------------------------------------------
// Mode layer helpers.

bool BlockMode(int32_t mode) {
    return mode == kAesModeEcb || mode == kAesModeCbc;
}

bool KnownMode(int32_t mode) {
    return mode >= kAesModeEcb && mode <= kAesModeCfb;
}

void XorInto(uint8_t* target, const uint8_t* other, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        target[i] ^= other[i];
}

// One block of an encryption: `in` and `out` are 16 bytes and may be the same.
void EncryptOne(aesModeContext& c, const uint8_t* in, uint8_t* out) {
    uint8_t block[kAesBlockSize];
    std::memcpy(block, in, kAesBlockSize);
    auto* chain = c.chain.data();
    switch (c.mode) {
    case kAesModeEcb:
        aesEncryptBlock(c.schedule, block);
        break;
    case kAesModeCbc:
        XorInto(block, chain, kAesBlockSize);
        aesEncryptBlock(c.schedule, block);
        std::memcpy(chain, block, kAesBlockSize);
        break;
    case kAesModeOfb:
        aesEncryptBlock(c.schedule, chain);
        XorInto(block, chain, kAesBlockSize);
        break;
    case kAesModeCfb:
        aesEncryptBlock(c.schedule, chain);
        XorInto(chain, block, kAesBlockSize);
        std::memcpy(block, chain, kAesBlockSize);
        break;
    default:
        break;
    }
    std::memcpy(out, block, kAesBlockSize);
}

void DecryptOne(aesModeContext& c, const uint8_t* in, uint8_t* out) {
    uint8_t block[kAesBlockSize];
    uint8_t cipher[kAesBlockSize];
    std::memcpy(block, in, kAesBlockSize);
    std::memcpy(cipher, in, kAesBlockSize);
    auto* chain = c.chain.data();
    switch (c.mode) {
    case kAesModeEcb:
        aesDecryptBlock(c.schedule, block);
        break;
    case kAesModeCbc:
        aesDecryptBlock(c.schedule, block);
        XorInto(block, chain, kAesBlockSize);
        std::memcpy(chain, cipher, kAesBlockSize);
        break;
    case kAesModeOfb:
        aesEncryptBlock(c.schedule, chain);
        XorInto(block, chain, kAesBlockSize);
        break;
    case kAesModeCfb:
        aesEncryptBlock(c.schedule, chain);
        XorInto(block, chain, kAesBlockSize);
        std::memcpy(chain, cipher, kAesBlockSize);
        break;
    default:
        break;
    }
    std::memcpy(out, block, kAesBlockSize);
}

// The shared update walk. `keepWholeBlock` holds back a final full block (decryption).
int32_t Update(aesModeContext& c, const uint8_t* input, uint32_t inputLength, uint8_t* output,
               uint32_t outputCapacity, uint32_t& outputLength, bool decrypting) {
    if (!KnownMode(c.mode)) return kAesBadParameter;
    const uint64_t total = uint64_t(c.bufferedCount) + inputLength;
    const uint64_t keepLimit = decrypting ? kAesBlockSize : kAesBlockSize - 1;
    if (total <= keepLimit) {
        if (inputLength > 0) std::memcpy(c.buffer.data() + c.bufferedCount, input, inputLength);
        c.bufferedCount += inputLength;
        outputLength = 0;
        return kAesOk;
    }
    if (input == output) return kAesBadParameter;

    const uint64_t blocks = decrypting ? (total - 1) / kAesBlockSize : total / kAesBlockSize;
    const uint64_t produced = blocks * kAesBlockSize;
    if (produced > outputCapacity) return kAesBadParameter;

    const uint32_t take = uint32_t(kAesBlockSize) - c.bufferedCount;
    std::memcpy(c.buffer.data() + c.bufferedCount, input, take);
    auto process = decrypting ? DecryptOne : EncryptOne;
    process(c, c.buffer.data(), output);
    uint64_t written = kAesBlockSize;
    uint64_t pos = take;
    uint64_t rest = inputLength - take;
    while (decrypting ? rest > kAesBlockSize : rest >= kAesBlockSize) {
        process(c, input + pos, output + written);
        written += kAesBlockSize;
        pos += kAesBlockSize;
        rest -= kAesBlockSize;
    }
    if (rest > 0) std::memcpy(c.buffer.data(), input + pos, std::size_t(rest));
    c.bufferedCount = uint32_t(rest);
    outputLength = uint32_t(written);
    return kAesOk;
}

// The keystream tail of OFB (both directions) and of CFB: n bytes of the buffer
// combined with E(R).
void StreamTail(aesModeContext& c, uint8_t* output, bool cfbEncrypting) {
    const uint32_t n = c.bufferedCount;
    aesEncryptBlock(c.schedule, c.chain.data());
    if (cfbEncrypting) {
        XorInto(c.chain.data(), c.buffer.data(), n);
        if (n > 0) std::memcpy(output, c.chain.data(), n);
        return;
    }
    for (uint32_t i = 0; i < n; ++i)
        output[i] = uint8_t(c.buffer[i] ^ c.chain[i]);
}

} // namespace

// ---------------------------------------------------------------------------------------

int32_t aesSetEncryptKey(const uint8_t* key, uint32_t keyLength, AesKeySchedule& schedule) {
    if (key == nullptr || !ValidKeyLength(keyLength)) return kAesBadKeyLength;
    ExpandKey(key, keyLength, schedule);
    return kAesOk;
}

int32_t aesSetDecryptKey(const uint8_t* key, uint32_t keyLength, AesKeySchedule& schedule) {
    if (key == nullptr || !ValidKeyLength(keyLength)) return kAesBadKeyLength;
    AesKeySchedule forward;
    ExpandKey(key, keyLength, forward);
    const int rounds = forward.nk + 6;
    schedule.nk = forward.nk;
    schedule.roundKeys.fill(0);
    for (int round = 0; round <= rounds; ++round) {
        for (int j = 0; j < 4; ++j) {
            uint32_t w = forward.roundKeys[4 * (rounds - round) + j];
            if (round != 0 && round != rounds) w = InvMixColumn(w);
            schedule.roundKeys[4 * round + j] = w;
        }
    }
    return kAesOk;
}

int32_t aesSetEncryptKey(const uint8_t* key, uint32_t keyLength, aesModeContext& context) {
    return aesSetEncryptKey(key, keyLength, context.schedule);
}

int32_t aesSetDecryptKey(const uint8_t* key, uint32_t keyLength, aesModeContext& context) {
    return aesSetDecryptKey(key, keyLength, context.schedule);
}

void aesEncryptBlock(const AesKeySchedule& schedule, uint8_t* block) {
    const auto& ft = kTables.forward;
    const auto& s = kTables.sbox;
    const uint32_t* rk = schedule.roundKeys.data();
    const int rounds = schedule.nk + 6;
    uint32_t x0 = LoadLe(block) ^ rk[0];
    uint32_t x1 = LoadLe(block + 4) ^ rk[1];
    uint32_t x2 = LoadLe(block + 8) ^ rk[2];
    uint32_t x3 = LoadLe(block + 12) ^ rk[3];
    for (int round = 1; round < rounds; ++round) {
        rk += 4;
        const uint32_t y0 =
            rk[0] ^ ft[0][x0 & 0xFF] ^ ft[1][(x1 >> 8) & 0xFF] ^ ft[2][(x2 >> 16) & 0xFF] ^ ft[3][x3 >> 24];
        const uint32_t y1 =
            rk[1] ^ ft[0][x1 & 0xFF] ^ ft[1][(x2 >> 8) & 0xFF] ^ ft[2][(x3 >> 16) & 0xFF] ^ ft[3][x0 >> 24];
        const uint32_t y2 =
            rk[2] ^ ft[0][x2 & 0xFF] ^ ft[1][(x3 >> 8) & 0xFF] ^ ft[2][(x0 >> 16) & 0xFF] ^ ft[3][x1 >> 24];
        const uint32_t y3 =
            rk[3] ^ ft[0][x3 & 0xFF] ^ ft[1][(x0 >> 8) & 0xFF] ^ ft[2][(x1 >> 16) & 0xFF] ^ ft[3][x2 >> 24];
        x0 = y0;
        x1 = y1;
        x2 = y2;
        x3 = y3;
    }
    rk += 4;
    auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
        return k ^ uint32_t(s[a & 0xFF]) ^ (uint32_t(s[(b >> 8) & 0xFF]) << 8) ^
               (uint32_t(s[(c >> 16) & 0xFF]) << 16) ^ (uint32_t(s[d >> 24]) << 24);
    };
    StoreLe(last(x0, x1, x2, x3, rk[0]), block);
    StoreLe(last(x1, x2, x3, x0, rk[1]), block + 4);
    StoreLe(last(x2, x3, x0, x1, rk[2]), block + 8);
    StoreLe(last(x3, x0, x1, x2, rk[3]), block + 12);
}

void aesDecryptBlock(const AesKeySchedule& schedule, uint8_t* block) {
    const auto& rt = kTables.inverse;
    const auto& s = kTables.inverseSbox;
    const uint32_t* rk = schedule.roundKeys.data();
    const int rounds = schedule.nk + 6;
    uint32_t x0 = LoadLe(block) ^ rk[0];
    uint32_t x1 = LoadLe(block + 4) ^ rk[1];
    uint32_t x2 = LoadLe(block + 8) ^ rk[2];
    uint32_t x3 = LoadLe(block + 12) ^ rk[3];
    for (int round = 1; round < rounds; ++round) {
        rk += 4;
        const uint32_t y0 =
            rk[0] ^ rt[0][x0 & 0xFF] ^ rt[1][(x3 >> 8) & 0xFF] ^ rt[2][(x2 >> 16) & 0xFF] ^ rt[3][x1 >> 24];
        const uint32_t y1 =
            rk[1] ^ rt[0][x1 & 0xFF] ^ rt[1][(x0 >> 8) & 0xFF] ^ rt[2][(x3 >> 16) & 0xFF] ^ rt[3][x2 >> 24];
        const uint32_t y2 =
            rk[2] ^ rt[0][x2 & 0xFF] ^ rt[1][(x1 >> 8) & 0xFF] ^ rt[2][(x0 >> 16) & 0xFF] ^ rt[3][x3 >> 24];
        const uint32_t y3 =
            rk[3] ^ rt[0][x3 & 0xFF] ^ rt[1][(x2 >> 8) & 0xFF] ^ rt[2][(x1 >> 16) & 0xFF] ^ rt[3][x0 >> 24];
        x0 = y0;
        x1 = y1;
        x2 = y2;
        x3 = y3;
    }
    rk += 4;
    auto last = [&](uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t k) {
        return k ^ uint32_t(s[a & 0xFF]) ^ (uint32_t(s[(b >> 8) & 0xFF]) << 8) ^
               (uint32_t(s[(c >> 16) & 0xFF]) << 16) ^ (uint32_t(s[d >> 24]) << 24);
    };
    StoreLe(last(x0, x3, x2, x1, rk[0]), block);
    StoreLe(last(x1, x0, x3, x2, rk[1]), block + 4);
    StoreLe(last(x2, x1, x0, x3, rk[2]), block + 8);
    StoreLe(last(x3, x2, x1, x0, rk[3]), block + 12);
}

void aesModeInit(int32_t mode, int32_t paddingKind, const uint8_t* iv, aesModeContext& context) {
    context.mode = mode;
    context.paddingKind = paddingKind;
    if (iv != nullptr) {
        std::memcpy(context.iv.data(), iv, kAesBlockSize);
    } else {
        context.iv.fill(0);
    }
}

int32_t aesModeResetEncrypt(aesModeContext& context) {
    context.bufferedCount = 0;
    if (context.mode != kAesModeEcb) context.chain = context.iv;
    return kAesOk;
}

int32_t aesModeResetDecrypt(aesModeContext& context) {
    return aesModeResetEncrypt(context);
}

int32_t aesModeEncryptUpdate(aesModeContext& context, const uint8_t* input, uint32_t inputLength,
                             uint8_t* output, uint32_t outputCapacity, uint32_t& outputLength) {
    return Update(context, input, inputLength, output, outputCapacity, outputLength, false);
}

int32_t aesModeDecryptUpdate(aesModeContext& context, const uint8_t* input, uint32_t inputLength,
                             uint8_t* output, uint32_t outputCapacity, uint32_t& outputLength) {
    return Update(context, input, inputLength, output, outputCapacity, outputLength, true);
}

int32_t aesModeEncryptFinal(aesModeContext& context, uint8_t* output, uint32_t outputCapacity,
                            uint32_t& outputLength) {
    const uint32_t n = context.bufferedCount;
    if (BlockMode(context.mode)) {
        if (context.paddingKind == kAesPaddingPkcs7) {
            if (outputCapacity < kAesBlockSize) return kAesBadParameter;
            const auto pad = uint8_t(kAesBlockSize - n);
            for (uint32_t i = n; i < kAesBlockSize; ++i)
                context.buffer[i] = pad;
            EncryptOne(context, context.buffer.data(), output);
            context.bufferedCount = 0;
            outputLength = kAesBlockSize;
            return kAesOk;
        }
        if (context.paddingKind == kAesPaddingNone) {
            if (n > 0) return kAesUnpaddedRemainder;
            outputLength = 0;
            return kAesOk;
        }
        return kAesBadParameter;
    }
    if (context.mode == kAesModeOfb || context.mode == kAesModeCfb) {
        if (outputCapacity < n) return kAesBadParameter;
        StreamTail(context, output, context.mode == kAesModeCfb);
        context.bufferedCount = 0;
        outputLength = n;
        return kAesOk;
    }
    return kAesBadParameter;
}

int32_t aesModeDecryptFinal(aesModeContext& context, uint8_t* output, uint32_t outputCapacity,
                            uint32_t& outputLength) {
    const uint32_t n = context.bufferedCount;
    if (BlockMode(context.mode)) {
        if (n == 0) {
            outputLength = 0;
            return kAesOk;
        }
        if (n != kAesBlockSize) return kAesPartialBlock;
        if (context.paddingKind != kAesPaddingNone && context.paddingKind != kAesPaddingPkcs7)
            return kAesBadParameter;
        // Decrypt into a scratch block and write only the bytes that survive unpadding.
        aesModeContext scratch = context;
        uint8_t plain[kAesBlockSize];
        DecryptOne(scratch, scratch.buffer.data(), plain);
        uint32_t keep = kAesBlockSize;
        if (context.paddingKind == kAesPaddingPkcs7) {
            const uint8_t v = plain[kAesBlockSize - 1];
            if (v < 1 || v > kAesBlockSize) return kAesBadPadding;
            for (uint32_t i = kAesBlockSize - v; i < kAesBlockSize; ++i) {
                if (plain[i] != v) return kAesBadPadding;
            }
            keep = kAesBlockSize - v;
        }
        if (outputCapacity < keep) return kAesBadParameter;
        if (keep > 0) std::memcpy(output, plain, keep);
        context.chain = scratch.chain;
        context.bufferedCount = 0;
        outputLength = keep;
        return kAesOk;
    }
    if (context.mode == kAesModeOfb || context.mode == kAesModeCfb) {
        if (outputCapacity < n) return kAesBadParameter;
        StreamTail(context, output, false);
        context.bufferedCount = 0;
        outputLength = n;
        return kAesOk;
    }
    return kAesBadParameter;
}
