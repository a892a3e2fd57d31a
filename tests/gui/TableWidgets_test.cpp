// Arrow-key reports of tables and trees, the select-all header, and the slim scroller.
#include "gui/OutlineViewEvent.h"
#include "gui/RMSecondaryScroller.h"
#include "gui/TableHeadrView.h"
#include "gui/TableViewEvent.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QListWidget>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QTest>

namespace {

struct RowRecorder : TableViewEventDelegate, OutlineViewEventDelegate {
    void SelectRowEvent(int row) override { rows.append(row); }
    void OutlineViewSelectRowEvent(OutlineViewEvent* view) override { views.append(view); }
    QList<int> rows;
    QList<OutlineViewEvent*> views;
};

class TableViewEventTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 5; ++i)
            model.appendRow(new QStandardItem(QString::number(i)));
        table.setModel(&model);
        table.setEventdelegate(&recorder);
        table.resize(200, 200);
        table.show();
        table.setFocus();
    }
    QStandardItemModel model;
    TableViewEvent table;
    RowRecorder recorder;
};

TEST_F(TableViewEventTest, ArrowsReportTheRowAfterTheMove) {
    // Nothing selected: nothing moves, nothing is sent.
    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_TRUE(recorder.rows.isEmpty());
    EXPECT_EQ(table.selectedRow(), -1);
    table.selectRow(1);
    const struct {
        Qt::Key key;
        QList<int> rows;
    } steps[] = {
        {Qt::Key_Down, {2}},         {Qt::Key_Down, {2, 3}},        {Qt::Key_Up, {2, 3, 2}},
        {Qt::Key_Left, {2, 3, 2}}, // other keys send nothing
        {Qt::Key_Return, {2, 3, 2}}, {Qt::Key_PageDown, {2, 3, 2}}, {Qt::Key_A, {2, 3, 2}},
    };
    for (const auto& s : steps) {
        QTest::keyClick(&table, s.key);
        EXPECT_EQ(recorder.rows, s.rows) << int(s.key);
    }
    // At the last row the table stays; the row is reported again.
    table.selectRow(4);
    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_EQ(recorder.rows.last(), 4);
}

TEST_F(TableViewEventTest, ClicksAndNoDelegateSendNothing) {
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(model.index(3, 0)).center());
    EXPECT_EQ(table.selectedRow(), 3);
    EXPECT_TRUE(recorder.rows.isEmpty());
    table.setEventdelegate(nullptr);
    QTest::keyClick(&table, Qt::Key_Up);
    EXPECT_EQ(table.selectedRow(), 2);
    EXPECT_TRUE(recorder.rows.isEmpty());
}

TEST(OutlineViewEvent, ArrowsReportTheView) {
    QStandardItemModel model;
    auto* group = new QStandardItem("group");
    group->appendRow(new QStandardItem("a"));
    group->appendRow(new QStandardItem("b"));
    model.appendRow(group);
    OutlineViewEvent tree;
    RowRecorder recorder;
    tree.setModel(&model);
    tree.expandAll();
    tree.setEventdelegate(&recorder);
    tree.show();
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_TRUE(recorder.views.isEmpty());
    tree.setCurrentIndex(model.index(0, 0));
    QTest::keyClick(&tree, Qt::Key_Down);
    ASSERT_EQ(recorder.views.size(), 1);
    EXPECT_EQ(recorder.views.first(), &tree);
    EXPECT_EQ(tree.selectedItem().data().toString(), "a");
    QTest::keyClick(&tree, Qt::Key_Right);
    EXPECT_EQ(recorder.views.size(), 1);
}

TEST(TableHeadrView, TickImageAndRedraws) {
    TableHeadrView header;
    EXPECT_TRUE(header.SelectImage().isNull());
    EXPECT_EQ(TableHeadrView::ImageName(true), "check_ok");
    EXPECT_EQ(TableHeadrView::ImageName(false), "check_no");
    const struct {
        bool value;
        int redraws;
    } steps[] = {
        {false, 1}, // no image yet: set and drawn even though the value is unchanged
        {false, 1}, // already shown: nothing
        {true, 2},  {true, 2}, {false, 3},
    };
    for (const auto& s : steps) {
        header.setIsSelect(s.value);
        EXPECT_EQ(header.isSelect(), s.value);
        EXPECT_EQ(header.redraws(), s.redraws);
    }
}

TEST(RMSecondaryScroller, NarrowsItsFrameKeepingTheRightEdge) {
    EXPECT_EQ(RMSecondaryScroller::NarrowFrame(QRect(10, 20, 100, 300), 12), QRect(98, 20, 12, 300));
    QWidget parent;
    RMSecondaryScroller scroller(QRect(0, 0, 200, 100), &parent);
    EXPECT_EQ(scroller.geometry().right(), 199);
    EXPECT_LT(scroller.width(), 200);
}

TEST(RMSecondaryScroller, ScrollTargetIsClamped) {
    const struct {
        double value, document, view;
        int target;
    } cases[] = {
        {0.5, 1000, 200, 400},   {0.0, 1000, 200, 0},   {1.0, 1000, 200, 800},
        {1.0, 1000.4, 200, 801}, {0.5, 100, 300, 0},    {1.0, 100, 300, 0},
        {1.0, 300, 300, 0},      {2.0, 1000, 200, 800}, {-1.0, 1000, 200, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RMSecondaryScroller::ScrollTarget(c.value, c.document, c.view), c.target)
            << c.value << " " << c.document << " " << c.view;
}

class ScrollerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 200; ++i)
            list.addItem(QString("row %1").arg(i));
        list.setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        list.resize(200, 200);
        list.show();
        scroller.setParent(&list);
        scroller.setObservedScrollView(&list);
        scroller.show();
    }
    QListWidget list;
    RMSecondaryScroller scroller;
};

TEST_F(ScrollerTest, MirrorsAndDrivesTheObservedView) {
    EXPECT_EQ(list.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QScrollBar* bar = list.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    const double proportion = double(bar->pageStep()) / (bar->maximum() - bar->minimum() + bar->pageStep());
    EXPECT_NEAR(scroller.knobProportion(), proportion, 0.01);
    bar->setValue(bar->maximum() / 2);
    EXPECT_NEAR(scroller.floatValue(), 0.5, 0.01);
    // The user drags the scroller to the end.
    scroller.triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(bar->value(), bar->maximum());
    scroller.triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(bar->value(), 0);
    scroller.setHideObservedScrollViewScrollers(false);
    EXPECT_EQ(list.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    scroller.setHideObservedScrollViewScrollers(true);
    EXPECT_EQ(list.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(ScrollerTest, FadesUnlessThePointerRestsOnIt) {
    list.verticalScrollBar()->setValue(10);
    EXPECT_DOUBLE_EQ(scroller.opacity(), 1.0);
    EXPECT_TRUE(scroller.isFadePending());
    QTRY_COMPARE_WITH_TIMEOUT(scroller.opacity(), 0.0, 3000);

    // A change while the pointer rests on it: visible until the pointer leaves.
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(&scroller, &enter);
    EXPECT_TRUE(scroller.isHovered());
    list.verticalScrollBar()->setValue(40);
    EXPECT_DOUBLE_EQ(scroller.opacity(), 1.0);
    EXPECT_FALSE(scroller.isFadePending());
    EXPECT_TRUE(scroller.isFadingOutDelayed());
    QTest::qWait(RMSecondaryScroller::FadeDelayMs + 200);
    EXPECT_DOUBLE_EQ(scroller.opacity(), 1.0);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&scroller, &leave);
    EXPECT_TRUE(scroller.isFadePending());
    QTRY_COMPARE_WITH_TIMEOUT(scroller.opacity(), 0.0, 3000);

    // The pointer arriving cancels a pending fade; leaving starts it again.
    list.verticalScrollBar()->setValue(60);
    EXPECT_TRUE(scroller.isFadePending());
    QApplication::sendEvent(&scroller, &enter);
    EXPECT_FALSE(scroller.isFadePending());
    QApplication::sendEvent(&scroller, &leave);
    EXPECT_TRUE(scroller.isFadePending());
}

TEST(RMSecondaryScroller, ObservedScrollAreaSmallerThanItsView) {
    QScrollArea area;
    auto* content = new QLabel("short");
    content->resize(100, 50);
    area.setWidget(content);
    area.resize(200, 300);
    area.show();
    RMSecondaryScroller scroller(&area);
    scroller.setObservedScrollView(&area);
    scroller.triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(area.verticalScrollBar()->value(), 0);
    scroller.setObservedScrollView(nullptr);
    scroller.triggerAction(QAbstractSlider::SliderToMinimum); // nothing observed: no failure
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
