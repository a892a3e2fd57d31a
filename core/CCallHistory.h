#pragma once
#include "core/CCommonInterFace.h"
#include "core/CallRecord.h"
#include "core/RecordList.h"

#include <cstdint>
#include <memory>
#include <string>

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
    explicit CCallHistory(CScanManager* owner);
    ~CCallHistory() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

  private:
    bool Cancelled() const;
    // Live rows of "ZCALLRECORD" (modern) or "call".
    bool ReadLiveRows(bool modern);
    void AddCallsToOwner();

    RecordList<CallRow> callRows; // live rows first, then carved rows
    int32_t addressColumn = -1;
    int32_t dateColumn = -1;
    int32_t durationColumn = -1;
    int32_t directionColumn = -1;
};
