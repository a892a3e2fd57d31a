#pragma once
// Backup folder, manifest stand-in and database schemas shared by the tests of the two
// reminder parsers (the calendar database and the Reminders stores).
#include "core/IFileParser.h"
#include "core/IScanProgress.h"
#include "core/ReminderRecord.h"
#include "scan/CScanManager.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace remindertest {

namespace fs = std::filesystem;

constexpr int64_t kApple = 978307200; // Apple epoch in Unix seconds

inline fs::path testDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    fs::path d = fs::temp_directory_path() / ("remindertest_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

// Answers device-path lookups and the Reminders store list with what a test filed.
class FakeManifest : public IFileParser {
  public:
    void Add(int category, const std::string& devicePath, const std::string& storedPath) {
        paths[{category, devicePath}] = storedPath;
    }
    bool GetBackupFileName(int category, const char* devicePath, std::string* out) override {
        ++lookups;
        auto it = paths.find({category, devicePath ? devicePath : ""});
        if (it == paths.end()) return false;
        *out = it->second;
        return true;
    }
    const BackupEntryList* GetEntryList(int) override { return nullptr; }
    const WxAccountList* ScanWeChatAccounts() override { return nullptr; }
    const WxAccountList* GetWeChatAccounts() override { return nullptr; }
    const WaStoreList* ScanWhatsApp() override { return nullptr; }
    const WaStoreList* GetWhatsAppStores() override { return nullptr; }
    const std::vector<std::string>* GetReminderStores() override { return noStoreList ? nullptr : &stores; }

    std::vector<std::string> stores;
    bool noStoreList = false;
    int lookups = 0;

  private:
    std::map<std::pair<int, std::string>, std::string> paths;
};

class NullProgress : public IScanProgress {
  public:
    void OnScanData(int, void*) override {}
    void OnProgress(int, int, int, int, int, int, int) override {}
};

// A backup folder laid out like an iOS 10+ one: stored files named in lower-case hex
// inside two-character subfolders.
class TestBackup {
  public:
    TestBackup() : dir(testDir()), root(dir / "backup") {
        fs::create_directories(root);
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "work");
    }
    ~TestBackup() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Stored path for a name: 40 lower-case hex digits derived from it, in a subfolder.
    static std::string StoredPathOf(const std::string& name) {
        static const char hex[] = "0123456789abcdef";
        uint64_t h = 1469598103934665603ull;
        for (unsigned char c : name)
            h = (h ^ c) * 1099511628211ull;
        std::string s;
        for (int i = 0; i < 40; ++i) {
            s += hex[(h >> ((i % 16) * 4)) & 0xf];
            if (i % 16 == 15) h = h * 6364136223846793005ull + 1442695040888963407ull;
        }
        return s.substr(0, 2) + "/" + s;
    }

    // Copies a file into the backup under the stored path of `name`.
    std::string Put(const std::string& name, const fs::path& source) {
        std::string stored = StoredPathOf(name);
        fs::create_directories((root / stored).parent_path());
        fs::copy_file(source, root / stored, fs::copy_options::overwrite_existing);
        return stored;
    }
    std::string PutBytes(const std::string& name, const std::string& bytes) {
        std::string stored = StoredPathOf(name);
        fs::create_directories((root / stored).parent_path());
        std::ofstream(root / stored, std::ios::binary | std::ios::trunc) << bytes;
        return stored;
    }

    // The calendar database, filed where the calendar-database reminders parser looks.
    std::string PutCalendar(const fs::path& source) {
        std::string stored = Put("Calendar.sqlitedb", source);
        manifest.Add(CategoryCalendarReminders, "/var/mobile/Library/Calendar/Calendar.sqlitedb", stored);
        return stored;
    }
    // A file of the Reminders store folder, appended to the store list.
    std::string PutStore(const std::string& name, const fs::path& source) {
        std::string stored = Put("Stores/" + name, source);
        manifest.stores.push_back(stored);
        return stored;
    }
    std::string PutStoreBytes(const std::string& name, const std::string& bytes) {
        std::string stored = PutBytes("Stores/" + name, bytes);
        manifest.stores.push_back(stored);
        return stored;
    }

    fs::path Work(const std::string& name) const { return dir / "work" / name; }

    std::unique_ptr<CScanManager> Manager() {
        std::string backupDir = root.string() + "/";
        return std::make_unique<CScanManager>(0x10, (dir / "out").string().c_str(), backupDir.c_str(), 14,
                                              &progress, &manifest);
    }

    fs::path dir;
    fs::path root;
    FakeManifest manifest;
    NullProgress progress;
};

inline std::vector<const ReminderRecord*> records(const CScanManager& m) {
    std::vector<const ReminderRecord*> out;
    for (const ReminderRecord* r = m.reminderList.first; r; r = r->next)
        out.push_back(r);
    return out;
}

inline const ReminderRecord* findTitle(const CScanManager& m, const std::string& title) {
    for (const ReminderRecord* r = m.reminderList.first; r; r = r->next)
        if (r->title == title) return r;
    return nullptr;
}

inline int countTitle(const CScanManager& m, const std::string& title) {
    int n = 0;
    for (const ReminderRecord* r = m.reminderList.first; r; r = r->next)
        if (r->title == title) ++n;
    return n;
}

// The list's links and count agree.
inline void expectWellFormed(const CScanManager& m) {
    int n = 0;
    const ReminderRecord* prev = nullptr;
    for (const ReminderRecord* r = m.reminderList.first; r; r = r->next) {
        EXPECT_EQ(prev, r->prev);
        prev = r;
        ++n;
    }
    EXPECT_EQ(prev, m.reminderList.last);
    EXPECT_EQ(n, m.reminderList.count);
}

// ---- Calendar.sqlitedb ----

struct CalendarSchema {
    bool location = true;
    bool alarm = true;
    // "calendaritem_owner_id" on current devices, "owner_id" on older ones.
    std::string alarmOwnerColumn = "calendaritem_owner_id";
    // Declared type of the date columns; REAL on devices, a TIMESTAMP column keeps
    // whole seconds as INTEGER.
    std::string dateType = "REAL";
};

inline void createCalendarSchema(kit::FixtureDb& db, const CalendarSchema& s = {}) {
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

inline int64_t addCalendar(kit::FixtureDb& db, const std::string& title, int64_t flags) {
    return db.insert("Calendar", {"store_id", "title", "flags", "color", "type", "UUID"},
                     {int64_t(1), title, flags, std::string("#FF2968"), std::string("local"),
                      std::string("6F9619FF-8B86-D011-B42D-00C04FC964FF")});
}

struct CalendarItem {
    std::string summary;
    kit::Value description = nullptr;
    kit::Value startDate = 600000000.0; // Apple seconds
    kit::Value completionDate = nullptr;
    kit::Value priority = int64_t(0);
    kit::Value calendarId = int64_t(1);
    int64_t entityType = 3;
};

inline int64_t addItem(kit::FixtureDb& db, const CalendarItem& it) {
    return db.insert("CalendarItem",
                     {"summary", "location_id", "description", "start_date", "start_tz", "end_date",
                      "all_day", "calendar_id", "status", "availability", "UUID", "entity_type", "priority",
                      "due_date", "completion_date", "creation_date", "display_order"},
                     {it.summary, int64_t(0), it.description, it.startDate, std::string("Europe/Berlin"),
                      nullptr, int64_t(0), it.calendarId, int64_t(0), int64_t(0),
                      std::string("1B4E28BA-2FA1-11D2-883F-0016D3CCA427"), it.entityType, it.priority,
                      nullptr, it.completionDate, 599999000.0, int64_t(0)});
}

inline int64_t addLocation(kit::FixtureDb& db, const kit::Value& title) {
    return db.insert("Location", {"title", "address", "latitude", "longitude", "radius"},
                     {title, std::string("somewhere"), 52.52, 13.40, 100.0});
}

inline void addAlarm(kit::FixtureDb& db, const std::string& ownerColumn, int64_t locationId, int64_t owner) {
    db.insert("Alarm", {"trigger_interval", "type", "proximity", "location_id", ownerColumn, "UUID"},
              {int64_t(0), int64_t(0), int64_t(1), locationId, owner,
               std::string("3F2504E0-4F89-11D3-9A0C-0305E82C3301")});
}

// ---- Reminders store (Core Data) ----

struct StoreEntities {
    int64_t reminder = 22, alarm = 11, locationTrigger = 14;
};

inline void createStoreSchema(kit::FixtureDb& db, const StoreEntities& e = {}) {
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

struct StoreReminder {
    int64_t pk = 0; // 0: let SQLite choose
    kit::Value title = std::string("reminder");
    kit::Value notes = nullptr;
    kit::Value priority = int64_t(0);
    kit::Value created = int64_t(600000000); // Apple seconds
    kit::Value completion = nullptr;
    kit::Value due = nullptr;
    kit::Value marked = int64_t(0);
};

inline int64_t addStoreReminder(kit::FixtureDb& db, const StoreReminder& r, const StoreEntities& e = {}) {
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
    std::vector<kit::Value> vals = {e.reminder,
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
                                    kit::Blob{std::string(16, '\x5a')}};
    if (r.pk > 0) {
        cols.insert(cols.begin(), "Z_PK");
        vals.insert(vals.begin(), r.pk);
    }
    return db.insert("ZREMCDOBJECT", cols, vals);
}

inline void addStoreAlarm(kit::FixtureDb& db, int64_t pk, int64_t reminderPk, int64_t triggerPk,
                          const StoreEntities& e = {}) {
    db.insert("ZREMCDOBJECT", {"Z_PK", "Z_ENT", "Z_OPT", "ZREMINDER", "ZTRIGGER"},
              {pk, e.alarm, int64_t(1), reminderPk, triggerPk});
}

inline void addStoreTrigger(kit::FixtureDb& db, int64_t pk, const std::string& address,
                            const StoreEntities& e = {}) {
    db.insert("ZREMCDOBJECT", {"Z_PK", "Z_ENT", "Z_OPT", "ZADDRESS"},
              {pk, e.locationTrigger, int64_t(1), address});
}

} // namespace remindertest
