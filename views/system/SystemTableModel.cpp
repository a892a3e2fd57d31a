#include "views/system/SystemTableModel.h"

#include "views/frame/ResultFrame.h"
#include "views/frame/SystemViewLook.h"

#include <algorithm>

SystemTableModel::SystemTableModel(const ResultFrame& frame, QObject* parent)
    : QAbstractTableModel(parent), frame_(frame) {}

int SystemTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !text_ ? 0 : frame_.RecordCount();
}

int SystemTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !text_ ? 0 : int(headers_.size());
}

QVariant SystemTableModel::data(const QModelIndex& index, int role) const {
    if (!text_ || !index.isValid() || index.row() >= frame_.RecordCount()) return {};
    const int record = index.row();
    if (index.column() == 0) {
        if (role == Qt::CheckStateRole) return frame_.IsSelected(record) ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return text_(record, index.column());
    case Qt::ForegroundRole:
        if (frame_.IsDeleted(record)) return SystemViewLook::DeletedText();
        return {};
    default:
        return {};
    }
}

bool SystemTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!tick_ || !index.isValid() || index.column() != 0 || role != Qt::CheckStateRole) return false;
    tick_(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags SystemTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant SystemTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!text_ || orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section <= 0 || section >= headers_.size() ? QString() : headers_[section];
}

void SystemTableModel::SetColumns(QStringList headers, CellText text, Tick tick) {
    beginResetModel();
    headers_ = std::move(headers);
    text_ = std::move(text);
    tick_ = std::move(tick);
    endResetModel();
}

void SystemTableModel::SetHeaders(QStringList headers) {
    if (!text_) return;
    if (headers.size() != headers_.size()) {
        beginResetModel();
        headers_ = std::move(headers);
        endResetModel();
        return;
    }
    headers_ = std::move(headers);
    if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

void SystemTableModel::ClearColumns() {
    text_ = nullptr;
    tick_ = nullptr;
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

SystemTableProxy::SystemTableProxy(const ResultFrame& frame, QObject* parent)
    : QAbstractProxyModel(parent), frame_(frame) {}

void SystemTableProxy::setSourceModel(QAbstractItemModel* source) {
    beginResetModel();
    for (const auto& c : connections_)
        disconnect(c);
    connections_.clear();
    QAbstractProxyModel::setSourceModel(source);
    if (source) {
        connections_ << connect(source, &QAbstractItemModel::modelAboutToBeReset, this,
                                [this] { beginResetModel(); });
        connections_ << connect(source, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
        connections_ << connect(source, &QAbstractItemModel::dataChanged, this,
                                &SystemTableProxy::SourceDataChanged);
        connections_ << connect(source, &QAbstractItemModel::headerDataChanged, this,
                                &QAbstractItemModel::headerDataChanged);
    }
    endResetModel();
}

QModelIndex SystemTableProxy::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount()) return {};
    return createIndex(row, column);
}

QModelIndex SystemTableProxy::parent(const QModelIndex&) const {
    return {};
}

int SystemTableProxy::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !sourceModel() ? 0 : std::min(frame_.ShownCount(), sourceModel()->rowCount());
}

int SystemTableProxy::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !sourceModel() ? 0 : sourceModel()->columnCount();
}

QModelIndex SystemTableProxy::mapToSource(const QModelIndex& proxyIndex) const {
    if (!proxyIndex.isValid() || !sourceModel() || proxyIndex.model() != this) return {};
    const int record = frame_.RecordAt(proxyIndex.row());
    return record < 0 ? QModelIndex() : sourceModel()->index(record, proxyIndex.column());
}

QModelIndex SystemTableProxy::mapFromSource(const QModelIndex& sourceIndex) const {
    if (!sourceIndex.isValid() || !frame_.IsShown(sourceIndex.row())) return {};
    // The shown rows are in record order.
    const auto& rows = frame_.ShownRows();
    const auto it = std::lower_bound(rows.begin(), rows.end(), sourceIndex.row());
    if (it == rows.end() || *it != sourceIndex.row()) return {};
    return index(int(it - rows.begin()), sourceIndex.column());
}

QVariant SystemTableProxy::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!sourceModel()) return {};
    if (orientation == Qt::Horizontal) return sourceModel()->headerData(section, orientation, role);
    return QAbstractProxyModel::headerData(section, orientation, role);
}

void SystemTableProxy::SourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                         const QList<int>& roles) {
    if (!topLeft.isValid() || !bottomRight.isValid()) return;
    if (topLeft.row() == bottomRight.row()) {
        const QModelIndex first = mapFromSource(topLeft);
        if (first.isValid()) emit dataChanged(first, index(first.row(), bottomRight.column()), roles);
        return;
    }
    // A range of records: every shown row between them.
    const auto& rows = frame_.ShownRows();
    const auto from = std::lower_bound(rows.begin(), rows.end(), topLeft.row());
    const auto to = std::upper_bound(rows.begin(), rows.end(), bottomRight.row());
    if (from >= to) return;
    emit dataChanged(index(int(from - rows.begin()), topLeft.column()),
                     index(int(to - rows.begin()) - 1, bottomRight.column()), roles);
}
