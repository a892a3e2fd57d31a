// The tick-and-name line under a media tile: the name, which comes from the backup, reads
// the same in a right-to-left interface as in a left-to-right one (wherever the line puts it).
#include "views/media/MediaCheckPainter.h"

#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

QImage Line(const QString& name, Qt::LayoutDirection direction) {
    QImage image(220, 24, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setLayoutDirection(direction);
    // Whole pixels only, so that a name drawn at another place is the same picture.
    QFont font = painter.font();
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    MediaCheckPainter::Paint(painter, QRect(2, 4, 16, 16), QRect(0, 0, 220, 24), false, name, Qt::black,
                             nullptr);
    return image;
}

// Where the name's dot lies, as a share of the name's drawn width: the one inked column
// whose ink stays on the bottom rows of the text. In "000001.mov" it lies past the middle;
// in "mov.000001", the order a right-to-left line gives without care, before it.
double DotPlace(const QImage& line) {
    int left = line.width(), right = -1, bottom = -1;
    for (int x = 20; x < line.width(); ++x)
        for (int y = 0; y < line.height(); ++y)
            if (line.pixel(x, y) != qRgb(255, 255, 255)) {
                left = std::min(left, x);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
    if (right <= left) return -1;
    for (int x = left; x <= right; ++x) {
        int top = line.height();
        for (int y = 0; y < line.height(); ++y)
            if (line.pixel(x, y) != qRgb(255, 255, 255)) top = std::min(top, y);
        if (top < line.height() && top >= bottom - 2) return double(x - left) / double(right - left);
    }
    return -1;
}

} // namespace

TEST(MediaCheckPainter, NamesReadTheSameInARightToLeftInterface) {
    for (const char* name : {"000001.mov", "20200101.jpg"}) {
        SCOPED_TRACE(name);
        const QString text = QString::fromUtf8(name);
        const double leftToRight = DotPlace(Line(text, Qt::LeftToRight));
        ASSERT_GT(leftToRight, 0.3);
        EXPECT_NEAR(leftToRight, DotPlace(Line(text, Qt::RightToLeft)), 0.05);
    }
}

KIT_QT_TEST_MAIN(QApplication)
