#include "app/pages/SelectButtonDelegate.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

QRect SelectButtonDelegate::ButtonRect(const QRect& cell) {
    QRect r(0, 0, qMin(110, cell.width() - 4), qMin(32, cell.height() - 4));
    r.moveCenter(cell.center());
    return r;
}

void SelectButtonDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionButton button;
    button.rect = ButtonRect(option.rect);
    button.text = index.data(Qt::DisplayRole).toString();
    button.state = QStyle::State_Enabled | QStyle::State_Raised;
    if (option.state & QStyle::State_MouseOver) button.state |= QStyle::State_MouseOver;
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_PushButton, &button, painter, widget);
}

QSize SelectButtonDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    return QSize(120, 40);
}

bool SelectButtonDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                       const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            ButtonRect(option.rect).contains(mouse->position().toPoint())) {
            emit clicked(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}
