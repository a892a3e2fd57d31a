#pragma once
// A temporary home for a test program: HOME and the XDG folders (configuration, data,
// cache, runtime) point into one temporary folder, so settings, caches and logs never
// touch the user's. Create it before the Qt application object and before the first
// QSettings or QStandardPaths use; the folder goes away with the object.
#include <QString>
#include <QTemporaryDir>

namespace kit {

class QtTestHome {
  public:
    QtTestHome();
    QtTestHome(const QtTestHome&) = delete;
    QtTestHome& operator=(const QtTestHome&) = delete;

    bool isValid() const { return dir.isValid(); }
    QString path() const { return dir.path(); }
    QString configHome() const { return dir.filePath(QStringLiteral("config")); }
    QString dataHome() const { return dir.filePath(QStringLiteral("data")); }
    QString cacheHome() const { return dir.filePath(QStringLiteral("cache")); }

  private:
    QTemporaryDir dir;
};

} // namespace kit
