// Text of the archived attributed strings of message bodies: the string object's bytes
// with each form of its length, and damaged archives that give no text.
#include "core/apps/ArchivedStringText.h"
#include "tests/kit/ArchivedBody.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

std::optional<std::string> read(const std::string& bytes) {
    return ArchivedStringText::Read(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string repeated(size_t n) {
    std::string s;
    while (s.size() < n)
        s += "word " + std::to_string(s.size()) + " ";
    s.resize(n);
    return s;
}

} // namespace

TEST(ArchivedStringText, ReadsTheStringObject) {
    struct Case {
        const char* name;
        std::string text;
        bool mutableString;
    } cases[] = {
        {"one-byte length", "see you at 7", true},
        {"127 bytes, the largest one-byte length", repeated(127), true},
        {"128 bytes, two-byte length", repeated(128), true},
        {"200 bytes", repeated(200), true},
        {"65535 bytes, the largest two-byte length", repeated(65535), true},
        {"70,000 bytes, four-byte length", repeated(70000), true},
        {"plain NSString", "plain string", false},
        {"UTF-8 text", "\xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80 \xEF\xBF\xBC", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.text, read(kit::archivedBody(c.text, c.mutableString)));
    }
}

TEST(ArchivedStringText, DamagedArchivesGiveNoText) {
    const std::string good = kit::archivedBody("hello there");
    const size_t textAt = good.find("hello there");
    ASSERT_NE(std::string::npos, textAt);
    std::string noMarker = good;
    noMarker.replace(noMarker.find("\x84\x01+"), 3, "\x84\x01*");
    std::string badLead = good;
    badLead[textAt - 1] = char(0x83);
    std::string tooLong = good.substr(0, textAt - 1) + "\x81\xff\x7f" + "short";
    std::string noClass = good;
    noClass.replace(noClass.find("NSMutableString"), 15, "NSMutableStrinX");
    noClass.replace(noClass.find("\x08NSString"), 9, "\x08NSStrinX");
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"header only", good.substr(0, 13)},
        {"wrong header", "\x04\x0bstreamtypeX" + good.substr(13)},
        {"no string class", noClass},
        {"no '+' marker", noMarker},
        {"length lead 0x83", badLead},
        {"length past the data", tooLong},
        {"empty string", kit::archivedBody("")},
        {"cut inside the two-byte length", kit::archivedBody(repeated(300)).substr(0, textAt + 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(std::nullopt, read(c.bytes));
    }
    EXPECT_EQ(std::nullopt, ArchivedStringText::Read(nullptr, 40));

    // Every cut of a good archive before the text's last byte gives nothing; never a read
    // past the data (the sanitizers watch).
    for (size_t n = 0; n < textAt + 11; ++n) {
        std::string cut = good.substr(0, n);
        EXPECT_EQ(std::nullopt, read(cut)) << n;
    }
}
