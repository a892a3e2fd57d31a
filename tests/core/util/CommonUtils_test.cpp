#include "core/util/CommonUtils.h"

#include <gtest/gtest.h>

#include <climits>

TEST(CommonUtils, TimeConversions) {
    EXPECT_EQ(978307200, appleTimeToUnix(0));
    EXPECT_EQ(978307200 + 600000000, appleTimeToUnix(600000000));

    struct Case {
        int64_t value;
        int n;
        int64_t expected;
    };
    const Case cases[] = {
        {1234567890123456789LL, 9, 123456789}, // nanoseconds cut to their first nine digits
        {12345, 9, 12345},                     // short values come back unchanged
        {123456789, 9, 123456789},
        {1234567890, 9, 123456789},
        {0, 9, 0},
        {INT64_MAX, 19, INT64_MAX},
        {INT64_MAX, 9, 922337203},
        {-1234567890123LL, 9, -123456789}, // the sign is kept, no overflow
        {INT64_MIN, 9, -922337203},
        {INT64_MIN, 19, INT64_MIN},
        {123, 0, 0},
        {12345, 40, 12345},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, truncateDigits(c.value, c.n)) << c.value << " n=" << c.n;
}

TEST(CommonUtils, FormatLocalTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ("2001-01-01", formatLocalTime(978307200, "%Y-%m-%d"));
    EXPECT_EQ("", formatLocalTime(0, nullptr));
}

TEST(CommonUtils, RemainingTimeText) {
    // The clock may tick between taking `now` here and inside the call: one second slack.
    auto oneOf = [](const std::string& got, const char* a, const char* b) {
        EXPECT_TRUE(got == a || got == b) << got;
    };
    time_t now = time(nullptr);
    resetRemainingTimeSmoothing();
    oneOf(remainingTimeText(50, 100, now - 60), "00:01:00", "00:01:01");
    // Smoothing: the second estimate (240 s in all) is averaged with the first (120 s).
    resetRemainingTimeSmoothing();
    now = time(nullptr);
    std::string first = remainingTimeText(50, 100, now - 60);
    std::string second = remainingTimeText(50, 100, now - 120);
    if (first == "00:01:00") oneOf(second, "00:01:30", "00:01:31");

    EXPECT_EQ("", remainingTimeText(1, 100, now - 60));
    EXPECT_EQ("", remainingTimeText(50, 100, 0));
    EXPECT_EQ("", remainingTimeText(50, 0, now - 60)); // no division by a zero total
    resetRemainingTimeSmoothing();
    EXPECT_EQ("00:00:00", remainingTimeText(200, 100, now - 60)); // more done than planned
    resetRemainingTimeSmoothing();
    EXPECT_EQ("99:", remainingTimeText(2, INT_MAX, now - 100000).substr(0, 3)); // capped, no overflow
}

TEST(CommonUtils, TextTests) {
    struct Case {
        const char* text;
        bool allDigits, phoneLike, accountId;
    };
    const Case cases[] = {
        {"+86 138 0013 8000", false, true, false},
        {"12", true, false, false},
        {"123", true, true, false},
        {"12a3", false, false, false},
        {"abc_12", false, false, true},
        {"abc12", false, false, false},
        {"abcdefghijklmnopqrstu", false, false, false}, // 21 bytes
        {"abcdefghijklmnopqrst", false, false, true},   // 20 bytes
        {"wxid_a@b-c", false, false, true},
        {"a b c d e", false, false, false},
        {"", false, false, false},
        {"+-? ", false, false, false},
        {"12\xC2\xA0"
         "3",
         false, true, false}, // no-break space is a separator
        {"1\xC2\xA0"
         "2",
         false, false, false},
        {"1\xC2"
         "2",
         false, true, false}, // a lone 0xC2 counts like a digit
        // Parentheses and dots separate like spaces and dashes; a number still needs digits.
        {"(010) 1234", false, true, false},
        {"(415) 555-0100", false, true, false},
        {"415.555.0100", false, true, false},
        {"+1 (415) 555.0100", false, true, false},
        {"().", false, false, false},
        {"(1.2)", false, false, false},
        {"415,555", false, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.allDigits, isAllDigits(c.text)) << c.text;
        EXPECT_EQ(c.phoneLike, isPhoneLike(c.text)) << c.text;
        EXPECT_EQ(c.accountId, isAccountIdText(c.text)) << c.text;
    }
    EXPECT_FALSE(isAllDigits(nullptr));
    EXPECT_FALSE(isPhoneLike(nullptr));
    EXPECT_FALSE(isAccountIdText(nullptr));
}

TEST(CommonUtils, FuzzyMatch) {
    EXPECT_TRUE(fuzzyMatch("abcdefghi", "abcxyz", 3)); // k = 3
    EXPECT_FALSE(fuzzyMatch("abcdefghi", "abxxyz", 3));
    EXPECT_TRUE(fuzzyMatch("abc", "axx", 3)); // k = 1
    EXPECT_FALSE(fuzzyMatch("abc", "bxx", 3));
    EXPECT_FALSE(fuzzyMatch("", "x", 3));
    EXPECT_TRUE(fuzzyMatch("", "", 3));
    EXPECT_TRUE(fuzzyMatch("abcdefghi", "abc", 3));
    EXPECT_FALSE(fuzzyMatch("abcdefghi", "ab", 3)); // a shorter b does not match past its end
    EXPECT_FALSE(fuzzyMatch(nullptr, "x", 3));
    EXPECT_FALSE(fuzzyMatch("x", nullptr, 3));
    EXPECT_FALSE(fuzzyMatch("abcdef", "abcdeX", 0)); // no division by zero
}

TEST(CommonUtils, WeChatTexts) {
    EXPECT_TRUE(isWxRedPacketTitle("微信红包"));
    EXPECT_FALSE(isWxRedPacketTitle("微信红包 "));
    EXPECT_FALSE(isWxRedPacketTitle(nullptr));
    EXPECT_TRUE(isWxFileMessage("<msg><appmsg><type>6</type></appmsg></msg>"));
    EXPECT_FALSE(isWxFileMessage("<type>5</type>"));
    EXPECT_FALSE(isWxFileMessage(nullptr));
    EXPECT_TRUE(isWxRedPacketText("微信红包 我给你发了一个红包,赶紧去拆!"));
    EXPECT_TRUE(isWxRedPacketText("微信红包 我给你发了一个红包,赶紧去拆!更多"));
    EXPECT_FALSE(isWxRedPacketText("微信红包 我给你发了一个红包,赶紧去拆"));
    EXPECT_FALSE(isWxRedPacketText(nullptr));
}

TEST(CommonUtils, ValidUtf8) {
    struct Case {
        std::string bytes;
        bool expected;
    };
    const Case cases[] = {
        {"abc", false}, // pure ASCII
        {"", false},
        {"\xC3\xA9", true},
        {"\xC3", false},
        {"a\xC3\xA9z", true},
        {"\xE4\xBD\xA0\xE5\xA5\xBD", true},
        {"\xE4\xBD", false},
        {"\xA9", false}, // continuation byte where a lead byte belongs
        {"\xC3\x41", false},
        {"\xF0\x9F\x98\x80", true},
        {"\xF8\x80\x80\x80\x80", true}, // 0xF8 takes four continuation bytes
        {"\xFC\x80\x80\x80\x80\x80", true},
        {"\xFC\x80\x80\x80\x80", false},
        {"\xFF\x80\x80\x80\x80", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, isValidUtf8(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()))
            << testing::PrintToString(c.bytes);
    }
    EXPECT_FALSE(isValidUtf8(nullptr, 4));
}

TEST(CommonUtils, NormalizePhoneNumber) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"Tel +86 138-0013-8000", "13800138000"},
        {"(010) 1234 5678", "01012345678"},
        {"+852 9123 4567", "91234567"}, // Hong Kong: the whole code goes
        {"+853 6612 3456", "66123456"}, // Macau
        {"+85291234567", "91234567"},
        {"+855 12 345 678", "85512345678"}, // other codes keep their digits
        {"+1 (415) 555-0100", "14155550100"},
        {"", ""},
        {"abc", ""},
        {"+86", ""},
        {"0086 138", "0086138"},
    };
    for (const auto& c : cases) {
        std::string s = c.in;
        normalizePhoneNumber(s);
        EXPECT_EQ(c.out, s) << c.in;
        EXPECT_EQ(c.out, normalizePhoneNumber(c.in)) << c.in;
    }
    EXPECT_EQ("", normalizePhoneNumber(static_cast<const char*>(nullptr)));
}

// Addresses of messages and calls: e-mail addresses and sender names stay texts, only
// phone numbers lose everything but their digits.
TEST(CommonUtils, NormalizeAddress) {
    struct Case {
        const char* in;
        bool named;
        const char* out;
    };
    const Case cases[] = {
        {"li.huang24@example.com", true, "li.huang24@example.com"},
        {"  Li.Huang24@Example.COM ", true, "li.huang24@example.com"},
        {"AMAZON", true, "AMAZON"},
        {" apple\t", true, "apple"},
        {"Bank Of Example", true, "Bank Of Example"},
        {"\xE4\xB8\xAD\xE5\x9B\xBD\xE7\xA7\xBB\xE5\x8A\xA8", true,
         "\xE4\xB8\xAD\xE5\x9B\xBD\xE7\xA7\xBB\xE5\x8A\xA8"}, // a sender name in Chinese
        {"+86 138-0013-8000", false, "13800138000"},
        {"+1 (415) 555-0100", false, "14155550100"},
        {"415.555.0100", false, "4155550100"},
        {"12\xC2\xA0"
         "34",
         false, "1234"},                                                   // no-break space
        {"\xE2\x80\xAA+1 415 555 0100\xE2\x80\xAC", false, "14155550100"}, // direction marks
        {"", false, ""},
        {"   ", false, ""},
        {"@", true, "@"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.named, isNamedAddress(c.in)) << c.in;
        std::string s = c.in;
        normalizeAddress(s);
        EXPECT_EQ(c.out, s) << c.in;
    }
}

TEST(CommonUtils, ReadableText) {
    struct Case {
        std::string bytes;
        bool readable;
    };
    const Case cases[] = {
        {"", true},
        {"Buy milk", true},
        {"line one\nline two\tend", true},
        {"caf\xC3\xA9 \xE4\xBD\xA0\xE5\xA5\xBD \xF0\x9F\x98\x80", true},
        {"\xEF\xBF\xBC", true}, // object replacement character of an attachment
        {"\x01\x02\x03", false},
        {"title\x1B", false},
        {"a\rb", false},
        {std::string("a\0b", 3), false},
        {"\xC3", false},             // cut short
        {"\xA9", false},             // continuation byte first
        {"\xC0\xAF", false},         // overlong
        {"\xE0\x80\xAF", false},     // overlong
        {"\xED\xA0\x80", false},     // surrogate
        {"\xF4\x90\x80\x80", false}, // past U+10FFFF
        {"\xFF", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.readable, isReadableText(c.bytes.data(), c.bytes.size()))
            << testing::PrintToString(c.bytes);
    }
    EXPECT_FALSE(isReadableText(nullptr, 3));
}

TEST(CommonUtils, SplitAndReplace) {
    struct Split {
        std::string text;
        const char* delims;
        std::vector<std::string> pieces;
    };
    const Split splits[] = {
        {"a,,b", ",", {"a", "", "b"}},    {"", ",", {""}},        {"abc", ",", {"abc"}},
        {"a,b;c", ",;", {"a", "b", "c"}}, {"a,", ",", {"a", ""}}, {",a", ",", {"", "a"}},
    };
    for (const auto& s : splits) {
        std::vector<std::string> out{"kept"};
        splitString(s.text, s.delims, out);
        std::vector<std::string> expected{"kept"};
        expected.insert(expected.end(), s.pieces.begin(), s.pieces.end());
        EXPECT_EQ(expected, out) << s.text;
    }

    struct Replace {
        std::string s;
        const char* from;
        const char* to;
        std::string expected;
    };
    const Replace replaces[] = {
        {"aaa", "a", "aa", "aaaaaa"}, // no new match from the inserted text
        {"abcabc", "bc", "", "aa"},   {"x&amp;y", "&amp;", "&", "x&y"},
        {"abc", "", "z", "abc"},      {"abc", "d", "z", "abc"},
    };
    for (auto r : replaces) {
        replaceAll(r.s, r.from, r.to);
        EXPECT_EQ(r.expected, r.s);
    }
}

TEST(CommonUtils, CopiesAndCase) {
    char text[] = "AbC-Z09";
    EXPECT_EQ(text, toLowerAscii(text));
    EXPECT_STREQ("abc-z09", text);
    EXPECT_EQ("\xC3\x89"
              "abc",
              toLowerAscii(std::string("\xC3\x89"
                                       "ABC"))); // non-ASCII bytes stay
    EXPECT_EQ(nullptr, toLowerAscii(static_cast<char*>(nullptr)));

    std::string out = "old";
    EXPECT_EQ(-1, copyBytes(&out, "abc", 0));
    EXPECT_EQ("", out);
    EXPECT_EQ(-1, copyBytes(&out, "abc", -5));
    EXPECT_EQ(2, copyBytes(&out, "abc", 2));
    EXPECT_EQ("ab", out);
    const char withNul[] = {'a', 'b', '\0', 'c'};
    EXPECT_EQ(4, copyBytes(&out, withNul, 4)); // a NUL ends the copy
    EXPECT_EQ("ab", out);
}

TEST(CommonUtils, FindNthSubstring) {
    const char* t = "aaaa";
    EXPECT_EQ(t + 0, findNthSubstring(t, "aa", 1));
    EXPECT_EQ(t + 0, findNthSubstring(t, "aa", 0));
    EXPECT_EQ(t + 1, findNthSubstring(t, "aa", 2));
    EXPECT_EQ(t + 2, findNthSubstring(t, "aa", 3));
    EXPECT_EQ(nullptr, findNthSubstring(t, "aa", 4));
    EXPECT_EQ(t + 2, findNthSubstring(t, "aa", -1));
    EXPECT_EQ(nullptr, findNthSubstring(t, "b", -1));
    EXPECT_EQ(nullptr, findNthSubstring(t, "", 1));
    EXPECT_EQ(nullptr, findNthSubstring("", "a", 1));
    EXPECT_EQ(nullptr, findNthSubstring(nullptr, "a", 1));

    const wchar_t* w = L"x<y>z<y>";
    EXPECT_EQ(w + 5, findNthWideSubstring(w, L"<y>", 2));
    EXPECT_EQ(w + 5, findNthWideSubstring(w, L"<y>", -1));
    EXPECT_EQ(nullptr, findNthWideSubstring(w, L"<y>", 3));
    EXPECT_EQ(nullptr, findNthWideSubstring(nullptr, L"a", 1));
}

TEST(CommonUtils, ByteOrder) {
    EXPECT_EQ(0x3412, swap16(0x1234));
    EXPECT_EQ(0x78563412u, swap32(0x12345678u));
    EXPECT_EQ(0xEFCDAB8967452301ull, swap64(0x0123456789ABCDEFull));
    const uint8_t be[] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(0x1234, readBE16(be));
    EXPECT_EQ(0x12345678u, readBE32(be));
}
