#include "core/util/CheckedTime.h"
#include "core/sqlite/CarvedRecord.h"

#include <cmath>
#include <ctime>
#include <limits>

std::optional<int64_t> doubleToSeconds(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    // 2^63 is exactly representable; anything at or above it does not fit.
    if (value >= 9223372036854775808.0 || value < -9223372036854775808.0) return std::nullopt;
    return static_cast<int64_t>(value);
}

std::optional<int64_t> appleToUnixChecked(int64_t appleSeconds) {
    int64_t out = 0;
    if (__builtin_add_overflow(appleSeconds, kAppleEpochOffset, &out)) return std::nullopt;
    return out;
}

std::optional<int64_t> appleDoubleToUnix(double appleSeconds) {
    auto s = doubleToSeconds(appleSeconds);
    if (!s) return std::nullopt;
    return appleToUnixChecked(*s);
}

bool isPlausibleCarvedDate(int64_t unixSeconds) {
    return isPlausibleCarvedDate(unixSeconds, static_cast<int64_t>(std::time(nullptr)));
}

bool isPlausibleCarvedDate(int64_t unixSeconds, int64_t nowSeconds) {
    return unixSeconds >= kCarvedDateMin && unixSeconds <= nowSeconds;
}

std::optional<int64_t> carvedInteger(uint32_t kind, const CarvedValue* slot) {
    if (!slot) return std::nullopt;
    switch (kind) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
        return static_cast<int64_t>(slot->i32);
    case 8:
    case 9:
    case 10:
        return slot->i64;
    default:
        return std::nullopt;
    }
}
