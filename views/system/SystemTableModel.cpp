#include "views/system/SystemTableModel.h"

#include "views/system/SystemTableView.h"
#include "views/system/SystemViewLook.h"

SystemTableModel::SystemTableModel(SystemTableView& view) : QAbstractTableModel(&view), view_(view) {}

int SystemTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || detached_ ? 0 : view_.Frame().RecordCount();
}

int SystemTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || detached_ ? 0 : view_.ColumnCount();
}

QVariant SystemTableModel::data(const QModelIndex& index, int role) const {
    if (detached_ || !index.isValid() || index.row() >= view_.Frame().RecordCount()) return {};
    const int record = index.row();
    if (index.column() == 0) {
        if (role == Qt::CheckStateRole) return view_.Frame().IsSelected(record) ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return view_.CellText(record, index.column());
    case Qt::ForegroundRole:
        if (view_.Frame().IsDeleted(record)) return SystemViewLook::DeletedText();
        return {};
    default:
        return {};
    }
}

bool SystemTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (detached_ || !index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
    view_.TickRecord(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags SystemTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant SystemTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (detached_ || orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? QString() : view_.HeaderText(section);
}

void SystemTableModel::TicksChanged(const std::vector<int>& records) {
    for (int r : records) {
        const QModelIndex i = index(r, 0);
        emit dataChanged(i, i, {Qt::CheckStateRole});
    }
}

void SystemTableModel::AllTicksChanged() {
    if (rowCount() == 0) return;
    emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

void SystemTableModel::TextsChanged() {
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

SystemTableProxy::SystemTableProxy(const ResultFrame& frame, QObject* parent)
    : QSortFilterProxyModel(parent), frame_(frame) {
    setDynamicSortFilter(false);
}

bool SystemTableProxy::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    return frame_.IsShown(sourceRow);
}
