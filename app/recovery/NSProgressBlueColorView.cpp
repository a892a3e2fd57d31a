#include "app/recovery/NSProgressBlueColorView.h"

#include "platform/IAppearance.h"

#include <QPainter>

NSProgressBlueColorView::NSProgressBlueColorView(QWidget* parent) : QWidget(parent) {}

void NSProgressBlueColorView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, QColor(222, 222, 222));
    const QColor band = IAppearance::Dark(this) ? QColor(113, 113, 113, 128) : QColor(168, 225, 254, 128);
    p.fillRect(r.adjusted(0, 1, 0, -1), band);
}
