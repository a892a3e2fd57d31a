#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Kinds of a carved column value, derived from its SQLite serial type.
enum CarvedValueKind : uint32_t {
    KindNotRead = 0, // the INTEGER PRIMARY KEY column (stored as NULL in the record)
    KindNull = 1,
    KindZero = 2,
    KindOne = 3,
    KindInt8 = 4,
    KindInt16 = 5,
    KindInt24 = 6,
    KindInt32 = 7,
    KindInt48 = 8,
    KindInt64 = 9,
    KindDouble = 10, // truncated toward zero; INT64_MIN when not representable
    KindBlob = 11,
    KindText = 12,
};

// One 8-byte value slot of a carved column. Kinds 2 to 7 write `i32` into the low half
// (the high half stays 0); kinds 8, 9 and 10 fill `i64`; kinds 11 and 12 hold a pointer
// to a NUL-terminated buffer owned by the record (`text` for kind 12 stops at the
// first NUL of the content; `blob` keeps every byte).
union CarvedValue {
    int64_t i64;
    int32_t i32;
    char* text;
    uint8_t* blob;
};

// One candidate row decoded by the carver, lent to OnCarvedRecord.
struct CarvedRecord {
    bool valid = false;
    // The record's content ended early: its overflow chain broke (a page out of the
    // file, a b-tree page or a freelist trunk in its place). Columns whose bytes lay past
    // the break hold KindNotRead; a text or blob the break ran through holds what was
    // read of it (a text cut at a character boundary).
    bool cut = false;
    uint32_t page = 0; // full page number
    int32_t columnCount = 0;
    std::vector<CarvedValue> values;
    std::vector<uint32_t> kinds;
    std::vector<uint32_t> sizes; // content size in bytes per column
    // Storage behind the text and blob slots (content bytes plus a NUL).
    std::vector<std::vector<char>> buffers;

    // Text of a kind 11 or 12 column (blob bytes up to the first NUL); empty otherwise.
    std::string Text(int column) const;
    // Bytes of a kind 11 or 12 column; empty otherwise.
    std::string Bytes(int column) const;
};
