#pragma once
#include <QAbstractTableModel>
#include <QAbstractProxyModel>
#include <QStringList>

#include <functional>
#include <vector>

class ResultFrame;

// The rows of one result table: one row per record of the frame, in its order. Column 0
// is the tick column (CheckStateRole); the other columns, their headers and the cell texts
// are what the owner sets. Deleted records are drawn in red.
class SystemTableModel : public QAbstractTableModel {
  public:
    // The text of a record's cell (GUI thread).
    using CellText = std::function<QString(int record, int column)>;
    // A record's tick box was set (true) or cleared.
    using Tick = std::function<void(int record, bool on)>;

    SystemTableModel(const ResultFrame& frame, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The columns: their headers (column 0, the tick column, first) and the texts of the
    // cells; every row and column again. Until then the table has no rows or columns.
    void SetColumns(QStringList headers, CellText text, Tick tick);
    // New texts (language): every cell and the header.
    void SetHeaders(QStringList headers);
    // The owner is going: its texts are no longer asked for.
    void ClearColumns();

    // New data: every row again (the frame changes between the two calls).
    void BeginReset() { beginResetModel(); }
    void EndReset() { endResetModel(); }
    // The tick column of these records repaints.
    void TicksChanged(const std::vector<int>& records);
    // The tick column of every record repaints.
    void AllTicksChanged();

  private:
    const ResultFrame& frame_;
    QStringList headers_;
    CellText text_;
    Tick tick_;
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
    void SourceDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles);

    const ResultFrame& frame_;
    QList<QMetaObject::Connection> connections_;
};
