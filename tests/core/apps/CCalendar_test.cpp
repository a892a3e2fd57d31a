#include "core/apps/CCalendar.h"
#include "core/records/CalendarRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/core/apps/SystemAppBackup.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/PipeWatchdog.h"
#include "tests/kit/SystemSchemas.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <optional>
#include <iterator>
#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

using kit::FixtureDb;
using kit::Value;

namespace {

constexpr int64_t kApple = 978307200;
const char* kDevicePath = "/var/mobile/Library/Calendar/Calendar.sqlitedb";

const char* kItemSchema =
    "CREATE TABLE Calendar (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT);"
    "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, title TEXT, address TEXT,"
    " latitude REAL, longitude REAL);"
    "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, summary TEXT, location_id INTEGER,"
    " description TEXT, start_date REAL, start_tz TEXT, end_date REAL, all_day INTEGER, calendar_id INTEGER,"
    " UUID TEXT, entity_type INTEGER, priority INTEGER, due_date REAL, completion_date REAL);";

const char* kEventSchema = kit::kCalendarEventSchema;

std::string uuid(int n) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "A1B2C3D4-0000-4000-8000-%012d", n);
    return buf;
}

int64_t addItem(FixtureDb& db, Value summary, Value locationId, Value description, Value start, Value end,
                int64_t entityType = 2) {
    static int counter = 0;
    return db.insert("CalendarItem",
                     {"summary", "location_id", "description", "start_date", "start_tz", "end_date",
                      "all_day", "calendar_id", "UUID", "entity_type", "priority"},
                     {summary, locationId, description, start, std::string("Europe/Paris"), end, int64_t(0),
                      int64_t(1), uuid(++counter), entityType, int64_t(0)});
}

struct Event {
    bool deleted;
    std::string title, description, location;
    int64_t start, end;
};

std::vector<Event> eventsOf(const CScanManager& m) {
    std::vector<Event> out;
    for (const CalendarRecord* r = m.calendarList.first; r; r = r->next)
        out.push_back({r->deleted, r->title, r->description, r->location, r->start, r->end});
    return out;
}

const Event* find(const std::vector<Event>& events, const std::string& title) {
    for (const auto& e : events)
        if (e.title == title) return &e;
    return nullptr;
}

int countTitle(const std::vector<Event>& events, const std::string& title) {
    int n = 0;
    for (const auto& e : events)
        n += e.title == title;
    return n;
}

} // namespace

class CalendarItemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        FixtureDb db(backup.Scratch("Calendar.sqlitedb"));
        db.exec(kItemSchema);
        db.insert("Calendar", {"title"}, {std::string("Home")});
        db.insert("Location", {"title"}, {std::string("Office")}); // rowid 1
        db.insert("Location", {"title"}, {std::string("")});       // rowid 2: never used
        addItem(db, std::string("Standup"), int64_t(1), std::string("daily"), 600000000.5, 600001800.0);
        addItem(db, std::string("Whole seconds"), nullptr, nullptr, int64_t(610000000), int64_t(610003600));
        addItem(db, std::string(""), nullptr, nullptr, 590000000.0, 590000600.0);
        addItem(db, std::string("Missing location"), int64_t(99), nullptr, 580000000.0, 580000600.0);
        addItem(db, std::string("Empty location"), int64_t(2), nullptr, 570000000.0, 570000600.0);
        addItem(db, std::string("Zero start"), nullptr, nullptr, 0.0, -100.0);
        addItem(db, std::string("Buy milk"), nullptr, nullptr, 600000000.0, 600000000.0, 3); // a reminder
        addItem(db, nullptr, nullptr, nullptr, 600000000.0, 600000000.0); // no summary: skipped
        addItem(db, std::string("Dentist"), int64_t(1), std::string("bring card"), int64_t(620000000),
                int64_t(620003600));
        addItem(db, std::string("Deleted reminder"), nullptr, nullptr, 605000000.0, 605000000.0, 3);
        addItem(db, std::string("Old party"), int64_t(0), std::string("cake"), 500000000.0, 500007200.0);
        addItem(db, std::string("Moved meeting"), int64_t(1), std::string("room change"), 450000000.0,
                450003600.0);
        // Updates that grow a row move it and leave the old version in free space: one equal
        // on the duplicate key (only the priority changed), one with another location id.
        db.exec("UPDATE CalendarItem SET priority = 1000 WHERE summary = 'Standup'");
        db.exec("UPDATE CalendarItem SET location_id = 3000 WHERE summary = 'Moved meeting'");
        db.deleteWhere("CalendarItem", "summary IN ('Dentist', 'Deleted reminder', 'Old party')");
        db.close();
        backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
                   backup.Scratch("Calendar.sqlitedb"));
    }

    std::vector<Event> Run() {
        CScanManager& m = backup.Manager(0x40);
        before = kit::FolderSnapshot::Take(backup.BackupDir());
        CCalendar cal(&m);
        ok = cal.Scan();
        return eventsOf(m);
    }

    testsupport::SystemAppBackup backup{12};
    kit::FolderSnapshot before;
    bool ok = false;
};

TEST_F(CalendarItemTest, LiveEventsWithLocationsAndDates) {
    auto events = Run();
    ASSERT_TRUE(ok);
    const Event* e = find(events, "Standup");
    ASSERT_NE(nullptr, e);
    EXPECT_FALSE(e->deleted);
    EXPECT_EQ("daily", e->description);
    EXPECT_EQ("Office", e->location);
    EXPECT_EQ(600000000 + kApple, e->start); // fraction dropped before the shift
    EXPECT_EQ(600001800 + kApple, e->end);

    e = find(events, "Whole seconds");
    ASSERT_NE(nullptr, e) << "INTEGER dates are read";
    EXPECT_EQ(610000000 + kApple, e->start);
    EXPECT_EQ(610003600 + kApple, e->end);

    e = find(events, "");
    ASSERT_NE(nullptr, e) << "a live event with an empty title is kept";
    EXPECT_FALSE(e->deleted);

    e = find(events, "Missing location");
    ASSERT_NE(nullptr, e);
    EXPECT_EQ("", e->location);
    e = find(events, "Empty location");
    ASSERT_NE(nullptr, e);
    EXPECT_EQ("", e->location);

    e = find(events, "Zero start");
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(0, e->start);
    EXPECT_EQ(-100, e->end);

    EXPECT_EQ(nullptr, find(events, "Buy milk")) << "reminders are not events";
}

TEST_F(CalendarItemTest, DeletedEventsComeBackFirstAndRemindersStayOut) {
    auto events = Run();
    const Event* e = find(events, "Dentist");
    ASSERT_NE(nullptr, e);
    EXPECT_TRUE(e->deleted);
    EXPECT_EQ("bring card", e->description);
    EXPECT_EQ("Office", e->location);
    EXPECT_EQ(620000000 + kApple, e->start);
    EXPECT_EQ(620003600 + kApple, e->end);
    e = find(events, "Old party");
    ASSERT_NE(nullptr, e);
    EXPECT_TRUE(e->deleted);
    EXPECT_EQ("cake", e->description);
    EXPECT_EQ(nullptr, find(events, "Deleted reminder"));

    // Deleted first, newest start first; then the live events, newest start first.
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ("Dentist", events[0].title);
    EXPECT_EQ("Old party", events[1].title);
    EXPECT_EQ("Moved meeting", events[2].title);
    EXPECT_TRUE(events[2].deleted);
    EXPECT_EQ("Office", events[2].location) << "the version before the update";
    for (size_t i = 3; i < events.size(); ++i) {
        EXPECT_FALSE(events[i].deleted) << events[i].title;
        if (i > 3) {
            EXPECT_GE(events[i - 1].start, events[i].start);
        }
    }
    // The old version of the updated Standup equals the live one on the key: one record.
    for (const char* t : {"Standup", "Whole seconds", "Dentist", "Old party"})
        EXPECT_EQ(1, countTitle(events, t)) << t;
    EXPECT_EQ(2, countTitle(events, "Moved meeting"));
}

// Most events have no place: a NULL location_id is a stored value, and deleted events
// without a place come back like those with one.
TEST(CalendarPlaces, DeletedEventsWithoutAPlace) {
    testsupport::SystemAppBackup backup{14};
    {
        FixtureDb db(backup.Scratch("Calendar.sqlitedb"));
        db.exec(kItemSchema);
        db.insert("Location", {"title"}, {std::string("Office")});
        addItem(db, std::string("Lunch"), nullptr, nullptr, 600000000.0, 600003600.0);
        int64_t a = addItem(db, std::string("Cancelled yoga"), nullptr, nullptr, 600100000.0, 600103600.0);
        int64_t b = addItem(db, std::string("Cancelled review"), int64_t(1), std::string("agenda"),
                            600200000.0, 600203600.0);
        int64_t c = addItem(db, std::string("Cancelled dinner"), nullptr, std::string("table for 4"),
                            600300000.0, 600307200.0);
        addItem(db, std::string("Gym"), nullptr, nullptr, 600400000.0, 600403600.0);
        db.deleteWhere("CalendarItem", "ROWID IN (" + std::to_string(a) + "," + std::to_string(b) + "," +
                                           std::to_string(c) + ")");
        db.close();
        backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
                   backup.Scratch("Calendar.sqlitedb"));
    }
    CScanManager& m = backup.Manager(0x40);
    CCalendar cal(&m);
    ASSERT_TRUE(cal.Scan());
    std::vector<std::string> got;
    for (const Event& e : eventsOf(m))
        got.push_back(e.title + (e.deleted ? " (deleted) " : " ") + e.location);
    const std::vector<std::string> want = {"Cancelled dinner (deleted) ", "Cancelled review (deleted) Office",
                                           "Cancelled yoga (deleted) ", "Gym ", "Lunch "};
    EXPECT_EQ(want, got);
}

// Some stores leave the type of their events NULL. An untyped item with a start date is
// an event, live or deleted; an untyped item without one, and a reminder, are not.
TEST(CalendarUntypedItems, AnUntypedItemWithAStartDateIsAnEvent) {
    struct Case {
        const char* title;
        Value entityType, start;
        bool deleteAfter, listed;
    };
    const std::vector<Case> cases = {
        {"Super interesting meeting", nullptr, 600000000.0, false, true},
        {"Untyped and gone", nullptr, 600100000.0, true, true},
        {"Untyped without a start", nullptr, nullptr, false, false},
        {"Typed event", int64_t(2), 600200000.0, false, true},
        {"Typed reminder", int64_t(3), 600300000.0, false, false},
        {"Deleted reminder", int64_t(3), 600400000.0, true, false},
    };
    testsupport::SystemAppBackup backup{14};
    {
        FixtureDb db(backup.Scratch("Calendar.sqlitedb"));
        db.exec(kItemSchema);
        std::string gone;
        int n = 100;
        for (const Case& c : cases) {
            const int64_t rowid =
                db.insert("CalendarItem",
                          {"summary", "location_id", "description", "start_date", "end_date", "calendar_id",
                           "UUID", "entity_type"},
                          {std::string(c.title), nullptr, std::string("notes of ") + c.title, c.start,
                           std::holds_alternative<double>(c.start) ? Value(std::get<double>(c.start) + 3600)
                                                                   : Value(nullptr),
                           int64_t(1), uuid(++n), c.entityType});
            if (c.deleteAfter) gone += (gone.empty() ? "" : ",") + std::to_string(rowid);
        }
        db.deleteWhere("CalendarItem", "ROWID IN (" + gone + ")");
        db.close();
        backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
                   backup.Scratch("Calendar.sqlitedb"));
    }
    CScanManager& m = backup.Manager(0x40);
    CCalendar cal(&m);
    ASSERT_TRUE(cal.Scan());
    const std::vector<Event> events = eventsOf(m);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const Event* e = find(events, c.title);
        ASSERT_EQ(c.listed, e != nullptr);
        if (!e) continue;
        EXPECT_EQ(c.deleteAfter, e->deleted);
        EXPECT_EQ(static_cast<int64_t>(std::get<double>(c.start)) + kApple, e->start);
        EXPECT_EQ(std::string("notes of ") + c.title, e->description);
        EXPECT_EQ(1, countTitle(events, c.title));
    }
}

// A damaged page in the middle of the table: SQLite fails the row count, yet the rows
// before the damage are read and kept as live events.
TEST(CalendarDamage, RowsBeforeADamagedPageAreRead) {
    testsupport::SystemAppBackup backup{14};
    const auto path = backup.Scratch("Calendar.sqlitedb");
    {
        FixtureDb db(path);
        db.exec(kItemSchema);
        db.exec("BEGIN");
        for (int i = 0; i < 2000; ++i)
            addItem(db, std::string("Event number ") + std::to_string(i) + " with some words", nullptr,
                    nullptr, 600000000.0 + i * 60, 600000000.0 + i * 60 + 30);
        db.exec("COMMIT");
        db.close();
    }
    {
        // Noise over the page that holds event 1500.
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        const size_t at = bytes.find("Event number 1500 ");
        ASSERT_NE(std::string::npos, at);
        const size_t page = at / 4096 * 4096;
        ASSERT_GT(page, 0u);
        std::mt19937 rng(11);
        for (size_t i = page; i < page + 4096; ++i)
            bytes[i] = char(rng());
        f.seekp(0);
        f.write(bytes.data(), std::streamsize(bytes.size()));
    }
    backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb", path);
    CScanManager& m = backup.Manager(0x40);
    CCalendar cal(&m);
    cal.Scan();
    int live = 0;
    for (const Event& e : eventsOf(m))
        live += !e.deleted;
    EXPECT_GT(live, 1000); // every row on the pages before the damage
    EXPECT_LT(live, 2000);
}

TEST_F(CalendarItemTest, BackupFolderIsLeftUnchanged) {
    Run();
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.BackupDir()).DiffFrom(before));
}

// Carved start dates: the earliest accepted date is 2000-12-31 16:00 UTC; no upper
// bound; conversions that would overflow are rejected.
TEST(CalendarCarvedDates, BoundaryTable) {
    struct Case {
        const char* title;
        Value start;
        Value end;
        bool found;
        int64_t unixStart;
    } cases[] = {
        {"eight hours before 2001", int64_t(-28800), int64_t(-25200), true, 978278400},
        {"one second earlier", int64_t(-28801), int64_t(-25200), false, 0},
        {"zero start", int64_t(0), int64_t(3600), false, 0},
        {"zero end", int64_t(500000000), int64_t(0), false, 0},
        {"far future", int64_t(2000000000), int64_t(2000003600), true, 2000000000 + kApple},
        {"float with fraction", 400000000.75, 400003600.0, true, 400000000 + kApple},
        {"overflowing integer", int64_t(INT64_MAX - 10), int64_t(500000000), false, 0},
        {"huge float", 1e300, 500000000.0, false, 0},
        {"text date", std::string("2020-01-01"), int64_t(500000000), false, 0},
    };
    testsupport::SystemAppBackup backup(12);
    {
        FixtureDb db(backup.Scratch("Calendar.sqlitedb"));
        db.exec(kItemSchema);
        for (const auto& c : cases)
            addItem(db, std::string(c.title), int64_t(0), nullptr, c.start, c.end);
        addItem(db, std::string(""), int64_t(0), nullptr, int64_t(500000000), int64_t(500003600));
        db.exec("DELETE FROM CalendarItem WHERE ROWID > 0");
        db.close();
    }
    backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
               backup.Scratch("Calendar.sqlitedb"));
    CScanManager& m = backup.Manager(0x40);
    CCalendar cal(&m);
    ASSERT_TRUE(cal.Scan());
    auto events = eventsOf(m);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const Event* e = find(events, c.title);
        EXPECT_EQ(c.found, e != nullptr);
        if (e && c.found) {
            EXPECT_TRUE(e->deleted);
            EXPECT_EQ(c.unixStart, e->start);
        }
    }
    EXPECT_EQ(nullptr, find(events, "")) << "a carved event needs a title";
}

// iOS 4 and earlier: the Event table with its location text.
TEST(CalendarIos4, EventTable) {
    testsupport::SystemAppBackup backup(4);
    {
        FixtureDb db(backup.Scratch("Calendar.sqlitedb"));
        db.exec(kEventSchema);
        auto add = [&](const std::string& summary, Value location, double start) {
            static int n = 0;
            db.insert("Event",
                      {"summary", "location", "description", "start_date", "end_date", "calendar_id",
                       "unique_identifier"},
                      {summary, location, std::string("notes of ") + summary, start, start + 3600, int64_t(1),
                       uuid(++n)});
        };
        add("Lunch", std::string("Cafe"), 300000000.0);
        add("Meeting", nullptr, 310000000.0);
        add("Cancelled trip", std::string("Airport"), 305000000.0);
        db.deleteWhere("Event", "summary = 'Cancelled trip'");
        db.close();
    }
    backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
               backup.Scratch("Calendar.sqlitedb"));
    CScanManager& m = backup.Manager(0x40);
    CCalendar cal(&m);
    ASSERT_TRUE(cal.Scan());
    auto events = eventsOf(m);
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ("Cancelled trip", events[0].title);
    EXPECT_TRUE(events[0].deleted);
    EXPECT_EQ("Airport", events[0].location);
    EXPECT_EQ("notes of Cancelled trip", events[0].description);
    EXPECT_EQ(305000000 + kApple, events[0].start);
    EXPECT_EQ("Meeting", events[1].title);
    EXPECT_EQ("", events[1].location);
    EXPECT_EQ("Lunch", events[2].title);
    EXPECT_EQ("Cafe", events[2].location);
    EXPECT_FALSE(events[2].deleted);
}

TEST(CalendarSchemaChoice, Ios5ReadsCalendarItemNotEvent) {
    testsupport::SystemAppBackup backup(5);
    {
        FixtureDb db(backup.Scratch("Calendar.sqlitedb"));
        db.exec(kItemSchema);
        db.exec(kEventSchema);
        addItem(db, std::string("From items"), nullptr, nullptr, 300000000.0, 300000600.0);
        db.insert("Event", {"summary", "start_date", "end_date"},
                  {std::string("From events"), 300000000.0, 300000600.0});
        db.close();
    }
    backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
               backup.Scratch("Calendar.sqlitedb"));
    CScanManager& m = backup.Manager(0x40);
    CCalendar cal(&m);
    ASSERT_TRUE(cal.Scan());
    auto events = eventsOf(m);
    EXPECT_NE(nullptr, find(events, "From items"));
    EXPECT_EQ(nullptr, find(events, "From events"));
}

TEST(CalendarBadInput, SoftFailures) {
    struct Case {
        const char* name;
        std::string sql;
        std::string raw;
        bool scanOk;
        int liveEvents;
    } cases[] = {
        {"no Location table",
         "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY, summary TEXT, location_id INTEGER,"
         " description TEXT, start_date REAL, end_date REAL, entity_type INTEGER);"
         "INSERT INTO CalendarItem VALUES(1, 'Kept', 3, NULL, 1.0, 2.0, 2);",
         "", true, 1},
        {"missing columns",
         "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY, summary TEXT, entity_type INTEGER);"
         "INSERT INTO CalendarItem VALUES(1, 'No dates', 2);",
         "", true, 0},
        {"no entity_type column",
         "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY, summary TEXT);"
         "INSERT INTO CalendarItem VALUES(1, 'x');",
         "", true, 0},
        {"wrong types",
         "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY, title BLOB);"
         "INSERT INTO Location VALUES(1, X'4142');"
         "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY, summary, location_id, description,"
         " start_date, end_date, entity_type INTEGER);"
         "INSERT INTO CalendarItem VALUES(1, 42, 'one', 7, 'soon', X'00', 2);"
         "INSERT INTO CalendarItem VALUES(2, 'Typed oddly', 'one', 7, 'soon', X'00', 2);"
         "INSERT INTO CalendarItem VALUES(3, 'Big', 1, NULL, 1e300, -1e300, 2);",
         "", true, 2},
        {"zero-byte file", "", std::string(), false, 0},
        {"garbage", "", std::string(4096, '\x5A'), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::SystemAppBackup backup(12);
        if (!c.sql.empty()) {
            FixtureDb db(backup.Scratch("Calendar.sqlitedb"));
            db.exec(c.sql);
            db.close();
            backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
                       backup.Scratch("Calendar.sqlitedb"));
        } else {
            backup.AddBytes(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
                            c.raw);
        }
        CScanManager& m = backup.Manager(0x40);
        auto before = kit::FolderSnapshot::Take(backup.BackupDir());
        CCalendar cal(&m);
        EXPECT_EQ(c.scanOk, cal.Scan());
        EXPECT_EQ(c.liveEvents, m.calendarList.count);
        EXPECT_EQ("", kit::FolderSnapshot::Take(backup.BackupDir()).DiffFrom(before));
    }
}

TEST(CalendarScan, FailsWithoutOwnerParserOrStoredFile) {
    CCalendar ownerless(nullptr);
    EXPECT_FALSE(ownerless.Scan());
    CScanManager noParser(0x40, "/tmp/", "/tmp/", 12, nullptr, nullptr);
    CCalendar cal(&noParser);
    EXPECT_FALSE(cal.Scan());
    testsupport::SystemAppBackup backup(12);
    CScanManager& m = backup.Manager(0x40);
    CCalendar missing(&m);
    EXPECT_FALSE(missing.Scan());
    EXPECT_EQ(0, m.calendarList.count);
}

namespace {

bool operator==(const Event& a, const Event& b) {
    return a.deleted == b.deleted && a.title == b.title && a.description == b.description &&
           a.location == b.location && a.start == b.start && a.end == b.end;
}

std::ostream& operator<<(std::ostream& os, const Event& e) {
    return os << (e.deleted ? "deleted '" : "live '") << e.title << "' '" << e.description << "' @'"
              << e.location << "' " << e.start << "-" << e.end;
}

// The hand-over as the plain walk of the owner's list per event: an event equal in start,
// end, title, description and location to a listed one is left out; the others go after
// every event that must precede them (deleted first, then live, each by start, latest
// first).
void addByWalk(std::vector<Event>& list, const Event& e) {
    size_t position = 0;
    for (const Event& r : list) {
        if (r.start == e.start && r.end == e.end && r.title == e.title && r.description == e.description &&
            r.location == e.location)
            return;
        if (e.deleted) {
            if (r.deleted && r.start > e.start) ++position;
        } else if (r.deleted || r.start > e.start) {
            ++position;
        }
    }
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(position), e);
}

} // namespace

// Many events on few start dates, repeated events, events that differ only in a location
// id that names no location, and deleted copies: the list comes out as the walk per event
// builds it.
TEST(CalendarOrder, ManyEqualStartsAndRepeatsComeOutAsTheWalkListsThem) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        testsupport::SystemAppBackup backup(12);
        const std::vector<std::string> titles = {"Standup", "Lunch", "Gym"};
        const std::vector<int64_t> locationIds = {0, 1, 2, 3, 99}; // 3: empty title, 99: none
        int gone = 0;
        {
            FixtureDb db(backup.Scratch("Calendar.sqlitedb"));
            db.exec(kItemSchema);
            db.insert("Calendar", {"title"}, {std::string("Home")});
            db.insert("Location", {"title"}, {std::string("Office")});
            db.insert("Location", {"title"}, {std::string("Home")});
            db.insert("Location", {"title"}, {std::string("")});
            std::vector<std::vector<Value>> liveRows;
            std::string goneKeys;
            for (int i = 0; i < 120; ++i) {
                const double start = 600000000.0 + static_cast<double>(rng() % 5) * 3600;
                std::vector<Value> v = {titles[rng() % titles.size()],
                                        locationIds[rng() % locationIds.size()],
                                        rng() % 2 ? Value(std::string("room 1")) : Value(nullptr), start,
                                        start + static_cast<double>(rng() % 2) * 1800};
                if (i % 5 == 4) {
                    if (i % 3 == 0) {
                        v = liveRows[rng() % liveRows.size()]; // an old copy, another location id
                        v[1] = locationIds[rng() % locationIds.size()];
                    } else { // a start of its own among the deleted events
                        v[3] = 600000007.0 + 13 * i;
                        v[4] = 600000007.0 + 13 * i + 600;
                    }
                }
                const int64_t rowid = addItem(db, v[0], v[1], v[2], v[3], v[4]);
                if (i % 5 == 4) {
                    goneKeys += (goneKeys.empty() ? "" : ",") + std::to_string(rowid);
                    ++gone;
                } else {
                    liveRows.push_back(v);
                }
            }
            db.deleteWhere("CalendarItem", "ROWID IN (" + goneKeys + ")");
            db.close();
        }

        // The live events in the order the parser's query returns them, named by location.
        std::vector<Event> live;
        {
            sqlite3* db = nullptr;
            ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(backup.Scratch("Calendar.sqlitedb").c_str(), &db,
                                                 SQLITE_OPEN_READONLY, nullptr));
            sqlite3_stmt* st = nullptr;
            ASSERT_EQ(SQLITE_OK,
                      sqlite3_prepare_v2(db,
                                         "select summary,ifnull((select title from Location where "
                                         "ROWID=location_id),''),start_date,end_date,ifnull(description,"
                                         "'') from 'CalendarItem' where entity_type=2",
                                         -1, &st, nullptr));
            while (sqlite3_step(st) == SQLITE_ROW)
                live.push_back({false, reinterpret_cast<const char*>(sqlite3_column_text(st, 0)),
                                reinterpret_cast<const char*>(sqlite3_column_text(st, 4)),
                                reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                                sqlite3_column_int64(st, 2) + kApple, sqlite3_column_int64(st, 3) + kApple});
            sqlite3_finalize(st);
            sqlite3_close(db);
        }

        backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb",
                   backup.Scratch("Calendar.sqlitedb"));
        CScanManager& m = backup.Manager(0x40);
        {
            CCalendar cal(&m);
            ASSERT_TRUE(cal.Scan());
        }
        const std::vector<Event> listed = eventsOf(m);

        // The deleted events the carver recovered, fed in the reverse of their listed order:
        // among equal starts the later arrival is listed first.
        std::vector<Event> carved;
        for (const Event& e : listed)
            if (e.deleted) carved.insert(carved.begin(), e);
        EXPECT_GT(static_cast<int>(carved.size()), gone / 3);
        std::vector<Event> expected;
        for (const std::vector<Event>* rows : {&live, &carved})
            for (const Event& e : *rows)
                addByWalk(expected, e);
        EXPECT_EQ(expected, listed);
    }
}

namespace {

const char* kCalendarRelative = "Library/Calendar/Calendar.sqlitedb";

// A calendar database in write-ahead mode as a backup holds it: 30 events in the
// database, 20 more only in its log (none with `emptyLog`, the log then empty).
void addLoggedCalendar(testsupport::SystemAppBackup& backup, bool emptyLog = false) {
    const auto path = backup.Scratch("Calendar.sqlitedb");
    const auto dbCopy = backup.Scratch("copy.sqlitedb");
    const auto logCopy = backup.Scratch("copy.sqlitedb-wal");
    {
        FixtureDb db(path);
        db.exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;");
        db.exec(kItemSchema);
        for (int i = 0; i < 30; ++i)
            addItem(db, "Checkpointed event " + std::to_string(i), nullptr, nullptr, 600000000.0 + i * 60,
                    600000000.0 + i * 60 + 30);
        db.exec("PRAGMA wal_checkpoint(TRUNCATE);");
        for (int i = 0; i < (emptyLog ? 0 : 20); ++i)
            addItem(db, "Logged event " + std::to_string(i), nullptr, nullptr, 610000000.0 + i * 60,
                    610000000.0 + i * 60 + 30);
        // Copied while the connection holds the database open: the log is not yet
        // folded into the database, as in a device backup.
        std::filesystem::copy_file(path, dbCopy);
        std::filesystem::copy_file(path.string() + "-wal", logCopy);
    }
    backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", kCalendarRelative, dbCopy);
    backup.Add(CategoryCalendar, std::string(kDevicePath) + "-wal", "HomeDomain",
               std::string(kCalendarRelative) + "-wal", logCopy);
}

std::filesystem::path storedFile(const testsupport::SystemAppBackup& backup, const std::string& relative) {
    return backup.BackupDir() / backup.builder->StoredPath("HomeDomain", relative);
}

int liveCount(const std::vector<Event>& events) {
    int live = 0;
    for (const Event& e : events)
        live += !e.deleted;
    return live;
}

} // namespace

// The newest rows of a database in write-ahead mode may sit only in its "-wal" file,
// which the backup stores beside the database. They are read from a copy of both in the
// scan's cache folder; the backup folder stays as it was, and the copy goes with the
// parser. An empty log takes no copy.
TEST(CalendarWriteAheadLog, LiveRowsOnlyInTheLogAreRead) {
    for (bool emptyLog : {false, true}) {
        testsupport::SystemAppBackup backup{14};
        addLoggedCalendar(backup, emptyLog);
        ASSERT_EQ(emptyLog, std::filesystem::file_size(
                                storedFile(backup, std::string(kCalendarRelative) + "-wal")) == 0);
        CScanManager& m = backup.Manager(0x40);
        const auto before = kit::FolderSnapshot::Take(backup.BackupDir());
        bool copied = false;
        {
            CCalendar cal(&m);
            cal.Scan();
            copied = std::filesystem::exists(backup.dir / "output" / "logged");
        }
        const auto events = eventsOf(m);
        EXPECT_EQ(emptyLog ? 30 : 50, liveCount(events)) << emptyLog;
        if (!emptyLog) {
            const Event* e = find(events, "Logged event 19");
            ASSERT_NE(nullptr, e);
            EXPECT_FALSE(e->deleted);
        }
        EXPECT_EQ(!emptyLog, copied);
        EXPECT_EQ("", kit::FolderSnapshot::Take(backup.BackupDir()).DiffFrom(before));
        // The copy, its log and SQLite's index of it went with the parser.
        if (copied) EXPECT_TRUE(std::filesystem::is_empty(backup.dir / "output" / "logged"));
    }
}

// A log that cannot be applied (no room for the copy in the cache, or no cache folder)
// costs the rows only the log holds, never the database's own: those are all read from
// the stored file, and the scan notes that the log was left out, for its log and the
// user. Nothing is left in the cache.
TEST(CalendarWriteAheadLog, LogThatCannotBeAppliedCostsOnlyItsOwnRows) {
    struct Case {
        const char* name;
        std::function<void(testsupport::SystemAppBackup&, CScanManager&)> breakCache;
    };
    const Case cases[] = {
        {"no room in the cache",
         [](testsupport::SystemAppBackup&, CScanManager& m) {
             m.cacheFreeBytes = [](const std::string&) { return std::optional<uint64_t>(uint64_t(1) << 20); };
         }},
        {"no cache folder",
         [](testsupport::SystemAppBackup& backup, CScanManager&) {
             std::ofstream(backup.dir / "output" / "logged") << "a file where the folder goes";
         }},
    };
    for (const Case& c : cases) {
        testsupport::SystemAppBackup backup{14};
        addLoggedCalendar(backup);
        CScanManager& m = backup.Manager(0x40);
        c.breakCache(backup, m);
        const auto before = kit::FolderSnapshot::Take(backup.BackupDir());
        {
            CCalendar cal(&m);
            EXPECT_TRUE(cal.Scan()) << c.name;
        }
        const auto events = eventsOf(m);
        EXPECT_EQ(30, liveCount(events)) << c.name;
        EXPECT_NE(nullptr, find(events, "Checkpointed event 29")) << c.name;
        EXPECT_EQ(nullptr, find(events, "Logged event 19")) << c.name;
        ASSERT_EQ(1u, m.losses.size()) << c.name;
        EXPECT_EQ(ScanLoss::Kind::LogNotApplied, m.losses[0].kind) << c.name;
        EXPECT_EQ(uint32_t(ScanCalendar), m.losses[0].dataType) << c.name;
        EXPECT_NE(std::string::npos, m.losses[0].what.find(kDevicePath)) << m.losses[0].what;
        EXPECT_EQ("", kit::FolderSnapshot::Take(backup.BackupDir()).DiffFrom(before)) << c.name;
        const auto cache = backup.dir / "output" / "logged";
        if (std::filesystem::is_directory(cache)) {
            EXPECT_TRUE(std::filesystem::is_empty(cache)) << c.name;
        }
    }
}

// The room a copy needs is that of the data it holds: a sparse store (a large file of
// mostly holes) with a log is copied, holes kept, into a cache that could not take its
// full length.
TEST(CalendarWriteAheadLog, SparseStoreNeedsRoomForItsDataOnly) {
    testsupport::SystemAppBackup backup{14};
    addLoggedCalendar(backup);
    CScanManager& m = backup.Manager(0x40);
    const uint64_t length = uint64_t(128) << 20;
    std::filesystem::resize_file(storedFile(backup, kCalendarRelative), length);
    std::vector<std::string> asked;
    m.cacheFreeBytes = [&](const std::string& folder) {
        asked.push_back(folder);
        return std::optional<uint64_t>(uint64_t(96) << 20); // less than the file's length
    };
    {
        CCalendar cal(&m);
        EXPECT_TRUE(cal.Scan());
    }
    const auto events = eventsOf(m);
    EXPECT_EQ(50, liveCount(events));
    EXPECT_NE(nullptr, find(events, "Logged event 19"));
    EXPECT_TRUE(m.losses.empty());
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ((backup.dir / "output" / "logged").string(), asked[0]);
}

// A stored database or its log is read only from inside the backup folder, and only
// when it is a regular file: a two-character folder made a link to a folder outside,
// a stored file that is a link, or a pipe in its place is refused at once. Refused, the
// database gives no events; refused, its log is not applied, and the scan says so.
TEST(CalendarStoredFile, LinksAndPipesAreRefused) {
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        std::string relative; // what is damaged: the database or its log
        enum { FolderLink, FileLink, Pipe } damage;
        int live;       // events read
        bool lossNoted; // a log not applied
    };
    const std::string logRelative = std::string(kCalendarRelative) + "-wal";
    const Case cases[] = {
        {"database's folder is a link", kCalendarRelative, Case::FolderLink, 0, false},
        {"database is a link", kCalendarRelative, Case::FileLink, 0, false},
        {"database is a pipe", kCalendarRelative, Case::Pipe, 0, false},
        {"log's folder is a link", logRelative, Case::FolderLink, 30, true},
        {"log is a link", logRelative, Case::FileLink, 30, true},
        {"log is a pipe", logRelative, Case::Pipe, 30, true},
    };
    for (const Case& c : cases) {
        testsupport::SystemAppBackup backup{14};
        addLoggedCalendar(backup);
        CScanManager& m = backup.Manager(0x40);
        const fs::path target = storedFile(backup, c.relative);
        const fs::path outside = backup.dir / "outside";
        fs::create_directories(outside);
        kit::PipeWatchdog watchdog(std::chrono::seconds(10));
        switch (c.damage) {
        case Case::FolderLink: {
            // The whole folder moves out of the backup and a link takes its place.
            const fs::path folder = target.parent_path();
            fs::rename(folder, outside / folder.filename());
            fs::create_directory_symlink(outside / folder.filename(), folder);
            break;
        }
        case Case::FileLink:
            fs::rename(target, outside / target.filename());
            fs::create_symlink(outside / target.filename(), target);
            break;
        case Case::Pipe:
            ASSERT_TRUE(watchdog.MakePipe(target));
            break;
        }
        watchdog.Start();
        {
            CCalendar cal(&m);
            EXPECT_EQ(c.live > 0, cal.Scan()) << c.name;
        }
        EXPECT_FALSE(watchdog.Stop()) << c.name << ": blocked on the pipe";
        const auto events = eventsOf(m);
        EXPECT_EQ(c.live, liveCount(events)) << c.name;
        EXPECT_EQ(nullptr, find(events, "Logged event 0")) << c.name;
        EXPECT_EQ(c.lossNoted ? 1u : 0u, m.losses.size()) << c.name;
        if (c.lossNoted && !m.losses.empty()) {
            EXPECT_EQ(ScanLoss::Kind::LogNotApplied, m.losses[0].kind) << c.name;
        }
    }
}

namespace {

std::string readBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

uint32_t be32At(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
           uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
}

} // namespace

// A damaged interior page cuts a part of the event table off its tree: SQLite stops at
// it, and the leaf pages below it still hold live rows. None of those may come back as a
// deleted event; rows deleted before the damage still do.
TEST(CalendarDamage, LiveRowsBelowADamagedInteriorPageAreNotDeleted) {
    testsupport::SystemAppBackup backup{14};
    const auto path = backup.Scratch("Calendar.sqlitedb");
    constexpr int kPage = 512; // small pages: a tree three levels deep from a few thousand rows
    std::vector<std::string> liveTitles, deletedTitles;
    int64_t root = 0;
    {
        FixtureDb db(path, kPage);
        db.exec(kItemSchema);
        db.exec("BEGIN");
        for (int i = 0; i < 3000; ++i) {
            const std::string title = "Event " + std::to_string(i) + " in the meeting room";
            addItem(db, title, nullptr, nullptr, 600000000.0 + i * 60, 600000000.0 + i * 60 + 30);
            (i % 40 == 7 ? deletedTitles : liveTitles).push_back(title);
        }
        db.exec("COMMIT");
        db.deleteWhere("CalendarItem", "ROWID % 40 = 8"); // ROWID i + 1
        root = db.queryInt("SELECT rootpage FROM sqlite_master WHERE name='CalendarItem'");
        db.close();
    }
    std::string bytes = readBytes(path);
    ASSERT_GT(root, 1);
    const size_t rootAt = size_t(root - 1) * kPage;
    ASSERT_EQ(5, bytes[rootAt]); // interior table page
    // The first child of the root is an interior page too: noise over it.
    const size_t firstCell = (uint8_t(bytes[rootAt + 12]) << 8) | uint8_t(bytes[rootAt + 13]);
    const uint32_t child = be32At(bytes, rootAt + firstCell);
    ASSERT_GT(child, 1u);
    ASSERT_EQ(5, bytes[size_t(child - 1) * kPage]);
    std::mt19937 rng(5);
    for (size_t i = size_t(child - 1) * kPage; i < size_t(child) * kPage; ++i)
        bytes[i] = char(rng());
    ASSERT_NE(5, bytes[size_t(child - 1) * kPage]);
    writeBytes(path, bytes);

    backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb", path);
    CScanManager& m = backup.Manager(0x40);
    CCalendar cal(&m);
    cal.Scan();
    const auto events = eventsOf(m);
    std::set<std::string> live(liveTitles.begin(), liveTitles.end());
    int deletedFound = 0;
    for (const Event& e : events) {
        if (!e.deleted) continue;
        EXPECT_EQ(0u, live.count(e.title)) << "a live row came back as deleted: " << e.title;
        deletedFound += std::count(deletedTitles.begin(), deletedTitles.end(), e.title) > 0;
    }
    // Every row deleted before the damage still comes back.
    EXPECT_EQ(int(deletedTitles.size()), deletedFound);
}

// A database padded with zeros (a preallocated file): the zero pages hold no record and
// are passed over in word-sized steps; the records found are the same as without them.
TEST(CalendarDamage, ZeroPaddingChangesNothing) {
    std::vector<std::vector<std::string>> results;
    for (bool padded : {false, true}) {
        testsupport::SystemAppBackup backup{14};
        const auto path = backup.Scratch("Calendar.sqlitedb");
        {
            FixtureDb db(path);
            db.exec(kItemSchema);
            db.exec("BEGIN");
            for (int i = 0; i < 300; ++i)
                addItem(db, "Padded event " + std::to_string(i), nullptr, nullptr, 600000000.0 + i * 60,
                        600000000.0 + i * 60 + 30);
            db.exec("COMMIT");
            db.deleteWhere("CalendarItem", "ROWID % 3 = 0");
            db.close();
        }
        if (padded) std::filesystem::resize_file(path, 64u << 20);
        backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb", path);
        CScanManager& m = backup.Manager(0x40);
        CCalendar cal(&m);
        cal.Scan();
        std::vector<std::string> got;
        for (const Event& e : eventsOf(m))
            got.push_back((e.deleted ? "deleted " : "live ") + e.title);
        results.push_back(std::move(got));
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_GT(std::count_if(results[1].begin(), results[1].end(),
                            [](const std::string& s) { return s.rfind("deleted ", 0) == 0; }),
              50);
}

// With the freelist damaged too, a leaf page no tree reaches may be a freed page whose
// rows were deleted: nothing is added to the live-cell map then, and those deleted rows
// still come back.
TEST(CalendarDamage, DeletedRowsOfFreedPagesSurviveADamagedFreelist) {
    testsupport::SystemAppBackup backup{14};
    const auto path = backup.Scratch("Calendar.sqlitedb");
    constexpr int kPage = 512;
    std::vector<std::string> freedTitles;
    int64_t root = 0;
    {
        FixtureDb db(path, kPage);
        db.exec(kItemSchema);
        db.exec("BEGIN");
        for (int i = 0; i < 3000; ++i) {
            const std::string title = "Event " + std::to_string(i) + " in the meeting room";
            addItem(db, title, nullptr, nullptr, 600000000.0 + i * 60, 600000000.0 + i * 60 + 30);
            if (i >= 2000 && i < 2600) freedTitles.push_back(title);
        }
        db.exec("COMMIT");
        db.deleteWhere("CalendarItem", "ROWID > 2000 AND ROWID <= 2600"); // whole pages go to the freelist
        EXPECT_GT(db.queryInt("PRAGMA freelist_count"), 10);
        root = db.queryInt("SELECT rootpage FROM sqlite_master WHERE name='CalendarItem'");
        db.close();
    }
    std::string bytes = readBytes(path);
    std::mt19937 rng(9);
    auto scribble = [&](size_t page) {
        for (size_t i = (page - 1) * kPage; i < page * kPage; ++i)
            bytes[i] = char(rng());
    };
    const uint32_t trunk = be32At(bytes, 32);
    ASSERT_GT(trunk, 1u);
    scribble(trunk);
    const size_t rootAt = size_t(root - 1) * kPage;
    ASSERT_EQ(5, bytes[rootAt]);
    const size_t firstCell = (uint8_t(bytes[rootAt + 12]) << 8) | uint8_t(bytes[rootAt + 13]);
    const uint32_t child = be32At(bytes, rootAt + firstCell);
    ASSERT_NE(child, trunk);
    scribble(child);
    writeBytes(path, bytes);

    backup.Add(CategoryCalendar, kDevicePath, "HomeDomain", "Library/Calendar/Calendar.sqlitedb", path);
    CScanManager& m = backup.Manager(0x40);
    CCalendar cal(&m);
    cal.Scan();
    std::set<std::string> deleted;
    for (const Event& e : eventsOf(m))
        if (e.deleted) deleted.insert(e.title);
    int found = 0;
    for (const std::string& t : freedTitles)
        found += deleted.count(t) > 0;
    // The freed pages are read whole; only rows on the scribbled trunk page may be gone.
    EXPECT_GT(found, int(freedTitles.size()) * 9 / 10);
}
