#pragma once
#include "scan/NSDeletedFile.h"
#include "scan/NSFileData.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

// The day logic of a media grid, free of widgets: the files grouped by the local day of
// their modification time, the days newest first, the search hits, and the ticks.
//
// Files are known by their position in the delivered list. The selection holds each
// file at most once. Not thread-safe: the owner guards it.
class MediaDayIndex {
  public:
    MediaDayIndex() = default;
    // The working copies of `files`, grouped by day in arrival order.
    explicit MediaDayIndex(const QList<NSDeletedFile>& files);

    // The day key of a time: its local date as "yyyy-MM-dd" ("" for no time).
    static QString DayKey(const QDateTime& time);
    // True when day `a` is shown before day `b`: the keys without "-" compared as
    // integers, the larger first.
    static bool DayBefore(const QString& a, const QString& b);
    // The text of a day's header: nine blanks, the day key, a blank and the count.
    static QString HeaderText(const QString& day, int count);

    int FileCount() const { return int(files_.size()); }
    const NSFileData& File(int file) const { return files_[size_t(file)]; }
    const QString& DayOf(int file) const { return dayOf_[size_t(file)]; }

    // Search: the key is stored lower-cased; a non-empty key keeps the files whose
    // lower-cased name contains it, an empty key ends the search. True when the shown
    // files may have changed.
    bool SetSearchKey(const QString& key);
    const QString& SearchKey() const { return key_; }
    bool IsSearching() const { return searching_; }

    // The days shown (with at least one shown file), in display order, and the shown
    // files of a day in arrival order.
    const QStringList& Days() const { return days_; }
    std::vector<int> FilesOfDay(const QString& day) const;
    int ShownCount() const;

    bool IsTicked(int file) const { return ticked_[size_t(file)] != 0; }
    // Ticks / unticks one file; false when nothing changed.
    bool Tick(int file);
    bool Untick(int file);
    // Ticks / unticks the shown files of a day (only the search hits while searching).
    void TickDay(const QString& day);
    void UntickDay(const QString& day);
    // Every shown file of the day is ticked (a day without shown files counts as whole).
    bool IsDayTicked(const QString& day) const;
    // Every file ticked / none (search or not).
    void SelectAll();
    void ClearSelection();
    int TickedCount() const { return tickedCount_; }
    // Every file of the current data ticked (never with no files).
    bool AllTicked() const { return tickedCount_ > 0 && tickedCount_ == FileCount(); }
    // The files a save writes, in display order of the full data: every file when all
    // are ticked, else the ticked ones; none when nothing is ticked.
    std::vector<int> FilesToSave() const;

  private:
    void RebuildShown();

    std::vector<NSFileData> files_;
    std::vector<QString> dayOf_;
    QHash<QString, std::vector<int>> byDay_;
    QStringList allDays_;
    QStringList days_;
    QHash<QString, std::vector<int>> shownByDay_;
    std::vector<char> ticked_;
    int tickedCount_ = 0;
    QString key_;
    bool searching_ = false;
};
