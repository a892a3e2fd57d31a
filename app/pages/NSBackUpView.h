#pragma once
#include "app/pages/NSBackUpViewDelegate.h"
#include "scan/BackUpDelegate.h"
#include "scan/IDeviceManage.h"

#include <QStringList>
#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QTimer;

// Work page that backs a connected device up (with an animation) or analyses a chosen
// backup (with a progress bar), then reports the outcome. The device manager's messages
// may arrive on worker threads; they reach this page's state only on the GUI thread, and
// not at all once the page is gone.
class NSBackUpView final : public QWidget, public BackUpDelegate {
    Q_OBJECT
  public:
    static constexpr int FrameCount = 7;

    NSBackUpView(IDeviceManage& manager, QWidget* parent = nullptr);
    ~NSBackUpView() override;

    void setDelegate(NSBackUpViewDelegate* receiver) { delegate = receiver; }
    void setLanguage(int language);
    // Device road: backs the device up, then analyses the backup.
    void StartBackUp(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection);
    // Backup road: analyses the chosen backup.
    void StartAnalyze(const std::shared_ptr<DeviceInfo>& backup, const QStringList& selection);
    // One step of the backup animation.
    void UpdateProgreImageView();

    // BackUpDelegate (any thread).
    void BackUpFinish(const QString& backupRoot) override;
    void BackUpLoser() override;
    void Analyze(int percent) override;
    void AnalyzeFinish() override;

    // State, for tests.
    int NextFrame() const { return totalDuration; }
    int ShownFrame() const { return shownFrame; }
    bool isAnimating() const;
    QProgressBar* ProgressBar() const { return BackUpProgress; }
    QLabel* Title() const { return ProgressText; }
    QLabel* Explain() const { return ExplainText; }
    QLabel* AnimationView() const { return ProgreImageView; }

  private:
    IDeviceManage& manager;
    NSBackUpViewDelegate* delegate = nullptr;
    QLabel* ProgressText;
    QLabel* ExplainText;
    QLabel* ProgreImageView;
    QProgressBar* BackUpProgress;
    QTimer* ProgreImageViewTimer;
    QList<QPixmap> imagesGif;
    int totalDuration = 0;
    int shownFrame = 0;
    std::shared_ptr<DeviceInfo> pDeviceInfo;
    QStringList SelectFileTypeData;
};
