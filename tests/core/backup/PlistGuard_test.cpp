#include "core/backup/PlistGuard.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <random>
#include <string>

namespace {

// `depth` arrays nested in one another, the innermost holding a string.
plist_t nestedArrays(int depth) {
    plist_t node = plist_new_string("leaf");
    for (int i = 0; i < depth; ++i) {
        plist_t a = plist_new_array();
        plist_array_append_item(a, node);
        node = a;
    }
    return node;
}

std::string toBinary(plist_t p) {
    char* out = nullptr;
    uint32_t len = 0;
    plist_to_bin(p, &out, &len);
    std::string s(out, len);
    free(out);
    return s;
}

std::string toXml(plist_t p) {
    char* out = nullptr;
    uint32_t len = 0;
    plist_to_xml(p, &out, &len);
    std::string s(out, len);
    free(out);
    return s;
}

bool within(const std::string& s, int depth = kPlistMaxDepth) {
    return plistNestingWithin(s.data(), s.size(), depth);
}

} // namespace

TEST(PlistGuard, OrdinaryPropertyListsPass) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "Product Version", plist_new_string("14.2"));
    plist_dict_set_item(dict, "IsEncrypted", plist_new_bool(0));
    plist_t objects = plist_new_array();
    plist_array_append_item(objects, plist_new_string("$null"));
    plist_t attrs = plist_new_dict();
    plist_dict_set_item(attrs, "Size", plist_new_uint(1234));
    plist_array_append_item(objects, attrs);
    plist_dict_set_item(dict, "$objects", objects);

    EXPECT_TRUE(within(toBinary(dict)));
    EXPECT_TRUE(within(toXml(dict)));
    plist_free(dict);
}

TEST(PlistGuard, NestingDepthIsBoundedInBothFormats) {
    struct Case {
        int depth;
        bool ok;
    } cases[] = {{1, true}, {50, true}, {kPlistMaxDepth, true}, {kPlistMaxDepth + 1, false}, {2000, false}};
    for (const auto& c : cases) {
        plist_t p = nestedArrays(c.depth);
        EXPECT_EQ(c.ok, within(toBinary(p))) << "binary depth " << c.depth;
        EXPECT_EQ(c.ok, within(toXml(p))) << "xml depth " << c.depth;
        plist_free(p);
    }
}

TEST(PlistGuard, HandMadeDeepXmlIsRefusedWithoutRecursion) {
    std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < 200000; ++i)
        xml += "<array>";
    EXPECT_FALSE(within(xml));
    std::string flat = "<plist><array><array/><dict></dict><array/></array></plist>";
    EXPECT_TRUE(within(flat, 2));
}

TEST(PlistGuard, MalformedOrCyclicBinaryListsFail) {
    // "bplist00", object 0 = array of one reference to object 0, offset table, trailer.
    std::string cyclic = "bplist00";
    cyclic += '\xA1';
    cyclic += '\x00'; // array of 1, ref -> object 0
    const char offsetTable = 8;
    cyclic += offsetTable;
    std::string trailer(32, '\0');
    trailer[6] = 1;   // offset int size
    trailer[7] = 1;   // object ref size
    trailer[15] = 1;  // one object
    trailer[23] = 0;  // top object 0
    trailer[31] = 10; // offset table at byte 10
    EXPECT_FALSE(within(cyclic + trailer));

    plist_t p = nestedArrays(3);
    std::string good = toBinary(p);
    plist_free(p);
    EXPECT_TRUE(within(good));
    for (size_t cut = 8; cut < good.size(); ++cut)
        within(good.substr(0, cut)); // never crashes
    EXPECT_FALSE(within(good.substr(0, good.size() - 1)));

    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        std::string noisy = good;
        for (int k = 0; k < 3; ++k)
            noisy[8 + rng() % (noisy.size() - 8)] = static_cast<char>(rng());
        within(noisy); // never crashes or hangs
    }
}

namespace {

// A binary list of one dictionary {key: "x"} with a UTF-16 key: the top dictionary,
// the key, the value, the offset table and the trailer.
std::string oneKeyDictionary(const std::u16string& key) {
    std::string s = "bplist00";
    s += "\xD1\x01\x02";          // object 0 at 8: dictionary, refs 1 and 2
    s += char(0x60 | key.size()); // object 1 at 11: the key, UTF-16 big-endian
    for (char16_t c : key) {
        s += char(c >> 8);
        s += char(c & 0xFF);
    }
    const size_t valueAt = s.size();
    s += "\x51x"; // object 2: "x"
    const size_t tableAt = s.size();
    s += char(8);
    s += char(11);
    s += char(valueAt);
    std::string trailer(32, '\0');
    trailer[6] = 1;              // offset size
    trailer[7] = 1;              // reference size
    trailer[15] = 3;             // objects
    trailer[31] = char(tableAt); // offset table at
    return s + trailer;
}

} // namespace

// libplist asserts on a UTF-16 dictionary key holding U+0000 when a reader walks the
// keys: for such readers the list is damage; the same list with a sound key passes.
TEST(PlistGuard, NulInADictionaryKeyIsDamage) {
    const std::string bad = oneKeyDictionary(std::u16string(u"a\0b", 3));
    const std::string good = oneKeyDictionary(u"ab");
    EXPECT_FALSE(plistSoundForReading(bad.data(), bad.size()));
    EXPECT_TRUE(plistNestingWithin(bad.data(), bad.size())); // the nesting alone is fine
    ASSERT_TRUE(plistSoundForReading(good.data(), good.size()));
    plist_t root = nullptr;
    plist_from_bin(good.data(), uint32_t(good.size()), &root);
    ASSERT_NE(nullptr, root);
    plist_t value = plist_dict_get_item(root, "ab");
    ASSERT_NE(nullptr, value);
    EXPECT_EQ(PLIST_STRING, plist_get_node_type(value));
    plist_free(root);
}
