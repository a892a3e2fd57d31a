#include "gui/OutlineViewEvent.h"

#include <QItemSelectionModel>
#include <QKeyEvent>

OutlineViewEvent::OutlineViewEvent(QWidget* parent) : QTreeView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
}

QModelIndex OutlineViewEvent::selectedItem() const {
    const QItemSelectionModel* selection = selectionModel();
    if (!selection) return {};
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isSelected(current)) return current;
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? QModelIndex() : rows.last();
}

void OutlineViewEvent::keyPressEvent(QKeyEvent* event) {
    const bool arrow = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    if (arrow && !selectedItem().isValid()) {
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
    if (!arrow || !delegate_) return;
    if (selectedItem().isValid()) delegate_->OutlineViewSelectRowEvent(this);
}
