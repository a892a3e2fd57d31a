// Reminders kept in the calendar database: live rows with their list titles and alarm
// locations, carved deleted rows, and damaged or incomplete databases.
#include "core/apps/CReminder.h"
#include "tests/core/apps/ReminderFixtures.h"

#include <gtest/gtest.h>

using namespace remindertest;

namespace {

int64_t unix(int64_t apple) {
    return apple + kApple;
}

bool scan(CScanManager& m) {
    CReminder parser(&m);
    return parser.Scan();
}

// Live reminders, list titles (only calendars with flags 2304) and locations linked
// through alarms, under both names of the alarm's owner column.
class LiveCalendarReminders : public ::testing::TestWithParam<const char*> {};

TEST_P(LiveCalendarReminders, ReadsRemindersListTitlesAndLocations) {
    TestBackup backup;
    const std::string ownerColumn = GetParam();
    {
        kit::FixtureDb db(backup.Work("cal.db"));
        CalendarSchema schema;
        schema.alarmOwnerColumn = ownerColumn;
        createCalendarSchema(db, schema);
        int64_t groceries = addCalendar(db, "Groceries", 2304);
        int64_t work = addCalendar(db, "Work", 2305); // not a reminder list: no title
        int64_t untitled = db.insert("Calendar", {"title", "flags"}, {nullptr, int64_t(2304)});

        int64_t milk = addItem(db, {.summary = "Buy milk",
                                    .description = std::string("2 litres"),
                                    .startDate = 600000000.0,
                                    .completionDate = 600001000.0,
                                    .priority = int64_t(1),
                                    .calendarId = groceries});
        int64_t report = addItem(db, {.summary = "Send report",
                                      .startDate = 600100000.75,
                                      .completionDate = 0.5, // truncates to 0: open
                                      .priority = int64_t(5),
                                      .calendarId = work});
        addItem(db, {.summary = "", .startDate = 0.0, .calendarId = untitled}); // empty title is kept
        addItem(db, {.summary = "No calendar", .calendarId = int64_t(0)});
        addItem(db, {.summary = "Null calendar", .calendarId = nullptr});
        addItem(db, {.summary = "Text calendar", .calendarId = std::string("one")});
        addItem(db, {.summary = "Team meeting", .calendarId = groceries, .entityType = 2}); // an event
        db.insert("CalendarItem", {"summary", "calendar_id", "entity_type"},
                  {nullptr, groceries, int64_t(3)});

        int64_t shop = addLocation(db, std::string("Supermarket"));
        int64_t office = addLocation(db, std::string("Office"));
        int64_t blank = addLocation(db, std::string(""));
        addLocation(db, nullptr);
        addAlarm(db, ownerColumn, shop, milk);
        addAlarm(db, ownerColumn, shop, report); // second alarm on the same location: first owner wins
        addAlarm(db, ownerColumn, office, report);
        addAlarm(db, ownerColumn, blank, milk);
        addAlarm(db, ownerColumn, 0, milk); // location_id 0 is never read
    }
    backup.PutCalendar(backup.Work("cal.db"));
    auto m = backup.Manager();
    EXPECT_TRUE(scan(*m));
    expectWellFormed(*m);

    auto recs = records(*m);
    ASSERT_EQ(3u, recs.size());
    EXPECT_EQ("Buy milk", recs[0]->title);
    EXPECT_EQ("2 litres", recs[0]->notes);
    EXPECT_EQ("Groceries", recs[0]->listTitle);
    EXPECT_EQ("Supermarket", recs[0]->location);
    EXPECT_EQ(1, recs[0]->priority);
    EXPECT_TRUE(recs[0]->completed);
    EXPECT_EQ(unix(600000000), recs[0]->date);
    EXPECT_EQ(0, recs[0]->dueDate);
    EXPECT_FALSE(recs[0]->deleted);

    EXPECT_EQ("Send report", recs[1]->title);
    EXPECT_EQ("", recs[1]->notes);
    EXPECT_EQ("", recs[1]->listTitle);
    EXPECT_EQ("Office", recs[1]->location);
    EXPECT_FALSE(recs[1]->completed);
    EXPECT_EQ(unix(600100000), recs[1]->date);

    EXPECT_EQ("", recs[2]->title);
    EXPECT_EQ("", recs[2]->listTitle);
    EXPECT_EQ(0, recs[2]->date);
    for (auto* r : recs)
        EXPECT_FALSE(r->deleted);
}

INSTANTIATE_TEST_SUITE_P(OwnerColumns, LiveCalendarReminders,
                         ::testing::Values("calendaritem_owner_id", "owner_id"));

// Live start and completion dates: REAL and whole-second INTEGER cells, and values
// that must not overflow.
TEST(CalendarReminderDates, LiveDatesAcceptRealAndInteger) {
    struct Case {
        const char* title;
        kit::Value start;
        kit::Value completion;
        int64_t date;
        bool completed;
    };
    const std::vector<Case> cases = {
        {"real start, real completion", 600000000.5, 600000001.0, unix(600000000), true},
        {"integer start, integer completion", int64_t(600000000), int64_t(600000001), unix(600000000), true},
        {"completion one second", 0.0, int64_t(1), 0, true},
        {"completion below one second", int64_t(-3), 0.5, -3, false},
        {"completion zero", nullptr, int64_t(0), 0, false},
        {"completion text", nullptr, std::string("yes"), 0, false},
        {"start overflows", 9.223372036854775e18, nullptr, 0, false},
        {"start integer overflows", int64_t(INT64_MAX - 5), nullptr, 0, false},
        {"start not a number", 1e300, -1e300, 0, false},
    };
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("cal.db"));
        CalendarSchema schema;
        schema.dateType = "TIMESTAMP"; // whole seconds stay INTEGER
        createCalendarSchema(db, schema);
        addCalendar(db, "List", 2304);
        for (const Case& c : cases)
            addItem(db, {.summary = c.title, .startDate = c.start, .completionDate = c.completion});
        EXPECT_EQ(1, db.queryInt("select count(*) from CalendarItem where typeof(start_date)='integer' and "
                                 "typeof(completion_date)='integer' and summary like 'integer%'"));
    }
    backup.PutCalendar(backup.Work("cal.db"));
    auto m = backup.Manager();
    EXPECT_TRUE(scan(*m));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const ReminderRecord* r = findTitle(*m, c.title);
        ASSERT_NE(nullptr, r);
        EXPECT_EQ(c.date, r->date);
        EXPECT_EQ(c.completed, r->completed);
    }
}

// Deleted reminders come back first, marked deleted, with their list title but no
// location; deleted events and deleted copies of live reminders do not.
TEST(CalendarReminderCarving, DeletedRemindersComeBackFirst) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("cal.db"));
        createCalendarSchema(db);
        int64_t list = addCalendar(db, "Household", 2304);
        addItem(db, {.summary = "Water the plants", .startDate = 600000000.0, .calendarId = list});
        int64_t gone = addItem(db, {.summary = "Pick up the dry cleaning from the shop",
                                    .description = std::string("ticket 4711"),
                                    .startDate = 600200000.0,
                                    .completionDate = 600300000.0,
                                    .priority = int64_t(9),
                                    .calendarId = list});
        addItem(db, {.summary = "Feed the cat", .startDate = 600000100.25, .calendarId = list});
        int64_t event = addItem(db, {.summary = "Dentist appointment at nine",
                                     .startDate = 600400000.0,
                                     .calendarId = list,
                                     .entityType = 2});
        int64_t copy =
            addItem(db, {.summary = "Water the plants", .startDate = 600000000.0, .calendarId = list});
        int64_t place = addLocation(db, std::string("Cleaners"));
        addAlarm(db, "calendaritem_owner_id", place, gone);
        db.deleteWhere("CalendarItem", "ROWID in (" + std::to_string(gone) + "," + std::to_string(event) +
                                           "," + std::to_string(copy) + ")");
    }
    backup.PutCalendar(backup.Work("cal.db"));
    auto m = backup.Manager();
    EXPECT_TRUE(scan(*m));
    expectWellFormed(*m);

    auto recs = records(*m);
    ASSERT_EQ(3u, recs.size());
    EXPECT_TRUE(recs[0]->deleted);
    EXPECT_EQ("Pick up the dry cleaning from the shop", recs[0]->title);
    EXPECT_EQ("ticket 4711", recs[0]->notes);
    EXPECT_EQ("Household", recs[0]->listTitle);
    EXPECT_EQ("", recs[0]->location); // a carved row has no rowid to link an alarm to
    EXPECT_EQ(9, recs[0]->priority);
    EXPECT_TRUE(recs[0]->completed); // whole seconds are stored as an integer on the page
    EXPECT_EQ(unix(600200000), recs[0]->date);

    EXPECT_EQ("Water the plants", recs[1]->title);
    EXPECT_FALSE(recs[1]->deleted);
    EXPECT_EQ("Feed the cat", recs[2]->title);
    EXPECT_FALSE(recs[2]->deleted);
    EXPECT_EQ(unix(600000100), recs[2]->date);
}

// Most reminders and events have no place: their location_id is NULL, a stored value
// like any other, and such deleted rows come back.
TEST(CalendarReminderCarving, DeletedRemindersWithoutAPlace) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("cal.db"));
        createCalendarSchema(db);
        int64_t list = addCalendar(db, "Household", 2304);
        addItem(db, {.summary = "Water the plants", .calendarId = list, .locationId = nullptr});
        int64_t gone1 = addItem(db, {.summary = "Renew the passport",
                                     .startDate = 600200000.0,
                                     .calendarId = list,
                                     .locationId = nullptr});
        int64_t gone2 = addItem(db, {.summary = "Call the plumber",
                                     .startDate = 600100000.0,
                                     .calendarId = list,
                                     .locationId = nullptr});
        addItem(db, {.summary = "Feed the cat", .calendarId = list, .locationId = nullptr});
        db.deleteWhere("CalendarItem",
                       "ROWID in (" + std::to_string(gone1) + "," + std::to_string(gone2) + ")");
    }
    backup.PutCalendar(backup.Work("cal.db"));
    auto m = backup.Manager();
    EXPECT_TRUE(scan(*m));
    expectWellFormed(*m);
    std::vector<std::pair<std::string, bool>> got;
    for (const auto* r : records(*m))
        got.push_back({r->title, r->deleted});
    const std::vector<std::pair<std::string, bool>> want = {{"Renew the passport", true},
                                                            {"Call the plumber", true},
                                                            {"Water the plants", false},
                                                            {"Feed the cat", false}};
    EXPECT_EQ(want, got);
}

// Texts a person reads come back only as readable text: a deleted row whose title or
// notes hold control bytes (a candidate read from a wrong offset) is no reminder.
TEST(CalendarReminderCarving, ControlBytesAreNoReminder) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("cal.db"));
        createCalendarSchema(db);
        int64_t list = addCalendar(db, "Household", 2304);
        addItem(db, {.summary = "Water the plants", .calendarId = list});
        int64_t a = addItem(db, {.summary = std::string("\x01\x02\x03\x04\x05"), .calendarId = list});
        int64_t b = addItem(db, {.summary = "Title\x1b[0m", .calendarId = list});
        int64_t c = addItem(
            db, {.summary = "Fine title", .description = std::string("notes\x07\x08"), .calendarId = list});
        int64_t d = addItem(db, {.summary = "Bad \xC3 UTF-8", .calendarId = list});
        int64_t e = addItem(
            db, {.summary = "Line one\nline two\twith a tab", .startDate = 600300000.0, .calendarId = list});
        db.deleteWhere("CalendarItem", "ROWID in (" + std::to_string(a) + "," + std::to_string(b) + "," +
                                           std::to_string(c) + "," + std::to_string(d) + "," +
                                           std::to_string(e) + ")");
    }
    backup.PutCalendar(backup.Work("cal.db"));
    auto m = backup.Manager();
    EXPECT_TRUE(scan(*m));
    std::vector<std::pair<std::string, bool>> got;
    for (const auto* r : records(*m))
        got.push_back({r->title, r->deleted});
    const std::vector<std::pair<std::string, bool>> want = {{"Line one\nline two\twith a tab", true},
                                                            {"Water the plants", false}};
    EXPECT_EQ(want, got);
}

// Carved CalendarItem rows: a start date that cannot move to Unix time is refused (and
// the conversion does not overflow), a fractional one is cut to whole seconds, and any
// entity type but an event (2) is a reminder.
TEST(CalendarReminderCarving, CarvedStartDateIsChecked) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("cal.db"));
        createCalendarSchema(db);
        int64_t list = addCalendar(db, "Inbox", 2304);
        addItem(db, {.summary = "Keep", .calendarId = list});
        int64_t huge = addItem(
            db, {.summary = "Overflowing start date", .startDate = 9.2233720368547e18, .calendarId = list});
        int64_t frac =
            addItem(db, {.summary = "Fractional start date", .startDate = 600500000.9, .calendarId = list});
        int64_t zero = addItem(db, {.summary = "Entity type zero", .calendarId = list, .entityType = 0});
        int64_t none = addItem(db, {.summary = "No start date at all",
                                    .startDate = nullptr,
                                    .completionDate = 0.0,
                                    .calendarId = list});
        db.deleteWhere("CalendarItem", "ROWID in (" + std::to_string(huge) + "," + std::to_string(frac) +
                                           "," + std::to_string(none) + "," + std::to_string(zero) + ")");
    }
    backup.PutCalendar(backup.Work("cal.db"));
    auto m = backup.Manager();
    EXPECT_TRUE(scan(*m));
    EXPECT_EQ(nullptr, findTitle(*m, "Overflowing start date"));
    const ReminderRecord* frac = findTitle(*m, "Fractional start date");
    ASSERT_NE(nullptr, frac);
    EXPECT_TRUE(frac->deleted);
    EXPECT_EQ(unix(600500000), frac->date);
    const ReminderRecord* none = findTitle(*m, "No start date at all");
    ASSERT_NE(nullptr, none);
    EXPECT_EQ(0, none->date);
    EXPECT_FALSE(none->completed);
    EXPECT_EQ(1, countTitle(*m, "Keep"));
    const ReminderRecord* zero = findTitle(*m, "Entity type zero"); // only events (2) are refused
    ASSERT_NE(nullptr, zero);
    EXPECT_TRUE(zero->deleted);
}

// Databases without Location or Alarm tables, or with an Alarm table lacking both
// owner columns: the reminders are still read, without locations.
TEST(CalendarReminderTables, MissingLocationOrAlarmTables) {
    struct Case {
        const char* name;
        CalendarSchema schema;
    };
    std::vector<Case> cases(4);
    cases[0] = {"no Location table", {}};
    cases[0].schema.location = false;
    cases[1] = {"no Alarm table", {}};
    cases[1].schema.alarm = false;
    cases[2] = {"neither table", {}};
    cases[2].schema.location = cases[2].schema.alarm = false;
    cases[3] = {"Alarm without an owner column", {}};
    cases[3].schema.alarmOwnerColumn = "calendar_owner_id";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestBackup backup;
        {
            kit::FixtureDb db(backup.Work("cal.db"));
            createCalendarSchema(db, c.schema);
            int64_t list = addCalendar(db, "Errands", 2304);
            int64_t id = addItem(db, {.summary = "Post the letter", .calendarId = list});
            if (c.schema.location) addLocation(db, std::string("Post office"));
            if (c.schema.alarm) addAlarm(db, c.schema.alarmOwnerColumn, 1, id);
        }
        backup.PutCalendar(backup.Work("cal.db"));
        auto m = backup.Manager();
        EXPECT_TRUE(scan(*m));
        auto recs = records(*m);
        ASSERT_EQ(1u, recs.size());
        EXPECT_EQ("Post the letter", recs[0]->title);
        EXPECT_EQ("Errands", recs[0]->listTitle);
        EXPECT_EQ("", recs[0]->location);
    }
}

// Damaged or foreign input: a soft failure for the database, nothing added, no crash,
// and the backup folder unchanged.
TEST(CalendarReminderBadInput, DamagedDatabasesFailSoftly) {
    TestBackup ref;
    {
        kit::FixtureDb db(ref.Work("cal.db"));
        createCalendarSchema(db);
        int64_t list = addCalendar(db, "List", 2304);
        for (int i = 0; i < 200; ++i)
            addItem(db, {.summary = "Reminder number " + std::to_string(i), .calendarId = list});
        db.deleteWhere("CalendarItem", "ROWID % 3 = 0");
    }
    std::string valid;
    {
        std::ifstream in(ref.Work("cal.db"), std::ios::binary);
        valid.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_GT(valid.size(), 8192u);

    struct Case {
        const char* name;
        std::string bytes;
        bool fails;   // the database cannot be opened at all
        bool nothing; // no reminder can come out of it
    };
    std::string scribbled = valid;
    for (size_t i = 4096; i < scribbled.size(); i += 7)
        scribbled[i] = static_cast<char>(i * 131);
    std::string zeroPageSize = valid;
    zeroPageSize[16] = zeroPageSize[17] = 0;
    const std::vector<Case> cases = {
        {"empty file", "", true, true},
        {"shorter than a header", valid.substr(0, 60), true, true},
        {"page size zero", zeroPageSize, true, true},
        {"not a database", std::string(5000, 'x'), false, true},
        {"truncated", valid.substr(0, valid.size() / 2 + 100), false, false},
        {"scribbled pages", scribbled, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestBackup backup;
        std::string stored = backup.PutBytes("Calendar.sqlitedb", c.bytes);
        backup.manifest.Add(CategoryCalendarReminders, "/var/mobile/Library/Calendar/Calendar.sqlitedb",
                            stored);
        auto before = kit::FolderSnapshot::Take(backup.root);
        auto m = backup.Manager();
        bool ok = scan(*m);
        if (c.fails) {
            EXPECT_FALSE(ok);
        }
        if (c.nothing) {
            EXPECT_EQ(0, m->reminderList.count);
        }
        expectWellFormed(*m);
        EXPECT_EQ("", kit::FolderSnapshot::Take(backup.root).DiffFrom(before));
    }
}

// Missing columns, wrong types and NULLs everywhere: rows are skipped, nothing crashes.
TEST(CalendarReminderBadInput, OddSchemasAndValues) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("cal.db"));
        // No priority column: the live query and the carve both decline the table.
        db.exec(
            "CREATE TABLE CalendarItem (ROWID INTEGER PRIMARY KEY, summary TEXT, description TEXT,"
            " start_date REAL, completion_date REAL, calendar_id INTEGER, entity_type INTEGER);"
            "CREATE TABLE Calendar (ROWID INTEGER PRIMARY KEY, title BLOB, flags INTEGER);"
            "CREATE TABLE Location (ROWID INTEGER PRIMARY KEY, title BLOB);"
            "CREATE TABLE Alarm (ROWID INTEGER PRIMARY KEY, location_id TEXT, calendaritem_owner_id TEXT);");
        db.insert("CalendarItem", {"summary", "calendar_id", "entity_type"},
                  {std::string("Lost"), int64_t(1), int64_t(3)});
        db.insert("Calendar", {"title", "flags"}, {kit::Blob{"\x01\x02"}, int64_t(2304)});
        db.insert("Location", {"title"}, {kit::Blob{std::string("\0\0", 2)}});
        db.insert("Alarm", {"location_id", "calendaritem_owner_id"}, {std::string("1"), std::string("x")});
        db.deleteWhere("CalendarItem", "1");
    }
    backup.PutCalendar(backup.Work("cal.db"));
    auto m = backup.Manager();
    EXPECT_TRUE(scan(*m));
    EXPECT_EQ(0, m->reminderList.count);
}

// Without a stored file nothing is opened; a cancelled or incomplete owner stops at once.
TEST(CalendarReminderBadInput, NoDatabaseOrNoOwner) {
    TestBackup backup;
    auto m = backup.Manager();
    EXPECT_FALSE(scan(*m));
    EXPECT_EQ(1, backup.manifest.lookups);
    EXPECT_EQ(0, m->reminderList.count);

    CReminder orphan(nullptr);
    EXPECT_FALSE(orphan.Scan());

    {
        kit::FixtureDb db(backup.Work("cal.db"));
        createCalendarSchema(db);
        addItem(db, {.summary = "Never read"});
    }
    backup.PutCalendar(backup.Work("cal.db"));
    m->cancelled = true;
    EXPECT_FALSE(scan(*m));
    EXPECT_EQ(0, m->reminderList.count);

    std::string backupDir = backup.root.string() + "/";
    CScanManager noManifest(0x10, (backup.dir / "out").string().c_str(), backupDir.c_str(), 14,
                            &backup.progress, nullptr);
    EXPECT_FALSE(scan(noManifest));
}

// A full run reads the backup without changing a byte of it.
TEST(CalendarReminderBackup, BackupFolderUnchanged) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("cal.db"));
        createCalendarSchema(db);
        int64_t list = addCalendar(db, "List", 2304);
        addItem(db, {.summary = "Stay", .calendarId = list});
        int64_t gone = addItem(db, {.summary = "Gone but not forgotten", .calendarId = list});
        db.deleteWhere("CalendarItem", "ROWID = " + std::to_string(gone));
    }
    backup.PutCalendar(backup.Work("cal.db"));
    auto before = kit::FolderSnapshot::Take(backup.root);
    auto m = backup.Manager();
    EXPECT_TRUE(scan(*m));
    EXPECT_EQ(2, m->reminderList.count);
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.root).DiffFrom(before));
    for (const auto& entry : fs::recursive_directory_iterator(backup.root))
        EXPECT_EQ(std::string::npos, entry.path().string().find("-journal")) << entry.path();
}

} // namespace
