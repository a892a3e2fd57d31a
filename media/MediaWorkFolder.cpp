#include "media/MediaWorkFolder.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <mutex>

namespace {
std::mutex& providerMutex() {
    static std::mutex m;
    return m;
}
std::function<QString()>& provider() {
    static std::function<QString()> p;
    return p;
}
std::atomic<unsigned long long> serial{0};
} // namespace

void MediaWorkFolder::SetProvider(std::function<QString()> p) {
    std::lock_guard<std::mutex> lock(providerMutex());
    provider() = std::move(p);
}

QString MediaWorkFolder::Folder() {
    QString folder;
    {
        std::lock_guard<std::mutex> lock(providerMutex());
        if (provider()) folder = provider()();
    }
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        folder += QStringLiteral("/media");
    } else {
        QString cache = Paths::Caches();
        if (cache.isEmpty()) cache = QDir::tempPath();
        const QString app = QCoreApplication::applicationName();
        folder = cache + QLatin1Char('/') + (app.isEmpty() ? QStringLiteral("Diriza-IOS") : app) +
                 QStringLiteral("/media");
    }
    if (!QDir().mkpath(folder)) return QString();
    return folder;
}

QString MediaWorkFolder::UniquePath(const QString& prefix, const QString& suffix) {
    const QString folder = Folder();
    if (folder.isEmpty()) return QString();
    const qint64 pid = QCoreApplication::applicationPid();
    for (;;) {
        const QString path =
            QStringLiteral("%1/%2%3-%4%5").arg(folder, prefix).arg(pid).arg(++serial).arg(suffix);
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) return path;
    }
}
