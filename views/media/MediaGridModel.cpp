#include "views/media/MediaGridModel.h"

MediaGridModel::MediaGridModel(const MediaDayIndex& index, QObject* parent)
    : QAbstractListModel(parent), index_(index) {}

int MediaGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

QVariant MediaGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= int(rows_.size())) return QVariant();
    const Row& row = rows_[size_t(index.row())];
    if (row.day < 0 || row.day >= index_.Days().size()) return QVariant();
    const QString& day = index_.Days()[row.day];
    switch (role) {
    case IsHeaderRole:
        return row.file < 0;
    case FileRole:
        return row.file;
    case DayRole:
        return day;
    case TickedRole:
        return row.file < 0 ? index_.IsDayTicked(day) : index_.IsTicked(row.file);
    case Qt::DisplayRole:
        if (row.file < 0) return MediaDayIndex::HeaderText(day, int(index_.FilesOfDay(day).size()));
        return index_.File(row.file).FileName();
    default:
        return QVariant();
    }
}

void MediaGridModel::Reset() {
    beginResetModel();
    rows_.clear();
    rowOfFile_.assign(size_t(index_.FileCount()), -1);
    const QStringList& days = index_.Days();
    for (int d = 0; d < days.size(); ++d) {
        rows_.push_back({-1, d});
        for (int f : index_.FilesOfDay(days[d])) {
            rowOfFile_[size_t(f)] = int(rows_.size());
            rows_.push_back({f, d});
        }
    }
    endResetModel();
}

void MediaGridModel::TicksChanged() {
    if (!rows_.empty()) emit dataChanged(this->index(0), this->index(int(rows_.size()) - 1), {TickedRole});
}

int MediaGridModel::RowOfFile(int file) const {
    return file >= 0 && file < int(rowOfFile_.size()) ? rowOfFile_[size_t(file)] : -1;
}
