#include "platform/Paths.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>

#include <mutex>

namespace {

struct Overrides {
    std::mutex mutex;
    QString caches, support, downloads;
};

Overrides& overrides() {
    static Overrides o;
    return o;
}

QString Pick(QString Overrides::*field, QStandardPaths::StandardLocation location) {
    {
        Overrides& o = overrides();
        std::lock_guard<std::mutex> lock(o.mutex);
        if (!(o.*field).isEmpty()) return o.*field;
    }
    return QStandardPaths::writableLocation(location);
}

void Set(QString Overrides::*field, const QString& folder) {
    Overrides& o = overrides();
    std::lock_guard<std::mutex> lock(o.mutex);
    o.*field = folder.isEmpty() ? QString() : QDir::cleanPath(folder);
}

QString Under(const QString& base, const char* relative) {
    if (base.isEmpty()) return QString();
    return QDir(base).filePath(QString::fromLatin1(relative));
}

} // namespace

QString Paths::Caches() {
    return Pick(&Overrides::caches, QStandardPaths::GenericCacheLocation);
}
QString Paths::ApplicationSupport() {
    return Pick(&Overrides::support, QStandardPaths::GenericDataLocation);
}
QString Paths::Downloads() {
    return Pick(&Overrides::downloads, QStandardPaths::DownloadLocation);
}
QString Paths::BackupsFolder() {
    return Under(ApplicationSupport(), "MobileSync/Backup");
}
QString Paths::LogFolder() {
    return Under(ApplicationSupport(), "Diriza-IOS");
}

QString Paths::ForDisplay(const QString& folder) {
    const QString home = QDir::cleanPath(QDir::homePath());
    const QString clean = QDir::cleanPath(folder);
    if (home.isEmpty() || home == QStringLiteral("/")) return clean;
    if (clean == home) return QStringLiteral("~");
    if (clean.startsWith(home + QLatin1Char('/'))) return QStringLiteral("~") + clean.mid(home.size());
    return clean;
}

QString Paths::ShellWord(const QString& folder) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+@%,:=-]+$"));
    const QString shown = ForDisplay(folder);
    // "~" only stands for the home folder outside quotes.
    if (plain.match(shown.startsWith(QStringLiteral("~/")) ? shown.mid(2) : shown).hasMatch()) return shown;
    QString quoted = QDir::cleanPath(folder);
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

void Paths::SetCaches(const QString& folder) {
    Set(&Overrides::caches, folder);
}
void Paths::SetApplicationSupport(const QString& folder) {
    Set(&Overrides::support, folder);
}
void Paths::SetDownloads(const QString& folder) {
    Set(&Overrides::downloads, folder);
}
void Paths::ResetOverrides() {
    Overrides& o = overrides();
    std::lock_guard<std::mutex> lock(o.mutex);
    o.caches.clear();
    o.support.clear();
    o.downloads.clear();
}
