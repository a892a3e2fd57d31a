// Worker-thread messages of the device manager reach a page on the GUI thread through
// MainQueue, and nothing reaches a page that is gone.
#include "gui/MainQueue.h"

#include "tests/kit/FakeDeviceManage.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QTest>
#include <QThread>

#include <memory>
#include <mutex>

namespace {

// What a page does with BackUpDelegate messages: hop to the GUI thread first.
class RelayPage : public QObject, public BackUpDelegate, public DeviceManageDelegate {
  public:
    void BackUpFinish(const QString& root) override { Relay("BackUpFinish " + root); }
    void AnalyzeFinish() override { Relay("AnalyzeFinish"); }
    void BackUpLoser() override { Relay("BackUpLoser"); }
    void Analyze(int percent) override { Note("Analyze " + QString::number(percent), true); }
    void AddDevice(const std::shared_ptr<DeviceInfo>& d) override {
        Note("AddDevice " + d->getIdentifyNumber(), true);
    }
    void RemoveDevice(const std::shared_ptr<DeviceInfo>&) override { Note("RemoveDevice", true); }

    void Relay(const QString& what) {
        const bool direct = MainQueue::OnGuiThread();
        {
            std::lock_guard<std::mutex> lock(mutex);
            arrivedOnWorker.append(!direct);
        }
        MainQueue::Post(this, [this, what] { Note(what, MainQueue::OnGuiThread()); });
    }
    void Note(const QString& what, bool onGui) {
        std::lock_guard<std::mutex> lock(mutex);
        seen.append(what);
        allOnGui = allOnGui && onGui;
    }
    QStringList Seen() {
        std::lock_guard<std::mutex> lock(mutex);
        return seen;
    }

    std::mutex mutex;
    QStringList seen;
    QList<bool> arrivedOnWorker;
    bool allOnGui = true;
};

std::shared_ptr<DeviceInfo> Device(const QString& udid) {
    auto d = std::make_shared<DeviceInfo>();
    d->SaveDeviceInfo("Phone", udid, "SN", "iPhone9,1", DeviceRef{}, "14.2");
    return d;
}

TEST(MainQueue, WorkerMessagesReachThePageOnTheGuiThread) {
    kit::FakeDeviceManage manage;
    RelayPage page;
    manage.setBackUpdelegate(&page);
    manage.setDelegate(&page);
    manage.SendAddDevice(Device("udid-1"));
    manage.SendAnalyze(40);
    manage.SendBackUpFinish("/cache/backup");
    manage.WaitForTasks();
    manage.SendAnalyzeFinish();
    manage.WaitForTasks();
    manage.SendBackUpLoser();
    manage.WaitForTasks();
    QTRY_COMPARE(page.Seen().size(), 5);
    EXPECT_EQ(page.Seen(), (QStringList{"AddDevice udid-1", "Analyze 40", "BackUpFinish /cache/backup",
                                        "AnalyzeFinish", "BackUpLoser"}));
    EXPECT_TRUE(page.allOnGui);
    // The three worker messages really came from another thread.
    EXPECT_EQ(page.arrivedOnWorker, (QList<bool>{true, true, true}));
    manage.setBackUpdelegate(nullptr);
    manage.setDelegate(nullptr);
}

TEST(MainQueue, NothingReachesAPageThatIsGone) {
    kit::FakeDeviceManage manage;
    auto page = std::make_unique<RelayPage>();
    manage.setBackUpdelegate(page.get());
    manage.SendAnalyzeFinish();
    manage.WaitForTasks(); // posted, not yet delivered
    manage.setBackUpdelegate(nullptr);
    page.reset();
    QTest::qWait(20); // would deliver into freed memory without the guard
    EXPECT_FALSE(MainQueue::Post(nullptr, [] {}));
}

struct Recorder : ScanFileDelegate {
    void ScanSMS(const QMap<QString, NSSMSHeadData>& c) override {
        Add("ScanSMS " + QString::number(c.size()));
    }
    void Scanning(int v, int t, const QString& text) override {
        Add(QString("Scanning %1/%2 %3").arg(v).arg(t).arg(text));
    }
    void ScanEnd() override { Add("ScanEnd"); }
    void Add(const QString& s) {
        std::lock_guard<std::mutex> lock(mutex);
        events.append(s);
        onGui.append(MainQueue::OnGuiThread());
    }
    std::mutex mutex;
    QStringList events;
    QList<bool> onGui;
};

TEST(FakeDeviceManage, RecordsCallsAndRunsScansOnAThread) {
    kit::FakeDeviceManage manage;
    Recorder receiver;
    manage.setScanFileDelegate(&receiver);
    manage.SetScanScript([](ScanFileDelegate& r, kit::FakeDeviceManage& m) {
        EXPECT_TRUE(m.isScan());
        EXPECT_TRUE(m.isScanStop());
        r.ScanSMS({});
    });
    QStringList selection{"1", "0", "1"};
    manage.StartScan(Device("u2"), selection);
    selection[0] = "0"; // the fake keeps its own copy
    manage.WaitForTasks();
    EXPECT_FALSE(manage.isScan());
    EXPECT_TRUE(manage.isScanStop()); // stays set after a scan that ended by itself
    EXPECT_EQ(receiver.events, (QStringList{"ScanSMS 0", "Scanning 100/100 ScanComplete", "ScanEnd"}));
    EXPECT_EQ(receiver.onGui, (QList<bool>{false, false, false}));
    EXPECT_EQ(manage.LastSelection(), (QStringList{"1", "0", "1"}));
    EXPECT_EQ(manage.LastScanDevice()->getIdentifyNumber(), "u2");
    EXPECT_EQ(manage.scanProgress().Get().value, 100);
    EXPECT_EQ(manage.Calls(), (QStringList{"setScanFileDelegate", "StartScan u2 1,0,1", "WaitForTasks"}));
    manage.setScanFileDelegate(nullptr);
}

TEST(FakeDeviceManage, ScanRunsUntilStopped) {
    kit::FakeDeviceManage manage;
    manage.SetScanScript(kit::FakeDeviceManage::UntilStopped());
    manage.StartScan(Device("u3"), {"1"});
    EXPECT_TRUE(manage.isScan());
    manage.StartScan(Device("u4"), {"1"}); // refused while one runs: still the one thread
    manage.SetPauseScan(false);
    manage.SetPauseScan(true);
    manage.StopScan();
    manage.WaitForTasks();
    EXPECT_FALSE(manage.isScan());
    EXPECT_FALSE(manage.isScanStop());
    EXPECT_EQ(manage.Calls(), (QStringList{"StartScan u3 1", "StartScan u4 1", "SetPauseScan 0",
                                           "SetPauseScan 1", "StopScan", "WaitForTasks"}));
}

TEST(FakeDeviceManage, Answers) {
    kit::FakeDeviceManage manage;
    EXPECT_TRUE(manage.getBackUpPath().isEmpty());
    manage.SetBackUpPath("/b/u");
    manage.SetSaveBackUpPath("/c/backup");
    manage.SetEncrypted("/b/u", true);
    EXPECT_EQ(manage.getBackUpPath(), "/b/u");
    EXPECT_EQ(manage.getSaveBackUpPath(), "/c/backup");
    EXPECT_TRUE(manage.BackUpPath_UID_Get_IsEncrypted("/b/u"));
    EXPECT_FALSE(manage.BackUpPath_UID_Get_IsEncrypted("/b/v"));
    auto d = Device("u5");
    manage.StartBackUp(d);
    manage.StartAnalyze(d);
    EXPECT_EQ(manage.LastAnalyzed(), d);
    EXPECT_EQ(manage.Calls(), (QStringList{"StartBackUp u5", "StartAnalyze u5"}));
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
