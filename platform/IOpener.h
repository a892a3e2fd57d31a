#pragma once
#include <QString>
#include <QUrl>

// Opens an address in the user's browser, or a file or folder in the desktop's
// default application (file manager for folders). GUI thread only.
class IOpener {
  public:
    virtual ~IOpener() = default;
    // True when the desktop accepted the request.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // A local file or folder.
    bool OpenPath(const QString& path) { return OpenUrl(QUrl::fromLocalFile(path)); }

    // The opener windows use: the one set with SetCurrent, else the desktop's (Opener).
    static IOpener& Current();
    // Replaces the opener (tests); null restores the desktop's. The caller keeps the
    // object alive while it is set.
    static void SetCurrent(IOpener* opener);
};
