// Each system result table keeps the promises every result view makes to the page.
#include "tests/kit/QtTestHome.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ResultViewContract.h"
#include "tests/views/system/SystemViewKit.h"
#include "views/system/NSDirizaBookmarksView.h"
#include "views/system/NSDirizaCalendarView.h"
#include "views/system/NSDirizaCallLogView.h"
#include "views/system/NSDirizaContactView.h"
#include "views/system/NSDirizaMemoView.h"
#include "views/system/NSDirizaRemindersView.h"
#include "views/system/SystemResultViews.h"

#include <QApplication>
#include <QImage>

namespace {

const QString HostileName = QStringLiteral("../x\n");
const QString SecondName = QStringLiteral("/etc/passwd");

QString NameOf(int i) {
    return i == 0 ? HostileName : SecondName;
}

template <typename Record, typename Fill> QList<Record> Records(int n, Fill fill) {
    QList<Record> out;
    for (int i = 0; i < n; ++i) {
        Record r;
        r.setBDelete(i == 0);
        fill(r, i);
        out.append(r);
    }
    return out;
}

template <int Type> struct Traits {
    static std::unique_ptr<DirizaResultView> Make() { return MakeSystemResultView(Type); }
    static qint64 Count(int records) { return records; }
    // Each save writes a CSV file of its own.
    static constexpr bool kWritesNewFilesOnSaveAgain = true;
    static void Deliver(DirizaResultView& view, int n, const QString&) {
        switch (Type) {
        case DirizaResultView::Bookmarks:
            view.AddDirizaFile(Records<NSBookmarksData>(n, [](NSBookmarksData& r, int i) {
                r.setBookMarks(NameOf(i));
                r.setAddress(QStringLiteral("https://example.org/") + QString::number(i));
            }));
            break;
        case DirizaResultView::Contact:
            view.AddDirizaFile(Records<NSContactData>(n, [](NSContactData& r, int i) {
                r.setName(NameOf(i));
                r.setPhone(NameOf(i));
                QImage photo(8, 8, QImage::Format_RGB32);
                photo.fill(i == 0 ? Qt::red : Qt::blue);
                r.setImage(photo);
            }));
            break;
        case DirizaResultView::CallLog:
            view.AddDirizaFile(Records<NSCallLogData>(n, [](NSCallLogData& r, int i) {
                r.setName(NameOf(i));
                r.setPhone(QStringLiteral("+4912345") + QString::number(i));
                r.setLDuration(60 * i);
            }));
            break;
        case DirizaResultView::Notes:
            view.AddDirizaFile(Records<NSRemindersData>(n, [](NSRemindersData& r, int i) {
                r.setTitle(NameOf(i));
                r.setContent(NameOf(i));
            }));
            break;
        case DirizaResultView::Reminders:
            view.AddDirizaFile(Records<NSMemoData>(n, [](NSMemoData& r, int i) {
                r.setTitle(NameOf(i));
                r.setType(NameOf(i));
            }));
            break;
        case DirizaResultView::Calendar:
            view.AddDirizaFile(Records<NSCalendarData>(n, [](NSCalendarData& r, int i) {
                r.setTitle(NameOf(i));
                r.setAddres(NameOf(i));
            }));
            break;
        }
    }
};

} // namespace

namespace kit {
using SystemViewTypes =
    ::testing::Types<Traits<DirizaResultView::Bookmarks>, Traits<DirizaResultView::Contact>,
                     Traits<DirizaResultView::CallLog>, Traits<DirizaResultView::Notes>,
                     Traits<DirizaResultView::Reminders>, Traits<DirizaResultView::Calendar>>;
INSTANTIATE_TYPED_TEST_SUITE_P(SystemViews, ResultViewContract, SystemViewTypes);
} // namespace kit

TEST(SystemResultViews, OneViewPerSystemTypeAndNoneForOthers) {
    for (int type = 0; type < DirizaResultView::TypeCount; ++type) {
        const auto view = MakeSystemResultView(type);
        const bool mine = type >= DirizaResultView::SMS && type <= DirizaResultView::Calendar;
        ASSERT_EQ(mine, view != nullptr) << type;
        if (view) EXPECT_EQ(type, view->DirizaType());
    }
}

SYSVIEWS_TEST_MAIN()
