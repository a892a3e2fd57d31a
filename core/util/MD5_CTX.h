#pragma once
#include <cstdint>
#include <string>

// MD5 message digest (RFC 1321). After MD5Final the object is set up afresh, so the
// same object can digest the next text.
class MD5_CTX {
  public:
    MD5_CTX();
    virtual ~MD5_CTX();

    void MD5Update(const uint8_t* input, uint32_t length);
    void MD5Final(uint8_t digest[16]);

  private:
    void Reset();
    void Transform(const uint8_t block[64]);

    uint32_t state[4];
    uint32_t count[2];
    uint8_t buffer[64];
    uint8_t PADDING[64];
};

// MD5 of the bytes of `text` up to its NUL as 32 lower-case hex digits; empty for null.
std::string getMd5String(const char* text);
// The same over any bytes.
std::string getMd5String(const std::string& bytes);
