// Fuzz target of the property-list readers: the input is one property list or settings
// file, given to the manifest "file" blob decoders (which must agree), the WeChat account
// archive and settings readers, and the nesting guard; a list the guard passes for
// reading is loaded with libplist and every key and value of it walked. Nothing may
// crash, hang or leak.
#include "core/backup/CWxAccountDiscovery.h"
#include "core/backup/ManifestFileBlob.h"
#include "core/backup/PlistGuard.h"

#include <plist/plist.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Visits every node below `node`, keys included; the guard bounds the depth.
void Walk(plist_t node, int depth) {
    if (!node || depth > kPlistMaxDepth) return;
    switch (plist_get_node_type(node)) {
    case PLIST_DICT: {
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!value) {
                std::free(key);
                break;
            }
            std::free(key);
            Walk(value, depth + 1);
        }
        std::free(it);
        break;
    }
    case PLIST_ARRAY: {
        const uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i)
            Walk(plist_array_get_item(node, i), depth + 1);
        break;
    }
    case PLIST_STRING: {
        // By pointer and length, as the readers take strings: a string may hold U+0000.
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        volatile char sink = 0;
        for (uint64_t i = 0; s && i < length; ++i)
            sink = char(sink ^ s[i]);
        break;
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char* d = plist_get_data_ptr(node, &length);
        volatile char sink = 0;
        for (uint64_t i = 0; d && i < length; ++i)
            sink = char(sink ^ d[i]);
        break;
    }
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    std::string scratch;
    const ManifestFileAttributes fast = decodeManifestFileBlob(bytes.data(), bytes.size(), scratch);
    const ManifestFileAttributes whole = decodeWholeManifestFileBlob(bytes.data(), bytes.size());
    if (!(fast == whole)) {
        std::fprintf(stderr, "the two blob decoders disagree\n");
        std::abort();
    }

    std::string userName, nickName, headImageUrl;
    CWxAccountDiscovery::ReadAccountArchive(bytes, "http://wx.qlogo.cn/", &userName, &nickName,
                                            &headImageUrl);
    CWxAccountDiscovery::ReadMmkvSettings(bytes, "0123456789abcdef0123456789abcdef");
    uint64_t value = 0;
    for (size_t at = 0; at < bytes.size() && at < 4096; at += 7)
        CWxAccountDiscovery::ReadSettingsVarint(bytes, at, &value);

    plistNestingWithin(bytes.data(), bytes.size());
    if (size <= UINT32_MAX && plistSoundForReading(bytes.data(), bytes.size())) {
        plist_t root = nullptr;
        plist_from_memory(bytes.data(), uint32_t(bytes.size()), &root);
        Walk(root, 0);
        if (root) plist_free(root);
    }
    return 0;
}
