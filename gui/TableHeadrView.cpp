#include "gui/TableHeadrView.h"

#include <QPaintEvent>
#include <QPainter>

TableHeadrView::TableHeadrView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

void TableHeadrView::setIsSelect(bool select) {
    if (select == isSelect_ && hasImage) return;
    isSelect_ = select;
    selectImage = QPixmap(QStringLiteral(":/images/") + ImageName(select) + QStringLiteral(".svg"));
    hasImage = true;
    ++redrawCount;
    viewport()->update();
}

void TableHeadrView::paintEvent(QPaintEvent* event) {
    QHeaderView::paintEvent(event);
    if (selectImage.isNull()) return;
    QPainter painter(viewport());
    const QSizeF size = selectImage.deviceIndependentSize();
    const QRect area = event->rect();
    const double y = area.y() + (area.height() - size.height()) / 2;
    // 5 points into the tick column: the header's left edge, or from right to left the
    // tick column's left edge (the column then stands at the right).
    double x = 5;
    if (isRightToLeft() && count() > 0 && sectionViewportPosition(0) >= 0) x += sectionViewportPosition(0);
    painter.drawPixmap(QPointF(x, y), selectImage);
}
