// The message cells: bubble outline, layout by kind, display texts, picture sizes, head
// images through the fetcher, and clicks that open previews.
#include "views/chat/NSWXChatRecordContentCell.h"

#include "gui/NSLanguageText.h"
#include "tests/kit/FakePreviewService.h"
#include "tests/kit/QtWeChatRecords.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/ChatTestMain.h"
#include "tests/views/chat/FakeImageFetcher.h"
#include "views/chat/NSWXChatRecordCellImages.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>

#include <gtest/gtest.h>

using kit::QtWeChatRecords;

namespace {

struct CellFixture : ::testing::Test {
    NSWXChatRecordCellImages images;
    FakeImageFetcher fetcher;
    kit::FakePreviewService preview;
    QList<NSWXChatSMSData> messages;
    NSWXChatRecordContentCell cell{
        [this](int row) { return row >= 0 && row < messages.size() ? &messages[row] : nullptr; }, images,
        fetcher, preview};
    kit::ScratchFolder scratch{"cell"};
    QString Path(const QString& name) const {
        return QString::fromStdString((scratch.path() / name.toStdString()).string());
    }

    void Paint(int row, int width = 600) {
        QImage target(width, int(cell.RowHeight(messages[row])), QImage::Format_ARGB32);
        QPainter painter(&target);
        QStyleOptionViewItem option;
        option.rect = target.rect();
        QStandardItemModel model(int(messages.size()), 1);
        cell.paint(&painter, option, model.index(row, 0));
    }
    bool Click(int row, QPointF at, int width = 600) {
        QStyleOptionViewItem option;
        option.rect = QRect(0, 0, width, int(cell.RowHeight(messages[row])));
        QStandardItemModel model(int(messages.size()), 1);
        QMouseEvent release(QEvent::MouseButtonRelease, at, at, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        return cell.editorEvent(&release, &model, option, model.index(row, 0));
    }
};

TEST(WXChatBubble, StyleByShape) {
    struct Case {
        qreal w, h, corner;
        int style;
    } cases[] = {
        {15, 10, 5, 40},   // an empty text: 5 / 10 > 0.33
        {20, 16, 5, 0},    // 5 / 16 < 0.33
        {100, 40, 5, 0},   // 30 <= m <= 50, q = 0.125
        {100, 40, 10, 40}, // q = 0.25
        {100, 40, 20, 10}, // q = 0.5
        {100, 60, 5, 0},   // m > 50, corner below 10
        {100, 60, 12, 40}, {100, 60, 20, 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.style, NSWXChatRecordContentCell::BubbleStyle(c.w, c.h, c.corner))
            << c.w << "x" << c.h << " r" << c.corner;
}

TEST(WXChatBubble, ArrowTipsAndOutline) {
    // Side arrow (style 0) in the middle of a low bubble: tip 10 points outside.
    const QRectF low(50, 5, 100, 20);
    const QPainterPath left = NSWXChatRecordContentCell::makeBubble(QPainterPath(), low, 5, 1);
    EXPECT_NEAR(40, left.boundingRect().left(), 0.01);
    EXPECT_NEAR(150, left.boundingRect().right(), 0.01);
    EXPECT_EQ(QPointF(40, 15), left.elementAt(0));
    const QPainterPath right = NSWXChatRecordContentCell::makeBubble(QPainterPath(), low, 5, 3);
    EXPECT_EQ(QPointF(160, 15), right.elementAt(0));
    EXPECT_NEAR(50, right.boundingRect().left(), 0.01);
    // A tall bubble has its arrow near the top: base from maxY - r - d down 10 points.
    const QRectF tall(50, 5, 100, 200);
    EXPECT_NEAR(205 - 5 - (190.0 / 30) - 5,
                NSWXChatRecordContentCell::makeBubble({}, tall, 5, 1).elementAt(0).y, 0.01);
    // An empty text (15 x 10): style 40, the tip at the top corner.
    const QRectF empty(50, 5, 15, 10);
    const QPainterPath e = NSWXChatRecordContentCell::makeBubble(QPainterPath(), empty, 5, 1);
    EXPECT_EQ(QPointF(40, 15), e.elementAt(0));
    EXPECT_TRUE(e.contains(QPointF(57, 10)));
    EXPECT_EQ(QPointF(75, 15), NSWXChatRecordContentCell::makeBubble({}, empty, 5, 3).elementAt(0));
    // Positions 2 and 4 mirror the arrow to the bottom; others are 1.
    EXPECT_EQ(QPointF(40, 5), NSWXChatRecordContentCell::makeBubble({}, empty, 5, 2).elementAt(0));
    EXPECT_EQ(left.elementAt(0), NSWXChatRecordContentCell::makeBubble({}, low, 5, 7).elementAt(0));
    // The path given is kept.
    QPainterPath start;
    start.addRect(0, 0, 1, 1);
    EXPECT_GT(NSWXChatRecordContentCell::makeBubble(start, low, 5, 1).elementCount(), left.elementCount());
}

TEST(WXChatCellText, CallsShowTheirDurationAndLeaveTheRecord) {
    struct Case {
        qint64 seconds;
        QString text;
    } cases[] = {
        {0, LanguageText("CallFormat1")},
        {-3, LanguageText("CallFormat1")},
        {125, LanguageText("CallFormat2") + ":2:5"},
        {60, LanguageText("CallFormat2") + ":1:0"},
    };
    for (const Case& c : cases) {
        NSWXChatSMSData call = QtWeChatRecords::Message(50, 1, "");
        call.setCallTime(c.seconds);
        EXPECT_EQ(c.text, NSWXChatRecordContentCell::DisplayText(call)) << c.seconds;
        EXPECT_EQ("", call.Content());
    }
    EXPECT_EQ("hello", NSWXChatRecordContentCell::DisplayText(QtWeChatRecords::Message(1, 1, "hello")));
}

// A message text wraps between words within the bubble's 250 points: two words that
// together do not fit take a line each, and only a word wider than a line is broken.
TEST(WXChatCellText, TextsWrapBetweenWords) {
    QFont font;
    font.setPixelSize(14);
    const QFontMetricsF metrics(font);
    QString word = "w";
    while (metrics.horizontalAdvance(word) < 150)
        word += "w";
    const QString four = QStringList({word, word, word, word}).join(' ');
    const QSizeF size = NSWXChatRecordContentCell::TextSize(four);
    // Four lines (broken anywhere, three lines would do).
    EXPECT_GE(size.height(), 4 * metrics.height() - 1);
    EXPECT_LT(size.height(), 5 * metrics.height());
    EXPECT_LE(size.width(), std::ceil(metrics.horizontalAdvance(word)) + 1);
    // A word twice the line's width is broken to fit.
    const QSizeF wide = NSWXChatRecordContentCell::TextSize(word + word + word);
    EXPECT_LE(wide.width(), 250);
    EXPECT_GE(wide.height(), 2 * metrics.height() - 1);
}

// In a list narrower than a 250-point bubble beside the head image, a text bubble takes
// the width there is: it lies inside the cell with its arrow, and the row is tall enough
// for the text wrapped at that width (down to a cell 135 wide, whose lines are 40 wide).
// From 345 on the lines are 250 wide.
TEST_F(CellFixture, TextBubblesStayInsideNarrowCells) {
    const QString text = "Quarterly planning meeting with the regional sales team tomorrow morning at the "
                         "downtown office; please bring the updated spreadsheets and the presentation!";
    for (const qreal W : {135.0, 200.0, 260.0, 345.0, 600.0}) {
        for (const qint64 kind : {qint64(1), qint64(48), qint64(34)}) {
            for (const int state : {1, 2}) {
                SCOPED_TRACE(
                    QStringLiteral("width %1, kind %2, state %3").arg(W).arg(kind).arg(state).toStdString());
                const auto m = QtWeChatRecords::Message(kind, state, text);
                const qreal H = cell.RowHeight(m, W);
                const auto L = cell.LayoutFor(m, W, H);
                const QRectF outline =
                    NSWXChatRecordContentCell::makeBubble(QPainterPath(), L.bubble, 5, L.right ? 3 : 1)
                        .boundingRect();
                EXPECT_GE(outline.left(), 0.0);
                EXPECT_LE(outline.right(), W);
                EXPECT_GE(L.content.height(),
                          NSWXChatRecordContentCell::TextSize(text, NSWXChatRecordContentCell::TextWidth(W))
                              .height());
                EXPECT_GE(L.content.width(),
                          NSWXChatRecordContentCell::TextSize(text, NSWXChatRecordContentCell::TextWidth(W))
                              .width());
            }
        }
    }
    EXPECT_EQ(250, NSWXChatRecordContentCell::TextWidth(345));
    EXPECT_EQ(250, NSWXChatRecordContentCell::TextWidth(2000));
    EXPECT_EQ(105, NSWXChatRecordContentCell::TextWidth(200));
    // Wide cells keep the heights they always had.
    const auto m = QtWeChatRecords::Message(1, 1, text);
    EXPECT_EQ(cell.RowHeight(m), cell.RowHeight(m, 600));
    EXPECT_LT(cell.RowHeight(m), cell.RowHeight(m, 200));
}

TEST_F(CellFixture, LayoutByKindAndSide) {
    // An empty text: 15 x 10 bubble, 60 high row.
    const auto empty = QtWeChatRecords::Message(1, 1, "");
    EXPECT_EQ(60, cell.RowHeight(empty));
    auto L = cell.LayoutFor(empty, 600, 60);
    EXPECT_TRUE(L.visible);
    EXPECT_EQ(QRectF(50, 5, 15, 10), L.bubble);
    EXPECT_EQ(QRectF(5, 0, 30, 30), L.head);
    // Sent: on the right, head at W - 35.
    L = cell.LayoutFor(QtWeChatRecords::Message(1, 2, ""), 600, 60);
    EXPECT_TRUE(L.right);
    EXPECT_EQ(QRectF(540, 10, 5, 0), L.content);
    EXPECT_EQ(565, L.head.x());
    // Voice: room for the icon, which is the click area.
    // Voice: room for the icon inside the bubble, which is the click area.
    EXPECT_EQ(80, cell.RowHeight(QtWeChatRecords::Message(34, 1, "")));
    L = cell.LayoutFor(QtWeChatRecords::Message(34, 1, ""), 600, 80);
    EXPECT_TRUE(L.bubble.contains(L.icon));
    EXPECT_EQ(80, L.content.x());
    EXPECT_EQ(40, L.bubble.width());
    EXPECT_EQ("wx_voice_1", L.iconName);
    EXPECT_EQ(L.icon, L.click);
    L = cell.LayoutFor(QtWeChatRecords::Message(34, 2, ""), 600, 80);
    EXPECT_TRUE(L.bubble.contains(L.icon));
    EXPECT_EQ("wx_voice_2", L.iconName);
    EXPECT_NEAR(L.bubble.right() - 25, L.icon.x(), 0.01);
    // Card and link blocks; calls 80 high.
    EXPECT_EQ(160, cell.RowHeight(QtWeChatRecords::Message(42, 1, "")));
    EXPECT_EQ(160, cell.RowHeight(QtWeChatRecords::Message(49, 1, "")));
    EXPECT_EQ(80, cell.RowHeight(QtWeChatRecords::Message(50, 1, "")));
    L = cell.LayoutFor(QtWeChatRecords::Message(49, 2, ""), 600, 160);
    EXPECT_EQ(QRectF(305, 10, 240, 100), L.content);
    EXPECT_EQ(QRectF(250 + 49.5, 22.5, 251, 1), L.line);
    // Other receive states draw nothing.
    EXPECT_FALSE(cell.LayoutFor(QtWeChatRecords::Message(1, 0, "x"), 600, 60).visible);
}

TEST_F(CellFixture, PictureSizesComeFromTheHeaderOnce) {
    ASSERT_TRUE(QtWeChatRecords::WritePicture(Path("p.png"), 120, 90));
    auto picture = QtWeChatRecords::Message(3, 1, Path("p.png"));
    EXPECT_EQ(150, cell.RowHeight(picture));
    EXPECT_EQ(150, cell.RowHeight(picture));
    EXPECT_EQ(1, images.SizeReads());
    // Missing, empty, not a picture, or a header claiming 60000 x 60000: the stand-in's size.
    QFile(Path("empty.jpg")).open(QIODevice::WriteOnly);
    {
        QFile text(Path("text.jpg"));
        text.open(QIODevice::WriteOnly);
        text.write("not a picture");
    }
    {
        // A PNG signature and an IHDR chunk claiming 60000 x 60000, nothing more.
        QByteArray png("\x89PNG\r\n\x1a\n", 8);
        png += QByteArray("\x00\x00\x00\x0dIHDR", 8);
        png += QByteArray("\x00\x00\xea\x60\x00\x00\xea\x60\x08\x02\x00\x00\x00", 13);
        png += QByteArray("\x0f\xb0\xe2\x15", 4); // the chunk's CRC
        QFile huge(Path("huge.png"));
        huge.open(QIODevice::WriteOnly);
        huge.write(png);
    }
    const QSizeF damage = NSWXChatRecordCellImages::BundleImage("Damage").size();
    ASSERT_FALSE(damage.isEmpty());
    for (const char* name : {"missing.jpg", "empty.jpg", "text.jpg", "huge.png"}) {
        auto m = QtWeChatRecords::Message(3, 1, Path(name));
        bool damaged = false;
        EXPECT_EQ(damage, cell.PictureSize(m, &damaged)) << name;
        EXPECT_TRUE(damaged) << name;
        EXPECT_EQ(damage.height() + 60, cell.RowHeight(m)) << name;
        EXPECT_EQ(damage.width(), cell.LayoutFor(m, 600, cell.RowHeight(m)).content.width()) << name;
    }
    // A video without a readable thumbnail is 160 high.
    EXPECT_EQ(160, cell.RowHeight(QtWeChatRecords::Message(43, 1, Path("missing.jpg"))));
    // Painting a missing picture or a huge header never decodes it.
    messages = {QtWeChatRecords::Message(3, 1, Path("huge.png"))};
    Paint(0);
}

TEST_F(CellFixture, HeadImagesAreFetchedOncePerAddress) {
    for (int i = 0; i < 3; ++i) {
        auto m = QtWeChatRecords::Message(1, 1 + i % 2, "hi");
        m.setImageUrl("http://example.invalid/head.png");
        messages << m;
    }
    auto noAddress = QtWeChatRecords::Message(1, 1, "x");
    noAddress.setImageUrl("file:///etc/passwd");
    messages << noAddress;
    for (int round = 0; round < 2; ++round)
        for (int row = 0; row < messages.size(); ++row)
            Paint(row);
    EXPECT_EQ(QStringList{"http://example.invalid/head.png"}, fetcher.started);
    // A failed fetch is remembered: no new request on later paints.
    fetcher.Answer("http://example.invalid/head.png", QByteArray(), false);
    for (int row = 0; row < messages.size(); ++row)
        Paint(row);
    EXPECT_EQ(1, fetcher.RequestCount());
    EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf("file:///etc/passwd"));
}

TEST_F(CellFixture, ClicksOpenThePreviewOfTheKind) {
    ASSERT_TRUE(QtWeChatRecords::WritePicture(Path("p.png"), 100, 80));
    ASSERT_TRUE(QtWeChatRecords::WritePicture(Path("full.png"), 400, 320));
    auto picture = QtWeChatRecords::Message(3, 1, Path("p.png"));
    picture.setResourcesFile(Path("full.png"));
    auto voice = QtWeChatRecords::Message(34, 1, "");
    voice.setResourcesFile("/backup/voice.aud");
    auto video = QtWeChatRecords::Message(43, 2, Path("p.png"));
    video.setResourcesFile("/backup/video.mp4");
    auto link = QtWeChatRecords::Message(49, 1, "page");
    messages = {picture, voice, video, link};
    // Inside the picture (y counted from the top of the row: 50 to 130).
    EXPECT_TRUE(Click(0, QPointF(60, 90)));
    // Outside it: nothing.
    EXPECT_FALSE(Click(0, QPointF(400, 90)));
    EXPECT_FALSE(Click(0, QPointF(60, 20)));
    // The voice icon: left, I = (55, 0.., 20, 20) in the bubble.
    const auto L = cell.LayoutFor(voice, 600, cell.RowHeight(voice));
    EXPECT_TRUE(Click(1, QPointF(L.icon.center().x(), cell.RowHeight(voice) - L.icon.center().y())));
    EXPECT_TRUE(Click(2, QPointF(600 - 55 - 50, 90)));
    // A link is clickable but opens nothing.
    EXPECT_TRUE(Click(3, QPointF(100, 100)));
    EXPECT_EQ((QStringList{"photo", "voice", "video"}), preview.Kinds());
    const auto calls = preview.Calls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ(Path("full.png"), calls[0].path);
    EXPECT_EQ("/backup/voice.aud", calls[1].path);
    EXPECT_EQ("/backup/video.mp4", calls[2].path);
}

// The bubble shows the thumbnail; the preview shows the full picture when it is there and
// a picture, else the thumbnail, said to be one; with neither the full picture's path goes
// on, and its window says the file cannot be shown.
TEST_F(CellFixture, APictureWhoseThumbnailAloneIsThereOpensTheThumbnail) {
    ASSERT_TRUE(QtWeChatRecords::WritePicture(Path("thumb.png"), 100, 80));
    ASSERT_TRUE(QtWeChatRecords::WritePicture(Path("full.png"), 400, 320));
    {
        QFile broken(Path("broken.pic"));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("not a picture at all");
    }
    const struct {
        const char* name;
        QString thumbnail, full;
        const char* kind;
        QString opened;
    } cases[] = {
        {"both there", Path("thumb.png"), Path("full.png"), "photo", Path("full.png")},
        {"full missing", Path("thumb.png"), Path("missing.pic"), "thumbnail", Path("thumb.png")},
        {"full no picture", Path("thumb.png"), Path("broken.pic"), "thumbnail", Path("thumb.png")},
        {"full not named", Path("thumb.png"), QString(), "thumbnail", Path("thumb.png")},
        {"neither", Path("gone.png"), Path("missing.pic"), "photo", Path("missing.pic")},
        {"no thumbnail named", QString(), Path("missing.pic"), "photo", Path("missing.pic")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        preview.Clear();
        auto m = QtWeChatRecords::Message(3, 1, c.thumbnail);
        m.setResourcesFile(c.full);
        messages = {m};
        const auto L = cell.LayoutFor(m, 600, cell.RowHeight(m));
        EXPECT_EQ(QString::fromLatin1(c.kind) == "thumbnail",
                  NSWXChatRecordContentCell::ShowsThumbnailOnly(m));
        ASSERT_TRUE(Click(0, QPointF(L.click.center().x(), cell.RowHeight(m) - L.click.center().y())));
        const auto calls = preview.Calls();
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ(QString::fromLatin1(c.kind), calls[0].what);
        EXPECT_EQ(c.opened, calls[0].path);
    }
}

TEST_F(CellFixture, EveryKindPaintsOnBothSides) {
    for (qint64 kind : {1, 3, 34, 42, 43, 47, 48, 49, 50, 62, 10000, 10001, 12345})
        for (int state : {0, 1, 2}) {
            auto m =
                QtWeChatRecords::Message(kind, state, kind == 3 || kind == 43 ? Path("none.jpg") : "text");
            m.setBDelete(state == 2);
            messages << m;
        }
    for (int row = 0; row < messages.size(); ++row)
        Paint(row, row % 2 ? 600 : 120);
    SUCCEED();
}

} // namespace

CHAT_TEST_MAIN(QApplication)
