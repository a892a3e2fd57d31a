#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kit {

// Writes protobuf wire-format bytes for fixtures: varints, tags, length-delimited and
// nested fields, and raw bytes where a test needs a broken or unusual layout.
class ProtoWriter {
  public:
    ProtoWriter& Raw(std::string_view bytes);
    ProtoWriter& Byte(uint8_t b);
    ProtoWriter& Varint(uint64_t value);
    // A varint padded to exactly `width` bytes (continuation bits set on all but the last).
    ProtoWriter& VarintWidth(uint64_t value, int width);
    ProtoWriter& Tag(uint32_t field, uint32_t wireType);
    ProtoWriter& VarintField(uint32_t field, uint64_t value);
    ProtoWriter& Bytes(uint32_t field, std::string_view bytes);
    ProtoWriter& Nested(uint32_t field, const ProtoWriter& inner);

    const std::string& str() const { return out; }
    size_t size() const { return out.size(); }

  private:
    std::string out;
};

} // namespace kit
