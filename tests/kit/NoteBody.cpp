#include "tests/kit/NoteBody.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace kit {

std::string varint(uint64_t v) {
    std::string out;
    while (v >= 0x80) {
        out.push_back(static_cast<char>((v & 0x7F) | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<char>(v));
    return out;
}

std::string field(uint8_t tag, const std::string& payload) {
    return std::string(1, static_cast<char>(tag)) + varint(payload.size()) + payload;
}

std::string fieldVarint(uint8_t tag, uint64_t v) {
    return std::string(1, static_cast<char>(tag)) + varint(v);
}

std::string noteProtobuf(const std::string& text) {
    std::string attributeRun = field(0x2A, fieldVarint(0x08, text.size()));
    std::string note = field(0x12, text) + attributeRun;
    std::string document = fieldVarint(0x08, 0) + fieldVarint(0x10, 0) + field(0x1A, note);
    return fieldVarint(0x08, 0) + field(0x12, document);
}

std::string gzip(const std::string& data, const std::string& fileName, int level) {
    z_stream s{};
    EXPECT_EQ(Z_OK, deflateInit2(&s, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY));
    gz_header header{};
    std::string nameCopy = fileName;
    if (!fileName.empty()) {
        header.name = reinterpret_cast<Bytef*>(nameCopy.data());
        header.os = 3;
        EXPECT_EQ(Z_OK, deflateSetHeader(&s, &header));
    }
    std::string out(deflateBound(&s, data.size()) + 64 + fileName.size(), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(Z_STREAM_END, deflate(&s, Z_FINISH));
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

std::string noteBody(const std::string& text) {
    return gzip(noteProtobuf(text));
}

std::string incompressibleText(size_t length, uint32_t seed) {
    std::string out;
    out.reserve(length);
    uint32_t x = seed;
    for (size_t i = 0; i < length; ++i) {
        x = x * 1103515245u + 12345u;
        out.push_back(static_cast<char>(' ' + ((x >> 16) % 95)));
    }
    return out;
}

} // namespace kit
