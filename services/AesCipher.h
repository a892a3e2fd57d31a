#pragma once
// AES (128, 192 and 256-bit keys) and a streaming mode layer over it: ECB, CBC, OFB and
// CFB with 128-bit feedback, optionally with PKCS#7 padding. The caller owns the context
// and every buffer; nothing here allocates. Every operation but aesModeInit returns a
// status code: 0 on success, else one of the AesStatus values.
#include <array>
#include <cstddef>
#include <cstdint>

enum AesStatus : int32_t {
    kAesOk = 0,
    // Unknown mode or padding kind, the same buffer for input and output in an update
    // that has a block to process, or an output buffer that is too small.
    kAesBadParameter = 4097,
    kAesBadKeyLength = 4098,      // the key is not 16, 24 or 32 bytes
    kAesBadPadding = 4099,        // the last decrypted block is not valid PKCS#7
    kAesUnpaddedRemainder = 4100, // unpadded ECB/CBC encryption with 1 to 15 bytes left
    kAesPartialBlock = 4101,      // ECB/CBC decryption ends inside a block
};

enum AesMode : int32_t { kAesModeEcb = 1, kAesModeCbc = 2, kAesModeOfb = 3, kAesModeCfb = 4 };
enum AesPadding : int32_t { kAesPaddingNone = 1, kAesPaddingPkcs7 = 2 };

inline constexpr std::size_t kAesBlockSize = 16;

// Round keys: Nk (4, 6 or 8 key words), then 4 x (Nk + 7) words (Nk + 6 rounds).
struct AesKeySchedule {
    int32_t nk = 0;
    std::array<uint32_t, 60> roundKeys{};
};

struct aesModeContext {
    int32_t mode = 0;
    int32_t paddingKind = 0;
    std::array<uint8_t, kAesBlockSize> iv{};
    std::array<uint8_t, kAesBlockSize> chain{};  // last ciphertext block (CBC, CFB) or keystream block (OFB)
    std::array<uint8_t, kAesBlockSize> buffer{}; // input bytes not yet processed
    uint32_t bufferedCount = 0;                  // 0 to 15 encrypting, 0 to 16 decrypting
    AesKeySchedule schedule;
};

// Key set-up: 4098 and no change when keyLength is not 16, 24 or 32.
int32_t aesSetEncryptKey(const uint8_t* key, uint32_t keyLength, aesModeContext& context);
int32_t aesSetDecryptKey(const uint8_t* key, uint32_t keyLength, aesModeContext& context);
int32_t aesSetEncryptKey(const uint8_t* key, uint32_t keyLength, AesKeySchedule& schedule);
int32_t aesSetDecryptKey(const uint8_t* key, uint32_t keyLength, AesKeySchedule& schedule);

// One 16-byte block in place. The decryption needs a decryption schedule.
void aesEncryptBlock(const AesKeySchedule& schedule, uint8_t* block);
void aesDecryptBlock(const AesKeySchedule& schedule, uint8_t* block);

// Stores mode, padding kind and IV (zeros when iv is null); checks nothing.
void aesModeInit(int32_t mode, int32_t paddingKind, const uint8_t* iv, aesModeContext& context);
// Empties the partial-block buffer and, for every mode but ECB, loads the IV.
int32_t aesModeResetEncrypt(aesModeContext& context);
int32_t aesModeResetDecrypt(aesModeContext& context);

// Processes what can be processed; outputLength receives the bytes written. An encrypting
// update writes at most (buffered + inputLength) rounded down to a block; a decrypting one
// keeps the last 1 to 16 bytes back, so it may write up to 16 bytes more than its input.
// When outputCapacity is smaller than what the call would write, it returns 4097 and
// writes nothing.
int32_t aesModeEncryptUpdate(aesModeContext& context, const uint8_t* input, uint32_t inputLength,
                             uint8_t* output, uint32_t outputCapacity, uint32_t& outputLength);
int32_t aesModeDecryptUpdate(aesModeContext& context, const uint8_t* input, uint32_t inputLength,
                             uint8_t* output, uint32_t outputCapacity, uint32_t& outputLength);

// Writes the last bytes of the message (at most 16) with the same capacity rule.
int32_t aesModeEncryptFinal(aesModeContext& context, uint8_t* output, uint32_t outputCapacity,
                            uint32_t& outputLength);
int32_t aesModeDecryptFinal(aesModeContext& context, uint8_t* output, uint32_t outputCapacity,
                            uint32_t& outputLength);
