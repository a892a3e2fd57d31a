#include "views/chat/MediaGridResultView.h"

#include "app/common/MainQueue.h"
#include "app/common/NSLanguageText.h"
#include "views/chat/MediaFileCopier.h"
#include "views/chat/MediaSave.h"
#include "views/chat/NSDirizaVideoViewItem.h"

#include <QVBoxLayout>

MediaGridResultView::MediaGridResultView(int type, MediaGrid::Tile tile, IPreviewService& preview, QWidget* parent,
                                         int pollMs)
    : DirizaResultView(parent), player_(preview) {
    SetDirizaType(type);
    timer_.setInterval(pollMs);
    connect(&timer_, &QTimer::timeout, this, [this] { UpdataUiFinish(); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    stack_ = new QStackedWidget(this);
    loadingInfo_ = new QLabel(stack_);
    loadingInfo_->setAlignment(Qt::AlignCenter);
    grid_ = new MediaGrid(tile, player_, stack_);
    stack_->addWidget(loadingInfo_);
    stack_->addWidget(grid_);
    layout->addWidget(stack_);
    connect(grid_, &MediaGrid::TicksChanged, this, [this] { isAllSelect(); });
    UpdateTexts();
}

MediaGridResultView::~MediaGridResultView() = default;

void MediaGridResultView::UpdateTexts() {
    loadingInfo_->setText(timer_.isActive() ? LanguageText("ScanLoading") : LanguageText("ScanNotData"));
}

void MediaGridResultView::setLanguage(int) {
    UpdateTexts();
    grid_->List()->viewport()->update();
}

void MediaGridResultView::StartUpdateUI() {
    // The files of an earlier scan go: they would otherwise come back and be saved.
    grid_->SetIndex(MediaDayIndex());
    searchKey_.clear();
    stack_->setCurrentWidget(loadingInfo_);
    DropPending();
    if (!timer_.isActive()) timer_.start();
    UpdateTexts();
}

void MediaGridResultView::AddDirizaFile(const QList<NSDeletedFile>& files) {
    const quint64 generation = generation_.load();
    MediaDayIndex index(files);
    QHash<int, QString> excerpts;
    if (grid_->TileKind() == MediaGrid::Tile::Video) excerpts = MediaGrid::TextExcerpts(index);
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        if (generation != generation_.load()) return; // begun before StartUpdateUI or ClearData
        pending_ = std::move(index);
        pendingExcerpts_ = std::move(excerpts);
        isUpDateUI_ = true;
    }
    // A delivery after the timer stopped starts it again.
    MainQueue::Post(this, [this] {
        if (!timer_.isActive()) timer_.start();
    });
}

void MediaGridResultView::DropPending() {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    ++generation_;
    pending_.reset();
    pendingExcerpts_.clear();
    isUpDateUI_ = false;
}

void MediaGridResultView::UpdataUiFinish() {
    if (!isUpDateUI_.exchange(false)) return;
    timer_.stop();
    std::optional<MediaDayIndex> index;
    QHash<int, QString> excerpts;
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        index.swap(pending_);
        excerpts.swap(pendingExcerpts_);
    }
    if (index) grid_->SetIndex(std::move(*index), std::move(excerpts));
    searchKey_.clear();
    const int count = grid_->FileCount();
    if (auto* d = delegate()) d->UpdateDirizaFileNum(DirizaType(), count);
    stack_->setCurrentWidget(count > 0 ? static_cast<QWidget*>(grid_) : loadingInfo_);
    UpdateTexts();
}

void MediaGridResultView::SearchKey(const QString& key) {
    searchKey_ = key.toLower();
    grid_->SetSearchKey(key);
}

QString MediaGridResultView::GetSearchKey() const {
    return searchKey_;
}

void MediaGridResultView::AllSelect() {
    if (grid_->FileCount() == 0) return;
    grid_->SelectAll();
}

void MediaGridResultView::ClearSelect() {
    if (grid_->FileCount() == 0) return;
    grid_->ClearSelection();
}

bool MediaGridResultView::isSelectData() const {
    return grid_->TickedCount() > 0;
}

void MediaGridResultView::isAllSelect() {
    if (auto* d = delegate()) d->ViewisAllSelect(DirizaType(), grid_->Index().AllTicked());
}

DirizaSaveResult MediaGridResultView::DirizaData(const QString& folder) {
    const std::vector<NSFileData> files = grid_->FilesToSave();
    if (files.empty()) return {};
    MediaSave save(FolderName(), int(files.size()), [this] { return StopRequested(); },
                   [this](int total, int done) { ReportSaveProgress(total, done); });
    if (!save.Open(folder)) return save.Result();
    for (const NSFileData& f : files)
        if (!save.CopyFile(f)) break;
    return save.Result();
}

void MediaGridResultView::ClearData() {
    // A delivery still waiting for the timer goes too: it would bring the files back.
    timer_.stop();
    DropPending();
    grid_->SetIndex(MediaDayIndex());
    searchKey_.clear();
}
