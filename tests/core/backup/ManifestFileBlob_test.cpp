#include "core/backup/ManifestFileBlob.h"

#include "tests/kit/BackupBuilder.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

void PrintTo(const ManifestFileAttributes& a, std::ostream* os) {
    *os << "{size " << a.size << ", times " << a.mtime << " " << a.atime << " " << a.ctime << "}";
}

namespace {

std::string toBinary(plist_t root) {
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &data, &length);
    std::string out(data, length);
    free(data);
    plist_free(root);
    return out;
}

// A keyed archive like the backup tool's, with the given attribute dictionary as
// "$objects"[1] and more objects after it.
std::string archive(plist_t attributes, const char* relativePath = "Library/SMS/sms.db") {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "$version", plist_new_uint(100000));
    plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", plist_new_uid(1));
    plist_dict_set_item(root, "$top", top);
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_array_append_item(objects, attributes);
    plist_array_append_item(objects, plist_new_string(relativePath));
    plist_t digest = plist_new_dict();
    const char bytes[20] = {1, 2, 3};
    plist_dict_set_item(digest, "NS.data", plist_new_data(bytes, sizeof bytes));
    plist_array_append_item(objects, digest);
    plist_t cls = plist_new_dict();
    plist_t classes = plist_new_array();
    plist_array_append_item(classes, plist_new_string("MBFile"));
    plist_array_append_item(classes, plist_new_string("NSObject"));
    plist_dict_set_item(cls, "$classes", classes);
    plist_dict_set_item(cls, "$classname", plist_new_string("MBFile"));
    plist_array_append_item(objects, cls);
    plist_dict_set_item(root, "$objects", objects);
    return toBinary(root);
}

plist_t attributes(uint64_t size, int64_t mtime, int64_t atime, int64_t ctime) {
    plist_t a = plist_new_dict();
    plist_dict_set_item(a, "$class", plist_new_uid(4));
    plist_dict_set_item(a, "RelativePath", plist_new_uid(2));
    plist_dict_set_item(a, "Digest", plist_new_uid(3));
    plist_dict_set_item(a, "Size", plist_new_uint(size));
    plist_dict_set_item(a, "LastModified", plist_new_uint(uint64_t(mtime)));
    plist_dict_set_item(a, "LastStatusChange", plist_new_uint(uint64_t(atime)));
    plist_dict_set_item(a, "Birth", plist_new_uint(uint64_t(ctime)));
    plist_dict_set_item(a, "Mode", plist_new_uint(0x81A4));
    plist_dict_set_item(a, "Flags", plist_new_uint(0));
    return a;
}

ManifestFileAttributes decode(const std::string& blob) {
    std::string scratch;
    return decodeManifestFileBlob(blob.data(), blob.size(), scratch);
}

// Renames the first key spelled `from` to `to` (same length) in place.
std::string renameKey(std::string blob, const std::string& from, const std::string& to) {
    std::string marker = std::string(1, char(0x50 | from.size())) + from;
    size_t at = blob.find(marker);
    EXPECT_NE(std::string::npos, at) << from;
    if (at != std::string::npos) blob.replace(at + 1, from.size(), to);
    return blob;
}

} // namespace

TEST(ManifestFileBlob, ReadsTheFourAttributesOfWellFormedArchives) {
    struct Case {
        const char* name;
        std::string blob;
        ManifestFileAttributes expected;
    };
    plist_t reals = plist_new_dict();
    plist_dict_set_item(reals, "Size", plist_new_uint(9));
    plist_dict_set_item(reals, "LastModified", plist_new_real(1600000000.75));
    plist_dict_set_item(reals, "LastStatusChange", plist_new_real(1.0e300));
    plist_dict_set_item(reals, "Birth", plist_new_real(-5.5));
    plist_t wide = attributes(uint64_t(1) << 40, -1, INT32_MAX, INT32_MIN);
    for (int i = 0; i < 20; ++i) // more than 15 entries: the count follows the marker
        plist_dict_set_item(wide, ("Extra" + std::to_string(i)).c_str(), plist_new_uint(uint64_t(i)));
    plist_t sizeAsText = plist_new_dict();
    plist_dict_set_item(sizeAsText, "Size", plist_new_string("100"));
    plist_dict_set_item(sizeAsText, "Birth", plist_new_uint(7));
    plist_t outOfRange = attributes(5, int64_t(1) << 40, 0, 0);
    plist_t nested = attributes(6, 1, 2, 3);
    plist_t inner = plist_new_array();
    plist_array_append_item(inner, plist_new_dict());
    plist_array_append_item(inner, plist_new_string("\xc3\xa9t\xc3\xa9")); // stored as UTF-16
    plist_dict_set_item(nested, "Extended", inner);
    plist_t none = plist_new_dict();
    plist_dict_set_item(none, "Mode", plist_new_uint(1));

    // A UTF-16 key that reads "Size" once decoded, before the plain "Size" key.
    plist_t utf16Key = plist_new_dict();
    plist_dict_set_item(utf16Key, "Siz\xc3\xa9", plist_new_uint(555));
    plist_dict_set_item(utf16Key, "Size", plist_new_uint(77));
    std::string utf16KeyBlob = archive(utf16Key);
    const std::string utf16 = std::string("\x64\0S\0i\0z\0\xe9", 9);
    ASSERT_NE(std::string::npos, utf16KeyBlob.find(utf16));
    utf16KeyBlob[utf16KeyBlob.find(utf16) + 8] = 'e';

    const std::vector<Case> cases = {
        {"kit blob",
         kit::buildManifestFileBlob({"HomeDomain", "a", 1234, 11, 12, 13}),
         {1234, 11, 12, 13, true}},
        {"times as reals", archive(reals), {9, 1600000000, 0, -5, true}},
        {"wide values, many keys", archive(wide), {uint64_t(1) << 40, -1, INT32_MAX, INT32_MIN, true}},
        {"size as text", archive(sizeAsText), {0, 0, 0, 7, true}},
        {"time out of range", archive(outOfRange), {5, 0, 0, 0, true}},
        {"nested values, UTF-16 strings",
         archive(nested, "Documents/\xe6\x97\xa5\xe8\xa8\x98.txt"),
         {6, 1, 2, 3, true}},
        {"none of the keys", archive(none), {0, 0, 0, 0, true}},
        // Two keys "Size" (and two "LastModified"): the first in the dictionary counts.
        {"repeated keys",
         renameKey(renameKey(archive(attributes(77, 1, 2, 3)), "Mode", "Size"), "RelativePath",
                   "LastModified"),
         {77, 0, 2, 3, true}},
        // A key "Size" followed by NULs reads "Size" as a C string.
        {"key with NULs",
         renameKey(archive(attributes(77, 1, 2, 3)), "Digest", std::string("Size\0\0", 6)),
         {0, 1, 2, 3, true}},
        {"UTF-16 key", utf16KeyBlob, {555, 0, 0, 0, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ManifestFileAttributes whole = decodeWholeManifestFileBlob(c.blob.data(), c.blob.size());
        EXPECT_EQ(c.expected, whole);
        EXPECT_EQ(whole, decode(c.blob));
    }
}

TEST(ManifestFileBlob, NotAnArchiveReadsAsZero) {
    const std::string good = kit::buildManifestFileBlob({"HomeDomain", "a", 1234, 11, 12, 13});
    for (const std::string& blob :
         {std::string(), std::string("bplist0"), std::string("bplist00"),
          std::string("bplist01") + good.substr(8), std::string("not a plist at all"),
          good.substr(0, good.size() - 1), good.substr(0, 40)}) {
        EXPECT_EQ(ManifestFileAttributes{}, decode(blob));
        EXPECT_EQ(ManifestFileAttributes{}, decodeWholeManifestFileBlob(blob.data(), blob.size()));
    }
    std::string scratch;
    EXPECT_EQ(ManifestFileAttributes{}, decodeManifestFileBlob(nullptr, 100, scratch));
}

// Damaged archives read exactly as a decode of the whole archive reads them: the
// attribute dictionary alone is never taken from an archive that libplist would refuse
// as a whole, or where a lookup could find another entry.
TEST(ManifestFileBlob, DamagedArchivesReadAsTheWholeDecodeReadsThem) {
    plist_t reals = attributes(42, 1, 2, 3);
    plist_dict_set_item(reals, "LastModified", plist_new_real(1500000000.5));
    const std::vector<std::string> bases = {
        kit::buildManifestFileBlob(
            {"HomeDomain", "Library/SMS/sms.db", 4096, 1500000000, 1500000001, 1500000002}),
        archive(attributes(7, -3, 0, 99), "Media/\xe6\x97\xa5.JPG"),
        archive(reals),
    };
    std::mt19937 rng(2024);
    int agreedNonZero = 0;
    for (int round = 0; round < 30000; ++round) {
        std::string blob = bases[size_t(round) % bases.size()];
        const size_t n = blob.size();
        const size_t trailer = n - 32;
        const size_t offsetSize = uint8_t(blob[trailer + 6]);
        size_t table = 0;
        for (int i = 0; i < 8; ++i)
            table = (table << 8) | uint8_t(blob[trailer + 24 + size_t(i)]);
        auto objectStart = [&](size_t index) {
            size_t at = 0;
            for (size_t i = 0; i < offsetSize; ++i)
                at = (at << 8) | uint8_t(blob[table + index * offsetSize + i]);
            return at;
        };
        const size_t objects = (trailer - table) / offsetSize;
        const int edits = 1 + int(rng() % 3);
        for (int e = 0; e < edits; ++e) {
            switch (rng() % 6) {
            case 0: // anywhere
                blob[rng() % blob.size()] = char(rng());
                break;
            case 1: // the trailer
                blob[trailer + 6 + rng() % 26] = char(rng() % 4 == 0 ? rng() : rng() % 48);
                break;
            case 2: // the offset table
                blob[table + rng() % (trailer - table)] = char(rng());
                break;
            case 3: { // an object's marker: another kind or count
                size_t at = objectStart(rng() % objects);
                if (at < table)
                    blob[at] = char(rng() % 2 ? rng() : (uint8_t(blob[at]) & 0xF0) | (rng() % 16));
                break;
            }
            case 4: { // a reference to another object (shared objects, cycles)
                size_t at = objectStart(rng() % objects);
                if (at + 2 < table) blob[at + 1 + rng() % 2] = char(rng() % objects);
                break;
            }
            default: // cut short
                if (rng() % 4 == 0) blob.resize(rng() % blob.size());
                break;
            }
        }
        const ManifestFileAttributes whole = decodeWholeManifestFileBlob(blob.data(), blob.size());
        const ManifestFileAttributes fast = decode(blob);
        ASSERT_EQ(whole, fast) << "round " << round;
        if (whole.size != 0) ++agreedNonZero;
    }
    EXPECT_GT(agreedNonZero, 3000); // many edits leave a readable archive
}

// An archive nested far deeper than any real one (a few hundred kilobytes of arrays in
// arrays) would exhaust the stack inside libplist; it reads as no attributes instead.
TEST(ManifestFileBlob, DeeplyNestedArchiveReadsAsZeroWithoutCrashing) {
    plist_t node = plist_new_string("leaf");
    for (int i = 0; i < 300; ++i) {
        plist_t a = plist_new_array();
        plist_array_append_item(a, node);
        node = a;
    }
    plist_t attributes = plist_new_dict();
    plist_dict_set_item(attributes, "Size", plist_new_uint(7));
    plist_dict_set_item(attributes, "Deep", node);
    const std::string blob = archive(attributes);
    EXPECT_EQ(ManifestFileAttributes{}, decodeWholeManifestFileBlob(blob.data(), blob.size()));
    EXPECT_EQ(ManifestFileAttributes{}, decode(blob));

    // Hand-made: 400,000 one-element arrays, each pointing at the next.
    const uint32_t levels = 400000;
    std::string deep = "bplist00";
    std::string offsets;
    for (uint32_t i = 0; i < levels; ++i) {
        const uint32_t at = uint32_t(deep.size());
        for (int b = 3; b >= 0; --b)
            offsets += char(at >> (8 * b));
        deep += char(0xA1);
        const uint32_t child = i + 1 < levels ? i + 1 : i;
        for (int b = 3; b >= 0; --b)
            deep += char(child >> (8 * b));
    }
    const uint64_t tableAt = deep.size();
    deep += offsets;
    std::string trailer(32, '\0');
    trailer[6] = 4;
    trailer[7] = 4;
    for (int b = 0; b < 8; ++b) {
        trailer[8 + b] = char(uint64_t(levels) >> (56 - 8 * b));
        trailer[24 + b] = char(tableAt >> (56 - 8 * b));
    }
    deep += trailer;
    EXPECT_EQ(ManifestFileAttributes{}, decodeWholeManifestFileBlob(deep.data(), deep.size()));
    EXPECT_EQ(ManifestFileAttributes{}, decode(deep));
}
