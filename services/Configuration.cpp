#include "services/Configuration.h"

#include "core/backup/PlistGuard.h"
#include "platform/Paths.h"
#include "platform/PlistDocument.h"
#include "platform/ProcessLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QSettings>
#include <QSysInfo>

#include <plist/plist.h>

#include <mutex>

namespace {

const QString kFolderName = QStringLiteral("MorvantiIOS");
const QString kFileName = QStringLiteral("UserInfo.plist");
const char* const kScanOtherTypeKey = "isScanOtherType";
const char* const kStatKey = "StatInstallation_Key";
const char* const kGuideKey = "Guide_Key";
constexpr qint64 kMaxSettingsBytes = 4 * 1024 * 1024;

plist_t Dict(const std::shared_ptr<void>& p) {
    return static_cast<plist_t>(p.get());
}

std::shared_ptr<void> Own(plist_t node) {
    return std::shared_ptr<void>(node, [](void* n) {
        if (n) plist_free(static_cast<plist_t>(n));
    });
}

std::unique_ptr<QSettings> OpenSettings(const QString& file) {
    if (file.isEmpty()) return std::make_unique<QSettings>();
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

// A free name beside `path` for the copy of an unreadable settings file.
QString BadCopyName(const QString& path) {
    QString name = path + QStringLiteral(".bad");
    for (int n = 1; QFileInfo::exists(name); ++n)
        name = path + QStringLiteral(".bad.") + QString::number(n);
    return name;
}

} // namespace

Configuration::Environment Configuration::Environment::System() {
    Environment e;
    e.cacheFolder = Paths::Caches();
    e.bundleConfiguration = QStringLiteral(":/Configuration.plist");
    e.applicationVersion = QCoreApplication::applicationVersion();
    e.systemVersion = QSysInfo::productVersion();
    e.today = [] { return QDate::currentDate(); };
    e.preferredLanguages = [] { return QLocale::system().uiLanguages(); };
    return e;
}

Configuration& Configuration::shareInstance() {
    static Configuration instance(Environment::System());
    return instance;
}

Configuration::Configuration(Environment environment) : env(std::move(environment)) {
    if (!env.today) env.today = [] { return QDate::currentDate(); };
    if (!env.preferredLanguages) env.preferredLanguages = [] { return QStringList(); };

    const QString folder = QDir(env.cacheFolder).filePath(kFolderName);
    if (!QFileInfo::exists(folder)) QDir().mkpath(folder); // a failure shows at the write below
    saveFileDataPath = QDir(folder).filePath(kFileName);
    LoadOrCreate();

    plist_t partner = plist_dict_get_item(Dict(dicSaveData), "Partner");
    if (partner != nullptr) {
        Partner = ReadData(QStringLiteral("Partner"));
    } else {
        const auto fromBundle = PlistDocument::FromFile(env.bundleConfiguration).String({"Partner"});
        Partner = fromBundle && !fromBundle->isEmpty() ? *fromBundle : QStringLiteral("0");
    }
    Business = QStringLiteral("1");
    const QString scanOther = ReadData(QString::fromLatin1(kScanOtherTypeKey));
    isScanOtherType = scanOther.isEmpty() ? true : TextBoolValue(scanOther);
    SysVersion = env.systemVersion;
    AppVersion = CompactVersion(env.applicationVersion);
    isDebugLog = false;
}

Configuration::~Configuration() = default;

void Configuration::LoadOrCreate() {
    QFile file(saveFileDataPath);
    if (file.exists()) {
        plist_t root = nullptr;
        if (file.open(QIODevice::ReadOnly) && file.size() > 0 && file.size() <= kMaxSettingsBytes) {
            const QByteArray bytes = file.readAll();
            if (plistNestingWithin(bytes.constData(), size_t(bytes.size()))) {
                plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
            }
        }
        file.close();
        if (root != nullptr && plist_get_node_type(root) == PLIST_DICT) {
            dicSaveData = Own(root);
            return;
        }
        if (root != nullptr) plist_free(root);
        // Keep what was there: an unreadable file is moved aside, never overwritten.
        const QString bad = BadCopyName(saveFileDataPath);
        if (QFile::rename(saveFileDataPath, bad)) {
            ProcessLog::Write(QStringLiteral("[配置文件] 无法读取的配置文件已移到 %1").arg(bad));
        } else {
            ProcessLog::Write(
                QStringLiteral("[配置文件] 无法移走无法读取的配置文件(%1)").arg(saveFileDataPath));
        }
    }
    dicSaveData = Own(plist_new_dict());
    if (!QFileInfo::exists(saveFileDataPath) && !WriteFile()) {
        ProcessLog::Write(QStringLiteral("[配置文件] 创建文件失败(%1)").arg(saveFileDataPath));
    }
}

QString Configuration::ReadData(const QString& key) const {
    plist_t node = plist_dict_get_item(Dict(dicSaveData), key.toUtf8().constData());
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return QString();
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text ? QString::fromUtf8(text, qsizetype(length)) : QString();
}

bool Configuration::WriteData(const QString& value, const QString& key) {
    const QByteArray v = value.toUtf8();
    plist_dict_set_item(Dict(dicSaveData), key.toUtf8().constData(), plist_new_string(v.constData()));
    if (WriteFile()) return true;
    ProcessLog::Write(QStringLiteral("[配置文件] 写入失败(%1)").arg(saveFileDataPath));
    return false;
}

bool Configuration::WriteFile() {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(Dict(dicSaveData), &xml, &length);
    if (xml == nullptr) return false;
    const QByteArray bytes(xml, qsizetype(length));
    plist_to_xml_free(xml);
    QSaveFile out(saveFileDataPath);
    if (!out.open(QIODevice::WriteOnly)) return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

void Configuration::setIsScanOtherType(bool flag) {
    isScanOtherType = flag;
    WriteData(flag ? QStringLiteral("1") : QStringLiteral("0"), QString::fromLatin1(kScanOtherTypeKey));
}

bool Configuration::isGuide() const {
    return OpenSettings(env.settingsFile)->value(QString::fromLatin1(kGuideKey), false).toBool();
}

void Configuration::SaveGuide() {
    auto settings = OpenSettings(env.settingsFile);
    settings->setValue(QString::fromLatin1(kGuideKey), true);
    settings->sync();
}

void Configuration::SaveStatInstallation() {
    WriteData(QStringLiteral("1"), QString::fromLatin1(kStatKey));
}

bool Configuration::isStatInstallation() const {
    return TextBoolValue(ReadData(QString::fromLatin1(kStatKey)));
}

void Configuration::SaveStatActive() {
    WriteData(TodayText(), QString::fromLatin1(kStatKey));
}

bool Configuration::isStatActive() const {
    return ReadData(QString::fromLatin1(kStatKey)) == TodayText();
}

QString Configuration::TodayText() const {
    return env.today().toString(QStringLiteral("yyyy/MM/dd"));
}

int Configuration::sysLanguage() const {
    const QStringList languages = env.preferredLanguages();
    if (languages.isEmpty()) return 0;
    const QString& first = languages.first();
    if (first == QLatin1String("zh-Hant-HK") || first == QLatin1String("zh-Hant-MO") ||
        first == QLatin1String("zh-Hant-TW")) {
        return 2;
    }
    return 0;
}

bool Configuration::TextBoolValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (i == text.size()) return false;
    const QChar c = text[i];
    if (c == u'Y' || c == u'y' || c == u'T' || c == u't') return true;
    if (c == u'+' || c == u'-') ++i;
    while (i < text.size() && text[i] == u'0')
        ++i;
    return i < text.size() && text[i] >= u'1' && text[i] <= u'9';
}

QString Configuration::CompactVersion(const QString& version) {
    QString out = version;
    out.remove(u'.');
    return out;
}
