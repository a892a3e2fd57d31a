#pragma once
// Builds note bodies as the Notes app stores them: a protocol-buffer document holding
// the text, gzip-compressed with zlib.
#include <cstdint>
#include <string>

namespace kit {

std::string varint(uint64_t v);
// A length-delimited field: tag byte, length varint, payload.
std::string field(uint8_t tag, const std::string& payload);
// A varint field: tag byte, value varint.
std::string fieldVarint(uint8_t tag, uint64_t v);

// document { 1: 0, 2: { 1: 0, 2: 0, 3: { 2: text, 5: attribute run } } }
std::string noteProtobuf(const std::string& text);

// gzip member of `data`; with a file name when `fileName` is not empty (FNAME flag).
// A zlib failure is a test failure.
std::string gzip(const std::string& data, const std::string& fileName = "", int level = 6);

// A note body as stored in "ZICNOTEDATA"."ZDATA".
std::string noteBody(const std::string& text);

// Text that does not compress: printable characters from a fixed pseudo-random sequence.
std::string incompressibleText(size_t length, uint32_t seed = 12345);

} // namespace kit
