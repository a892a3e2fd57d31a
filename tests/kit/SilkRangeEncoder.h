#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kit {

// Test-only range encoder matching the SILK range decoder: symbols are written with the
// same cumulative distributions the decoder reads them with.
class SilkRangeEncoder {
  public:
    explicit SilkRangeEncoder(std::size_t capacity = 1024);
    void encode(int32_t symbol, const uint16_t* cdf);
    // Flushes the final bits; the unused bits of the last byte are ones.
    void wrapUp();
    // Bits written so far (the decoder's silkRangeGetLength agrees on it).
    int32_t lengthBits() const;
    std::vector<uint8_t> bytes() const {
        return std::vector<uint8_t>(buffer_.begin(), buffer_.begin() + used_);
    }
    bool failed() const { return error_; }

  private:
    std::vector<uint8_t> buffer_;
    std::size_t used_ = 0;
    uint32_t base_ = 0;
    uint32_t range_ = 0xFFFF;
    bool error_ = false;
};

} // namespace kit
