#include "tests/kit/QtTestHome.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

namespace kit {

QtTestHome::QtTestHome() {
    if (!dir.isValid()) return;
    const struct {
        const char* variable;
        const char* folder;
    } folders[] = {
        {"HOME", "home"},
        {"XDG_CONFIG_HOME", "config"},
        {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"},
        {"XDG_RUNTIME_DIR", "runtime"},
    };
    for (const auto& f : folders) {
        const QString path = dir.filePath(QString::fromLatin1(f.folder));
        QDir().mkpath(path);
        qputenv(f.variable, QFile::encodeName(path));
    }
    // Qt insists on a private runtime folder.
    QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace kit
