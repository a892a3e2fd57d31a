// The shipped resources are complete: twelve language tables with one key set that holds
// every key the sources look up, texts fit for each language, the images every window and
// table names (with their dark-mode drawings), and the bundle property list.
#include "platform/PlistDocument.h"
#include "scan/LanguageTable.h"
#include "tests/scan/QtGtestMain.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>

namespace {

const QStringList kLanguages = {"en", "zh-Hans", "zh-HK", "ja", "ko", "de",
                                "ru", "ar",      "pt-PT", "es", "fr", "id"};

QString SourceRoot() {
    return QDir::cleanPath(QStringLiteral(TEST_DATA_DIR "/.."));
}

std::optional<QString> ReadText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return QString::fromUtf8(f.readAll());
}

// Undoes the escapes of a quoted key (tables and C++ literals share \" \\ \n \t).
QString Unescape(const QString& s) {
    QString out;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const QChar e = s[++i];
        out += e == u'n' ? QChar(u'\n') : e == u't' ? QChar(u'\t') : e;
    }
    return out;
}

// One language table: the keys in file order (duplicates kept, so they can be found) and
// the parsed texts.
struct Table {
    QStringList keys;
    LanguageTable texts;
    bool parsed = false;
};

Table LoadTable(const QString& language) {
    Table t;
    const auto text = ReadText(QStringLiteral(":/%1.lproj/Language.strings").arg(language));
    if (!text) return t;
    t.parsed = t.texts.Parse(*text);
    static const QRegularExpression entry(QStringLiteral(R"re(^\s*"((?:[^"\\]|\\.)*)"\s*=)re"),
                                          QRegularExpression::MultilineOption);
    for (auto it = entry.globalMatch(*text); it.hasNext();)
        t.keys << Unescape(it.next().captured(1));
    return t;
}

const std::map<QString, Table>& Tables() {
    static const std::map<QString, Table> tables = [] {
        std::map<QString, Table> m;
        for (const QString& language : kLanguages)
            m.emplace(language, LoadTable(language));
        return m;
    }();
    return tables;
}

QSet<QString> KeySet(const Table& t) {
    return QSet<QString>(t.keys.begin(), t.keys.end());
}

// The sources of the libraries that show texts, with comments removed (string literals kept).
struct Source {
    QString path; // relative to the source root
    QString code;
};

QString StripComments(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'"' || c == u'\'') { // a literal, copied whole
            out += c;
            for (++i; i < s.size(); ++i) {
                out += s[i];
                if (s[i] == u'\\' && i + 1 < s.size())
                    out += s[++i];
                else if (s[i] == c || s[i] == u'\n')
                    break;
            }
        } else if (c == u'/' && i + 1 < s.size() && s[i + 1] == u'/') {
            while (i < s.size() && s[i] != u'\n')
                ++i;
            out += u'\n';
        } else if (c == u'/' && i + 1 < s.size() && s[i + 1] == u'*') {
            const qsizetype end = s.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? s.size() : end + 1;
            out += u' ';
        } else {
            out += c;
        }
    }
    return out;
}

const std::vector<Source>& Sources() {
    static const std::vector<Source> sources = [] {
        std::vector<Source> v;
        const QDir root(SourceRoot());
        for (const char* folder : {"app", "services", "media", "views", "scan", "platform"}) {
            QDirIterator it(root.filePath(folder), {"*.h", "*.cpp"}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (auto text = ReadText(path))
                    v.push_back({root.relativeFilePath(path), StripComments(*text)});
            }
        }
        return v;
    }();
    return sources;
}

// Every key looked up through the one call form LanguageText("Key"), with the file that
// uses it; `misuses` gets every call whose argument is not a string literal.
std::map<QString, QString> CodeKeys(QStringList* misuses) {
    static const QRegularExpression call(
        QStringLiteral(R"re(\bLanguageText\s*\(\s*("((?:[^"\\]|\\.)*)"\s*\))?)re"));
    std::map<QString, QString> keys;
    for (const Source& s : Sources()) {
        // The lookup's own declaration and definition take a parameter, not a literal.
        const bool lookupItself = QFileInfo(s.path).baseName() == QStringLiteral("NSLanguageText");
        for (auto it = call.globalMatch(s.code); it.hasNext();) {
            const auto m = it.next();
            if (m.capturedLength(1) > 0)
                keys.emplace(Unescape(m.captured(2)), s.path);
            else if (!lookupItself && misuses)
                *misuses << s.path;
        }
    }
    return keys;
}

// The keys of the scan's and the chat parsers' own texts (progress formats, the trust
// prompt, group names), looked up through the scan's text lookup, which the application
// points at the same tables.
const QStringList kScanKeys = {"PROGRESSTXT_NOUSE",
                               "PROGRESSTXT_SMS",
                               "PROGRESSTXT_CALL",
                               "PROGRESSTXT_CONTACT",
                               "PROGRESSTXT_SAFARI",
                               "PROGRESSTXT_REMINDER",
                               "PROGRESSTXT_NOTE",
                               "PROGRESSTXT_CALENDAR",
                               "PROGRESSTXT_WXCONTACT",
                               "PROGRESSTXT_WXCHAT",
                               "PROGRESSTXT_WXCONVERT",
                               "ScanComplete",
                               "Unknown",
                               "HaoYou",
                               "GongZhongHao",
                               "Qun",
                               "WxTypeExp",
                               "DeviceTrustTitle",
                               "DeviceTrustTip",
                               "DeviceTrustContinue"};

// Addresses that no part of the application may invent: present and empty in every table.
const QStringList kAddressKeys = {"NewVersioneURL", "DownloadPackageURL", "TutorialURL"};

// Keys whose text names an image; the "_2_bt" pictures also have a dark-mode drawing.
const QStringList kImageKeys = {"DeviceDiriza_1_bt", "DeviceDiriza_2_bt", "iTunesDiriza_1_bt",
                                "iTunesDiriza_2_bt", "QQ_nor_bt",         "QQ_hor_bt"};
const QStringList kDarkImageKeys = {"DeviceDiriza_2_bt", "iTunesDiriza_2_bt"};

// Texts that may read as in English in any language: the image names, the addresses, the
// companion application's file name, the language menu's items (each language in its own
// name), the button title "OK" and the quotation marks around a data type's name.
bool LanguageNeutral(const QString& key) {
    static const QSet<QString> keys = {"OpenAppName", "ok", "OK", "DirizaNum"};
    return keys.contains(key) || kImageKeys.contains(key) || kAddressKeys.contains(key) ||
           QRegularExpression(QStringLiteral("^Menu(GB|HK|JP|KR|DE|RU|EG|PT|ES|FR|ID)$"))
               .match(key)
               .hasMatch();
}
// Words spelled as in English in one language.
const std::set<std::pair<QString, QString>> kSameAsEnglish = {
    {"de", "DataTypeVideo"},
    {"fr", "DataTypePhoto"},
    {"fr", "DataTypeMemo"},
    // Column names and file names of the result tables.
    {"de", "SurnameCell"},
    {"fr", "DateCell"},
    {"fr", "TypeCell"},
    {"fr", "Memo"},
    {"fr", "联系人"}};

// The placeholders a text is filled through: "%@" and "%d" in order, and the positional
// "%1".."%9" of the scan's progress formats in any order.
QStringList Sequential(const QString& text) {
    QStringList out;
    static const QRegularExpression p(QStringLiteral("%[@d]"));
    for (auto it = p.globalMatch(text); it.hasNext();)
        out << it.next().captured();
    return out;
}
QStringList Positional(const QString& text) {
    QStringList out;
    static const QRegularExpression p(QStringLiteral("%[1-9]"));
    for (auto it = p.globalMatch(text); it.hasNext();)
        out << it.next().captured();
    out.sort();
    return out;
}

// Images the windows name, each with its dark-mode drawing where the window appends "_black".
const QStringList kImages = {"bottom_background",
                             "FullDiskAccess_cn",
                             "FullDiskAccess_en",
                             "download_bt",
                             "NSAddTemplate",
                             "logo",
                             "AppIcon",
                             "DeviceDiriza_1_bt",
                             "DeviceDiriza_2_bt",
                             "iTunesDiriza_1_bt",
                             "iTunesDiriza_2_bt",
                             "QQ_nor_bt",
                             "QQ_hor_bt",
                             "blue",
                             "white",
                             "Select_Back_nor",
                             "Select_Back_hot",
                             "AllDiriza_bt_nor",
                             "AllDiriza_bt_hot",
                             "start_1_bt",
                             "start_2_bt",
                             "pause_1_bt",
                             "pause_2_bt",
                             "stop_1_bt",
                             "stop_2_bt",
                             "BackHome_bt_nor",
                             "BackHome_bt_hot",
                             "progress_1",
                             "progress_2",
                             "progress_3",
                             "progress_4",
                             "progress_5",
                             "progress_6",
                             "progress_7",
                             "usb_1",
                             "usb_2",
                             "usb_3",
                             "usb_4",
                             "default_title",
                             "default_title2",
                             "check_ok",
                             "check_no",
                             "photo_logo",
                             "video_logo",
                             "SMSAttachment_logo",
                             "MemoAttachment_logo",
                             "VoiceAttachment_logo",
                             "sms_logo",
                             "CallLog_logo",
                             "addressbook_logo",
                             "bookmarks_logo",
                             "Reminders_logo",
                             "Memo_logo",
                             "Calendar_logo",
                             "WXAddressBook_logo",
                             "wx_logo",
                             "WhatsAppChatRecord_logo",
                             "whatsAppAttachment_logo",
                             "friends_ico",
                             "public_ico",
                             "Group_ico",
                             "contact_logo"};
const QStringList kDarkImages = {
    "bottom_background", "DeviceDiriza_2_bt", "iTunesDiriza_2_bt", "Select_Back_nor", "Select_Back_hot",
    "AllDiriza_bt_nor",  "AllDiriza_bt_hot",  "start_1_bt",        "start_2_bt",      "pause_1_bt",
    "pause_2_bt",        "stop_1_bt",         "stop_2_bt",         "BackHome_bt_nor", "BackHome_bt_hot"};

QString ImagePath(const QString& name) {
    return QStringLiteral(":/images/%1.svg").arg(name);
}

// Image names in the sources: resource paths ":/images/<name>.svg" and string-literal
// names handed to a function whose name speaks of an image, icon or pixmap (functions that
// write or capture pictures, such as a screenshot's save, take file names instead).
std::map<QString, QString> CodeImages() {
    static const QRegularExpression path(QStringLiteral(R"re(":/images/([A-Za-z0-9_]+)\.svg")re"));
    static const QRegularExpression named(QStringLiteral(
        R"re(\b(\w*(?:Image|Icon|Pixmap)\w*)\s*\(\s*(?:QStringLiteral\s*\(\s*)?"([A-Za-z][A-Za-z0-9_]*)")re"));
    static const QRegularExpression writer(
        QStringLiteral("^(save|write|grab|render|store|export|shot|capture)"),
        QRegularExpression::CaseInsensitiveOption);
    std::map<QString, QString> names;
    for (const Source& s : Sources()) {
        for (auto it = path.globalMatch(s.code); it.hasNext();)
            names.emplace(it.next().captured(1), s.path);
        for (auto it = named.globalMatch(s.code); it.hasNext();) {
            const auto m = it.next();
            if (!writer.match(m.captured(1)).hasMatch()) names.emplace(m.captured(2), s.path);
        }
    }
    return names;
}

} // namespace

TEST(ResourceCompleteness, TwelveWellFormedTablesWithOneKeySet) {
    // The shipped folders are exactly the twelve languages.
    QStringList folders = QDir(SourceRoot() + "/resources").entryList({"*.lproj"}, QDir::Dirs);
    QStringList expected;
    for (const QString& language : kLanguages)
        expected << language + ".lproj";
    folders.sort();
    expected.sort();
    EXPECT_EQ(folders, expected);

    const Table& en = Tables().at("en");
    ASSERT_TRUE(en.parsed);
    ASSERT_GT(en.keys.size(), 100);
    const QSet<QString> enKeys = KeySet(en);
    for (const auto& [language, table] : Tables()) {
        SCOPED_TRACE(language.toStdString());
        ASSERT_TRUE(table.parsed) << "missing or not well-formed";
        // One line per key: a key written twice (say after a merge) would hide one text.
        QSet<QString> seen;
        for (const QString& key : table.keys) {
            EXPECT_FALSE(seen.contains(key)) << "key twice: " << key.toStdString();
            seen.insert(key);
        }
        EXPECT_EQ(table.texts.size(), KeySet(table).size());
        const QSet<QString> keys = KeySet(table);
        for (const QString& key : enKeys - keys)
            ADD_FAILURE() << "lacks " << key.toStdString();
        for (const QString& key : keys - enKeys)
            ADD_FAILURE() << "has " << key.toStdString() << ", which English lacks";
    }
}

TEST(ResourceCompleteness, TablesHoldEveryKeyTheSourcesLookUp) {
    QStringList misuses;
    const auto keys = CodeKeys(&misuses);
    EXPECT_TRUE(misuses.isEmpty()) << "LanguageText called without a string-literal key in: "
                                   << misuses.join(", ").toStdString();
    for (const auto& [language, table] : Tables())
        for (const auto& [key, file] : keys)
            EXPECT_TRUE(table.texts.Contains(key))
                << language.toStdString() << " lacks \"" << key.toStdString() << "\" (" << file.toStdString()
                << ")";

    // The scan's keys are in every table: the known ones, and those its sources look up
    // through its own lookup or name as progress formats.
    QSet<QString> scanKeys(kScanKeys.begin(), kScanKeys.end());
    static const QRegularExpression scanLookup(QStringLiteral(
        R"re(\b(?:LocalizedText|text)\s*\(\s*QStringLiteral\s*\(\s*"([A-Za-z_0-9]+)"|"(PROGRESSTXT_[A-Z_0-9]+)")re"));
    for (const Source& s : Sources()) {
        if (!s.path.startsWith("scan/")) continue;
        for (auto it = scanLookup.globalMatch(s.code); it.hasNext();) {
            const auto m = it.next();
            scanKeys << (m.capturedLength(1) > 0 ? m.captured(1) : m.captured(2));
        }
    }
    EXPECT_TRUE(scanKeys.contains("ScanComplete") && scanKeys.contains("PROGRESSTXT_SMS"));
    for (const QString& key : scanKeys)
        for (const auto& [language, table] : Tables())
            EXPECT_TRUE(table.texts.Contains(key))
                << language.toStdString() << " lacks " << key.toStdString();
}

TEST(ResourceCompleteness, TextsAreFilledTranslatedAndKeepTheirPlaceholders) {
    const Table& en = Tables().at("en");
    for (const auto& [language, table] : Tables()) {
        SCOPED_TRACE(language.toStdString());
        for (const QString& key : en.keys) {
            if (!table.texts.Contains(key)) continue; // reported by the key-set test
            const QString text = table.texts.Text(key);
            const QString english = en.texts.Text(key);
            const std::string k = key.toStdString();
            if (kAddressKeys.contains(key)) {
                EXPECT_TRUE(text.isEmpty()) << k << ": no address is configured for any language";
                continue;
            }
            EXPECT_FALSE(text.trimmed().isEmpty()) << k;
            EXPECT_EQ(Sequential(text), Sequential(english)) << k << ": " << text.toStdString();
            EXPECT_EQ(Positional(text), Positional(english)) << k << ": " << text.toStdString();
            if (language != "en" && !LanguageNeutral(key) && !kSameAsEnglish.count({language, key})) {
                EXPECT_NE(text, english) << k << " is not translated";
            }
        }
        for (const QString& key : kImageKeys)
            EXPECT_EQ(table.texts.Text(key), en.texts.Text(key))
                << key.toStdString() << " names another image";
        for (const char* key : {"ok", "OK", "OpenAppName"})
            EXPECT_FALSE(table.texts.Text(QString::fromLatin1(key)).isEmpty()) << key;
    }
}

TEST(ResourceCompleteness, TextsSpeakOfThisSystem) {
    // The status page colours the words of "ConnectionText" inside "OperationText"; texts
    // that name a button use that button's own title.
    const std::pair<const char*, const char*> inside[] = {{"OperationText", "ConnectionText"},
                                                          {"OperationText3", "DirizaAllBt"},
                                                          {"DeviceTrustTip", "DeviceTrustContinue"}};
    for (const auto& [language, table] : Tables())
        for (const auto& [text, part] : inside)
            EXPECT_TRUE(table.texts.Text(text).contains(table.texts.Text(part)))
                << language.toStdString() << ": " << text << " lacks " << part;

    // No text sends the user to tools of another system.
    const QRegularExpression foreign(QStringLiteral(
        R"re(\bFinder\b|System Preferences|System Settings|\bmacOS\b|\bMac\b|\biTunes\b|系统偏好设置|系統偏好設定)re"));
    for (const auto& [language, table] : Tables())
        for (const QString& key : table.keys) {
            const QString text = table.texts.Text(key);
            EXPECT_FALSE(foreign.match(text).hasMatch())
                << language.toStdString() << " " << key.toStdString() << ": " << text.toStdString();
        }

    // The backups-folder window tells where the backups are and how to give read access;
    // the window fills in the folder it reads.
    for (const auto& [language, table] : Tables()) {
        const QString step2 = table.texts.Text(
            QString::fromUtf8("2、在系统偏好设置窗口的左下角点击锁定图标并输入您的管理员密码。"));
        EXPECT_TRUE(step2.contains("chmod -R u+rX %@")) << language.toStdString();
        for (const char* key :
             {"1、点击下方的按钮或打开系统偏好设置 -> 安全性与隐私，然后进入隐私标签页。",
              "2、在系统偏好设置窗口的左下角点击锁定图标并输入您的管理员密码。", "iTunes1Title"}) {
            const QString text = table.texts.Text(QString::fromUtf8(key));
            EXPECT_EQ(text.count("%@"), 1) << language.toStdString() << " " << key;
            EXPECT_FALSE(text.contains("MobileSync")) << language.toStdString() << " " << key;
        }
    }
}

TEST(ResourceCompleteness, EveryNamedImageIsOursAndLoads) {
    QSet<QString> required(kImages.begin(), kImages.end());
    for (const QString& name : kDarkImages)
        required << name + "_black";
    for (const auto& [language, table] : Tables())
        for (const QString& key : kImageKeys) {
            required << table.texts.Text(key);
            if (kDarkImageKeys.contains(key)) required << table.texts.Text(key) + "_black";
        }
    for (const auto& [name, file] : CodeImages())
        EXPECT_TRUE(QFile::exists(ImagePath(name)))
            << name.toStdString() << " (named in " << file.toStdString() << ")";
    for (const QString& name : required)
        EXPECT_TRUE(QFile::exists(ImagePath(name))) << name.toStdString();

    // Every drawing in the folder is embedded, loads, and is plain shapes: no words, no
    // embedded pictures, nothing fetched from elsewhere.
    const QDir folder(SourceRoot() + "/app/resources/images");
    const QStringList files = folder.entryList({"*"}, QDir::Files);
    EXPECT_GE(files.size(), required.size());
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        ASSERT_TRUE(file.endsWith(".svg"));
        const QString name = file.chopped(4);
        ASSERT_TRUE(QFile::exists(ImagePath(name))) << "not embedded";
        const QImage image(ImagePath(name));
        ASSERT_FALSE(image.isNull());
        EXPECT_GT(image.width(), 0);
        const QString svg = ReadText(folder.filePath(file)).value_or(QString());
        EXPECT_FALSE(svg.contains("<text")) << "an image carries no words";
        EXPECT_FALSE(svg.contains("<image")) << "drawn, not pasted";
        EXPECT_FALSE(svg.contains(QRegularExpression("href\\s*=\\s*\"(?!#)"))) << "no outside references";
        // A drawing shows something: not every pixel transparent.
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn);
        // A dark-mode drawing is its own, with the size of the light one.
        if (name.endsWith("_black")) {
            const QImage light(ImagePath(name.chopped(6)));
            ASSERT_FALSE(light.isNull()) << "dark drawing without a light one";
            EXPECT_EQ(image.size(), light.size());
            EXPECT_NE(image, light);
        }
    }
}

TEST(ResourceCompleteness, BundlePropertyList) {
    QFile f(QStringLiteral(":/Configuration.plist"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const PlistDocument plist = PlistDocument::FromBytes(f.readAll());
    ASSERT_TRUE(plist.isValid());
    EXPECT_EQ(plist.String({"Partner"}), QStringLiteral("0"));
    EXPECT_EQ(plist.Bool({"International"}), std::optional<bool>(EXPECTED_INTERNATIONAL != 0));
    // Service addresses: present, and empty until someone runs such a service.
    for (const char* key : {"DomainName", "MessageServerHost", "TermsHost"})
        EXPECT_EQ(plist.String({key}), QString()) << key;
}

QT_GTEST_MAIN(QGuiApplication)
