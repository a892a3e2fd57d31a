// Reminders of the Reminders app's own stores: live objects with their alarm
// addresses, carved deleted reminders, several stores whose primary keys collide,
// files of the store folder that are not databases, and the hand-over after the
// calendar database's reminders.
#include "core/apps/CReminder.h"
#include "core/apps/CReminderEx.h"
#include "tests/core/apps/ReminderFixtures.h"
#include "tests/kit/PipeWatchdog.h"

#include <gtest/gtest.h>

using namespace remindertest;

namespace {

int64_t unix(int64_t apple) {
    return apple + kApple;
}

bool scanStores(CScanManager& m) {
    CReminderEx parser(&m);
    return parser.Scan();
}

// Live objects of one store: reminders become records, alarms and location triggers
// do not; an alarm gives its reminder the trigger's address.
TEST(ReminderStoreLive, ReadsRemindersAndLinksAddresses) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("store.sqlite"));
        createStoreSchema(db);
        addStoreReminder(db, {.pk = 1,
                              .title = std::string("Buy flowers"),
                              .notes = std::string("tulips"),
                              .priority = int64_t(1),
                              .created = int64_t(600000000),
                              .completion = int64_t(600000900), // whole seconds: stored as INTEGER
                              .due = 600086400.5});
        addStoreAlarm(db, 2, 1, 3);
        addStoreTrigger(db, 3, "1 Market Square");
        addStoreReminder(db, {.pk = 4, .title = std::string("Same second"), .created = 600000000.25});
        addStoreReminder(db, {.pk = 5, .title = nullptr, .completion = 0.5}); // a fraction above 0 counts
        addStoreReminder(db, {.pk = 6, .title = std::string("Marked for deletion"), .marked = int64_t(1)});
        addStoreReminder(db, {.pk = 7, .title = std::string("Not completed"), .completion = int64_t(0)});
        EXPECT_EQ(1, db.queryInt("select count(*) from ZREMCDOBJECT where typeof(ZCOMPLETIONDATE)='integer' "
                                 "and Z_PK=1"));
    }
    backup.PutStore("Data-local.sqlite", backup.Work("store.sqlite"));
    auto m = backup.Manager();
    EXPECT_TRUE(scanStores(*m));
    expectWellFormed(*m);

    auto recs = records(*m);
    ASSERT_EQ(5u, recs.size());
    EXPECT_EQ("Marked for deletion", recs[0]->title);
    EXPECT_TRUE(recs[0]->deleted);

    EXPECT_EQ("Buy flowers", recs[1]->title);
    EXPECT_EQ("tulips", recs[1]->notes);
    EXPECT_EQ("1 Market Square", recs[1]->location);
    EXPECT_EQ("", recs[1]->listTitle);
    EXPECT_EQ(1, recs[1]->priority);
    EXPECT_TRUE(recs[1]->completed);
    EXPECT_EQ(unix(600000000), recs[1]->date);
    EXPECT_EQ(unix(600086400), recs[1]->dueDate);
    EXPECT_FALSE(recs[1]->deleted);

    EXPECT_EQ("Same second", recs[2]->title);
    EXPECT_EQ(unix(600000000), recs[2]->date); // REAL with a fraction = INTEGER of the same second
    EXPECT_EQ(0, recs[2]->dueDate);
    EXPECT_FALSE(recs[2]->completed);

    EXPECT_EQ("", recs[3]->title); // NULL title kept
    EXPECT_TRUE(recs[3]->completed);
    EXPECT_EQ("Not completed", recs[4]->title);
    EXPECT_FALSE(recs[4]->completed);
}

// Z_PK numbers restart in every store: an alarm links only the reminder and trigger of
// its own store, and only rows of the reminder and trigger entities. Files of the store
// folder that are not databases are skipped.
TEST(ReminderStoreLive, CollidingPrimaryKeysAcrossStores) {
    TestBackup backup;
    {
        kit::FixtureDb a(backup.Work("a.sqlite"));
        createStoreSchema(a);
        addStoreReminder(a, {.pk = 1, .title = std::string("Buy milk")});
        addStoreAlarm(a, 2, 1, 3);
        addStoreTrigger(a, 3, "1 Infinite Loop");
    }
    {
        // Other entity numbers, the same primary keys.
        StoreEntities e{.reminder = 30, .alarm = 31, .locationTrigger = 32};
        kit::FixtureDb b(backup.Work("b.sqlite"));
        createStoreSchema(b, e);
        addStoreReminder(b, {.pk = 1, .title = std::string("Call mom"), .created = int64_t(600000001)}, e);
        addStoreReminder(b, {.pk = 3, .title = std::string("Pay rent"), .created = int64_t(600000002)}, e);
        addStoreTrigger(b, 4, "Elm Street", e);
        addStoreAlarm(b, 5, 3, 4, e); // "Pay rent" at Elm Street
        // An alarm whose trigger is a reminder, and one whose reminder is a trigger: no links.
        addStoreAlarm(b, 7, 1, 3, e);
        addStoreAlarm(b, 8, 4, 4, e);
    }
    backup.PutStore("a.sqlite", backup.Work("a.sqlite"));
    backup.PutStoreBytes("a.sqlite-wal",
                         std::string("\x37\x7f\x06\x82\x00\x2d\xe2\x18", 8) + std::string(4000, '\0'));
    backup.PutStoreBytes("a.sqlite-shm", std::string(32768, '\x01'));
    backup.PutStoreBytes("notes.txt", "not a database at all");
    backup.PutStoreBytes("empty", "");
    backup.PutStore("b.sqlite", backup.Work("b.sqlite"));
    auto before = kit::FolderSnapshot::Take(backup.root);

    auto m = backup.Manager();
    EXPECT_TRUE(scanStores(*m)); // the last store opened
    expectWellFormed(*m);
    ASSERT_EQ(3, m->reminderList.count);
    ASSERT_NE(nullptr, findTitle(*m, "Buy milk"));
    EXPECT_EQ("1 Infinite Loop", findTitle(*m, "Buy milk")->location);
    ASSERT_NE(nullptr, findTitle(*m, "Call mom"));
    EXPECT_EQ("", findTitle(*m, "Call mom")->location);
    ASSERT_NE(nullptr, findTitle(*m, "Pay rent"));
    EXPECT_EQ("Elm Street", findTitle(*m, "Pay rent")->location);
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.root).DiffFrom(before));
}

// Scan answers for the last file of the list; files that are not databases are
// skipped without stopping the others.
TEST(ReminderStoreLive, LastFileDecidesTheResult) {
    TestBackup backup;
    {
        kit::FixtureDb a(backup.Work("a.sqlite"));
        createStoreSchema(a);
        addStoreReminder(a, {.pk = 1, .title = std::string("Only one")});
    }
    backup.PutStore("a.sqlite", backup.Work("a.sqlite"));
    backup.PutStoreBytes("a.sqlite-shm", std::string(100, 'S'));
    auto m = backup.Manager();
    EXPECT_FALSE(scanStores(*m));
    ASSERT_EQ(1, m->reminderList.count);
    EXPECT_EQ("Only one", m->reminderList.first->title);
}

// Deleted reminders of a store are carved and come first; rows without a title and
// copies of live reminders are not recovered.
TEST(ReminderStoreCarving, DeletedRemindersComeBack) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("store.sqlite"));
        createStoreSchema(db);
        addStoreReminder(db,
                         {.pk = 1, .title = std::string("Renew passport"), .created = int64_t(600000000)});
        addStoreReminder(db, {.pk = 2,
                              .title = std::string("Return the library books before Friday"),
                              .notes = std::string("three of them"),
                              .priority = int64_t(5),
                              .created = int64_t(600100000),
                              .completion = int64_t(600200000),
                              .due = int64_t(600300000)});
        addStoreReminder(db,
                         {.pk = 3, .title = std::string(""), .notes = std::string("an untitled reminder")});
        addStoreReminder(db,
                         {.pk = 4, .title = std::string("Renew passport"), .created = int64_t(600000000)});
        addStoreReminder(db, {.pk = 5, .title = std::string("Fractional creation"), .created = 600400000.75});
        addStoreReminder(db,
                         {.pk = 6, .title = std::string("Book the flights"), .created = int64_t(600000300)});
        db.deleteWhere("ZREMCDOBJECT", "Z_PK in (2, 3, 4, 5)");
    }
    backup.PutStore("store.sqlite", backup.Work("store.sqlite"));
    auto m = backup.Manager();
    EXPECT_TRUE(scanStores(*m));
    expectWellFormed(*m);

    const ReminderRecord* books = findTitle(*m, "Return the library books before Friday");
    ASSERT_NE(nullptr, books);
    EXPECT_TRUE(books->deleted);
    EXPECT_EQ("three of them", books->notes);
    EXPECT_EQ(5, books->priority);
    EXPECT_TRUE(books->completed);
    EXPECT_EQ(unix(600100000), books->date);
    EXPECT_EQ(unix(600300000), books->dueDate);

    const ReminderRecord* frac = findTitle(*m, "Fractional creation");
    ASSERT_NE(nullptr, frac);
    EXPECT_TRUE(frac->deleted);
    EXPECT_EQ(unix(600400000), frac->date);

    EXPECT_EQ(nullptr, findTitle(*m, ""));
    EXPECT_EQ(1, countTitle(*m, "Renew passport"));
    EXPECT_FALSE(findTitle(*m, "Renew passport")->deleted);

    // Deleted first, then the live ones in store order.
    auto recs = records(*m);
    ASSERT_EQ(4u, recs.size());
    EXPECT_TRUE(recs[0]->deleted);
    EXPECT_TRUE(recs[1]->deleted);
    EXPECT_EQ("Renew passport", recs[2]->title);
    EXPECT_EQ("Book the flights", recs[3]->title);
}

// A store without the entity names gives no live rows, but its deleted reminders are
// still carved; a store without the needed columns gives nothing.
TEST(ReminderStoreCarving, StoreWithoutEntityNames) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("store.sqlite"));
        createStoreSchema(db);
        addStoreReminder(db, {.pk = 1, .title = std::string("Live but unnamed entity")});
        addStoreReminder(db, {.pk = 2, .title = std::string("Deleted and carved anyway")});
        db.deleteWhere("ZREMCDOBJECT", "Z_PK = 2");
        db.exec("DELETE FROM Z_PRIMARYKEY");
    }
    {
        kit::FixtureDb db(backup.Work("bare.sqlite"));
        db.exec("CREATE TABLE ZREMCDOBJECT (Z_PK INTEGER PRIMARY KEY, Z_ENT INTEGER, ZTITLE1 VARCHAR);");
        db.insert("ZREMCDOBJECT", {"Z_ENT", "ZTITLE1"}, {int64_t(1), std::string("No columns to carve by")});
        db.deleteWhere("ZREMCDOBJECT", "1");
    }
    backup.PutStore("store.sqlite", backup.Work("store.sqlite"));
    backup.PutStore("bare.sqlite", backup.Work("bare.sqlite"));
    auto m = backup.Manager();
    EXPECT_TRUE(scanStores(*m));
    ASSERT_EQ(1, m->reminderList.count);
    EXPECT_EQ("Deleted and carved anyway", m->reminderList.first->title);
    EXPECT_TRUE(m->reminderList.first->deleted);
}

// No stores at all: nothing read, nothing added, success.
TEST(ReminderStoreBadInput, EmptyOrMissingStoreList) {
    TestBackup backup;
    auto m = backup.Manager();
    EXPECT_TRUE(scanStores(*m));
    EXPECT_EQ(0, m->reminderList.count);
    backup.manifest.noStoreList = true;
    EXPECT_TRUE(scanStores(*m));
    EXPECT_EQ(0, m->reminderList.count);

    CReminderEx orphan(nullptr);
    EXPECT_FALSE(orphan.Scan());
    m->cancelled = true;
    EXPECT_FALSE(scanStores(*m));
}

// Damaged stores and a store path that does not exist: skipped or read as far as they
// go, without a crash and without a change to the backup.
TEST(ReminderStoreBadInput, DamagedStores) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("store.sqlite"));
        createStoreSchema(db);
        for (int i = 1; i <= 150; ++i)
            addStoreReminder(
                db,
                {.pk = i, .title = "Store reminder " + std::to_string(i), .created = int64_t(600000000 + i)});
        db.deleteWhere("ZREMCDOBJECT", "Z_PK % 4 = 0");
    }
    std::string valid;
    {
        std::ifstream in(backup.Work("store.sqlite"), std::ios::binary);
        valid.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string scribbled = valid;
    for (size_t i = 4096; i < scribbled.size(); i += 5)
        scribbled[i] = static_cast<char>(i * 37);
    backup.PutStoreBytes("truncated.sqlite", valid.substr(0, valid.size() / 3));
    backup.PutStoreBytes("scribbled.sqlite", scribbled);
    backup.PutStoreBytes("header-only.sqlite", valid.substr(0, 100));
    backup.manifest.stores.push_back("zz/does-not-exist");
    backup.PutStore("good.sqlite", backup.Work("store.sqlite"));
    auto before = kit::FolderSnapshot::Take(backup.root);
    auto m = backup.Manager();
    EXPECT_TRUE(scanStores(*m));
    expectWellFormed(*m);
    // The intact copy gives every reminder, live and deleted (the damaged copies may add
    // variants of them).
    for (int i = 1; i <= 150; ++i) {
        const std::string title = "Store reminder " + std::to_string(i);
        bool live = false, deleted = false;
        for (const ReminderRecord* r : records(*m)) {
            if (r->title != title) continue;
            (r->deleted ? deleted : live) = true;
        }
        EXPECT_TRUE(i % 4 == 0 ? deleted : live) << title;
    }
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.root).DiffFrom(before));
}

// A store that is a named pipe is refused at once: the scan neither blocks on it nor
// loses the stores after it.
TEST(ReminderStoreBadInput, PipeInPlaceOfAStore) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("store.sqlite"));
        createStoreSchema(db);
        addStoreReminder(db,
                         {.pk = 1, .title = std::string("After the pipe"), .created = int64_t(600000000)});
    }
    const std::string pipe = backup.PutStoreBytes("pipe.sqlite", "");
    kit::PipeWatchdog watchdog(std::chrono::seconds(10));
    ASSERT_TRUE(watchdog.MakePipe(backup.root / pipe));
    backup.PutStore("good.sqlite", backup.Work("store.sqlite"));
    auto m = backup.Manager();
    watchdog.Start();
    EXPECT_TRUE(scanStores(*m));
    EXPECT_FALSE(watchdog.Stop()) << "the scan blocked on the pipe";
    auto recs = records(*m);
    ASSERT_EQ(1u, recs.size());
    EXPECT_EQ("After the pipe", recs[0]->title);
}

// Both reminder parsers fill one list: a store reminder equal to one of the calendar
// database (priority, completed, date, title, notes, location; not the list title) is
// not added twice; deleted reminders of both stay at the head.
TEST(ReminderParsers, DeduplicateAcrossBothParsers) {
    TestBackup backup;
    {
        kit::FixtureDb db(backup.Work("cal.db"));
        createCalendarSchema(db);
        int64_t list = addCalendar(db, "Groceries", 2304);
        addItem(db, {.summary = "Buy bread",
                     .description = std::string("rye"),
                     .startDate = 600000000.0,
                     .completionDate = 600000500.0,
                     .priority = int64_t(1),
                     .calendarId = list});
        addItem(db, {.summary = "Only in the calendar", .startDate = 600000010.0, .calendarId = list});
        int64_t gone = addItem(
            db,
            {.summary = "Deleted in the calendar database", .startDate = 600000020.0, .calendarId = list});
        db.deleteWhere("CalendarItem", "ROWID = " + std::to_string(gone));
    }
    {
        kit::FixtureDb db(backup.Work("store.sqlite"));
        createStoreSchema(db);
        // The same reminder as migrated into the store.
        addStoreReminder(db, {.pk = 1,
                              .title = std::string("Buy bread"),
                              .notes = std::string("rye"),
                              .priority = int64_t(1),
                              .created = int64_t(600000000),
                              .completion = int64_t(600000500),
                              .due = int64_t(600090000)});
        // Same title, other notes: a different reminder.
        addStoreReminder(db, {.pk = 2,
                              .title = std::string("Buy bread"),
                              .notes = std::string("white"),
                              .priority = int64_t(1),
                              .created = int64_t(600000000),
                              .completion = int64_t(600000500)});
        addStoreReminder(
            db, {.pk = 3, .title = std::string("Deleted in the store"), .created = int64_t(600000030)});
        db.deleteWhere("ZREMCDOBJECT", "Z_PK = 3");
    }
    backup.PutCalendar(backup.Work("cal.db"));
    backup.PutStore("store.sqlite", backup.Work("store.sqlite"));
    auto m = backup.Manager();
    {
        CReminder calendar(m.get());
        EXPECT_TRUE(calendar.Scan());
    }
    {
        CReminderEx stores(m.get());
        EXPECT_TRUE(stores.Scan());
    }
    expectWellFormed(*m);
    auto recs = records(*m);
    ASSERT_EQ(5u, recs.size());
    EXPECT_EQ("Deleted in the store", recs[0]->title);
    EXPECT_TRUE(recs[0]->deleted);
    EXPECT_EQ("Deleted in the calendar database", recs[1]->title);
    EXPECT_TRUE(recs[1]->deleted);
    EXPECT_EQ("Buy bread", recs[2]->title);
    EXPECT_EQ("rye", recs[2]->notes);
    EXPECT_EQ("Groceries", recs[2]->listTitle); // the calendar database's record stays
    EXPECT_EQ(0, recs[2]->dueDate);
    EXPECT_EQ("Only in the calendar", recs[3]->title);
    EXPECT_EQ("Buy bread", recs[4]->title);
    EXPECT_EQ("white", recs[4]->notes);
    EXPECT_EQ("", recs[4]->listTitle);
}

} // namespace
