#include "views/media/NSHeadersCollectionView.h"

#include "views/media/MediaCheckPainter.h"
#include "views/media/MediaImages.h"
#include "views/media/MediaTileGeometry.h"

#include <QPainter>
#include <QWidget>

void NSHeadersCollectionView::Paint(QPainter& painter, const QRect& row, const QString& title, bool checked,
                                    bool dark, const QWidget* widget) {
    const QRect titleRect = MediaTileGeometry::HeaderTitleRect(row);
    painter.drawPixmap(titleRect, MediaImages::Pixmap(QStringLiteral("head_tilte"), titleRect.size(), dark));
    const QRect button = MediaTileGeometry::HeaderButtonRect(row);
    const QColor text = dark ? QColor(235, 235, 235) : QColor(20, 20, 20);
    MediaCheckPainter::Paint(painter, MediaTileGeometry::HeaderCheckRect(row),
                             QRect(button.x(), button.y(), row.width() - 8, button.height()), checked, title,
                             text, widget);
}
