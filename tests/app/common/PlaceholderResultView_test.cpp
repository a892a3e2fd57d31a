// The placeholder result view keeps the promises every result view makes to the page,
// for each data type, and shows, searches and filters its plain list.
#include "app/common/PlaceholderResultView.h"

#include "tests/kit/QtTestMain.h"
#include "tests/kit/ResultViewContract.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <memory>

namespace {

const QString HostileName = QStringLiteral("../x\n");
const QString SecondName = QStringLiteral("/etc/passwd");

QString NameOf(int i) {
    return i == 0 ? HostileName : SecondName;
}

NSDeletedFile MakeFile(int i, const QString& backupFolder) {
    // Stored as "<backup>/<sha1 dir>/<sha1>" like a backup's files.
    const QString sha1 = QStringLiteral("0%1").arg(i) + QString(38, QLatin1Char('a'));
    QDir().mkpath(backupFolder + "/" + sha1.left(2));
    QFile f(backupFolder + "/" + sha1.left(2) + "/" + sha1);
    if (f.open(QIODevice::WriteOnly)) f.write(QByteArray("content ") + QByteArray::number(i));
    NSDeletedFile d;
    d.setDeleteMark(i == 0);
    d.setFileName(NameOf(i) + ".jpg");
    d.setBackUpPath(backupFolder + "/" + sha1.left(2) + "/");
    d.setSHA1(sha1);
    d.setSuffix("jpg");
    return d;
}

template <typename T>
QList<T> Records(int n, const std::function<void(T&, int)>& fill) {
    QList<T> out;
    for (int i = 0; i < n; ++i) {
        T t;
        fill(t, i);
        out.append(t);
    }
    return out;
}

void DeliverFor(int type, DirizaResultView& view, int n, const QString& backup) {
    switch (type) {
    case DirizaResultView::Photo:
    case DirizaResultView::Video:
    case DirizaResultView::VoiceMemo: {
        QList<NSDeletedFile> files;
        for (int i = 0; i < n; ++i) files.append(MakeFile(i, backup));
        view.AddDirizaFile(files);
        return;
    }
    case DirizaResultView::SMSAttachment:
    case DirizaResultView::MemoAttachment:
    case DirizaResultView::WXAttachment: {
        QList<NSDeletedFile> photos, media;
        photos.append(MakeFile(0, backup));
        if (n > 1) media.append(MakeFile(1, backup));
        view.AddDirizaFile(photos, media);
        return;
    }
    case DirizaResultView::SMS: {
        NSSMSHeadData head;
        head.setPhone(HostileName);
        for (int i = 0; i < n; ++i) {
            NSSMSData m;
            m.setBDelete(i == 0);
            m.setContent(NameOf(i));
            head.mutableSMSDataList().append(m);
        }
        view.AddDirizaFile(QMap<QString, NSSMSHeadData>{{HostileName, head}});
        return;
    }
    case DirizaResultView::CallLog:
        view.AddDirizaFile(Records<NSCallLogData>(n, [](NSCallLogData& r, int i) {
            r.setBDelete(i == 0);
            r.setName(NameOf(i));
        }));
        return;
    case DirizaResultView::Contact:
        view.AddDirizaFile(Records<NSContactData>(n, [](NSContactData& r, int i) {
            r.setBDelete(i == 0);
            r.setName(NameOf(i));
        }));
        return;
    case DirizaResultView::Bookmarks:
        view.AddDirizaFile(Records<NSBookmarksData>(n, [](NSBookmarksData& r, int i) {
            r.setBDelete(i == 0);
            r.setBookMarks(NameOf(i));
        }));
        return;
    case DirizaResultView::Reminders:
        view.AddDirizaFile(Records<NSMemoData>(n, [](NSMemoData& r, int i) {
            r.setBDelete(i == 0);
            r.setTitle(NameOf(i));
        }));
        return;
    case DirizaResultView::Notes:
        view.AddDirizaFile(Records<NSRemindersData>(n, [](NSRemindersData& r, int i) {
            r.setBDelete(i == 0);
            r.setTitle(NameOf(i));
        }));
        return;
    case DirizaResultView::Calendar:
        view.AddDirizaFile(Records<NSCalendarData>(n, [](NSCalendarData& r, int i) {
            r.setBDelete(i == 0);
            r.setTitle(NameOf(i));
        }));
        return;
    default: return;
    }
}

template <int TypeNumber>
struct PlaceholderTraits {
    static std::unique_ptr<DirizaResultView> Make() {
        return std::make_unique<PlaceholderResultView>(TypeNumber, nullptr, 20);
    }
    static void Deliver(DirizaResultView& view, int records, const QString& backupFolder) {
        DeliverFor(TypeNumber, view, records, backupFolder);
    }
    static qint64 Count(int records) { return records; }
};

// The WeChat contacts and chats records are not defined yet; their placeholder is
// checked below on what it can receive.
using PlaceholderTypes =
    ::testing::Types<PlaceholderTraits<0>, PlaceholderTraits<1>, PlaceholderTraits<2>, PlaceholderTraits<3>,
                     PlaceholderTraits<4>, PlaceholderTraits<5>, PlaceholderTraits<6>, PlaceholderTraits<7>,
                     PlaceholderTraits<8>, PlaceholderTraits<9>, PlaceholderTraits<10>, PlaceholderTraits<11>,
                     PlaceholderTraits<14>>;
} // namespace
namespace kit {
INSTANTIATE_TYPED_TEST_SUITE_P(Placeholder, ResultViewContract, ::PlaceholderTypes);
} // namespace kit
namespace {

using kit::ContractDelegate;
using kit::WaitUntil;

TEST(PlaceholderResultViewTest, NoWeChatContactsShowsNoData) {
    {
        const int type = DirizaResultView::WXAddressBook;
        PlaceholderResultView view(type, nullptr, 20);
        ContractDelegate delegate;
        view.setDelegate(&delegate);
        view.StartUpdateUI();
        EXPECT_TRUE(view.ShowsLoading());
        std::thread worker([&] { view.AddDirizaFile(static_cast<const QList<NSWXChatAccount>*>(nullptr)); });
        worker.join();
        ASSERT_TRUE(WaitUntil([&] { return !delegate.Counts().empty(); }));
        EXPECT_EQ((std::pair<int, qint64>{type, 0}), delegate.Counts()[0]);
        EXPECT_TRUE(view.ShowsNoData());
        view.setDelegate(nullptr);
    }
}

TEST(PlaceholderResultViewTest, DeliveriesOfOtherTypesAreIgnored) {
    kit::ScratchFolder scratch("placeholder");
    const QString backup = QString::fromStdString(scratch.path().string());
    PlaceholderResultView view(DirizaResultView::CallLog, nullptr, 20);
    ContractDelegate delegate;
    view.setDelegate(&delegate);
    view.StartUpdateUI();
    DeliverFor(DirizaResultView::Photo, view, 2, backup);
    DeliverFor(DirizaResultView::SMSAttachment, view, 2, backup);
    DeliverFor(DirizaResultView::Contact, view, 2, backup);
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    QCoreApplication::processEvents();
    EXPECT_TRUE(delegate.Counts().empty());
    EXPECT_TRUE(view.ShowsLoading());
    view.setDelegate(nullptr);
}

struct FilterCase {
    const char* label;
    bool onlyDeleted;
    QString key;
    int shown;
};

TEST(PlaceholderResultViewTest, SearchAndShowDeletedTable) {
    PlaceholderResultView view(DirizaResultView::Contact, nullptr, 20);
    ContractDelegate delegate;
    view.setDelegate(&delegate);
    view.StartUpdateUI();
    DeliverFor(DirizaResultView::Contact, view, 2, QString());
    ASSERT_TRUE(WaitUntil([&] { return !delegate.Counts().empty(); }));
    const FilterCase cases[] = {
        {"all", false, "", 2},          {"deleted only", true, "", 1}, {"search", false, "passwd", 1},
        {"search none", false, "zzz", 0}, {"deleted and search", true, "passwd", 0},
        {"case-insensitive", false, "PASSWD", 1},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.label);
        view.SetShowDeleteFile(c.onlyDeleted);
        view.SearchKey(c.key);
        EXPECT_EQ(c.shown, view.ShownCount());
    }
    // Ticks survive a filter.
    view.SearchKey("");
    view.SetShowDeleteFile(false);
    view.AllSelect();
    view.SearchKey("zzz");
    view.SearchKey("");
    EXPECT_TRUE(view.isSelectData());
    view.setDelegate(nullptr);
}

TEST(PlaceholderResultViewTest, CsvHoldsDeletedMarkAndTexts) {
    kit::ScratchFolder scratch("placeholder");
    PlaceholderResultView view(DirizaResultView::Bookmarks, nullptr, 20);
    ContractDelegate delegate;
    view.setDelegate(&delegate);
    view.StartUpdateUI();
    QList<NSBookmarksData> marks;
    NSBookmarksData a;
    a.setBDelete(true);
    a.setBookMarks("say \"hi\"");
    a.setAddress("http://a/,b");
    marks << a;
    view.AddDirizaFile(marks);
    ASSERT_TRUE(WaitUntil([&] { return !delegate.Counts().empty(); }));
    view.AllSelect();
    const QString out = QString::fromStdString(scratch.path().string());
    EXPECT_EQ((DirizaSaveResult{1, 0}), view.DirizaData(out));
    QFile f(out + "/SafariBookmarks.csv");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ("1,\"say \"\"hi\"\"\",\"http://a/,b\"\r\n", f.readAll().toStdString());
    view.setDelegate(nullptr);
}

TEST(PlaceholderResultViewTest, MissingSourceFileIsAFailure) {
    kit::ScratchFolder scratch("placeholder");
    PlaceholderResultView view(DirizaResultView::Photo, nullptr, 20);
    ContractDelegate delegate;
    view.setDelegate(&delegate);
    view.StartUpdateUI();
    NSDeletedFile missing;
    missing.setFileName("gone.jpg");
    missing.setBackUpPath(QString::fromStdString(scratch.path().string()) + "/");
    missing.setSHA1("nothere");
    view.AddDirizaFile(QList<NSDeletedFile>{missing});
    ASSERT_TRUE(WaitUntil([&] { return !delegate.Counts().empty(); }));
    view.AllSelect();
    std::filesystem::create_directory(scratch.path() / "out");
    EXPECT_EQ((DirizaSaveResult{0, 1}), view.DirizaData(QString::fromStdString((scratch.path() / "out").string())));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path() / "out"));
    view.setDelegate(nullptr);
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
