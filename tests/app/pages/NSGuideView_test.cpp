// The guide: each choice closes it; the second records the answer, with or without a
// receiver; the launcher turns the choices into the main window or the download.
#include "gui/NSLanguageText.h"
#include "app/pages/NSGuideView.h"
#include "app/pages/NSMainView.h"
#include "app/pages/ServiceHooks.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

struct Choices : NSGuideViewDelegate {
    int pc = 0, mobile = 0;
    void SelectPCRecovery() override { ++pc; }
    void SelectMobileRecovery() override { ++mobile; }
};

TEST(Guide, ChoicesCloseTheGuide) {
    ServiceHooks::Current() = ServiceHooks();
    int saved = 0;
    ServiceHooks::Current().saveGuide = [&] { ++saved; };
    struct Case {
        bool withDelegate;
        bool second;
        int pc, mobile, saved;
    } cases[] = {
        {true, false, 1, 0, 0},
        {true, true, 0, 1, 1},
        {false, false, 0, 0, 0},
        {false, true, 0, 0, 1},
    };
    for (const Case& c : cases) {
        saved = 0;
        NSGuideView guide;
        Choices choices;
        if (c.withDelegate) guide.setDelegate(&choices);
        guide.show();
        (c.second ? guide.IOSButton() : guide.PCButton())->click();
        EXPECT_FALSE(guide.isVisible());
        EXPECT_EQ(choices.pc, c.pc);
        EXPECT_EQ(choices.mobile, c.mobile);
        EXPECT_EQ(saved, c.saved);
    }
    ServiceHooks::Current() = ServiceHooks();
}

TEST(Guide, LauncherRoads) {
    ServiceHooks::Current() = ServiceHooks();
    std::function<void()> downloadClosed;
    ServiceHooks::Current().showDownloadPackage = [&](std::function<void()> closed) {
        downloadClosed = closed;
    };
    QWidget main;
    main.resize(500, 400);
    NSMainView launcher(&main);
    launcher.ActivationMobileRecovery();
    ASSERT_NE(launcher.Guide(), nullptr);
    EXPECT_TRUE(launcher.Guide()->isVisible());
    const QSize fixed = launcher.Guide()->size();
    EXPECT_EQ(launcher.Guide()->minimumSize(), fixed);
    EXPECT_EQ(launcher.Guide()->maximumSize(), fixed);
    // First choice: the download; its closing shows the guide again.
    launcher.Guide()->PCButton()->click();
    EXPECT_FALSE(launcher.Guide()->isVisible());
    ASSERT_TRUE(bool(downloadClosed));
    downloadClosed();
    EXPECT_TRUE(launcher.Guide()->isVisible());
    // Second choice: the main window.
    launcher.Guide()->IOSButton()->click();
    EXPECT_TRUE(main.isVisible());
    EXPECT_EQ(main.minimumSize(), main.size());
    ServiceHooks::Current() = ServiceHooks();
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
