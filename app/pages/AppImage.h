#pragma once
#include <QIcon>
#include <QPixmap>
#include <QString>

// The application's own drawings (":/images/<name>.svg"), by name.
class AppImage {
  public:
    AppImage() = delete;
    // The resource path of an image name.
    static QString Path(const QString& name);
    // The name, with "_black" appended in the dark appearance.
    static QString Themed(const QString& name, bool dark);
    static QPixmap Pixmap(const QString& name, const QSize& size);
    // An icon showing `name`, and `alternate` while the pointer is over it or it is pressed.
    static QIcon Icon(const QString& name, const QString& alternate = QString());
};
