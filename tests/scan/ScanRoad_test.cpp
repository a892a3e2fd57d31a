// Whole scans of kit-built backups through the device hub's analysis and scan control,
// without any window: the order of the deliveries, their records, the final progress,
// ScanEnd last, and the backup folder left exactly as it was.
#include "scan/DeviceManage.h"

#include "core/records/ScanDataType.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/SampleBackup.h"
#include "tests/scan/QtGtestMain.h"
#include "tests/scan/RecordingBackUp.h"
#include "tests/scan/RecordingScanReceiver.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <bit>
#include <set>

#include <gtest/gtest.h>

using scantest::RecordingBackUp;
using scantest::RecordingScanReceiver;

namespace {

// Selection entries of the data types (entry index -> the delivery it leads to).
QStringList SelectionOf(uint32_t mask) {
    const uint32_t bits[15] = {0x80, 0x100, 0x200, 0x400, 0x800,  0x1,    0x2,   0x4,
                               0x8,  0x10,  0x20,  0x40,  0x1000, 0x2000, 0x4000};
    QStringList s;
    for (uint32_t bit : bits)
        s << ((mask & bit) ? "1" : "0");
    return s << "0"
             << "0";
}

// The deliveries a mask leads to, in scan order. The WeChat contact and chat
// deliveries come from the WeChat result conversion and are not counted here.
QStringList ExpectedSequence(uint32_t mask) {
    QStringList s;
    if (mask & (0x80 | 0x100 | 0x800))
        s << "ScanPhoto"
          << "ScanVideo"
          << "ScanMusic";
    if (mask & 0x200) s << "ScanSMSAttachment";
    if (mask & 0x400) s << "ScanMemoAttachment";
    if (mask & 0x4000) s << "ScanWXAttachment";
    if (mask & 0x8) s << "ScanBookmarks";
    if (mask & 0x40) s << "ScanCalendar";
    if (mask & 0x10) s << "ScanReminders";
    if (mask & 0x20) s << "ScanMemo";
    if (mask & 0x4) s << "ScanContact";
    if (mask & 0x2) s << "ScanCallLog";
    if (mask & 0x1) s << "ScanSMS";
    return s << "ScanEnd";
}

struct Road {
    QTemporaryDir cache;
    DeviceScanManager bridge;
    RecordingBackUp backUp;
    RecordingScanReceiver receiver;
    std::unique_ptr<DeviceManage> hub;

    Road() {
        DeviceManage::Services s;
        s.scanBridge = &bridge;
        s.cacheFolder = cache.path();
        hub = std::make_unique<DeviceManage>(std::move(s));
        hub->setBackUpdelegate(&backUp);
        hub->setScanFileDelegate(&receiver);
    }
    ~Road() {
        hub->WaitForTasks();
        hub.reset();
    }
};

} // namespace

class ScanRoad : public ::testing::TestWithParam<kit::BackupBuilder::Generation> {
  protected:
    void SetUp() override { QSettings().setValue("AppLanguage", "en"); }
    void TearDown() override { QSettings().remove("AppLanguage"); }
};

TEST_P(ScanRoad, WholeScansOfAKitBackup) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/backup";
    // Two WeChat accounts: each has its own part of the bar.
    const kit::SampleBackup sample = kit::SampleBackup::Build(folder.toStdString(), GetParam(), 1,
                                                              (dir.path() + "/scratch").toStdString(), 2);
    const auto before = kit::FolderSnapshot::Take(folder.toStdString());

    Road road;
    auto device = std::make_shared<DeviceInfo>();
    device->SaveDeviceInfo("Backup", "00008030-001a2b3c4d5e6f70", "", "", DeviceRef{}, "");
    device->SetBackUpPath(folder);
    road.hub->StartAnalyze(device);
    ASSERT_TRUE(QTest::qWaitFor([&] { return road.backUp.Ended(); }, 30000));
    ASSERT_EQ(road.backUp.Events(), QStringList{"AnalyzeFinish"});

    const uint32_t masks[] = {
        0x7fff, 0x80, 0x800 | 0x4000, 0x1 | 0x2 | 0x4, 0x8 | 0x10 | 0x20 | 0x40, 0x2000, 0x200 | 0x400 | 0x1};
    for (uint32_t mask : masks) {
        SCOPED_TRACE(mask);
        RecordingScanReceiver receiver;
        road.hub->setScanFileDelegate(&receiver);
        road.hub->StartScan(device, SelectionOf(mask));
        ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.ended.load(); }, 60000));
        road.hub->WaitForTasks();
        road.hub->setScanFileDelegate(nullptr);

        QStringList sequence = receiver.Messages();
        sequence.removeAll("ScanWXAddressBook");
        sequence.removeAll("ScanWXChat");
        EXPECT_EQ(sequence, ExpectedSequence(mask));

        // The final progress is the completion text at 100 of 100, sent before ScanEnd.
        ASSERT_GT(receiver.progressAtEnd, 0);
        const auto& last = receiver.progress[receiver.progressAtEnd - 1];
        EXPECT_EQ(last.value, 100);
        EXPECT_EQ(last.maximum, 100);
        EXPECT_EQ(last.text, "Scan complete");
        EXPECT_EQ(receiver.progress.size(), receiver.progressAtEnd);
        for (const auto& p : receiver.progress) {
            EXPECT_GE(p.value, 0);
            EXPECT_LE(p.value, 100);
        }
        // The bar never goes back within the scan; the step counter never passes its
        // total; the percentage of the text is the bar's. (Chat conversion texts come
        // without a total and leave the bar as it is.)
        static const QRegularExpression counter(QStringLiteral("\\((\\d+)/(\\d+)\\)\\.\\.\\. ([0-9.]+)%"));
        int previous = 0, counted = 0;
        std::set<int> barValues;
        // The step counter of one step keeps the total it started with: a step is the
        // run of texts with the same words before the counter.
        QString stepName;
        int stepTotal = -1, stepDone = 0, stepFirstDone = 0;
        double stepFirstPercent = 0;
        const int beforeEnd = receiver.progressAtEnd - 1;
        for (int i = 0; i < beforeEnd; ++i) {
            const auto& p = receiver.progress[i];
            if (p.maximum == 0) continue; // a text without a total leaves the bar as it is
            EXPECT_GE(p.value, previous) << p.text.toStdString();
            previous = std::max(previous, p.value);
            barValues.insert(p.value);
            // Only the end of the scan fills the bar.
            EXPECT_LT(p.value, 100) << p.text.toStdString();
            const QRegularExpressionMatch m = counter.match(p.text);
            if (!m.hasMatch()) continue;
            ++counted;
            const int done = m.captured(1).toInt(), total = m.captured(2).toInt();
            EXPECT_LE(done, total) << p.text.toStdString();
            EXPECT_NEAR(m.captured(3).toDouble(), double(p.value), 1.0) << p.text.toStdString();
            EXPECT_LT(m.captured(3).toDouble(), 100.0) << p.text.toStdString();
            const QString name = p.text.left(p.text.indexOf(u'('));
            const double percent = m.captured(3).toDouble();
            if (name == stepName && done >= stepDone) {
                EXPECT_EQ(total, stepTotal) << p.text.toStdString();
                // Steps done move the bar: it does not rest while the counter goes on.
                if (done >= stepFirstDone + 2) EXPECT_GT(percent, stepFirstPercent) << p.text.toStdString();
            } else {
                stepName = name;
                stepTotal = total;
                stepFirstDone = done;
                stepFirstPercent = percent;
            }
            stepDone = done;
        }
        if (mask & 0x207f) EXPECT_GT(counted, 0);
        // The bar moves while the scan runs: it passes through values between empty and
        // full, more of them the more parsers run.
        const size_t parsers = size_t(std::popcount(mask & 0x207fu) + ((mask & 0x4f80u) ? 1 : 0));
        EXPECT_GE(barValues.size(), std::min<size_t>(parsers, 3)) << "bar values seen: " << barValues.size();
        EXPECT_TRUE(std::any_of(barValues.begin(), barValues.end(), [](int v) { return v > 0 && v < 100; }));
        EXPECT_FALSE(road.hub->isScan());

        if (mask & 0x80) {
            EXPECT_EQ(receiver.photos.size(), sample.photos);
            EXPECT_EQ(receiver.videos.size(), sample.videos);
            EXPECT_EQ(receiver.music.size(), sample.voiceMemos);
            ASSERT_FALSE(receiver.photos.isEmpty());
            // Newest first, numbered per kind, every file found at BackUpPath + SHA1.
            EXPECT_EQ(receiver.photos[0].FileName(), "000001.heic");
            EXPECT_EQ(receiver.photos[0].Suffix(), "*.heic;");
            EXPECT_EQ(receiver.photos[1].FileName(), "000002.jpg");
            EXPECT_EQ(receiver.videos[0].FileName(), "000001.mov");
            for (const auto* list : {&receiver.photos, &receiver.videos, &receiver.music}) {
                for (const NSDeletedFile& f : *list) {
                    EXPECT_EQ(f.BackUpPath(), folder + "/");
                    EXPECT_TRUE(QFile::exists(f.BackUpPath() + f.SHA1())) << f.SHA1().toStdString();
                    EXPECT_TRUE(f.mtime().isValid());
                }
            }
        }
        // The system-app databases: every live row, none of the removed rows as a live one.
        auto live = [](const auto& list, auto text) {
            QStringList out;
            for (const auto& r : list)
                if (!r.bDelete()) out << text(r);
            return out;
        };
        auto expectRows = [](const QStringList& rows, int count, const QString& prefix) {
            EXPECT_EQ(rows.size(), count) << prefix.toStdString();
            EXPECT_TRUE(rows.filter("Removed").isEmpty()) << prefix.toStdString();
            for (int i = 0; i < count; ++i)
                EXPECT_FALSE(
                    rows.filter(QRegularExpression("^" + prefix + QString::number(i) + "\\b")).isEmpty())
                    << (prefix + QString::number(i)).toStdString();
        };
        if (mask & 0x8)
            expectRows(live(receiver.bookmarks, [](const NSBookmarksData& r) { return r.BookMarks(); }),
                       sample.bookmarks, "Site ");
        if (mask & 0x40)
            expectRows(live(receiver.events, [](const NSCalendarData& r) { return r.Title(); }),
                       sample.events, "Event ");
        if (mask & 0x10)
            expectRows(live(receiver.reminders, [](const NSMemoData& r) { return r.Title(); }),
                       sample.reminders, "Reminder ");
        if (mask & 0x20)
            expectRows(live(receiver.notes, [](const NSRemindersData& r) { return r.Content(); }),
                       sample.notes, "Note ");
        if (mask & 0x1) {
            QStringList messages;
            for (const NSSMSHeadData& head : receiver.sms)
                messages += live(head.SMSDataList(), [](const NSSMSData& m) { return m.Content(); });
            expectRows(messages, sample.smsMessages, "Message ");
        }
        if (mask & 0x2) {
            const QStringList numbers =
                live(receiver.calls, [](const NSCallLogData& r) { return r.Phone(); });
            EXPECT_EQ(numbers.size(), sample.calls);
            EXPECT_FALSE(numbers.filter("15551000000").isEmpty());
        }
        if (mask & 0x4) {
            const QStringList phones =
                live(receiver.contacts, [](const NSContactData& r) { return r.Phone(); });
            EXPECT_EQ(phones.size(), sample.contacts);
            EXPECT_FALSE(phones.filter("17771000000").isEmpty());
        }
        if (mask & 0x200) {
            EXPECT_EQ(receiver.smsAttachments.first.size(), sample.smsAttachmentPhotos);
            EXPECT_EQ(receiver.smsAttachments.second.size(), sample.smsAttachmentMedia);
        }
        if (mask & 0x400) {
            EXPECT_EQ(receiver.noteAttachments.first.size(), sample.noteAttachmentPhotos);
            EXPECT_EQ(receiver.noteAttachments.second.size(), sample.noteAttachmentMedia);
        }
        if (mask & 0x4000) {
            EXPECT_EQ(receiver.wxAttachments.first.size(), sample.wxAttachmentPhotos);
            EXPECT_EQ(receiver.wxAttachments.second.size(), sample.wxAttachmentMedia);
            for (const NSDeletedFile& f : receiver.wxAttachments.first)
                EXPECT_TRUE(f.FileName().endsWith(".jpg"));
        }
    }
    EXPECT_EQ("", kit::FolderSnapshot::Take(folder.toStdString()).DiffFrom(before));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, ScanRoad,
                         ::testing::Values(kit::BackupBuilder::Generation::Mbdb,
                                           kit::BackupBuilder::Generation::ManifestDb));

QT_GTEST_MAIN(QGuiApplication)
