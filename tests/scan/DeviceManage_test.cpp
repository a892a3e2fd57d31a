// The device hub's backup folders, analysis and scan control: property lists, the
// manifest choice, type selections, suffix lists and WeChat lookups, one scan at a
// time, stop and pause, and refusals while a scan runs.
#include "scan/DeviceManage.h"

#include "core/backup/WxAccountEntry.h"
#include "core/records/ScanDataType.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxSessionRecord.h"
#include "platform/Paths.h"
#include "platform/ProcessLog.h"
#include "scan/engine/CScanManager.h"
#include "tests/scan/engine/ScanFakes.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/PipeWatchdog.h"
#include "tests/scan/QtGtestMain.h"
#include "tests/scan/RecordingBackUp.h"
#include "tests/scan/RecordingScanReceiver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>

using scantest::RecordingBackUp;
using scantest::RecordingScanReceiver;
namespace fs = std::filesystem;

namespace {

QStringList Selection(std::initializer_list<int> selected, int size = 17) {
    QStringList s;
    for (int i = 0; i < size; ++i)
        s << "0";
    for (int i : selected)
        s[i] = "1";
    return s;
}

// A hub without device detection, with its own bridge and cache folder.
struct Hub {
    QTemporaryDir cache;
    DeviceScanManager bridge;
    RecordingBackUp backUp;
    RecordingScanReceiver receiver;
    std::unique_ptr<DeviceManage> hub;

    explicit Hub(DeviceManage::Services services = {}) {
        bridge.SetTextLookup([](const QString& key) -> std::optional<QString> { return key; });
        services.scanBridge = &bridge;
        services.cacheFolder = cache.path();
        hub = std::make_unique<DeviceManage>(std::move(services));
        hub->setBackUpdelegate(&backUp);
        hub->setScanFileDelegate(&receiver);
    }
    ~Hub() {
        hub->WaitForTasks();
        hub.reset();
    }

    // Analyses a backup folder and waits for its end.
    QStringList Analyse(const QString& folder, const QString& udid = "") {
        auto info = std::make_shared<DeviceInfo>();
        info->SaveDeviceInfo("", udid, "", "", DeviceRef{}, "");
        info->SetBackUpPath(folder);
        hub->StartAnalyze(info);
        EXPECT_TRUE(QTest::qWaitFor([&] { return backUp.Ended(); }, 20000));
        hub->WaitForTasks();
        QCoreApplication::processEvents();
        return backUp.Events();
    }
    void ScanAndWait(const QStringList& selection) {
        receiver.ended = false;
        hub->StartScan(nullptr, selection);
        EXPECT_TRUE(QTest::qWaitFor([&] { return receiver.ended.load(); }, 20000));
        hub->WaitForTasks();
    }
};

kit::BackupBuilder MakeBackup(const fs::path& root, kit::BackupBuilder::Generation g, const char* version) {
    kit::BackupBuilder b(root, g);
    b.SetProductVersion(version);
    return b;
}

} // namespace

TEST(DeviceManageSelection, TypeSelectionToMask) {
    struct Case {
        QStringList selection;
        uint32_t mask;
    } cases[] = {
        {Selection({13}), ScanWxChats},
        {Selection({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}), 0x7fff},
        {Selection({5, 6, 7}), ScanSms | ScanCallHistory | ScanContacts},
        {Selection({15, 16}), 0},       // the WhatsApp entries are never read
        {QStringList{"1"}, ScanPhotos}, // a short selection counts the missing entries as "0"
        {QStringList{}, 0},
        {QStringList{"true", " 1", "1 ", "01", "1"}, ScanVoiceMemos},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeviceManage::SelectionToMask(c.selection), c.mask) << c.selection.join(",").toStdString();
}

TEST(DeviceManageBackupFolder, VersionComparison) {
    struct Case {
        const char *v, *w;
        bool bigger;
    } cases[] = {
        {"10.0", "9.9.9", true},     {"9.9.9.1", "9.9.9", true}, {"9.9.9", "9.9.9", false},
        {"9.9.9.0", "9.9.9", false}, {"9.3.5", "9.9.9", false},  {"10", "9.9.9", true},
        {"9.10", "9.9.9", true},     {"", "9.9.9", false},       {"17.1.2", "9.9.9", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DeviceManage::isVersionBiggerThanVersion(c.v, c.w), c.bigger) << c.v;

    EXPECT_EQ(DeviceManage::MajorVersion(QString("9.3.5")), 9);
    EXPECT_EQ(DeviceManage::MajorVersion(QString("14")), 14);
    EXPECT_EQ(DeviceManage::MajorVersion(QString("x")), 0);
    EXPECT_EQ(DeviceManage::MajorVersion(QString("99999999999999999999")), 999999999);
    EXPECT_EQ(DeviceManage::MajorVersion(std::nullopt), 0);
}

TEST(DeviceManageBackupFolder, PropertyListsAndManifestChoice) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    struct Case {
        const char* version;
        kit::BackupBuilder::Generation g;
        const char* manifest;
    } cases[] = {
        {"9.3.5", kit::BackupBuilder::Generation::Mbdb, "/Manifest.mbdb"},
        {"9.9.9", kit::BackupBuilder::Generation::Mbdb, "/Manifest.mbdb"},
        {"9.9.9.1", kit::BackupBuilder::Generation::ManifestDb, "/Manifest.db"},
        {"10.0", kit::BackupBuilder::Generation::ManifestDb, "/Manifest.db"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const fs::path folder = root / std::to_string(n++);
        auto b = MakeBackup(folder, c.g, c.version);
        b.SetDevice("Ann's iPhone", "00008030-0011", "SER1", "iPhone12,1");
        b.Finish();
        const QString f = QString::fromStdString(folder.string());
        EXPECT_EQ(DeviceManage::BackUpPath_UID_Get_ProductVersion(f), QString(c.version));
        EXPECT_EQ(DeviceManage::ManifestFileOf(f), f + c.manifest) << c.version;
        EXPECT_EQ(DeviceManage::BackUpPath_UID_Get_DeviceName(f), QString("Ann's iPhone"));
        EXPECT_EQ(DeviceManage::BackUpPath_UID_Get_ProductType(f), QString("iPhone12,1"));
        EXPECT_FALSE(DeviceManage::IsEncryptedBackup(f));
    }

    // Without Manifest.plist the version comes from Info.plist; without either there is
    // none and the older manifest is chosen.
    const QString f = QString::fromStdString((root / "1").string());
    QFile::remove(f + "/Manifest.plist");
    EXPECT_EQ(DeviceManage::BackUpPath_UID_Get_ProductVersion(f), QString("9.9.9"));
    EXPECT_EQ(DeviceManage::BackUpPath_UID_Get_DeviceName(f), std::nullopt);
    // A damaged Manifest.plist counts as missing.
    QFile bad(f + "/Manifest.plist");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("bplist00\xff\xff garbage");
    bad.close();
    EXPECT_EQ(DeviceManage::BackUpPath_UID_Get_ProductVersion(f), QString("9.9.9"));
    EXPECT_FALSE(DeviceManage::IsEncryptedBackup(f));
    QFile::remove(f + "/Info.plist");
    EXPECT_EQ(DeviceManage::BackUpPath_UID_Get_ProductVersion(f), std::nullopt);
    EXPECT_EQ(DeviceManage::ManifestFileOf(f), f + "/Manifest.mbdb");
}

TEST(DeviceManageBackupFolder, ThroughThePagesInterface) {
    QTemporaryDir caches, backup;
    Paths::SetCaches(caches.path());
    DeviceScanManager bridge;
    DeviceManage::Services services;
    services.scanBridge = &bridge;
    DeviceManage hub(std::move(services));
    IDeviceManage& pages = hub;
    // The cache folder follows the (overridable) user cache folder.
    QString app = caches.path();
    for (const QString& part : {QCoreApplication::organizationName(), QCoreApplication::applicationName()})
        if (!part.isEmpty()) app += "/" + part;
    EXPECT_EQ(pages.getSaveBackUpPath(), app + "/backup");
    EXPECT_TRUE(pages.getBackUpPath().isEmpty());
    QFile plist(backup.filePath("Manifest.plist"));
    ASSERT_TRUE(plist.open(QIODevice::WriteOnly));
    plist.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                "<key>IsEncrypted</key><true/></dict></plist>");
    plist.close();
    EXPECT_TRUE(pages.BackUpPath_UID_Get_IsEncrypted(backup.path()));
    EXPECT_FALSE(pages.BackUpPath_UID_Get_IsEncrypted(caches.path()));
    EXPECT_FALSE(pages.isScan());
    Paths::ResetOverrides();
}

TEST(DeviceManageBackupFolder, BackupFolderOfADeviceOrAChosenFolder) {
    Hub h;
    QDir root(h.cache.path());
    ASSERT_TRUE(root.mkpath("cacheroot/UDID-1"));
    ASSERT_TRUE(root.mkpath("cacheroot/x"));
    QFile file(root.filePath("cacheroot/UDID-2"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString folder = root.filePath("cacheroot");

    struct Case {
        const char* uid;
        QString expected;
    } cases[] = {
        {"UDID-1", folder + "/UDID-1"}, // a fresh device backup inside the root
        {"UDID-2", folder},             // a file of that name is no backup folder
        {"UDID-3", folder},             // a chosen backup folder stays as it is
        {"../cacheroot/x", folder},     // a UDID never leads out of the folder
        {"x/..", folder},
        {"", folder},
    };
    for (const Case& c : cases) {
        h.hub->setBackUpUID(folder, c.uid);
        EXPECT_EQ(h.hub->getBackUpPath(), c.expected) << c.uid;
    }
    EXPECT_EQ(h.hub->getSaveBackUpPath(), h.cache.path() + "/backup");
}

TEST(DeviceManageSuffixes, ListsAndFilterFromTheResources) {
    Hub h;
    EXPECT_TRUE(h.hub->csPhotoSuffix().startsWith("*.JPG;*.JPEG;"));
    EXPECT_TRUE(h.hub->isPhotoSuffix("*.jpg;"));
    EXPECT_TRUE(h.hub->isAudioSuffix("*.aud;"));
    EXPECT_TRUE(h.hub->isVideoSuffix("*.MOV;"));
    EXPECT_TRUE(h.hub->isOtherSuffix("*.pdf;"));
    EXPECT_FALSE(h.hub->isPhotoSuffix("*.jp;"));
    EXPECT_FALSE(h.hub->isPhotoSuffix("jpg"));
    EXPECT_TRUE(h.hub->isWXChar("weixin", ""));
    EXPECT_FALSE(h.hub->isWXChar("wxid_friend", "Friend"));
}

TEST(DeviceManageSuffixes, SuffixFileSectionsAndDamage) {
    QTemporaryDir dir;
    auto write = [&](const char* name, const QByteArray& text) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return dir.filePath(name);
    };
    QStringList log;
    ProcessLog::Sink previous = ProcessLog::SetSink([&](const QString& line) { log << line; });

    DeviceManage::Services s;
    s.suffixResource =
        write("conf", "<C><Filed FILEEXT=\"*.EARLY;\"/><AudioWildcard>"
                      "<Filed FILEEXT=\"*.AUD;\"/></AudioWildcard><Other/>"
                      "<Filed FILEEXT=\"*.LATE;\"/><PhotoWildcard/><Filed FILEEXT=\"*.PNG;\"/></C>");
    s.optionResource = write("opt", "not a plist");
    {
        Hub h(s);
        // Before any section: other; sections are never closed; unknown elements change nothing.
        EXPECT_EQ(h.hub->csOtherSuffix(), "*.EARLY;");
        EXPECT_EQ(h.hub->csAudioSuffix(), "*.AUD;*.LATE;");
        EXPECT_EQ(h.hub->csPhotoSuffix(), "*.PNG;");
        EXPECT_TRUE(h.hub->csVideoSuffix().isEmpty());
        EXPECT_FALSE(h.hub->isWXChar("weixin", ""));
    }
    EXPECT_TRUE(log.contains(QString::fromUtf8("【日志】conf.xml文件解析成功")));

    log.clear();
    s.suffixResource = write("broken", "<C><PhotoWildcard><Filed FILEEXT=\"*.JPG;\"/><Filed FILEEXT=");
    {
        Hub h(s);
        EXPECT_EQ(h.hub->csPhotoSuffix(), "*.JPG;"); // what was read before the error stays
    }
    EXPECT_TRUE(log.contains(QString::fromUtf8("【日志】conf.xml文件解析失败")));

    s.suffixResource = dir.filePath("missing");
    {
        Hub h(s);
        EXPECT_TRUE(h.hub->csPhotoSuffix().isEmpty());
    }
    ProcessLog::SetSink(previous);
}

TEST(DeviceManageAnalysis, BackupsOfBothGenerationsOpen) {
    for (auto g : {kit::BackupBuilder::Generation::Mbdb, kit::BackupBuilder::Generation::ManifestDb}) {
        Hub h;
        QTemporaryDir dir;
        kit::BackupBuilder b(dir.path().toStdString(), g);
        for (int i = 0; i < 50; ++i)
            b.AddFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + std::to_string(i) + ".JPG", "jpeg");
        b.Finish();
        const auto before = kit::FolderSnapshot::Take(b.root());

        EXPECT_EQ(h.Analyse(dir.path()), QStringList{"AnalyzeFinish"});
        EXPECT_TRUE(h.hub->isBackUpLoser());
        EXPECT_EQ(h.hub->getBackUpPath(), dir.path());
        // Progress reached the GUI thread, rising to 100.
        EXPECT_FALSE(h.backUp.analyzeOffGuiThread);
        ASSERT_FALSE(h.backUp.percents.isEmpty());
        EXPECT_EQ(h.backUp.percents.last(), 100);
        EXPECT_TRUE(std::is_sorted(h.backUp.percents.begin(), h.backUp.percents.end()));
        EXPECT_EQ("", kit::FolderSnapshot::Take(b.root()).DiffFrom(before));
    }
}

TEST(DeviceManageAnalysis, BadBackupFoldersFail) {
    enum Damage { Encrypted, NoManifest, InfoPlistOnly, GarbageManifest, EmptyFolder, NoFolder };
    for (Damage d : {Encrypted, NoManifest, InfoPlistOnly, GarbageManifest, EmptyFolder, NoFolder}) {
        Hub h;
        QTemporaryDir dir;
        QString folder = dir.path();
        if (d == NoFolder) {
            folder += "/absent";
        } else if (d != EmptyFolder) {
            kit::BackupBuilder b(dir.path().toStdString(), kit::BackupBuilder::Generation::ManifestDb);
            b.AddFile("HomeDomain", "Library/SMS/sms.db", "x");
            b.SetEncrypted(d == Encrypted);
            b.Finish();
            if (d == NoManifest || d == InfoPlistOnly)
                QFile::remove(QString::fromStdString(b.ManifestPath().string()));
            if (d == InfoPlistOnly) QFile::remove(folder + "/Manifest.plist");
            if (d == GarbageManifest) {
                QFile m(QString::fromStdString(b.ManifestPath().string()));
                ASSERT_TRUE(m.open(QIODevice::WriteOnly | QIODevice::Truncate));
                m.write("SQLite format 3\0garbage garbage garbage", 40);
            }
        }
        QStringList log;
        ProcessLog::Sink previous = ProcessLog::SetSink([&](const QString& line) { log << line; });
        const auto before = kit::FolderSnapshot::Take(dir.path().toStdString());
        EXPECT_EQ(h.Analyse(folder), QStringList{"BackUpLoser"}) << d;
        ProcessLog::SetSink(previous);
        EXPECT_FALSE(h.hub->isBackUpLoser()) << d;
        EXPECT_TRUE(log.contains(
            QString::fromUtf8(d == Encrypted ? "【日志】备份文件已加密" : "【日志】分析文件打开失败")))
            << d;
        EXPECT_EQ("", kit::FolderSnapshot::Take(dir.path().toStdString()).DiffFrom(before)) << d;
    }
}

// A named pipe in place of a property list or of the manifest is refused at once: the
// analysis ends (it used to block for ever, and every later analysis was refused), and
// the next backup is analysed as usual.
TEST(DeviceManageAnalysis, PipesInPlaceOfBackupFilesEndTheAnalysis) {
    for (const char* name : {"Manifest.plist", "Info.plist", "Manifest.db"}) {
        Hub h;
        QTemporaryDir dir;
        kit::BackupBuilder b(dir.path().toStdString(), kit::BackupBuilder::Generation::ManifestDb);
        b.AddFile("HomeDomain", "Library/SMS/sms.db", "x");
        b.Finish();
        kit::PipeWatchdog watchdog(std::chrono::seconds(10));
        ASSERT_TRUE(watchdog.MakePipe(fs::path(dir.path().toStdString()) / name));
        watchdog.Start();
        const QStringList events = h.Analyse(dir.path());
        EXPECT_FALSE(watchdog.Stop()) << name << ": the analysis blocked on the pipe";
        ASSERT_EQ(1, events.size()) << name;
        // Without Manifest.db the backup cannot be read; without a property list the
        // version comes from the other one.
        EXPECT_EQ(std::string(name) == "Manifest.db" ? "BackUpLoser" : "AnalyzeFinish",
                  events[0].toStdString())
            << name;

        QTemporaryDir good;
        kit::BackupBuilder g(good.path().toStdString(), kit::BackupBuilder::Generation::ManifestDb);
        g.AddFile("HomeDomain", "Library/SMS/sms.db", "x");
        g.Finish();
        h.backUp.Clear();
        EXPECT_EQ(h.Analyse(good.path()), QStringList{"AnalyzeFinish"}) << name;
    }
}

TEST(DeviceManageAnalysis, ADeviceWithoutBackupPathUsesTheCacheFolder) {
    Hub h;
    const QString udid = "00008030-001a2b3c4d5e6f70";
    const QString folder = h.hub->getSaveBackUpPath() + "/" + udid;
    kit::BackupBuilder b(folder.toStdString(), kit::BackupBuilder::Generation::ManifestDb);
    b.AddFile("HomeDomain", "Library/Notes/notes.sqlite", "x");
    b.Finish();
    auto info = std::make_shared<DeviceInfo>();
    info->SaveDeviceInfo("Phone", udid, "S", "P", DeviceRef{}, "14.2");
    h.hub->StartAnalyze(info);
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.backUp.Ended(); }, 20000));
    EXPECT_EQ(h.backUp.Events(), QStringList{"AnalyzeFinish"});
    EXPECT_EQ(h.hub->getBackUpPath(), folder);
}

TEST(DeviceManageScan, OneScanAtATimeAndNoAnalysisOrBackupMeanwhile) {
    Hub h;
    QTemporaryDir dir;
    kit::BackupBuilder b(dir.path().toStdString(), kit::BackupBuilder::Generation::ManifestDb);
    b.AddFile("HomeDomain", "Library/Notes/notes.sqlite", "x");
    b.Finish();
    ASSERT_EQ(h.Analyse(dir.path()), QStringList{"AnalyzeFinish"});

    // The first scan's bookmark parser waits until the test lets it go.
    std::mutex m;
    std::condition_variable cv;
    bool inParser = false, release = false;
    int runs = 0;
    h.bridge.SetScanManagerHook([&](CScanManager& mgr) {
        CScanSteps steps;
        steps.bookmarks = [&](CScanManager&) {
            std::unique_lock<std::mutex> lock(m);
            ++runs;
            inParser = true;
            cv.notify_all();
            cv.wait(lock, [&] { return release; });
            return true;
        };
        mgr.SetSteps(steps);
    });
    h.hub->StartScan(nullptr, Selection({8}));
    {
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return inParser; }));
    }
    EXPECT_TRUE(h.hub->isScan());
    h.hub->StartScan(nullptr, Selection({8})); // ignored
    h.backUp.Clear();
    h.hub->StartAnalyze(nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.backUp.Ended(); }, 20000));
    EXPECT_EQ(h.backUp.Events(), QStringList{"BackUpLoser"});
    auto device = std::make_shared<DeviceInfo>();
    device->SaveDeviceInfo("", "UDID", "", "", DeviceRef{}, "");
    h.hub->StartBackUp(device);
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.backUp.Events().size() == 2; }, 20000));
    EXPECT_EQ(h.backUp.Events(), (QStringList{"BackUpLoser", "BackUpLoser"}));

    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.receiver.ended.load(); }, 20000));
    h.hub->WaitForTasks();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(h.receiver.Messages(), (QStringList{"ScanBookmarks", "ScanEnd"}));
    EXPECT_FALSE(h.hub->isScan());
    EXPECT_TRUE(h.hub->isScanStop()); // a scan that ended by itself leaves the flag set

    // The next scan may start once ScanEnd has been sent.
    h.ScanAndWait(Selection({8}));
    EXPECT_EQ(runs, 2);
}

TEST(DeviceManageScan, AStopRightAfterTheStartEndsTheScanAtOnce) {
    Hub h;
    bool ran = false;
    h.bridge.SetScanManagerHook([&](CScanManager& mgr) {
        CScanSteps steps;
        steps.calendar = [&](CScanManager&) { return ran = true; };
        mgr.SetSteps(steps);
    });
    h.hub->StartScan(nullptr, Selection({11}));
    h.hub->StopScan();
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.receiver.ended.load(); }, 20000));
    h.hub->WaitForTasks();
    EXPECT_FALSE(ran);
    EXPECT_FALSE(h.hub->isScanStop());
    const QStringList messages = h.receiver.Messages();
    EXPECT_EQ(messages.last(), "ScanEnd");
    ASSERT_FALSE(h.receiver.progress.isEmpty());
    EXPECT_EQ(h.receiver.progress.last().value, 100);
    EXPECT_EQ(h.receiver.progress.last().maximum, 100);
    EXPECT_EQ(h.receiver.progress.last().text, "ScanComplete");
}

TEST(DeviceManageScan, PauseAndResume) {
    Hub h;
    std::atomic<int> step{0};
    h.bridge.SetScanManagerHook([&](CScanManager& mgr) {
        CScanSteps steps;
        steps.bookmarks = [&](CScanManager& s) {
            step = 1;
            // The pause holds the scan at its next progress report.
            while (h.hub->isPause())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            s.ReportProgress(ScanBookmarks, 2, 1, 2, false);
            step = 2;
            return true;
        };
        mgr.SetSteps(steps);
    });
    h.hub->StartScan(nullptr, Selection({8}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return step.load() == 1; }, 20000));
    h.hub->SetPauseScan(false);
    QTest::qWait(200);
    EXPECT_EQ(step.load(), 1);
    EXPECT_FALSE(h.hub->isPause());
    h.hub->SetPauseScan(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.receiver.ended.load(); }, 20000));
    EXPECT_EQ(step.load(), 2);
}

// Each scan writes its derived files into a folder of its own under the cache folder;
// the folder goes when the next scan starts and when RemoveScanFolders runs (quit).
// Folders the hub did not make, and whatever a symbolic link in a scan folder points
// to, stay.
TEST(DeviceManageScan, ScanFoldersGoWithTheNextScanAndAtQuit) {
    Hub h;
    QTemporaryDir outside;
    const QString kept = outside.path() + "/user-picture.jpg";
    {
        QFile f(kept);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("mine");
    }
    const QString scans = h.cache.path() + "/scan";
    // Left behind by another run: neither reused nor removed.
    ASSERT_TRUE(QDir().mkpath(scans + "/1"));
    QFile(scans + "/1/other.png").open(QIODevice::WriteOnly);

    QString first;
    h.bridge.SetScanManagerHook([&](CScanManager& mgr) {
        const QString out = QString::fromStdString(mgr.OutputDir());
        if (first.isEmpty()) first = out;
        // What a contacts parser leaves there, and a link out of the cache.
        QFile(out + "/contact-1.png").open(QIODevice::WriteOnly);
        QDir().mkpath(out + "/sub");
        QFile::link(outside.path(), out + "/sub/link-to-folder");
        QFile::link(kept, out + "/link-to-file");
        mgr.SetSteps(CScanSteps());
    });
    h.ScanAndWait(Selection({8}));
    ASSERT_FALSE(first.isEmpty());
    EXPECT_NE(first, scans + "/1");
    EXPECT_TRUE(QFileInfo::exists(first + "/contact-1.png"));
    EXPECT_EQ(h.hub->ScanOutputFolder(), first);

    h.ScanAndWait(Selection({8}));
    const QString second = h.hub->ScanOutputFolder();
    EXPECT_NE(second, first);
    EXPECT_FALSE(QFileInfo::exists(first)) << first.toStdString();
    EXPECT_TRUE(QFileInfo::exists(second + "/contact-1.png"));

    h.hub->RemoveScanFolders();
    EXPECT_FALSE(QFileInfo::exists(second)) << second.toStdString();
    EXPECT_TRUE(QFileInfo::exists(scans + "/1/other.png"));
    EXPECT_TRUE(QFileInfo::exists(kept));
    EXPECT_TRUE(QFileInfo(outside.path()).isDir());
    h.hub->RemoveScanFolders(); // nothing left to remove: harmless
}

TEST(DeviceManageLookups, WeChatResourcesThroughThePerScanIndex) {
    Hub h;
    QTemporaryDir dir;
    kit::BackupBuilder b(dir.path().toStdString(), kit::BackupBuilder::Generation::ManifestDb);
    b.AddFile("AppDomain-com.tencent.xin", "Documents/abc/Img/friend/1.pic", "img");
    b.AddFile("AppDomain-com.tencent.xin", "Documents/abc/Audio/friend/2.aud", "aud");
    b.Finish();
    ASSERT_EQ(h.Analyse(dir.path()), QStringList{"AnalyzeFinish"});

    const QString image = "/var/mobile/Applications/com.tencent.xin/Documents/abc/Img/friend/1.pic";
    const QString found = h.hub->SearchWXResources(image);
    EXPECT_EQ(found, dir.path() + "/" +
                         QString::fromStdString(
                             b.StoredPath("AppDomain-com.tencent.xin", "Documents/abc/Img/friend/1.pic")));
    EXPECT_TRUE(QFile::exists(found));
    EXPECT_EQ(h.hub->SearchWXResources(image + "x"), "");
    EXPECT_EQ(h.hub->SearchWXResources(image.left(image.size() - 1)), "");
    EXPECT_EQ(h.hub->SearchWXResources(""), "");
    EXPECT_EQ(h.hub->SearchWXAccountHeadImageUrl("nobody"), "");
}

// The shipped WeChat resource names the avatar host: account discovery takes the
// owner's avatar address from the account archive only when it begins with that host.
TEST(DeviceManageLookups, TheShippedAvatarHostGivesTheOwnersAvatar) {
    Hub h; // the resources built into the application
    QTemporaryDir dir;
    kit::BackupBuilder b(dir.path().toStdString(), kit::BackupBuilder::Generation::ManifestDb);
    const std::string folder = "Documents/0123456789abcdef0123456789abcdef";
    const std::string avatar = "http://wx.qlogo.cn/mmhead/ver_1/owner/132";
    const std::string archive =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<plist version=\"1.0\"><dict><key>$archiver</key><string>NSKeyedArchiver</string>"
        "<key>$objects</key><array><string>$null</string><dict/><string>wxid_owner</string>"
        "<string>Owner</string><string>http://elsewhere.test/mmhead/owner/0</string><string>" +
        avatar + "</string></array></dict></plist>\n";
    b.AddFile("AppDomain-com.tencent.xin", folder + "/DB/MM.sqlite", "db");
    b.AddFile("AppDomain-com.tencent.xin", folder + "/mmsetting.archive", archive);
    b.Finish();
    ASSERT_EQ(h.Analyse(dir.path()), QStringList{"AnalyzeFinish"});

    const WxAccountList* accounts = h.hub->fileParser().ScanWeChatAccounts();
    ASSERT_NE(accounts, nullptr);
    ASSERT_EQ(accounts->size(), 1u);
    EXPECT_EQ((*accounts)[0]->userName, "wxid_owner");
    EXPECT_EQ((*accounts)[0]->headImageUrl, avatar);
}

// The bridge's WeChat conversion asks the hub: the filter leaves contacts out and
// message media resolve to the stored files of the backup in use.
TEST(DeviceManageLookups, TheBridgeFiltersContactsAndFindsMediaThroughTheHub) {
    Hub h;
    QTemporaryDir dir;
    kit::BackupBuilder b(dir.path().toStdString(), kit::BackupBuilder::Generation::Mbdb);
    b.AddFile("AppDomain-com.tencent.xin", "Documents/abc/Img/friend/1.pic", "img");
    b.Finish();
    ASSERT_EQ(h.Analyse(dir.path()), QStringList{"AnalyzeFinish"});

    scantest::FakeFileParser accounts;
    accounts.AddAccount(0);
    accounts.accounts[0]->nickName = "Me";
    accounts.accounts[0]->accountFolder = "/var/mobile/Applications/com.tencent.xin/Documents/abc";
    h.bridge.SetScanState(true);
    h.bridge.StartScan(&accounts, 0, dir.path() + "/", 9, {}, h.cache.path());

    RecordList<WxContactRecord> contacts;
    for (const char* alias : {"weixin", "friend_alias"}) {
        auto c = std::make_unique<WxContactRecord>();
        c->alias = alias;
        c->userName = std::string("wxid_") + alias;
        contacts.append(std::move(c));
    }
    h.bridge.OnScanData(ScanWxContacts, contacts.first);
    ASSERT_EQ(h.receiver.wxAddressBooks.size(), 1);
    ASSERT_TRUE(h.receiver.wxAddressBooks[0].has_value());
    const auto& friends = (*h.receiver.wxAddressBooks[0])[0].AccountWXData()[0].AddressBook();
    ASSERT_EQ(friends.size(), 1);
    EXPECT_EQ(friends[0].WxId(), "friend_alias");

    RecordList<WxSessionRecord> sessions;
    auto session = std::make_unique<WxSessionRecord>();
    session->peer = contacts.last;
    auto image = std::make_unique<WxMessageRecord>();
    image->type = 3;
    image->mediaPath = "Img/friend/1";
    session->messages.append(std::move(image));
    sessions.append(std::move(session));
    h.bridge.OnScanData(ScanWxChats, sessions.first);
    ASSERT_EQ(h.receiver.wxChats.size(), 1);
    const NSWXChatFriendData* chat = h.receiver.wxChats[0]["Me"].getWXCharFriendobj("wxid_friend_alias");
    ASSERT_NE(chat, nullptr);
    ASSERT_EQ(chat->WXSMSData().size(), 1);
    EXPECT_EQ(chat->WXSMSData()[0].ResourcesFile(),
              dir.path() + "/" +
                  QString::fromStdString(
                      b.StoredPath("AppDomain-com.tencent.xin", "Documents/abc/Img/friend/1.pic")));
    EXPECT_EQ(chat->WXSMSData()[0].Content(), ""); // no thumbnail in this backup
}

QT_GTEST_MAIN(QCoreApplication)
