#include "views/media/MediaGrid.h"

#include "views/media/MediaFileCopier.h"
#include "views/media/MediaGridDelegate.h"
#include "views/media/MediaGridListView.h"
#include "views/media/NSDirizaVideoViewItem.h"

#include <QVBoxLayout>

MediaGrid::MediaGrid(Tile tile, MediaPlayDispatcher& player, QWidget* parent)
    : QWidget(parent), tile_(tile), player_(player) {
    model_ = new MediaGridModel(index_, this);
    delegate_ = new MediaGridDelegate(*this);
    delegate_->setParent(this);
    list_ = new MediaGridListView(loader_, this);
    list_->setModel(model_);
    list_->setItemDelegate(delegate_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
    connect(&loader_, &ThumbnailLoader::Ready, this, [this](const QString&) { list_->viewport()->update(); });
    connect(&loader_, &ThumbnailLoader::Dropped, this, [this] { list_->viewport()->update(); });
}

MediaGrid::~MediaGrid() {
    list_->setModel(nullptr);
}

void MediaGrid::SetIndex(MediaDayIndex index, QHash<int, QString> excerpts) {
    loader_.Clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index_ = std::move(index);
        excerpts_ = std::move(excerpts);
    }
    model_->Reset();
}

void MediaGrid::SetSearchKey(const QString& key) {
    bool changed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        changed = index_.SetSearchKey(key);
    }
    if (changed) model_->Reset();
}

void MediaGrid::SelectAll() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index_.SelectAll();
    }
    model_->TicksChanged();
}

void MediaGrid::ClearSelection() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        index_.ClearSelection();
    }
    model_->TicksChanged();
}

int MediaGrid::FileCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index_.FileCount();
}

int MediaGrid::TickedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return index_.TickedCount();
}

std::vector<NSFileData> MediaGrid::FilesToSave() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<NSFileData> out;
    for (int f : index_.FilesToSave())
        out.push_back(index_.File(f));
    return out;
}

void MediaGrid::ToggleFile(int file) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file < 0 || file >= index_.FileCount()) return;
        if (!index_.Untick(file)) index_.Tick(file);
    }
    model_->TicksChanged();
    emit TicksChanged();
}

void MediaGrid::ToggleDay(const QString& day) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (index_.IsDayTicked(day))
            index_.UntickDay(day);
        else
            index_.TickDay(day);
    }
    model_->TicksChanged();
    emit TicksChanged();
}

void MediaGrid::Activate(int file) {
    if (file < 0 || file >= index_.FileCount()) return;
    const NSFileData& f = index_.File(file);
    switch (tile_) {
    case Tile::Photo:
        player_.ShowPhoto(f);
        break;
    case Tile::Video:
        if (NSDirizaVideoViewItem::IsTextSuffix(f.Suffix()))
            player_.ShowText(f);
        else
            player_.Play(f, true);
        break;
    case Tile::Music:
        player_.Play(f, false);
        break;
    case Tile::Attachment:
        player_.Open(f);
        break;
    }
}

QHash<int, QString> MediaGrid::TextExcerpts(const MediaDayIndex& index) {
    QHash<int, QString> excerpts;
    for (int i = 0; i < index.FileCount(); ++i) {
        if (!NSDirizaVideoViewItem::IsTextSuffix(index.File(i).Suffix())) continue;
        // The start of the text, decoded leniently; an unreadable file shows nothing.
        excerpts.insert(i, QString::fromUtf8(MediaFileCopier::Head(MediaFileCopier::StoredPath(index.File(i)),
                                                                   NSDirizaVideoViewItem::kExcerptBytes)));
    }
    return excerpts;
}
