#pragma once
#include <QAbstractTableModel>
#include <QAbstractProxyModel>

class SystemTableView;
class ResultFrame;

// The rows of one result table: one row per record of the delivered collection, in its
// order. Column 0 is the tick column (CheckStateRole); the other columns and their texts
// come from the view. Deleted records are drawn in red.
class SystemTableModel : public QAbstractTableModel {
  public:
    explicit SystemTableModel(SystemTableView& view);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // New data: every row again (the data changes between the two calls).
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    // The tick column of these records repaints.
    void TicksChanged(const std::vector<int>& records);
    // The tick column of every record repaints.
    void AllTicksChanged();
    // New texts (language): every cell and the header.
    void TextsChanged();
    // Rows and columns come from the view only between Attach (the view is built) and
    // Detach (the view is going).
    void Attach() {
        beginResetModel();
        detached_ = false;
        endResetModel();
    }
    void Detach() { detached_ = true; }

  private:
    SystemTableView& view_;
    bool detached_ = true;
};

// The shown rows of a result table: the records the frame shows (the deleted-only
// filter, then the search inside it), in record order. It never sorts. The frame keeps
// the shown rows, so a new filter or search is one reset here, whatever the row count.
class SystemTableProxy : public QAbstractProxyModel {
  public:
    SystemTableProxy(const ResultFrame& frame, QObject* parent);
    // The frame's shown rows change between the two calls.
    void BeginRefilter() { beginResetModel(); }
    void EndRefilter() { endResetModel(); }

    void setSourceModel(QAbstractItemModel* source) override;
    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    void SourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles);

    const ResultFrame& frame_;
    QList<QMetaObject::Connection> connections_;
};
