#include "gui/NSLanguageText.h"

#include "platform/PlistDocument.h"
#include "scan/DeviceScanManager.h"
#include "scan/LanguageTable.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSettings>

#include <map>
#include <memory>
#include <mutex>

namespace {

const char* const kFolders[NSLanguageText::LanguageCount] = {
    "en", "zh-Hans", "zh-HK", "ja", "ko", "de", "ru", "ar", "pt-PT", "es", "fr", "id",
};

std::optional<long long> ConfiguredInternational() {
    return NSLanguageText::InternationalOf(QStringLiteral(":/Configuration.plist"));
}

QStringList SystemLanguages() {
    return QLocale::system().uiLanguages();
}

// The tables read so far, by folder name; shared by the GUI and the scan thread.
struct TableCache {
    std::mutex mutex;
    QString root = QStringLiteral(":/");
    std::map<QString, std::shared_ptr<const LanguageTable>> tables; // null: not readable
};

TableCache& cache() {
    static TableCache c;
    return c;
}

std::shared_ptr<const LanguageTable> TableOf(const QString& folder) {
    TableCache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    auto it = c.tables.find(folder);
    if (it != c.tables.end()) return it->second;
    std::shared_ptr<const LanguageTable> table;
    // Only plain folder names: the setting is user-editable.
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z]{2,3}(-[A-Za-z]{2,4})?$"));
    if (valid.match(folder).hasMatch()) {
        if (auto loaded = LanguageTable::ForLanguage(folder, c.root))
            table = std::make_shared<const LanguageTable>(std::move(*loaded));
    }
    c.tables.emplace(folder, table);
    return table;
}

std::shared_ptr<const LanguageTable> CurrentTable() {
    QString folder = QSettings().value(QStringLiteral("AppLanguage")).toString();
    if (folder.isEmpty()) folder = QStringLiteral("en");
    auto table = TableOf(folder);
    if (!table && folder != QLatin1String("en")) table = TableOf(QStringLiteral("en"));
    return table;
}

} // namespace

NSLanguageText::NSLanguageText(Environment env) : environment(std::move(env)) {
    if (!environment.international) environment.international = ConfiguredInternational;
    if (!environment.appleLanguages) environment.appleLanguages = SystemLanguages;
    std::optional<long long> flag = environment.international();
    international = flag.has_value() && *flag != 0;
    setLanguage(ChooseLanguage());
}

NSLanguageText* NSLanguageText::shareInstance() {
    static NSLanguageText* const shared = [] {
        static NSLanguageText instance;
        return &instance;
    }();
    return shared;
}

void NSLanguageText::ServeScanTexts() {
    DeviceScanManager::shared().SetTextLookup(
        [](const QString& key) { return NSLanguageText::TableText(key); });
}

int NSLanguageText::ChooseLanguage() const {
    if (!international) return SimplifiedChinese;
    int chosen = -1;
    const QString saved = QSettings().value(QStringLiteral("Language_Key")).toString();
    if (!saved.isEmpty()) {
        bool ok = false;
        const int value = saved.trimmed().toInt(&ok);
        if (ok && value >= 0 && value < LanguageCount) chosen = value;
    }
    // Nothing saved, or a number that names no language: the system's suggestion.
    if (chosen < 0) chosen = SysLanguage();
    // The international edition never runs in Simplified Chinese.
    if (chosen == SimplifiedChinese) chosen = English;
    return chosen;
}

int NSLanguageText::Language() const {
    return language.load();
}

void NSLanguageText::setLanguage(int n) {
    QSettings settings;
    settings.setValue(QStringLiteral("AppLanguage"), FolderName(n));
    settings.sync();
    language = n;
    settings.setValue(QStringLiteral("Language_Key"), QString::number(n));
    settings.sync();
}

int NSLanguageText::SysLanguage() const {
    const QStringList preferred = environment.appleLanguages ? environment.appleLanguages() : QStringList();
    if (preferred.isEmpty()) return English;
    const QString& first = preferred.first();
    if (first == QLatin1String("zh-Hant-HK") || first == QLatin1String("zh-Hant-MO") ||
        first == QLatin1String("zh-Hant-TW"))
        return TraditionalChinese;
    return English;
}

std::optional<long long> NSLanguageText::InternationalOf(const QString& plistPath) {
    const PlistDocument config = PlistDocument::FromFile(plistPath, 1024 * 1024);
    if (!config.isValid()) return std::nullopt;
    if (auto flag = config.Bool({"International"})) return *flag ? 1 : 0;
    if (auto text = config.String({"International"})) {
        bool ok = false;
        const long long v = text->trimmed().toLongLong(&ok);
        if (ok) return v;
    }
    return std::nullopt;
}

QString NSLanguageText::FolderName(int n) {
    if (n < 0 || n >= LanguageCount) return QStringLiteral("zh-Hans");
    return QString::fromLatin1(kFolders[n]);
}

QString NSLanguageText::Text(const QString& key) {
    auto table = CurrentTable();
    return table ? table->Text(key) : key;
}

std::optional<QString> NSLanguageText::TableText(const QString& key) {
    auto table = CurrentTable();
    if (!table) return std::nullopt;
    return table->Text(key);
}

void NSLanguageText::SetResourceRoot(const QString& root) {
    TableCache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.root = root;
    c.tables.clear();
}

QString SafeFormat(const QString& pattern, const QStringList& args) {
    QString out;
    out.reserve(pattern.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('%') && i + 1 < pattern.size() && next < args.size()) {
            const QChar kind = pattern.at(i + 1);
            if (kind == QLatin1Char('%')) { // "%%" stays as it is
                out += QStringLiteral("%%");
                ++i;
                continue;
            }
            if (kind == QLatin1Char('@') || kind == QLatin1Char('d')) {
                out += args.at(next++);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}
