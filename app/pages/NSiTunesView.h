#pragma once
#include "app/pages/BackupListModel.h"
#include "app/pages/NSSelectDirizaFileTypeView.h"
#include "app/pages/NSiTunesViewDelegate.h"
#include "scan/IDeviceManage.h"

#include <QWidget>

#include <memory>

class QLabel;
class QPushButton;
class QStackedWidget;
class QTableView;

// Home page of the backup road: the device backups of the user's backups folder, a
// button to open a backup folder anywhere, and the data-type chooser for the chosen one.
class NSiTunesView final : public QWidget, private NSSelectDirizaFileTypeViewDelegate {
    Q_OBJECT
  public:
    NSiTunesView(IDeviceManage& manager, QWidget* parent = nullptr);

    void setDelegate(NSiTunesViewDelegate* receiver) { delegate = receiver; }
    void setLanguage(int language);
    // Lists the backups of the backups folder again.
    void LoadiTunesData();
    // The user chose a listed backup (its select button).
    void SelectDeviceInfo(const std::shared_ptr<DeviceInfo>& backup);
    // Asks for a backup folder and offers the chooser for it.
    void PreviewBtEvent();
    // Back to the list with no backup chosen.
    void InitData();

    const BackupListModel& Model() const { return model; }
    QLabel* FolderHint() const { return Instructions2Title; }
    QTableView* Table() const { return iTunesTable; }
    std::shared_ptr<DeviceInfo> Selected() const { return selected; }
    bool isChoosing() const;
    NSSelectDirizaFileTypeView* Chooser() const { return pNSSelectDirizaFileTypeView; }

  private:
    void BackUpStartEvent(const QStringList& selection) override;
    void BackBtEvent() override;
    void Reapply(bool dark);
    // The hint that names the backups folder, as it is now.
    void ShowBackupsFolder();

    NSiTunesViewDelegate* delegate = nullptr;
    BackupListModel model;
    std::shared_ptr<DeviceInfo> selected;
    QStackedWidget* TabView;
    QTableView* iTunesTable;
    QPushButton* PreviewBt;
    QLabel* InstructionsTitle;
    QLabel* Instructions2Title;
    QLabel* Instructions3Title;
    NSSelectDirizaFileTypeView* pNSSelectDirizaFileTypeView;
};
