// The shell's service hooks as the executable installs them: permission status from the
// permission table, the Full Disk Access window, the download window's closing reaching
// only its latest opener, and the guide flag in the settings.
#include "app/pages/MainWindow.h"
#include "app/pages/ServiceHooks.h"
#include "app/pages/ServiceWiring.h"
#include "services/Configuration.h"
#include "services/MPPermissionsKit.h"
#include "services/NSDownloadPackageView.h"
#include "services/NSPermissionsWindow.h"
#include "services/NSWindowControllerCheckUpdateApp.h"
#include "services/NSWindowControllerFeedback.h"
#include "services/NSWindowControllerNewFeedback.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

namespace {

class FixedAuthorizer : public MPAuthorizer {
  public:
    explicit FixedAuthorizer(MPAccessState s) : state(s) {}
    MPAccessState authorizationStatus() override { return state; }
    void requestAuthorizationWithCompletion(MPAccessCompletion completion) override {
        if (completion) completion(state);
    }
    MPAccessState state;
};

TEST(ServiceWiring, FullDiskAccessStatusFollowsThePermissionTable) {
    ServiceHooks hooks;
    ServiceWiring::Install(hooks);
    const std::shared_ptr<MPAuthorizer> original = MPPermissionsKit::authorizers().at(4);
    struct Case {
        MPAccessState state;
        int status;
    } cases[] = {
        {MPAccessStateUndecided, 0},
        {MPAccessStateRefused, 1},
        {MPAccessStateGranted, 2},
        {MPAccessStatePartial, 0}, // not granted: the page asks
    };
    for (const Case& c : cases) {
        MPPermissionsKit::setAuthorizer(4, std::make_shared<FixedAuthorizer>(c.state));
        EXPECT_EQ(hooks.FullDiskAccessStatus(), c.status) << c.state;
    }
    MPPermissionsKit::setAuthorizer(4, original);
}

TEST(ServiceWiring, PermissionsWindowIsTheServicesWindow) {
    ServiceHooks hooks;
    ServiceWiring::Install(hooks);
    std::unique_ptr<QWidget> window(hooks.createPermissionsWindow());
    ASSERT_NE(qobject_cast<NSPermissionsWindow*>(window.get()), nullptr);
    hooks.permissionsWindowLanguage(window.get()); // re-reads its texts
    QWidget other;
    hooks.permissionsWindowLanguage(&other); // another widget is left alone
}

TEST(ServiceWiring, DownloadWindowClosingReachesOnlyTheLatestOpener) {
    ServiceHooks hooks;
    ServiceWiring::Install(hooks);
    int first = 0, second = 0;
    hooks.showDownloadPackage([&] { ++first; });
    NSDownloadPackageView::shareInstance().close();
    EXPECT_EQ(first, 1);

    hooks.showDownloadPackage([&] { ++first; });
    hooks.showDownloadPackage([&] { ++second; }); // a later opener takes over
    NSDownloadPackageView::shareInstance().close();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);

    hooks.showDownloadPackage({}); // opened with nobody to tell
    NSDownloadPackageView::shareInstance().close();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
}

TEST(ServiceWiring, EveryWindowAndTheSettingsStoreHaveTheirHook) {
    ServiceHooks hooks;
    ServiceWiring::Install(hooks);
    EXPECT_TRUE(bool(hooks.showNewFeedback));
    EXPECT_TRUE(bool(hooks.loadSettings));
    EXPECT_TRUE(bool(hooks.saveGuide));
}

// The update and feedback windows open centred on the main window, not at the
// screen's corner.
TEST(ServiceWiring, ServiceWindowsOpenCentredOnTheMainWindow) {
    ServiceHooks hooks;
    ServiceWiring::Install(hooks);
    MainWindow main;
    // Away from the screen's corner, with room around its centre for each window.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    main.resize(area.width() * 3 / 4, area.height() * 3 / 4);
    main.move(area.left() + area.width() / 8, area.top() + area.height() / 8);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    const QPoint centre = main.frameGeometry().center();
    const struct {
        const char* name;
        std::function<void()> show;
        QWidget* window;
    } cases[] = {
        {"update", hooks.showCheckUpdate, &NSWindowControllerCheckUpdateApp::shareInstance()},
        {"feedback", hooks.showFeedback, &NSWindowControllerFeedback::shareInstance()},
        {"photo feedback", hooks.showNewFeedback, &NSWindowControllerNewFeedback::shareInstance()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.show();
        EXPECT_TRUE(c.window->isVisible());
        const QPoint at = c.window->frameGeometry().center();
        EXPECT_LE(std::abs(at.x() - centre.x()), 2);
        EXPECT_LE(std::abs(at.y() - centre.y()), 2);
        c.window->close();
    }
}

TEST(ServiceWiring, GuideAnswerIsKept) {
    ServiceHooks hooks;
    ServiceWiring::Install(hooks);
    hooks.saveGuide();
    EXPECT_TRUE(Configuration::shareInstance().isGuide());
}

} // namespace
KIT_QT_TEST_MAIN(QApplication)
