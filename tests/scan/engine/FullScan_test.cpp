// The whole system-app scan over a backup folder written by the kit: the real manifest
// reader, the scan manager with its default parser steps and every system database of
// the backup's generation. Each data type is reported once, in order, with its live and
// deleted records; calls and messages carry contact names; the contact photo lands in
// the output folder; a stop from inside a parser and a backup whose every database is
// damaged still end the scan cleanly; the backup folder is never touched.
#include "core/backup/CMbdbFileParser.h"
#include "core/records/BookmarkRecord.h"
#include "core/records/CalendarRecord.h"
#include "core/records/CallRecord.h"
#include "core/records/ContactRecord.h"
#include "core/records/IScanProgress.h"
#include "core/records/NoteRecord.h"
#include "core/records/ReminderRecord.h"
#include "core/records/SmsConversationRecord.h"
#include "core/records/SmsMessageRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/SampleDatabases.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Generation = kit::BackupBuilder::Generation;

namespace {

constexpr int kSystemTypes = 0x7f;
// The order in which the scan reports the system data types, then the end.
const std::vector<int> kReportOrder = {0x8, 0x40, 0x10, 0x20, 0x4, 0x2, 0x1, 0};

// Records every call of both operations, in the order they came.
class Recorder : public IScanProgress {
  public:
    struct Event {
        bool data; // OnScanData, else OnProgress
        int dataType;
        void* records; // OnScanData
        int stage, done, total, stepDone, stepTotal, accountIndex;
    };

    void OnScanData(int dataType, void* records) override {
        events.push_back({true, dataType, records, 0, 0, 0, 0, 0, 0});
    }
    void OnProgress(int dataType, int stage, int done, int total, int stepDone, int stepTotal,
                    int accountIndex) override {
        events.push_back({false, dataType, nullptr, stage, done, total, stepDone, stepTotal, accountIndex});
        if (onProgress) onProgress(events.back());
    }

    std::vector<Event> Reports() const {
        std::vector<Event> out;
        for (const Event& e : events)
            if (e.data) out.push_back(e);
        return out;
    }
    std::vector<int> ReportTypes() const {
        std::vector<int> out;
        for (const Event& e : Reports())
            out.push_back(e.dataType);
        return out;
    }
    void* ReportedList(int dataType) const {
        for (const Event& e : events)
            if (e.data && e.dataType == dataType) return e.records;
        return nullptr;
    }

    std::vector<Event> events;
    std::function<void(const Event&)> onProgress;
};

struct Counted {
    int live = 0, deleted = 0;
    bool deletedFirst = true;
    bool linksAgree = true;
};

// Live and deleted records of a list, whether every deleted record precedes every
// live one, and whether links and count agree.
template <class T> Counted countList(const RecordList<T>& list) {
    Counted c;
    bool seenLive = false;
    const T* prev = nullptr;
    int n = 0;
    for (const T* r = list.first; r; r = r->next) {
        if (r->prev != prev) c.linksAgree = false;
        prev = r;
        ++n;
        if (r->deleted) {
            ++c.deleted;
            if (seenLive) c.deletedFirst = false;
        } else {
            ++c.live;
            seenLive = true;
        }
    }
    if (prev != list.last || n != list.count) c.linksAgree = false;
    return c;
}

#define EXPECT_COUNTS(expected, list, what)                                                                  \
    do {                                                                                                     \
        Counted got_ = countList(list);                                                                      \
        EXPECT_EQ((expected).live, got_.live) << what << ": live records";                                   \
        EXPECT_EQ((expected).deleted, got_.deleted) << what << ": deleted records";                          \
        EXPECT_TRUE(got_.deletedFirst) << what << ": a deleted record after a live one";                     \
        EXPECT_TRUE(got_.linksAgree) << what << ": links and count disagree";                                \
    } while (0)

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string noise(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xff);
    return s;
}

std::vector<fs::path> regularFiles(const fs::path& root) {
    std::vector<fs::path> out;
    std::error_code ec;
    if (!fs::exists(root, ec)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) out.push_back(fs::relative(e.path(), root));
    return out;
}

struct Case {
    const char* name;
    Generation generation;
    const char* productVersion;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class FullScan : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir = fs::temp_directory_path() / ("fullscan_" + name + "_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // A fresh backup of the case's generation holding every system database.
    void Build(int scale = 1) {
        fs::remove_all(Root());
        fs::remove_all(Output());
        fs::create_directories(Output());
        kit::BackupBuilder builder(Root(), GetParam().generation);
        builder.SetProductVersion(GetParam().productVersion);
        expected = kit::AddSystemDatabases(builder, scale);
        builder.Finish();
        ios = builder.IosMajorVersion();
        manifestPath = builder.ManifestPath();
    }

    // Opens the manifest with the real reader and runs the whole scan of the system types.
    void Run() {
        before = kit::FolderSnapshot::Take(Root());
        files = std::make_unique<CMbdbFileParser>();
        EXPECT_TRUE(files->Open(manifestPath.c_str(), Root().c_str(), ios));
        manager = std::make_unique<CScanManager>(kSystemTypes, Output().c_str(), Root().c_str(), ios,
                                                 &recorder, files.get());
        manager->Scan();
    }

    fs::path Root() const { return dir / "backup"; }
    fs::path Output() const { return dir / "output"; }

    void ExpectReportsInOrder() {
        EXPECT_EQ(kReportOrder, recorder.ReportTypes());
        auto reports = recorder.Reports();
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(nullptr, reports.back().records) << "the end report carries no list";
        // Each report hands over the head of the scan manager's own list.
        const CScanManager& m = *manager;
        EXPECT_EQ(static_cast<void*>(m.bookmarkList.first), recorder.ReportedList(0x8));
        EXPECT_EQ(static_cast<void*>(m.calendarList.first), recorder.ReportedList(0x40));
        EXPECT_EQ(static_cast<void*>(m.reminderList.first), recorder.ReportedList(0x10));
        EXPECT_EQ(static_cast<void*>(m.noteList.first), recorder.ReportedList(0x20));
        EXPECT_EQ(static_cast<void*>(m.contactList.first), recorder.ReportedList(0x4));
        EXPECT_EQ(static_cast<void*>(m.callList.first), recorder.ReportedList(0x2));
        EXPECT_EQ(static_cast<void*>(m.smsList.first), recorder.ReportedList(0x1));
    }

    // Progress of a parser comes while it runs (before its list is reported, after the
    // previous list), and every figure stays within its total.
    void ExpectProgressSane() {
        size_t reportIndex = 0;
        for (const Recorder::Event& e : recorder.events) {
            if (e.data) {
                ++reportIndex;
                continue;
            }
            ASSERT_LT(reportIndex, kReportOrder.size() - 1) << "progress after the last list";
            // Contacts run for the call and SMS types too, before the contacts list.
            EXPECT_EQ(kReportOrder[reportIndex], e.dataType)
                << "progress of type " << e.dataType << " while waiting for " << kReportOrder[reportIndex];
            EXPECT_TRUE(e.stage == 2 || e.stage == 3) << e.stage;
            EXPECT_GE(e.done, 0);
            EXPECT_LE(e.done, e.total) << "type " << e.dataType << " stage " << e.stage;
            EXPECT_GE(e.stepDone, 0);
            EXPECT_LE(e.stepDone, e.stepTotal) << "type " << e.dataType;
            EXPECT_EQ(0, e.accountIndex);
        }
    }

    void ExpectEverythingFound() {
        const CScanManager& m = *manager;
        EXPECT_COUNTS(expected.bookmarks, m.bookmarkList, "bookmarks");
        EXPECT_COUNTS(expected.calendar, m.calendarList, "calendar");
        EXPECT_COUNTS(expected.reminders, m.reminderList, "reminders");
        EXPECT_COUNTS(expected.notes, m.noteList, "notes");
        EXPECT_COUNTS(expected.contacts, m.contactList, "contacts");
        EXPECT_COUNTS(expected.calls, m.callList, "calls");
        EXPECT_COUNTS(expected.smsConversations, m.smsList, "conversations");

        // Contacts: one per expected number, with its name.
        for (const ContactRecord* c = m.contactList.first; c; c = c->next) {
            auto it = expected.contactNames.find(c->phone);
            if (it == expected.contactNames.end()) {
                ADD_FAILURE() << "unexpected contact " << c->phone << " '" << c->name << "'";
                continue;
            }
            EXPECT_EQ(it->second, c->name) << c->phone;
        }

        // Calls and conversations are named after the contacts.
        int namedCalls = 0;
        for (const CallRecord* c = m.callList.first; c; c = c->next) {
            auto it = expected.contactNames.find(c->number);
            EXPECT_EQ(it == expected.contactNames.end() ? "" : it->second, c->name) << c->number;
            namedCalls += !c->name.empty();
        }
        EXPECT_EQ(expected.namedCalls, namedCalls);
        int namedConversations = 0, unaddressed = 0;
        kit::SampleCounts messages;
        for (const SmsConversationRecord* c = m.smsList.first; c; c = c->next) {
            auto it = expected.contactNames.find(c->address);
            EXPECT_EQ(it == expected.contactNames.end() ? "" : it->second, c->contactName)
                << "conversation '" << c->address << "'";
            unaddressed += c->address.empty();
            namedConversations += !c->contactName.empty();
            Counted inner = countList(c->messages);
            EXPECT_TRUE(inner.deletedFirst) << c->address;
            EXPECT_TRUE(inner.linksAgree) << c->address;
            EXPECT_EQ(inner.deleted > 0, c->deleted) << c->address;
            messages.live += inner.live;
            messages.deleted += inner.deleted;
        }
        EXPECT_EQ(expected.namedConversations, namedConversations);
        EXPECT_EQ(expected.unaddressedConversations, unaddressed);
        EXPECT_EQ(expected.smsMessages.live, messages.live);
        EXPECT_EQ(expected.smsMessages.deleted, messages.deleted);

        // The contact photo, under the output folder and nowhere else.
        const fs::path photo = Output() / expected.photoFile;
        EXPECT_EQ(expected.photoBytes, readFile(photo));
        EXPECT_EQ(std::vector<fs::path>{fs::path(expected.photoFile)}, regularFiles(Output()));
        int withPhoto = 0;
        for (const ContactRecord* c = m.contactList.first; c; c = c->next) {
            if (c->imagePath.empty()) continue;
            ++withPhoto;
            EXPECT_TRUE(fs::equivalent(photo, c->imagePath)) << c->imagePath;
        }
        EXPECT_LE(1, withPhoto) << "no contact refers to its photo";
    }

    void ExpectBackupUnchanged() { EXPECT_EQ("", kit::FolderSnapshot::Take(Root()).DiffFrom(before)); }

    fs::path dir;
    fs::path manifestPath;
    int ios = 0;
    kit::SampleDatabases expected;
    kit::FolderSnapshot before;
    Recorder recorder;
    std::unique_ptr<CMbdbFileParser> files;
    std::unique_ptr<CScanManager> manager;
};

TEST_P(FullScan, EveryDataTypeOnceInOrderWithLiveAndDeletedRecords) {
    Build();
    Run();
    ExpectReportsInOrder();
    ExpectProgressSane();
    ExpectEverythingFound();
    ExpectBackupUnchanged();
}

TEST_P(FullScan, ExpectedCountsHoldAtScale) {
    Build(6);
    ASSERT_EQ(6 * 2, expected.bookmarks.deleted);
    Run();
    ExpectReportsInOrder();
    ExpectEverythingFound();
    ExpectBackupUnchanged();
}

TEST_P(FullScan, StopDuringTheNotesParserStillEndsTheScan) {
    Build();
    bool stopped = false;
    recorder.onProgress = [&](const Recorder::Event& e) {
        if (e.dataType == 0x20 && !stopped) {
            stopped = true;
            manager->Stop(false);
        }
    };
    Run();
    EXPECT_TRUE(stopped);
    // Every chosen type is still reported, then the end.
    EXPECT_EQ(kReportOrder, recorder.ReportTypes());
    auto reports = recorder.Reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(nullptr, reports.back().records);
    const CScanManager& m = *manager;
    // The parsers before the stop finished; the ones after it never ran.
    EXPECT_COUNTS(expected.bookmarks, m.bookmarkList, "bookmarks");
    EXPECT_COUNTS(expected.calendar, m.calendarList, "calendar");
    EXPECT_COUNTS(expected.reminders, m.reminderList, "reminders");
    Counted notes = countList(m.noteList);
    EXPECT_TRUE(notes.linksAgree);
    EXPECT_TRUE(notes.deletedFirst);
    EXPECT_GE(expected.notes.total(), notes.live + notes.deleted);
    EXPECT_EQ(0, m.contactList.count);
    EXPECT_EQ(0, m.callList.count);
    EXPECT_EQ(0, m.smsList.count);
    for (const Recorder::Event& e : recorder.events)
        EXPECT_FALSE(!e.data && (e.dataType == 0x4 || e.dataType == 0x2 || e.dataType == 0x1))
            << "progress of type " << e.dataType << " after the stop";
    EXPECT_TRUE(regularFiles(Output()).empty()) << "the contacts parser ran after the stop";
    ExpectBackupUnchanged();
}

// Every database file of the backup damaged one way (the manifest kept): the scan
// reports every type with an empty list, writes nothing and ends.
TEST_P(FullScan, DamagedDatabasesGiveEmptyListsAndTheScanEnds) {
    struct Damage {
        const char* name;
        std::function<std::string(const std::string&, uint32_t)> apply;
    };
    const Damage damages[] = {
        {"emptied", [](const std::string&, uint32_t) { return std::string(); }},
        {"header only", [](const std::string& s, uint32_t) { return s.substr(0, 100); }},
        {"cut inside the first page", [](const std::string& s, uint32_t) { return s.substr(0, 1500); }},
        {"all noise", [](const std::string& s, uint32_t seed) { return noise(s.size(), seed); }},
        {"schema page kept, the rest noise",
         [](const std::string& s, uint32_t seed) {
             const size_t keep = std::min<size_t>(s.size(), 4096);
             return s.substr(0, keep) + noise(s.size() - keep, seed);
         }},
        {"last page cut in half and the pages before it noise",
         [](const std::string& s, uint32_t seed) {
             const size_t keep = std::min<size_t>(s.size(), 4096);
             std::string out = s.substr(0, keep) + noise(s.size() > keep ? s.size() - keep : 0, seed);
             return out.substr(0, out.size() - std::min<size_t>(out.size(), 2048));
         }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.name);
        Build();
        uint32_t seed = 1;
        for (const std::string& stored : expected.databaseFiles) {
            const fs::path p = Root() / stored;
            writeFile(p, d.apply(readFile(p), seed++));
        }
        recorder = Recorder();
        Run();
        EXPECT_EQ(kReportOrder, recorder.ReportTypes());
        for (const Recorder::Event& e : recorder.Reports())
            EXPECT_EQ(nullptr, e.records) << "type " << e.dataType << " found records in a damaged database";
        const CScanManager& m = *manager;
        EXPECT_EQ(0, m.bookmarkList.count + m.calendarList.count + m.reminderList.count + m.noteList.count +
                         m.contactList.count + m.callList.count + m.smsList.count);
        EXPECT_TRUE(regularFiles(Output()).empty());
        ExpectBackupUnchanged();
        manager.reset();
    }
}

INSTANTIATE_TEST_SUITE_P(Generations, FullScan,
                         ::testing::Values(Case{"Mbdb_9_3", Generation::Mbdb, "9.3.5"},
                                           Case{"ManifestDb_14", Generation::ManifestDb, "14.2"},
                                           Case{"Mbdb_8_4", Generation::Mbdb, "8.4.1"},
                                           Case{"Mbdb_4_3", Generation::Mbdb, "4.3.5"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
