#pragma once
#include "platform/IDeviceService.h"

#include <QString>

// One connected device, or one backup folder listed by the backup-folder page: its
// values, up to two connection handles, and the backup folder and date. Used on the
// GUI thread; shared through std::shared_ptr and compared by identity.
class DeviceInfo {
  public:
    DeviceInfo() = default;
    ~DeviceInfo();
    DeviceInfo(const DeviceInfo&) = delete;
    DeviceInfo& operator=(const DeviceInfo&) = delete;

    // Stores the five texts and the handle, and logs the device.
    void SaveDeviceInfo(const QString& name, const QString& identify, const QString& serial,
                        const QString& product, const DeviceRef& handle, const QString& version);

    const QString& getDeviceName() const { return DeviceName; }
    const QString& getIdentifyNumber() const { return IdentifyNumber; }
    const QString& getSerialNumber() const { return SerialNumber; }
    const QString& getProductType() const { return ProductType; }
    const QString& getSysVersion() const { return SysVersion; }

    // The first handle if set, else the second (null when neither is).
    DeviceRef getDeviceHandle() const;
    // Stores the handle in the first empty slot; drops it when both are taken.
    void SaveDeviceHandle(const DeviceRef& handle);
    // Empties every slot that holds the handle.
    void RemoveDeviceHandle(const DeviceRef& handle);
    // True when either slot holds the handle.
    bool holdsDeviceHandle(const DeviceRef& handle) const;
    bool isDeviceHandle() const;

    void SetBackUpPath(const QString& path) { BackUpPath = path; }
    const QString& GetBackUpPath() const { return BackUpPath; }
    void SetBackUpDate(const QString& date) { BackUpDate = date; }
    const QString& GetBackUpDate() const { return BackUpDate; }

  private:
    void LogValues() const;

    DeviceRef DeviceHandle1;
    DeviceRef DeviceHandle2;
    QString IdentifyNumber;
    QString DeviceName;
    QString SerialNumber;
    QString ProductType;
    QString SysVersion;
    QString BackUpPath;
    QString BackUpDate;
};
