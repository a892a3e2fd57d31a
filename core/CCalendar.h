#pragma once
#include "core/CCommonInterFace.h"
#include "core/RecordList.h"

#include <cstdint>
#include <memory>
#include <string>

class CScanManager;

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
    explicit CCalendar(CScanManager* owner);
    ~CCalendar() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

  private:
    bool Cancelled() const;
    bool NewSchema() const;
    void ReadLive();
    bool ReadCalendarItems();
    bool ReadLocations();
    bool ReadEventTable();
    bool ReadEvents(const char* table, const char* where, const char* sql, bool withLocationId);
    void CarveDeleted();
    void BuildRecords();
    void AddRecord(const CalendarEventRow& row);

    RecordList<CalendarEventRow> events;
    RecordList<CalendarLocationRow> locations;
    int locationIdColumn = -1; // CalendarItem
    int summaryColumn = -1;
    int descriptionColumn = -1;
    int startDateColumn = -1;
    int endDateColumn = -1;
    int locationColumn = -1; // Event
};
