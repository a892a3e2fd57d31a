#include "views/media/NSDirizaAttachmentView.h"

#include "gui/NSLanguageText.h"
#include "views/media/MediaSave.h"
#include "views/media/VoiceFile.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

QLabel* EmptyLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

NSDirizaAttachmentView::NSDirizaAttachmentView(IPreviewService& preview, IVoiceConverter& voice,
                                               QWidget* parent, int pollMs)
    : DirizaResultView(parent), voice_(voice), player_(preview),
      delivery_(this, pollMs, ResultDelivery::AfterClear::Take, [this] { UpdataUiFinish(); }) {
    SetDirizaType(DirizaResultView::SMSAttachment);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    outer_ = new QStackedWidget(this);
    loadingInfo_ = EmptyLabel(outer_);
    auto* content = new QWidget(outer_);
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 6, 0, 0);
    auto* bar = new QHBoxLayout;
    bar->setSpacing(0);
    photoSegment_ = new QToolButton(content);
    mediaSegment_ = new QToolButton(content);
    for (QToolButton* b : {photoSegment_, mediaSegment_}) {
        b->setCheckable(true);
        b->setMinimumWidth(110);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    segments_.setExclusive(true);
    segments_.addButton(photoSegment_, 0);
    segments_.addButton(mediaSegment_, 1);
    bar->addStretch();
    bar->addWidget(photoSegment_);
    bar->addWidget(mediaSegment_);
    bar->addStretch();
    contentLayout->addLayout(bar);

    stack_ = new QStackedWidget(content);
    photoStack_ = new QStackedWidget(stack_);
    mediaStack_ = new QStackedWidget(stack_);
    photoLoadingInfo_ = EmptyLabel(photoStack_);
    mediaLoadingInfo_ = EmptyLabel(mediaStack_);
    photoGrid_ = new MediaGrid(MediaGrid::Tile::Photo, player_, photoStack_);
    mediaGrid_ = new MediaGrid(MediaGrid::Tile::Attachment, player_, mediaStack_);
    photoStack_->addWidget(photoLoadingInfo_);
    photoStack_->addWidget(photoGrid_);
    mediaStack_->addWidget(mediaLoadingInfo_);
    mediaStack_->addWidget(mediaGrid_);
    stack_->addWidget(photoStack_);
    stack_->addWidget(mediaStack_);
    contentLayout->addWidget(stack_);

    outer_->addWidget(loadingInfo_);
    outer_->addWidget(content);
    layout->addWidget(outer_);

    connect(&segments_, &QButtonGroup::idClicked, this, [this](int id) { SelectTab(id); });
    connect(photoGrid_, &MediaGrid::TicksChanged, this, [this] { isAllSelect(); });
    connect(mediaGrid_, &MediaGrid::TicksChanged, this, [this] { isAllSelect(); });
    SelectTab(0);
    UpdateTexts();
}

NSDirizaAttachmentView::~NSDirizaAttachmentView() = default;

void NSDirizaAttachmentView::SelectTab(int tab) {
    const int t = tab == 0 ? 0 : 1;
    stack_->setCurrentIndex(t);
    (t == 0 ? photoSegment_ : mediaSegment_)->setChecked(true);
}

QString NSDirizaAttachmentView::FolderName() const {
    switch (DirizaType()) {
    case DirizaResultView::SMSAttachment:
        return LanguageText("SMSAppttachment");
    case DirizaResultView::MemoAttachment:
        return LanguageText("MemoAppttachment");
    case DirizaResultView::WXAttachment:
        return LanguageText("WXAppttachment");
    default:
        return LanguageText("Appttachment");
    }
}

void NSDirizaAttachmentView::UpdateTexts() {
    photoSegment_->setText(LanguageText("AttachmentPhoto"));
    mediaSegment_->setText(LanguageText("AttachmentVideo"));
    loadingInfo_->setText(delivery_.Waiting() ? LanguageText("ScanLoading") : LanguageText("ScanNotData"));
    photoLoadingInfo_->setText(LanguageText("ScanNotData"));
    mediaLoadingInfo_->setText(LanguageText("ScanNotData"));
}

void NSDirizaAttachmentView::setLanguage(int) {
    UpdateTexts();
}

void NSDirizaAttachmentView::StartUpdateUI() {
    // The files of an earlier scan go: they would otherwise come back and be saved.
    photoGrid_->SetIndex(MediaDayIndex());
    mediaGrid_->SetIndex(MediaDayIndex());
    searchKey_.clear();
    outer_->setCurrentWidget(loadingInfo_);
    delivery_.Begin();
    pending_.reset();
    UpdateTexts();
}

void NSDirizaAttachmentView::AddDirizaFile(const QList<NSDeletedFile>& photos,
                                           const QList<NSDeletedFile>& media) {
    const ResultDelivery::Ticket ticket = delivery_.Open();
    Arrived arrived{MediaDayIndex(photos), MediaDayIndex(media), {}};
    arrived.excerpts = MediaGrid::TextExcerpts(arrived.media);
    delivery_.Hand(ticket, std::optional<Arrived>(std::move(arrived)), pending_);
}

void NSDirizaAttachmentView::UpdataUiFinish() {
    if (!delivery_.Take()) return;
    std::optional<Arrived> arrived;
    arrived.swap(pending_);
    if (arrived) {
        photoGrid_->SetIndex(std::move(arrived->photos));
        mediaGrid_->SetIndex(std::move(arrived->media), std::move(arrived->excerpts));
    }
    searchKey_.clear();
    const int photos = photoGrid_->FileCount();
    const int media = mediaGrid_->FileCount();
    if (auto* d = delegate()) d->UpdateDirizaFileNum(DirizaType(), photos + media);
    if (photos + media > 0) {
        outer_->setCurrentIndex(1);
        photoStack_->setCurrentWidget(photos > 0 ? static_cast<QWidget*>(photoGrid_) : photoLoadingInfo_);
        mediaStack_->setCurrentWidget(media > 0 ? static_cast<QWidget*>(mediaGrid_) : mediaLoadingInfo_);
    } else {
        outer_->setCurrentWidget(loadingInfo_);
    }
    UpdateTexts();
}

void NSDirizaAttachmentView::SearchKey(const QString& key) {
    searchKey_ = key.toLower();
    photoGrid_->SetSearchKey(key);
    mediaGrid_->SetSearchKey(key);
}

QString NSDirizaAttachmentView::GetSearchKey() const {
    return searchKey_;
}

void NSDirizaAttachmentView::AllSelect() {
    if (photoGrid_->FileCount() > 0) photoGrid_->SelectAll();
    if (mediaGrid_->FileCount() > 0) mediaGrid_->SelectAll();
}

void NSDirizaAttachmentView::ClearSelect() {
    if (photoGrid_->FileCount() > 0) photoGrid_->ClearSelection();
    if (mediaGrid_->FileCount() > 0) mediaGrid_->ClearSelection();
}

bool NSDirizaAttachmentView::isSelectData() const {
    return photoGrid_->TickedCount() > 0 || mediaGrid_->TickedCount() > 0;
}

void NSDirizaAttachmentView::isAllSelect() {
    // Every file of both sections of the current data.
    const int total = photoGrid_->FileCount() + mediaGrid_->FileCount();
    const int ticked = photoGrid_->TickedCount() + mediaGrid_->TickedCount();
    if (auto* d = delegate()) d->ViewisAllSelect(DirizaType(), total > 0 && ticked == total);
}

DirizaSaveResult NSDirizaAttachmentView::DirizaData(const QString& folder) {
    const std::vector<NSFileData> photos = photoGrid_->FilesToSave();
    const std::vector<NSFileData> media = mediaGrid_->FilesToSave();
    const int total = int(photos.size() + media.size());
    if (total == 0) return {};
    MediaSave save(
        FolderName(), total, [this] { return StopRequested(); },
        [this](int all, int done) { ReportSaveProgress(all, done); });
    if (!save.Open(folder)) return save.Result();
    for (const auto* files : {&photos, &media}) {
        for (const NSFileData& f : *files) {
            const bool going =
                VoiceFile::IsAudSuffix(f.Suffix()) ? save.SaveVoice(f, voice_) : save.CopyFile(f);
            if (!going) return save.Result();
        }
    }
    return save.Result();
}

void NSDirizaAttachmentView::ClearData() {
    // A delivery still waiting for the timer goes too: it would bring the files back.
    delivery_.Clear();
    pending_.reset();
    photoGrid_->SetIndex(MediaDayIndex());
    mediaGrid_->SetIndex(MediaDayIndex());
    searchKey_.clear();
}
