#include "services/NSDownloadPackageViewColor.h"

#include <QPainter>
#include <QPainterPath>

NSDownloadPackageViewColor::NSDownloadPackageViewColor(QWidget* parent) : QWidget(parent) {}

QRect NSDownloadPackageViewColor::PanelRect() const {
    return rect().adjusted(100, 65, -100, -75);
}

void NSDownloadPackageViewColor::paintEvent(QPaintEvent*) {
    const QRect r = PanelRect();
    if (r.width() <= 0 || r.height() <= 0) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(r), 20, 20);
    p.fillPath(path, Qt::white);
}
