#pragma once
// The application's drawn images, ":/images/<name>.svg", at a size.
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

inline QPixmap ServiceImage(const QString& name, const QSize& size) {
    return QIcon(QStringLiteral(":/images/") + name + QStringLiteral(".svg")).pixmap(size);
}
