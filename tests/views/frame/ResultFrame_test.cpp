#include "views/frame/ResultFrame.h"
#include "views/frame/SaveSnapshot.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Five records: 0 "Alpha" kept, 1 "beta" deleted, 2 "Alphabet" deleted, 3 "" kept,
// 4 "GAMMA" deleted; the second field of each is its address.
ResultFrame Sample() {
    ResultFrame f;
    f.SetRecords(
        {0, 1, 1, 0, 1},
        std::vector<QStringList>{
            {"alpha", "a.com"}, {"beta", "b.com"}, {"alphabet", "c.org"}, {"", ""}, {"gamma", "alpha.net"}});
    return f;
}

struct FilterCase {
    bool onlyDeleted;
    const char* key;
    std::vector<int> shown;
};

TEST(ResultFrame, ShownRowsFollowTheFilterThenTheSearch) {
    const std::vector<FilterCase> cases = {
        {false, "", {0, 1, 2, 3, 4}}, {true, "", {1, 2, 4}},
        {false, "ALPHA", {0, 2, 4}}, // key lower-cased; the address counts too
        {true, "alpha", {2, 4}},     // the search runs inside the filter
        {false, ".org", {2}},         {false, "zzz", {}},
        {true, "a.com", {}},
    };
    for (const auto& c : cases) {
        ResultFrame f = Sample();
        f.SetShowDeleteFile(c.onlyDeleted);
        f.SetSearchKey(QString::fromUtf8(c.key));
        EXPECT_EQ(c.shown, f.ShownRows()) << c.onlyDeleted << " '" << c.key << "'";
    }
}

TEST(ResultFrame, SearchAndFilterInteract) {
    ResultFrame f = Sample();
    // An empty key with no search active changes nothing.
    EXPECT_FALSE(f.SetSearchKey(""));
    EXPECT_TRUE(f.SetSearchKey("alpha"));
    EXPECT_EQ("alpha", f.SearchKey());
    // Turning the filter on during a search recomputes the hits among deleted records.
    f.SetShowDeleteFile(true);
    EXPECT_EQ((std::vector<int>{2, 4}), f.ShownRows());
    // An empty key ends the search and restores the filtered rows.
    EXPECT_TRUE(f.SetSearchKey(""));
    EXPECT_FALSE(f.IsSearching());
    EXPECT_EQ((std::vector<int>{1, 2, 4}), f.ShownRows());
    EXPECT_EQ(-1, f.RecordAt(3));
    EXPECT_EQ(4, f.RecordAt(2));
}

TEST(ResultFrame, TicksNeverHoldARecordTwice) {
    // B "News", B' "News", C, D: ticking B ticks B' as well, and repeated ticks add nothing.
    ResultFrame f;
    f.SetRecords({0, 0, 0, 0}, std::vector<QStringList>{{"news"}, {"news"}, {"c"}, {"d"}},
                 {"News", "News", "C", "D"});
    EXPECT_EQ((std::vector<int>{0, 1}), f.Select(0));
    EXPECT_TRUE(f.Select(1).empty());
    EXPECT_TRUE(f.Select(0).empty());
    EXPECT_EQ(2, f.SelectedCount());
    EXPECT_FALSE(f.AllTicked());
    using Snap = SaveSnapshot<int, int>;
    EXPECT_EQ((std::vector<int>{0, 1}), Snap::ItemsOf(f));
    // Unticking either unticks both.
    EXPECT_EQ((std::vector<int>{0, 1}), f.Remove(1));
    EXPECT_FALSE(f.HasSelection());
    EXPECT_TRUE(Snap::ItemsOf(f).empty());
}

TEST(ResultFrame, TicksOnlyReachShownRecords) {
    ResultFrame f;
    f.SetRecords({1, 0, 1}, std::vector<QStringList>{{"x"}, {"x"}, {"y"}}, {"X", "X", "Y"});
    f.SetShowDeleteFile(true);
    EXPECT_EQ((std::vector<int>{0}), f.Select(0)); // record 1 shares the key but is hidden
    EXPECT_TRUE(f.Select(1).empty());              // not shown: nothing happens
    EXPECT_FALSE(f.HeaderTicked());
    f.Select(2);
    EXPECT_TRUE(f.HeaderTicked());
}

TEST(ResultFrame, HeaderAndAllTicked) {
    ResultFrame f = Sample();
    EXPECT_FALSE(f.HeaderTicked());
    EXPECT_TRUE(f.HeaderTicked(true) == false);
    f.SetSearchKey("alpha");
    f.SetShownTicked(true);
    EXPECT_EQ(3, f.SelectedCount());
    EXPECT_TRUE(f.HeaderTicked());
    EXPECT_FALSE(f.AllTicked());
    // Keeping others: ticking twice never adds twice.
    f.SetSearchKey("beta");
    f.SetShownTicked(true, true);
    f.SetShownTicked(true, true);
    EXPECT_EQ(4, f.SelectedCount());
    // Without keeping others only the shown rows stay ticked.
    f.SetShownTicked(true);
    EXPECT_EQ((std::vector<int>{1}), f.SelectedRecords());
    // Off empties the whole selection, hidden rows too.
    f.SetShownTicked(false, true);
    EXPECT_FALSE(f.HasSelection());
    // Every record ticked one by one is all ticked.
    f.SetSearchKey("");
    for (int r = 0; r < 5; ++r)
        f.Select(r);
    EXPECT_TRUE(f.AllTicked());
    // With no shown rows the header is off unless asked otherwise.
    f.SetSearchKey("nothing");
    EXPECT_FALSE(f.HeaderTicked());
    EXPECT_TRUE(f.HeaderTicked(true));
}

TEST(ResultFrame, NewDataResetsEverything) {
    ResultFrame f = Sample();
    f.SetShowDeleteFile(true);
    f.SetSearchKey("a");
    f.SelectAll();
    f.SetRecords({0}, std::vector<QStringList>{{"z"}});
    EXPECT_FALSE(f.ShowDeleteFile());
    EXPECT_FALSE(f.IsSearching());
    EXPECT_FALSE(f.HasSelection());
    EXPECT_EQ((std::vector<int>{0}), f.ShownRows());
    f.Clear();
    EXPECT_EQ(0, f.RecordCount());
    EXPECT_FALSE(f.AllTicked());
    f.SelectAll();
    EXPECT_FALSE(f.HasSelection());
}

TEST(ResultFrame, MatcherReplacesTheFields) {
    ResultFrame f;
    f.SetRecords({0, 0, 0}, [](int r, const QString& key) { return r == 1 && key == "hello"; });
    f.SetSearchKey("HELLO");
    EXPECT_EQ((std::vector<int>{1}), f.ShownRows());
}

TEST(SaveRun, StopsBeforeTheNextItem) {
    int polls = 0;
    std::vector<std::pair<int, int>> progress;
    SaveRun run(
        3, [&] { return ++polls > 2; }, [&](int t, int d) { progress.emplace_back(t, d); });
    EXPECT_TRUE(run.Next());
    EXPECT_TRUE(run.Next());
    EXPECT_FALSE(run.Next());
    EXPECT_EQ((std::vector<std::pair<int, int>>{{3, 1}, {3, 2}}), progress);
}

} // namespace
