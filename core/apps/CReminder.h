#pragma once
#include "core/records/RecordList.h"
#include "core/sqlite/CCommonInterFace.h"

#include <cstdint>
#include <set>
#include <string>
#include <tuple>
#include <vector>

// A reminder read from the calendar database (live or carved), before it is linked to
// its list title and location and handed to the scan manager.
struct ReminderRow {
    bool deleted = false;
    std::string title;
    std::string notes;
    std::string listTitle;
    std::string location;
    int32_t priority = 0;
    bool completed = false;
    int64_t date = 0;  // Unix seconds of start_date (0 when absent)
    int32_t rowid = 0; // 0 for carved rows
    int32_t calendarId = 0;
    ReminderRow* prev = nullptr;
    ReminderRow* next = nullptr;
};

// A reminder list (a calendar of reminders) and its title.
struct ReminderListRow {
    int32_t rowid = 0;
    std::string title; // may be empty
    ReminderListRow* prev = nullptr;
    ReminderListRow* next = nullptr;
};

// A location; ownerId is the reminder it belongs to, once linked through an alarm.
struct ReminderLocationRow {
    int32_t rowid = 0;
    std::string title; // never empty
    int32_t ownerId = 0;
    ReminderLocationRow* prev = nullptr;
    ReminderLocationRow* next = nullptr;
};

// An alarm that ties a location to the reminder owning the alarm.
struct ReminderAlarmRow {
    int32_t locationId = 0;
    int32_t ownerId = 0;
    ReminderAlarmRow* prev = nullptr;
    ReminderAlarmRow* next = nullptr;
};

// Reminders kept in the device's calendar database ("Calendar.sqlitedb"): live rows of
// CalendarItem with entity_type 3 through SQL, deleted ones carved from the pages.
// Adds one ReminderRecord per distinct reminder to the owner's reminder list.
class CReminder : public CCommonInterFace {
  public:
    explicit CReminder(IParserOwner* owner);
    ~CReminder() override;

    bool Scan();

    // What makes two reminders the same: a working row (calendar id, priority,
    // completed, date, title) and a handed-over record (priority, completed, date,
    // title, notes, location, list title).
    using RowKey = std::tuple<int32_t, int32_t, bool, int64_t, std::string>;
    using RecordKey = std::tuple<int32_t, bool, int64_t, std::string, std::string, std::string, std::string>;

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

  private:
    // What CheckCarvedValue tests in a column of CalendarItem.
    enum class ColumnRule : uint8_t {
        Any,
        Summary,
        Description,
        Uuid,
        StartDate,
        CalendarId,
        EntityType,
        LocationId
    };

    void ReadLive();
    void ReadReminders();
    void ReadLists();
    void ReadLocations();
    void ReadAlarms();
    void CarveDeleted();
    void BuildRecords();
    void AddRecord(const ReminderRow& row);
    void ClearLists();

    RecordList<ReminderRow> reminders;
    RecordList<ReminderLocationRow> locations;
    RecordList<ReminderAlarmRow> alarms;
    RecordList<ReminderListRow> lists;

    int summaryColumn = -1;
    int descriptionColumn = -1;
    int startDateColumn = -1;
    int completionDateColumn = -1;
    int priorityColumn = -1;
    int calendarIdColumn = -1;
    std::vector<ColumnRule> columnRules; // per column of the carved table
    std::set<RowKey> rowKeys;            // keys of the working reminders
    std::set<RecordKey> recordKeys;      // keys of the owner's list while records are added
};
