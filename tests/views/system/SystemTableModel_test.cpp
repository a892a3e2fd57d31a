// The result table's model on its own: rows from the frame, texts and ticks through the
// functions it is given, nothing asked of its owner before the columns are set or after
// they are cleared.
#include "views/frame/ResultFrame.h"
#include "views/frame/SystemViewLook.h"
#include "views/system/SystemTableModel.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct ModelFixture {
    ResultFrame frame;
    SystemTableModel model{frame, nullptr};
    std::vector<std::pair<int, bool>> ticks;
    int textCalls = 0;

    ModelFixture() { frame.SetRecords({0, 1, 0}, std::vector<QStringList>{{"a"}, {"b"}, {"c"}}); }
    void SetColumns() {
        model.SetColumns(
            {QString(), "Name", "Date"},
            [this](int record, int column) {
                ++textCalls;
                return QString("r%1c%2").arg(record).arg(column);
            },
            [this](int record, bool on) { ticks.emplace_back(record, on); });
    }
    QVariant Data(int row, int column, int role) const { return model.data(model.index(row, column), role); }
};

TEST(SystemTableModel, ServesTheFrameAndTheTextsItIsGiven) {
    ModelFixture f;
    // Before the columns are set it has nothing, and asks nothing.
    EXPECT_EQ(0, f.model.rowCount());
    EXPECT_EQ(0, f.model.columnCount());
    EXPECT_FALSE(f.model.setData(f.model.index(0, 0), Qt::Checked, Qt::CheckStateRole));

    QSignalSpy resets(&f.model, &QAbstractItemModel::modelReset);
    f.SetColumns();
    EXPECT_EQ(1, resets.count());
    EXPECT_EQ(3, f.model.rowCount());
    EXPECT_EQ(3, f.model.columnCount());
    EXPECT_EQ("", f.model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString());
    EXPECT_EQ("Date", f.model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString());
    EXPECT_EQ("r2c1", f.Data(2, 1, Qt::DisplayRole).toString());
    EXPECT_EQ("r2c1", f.Data(2, 1, Qt::ToolTipRole).toString());
    EXPECT_FALSE(f.Data(2, 0, Qt::DisplayRole).isValid());
    // Deleted records are red; the tick column follows the frame.
    EXPECT_EQ(SystemViewLook::DeletedText(), f.Data(1, 1, Qt::ForegroundRole).value<QColor>());
    EXPECT_FALSE(f.Data(0, 1, Qt::ForegroundRole).isValid());
    f.frame.Select(1);
    EXPECT_EQ(Qt::Checked, f.Data(1, 0, Qt::CheckStateRole).toInt());
    EXPECT_EQ(Qt::Unchecked, f.Data(0, 0, Qt::CheckStateRole).toInt());
    EXPECT_TRUE(f.model.flags(f.model.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(f.model.flags(f.model.index(0, 1)) & Qt::ItemIsUserCheckable);

    // A tick goes to the owner; only the tick column takes one.
    EXPECT_TRUE(f.model.setData(f.model.index(2, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(f.model.setData(f.model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_FALSE(f.model.setData(f.model.index(1, 1), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ((std::vector<std::pair<int, bool>>{{2, true}, {1, false}}), f.ticks);
}

TEST(SystemTableModel, NewHeadersRepaintAndANewColumnCountResets) {
    ModelFixture f;
    f.model.SetHeaders({QString(), "Ignored"}); // no columns yet: nothing
    EXPECT_EQ(0, f.model.columnCount());
    f.SetColumns();
    QSignalSpy headers(&f.model, &QAbstractItemModel::headerDataChanged);
    QSignalSpy cells(&f.model, &QAbstractItemModel::dataChanged);
    QSignalSpy resets(&f.model, &QAbstractItemModel::modelReset);
    f.model.SetHeaders({QString(), "Nom", "Date"});
    EXPECT_EQ(1, headers.count());
    EXPECT_EQ(1, cells.count());
    EXPECT_EQ(0, resets.count());
    EXPECT_EQ("Nom", f.model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString());
    f.model.SetHeaders({QString(), "Name"});
    EXPECT_EQ(1, resets.count());
    EXPECT_EQ(2, f.model.columnCount());
    // Headers out of range are empty, never a fault.
    EXPECT_EQ("", f.model.headerData(7, Qt::Horizontal, Qt::DisplayRole).toString());
}

TEST(SystemTableModel, AfterClearColumnsTheOwnerIsNeverAsked) {
    ModelFixture f;
    f.SetColumns();
    f.model.ClearColumns();
    const int calls = f.textCalls;
    EXPECT_FALSE(f.Data(0, 1, Qt::DisplayRole).isValid());
    EXPECT_FALSE(f.model.headerData(1, Qt::Horizontal, Qt::DisplayRole).isValid());
    EXPECT_FALSE(f.model.setData(f.model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_EQ(0, f.model.rowCount());
    EXPECT_EQ(calls, f.textCalls);
    EXPECT_TRUE(f.ticks.empty());
}

} // namespace
