#pragma once
#include "scan/DeviceInfo.h"

#include <QStringList>

#include <memory>

// Receiver of the backup list page's Start.
class NSiTunesViewDelegate {
  public:
    virtual ~NSiTunesViewDelegate() = default;
    virtual void iTunesStartScanEvent(const std::shared_ptr<DeviceInfo>& backup,
                                      const QStringList& selection) {}
};
