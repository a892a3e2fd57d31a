#include "views/media/NSDirizaPhotoViewItem.h"

#include "gui/MyExtensions.h"
#include "views/media/MediaCheckPainter.h"
#include "views/media/MediaImages.h"
#include "views/media/MediaTileGeometry.h"

#include <QPainter>

void NSDirizaPhotoViewItem::Paint(QPainter& painter, const QRect& tile, const QString& fileName, bool checked,
                                  Picture state, const QImage& thumbnail, bool dark, const QWidget* widget) {
    const QRect box = MediaTileGeometry::PictureRect(tile);
    if (state == Picture::Ready && !thumbnail.isNull()) {
        const QSize size = thumbnail.size().boundedTo(box.size());
        const QRect target(box.x() + (box.width() - size.width()) / 2,
                           box.y() + (box.height() - size.height()) / 2, size.width(), size.height());
        painter.drawImage(target, thumbnail);
    } else {
        const QString name =
            state == Picture::Damaged ? QStringLiteral("Damage") : QStringLiteral("photoload");
        painter.drawPixmap(box, MediaImages::Pixmap(name, box.size(), dark));
    }
    MediaCheckPainter::Paint(painter, MediaTileGeometry::CheckRect(tile), MediaTileGeometry::NameRect(tile),
                             checked, MyExtensions::thumb17(fileName),
                             dark ? QColor(235, 235, 235) : QColor(20, 20, 20), widget);
}
