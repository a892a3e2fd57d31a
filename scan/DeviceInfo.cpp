#include "scan/DeviceInfo.h"

#include "platform/ProcessLog.h"

DeviceInfo::~DeviceInfo() {
    ProcessLog::Write(QStringLiteral(
        "移除设备 ============================================================================="));
    LogValues();
}

void DeviceInfo::SaveDeviceInfo(const QString& name, const QString& identify, const QString& serial,
                                const QString& product, const DeviceRef& handle, const QString& version) {
    DeviceName = name;
    IdentifyNumber = identify;
    SerialNumber = serial;
    ProductType = product;
    SysVersion = version;
    SaveDeviceHandle(handle);
    ProcessLog::Write(QStringLiteral(
        "添加设备 ============================================================================="));
    LogValues();
}

void DeviceInfo::LogValues() const {
    ProcessLog::Write(QStringLiteral("设备名称:%1").arg(DeviceName));
    ProcessLog::Write(QStringLiteral("设备id:%1").arg(IdentifyNumber));
    ProcessLog::Write(QStringLiteral("产品版本:%1").arg(SerialNumber));
    ProcessLog::Write(QStringLiteral("产品类型:%1").arg(ProductType));
    ProcessLog::Write(QStringLiteral("系统版本:%1").arg(SysVersion));
}

DeviceRef DeviceInfo::getDeviceHandle() const {
    return DeviceHandle1.isNull() ? DeviceHandle2 : DeviceHandle1;
}

void DeviceInfo::SaveDeviceHandle(const DeviceRef& handle) {
    if (DeviceHandle1.isNull())
        DeviceHandle1 = handle;
    else if (DeviceHandle2.isNull())
        DeviceHandle2 = handle;
}

void DeviceInfo::RemoveDeviceHandle(const DeviceRef& handle) {
    if (handle.isNull()) return;
    if (DeviceHandle1 == handle) DeviceHandle1 = DeviceRef{};
    if (DeviceHandle2 == handle) DeviceHandle2 = DeviceRef{};
}

bool DeviceInfo::holdsDeviceHandle(const DeviceRef& handle) const {
    return !handle.isNull() && (DeviceHandle1 == handle || DeviceHandle2 == handle);
}

bool DeviceInfo::isDeviceHandle() const {
    return !DeviceHandle1.isNull() || !DeviceHandle2.isNull();
}
