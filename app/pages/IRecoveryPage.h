#pragma once
#include "app/pages/RecoveryPageDelegate.h"
#include "scan/DeviceInfo.h"

#include <QStringList>

#include <memory>

class QWidget;

// The work page that scans a backup and saves what the user picks.
class IRecoveryPage {
  public:
    virtual ~IRecoveryPage() = default;
    // The page's widget (owned by the window it is placed in).
    virtual QWidget* Widget() = 0;
    virtual void setDelegate(RecoveryPageDelegate* receiver) = 0;
    virtual void setLanguage(int language) = 0;
    // Starts the scan of the device's or backup's folder for the type selection.
    virtual void StartScan(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) = 0;
    // Stops a running scan and save and waits until their threads have ended.
    virtual void StopAndWait() = 0;
};
