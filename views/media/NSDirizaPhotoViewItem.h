#pragma once
#include <QImage>
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

// A photo tile, painted: the thumbnail (or "photoload" while it loads, "Damage" when
// the file is no picture), the tick box and the shortened file name.
class NSDirizaPhotoViewItem {
  public:
    enum class Picture { Loading, Ready, Damaged };
    NSDirizaPhotoViewItem() = delete;
    static void Paint(QPainter& painter, const QRect& tile, const QString& fileName, bool checked,
                      Picture state, const QImage& thumbnail, bool dark, const QWidget* widget);
};
