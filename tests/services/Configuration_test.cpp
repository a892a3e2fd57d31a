// The settings store in a scratch cache folder with an injected clock.
#include "services/Configuration.h"

#include "platform/ProcessLog.h"
#include "tests/kit/ScratchFolder.h"

#include "platform/PlistDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

namespace {

QString Q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray PlistWith(const QList<QPair<QString, QString>>& entries) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [k, v] : entries)
        xml += "<key>" + k.toUtf8() + "</key><string>" + v.toUtf8() + "</string>\n";
    return xml + "</dict>\n</plist>\n";
}

struct Fixture {
    kit::ScratchFolder root{"configuration"};
    QDate today{2026, 12, 10};

    QString cache() const { return Q(root.path() / "cache"); }
    QString settingsPath() const { return cache() + "/MorvantiIOS/UserInfo.plist"; }
    QString bundle() const { return Q(root.path() / "Configuration.plist"); }

    Configuration::Environment Env(const QString& appVersion = "2.1.0") {
        Configuration::Environment e;
        e.cacheFolder = cache();
        e.settingsFile = Q(root.path() / "settings.ini");
        e.bundleConfiguration = bundle();
        e.applicationVersion = appVersion;
        e.systemVersion = "12";
        e.today = [this] { return today; };
        return e;
    }
};

} // namespace

TEST(Configuration, FirstStartCreatesFolderAndEmptyDictionary) {
    Fixture f;
    WriteFile(f.bundle(), PlistWith({{"Partner", "P7"}}));
    Configuration c(f.Env());
    EXPECT_EQ(c.SaveFileDataPath(), f.settingsPath());
    const PlistDocument doc = PlistDocument::FromFile(f.settingsPath());
    ASSERT_TRUE(doc.isValid());
    EXPECT_TRUE(doc.HasDictionary({}));
    EXPECT_TRUE(doc.StringDictionary({}).isEmpty());
    EXPECT_TRUE(c.IsScanOtherType());
    EXPECT_EQ(c.Partner, "P7");
    EXPECT_EQ(c.Business, "1");
    EXPECT_EQ(c.SysVersion, "12");
    EXPECT_FALSE(c.isDebugLog);
    // Reading a key never written adds nothing.
    EXPECT_EQ(c.ReadData("Nothing"), "");
    EXPECT_TRUE(PlistDocument::FromFile(f.settingsPath()).StringDictionary({}).isEmpty());
}

TEST(Configuration, PartnerSources) {
    struct Case {
        const char* name;
        bool fileHasPartner;
        QString filePartner;
        QByteArray bundle; // empty: no bundle resource
        QString expected;
    } cases[] = {
        {"stored empty wins", true, "", PlistWith({{"Partner", "P7"}}), ""},
        {"stored value", true, "S1", PlistWith({{"Partner", "P7"}}), "S1"},
        {"bundle value", false, "", PlistWith({{"Partner", "P7"}}), "P7"},
        {"bundle empty", false, "", PlistWith({{"Partner", ""}}), "0"},
        {"bundle without key", false, "", PlistWith({{"International", "1"}}), "0"},
        {"no bundle", false, "", QByteArray(), "0"},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        Fixture f;
        if (!tc.bundle.isEmpty()) WriteFile(f.bundle(), tc.bundle);
        if (tc.fileHasPartner) WriteFile(f.settingsPath(), PlistWith({{"Partner", tc.filePartner}}));
        Configuration c(f.Env());
        EXPECT_EQ(c.Partner, tc.expected);
    }
}

TEST(Configuration, ScanOtherTypeFlag) {
    const std::pair<QString, bool> cases[] = {
        {"0", false}, {"", true}, {"1", true}, {"abc", false}, {"yes", true}, {" 2", true}, {"00", false},
    };
    for (const auto& [stored, expected] : cases) {
        Fixture f;
        WriteFile(f.settingsPath(), PlistWith({{"isScanOtherType", stored}}));
        Configuration c(f.Env());
        EXPECT_EQ(c.IsScanOtherType(), expected) << stored.toStdString();
    }
    Fixture f;
    {
        Configuration c(f.Env());
        c.setIsScanOtherType(false);
        EXPECT_FALSE(c.IsScanOtherType());
    }
    EXPECT_EQ(PlistDocument::FromFile(f.settingsPath()).String({"isScanOtherType"}), QString("0"));
    Configuration again(f.Env());
    EXPECT_FALSE(again.IsScanOtherType());
    again.setIsScanOtherType(true);
    EXPECT_EQ(PlistDocument::FromFile(f.settingsPath()).String({"isScanOtherType"}), QString("1"));
}

TEST(Configuration, InstallationMarkTruthTable) {
    const std::pair<QString, bool> cases[] = {
        {"1", true},    {"2026/12/09", true}, {"0", false},   {"", false},
        {"true", true}, {"no", false},        {"  -3", true},
    };
    for (const auto& [stored, expected] : cases) {
        Fixture f;
        WriteFile(f.settingsPath(), PlistWith({{"StatInstallation_Key", stored}}));
        Configuration c(f.Env());
        EXPECT_EQ(c.isStatInstallation(), expected) << stored.toStdString();
    }
    Fixture f;
    Configuration c(f.Env());
    EXPECT_FALSE(c.isStatInstallation());
    c.SaveStatInstallation();
    EXPECT_TRUE(c.isStatInstallation());
}

TEST(Configuration, ActivityDayAroundMidnight) {
    Fixture f;
    Configuration c(f.Env());
    EXPECT_FALSE(c.isStatActive());
    c.SaveStatActive();
    EXPECT_EQ(c.ReadData("StatInstallation_Key"), "2026/12/10");
    EXPECT_TRUE(c.isStatActive());
    EXPECT_TRUE(c.isStatInstallation());
    f.today = QDate(2026, 12, 11); // past local midnight
    EXPECT_FALSE(c.isStatActive());
    f.today = QDate(2026, 12, 10);
    c.SaveStatInstallation();
    EXPECT_FALSE(c.isStatActive());
    // The store persists: a new instance reads the same mark.
    Configuration again(f.Env());
    EXPECT_EQ(again.ReadData("StatInstallation_Key"), "1");
}

TEST(Configuration, UnreadableFileIsMovedAsideNotLost) {
    const std::pair<const char*, QByteArray> cases[] = {
        {"empty", QByteArray()},
        {"binary", QByteArray("\x00\x01\xff\xfe garbage", 13)},
        {"array root",
         "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>a</string></array></plist>"},
        {"truncated", PlistWith({{"Partner", "S1"}}).left(60)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        Fixture f;
        WriteFile(f.settingsPath(), bytes);
        Configuration c(f.Env());
        EXPECT_EQ(ReadFile(f.settingsPath() + ".bad"), bytes);
        const PlistDocument doc = PlistDocument::FromFile(f.settingsPath());
        EXPECT_TRUE(doc.HasDictionary({}));
        EXPECT_TRUE(c.IsScanOtherType());
        // A second bad file does not replace the first copy.
        WriteFile(f.settingsPath(), "second");
        Configuration again(f.Env());
        EXPECT_EQ(ReadFile(f.settingsPath() + ".bad"), bytes);
        EXPECT_EQ(ReadFile(f.settingsPath() + ".bad.1"), "second");
    }
}

TEST(Configuration, FailedWriteIsReportedAndLogged) {
    Fixture f;
    // A plain file where the settings folder belongs: nothing can be written (also as root).
    WriteFile(f.cache() + "/MorvantiIOS", "in the way");
    QStringList lines;
    auto previous = ProcessLog::SetSink([&](const QString& line) { lines << line; });
    {
        Configuration c(f.Env());
        EXPECT_FALSE(c.WriteData("v", "k"));
        EXPECT_EQ(c.ReadData("k"), "v"); // kept in memory
    }
    ProcessLog::SetSink(previous);
    EXPECT_TRUE(lines.filter("创建文件失败").size() == 1) << lines.join("\n").toStdString();
    EXPECT_TRUE(lines.filter("写入失败").size() == 1) << lines.join("\n").toStdString();
}

TEST(Configuration, ApplicationVersionWithoutDots) {
    const std::pair<QString, QString> cases[] = {{"2.1.0", "210"}, {"3", "3"}, {"1.0.10", "1010"}, {"", ""}};
    for (const auto& [version, expected] : cases) {
        Fixture f;
        Configuration c(f.Env(version));
        EXPECT_EQ(c.AppVersion, expected) << version.toStdString();
    }
}

TEST(Configuration, SystemLanguageComparesWholeEntries) {
    const std::pair<QStringList, int> cases[] = {
        {{"zh-Hant-HK"}, 2}, {{"zh-Hant-MO", "en"}, 2},    {{"zh-Hant-TW"}, 2},   {{"zh-Hant"}, 0},
        {{"zh-Hans-CN"}, 0}, {{"en-US", "zh-Hant-TW"}, 0}, {{"zh-Hant-TW-x"}, 0}, {{}, 0},
    };
    for (const auto& [languages, expected] : cases) {
        Fixture f;
        auto env = f.Env();
        env.preferredLanguages = [l = languages] { return l; };
        Configuration c(env);
        EXPECT_EQ(c.sysLanguage(), expected) << languages.join(",").toStdString();
    }
}

TEST(Configuration, GuideFlagPersists) {
    Fixture f;
    {
        Configuration c(f.Env());
        EXPECT_FALSE(c.isGuide());
        c.SaveGuide();
        EXPECT_TRUE(c.isGuide());
    }
    Configuration again(f.Env());
    EXPECT_TRUE(again.isGuide());
}
