#pragma once
#include <cstddef>
#include <cstdint>

// Working state of one SHA-1 computation (FIPS 180-1): five chaining words, the message
// length in bits as two 32-bit halves (low half first) and one 64-byte block buffer.
struct Sha1Context {
    uint32_t state[5];
    uint32_t count[2];
    uint8_t buffer[64];
};

void sha1Init(Sha1Context* context);
// Feeds any number of bytes; may be called any number of times.
void sha1Update(Sha1Context* context, const uint8_t* data, size_t length);
// Pads, writes the 20-byte digest and wipes the whole context.
void sha1Final(uint8_t digest[20], Sha1Context* context);
// Processes one 64-byte block into the chaining words.
void sha1Transform(uint32_t state[5], const uint8_t block[64]);
