#include "app/pages/BackupListReader.h"

#include "platform/PlistDocument.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

QString BackupListReader::DateText(const QDateTime& date) {
    if (!date.isValid()) return QString();
    return date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::shared_ptr<DeviceInfo> BackupListReader::Read(const QString& folder, const QString& identifier) {
    if (!QFileInfo(folder).isDir()) return nullptr;
    QString name, id, serial, product, version, date;
    const PlistDocument info = PlistDocument::FromFile(folder + QStringLiteral("/Info.plist"));
    if (info.isValid() && info.HasDictionary({})) {
        name = info.String({"Device Name"}).value_or(QString());
        id = info.String({"Unique Identifier"}).value_or(QString());
        serial = info.String({"Serial Number"}).value_or(QString());
        product = info.String({"Product Type"}).value_or(QString());
        version = info.String({"Product Version"}).value_or(QString());
        date = DateText(info.Date({"Last Backup Date"}).value_or(QDateTime()));
    } else {
        const PlistDocument manifest = PlistDocument::FromFile(folder + QStringLiteral("/Manifest.plist"));
        if (!manifest.isValid() || !manifest.HasDictionary({"Lockdown"})) return nullptr;
        name = manifest.String({"Lockdown", "DeviceName"}).value_or(QString());
        id = manifest.String({"Lockdown", "UniqueDeviceID"}).value_or(QString());
        serial = manifest.String({"Lockdown", "SerialNumber"}).value_or(QString());
        product = manifest.String({"Lockdown", "ProductType"}).value_or(QString());
        version = manifest.String({"Lockdown", "ProductVersion"}).value_or(QString());
        date = DateText(manifest.Date({"Date"}).value_or(QDateTime()));
    }
    auto device = std::make_shared<DeviceInfo>();
    device->SaveDeviceInfo(name, identifier.isEmpty() ? id : identifier, serial, product, DeviceRef(),
                           version);
    device->SetBackUpDate(date);
    return device;
}

QList<std::shared_ptr<DeviceInfo>> BackupListReader::List(const QString& root) {
    QList<std::shared_ptr<DeviceInfo>> list;
    if (root.isEmpty()) return list;
    const QStringList names = QDir(root).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : names) {
        auto device = Read(root + QLatin1Char('/') + name, name);
        if (!device) continue;
        device->SetBackUpPath(root);
        list << device;
    }
    return list;
}

std::shared_ptr<DeviceInfo> BackupListReader::ReadPicked(const QString& folder) {
    // The picked folder holds the property lists just read, so it is the backup folder:
    // the analysis opens "<path>/<identifier>" when that exists and the path itself
    // otherwise, and neither a parent cut at the identifier nor an empty path is safe.
    QString clean = QDir::cleanPath(folder);
    // A file of a backup (its "Info.plist", say) stands for the folder it lies in.
    const QFileInfo picked(clean);
    if (picked.exists() && !picked.isDir()) clean = QDir::cleanPath(picked.absolutePath());
    auto device = Read(clean, QString());
    if (device) device->SetBackUpPath(clean);
    return device;
}
