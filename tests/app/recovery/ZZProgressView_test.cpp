// The scan progress bar: the progress kept within the total, the fill width following
// it (also across a resize), and a total of 0 that leaves text and bar alone.
#include "app/recovery/ZZProgressView.h"

#include "tests/kit/FakeAppearance.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QImage>

namespace {

struct ClampCase {
    const char* label;
    double progress;
    double stored;
    int width;
};

TEST(ZZProgressViewTest, ProgressIsClampedToTheTotal) {
    ZZProgressView view;
    view.resize(200, 20);
    const ClampCase cases[] = {
        {"half", 50, 50, 100},  {"above the total", 150, 100, 200},
        {"negative", -5, 0, 0}, {"total", 100, 100, 200},
        {"zero", 0, 0, 0},      {"quarter", 25, 25, 50},
    };
    for (const ClampCase& c : cases) {
        SCOPED_TRACE(c.label);
        view.setProgress(c.progress, "text");
        EXPECT_DOUBLE_EQ(c.stored, view.getProgress());
        EXPECT_EQ(c.width, view.FillWidth());
        EXPECT_EQ("text", view.Text().toStdString());
    }
}

TEST(ZZProgressViewTest, StartsAtZeroOfAHundred) {
    ZZProgressView view;
    EXPECT_DOUBLE_EQ(100, view.getTotatProgress());
    EXPECT_DOUBLE_EQ(0, view.getProgress());
    EXPECT_FALSE(view.Text().isEmpty());
}

TEST(ZZProgressViewTest, TotalOfZeroKeepsTextAndBar) {
    for (double total : {0.0, -1.0}) {
        SCOPED_TRACE(total);
        ZZProgressView view;
        view.resize(200, 20);
        view.setProgress(40, "before");
        view.setTotatProgress(total);
        view.setProgress(30, "after");
        EXPECT_DOUBLE_EQ(0, view.getProgress());
        EXPECT_EQ("before", view.Text().toStdString());
        EXPECT_EQ(80, view.FillWidth());
    }
}

TEST(ZZProgressViewTest, ShowTextLeavesTheBar) {
    ZZProgressView view;
    view.resize(200, 20);
    view.setProgress(40, "before");
    view.ShowText("counting");
    EXPECT_EQ("counting", view.Text().toStdString());
    EXPECT_EQ(80, view.FillWidth());
    EXPECT_DOUBLE_EQ(40, view.getProgress());
}

TEST(ZZProgressViewTest, ShowTitleEmptiesTheBar) {
    ZZProgressView view;
    view.resize(200, 20);
    view.setProgress(50, "half");
    view.ShowTitle("title");
    EXPECT_EQ(0, view.FillWidth());
    EXPECT_DOUBLE_EQ(0, view.getProgress());
    EXPECT_EQ("title", view.Text().toStdString());
}

TEST(ZZProgressViewTest, HideAndShowAgain) {
    ZZProgressView view;
    view.show();
    view.HiddenRogress();
    EXPECT_FALSE(view.FillVisible());
    view.InitProgressTitle();
    EXPECT_TRUE(view.FillVisible());
    EXPECT_EQ("", view.Text().toStdString());
}

TEST(ZZProgressViewTest, ResizeKeepsTheProgressWidth) {
    ZZProgressView view;
    view.resize(200, 20);
    view.setProgress(50, "half");
    view.resize(400, 30);
    view.show();
    QApplication::processEvents();
    EXPECT_EQ(200, view.FillWidth());
}

TEST(ZZProgressViewTest, RenderShowsTheFillUpToItsEdge) {
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark);
        kit::FakeAppearance appearance(dark);
        ZZProgressView view;
        view.resize(200, 20);
        view.setProgress(25, "");
        const QImage image = view.grab().toImage();
        const QColor inside = image.pixelColor(48, 10);
        const QColor outside = image.pixelColor(53, 10);
        EXPECT_NE(inside, outside);
        if (!dark)
            EXPECT_GT(inside.blue() - inside.red(), 20);
        else
            EXPECT_LT(std::abs(inside.blue() - inside.red()), 5);
    }
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
