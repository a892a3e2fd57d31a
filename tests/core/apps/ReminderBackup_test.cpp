// Both reminder parsers over a whole backup folder of either generation, found through
// the real manifest reader: the calendar database by device path, the Reminders stores
// by their folder (with the write-ahead log, shared-memory file and folder entries that
// sit beside them), and the backup left exactly as it was.
#include "core/apps/CReminder.h"
#include "core/apps/CReminderEx.h"
#include "core/backup/CMbdbFileParser.h"
#include "tests/core/apps/ReminderFixtures.h"
#include "tests/kit/BackupBuilder.h"

#include <gtest/gtest.h>

using namespace remindertest;
using Generation = kit::BackupBuilder::Generation;

namespace {

class ReminderBackup : public ::testing::TestWithParam<Generation> {};

TEST_P(ReminderBackup, BothParsersOverARealManifest) {
    kit::ScratchFolder scratch("remindertest");
    const fs::path dir = scratch.path();
    fs::path work = dir / "work";
    fs::path root = dir / "backup";
    fs::create_directories(work);
    fs::create_directories(dir / "out");
    {
        kit::FixtureDb db(work / "cal.db");
        createCalendarSchema(db);
        int64_t list = addCalendar(db, "Shopping", 2304);
        int64_t id = addItem(db, {.summary = "Buy stamps", .startDate = 600000000.0, .calendarId = list});
        addAlarm(db, "calendaritem_owner_id", addLocation(db, std::string("Post office")), id);
        int64_t gone = addItem(db, {.summary = "A deleted calendar reminder", .calendarId = list});
        db.deleteWhere("CalendarItem", "ROWID = " + std::to_string(gone));
    }
    {
        kit::FixtureDb db(work / "store.sqlite");
        createStoreSchema(db);
        addStoreReminder(db,
                         {.pk = 1, .title = std::string("Water the garden"), .created = int64_t(600000100)});
        addStoreAlarm(db, 2, 1, 3);
        addStoreTrigger(db, 3, "12 Garden Lane");
        addStoreReminder(db, {.pk = 4, .title = std::string("A deleted store reminder")});
        db.deleteWhere("ZREMCDOBJECT", "Z_PK = 4");
    }
    {
        kit::FixtureDb db(work / "other.sqlite");
        createStoreSchema(db);
        addStoreReminder(
            db, {.pk = 1, .title = std::string("From the second store"), .created = int64_t(600000200)});
    }

    kit::BackupBuilder builder(root, GetParam());
    builder.AddFileFrom("HomeDomain", "Library/Calendar/Calendar.sqlitedb", work / "cal.db");
    const std::string stores = "Library/Reminders/Container_v1/Stores";
    builder.AddFolder("HomeDomain", stores);
    builder.AddFileFrom("HomeDomain", stores + "/Data-local.sqlite", work / "store.sqlite");
    builder.AddFile("HomeDomain", stores + "/Data-local.sqlite-wal", std::string(64, '\x37'));
    builder.AddFile("HomeDomain", stores + "/Data-local.sqlite-shm", std::string(32768, '\0'));
    builder.AddFileFrom("HomeDomain", stores + "/Data-0A1B2C3D.sqlite", work / "other.sqlite");
    builder.Finish();

    CMbdbFileParser manifest;
    ASSERT_TRUE(manifest.Open(builder.ManifestPath().c_str(), root.c_str(), builder.IosMajorVersion()));
    ASSERT_NE(nullptr, manifest.GetReminderStores());
    EXPECT_LE(4u, manifest.GetReminderStores()->size());

    auto before = kit::FolderSnapshot::Take(root);
    NullProgress progress;
    std::string backupDir = root.string() + "/";
    CScanManager m(0x10, (dir / "out").string().c_str(), backupDir.c_str(), builder.IosMajorVersion(),
                   &progress, &manifest);
    {
        CReminder calendar(&m);
        EXPECT_TRUE(calendar.Scan());
    }
    {
        CReminderEx storesParser(&m);
        EXPECT_TRUE(storesParser.Scan());
    }
    expectWellFormed(m);

    auto recs = records(m);
    ASSERT_EQ(5u, recs.size());
    EXPECT_TRUE(recs[0]->deleted);
    EXPECT_EQ("A deleted store reminder", recs[0]->title);
    EXPECT_TRUE(recs[1]->deleted);
    EXPECT_EQ("A deleted calendar reminder", recs[1]->title);
    EXPECT_EQ("Shopping", recs[1]->listTitle);
    EXPECT_EQ("Buy stamps", recs[2]->title);
    EXPECT_EQ("Post office", recs[2]->location);
    EXPECT_EQ("Shopping", recs[2]->listTitle);
    // The two stores come in manifest order.
    const ReminderRecord* garden = findTitle(m, "Water the garden");
    ASSERT_NE(nullptr, garden);
    EXPECT_FALSE(garden->deleted);
    EXPECT_EQ("12 Garden Lane", garden->location);
    const ReminderRecord* second = findTitle(m, "From the second store");
    ASSERT_NE(nullptr, second);
    EXPECT_FALSE(second->deleted);
    EXPECT_EQ("", second->location);
    EXPECT_EQ(600000200 + kApple, second->date);

    EXPECT_EQ("", kit::FolderSnapshot::Take(root).DiffFrom(before));
}

INSTANTIATE_TEST_SUITE_P(Generations, ReminderBackup,
                         ::testing::Values(Generation::Mbdb, Generation::ManifestDb), [](const auto& info) {
                             return info.param == Generation::Mbdb ? "Mbdb" : "ManifestDb";
                         });

} // namespace
