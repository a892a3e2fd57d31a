#pragma once
// Builds the archived attributed string that the Messages database keeps in a message's
// attributedBody ("streamtyped" archive).
#include <string>

namespace kit {

// The archive of `text`: header, the class chain NSMutableAttributedString ->
// NSAttributedString -> NSObject, then the string object (NSMutableString -> NSString,
// or a plain NSString) typed '+' with its length (one byte, 0x81 + two bytes or
// 0x82 + four bytes, little-endian) and its UTF-8 bytes, then an attribute run.
std::string archivedBody(const std::string& text, bool mutableString = true);

} // namespace kit
