#pragma once
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

// An audio tile, painted: the tile's picture with the play button, the tick box and the
// shortened file name.
class NSDirizaMusicViewItem {
  public:
    NSDirizaMusicViewItem() = delete;
    static void Paint(QPainter& painter, const QRect& tile, const QString& fileName, bool checked,
                      bool hovered, bool dark, const QWidget* widget);
};
