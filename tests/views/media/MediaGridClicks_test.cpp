// Clicks on the painted grid: a tile's name ticks the file (and tells the page whether
// everything is ticked), a day header ticks its day, the picture opens the preview.
#include "views/media/MediaTileGeometry.h"
#include "views/media/NSDirizaPhotoView.h"
#include "views/media/NSDirizaVideoView.h"

#include "tests/kit/FakePreviewService.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/MediaFixture.h"

#include <QApplication>
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

KIT_QT_TEST_MAIN(QApplication)
