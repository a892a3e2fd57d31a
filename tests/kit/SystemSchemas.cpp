#include "tests/kit/SystemSchemas.h"

#include <vector>

namespace kit {

int64_t addBookmark(FixtureDb& db, const BookmarkRow& row) {
    return db.insert("bookmarks",
                     {"special_id", "parent", "type", "title", "url", "num_children", "order_index",
                      "external_uuid", "last_modified"},
                     {int64_t(0), int64_t(1), row.type, row.title, row.url, row.numChildren, row.order,
                      row.uuid, 600000000.25});
}

void createCalendarSchema(FixtureDb& db, const CalendarSchema& s) {
    db.exec("CREATE TABLE Store (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, type INTEGER);"
            "CREATE TABLE Calendar (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, store_id INTEGER, title TEXT,"
            " flags INTEGER, color TEXT, type TEXT, UUID TEXT, display_order INTEGER);");
    db.exec("CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, summary TEXT,"
            " location_id INTEGER, description TEXT, start_date " +
            s.dateType + ", start_tz TEXT, end_date " + s.dateType +
            ", all_day INTEGER, calendar_id INTEGER, orig_item_id INTEGER, status INTEGER,"
            " availability INTEGER, url TEXT, last_modified " +
            s.dateType +
            ", external_id TEXT,"
            " unique_identifier TEXT, hidden INTEGER, has_recurrences INTEGER, has_attendees INTEGER,"
            " UUID TEXT, entity_type INTEGER, priority INTEGER, due_date " +
            s.dateType +
            ", due_tz TEXT,"
            " due_all_day INTEGER, completion_date " +
            s.dateType + ", creation_date " + s.dateType + ", display_order INTEGER);");
    if (s.location)
        db.exec("CREATE TABLE Location (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, address TEXT,"
                " latitude REAL, longitude REAL, radius REAL, item_owner_id INTEGER);");
    if (s.alarm)
        db.exec("CREATE TABLE Alarm (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, trigger_date REAL,"
                " trigger_interval INTEGER, type INTEGER, proximity INTEGER, location_id INTEGER, " +
                s.alarmOwnerColumn + " INTEGER, UUID TEXT);");
}

int64_t addCalendar(FixtureDb& db, const std::string& title, int64_t flags) {
    return db.insert("Calendar", {"store_id", "title", "flags", "color", "type", "UUID"},
                     {int64_t(1), title, flags, std::string("#FF2968"), std::string("local"),
                      std::string("6F9619FF-8B86-D011-B42D-00C04FC964FF")});
}

int64_t addItem(FixtureDb& db, const CalendarItem& it) {
    return db.insert("CalendarItem",
                     {"summary", "location_id", "description", "start_date", "start_tz", "end_date",
                      "all_day", "calendar_id", "status", "availability", "UUID", "entity_type", "priority",
                      "due_date", "completion_date", "creation_date", "display_order"},
                     {it.summary, it.locationId, it.description, it.startDate, std::string("Europe/Berlin"),
                      it.endDate, int64_t(0), it.calendarId, int64_t(0), int64_t(0), it.uuid, it.entityType,
                      it.priority, nullptr, it.completionDate, it.creationDate, int64_t(0)});
}

int64_t addLocation(FixtureDb& db, const Value& title) {
    return db.insert("Location", {"title", "address", "latitude", "longitude", "radius"},
                     {title, std::string("somewhere"), 52.52, 13.40, 100.0});
}

void addAlarm(FixtureDb& db, const std::string& ownerColumn, int64_t locationId, int64_t owner) {
    db.insert("Alarm", {"trigger_interval", "type", "proximity", "location_id", ownerColumn, "UUID"},
              {int64_t(0), int64_t(0), int64_t(1), locationId, owner,
               std::string("3F2504E0-4F89-11D3-9A0C-0305E82C3301")});
}

void createStoreSchema(FixtureDb& db, const StoreEntities& e) {
    db.exec("CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER PRIMARY KEY, Z_NAME VARCHAR, Z_SUPER INTEGER,"
            " Z_MAX INTEGER);"
            "CREATE TABLE Z_METADATA (Z_VERSION INTEGER PRIMARY KEY, Z_UUID VARCHAR(255), Z_PLIST BLOB);");
    db.exec(
        "CREATE TABLE ZREMCDOBJECT ( Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, Z_OPT INTEGER,"
        " ZCKDIRTYFLAGS INTEGER, ZMARKEDFORDELETION INTEGER, ZACCOUNT INTEGER, ZREMINDER INTEGER,"
        " ZTRIGGER INTEGER, ZLIST INTEGER, ZPRIORITY INTEGER, ZCOMPLETED INTEGER, ZCREATIONDATE TIMESTAMP,"
        " ZCOMPLETIONDATE TIMESTAMP, ZDUEDATE TIMESTAMP, ZLASTMODIFIEDDATE TIMESTAMP, ZNAME VARCHAR,"
        " ZTITLE1 VARCHAR, ZNOTES VARCHAR, ZADDRESS VARCHAR, ZDACALENDARITEMUNIQUEIDENTIFIER VARCHAR,"
        " ZIDENTIFIER BLOB );");
    db.insert("Z_PRIMARYKEY", {"Z_ENT", "Z_NAME", "Z_SUPER", "Z_MAX"},
              {int64_t(5), std::string("REMCDObject"), int64_t(0), int64_t(0)});
    db.insert("Z_PRIMARYKEY", {"Z_ENT", "Z_NAME", "Z_SUPER", "Z_MAX"},
              {e.reminder, std::string("REMCDReminder"), int64_t(5), int64_t(0)});
    db.insert("Z_PRIMARYKEY", {"Z_ENT", "Z_NAME", "Z_SUPER", "Z_MAX"},
              {e.alarm, std::string("REMCDAlarm"), int64_t(5), int64_t(0)});
    db.insert("Z_PRIMARYKEY", {"Z_ENT", "Z_NAME", "Z_SUPER", "Z_MAX"},
              {e.locationTrigger, std::string("REMCDAlarmLocationTrigger"), int64_t(5), int64_t(0)});
}

int64_t addStoreReminder(FixtureDb& db, const StoreReminder& r, const StoreEntities& e) {
    std::vector<std::string> cols = {"Z_ENT",
                                     "Z_OPT",
                                     "ZCKDIRTYFLAGS",
                                     "ZMARKEDFORDELETION",
                                     "ZACCOUNT",
                                     "ZLIST",
                                     "ZPRIORITY",
                                     "ZCOMPLETED",
                                     "ZCREATIONDATE",
                                     "ZCOMPLETIONDATE",
                                     "ZDUEDATE",
                                     "ZLASTMODIFIEDDATE",
                                     "ZTITLE1",
                                     "ZNOTES",
                                     "ZDACALENDARITEMUNIQUEIDENTIFIER",
                                     "ZIDENTIFIER"};
    std::vector<Value> vals = {e.reminder,
                               int64_t(3),
                               int64_t(0),
                               r.marked,
                               int64_t(1),
                               int64_t(2),
                               r.priority,
                               int64_t(std::holds_alternative<std::nullptr_t>(r.completion) ? 0 : 1),
                               r.created,
                               r.completion,
                               r.due,
                               int64_t(600000500),
                               r.title,
                               r.notes,
                               std::string("9C5B94B1-35AD-49BB-B118-8E8FC24ABF80"),
                               Blob{std::string(16, '\x5a')}};
    if (r.pk > 0) {
        cols.insert(cols.begin(), "Z_PK");
        vals.insert(vals.begin(), r.pk);
    }
    return db.insert("ZREMCDOBJECT", cols, vals);
}

void addStoreAlarm(FixtureDb& db, int64_t pk, int64_t reminderPk, int64_t triggerPk, const StoreEntities& e) {
    db.insert("ZREMCDOBJECT", {"Z_PK", "Z_ENT", "Z_OPT", "ZREMINDER", "ZTRIGGER"},
              {pk, e.alarm, int64_t(1), reminderPk, triggerPk});
}

void addStoreTrigger(FixtureDb& db, int64_t pk, const std::string& address, const StoreEntities& e) {
    db.insert("ZREMCDOBJECT", {"Z_PK", "Z_ENT", "Z_OPT", "ZADDRESS"},
              {pk, e.locationTrigger, int64_t(1), address});
}

} // namespace kit
