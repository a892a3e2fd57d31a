#pragma once
#include "scan/DeviceInfo.h"

#include <QAbstractTableModel>
#include <QList>

#include <memory>

// The listed backups as a table: name, date, serial number and the select column.
class BackupListModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { Name = 0, Date = 1, Serial = 2, State = 3, ColumnCount = 4 };

    using QAbstractTableModel::QAbstractTableModel;

    void SetBackups(QList<std::shared_ptr<DeviceInfo>> backups);
    const QList<std::shared_ptr<DeviceInfo>>& Backups() const { return list; }
    std::shared_ptr<DeviceInfo> At(int row) const;
    // Titles again in the current language.
    void Retitle();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    QList<std::shared_ptr<DeviceInfo>> list;
};
