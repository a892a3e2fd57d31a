#pragma once
#include "scan/DeviceInfo.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <memory>

// Reads device backups for the backup list: the device's values from "Info.plist", or
// from the "Lockdown" dictionary of "Manifest.plist". Only reads; a value of the wrong
// type counts as missing.
class BackupListReader {
  public:
    BackupListReader() = delete;
    // The backups among the entries of `root`, in the order the file system returns
    // them. Each one's backup path is `root`; its identifier is its folder name.
    // Entries that are not readable backups are skipped.
    static QList<std::shared_ptr<DeviceInfo>> List(const QString& root);
    // A backup folder the user picked: its identifier comes from the property list, and
    // its backup path is the folder itself. Null when neither property list gives values.
    static std::shared_ptr<DeviceInfo> ReadPicked(const QString& folder);
    // The date text shown for a backup ("yyyy-MM-dd HH:mm:ss", local time).
    static QString DateText(const QDateTime& date);

  private:
    // nullptr when `folder` holds no usable property list; `identifier` replaces the
    // identifier read from the list when not empty.
    static std::shared_ptr<DeviceInfo> Read(const QString& folder, const QString& identifier);
};
