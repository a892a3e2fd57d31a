// The day logic of the media grids: day keys, newest day first by the integer compare,
// header texts, day ticks, search hits, and what a save writes.
#include "views/media/MediaDayIndex.h"

#include "tests/views/media/MediaFixture.h"

#include <gtest/gtest.h>

using mediatest::On;
using mediatest::Record;

namespace {

QList<NSDeletedFile> Files(const std::vector<std::pair<const char*, const char*>>& nameAndDay) {
    QList<NSDeletedFile> out;
    for (const auto& [name, day] : nameAndDay)
        out << Record(QStringLiteral("/b"), QString::fromUtf8(name), QStringLiteral("aa/x"), On(day));
    return out;
}

} // namespace

TEST(MediaDayIndex, DaysRunNewestFirstByTheirNumbers) {
    const MediaDayIndex index(Files({{"a.jpg", "2019-12-31"},
                                     {"b.jpg", "2020-01-01"},
                                     {"c.jpg", "2019-01-15"},
                                     {"d.jpg", "2019-12-31"}}));
    EXPECT_EQ(index.Days(), QStringList({"2020-01-01", "2019-12-31", "2019-01-15"}));
    // Files of a day keep their arrival order.
    EXPECT_EQ(index.FilesOfDay("2019-12-31"), (std::vector<int>{0, 3}));
    // The key is the local date, late evening included.
    EXPECT_EQ(MediaDayIndex::DayKey(On("2021-03-04", 23)), "2021-03-04");
    EXPECT_EQ(MediaDayIndex::DayKey(QDateTime()), "");
    // A file without a time sorts last (its key counts as 0).
    const MediaDayIndex undated(
        {Record("/b", "x.jpg", "x", QDateTime()), Record("/b", "y.jpg", "y", On("2001-01-01"))});
    EXPECT_EQ(undated.Days(), QStringList({"2001-01-01", ""}));
}

TEST(MediaDayIndex, HeaderTextOfADayOfThree) {
    EXPECT_EQ(MediaDayIndex::HeaderText("2020-01-01", 3), "         2020-01-01 (3)");
}

TEST(MediaDayIndex, TicksOfFilesTurnTheDayOnAndOff) {
    MediaDayIndex index(Files({{"a.jpg", "2020-01-01"}, {"b.jpg", "2020-01-01"}, {"c.jpg", "2019-01-01"}}));
    EXPECT_FALSE(index.IsDayTicked("2020-01-01"));
    EXPECT_TRUE(index.Tick(0));
    EXPECT_FALSE(index.IsDayTicked("2020-01-01"));
    EXPECT_TRUE(index.Tick(1));
    EXPECT_TRUE(index.IsDayTicked("2020-01-01"));
    // Ticking a ticked file changes nothing.
    EXPECT_FALSE(index.Tick(1));
    EXPECT_EQ(2, index.TickedCount());
    EXPECT_TRUE(index.Untick(0));
    EXPECT_FALSE(index.IsDayTicked("2020-01-01"));
    index.TickDay("2020-01-01");
    EXPECT_TRUE(index.IsDayTicked("2020-01-01"));
    EXPECT_FALSE(index.AllTicked());
    index.UntickDay("2020-01-01");
    EXPECT_EQ(0, index.TickedCount());
    // Out of range is refused, not a crash.
    EXPECT_FALSE(index.Tick(3));
    EXPECT_FALSE(index.Untick(-1));
}

TEST(MediaDayIndex, ADayHeaderTicksOnlyTheSearchHits) {
    MediaDayIndex index(
        Files({{"IMG_1.jpg", "2020-01-01"}, {"clip.mov", "2020-01-01"}, {"IMG_2.jpg", "2019-01-01"}}));
    EXPECT_TRUE(index.SetSearchKey("img"));
    EXPECT_EQ(index.SearchKey(), "img");
    EXPECT_EQ(index.FilesOfDay("2020-01-01"), (std::vector<int>{0}));
    index.TickDay("2020-01-01");
    EXPECT_TRUE(index.IsTicked(0));
    EXPECT_FALSE(index.IsTicked(1));
    EXPECT_TRUE(index.IsDayTicked("2020-01-01"));
    // Days without hits are not shown; ticks survive the end of the search.
    EXPECT_TRUE(index.SetSearchKey("CLIP"));
    EXPECT_EQ(index.Days(), QStringList({"2020-01-01"}));
    EXPECT_FALSE(index.IsDayTicked("2020-01-01"));
    EXPECT_TRUE(index.SetSearchKey(""));
    EXPECT_FALSE(index.SetSearchKey(""));
    EXPECT_EQ(3, index.ShownCount());
    EXPECT_EQ(1, index.TickedCount());
}

TEST(MediaDayIndex, ASaveWritesEverythingOnlyWhenEveryFileIsTicked) {
    MediaDayIndex index(Files({{"a.jpg", "2019-01-01"}, {"b.jpg", "2020-01-01"}, {"c.jpg", "2020-01-01"}}));
    EXPECT_TRUE(index.FilesToSave().empty());
    index.Tick(2);
    EXPECT_EQ(index.FilesToSave(), (std::vector<int>{2}));
    // Everything ticked under a search still saves every file, newest day first.
    index.SetSearchKey("b");
    index.SelectAll();
    EXPECT_TRUE(index.AllTicked());
    EXPECT_EQ(index.FilesToSave(), (std::vector<int>{1, 2, 0}));
    index.ClearSelection();
    EXPECT_FALSE(index.AllTicked());
    EXPECT_FALSE(MediaDayIndex().AllTicked());
}
