#include "views/system/SystemRowDelegate.h"

#include <QAbstractItemModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr int BoxSize = 14;
}

SystemRowDelegate::SystemRowDelegate(QObject* parent)
    : BDTableRowView(parent), ticked_(QStringLiteral(":/images/check_ok.svg")),
      unticked_(QStringLiteral(":/images/check_no.svg")) {
    // The result tables show what the backup holds.
    setOwnTextDirection(true);
}

QRect SystemRowDelegate::BoxRect(const QRect& cell) {
    return QRect(cell.left() + 5, cell.top() + (cell.height() - BoxSize) / 2, BoxSize, BoxSize);
}

void SystemRowDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    BDTableRowView::initStyleOption(option, index);
    // The tick column draws its own box.
    if (index.column() == 0) option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
}

void SystemRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    BDTableRowView::paint(painter, option, index);
    if (index.column() != 0) return;
    const bool on = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    const QPixmap& image = on ? ticked_ : unticked_;
    if (!image.isNull()) painter->drawPixmap(BoxRect(option.rect), image);
}

bool SystemRowDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (index.column() != 0 || !(index.flags() & Qt::ItemIsUserCheckable))
        return BDTableRowView::editorEvent(event, model, option, index);
    const bool on = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return BoxRect(option.rect).contains(static_cast<QMouseEvent*>(event)->position().toPoint());
    case QEvent::MouseButtonRelease: {
        const auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton || !BoxRect(option.rect).contains(e->position().toPoint()))
            return false;
        return model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Space && key != Qt::Key_Select) return false;
        return model->setData(index, on ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    }
    default:
        return false;
    }
}
