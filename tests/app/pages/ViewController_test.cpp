// The main page: moves between the four pages, the permission gate of the backup road,
// the failure alerts, device arrivals and removals, and the process log's name.
#include "gui/NSLanguageText.h"
#include "app/pages/NSBackUpView.h"
#include "app/pages/NSDeviceLinkView.h"
#include "app/pages/NSiTunesView.h"
#include "app/pages/NSDirizaView.h"
#include "app/pages/ServiceHooks.h"
#include "app/pages/ViewController.h"
#include "platform/Paths.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/FakeAppearance.h"
#include "tests/kit/FakeDeviceManage.h"
#include "tests/kit/FakeOpener.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::shared_ptr<DeviceInfo> Device(const QString& name) {
    auto d = std::make_shared<DeviceInfo>();
    d->SaveDeviceInfo(name, "UDID-" + name, "S", "iPhone12,1", DeviceRef(), "14.2");
    return d;
}

// Puts the built-in tables back when a test with its own tables ends, however it ends.
struct ResourceRootReset {
    ResourceRootReset() = default;
    ResourceRootReset(const ResourceRootReset&) = delete;
    ResourceRootReset& operator=(const ResourceRootReset&) = delete;
    ~ResourceRootReset() { NSLanguageText::SetResourceRoot(QString()); }
};

class MainPage : public ::testing::Test {
  protected:
    void SetUp() override {
        Paths::SetApplicationSupport(support.path());
        ServiceHooks::Current() = ServiceHooks();
    }
    void TearDown() override {
        ServiceHooks::Current() = ServiceHooks();
        Paths::ResetOverrides();
    }
    QTemporaryDir support;
    kit::FakeDeviceManage manager;
    kit::FakeAlertPresenter alerts;
    kit::FakeOpener opener;
};

TEST(LogName, CalendarYear) {
    struct Case {
        QDate date;
        const char* name;
    } cases[] = {
        {QDate(2024, 12, 30), "DoviakIOS-2024-12-30 08:09:10.log"},
        {QDate(2024, 12, 31), "DoviakIOS-2024-12-31 08:09:10.log"},
        {QDate(2021, 1, 1), "DoviakIOS-2021-01-01 08:09:10.log"},
        {QDate(2026, 6, 15), "DoviakIOS-2026-06-15 08:09:10.log"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ViewController::LogFileName(QDateTime(c.date, QTime(8, 9, 10))),
                  QString::fromLatin1(c.name));
}

TEST_F(MainPage, PagesAndHomeButtons) {
    ViewController vc(manager, {});
    vc.show();
    EXPECT_EQ(vc.CurrentPage(), 0);
    struct Case {
        int page;
        bool enabled;
    } cases[] = {{0, true}, {1, true}, {2, false}, {3, false}, {0, true}};
    for (const Case& c : cases) {
        vc.SwitchView(c.page);
        EXPECT_EQ(vc.DeviceButton()->isEnabled(), c.enabled) << c.page;
        EXPECT_EQ(vc.BackupButton()->isEnabled(), c.enabled) << c.page;
    }
    // Without a download address the download button is hidden; the help button always.
    EXPECT_FALSE(vc.DownloadButton()->isVisible());
    EXPECT_FALSE(vc.HelpButton()->isVisible());
}

TEST_F(MainPage, DevicesReplaceAndRemove) {
    ViewController vc(manager, {});
    vc.show();
    auto first = Device("First"), second = Device("Second");
    manager.SendAddDevice(first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return vc.Device() == first; }, 3000));
    EXPECT_TRUE(vc.DevicePage()->isChoosing());
    vc.AddDevice(second);
    EXPECT_EQ(vc.Device(), second);
    vc.RemoveDevice(first); // not the one held: ignored
    EXPECT_EQ(vc.Device(), second);
    vc.RemoveDevice(nullptr); // ignored while a device is held
    EXPECT_EQ(vc.Device(), second);
    vc.RemoveDevice(second);
    EXPECT_EQ(vc.Device(), nullptr);
    EXPECT_FALSE(vc.DevicePage()->isChoosing());
    vc.RemoveDevice(nullptr); // none held: page 0 keeps waiting
    EXPECT_FALSE(vc.DevicePage()->isChoosing());
}

TEST_F(MainPage, PermissionGate) {
    int status = 0, created = 0;
    ServiceHooks::Current().fullDiskAccessStatus = [&] { return status; };
    ServiceHooks::Current().createPermissionsWindow = [&]() -> QWidget* {
        ++created;
        auto w = std::make_unique<QWidget>();
        return w.release(); // owned by the main page from here on
    };
    ViewController vc(manager, {});
    vc.show();
    vc.BackupButton()->click();
    EXPECT_EQ(vc.CurrentPage(), 0);
    ASSERT_NE(vc.PermissionsWindow(), nullptr);
    vc.BackupButton()->click();
    EXPECT_EQ(created, 1); // one window, shown again
    EXPECT_TRUE(vc.PermissionsWindow()->isVisible());

    // The close button asks; "继续" keeps the window.
    alerts.QueueResponse(1000);
    vc.PermissionsWindow()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.Alerts().size() == 1; }, 3000));
    const auto& shown = alerts.Alerts()[0];
    EXPECT_EQ(shown.alert.buttons, (QStringList{LanguageText("继续"), LanguageText("关闭")}));
    EXPECT_EQ(shown.alert.messageText, LanguageText("还未授权“完全磁盘访问权限”，是否继续"));
    ASSERT_NE(vc.PermissionsWindow(), nullptr);
    EXPECT_TRUE(vc.PermissionsWindow()->isVisible());
    EXPECT_EQ(vc.CurrentPage(), 0);

    // "关闭" closes it and opens the backup list anyway.
    alerts.QueueResponse(1001);
    vc.PermissionsWindowCloseBtEvent();
    EXPECT_EQ(vc.PermissionsWindow(), nullptr);
    EXPECT_EQ(vc.CurrentPage(), 1);

    // Granted meanwhile: the close button opens the list without asking.
    vc.DeviceButton()->click();
    vc.BackupButton()->click();
    ASSERT_NE(vc.PermissionsWindow(), nullptr);
    status = 2;
    vc.PermissionsWindowCloseBtEvent();
    EXPECT_EQ(alerts.Alerts().size(), 2);
    EXPECT_EQ(vc.CurrentPage(), 1);
    EXPECT_EQ(created, 2);
}

TEST_F(MainPage, FailureAlerts) {
    ViewController vc(manager, {});
    vc.show();
    manager.SetBackUpPath("/backups/enc");
    // The tables carry no tutorial address: the alert offers "ok" only.
    manager.SetEncrypted("/backups/enc", true);
    vc.SwitchView(2);
    manager.SendBackUpLoser();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.Alerts().size() == 1; }, 3000));
    EXPECT_EQ(alerts.Alerts()[0].alert.informativeText, LanguageText("IsEncryptedTitle"));
    EXPECT_EQ(alerts.Alerts()[0].alert.buttons, QStringList{LanguageText("ok")});
    EXPECT_EQ(vc.CurrentPage(), 0);

    manager.SetEncrypted("/backups/enc", false);
    vc.SwitchView(1);
    vc.SwitchView(2);
    manager.SendBackUpLoser();
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.Alerts().size() == 2; }, 3000));
    EXPECT_EQ(alerts.Alerts()[1].alert.informativeText, LanguageText("BackUpFailureTitle"));
    EXPECT_EQ(vc.CurrentPage(), 0); // a failure on the backup road ends on page 0
    EXPECT_TRUE(opener.Opened().isEmpty());
}

// Manifest rows the analysis could not read: the scan starts all the same and the user
// is told how many entries are missing; a whole manifest shows no notice.
TEST_F(MainPage, SkippedManifestRowsAreNoticed) {
    ViewController vc(manager, {});
    vc.show();
    manager.SetBackUpPath("/backups/damaged");
    for (int skipped : {0, 3}) {
        SCOPED_TRACE(skipped);
        manager.SetSkippedManifestRows(skipped);
        vc.SwitchView(2);
        manager.SendAnalyzeFinish();
        ASSERT_TRUE(QTest::qWaitFor([&] { return vc.CurrentPage() == 3; }, 3000));
        if (skipped == 0) {
            EXPECT_TRUE(alerts.Alerts().isEmpty());
        } else {
            ASSERT_EQ(alerts.Alerts().size(), 1);
            EXPECT_EQ(alerts.Alerts()[0].alert.informativeText, LanguageText("ManifestRowsSkipped").arg(3));
            EXPECT_TRUE(alerts.Alerts()[0].alert.informativeText.contains(QStringLiteral("3")));
        }
        vc.StopAndWait();
        vc.SwitchView(0);
    }
}

TEST_F(MainPage, EncryptedKitBackupWithTutorialAddress) {
    // A tutorial address in the table offers "Tutorial", which opens it.
    QTemporaryDir tables;
    for (const char* lang : {"en"}) {
        QDir().mkpath(tables.path() + "/" + lang + ".lproj");
        QFile src(QStringLiteral(":/%1.lproj/Language.strings").arg(lang));
        ASSERT_TRUE(src.open(QIODevice::ReadOnly));
        QByteArray text = src.readAll();
        text.replace("\"TutorialURL\" = \"\";", "\"TutorialURL\" = \"https://help.example.org/encrypted\";");
        QFile dst(tables.path() + "/" + lang + ".lproj/Language.strings");
        ASSERT_TRUE(dst.open(QIODevice::WriteOnly));
        dst.write(text);
    }
    NSLanguageText::SetResourceRoot(tables.path() + "/");
    ASSERT_EQ(LanguageText("TutorialURL"), "https://help.example.org/encrypted");
    {
        ViewController vc(manager, {});
        vc.show();
        manager.SetBackUpPath("/backups/enc");
        manager.SetEncrypted("/backups/enc", true);
        alerts.QueueResponse(1000);
        manager.SendBackUpLoser();
        ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.Alerts().size() == 1; }, 3000));
        EXPECT_EQ(alerts.Alerts()[0].alert.buttons,
                  (QStringList{LanguageText("Tutorial"), LanguageText("ok")}));
        ASSERT_EQ(opener.Opened().size(), 1);
        EXPECT_EQ(opener.Opened()[0].toString(), "https://help.example.org/encrypted");
    }
    NSLanguageText::SetResourceRoot(QString());
}

TEST_F(MainPage, ConfiguredAddresses) {
    // The download button and the encrypted backup's "Tutorial" are offered only where the
    // tables carry an address (blank counts as none); the help button is never shown.
    struct Case {
        const char* name;
        QByteArray download;
        QByteArray tutorial;
        bool downloadShown;
    } cases[] = {
        {"neither", "", "", false},
        {"download only", "https://dl.example.org/package", "", true},
        {"tutorial only", "", "https://help.example.org/encrypted", false},
        {"both", "https://dl.example.org/package", "https://help.example.org/encrypted", true},
        {"blank", "   ", "  ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir tables;
        QDir().mkpath(tables.path() + "/en.lproj");
        QFile src(":/en.lproj/Language.strings");
        ASSERT_TRUE(src.open(QIODevice::ReadOnly));
        QByteArray text = src.readAll();
        ASSERT_TRUE(text.contains("\"DownloadPackageURL\" = \"\";"));
        ASSERT_TRUE(text.contains("\"TutorialURL\" = \"\";"));
        text.replace("\"DownloadPackageURL\" = \"\";", "\"DownloadPackageURL\" = \"" + c.download + "\";");
        text.replace("\"TutorialURL\" = \"\";", "\"TutorialURL\" = \"" + c.tutorial + "\";");
        QFile dst(tables.path() + "/en.lproj/Language.strings");
        ASSERT_TRUE(dst.open(QIODevice::WriteOnly));
        dst.write(text);
        dst.close();
        NSLanguageText::SetResourceRoot(tables.path() + "/");
        const ResourceRootReset reset;

        int downloads = 0;
        ServiceHooks::Current().showDownloadPackage = [&](std::function<void()>) { ++downloads; };
        const qsizetype alertsBefore = alerts.Alerts().size();
        const qsizetype openedBefore = opener.Opened().size();
        {
            ViewController vc(manager, {});
            vc.show();
            EXPECT_EQ(vc.DownloadButton()->isVisible(), c.downloadShown);
            EXPECT_FALSE(vc.HelpButton()->isVisible());
            if (c.downloadShown) {
                vc.DownloadButton()->click();
                EXPECT_EQ(downloads, 1);
            }

            manager.SetBackUpPath("/backups/enc");
            manager.SetEncrypted("/backups/enc", true);
            alerts.QueueResponse(1000); // the first button
            manager.SendBackUpLoser();
            ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.Alerts().size() == alertsBefore + 1; }, 3000));
            const auto& shown = alerts.Alerts()[alertsBefore].alert;
            const QList<QUrl> opened = opener.Opened().mid(openedBefore);
            const QString tutorial = QString::fromLatin1(c.tutorial).trimmed();
            if (tutorial.isEmpty()) {
                EXPECT_EQ(shown.buttons, QStringList{LanguageText("ok")});
                EXPECT_TRUE(opened.isEmpty());
            } else {
                EXPECT_EQ(shown.buttons, (QStringList{LanguageText("Tutorial"), LanguageText("ok")}));
                ASSERT_EQ(opened.size(), 1);
                EXPECT_EQ(opened[0].toString(), tutorial);
            }
        }
    }
}

TEST_F(MainPage, FollowsTheAppearance) {
    kit::FakeAppearance appearance(false);
    ViewController vc(manager, {});
    vc.show();
    EXPECT_FALSE(vc.ShowsDark());
    const QIcon lightIcon = vc.DeviceButton()->icon();
    appearance.SetDark(true);
    QEvent change(QEvent::PaletteChange);
    QCoreApplication::sendEvent(&vc, &change);
    EXPECT_TRUE(vc.ShowsDark());
    EXPECT_NE(vc.DeviceButton()->icon().cacheKey(), lightIcon.cacheKey());
    // The same appearance again changes nothing.
    const qint64 darkKey = vc.DeviceButton()->icon().cacheKey();
    QCoreApplication::sendEvent(&vc, &change);
    EXPECT_EQ(vc.DeviceButton()->icon().cacheKey(), darkKey);
}

TEST_F(MainPage, BackHomeKeepsTheDevice) {
    ViewController vc(manager, {});
    vc.show();
    auto d = Device("Kept");
    vc.AddDevice(d);
    vc.SwitchView(3);
    auto* page = dynamic_cast<NSDirizaView*>(vc.RecoveryPage());
    ASSERT_NE(page, nullptr);
    page->BackHomeButton()->click(); // the fake presenter answers "ok"
    EXPECT_EQ(vc.CurrentPage(), 0);
    EXPECT_TRUE(vc.DevicePage()->isChoosing());
    EXPECT_EQ(vc.DevicePage()->Device(), d);
}

TEST_F(MainPage, SameSecondLogIsAppendedTo) {
    // The redirection is exercised in a child process, whose streams may move.
    QTemporaryDir logs;
    const QDateTime when(QDate(2024, 12, 30), QTime(10, 0, 0));
    const QString path = logs.path() + "/" + ViewController::LogFileName(when);
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("first start\n");
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const QString p = ViewController::redirectNSlogToDocumentFolder(logs.path(), when);
        std::fputs("second start\n", stdout);
        std::fflush(stdout);
        _exit(p == path ? 0 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("first start\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("second start\n"));
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
