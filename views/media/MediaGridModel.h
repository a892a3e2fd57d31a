#pragma once
#include "views/media/MediaDayIndex.h"

#include <QAbstractListModel>

#include <vector>

// The rows of a media grid, flat: for each shown day its header row, then a row per
// shown file. The model reads the grid's day index; Reset after it changed.
class MediaGridModel : public QAbstractListModel {
    Q_OBJECT
  public:
    enum Role {
        IsHeaderRole = Qt::UserRole + 1, // bool
        FileRole,                        // int: the file's position, -1 on a header
        DayRole,                         // QString: the day key
        TickedRole,                      // bool: the file or the whole day is ticked
    };

    explicit MediaGridModel(const MediaDayIndex& index, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The rows again from the index (new data or search).
    void Reset();
    // The ticks changed: every row is drawn again.
    void TicksChanged();
    // The row of a file, -1 when not shown.
    int RowOfFile(int file) const;

  private:
    struct Row {
        int file; // -1: the header of `day`
        int day;  // position in the index's shown days
    };
    const MediaDayIndex& index_;
    std::vector<Row> rows_;
    std::vector<int> rowOfFile_;
};
