#pragma once
// Backup folder, manifest stand-in and database schemas shared by the tests of the two
// reminder parsers (the calendar database and the Reminders stores).
#include "core/records/IScanProgress.h"
#include "core/records/ReminderRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/DevicePathManifest.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/kit/SystemSchemas.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace remindertest {

namespace fs = std::filesystem;

constexpr int64_t kApple = 978307200; // Apple epoch in Unix seconds

class NullProgress : public IScanProgress {
  public:
    void OnScanData(int, void*) override {}
    void OnProgress(int, int, int, int, int, int, int) override {}
};

// A backup folder laid out like an iOS 10+ one: stored files named in lower-case hex
// inside two-character subfolders.
class TestBackup {
  public:
    TestBackup() : dir(scratch.path()), root(dir / "backup") {
        fs::create_directories(root);
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "work");
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

    kit::ScratchFolder scratch{"remindertest"};
    fs::path dir;
    fs::path root;
    kit::DevicePathManifest manifest;
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

// ---- Calendar.sqlitedb and the Reminders stores: schemas and rows from the kit ----

using kit::addAlarm;
using kit::addCalendar;
using kit::addItem;
using kit::addLocation;
using kit::addStoreAlarm;
using kit::addStoreReminder;
using kit::addStoreTrigger;
using kit::CalendarItem;
using kit::CalendarSchema;
using kit::createCalendarSchema;
using kit::createStoreSchema;
using kit::StoreEntities;
using kit::StoreReminder;

} // namespace remindertest
