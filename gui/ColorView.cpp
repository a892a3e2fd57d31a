#include "gui/ColorView.h"

#include "platform/IAppearance.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

ColorView::ColorView(ColorRoles::Role role, QWidget* parent) : QWidget(parent), role_(role) {
    // Roles with translucent colours show what lies behind them.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

ColorView* ColorView::initColorFrame(const QRect& frame, const QColor& color, QWidget* parent) {
    auto* view = new ColorView(ColorRoles::ViewColor, parent); // owned by the parent
    view->setGeometry(frame);
    view->setColor(color);
    return view;
}

void ColorView::setRole(ColorRoles::Role role) {
    role_ = role;
    update();
}

void ColorView::setColor(const QColor& c) {
    color = c;
    update();
}

void ColorView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    ColorRoles::Paint(painter, role_, IAppearance::Dark(this), QRectF(rect()), QRectF(event->rect()), color);
}

void ColorView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) update();
    QWidget::changeEvent(event);
}
