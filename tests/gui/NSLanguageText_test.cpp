#include "gui/NSLanguageText.h"

#include "scan/DeviceScanManager.h"
#include "tests/kit/QtTestMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

struct InitCase {
    std::optional<long long> international; // nothing: the key is absent
    std::optional<QString> savedKey;        // nothing: never saved
    QStringList preferred;
    int expected;
};

void Save(const std::optional<QString>& key) {
    QSettings settings;
    settings.clear();
    if (key) settings.setValue(QStringLiteral("Language_Key"), *key);
    settings.sync();
}

NSLanguageText::Environment Env(std::optional<long long> international, QStringList preferred) {
    NSLanguageText::Environment env;
    env.international = [international] { return international; };
    env.appleLanguages = [preferred] { return preferred; };
    return env;
}

const std::optional<long long> kIntl = 1;
const std::optional<long long> kChinese = std::nullopt;
const std::optional<long long> kChineseZero = 0;
const QStringList kTW{"zh-Hant-TW", "en"};

TEST(NSLanguageText, InitTable) {
    const InitCase cases[] = {
        // First start of the international edition: the system's suggestion.
        {kIntl, std::nullopt, {"zh-Hant-TW"}, 2},
        {kIntl, std::nullopt, {"zh-Hant-HK"}, 2},
        {kIntl, std::nullopt, {"zh-Hant-MO", "en"}, 2},
        {kIntl, std::nullopt, {"ja-JP"}, 0},
        {kIntl, std::nullopt, {"zh-Hans-CN"}, 0},
        {kIntl, std::nullopt, {"zh-Hant"}, 0},
        {kIntl, std::nullopt, {"en-US", "zh-Hant-TW"}, 0},
        {kIntl, std::nullopt, {}, 0},
        {kIntl, QString(), kTW, 2}, // empty text counts as unsaved
        // Saved languages.
        {kIntl, QStringLiteral("9"), kTW, 9},
        {kIntl, QStringLiteral("0"), kTW, 0},
        {kIntl, QStringLiteral("11"), kTW, 11},
        {kIntl, QStringLiteral("7"), {"ja"}, 7},
        // Simplified Chinese never in the international edition.
        {kIntl, QStringLiteral("1"), kTW, 0},
        {kIntl, QStringLiteral("1"), {"ja"}, 0},
        // A saved key that names no language: the system's suggestion, then the
        // Simplified-Chinese rule (never the "zh-Hans" folder of an out-of-range number).
        {kIntl, QStringLiteral("99"), kTW, 2},
        {kIntl, QStringLiteral("99"), {"ja"}, 0},
        {kIntl, QStringLiteral("-1"), kTW, 2},
        {kIntl, QStringLiteral("12"), {"de"}, 0},
        {kIntl, QStringLiteral("abc"), kTW, 2},
        {kIntl, QStringLiteral("abc"), {"fr"}, 0},
        // The Chinese edition: always Simplified Chinese.
        {kChinese, std::nullopt, kTW, 1},
        {kChinese, QStringLiteral("9"), kTW, 1},
        {kChinese, QStringLiteral("0"), {"en"}, 1},
        {kChinese, QStringLiteral("99"), {"en"}, 1},
        {kChineseZero, QStringLiteral("9"), {"en"}, 1},
        {kChineseZero, std::nullopt, kTW, 1},
        // Any non-zero value marks the international edition.
        {std::optional<long long>(5), QStringLiteral("3"), kTW, 3},
    };
    for (const InitCase& c : cases) {
        Save(c.savedKey);
        NSLanguageText text(Env(c.international, c.preferred));
        const QString label =
            QStringLiteral("edition %1 saved %2 preferred %3")
                .arg(c.international ? QString::number(*c.international) : QStringLiteral("-"))
                .arg(c.savedKey ? *c.savedKey : QStringLiteral("(none)"))
                .arg(c.preferred.join(','));
        SCOPED_TRACE(label.toStdString());
        EXPECT_EQ(text.Language(), c.expected);
        EXPECT_EQ(text.isInternational(), c.international.value_or(0) != 0);
        // The choice is stored at once.
        QSettings settings;
        EXPECT_EQ(settings.value("Language_Key").toString(), QString::number(c.expected));
        EXPECT_EQ(settings.value("AppLanguage").toString(), NSLanguageText::FolderName(c.expected));
    }
}

TEST(NSLanguageText, EveryCombinationKeepsTheEditionRule) {
    const std::optional<long long> editions[] = {kIntl, kChinese, kChineseZero};
    const std::optional<QString> saved[] = {std::nullopt, QString(), "0",  "1",  "2",   "8",
                                            "11",         "12",      "99", "-1", "abc", " 3 "};
    const QStringList firsts[] = {{}, {"en"}, {"zh-Hant-TW"}, {"zh-Hant-HK"}, {"zh-Hans"}, {"ja"}, {"ar"}};
    for (const auto& edition : editions)
        for (const auto& key : saved)
            for (const QStringList& first : firsts) {
                Save(key);
                NSLanguageText text(Env(edition, first));
                const int n = text.Language();
                if (edition.value_or(0) == 0) {
                    EXPECT_EQ(n, 1);
                } else {
                    EXPECT_NE(n, 1);
                    EXPECT_GE(n, 0);
                    EXPECT_LT(n, NSLanguageText::LanguageCount);
                }
            }
}

TEST(NSLanguageText, SetLanguageStoresFolderAndNumber) {
    Save(std::nullopt);
    NSLanguageText text(Env(kIntl, {"en"}));
    text.setLanguage(8);
    QSettings settings;
    EXPECT_EQ(settings.value("AppLanguage").toString(), "pt-PT");
    EXPECT_EQ(settings.value("Language_Key").toString(), "8");
    EXPECT_EQ(text.Language(), 8);
    // The next start of the international edition keeps it.
    NSLanguageText next(Env(kIntl, {"zh-Hant-TW"}));
    EXPECT_EQ(next.Language(), 8);
}

TEST(NSLanguageText, EditionFromTheBundlePropertyList) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto plist = [&](const char* name, const QByteArray& body) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + body +
                "</dict></plist>");
        return path;
    };
    const struct {
        const char* name;
        QByteArray body;
        std::optional<long long> value;
    } cases[] = {
        {"one.plist", "<key>International</key><integer>1</integer><key>Partner</key><string>0</string>", 1},
        {"zero.plist", "<key>International</key><integer>0</integer>", 0},
        {"true.plist", "<key>International</key><true/>", 1},
        {"text.plist", "<key>International</key><string>1</string>", 1},
        {"word.plist", "<key>International</key><string>yes</string>", std::nullopt},
        {"absent.plist", "<key>Partner</key><string>0</string>", std::nullopt},
        {"list.plist", "<key>International</key><array/>", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NSLanguageText::InternationalOf(plist(c.name, c.body)), c.value);
    }
    EXPECT_EQ(NSLanguageText::InternationalOf(dir.filePath("missing.plist")), std::nullopt);
    QFile junk(dir.filePath("junk.plist"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a property list");
    junk.close();
    EXPECT_EQ(NSLanguageText::InternationalOf(junk.fileName()), std::nullopt);
}

TEST(NSLanguageText, FolderNames) {
    const char* folders[] = {"en", "zh-Hans", "zh-HK", "ja", "ko", "de",
                             "ru", "ar",      "pt-PT", "es", "fr", "id"};
    for (int n = 0; n < 12; ++n)
        EXPECT_EQ(NSLanguageText::FolderName(n), QString::fromLatin1(folders[n]));
    EXPECT_EQ(NSLanguageText::FolderName(-1), "zh-Hans");
    EXPECT_EQ(NSLanguageText::FolderName(12), "zh-Hans");
}

// Tables in a temporary folder: en and de only.
class LookupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        Write("en", "\"Hello\" = \"Hello\";\n\"OnlyEnglish\" = \"english only\";\n\"ScanComplete\" = \"Scan "
                    "complete\";\n");
        Write("de", "\"Hello\" = \"Hallo\";\n\"ScanComplete\" = \"Fertig\";\n");
        NSLanguageText::SetResourceRoot(root.path());
    }
    void TearDown() override { NSLanguageText::SetResourceRoot(QStringLiteral(":/")); }
    void Write(const char* folder, const char* text) {
        const QString dir = root.filePath(QString::fromLatin1(folder) + ".lproj");
        QDir().mkpath(dir);
        QFile f(dir + "/Language.strings");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    static void SetFolder(const QString& folder) {
        QSettings settings;
        settings.setValue("AppLanguage", folder);
        settings.sync();
    }
    QTemporaryDir root;
};

TEST_F(LookupTest, TextOfTheCurrentLanguage) {
    SetFolder("de");
    EXPECT_EQ(LanguageText("Hello"), "Hallo");
    // A key the table lacks yields the key itself (no fall-through to English).
    EXPECT_EQ(LanguageText("OnlyEnglish"), "OnlyEnglish");
    EXPECT_EQ(LanguageText("NoSuchKey"), "NoSuchKey");
    SetFolder("en");
    EXPECT_EQ(LanguageText("Hello"), "Hello");
    EXPECT_EQ(LanguageText("继续"), "继续");
}

TEST_F(LookupTest, MissingOrBadLanguageFolderFallsBackToEnglish) {
    for (const char* folder : {"ja", "", "../en", "en/../de", "zh-Hans", "x"}) {
        SCOPED_TRACE(folder);
        SetFolder(QString::fromLatin1(folder));
        EXPECT_EQ(LanguageText("Hello"), "Hello");
    }
}

TEST_F(LookupTest, NoTablesAtAll) {
    NSLanguageText::SetResourceRoot(root.filePath("nothing"));
    SetFolder("de");
    EXPECT_EQ(LanguageText("Hello"), "Hello");
    EXPECT_FALSE(NSLanguageText::TableText("Hello").has_value());
}

TEST_F(LookupTest, LookupsFromThreadsWhileTheLanguageChanges) {
    Save(std::nullopt);
    NSLanguageText text(Env(kIntl, {"en"}));
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            while (!stop) {
                const QString t = LanguageText("Hello");
                if (t != "Hello" && t != "Hallo") ++wrong;
            }
        });
    for (int i = 0; i < 200; ++i)
        text.setLanguage(i % 2 ? 5 : 0);
    stop = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(LookupTest, ServedScanTextsFollowTheSharedInstance) {
    NSLanguageText* shared = NSLanguageText::shareInstance();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared, NSLanguageText::shareInstance());
    NSLanguageText::ServeScanTexts();
    shared->setLanguage(NSLanguageText::German);
    DeviceScanManager::shared().ScanComplete();
    EXPECT_EQ(DeviceScanManager::shared().progressHolder().Get().text, "Fertig");
    shared->setLanguage(NSLanguageText::English);
    DeviceScanManager::shared().ScanComplete();
    EXPECT_EQ(DeviceScanManager::shared().progressHolder().Get().text, "Scan complete");
}

// Only string literals are keys: a pointer or a computed text does not compile, so
// every key in use can be collected from the sources.
template <typename T>
concept LookupAccepts = requires(T key) {
    LanguageText(key);
};
static_assert(LookupAccepts<const char (&)[4]>);
static_assert(!LookupAccepts<const char*>);
static_assert(!LookupAccepts<QString>);
static_assert(!LookupAccepts<std::string>);

struct FormatCase {
    const char* pattern;
    QStringList args;
    const char* expected;
};

TEST(SafeFormat, Table) {
    const FormatCase cases[] = {
        {"", {}, ""},
        {"plain", {"x"}, "plain"},
        {"%@", {"a"}, "a"},
        {"%d", {"42"}, "42"},
        {"%@ of %d files", {"Photos", "12"}, "Photos of 12 files"},
        {"%d/%d", {"3", "7"}, "3/7"},
        // Too few arguments: the rest stays literal.
        {"%@ and %@", {"one"}, "one and %@"},
        {"%d%%", {}, "%d%%"},
        // Too many: the extra ones are unused.
        {"only %@", {"a", "b", "c"}, "only a"},
        // Every other sequence stays literal and takes no argument.
        {"%s", {"x"}, "%s"},
        {"%n", {"x"}, "%n"},
        {"%x%@", {"y"}, "%xy"},
        {"%ld", {"5"}, "%ld"},
        {"%1$@", {"z"}, "%1$@"},
        {"100%", {"a"}, "100%"},
        {"%", {"a"}, "%"},
        {"% @", {"a"}, "% @"},
        {"%%@", {"a"}, "%%@"},
        {"%%d%d", {"a"}, "%%da"},
        {"%@%", {"a"}, "a%"},
        // An argument is never read as a pattern.
        {"%@ %@", {"%@", "b"}, "%@ b"},
        {"%@", {"%s%n%d"}, "%s%n%d"},
        {"已扫描 %d 个", {"5"}, "已扫描 5 个"},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(SafeFormat(QString::fromUtf8(c.pattern), c.args), QString::fromUtf8(c.expected));
    }
}

} // namespace

KIT_QT_TEST_MAIN(QCoreApplication)
