// The themed progress bar, offscreen: fill geometry, one render timer, the slide of a
// growing value, and what a zero value paints.
#include "services/GRProgressIndicator.h"

#include "tests/scan/QtGtestMain.h"

#include <QApplication>
#include <QImage>
#include <QPropertyAnimation>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QImage Render(GRProgressIndicator& bar) {
    QImage image(bar.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    bar.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

int PaintedPixels(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) ++n;
        }
    }
    return n;
}

} // namespace

TEST(GRProgressIndicator, Defaults) {
    GRProgressIndicator bar;
    EXPECT_EQ(bar.theme(), 2);
    EXPECT_EQ(bar.minValue(), 0);
    EXPECT_EQ(bar.maxValue(), 100);
    EXPECT_EQ(bar.doubleValue(), 0);
    EXPECT_FALSE(bar.isAnimating());
}

TEST(GRProgressIndicator, FillRectangle) {
    struct Case {
        double min, max, value;
        bool indeterminate;
        int width;
    } cases[] = {
        {0, 100, 0, false, 0},     {0, 100, 50, false, 100},  {0, 100, 100, false, 200},
        {0, 100, 12.5, false, 25}, {0, 100, 0.25, false, 1},  {0, 100, 0.2, false, 0},
        {50, 50, 70, false, 0},    {0, 100, 30, true, 200},   {0, 100, 150, false, 300},
        {10, 20, 15, false, 100},  {0, 100, -10, false, -20},
    };
    for (const auto& tc : cases) {
        GRProgressIndicator bar;
        bar.resize(200, 20);
        bar.setMinValue(tc.min);
        bar.setMaxValue(tc.max);
        bar.setIndeterminate(tc.indeterminate);
        bar.setInternalDoubleValue(tc.value);
        EXPECT_EQ(bar.progressBarRect(), QRect(1, 2, tc.width, 17))
            << tc.min << " " << tc.max << " " << tc.value;
    }
}

TEST(GRProgressIndicator, OneRenderTimer) {
    GRProgressIndicator bar;
    bar.resize(200, 20);
    bar.stopAnimation(); // still: nothing happens
    EXPECT_FALSE(bar.isAnimating());
    bar.startAnimation();
    bar.startAnimation();
    EXPECT_TRUE(bar.isAnimating());
    const auto timers = bar.findChildren<QTimer*>();
    ASSERT_EQ(timers.size(), 1);
    EXPECT_TRUE(timers[0]->isActive());
    QSignalSpy ticks(timers[0], &QTimer::timeout);
    ASSERT_TRUE(ticks.wait(2000));
    EXPECT_GE(bar.currentAnimationStep(), 1);
    EXPECT_LE(bar.currentAnimationStep(), 30);
    bar.stopAnimation();
    EXPECT_FALSE(bar.isAnimating());
    EXPECT_FALSE(timers[0]->isActive());
}

TEST(GRProgressIndicator, GrowthSlidesShrinkJumps) {
    GRProgressIndicator bar;
    bar.resize(200, 20);
    bar.setDoubleValue(60);
    EXPECT_EQ(bar.doubleValue(), 60);
    EXPECT_LT(bar.internalDoubleValue(), 60);
    QSignalSpy done(bar.valueAnimation(), &QPropertyAnimation::finished);
    ASSERT_TRUE(done.wait(3000));
    EXPECT_EQ(bar.internalDoubleValue(), 60);
    bar.setDoubleValue(20);
    EXPECT_EQ(bar.internalDoubleValue(), 20);
    EXPECT_NE(bar.valueAnimation()->state(), QAbstractAnimation::Running);
    // Indeterminate bars never slide.
    bar.setIndeterminate(true);
    bar.setDoubleValue(90);
    EXPECT_EQ(bar.internalDoubleValue(), 90);
}

TEST(GRProgressIndicator, ZeroPaintsNoFill) {
    for (int theme : {1, 2, 3, 4, 5, 9}) {
        GRProgressIndicator bar;
        bar.setTheme(theme);
        bar.resize(200, 20);
        EXPECT_EQ(PaintedPixels(Render(bar)), 0);
        bar.setIndeterminate(true); // the value still decides whether a fill is drawn
        EXPECT_EQ(PaintedPixels(Render(bar)), 0);
        bar.setIndeterminate(false);
        bar.setDoubleValue(50);
        bar.setInternalDoubleValue(50);
        const QImage half = Render(bar);
        EXPECT_GT(PaintedPixels(half), 0) << theme;
        EXPECT_NE(qAlpha(half.pixel(50, 10)), 0);
        EXPECT_EQ(qAlpha(half.pixel(150, 10)), 0);
        // Above the maximum: the whole clip.
        bar.setDoubleValue(150);
        bar.setInternalDoubleValue(150);
        EXPECT_NE(qAlpha(Render(bar).pixel(190, 10)), 0);
        // Equal bounds never divide by zero.
        bar.setMaxValue(0);
        EXPECT_EQ(bar.progressBarRect().width(), 0);
        Render(bar);
    }
}

QT_GTEST_MAIN(QApplication)
