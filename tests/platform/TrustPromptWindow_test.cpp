// The trust prompt window, offscreen: confirming runs the handler once, closing it
// any other way drops the handler.
#include "scan/DeviceAuthorizationMessageWindow.h"

#include "tests/scan/QtGtestMain.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

TEST(TrustPromptWindow, ConfirmRunsTheHandlerOnce) {
    DeviceAuthorizationMessageWindow window;
    int runs = 0;
    window.Show([&] { ++runs; });
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.confirmButton()->text().isEmpty());
    QTest::mouseClick(window.confirmButton(), Qt::LeftButton);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(window.isVisible());
    window.CompleteBtEvent(); // no handler left
    EXPECT_EQ(runs, 1);
}

TEST(TrustPromptWindow, ClosingDropsTheHandler) {
    DeviceAuthorizationMessageWindow window;
    int runs = 0;
    window.Show([&] { ++runs; });
    window.close(); // the window's close button
    EXPECT_FALSE(window.isVisible());
    window.CompleteBtEvent();
    EXPECT_EQ(runs, 0);

    window.Show([&] { ++runs; });
    window.Close(); // closed by the hub once the device is trusted
    window.CompleteBtEvent();
    EXPECT_EQ(runs, 0);

    // A later Show replaces the handler.
    int other = 0;
    window.Show([&] { ++runs; });
    window.Show([&] { ++other; });
    window.CompleteBtEvent();
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(other, 1);
}

QT_GTEST_MAIN(QApplication)
