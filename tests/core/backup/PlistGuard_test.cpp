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
