#include "app/pages/AppImage.h"

#include <QFile>
#include <QIcon>

QString AppImage::Path(const QString& name) {
    return QStringLiteral(":/images/%1.svg").arg(name);
}

QString AppImage::Themed(const QString& name, bool dark) {
    return dark ? name + QStringLiteral("_black") : name;
}

QPixmap AppImage::Pixmap(const QString& name, const QSize& size) {
    return QIcon(Path(name)).pixmap(size);
}

QIcon AppImage::Icon(const QString& name, const QString& alternate) {
    QIcon icon;
    icon.addFile(Path(name), QSize(), QIcon::Normal);
    if (!alternate.isEmpty()) {
        icon.addFile(Path(alternate), QSize(), QIcon::Active);
        icon.addFile(Path(alternate), QSize(), QIcon::Selected);
    }
    return icon;
}
