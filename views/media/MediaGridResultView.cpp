#include "views/media/MediaGridResultView.h"

#include "gui/NSLanguageText.h"
#include "views/media/MediaFileCopier.h"
#include "views/media/MediaSave.h"
#include "views/media/NSDirizaVideoViewItem.h"

#include <QVBoxLayout>

MediaGridResultView::MediaGridResultView(int type, MediaGrid::Tile tile, IPreviewService& preview,
                                         QWidget* parent, int pollMs)
    : DirizaResultView(parent), player_(preview),
      delivery_(this, pollMs, ResultDelivery::AfterClear::Take, [this] { UpdataUiFinish(); }) {
    SetDirizaType(type);
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
    loadingInfo_->setText(delivery_.Waiting() ? LanguageText("ScanLoading") : LanguageText("ScanNotData"));
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
    delivery_.Begin();
    pending_.reset();
    UpdateTexts();
}

void MediaGridResultView::AddDirizaFile(const QList<NSDeletedFile>& files) {
    const ResultDelivery::Ticket ticket = delivery_.Open();
    Arrived arrived{MediaDayIndex(files), {}};
    if (grid_->TileKind() == MediaGrid::Tile::Video)
        arrived.excerpts = MediaGrid::TextExcerpts(arrived.index);
    delivery_.Hand(ticket, std::optional<Arrived>(std::move(arrived)), pending_);
}

void MediaGridResultView::UpdataUiFinish() {
    if (!delivery_.Take()) return;
    std::optional<Arrived> arrived;
    arrived.swap(pending_);
    if (arrived) grid_->SetIndex(std::move(arrived->index), std::move(arrived->excerpts));
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
    MediaSave save(
        FolderName(), int(files.size()), [this] { return StopRequested(); },
        [this](int total, int done) { ReportSaveProgress(total, done); });
    if (!save.Open(folder)) return save.Result();
    for (const NSFileData& f : files)
        if (!save.CopyFile(f)) break;
    return save.Result();
}

void MediaGridResultView::ClearData() {
    // A delivery still waiting for the timer goes too: it would bring the files back.
    delivery_.Clear();
    pending_.reset();
    grid_->SetIndex(MediaDayIndex());
    searchKey_.clear();
}
