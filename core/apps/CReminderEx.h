#pragma once
#include "core/records/RecordList.h"
#include "core/sqlite/CCommonInterFace.h"

#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

// One object of a Reminders store (a reminder, an alarm or a location trigger), live
// or carved, before alarms are resolved and reminders handed to the scan manager.
struct ReminderObjectRow {
    bool deleted = false;    // live: ZMARKEDFORDELETION = 1; carved: true
    std::string title;       // ZTITLE1
    std::string notes;       // ZNOTES
    std::string address;     // ZADDRESS (location triggers; copied to their reminder)
    int32_t priority = 0;    // ZPRIORITY
    bool completed = false;  // ZCOMPLETIONDATE present and above 0
    int64_t created = 0;     // ZCREATIONDATE, Unix seconds (0 when absent)
    int64_t due = 0;         // ZDUEDATE, Unix seconds (0 when absent)
    int32_t kind = 0;        // 0 reminder (and every carved row), 1 alarm, 2 location trigger
    int32_t pk = 0;          // Z_PK
    int32_t reminderRef = 0; // ZREMINDER
    int32_t triggerRef = 0;  // ZTRIGGER
    int32_t store = 0;       // index of the store the row was read from (Z_PK restarts per store)
    ReminderObjectRow* prev = nullptr;
    ReminderObjectRow* next = nullptr;
};

// Reminders of the Reminders app's own Core Data stores (every file of the backup under
// "/var/mobile/Library/Reminders/Container_v1/Stores"): live objects through SQL,
// deleted ones carved from ZREMCDOBJECT. Adds its ReminderRecords to the owner's
// reminder list after those of the calendar database.
class CReminderEx : public CCommonInterFace {
  public:
    enum ObjectKind : int32_t { KindReminder = 0, KindAlarm = 1, KindLocationTrigger = 2 };

    explicit CReminderEx(IParserOwner* owner);
    ~CReminderEx() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

    // What makes two objects the same: a working row (due, priority, completed,
    // created, title) and a handed-over record (priority, completed, date, title,
    // notes, location).
    using RowKey = std::tuple<int64_t, int32_t, bool, int64_t, std::string>;
    using RecordKey = std::tuple<int32_t, bool, int64_t, std::string, std::string, std::string>;

  private:
    enum class ColumnRule : uint8_t { Any, Title, Notes, Uuid, Date };

    bool OpenStore(const std::string& path);
    void ReadLive();
    void ReadEntities();
    void ReadObjects();
    void CarveDeleted();
    void BuildRecords();
    void AddRecord(const ReminderObjectRow& row);

    RecordList<ReminderObjectRow> objects; // rows of every store of the scan

    int titleColumn = -1;
    int notesColumn = -1;
    int creationDateColumn = -1;
    int completionDateColumn = -1;
    int priorityColumn = -1;
    int addressColumn = -1;
    int dueDateColumn = -1;
    int markedForDeletionColumn = -1;

    int reminderEntity = -1;
    int locationTriggerEntity = -1;
    int alarmEntity = -1;

    int32_t currentStore = 0;
    std::vector<ColumnRule> columnRules; // per column of the carved table
    std::set<RowKey> rowKeys;            // keys of the working reminders
    std::set<RecordKey> recordKeys;      // keys of the owner's list while records are added
};
