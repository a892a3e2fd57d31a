#include "core/sqlite/CarvedRecord.h"

#include <cstring>

namespace {
bool holdsBytes(const CarvedRecord& r, int column) {
    if (column < 0 || size_t(column) >= r.kinds.size() || size_t(column) >= r.buffers.size()) return false;
    uint32_t kind = r.kinds[size_t(column)];
    return (kind == KindBlob || kind == KindText) && !r.buffers[size_t(column)].empty();
}
} // namespace

std::string CarvedRecord::Text(int column) const {
    if (!holdsBytes(*this, column)) return {};
    const std::vector<char>& b = buffers[size_t(column)];
    const void* nul = memchr(b.data(), 0, b.size());
    return std::string(b.data(), nul ? size_t(static_cast<const char*>(nul) - b.data()) : b.size());
}

std::string CarvedRecord::Bytes(int column) const {
    if (!holdsBytes(*this, column)) return {};
    const std::vector<char>& b = buffers[size_t(column)];
    size_t n = b.size() - 1; // without the closing NUL
    if (size_t(column) < sizes.size() && sizes[size_t(column)] < n) n = sizes[size_t(column)];
    return std::string(b.data(), n);
}
