#include "tests/kit/ProtoWriter.h"

namespace kit {

ProtoWriter& ProtoWriter::Raw(std::string_view bytes) {
    out.append(bytes);
    return *this;
}

ProtoWriter& ProtoWriter::Byte(uint8_t b) {
    out.push_back(char(b));
    return *this;
}

ProtoWriter& ProtoWriter::Varint(uint64_t value) {
    do {
        uint8_t b = value & 0x7f;
        value >>= 7;
        if (value) b |= 0x80;
        out.push_back(char(b));
    } while (value);
    return *this;
}

ProtoWriter& ProtoWriter::VarintWidth(uint64_t value, int width) {
    for (int i = 0; i < width; ++i) {
        uint8_t b = value & 0x7f;
        value >>= 7;
        if (i + 1 < width) b |= 0x80;
        out.push_back(char(b));
    }
    return *this;
}

ProtoWriter& ProtoWriter::Tag(uint32_t field, uint32_t wireType) {
    return Varint((uint64_t(field) << 3) | wireType);
}

ProtoWriter& ProtoWriter::VarintField(uint32_t field, uint64_t value) {
    return Tag(field, 0).Varint(value);
}

ProtoWriter& ProtoWriter::Bytes(uint32_t field, std::string_view bytes) {
    Tag(field, 2).Varint(bytes.size());
    out.append(bytes);
    return *this;
}

ProtoWriter& ProtoWriter::Nested(uint32_t field, const ProtoWriter& inner) {
    return Bytes(field, inner.str());
}

} // namespace kit
