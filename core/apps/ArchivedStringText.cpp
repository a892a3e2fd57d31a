#include "core/apps/ArchivedStringText.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

constexpr uint8_t kHeader[13] = {0x04, 0x0b, 's', 't', 'r', 'e', 'a', 'm', 't', 'y', 'p', 'e', 'd'};

// How far after the class name the string's "+" type marker may lie: the rest of the
// class chain (a superclass name and its version) and the object's type tag.
constexpr size_t kMarkerWindow = 64;

// Position just past the first class name `name` (stored as its length byte, then the
// name) at or after `from`; npos when there is none.
size_t findClassName(std::string_view data, size_t from, std::string_view name) {
    std::string token(1, static_cast<char>(name.size()));
    token += name;
    size_t at = data.find(token, from);
    return at == std::string_view::npos ? at : at + token.size();
}

} // namespace

bool ArchivedStringText::HasArchiveHeader(const uint8_t* data, size_t size) {
    return data && size >= sizeof kHeader && std::memcmp(data, kHeader, sizeof kHeader) == 0;
}

std::optional<std::string> ArchivedStringText::Read(const uint8_t* data, size_t size) {
    if (!HasArchiveHeader(data, size)) return std::nullopt;
    const std::string_view all(reinterpret_cast<const char*>(data), size);

    // The first string object, whichever of the two classes it is.
    const size_t plain = findClassName(all, sizeof kHeader, "NSString");
    const size_t mutableName = findClassName(all, sizeof kHeader, "NSMutableString");
    size_t pos = std::min(plain, mutableName);
    if (pos == std::string_view::npos) return std::nullopt;

    // Its content is typed "+" (0x84, a one-byte type string: '+'), then the length.
    const size_t windowEnd = std::min(size, pos + kMarkerWindow);
    const std::string_view marker("\x84\x01+", 3);
    const size_t at = all.substr(0, windowEnd).find(marker, pos);
    if (at == std::string_view::npos) return std::nullopt;
    pos = at + marker.size();

    // The length: one byte below 0x80, or 0x81 and two bytes, or 0x82 and four bytes,
    // little-endian.
    if (pos >= size) return std::nullopt;
    const uint8_t lead = data[pos++];
    uint64_t length = 0;
    if (lead < 0x80) {
        length = lead;
    } else if (lead == 0x81 || lead == 0x82) {
        const size_t width = lead == 0x81 ? 2 : 4;
        if (size - pos < width) return std::nullopt;
        for (size_t i = 0; i < width; ++i)
            length |= uint64_t(data[pos + i]) << (8 * i);
        pos += width;
    } else {
        return std::nullopt;
    }
    if (length == 0 || length > size - pos) return std::nullopt;
    return std::string(all.substr(pos, size_t(length)));
}
