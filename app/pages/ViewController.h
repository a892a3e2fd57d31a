#pragma once
#include "app/pages/IRecoveryPage.h"
#include "app/pages/NSBackUpViewDelegate.h"
#include "app/pages/NSDeviceLinkViewDelegate.h"
#include "app/pages/NSiTunesViewDelegate.h"
#include "app/pages/RecoveryPageDelegate.h"
#include "app/recovery/ResultViewFactory.h"
#include "scan/DeviceManageDelegate.h"
#include "scan/IDeviceManage.h"

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class NSBackUpView;
class NSDeviceLinkView;
class NSiTunesView;
class QLabel;
class QPushButton;
class QStackedWidget;

// The main window's content: the two home pages (device road, backup road) chosen with
// two buttons, the backup progress page and the recovery page, and the moves between
// them. Receives device arrivals and removals and every page's outcome.
class ViewController final : public QWidget,
                             public DeviceManageDelegate,
                             private NSDeviceLinkViewDelegate,
                             private NSiTunesViewDelegate,
                             private NSBackUpViewDelegate,
                             private RecoveryPageDelegate {
    Q_OBJECT
  public:
    // Makes the recovery page for the manager (owned by `parent`).
    using RecoveryPageFactory = std::function<IRecoveryPage*(IDeviceManage& manager, QWidget* parent)>;

    struct Options {
        // Sends the process's standard streams into a log file (the application only).
        bool redirectLog = false;
        // Empty: the recovery page (NSDirizaView) with the result views below.
        RecoveryPageFactory recoveryPage;
        // The result views of the recovery page; empty: the plain views.
        ResultViewFactory resultViews;
    };

    ViewController(IDeviceManage& manager, Options options, QWidget* parent = nullptr);
    ~ViewController() override;

    // The log file name of a start at `when`: "DoviakIOS-yyyy-MM-dd HH:mm:ss.log".
    static QString LogFileName(const QDateTime& when);
    // Appends the process's standard output and error to the log file of this start in
    // `folder` (created when missing); the path, or empty when that failed.
    static QString redirectNSlogToDocumentFolder(const QString& folder, const QDateTime& when);

    void SwitchView(int page);
    void setLanguage(int language);
    void DeviceDirizaButtonEvent();
    void iTunesDirizaButtonEvent();
    void PermissionsWindowCloseBtEvent();
    // Opens the companion download; its closing is reported to nobody.
    void DirizaMacEvent();

    // DeviceManageDelegate.
    void AddDevice(const std::shared_ptr<DeviceInfo>& device) override;
    void RemoveDevice(const std::shared_ptr<DeviceInfo>& device) override;

    // Stops the scan and the save of the recovery page and waits for them (quit).
    void StopAndWait();

    int CurrentPage() const { return eHomeView; }
    std::shared_ptr<DeviceInfo> Device() const { return pDeviceInfo; }
    NSDeviceLinkView* DevicePage() const { return pNSDeviceLinkView; }
    NSiTunesView* BackupPage() const { return pNSiTunesView; }
    NSBackUpView* ProgressPage() const { return pNSBackUpView; }
    IRecoveryPage* RecoveryPage() const { return pNSDirizaView; }
    QWidget* PermissionsWindow() const { return permissionsWindow; }
    QPushButton* DeviceButton() const { return DeviceDiriza_bt; }
    QPushButton* BackupButton() const { return iTunesDiriza_bt; }
    QPushButton* DownloadButton() const { return DoviakMacBt; }
    QPushButton* HelpButton() const { return QQBt; }
    QString LogPath() const { return logPath; }
    // Whether the road buttons show their dark-appearance images.
    bool ShowsDark() const { return dark; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void DeviceBackUpStartEvent(const std::shared_ptr<DeviceInfo>& device,
                                const QStringList& selection) override;
    void iTunesStartScanEvent(const std::shared_ptr<DeviceInfo>& backup,
                              const QStringList& selection) override;
    void BackUpFinishEvent(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) override;
    void BackUpFailure() override;
    void BackHomeEvent() override;

    void ShowBackupList();
    void GoHome();
    static QString AnalysedFolder(const DeviceInfo& backup);
    void UpdateButtons();
    void Reapply(bool dark);

    IDeviceManage& manager;
    QString logPath;
    std::shared_ptr<DeviceInfo> pDeviceInfo;
    // The backup chosen on the backup list while its analysis runs; empty on the device road.
    std::shared_ptr<DeviceInfo> analysedBackup;
    int eHomeView = 0;
    bool dark = false;
    QStackedWidget* pages;
    NSDeviceLinkView* pNSDeviceLinkView;
    NSiTunesView* pNSiTunesView;
    NSBackUpView* pNSBackUpView;
    IRecoveryPage* pNSDirizaView;
    QPushButton* DeviceDiriza_bt;
    QPushButton* iTunesDiriza_bt;
    QLabel* DeviceDirizaTitle;
    QLabel* DeviceDirizaPrompt;
    QLabel* iTunesDirizaTitle;
    QLabel* iTunesDirizaPrompt;
    QLabel* DeviceDiriza_Blue;
    QWidget* NavigationView;
    QLabel* Logo;
    QLabel* AppNameText;
    QPushButton* DoviakMacBt;
    QPushButton* QQBt;
    QPointer<QWidget> permissionsWindow;
    std::unique_ptr<QWidget> permissionsWindowOwner;
    bool closingPermissions = false;
};
