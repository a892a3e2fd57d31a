#pragma once
// What the parsers share when they test and read the values the carver decodes: masks
// of the kinds a column can hold (for acceptedKinds), tests of one carved value slot,
// and checked reads of one column of a carved record.
#include "core/sqlite/CarvedRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Bit of one kind in an acceptedKinds mask.
constexpr uint32_t kindBit(uint32_t kind) {
    return 1u << kind;
}
// Every integer width and the double (kinds 2 to 10).
constexpr uint32_t kNumberKinds = kindBit(KindDouble + 1) - kindBit(KindZero);
// Every kind but blob and text (kinds 0 to 10).
constexpr uint32_t kNotTextKinds = kindBit(KindBlob) - 1;
// Blob and text.
constexpr uint32_t kTextKinds = kindBit(KindBlob) | kindBit(KindText);

// Every integer width and NULL (kinds 1 to 9).
constexpr uint32_t kIntegerOrNullKinds = kindBit(KindInt64 + 1) - kindBit(KindNull);

// The kinds a column of this declared SQL type holds, by SQLite's affinity rules: an
// INTEGER column NULL and numbers, a REAL column the same, a TEXT column NULL, text and
// blobs; a BLOB, NUMERIC or untyped column any kind.
uint32_t declaredTypeKinds(const std::string& declaredType);

inline bool isTextOrBlob(uint32_t kind) {
    return kind == KindText || kind == KindBlob;
}

// ---- One value slot, as CheckCarvedValue sees it ----

// Length of a text or blob slot up to its first NUL, never reading past `size`; 0 for
// any other kind.
size_t carvedSlotTextLength(uint32_t kind, const CarvedValue* value, uint32_t size);
// That text.
std::string carvedSlotText(uint32_t kind, const CarvedValue* value, uint32_t size);
// A text slot that does not start with NUL.
bool isNonEmptyCarvedText(uint32_t kind, const CarvedValue* value, uint32_t size);
// A text slot of exactly 36 characters (a UUID's length) without a NUL among them.
bool isCarvedUuidText(uint32_t kind, const CarvedValue* value, uint32_t size);
// A number (carvedInteger) other than 0.
bool isNonZeroCarvedInteger(uint32_t kind, const CarvedValue* value);

// ---- One column of a carved record, as OnCarvedRecord reads it ----

// True when the record has the column (its kind and its value slot).
bool hasCarvedColumn(const CarvedRecord& record, int column);
// True when the record has the column and it holds text or a blob.
bool carvedColumnIsText(const CarvedRecord& record, int column);
// The text of a text or blob column up to its first NUL; empty otherwise.
std::string carvedColumnText(const CarvedRecord& record, int column);
// The number of a column (carvedInteger); nullopt when the record lacks the column or
// it holds no number.
std::optional<int64_t> carvedColumnInteger(const CarvedRecord& record, int column);
// The whole 8-byte slot of a number column, as CheckCarvedValue may have rewritten it
// (a date moved to Unix seconds); 0 when the record lacks the column or it holds no
// number.
int64_t carvedNumberSlot(const CarvedRecord& record, int column);
