#include "core/backup/ManifestFileBlob.h"
#include "core/backup/PlistGuard.h"

#include "core/util/CheckedTime.h"

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

// The four attribute values from their nodes (null when the key is missing).
ManifestFileAttributes attributesFrom(plist_t size, plist_t lastModified, plist_t lastStatusChange,
                                      plist_t birth) {
    ManifestFileAttributes a;
    a.decoded = true;
    if (size && plist_get_node_type(size) == PLIST_UINT) plist_get_uint_val(size, &a.size);
    a.mtime = attributeTime(lastModified);
    a.atime = attributeTime(lastStatusChange);
    a.ctime = attributeTime(birth);
    return a;
}

ManifestFileAttributes attributesOf(plist_t attrs) {
    if (!attrs || plist_get_node_type(attrs) != PLIST_DICT) return {};
    return attributesFrom(plist_dict_get_item(attrs, "Size"), plist_dict_get_item(attrs, "LastModified"),
                          plist_dict_get_item(attrs, "LastStatusChange"),
                          plist_dict_get_item(attrs, "Birth"));
}

bool looksBinary(const void* blob, size_t bytes) {
    return blob && bytes >= 8 && bytes <= std::numeric_limits<uint32_t>::max() &&
           std::memcmp(blob, "bplist00", 8) == 0;
}

// The four keys read from the attribute dictionary, in the order of ManifestFileAttributes.
const char* const kAttributeKeys[] = {"Size", "LastModified", "LastStatusChange", "Birth"};
constexpr size_t kAttributeCount = 4;

// The layout of a binary property list ("bplist00"): objects, an offset table giving
// where each object starts, and a 32-byte trailer (offset width, reference width,
// object count, top object, offset table position). Nothing is built: the check only
// decides whether libplist would decode the whole archive without fail, and finds the
// values that dictionary lookups of the four attribute keys in "$objects"[1] would
// find. It answers "unsure" (false) for anything out of the ordinary, and the caller
// then decodes the whole archive as it is. The ordinary is: at most kMaxObjects
// objects, each of them (reachable or not) an integer, real, date, data, string, UID,
// array or dictionary that lies wholly before the offset table, dictionary keys that
// are strings, and every reference to an array or dictionary pointing to a later
// object (so no reference cycle, which the decoder refuses, and a bounded depth).
class ArchiveLayout {
  public:
    static constexpr size_t kNone = ~size_t(0);

    ArchiveLayout(const uint8_t* data, size_t length) : data_(data), length_(length) {}

    // On true: `values` holds the references of the values found, `position[k]` the
    // place among them of attribute key k, or kNone.
    bool FindAttributes(uint64_t (&values)[kAttributeCount], size_t& valueCount,
                        size_t (&position)[kAttributeCount]) {
        if (!ReadTrailer() || !CheckObjects()) return false;
        const Object& root = objects_[top_];
        if (root.type != kDict) return false;
        // "$objects"[1], found as a dictionary lookup finds it.
        uint64_t objectsRef = 0;
        bool found = false;
        if (!Lookup(root, "$objects", 1, &objectsRef, &found)) return false;
        if (!found) return false;
        const Object& objects = objects_[objectsRef];
        if (objects.type != kArray || objects.count < 2) return false;
        const Object& attributes = objects_[Ref(objects.payload, 1)];
        if (attributes.type != kDict) return false;
        uint64_t refs[kAttributeCount];
        bool present[kAttributeCount];
        if (!Lookup(attributes, nullptr, kAttributeCount, refs, present)) return false;
        valueCount = 0;
        for (size_t k = 0; k < kAttributeCount; ++k) {
            position[k] = present[k] ? valueCount : kNone;
            if (present[k]) values[valueCount++] = refs[k];
        }
        return true;
    }

    size_t TableOffset() const { return table_; }
    uint64_t ObjectCount() const { return objectCount_; }
    uint8_t OffsetSize() const { return offsetSize_; }
    uint8_t RefSize() const { return refSize_; }

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
    static constexpr size_t kHeader = 8, kTrailer = 32, kMaxObjects = 256;

    // Left uninitialised until read: every object below the count is read before use.
    struct Object {
        uint8_t type;
        uint64_t count; // entries of an array or dictionary, bytes or characters of a string
        size_t payload; // where its contents start
    };

    uint64_t BigEndian(size_t at, size_t bytes) const {
        const uint8_t* p = data_ + at;
        switch (bytes) {
        case 1:
            return p[0];
        case 2:
            return uint64_t(p[0]) << 8 | p[1];
        default: {
            uint64_t v = 0;
            for (size_t i = 0; i < bytes; ++i)
                v = (v << 8) | p[i];
            return v;
        }
        }
    }
    static bool PlainWidth(uint64_t n) { return n == 1 || n == 2 || n == 4 || n == 8; }
    static bool IsContainer(uint8_t type) { return type == kArray || type == kDict; }
    // Reference `i` of a container whose references start at `payload` (bounds checked
    // by ReadObject).
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
        refShift_ = refSize_ == 1 ? 0 : refSize_ == 2 ? 1 : refSize_ == 4 ? 2 : 3;
        if (table < kHeader || table >= trailer) return false;
        if (count == 0 || count > kMaxObjects || top >= count || count > (trailer - table) / offsetSize_)
            return false;
        objectCount_ = count;
        top_ = top;
        table_ = size_t(table);
        return true;
    }

    // Reads the header of object `index` and checks that its contents lie before the
    // offset table.
    bool ReadObject(uint64_t index, Object& o) const {
        const uint64_t at = BigEndian(table_ + size_t(index) * offsetSize_, offsetSize_);
        if (at < kHeader || at >= table_) return false;
        const uint8_t marker = data_[at];
        o.type = marker & 0xF0;
        uint64_t low = marker & 0x0F;
        size_t p = size_t(at) + 1;
        if (low == 0x0F && (o.type == kData || o.type == kAscii || o.type == kUtf16 || o.type == kArray ||
                            o.type == kDict)) { // the count follows as an integer object
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
            return low <= room >> refShift_;
        case kDict:
            return low <= room >> (refShift_ + 1);
        default:
            return false;
        }
    }

    bool CheckObjects() {
        for (uint64_t i = 0; i < objectCount_; ++i) {
            if (!ReadObject(i, objects_[i])) return false;
        }
        for (uint64_t i = 0; i < objectCount_; ++i) {
            const Object& o = objects_[i];
            if (!IsContainer(o.type)) continue;
            const uint64_t refs = o.type == kDict ? 2 * o.count : o.count;
            for (uint64_t j = 0; j < refs; ++j) {
                const uint64_t r = Ref(o.payload, j);
                if (r >= objectCount_) return false;
                const uint8_t type = objects_[r].type;
                if (IsContainer(type) && r <= i) return false;
                if (o.type == kDict && j < o.count && type != kAscii && type != kUtf16) return false;
            }
        }
        return true;
    }

    // For each of `count` names (`single`, or kAttributeKeys), the value reference of the
    // first key of `dict` equal to it. False when a key could match in a way not compared
    // here (a UTF-16 key, a key with a NUL in it).
    bool Lookup(const Object& dict, const char* single, size_t count, uint64_t* values, bool* found) const {
        size_t missing = count;
        for (size_t k = 0; k < count; ++k)
            found[k] = false;
        for (uint64_t j = 0; j < dict.count && missing > 0; ++j) {
            const Object& key = objects_[Ref(dict.payload, j)];
            if (key.type != kAscii) return false;
            const char* text = reinterpret_cast<const char*>(data_ + key.payload);
            if (std::memchr(text, 0, size_t(key.count))) return false;
            for (size_t k = 0; k < count; ++k) {
                const char* name = single ? single : kAttributeKeys[k];
                if (found[k] || std::strlen(name) != key.count || std::memcmp(text, name, key.count) != 0)
                    continue;
                values[k] = Ref(dict.payload, dict.count + j);
                found[k] = true;
                --missing;
                break;
            }
        }
        return true;
    }

    const uint8_t* data_;
    size_t length_;
    uint8_t offsetSize_ = 0, refSize_ = 0, refShift_ = 0;
    uint64_t objectCount_ = 0, top_ = 0;
    size_t table_ = 0;
    Object objects_[kMaxObjects];
};

void putBigEndian(std::string& out, uint64_t v, size_t bytes) {
    for (size_t i = bytes; i-- > 0;)
        out += char(v >> (8 * i));
}

} // namespace

ManifestFileAttributes decodeWholeManifestFileBlob(const void* blob, size_t bytes) {
    ManifestFileAttributes a;
    if (!looksBinary(blob, bytes)) return a;
    // libplist decodes nested containers recursively: a crafted archive could nest deep
    // enough to exhaust the stack.
    if (!plistNestingWithin(static_cast<const char*>(blob), bytes)) return a;
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
    const uint8_t* data = static_cast<const uint8_t*>(blob);
    ArchiveLayout layout(data, bytes);
    uint64_t values[kAttributeCount];
    size_t valueCount = 0, position[kAttributeCount];
    if (!layout.FindAttributes(values, valueCount, position)) return decodeWholeManifestFileBlob(blob, bytes);
    if (valueCount == 0) { // none of the keys: every attribute reads as 0
        ManifestFileAttributes none;
        none.decoded = true;
        return none;
    }

    // The same archive with one more object, an array of the values found, as its top
    // object: libplist then decodes those values alone. The objects stay where they
    // are; the new array follows them, then the offset table with its offset, then the
    // trailer.
    const size_t table = layout.TableOffset();
    const uint8_t offsetSize = layout.OffsetSize(), refSize = layout.RefSize();
    const uint64_t count = layout.ObjectCount();
    if (offsetSize < 8 && table >> (8 * offsetSize) != 0) return decodeWholeManifestFileBlob(blob, bytes);
    scratch.assign(reinterpret_cast<const char*>(data), table);
    scratch += char(0xA0 | valueCount);
    for (size_t i = 0; i < valueCount; ++i)
        putBigEndian(scratch, values[i], refSize);
    const size_t newTable = scratch.size();
    scratch.append(reinterpret_cast<const char*>(data) + table, size_t(count) * offsetSize);
    putBigEndian(scratch, table, offsetSize);
    scratch.append(6, '\0');
    scratch += char(offsetSize);
    scratch += char(refSize);
    putBigEndian(scratch, count + 1, 8);
    putBigEndian(scratch, count, 8);
    putBigEndian(scratch, newTable, 8);

    plist_t root = nullptr;
    if (scratch.size() <= std::numeric_limits<uint32_t>::max())
        plist_from_bin(scratch.data(), static_cast<uint32_t>(scratch.size()), &root);
    if (!root || plist_get_node_type(root) != PLIST_ARRAY || plist_array_get_size(root) != valueCount) {
        if (root) plist_free(root);
        return decodeWholeManifestFileBlob(blob, bytes);
    }
    plist_t nodes[kAttributeCount];
    for (size_t k = 0; k < kAttributeCount; ++k)
        nodes[k] =
            position[k] == ArchiveLayout::kNone ? nullptr : plist_array_get_item(root, uint32_t(position[k]));
    ManifestFileAttributes a = attributesFrom(nodes[0], nodes[1], nodes[2], nodes[3]);
    plist_free(root);
    return a;
}
