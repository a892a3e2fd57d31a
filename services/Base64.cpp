#include "services/Base64.h"

#include <array>

namespace {

constexpr std::array<int8_t, 256> BuildDecodeTable() {
    std::array<int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (std::size_t i = 0; i < kBase64Alphabet.size(); ++i) {
        table[static_cast<unsigned char>(kBase64Alphabet[i])] = int8_t(i);
    }
    return table;
}

constexpr auto kDecode = BuildDecodeTable();

} // namespace

std::string base64Encode(const uint8_t* data, std::size_t length) {
    std::string out;
    if (length == 0 || data == nullptr) return out;
    out.reserve((length + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint32_t v = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
        out += kBase64Alphabet[(v >> 18) & 63];
        out += kBase64Alphabet[(v >> 12) & 63];
        out += kBase64Alphabet[(v >> 6) & 63];
        out += kBase64Alphabet[v & 63];
    }
    const std::size_t rest = length - i;
    if (rest > 0) {
        uint32_t v = uint32_t(data[i]) << 16;
        if (rest == 2) v |= uint32_t(data[i + 1]) << 8;
        out += kBase64Alphabet[(v >> 18) & 63];
        out += kBase64Alphabet[(v >> 12) & 63];
        if (rest == 2) {
            out += kBase64Alphabet[(v >> 6) & 63];
            out += '=';
        } else {
            out += "==";
        }
    }
    return out;
}

std::string base64Encode(const std::vector<uint8_t>& data) {
    return base64Encode(data.data(), data.size());
}

std::vector<uint8_t> base64Decode(const char* text, std::size_t length) {
    std::vector<uint8_t> out;
    if (text == nullptr) return out;
    out.reserve(length / 4 * 3 + 2);
    uint32_t group = 0;
    int count = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const int8_t v = kDecode[static_cast<unsigned char>(text[i])];
        if (v < 0) break; // "=" and every other character end the input
        group = (group << 6) | uint32_t(v);
        if (++count == 4) {
            out.push_back(uint8_t(group >> 16));
            out.push_back(uint8_t(group >> 8));
            out.push_back(uint8_t(group));
            group = 0;
            count = 0;
        }
    }
    if (count == 2) {
        out.push_back(uint8_t(group >> 4));
    } else if (count == 3) {
        out.push_back(uint8_t(group >> 10));
        out.push_back(uint8_t(group >> 2));
    }
    return out;
}

std::vector<uint8_t> base64Decode(std::string_view text) {
    return base64Decode(text.data(), text.size());
}
