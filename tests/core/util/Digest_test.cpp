// SHA-1 (stored names of backup files) and MD5 (WeChat table names) of our own, checked
// against the published test vectors and, for odd lengths and chunkings, against
// OpenSSL's libcrypto used purely as an oracle.
#include "core/util/MD5_CTX.h"
#include "core/util/Sha1Context.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::string hex(const uint8_t* d, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[d[i] >> 4];
        s += digits[d[i] & 15];
    }
    return s;
}

// SHA-1 of `data`, fed in pieces of the given sizes (cycled).
std::string sha1Chunked(const std::string& data, const std::vector<size_t>& chunks) {
    Sha1Context ctx;
    sha1Init(&ctx);
    size_t pos = 0, k = 0;
    while (pos < data.size()) {
        size_t n = std::min(chunks[k++ % chunks.size()], data.size() - pos);
        sha1Update(&ctx, reinterpret_cast<const uint8_t*>(data.data()) + pos, n);
        pos += n;
    }
    uint8_t digest[20];
    sha1Final(digest, &ctx);
    return hex(digest, 20);
}

std::string md5Chunked(MD5_CTX& ctx, const std::string& data, const std::vector<size_t>& chunks) {
    size_t pos = 0, k = 0;
    while (pos < data.size()) {
        size_t n = std::min(chunks[k++ % chunks.size()], data.size() - pos);
        ctx.MD5Update(reinterpret_cast<const uint8_t*>(data.data()) + pos, uint32_t(n));
        pos += n;
    }
    uint8_t digest[16];
    ctx.MD5Final(digest);
    return hex(digest, 16);
}

std::string oracle(const EVP_MD* md, const std::string& data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(data.data(), data.size(), out, &len, md, nullptr);
    return hex(out, len);
}

// Piece sizes that cross the 64-byte block edge in every way: single bytes, pieces just
// under, at and over a block, and one large piece.
const std::vector<std::vector<size_t>> kChunkings = {{1}, {3, 61}, {63}, {64}, {65}, {55, 1, 8}, {1000000}};

struct Vector {
    std::string input;
    const char* digest;
};

} // namespace

TEST(Sha1, Fips180Vectors) {
    const Vector vectors[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const auto& v : vectors) {
        for (const auto& chunks : kChunkings) {
            EXPECT_EQ(v.digest, sha1Chunked(v.input, chunks))
                << "length " << v.input.size() << ", first piece " << chunks[0];
        }
    }
}

TEST(Sha1, MatchesOracleAtEveryLengthAroundThePaddingEdges) {
    std::mt19937 rng(7);
    std::string data(300, '\0');
    for (char& c : data)
        c = char(rng());
    for (size_t len = 0; len <= data.size(); ++len) {
        std::string part = data.substr(0, len);
        ASSERT_EQ(oracle(EVP_sha1(), part), sha1Chunked(part, {7, 64, 1})) << "length " << len;
    }
}

TEST(Sha1, FinalWipesTheContext) {
    Sha1Context ctx;
    sha1Init(&ctx);
    sha1Update(&ctx, reinterpret_cast<const uint8_t*>("secret"), 6);
    uint8_t digest[20];
    sha1Final(digest, &ctx);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&ctx);
    for (size_t i = 0; i < sizeof ctx; ++i)
        ASSERT_EQ(0, bytes[i]) << "byte " << i;
}

TEST(Md5, Rfc1321Vectors) {
    const Vector vectors[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(v.digest, getMd5String(v.input.c_str()));
        for (const auto& chunks : kChunkings) {
            MD5_CTX ctx;
            EXPECT_EQ(v.digest, md5Chunked(ctx, v.input, chunks))
                << '"' << v.input << "\" piece " << chunks[0];
        }
    }
}

TEST(Md5, MatchesOracleAtEveryLengthAroundThePaddingEdges) {
    std::mt19937 rng(11);
    std::string data(300, '\0');
    for (char& c : data)
        c = char(rng());
    MD5_CTX ctx; // one object for all: MD5Final sets it up afresh each time
    for (size_t len = 0; len <= data.size(); ++len) {
        std::string part = data.substr(0, len);
        ASSERT_EQ(oracle(EVP_md5(), part), md5Chunked(ctx, part, {5, 64, 2})) << "length " << len;
    }
}

TEST(Md5, ObjectIsReusableAfterFinal) {
    MD5_CTX ctx;
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", md5Chunked(ctx, "abc", {3}));
    uint8_t digest[16];
    ctx.MD5Final(digest); // nothing fed since the last final: the empty text
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", hex(digest, 16));
}

TEST(Md5, StringHelper) {
    EXPECT_EQ("", getMd5String(static_cast<const char*>(nullptr)));
    // A WeChat conversation table name is "Chat_" + the MD5 of the user name.
    EXPECT_EQ(32u, getMd5String("wxid_abcdef123").size());
    EXPECT_EQ(oracle(EVP_md5(), std::string("a\0b", 3)), getMd5String(std::string("a\0b", 3)));
}
