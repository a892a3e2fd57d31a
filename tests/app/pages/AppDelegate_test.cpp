// The application delegate: menus per language, the folder items, and the clean-up at
// quit (scan stopped and waited for before the cache folder goes).
#include "gui/NSLanguageText.h"
#include "app/pages/AppDelegate.h"
#include "app/pages/MainWindow.h"
#include "app/pages/NSMainView.h"
#include "app/pages/NSWindowsAbout.h"
#include "app/pages/ViewController.h"
#include "app/pages/NSGuideView.h"
#include "app/pages/ServiceHooks.h"
#include "platform/Paths.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/FakeDeviceManage.h"
#include "tests/kit/FakeOpener.h"
#include "tests/kit/QtTestMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QKeySequence>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QSettings>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>

namespace {

class Delegate : public ::testing::Test {
  protected:
    void SetUp() override {
        Paths::SetApplicationSupport(support.path());
        ServiceHooks::Current() = ServiceHooks();
        NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    }
    void TearDown() override {
        ServiceHooks::Current() = ServiceHooks();
        NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
        Paths::ResetOverrides();
    }
    QTemporaryDir support;
    kit::FakeDeviceManage manager;
    kit::FakeAlertPresenter alerts;
    kit::FakeOpener opener;
};

TEST_F(Delegate, LanguageMenus) {
    AppDelegate app(manager, {});
    int sent = 0;
    ServiceHooks::Current().setLanguage = [&](int) { ++sent; };
    app.setLanguage(NSLanguageText::English); // already current: nothing sent
    EXPECT_EQ(sent, 0);
    EXPECT_TRUE(app.LanguageItem(0)->isChecked());
    EXPECT_EQ(app.MenuItem("AboutMenu")->text(), LanguageText("AboutMenu"));
    EXPECT_TRUE(app.LanguageMenu()->menuAction()->isVisible());
    EXPECT_FALSE(app.PrivacyItem()->isVisible());
    // Without a terms host the terms item is disabled.
    EXPECT_FALSE(app.PrivacyItem()->isEnabled());

    app.setLanguage(NSLanguageText::German);
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(NSLanguageText::shareInstance()->Language(), NSLanguageText::German);
    EXPECT_TRUE(app.LanguageItem(5)->isChecked());
    EXPECT_FALSE(app.LanguageItem(0)->isChecked());
    EXPECT_EQ(app.MenuItem("OutApp")->text(), LanguageText("OutApp"));

    app.setLanguage(NSLanguageText::SimplifiedChinese);
    EXPECT_FALSE(app.LanguageMenu()->menuAction()->isVisible());
    EXPECT_TRUE(app.PrivacyItem()->isVisible());
    for (int i = 0; i < 12; ++i) {
        if (app.LanguageItem(i)) {
            EXPECT_FALSE(app.LanguageItem(i)->isChecked()) << i;
        }
    }
    EXPECT_EQ(app.LanguageItem(1), nullptr);

    // A number outside the languages marks nothing and changes nothing.
    app.setLanguage(99);
    EXPECT_EQ(NSLanguageText::shareInstance()->Language(), NSLanguageText::SimplifiedChinese);
}

TEST_F(Delegate, FolderItems) {
    AppDelegate app(manager, {});
    QTemporaryDir cache;
    manager.SetSaveBackUpPath(cache.path() + "/backup");
    app.OpenBackupPathMenuEvent(); // missing: the alert with its single "OK"
    ASSERT_EQ(alerts.Alerts().size(), 1);
    EXPECT_EQ(alerts.Alerts()[0].alert.informativeText, LanguageText("TitleNoPaht"));
    EXPECT_EQ(alerts.Alerts()[0].alert.buttons, QStringList{LanguageText("OK")});
    app.OpeniTunesPathMenuEvent(); // no backups folder yet
    EXPECT_EQ(alerts.Alerts().size(), 2);
    EXPECT_TRUE(opener.Opened().isEmpty());

    QDir().mkpath(cache.path() + "/backup");
    QDir().mkpath(Paths::BackupsFolder());
    app.OpenBackupPathMenuEvent();
    app.OpeniTunesPathMenuEvent();
    app.OpenLogPathMenuEvent();
    ASSERT_EQ(opener.Opened().size(), 3);
    EXPECT_EQ(opener.Opened()[0].toLocalFile(), cache.path() + "/backup");
    EXPECT_EQ(opener.Opened()[1].toLocalFile(), Paths::BackupsFolder());
    EXPECT_EQ(opener.Opened()[2].toLocalFile(), Paths::LogFolder());
    EXPECT_TRUE(Paths::LogFolder().endsWith("/Diriza-IOS"));
}

TEST_F(Delegate, QuitStopsTheScanWaitsThenRemovesTheCache) {
    QTemporaryDir cache;
    const QString backup = cache.path() + "/backup";
    QDir().mkpath(backup + "/udid/ab");
    QFile(backup + "/udid/ab/file").open(QIODevice::WriteOnly);
    manager.SetSaveBackUpPath(backup);
    // The scan writes into the cache until it is told to stop; it must have ended
    // before the folder is removed.
    std::atomic<bool> cacheSeenByScanEnd{false};
    manager.RunScan([&](ScanFileDelegate&, kit::FakeDeviceManage& m) {
        while (m.isScanStop())
            QThread::msleep(2);
        QThread::msleep(50);
        cacheSeenByScanEnd = QDir(backup).exists();
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager.isScan(); }, 3000));
    int events = 0;
    ServiceHooks::Current().eventAction = [&](int a) { events += a; };
    {
        AppDelegate app(manager, {});
        app.applicationDidFinishLaunching();
        app.Window()->close();
        EXPECT_FALSE(manager.isScan());
        EXPECT_TRUE(cacheSeenByScanEnd.load());
        EXPECT_FALSE(QDir(backup).exists());
        EXPECT_TRUE(manager.Calls().contains("StopScan"));
        EXPECT_TRUE(manager.Calls().contains("WaitForTasks"));
        // The scan folders go too, once every task has ended.
        ASSERT_TRUE(manager.Calls().contains("RemoveScanFolders"));
        EXPECT_GT(manager.Calls().lastIndexOf("RemoveScanFolders"),
                  manager.Calls().lastIndexOf("WaitForTasks"));
        EXPECT_EQ(events, 1);
    }
    // Quitting with no cache folder at all is silent.
    AppDelegate again(manager, {});
    again.Window()->close();
    EXPECT_FALSE(QDir(backup).exists());
}

TEST_F(Delegate, MainWindowCentredInTheAvailableArea) {
    const QRect available(0, 30, 1920, 1000);
    EXPECT_EQ(NSMainView::CentredOrigin(available, QSize(1000, 700)), QPoint(460, 180));
    EXPECT_EQ(NSMainView::CentredOrigin(QRect(100, 0, 800, 600), QSize(800, 600)), QPoint(100, 0));
    AppDelegate app(manager, {});
    app.applicationDidFinishLaunching();
    EXPECT_TRUE(app.Window()->isVisible());
    EXPECT_EQ(app.Window()->minimumSize(), app.Window()->size());
    app.Window()->close();
}

TEST_F(Delegate, AboutTexts) {
    AppDelegate app(manager, {});
    app.AboutMenuEvent();
    NSWindowsAbout* about = app.About();
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->VersionText()->text(),
              SafeFormat(LanguageText("ShowVersion"), {QCoreApplication::applicationVersion()}));
    app.setLanguage(NSLanguageText::French);
    EXPECT_EQ(about->VersionText()->text(),
              SafeFormat(LanguageText("ShowVersion"), {QCoreApplication::applicationVersion()}));
    about->close();
}

// Every service window can be reached from the running main window: the settings store
// is loaded when the main page loads, the second feedback window has its Help item, the
// companion download opens from the main page and tells nobody when it closes, and the
// guide has a Help item of its own, whose answer is recorded and brings the main window
// to the front as the user left it.
TEST_F(Delegate, ServiceWindowsAreReachableFromTheMainWindow) {
    int settingsLoads = 0, newFeedbacks = 0, guideAnswers = 0;
    std::function<void()> downloadClosed = [] {};
    int downloads = 0;
    ServiceHooks::Current().loadSettings = [&] { ++settingsLoads; };
    ServiceHooks::Current().showNewFeedback = [&] { ++newFeedbacks; };
    ServiceHooks::Current().saveGuide = [&] { ++guideAnswers; };
    ServiceHooks::Current().showDownloadPackage = [&](std::function<void()> closed) {
        ++downloads;
        downloadClosed = std::move(closed);
    };
    AppDelegate app(manager, {});
    EXPECT_EQ(settingsLoads, 1);
    app.applicationDidFinishLaunching();

    QAction* item = app.MenuItem("FeedbackPhotosMenu");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), LanguageText("FeedbackPhotosMenu"));
    item->trigger();
    EXPECT_EQ(newFeedbacks, 1);

    // The user made the main window larger and moved it.
    app.Window()->resize(app.Window()->size() + QSize(300, 200));
    app.Window()->move(37, 41);
    const QSize size = app.Window()->size();
    const QPoint place = app.Window()->pos();

    app.Controller()->DownloadButton()->click();
    EXPECT_EQ(downloads, 1);
    EXPECT_FALSE(bool(downloadClosed)); // its closing is reported to nobody
    EXPECT_TRUE(app.Launcher()->Guide() == nullptr || !app.Launcher()->Guide()->isVisible());

    QAction* guideItem = app.MenuItem("GuideMenu");
    ASSERT_NE(guideItem, nullptr);
    EXPECT_EQ(guideItem->text(), LanguageText("GuideMenu"));
    guideItem->trigger();
    ASSERT_NE(app.Launcher()->Guide(), nullptr);
    EXPECT_TRUE(app.Launcher()->Guide()->isVisible());
    // From the guide the download's closing brings the guide back.
    app.Launcher()->Guide()->PCButton()->click();
    EXPECT_EQ(downloads, 2);
    ASSERT_TRUE(bool(downloadClosed));
    downloadClosed();
    EXPECT_TRUE(app.Launcher()->Guide()->isVisible());
    app.Launcher()->Guide()->IOSButton()->click();
    EXPECT_EQ(guideAnswers, 1);
    EXPECT_FALSE(app.Launcher()->Guide()->isVisible());
    EXPECT_TRUE(app.Window()->isVisible());
    EXPECT_EQ(app.Window()->size(), size);
    EXPECT_EQ(app.Window()->pos(), place);
    app.Window()->close();
}

// Settings are filed under the organisation and the application; Quit has Ctrl+Q
// whatever the desktop binds; Qt's own texts follow the language menu.
TEST_F(Delegate, IdentityQuitKeyAndQtTexts) {
    const QString organisation = QCoreApplication::organizationName(),
                  name = QCoreApplication::applicationName();
    AppDelegate::SetApplicationIdentity();
    EXPECT_EQ(QCoreApplication::organizationName(), "Diriza");
    EXPECT_EQ(QCoreApplication::applicationName(), "Diriza-IOS");
    EXPECT_TRUE(QSettings().fileName().contains("Diriza/Diriza-IOS")) << QSettings().fileName().toStdString();
    QCoreApplication::setOrganizationName(organisation);
    QCoreApplication::setApplicationName(name);

    AppDelegate app(manager, {});
    app.applicationDidFinishLaunching();
    QAction* quit = app.MenuItem("OutApp");
    ASSERT_NE(quit, nullptr);
    EXPECT_TRUE(quit->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
    EXPECT_TRUE(AppDelegate::QuitShortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
    // Ctrl+Q quits from a preview window in front of the main window as well.
    app.Window()->show();
    {
        QWidget preview(app.Window(), Qt::Dialog);
        preview.show();
        preview.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&preview));
        QTest::keyClick(&preview, Qt::Key_Q, Qt::ControlModifier);
        EXPECT_FALSE(app.Window()->isVisible());
    }
    app.Window()->show();
    quit->trigger();
    EXPECT_FALSE(app.Window()->isVisible());

    const QString german =
        QFileInfo::exists(QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).filePath("qtbase_de.qm"))
            ? QStringLiteral("Suchen in:")
            : QStringLiteral("Look in:");
    app.setLanguage(NSLanguageText::German);
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), german);
    app.setLanguage(NSLanguageText::English);
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");
}

// Closing the main window quits even while another window (a preview, a feedback
// window) is open: the other windows close with it, after the clean-up.
TEST_F(Delegate, ClosingTheMainWindowClosesTheOtherWindows) {
    AppDelegate app(manager, {});
    app.applicationDidFinishLaunching();
    QWidget preview;
    preview.show();
    ASSERT_TRUE(preview.isVisible());
    app.Window()->close();
    EXPECT_FALSE(preview.isVisible());
    EXPECT_TRUE(app.Window()->isHidden());
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
