#pragma once
#include "app/pages/NSDeviceLinkViewDelegate.h"
#include "app/pages/NSSelectDirizaFileTypeView.h"
#include "scan/IDeviceManage.h"

#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QStackedWidget;
class QTimer;

// Home page of the device road: asks for a device to be connected (with a USB
// animation) and, once one is, offers the data-type chooser for it.
class NSDeviceLinkView final : public QWidget, private NSSelectDirizaFileTypeViewDelegate {
    Q_OBJECT
  public:
    NSDeviceLinkView(IDeviceManage& manager, QWidget* parent = nullptr);

    void setDelegate(NSDeviceLinkViewDelegate* receiver) { delegate = receiver; }
    void setLanguage(int language);
    void SetDeviceInfo(const std::shared_ptr<DeviceInfo>& device);
    void RemoveDevice();
    // One step of the USB animation.
    void AnimationPlay();

    // The number of the USB frame shown, 1 to 4.
    int AnimationFrame() const { return Animation; }
    bool isChoosing() const;
    std::shared_ptr<DeviceInfo> Device() const { return pDeviceInfo; }
    NSSelectDirizaFileTypeView* Chooser() const { return pNSSelectDirizaFileTypeView; }

  private:
    void BackUpStartEvent(const QStringList& selection) override;

    NSDeviceLinkViewDelegate* delegate = nullptr;
    std::array<QLabel*, 4> USBImage{};
    int Animation = 1;
    QTimer* AnimationPlayTimer;
    QStackedWidget* TabView;
    QLabel* DeviceLinkText;
    NSSelectDirizaFileTypeView* pNSSelectDirizaFileTypeView;
    std::shared_ptr<DeviceInfo> pDeviceInfo;
};
