#include "gui/MyExtensions.h"

#include "tests/kit/QtTestMain.h"

#include <QCoreApplication>

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

TEST(MyExtensions, Md5Rfc1321Vectors) {
    const struct {
        const char* text;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(MyExtensions::md5(U(c.text)), QString::fromLatin1(c.digest));
    }
}

TEST(MyExtensions, Md5StopsAtNulAndDigestsUtf8) {
    QString withNul = QStringLiteral("abc");
    withNul.append(QChar(0));
    withNul.append(QStringLiteral("def"));
    EXPECT_EQ(MyExtensions::md5(withNul), "900150983cd24fb0d6963f7d28e17f72");
    QString leadingNul(QChar(0));
    leadingNul += "x";
    EXPECT_EQ(MyExtensions::md5(leadingNul), "d41d8cd98f00b204e9800998ecf8427e");
    // UTF-8 bytes: "é" is C3 A9, "中文" six bytes.
    EXPECT_EQ(MyExtensions::md5(U("é")), "66ddcd97cfdeabb2f6fb8a999b4bc76f");
    EXPECT_EQ(MyExtensions::md5(U("中文")), "a7bac2239fcdcb3a067903d8077c4a07");
}

TEST(MyExtensions, Widths) {
    const struct {
        const char* text;
        int width;
    } cases[] = {
        {"", 0},  {"abc", 3},  {"é", 1}, {"ߺ", 1}, // U+07FA: two bytes
        {"ࠀ", 2}, {"中文", 4}, {"😀", 2}, {"a😀b", 4}, {"ｶ", 2}, {"한국어", 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(MyExtensions::TextWidth(U(c.text)), c.width);
    }
}

TEST(MyExtensions, Thumbnails) {
    const struct {
        bool seventeen;
        const char* in;
        const char* out;
    } cases[] = {
        {false, "", ""},
        {false, "abcdefghijk", "abcdefghijk"},     // 11: unchanged
        {false, "abcdefghijkl", "abcde...hijkl"},  // 12
        {false, "一二三四五六", "一二...五六"},    // width 12
        {false, "一二三四五", "一二三四五"},       // width 10
        {false, "abcd中efghijkl", "abcd...hijkl"}, // the wide one ends the head
        {false, "ab中cdefghijkl", "ab中c...hijkl"},
        {false, "IMG_20240101_0001.JPG", "IMG_2...1.JPG"},
        {true, "abcdefghijklmno", "abcdefghijklmno"},   // 15
        {true, "abcdefghijklmnop", "abcdef...jklmnop"}, // 16
        {true, "照片二零二四年一月一日", "照片二...月一日"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(c.seventeen ? MyExtensions::thumb17(U(c.in)) : MyExtensions::thumb13(U(c.in)), U(c.out));
    }
}

bool WellFormed(const QString& s) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i).isHighSurrogate()) {
            if (i + 1 >= s.size() || !s.at(i + 1).isLowSurrogate()) return false;
            ++i;
        } else if (s.at(i).isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

TEST(MyExtensions, EmojiNeverSplit) {
    const struct {
        bool seventeen;
        const char* in;
        const char* out;
    } cases[] = {
        {false, "😀😁😂😃😄😅😆", "😀😁...😅😆"},
        {false, "a😀😁😂😃😄😅", "a😀😁...😄😅"},
        {false, "ab😀cdefgh😀ij", "ab😀c...h😀ij"},
        {false, "abcd😀efgh😀ijk", "abcd...😀ijk"},
        {true, "🎉🎉🎉🎉🎉🎉🎉🎉", "🎉🎉🎉...🎉🎉🎉"},
        {true, "家族旅行👨‍👩‍👧‍👦2024.MOV", "家族旅...024.MOV"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        const QString out = c.seventeen ? MyExtensions::thumb17(U(c.in)) : MyExtensions::thumb13(U(c.in));
        EXPECT_EQ(out, U(c.out));
        EXPECT_TRUE(WellFormed(out));
    }
    // Every cut of many mixed names stays well-formed.
    const QStringList pool{U("a"), U("中"), U("😀"), U("b"), U("é"), U("🎉"), U("文"), U("z")};
    for (int offset = 0; offset < pool.size(); ++offset)
        for (int len = 0; len < 30; ++len) {
            QString name;
            for (int i = 0; i < len; ++i)
                name += pool[(offset + i * 3) % pool.size()];
            EXPECT_TRUE(WellFormed(MyExtensions::thumb13(name))) << name.toStdString();
            EXPECT_TRUE(WellFormed(MyExtensions::thumb17(name))) << name.toStdString();
            EXPECT_LE(MyExtensions::TextWidth(MyExtensions::thumb13(name)), std::max(11, 5 + 3 + 5));
        }
}

TEST(MyExtensions, LoneSurrogatesDoNotFail) {
    QString broken = QStringLiteral("abcdefghij");
    broken.insert(3, QChar(0xD800));
    broken.append(QChar(0xDC00));
    const QString out = MyExtensions::thumb13(broken);
    EXPECT_TRUE(out.contains("..."));
}

TEST(MyExtensions, ColourFirstOccurrenceOfEachWord) {
    const QColor red(255, 0, 0);
    const struct {
        const char* text;
        const char* words; // null: none
        QList<QPair<int, int>> ranges;
    } cases[] = {
        {"scan the phone", "phone", {{9, 5}}},
        {"a b a b", "a b", {{0, 1}, {2, 1}}}, // first occurrences only
        {"abc", "zzz", {}},                   // absent word: uncoloured
        {"abc", "a  c", {{0, 1}, {2, 1}}},    // empty piece skipped
        {"abc", "", {}},
        {"abc", nullptr, {}},
        {"设备 iPhone 已连接", "iPhone 连接", {{3, 6}, {11, 2}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto ranges = MyExtensions::TextColor(U(c.text), c.words ? U(c.words) : QString(), red);
        ASSERT_EQ(ranges.size(), c.ranges.size());
        for (qsizetype i = 0; i < ranges.size(); ++i) {
            EXPECT_EQ(ranges[i].start, c.ranges[i].first);
            EXPECT_EQ(ranges[i].length, c.ranges[i].second);
            EXPECT_EQ(ranges[i].format.foreground().color(), red);
        }
    }
    EXPECT_TRUE(MyExtensions::TextColor("abc", "a", QColor()).isEmpty());
}

TEST(MyExtensions, ColouredHtmlIsEscaped) {
    EXPECT_EQ(MyExtensions::TextColorHtml("<b>x</b> y", "y", QColor(0, 151, 255)),
              "&lt;b&gt;x&lt;/b&gt; <span style=\"color:#0097ff\">y</span>");
    EXPECT_EQ(MyExtensions::TextColorHtml("ab", "ab b", QColor(255, 0, 0)),
              "<span style=\"color:#ff0000\">ab</span>");
}

} // namespace

KIT_QT_TEST_MAIN(QCoreApplication)
