#pragma once
#include "core/CCommonInterFace.h"
#include "core/RecordList.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CScanManager;

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

// Notes parser: reads the Notes database of the backup (NoteStore.sqlite from iOS 9,
// notes.sqlite before), live rows through SQL and deleted rows through the carver, and
// leaves one NoteRecord per distinct note in the owner's notes list.
class CMemo : public CCommonInterFace {
  public:
    explicit CMemo(CScanManager* owner);
    ~CMemo() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

    // Gzip, then the protocol-buffer walk to the note text.
    bool DecodeNoteData(const char* data, size_t length, std::string* text);

  private:
    bool Cancelled() const;
    // Counts the rows (none: true at once), runs the query and hands each row on.
    bool ReadRows(const char* table, const char* where, const char* sql,
                  const std::function<void(sqlite3_stmt*)>& onRow);
    bool NewSchema() const;
    bool ReadTitleRowsNew();
    bool ReadBodyRowsNew();
    bool ReadTitleRowsOld();
    bool ReadBodyRowsOld();
    bool OnCarvedTitleNew(CarvedRecord* record);
    bool OnCarvedBodyNew(CarvedRecord* record);
    bool OnCarvedTitleOld(CarvedRecord* record);
    bool OnCarvedBodyOld(CarvedRecord* record);
    void AddTitleRow(std::unique_ptr<NoteTitleRow> row, bool compareDate);
    void AddBodyEntry(std::unique_ptr<NoteBodyEntry> entry);
    void BuildNotes();
    void AddNote(bool deleted, const std::string& text, int64_t date);
    void ResetColumns();
    bool PrepareColumns();

    RecordList<NoteTitleRow> titleRows;
    RecordList<NoteBodyEntry> bodyEntries;
    int ownerIdColumn = -1; // ZNOTE / ZOWNER
    int dataColumn = -1;    // ZDATA, ZCONTENT, ZSNIPPET or ZSUMMARY, by table
    int summaryColumn = -1; // ZSUMMARY of ZICCLOUDSYNCINGOBJECT
    int idColumn = -1;      // ZNOTEDATA / ZBODY
    int titleColumn = -1;   // ZTITLE1 / ZTITLE
    int dateColumn = -1;    // ZMODIFICATIONDATE1 / ZCREATIONDATE
};
