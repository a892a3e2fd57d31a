#include "media/MediaImages.h"

#include "platform/IAppearance.h"

QIcon MediaIcon(const QString& name, const QWidget* widget) {
    const QString file = IAppearance::Dark(widget) ? name + QStringLiteral("_black") : name;
    return QIcon(QStringLiteral(":/images/%1.svg").arg(file));
}
