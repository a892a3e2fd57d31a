#include "services/MPFullDiskAccessAuthorizer.h"

#include "platform/IOpener.h"
#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <unistd.h>

#include <memory>

MPFullDiskAccessAuthorizer::FolderProbe MPFullDiskAccessAuthorizer::FolderProbe::FileSystem() {
    FolderProbe p;
    p.exists = [](const QString& path) { return QFileInfo::exists(path); };
    p.canList = [](const QString& path) {
        const QByteArray native = QFile::encodeName(path);
        if (::access(native.constData(), R_OK | X_OK) != 0) return false;
        std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(native.constData()), ::closedir);
        return dir != nullptr;
    };
    return p;
}

QString MPFullDiskAccessAuthorizer::DefaultBackupsFolder() {
    return Paths::BackupsFolder();
}

MPFullDiskAccessAuthorizer::MPFullDiskAccessAuthorizer()
    : MPFullDiskAccessAuthorizer(DefaultBackupsFolder(), FolderProbe::FileSystem(),
                                 [](const QUrl& url) { return IOpener::Current().OpenUrl(url); }) {}

MPFullDiskAccessAuthorizer::MPFullDiskAccessAuthorizer(QString backupsFolder, FolderProbe probe,
                                                       Opener opener)
    : folder(std::move(backupsFolder)), probe(std::move(probe)), opener(std::move(opener)) {}

QString MPFullDiskAccessAuthorizer::userHomeFolderPath() {
    std::lock_guard<std::mutex> lock(homeLock);
    if (home.isEmpty()) home = QDir::homePath();
    return home;
}

MPAccessState MPFullDiskAccessAuthorizer::authorizationStatus() {
    if (!probe.exists || !probe.exists(folder)) return MPAccessStateGranted;
    return probe.canList && probe.canList(folder) ? MPAccessStateGranted : MPAccessStateRefused;
}

void MPFullDiskAccessAuthorizer::requestAuthorizationWithCompletion(MPAccessCompletion completion) {
    const QString above = QFileInfo(folder).absolutePath();
    if (opener) opener(QUrl::fromLocalFile(above));
    if (completion) completion(authorizationStatus());
}
