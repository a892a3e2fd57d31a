// Device detection and trust through the device hub, driven by the scripted device
// service: probing order, failures, repeated and double connections, removal, the
// trust prompt and shutdown.
#include "scan/DeviceManage.h"

#include "platform/ProcessLog.h"
#include "tests/platform/FakeDeviceService.h"
#include "tests/scan/QtGtestMain.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <mutex>

using devicetest::FakeDeviceService;

namespace {

class RecordingDevices : public DeviceManageDelegate {
  public:
    void AddDevice(const std::shared_ptr<DeviceInfo>& d) override { Note("Add", d); }
    void RemoveDevice(const std::shared_ptr<DeviceInfo>& d) override { Note("Remove", d); }

    struct Event {
        QString kind;
        std::shared_ptr<DeviceInfo> device;
    };
    QList<Event> events;
    bool offGuiThread = false;

  private:
    void Note(const char* kind, const std::shared_ptr<DeviceInfo>& d) {
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) offGuiThread = true;
        events.append({kind, d});
    }
};

class ScriptedTrustPrompt : public ITrustPrompt {
  public:
    void Show(std::function<void()> h) override {
        ++shows;
        shown = true;
        handler = std::move(h);
    }
    void Close() override {
        ++closes;
        shown = false;
        handler = nullptr;
    }
    // The user confirms, or closes the prompt with its close button.
    void Confirm() {
        auto h = std::move(handler);
        handler = nullptr;
        shown = false;
        if (h) h();
    }
    void Dismiss() {
        handler = nullptr;
        shown = false;
    }
    int shows = 0, closes = 0;
    bool shown = false;
    std::function<void()> handler;
};

struct Detection {
    QTemporaryDir cache;
    DeviceScanManager bridge;
    std::shared_ptr<FakeDeviceService> lib = std::make_shared<FakeDeviceService>();
    ScriptedTrustPrompt prompt;
    RecordingDevices devices;
    std::unique_ptr<DeviceManage> hub;

    Detection() {
        DeviceManage::Services s;
        s.device = lib;
        s.trustPrompt = [this] { return &prompt; };
        s.scanBridge = &bridge;
        s.cacheFolder = cache.path();
        hub = std::make_unique<DeviceManage>(std::move(s));
        hub->setDelegate(&devices);
    }

    void Phone(const std::string& udid, const std::string& serial = "SER",
               const std::string& name = "Ann's iPhone") {
        auto& d = lib->Device(udid);
        d.values = {{"DeviceName", name},
                    {"SerialNumber", serial},
                    {"UniqueDeviceID", udid},
                    {"ProductType", "iPhone12,1"},
                    {"ProductVersion", "14.2"}};
    }
    // Emits an event and waits until the delegate has `count` events in all.
    void EmitAndWait(int kind, const std::string& udid, int connection, int count) {
        ASSERT_TRUE(lib->Emit(kind, udid, connection));
        ASSERT_TRUE(QTest::qWaitFor([&] { return devices.events.size() >= count; }, 10000));
    }
    // Gives queued probes and deliveries time to arrive, for checks that nothing more
    // came; wait on the event itself for anything that must come.
    void Settle() {
        for (int i = 0; i < 5; ++i) {
            QTest::qWait(30);
            QCoreApplication::processEvents();
        }
    }
};

} // namespace

TEST(DeviceDetection, ATrustedDeviceIsProbedAndReported) {
    Detection t;
    t.Phone("UDID-A");
    QStringList log;
    ProcessLog::Sink previous = ProcessLog::SetSink([&](const QString& l) { log << l; });
    t.EmitAndWait(DeviceEvent::Connected, "UDID-A", 1, 1);
    ProcessLog::SetSink(previous);

    ASSERT_EQ(t.devices.events.size(), 1);
    EXPECT_FALSE(t.devices.offGuiThread);
    const auto& info = t.devices.events[0].device;
    ASSERT_TRUE(info);
    EXPECT_EQ(info->getDeviceName(), "Ann's iPhone");
    EXPECT_EQ(info->getIdentifyNumber(), "UDID-A");
    EXPECT_EQ(info->getSerialNumber(), "SER");
    EXPECT_EQ(info->getProductType(), "iPhone12,1");
    EXPECT_EQ(info->getSysVersion(), "14.2");
    EXPECT_EQ(info->getDeviceHandle(), (DeviceRef{"UDID-A", 1}));
    EXPECT_EQ(t.hub->getAllDeviceInfo().size(), 1);
    EXPECT_EQ(t.lib->Calls(),
              (QStringList{"Subscribe", "Connect UDID-A", "IsPaired UDID-A", "ValidatePairing UDID-A",
                           "StartSession UDID-A", "CopyValue DeviceName", "CopyValue SerialNumber",
                           "CopyValue UniqueDeviceID", "CopyValue ProductType", "CopyValue ProductVersion",
                           "Disconnect UDID-A"}));
    EXPECT_EQ(t.prompt.closes, 1); // closed whether shown or not
    EXPECT_TRUE(log.contains(QString::fromUtf8("【日志】设备名称:Ann's iPhone")));
    EXPECT_TRUE(log.contains(QString::fromUtf8("【日志】产品版本:SER")));
}

TEST(DeviceDetection, ReconnectionsAndDoubleConnectionsShareOneRecord) {
    Detection t;
    t.Phone("UDID-A");
    t.EmitAndWait(DeviceEvent::Connected, "UDID-A", 1, 1);
    const auto first = t.devices.events[0].device;

    // Unplugged and plugged in again: the same record.
    t.EmitAndWait(DeviceEvent::Removed, "UDID-A", 1, 2);
    EXPECT_EQ(t.devices.events[1].kind, "Remove");
    EXPECT_EQ(t.devices.events[1].device, first);
    EXPECT_TRUE(t.hub->getAllDeviceInfo().isEmpty());
    t.EmitAndWait(DeviceEvent::Connected, "UDID-A", 1, 3);
    // The removed record was dropped from the list, so a new one is made for the
    // device, with the same values.
    const auto second = t.devices.events[2].device;
    EXPECT_EQ(second->getIdentifyNumber(), "UDID-A");

    // A second connection (network) of the same device joins the record.
    t.EmitAndWait(DeviceEvent::Connected, "UDID-A", 2, 4);
    EXPECT_EQ(t.devices.events[3].device, second);
    EXPECT_EQ(t.hub->getAllDeviceInfo().size(), 1);
    // The same connection reported twice keeps one slot.
    t.EmitAndWait(DeviceEvent::Connected, "UDID-A", 2, 5);
    EXPECT_EQ(t.devices.events[4].device, second);

    // Removing the connection in the second slot leaves the record (null to the
    // delegate), removing the last one removes it.
    t.EmitAndWait(DeviceEvent::Removed, "UDID-A", 2, 6);
    EXPECT_EQ(t.devices.events[5].kind, "Remove");
    EXPECT_EQ(t.devices.events[5].device, nullptr);
    EXPECT_EQ(second->getDeviceHandle(), (DeviceRef{"UDID-A", 1}));
    t.EmitAndWait(DeviceEvent::Removed, "UDID-A", 1, 7);
    EXPECT_EQ(t.devices.events[6].device, second);
    EXPECT_FALSE(second->isDeviceHandle());
    EXPECT_TRUE(t.hub->getAllDeviceInfo().isEmpty());

    // A removal of a device never added: null.
    t.EmitAndWait(DeviceEvent::Removed, "UDID-Z", 1, 8);
    EXPECT_EQ(t.devices.events[7].device, nullptr);
}

TEST(DeviceDetection, TwoDevicesAreKeptApart) {
    Detection t;
    t.Phone("UDID-A", "S1");
    t.Phone("UDID-B", "S2");
    t.EmitAndWait(DeviceEvent::Connected, "UDID-A", 1, 1);
    t.EmitAndWait(DeviceEvent::Connected, "UDID-B", 1, 2);
    EXPECT_NE(t.devices.events[0].device, t.devices.events[1].device);
    t.EmitAndWait(DeviceEvent::Removed, "UDID-A", 1, 3);
    EXPECT_EQ(t.devices.events[2].device, t.devices.events[0].device);
    ASSERT_EQ(t.hub->getAllDeviceInfo().size(), 1);
    EXPECT_EQ(t.hub->getAllDeviceInfo()[0]->getIdentifyNumber(), "UDID-B");
}

TEST(DeviceDetection, FailingStepsAreLoggedAndReportNothing) {
    const char* lines[] = {"【日志】AMDeviceConnect创建失败！", "【日志】AMDeviceValidatePairing创建失败！",
                           "【日志】AMDeviceStartSession创建失败！"};
    for (int step = 0; step < 3; ++step) {
        Detection t;
        t.Phone("UDID-A");
        auto& d = t.lib->Device("UDID-A");
        if (step == 0) d.connectResult = 7;
        if (step == 1) d.validateResult = 7;
        if (step == 2) d.sessionResult = 7;
        QStringList log;
        std::mutex logMutex; // the probe logs on the device worker
        ProcessLog::Sink previous = ProcessLog::SetSink([&](const QString& l) {
            std::lock_guard<std::mutex> lock(logMutex);
            log << l;
        });
        ASSERT_TRUE(t.lib->Emit(DeviceEvent::Connected, "UDID-A"));
        // Wait for the line and the release of the device; then let anything queued
        // behind them arrive.
        const bool logged = QTest::qWaitFor(
            [&] {
                std::lock_guard<std::mutex> lock(logMutex);
                return log.contains(QString::fromUtf8(lines[step]));
            },
            10000);
        EXPECT_TRUE(QTest::qWaitFor([&] { return t.lib->Calls().contains("Disconnect UDID-A"); }, 10000))
            << step;
        t.Settle();
        ProcessLog::SetSink(previous);
        EXPECT_TRUE(logged) << step;
        EXPECT_TRUE(t.devices.events.isEmpty()) << step;
        EXPECT_TRUE(log.contains(QString::fromUtf8(lines[step]))) << step;
        EXPECT_EQ(t.lib->Calls().last(), "Disconnect UDID-A") << step;
        EXPECT_EQ(t.prompt.shows, 0);
    }
}

TEST(DeviceDetection, MissingValuesAndADeviceThatVanishesMidProbe) {
    Detection t;
    t.lib->Device("UDID-A").values = {{"DeviceName", "Only a name"}};
    t.EmitAndWait(DeviceEvent::Connected, "UDID-A", 1, 1);
    const auto info = t.devices.events[0].device;
    EXPECT_EQ(info->getDeviceName(), "Only a name");
    EXPECT_EQ(info->getSerialNumber(), "");
    EXPECT_EQ(info->getProductType(), "");
    EXPECT_EQ(info->getIdentifyNumber(), "UDID-A"); // from the event

    // Gone after two reads, and its removal follows.
    t.Phone("UDID-B", "S2", "Gone");
    t.lib->Device("UDID-B").readsBeforeVanishing = 2;
    t.EmitAndWait(DeviceEvent::Connected, "UDID-B", 1, 2);
    EXPECT_EQ(t.devices.events[1].device->getDeviceName(), "Gone");
    EXPECT_EQ(t.devices.events[1].device->getIdentifyNumber(), "UDID-B");
    t.EmitAndWait(DeviceEvent::Removed, "UDID-B", 1, 3);
    EXPECT_EQ(t.devices.events[2].device, t.devices.events[1].device);

    // Gone before its session: nothing to report, and its removal reports null.
    t.Phone("UDID-C");
    t.lib->Device("UDID-C").sessionResult = 1;
    ASSERT_TRUE(t.lib->Emit(DeviceEvent::Connected, "UDID-C"));
    t.EmitAndWait(DeviceEvent::Removed, "UDID-C", 1, 4);
    EXPECT_EQ(t.devices.events[3].device, nullptr);

    // Events without a device are ignored.
    t.lib->ClearCalls();
    ASSERT_TRUE(t.lib->Emit(DeviceEvent::Connected, ""));
    ASSERT_TRUE(t.lib->Emit(DeviceEvent::Removed, ""));
    ASSERT_TRUE(t.lib->Emit(99, "UDID-A"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.devices.events.size() >= 4; }, 10000));
    t.Settle();
    EXPECT_TRUE(t.lib->Calls().isEmpty());
    EXPECT_EQ(t.devices.events.size(), 4);
}

TEST(DeviceDetection, TrustPromptAndConfirmation) {
    Detection t;
    t.Phone("UDID-A");
    t.lib->Device("UDID-A").paired = false;
    QStringList log;
    ProcessLog::Sink previous = ProcessLog::SetSink([&](const QString& l) { log << l; });
    ASSERT_TRUE(t.lib->Emit(DeviceEvent::Connected, "UDID-A"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.prompt.shown; }, 10000));
    ProcessLog::SetSink(previous);
    EXPECT_TRUE(log.contains(QString::fromUtf8("【日志】AMDeviceIsPaired创建失败！")));
    EXPECT_TRUE(t.devices.events.isEmpty());

    // Closing the prompt probes nothing.
    t.prompt.Dismiss();
    t.lib->ClearCalls();
    t.Settle();
    EXPECT_TRUE(t.lib->Calls().isEmpty());

    // Shown again on the next connection; the user trusts the computer and confirms:
    // the waiting device is probed once and reported once.
    ASSERT_TRUE(t.lib->Emit(DeviceEvent::Connected, "UDID-A"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.prompt.shown; }, 10000));
    EXPECT_EQ(t.prompt.shows, 2);
    t.lib->Device("UDID-A").paired = true;
    t.lib->ClearCalls();
    t.prompt.Confirm();
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.devices.events.size() == 1; }, 10000));
    t.Settle();
    EXPECT_EQ(t.devices.events.size(), 1);
    EXPECT_EQ(t.lib->Calls().count("Connect UDID-A"), 1);

    // No new subscription was made: a later event reaches the hub once.
    EXPECT_EQ(t.lib->subscriptions, 1);
    t.EmitAndWait(DeviceEvent::Connected, "UDID-A", 1, 2);
    t.Settle();
    EXPECT_EQ(t.devices.events.size(), 2);
    EXPECT_EQ(t.devices.events[1].device, t.devices.events[0].device);
}

TEST(DeviceDetection, ShutdownClosesAWaitingPrompt) {
    Detection t;
    t.Phone("UDID-A");
    t.lib->Device("UDID-A").paired = false;
    ASSERT_TRUE(t.lib->Emit(DeviceEvent::Connected, "UDID-A"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.prompt.shown; }, 10000));
    t.hub.reset();
    EXPECT_FALSE(t.prompt.shown);
    EXPECT_FALSE(t.prompt.handler);
}

TEST(DeviceDetection, PairedEventsProbeWithoutConnecting) {
    Detection t;
    t.Phone("UDID-A");
    t.EmitAndWait(DeviceEvent::Paired, "UDID-A", 1, 1);
    EXPECT_FALSE(t.lib->Calls().contains("Connect UDID-A"));
    EXPECT_TRUE(t.lib->Calls().contains("StartSession UDID-A"));

    // Not trusted on a paired event: logged, no prompt.
    t.Phone("UDID-B");
    t.lib->Device("UDID-B").paired = false;
    ASSERT_TRUE(t.lib->Emit(DeviceEvent::Paired, "UDID-B"));
    t.Settle();
    EXPECT_EQ(t.prompt.shows, 0);
    EXPECT_EQ(t.devices.events.size(), 1);
}

TEST(DeviceDetection, SubscriptionFailureAndShutdown) {
    {
        QTemporaryDir cache;
        DeviceScanManager bridge;
        auto lib = std::make_shared<FakeDeviceService>();
        lib->subscribeResult = -3;
        DeviceManage::Services s;
        s.device = lib;
        s.scanBridge = &bridge;
        s.cacheFolder = cache.path();
        QStringList log;
        ProcessLog::Sink previous = ProcessLog::SetSink([&](const QString& l) { log << l; });
        DeviceManage hub(s);
        EXPECT_EQ(hub.CreateDeviceConnection(), 5);
        ProcessLog::SetSink(previous);
        EXPECT_TRUE(log.contains(QString::fromUtf8("【日志】初始化MobileDvice库失败")));
        EXPECT_FALSE(lib->Emit(DeviceEvent::Connected, "UDID-A"));
    }
    // Shutdown unsubscribes: later events reach nobody.
    auto t = std::make_unique<Detection>();
    auto lib = t->lib;
    t->Phone("UDID-A");
    ASSERT_TRUE(lib->Emit(DeviceEvent::Connected, "UDID-A"));
    t.reset();
    EXPECT_TRUE(lib->Calls().contains("Unsubscribe"));
    EXPECT_FALSE(lib->Emit(DeviceEvent::Connected, "UDID-A"));
    QCoreApplication::processEvents();
}

QT_GTEST_MAIN(QCoreApplication)
