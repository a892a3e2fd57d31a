#include "gui/BDTableRowView.h"

#include "gui/BackupText.h"
#include "platform/IAppearance.h"

#include <QPainter>

BDTableRowView::BDTableRowView(QObject* parent) : QStyledItemDelegate(parent) {}

QColor BDTableRowView::SelectionColor(bool dark) const {
    if (!color_.isValid()) return DefaultSelection();
    if (dark && colorDarkAqua_.isValid()) return colorDarkAqua_;
    return color_; // light mode, or dark mode without a dark colour
}

void BDTableRowView::drawSelectionInRect(QPainter& painter, const QRect& rect, bool dark) const {
    painter.fillRect(rect, SelectionColor(dark));
}

void BDTableRowView::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    if (!(option.state & QStyle::State_Selected)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    drawSelectionInRect(*painter, option.rect, IAppearance::Dark(option.widget));
    QStyleOptionViewItem plain(option);
    plain.state &= ~QStyle::State_Selected;
    QStyledItemDelegate::paint(painter, plain, index);
}

void BDTableRowView::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (ownTextDirection_ && (option->features & QStyleOptionViewItem::HasDisplay))
        option->text = BackupText::Isolated(option->text);
}
