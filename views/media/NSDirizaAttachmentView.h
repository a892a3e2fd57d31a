#pragma once
#include "gui/DirizaResultView.h"
#include "gui/ResultDelivery.h"
#include "views/media/IVoiceConverter.h"
#include "views/media/MediaDayIndex.h"
#include "views/media/MediaGrid.h"
#include "views/media/MediaPlayDispatcher.h"

#include <QButtonGroup>
#include <QLabel>
#include <QStackedWidget>
#include <QToolButton>

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
    ResultDelivery* Delivery() override { return &delivery_; }

    // The segment shown: 0 pictures, 1 media.
    void SelectTab(int tab);
    int SelectedTab() const { return stack_->currentIndex(); }
    MediaGrid& PhotoGrid() { return *photoGrid_; }
    MediaGrid& MediaSection() { return *mediaGrid_; }
    MediaPlayDispatcher& Player() { return player_; }
    bool ShowsLoading() const { return delivery_.Waiting(); }
    bool ShowsNoData() const { return outer_->currentWidget() == loadingInfo_ && !delivery_.Waiting(); }
    // The empty-section texts show ("ScanNotData").
    bool PhotoSectionEmpty() const { return photoStack_->currentWidget() == photoLoadingInfo_; }
    bool MediaSectionEmpty() const { return mediaStack_->currentWidget() == mediaLoadingInfo_; }
    // The save folder's name for the view's type.
    QString FolderName() const;

  private:
    struct Arrived {
        MediaDayIndex photos;
        MediaDayIndex media;
        QHash<int, QString> excerpts;
    };

    void UpdataUiFinish();
    void isAllSelect();
    void UpdateTexts();

    IVoiceConverter& voice_;
    MediaPlayDispatcher player_;
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

    // The latest delivery, until the timer shows it (GUI thread).
    std::optional<Arrived> pending_;
    ResultDelivery delivery_;
};
