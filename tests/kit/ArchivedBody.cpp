#include "tests/kit/ArchivedBody.h"

#include <cstdint>

namespace kit {

namespace {

std::string className(const std::string& name) {
    return std::string(1, char(0x84)) + char(0x84) + char(name.size()) + name;
}

std::string length(size_t n) {
    std::string out;
    if (n < 0x80) {
        out += char(n);
    } else if (n <= 0xFFFF) {
        out += char(0x81);
        out += char(n & 0xFF);
        out += char((n >> 8) & 0xFF);
    } else {
        out += char(0x82);
        for (int i = 0; i < 4; ++i)
            out += char((n >> (8 * i)) & 0xFF);
    }
    return out;
}

} // namespace

std::string archivedBody(const std::string& text, bool mutableString) {
    std::string out("\x04\x0bstreamtyped\x81\xe8\x03\x84\x01\x40", 18);
    out += char(0x84);
    out += className("NSMutableAttributedString") + '\0';
    out += className("NSAttributedString") + '\0';
    out += className("NSObject") + '\0';
    out += "\x85\x92";
    out += char(0x84);
    if (mutableString) {
        out += className("NSMutableString") + '\x01';
        out += className("NSString") + '\x01';
    } else {
        out += className("NSString") + '\x01';
    }
    out += "\x94\x84\x01+";
    out += length(text.size());
    out += text;
    // One attribute run over the whole text.
    out += "\x86\x84\x02iI\x01";
    out += length(text.size());
    out += "\x92\x84\x84\x84\x0cNSDictionary";
    out += '\0';
    out += "\x94\x84\x01i\x01\x92\x84\x96\x96\x1d__kIMMessagePartAttributeName\x86\x86\x86";
    return out;
}

} // namespace kit
