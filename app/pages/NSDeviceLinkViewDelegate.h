#pragma once
#include "scan/DeviceInfo.h"

#include <QStringList>

#include <memory>

// Receiver of the device page's Start.
class NSDeviceLinkViewDelegate {
  public:
    virtual ~NSDeviceLinkViewDelegate() = default;
    virtual void DeviceBackUpStartEvent(const std::shared_ptr<DeviceInfo>& device,
                                        const QStringList& selection) {}
};
