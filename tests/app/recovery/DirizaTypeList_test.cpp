// The type list's rows for a type selection, the tick rules between rows, heads, the
// device box and the result views, and the count texts.
#include "app/recovery/DirizaTypeList.h"

#include "gui/NSLanguageText.h"
#include "tests/kit/QtTestMain.h"

#include <QCoreApplication>

namespace {

QStringList Selection(std::initializer_list<int> chosen) {
    QStringList s;
    for (int i = 0; i < 17; ++i)
        s << "0";
    for (int c : chosen)
        s[c] = "1";
    return s;
}

std::vector<int> Types(const DirizaTypeList& list) {
    std::vector<int> t;
    for (const auto& r : list.Rows())
        t.push_back(r.Type);
    return t;
}

struct LoadCase {
    const char* label;
    QStringList selection;
    std::vector<int> types;
};

TEST(DirizaTypeListTest, LoadTable) {
    const LoadCase cases[] = {
        {"every system and media type",
         Selection({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
         {101, 5, 6, 7, 8, 9, 10, 11, 102, 0, 1, 2, 3, 4}},
        {"no system type starts at 102", Selection({0, 4}), {102, 0, 4}},
        {"chat apps", Selection({6, 13}), {101, 6, 103, 13}},
        {"nothing chosen", Selection({}), {}},
        {"short selection", QStringList({"1", "0"}), {102, 0}},
        {"not exactly \"1\"", QStringList({"yes", "11", " 1"}), {}},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.label);
        DirizaTypeList list;
        list.Load(c.selection);
        EXPECT_EQ(c.types, Types(list));
        for (const auto& r : list.Rows()) {
            EXPECT_EQ(r.Type > 100, r.isTypeHead);
            EXPECT_EQ(-1, r.nNum);
            EXPECT_FALSE(r.ticked);
            EXPECT_EQ(r.isTypeHead, r.TypeIcon.isEmpty());
        }
    }
}

struct TickCase {
    const char* label;
    std::vector<std::pair<int, bool>> clicks; // row type, state (-1: the device box)
    std::vector<int> ticked;
    bool device;
};

TEST(DirizaTypeListTest, TickPropagationTable) {
    const QStringList selection = Selection({0, 1, 5, 6});
    const TickCase cases[] = {
        {"head ticks its members", {{101, true}}, {101, 5, 6}, false},
        {"both heads tick the device", {{101, true}, {102, true}}, {101, 5, 6, 102, 0, 1}, true},
        {"unticking a member unticks head and device", {{-1, true}, {5, false}}, {6, 102, 0, 1}, false},
        {"last member ticks the head", {{5, true}, {6, true}}, {101, 5, 6}, false},
        {"last member of the last group ticks the device",
         {{102, true}, {5, true}, {6, true}},
         {101, 5, 6, 102, 0, 1},
         true},
        {"head unticked unticks members", {{-1, true}, {102, false}}, {101, 5, 6}, false},
        {"device off", {{-1, true}, {-1, false}}, {}, false},
    };
    for (const TickCase& c : cases) {
        SCOPED_TRACE(c.label);
        DirizaTypeList list;
        list.Load(selection);
        for (auto [type, on] : c.clicks) {
            if (type == -1)
                list.TickDevice(on);
            else
                list.TickRow(type, on);
        }
        std::vector<int> ticked;
        for (const auto& r : list.Rows())
            if (r.ticked) ticked.push_back(r.Type);
        EXPECT_EQ(c.ticked, ticked);
        EXPECT_EQ(c.device, list.DeviceTicked());
    }
}

TEST(DirizaTypeListTest, TicksReachTheViews) {
    DirizaTypeList list;
    list.Load(Selection({0, 5, 12}));
    using V = DirizaTypeList::ViewSelection;
    EXPECT_EQ((V{{5, 6, 7, 8, 9, 10, 11}, true}), list.TickRow(101, true));
    EXPECT_EQ((V{{0, 1, 2, 3, 4}, false}), list.TickRow(102, false));
    EXPECT_EQ((V{{12, 13, 14}, true}), list.TickRow(103, true));
    EXPECT_EQ((V{{5}, false}), list.TickRow(5, false));
    const V device = list.TickDevice(true);
    EXPECT_EQ(15u, device.types.size());
    EXPECT_TRUE(device.select);
}

TEST(DirizaTypeListTest, ViewReportsTickItsRows) {
    DirizaTypeList list;
    list.Load(Selection({5, 6}));
    list.ViewisAllSelect(5, true);
    list.ViewisAllSelect(6, true);
    EXPECT_TRUE(list.DeviceTicked());
    list.ViewisAllSelect(6, false);
    EXPECT_FALSE(list.DeviceTicked());
    EXPECT_FALSE(list.Rows()[0].ticked); // head 101
    EXPECT_TRUE(list.Rows()[1].ticked);  // 5
}

TEST(DirizaTypeListTest, RelabelKeepsTicksAndCounts) {
    DirizaTypeList list;
    list.Load(Selection({0, 5}));
    list.TickRow(101, true);
    ASSERT_TRUE(list.SetCount(5, 12));
    list.Relabel();
    EXPECT_TRUE(list.Rows()[1].ticked);
    EXPECT_EQ(12, list.Rows()[1].nNum);
    EXPECT_FALSE(list.SetCount(7, 3)); // a type not in the list
}

struct CountCase {
    int n;
    QString expected; // "W" stands for the unit
};

TEST(DirizaTypeListTest, CountTextTable) {
    const QString unit = LanguageText("UnitWan");
    const CountCase cases[] = {{0, "0"}, {10000, "10000"}, {10001, "1W+"}, {25000, "2W+"}, {99999, "9W+"}};
    for (const CountCase& c : cases) {
        SCOPED_TRACE(c.n);
        QString expected = c.expected;
        expected.replace("W", unit);
        EXPECT_EQ(expected, DirizaTypeList::CountText(c.n));
    }
    NSSelectDirizaTypeListData row;
    row.TypeName = "Name";
    EXPECT_EQ("Name", DirizaTypeList::RowText(row)); // never reported
    row.nNum = 0;
    EXPECT_EQ("Name(0)", DirizaTypeList::RowText(row));
    row.nNum = 10001;
    EXPECT_EQ("Name(1" + unit + "+)", DirizaTypeList::RowText(row));
}

} // namespace

KIT_QT_TEST_MAIN(QCoreApplication)
