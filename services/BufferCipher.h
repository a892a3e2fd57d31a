#pragma once
// Whole-buffer AES-128 in ECB mode with PKCS#7 padding, the form in which usage reports
// travel. Both operations return 0 on success and -1 on any failure (no key, an input
// too large, a cipher error such as a length that is not a whole number of blocks or a
// bad padding); on failure `output` is left untouched.
#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr std::size_t kBufferCipherKeyLength = 16;

// `key` points to 16 key bytes. The result is (inputLength / 16) x 16 + 16 bytes long.
int aesEncryptBuffer(const uint8_t* input, std::size_t inputLength, std::vector<uint8_t>& output,
                     const uint8_t* key);
int aesDecryptBuffer(const uint8_t* input, std::size_t inputLength, std::vector<uint8_t>& output,
                     const uint8_t* key);
