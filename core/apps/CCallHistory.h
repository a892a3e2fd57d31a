#pragma once
#include "core/records/CallRecord.h"
#include "core/records/RecordList.h"
#include "core/sqlite/CCommonInterFace.h"
#include "core/util/TupleHash.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_set>

// One call as read from the database (live or carved), before it is handed over.
struct CallRow {
    bool deleted = false;
    bool outgoing = false;
    std::string address;  // digits only
    int64_t date = 0;     // Unix seconds
    int64_t duration = 0; // seconds
    CallRow* prev = nullptr;
    CallRow* next = nullptr;
};

// Inserts a call at a zero-based position of a call list: 0 is the head, the count the
// tail, any other position before the record standing there. A negative position or
// one beyond the count inserts nothing (and returns false).
bool callListInsertAt(RecordList<CallRecord>& list, std::unique_ptr<CallRecord> record, int32_t position);

// Reads the call history of a backup, live and deleted, into the scan manager's call
// list: deleted calls first, newest first, then live calls, newest first, each named
// after the matching contact. Up to iOS 8 the table "call" of "call_history.db", from
// iOS 9 the table "ZCALLRECORD" of "CallHistory.storedata".
class CCallHistory : public CCommonInterFace {
  public:
    explicit CCallHistory(IParserOwner* owner);
    ~CCallHistory() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

  private:
    // Live rows of "ZCALLRECORD" (modern) or "call".
    bool ReadLiveRows(bool modern);
    // Appends a row to the call rows and notes its date, direction and address.
    void AppendRow(std::unique_ptr<CallRow> row);
    void AddCallsToOwner();
    // The same hand-over by walking the owner's list per row: for a list that does not
    // start out in deleted-first, newest-first order.
    void AddCallsToOwnerByWalk();
    void ClearRows();

    RecordList<CallRow> callRows; // live rows first, then carved rows
    // Date, direction and address of every call row (views of the rows' own addresses).
    std::unordered_set<std::tuple<int64_t, bool, std::string_view>, TupleHash> rowKeys;
    int32_t addressColumn = -1;
    int32_t dateColumn = -1;
    int32_t durationColumn = -1;
    int32_t directionColumn = -1;
};
