#pragma once
#include "app/common/DirizaResultView.h"
#include "views/chat/IVoiceConverter.h"
#include "views/chat/MediaDayIndex.h"
#include "views/chat/MediaGrid.h"
#include "views/chat/MediaPlayDispatcher.h"

#include <QButtonGroup>
#include <QLabel>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <mutex>
#include <optional>

// The attachment files of one message source (SMS 2, notes 3, WeChat 14: the type set
// after creation) in two day-grouped grids, pictures and other media, switched by a
// two-segment control. The save copies the ticked files into the source's localised
// folder; voice messages become MP3 (SILK) or AMR files.
class NSDirizaAttachmentView : public DirizaResultView {
    Q_OBJECT
  public:
    using DirizaResultView::AddDirizaFile;

    NSDirizaAttachmentView(IPreviewService& preview, IVoiceConverter& voice, QWidget* parent = nullptr,
                           int pollMs = 1000);
    ~NSDirizaAttachmentView() override;

    void setLanguage(int language) override;
    void StartUpdateUI() override;
    void SearchKey(const QString& key) override;
    QString GetSearchKey() const override;
    void AllSelect() override;
    void ClearSelect() override;
    bool isSelectData() const override;
    DirizaSaveResult DirizaData(const QString& folder) override;
    void ClearData() override;
    void AddDirizaFile(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) override;

    // The segment shown: 0 pictures, 1 media.
    void SelectTab(int tab);
    int SelectedTab() const { return stack_->currentIndex(); }
    MediaGrid& PhotoGrid() { return *photoGrid_; }
    MediaGrid& MediaSection() { return *mediaGrid_; }
    MediaPlayDispatcher& Player() { return player_; }
    bool ShowsLoading() const { return timer_.isActive(); }
    bool ShowsNoData() const { return outer_->currentWidget() == loadingInfo_ && !timer_.isActive(); }
    // The empty-section texts show ("ScanNotData").
    bool PhotoSectionEmpty() const { return photoStack_->currentWidget() == photoLoadingInfo_; }
    bool MediaSectionEmpty() const { return mediaStack_->currentWidget() == mediaLoadingInfo_; }
    // The save folder's name for the view's type.
    QString FolderName() const;

  private:
    void UpdataUiFinish();
    // Forgets a delivery waiting for the timer, and any still being built.
    void DropPending();
    void isAllSelect();
    void UpdateTexts();

    IVoiceConverter& voice_;
    MediaPlayDispatcher player_;
    QTimer timer_;
    QString searchKey_;
    QStackedWidget* outer_ = nullptr;
    QLabel* loadingInfo_ = nullptr;
    QToolButton* photoSegment_ = nullptr;
    QToolButton* mediaSegment_ = nullptr;
    QButtonGroup segments_;
    QStackedWidget* stack_ = nullptr;
    QStackedWidget* photoStack_ = nullptr;
    QStackedWidget* mediaStack_ = nullptr;
    QLabel* photoLoadingInfo_ = nullptr;
    QLabel* mediaLoadingInfo_ = nullptr;
    MediaGrid* photoGrid_ = nullptr;
    MediaGrid* mediaGrid_ = nullptr;

    std::mutex pendingMutex_;
    std::optional<std::pair<MediaDayIndex, MediaDayIndex>> pending_;
    QHash<int, QString> pendingExcerpts_;
    std::atomic<bool> isUpDateUI_{false};
    // Counts StartUpdateUI and ClearData: a delivery begun before the latest one is dropped.
    std::atomic<quint64> generation_{0};
};
