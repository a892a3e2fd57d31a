#pragma once
#include <QRect>
#include <QSize>

// Where things sit in the painted rows of a media grid: a tile (picture box, tick box
// and name) and a day header (tick box and title).
class MediaTileGeometry {
  public:
    MediaTileGeometry() = delete;

    static QSize TileSize() { return QSize(131, 162); }
    static constexpr int kHeaderHeight = 50;
    static constexpr int kCheckSize = 16;

    // The 109 x 124 picture box of a tile.
    static QRect PictureRect(const QRect& tile) {
        return QRect(tile.x() + (tile.width() - 109) / 2, tile.y() + 6, 109, 124);
    }
    // The tick box with the file name below the picture.
    static QRect NameRect(const QRect& tile) {
        return QRect(tile.x() + 4, tile.y() + 136, tile.width() - 8, 20);
    }
    static QRect CheckRect(const QRect& tile) {
        const QRect name = NameRect(tile);
        return QRect(name.x(), name.y() + (name.height() - kCheckSize) / 2, kCheckSize, kCheckSize);
    }
    // The play button in the middle of the picture box.
    static QRect PlayRect(const QRect& tile) {
        const QRect pic = PictureRect(tile);
        return QRect(pic.center().x() - 24, pic.center().y() - 24, 48, 48);
    }
    // A day header: the tick box button (box and title) and the title picture.
    static QRect HeaderButtonRect(const QRect& row) { return QRect(row.x() + 4, row.y() + 22, 200, 20); }
    static QRect HeaderCheckRect(const QRect& row) {
        const QRect b = HeaderButtonRect(row);
        return QRect(b.x(), b.y() + (b.height() - kCheckSize) / 2, kCheckSize, kCheckSize);
    }
    static QRect HeaderTitleRect(const QRect& row) { return QRect(row.x() + 30, row.y() + 23, 134, 18); }
};
