// The message cells' geometry: the measured widths and row heights, the bubble path
// with its tail, and where each kind of message is drawn.
#include "views/system/SmsBubble.h"

#include "scan/NSSMSData.h"
#include "views/frame/SystemViewLook.h"

#include <gtest/gtest.h>

namespace {

QString Repeat(const QString& s, int n) {
    QString out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

struct MeasureCase {
    const char* what;
    QString text;
    qreal width;
    qreal height;
};

TEST(SmsBubble, WidthsAndHeights) {
    const MeasureCase cases[] = {
        {"empty", QString(), 0, 40},
        {"33 ASCII fit one line", Repeat("a", 33), 363, 40},
        {"34 ASCII wrap once, width capped", Repeat("a", 34), 370, 58},
        {"a line feed", QStringLiteral("a\nb"), 33, 58},
        {"19 CJK wrap once", Repeat(QString::fromUtf8("中"), 19), 370, 58},
        {"18 CJK fit", Repeat(QString::fromUtf8("中"), 18), 360, 40},
        {"the CJK range is U+4E01..U+9FFE",
         QString(QChar(0x4E00)) + QChar(0x4E01) + QChar(0x9FFE) + QChar(0x9FFF), 62, 40},
        {"an emoji is two units", QString::fromUtf8("😀"), 22, 40},
        {"exactly two lines of width", Repeat("a", 370 * 2 / 11 + 1), 370, 76},
        {"10,000 characters", Repeat("x", 10000), 370, 40 + 18 * 297},
        {"line feeds and wrapping add up", Repeat("a", 34) + "\n\n", 370, 94},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_DOUBLE_EQ(c.width, getFontPixelWidth(c.text));
        EXPECT_DOUBLE_EQ(c.height, getFontPixelHeight(c.text));
    }
}

TEST(SmsBubble, TailAngleByShapeAndCorner) {
    struct {
        qreal m, r, corner;
        int angle;
    } cases[] = {
        {20, 8, 8, 40},   {20, 10, 10, 40}, {20, 5, 5, 0},    {20, 6.6, 6.6, 0}, {40, 10, 10, 40},
        {40, 16, 16, 10}, {40, 20, 20, 10}, {40, 5, 5, 0},    {50, 10, 10, 0},   {60, 12, 12, 40},
        {60, 10, 10, 40}, {60, 15, 15, 40}, {60, 20, 20, 10}, {60, 5, 5, 0},     {0, 0, 5, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.m << " " << c.r << " " << c.corner);
        EXPECT_EQ(c.angle, BubbleTailAngle(c.m, c.r, c.corner));
    }
}

bool HasPoint(const QPainterPath& path, const QPointF& p) {
    for (int i = 0; i < path.elementCount(); ++i) {
        const auto e = path.elementAt(i);
        if (qAbs(e.x - p.x()) < 1e-6 && qAbs(e.y - p.y()) < 1e-6) return true;
    }
    return false;
}

TEST(SmsBubble, BubbleGeometry) {
    struct {
        const char* what;
        QRectF rect;
        qreal corner;
        int position;
        QRectF bounds; // the rect with its tail
        QPointF tip;
    } cases[] = {
        {"received, notch on the left", {10, 5, 60, 30}, 5, 2, {0, 5, 70, 30}, {0, 20}},
        {"sent, notch on the right", {0, 0, 100, 40}, 5, 4, {0, 0, 110, 40}, {110, 20}},
        {"corner tail bottom right", {0, 0, 100, 60}, 12, 4, {0, 0, 110, 60}, {110, 60}},
        {"corner tail top right", {0, 0, 100, 60}, 12, 3, {0, 0, 110, 60}, {110, 0}},
        {"corner tail bottom left", {0, 0, 100, 60}, 12, 2, {-10, 0, 110, 60}, {-10, 60}},
        {"corner tail top left", {0, 0, 100, 60}, 20, 1, {-10, 0, 110, 60}, {-10, 0}},
        {"small bubble, wide tail", {0, 0, 20, 20}, 8, 4, {0, 0, 30, 20}, {30, 20}},
        {"no corner", {0, 0, 100, 40}, 0, 4, {0, 0, 110, 40}, {110, 20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QPainterPath path = makeBubble(c.rect, c.corner, c.position);
        const QRectF b = path.boundingRect();
        EXPECT_NEAR(c.bounds.left(), b.left(), 1e-6);
        EXPECT_NEAR(c.bounds.top(), b.top(), 1e-6);
        EXPECT_NEAR(c.bounds.right(), b.right(), 1e-6);
        EXPECT_NEAR(c.bounds.bottom(), b.bottom(), 1e-6);
        EXPECT_TRUE(HasPoint(path, c.tip));
        EXPECT_TRUE(path.contains(c.rect.center()));
        // The first element is where the path closes again.
        const auto first = path.elementAt(0);
        const auto last = path.elementAt(path.elementCount() - 1);
        EXPECT_NEAR(first.x, last.x, 1e-6);
        EXPECT_NEAR(first.y, last.y, 1e-6);
        // Rounded corners leave the rect's corner points out; sharp ones keep them in.
        const QPointF away =
            c.position <= 2 ? c.rect.topRight() + QPointF(-0.5, 0.5) : c.rect.topLeft() + QPointF(0.5, 0.5);
        EXPECT_EQ(c.corner <= 0, path.contains(away));
    }
    // Without a tail position the bubble is the rounded rect alone.
    const QPainterPath plain = makeBubble(QRectF(0, 0, 50, 40), 5, 0);
    EXPECT_EQ(QRectF(0, 0, 50, 40), plain.boundingRect());
    // A rect with no size gives a path without a tail angle and no crash.
    EXPECT_NO_FATAL_FAILURE(makeBubble(QRectF(0, 0, 0, 0), 5, 4));
}

NSSMSData Message(const QString& text, qint64 alignment, bool deleted = false, int type = 0) {
    NSSMSData m;
    m.setContent(text);
    m.setAlignment(alignment);
    m.setBDelete(deleted);
    m.setNType(type);
    return m;
}

TEST(SmsBubble, CellLayouts) {
    const QSizeF cell(400, 40);
    const QString hello = QStringLiteral("hello"); // width 55
    struct {
        const char* what;
        NSSMSData message;
        bool bubble;
        int position;
        QRectF text;
        QRectF bubbleRect;
        QColor textColor;
        int pixelSize;
    } cases[] = {
        {"sent", Message(hello, 1), true, 4, {325, 10, 55, 20}, {320, 0, 70, 40}, Qt::white, 14},
        {"sent and deleted: red on green",
         Message(hello, 1, true),
         true,
         4,
         {325, 10, 55, 20},
         {320, 0, 70, 40},
         SystemViewLook::DeletedText(),
         14},
        {"received", Message(hello, 0), true, 2, {15, 10, 55, 20}, {10, 5, 65, 30}, Qt::black, 14},
        {"received and deleted",
         Message(hello, 0, true),
         true,
         2,
         {15, 10, 55, 20},
         {10, 5, 65, 30},
         SystemViewLook::DeletedText(),
         14},
        {"a line of the owner", Message("ab", 2, false, 1), false, 0, {383, 10, 2, 20}, {}, Qt::gray, 12},
        {"a short line: no negative width", Message("a", 2), false, 0, {15, 10, 0, 20}, {}, Qt::gray, 12},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SmsCellLayout l = LayoutSmsCell(c.message, cell);
        EXPECT_EQ(c.bubble, l.bubble);
        EXPECT_EQ(c.text, l.textRect);
        EXPECT_EQ(c.textColor, l.text);
        EXPECT_EQ(c.pixelSize, l.pixelSize);
        if (c.bubble) {
            EXPECT_EQ(c.position, l.position);
            EXPECT_EQ(c.bubbleRect, l.bubbleRect);
        }
    }
    EXPECT_EQ(QColor(0, 240, 81), LayoutSmsCell(Message(hello, 1), cell).fill);
    EXPECT_EQ(QColor(228, 229, 235), LayoutSmsCell(Message(hello, 0), cell).fill);
    EXPECT_TRUE(LayoutSmsCell(Message("ab", 2, false, 1), cell).alignRight);
    // A message without text draws nothing.
    const SmsCellLayout empty = LayoutSmsCell(Message(QString(), 1), cell);
    EXPECT_FALSE(empty.bubble);
    EXPECT_TRUE(empty.textRect.isNull());
}

// However narrow or wide the list, a bubble and its tail (and the text inside it) stay
// within the cell's width; from 396 on a bubble is as wide as the 370 lines allow.
TEST(SmsBubble, BubblesStayInsideTheCell) {
    const QString longText = Repeat(QStringLiteral("word "), 120);
    const QString cjk = Repeat(QString::fromUtf8("明"), 40);
    for (const qreal W : {60.0, 120.0, 255.0, 300.0, 396.0, 400.0, 900.0}) {
        for (const QString& text : {longText, cjk, QStringLiteral("hello")}) {
            for (const qint64 alignment : {0, 1}) {
                SCOPED_TRACE(QStringLiteral("width %1, alignment %2, %3 units")
                                 .arg(W)
                                 .arg(alignment)
                                 .arg(text.size())
                                 .toStdString());
                const NSSMSData message = Message(text, alignment);
                const qreal H = getFontPixelHeight(text, SmsLineWidth(W));
                const SmsCellLayout l = LayoutSmsCell(message, QSizeF(W, H));
                ASSERT_TRUE(l.bubble);
                // The outline with its tail (whose tip may touch the cell's edge).
                const QRectF drawn = makeBubble(l.bubbleRect, 5.0, l.position).boundingRect();
                EXPECT_GE(drawn.left(), 0.0);
                EXPECT_LE(drawn.right(), W);
                EXPECT_TRUE(l.bubbleRect.contains(
                    QRectF(l.textRect.left(), l.bubbleRect.top(), l.textRect.width(), 1)));
                if (W >= 396 && text == longText) EXPECT_DOUBLE_EQ(370.0, l.textRect.width());
            }
        }
    }
    // The estimated height counts the lines of the narrower width.
    EXPECT_DOUBLE_EQ(getFontPixelHeight(longText), getFontPixelHeight(longText, 370));
    EXPECT_GT(getFontPixelHeight(longText, 200), getFontPixelHeight(longText));
    EXPECT_DOUBLE_EQ(370.0, SmsLineWidth(2000));
    EXPECT_DOUBLE_EQ(229.0, SmsLineWidth(255));
}

} // namespace
