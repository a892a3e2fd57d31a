#include "platform/AppearanceWatcher.h"

#include "platform/IAppearance.h"

#include <QEvent>

AppearanceWatcher::AppearanceWatcher(QWidget* widget, std::function<void(bool)> reapply)
    : QObject(widget), widget(widget), reapply(std::move(reapply)) {
    if (widget) widget->installEventFilter(this);
}

void AppearanceWatcher::Reapply() {
    if (widget && reapply) reapply(IAppearance::Dark(widget));
}

bool AppearanceWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (watched == widget) {
        switch (event->type()) {
        case QEvent::Show:
            if (!shown) {
                shown = true;
                Reapply();
            }
            break;
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
            Reapply();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
