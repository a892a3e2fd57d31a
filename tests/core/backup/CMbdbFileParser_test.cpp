#include "core/backup/CMbdbFileParser.h"

#include "core/backup/BackupFileRecord.h"
#include "core/sqlite/SqliteReadOnly.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/RecordDamage.h"

#include <gtest/gtest.h>
#include <plist/plist.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

namespace fs = std::filesystem;
using Generation = kit::BackupBuilder::Generation;

namespace {

fs::path tempDir(const std::string& name) {
    fs::path d = fs::temp_directory_path() / ("mbdb_test_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(d);
    fs::create_directories(d);
    return d;
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string plistBinary(plist_t root) {
    char* data = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &data, &length);
    std::string out(data, length);
    free(data);
    plist_free(root);
    return out;
}

const char* kSms = "/var/mobile/Library/SMS/sms.db";

// The manifest reader over a kit-built backup of one generation.
class ManifestReader : public testing::TestWithParam<Generation> {
  protected:
    void SetUp() override {
        root = tempDir(GetParam() == Generation::Mbdb ? "mbdb" : "db");
        builder = std::make_unique<kit::BackupBuilder>(root, GetParam());
    }
    void TearDown() override { fs::remove_all(root); }

    bool OpenBackup(CMbdbFileParser& parser, std::vector<int>* progress = nullptr) {
        before = kit::FolderSnapshot::Take(root);
        CMbdbFileParser::ProgressCallback cb;
        if (progress) cb = [progress](int p) { progress->push_back(p); };
        bool ok = parser.Open(builder->ManifestPath().c_str(), root.c_str(), builder->IosMajorVersion(), cb);
        EXPECT_EQ("", kit::FolderSnapshot::Take(root).DiffFrom(before));
        return ok;
    }

    void AddTypicalBackup() {
        builder->AddFile("HomeDomain", "Library/SMS/sms.db", "sms", 1, 2, 3);
        builder->AddFile("HomeDomain", "Library/SMS/Attachments/ab/01/IMG_1.jpeg", "jpeg");
        builder->AddFile("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb", "ab");
        builder->AddFile("HomeDomain", "Library/CallHistoryDB/CallHistory.storedata", "calls");
        builder->AddFile("WirelessDomain", "Library/CallHistory/call_history.db", "old calls");
        builder->AddFile("HomeDomain", "Library/Notes/notes.sqlite", "notes");
        builder->AddFile("AppDomainGroup-group.com.apple.notes", "NoteStore.sqlite", "notestore");
        builder->AddFile("HomeDomain", "Library/Safari/Bookmarks.db", "bm");
        builder->AddFile("HomeDomain", "Library/Calendar/Calendar.sqlitedb", "cal");
        builder->AddFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", "photo", 10, 20, 30);
        builder->AddFile("AppDomain-com.tencent.xin", "Documents/abc/DB/MM.sqlite", "wx");
        builder->AddFile("AppDomainGroup-group.net.whatsapp.WhatsApp.shared", "ChatStorage.sqlite", "wa");
        builder->AddFile("AppDomainGroup-group.net.whatsapp.WhatsApp.shared", "ChatStorage.sqlite-wal",
                         "wal");
        builder->AddFile("AppDomainGroup-group.net.whatsapp.WhatsApp.shared", "Second/ChatStorage.sqlite",
                         "wa2");
        builder->AddFile("HomeDomain", "Library/Reminders/Container_v1/Stores/Data-1.sqlite", "rem");
        builder->AddFile("AppDomainPlugin-com.apple.x", "Library/Prefs.plist", "unknown domain");
        builder->AddFile("HomeDomain", "Library/Preferences/com.apple.x.plist", "uncategorised");
        builder->AddFolder("HomeDomain", "Library/SMS");
        builder->AddFolder("HomeDomain", "Library/Safari");
        builder->Finish();
    }

    fs::path root;
    std::unique_ptr<kit::BackupBuilder> builder;
    kit::FolderSnapshot before;
};

std::vector<std::string> devicePaths(const BackupEntryList* list) {
    std::vector<std::string> r;
    if (list) {
        for (const BackupFileRecord* e : *list)
            r.push_back(e->devicePath);
    }
    return r;
}

} // namespace

TEST_P(ManifestReader, MapsTheMessagesDatabaseToAStoredFileOnDisk) {
    AddTypicalBackup();
    CMbdbFileParser parser;
    ASSERT_TRUE(OpenBackup(parser));

    std::string stored;
    ASSERT_TRUE(parser.GetBackupFileName(CategorySms, kSms, &stored));
    EXPECT_EQ(builder->StoredPath("HomeDomain", "Library/SMS/sms.db"), stored);
    EXPECT_EQ(GetParam() == Generation::Mbdb ? "3d0d7e5fb2ce288813306e4d4636395e047a3d28"
                                             : "3d/3d0d7e5fb2ce288813306e4d4636395e047a3d28",
              stored);
    EXPECT_TRUE(fs::is_regular_file(root / stored));
    EXPECT_EQ("sms", readAll(root / stored));
    EXPECT_EQ(stored, parser.GetBackupFilePath(CategorySms, kSms));

    const BackupFileRecord* sms = parser.GetEntryList(CategorySms)->front();
    EXPECT_EQ("3D0D7E5FB2CE288813306E4D4636395E047A3D28", sms->storedName);
    EXPECT_EQ(3u, sms->size);
    EXPECT_EQ(1, sms->mtime);
    EXPECT_EQ(2, sms->atime);
    EXPECT_EQ(3, sms->ctime);
    EXPECT_EQ(builder->IosMajorVersion(), parser.IosMajorVersion());
    EXPECT_EQ(root.string(), parser.BackupRoot());
}

TEST_P(ManifestReader, FilesEveryEntryByCategory) {
    AddTypicalBackup();
    CMbdbFileParser parser;
    ASSERT_TRUE(OpenBackup(parser));

    using V = std::vector<std::string>;
    auto sorted = [](V v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    EXPECT_EQ(sorted(V{kSms, "/var/mobile/Library/SMS/Attachments/ab/01/IMG_1.jpeg"}),
              sorted(devicePaths(parser.GetEntryList(1))));
    EXPECT_EQ(V{"/var/mobile/Library/AddressBook/AddressBook.sqlitedb"}, devicePaths(parser.GetEntryList(2)));
    EXPECT_EQ(sorted(V{"/var/mobile/Library/CallHistoryDB/CallHistory.storedata",
                       "/var/wireless/Library/CallHistory/call_history.db"}),
              sorted(devicePaths(parser.GetEntryList(3))));
    EXPECT_EQ(sorted(V{"/var/mobile/Library/Notes/notes.sqlite",
                       "/var/mobile/Applications/group.com.apple.notes/NoteStore.sqlite"}),
              sorted(devicePaths(parser.GetEntryList(4))));
    EXPECT_EQ(V{"/var/mobile/Library/Safari/Bookmarks.db"}, devicePaths(parser.GetEntryList(5)));
    // The calendar database stands in both calendar categories: the same record.
    ASSERT_EQ(1u, parser.GetEntryList(6)->size());
    ASSERT_EQ(1u, parser.GetEntryList(7)->size());
    EXPECT_EQ(parser.GetEntryList(6)->front(), parser.GetEntryList(7)->front());
    EXPECT_EQ(parser.GetBackupFilePath(6, "/var/mobile/Library/Calendar/Calendar.sqlitedb"),
              parser.GetBackupFilePath(7, "/var/mobile/Library/Calendar/Calendar.sqlitedb"));
    EXPECT_NE("", parser.GetBackupFilePath(6, "/var/mobile/Library/Calendar/Calendar.sqlitedb"));
    EXPECT_EQ(V{"/var/mobile/Media/DCIM/100APPLE/IMG_0001.JPG"}, devicePaths(parser.GetEntryList(8)));
    EXPECT_EQ(V{"/var/mobile/Applications/com.tencent.xin/Documents/abc/DB/MM.sqlite"},
              devicePaths(parser.GetEntryList(9)));
    EXPECT_EQ(3u, parser.GetEntryList(10)->size());

    // Reminders stores go to their own list, as lower-case stored paths.
    ASSERT_EQ(1u, parser.GetReminderStores()->size());
    std::string rem = parser.GetReminderStores()->front();
    EXPECT_EQ(builder->StoredPath("HomeDomain", "Library/Reminders/Container_v1/Stores/Data-1.sqlite"), rem);
    EXPECT_TRUE(fs::is_regular_file(root / rem));

    // Folders are dropped; an unknown domain stays in the all-entries list for
    // Manifest.mbdb only (a Manifest.db row without a device path is dropped).
    size_t expectedAll = GetParam() == Generation::Mbdb ? 17 : 16;
    EXPECT_EQ(expectedAll, parser.AllEntries().size());
    bool unknownKept = false;
    for (const auto& e : parser.AllEntries()) {
        EXPECT_NE(0u, e->size);
        if (e->domain == "AppDomainPlugin-com.apple.x") unknownKept = true;
    }
    EXPECT_EQ(GetParam() == Generation::Mbdb, unknownKept);

    EXPECT_EQ(nullptr, parser.GetEntryList(0));
    EXPECT_EQ(nullptr, parser.GetEntryList(11));
}

TEST_P(ManifestReader, LookupMisses) {
    AddTypicalBackup();
    CMbdbFileParser parser;
    ASSERT_TRUE(OpenBackup(parser));
    std::string out = "unchanged";
    EXPECT_FALSE(parser.GetBackupFileName(0, kSms, &out));
    EXPECT_FALSE(parser.GetBackupFileName(11, kSms, &out));
    EXPECT_FALSE(parser.GetBackupFileName(-1, kSms, &out));
    EXPECT_FALSE(parser.GetBackupFileName(CategorySms, kSms, nullptr));
    EXPECT_FALSE(parser.GetBackupFileName(CategorySms, nullptr, &out));
    EXPECT_FALSE(parser.GetBackupFileName(CategoryAddressBook, kSms, &out)); // wrong category
    EXPECT_FALSE(parser.GetBackupFileName(CategorySms, "/var/mobile/Library/SMS/SMS.db", &out));
    EXPECT_FALSE(parser.GetBackupFileName(CategorySms, "/var/mobile/Library/SMS/sms.d", &out));
    EXPECT_FALSE(parser.GetBackupFileName(CategorySms, "/var/mobile/Library/SMS/", &out)); // a folder
    EXPECT_EQ("unchanged", out);
    EXPECT_EQ("", parser.GetBackupFilePath(CategorySms, "/nothing"));
}

TEST_P(ManifestReader, ProgressGrowsAndNeverRepeats) {
    for (int i = 0; i < 300; ++i)
        builder->AddFile("HomeDomain", "Library/SMS/f" + std::to_string(i), "x");
    builder->Finish();
    CMbdbFileParser parser;
    std::vector<int> progress;
    ASSERT_TRUE(OpenBackup(parser, &progress));
    ASSERT_FALSE(progress.empty());
    EXPECT_GT(progress.front(), 0);
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_GT(progress[i], progress[i - 1]);
    EXPECT_EQ(100, progress.back());
}

TEST_P(ManifestReader, WhatsAppStores) {
    AddTypicalBackup();
    CMbdbFileParser parser;
    ASSERT_TRUE(OpenBackup(parser));
    EXPECT_TRUE(parser.GetWhatsAppStores()->empty());
    EXPECT_EQ(nullptr, parser.FirstWhatsAppStore());

    const WaStoreList* stores = parser.ScanWhatsApp();
    ASSERT_EQ(2u, stores->size()); // the -wal file adds none
    std::vector<std::string> folders;
    for (const auto& s : *stores) {
        EXPECT_EQ(0, s->index);
        folders.push_back(s->folder);
        EXPECT_TRUE(fs::is_regular_file(root / s->storedPath)) << s->storedPath;
    }
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(
        (std::vector<std::string>{"/var/mobile/Applications/group.net.whatsapp.WhatsApp.shared/",
                                  "/var/mobile/Applications/group.net.whatsapp.WhatsApp.shared/Second/"}),
        folders);
    EXPECT_EQ(stores->front().get(), parser.FirstWhatsAppStore());
    EXPECT_EQ(stores, parser.GetWhatsAppStores());
    parser.ScanWhatsApp(); // appends: earlier entries stay
    EXPECT_EQ(4u, parser.GetWhatsAppStores()->size());

    // WeChat account discovery has not run: the list stands empty.
    EXPECT_TRUE(parser.ScanWeChatAccounts()->empty());
    EXPECT_EQ(parser.ScanWeChatAccounts(), parser.GetWeChatAccounts());
    EXPECT_EQ(nullptr, parser.FindAccount(0));
}

TEST_P(ManifestReader, ClearEmptiesAndOpenWithoutClearAppends) {
    AddTypicalBackup();
    CMbdbFileParser parser;
    ASSERT_TRUE(OpenBackup(parser));
    size_t all = parser.AllEntries().size();
    parser.ScanWhatsApp();
    parser.Clear();
    EXPECT_TRUE(parser.AllEntries().empty());
    for (int c = 1; c <= 10; ++c)
        EXPECT_TRUE(parser.GetEntryList(c)->empty()) << c;
    EXPECT_TRUE(parser.GetReminderStores()->empty());
    EXPECT_TRUE(parser.GetWhatsAppStores()->empty());
    std::string out;
    EXPECT_FALSE(parser.GetBackupFileName(CategorySms, kSms, &out));

    // Clear leaves its flag set only until the next Open, which reads everything again.
    ASSERT_TRUE(OpenBackup(parser));
    EXPECT_EQ(all, parser.AllEntries().size());
    ASSERT_TRUE(OpenBackup(parser));
    EXPECT_EQ(2 * all, parser.AllEntries().size());
    EXPECT_EQ(2u, parser.GetEntryList(CategoryAddressBook)->size());
}

TEST_P(ManifestReader, FirstEntryOfADevicePathWinsAsInAListWalk) {
    // MediaDomain and CameraRollDomain map the same relative path to the same device
    // path under different stored names.
    for (int i = 0; i < 14; ++i) {
        std::string rel = "Media/DCIM/100APPLE/IMG_" + std::to_string(i % 7) + ".JPG";
        builder->AddFile(i % 2 ? "MediaDomain" : "CameraRollDomain", rel, "p" + std::to_string(i));
    }
    builder->Finish();
    CMbdbFileParser parser;
    ASSERT_TRUE(OpenBackup(parser));
    int iosVersion = builder->IosMajorVersion();
    for (int c = 1; c <= 10; ++c) {
        for (const BackupFileRecord* e : *parser.GetEntryList(c)) {
            std::string expected;
            for (const BackupFileRecord* w : *parser.GetEntryList(c)) {
                if (w->devicePath == e->devicePath) {
                    expected = w->StoredPath(iosVersion);
                    break;
                }
            }
            EXPECT_EQ(expected, parser.GetBackupFilePath(c, e->devicePath.c_str()));
        }
    }
    EXPECT_EQ(14u, parser.GetEntryList(CategoryMedia)->size());
}

TEST_P(ManifestReader, PropertyListsOfTheBackupAreNotNeeded) {
    AddTypicalBackup();
    writeFile(root / "Info.plist", "this is not a property list");
    writeFile(root / "Manifest.plist", std::string("bplist00\xff\xff", 10));
    CMbdbFileParser parser;
    ASSERT_TRUE(OpenBackup(parser));
    EXPECT_NE("", parser.GetBackupFilePath(CategorySms, kSms));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, ManifestReader,
                         testing::Values(Generation::Mbdb, Generation::ManifestDb), [](const auto& info) {
                             return info.param == Generation::Mbdb ? "Mbdb" : "ManifestDb";
                         });

// ---- Manifest.mbdb specifics --------------------------------------------------------

TEST(MbdbManifest, DamagedFilesFailOrKeepWhatWasRead) {
    fs::path dir = tempDir("damaged_mbdb");
    const std::string header("mbdb\x05\x00", 6);
    struct Case {
        const char* name;
        std::string bytes;
        bool ok;
    };
    const Case cases[] = {
        {"empty", "", false},
        {"five bytes", std::string("mbdb\x05", 5), false},
        {"header only", header, true},
        {"header and one byte", header + "x", true},
        {"other version", std::string("mbdb\x06\x00", 6) + std::string(100, '\0'), false},
        {"garbage", "hello, this is not a manifest at all", false},
        {"sqlite magic cut short", "SQLite format ", false},
        {"string longer than the data", header + "\x7f\xff" + "abc", true},
        {"absent strings only", header + std::string(10, '\xff'), true},
    };
    for (const auto& c : cases) {
        writeFile(dir / "Manifest.mbdb", c.bytes);
        auto before = kit::FolderSnapshot::Take(dir);
        CMbdbFileParser parser;
        EXPECT_EQ(c.ok, parser.Open((dir / "Manifest.mbdb").c_str(), dir.c_str(), 9)) << c.name;
        EXPECT_TRUE(parser.AllEntries().empty()) << c.name;
        EXPECT_EQ("", kit::FolderSnapshot::Take(dir).DiffFrom(before)) << c.name;
    }

    CMbdbFileParser parser;
    EXPECT_FALSE(parser.Open((dir / "missing.mbdb").c_str(), dir.c_str(), 9));
    EXPECT_FALSE(parser.Open(dir.c_str(), dir.c_str(), 9)); // a folder
    EXPECT_FALSE(parser.Open(nullptr, dir.c_str(), 9));
    EXPECT_FALSE(fs::exists(dir / "missing.mbdb"));
    fs::remove_all(dir);
}

TEST(MbdbManifest, TruncationAtEveryByteKeepsTheEntriesBeforeIt) {
    std::vector<kit::BackupBuilder::Entry> entries;
    for (int i = 0; i < 6; ++i) {
        entries.push_back({"HomeDomain", "Library/SMS/file" + std::to_string(i), uint64_t(100 + i), i, i, i});
    }
    const std::string full = kit::buildMbdbBytes(entries);
    fs::path dir = tempDir("truncated_mbdb");
    for (size_t len = 6; len <= full.size(); ++len) {
        writeFile(dir / "Manifest.mbdb", full.substr(0, len));
        CMbdbFileParser parser;
        ASSERT_TRUE(parser.Open((dir / "Manifest.mbdb").c_str(), dir.c_str(), 9)) << len;
        const auto& all = parser.AllEntries();
        ASSERT_LE(all.size(), entries.size());
        for (size_t i = 0; i < all.size(); ++i) {
            EXPECT_EQ(entries[i].relativePath, all[i]->relativePath) << "cut at " << len;
            EXPECT_EQ(entries[i].size, all[i]->size) << "cut at " << len;
        }
        if (len == full.size()) {
            EXPECT_EQ(entries.size(), all.size());
        }
    }
    fs::remove_all(dir);
}

TEST(MbdbManifest, RecordFieldsPropertiesAndKeepingRule) {
    auto str = [](const std::string& s) {
        return std::string{char(s.size() >> 8), char(s.size() & 0xff)} + s;
    };
    auto block = [](uint32_t mtime, uint32_t atime, uint32_t ctime, uint64_t size, uint8_t properties) {
        std::string b(40, '\0');
        auto put = [&](size_t at, uint64_t v, int n) {
            for (int i = 0; i < n; ++i)
                b[at + size_t(i)] = char(v >> (8 * (n - 1 - i)));
        };
        put(0, 0x81A4, 2);
        put(18, mtime, 4);
        put(22, atime, 4);
        put(26, ctime, 4);
        put(30, size, 8);
        b[39] = char(properties);
        return b;
    };
    const std::string absent("\xff\xff", 2);
    std::string bytes("mbdb\x05\x00", 6);
    // 1: two properties, a link target, a data hash; negative times come back signed.
    bytes +=
        str("HomeDomain") + str("Library/SMS/sms.db") + str("target") + str(std::string(20, '\x01')) + absent;
    bytes += block(0xFFFFFFFFu, 7, 8, 0x0102030405060708ull, 2);
    bytes += str("com.apple.x") + str("value") + str("k2") + absent;
    // 2: empty domain and path with a size: dropped.
    bytes += absent + absent + absent + absent + absent + block(1, 1, 1, 50, 0);
    // 3: size 0 (a folder): dropped.
    bytes += str("HomeDomain") + str("Library/Notes") + absent + absent + absent + block(1, 1, 1, 0, 0);
    // 4: empty domain with a path: kept, filed nowhere.
    bytes += absent + str("orphan") + absent + absent + absent + block(1, 1, 1, 9, 0);
    // 5: a zero-length string counts as empty.
    bytes += str("HomeDomain") + std::string("\0\0", 2) + absent + absent + absent + block(1, 1, 1, 9, 0);

    fs::path dir = tempDir("fields_mbdb");
    writeFile(dir / "Manifest.mbdb", bytes);
    CMbdbFileParser parser;
    std::vector<int> progress;
    ASSERT_TRUE(
        parser.Open((dir / "Manifest.mbdb").c_str(), dir.c_str(), 9, [&](int p) { progress.push_back(p); }));
    const auto& all = parser.AllEntries();
    ASSERT_EQ(3u, all.size());
    EXPECT_EQ("/var/mobile/Library/SMS/sms.db", all[0]->devicePath);
    EXPECT_EQ(-1, all[0]->mtime);
    EXPECT_EQ(7, all[0]->atime);
    EXPECT_EQ(8, all[0]->ctime);
    EXPECT_EQ(0x0102030405060708ull, all[0]->size);
    EXPECT_EQ("orphan", all[1]->relativePath);
    EXPECT_EQ("", all[1]->devicePath);
    EXPECT_EQ("/var/mobile/", all[2]->devicePath);
    EXPECT_EQ(1u, parser.GetEntryList(CategorySms)->size());
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(100, progress.back());
    fs::remove_all(dir);
}

TEST(MbdbManifest, RandomBytesNeverCrash) {
    fs::path dir = tempDir("random_mbdb");
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        std::string bytes("mbdb\x05\x00", 6);
        size_t n = rng() % 600;
        for (size_t i = 0; i < n; ++i) {
            // Mostly small bytes so lengths often fit and records form.
            bytes += char(rng() % 4 == 0 ? rng() : rng() % 8);
        }
        writeFile(dir / "Manifest.mbdb", bytes);
        CMbdbFileParser parser;
        EXPECT_TRUE(parser.Open((dir / "Manifest.mbdb").c_str(), dir.c_str(), 9));
        for (const auto& e : parser.AllEntries())
            EXPECT_NE(0u, e->size);
    }
    fs::remove_all(dir);
}

// ---- Manifest.db specifics -------------------------------------------------------------

namespace {

// A Manifest.db with the "Files" schema and the given rows, built with real SQLite.
struct OddRow {
    kit::Value fileID, domain, relativePath, file;
};

void writeFilesTable(const fs::path& path, const std::vector<OddRow>& rows, const std::string& schema = "") {
    kit::FixtureDb db(path);
    db.exec(schema.empty() ? "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, "
                             "flags INTEGER, file BLOB)"
                           : schema);
    db.exec("BEGIN");
    for (const auto& r : rows) {
        db.insert("Files", {"fileID", "domain", "relativePath", "flags", "file"},
                  {r.fileID, r.domain, r.relativePath, int64_t(1), r.file});
    }
    db.exec("COMMIT");
}

std::string archiveWithObjects(plist_t objects) {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "$archiver", plist_new_string("NSKeyedArchiver"));
    plist_dict_set_item(root, "$objects", objects);
    return plistBinary(root);
}

std::string blobFor(uint64_t size) {
    return kit::buildManifestFileBlob({"HomeDomain", "x", size, 11, 12, 13});
}

} // namespace

TEST(DbManifest, OddFilesRowsAreSkipped) {
    fs::path dir = tempDir("odd_rows");
    int id = 0;
    auto row = [&](kit::Value domain, kit::Value rel, kit::Value file) {
        char name[8];
        std::snprintf(name, sizeof name, "%03d", id++);
        return OddRow{std::string(name), domain, rel, file};
    };
    auto dictObjects = [](plist_t attrs) {
        plist_t objects = plist_new_array();
        plist_array_append_item(objects, plist_new_string("$null"));
        plist_array_append_item(objects, attrs);
        return objects;
    };
    plist_t missingSize = plist_new_dict();
    plist_dict_set_item(missingSize, "LastModified", plist_new_uint(5));
    plist_t sizeAsText = plist_new_dict();
    plist_dict_set_item(sizeAsText, "Size", plist_new_string("100"));
    plist_t onlySize = plist_new_dict();
    plist_dict_set_item(onlySize, "Size", plist_new_uint(77));
    plist_t hugeTimes = plist_new_dict();
    plist_dict_set_item(hugeTimes, "Size", plist_new_uint(5));
    plist_dict_set_item(hugeTimes, "LastModified", plist_new_uint(1ull << 40));
    plist_dict_set_item(hugeTimes, "LastStatusChange", plist_new_real(1.0e300));
    plist_dict_set_item(hugeTimes, "Birth", plist_new_real(1600000000.9));
    plist_t oneObject = plist_new_array();
    plist_array_append_item(oneObject, plist_new_string("$null"));
    plist_t secondNotDict = plist_new_array();
    plist_array_append_item(secondNotDict, plist_new_string("$null"));
    plist_array_append_item(secondNotDict, plist_new_uint(5));
    plist_t rootIsArray = plist_new_array();
    plist_array_append_item(rootIsArray, plist_new_uint(1));

    std::string good = blobFor(42);
    std::string truncatedBlob = good.substr(0, good.size() / 2);
    const std::vector<OddRow> rows = {
        row(std::string("HomeDomain"), std::string("Library/SMS/sms.db"), kit::Blob{good}), // the one kept
        row(std::string("HomeDomain"), std::string("Library/SMS/a"), nullptr),              // NULL blob
        row(std::string("HomeDomain"), std::string("Library/SMS/b"), kit::Blob{""}),        // empty blob
        row(std::string("HomeDomain"), std::string("Library/SMS/c"), kit::Blob{"not a plist at all"}),
        row(std::string("HomeDomain"), std::string("Library/SMS/d"), kit::Blob{truncatedBlob}),
        row(std::string("HomeDomain"), std::string("Library/SMS/e"), std::string("text, not a blob")),
        row(std::string("HomeDomain"), std::string("Library/SMS/f"), kit::Blob{blobFor(0)}), // size 0
        row(std::string("HomeDomain"), std::string("Library/SMS/g"),
            kit::Blob{archiveWithObjects(oneObject)}),
        row(std::string("HomeDomain"), std::string("Library/SMS/h"),
            kit::Blob{archiveWithObjects(secondNotDict)}),
        row(std::string("HomeDomain"), std::string("Library/SMS/i"),
            kit::Blob{archiveWithObjects(dictObjects(missingSize))}),
        row(std::string("HomeDomain"), std::string("Library/SMS/j"),
            kit::Blob{archiveWithObjects(dictObjects(sizeAsText))}),
        row(std::string("HomeDomain"), std::string("Library/SMS/k"), kit::Blob{plistBinary(rootIsArray)}),
        row(nullptr, std::string("Library/SMS/l"), kit::Blob{blobFor(5)}),                 // NULL domain
        row(std::string("HomeDomain"), kit::Blob{"Library/SMS/q"}, kit::Blob{blobFor(5)}), // path not text
        row(std::string(""), std::string("Library/SMS/m"), kit::Blob{blobFor(5)}),         // empty domain
        row(std::string("AppDomainPlugin-x"), std::string("Library/n"), kit::Blob{blobFor(5)}), // unknown
        // Kept with what can be read: missing times read as 0, times that do not fit as 0.
        row(std::string("HomeDomain"), std::string("Library/SMS/o"),
            kit::Blob{archiveWithObjects(dictObjects(onlySize))}),
        row(std::string("HomeDomain"), std::string("Library/SMS/p"),
            kit::Blob{archiveWithObjects(dictObjects(hugeTimes))}),
    };
    writeFilesTable(dir / "Manifest.db", rows);
    // A blob that does not decode leaves the row's flags to tell a file (1, every row
    // above) from a folder (2): e, g, h and k are folders.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open((dir / "Manifest.db").c_str(), &db));
        EXPECT_EQ(SQLITE_OK,
                  sqlite3_exec(db, "UPDATE Files SET flags=2 WHERE fileID IN ('005','007','008','011')",
                               nullptr, nullptr, nullptr));
        sqlite3_close(db);
    }
    // The stored file of "a" is there: its size comes from it.
    const std::string storedA = BackupFileRecord("HomeDomain", "Library/SMS/a", 0, 0, 0, 0).StoredPath(14);
    fs::create_directories((dir / storedA).parent_path());
    writeFile(dir / storedA, "12345");

    auto before = kit::FolderSnapshot::Take(dir);
    CMbdbFileParser parser;
    ASSERT_TRUE(parser.Open((dir / "Manifest.db").c_str(), dir.c_str(), 14));
    EXPECT_EQ("", kit::FolderSnapshot::Take(dir).DiffFrom(before));
    const auto& all = parser.AllEntries();
    ASSERT_EQ(7u, all.size());
    EXPECT_EQ("Library/SMS/sms.db", all[0]->relativePath);
    EXPECT_EQ(42u, all[0]->size);
    EXPECT_EQ(11, all[0]->mtime);
    EXPECT_EQ(12, all[0]->atime);
    EXPECT_EQ(13, all[0]->ctime);
    // Files whose blob is NULL, empty, no property list or cut short: kept by their flags.
    const char* const files[] = {"Library/SMS/a", "Library/SMS/b", "Library/SMS/c", "Library/SMS/d"};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(files[i], all[1 + i]->relativePath);
        EXPECT_EQ(i == 0 ? 5u : 0u, all[1 + i]->size) << files[i];
        EXPECT_EQ(0, all[1 + i]->mtime);
    }
    EXPECT_EQ(8, parser.UndecodedFileRows()); // a, b, c, d, e, g, h, k
    EXPECT_EQ("Library/SMS/o", all[5]->relativePath);
    EXPECT_EQ(77u, all[5]->size);
    EXPECT_EQ(0, all[5]->mtime);
    EXPECT_EQ("Library/SMS/p", all[6]->relativePath);
    EXPECT_EQ(0, all[6]->mtime);
    EXPECT_EQ(0, all[6]->atime);
    EXPECT_EQ(1600000000, all[6]->ctime);
    // The app database of a broken row is found as any other.
    std::string stored;
    EXPECT_TRUE(parser.GetBackupFileName(CategorySms, "/var/mobile/Library/SMS/a", &stored));
    EXPECT_EQ(storedA, stored);
    fs::remove_all(dir);
}

TEST(DbManifest, DamagedDatabasesFail) {
    fs::path dir = tempDir("damaged_db");
    CMbdbFileParser parser;

    { // no "Files" table
        kit::FixtureDb db(dir / "Manifest.db");
        db.exec("CREATE TABLE Other (x)");
    }
    EXPECT_FALSE(parser.Open((dir / "Manifest.db").c_str(), dir.c_str(), 14));

    writeFilesTable(dir / "Manifest.db", {}); // no rows
    EXPECT_FALSE(parser.Open((dir / "Manifest.db").c_str(), dir.c_str(), 14));

    // A "Files" table without a "file" column: no row can be kept.
    writeFilesTable(dir / "Manifest.db", {},
                    "CREATE TABLE Files (fileID, domain, relativePath, flags, other)");
    {
        kit::FixtureDb db(dir / "Manifest2.db");
        db.exec("CREATE TABLE Files (fileID, domain, relativePath, file)");
        db.insert("Files", {"fileID", "domain", "relativePath", "file"},
                  {std::string("1"), std::string("HomeDomain"), std::string("a"), kit::Blob{blobFor(3)}});
        db.exec("ALTER TABLE Files RENAME COLUMN file TO other");
    }
    EXPECT_FALSE(parser.Open((dir / "Manifest2.db").c_str(), dir.c_str(), 14));
    EXPECT_TRUE(parser.AllEntries().empty());

    // SQLite magic followed by garbage.
    writeFile(dir / "Manifest.db", std::string("SQLite format 3\0", 16) + std::string(5000, '\x5a'));
    EXPECT_FALSE(parser.Open((dir / "Manifest.db").c_str(), dir.c_str(), 14));
    writeFile(dir / "Manifest.db", std::string("SQLite format 3", 15));
    EXPECT_FALSE(parser.Open((dir / "Manifest.db").c_str(), dir.c_str(), 14));

    auto before = kit::FolderSnapshot::Take(dir);
    EXPECT_FALSE(parser.Open((dir / "nothing" / "Manifest.db").c_str(), dir.c_str(), 14));
    EXPECT_EQ("", kit::FolderSnapshot::Take(dir).DiffFrom(before));
    EXPECT_TRUE(parser.AllEntries().empty());
    fs::remove_all(dir);
}

TEST(DbManifest, TruncatedDatabaseNeverCrashes) {
    fs::path dir = tempDir("truncated_db");
    std::vector<kit::BackupBuilder::Entry> entries;
    for (int i = 0; i < 400; ++i) {
        entries.push_back({"HomeDomain", "Library/SMS/f" + std::to_string(i), uint64_t(1 + i), i, i, i});
    }
    kit::writeManifestDb(dir / "full.db", entries);
    const std::string full = readAll(dir / "full.db");
    for (size_t len : {size_t(16), size_t(100), size_t(1024), size_t(4096), full.size() / 3, full.size() / 2,
                       full.size() - 4096, full.size() - 1}) {
        writeFile(dir / "Manifest.db", full.substr(0, len));
        auto before = kit::FolderSnapshot::Take(dir);
        CMbdbFileParser parser;
        bool ok = parser.Open((dir / "Manifest.db").c_str(), dir.c_str(), 14);
        EXPECT_LE(parser.AllEntries().size(), entries.size()) << len;
        if (!ok) {
            EXPECT_TRUE(parser.AllEntries().empty()) << len;
        }
        EXPECT_EQ("", kit::FolderSnapshot::Take(dir).DiffFrom(before)) << len;
    }
    fs::remove_all(dir);
}

TEST(DbManifest, DamagedFileBlobsNeverCrash) {
    fs::path dir = tempDir("blob_flips");
    const std::string good = blobFor(1234);
    std::mt19937 rng(99);
    std::vector<OddRow> rows;
    for (int i = 0; i < 400; ++i) {
        std::string b = good;
        int flips = 1 + int(rng() % 4);
        for (int f = 0; f < flips; ++f)
            b[rng() % b.size()] = char(rng());
        if (i % 5 == 0) b.resize(rng() % b.size());
        rows.push_back({std::to_string(i), std::string("HomeDomain"), "Library/SMS/f" + std::to_string(i),
                        kit::Blob{b}});
    }
    writeFilesTable(dir / "Manifest.db", rows);
    CMbdbFileParser parser;
    EXPECT_TRUE(parser.Open((dir / "Manifest.db").c_str(), dir.c_str(), 14));
    // Rows whose blob the flips broke are files by their flags (no stored file: size 0).
    EXPECT_GT(parser.UndecodedFileRows(), 0);
    for (const auto& e : parser.AllEntries())
        EXPECT_TRUE(e->size != 0 || e->mtime == 0);
    EXPECT_LE(parser.AllEntries().size(), rows.size());
    fs::remove_all(dir);
}

TEST(DbManifest, WalModeDatabaseLeavesNothingBehind) {
    fs::path dir = tempDir("wal");
    kit::writeManifestDb(dir / "Manifest.db", {{"HomeDomain", "Library/SMS/sms.db", 10, 1, 2, 3}});
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open((dir / "Manifest.db").c_str(), &db));
        sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    auto before = kit::FolderSnapshot::Take(dir);
    CMbdbFileParser parser;
    ASSERT_TRUE(parser.Open((dir / "Manifest.db").c_str(), dir.c_str(), 14));
    EXPECT_EQ("3d/3d0d7e5fb2ce288813306e4d4636395e047a3d28", parser.GetBackupFilePath(CategorySms, kSms));
    EXPECT_EQ("", kit::FolderSnapshot::Take(dir).DiffFrom(before));
    EXPECT_FALSE(fs::exists(dir / "Manifest.db-wal"));
    EXPECT_FALSE(fs::exists(dir / "Manifest.db-shm"));
    fs::remove_all(dir);
}

// ---- Manifest.db row order ----------------------------------------------------------------

namespace {

struct ExpectedEntry {
    std::string domain, relativePath;
    uint64_t size = 0;
    int32_t mtime = 0, atime = 0, ctime = 0;
    bool operator==(const ExpectedEntry&) const = default;
};

std::ostream& operator<<(std::ostream& os, const ExpectedEntry& e) {
    return os << e.domain << "/" << e.relativePath << " size " << e.size << " times " << e.mtime << ","
              << e.atime << "," << e.ctime;
}

int32_t plainTime(plist_t node) {
    uint64_t v = 0;
    if (!node || plist_get_node_type(node) != PLIST_UINT) return 0;
    plist_get_uint_val(node, &v);
    int64_t s = int64_t(v);
    return s < INT32_MIN || s > INT32_MAX ? 0 : int32_t(s);
}

// The straightforward reading of a Manifest.db: the rows are counted (a count that
// fails or gives none reads nothing), then SQLite walks "Files" ORDER BY fileID and each
// row is kept when it has both names, a known domain and a non-zero "Size" in its
// whole decoded blob; a read error ends the walk with the rows before it. Times are
// read as plain integers only (what the kit writes).
std::vector<ExpectedEntry> straightforwardReading(const fs::path& path) {
    std::vector<ExpectedEntry> out;
    sqlite3* db = openReadOnlyDatabase(path);
    sqlite3_stmt* st = nullptr;
    if (!db || sqlite3_prepare_v2(db, "select count(*) from 'Files'", -1, &st, nullptr) != SQLITE_OK ||
        sqlite3_step(st) != SQLITE_ROW || sqlite3_column_int64(st, 0) <= 0) {
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }
    sqlite3_finalize(st);
    st = nullptr;
    if (sqlite3_prepare_v2(db, "select fileID,domain,relativePath,file,flags from 'Files' ORDER BY fileID",
                           -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        sqlite3_close(db);
        return out;
    }
    auto text = [&](int column) {
        const unsigned char* t = sqlite3_column_text(st, column);
        return sqlite3_column_type(st, column) == SQLITE_TEXT && t
                   ? std::string(reinterpret_cast<const char*>(t))
                   : std::string();
    };
    while (sqlite3_step(st) == SQLITE_ROW) {
        ExpectedEntry e{text(1), text(2)};
        if (e.domain.empty() || e.relativePath.empty() || backupDevicePath(e.domain, e.relativePath).empty())
            continue;
        // A row whose blob gives no attribute dictionary is a file when its flags say 1
        // (no stored file in these backups: size 0, times unknown).
        const bool isFile = sqlite3_column_type(st, 4) == SQLITE_INTEGER && sqlite3_column_int64(st, 4) == 1;
        plist_t root = nullptr;
        if (sqlite3_column_type(st, 3) == SQLITE_BLOB)
            plist_from_bin(static_cast<const char*>(sqlite3_column_blob(st, 3)),
                           uint32_t(sqlite3_column_bytes(st, 3)), &root);
        plist_t attrs = plist_array_get_item(plist_dict_get_item(root, "$objects"), 1);
        if (!attrs || plist_get_node_type(attrs) != PLIST_DICT) {
            plist_free(root);
            if (isFile) out.push_back(e);
            continue;
        }
        if (plist_t size = plist_dict_get_item(attrs, "Size");
            size && plist_get_node_type(size) == PLIST_UINT)
            plist_get_uint_val(size, &e.size);
        e.mtime = plainTime(plist_dict_get_item(attrs, "LastModified"));
        e.atime = plainTime(plist_dict_get_item(attrs, "LastStatusChange"));
        e.ctime = plainTime(plist_dict_get_item(attrs, "Birth"));
        plist_free(root);
        if (e.size != 0) out.push_back(e);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

std::vector<ExpectedEntry> readEntries(const CMbdbFileParser& parser) {
    std::vector<ExpectedEntry> out;
    for (const auto& r : parser.AllEntries())
        out.push_back({r->domain, r->relativePath, r->size, r->mtime, r->atime, r->ctime});
    return out;
}

// Rows for the order tests: inserted in a shuffled order (so rowid order is neither
// fileID order nor name order), fileIDs unrelated to the names, with folders, unknown
// domains and rows without a blob among them.
std::vector<OddRow> shuffledRows(int count, uint32_t seed, const std::function<kit::Value(int)>& fileId) {
    static const char* const kDomains[] = {"HomeDomain",        "CameraRollDomain",
                                           "MediaDomain",       "AppDomain-com.tencent.xin",
                                           "AppDomainPlugin-x", "WirelessDomain"};
    std::vector<OddRow> rows;
    for (int i = 0; i < count; ++i) {
        kit::BackupBuilder::Entry e{kDomains[i % 6],
                                    "Library/SMS/f" + std::to_string(i),
                                    i % 7 == 3 ? 0 : uint64_t(100 + i),
                                    1000 + i,
                                    2000 + i,
                                    3000 + i};
        // Two domains map this path to the same device path: the first in fileID order
        // must win the lookup.
        if (i % 11 == 0) e.relativePath = "Media/DCIM/100APPLE/IMG_" + std::to_string(i % 3) + ".JPG";
        kit::Value file = kit::Blob{kit::buildManifestFileBlob(e)};
        if (i % 13 == 5) file = nullptr;
        rows.push_back({fileId(i), e.domain, e.relativePath, file});
    }
    std::shuffle(rows.begin(), rows.end(), std::mt19937(seed));
    return rows;
}

std::string randomHexId(std::mt19937& rng, bool upperCaseToo) {
    static const char kHex[] = "0123456789abcdefABCDEF";
    std::string id;
    int length = 38 + int(rng() % 3); // lengths differ a little: prefixes sort first
    for (int i = 0; i < length; ++i)
        id += kHex[rng() % (upperCaseToo ? 22 : 16)];
    return id;
}

} // namespace

// Kept rows come out exactly as "ORDER BY fileID" walks them, whatever the order of the
// rows in the table and however unusual the fileID column: the cases below cover the
// shapes where the order must come from SQLite itself (other collations, other types,
// ties, a view) and those where it is worked out in memory.
TEST(DbManifest, EntriesFollowFileIdOrderWhateverTheTableOrder) {
    fs::path dir = tempDir("order");
    const std::string kDefault = "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath "
                                 "TEXT, flags INTEGER, file BLOB)";
    struct Case {
        const char* name;
        std::string schema;
        std::function<kit::Value(int)> fileId;
    };
    std::mt19937 rng(7);
    std::vector<std::string> ids;
    for (int i = 0; i < 600; ++i)
        ids.push_back(randomHexId(rng, true));
    auto hexId = [&](int i) { return kit::Value(ids[size_t(i)]); };
    const std::vector<Case> cases = {
        {"random ids, mixed case and lengths", kDefault, hexId},
        {"WITHOUT ROWID table", kDefault + " WITHOUT ROWID", hexId},
        {"ids that share long beginnings", kDefault,
         [&](int i) { return kit::Value(std::string(size_t(8 + i % 5), 'F') + ids[size_t(i)]); }},
        {"no index on fileID",
         "CREATE TABLE Files (fileID TEXT, domain TEXT, relativePath TEXT, flags, file)", hexId},
        {"UTF-16 database", "PRAGMA encoding='UTF-16le';" + kDefault, hexId},
        {"case-insensitive collation",
         "CREATE TABLE Files (fileID TEXT COLLATE NOCASE PRIMARY KEY, domain, relativePath, flags, file)",
         hexId},
        {"duplicate fileIDs",
         "CREATE TABLE Files (fileID TEXT, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB)",
         [](int i) { return kit::Value("id" + std::to_string(i % 40)); }},
        {"numbers, NULLs and blobs as fileID",
         "CREATE TABLE Files (fileID, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB)",
         [&](int i) -> kit::Value {
             switch (i % 5) {
             case 0:
                 return int64_t(1000 - i);
             case 1:
                 return nullptr;
             case 2:
                 return kit::Blob{ids[size_t(i)]};
             case 3:
                 return double(i) / 3;
             default:
                 return ids[size_t(i)];
             }
         }},
        {"numbers and text as fileID",
         "CREATE TABLE Files (fileID, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB)",
         [&](int i) -> kit::Value {
             if (i % 3 == 0) return int64_t(1000 - i);
             if (i % 3 == 1) return double(i) / 3;
             return ids[size_t(i)];
         }},
        {"blobs and text as fileID",
         "CREATE TABLE Files (fileID, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB)",
         [&](int i) { return i % 2 ? kit::Value(kit::Blob{ids[size_t(i)]}) : kit::Value(ids[size_t(i)]); }},
        {"non-ASCII fileIDs", kDefault,
         [&](int i) { return kit::Value(i % 4 ? ids[size_t(i)] : "\xc3\xa9" + ids[size_t(i)]); }},
        // UTF-16 code units compare in another order than UTF-8 bytes ("\xc4\x80" is
        // U+0100: 00 01 in UTF-16LE, before every ASCII character).
        {"non-ASCII fileIDs in a UTF-16 database", "PRAGMA encoding='UTF-16le';" + kDefault,
         [&](int i) { return kit::Value(i % 4 ? ids[size_t(i)] : "\xc4\x80" + ids[size_t(i)]); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / "Manifest.db";
        writeFilesTable(path, shuffledRows(600, 11, c.fileId), c.schema);
        const std::vector<ExpectedEntry> expected = straightforwardReading(path);
        ASSERT_GT(expected.size(), 300u);

        CMbdbFileParser parser;
        std::vector<int> progress;
        ASSERT_TRUE(parser.Open(path.c_str(), dir.c_str(), 14, [&](int p) { progress.push_back(p); }));
        EXPECT_EQ(expected, readEntries(parser));
        EXPECT_FALSE(progress.empty());
        for (size_t i = 1; i < progress.size(); ++i)
            EXPECT_LT(progress[i - 1], progress[i]);

        // Category lists keep the same order, and a device path shared by two entries
        // finds the first of them.
        std::vector<std::string> media;
        for (const auto& e : expected) {
            std::string devicePath = backupDevicePath(e.domain, e.relativePath);
            if (devicePath.rfind("/var/mobile/Media/", 0) == 0) media.push_back(devicePath);
        }
        EXPECT_EQ(media, devicePaths(parser.GetEntryList(CategoryMedia)));
        for (const BackupFileRecord* e : *parser.GetEntryList(CategoryMedia)) {
            for (const BackupFileRecord* first : *parser.GetEntryList(CategoryMedia)) {
                if (first->devicePath != e->devicePath) continue;
                EXPECT_EQ(first->StoredPath(14),
                          parser.GetBackupFilePath(CategoryMedia, e->devicePath.c_str()));
                break;
            }
        }
    }
    // A view named "Files" is read the same way.
    {
        const fs::path path = dir / "Manifest.db";
        writeFilesTable(path, shuffledRows(200, 3, hexId),
                        "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain, relativePath, flags, file)");
        {
            kit::FixtureDb db(dir / "View.db");
            db.exec("ATTACH '" + path.string() +
                    "' AS src;"
                    "CREATE TABLE Stored AS SELECT * FROM src.Files ORDER BY relativePath;"
                    "CREATE VIEW Files AS SELECT * FROM Stored;"
                    "DETACH src;");
        }
        const std::vector<ExpectedEntry> expected = straightforwardReading(dir / "View.db");
        ASSERT_GT(expected.size(), 100u);
        CMbdbFileParser parser;
        ASSERT_TRUE(parser.Open((dir / "View.db").c_str(), dir.c_str(), 14));
        EXPECT_EQ(expected, readEntries(parser));
    }
    fs::remove_all(dir);
}

// True when every element of `part` appears in `whole`, in the same order.
bool isSubsequence(const std::vector<ExpectedEntry>& part, const std::vector<ExpectedEntry>& whole) {
    size_t at = 0;
    for (const ExpectedEntry& e : part) {
        while (at < whole.size() && !(whole[at] == e))
            ++at;
        if (at == whole.size()) return false;
        ++at;
    }
    return true;
}

// A database damaged part-way keeps at least the rows that SQLite's fileID walk reads
// before the damage, and the rows after it that can still be read, in fileID order;
// whatever could not be read is counted as skipped.
TEST(DbManifest, DamagedTableKeepsEveryRowItCanRead) {
    fs::path dir = tempDir("order_damage");
    std::mt19937 rng(5);
    std::vector<std::string> ids;
    for (int i = 0; i < 3000; ++i)
        ids.push_back(randomHexId(rng, false));
    writeFilesTable(dir / "full.db",
                    shuffledRows(3000, 17, [&](int i) { return kit::Value(ids[size_t(i)]); }));
    const std::string full = readAll(dir / "full.db");
    const size_t pages = full.size() / 4096;
    ASSERT_GT(pages, 100u);
    const std::vector<ExpectedEntry> whole = straightforwardReading(dir / "full.db");
    int differentFromWhole = 0, moreThanTheWalk = 0;
    for (size_t page : {pages / 5, pages / 3, pages / 2, pages * 2 / 3, pages - 2}) {
        for (int how = 0; how < 2; ++how) {
            std::string damaged = full;
            if (how == 0) {
                std::fill(damaged.begin() + std::ptrdiff_t(page * 4096),
                          damaged.begin() + std::ptrdiff_t(page * 4096 + 4096), '\xee');
            } else {
                damaged[page * 4096] = '\x0d'; // a leaf whose header lies about its cells
                damaged[page * 4096 + 3] = '\x7f';
            }
            const fs::path path = dir / "Manifest.db";
            writeFile(path, damaged);
            SCOPED_TRACE("page " + std::to_string(page) + " how " + std::to_string(how));
            const std::vector<ExpectedEntry> walk = straightforwardReading(path);
            CMbdbFileParser parser;
            bool ok = parser.Open(path.c_str(), dir.c_str(), 14);
            const std::vector<ExpectedEntry> got = readEntries(parser);
            EXPECT_TRUE(isSubsequence(walk, got));
            EXPECT_TRUE(isSubsequence(got, whole));
            if (!ok) {
                EXPECT_TRUE(parser.AllEntries().empty());
            }
            if (got.size() == whole.size()) {
                EXPECT_EQ(0, parser.SkippedFileRows());
            }
            if (walk.size() != whole.size()) ++differentFromWhole;
            if (got.size() > walk.size()) ++moreThanTheWalk;
        }
    }
    EXPECT_GT(differentFromWhole, 0); // some damage really cut the walk short
    EXPECT_GT(moreThanTheWalk, 0);    // and the rows after it were read
    fs::remove_all(dir);
}

// One damaged record (its header lies about its columns) costs that row only, wherever
// it stands, in either way of reading; the row is counted as skipped.
TEST(DbManifest, OneDamagedRowIsSkipped) {
    fs::path dir = tempDir("one_bad_row");
    std::mt19937 rng(9);
    std::vector<std::string> ids;
    for (int i = 0; i < 400; ++i)
        ids.push_back(randomHexId(rng, false));
    struct Case {
        const char* name;
        std::string schema; // empty: the default
        int damagedRow;     // in table order
    };
    const Case cases[] = {
        {"an early row", "", 40},
        {"a middle row", "", 170},
        {"last row but one", "", 398},
        {"a middle row, fileIDs of another collation",
         "CREATE TABLE Files (fileID TEXT COLLATE NOCASE PRIMARY KEY, domain, relativePath, flags, file)",
         170},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / "Manifest.db";
        const std::vector<OddRow> rows =
            shuffledRows(400, 3, [&](int i) { return kit::Value(ids[size_t(i)]); });
        if (c.schema.empty())
            writeFilesTable(path, rows);
        else
            writeFilesTable(path, rows, c.schema);
        const std::vector<ExpectedEntry> whole = straightforwardReading(path);
        ASSERT_GT(whole.size(), 200u);
        // The damaged row's record: its fileID stands first in the record body, right
        // after the header, whose first byte is the header's length.
        const std::string id = std::get<std::string>(rows[size_t(c.damagedRow)].fileID);
        std::string bytes = readAll(path);
        bool done = false;
        for (size_t at = bytes.find(id); at != std::string::npos && !done; at = bytes.find(id, at + 1)) {
            for (size_t k = 4; k <= 8 && k <= at && !done; ++k) {
                if (uint8_t(bytes[at - k]) != k) continue;
                for (size_t b = at - k + 1; b < at; ++b)
                    bytes[b] = '\xff'; // column types past the record
                done = true;
            }
        }
        ASSERT_TRUE(done);
        writeFile(path, bytes);
        ASSERT_LT(straightforwardReading(path).size(), whole.size()) << "the damage must stop a plain walk";

        CMbdbFileParser parser;
        ASSERT_TRUE(parser.Open(path.c_str(), dir.c_str(), 14));
        const std::vector<ExpectedEntry> got = readEntries(parser);
        EXPECT_TRUE(isSubsequence(got, whole));
        EXPECT_GE(got.size() + 1, whole.size());
        EXPECT_EQ(1, parser.SkippedFileRows());
    }
    fs::remove_all(dir);
}

// A device path already claimed by an earlier Open (without Clear) stays with that
// entry, and an Open that gives up its way of reading leaves the claims as they were.
TEST(DbManifest, EarlierOpensKeepTheirDevicePaths) {
    fs::path dir = tempDir("earlier_open");
    const std::string photo = "Media/DCIM/100APPLE/IMG_0001.JPG";
    const std::string devicePath = "/var/mobile/" + photo;
    writeFilesTable(dir / "First.db",
                    {{std::string("b1"), std::string("CameraRollDomain"), photo, kit::Blob{blobFor(10)}}});
    writeFilesTable(dir / "Second.db",
                    {{std::string("a2"), std::string("MediaDomain"), photo, kit::Blob{blobFor(20)}},
                     {std::string("a1"), std::string("HomeDomain"), std::string("Library/SMS/sms.db"),
                      kit::Blob{blobFor(30)}}});
    // Two kept rows with one fileID: read the other way.
    writeFilesTable(
        dir / "Third.db",
        {{std::string("c"), std::string("MediaDomain"), photo, kit::Blob{blobFor(40)}},
         {std::string("c"), std::string("HomeDomain"), std::string("Library/SMS/x.db"),
          kit::Blob{blobFor(50)}}},
        "CREATE TABLE Files (fileID TEXT, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB)");
    CMbdbFileParser parser;
    ASSERT_TRUE(parser.Open((dir / "First.db").c_str(), dir.c_str(), 14));
    const std::string first = parser.GetBackupFilePath(CategoryMedia, devicePath.c_str());
    EXPECT_EQ(BackupFileRecord("CameraRollDomain", photo, 1, 0, 0, 0).StoredPath(14), first);
    for (const char* next : {"Second.db", "Third.db"}) {
        SCOPED_TRACE(next);
        ASSERT_TRUE(parser.Open((dir / next).c_str(), dir.c_str(), 14));
        EXPECT_EQ(first, parser.GetBackupFilePath(CategoryMedia, devicePath.c_str()));
        EXPECT_EQ(BackupFileRecord("HomeDomain", "Library/SMS/sms.db", 1, 0, 0, 0).StoredPath(14),
                  parser.GetBackupFilePath(CategorySms, kSms));
    }
    EXPECT_EQ(3u, parser.GetEntryList(CategoryMedia)->size());
    EXPECT_EQ(5u, parser.AllEntries().size());
    fs::remove_all(dir);
}

// ---- Manifest.db rows that come back without their names ------------------------------

namespace {

void execSql(const fs::path& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
    char* err = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err)) << (err ? err : "") << sql;
    sqlite3_free(err);
    sqlite3_close(db);
}

// The rowid of the row with a relative path (read from the table itself), or the type
// of the row's domain (read by rowid).
int64_t rowidOf(const fs::path& path, const std::string& relativePath) {
    sqlite3* db = openReadOnlyDatabase(path);
    sqlite3_stmt* st = nullptr;
    int64_t rowid = 0;
    if (db && sqlite3_prepare_v2(db, "select rowid from Files not indexed where relativePath=?1", -1, &st,
                                 nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, relativePath.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) rowid = sqlite3_column_int64(st, 0);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rowid;
}

int domainTypeOf(const fs::path& path, int64_t rowid) {
    sqlite3* db = openReadOnlyDatabase(path);
    sqlite3_stmt* st = nullptr;
    int type = 0;
    if (db &&
        sqlite3_prepare_v2(db, "select domain from Files where rowid=?1", -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_int64(st, 1, rowid);
        if (sqlite3_step(st) == SQLITE_ROW) type = sqlite3_column_type(st, 0);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return type;
}

} // namespace

// A record zeroed behind a cell that survived comes back as a row of NULLs. Such a row
// is never dropped unnoticed: its names are read back from the indexes that hold them
// (the entry is kept, its size taken from the stored file, its times unknown), and when
// no index holds them the row counts as skipped.
TEST(DbManifest, RowsWithoutNamesAreReadFromTheIndexesOrCountedAsSkipped) {
    const std::string wa = "ChatStorage.sqlite", wx = "Documents/abc/DB/MM.sqlite",
                      sms = "Library/SMS/sms.db";
    struct Case {
        const char* name;
        std::string damaged;    // relative path of a row whose record is zeroed
        std::string schemaEdit; // SQL run on the manifest before the damage
        bool namesFromIndexes;  // the domain and path indexes stay
        bool wholePage = true;  // every record of the row's page zeroed
    };
    const Case cases[] = {
        {"the WhatsApp store's record", wa, "", true, false},
        {"the WhatsApp store's record, no index of the names", wa,
         "DROP INDEX FilesDomainIdx; DROP INDEX FilesRelativePathIdx;", false, false},
        {"the WeChat database's page", wx, "", true},
        {"the only SMS database's page", sms, "", true},
        {"the SMS page, rows read in fileID order", sms,
         "CREATE TABLE F2 (fileID TEXT COLLATE NOCASE PRIMARY KEY, domain TEXT, relativePath TEXT, "
         "flags INTEGER, file BLOB); INSERT INTO F2 SELECT * FROM Files ORDER BY rowid; DROP TABLE Files; "
         "ALTER TABLE F2 RENAME TO Files; CREATE INDEX FilesDomainIdx ON Files(domain); "
         "CREATE INDEX FilesRelativePathIdx ON Files(relativePath); CREATE INDEX FilesFlagsIdx ON "
         "Files(flags);",
         true},
        {"the SMS page, no index of the names", sms,
         "DROP INDEX FilesDomainIdx; DROP INDEX FilesRelativePathIdx;", false},
        {"the SMS page in fileID order, no index of the names", sms,
         "CREATE TABLE F2 (fileID TEXT COLLATE NOCASE PRIMARY KEY, domain TEXT, relativePath TEXT, "
         "flags INTEGER, file BLOB); INSERT INTO F2 SELECT * FROM Files ORDER BY rowid; DROP TABLE Files; "
         "ALTER TABLE F2 RENAME TO Files;",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path root = tempDir("nameless_rows");
        kit::BackupBuilder builder(root, Generation::ManifestDb);
        for (int i = 0; i < 120; ++i)
            builder.AddFile("HomeDomain", "Library/Fill/f" + std::to_string(i), "fill " + std::to_string(i));
        builder.AddFile("HomeDomain", sms, "sms database");
        builder.AddFile("AppDomain-com.tencent.xin", wx, "wechat database");
        builder.AddFile("AppDomainGroup-group.net.whatsapp.WhatsApp.shared", wa, "whatsapp store");
        builder.AddFolder("HomeDomain", "Library/Folder");
        builder.Finish();
        const fs::path manifest = builder.ManifestPath();
        if (!c.schemaEdit.empty()) execSql(manifest, c.schemaEdit);

        CMbdbFileParser intact;
        ASSERT_TRUE(intact.Open(manifest.c_str(), root.c_str(), 14));
        const size_t all = intact.AllEntries().size();
        ASSERT_EQ(123u, all);

        const int64_t rowid = rowidOf(manifest, c.damaged);
        int zeroed = 1;
        if (c.wholePage)
            zeroed = kit::RecordDamage::ZeroLeafRecordsOf(manifest, "Files", rowid);
        else
            ASSERT_TRUE(kit::RecordDamage::ZeroRecord(manifest, "Files", rowid));
        ASSERT_GT(zeroed, 0);
        ASSERT_EQ(SQLITE_NULL, domainTypeOf(manifest, rowid)) << "the row must read as NULLs";
        // Files among the zeroed rows (the page may hold the folder too).
        const size_t files = all - straightforwardReading(manifest).size();
        ASSERT_GT(files, 0u);

        CMbdbFileParser parser;
        ASSERT_TRUE(parser.Open(manifest.c_str(), root.c_str(), 14));
        std::string stored;
        const bool found = parser.GetBackupFileName(
            c.damaged == sms  ? CategorySms
            : c.damaged == wx ? CategoryWeChat
                              : CategoryWhatsApp,
            (c.damaged == sms  ? "/var/mobile/" + sms
             : c.damaged == wx ? "/var/mobile/Applications/com.tencent.xin/" + wx
                               : "/var/mobile/Applications/group.net.whatsapp.WhatsApp.shared/" + wa)
                .c_str(),
            &stored);
        if (c.namesFromIndexes) {
            // Every row of the page is back, in the place the intact manifest gives it.
            EXPECT_TRUE(found);
            ASSERT_EQ(all, parser.AllEntries().size());
            for (size_t i = 0; i < all; ++i) {
                const BackupFileRecord& want = *intact.AllEntries()[i];
                const BackupFileRecord& got = *parser.AllEntries()[i];
                EXPECT_EQ(want.relativePath, got.relativePath);
                EXPECT_EQ(want.size, got.size) << got.relativePath; // the stored file's size
            }
            EXPECT_EQ(0, parser.SkippedFileRows());
            EXPECT_EQ(int(files), parser.UndecodedFileRows());
        } else {
            EXPECT_FALSE(found);
            EXPECT_EQ(all - files, parser.AllEntries().size());
            EXPECT_EQ(zeroed, parser.SkippedFileRows());
        }
        fs::remove_all(root);
    }
}

// A damaged entry whose key still reads but sorts far from its place (a WITHOUT ROWID
// table's own record, or an entry of the fileID index) costs that entry only: the walk
// goes on from the last key it read, the count of skipped rows is what was skipped, and
// a damaged index does not hide the rows of an intact table.
TEST(DbManifest, DamagedKeysCostOnlyTheirEntry) {
    fs::path dir = tempDir("damaged_keys");
    std::mt19937 rng(12);
    std::vector<std::string> ids;
    for (int i = 0; i < 837; ++i)
        ids.push_back(randomHexId(rng, false));
    struct Case {
        const char* name;
        std::string schema;
        std::string tree; // the b-tree of the damaged entry
        int entry;        // its place in key order
        bool tableIntact;
    };
    const Case cases[] = {
        {"a table WITHOUT ROWID",
         "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, "
         "file BLOB) WITHOUT ROWID",
         "Files", 534, false},
        {"a table WITHOUT ROWID, the first entry",
         "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, "
         "file BLOB) WITHOUT ROWID",
         "Files", 1, false},
        {"the fileID index over an intact table",
         "CREATE TABLE Files (fileID TEXT COLLATE NOCASE PRIMARY KEY, domain TEXT, relativePath TEXT, "
         "flags INTEGER, file BLOB)",
         "sqlite_autoindex_Files_1", 69, true},
        {"the fileID index over an intact table, the last entry",
         "CREATE TABLE Files (fileID TEXT COLLATE NOCASE PRIMARY KEY, domain TEXT, relativePath TEXT, "
         "flags INTEGER, file BLOB)",
         "sqlite_autoindex_Files_1", 837, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / "Manifest.db";
        fs::remove(path);
        writeFilesTable(path, shuffledRows(837, 4, [&](int i) { return kit::Value(ids[size_t(i)]); }),
                        c.schema);
        const std::vector<ExpectedEntry> whole = straightforwardReading(path);
        ASSERT_GT(whole.size(), 500u);
        ASSERT_TRUE(kit::RecordDamage::GarbleKeyedEntry(path, c.tree, c.entry));

        CMbdbFileParser parser;
        ASSERT_TRUE(parser.Open(path.c_str(), dir.c_str(), 14));
        const std::vector<ExpectedEntry> got = readEntries(parser);
        EXPECT_TRUE(isSubsequence(got, whole));
        if (c.tableIntact) {
            EXPECT_EQ(whole.size(), got.size());
            EXPECT_EQ(0, parser.SkippedFileRows());
        } else {
            EXPECT_GE(got.size() + 1, whole.size());
            EXPECT_EQ(1, parser.SkippedFileRows());
        }
    }
    fs::remove_all(dir);
}

// SQLite counts the rows through the smallest index of the table: a damaged page of such
// an index fails the count (or would cut it short), while the table and the walks in
// fileID order are intact. Every entry is still read.
TEST(DbManifest, ADamagedIndexThatCountsTheRowsCostsNothing) {
    fs::path dir = tempDir("damaged_count_index");
    std::mt19937 rng(13);
    std::vector<std::string> ids;
    for (int i = 0; i < 600; ++i)
        ids.push_back(randomHexId(rng, false));
    const fs::path path = dir / "Manifest.db";
    writeFilesTable(
        path, shuffledRows(600, 4, [&](int i) { return kit::Value(ids[size_t(i)]); }),
        "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, "
        "file BLOB); CREATE INDEX FilesFlags ON Files(flags)");
    const std::vector<ExpectedEntry> whole = straightforwardReading(path);
    ASSERT_GT(whole.size(), 400u);
    int64_t root = 0;
    uint32_t pageSize = 0;
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr));
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select rootpage from sqlite_master where name='FilesFlags'", -1, &st,
                               nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            root = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        if (sqlite3_prepare_v2(db, "pragma page_size", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            pageSize = uint32_t(sqlite3_column_int64(st, 0));
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    ASSERT_GT(root, 1);
    {
        // The index's root page gets a page type no b-tree page has.
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(std::streamoff((root - 1) * pageSize));
        f.put('\x00');
    }

    CMbdbFileParser parser;
    ASSERT_TRUE(parser.Open(path.c_str(), dir.c_str(), 14));
    const std::vector<ExpectedEntry> got = readEntries(parser);
    EXPECT_EQ(whole.size(), got.size());
    EXPECT_TRUE(isSubsequence(got, whole));
    EXPECT_EQ(0, parser.SkippedFileRows());
    fs::remove_all(dir);
}
