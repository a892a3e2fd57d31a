#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Decoding of note bodies: the gzip-compressed protocol buffer of the newer Notes store
// and the HTML of the older one.

// Largest note body the decoder inflates; anything larger is refused, so nothing is ever
// allocated from a size found in the file.
constexpr size_t kMaxInflatedNoteBytes = 64u * 1024u * 1024u;

// Smallest possible gzip member: a 10-byte header and an 8-byte trailer.
constexpr size_t kMinGzipMemberBytes = 18;

// True when the bytes start like a gzip member this decoder reads: magic 1F 8B, method
// deflate (08), no reserved flag bits, and at least kMinGzipMemberBytes long.
bool looksLikeGzipMember(const uint8_t* data, size_t length);

// Inflates one complete gzip member (header with any optional fields, deflate data,
// CRC-32 and size trailer, all checked) into `out`, growing the buffer as needed up to
// `maxOutput` bytes. False for a truncated or corrupt member, or one whose text would
// exceed `maxOutput`; `out` then holds nothing useful.
bool gunzipMember(const char* in, size_t inLength, std::string* out,
                  size_t maxOutput = kMaxInflatedNoteBytes);

// Walks the fixed field path of a note document to its text: field 1 (varint), field 2
// (message) holding field 1 (varint), field 2 (varint) and field 3 (message) whose field
// 2 is the text. Every length is bounded by `length`. The text is cut at its first NUL.
bool noteTextFromProtobuf(const uint8_t* data, size_t length, std::string* text);

// Older notes: HTML to plain text. False when the content has no "<div>". The text
// before the first "<div>" is the first line; behind it div elements and line breaks
// become newlines and "&nbsp;" a space.
bool cleanNoteHtml(const char* html, std::string* text);
