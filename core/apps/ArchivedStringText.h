#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Reads the text of an archived attributed string (the "streamtyped" archive that the
// Messages database keeps in a message's attributedBody): the bytes of the first
// NSString or NSMutableString object of the archive. Every read is bounded by the
// data; anything the reader does not recognise gives no text.
class ArchivedStringText {
  public:
    // The text, or nullopt when the data is no such archive, holds no string object,
    // or the string's length runs past the data. An empty string gives nullopt too.
    static std::optional<std::string> Read(const uint8_t* data, size_t size);

    // The 13 bytes every such archive opens with.
    static bool HasArchiveHeader(const uint8_t* data, size_t size);
};
