#include "views/media/NSDirizaVideoViewItem.h"

#include "gui/BackupText.h"
#include "gui/MyExtensions.h"
#include "views/media/MediaCheckPainter.h"
#include "views/media/MediaImages.h"
#include "views/media/MediaTileGeometry.h"

#include <QPainter>

bool NSDirizaVideoViewItem::IsTextSuffix(const QString& suffix) {
    return suffix.compare(QLatin1String("*.txt;"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QLatin1String("*.text;"), Qt::CaseInsensitive) == 0;
}

void NSDirizaVideoViewItem::Paint(QPainter& painter, const QRect& tile, const QString& fileName, bool checked,
                                  bool isText, const QString& text, bool hovered, bool dark,
                                  const QWidget* widget) {
    const QRect box = MediaTileGeometry::PictureRect(tile);
    const QColor ink = dark ? QColor(235, 235, 235) : QColor(20, 20, 20);
    if (isText) {
        painter.save();
        painter.setPen(dark ? QColor(80, 82, 84) : QColor(200, 200, 200));
        painter.setBrush(dark ? QColor(45, 46, 48) : QColor(255, 255, 255));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setPen(ink);
        QFont font = painter.font();
        font.setPointSizeF(std::max(6.0, font.pointSizeF() - 2));
        painter.setFont(font);
        painter.drawText(box.adjusted(4, 4, -4, -4), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                         BackupText::Isolated(text));
        painter.restore();
    } else {
        painter.drawPixmap(box, MediaImages::Pixmap(QStringLiteral("DamageVideo"), box.size(), dark));
        const QRect play = MediaTileGeometry::PlayRect(tile);
        painter.drawPixmap(
            play, MediaImages::Pixmap(hovered ? QStringLiteral("play_bt_hot") : QStringLiteral("play_bt_nor"),
                                      play.size(), dark));
    }
    MediaCheckPainter::Paint(painter, MediaTileGeometry::CheckRect(tile), MediaTileGeometry::NameRect(tile),
                             checked, MyExtensions::thumb13(fileName), ink, widget);
}
