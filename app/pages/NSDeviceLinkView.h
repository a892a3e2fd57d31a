#pragma once
#include "app/pages/NSDeviceLinkViewDelegate.h"
#include "app/pages/NSSelectDirizaFileTypeView.h"
#include "scan/IDeviceManage.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QStackedWidget;
class QTimer;

// Home page of the device road: asks for a device to be connected (with a USB
// animation) and, once one is, offers the data-type chooser for it. Devices are seen
// only through the usbmuxd daemon: while it does not answer, the page says so under the
// animation. The connect pane asks the daemon again every few seconds.
class NSDeviceLinkView final : public QWidget, private NSSelectDirizaFileTypeViewDelegate {
    Q_OBJECT
  public:
    NSDeviceLinkView(IDeviceManage& manager, QWidget* parent = nullptr);

    // Whether the usbmuxd daemon answers; called on a worker thread. The default asks
    // its socket (UsbmuxdSocket::DaemonAnswers); an empty function restores it. Pages
    // created afterwards use it.
    using DaemonCheck = std::function<bool()>;
    static void SetDaemonCheck(DaemonCheck check);

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
    // The note shown while the usbmuxd daemon does not answer.
    QLabel* DaemonNote() const { return UsbmuxdNote; }

  signals:
    // A check of the usbmuxd daemon has ended (after the note was updated).
    void daemonChecked(bool answers);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void BackUpStartEvent(const QStringList& selection) override;
    // Asks, off the GUI thread, whether the daemon answers (once at a time, and only while
    // the page shows its connect pane).
    void CheckDaemon();
    void ShowDaemonState(bool answers);

    NSDeviceLinkViewDelegate* delegate = nullptr;
    std::array<QLabel*, 4> USBImage{};
    int Animation = 1;
    QTimer* AnimationPlayTimer;
    QStackedWidget* TabView;
    QLabel* DeviceLinkText;
    QLabel* UsbmuxdNote;
    QTimer* DaemonRecheckTimer;
    DaemonCheck daemonCheck;
    bool checkingDaemon = false;
    NSSelectDirizaFileTypeView* pNSSelectDirizaFileTypeView;
    std::shared_ptr<DeviceInfo> pDeviceInfo;
};
