#pragma once
#include "gui/DirizaResultView.h"
#include "gui/ResultDelivery.h"
#include "views/media/MediaDayIndex.h"
#include "views/media/MediaGrid.h"
#include "views/media/MediaPlayDispatcher.h"

#include <QHash>
#include <QLabel>
#include <QStackedWidget>

#include <optional>

// The result view of one kind of media files shown by day in one grid (photos, videos,
// voice memos): the delivery on the scan thread, the 1 s refresh timer, search, ticks,
// and the save that copies the ticked stored files into a localised subfolder.
class MediaGridResultView : public DirizaResultView {
    Q_OBJECT
  public:
    using DirizaResultView::AddDirizaFile;

    // `pollMs`: the period of the timer that shows newly arrived data.
    MediaGridResultView(int type, MediaGrid::Tile tile, IPreviewService& preview, QWidget* parent = nullptr,
                        int pollMs = 1000);
    ~MediaGridResultView() override;

    void setLanguage(int language) override;
    void StartUpdateUI() override;
    void SearchKey(const QString& key) override;
    QString GetSearchKey() const override;
    void AllSelect() override;
    void ClearSelect() override;
    bool isSelectData() const override;
    DirizaSaveResult DirizaData(const QString& folder) override;
    void ClearData() override;
    void AddDirizaFile(const QList<NSDeletedFile>& files) override;
    ResultDelivery* Delivery() override { return &delivery_; }

    MediaGrid& Grid() { return *grid_; }
    MediaPlayDispatcher& Player() { return player_; }
    bool ShowsLoading() const { return delivery_.Waiting(); }
    bool ShowsNoData() const { return stack_->currentWidget() == loadingInfo_ && !delivery_.Waiting(); }
    QString LoadingText() const { return loadingInfo_->text(); }

    // The name of the save's subfolder (localised).
    virtual QString FolderName() const = 0;

  private:
    struct Arrived {
        MediaDayIndex index;
        QHash<int, QString> excerpts;
    };

    void UpdataUiFinish();
    void isAllSelect();
    void UpdateTexts();

    MediaPlayDispatcher player_;
    MediaGrid* grid_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QLabel* loadingInfo_ = nullptr;
    QString searchKey_;

    // The latest delivery, until the timer shows it (GUI thread).
    std::optional<Arrived> pending_;
    ResultDelivery delivery_;
};
