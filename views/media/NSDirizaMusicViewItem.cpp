#include "views/media/NSDirizaMusicViewItem.h"

#include "gui/MyExtensions.h"
#include "views/media/MediaCheckPainter.h"
#include "views/media/MediaImages.h"
#include "views/media/MediaTileGeometry.h"

#include <QPainter>

void NSDirizaMusicViewItem::Paint(QPainter& painter, const QRect& tile, const QString& fileName, bool checked,
                                  bool hovered, bool dark, const QWidget* widget) {
    const QRect box = MediaTileGeometry::PictureRect(tile);
    painter.drawPixmap(box, MediaImages::Pixmap(QStringLiteral("music_tile"), box.size(), dark));
    const QRect play = MediaTileGeometry::PlayRect(tile).translated(0, 30);
    painter.drawPixmap(
        play, MediaImages::Pixmap(hovered ? QStringLiteral("play_bt_hot") : QStringLiteral("play_bt_nor"),
                                  play.size(), dark));
    MediaCheckPainter::Paint(painter, MediaTileGeometry::CheckRect(tile), MediaTileGeometry::NameRect(tile),
                             checked, MyExtensions::thumb13(fileName),
                             dark ? QColor(235, 235, 235) : QColor(20, 20, 20), widget);
}
