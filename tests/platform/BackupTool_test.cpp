// The backup tool as a child process, replaced by a script on PATH: its command line,
// its output streamed in bounded lines, and every way it can fail; then the whole
// device road: backup, analysis of the fresh backup and a scan.
#include "platform/BackupToolRunner.h"
#include "scan/DeviceManage.h"
#include "platform/ProcessLog.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/SampleBackup.h"
#include "tests/scan/QtGtestMain.h"
#include "tests/scan/RecordingBackUp.h"
#include "tests/scan/RecordingScanReceiver.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using scantest::RecordingBackUp;
using scantest::RecordingScanReceiver;

namespace {

// The stand-in tool: records its arguments, one per line, then acts as FAKE_MODE says.
const char kScript[] = R"(#!/bin/sh
printf '%s\n' "$@" > "$FAKE_ARGS"
[ -d "$4" ] || { echo "no root"; exit 9; }
case "$FAKE_MODE" in
  copy)  echo "Backup started"; mkdir -p "$4/$2" && cp -R "$FAKE_SOURCE/." "$4/$2/"; echo "Backup Successful."; exit 0 ;;
  fail)  echo "ERROR: device locked"; exit 3 ;;
  crash) echo "about to crash"; kill -SEGV $$ ;;
  long)  head -c 3000000 /dev/zero | tr '\0' 'x'; printf '\nlast line\n'; exit 0 ;;
  hang)  sleep 30; exit 0 ;;
esac
exit 0
)";

struct FakeTool {
    QTemporaryDir bin;
    QString argsFile;
    QByteArray oldPath;

    explicit FakeTool(const QString& name = "idevicebackup2") {
        QFile f(bin.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(kScript);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        argsFile = bin.filePath("args");
        oldPath = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8() + ":" + oldPath);
        qputenv("FAKE_ARGS", argsFile.toUtf8());
    }
    ~FakeTool() { qputenv("PATH", oldPath); }
    void Mode(const char* mode) { qputenv("FAKE_MODE", mode); }
    QStringList Args() const {
        QFile f(argsFile);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
};

} // namespace

TEST(BackupToolRunner, CommandLineAndOutcomes) {
    FakeTool tool;
    QTemporaryDir root;
    const QString folder = root.filePath("cache root with spaces");
    QDir().mkpath(folder);

    struct Case {
        const char* mode;
        BackupToolRunner::Status status;
        int exitCode;
    } cases[] = {
        {"ok", BackupToolRunner::Status::Finished, 0},
        {"fail", BackupToolRunner::Status::ExitedWithError, 3},
        {"crash", BackupToolRunner::Status::Crashed, -1},
    };
    for (const Case& c : cases) {
        tool.Mode(c.mode);
        QStringList lines;
        const auto result =
            BackupToolRunner::Run("idevicebackup2", "UDID-1", folder, [&](const QString& l) { lines << l; });
        EXPECT_EQ(result.status, c.status) << c.mode;
        if (c.exitCode >= 0) {
            EXPECT_EQ(result.exitCode, c.exitCode) << c.mode;
        }
        EXPECT_EQ(tool.Args(), (QStringList{"-u", "UDID-1", "backup", folder})) << c.mode;
        if (QString(c.mode) == "fail") {
            EXPECT_EQ(lines, QStringList{"ERROR: device locked"});
        }
    }

    EXPECT_EQ(BackupToolRunner::Run("no-such-backup-tool-here", "U", folder, nullptr).status,
              BackupToolRunner::Status::NotFound);
    // A file of that name that cannot be run is not the tool.
    QFile plain(tool.bin.filePath("not-executable-tool"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(BackupToolRunner::Run("not-executable-tool", "U", folder, nullptr).status,
              BackupToolRunner::Status::NotFound);
}

TEST(BackupToolRunner, OutputIsStreamedInBoundedLines) {
    FakeTool tool;
    tool.Mode("long");
    QTemporaryDir root;
    qint64 bytes = 0;
    int longest = 0;
    QString last;
    const auto result = BackupToolRunner::Run("idevicebackup2", "U", root.path(), [&](const QString& l) {
        bytes += l.size();
        longest = std::max<int>(longest, int(l.toUtf8().size()));
        last = l;
    });
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(bytes, 3000000 + 9);
    EXPECT_LE(longest, BackupToolRunner::kMaxLineBytes);
    EXPECT_EQ(last, "last line");
}

TEST(BackupToolRunner, CancelKillsTheTool) {
    FakeTool tool;
    tool.Mode("hang");
    QTemporaryDir root;
    std::atomic<bool> cancel{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel = true;
    });
    const auto result = BackupToolRunner::Run("idevicebackup2", "U", root.path(), nullptr, &cancel);
    stopper.join();
    EXPECT_EQ(result.status, BackupToolRunner::Status::Cancelled);
}

namespace {

struct DeviceRoad {
    QTemporaryDir cache;
    DeviceScanManager bridge;
    RecordingBackUp backUp;
    RecordingScanReceiver receiver;
    std::unique_ptr<DeviceManage> hub;
    std::shared_ptr<DeviceInfo> device = std::make_shared<DeviceInfo>();

    explicit DeviceRoad(const QString& udid = "00008030-001a2b3c4d5e6f70") {
        DeviceManage::Services s;
        s.scanBridge = &bridge;
        s.cacheFolder = cache.path();
        hub = std::make_unique<DeviceManage>(std::move(s));
        hub->setBackUpdelegate(&backUp);
        hub->setScanFileDelegate(&receiver);
        device->SaveDeviceInfo("Ann's iPhone", udid, "SER", "iPhone12,1", DeviceRef{udid.toStdString(), 1},
                               "14.2");
    }
    ~DeviceRoad() {
        hub->WaitForTasks();
        hub.reset();
    }
    QStringList BackUp() {
        backUp.Clear();
        hub->StartBackUp(device);
        EXPECT_TRUE(QTest::qWaitFor([&] { return backUp.Ended(); }, 30000));
        hub->WaitForTasks();
        return backUp.Events();
    }
};

} // namespace

TEST(DeviceRoad, BackupAnalysisAndScanOfAFreshBackup) {
    FakeTool tool;
    tool.Mode("copy");
    QTemporaryDir source;
    const kit::SampleBackup sample = kit::SampleBackup::Build(source.filePath("backup").toStdString(),
                                                              kit::BackupBuilder::Generation::ManifestDb, 1,
                                                              source.filePath("scratch").toStdString());
    qputenv("FAKE_SOURCE", source.filePath("backup").toUtf8());

    DeviceRoad road;
    QStringList log;
    ProcessLog::Sink previous = ProcessLog::SetSink([&](const QString& l) { log << l; });
    const QString root = road.hub->getSaveBackUpPath();
    EXPECT_EQ(road.BackUp(), QStringList{"BackUpFinish:" + root});
    ProcessLog::SetSink(previous);
    EXPECT_EQ(tool.Args(), (QStringList{"-u", road.device->getIdentifyNumber(), "backup", root}));
    // The tool's output went to the log, line by line.
    EXPECT_TRUE(log.contains(QString::fromUtf8("【日志】备份:Backup Successful.")));

    // The page analyses the fresh backup: root plus UDID.
    road.backUp.Clear();
    road.hub->StartAnalyze(road.device);
    ASSERT_TRUE(QTest::qWaitFor([&] { return road.backUp.Ended(); }, 30000));
    EXPECT_EQ(road.backUp.Events(), QStringList{"AnalyzeFinish"});
    const QString folder = root + "/" + road.device->getIdentifyNumber();
    EXPECT_EQ(road.hub->getBackUpPath(), folder);
    const auto before = kit::FolderSnapshot::Take(folder.toStdString());

    QStringList selection;
    for (int i = 0; i < 17; ++i)
        selection << (i == 0 ? "1" : "0");
    road.hub->StartScan(road.device, selection);
    ASSERT_TRUE(QTest::qWaitFor([&] { return road.receiver.ended.load(); }, 30000));
    EXPECT_EQ(road.receiver.Messages(), (QStringList{"ScanPhoto", "ScanVideo", "ScanMusic", "ScanEnd"}));
    EXPECT_EQ(road.receiver.photos.size(), sample.photos);
    EXPECT_EQ(road.receiver.photos[0].BackUpPath(), folder + "/");
    road.hub->WaitForTasks();
    EXPECT_EQ("", kit::FolderSnapshot::Take(folder.toStdString()).DiffFrom(before));
}

TEST(DeviceRoad, AFailedBackupIsAFailureEvenBesideAnOldCopy) {
    FakeTool tool;
    DeviceRoad road;
    // A complete backup of an earlier run lies in the cache.
    const QString stale = road.hub->getSaveBackUpPath() + "/" + road.device->getIdentifyNumber();
    kit::SampleBackup::Build(stale.toStdString(), kit::BackupBuilder::Generation::ManifestDb, 1,
                             road.cache.filePath("scratch").toStdString());

    for (const char* mode : {"fail", "crash"}) {
        tool.Mode(mode);
        EXPECT_EQ(road.BackUp(), QStringList{"BackUpLoser"}) << mode;
    }
    qputenv("PATH", tool.bin.path().toUtf8() + "/absent"); // no tool on PATH
    EXPECT_EQ(road.BackUp(), QStringList{"BackUpLoser"});
}

TEST(DeviceRoad, AUdidThatIsNoFolderNameIsRefusedBeforeTheTool) {
    FakeTool tool;
    tool.Mode("copy");
    for (const char* udid : {"../evil", "a/b", "..", ""}) {
        DeviceRoad road(udid);
        EXPECT_EQ(road.BackUp(), QStringList{"BackUpLoser"}) << udid;
        EXPECT_TRUE(tool.Args().isEmpty()) << udid;
        EXPECT_FALSE(QDir(road.cache.path()).exists("evil"));
    }
}

QT_GTEST_MAIN(QCoreApplication)
