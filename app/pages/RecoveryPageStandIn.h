#pragma once
#include "app/pages/IRecoveryPage.h"
#include "scan/IDeviceManage.h"

#include <QWidget>

class QLabel;
class QPushButton;

// A plain recovery page: it starts the scan, shows what is scanned and offers the way
// back home. It stands where the full recovery page goes until that one is built.
class RecoveryPageStandIn final : public QWidget, public IRecoveryPage {
    Q_OBJECT
  public:
    RecoveryPageStandIn(IDeviceManage& manager, QWidget* parent = nullptr);

    QWidget* Widget() override { return this; }
    void setDelegate(RecoveryPageDelegate* receiver) override { delegate = receiver; }
    void setLanguage(int language) override;
    void StartScan(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) override;
    void StopAndWait() override;

    // What the last StartScan received.
    std::shared_ptr<DeviceInfo> ScannedDevice() const { return device; }
    QStringList ScannedSelection() const { return selection; }
    QPushButton* BackHomeButton() const { return backHome; }

  private:
    IDeviceManage& manager;
    RecoveryPageDelegate* delegate = nullptr;
    std::shared_ptr<DeviceInfo> device;
    QStringList selection;
    QLabel* title;
    QPushButton* backHome;
};
