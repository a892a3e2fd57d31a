#include "gui/TitleViewBackgroundView.h"

#include <QPaintEvent>
#include <QPainter>

TitleViewBackgroundView::TitleViewBackgroundView(QWidget* parent) : QWidget(parent) {}

void TitleViewBackgroundView::setDelegate(TitleViewBackgroundViewDelegate* d) {
    delegate_ = d;
    update();
}

void TitleViewBackgroundView::paintEvent(QPaintEvent* event) {
    if (!delegate_) return;
    QPainter painter(this);
    delegate_->drawRect(painter, event->rect());
}
