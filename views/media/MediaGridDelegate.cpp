#include "views/media/MediaGridDelegate.h"

#include "platform/IAppearance.h"
#include "views/media/AttachmentKind.h"
#include "views/media/MediaFileCopier.h"
#include "views/media/MediaGrid.h"
#include "views/media/MediaTileGeometry.h"
#include "views/media/NSDirizaDocumentViewItem.h"
#include "views/media/NSDirizaMusicViewItem.h"
#include "views/media/NSDirizaPhotoViewItem.h"
#include "views/media/NSDirizaVideoViewItem.h"
#include "views/media/NSHeadersCollectionView.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

MediaGridDelegate::MediaGridDelegate(MediaGrid& grid) : grid_(grid) {}

QSize MediaGridDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (index.data(MediaGridModel::IsHeaderRole).toBool()) {
        const QListView* list = grid_.List();
        int width = list ? list->viewport()->width() - 2 * list->spacing() - 2 : 400;
        return QSize(std::max(200, width), MediaTileGeometry::kHeaderHeight);
    }
    return MediaTileGeometry::TileSize();
}

void MediaGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    const bool dark = IAppearance::Dark(grid_.List());
    const bool ticked = index.data(MediaGridModel::TickedRole).toBool();
    const QWidget* widget = grid_.List();
    painter->save();
    painter->setClipRect(option.rect);
    if (index.data(MediaGridModel::IsHeaderRole).toBool()) {
        NSHeadersCollectionView::Paint(*painter, option.rect, index.data(Qt::DisplayRole).toString(), ticked,
                                       dark, widget);
        painter->restore();
        return;
    }
    const int file = index.data(MediaGridModel::FileRole).toInt();
    const MediaDayIndex& data = grid_.Index();
    if (file < 0 || file >= data.FileCount()) {
        painter->restore();
        return;
    }
    const NSFileData& f = data.File(file);
    const bool hovered = option.state & QStyle::State_MouseOver;
    switch (grid_.TileKind()) {
    case MediaGrid::Tile::Photo:
        paintPhoto(*painter, option.rect, f, ticked, dark);
        break;
    case MediaGrid::Tile::Video: {
        const bool isText = NSDirizaVideoViewItem::IsTextSuffix(f.Suffix());
        NSDirizaVideoViewItem::Paint(*painter, option.rect, f.FileName(), ticked, isText, grid_.Excerpt(file),
                                     hovered, dark, widget);
        break;
    }
    case MediaGrid::Tile::Music:
        NSDirizaMusicViewItem::Paint(*painter, option.rect, f.FileName(), ticked, hovered, dark, widget);
        break;
    case MediaGrid::Tile::Attachment:
        switch (AttachmentKind::Of(f.Suffix())) {
        case AttachmentKind::Kind::Picture:
            paintPhoto(*painter, option.rect, f, ticked, dark);
            break;
        case AttachmentKind::Kind::Video:
            NSDirizaVideoViewItem::Paint(*painter, option.rect, f.FileName(), ticked, false, QString(),
                                         hovered, dark, widget);
            break;
        case AttachmentKind::Kind::Text:
            NSDirizaVideoViewItem::Paint(*painter, option.rect, f.FileName(), ticked, true,
                                         grid_.Excerpt(file), hovered, dark, widget);
            break;
        case AttachmentKind::Kind::Audio:
            NSDirizaMusicViewItem::Paint(*painter, option.rect, f.FileName(), ticked, hovered, dark, widget);
            break;
        case AttachmentKind::Kind::Document:
            NSDirizaDocumentViewItem::Paint(*painter, option.rect, f.FileName(),
                                            AttachmentKind::Label(f.Suffix()), ticked, dark, widget);
            break;
        }
        break;
    }
    painter->restore();
}

void MediaGridDelegate::paintPhoto(QPainter& painter, const QRect& tile, const NSFileData& f, bool ticked,
                                   bool dark) const {
    QImage thumb;
    auto picture = NSDirizaPhotoViewItem::Picture::Loading;
    if (!f.thumbnail().isNull()) {
        thumb = f.thumbnail();
        picture = NSDirizaPhotoViewItem::Picture::Ready;
    } else {
        switch (grid_.Thumbnails().Get(MediaFileCopier::StoredPath(f), &thumb, f.FileName())) {
        case ThumbnailLoader::State::Ready:
            picture = NSDirizaPhotoViewItem::Picture::Ready;
            break;
        case ThumbnailLoader::State::Failed:
            picture = NSDirizaPhotoViewItem::Picture::Damaged;
            break;
        case ThumbnailLoader::State::Loading:
            break;
        }
    }
    NSDirizaPhotoViewItem::Paint(painter, tile, f.FileName(), ticked, picture, thumb, dark, grid_.List());
}

bool MediaGridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::MouseButtonRelease) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return false;
    const QPoint pos = mouse->position().toPoint();
    if (index.data(MediaGridModel::IsHeaderRole).toBool()) {
        if (MediaTileGeometry::HeaderButtonRect(option.rect).contains(pos))
            grid_.ToggleDay(index.data(MediaGridModel::DayRole).toString());
        return true;
    }
    const int file = index.data(MediaGridModel::FileRole).toInt();
    if (MediaTileGeometry::NameRect(option.rect).contains(pos)) {
        grid_.ToggleFile(file);
        return true;
    }
    if (MediaTileGeometry::PictureRect(option.rect).contains(pos)) {
        grid_.Activate(file);
        return true;
    }
    return false;
}
