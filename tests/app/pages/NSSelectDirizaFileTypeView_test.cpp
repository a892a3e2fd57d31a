// The data-type chooser and the device page: the selection a fresh choice gives in each
// language, select-all, Start and its refusals, and that a selection handed on at Start
// stays as it was whatever the page does afterwards.
#include "gui/NSLanguageText.h"
#include "app/pages/NSDeviceLinkView.h"
#include "app/pages/NSSelectDirizaFileTypeView.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/FakeDeviceManage.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QThread>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct Recorder : NSSelectDirizaFileTypeViewDelegate {
    QList<QStringList> starts;
    int backs = 0;
    void BackUpStartEvent(const QStringList& selection) override { starts << selection; }
    void BackBtEvent() override { ++backs; }
};

struct DeviceRecorder : NSDeviceLinkViewDelegate {
    std::shared_ptr<DeviceInfo> device;
    QStringList selection;
    void DeviceBackUpStartEvent(const std::shared_ptr<DeviceInfo>& d, const QStringList& s) override {
        device = d;
        selection = s;
    }
};

QString Joined(const QStringList& l) {
    return l.join(QString());
}

std::shared_ptr<DeviceInfo> Device(const QString& name) {
    auto d = std::make_shared<DeviceInfo>();
    d->SaveDeviceInfo(name, QStringLiteral("00008030-001A"), QStringLiteral("SER"),
                      QStringLiteral("iPhone12,1"), DeviceRef(), QStringLiteral("14.2"));
    return d;
}

class Chooser : public ::testing::Test {
  protected:
    // Each edition starts in its own language; the cases start in English in both.
    void SetUp() override { NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English); }
    void TearDown() override { NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English); }
    kit::FakeDeviceManage manager;
    kit::FakeAlertPresenter alerts;
};

TEST_F(Chooser, FreshChoicePerLanguage) {
    struct Case {
        int language;
        const char* selection;
        bool weChatShown;
    } cases[] = {
        {NSLanguageText::English, "11111111111100000", false},
        {NSLanguageText::SimplifiedChinese, "11111111111111100", true},
        {NSLanguageText::TraditionalChinese, "11111111111100000", false},
        {NSLanguageText::Arabic, "11111111111100000", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        NSLanguageText::shareInstance()->setLanguage(c.language);
        NSSelectDirizaFileTypeView page(manager);
        page.show();
        page.SetDeviceInfo(QStringLiteral("Phone"));
        EXPECT_EQ(Joined(page.Selection()), QString::fromLatin1(c.selection));
        EXPECT_EQ(page.AppGroup()->isVisible(), c.weChatShown);
        EXPECT_EQ(page.AllSelectBox()->isVisible(), c.weChatShown);
        EXPECT_EQ(page.AllSelect2Box()->isVisible(), !c.weChatShown);
        EXPECT_TRUE(page.AllSelectBox()->isChecked());
        EXPECT_TRUE(page.AllSelect2Box()->isChecked());
        EXPECT_FALSE(page.TypeBox(15)->isVisible());
        EXPECT_FALSE(page.TypeBox(16)->isVisible());
        EXPECT_FALSE(page.BackButtonWidget()->isVisible());
    }
}

TEST_F(Chooser, UntickingAndSelectAll) {
    NSSelectDirizaFileTypeView page(manager);
    page.show();
    page.SetDeviceInfo(QStringLiteral("Phone"));
    page.TypeBox(6)->click();
    EXPECT_EQ(page.Selection()[6], "0");
    EXPECT_FALSE(page.AllSelect2Box()->isChecked());
    EXPECT_FALSE(page.AllSelectBox()->isChecked());
    page.TypeBox(6)->click();
    EXPECT_TRUE(page.AllSelect2Box()->isChecked());

    // Select-all off writes "0" everywhere; Start then refuses.
    page.AllSelect2Box()->click();
    EXPECT_EQ(Joined(page.Selection()), "00000000000000000");
    Recorder r;
    page.setDelegate(&r);
    page.StartButton()->click();
    EXPECT_TRUE(r.starts.isEmpty());
    ASSERT_EQ(alerts.Texts(), QStringList{LanguageText("NoSelectType")});

    // Select-all on in English leaves WeChat and WhatsApp out.
    page.AllSelect2Box()->click();
    EXPECT_EQ(Joined(page.Selection()), "11111111111100000");
}

TEST_F(Chooser, SwitchToSimplifiedChineseTicksWeChatAgain) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::SimplifiedChinese);
    NSSelectDirizaFileTypeView page(manager);
    page.show();
    page.SetDeviceInfo(QStringLiteral("Phone"));
    page.TypeBox(13)->click();
    EXPECT_EQ(page.Selection()[13], "0");
    EXPECT_FALSE(page.AllSelectBox()->isChecked());
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    page.setLanguage(NSLanguageText::English);
    EXPECT_EQ(Joined(page.Selection().mid(12)), "00000");
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::SimplifiedChinese);
    page.setLanguage(NSLanguageText::SimplifiedChinese);
    EXPECT_EQ(Joined(page.Selection().mid(12)), "11100");
    EXPECT_TRUE(page.TypeBox(13)->isChecked());
}

TEST_F(Chooser, OnlyWeChatContactsIsAccepted) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::SimplifiedChinese);
    NSSelectDirizaFileTypeView page(manager);
    Recorder r;
    page.setDelegate(&r);
    page.show();
    page.SetDeviceInfo(QStringLiteral("Phone"));
    page.AllSelectBox()->click();
    page.TypeBox(12)->click();
    page.StartButton()->click();
    ASSERT_EQ(r.starts.size(), 1);
    EXPECT_EQ(Joined(r.starts[0]), "00000000000010000");
    EXPECT_TRUE(page.isWaiting());
}

TEST_F(Chooser, StartWhileAScanRunsIsRefused) {
    NSSelectDirizaFileTypeView page(manager);
    Recorder r;
    page.setDelegate(&r);
    page.show();
    page.SetDeviceInfo(QStringLiteral("Phone"));
    manager.RunScan(kit::FakeDeviceManage::UntilStopped());
    for (int i = 0; i < 200 && !manager.isScan(); ++i)
        QThread::msleep(5);
    ASSERT_TRUE(manager.isScan());
    page.StartButton()->click();
    EXPECT_TRUE(r.starts.isEmpty());
    EXPECT_FALSE(page.isWaiting());
    EXPECT_EQ(alerts.Texts(), QStringList{LanguageText("StopRecover")});
    manager.StopScan();
    manager.WaitForTasks();
}

TEST_F(Chooser, SelectionHandedOnIsNotChangedByTheLaterPage) {
    // Start, then the page changes language (which rewrites the WeChat entries) or gets
    // a new device (which ticks everything): the selection handed on stays as it was.
    struct Case {
        const char* name;
        std::function<void(NSSelectDirizaFileTypeView&)> later;
    } cases[] = {
        {"language",
         [](NSSelectDirizaFileTypeView& p) {
             NSLanguageText::shareInstance()->setLanguage(NSLanguageText::SimplifiedChinese);
             p.setLanguage(NSLanguageText::SimplifiedChinese);
         }},
        {"new device", [](NSSelectDirizaFileTypeView& p) { p.SetDeviceInfo(QStringLiteral("Other")); }},
        {"select all",
         [](NSSelectDirizaFileTypeView& p) {
             p.SetDeviceInfo(QStringLiteral("Other"));
             p.AllSelect2Box()->click();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
        NSSelectDirizaFileTypeView page(manager);
        Recorder r;
        page.setDelegate(&r);
        page.show();
        page.SetDeviceInfo(QStringLiteral("Phone"));
        page.TypeBox(0)->click();
        page.StartButton()->click();
        ASSERT_EQ(r.starts.size(), 1);
        const QStringList handed = r.starts[0];
        c.later(page);
        EXPECT_EQ(Joined(r.starts[0]), "01111111111100000");
        EXPECT_EQ(r.starts[0], handed);
    }
}

TEST_F(Chooser, BackButtonReportsBack) {
    NSSelectDirizaFileTypeView page(manager);
    Recorder r;
    page.setDelegate(&r);
    page.show();
    page.SetDeviceInfo(QStringLiteral("Phone"));
    page.SetBackButtonVisible(true);
    page.BackButtonWidget()->click();
    EXPECT_EQ(r.backs, 1);
}

TEST_F(Chooser, DevicePageAnimationAndDevices) {
    NSDeviceLinkView page(manager);
    DeviceRecorder r;
    page.setDelegate(&r);
    page.show();
    const int expected[] = {2, 3, 4, 1, 2};
    for (int frame : expected) {
        page.AnimationPlay();
        EXPECT_EQ(page.AnimationFrame(), frame);
    }
    EXPECT_FALSE(page.isChoosing());
    auto first = Device(QStringLiteral("First"));
    page.SetDeviceInfo(first);
    EXPECT_TRUE(page.isChoosing());
    page.Chooser()->TypeBox(5)->click();
    page.Chooser()->StartButton()->click();
    ASSERT_EQ(r.device, first);
    EXPECT_EQ(Joined(r.selection), "11111011111100000");
    // A device connecting while the chooser waits gives a fresh, fully ticked choice;
    // the selection already handed on stays.
    auto second = Device(QStringLiteral("Second"));
    page.SetDeviceInfo(second);
    EXPECT_FALSE(page.Chooser()->isWaiting());
    EXPECT_EQ(page.Chooser()->DeviceName()->text(), "Second");
    EXPECT_EQ(Joined(page.Chooser()->Selection()), "11111111111100000");
    EXPECT_EQ(Joined(r.selection), "11111011111100000");
    page.RemoveDevice();
    EXPECT_FALSE(page.isChoosing());
    EXPECT_EQ(page.Device(), nullptr);
}

// The device page asks the daemon's socket (named through USBMUXD_SOCKET_ADDRESS) and
// says so while nothing answers; once a daemon listens, the next check hides the note,
// and it comes back when the daemon goes.
TEST_F(Chooser, DevicePageSaysWhenUsbmuxdDoesNotAnswer) {
    QTemporaryDir dir;
    const QByteArray file = dir.filePath("usbmuxd").toLocal8Bit();
    ::setenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + file).constData(), 1);
    NSDeviceLinkView::SetDaemonCheck({});
    NSDeviceLinkView page(manager);
    QSignalSpy checked(&page, &NSDeviceLinkView::daemonChecked);
    page.show();
    ASSERT_TRUE(checked.wait(10000));
    EXPECT_FALSE(checked.takeFirst().at(0).toBool());
    EXPECT_TRUE(page.DaemonNote()->isVisible());
    EXPECT_EQ(page.DaemonNote()->text(), LanguageText("UsbmuxdNotAnswering"));
    EXPECT_TRUE(page.DaemonNote()->text().contains("usbmuxd"));

    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path, file.constData(), size_t(file.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    page.RemoveDevice(); // asks again at once
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.DaemonNote()->isVisible(); }, 10000));
    // A daemon that goes away is noticed by the checks that go on while the pane is shown.
    ::close(fd);
    ::unlink(file.constData());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.DaemonNote()->isVisible(); }, 10000));
    ::unsetenv("USBMUXD_SOCKET_ADDRESS");
}

// Only a page on screen asks the daemon: a hidden page (the backup road, a scan) asks
// nobody, and showing it again asks at once.
TEST_F(Chooser, AHiddenDevicePageDoesNotAskTheDaemon) {
    std::atomic<int> asked{0};
    NSDeviceLinkView::SetDaemonCheck([&] {
        ++asked;
        return true;
    });
    NSDeviceLinkView page(manager);
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_EQ(0, asked.load()); // not yet shown
    QSignalSpy checked(&page, &NSDeviceLinkView::daemonChecked);
    page.show();
    ASSERT_TRUE(checked.wait(10000));
    EXPECT_EQ(1, asked.load());
    checked.clear();
    page.hide();
    page.RemoveDevice(); // would ask again at once on screen
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(1, asked.load());
    EXPECT_EQ(0, checked.count());
    page.show();
    ASSERT_TRUE(checked.wait(10000));
    EXPECT_EQ(2, asked.load());
    NSDeviceLinkView::SetDaemonCheck({});
}

// The check runs off the GUI thread: a slow answer leaves the page working meanwhile, and
// a page closed before the answer comes is left alone.
TEST_F(Chooser, DevicePageDaemonCheckRunsOffTheGuiThread) {
    std::atomic<bool> release{false};
    std::atomic<bool> onGuiThread{true};
    NSDeviceLinkView::SetDaemonCheck([&] {
        onGuiThread = QThread::currentThread() == qApp->thread();
        while (!release)
            QThread::yieldCurrentThread();
        return false;
    });
    {
        auto page = std::make_unique<NSDeviceLinkView>(manager);
        QSignalSpy checked(page.get(), &NSDeviceLinkView::daemonChecked);
        page->show();
        page->AnimationPlay(); // the page answers while the check waits
        EXPECT_EQ(page->AnimationFrame(), 2);
        EXPECT_FALSE(page->DaemonNote()->isVisible());
        release = true;
        ASSERT_TRUE(checked.wait(10000));
        EXPECT_FALSE(onGuiThread);
        EXPECT_TRUE(page->DaemonNote()->isVisible());
    }
    release = false;
    {
        auto page = std::make_unique<NSDeviceLinkView>(manager);
        page.reset();
        release = true;
    }
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents(); // the answer for the gone page finds nobody
    NSDeviceLinkView::SetDaemonCheck({});
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
