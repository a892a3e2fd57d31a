#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// The row logic every result table shares, free of widgets: which records are shown
// (the deleted-only filter first, then the search inside it), and which are ticked.
//
// Records are known by their position in the delivered collection. The selection holds
// each record at most once, so "everything ticked" means exactly that every record of the
// current data is ticked.
//
// Not thread-safe: the owner guards it (the save reads it under the owner's lock).
class ResultFrame {
  public:
    // Whether record `record` matches the lower-cased, non-empty `key`.
    using Matcher = std::function<bool(int record, const QString& key)>;

    // New data: one deleted flag per record; the lower-cased searched fields of each
    // record (an empty field never matches); optionally a tick key per record (records
    // with the same key are ticked together; none: each record alone). Clears the
    // selection, the search and the filter.
    void SetRecords(std::vector<char> deleted, std::vector<QStringList> searchTexts,
                    std::vector<QString> tickKeys = {});
    // New data with a matcher of its own in place of the searched fields.
    void SetRecords(std::vector<char> deleted, Matcher matcher, std::vector<QString> tickKeys = {});
    // No records at all.
    void Clear();
    int RecordCount() const { return int(deleted_.size()); }
    bool IsDeleted(int record) const;

    // The deleted-only filter; an active search is run again inside the new filter.
    void SetShowDeleteFile(bool onlyDeleted);
    bool ShowDeleteFile() const { return onlyDeleted_; }
    // Stores the key lower-cased. A non-empty key searches inside the filter; an empty
    // key ends a search. Returns true when the shown rows may have changed.
    bool SetSearchKey(const QString& key);
    const QString& SearchKey() const { return key_; }
    bool IsSearching() const { return searching_; }
    // Resets the filter and the search (new data shown).
    void ResetFilter();

    // The shown rows: record positions in record order.
    const std::vector<int>& ShownRows() const { return shown_; }
    int ShownCount() const { return int(shown_.size()); }
    // The record at a shown row, or -1 outside the shown rows.
    int RecordAt(int shownRow) const;
    bool IsShown(int record) const;

    bool IsSelected(int record) const;
    int SelectedCount() const { return selectedCount_; }
    bool HasSelection() const { return selectedCount_ > 0; }
    // Ticks the record and every shown record with its tick key (the record must be
    // shown). Returns the records whose tick changed.
    std::vector<int> Select(int record);
    // Unticks the record and every shown record with its tick key.
    std::vector<int> Remove(int record);
    // Every record ticked / none.
    void SelectAll();
    void ClearSelection();
    // The header tick box: on ticks every shown row (`keepOthers` false: nothing else
    // stays ticked); off unticks everything.
    void SetShownTicked(bool on, bool keepOthers = false);
    // The header's state: every shown row ticked and the selection not empty (with
    // `noRowsTicked`, also when no row is shown).
    bool HeaderTicked(bool noRowsTicked = false) const;
    // Every record of the current data ticked (never with no records).
    bool AllTicked() const;
    // The ticked records in record order.
    std::vector<int> SelectedRecords() const;

  private:
    void Rebuild();
    std::vector<int> Peers(int record) const;

    std::vector<char> deleted_;
    std::vector<QStringList> texts_;
    Matcher matcher_;
    std::vector<QString> tickKeys_;
    QHash<QString, std::vector<int>> byKey_;
    bool onlyDeleted_ = false;
    bool searching_ = false;
    QString key_;
    std::vector<int> shown_;
    std::vector<char> shownFlag_;
    std::vector<char> selected_;
    int selectedCount_ = 0;
};
