// Clicks on the painted grid: a tile's name ticks the file (and tells the page whether
// everything is ticked), a day header ticks its day, the picture opens the preview.
#include "views/media/AttachmentKind.h"
#include "views/media/MediaTileGeometry.h"
#include "views/media/NSDirizaAttachmentView.h"
#include "views/media/NSDirizaPhotoView.h"
#include "views/media/NSDirizaVideoView.h"

#include "tests/kit/FakePreviewService.h"
#include "tests/kit/FakeVoiceConverter.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/MediaFixture.h"

#include <QApplication>
#include <QPainter>
#include <QSettings>
#include <QTest>

#include <thread>

using namespace mediatest;

namespace {

struct Spy : NSDirizaDataUpdateDelegate {
    void ViewisAllSelect(int type, bool all) override { ticks.emplace_back(type, all); }
    std::vector<std::pair<int, bool>> ticks;
};

template <class View> bool Show(View& view, const QList<NSDeletedFile>& files) {
    view.resize(700, 500);
    view.show();
    view.StartUpdateUI();
    std::thread([&] { view.AddDirizaFile(files); }).join();
    return WaitUntil([&] { return !view.ShowsLoading(); });
}

// Clicks at `at` (a point of a row's rectangle) in the row of `file` (-1: the header of `day`).
void Click(MediaGrid& grid, int row, QPoint (*at)(const QRect&)) {
    QListView* list = grid.List();
    const QRect rect = list->visualRect(grid.Model().index(row));
    ASSERT_TRUE(rect.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at(rect));
}

QPoint NameOf(const QRect& r) {
    return MediaTileGeometry::NameRect(r).center();
}
QPoint PictureOf(const QRect& r) {
    return MediaTileGeometry::PictureRect(r).center();
}
QPoint HeaderOf(const QRect& r) {
    return MediaTileGeometry::HeaderCheckRect(r).center();
}

} // namespace

TEST(MediaGridClicks, TicksAndPreviews) {
    QSettings().setValue("AppLanguage", "en");
    kit::ScratchFolder scratch("clicks");
    const QString backup = QString::fromStdString(scratch.path().string());
    kit::FakePreviewService preview;
    Spy spy;
    NSDirizaPhotoView view(preview, nullptr, 20);
    view.setDelegate(&spy);
    ASSERT_TRUE(Show(view, {Record(backup, "a.jpg", "x/1", On("2020-01-01")),
                            Record(backup, "b.jpg", "x/2", On("2020-01-01")),
                            Record(backup, "c.jpg", "x/3", On("2019-01-01"))}));
    MediaGrid& grid = view.Grid();
    // Rows: header 2020-01-01, a, b, header 2019-01-01, c.
    ASSERT_EQ(grid.Model().rowCount(), 5);
    Click(grid, 1, &NameOf);
    EXPECT_TRUE(grid.Index().IsTicked(0));
    ASSERT_EQ(spy.ticks.size(), 1u);
    EXPECT_EQ(spy.ticks.back(), (std::pair<int, bool>{0, false}));
    Click(grid, 2, &NameOf);
    EXPECT_TRUE(grid.Index().IsDayTicked("2020-01-01"));
    EXPECT_TRUE(grid.Model().index(0).data(MediaGridModel::TickedRole).toBool());
    Click(grid, 3, &HeaderOf);
    EXPECT_TRUE(grid.Index().IsTicked(2));
    EXPECT_EQ(spy.ticks.back(), (std::pair<int, bool>{0, true}));
    // The header again unticks its day.
    Click(grid, 0, &HeaderOf);
    EXPECT_FALSE(grid.Index().IsTicked(0));
    EXPECT_FALSE(grid.Index().IsTicked(1));
    EXPECT_EQ(spy.ticks.back(), (std::pair<int, bool>{0, false}));
    // The picture opens the photo preview with the stored path and the file's name.
    Click(grid, 4, &PictureOf);
    const auto calls = preview.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].what, "photo");
    EXPECT_EQ(calls[0].path, backup + "/x/3");
    EXPECT_EQ(calls[0].title, "c.jpg");
    view.setDelegate(nullptr);
}

TEST(MediaGridClicks, TheVideoTilePlaysOrOpensTheText) {
    QSettings().setValue("AppLanguage", "en");
    kit::ScratchFolder scratch("videoclicks");
    const QString backup = QString::fromStdString(scratch.path().string());
    ASSERT_TRUE(Store(backup, "x/1", "mov"));
    ASSERT_TRUE(Store(backup, "x/2", "some text"));
    kit::FakePreviewService preview;
    NSDirizaVideoView view(preview, nullptr, 20);
    ASSERT_TRUE(Show(view, {Record(backup, "a.mov", "x/1"), Record(backup, "b.txt", "x/2")}));
    MediaGrid& grid = view.Grid();
    EXPECT_EQ(grid.Excerpt(1), "some text");
    Click(grid, 1, &PictureOf);
    Click(grid, 1, &PictureOf); // within 2 s: nothing
    Click(grid, 2, &PictureOf);
    EXPECT_EQ(preview.Kinds(), QStringList({"video", "text"}));
}

// The media section of an attachment view holds every kind of file: each gets the tile of
// its kind, and a click opens what the file is, or says it has no preview.
TEST(MediaGridClicks, AnAttachmentTileAndItsClickFollowTheFileKind) {
    QSettings().setValue("AppLanguage", "en");
    kit::ScratchFolder scratch("attachclicks");
    const QString backup = QString::fromStdString(scratch.path().string());
    ASSERT_TRUE(Store(backup, "x/pdf", "%PDF-1.4 not a video"));
    ASSERT_TRUE(Store(backup, "x/mp4", "mp4"));
    ASSERT_TRUE(Store(backup, "x/silk", QByteArray("\x02#!SILK_V3", 10) + QByteArray(20, '\x11')));
    ASSERT_TRUE(Store(backup, "x/m4a", "m4a"));
    ASSERT_TRUE(Store(backup, "x/txt", "some text"));
    ASSERT_TRUE(Store(backup, "x/png", Png(20, 20)));
    kit::FakePreviewService preview;
    kit::FakeVoiceConverter voice;
    NSDirizaAttachmentView view(preview, voice, nullptr, 20);
    view.SetDirizaType(DirizaResultView::WXAttachment);
    view.resize(1000, 600);
    view.show();
    view.StartUpdateUI();
    // One day each, newest first: rows are header, tile, header, tile ...
    const QList<NSDeletedFile> media{Record(backup, "report.pdf", "x/pdf", On("2020-01-06")),
                                     Record(backup, "clip.mp4", "x/mp4", On("2020-01-05")),
                                     Record(backup, "000001.aud", "x/silk", On("2020-01-04")),
                                     Record(backup, "song.m4a", "x/m4a", On("2020-01-03")),
                                     Record(backup, "notes.txt", "x/txt", On("2020-01-02")),
                                     Record(backup, "odd.png", "x/png", On("2020-01-01")),
                                     Record(backup, "sheet.xlsx", "x/pdf", On("2019-12-31"))};
    std::thread([&] { view.AddDirizaFile({}, media); }).join();
    ASSERT_TRUE(WaitUntil([&] { return !view.ShowsLoading(); }));
    view.SelectTab(1);
    MediaGrid& grid = view.MediaSection();
    ASSERT_EQ(grid.Model().rowCount(), 14);
    // The tiles as the grid paints them: the colour inside the picture box, clear of the
    // play button and the text.
    auto boxColour = [&](int row) {
        QImage tile(MediaTileGeometry::TileSize(), QImage::Format_ARGB32);
        tile.fill(Qt::transparent);
        QPainter painter(&tile);
        QStyleOptionViewItem option;
        option.rect = tile.rect();
        grid.List()->itemDelegate()->paint(&painter, option, grid.Model().index(row));
        painter.end();
        const QRect box = MediaTileGeometry::PictureRect(tile.rect());
        return tile.pixelColor(box.left() + 3, box.center().y()).name();
    };
    const QString document = boxColour(1), video = boxColour(3), voiceTile = boxColour(5),
                  audio = boxColour(7), text = boxColour(9);
    EXPECT_NE(document, video);
    EXPECT_NE(voiceTile, video);
    EXPECT_EQ(voiceTile, audio);
    EXPECT_NE(text, video);
    EXPECT_NE(text, document);
    EXPECT_EQ(boxColour(13), document); // a spreadsheet is a document too
    for (int row = 1; row < 14; row += 2) {
        grid.List()->scrollTo(grid.Model().index(row));
        Click(grid, row, &PictureOf);
    }
    EXPECT_EQ(preview.Kinds(), QStringList({"none", "video", "silk", "audio", "text", "photo", "none"}));
    const auto calls = preview.Calls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].title, "report.pdf");
    EXPECT_EQ(calls[1].path, backup + "/x/mp4");
    EXPECT_EQ(calls[2].path, backup + "/x/silk");
    EXPECT_EQ(calls[4].path, backup + "/x/txt");
    EXPECT_EQ(calls[5].path, backup + "/x/png");
    EXPECT_EQ(calls[6].title, "sheet.xlsx");
}

TEST(AttachmentKinds, KindAndLabelBySuffix) {
    using K = AttachmentKind::Kind;
    const struct {
        const char* suffix;
        K kind;
        const char* label;
    } cases[] = {
        {"*.pdf;", K::Document, "PDF"},       {"*.DOCX;", K::Document, "DOCX"},
        {"*.mp4;", K::Video, "MP4"},          {"*.MOV;", K::Video, "MOV"},
        {"*.aud;", K::Audio, "AUD"},          {"*.AUD;", K::Audio, "AUD"},
        {"*.m4a;", K::Audio, "M4A"},          {"*.amr;", K::Audio, "AMR"},
        {"*.txt;", K::Text, "TXT"},           {"*.text;", K::Text, "TEXT"},
        {"*.jpg;", K::Picture, "JPG"},        {"*.heic;", K::Picture, "HEIC"},
        {"*.unknown;", K::Document, "UNKNO"}, {"", K::Document, ""},
        {"*.p/df;", K::Document, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.kind, AttachmentKind::Of(QString::fromLatin1(c.suffix))) << c.suffix;
        EXPECT_EQ(QString::fromLatin1(c.label), AttachmentKind::Label(QString::fromLatin1(c.suffix)))
            << c.suffix;
    }
}

KIT_QT_TEST_MAIN(QApplication)
