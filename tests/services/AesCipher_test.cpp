// The block cipher against the published example vectors, the mode layer against the
// published mode vectors and against libcrypto over random messages, and its status codes.
#include "services/AesCipher.h"

#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Hex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string ToHex(const Bytes& b) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (uint8_t v : b) {
        s += digits[v >> 4];
        s += digits[v & 15];
    }
    return s;
}

// Runs a whole message through init, key, reset, updates of the given sizes and final.
struct Outcome {
    int32_t status = 0;
    Bytes data;
};

Outcome RunMode(bool encrypt, int32_t mode, int32_t padding, const Bytes& key, const Bytes& iv,
                const Bytes& input, const std::vector<std::size_t>& chunks = {}) {
    aesModeContext c;
    aesModeInit(mode, padding, iv.empty() ? nullptr : iv.data(), c);
    const bool decryptSchedule = !encrypt && (mode == kAesModeEcb || mode == kAesModeCbc);
    int32_t st = decryptSchedule ? aesSetDecryptKey(key.data(), uint32_t(key.size()), c)
                                 : aesSetEncryptKey(key.data(), uint32_t(key.size()), c);
    if (st != 0) return {st, {}};
    encrypt ? aesModeResetEncrypt(c) : aesModeResetDecrypt(c);
    Bytes out(input.size() + 64);
    std::size_t written = 0;
    std::size_t pos = 0;
    std::size_t chunkIndex = 0;
    while (pos < input.size()) {
        std::size_t n = chunks.empty() ? input.size() : chunks[chunkIndex++ % chunks.size()];
        n = std::min(n, input.size() - pos);
        uint32_t len = 0;
        st = encrypt ? aesModeEncryptUpdate(c, input.data() + pos, uint32_t(n), out.data() + written,
                                            uint32_t(out.size() - written), len)
                     : aesModeDecryptUpdate(c, input.data() + pos, uint32_t(n), out.data() + written,
                                            uint32_t(out.size() - written), len);
        if (st != 0) return {st, {}};
        written += len;
        pos += n;
    }
    uint32_t len = 0;
    st = encrypt ? aesModeEncryptFinal(c, out.data() + written, uint32_t(out.size() - written), len)
                 : aesModeDecryptFinal(c, out.data() + written, uint32_t(out.size() - written), len);
    if (st != 0) return {st, {}};
    out.resize(written + len);
    return {0, out};
}

const std::string kPlain = "6bc1bee22e409f96e93d7e117393172a"
                           "ae2d8a571e03ac9c9eb76fac45af8e51"
                           "30c81c46a35ce411e5fbc1191a0a52ef"
                           "f69f2445df4f9b17ad2b417be66c3710";
const std::string kKey128 = "2b7e151628aed2a6abf7158809cf4f3c";
const std::string kKey192 = "8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b";
const std::string kKey256 = "603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4";
const std::string kIv = "000102030405060708090a0b0c0d0e0f";

} // namespace

TEST(AesBlock, ExampleVectorsOfAllKeySizes) {
    const Bytes plain = Hex("00112233445566778899aabbccddeeff");
    struct Case {
        std::string key;
        std::string cipher;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.key);
        const Bytes key = Hex(tc.key);
        AesKeySchedule enc;
        AesKeySchedule dec;
        ASSERT_EQ(aesSetEncryptKey(key.data(), uint32_t(key.size()), enc), 0);
        ASSERT_EQ(aesSetDecryptKey(key.data(), uint32_t(key.size()), dec), 0);
        EXPECT_EQ(enc.nk, int32_t(key.size() / 4));
        Bytes block = plain;
        aesEncryptBlock(enc, block.data());
        EXPECT_EQ(ToHex(block), tc.cipher);
        aesDecryptBlock(dec, block.data());
        EXPECT_EQ(block, plain);
    }
}

TEST(AesModes, PublishedModeVectorsBothDirections) {
    struct Case {
        const char* name;
        int32_t mode;
        std::string key;
        std::string cipher;
    } cases[] = {
        {"ECB-128", kAesModeEcb, kKey128,
         "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf43b1cd7f598ece23881b00e3ed0306887b0"
         "c785e27e8ad3f8223207104725dd4"},
        {"ECB-192", kAesModeEcb, kKey192,
         "bd334f1d6e45f25ff712a214571fa5cc974104846d0ad3ad7734ecb3ecee4eefef7afd2270e2e60adce0ba2face6444e9a4"
         "b41ba738d6c72fb16691603c18e0e"},
        {"ECB-256", kAesModeEcb, kKey256,
         "f3eed1bdb5d2a03c064b5a7e3db181f8591ccb10d410ed26dc5ba74a31362870b6ed21b99ca6f4f9f153e7b1beafed1d233"
         "04b7a39f9f3ff067d8d8f9e24ecc7"},
        {"CBC-128", kAesModeCbc, kKey128,
         "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b273bed6b8e3c1743b7116e69e222295163ff"
         "1caa1681fac09120eca307586e1a7"},
        {"CBC-192", kAesModeCbc, kKey192,
         "4f021db243bc633d7178183a9fa071e8b4d9ada9ad7dedf4e5e738763f69145a571b242012fb7ae07fa9baac3df102e008b"
         "0e27988598881d920a9e64f5615cd"},
        {"CBC-256", kAesModeCbc, kKey256,
         "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d39f23369a9d9bacfa530e26304231461b2e"
         "b05e2c39be9fcda6c19078c6a9d1b"},
        {"CFB-128", kAesModeCfb, kKey128,
         "3b3fd92eb72dad20333449f8e83cfb4ac8a64537a0b3a93fcde3cdad9f1ce58b26751f67a3cbb140b1808cf187a4f4dfc04"
         "b05357c5d1c0eeac4c66f9ff7f2e6"},
        {"CFB-192", kAesModeCfb, kKey192,
         "cdc80d6fddf18cab34c25909c99a417467ce7f7f81173621961a2b70171d3d7a2e1e8a1dd59b88b1c8e60fed1efac4c9c05"
         "f9f9ca9834fa042ae8fba584b09ff"},
        {"CFB-256", kAesModeCfb, kKey256,
         "dc7e84bfda79164b7ecd8486985d386039ffed143b28b1c832113c6331e5407bdf10132415e54b92a13ed0a8267ae2f975a"
         "385741ab9cef82031623d55b1e471"},
        {"OFB-128", kAesModeOfb, kKey128,
         "3b3fd92eb72dad20333449f8e83cfb4a7789508d16918f03f53c52dac54ed8259740051e9c5fecf64344f7a82260edcc304"
         "c6528f659c77866a510d9c1d6ae5e"},
        {"OFB-192", kAesModeOfb, kKey192,
         "cdc80d6fddf18cab34c25909c99a4174fcc28b8d4c63837c09e81700c11004018d9a9aeac0f6596f559c6d4daf59a5f26d9"
         "f200857ca6c3e9cac524bd9acc92a"},
        {"OFB-256", kAesModeOfb, kKey256,
         "dc7e84bfda79164b7ecd8486985d38604febdc6740d20b3ac88f6ad82a4fb08d71ab47a086e86eedf39d1c5bba97c408012"
         "6141d67f37be8538f5a8be740e484"},
    };
    const Bytes plain = Hex(kPlain);
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        const Bytes key = Hex(tc.key);
        const Bytes iv = Hex(kIv);
        // Whole message and in uneven pieces.
        for (const auto& chunks : {std::vector<std::size_t>{}, std::vector<std::size_t>{5, 16, 1, 27}}) {
            Outcome enc = RunMode(true, tc.mode, kAesPaddingNone, key, iv, plain, chunks);
            ASSERT_EQ(enc.status, 0);
            EXPECT_EQ(ToHex(enc.data), tc.cipher);
            Outcome dec = RunMode(false, tc.mode, kAesPaddingNone, key, iv, Hex(tc.cipher), chunks);
            ASSERT_EQ(dec.status, 0);
            EXPECT_EQ(dec.data, plain);
        }
    }
}

TEST(AesModes, PaddingAndStreamLengths) {
    const Bytes key = Hex(kKey128);
    // PKCS#7 over nothing gives one block of sixteen 0x10 bytes, encrypted.
    Outcome empty = RunMode(true, kAesModeEcb, kAesPaddingPkcs7, key, {}, {});
    ASSERT_EQ(empty.status, 0);
    Bytes pad(16, 0x10);
    AesKeySchedule ks;
    aesSetEncryptKey(key.data(), 16, ks);
    aesEncryptBlock(ks, pad.data());
    EXPECT_EQ(empty.data, pad);
    EXPECT_EQ(RunMode(true, kAesModeEcb, kAesPaddingPkcs7, key, {}, Bytes(16, 7)).data.size(), 32u);
    // OFB and CFB keep the length; the padding kind does not matter to them.
    for (int32_t mode : {kAesModeOfb, kAesModeCfb}) {
        Outcome a = RunMode(true, mode, kAesPaddingNone, key, {}, Bytes{1, 2, 3, 4, 5});
        Outcome b = RunMode(true, mode, kAesPaddingPkcs7, key, {}, Bytes{1, 2, 3, 4, 5});
        EXPECT_EQ(a.data.size(), 5u);
        EXPECT_EQ(a.data, b.data);
    }
}

TEST(AesModes, StatusCodes) {
    const Bytes key = Hex(kKey128);
    // Key lengths.
    for (uint32_t len : {0u, 17u, 33u}) {
        aesModeContext c;
        Bytes k(40, 1);
        EXPECT_EQ(aesSetEncryptKey(k.data(), len, c), kAesBadKeyLength) << len;
        EXPECT_EQ(aesSetDecryptKey(k.data(), len, c), kAesBadKeyLength) << len;
        EXPECT_EQ(c.schedule.nk, 0);
    }

    auto fresh = [&](int32_t mode, int32_t padding, bool decrypt = false) {
        aesModeContext c;
        aesModeInit(mode, padding, nullptr, c);
        decrypt ? aesSetDecryptKey(key.data(), 16, c) : aesSetEncryptKey(key.data(), 16, c);
        aesModeResetEncrypt(c);
        return c;
    };
    Bytes buf(64, 0xAB);
    Bytes out(64, 0);
    uint32_t len = 99;

    // Unknown modes.
    for (int32_t mode : {0, 5}) {
        aesModeContext c = fresh(mode, kAesPaddingPkcs7);
        EXPECT_EQ(aesModeEncryptUpdate(c, buf.data(), 3, out.data(), 64, len), kAesBadParameter);
        EXPECT_EQ(aesModeDecryptUpdate(c, buf.data(), 3, out.data(), 64, len), kAesBadParameter);
        EXPECT_EQ(aesModeEncryptFinal(c, out.data(), 64, len), kAesBadParameter);
        EXPECT_EQ(aesModeDecryptFinal(c, out.data(), 64, len), kAesBadParameter);
    }
    // Same buffer: fine below a block, refused with a whole block to process.
    {
        aesModeContext c = fresh(kAesModeEcb, kAesPaddingPkcs7);
        EXPECT_EQ(aesModeEncryptUpdate(c, buf.data(), 10, buf.data(), 64, len), 0);
        EXPECT_EQ(len, 0u);
        EXPECT_EQ(aesModeEncryptUpdate(c, buf.data(), 10, buf.data(), 64, len), kAesBadParameter);
        aesModeContext d = fresh(kAesModeEcb, kAesPaddingPkcs7, true);
        EXPECT_EQ(aesModeDecryptUpdate(d, buf.data(), 16, buf.data(), 64, len), 0); // kept back
        EXPECT_EQ(len, 0u);
        EXPECT_EQ(aesModeDecryptUpdate(d, buf.data(), 1, buf.data(), 64, len), kAesBadParameter);
    }
    // Unpadded ECB with 5 bytes left; unknown padding kind.
    {
        aesModeContext c = fresh(kAesModeEcb, kAesPaddingNone);
        ASSERT_EQ(aesModeEncryptUpdate(c, buf.data(), 21, out.data(), 64, len), 0);
        EXPECT_EQ(len, 16u);
        EXPECT_EQ(aesModeEncryptFinal(c, out.data(), 64, len), kAesUnpaddedRemainder);
        aesModeContext d = fresh(kAesModeCbc, 7);
        EXPECT_EQ(aesModeEncryptFinal(d, out.data(), 64, len), kAesBadParameter);
    }
    // Decryption final with 5 bytes buffered.
    for (int32_t mode : {kAesModeEcb, kAesModeCbc}) {
        aesModeContext c = fresh(mode, kAesPaddingPkcs7, true);
        ASSERT_EQ(aesModeDecryptUpdate(c, buf.data(), 5, out.data(), 64, len), 0);
        EXPECT_EQ(aesModeDecryptFinal(c, out.data(), 64, len), kAesPartialBlock);
    }
    // Pad bytes 0, 17 and inconsistent: encrypt a crafted last block without padding.
    for (const Bytes& last : {Bytes(16, 0), Bytes(16, 17), Hex("0102030405060708090a0b0c0d030403")}) {
        Outcome enc = RunMode(true, kAesModeEcb, kAesPaddingNone, key, {}, last);
        ASSERT_EQ(enc.status, 0);
        Outcome dec = RunMode(false, kAesModeEcb, kAesPaddingPkcs7, key, {}, enc.data);
        EXPECT_EQ(dec.status, kAesBadPadding) << ToHex(last);
        // The same block with a padding kind outside 1 and 2.
        EXPECT_EQ(RunMode(false, kAesModeEcb, 3, key, {}, enc.data).status, kAesBadParameter);
    }
    // Output capacity too small: nothing is written.
    {
        aesModeContext c = fresh(kAesModeEcb, kAesPaddingPkcs7);
        Bytes small(15, 0xEE);
        EXPECT_EQ(aesModeEncryptUpdate(c, buf.data(), 20, small.data(), 15, len), kAesBadParameter);
        EXPECT_EQ(small, Bytes(15, 0xEE));
        EXPECT_EQ(c.bufferedCount, 0u);
        aesModeContext d = fresh(kAesModeEcb, kAesPaddingPkcs7, true);
        ASSERT_EQ(aesModeDecryptUpdate(d, buf.data(), 16, out.data(), 64, len), 0);
        // One more byte releases a whole block: 16 bytes for an input of 1.
        EXPECT_EQ(aesModeDecryptUpdate(d, buf.data(), 1, small.data(), 15, len), kAesBadParameter);
        EXPECT_EQ(small, Bytes(15, 0xEE));
        EXPECT_EQ(aesModeDecryptUpdate(d, buf.data(), 1, out.data(), 16, len), 0);
        EXPECT_EQ(len, 16u);
        aesModeContext e = fresh(kAesModeCbc, kAesPaddingPkcs7);
        EXPECT_EQ(aesModeEncryptFinal(e, small.data(), 15, len), kAesBadParameter);
    }
}

namespace {

const EVP_CIPHER* OpenSslCipher(int32_t mode, std::size_t keyLength) {
    switch (mode) {
    case kAesModeEcb:
        return keyLength == 16 ? EVP_aes_128_ecb() : keyLength == 24 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
    case kAesModeCbc:
        return keyLength == 16 ? EVP_aes_128_cbc() : keyLength == 24 ? EVP_aes_192_cbc() : EVP_aes_256_cbc();
    case kAesModeOfb:
        return keyLength == 16 ? EVP_aes_128_ofb() : keyLength == 24 ? EVP_aes_192_ofb() : EVP_aes_256_ofb();
    default:
        return keyLength == 16   ? EVP_aes_128_cfb128()
               : keyLength == 24 ? EVP_aes_192_cfb128()
                                 : EVP_aes_256_cfb128();
    }
}

Bytes OpenSslRun(bool encrypt, int32_t mode, bool pad, const Bytes& key, const Bytes& iv, const Bytes& in) {
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    EVP_CipherInit_ex(ctx.get(), OpenSslCipher(mode, key.size()), nullptr, key.data(), iv.data(),
                      encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx.get(), pad ? 1 : 0);
    Bytes out(in.size() + 32);
    int len = 0;
    EVP_CipherUpdate(ctx.get(), out.data(), &len, in.data(), int(in.size()));
    int fin = 0;
    EVP_CipherFinal_ex(ctx.get(), out.data() + len, &fin);
    out.resize(std::size_t(len + fin));
    return out;
}

} // namespace

TEST(AesModes, AgreesWithLibcryptoOverRandomMessages) {
    std::mt19937 rng(20240613);
    auto randomBytes = [&](std::size_t n) {
        Bytes b(n);
        for (auto& v : b)
            v = uint8_t(rng());
        return b;
    };
    for (int round = 0; round < 300; ++round) {
        const int32_t mode = int32_t(1 + round % 4);
        const bool pad = (round / 4) % 2 == 0;
        const std::size_t keyLength = std::size_t(16 + 8 * ((round / 8) % 3));
        std::size_t length = rng() % 101;
        if ((mode == kAesModeEcb || mode == kAesModeCbc) && !pad) length -= length % 16;
        const Bytes key = randomBytes(keyLength);
        const Bytes iv = randomBytes(16);
        const Bytes plain = randomBytes(length);
        std::vector<std::size_t> chunks;
        for (int i = 0; i < 4; ++i)
            chunks.push_back(1 + rng() % 40);
        SCOPED_TRACE("mode " + std::to_string(mode) + " pad " + std::to_string(pad) + " key " +
                     std::to_string(keyLength) + " length " + std::to_string(length));

        const int32_t padding = pad ? kAesPaddingPkcs7 : kAesPaddingNone;
        Outcome ours = RunMode(true, mode, padding, key, iv, plain, chunks);
        ASSERT_EQ(ours.status, 0);
        const Bytes theirs = OpenSslRun(true, mode, pad, key, iv, plain);
        ASSERT_EQ(ToHex(ours.data), ToHex(theirs));
        Outcome back = RunMode(false, mode, padding, key, iv, theirs, chunks);
        ASSERT_EQ(back.status, 0);
        EXPECT_EQ(back.data, plain);
        EXPECT_EQ(OpenSslRun(false, mode, pad, key, iv, ours.data), plain);
    }
}
