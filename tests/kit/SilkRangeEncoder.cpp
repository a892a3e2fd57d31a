#include "tests/kit/SilkRangeEncoder.h"

#include <bit>

namespace kit {

SilkRangeEncoder::SilkRangeEncoder(size_t capacity) : buffer_(capacity, 0) {}

void SilkRangeEncoder::encode(int32_t symbol, const uint16_t* cdf) {
    if (error_) return;
    uint32_t low = cdf[symbol];
    uint32_t high = cdf[symbol + 1];
    uint32_t oldBase = base_;
    base_ += range_ * low;
    uint32_t range32 = range_ * (high - low);
    if (base_ < oldBase) {
        size_t i = used_;
        while (i > 0 && ++buffer_[--i] == 0) {
        }
    }
    auto put = [&]() {
        if (used_ >= buffer_.size()) {
            error_ = true;
            return false;
        }
        buffer_[used_++] = static_cast<uint8_t>(base_ >> 24);
        base_ <<= 8;
        return true;
    };
    if (range32 & 0xFF000000u) {
        range_ = range32 >> 16;
    } else {
        if (range32 & 0xFFFF0000u) {
            range_ = range32 >> 8;
        } else {
            range_ = range32;
            if (!put()) return;
        }
        if (!put()) return;
    }
}

int32_t SilkRangeEncoder::lengthBits() const {
    return static_cast<int32_t>(used_ << 3) + std::countl_zero(static_cast<uint32_t>(range_ - 1)) - 14;
}

void SilkRangeEncoder::wrapUp() {
    uint32_t base24 = base_ >> 8;
    int32_t bits = lengthBits();
    int32_t nBytes = (bits + 7) >> 3;
    int32_t toStore = bits - static_cast<int32_t>(used_ << 3);
    base24 += 0x00800000u >> (toStore - 1);
    base24 &= 0xFFFFFFFFu << (24 - toStore);
    if (base24 & 0x01000000u) {
        size_t i = used_;
        while (i > 0 && ++buffer_[--i] == 0) {
        }
    }
    if (used_ < buffer_.size()) {
        buffer_[used_++] = static_cast<uint8_t>(base24 >> 16);
        if (toStore > 8 && used_ < buffer_.size()) buffer_[used_++] = static_cast<uint8_t>(base24 >> 8);
    }
    if (bits & 7) {
        int mask = 0xFF >> (bits & 7);
        if (nBytes - 1 < static_cast<int32_t>(buffer_.size()))
            buffer_[static_cast<size_t>(nBytes - 1)] |= static_cast<uint8_t>(mask);
    }
    used_ = static_cast<size_t>(nBytes) > used_ ? used_ : static_cast<size_t>(nBytes);
}

} // namespace kit
