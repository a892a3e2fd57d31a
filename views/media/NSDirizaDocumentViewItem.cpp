#include "views/media/NSDirizaDocumentViewItem.h"

#include "gui/MyExtensions.h"
#include "views/media/MediaCheckPainter.h"
#include "views/media/MediaImages.h"
#include "views/media/MediaTileGeometry.h"

#include <QPainter>

void NSDirizaDocumentViewItem::Paint(QPainter& painter, const QRect& tile, const QString& fileName,
                                     const QString& label, bool checked, bool dark, const QWidget* widget) {
    const QRect box = MediaTileGeometry::PictureRect(tile);
    painter.drawPixmap(box, MediaImages::Pixmap(QStringLiteral("document_tile"), box.size(), dark));
    if (!label.isEmpty()) {
        // The extension under the page of the picture.
        painter.save();
        QFont font = painter.font();
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(dark ? QColor(160, 180, 208) : QColor(84, 108, 142));
        painter.drawText(QRect(box.x(), box.y() + 94, box.width(), 22), Qt::AlignCenter, label);
        painter.restore();
    }
    MediaCheckPainter::Paint(painter, MediaTileGeometry::CheckRect(tile), MediaTileGeometry::NameRect(tile),
                             checked, MyExtensions::thumb13(fileName),
                             dark ? QColor(235, 235, 235) : QColor(20, 20, 20), widget);
}
