#pragma once
#include "core/records/NoteRecord.h"
#include "core/records/RecordList.h"
#include "core/sqlite/CCommonInterFace.h"
#include "core/util/TupleHash.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_set>
#include <vector>

class IParserOwner;

// Title row of a note (live or carved): title, snippet or summary, date, deleted mark.
struct NoteTitleRow {
    bool deleted = false;
    int64_t noteId = 0; // Z_PK of the body row
    std::string text;   // composed while building the notes
    int64_t date = 0;   // Unix seconds, or the raw value when it was not positive
    std::string title;
    std::string summary;
    NoteTitleRow* prev = nullptr;
    NoteTitleRow* next = nullptr;
};

// Body row of a note: its whole text, decoded.
struct NoteBodyEntry {
    bool deleted = false;
    int64_t id = 0; // Z_PK; 0 for a carved body
    std::string text;
    int64_t ownerId = 0; // ZNOTE or ZOWNER
    NoteBodyEntry* prev = nullptr;
    NoteBodyEntry* next = nullptr;
};

// The body each title row takes (null: none), in title-row order: the first body of the
// list that is a deleted body containing the row's title (without a closing ellipsis; an
// empty title takes no deleted body) or a live body with the row's note id, the live one
// only when it contains the title. Empty when `cancelled` is set during the search.
std::vector<const NoteBodyEntry*> matchNoteBodies(const RecordList<NoteTitleRow>& titleRows,
                                                  const RecordList<NoteBodyEntry>& bodyEntries,
                                                  const std::atomic<bool>* cancelled = nullptr);

// Notes parser: reads the Notes database of the backup (NoteStore.sqlite from iOS 9,
// notes.sqlite before), live rows through SQL and deleted rows through the carver, and
// leaves one NoteRecord per distinct note in the owner's notes list.
class CMemo : public CCommonInterFace {
  public:
    explicit CMemo(IParserOwner* owner);
    ~CMemo() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

    // Gzip, then the protocol-buffer walk to the note text.
    bool DecodeNoteData(const char* data, size_t length, std::string* text);

  private:
    bool NewSchema() const;
    bool ReadTitleRowsNew();
    bool ReadBodyRowsNew();
    bool ReadTitleRowsOld();
    bool ReadBodyRowsOld();
    bool OnCarvedTitle(CarvedRecord* record, bool newTable);
    bool OnCarvedBodyNew(CarvedRecord* record);
    bool OnCarvedBodyOld(CarvedRecord* record);
    void AddTitleRow(std::unique_ptr<NoteTitleRow> row, bool compareDate);
    void AddBodyEntry(std::unique_ptr<NoteBodyEntry> entry);
    // Append to the working lists and note the rows' duplicate keys.
    void AppendTitleRow(std::unique_ptr<NoteTitleRow> row);
    void AppendBodyEntry(std::unique_ptr<NoteBodyEntry> entry);
    void ClearWorkingLists();
    void BuildNotes();
    struct NoteListIndex;
    // Adds a note unless an equal one is listed, at its place in the owner's list; with
    // `index` null (a list not in deleted-first, newest-first order) by walking the list.
    void AddNote(bool deleted, const std::string& text, int64_t date, NoteListIndex* index);
    void ResetColumns();
    bool PrepareColumns();

    RecordList<NoteTitleRow> titleRows;
    RecordList<NoteBodyEntry> bodyEntries;
    // Duplicate keys of the working rows (views of their own strings): note id and title,
    // note id, date and title, owner id and body text.
    std::unordered_set<std::tuple<int64_t, std::string_view>, TupleHash> titleKeys;
    std::unordered_set<std::tuple<int64_t, int64_t, std::string_view>, TupleHash> titleDateKeys;
    std::unordered_set<std::tuple<int64_t, std::string_view>, TupleHash> bodyKeys;
    int ownerIdColumn = -1; // ZNOTE / ZOWNER
    int dataColumn = -1;    // ZDATA, ZCONTENT, ZSNIPPET or ZSUMMARY, by table
    int summaryColumn = -1; // ZSUMMARY of ZICCLOUDSYNCINGOBJECT
    int idColumn = -1;      // ZNOTEDATA / ZBODY
    int titleColumn = -1;   // ZTITLE1 / ZTITLE
    int dateColumn = -1;    // ZMODIFICATIONDATE1 / ZCREATIONDATE
};
