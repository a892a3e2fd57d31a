#pragma once
#include <cstdint>
#include <optional>

struct CarvedRecord;
union CarvedValue;

// Checked time arithmetic shared by every parser. No function here has undefined
// behaviour for any input: NaN, infinities, huge or crafted values are rejected.

// Seconds between the Apple epoch (2001-01-01 UTC) and the Unix epoch.
constexpr int64_t kAppleEpochOffset = 978307200;
// Earliest date a carved row may carry (2000-12-31 16:00:00 UTC).
constexpr int64_t kCarvedDateMin = 978278400;

// A double to whole seconds, truncated toward zero; nullopt for NaN, infinities and
// values outside the int64 range.
std::optional<int64_t> doubleToSeconds(double value);

// Apple time to Unix time; nullopt on overflow.
std::optional<int64_t> appleToUnixChecked(int64_t appleSeconds);

// Apple time given as a double (a live REAL or a carved double) to Unix seconds.
std::optional<int64_t> appleDoubleToUnix(double appleSeconds);

// True when a Unix time lies from kCarvedDateMin up to now.
bool isPlausibleCarvedDate(int64_t unixSeconds);
// The same bound with the caller's idea of now (a scan's clock).
bool isPlausibleCarvedDate(int64_t unixSeconds, int64_t nowSeconds);

// The one defined reading of a carved 8-byte value slot as a signed integer:
// kinds 2 to 7 sign-extended from their 32-bit low half, 8 and 9 the whole slot, 10 the
// already-truncated double (INT64_MIN when it was not representable); every other kind
// (NULL, blob, text, not read) gives nullopt.
std::optional<int64_t> carvedInteger(uint32_t kind, const CarvedValue* slot);

// True for the integer kinds 2 to 9 and the double kind 10.
inline bool isCarvedNumberKind(uint32_t kind) {
    return kind >= 2 && kind <= 10;
}
