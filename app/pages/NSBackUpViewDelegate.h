#pragma once
#include "scan/DeviceInfo.h"

#include <QStringList>

#include <memory>

// Receiver of the backup page's outcome (GUI thread).
class NSBackUpViewDelegate {
  public:
    virtual ~NSBackUpViewDelegate() = default;
    // The analysis has finished: the device or backup can be scanned.
    virtual void BackUpFinishEvent(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) {}
    // The backup or the analysis failed.
    virtual void BackUpFailure() {}
};
