#include "app/pages/BackupListModel.h"

#include "gui/BackupText.h"
#include "gui/NSLanguageText.h"

void BackupListModel::SetBackups(QList<std::shared_ptr<DeviceInfo>> backups) {
    beginResetModel();
    list = std::move(backups);
    endResetModel();
}

std::shared_ptr<DeviceInfo> BackupListModel::At(int row) const {
    return row >= 0 && row < list.size() ? list[row] : nullptr;
}

void BackupListModel::Retitle() {
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!list.isEmpty()) emit dataChanged(index(0, State), index(int(list.size()) - 1, State));
}

int BackupListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(list.size());
}

int BackupListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BackupListModel::data(const QModelIndex& index, int role) const {
    const auto device = At(index.row());
    if (!device) return {};
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    // Name, date and serial come from the backup: each reads in its own direction (a date
    // in a right-to-left interface kept its time in front of its day otherwise).
    switch (index.column()) {
    case Name:
        return BackupText::Isolated(device->getDeviceName());
    case Date:
        return BackupText::Isolated(device->GetBackUpDate());
    case Serial:
        return BackupText::Isolated(device->getSerialNumber());
    case State:
        return role == Qt::DisplayRole ? QVariant(LanguageText("iTunesSelectBt")) : QVariant();
    default:
        return {};
    }
}

QVariant BackupListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name:
        return LanguageText("iTunesNameCell");
    case Date:
        return LanguageText("iTunesUpdateTimeCell");
    case Serial:
        return LanguageText("iTunesNumCell");
    case State:
        return LanguageText("iTunesStateCell");
    default:
        return {};
    }
}
