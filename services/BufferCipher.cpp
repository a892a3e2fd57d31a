#include "services/BufferCipher.h"

#include "services/AesCipher.h"

#include <cstdint>
#include <limits>
#include <new>

namespace {

// Handed to the mode layer with every buffer; ECB never reads it.
constexpr uint8_t kBufferIv[kAesBlockSize] = {0x3A, 0x91, 0x5C, 0x07, 0xE2, 0x48, 0xB6, 0x1D,
                                              0x70, 0xC5, 0x2F, 0x84, 0x19, 0xDB, 0x63, 0xAE};

// Lengths the mode layer (32-bit counts) can take with a whole padding block added.
constexpr std::size_t kMaxInput = std::numeric_limits<uint32_t>::max() - 2 * kAesBlockSize;

} // namespace

int aesEncryptBuffer(const uint8_t* input, std::size_t inputLength, std::vector<uint8_t>& output,
                     const uint8_t* key) {
    if (key == nullptr) return -1;
    if (input == nullptr && inputLength > 0) return -1;
    // Room for 2 x inputLength + 24 bytes, checked before anything is allocated.
    if (inputLength > (std::numeric_limits<std::size_t>::max() - 24) / 2 || inputLength > kMaxInput)
        return -1;
    const std::size_t capacity = 2 * inputLength + 24;
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(capacity);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    aesModeContext context;
    aesModeInit(kAesModeEcb, kAesPaddingPkcs7, kBufferIv, context);
    if (aesSetEncryptKey(key, kBufferCipherKeyLength, context) != kAesOk) return -1;
    aesModeResetEncrypt(context);
    uint32_t updateLength = 0;
    if (aesModeEncryptUpdate(context, input, uint32_t(inputLength), buffer.data(), uint32_t(capacity),
                             updateLength) != kAesOk) {
        return -1;
    }
    uint32_t finalLength = 0;
    if (aesModeEncryptFinal(context, buffer.data() + updateLength, uint32_t(capacity - updateLength),
                            finalLength) != kAesOk) {
        return -1;
    }
    buffer.resize(std::size_t(updateLength) + finalLength);
    output = std::move(buffer);
    return 0;
}

int aesDecryptBuffer(const uint8_t* input, std::size_t inputLength, std::vector<uint8_t>& output,
                     const uint8_t* key) {
    if (key == nullptr) return -1;
    if (input == nullptr && inputLength > 0) return -1;
    if (inputLength > kMaxInput) return -1;
    const std::size_t capacity = inputLength + 2;
    std::vector<uint8_t> buffer;
    try {
        buffer.assign(capacity, 0);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    aesModeContext context;
    aesModeInit(kAesModeEcb, kAesPaddingPkcs7, kBufferIv, context);
    const bool streamMode = context.mode == kAesModeOfb || context.mode == kAesModeCfb;
    const int32_t keyStatus = streamMode ? aesSetEncryptKey(key, kBufferCipherKeyLength, context)
                                         : aesSetDecryptKey(key, kBufferCipherKeyLength, context);
    if (keyStatus != kAesOk) return -1;
    aesModeResetDecrypt(context);
    uint32_t updateLength = 0;
    if (aesModeDecryptUpdate(context, input, uint32_t(inputLength), buffer.data(), uint32_t(capacity),
                             updateLength) != kAesOk) {
        return -1;
    }
    uint32_t finalLength = 0;
    if (aesModeDecryptFinal(context, buffer.data() + updateLength, uint32_t(capacity - updateLength),
                            finalLength) != kAesOk) {
        return -1;
    }
    buffer.resize(std::size_t(updateLength) + finalLength);
    output = std::move(buffer);
    return 0;
}
