#include "gui/TableViewEvent.h"

#include <QItemSelectionModel>
#include <QKeyEvent>

TableViewEvent::TableViewEvent(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
}

int TableViewEvent::selectedRow() const {
    const QItemSelectionModel* selection = selectionModel();
    if (!selection) return -1;
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isSelected(current)) return current.row();
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.last().row();
}

void TableViewEvent::keyPressEvent(QKeyEvent* event) {
    const bool arrow = event->key() == Qt::Key_Down || event->key() == Qt::Key_Up;
    if (arrow && selectedRow() == -1) {
        event->accept(); // nothing selected: nothing to move
        return;
    }
    QTableView::keyPressEvent(event);
    if (!arrow || !delegate_) return;
    const int row = selectedRow();
    if (row != -1) delegate_->SelectRowEvent(row);
}
