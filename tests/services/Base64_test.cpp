// Base64 against the RFC 4648 vectors and its stop rules; the buffer cipher's lengths,
// its agreement with libcrypto's AES-128-ECB and its failures.
#include "services/Base64.h"
#include "services/BufferCipher.h"

#include <openssl/evp.h>

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

const uint8_t kKey[16] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};

} // namespace

TEST(Base64, Rfc4648Vectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(base64Encode(B(plain)), encoded) << plain;
        EXPECT_EQ(base64Decode(encoded), B(plain)) << encoded;
    }
    // Every byte value survives, NUL included.
    Bytes all;
    for (int i = 0; i < 256; ++i)
        all.push_back(uint8_t(i));
    EXPECT_EQ(base64Decode(base64Encode(all)), all);
    EXPECT_EQ(base64Decode("AAA="), Bytes({0, 0}));
}

TEST(Base64, DecoderStopRules) {
    // A line break after the first group ends the input.
    EXPECT_EQ(base64Decode("Zm9v\nYmFy"), B("foo"));
    EXPECT_EQ(base64Decode("Zm9v YmFy"), B("foo"));
    // Two characters without "=" give one byte; a single one gives nothing.
    EXPECT_EQ(base64Decode("Zm9vYg"), B("foob"));
    EXPECT_EQ(base64Decode("Zm9vY"), B("foo"));
    // The first "=" ends the input even in the middle.
    EXPECT_EQ(base64Decode("Zg==Zm9v"), B("f"));
    // At most `length` characters are read.
    const char text[] = "Zm9vYmFy";
    EXPECT_EQ(base64Decode(text, 4), B("foo"));
    EXPECT_TRUE(base64Decode(nullptr, 10).empty());
}

TEST(BufferCipher, LengthsAndRoundTrip) {
    const std::pair<std::size_t, std::size_t> lengths[] = {{0, 16}, {15, 16}, {16, 32}, {31, 32}, {100, 112}};
    for (const auto& [in, expected] : lengths) {
        Bytes plain(in, 0x5A);
        Bytes cipher;
        ASSERT_EQ(aesEncryptBuffer(plain.data(), plain.size(), cipher, kKey), 0) << in;
        EXPECT_EQ(cipher.size(), expected) << in;
        Bytes back;
        ASSERT_EQ(aesDecryptBuffer(cipher.data(), cipher.size(), back, kKey), 0) << in;
        EXPECT_EQ(back, plain) << in;
    }
}

TEST(BufferCipher, EqualsLibcryptoAes128Ecb) {
    const Bytes plain = B("{\n   \"AppId\" : 0,\n   \"Version\" : \"\"\n}\n");
    Bytes ours;
    ASSERT_EQ(aesEncryptBuffer(plain.data(), plain.size(), ours, kKey), 0);

    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, kKey, nullptr);
    Bytes theirs(plain.size() + 16);
    int len = 0;
    int fin = 0;
    EVP_EncryptUpdate(ctx.get(), theirs.data(), &len, plain.data(), int(plain.size()));
    EVP_EncryptFinal_ex(ctx.get(), theirs.data() + len, &fin);
    theirs.resize(std::size_t(len + fin));
    EXPECT_EQ(ours, theirs);
}

TEST(BufferCipher, FailuresLeaveTheOutputUntouched) {
    const Bytes sentinel = B("untouched");
    Bytes out = sentinel;
    Bytes twenty(20, 1);
    EXPECT_EQ(aesDecryptBuffer(twenty.data(), twenty.size(), out, kKey), -1);
    EXPECT_EQ(out, sentinel);
    // A bad padding.
    Bytes cipher;
    Bytes zeros(16, 0);
    ASSERT_EQ(aesEncryptBuffer(zeros.data(), zeros.size(), cipher, kKey), 0);
    cipher.resize(16); // the first block alone decrypts to zeros: pad byte 0
    EXPECT_EQ(aesDecryptBuffer(cipher.data(), cipher.size(), out, kKey), -1);
    EXPECT_EQ(out, sentinel);
    // No key.
    EXPECT_EQ(aesEncryptBuffer(zeros.data(), zeros.size(), out, nullptr), -1);
    EXPECT_EQ(aesDecryptBuffer(zeros.data(), zeros.size(), out, nullptr), -1);
    EXPECT_EQ(out, sentinel);
    // A length whose working buffer would overflow fails before anything is read or
    // allocated.
    EXPECT_EQ(aesEncryptBuffer(zeros.data(), std::numeric_limits<std::size_t>::max() / 2, out, kKey), -1);
    EXPECT_EQ(aesEncryptBuffer(zeros.data(), std::numeric_limits<std::size_t>::max(), out, kKey), -1);
    EXPECT_EQ(aesDecryptBuffer(zeros.data(), std::numeric_limits<std::size_t>::max(), out, kKey), -1);
    EXPECT_EQ(out, sentinel);
}
