#pragma once
#include <QPixmap>
#include <QSize>
#include <QString>

// The media views' pictures: ":/images/<name>.svg", or "<name>_black.svg" in the dark
// appearance, rendered at the size asked for and kept.
class MediaImages {
  public:
    MediaImages() = delete;
    static QPixmap Pixmap(const QString& name, const QSize& size, bool dark);
};
