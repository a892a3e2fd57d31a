#include "core/ManifestFileBlob.h"

#include "core/CheckedTime.h"

#include <plist/plist.h>

#include <cstring>
#include <limits>
#include <optional>

namespace {

// A time value of the file attributes as 32-bit seconds; values that do not fit read as 0.
int32_t attributeTime(plist_t node) {
    if (!node) return 0;
    int64_t v = 0;
    if (plist_get_node_type(node) == PLIST_UINT) {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        v = static_cast<int64_t>(u); // negative values are stored two's complement
    } else if (plist_get_node_type(node) == PLIST_REAL) {
        double d = 0;
        plist_get_real_val(node, &d);
        auto s = doubleToSeconds(d);
        if (!s) return 0;
        v = *s;
    } else {
        return 0;
    }
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return 0;
    return static_cast<int32_t>(v);
}

ManifestFileAttributes attributesOf(plist_t attrs) {
    ManifestFileAttributes a;
    if (!attrs || plist_get_node_type(attrs) != PLIST_DICT) return a;
    plist_t size = plist_dict_get_item(attrs, "Size");
    if (size && plist_get_node_type(size) == PLIST_UINT) plist_get_uint_val(size, &a.size);
    a.mtime = attributeTime(plist_dict_get_item(attrs, "LastModified"));
    a.atime = attributeTime(plist_dict_get_item(attrs, "LastStatusChange"));
    a.ctime = attributeTime(plist_dict_get_item(attrs, "Birth"));
    return a;
}

bool looksBinary(const void* blob, size_t bytes) {
    return blob && bytes >= 8 && bytes <= std::numeric_limits<uint32_t>::max() &&
           std::memcmp(blob, "bplist00", 8) == 0;
}

// The layout of a binary property list ("bplist00"): objects, an offset table giving
// where each object starts, and a 32-byte trailer (offset width, reference width,
// object count, top object, offset table position). Nothing is built: the walk only
// decides whether every object reachable from the top is one that libplist decodes
// without fail, and finds "$objects"[1]. It answers "unsure" (nullopt) for anything
// out of the ordinary (other object kinds, odd widths, reference cycles, deep nesting,
// more work than a file attribute archive needs), and the caller then decodes the
// whole archive as it is.
class ArchiveLayout {
  public:
    ArchiveLayout(const uint8_t* data, size_t length) : data_(data), length_(length) {}

    std::optional<uint64_t> AttributeDictionary() {
        if (!ReadTrailer() || !Check(top_, 0)) return std::nullopt;
        Object root;
        if (!ObjectAt(top_, root) || root.type != kDict || root.count > kMaxRootKeys) return std::nullopt;
        // The first key that reads "$objects" as a C string decides, as in a
        // dictionary lookup.
        for (uint64_t j = 0; j < root.count; ++j) {
            Object key;
            if (!ObjectAt(Ref(root.payload, j), key) || key.type != kAscii) return std::nullopt;
            const void* text = data_ + key.payload;
            if (std::memchr(text, 0, key.count)) return std::nullopt;
            if (key.count != 8 || std::memcmp(text, "$objects", 8) != 0) continue;
            Object objects, attributes;
            if (!ObjectAt(Ref(root.payload, root.count + j), objects) || objects.type != kArray ||
                objects.count < 2)
                return std::nullopt;
            const uint64_t index = Ref(objects.payload, 1);
            if (!ObjectAt(index, attributes) || attributes.type != kDict) return std::nullopt;
            return index;
        }
        return std::nullopt;
    }

  private:
    enum : uint8_t {
        kInt = 0x10,
        kReal = 0x20,
        kDate = 0x30,
        kData = 0x40,
        kAscii = 0x50,
        kUtf16 = 0x60,
        kUid = 0x80,
        kArray = 0xA0,
        kDict = 0xD0,
    };
    static constexpr size_t kHeader = 8, kTrailer = 32;
    static constexpr int kMaxDepth = 16, kMaxVisits = 1024;
    static constexpr uint64_t kMaxRootKeys = 64;

    struct Object {
        uint8_t type = 0;
        uint64_t count = 0; // entries of an array or dictionary, bytes or characters of a string
        size_t payload = 0; // where its contents start
    };

    uint64_t BigEndian(size_t at, size_t bytes) const {
        uint64_t v = 0;
        for (size_t i = 0; i < bytes; ++i)
            v = (v << 8) | data_[at + i];
        return v;
    }
    static bool PlainWidth(uint64_t n) { return n == 1 || n == 2 || n == 4 || n == 8; }
    // Reference `i` of a container whose references start at `payload` (bounds checked
    // by ObjectAt).
    uint64_t Ref(size_t payload, uint64_t i) const {
        return BigEndian(payload + size_t(i) * refSize_, refSize_);
    }

    bool ReadTrailer() {
        if (length_ < kHeader + kTrailer) return false;
        const size_t trailer = length_ - kTrailer;
        offsetSize_ = data_[trailer + 6];
        refSize_ = data_[trailer + 7];
        const uint64_t count = BigEndian(trailer + 8, 8), top = BigEndian(trailer + 16, 8),
                       table = BigEndian(trailer + 24, 8);
        if (!PlainWidth(offsetSize_) || !PlainWidth(refSize_)) return false;
        if (table < kHeader || table >= trailer) return false;
        if (count == 0 || top >= count || count > (trailer - table) / offsetSize_) return false;
        objectCount_ = count;
        top_ = top;
        table_ = size_t(table);
        return true;
    }

    // Reads the header of object `index` and checks that its contents lie before the
    // offset table.
    bool ObjectAt(uint64_t index, Object& o) const {
        if (index >= objectCount_) return false;
        const uint64_t at = BigEndian(table_ + size_t(index) * offsetSize_, offsetSize_);
        if (at < kHeader || at >= table_) return false;
        const uint8_t marker = data_[at];
        o.type = marker & 0xF0;
        uint64_t low = marker & 0x0F;
        size_t p = size_t(at) + 1;
        const bool counted =
            o.type == kData || o.type == kAscii || o.type == kUtf16 || o.type == kArray || o.type == kDict;
        if (counted && low == 0x0F) { // the count follows as an integer object
            if (p >= table_) return false;
            const uint8_t countMarker = data_[p];
            if ((countMarker & 0xF0) != kInt || (countMarker & 0x0F) > 3) return false;
            const size_t width = size_t(1) << (countMarker & 0x0F);
            if (table_ - (p + 1) < width) return false;
            low = BigEndian(p + 1, width);
            p += 1 + width;
        }
        o.count = low;
        o.payload = p;
        const uint64_t room = table_ - p;
        switch (o.type) {
        case kInt:
            return low <= 3 && (uint64_t(1) << low) <= room;
        case kReal:
            return (low == 2 || low == 3) && (uint64_t(1) << low) <= room;
        case kDate:
            return low == 3 && 8 <= room;
        case kData:
            return low != 0 && low <= room;
        case kAscii:
            return low <= room;
        case kUtf16:
            return low != 0 && low <= room / 2;
        case kUid:
            return (low == 0 || low == 1 || low == 3) && low + 1 <= room;
        case kArray:
            return low <= room / refSize_;
        case kDict:
            return low <= room / refSize_ / 2;
        default:
            return false;
        }
    }

    // Every object reachable from `index` decodes; `depth` objects lie above it.
    bool Check(uint64_t index, int depth) {
        if (depth >= kMaxDepth || ++visits_ > kMaxVisits) return false;
        for (int i = 0; i < depth; ++i) {
            if (path_[i] == index) return false; // a cycle: the decoder refuses it
        }
        path_[depth] = index;
        Object o;
        if (!ObjectAt(index, o)) return false;
        if (o.type == kArray) {
            for (uint64_t j = 0; j < o.count; ++j) {
                if (!Check(Ref(o.payload, j), depth + 1)) return false;
            }
        } else if (o.type == kDict) {
            for (uint64_t j = 0; j < o.count; ++j) {
                const uint64_t key = Ref(o.payload, j), value = Ref(o.payload, o.count + j);
                Object k;
                if (!Check(key, depth + 1) || !ObjectAt(key, k) || (k.type != kAscii && k.type != kUtf16))
                    return false;
                if (!Check(value, depth + 1)) return false;
            }
        }
        return true;
    }

    const uint8_t* data_;
    size_t length_;
    uint8_t offsetSize_ = 0, refSize_ = 0;
    uint64_t objectCount_ = 0, top_ = 0;
    size_t table_ = 0;
    uint64_t path_[kMaxDepth] = {};
    int visits_ = 0;
};

} // namespace

ManifestFileAttributes decodeWholeManifestFileBlob(const void* blob, size_t bytes) {
    ManifestFileAttributes a;
    if (!looksBinary(blob, bytes)) return a;
    plist_t root = nullptr;
    plist_from_bin(static_cast<const char*>(blob), static_cast<uint32_t>(bytes), &root);
    if (!root) return a;
    if (plist_get_node_type(root) == PLIST_DICT) {
        plist_t objects = plist_dict_get_item(root, "$objects");
        if (objects && plist_get_node_type(objects) == PLIST_ARRAY && plist_array_get_size(objects) >= 2)
            a = attributesOf(plist_array_get_item(objects, 1));
    }
    plist_free(root);
    return a;
}

ManifestFileAttributes decodeManifestFileBlob(const void* blob, size_t bytes, std::string& scratch) {
    if (!looksBinary(blob, bytes)) return {};
    std::optional<uint64_t> attributes =
        ArchiveLayout(static_cast<const uint8_t*>(blob), bytes).AttributeDictionary();
    if (!attributes) return decodeWholeManifestFileBlob(blob, bytes);

    // The same archive with the attribute dictionary as its top object (the trailer's
    // bytes 16 to 23): libplist then builds that dictionary alone.
    scratch.assign(static_cast<const char*>(blob), bytes);
    for (size_t i = 0; i < 8; ++i)
        scratch[bytes - 16 + i] = char(*attributes >> (56 - 8 * i));
    plist_t root = nullptr;
    plist_from_bin(scratch.data(), static_cast<uint32_t>(bytes), &root);
    if (!root) return decodeWholeManifestFileBlob(blob, bytes);
    ManifestFileAttributes a = attributesOf(root);
    plist_free(root);
    return a;
}
