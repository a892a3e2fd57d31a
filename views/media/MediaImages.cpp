#include "views/media/MediaImages.h"

#include <QIcon>
#include <QPixmapCache>

QPixmap MediaImages::Pixmap(const QString& name, const QSize& size, bool dark) {
    const QString file =
        QStringLiteral(":/images/%1%2.svg").arg(name, dark ? QStringLiteral("_black") : QString());
    const QString key = QStringLiteral("media:%1:%2x%3").arg(file).arg(size.width()).arg(size.height());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) return pixmap;
    pixmap = QIcon(file).pixmap(size);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}
