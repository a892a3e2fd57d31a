#include "media/silk/SilkRangeDecoder.h"

#include <cstring>

#include "media/silk/SilkFixedPoint.h"

namespace silk {

void silkRangeDecInit(SilkRangeDecoder& rc, const uint8_t* payload, int32_t bytes) {
    if (bytes > kSilkMaxPayloadBytes) {
        rc.error = kSilkPayloadTooLong;
        return;
    }
    if (bytes < 0) bytes = 0;
    if (bytes > 0) std::memcpy(rc.buffer.data(), payload, static_cast<size_t>(bytes));
    rc.bufferLength = bytes;
    rc.bufferIx = 0;
    // The first four bytes come from the copy: past a short payload's end they are
    // whatever earlier payloads left there, never bytes past the caller's buffer.
    rc.baseQ32 = (uint32_t{rc.buffer[0]} << 24) | (uint32_t{rc.buffer[1]} << 16) |
                 (uint32_t{rc.buffer[2]} << 8) | uint32_t{rc.buffer[3]};
    rc.rangeQ16 = 0xFFFF;
    rc.error = 0;
}

int32_t silkRangeDecode(SilkRangeDecoder& rc, const uint16_t* cdf, int32_t probIx) {
    if (rc.error) return 0;
    uint32_t base = rc.baseQ32;
    uint32_t range = rc.rangeQ16;
    int32_t bufferIx = rc.bufferIx;
    const uint8_t* bytes = rc.buffer.data() + 4;

    uint32_t low, high = cdf[probIx];
    if (range * high > base) {
        for (;;) {
            low = cdf[--probIx];
            if (range * low <= base) break;
            high = low;
            if (high == 0) {
                rc.error = kSilkRangeCdfOutOfRange;
                return 0;
            }
        }
    } else {
        for (;;) {
            low = high;
            high = cdf[++probIx];
            if (range * high > base) {
                probIx--;
                break;
            }
            if (high == 0xFFFF) {
                rc.error = kSilkRangeCdfOutOfRange;
                return 0;
            }
        }
    }
    int32_t symbol = probIx;
    base -= range * low;
    uint32_t range32 = range * (high - low);

    if (range32 & 0xFF000000u) {
        range = range32 >> 16;
    } else {
        if (range32 & 0xFFFF0000u) {
            range = range32 >> 8;
            if (base >> 24) {
                rc.error = kSilkRangeNormalisationFailed;
                return 0;
            }
        } else {
            range = range32;
            if (base >> 16) {
                rc.error = kSilkRangeNormalisationFailed;
                return 0;
            }
            base <<= 8;
            if (bufferIx < rc.bufferLength) base |= bytes[bufferIx++];
        }
        base <<= 8;
        if (bufferIx < rc.bufferLength) base |= bytes[bufferIx++];
    }
    if (range == 0) {
        rc.error = kSilkRangeZeroInterval;
        return 0;
    }
    rc.baseQ32 = base;
    rc.rangeQ16 = range;
    rc.bufferIx = bufferIx;
    return symbol;
}

void silkRangeDecodeMulti(int32_t* symbols, SilkRangeDecoder& rc, const uint16_t* const* cdfs,
                          const int32_t* startIndices, int32_t count) {
    for (int32_t k = 0; k < count; ++k)
        symbols[k] = silkRangeDecode(rc, cdfs[k], startIndices[k]);
}

int32_t silkRangeGetLength(const SilkRangeDecoder& rc, int32_t& bytes) {
    int32_t bits = (rc.bufferIx << 3) + clz32(static_cast<int32_t>(rc.rangeQ16 - 1)) - 14;
    bytes = (bits + 7) >> 3;
    return bits;
}

void silkRangeCheckTail(SilkRangeDecoder& rc) {
    int32_t bytes = 0;
    int32_t bits = silkRangeGetLength(rc, bytes);
    if (bytes - 1 >= rc.bufferLength || bytes < 1) {
        rc.error = kSilkRangeTailCheckFailed;
        return;
    }
    if (bits & 7) {
        int mask = 0xFF >> (bits & 7);
        if ((rc.buffer[static_cast<size_t>(bytes - 1)] & mask) != mask) rc.error = kSilkRangeTailCheckFailed;
    }
}

} // namespace silk
