#include "core/backup/PlistGuard.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

uint64_t readBE(const uint8_t* p, unsigned width) {
    uint64_t v = 0;
    for (unsigned i = 0; i < width; ++i)
        v = (v << 8) | p[i];
    return v;
}

class BinaryPlist {
  public:
    BinaryPlist(const uint8_t* data, size_t size) : d(data), n(size) {}

    bool Check(int maxDepth) {
        if (n < 8 + 32) return false;
        const uint8_t* t = d + n - 32;
        offsetSize = t[6];
        refSize = t[7];
        objectCount = readBE(t + 8, 8);
        uint64_t top = readBE(t + 16, 8);
        uint64_t tableOffset = readBE(t + 24, 8);
        if (offsetSize < 1 || offsetSize > 8 || refSize < 1 || refSize > 8) return false;
        if (objectCount == 0 || top >= objectCount) return false;
        uint64_t tableEnd = n - 32;
        if (tableOffset < 8 || tableOffset > tableEnd) return false;
        if (objectCount > (tableEnd - tableOffset) / offsetSize) return false;
        table = d + tableOffset;

        // Longest chain of containers from the top object, by an explicit-stack
        // depth-first walk. state: 0 unvisited, 1 on the current path, 2 done.
        std::vector<uint8_t> state(objectCount, 0);
        std::vector<uint32_t> depthBelow(objectCount, 0);
        struct Frame {
            uint64_t object;
            std::vector<uint64_t> children;
            size_t next = 0;
        };
        std::vector<Frame> stack;
        auto push = [&](uint64_t obj) -> bool {
            Frame f{obj, {}, 0};
            if (!Children(obj, f.children)) return false;
            state[obj] = 1;
            stack.push_back(std::move(f));
            return static_cast<int>(stack.size()) <= maxDepth + 1;
        };
        if (!push(top)) return false;
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next < f.children.size()) {
                uint64_t c = f.children[f.next++];
                if (state[c] == 1) return false; // a reference cycle
                if (state[c] == 0 && !push(c)) return false;
                continue;
            }
            uint32_t deepest = 0;
            bool container = false;
            for (uint64_t c : f.children) {
                container = true;
                if (depthBelow[c] > deepest) deepest = depthBelow[c];
            }
            const uint8_t kind = d[Offset(f.object)] >> 4;
            container = container || kind == 0xA || kind == 0xC || kind == 0xD;
            depthBelow[f.object] = container ? deepest + 1 : 0;
            if (depthBelow[f.object] > static_cast<uint32_t>(maxDepth)) return false;
            state[f.object] = 2;
            stack.pop_back();
        }
        return true;
    }

  private:
    uint64_t Offset(uint64_t obj) const { return readBE(table + obj * offsetSize, offsetSize); }

    // References held by a container object (none for scalars). False when the object
    // or its reference list lies outside the data.
    bool Children(uint64_t obj, std::vector<uint64_t>& out) {
        uint64_t off = Offset(obj);
        if (off < 8 || off >= n - 32) return false;
        uint8_t marker = d[off];
        uint8_t kind = marker >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD) return true;
        uint64_t count = marker & 0x0F;
        uint64_t pos = off + 1;
        if (count == 0x0F) {
            if (pos >= n - 32) return false;
            uint8_t intMarker = d[pos];
            if ((intMarker >> 4) != 0x1) return false;
            unsigned width = 1u << (intMarker & 0x0F);
            if (width > 8 || pos + 1 + width > n - 32) return false;
            count = readBE(d + pos + 1, width);
            pos += 1 + width;
        }
        uint64_t refs = kind == 0xD ? count * 2 : count;
        if (count > (n - 32) || refs > (n - 32 - pos) / refSize) return false;
        out.reserve(refs);
        for (uint64_t i = 0; i < refs; ++i) {
            uint64_t r = readBE(d + pos + i * refSize, refSize);
            if (r >= objectCount) return false;
            out.push_back(r);
        }
        return true;
    }

    const uint8_t* d;
    size_t n;
    unsigned offsetSize = 0, refSize = 0;
    uint64_t objectCount = 0;
    const uint8_t* table = nullptr;
};

// XML: the deepest nesting of <array> and <dict> elements, counted over the tags alone
// (self-closing ones do not nest).
bool xmlNestingWithin(const char* data, size_t size, int maxDepth) {
    int depth = 0;
    for (size_t i = 0; i + 1 < size; ++i) {
        if (data[i] != '<') continue;
        bool closing = data[i + 1] == '/';
        size_t nameStart = i + (closing ? 2 : 1);
        auto is = [&](const char* name) {
            size_t len = std::strlen(name);
            if (nameStart + len >= size || std::memcmp(data + nameStart, name, len) != 0) return false;
            char after = data[nameStart + len];
            return after == '>' || after == '/' || after == ' ' || after == '\t' || after == '\r' ||
                   after == '\n';
        };
        if (!is("array") && !is("dict")) continue;
        size_t end = i;
        while (end < size && data[end] != '>')
            ++end;
        bool selfClosing = end < size && end > i && data[end - 1] == '/';
        if (closing) {
            if (depth > 0) --depth;
        } else if (!selfClosing) {
            if (++depth > maxDepth) return false;
        }
        i = end;
    }
    return true;
}

} // namespace

bool plistNestingWithin(const char* data, size_t size, int maxDepth) {
    if (!data || size == 0) return true;
    if (size >= 8 && std::memcmp(data, "bplist00", 8) == 0)
        return BinaryPlist(reinterpret_cast<const uint8_t*>(data), size).Check(maxDepth);
    return xmlNestingWithin(data, size, maxDepth);
}
