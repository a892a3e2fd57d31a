#pragma once
#include "gui/DirizaResultView.h"
#include "gui/DirizaSaveResult.h"
#include "gui/NSDirizaDataUpdateDelegate.h"
#include "gui/TableViewEventDelegate.h"
#include "app/pages/IRecoveryPage.h"
#include "app/recovery/DirizaTypeList.h"
#include "app/pages/ApplicationResultViews.h"
#include "app/recovery/ResultViewFactory.h"
#include "app/recovery/SaveDestination.h"
#include "scan/IDeviceManage.h"
#include "scan/ScanFileDelegate.h"

#include <QStandardItemModel>
#include <QWidget>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class NSDirizaNull;
class NSDirizaTypeListCell;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTimer;
class TableViewEvent;
class ZZProgressView;

// The recovery page: the list of the scanned data types with their counts and ticks,
// one result view per type, pause and stop of the scan with its progress, and the save
// of the ticked records into a folder the user chooses.
//
// Threads: scan results and progress arrive on the scan thread and are handed on at
// once (results to their views) or stored for the GUI thread's 0.1 s timer (progress).
// The save runs on a thread of its own over a snapshot of the list taken when it starts;
// it touches no widget and posts what the panel shows to the GUI thread.
class NSDirizaView final : public QWidget,
                           public IRecoveryPage,
                           public ScanFileDelegate,
                           public NSDirizaDataUpdateDelegate,
                           private TableViewEventDelegate {
    Q_OBJECT
  public:
    static constexpr int TabCount = 18;

    // The page becomes the manager's scan receiver; `views` makes the result views of
    // types 0 to 14 (empty, or nothing for a type: the application's views).
    NSDirizaView(IDeviceManage& manager, ResultViewFactory views = {}, QWidget* parent = nullptr);
    ~NSDirizaView() override;

    // IRecoveryPage.
    QWidget* Widget() override { return this; }
    void setDelegate(RecoveryPageDelegate* receiver) override { delegate = receiver; }
    void setLanguage(int language) override;
    void StartScan(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) override;
    void StopAndWait() override;

    // ScanFileDelegate (scan thread).
    void ScanContact(const QList<NSContactData>& contacts) override;
    void ScanBookmarks(const QList<NSBookmarksData>& bookmarks) override;
    void ScanCallLog(const QList<NSCallLogData>& calls) override;
    void ScanSMS(const QMap<QString, NSSMSHeadData>& conversations) override;
    void ScanMemo(const QList<NSRemindersData>& notes) override;
    void ScanCalendar(const QList<NSCalendarData>& events) override;
    void ScanReminders(const QList<NSMemoData>& reminders) override;
    void ScanPhoto(const QList<NSDeletedFile>& photos) override;
    void ScanVideo(const QList<NSDeletedFile>& videos) override;
    void ScanMusic(const QList<NSDeletedFile>& voiceMemos) override;
    void ScanSMSAttachment(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) override;
    void ScanWXAttachment(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) override;
    void ScanMemoAttachment(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) override;
    void ScanWXAddressBook(const QList<NSWXChatAccount>* accounts) override;
    void ScanWXChat(const QMap<QString, NSWXChatRecordData>& accounts) override;
    void Scanning(int value, int nTotalProgress, const QString& ScanText) override;
    void ScanLosses(const std::vector<ScanLoss>& losses) override;
    void ScanEnd() override;

    // NSDirizaDataUpdateDelegate (counts and ticks on the GUI thread; progress and the
    // stop question on the save thread).
    void UpdateDirizaFileNum(int type, qint64 num) override;
    void ViewisAllSelect(int type, bool isSelect) override;
    void SaveDataProgress(int total, int current) override;
    bool isStopSave() override { return stopSave.load(); }

    // The list.
    const DirizaTypeList& TypeList() const { return typeList; }
    QStandardItemModel& ListModel() { return listModel; }
    // Shows the result view of a type (heads and unknown types change nothing).
    void SwitchThumbnailPreviewView(int type);
    // A click on the list row / an arrow key moved the selection to the row.
    void SelectTypeListEvent(int row);
    void SelectRowEvent(int row) override;
    // The user ticked or unticked the box of a row (a head included), or the device box.
    void TickRow(int type, bool on);
    void AllSelectDeviceNameEvent(bool on);

    // Scan control.
    void PauseScanBtEvent();
    void StartScanBtEvent();
    void StopScanBtEvent();
    // The progress timer's step.
    void UpdataSearchProgress();
    // Asks whether to go home; on yes stops the scan and the save, empties the page and
    // tells the main page.
    void BackHome();
    void ClearData();

    // Save.
    void RecroyAllDataEvent();
    // Starts the save into `folder` after checking it; false when it was refused.
    bool SaveRecoveryFile(const QString& folder);
    // The panel's stop button and close button.
    void CloseSaveFileInfoWindow();
    bool isSaving() const { return saveThread.joinable(); }
    // Decides whether the save may create files in a folder (tests: running as root).
    void setWritableProbe(SaveDestination::WritableProbe probe) { writableProbe = std::move(probe); }

    // Parts, for tests and screenshots.
    DirizaResultView* ResultView(int type) const;
    int ShownType() const { return eThumbnailPreviewType; }
    // The device or backup of the last scan start.
    std::shared_ptr<DeviceInfo> ScannedDevice() const { return pDeviceInfo; }
    QWidget* ShownPage() const;
    NSDirizaNull* StatusPage() const { return pNSDirizaNull; }
    bool isScanPaused() const { return scanPaused; }
    TableViewEvent* List() const { return DirizaTypeList_; }
    NSDirizaTypeListCell* ListCell() const { return cell; }
    QCheckBox* DeviceNameButton() const { return DeviceNameButton_; }
    QCheckBox* SelectShowDelete() const { return SelectShowDelete_; }
    QLineEdit* SearchKeyField() const { return SearchKey_; }
    QPushButton* StartScanBt() const { return StartScanBt_; }
    QPushButton* PauseScanBt() const { return PauseScanBt_; }
    QPushButton* StopScanBt() const { return StopScanBt_; }
    QPushButton* DirizaAllButton() const { return DirizaAllButton_; }
    QPushButton* BackHomeButton() const { return BackHomeButton_; }
    ZZProgressView* ProgressView() const { return pZZProgressView; }
    QDialog* SaveFileInfoWindow() const { return SaveFileInfoWindow_; }
    QPushButton* StopSaveFileButton() const { return StopSaveFileButton_; }
    QProgressBar* SaveFileProgress() const { return SaveFileProgress_; }
    QLabel* FileNumShow() const { return FileNumShow_; }
    QLabel* SaveFileNameText() const { return SaveFileNameText_; }
    bool ProgressTimerRunning() const;
    bool DropsDeliveries() const { return dropDeliveries.load(); }
    // The scan's progress as last reported (or reset at the scan start).
    int ProgressValue() const { return ReadProgress().value; }
    QString ProgressText() const { return ReadProgress().text; }

  protected:
    void changeEvent(QEvent* event) override;

  private:
    // The paused state of the running scan, on the bar and the status page.
    void SetScanPaused(bool paused);
    // One row of the save's snapshot.
    struct SaveRow {
        int type = 0;
        bool head = false;
        QString name;
    };
    struct Progress {
        int value = 0;
        int maximum = 100;
        QString text;
    };

    void BuildLayout();
    void CreateView(const ResultViewFactory& factory);
    void LoadDirizaTypeList(const QStringList& selection);
    void ReloadList();
    void SyncTicks();
    // The left pane as wide as its widest row (type list and device box), at least 240.
    void FitTypeList();
    void ApplySelection(const DirizaTypeList::ViewSelection& selection);
    // Shows or hides the show-deleted switch and the search field for the type.
    void SetShowDeleteFile(int type);
    void SelectShowDeleteEvent();
    void SearchKeyEvent();
    void ApplyAppearance();
    void RenewProgressText();
    Progress ReadProgress() const;
    void EndScanUi();
    // Save thread.
    void SaveLoop(QString folder, std::vector<SaveRow> rows, int selectedViews);
    // GUI thread, posted by the save thread.
    void RowStarted(int row);         // names the row about to be written
    void RowSaved(int done, int all); // the count line after a row
    void SaveThreadEnded(bool completed, DirizaSaveResult result, QString folder);
    void ShowSaveProgress();
    void JoinSaveThread();
    void UpdateButtonsForSave();
    template <typename... Args> void Forward(int type, const Args&... args);

    IDeviceManage& manager;
    RecoveryPageDelegate* delegate = nullptr;
    std::shared_ptr<DeviceInfo> pDeviceInfo;

    DirizaTypeList typeList;
    QStandardItemModel listModel;
    int eThumbnailPreviewType = 0;
    std::array<DirizaResultView*, DirizaResultView::TypeCount> views{};
    // The application's views when the page makes (some of) its views itself.
    std::unique_ptr<ApplicationResultViews> ownViews;
    std::vector<QWidget*> ArrayViewItem;
    NSDirizaNull* pNSDirizaNull = nullptr;

    // Widgets.
    QWidget* leftPane = nullptr;
    QWidget* topBar = nullptr;
    QCheckBox* DeviceNameButton_ = nullptr;
    QCheckBox* SelectShowDelete_ = nullptr;
    QLineEdit* SearchKey_ = nullptr;
    QPushButton* StartScanBt_ = nullptr;
    QPushButton* PauseScanBt_ = nullptr;
    QPushButton* StopScanBt_ = nullptr;
    ZZProgressView* pZZProgressView = nullptr;
    QPushButton* DirizaAllButton_ = nullptr;
    QPushButton* BackHomeButton_ = nullptr;
    TableViewEvent* DirizaTypeList_ = nullptr;
    NSDirizaTypeListCell* cell = nullptr;
    QStackedWidget* ViewFileTypeTab = nullptr;
    QLabel* NavigationBackground = nullptr;
    QTimer* TimerUpdataSearchProgress = nullptr;
    bool dark = false;
    bool scanEnded = true;
    bool scanPaused = false;              // the user paused the running scan (GUI thread)
    std::atomic<bool> userStopped{false}; // the user pressed Stop during the running scan
    // What the running scan could not read, told to the user when it ends (GUI thread).
    std::vector<ScanLoss> scanLosses;

    // Progress of the scan: written on the scan thread, read by the timer.
    mutable std::mutex progressMutex;
    Progress progress;
    // From ClearData (and before the first scan) until the next scan starts, results
    // that still arrive belong to no scan the page shows.
    // A delivery holds deliveryMutex while it hands its data on, so once ClearData has
    // raised the flag no delivery that read it before can still fill a view.
    std::atomic<bool> dropDeliveries{true};
    std::mutex deliveryMutex;

    // Save.
    QDialog* SaveFileInfoWindow_ = nullptr;
    QPushButton* StopSaveFileButton_ = nullptr;
    QProgressBar* SaveFileProgress_ = nullptr;
    QLabel* FileNumShow_ = nullptr;
    QLabel* SaveFileNameText_ = nullptr;
    std::atomic<bool> stopSave{true};
    std::atomic<int> nProgressAllNum{100};
    std::atomic<int> nProgressNum{0};
    std::atomic<bool> progressPosted{false};
    std::vector<SaveRow> saveRows;
    QString RecoveringAll;
    std::thread saveThread;
    SaveDestination::WritableProbe writableProbe = &SaveDestination::CanCreateFileIn;
};
