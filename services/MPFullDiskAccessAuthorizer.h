#pragma once
#include "services/MPAuthorizer.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <mutex>

// Access to the folder of device backups, "MobileSync/Backup" in the user's application
// data folder: the application needs to list it to offer the backups.
//   missing                       -> granted (nothing to guard)
//   exists and can be listed      -> granted
//   exists but cannot be listed   -> refused
// A request opens the folder above it in the file manager, where the user can change the
// permissions, and completes with the status then current.
class MPFullDiskAccessAuthorizer : public MPAuthorizer {
  public:
    // How the folder is examined; replaceable in tests (a superuser can list anything).
    struct FolderProbe {
        std::function<bool(const QString& path)> exists;
        std::function<bool(const QString& path)> canList;
        static FolderProbe FileSystem();
    };
    using Opener = std::function<bool(const QUrl& url)>;

    // The running user's backups folder, the file system and the desktop's opener.
    MPFullDiskAccessAuthorizer();
    MPFullDiskAccessAuthorizer(QString backupsFolder, FolderProbe probe, Opener opener);

    MPAccessState authorizationStatus() override;
    void requestAuthorizationWithCompletion(MPAccessCompletion completion) override;

    // The user's home folder, looked up once.
    QString userHomeFolderPath();
    QString backupsFolder() const { return folder; }

    // "<application data>/MobileSync/Backup" of the running user.
    static QString DefaultBackupsFolder();

  private:
    QString folder;
    FolderProbe probe;
    Opener opener;
    std::mutex homeLock;
    QString home;
};
