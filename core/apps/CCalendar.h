#pragma once
#include "core/records/CalendarRecord.h"
#include "core/records/DeletedFirstOrder.h"
#include "core/records/RecordList.h"
#include "core/sqlite/CCommonInterFace.h"
#include "core/util/TupleHash.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_set>

class IParserOwner;

// Working row of one calendar event (live or carved).
struct CalendarEventRow {
    bool deleted = false;
    std::string title;       // summary
    std::string description; // description
    int64_t start = 0;       // Unix seconds
    int64_t end = 0;         // Unix seconds
    uint32_t locationId = 0; // location_id of CalendarItem; 0 otherwise
    std::string location;    // location text (directly, or after the lookup)
    CalendarEventRow* prev = nullptr;
    CalendarEventRow* next = nullptr;
};

// One row of the Location table with a non-empty title.
struct CalendarLocationRow {
    int64_t rowid = 0;
    std::string title;
    CalendarLocationRow* prev = nullptr;
    CalendarLocationRow* next = nullptr;
};

// Calendar parser: reads the events of Calendar.sqlitedb (CalendarItem rows of entity
// type 2 with their Location titles after iOS 4, the Event table before), live rows
// through SQL and deleted rows through the carver, and leaves one CalendarRecord per
// distinct event in the owner's calendar list.
class CCalendar : public CCommonInterFace {
  public:
    explicit CCalendar(IParserOwner* owner);
    ~CCalendar() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

  private:
    bool NewSchema() const;
    void ReadLive();
    bool ReadCalendarItems();
    bool ReadLocations();
    bool ReadEventTable();
    bool ReadEvents(const LiveQuery& query, bool withLocationId);
    void CarveDeleted();
    // Appends a working row and notes its duplicate keys.
    void AppendEvent(std::unique_ptr<CalendarEventRow> row);
    void ClearEvents();
    void BuildRecords();
    // Start, end, title, description and location of a record in the owner's list.
    using RecordKey = std::tuple<int64_t, int64_t, std::string_view, std::string_view, std::string_view>;
    // The owner's list indexed for AddRecord: its order by deleted flag and start, and
    // the keys of its records.
    struct ListIndex {
        DeletedFirstOrder<CalendarRecord, &CalendarRecord::start> order;
        std::unordered_set<RecordKey, TupleHash> listed;
    };
    // Adds the row unless an equal event is listed, at its place in the owner's list;
    // without an index (a list not in that order) by walking the list.
    void AddRecord(const CalendarEventRow& row, ListIndex* index);

    RecordList<CalendarEventRow> events;
    // Duplicate keys of the working rows (views of their own strings), per carved table:
    // CalendarItem: location id, start, end, title, description; Event: start, end,
    // title, description, location.
    using ItemKey = std::tuple<uint32_t, int64_t, int64_t, std::string_view, std::string_view>;
    using EventKey = std::tuple<int64_t, int64_t, std::string_view, std::string_view, std::string_view>;
    std::unordered_set<ItemKey, TupleHash> itemKeys;
    std::unordered_set<EventKey, TupleHash> eventKeys;
    RecordList<CalendarLocationRow> locations;
    int locationIdColumn = -1; // CalendarItem
    int summaryColumn = -1;
    int descriptionColumn = -1;
    int startDateColumn = -1;
    int endDateColumn = -1;
    int locationColumn = -1; // Event
};
