// The system result tables: what they show, how ticks spread, what their CSV files and
// contact photos hold, and how they take damaged input and bad save folders.
#include "gui/TableHeadrView.h"
#include "gui/TableViewEvent.h"
#include "tests/kit/QtTestHome.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/system/SystemViewKit.h"
#include "views/system/NSDirizaBookmarksView.h"
#include "views/system/NSDirizaCalendarView.h"
#include "views/system/NSDirizaCallLogView.h"
#include "views/system/NSDirizaContactView.h"
#include "views/system/NSDirizaMemoView.h"
#include "views/system/NSDirizaRemindersView.h"
#include "views/system/SystemRowDelegate.h"
#include "views/system/SystemTableModel.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImageReader>
#include <QPalette>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTextLayout>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace sysviews;

namespace {

NSBookmarksData Bookmark(const QString& title, const QString& address = QString(), bool deleted = false) {
    NSBookmarksData b;
    b.setBookMarks(title);
    b.setAddress(address);
    b.setBDelete(deleted);
    return b;
}

NSCallLogData Call(const QString& name, const QString& phone, qint64 duration, int type = 0,
                   bool deleted = false) {
    NSCallLogData c;
    c.setName(name);
    c.setPhone(phone);
    c.setLDuration(duration);
    c.setNType(type);
    c.setBDelete(deleted);
    return c;
}

NSRemindersData Note(const QString& title, const QString& content, qint64 time = 0, bool deleted = false) {
    NSRemindersData n;
    n.setTitle(title);
    n.setContent(content);
    n.setLDataTime(time);
    n.setBDelete(deleted);
    return n;
}

NSMemoData Reminder(const QString& title, const QString& list, const QString& location, bool complete,
                    const QString& notes = QString()) {
    NSMemoData m;
    m.setTitle(title);
    m.setType(list);
    m.setLocation(location);
    m.setBComplete(complete);
    m.setContent(notes);
    return m;
}

NSCalendarData Event(const QString& title, const QString& location, const QString& content = QString(),
                     bool deleted = false) {
    NSCalendarData e;
    e.setTitle(title);
    e.setAddres(location);
    e.setContent(content);
    e.setLStartTime(0);
    e.setLEndTime(3600);
    e.setBDelete(deleted);
    return e;
}

NSContactData Contact(const QString& name, const QString& phone, const QString& email,
                      QColor photo = QColor()) {
    NSContactData c;
    c.setName(name);
    c.setPhone(phone);
    c.setEmail(email);
    if (photo.isValid()) {
        QImage image(6, 4, QImage::Format_RGB32);
        image.fill(photo);
        c.setImage(image);
    }
    return c;
}

DirizaSaveResult SaveOnWorker(DirizaResultView& view, const QString& folder) {
    DirizaSaveResult result;
    std::thread saver([&] { result = view.DirizaData(folder); });
    saver.join();
    return result;
}

class SystemTables : public ::testing::Test {
  protected:
    QString Out() const { return QString::fromStdString(scratch.path().string()); }
    QString OutFile(const QString& name) const { return QDir(Out()).filePath(name); }
    kit::ScratchFolder scratch{"sysviews"};
    RecordingDelegate delegate;
};

// ---- ticks ----

TEST_F(SystemTables, BookmarksWithOneTitleAreTickedOnceAndTogether) {
    NSDirizaBookmarksView view;
    view.setDelegate(&delegate);
    Load(view, QList<NSBookmarksData>{Bookmark("News", "a"), Bookmark("News", "b"), Bookmark("C", "c"),
                                      Bookmark("D", "d")});
    QSignalSpy repaint(view.Model(), &QAbstractItemModel::dataChanged);
    view.TickRecord(0, true);
    view.TickRecord(1, true); // already ticked: nothing is added twice
    EXPECT_EQ(2, view.Frame().SelectedCount());
    EXPECT_EQ(2, repaint.count()); // B and B' repaint, once each
    EXPECT_FALSE(delegate.allTicked.back().second);
    EXPECT_FALSE(view.Header()->isSelect());
    EXPECT_EQ((DirizaSaveResult{2, 0}), SaveOnWorker(view, Out()));
    EXPECT_EQ(Bom() + "Title,Address,Deleted\nNews,a,Not deleted\nNews,b,Not deleted\n",
              ReadFile(OutFile("Bookmarks.csv")));
    // Unticking one unticks both.
    view.TickRecord(1, false);
    EXPECT_EQ(0, view.Frame().SelectedCount());
}

TEST_F(SystemTables, ShownRowsRepaintWhenTheirRecordsAreTicked) {
    NSDirizaBookmarksView view;
    Load(view,
         QList<NSBookmarksData>{Bookmark("C"), Bookmark("News", "a"), Bookmark("D"), Bookmark("News", "b")});
    view.SearchKey("news");
    ASSERT_EQ(2, view.Proxy()->rowCount());
    EXPECT_EQ("b", view.Proxy()->index(1, 2).data().toString());
    QSignalSpy repaint(view.Proxy(), &QAbstractItemModel::dataChanged);
    view.Proxy()->setData(view.Proxy()->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    ASSERT_EQ(2, repaint.count());
    EXPECT_EQ(0, repaint[0][0].value<QModelIndex>().row());
    EXPECT_EQ(1, repaint[1][0].value<QModelIndex>().row());
    EXPECT_EQ(Qt::Checked, view.Proxy()->index(1, 0).data(Qt::CheckStateRole).toInt());
    EXPECT_TRUE(view.Header()->isSelect());
    // Everything ticked repaints the shown rows once.
    repaint.clear();
    view.AllSelect();
    ASSERT_EQ(1, repaint.count());
    EXPECT_EQ(1, repaint[0][1].value<QModelIndex>().row());
}

TEST_F(SystemTables, TickingEveryRowOneByOneSavesEverything) {
    NSDirizaCallLogView view;
    view.setDelegate(&delegate);
    Load(view, QList<NSCallLogData>{Call("A", "1", 1, 0, true), Call("B", "2", 2), Call("C", "3", 3)});
    view.SetShowDeleteFile(true);
    ASSERT_EQ(1, view.Frame().ShownCount());
    view.TickRecord(0, true);
    EXPECT_TRUE(view.Header()->isSelect()); // every shown row ticked
    EXPECT_FALSE(delegate.allTicked.back().second);
    view.SetShowDeleteFile(false);
    EXPECT_FALSE(view.Header()->isSelect());
    view.TickRecord(1, true);
    view.TickRecord(2, true);
    EXPECT_TRUE(delegate.allTicked.back().second);
    EXPECT_EQ(3, SaveOnWorker(view, Out()).written);
}

TEST_F(SystemTables, HeaderTickReplacesOrAddsToTheSelection) {
    // The list views replace the selection by the shown rows; the calendar adds them,
    // never twice, and unticking clears every tick, shown or not.
    {
        NSDirizaMemoView view;
        Load(view, QList<NSMemoData>{Reminder("milk", "", "", false), Reminder("bread", "", "", false)});
        view.TickRecord(0, true);
        view.SearchKey("bread");
        view.HeaderClicked();
        EXPECT_EQ((std::vector<int>{1}), view.Frame().SelectedRecords());
    }
    NSDirizaCalendarView view;
    Load(view, QList<NSCalendarData>{Event("Dentist", "x"), Event("Lunch", "y"), Event("Lunch later", "z")});
    view.TickRecord(0, true);
    view.SearchKey("lunch");
    view.HeaderClicked();
    EXPECT_EQ((std::vector<int>{0, 1, 2}), view.Frame().SelectedRecords());
    view.HeaderClicked(); // off: everything, including the hidden event
    EXPECT_FALSE(view.isSelectData());
    view.HeaderClicked();
    view.HeaderClicked();
    view.HeaderClicked();
    EXPECT_EQ(2, view.Frame().SelectedCount());
}

TEST_F(SystemTables, EveryStartOfAScanForgetsTheSelection) {
    NSDirizaCalendarView calendar;
    Load(calendar, QList<NSCalendarData>{Event("a", "b")});
    calendar.AllSelect();
    calendar.StartUpdateUI();
    EXPECT_FALSE(calendar.isSelectData());
    EXPECT_FALSE(calendar.Header()->isSelect());
}

TEST_F(SystemTables, NotesWithOneTitleTickTogetherAndTheHeaderFollowsASearch) {
    NSDirizaRemindersView view;
    Load(view, QList<NSRemindersData>{Note("Shopping\nmilk", "Shopping\nmilk"), Note("Shopping\nmilk", "x"),
                                      Note("Trip", "Trip\npacking list")});
    view.TickRecord(1, true);
    EXPECT_EQ((std::vector<int>{0, 1}), view.Frame().SelectedRecords());
    EXPECT_FALSE(view.Header()->isSelect());
    view.SearchKey("MILK");
    EXPECT_EQ(2, view.Frame().ShownCount());
    EXPECT_TRUE(view.Header()->isSelect());
    view.SearchKey("");
    EXPECT_FALSE(view.Header()->isSelect());
    view.TickRecord(0, false);
    EXPECT_FALSE(view.isSelectData());
}

TEST_F(SystemTables, RemindersWithOneTitleTickAlone) {
    NSDirizaMemoView view;
    Load(view, QList<NSMemoData>{Reminder("Call", "Work", "Office", true),
                                 Reminder("Call", "Home", "Garden", false)});
    view.TickRecord(0, true);
    EXPECT_EQ((std::vector<int>{0}), view.Frame().SelectedRecords());
}

TEST_F(SystemTables, MouseClicksTickAndPick) {
    NSDirizaRemindersView view;
    view.setDelegate(&delegate);
    Load(view, QList<NSRemindersData>{Note("a", "first"), Note("b", "second")});
    view.resize(700, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    QWidget* rows = view.Table()->viewport();
    // The tick box of the second row ticks it.
    const QRect tickCell = view.Table()->visualRect(view.Proxy()->index(1, 0));
    QTest::mouseClick(rows, Qt::LeftButton, {}, SystemRowDelegate::BoxRect(tickCell).center());
    EXPECT_EQ((std::vector<int>{1}), view.Frame().SelectedRecords());
    // A click on a row's text picks it for the pane and ticks nothing.
    QTest::mouseClick(rows, Qt::LeftButton, {}, view.Table()->visualRect(view.Proxy()->index(0, 1)).center());
    EXPECT_EQ(0, view.InfoRecord());
    EXPECT_EQ((std::vector<int>{1}), view.Frame().SelectedRecords());
    // The header's tick box ticks every shown row, and reports everything ticked.
    QTest::mouseClick(view.Header()->viewport(), Qt::LeftButton, {}, QPoint(10, view.Header()->height() / 2));
    EXPECT_EQ(2, view.Frame().SelectedCount());
    EXPECT_TRUE(view.Header()->isSelect());
    ASSERT_FALSE(delegate.allTicked.empty());
    EXPECT_TRUE(delegate.allTicked.back().second);
    // A click below the last row hides the pane.
    QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(200, rows->height() - 5));
    EXPECT_EQ(-1, view.InfoRecord());
}

// ---- searching and the detail pane ----

TEST_F(SystemTables, SearchedFieldsPerView) {
    struct Case {
        const char* key;
        int shown;
    };
    {
        NSDirizaMemoView view; // title and notes; not the list or the location
        Load(view, QList<NSMemoData>{Reminder("Buy", "Groceries", "Market", false, "Oat milk")});
        for (const Case& c : {Case{"groceries", 0}, Case{"market", 0}, Case{"OAT", 1}, Case{"buy", 1}}) {
            view.SearchKey(c.key);
            EXPECT_EQ(c.shown, view.Frame().ShownCount()) << c.key;
        }
    }
    {
        NSDirizaCalendarView view; // title and description; not the location
        Load(view, QList<NSCalendarData>{Event("Dentist", "Main Street", "Bring card")});
        for (const Case& c : {Case{"main", 0}, Case{"card", 1}, Case{"DENT", 1}}) {
            view.SearchKey(c.key);
            EXPECT_EQ(c.shown, view.Frame().ShownCount()) << c.key;
        }
    }
    {
        NSDirizaContactView view; // name and phone; not the e-mail
        Load(view, QList<NSContactData>{Contact("Ana Lee", "+44 20", "ana@example.org")});
        for (const Case& c : {Case{"example", 0}, Case{"+44", 1}, Case{"lee", 1}}) {
            view.SearchKey(c.key);
            EXPECT_EQ(c.shown, view.Frame().ShownCount()) << c.key;
        }
    }
    {
        NSDirizaBookmarksView view; // title and address, CJK and emoji included
        Load(view, QList<NSBookmarksData>{Bookmark("新闻 😀", "https://example.org/Path")});
        for (const Case& c : {Case{"新闻", 1}, Case{"😀", 1}, Case{"/path", 1}, Case{"nope", 0}}) {
            view.SearchKey(c.key);
            EXPECT_EQ(c.shown, view.Frame().ShownCount()) << c.key;
        }
    }
}

TEST_F(SystemTables, TheDetailPaneFollowsShownRowsOnly) {
    NSDirizaRemindersView view;
    Load(view, QList<NSRemindersData>{Note("One", "first text"), Note("Two", "second text", 0, true),
                                      Note("Three", "third text")});
    view.SelectRowEvent(2);
    EXPECT_EQ(2, view.InfoRecord());
    EXPECT_EQ("third text", view.Info()->Value(1));
    view.SetShowDeleteFile(true); // hides the pane
    EXPECT_EQ(-1, view.InfoRecord());
    view.SelectRowEvent(0);
    EXPECT_EQ(1, view.InfoRecord());
    // Rows beyond the shown rows (though within all records) leave the pane as it is.
    view.SelectRowEvent(2);
    view.SelectRowEvent(-1);
    EXPECT_EQ(1, view.InfoRecord());
    view.ClickRow(5); // a click below the last row hides it
    EXPECT_EQ(-1, view.InfoRecord());
    view.SelectRowEvent(0);
    view.SearchKey("second"); // a search hides it, even when its record is a hit
    EXPECT_EQ(-1, view.InfoRecord());
    view.SelectRowEvent(0);
    view.ClearData();
    EXPECT_EQ(-1, view.InfoRecord());
}

TEST_F(SystemTables, ContactPaneShowsFieldsAsTheyAreAndTheTableShowsUnknown) {
    NSDirizaContactView view;
    Load(view,
         QList<NSContactData>{Contact("", "+1 555", "x@example.org"), Contact("Bo", "2", "", Qt::green)});
    EXPECT_EQ("Unknown", view.Proxy()->index(0, 1).data().toString());
    view.SelectRowEvent(0);
    EXPECT_EQ("", view.Info()->Value(0));
    EXPECT_EQ("+1 555", view.Info()->Value(1));
    EXPECT_FALSE(view.Info()->Picture()->pixmap().isNull()); // the contact logo
    view.SelectRowEvent(1);
    EXPECT_EQ(4, view.Info()->Picture()->pixmap().height());
}

// ---- cells ----

TEST_F(SystemTables, CallCells) {
    struct Case {
        qint64 seconds;
        const char* text;
    } cases[] = {{0, "00:00:00"},    {59, "00:00:59"},   {60, "00:01:00"},      {75, "00:01:15"},
                 {3599, "00:59:59"}, {3600, "01:00:00"}, {360000, "100:00:00"}, {-5, "-00:00:05"}};
    QList<NSCallLogData> calls;
    for (const Case& c : cases)
        calls << Call("", "+49 1", c.seconds, c.seconds > 100 ? 1 : 0);
    NSDirizaCallLogView view;
    Load(view, calls);
    for (int i = 0; i < int(std::size(cases)); ++i) {
        EXPECT_EQ(cases[i].text, view.Proxy()->index(i, 5).data().toString()) << cases[i].seconds;
        EXPECT_EQ(cases[i].seconds > 100 ? "Outgoing" : "Incoming",
                  view.Proxy()->index(i, 4).data().toString());
    }
    EXPECT_EQ("Unknown", view.Proxy()->index(0, 1).data().toString());
    EXPECT_EQ("+49 1", view.Proxy()->index(0, 2).data().toString());
    EXPECT_EQ("", view.Proxy()->index(0, 3).data().toString()); // no date known
}

// A column the user drags to a width keeps it when the table's width changes (a window
// resized, the detail pane shown); the other columns share the rest.
TEST_F(SystemTables, AColumnWidthTheUserSetsStays) {
    NSDirizaCallLogView view;
    view.resize(900, 400);
    view.show();
    Load(view,
         QList<NSCallLogData>{Call("Anna", "+49 170 555 1200", 30), Call("Ben", "+49 170 555 1201", 40)});
    QCoreApplication::processEvents();
    QHeaderView* header = view.Header();
    header->resizeSection(2, 300); // as a drag of the phone column's edge does
    view.resize(700, 400);
    QCoreApplication::processEvents();
    EXPECT_EQ(300, header->sectionSize(2));
    view.resize(1100, 400);
    QCoreApplication::processEvents();
    EXPECT_EQ(300, header->sectionSize(2));
}

TEST_F(SystemTables, DeletedRowsAreRedAndTheTickColumnIsCheckable) {
    NSDirizaBookmarksView view;
    Load(view, QList<NSBookmarksData>{Bookmark("gone", "", true), Bookmark("kept")});
    EXPECT_EQ(QColor(255, 59, 48), view.Proxy()->index(0, 1).data(Qt::ForegroundRole).value<QColor>());
    EXPECT_FALSE(view.Proxy()->index(1, 1).data(Qt::ForegroundRole).isValid());
    EXPECT_TRUE(view.Proxy()->index(0, 0).flags() & Qt::ItemIsUserCheckable);
    // Ticking through the model is ticking the record.
    view.Proxy()->setData(view.Proxy()->index(1, 0), Qt::Checked, Qt::CheckStateRole);
    EXPECT_EQ((std::vector<int>{1}), view.Frame().SelectedRecords());
}

TEST_F(SystemTables, TimesInTablesAndFiles) {
    NSDirizaRemindersView notes;
    Load(notes, QList<NSRemindersData>{Note("t", "c", 978307245)});
    EXPECT_EQ("2001-01-01 00:00", notes.Proxy()->index(0, 2).data().toString());
    notes.AllSelect();
    SaveOnWorker(notes, Out());
    EXPECT_EQ(Bom() + "Title,Time,Content,Deleted\nt,2001-01-01 00:00:45,c,Not deleted\n",
              ReadFile(OutFile("Notes.csv")));
}

TEST_F(SystemTables, ADateOfZeroIsShownAndSavedEmpty) {
    // A note rebuilt from its body alone, a call, a reminder and an event without dates:
    // no "1970-01-01" anywhere, on screen or in the files.
    NSDirizaRemindersView notes;
    Load(notes, QList<NSRemindersData>{Note("body only", "c", 0)});
    NSDirizaCallLogView calls;
    Load(calls, QList<NSCallLogData>{Call("a", "1", 5)});
    NSDirizaMemoView reminders;
    Load(reminders, QList<NSMemoData>{Reminder("r", "L", "", false)});
    NSDirizaCalendarView events;
    NSCalendarData undated = Event("e", "x");
    undated.setLEndTime(0);
    Load(events, QList<NSCalendarData>{undated});
    const struct {
        DirizaResultView* view;
        QAbstractItemModel* model;
        std::vector<int> timeColumns;
        const char* file;
    } cases[] = {{&notes, notes.Proxy(), {2}, "Notes.csv"},
                 {&calls, calls.Proxy(), {3}, "Call history.csv"},
                 {&reminders, reminders.Proxy(), {5}, "Reminders.csv"},
                 {&events, events.Proxy(), {3, 4}, "Calendar.csv"}};
    for (const auto& c : cases) {
        for (int column : c.timeColumns)
            EXPECT_EQ("", c.model->index(0, column).data().toString()) << c.file;
        c.view->AllSelect();
        EXPECT_EQ((DirizaSaveResult{1, 0}), SaveOnWorker(*c.view, Out())) << c.file;
        const QByteArray file = ReadFile(OutFile(c.file));
        EXPECT_FALSE(file.isEmpty()) << c.file;
        EXPECT_FALSE(file.contains("1970")) << c.file << file.toStdString();
    }
}

// ---- CSV files ----

TEST_F(SystemTables, CsvFilesPerView) {
    // Every free-text field as recovered, quoted per RFC 4180 when it holds a comma, a
    // quote or a line break; a time of 0 (unknown) is an empty field.
    const QString hostile = QStringLiteral("a,b\r\nc \"q\"");
    const QByteArray quoted = "\"a,b\r\nc \"\"q\"\"\"";
    {
        NSDirizaBookmarksView view;
        Load(view, QList<NSBookmarksData>{Bookmark(QString(), hostile, true)});
        view.AllSelect();
        SaveOnWorker(view, Out());
        EXPECT_EQ(Bom() + "Title,Address,Deleted\n," + quoted + ",Deleted\n",
                  ReadFile(OutFile("Bookmarks.csv")));
    }
    {
        NSDirizaCallLogView view;
        Load(view, QList<NSCallLogData>{Call(hostile, "+1,2", 75, 1), Call("", "", 0)});
        view.AllSelect();
        SaveOnWorker(view, Out());
        EXPECT_EQ(Bom() + "Name,Phone,Time,Type,Duration,Deleted\n" + quoted +
                      ",\"+1,2\",,Outgoing,00:01:15,Not deleted\n"
                      "Unknown,,,Incoming,00:00:00,Not deleted\n",
                  ReadFile(OutFile("Call history.csv")));
    }
    {
        NSDirizaMemoView view;
        Load(view, QList<NSMemoData>{Reminder(hostile, "L,1", "P\n2", true, "n")});
        view.AllSelect();
        SaveOnWorker(view, Out());
        EXPECT_EQ(Bom() + "Title,List,Location,Status,Date,Notes,Deleted\n" + quoted +
                      ",\"L,1\",\"P\n2\",Completed,,n,Not deleted\n",
                  ReadFile(OutFile("Reminders.csv")));
    }
    {
        NSDirizaCalendarView view;
        Load(view, QList<NSCalendarData>{Event(hostile, "", "d,e\nf", true)});
        view.AllSelect();
        SaveOnWorker(view, Out());
        EXPECT_EQ(Bom() + "Title,Location,Start,End,Description,Deleted\n" + quoted +
                      ",Unknown,,1970-01-01 01:00:00,\"d,e\nf\",Deleted\n",
                  ReadFile(OutFile("Calendar.csv")));
    }
    {
        NSDirizaContactView view;
        Load(view, QList<NSContactData>{Contact(hostile, "1,2", "e\nf")});
        view.AllSelect();
        SaveOnWorker(view, Out());
        EXPECT_EQ(Bom() + "Name,Phone,Email,Photo,Deleted\n" + quoted + ",\"1,2\",\"e\nf\",,Not deleted\n",
                  ReadFile(OutFile("Contacts/Contacts.csv")));
    }
}

// A second save into the same folder never adds to the first save's file: it writes a
// file of its own under the next numbered name, each with one mark and one header.
TEST_F(SystemTables, SavingTwiceWritesTwoFilesEachWithOneHeader) {
    NSDirizaBookmarksView view;
    Load(view, QList<NSBookmarksData>{Bookmark("a", "b")});
    view.AllSelect();
    EXPECT_EQ((DirizaSaveResult{1, 0}), SaveOnWorker(view, Out()));
    EXPECT_EQ((DirizaSaveResult{1, 0}), SaveOnWorker(view, Out()));
    const QByteArray once = "Title,Address,Deleted\na,b,Not deleted\n";
    EXPECT_EQ(Bom() + once, ReadFile(OutFile("Bookmarks.csv")));
    EXPECT_EQ(Bom() + once, ReadFile(OutFile("Bookmarks (2).csv")));
}

TEST_F(SystemTables, AStopAfterTheFirstItemLeavesTheHeaderAndOneLine) {
    NSDirizaBookmarksView view;
    view.setDelegate(&delegate);
    Load(view, QList<NSBookmarksData>{Bookmark("a"), Bookmark("b"), Bookmark("c")});
    view.AllSelect();
    delegate.stopAfter = 1;
    EXPECT_EQ((DirizaSaveResult{1, 0}), SaveOnWorker(view, Out()));
    EXPECT_EQ(Bom() + "Title,Address,Deleted\na,,Not deleted\n", ReadFile(OutFile("Bookmarks.csv")));
    EXPECT_EQ((std::vector<std::pair<int, int>>{{3, 1}}), delegate.progress);
}

TEST_F(SystemTables, EveryDataStructHeaderNamesTheColumnsOfItsRows) {
    // One record per view, saved; the header and the row have the same field count.
    NSDirizaBookmarksView bookmarks;
    Load(bookmarks, QList<NSBookmarksData>{Bookmark("t", "u")});
    NSDirizaCallLogView calls;
    Load(calls, QList<NSCallLogData>{Call("n", "p", 1)});
    NSDirizaRemindersView notes;
    Load(notes, QList<NSRemindersData>{Note("t", "c")});
    NSDirizaMemoView reminders;
    Load(reminders, QList<NSMemoData>{Reminder("t", "l", "p", false, "c")});
    NSDirizaCalendarView calendar;
    Load(calendar, QList<NSCalendarData>{Event("t", "p", "c")});
    NSDirizaContactView contacts;
    Load(contacts, QList<NSContactData>{Contact("n", "p", "e", Qt::red)});
    struct Case {
        SystemTableView* view;
        const char* file;
        int columns;
    } cases[] = {{&bookmarks, "Bookmarks.csv", 3}, {&calls, "Call history.csv", 6},
                 {&notes, "Notes.csv", 4},         {&reminders, "Reminders.csv", 7},
                 {&calendar, "Calendar.csv", 6},   {&contacts, "Contacts/Contacts.csv", 5}};
    for (int language = 0; language < NSLanguageText::LanguageCount; ++language) {
        NSLanguageText::shareInstance()->setLanguage(language);
        kit::ScratchFolder out("columns");
        const QString folder = QString::fromStdString(out.path().string());
        for (const Case& c : cases) {
            c.view->AllSelect();
            ASSERT_EQ(1, SaveOnWorker(*c.view, folder).written) << c.file << " " << language;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(out.path())) {
            if (entry.path().extension() != ".csv") continue;
            const QList<QByteArray> lines =
                ReadFile(QString::fromStdString(entry.path().string())).split('\n');
            ASSERT_GE(lines.size(), 2);
            const int header = int(lines[0].count(',')) + 1, row = int(lines[1].count(',')) + 1;
            EXPECT_EQ(header, row) << entry.path() << " " << language;
            bool known = false;
            for (const Case& c : cases)
                known = known || c.columns == header;
            EXPECT_TRUE(known) << entry.path();
        }
    }
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
}

// ---- contact photos ----

TEST_F(SystemTables, ContactPhotosArePngFilesThatNeverReplaceOthers) {
    NSDirizaContactView view;
    Load(view, QList<NSContactData>{Contact("A", "../x/y", "", Qt::red), Contact("B", "../x/y", "", Qt::blue),
                                    Contact("C", "3", "")});
    view.AllSelect();
    EXPECT_EQ((DirizaSaveResult{3, 0}), SaveOnWorker(view, Out()));
    const QDir sub(OutFile("Contacts"));
    const QStringList photos = sub.entryList({"*.png"}, QDir::Files, QDir::Name);
    ASSERT_EQ(2, photos.size()) << photos.join(", ").toStdString();
    for (const QString& p : photos) {
        EXPECT_FALSE(p.contains('/'));
        QImageReader reader(sub.filePath(p));
        EXPECT_EQ("png", reader.format().toStdString()) << p.toStdString();
    }
    // The CSV names the files; the third contact has no photo.
    const QList<QByteArray> lines = ReadFile(sub.filePath("Contacts.csv")).split('\n');
    ASSERT_GE(lines.size(), 4);
    EXPECT_TRUE(lines[1].contains(photos[0].toUtf8()) || lines[1].contains(photos[1].toUtf8()));
    EXPECT_TRUE(lines[3].endsWith(",3,,,Not deleted"));
    // Saving the same photos again adds no copies.
    SaveOnWorker(view, Out());
    EXPECT_LE(sub.entryList({"*.png"}, QDir::Files).size(), 4);
}

TEST(ContactPhotoNames, AreSafe) {
    EXPECT_EQ("12.._x.png", NSDirizaContactView::PhotoName(12, "../x").toStdString());
    EXPECT_EQ("5_.png", NSDirizaContactView::PhotoName(5, "\n").toStdString());
    EXPECT_LE(NSDirizaContactView::PhotoName(1, QString(300, QChar(0x4E2D))).toUtf8().size(), 200);
}

// ---- damaged input and bad folders ----

TEST_F(SystemTables, AnEmptyDeliveryShowsNothingFoundAndReportsZero) {
    NSDirizaCalendarView view;
    view.setDelegate(&delegate);
    view.StartUpdateUI();
    EXPECT_EQ("Scanning, please wait...", view.LoadingText());
    view.AddDirizaFile(QList<NSCalendarData>{});
    QCoreApplication::processEvents();
    view.UpdataUiFinish();
    EXPECT_EQ("Nothing was found.", view.LoadingText());
    EXPECT_EQ((std::vector<std::pair<int, qint64>>{{DirizaResultView::Calendar, 0}}), delegate.counts);
    EXPECT_FALSE(view.TimerRunning());
    view.AllSelect();
    EXPECT_EQ(DirizaSaveResult{}, SaveOnWorker(view, Out()));
}

TEST_F(SystemTables, LateDeliveriesAreDropped) {
    NSDirizaBookmarksView view;
    view.setDelegate(&delegate);
    view.StartUpdateUI();
    view.AddDirizaFile(QList<NSBookmarksData>{Bookmark("old scan")});
    view.StartUpdateUI(); // a new scan before the old delivery arrived
    QCoreApplication::processEvents();
    view.UpdataUiFinish();
    EXPECT_EQ(0, view.Frame().RecordCount());
    EXPECT_TRUE(delegate.counts.empty());
    view.AddDirizaFile(QList<NSBookmarksData>{Bookmark("stopped scan")});
    view.ClearData(); // the page was left
    QCoreApplication::processEvents();
    view.UpdataUiFinish();
    view.AddDirizaFile(QList<NSBookmarksData>{Bookmark("after clearing")});
    QCoreApplication::processEvents();
    view.UpdataUiFinish();
    EXPECT_EQ(0, view.Frame().RecordCount());
    EXPECT_TRUE(delegate.counts.empty());
}

TEST_F(SystemTables, LongAndUnusualTextsAreSavedWhole) {
    const QString longText = QString(10000, QChar(0x4E2D)) + QStringLiteral("😀");
    NSDirizaRemindersView view;
    Load(view, QList<NSRemindersData>{Note(longText, longText, -86400), Note(QString(), QString(), 0)});
    view.AllSelect();
    EXPECT_EQ((DirizaSaveResult{2, 0}), SaveOnWorker(view, Out()));
    const QByteArray file = ReadFile(OutFile("Notes.csv"));
    EXPECT_TRUE(
        file.contains(longText.toUtf8() + ",1969-12-31 00:00:00," + longText.toUtf8() + ",Not deleted\n"));
    EXPECT_TRUE(file.endsWith("\n,,,Not deleted\n"));
}

TEST_F(SystemTables, BadSaveFoldersFailTheirItemsAndWriteNothing) {
    NSDirizaCallLogView calls;
    Load(calls, QList<NSCallLogData>{Call("a", "1", 1), Call("b", "2", 2)});
    calls.AllSelect();
    NSDirizaContactView contacts;
    Load(contacts, QList<NSContactData>{Contact("a", "1", "", Qt::red)});
    contacts.AllSelect();

    // A folder that vanished.
    EXPECT_EQ((DirizaSaveResult{0, 2}), SaveOnWorker(calls, OutFile("gone")));
    EXPECT_EQ((DirizaSaveResult{0, 1}), SaveOnWorker(contacts, OutFile("gone")));
    EXPECT_FALSE(QFileInfo::exists(OutFile("gone")));

    // The CSV name taken by a folder: the folder stays, the file takes the next name.
    // The contacts' subfolder taken by a file: nothing can be written there.
    ASSERT_TRUE(QDir(Out()).mkdir("Call history.csv"));
    QFile taken(OutFile("Contacts"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    EXPECT_EQ((DirizaSaveResult{2, 0}), SaveOnWorker(calls, Out()));
    EXPECT_TRUE(QDir(OutFile("Call history.csv")).isEmpty());
    EXPECT_TRUE(QFileInfo(OutFile("Call history (2).csv")).isFile());
    EXPECT_EQ((DirizaSaveResult{0, 1}), SaveOnWorker(contacts, Out()));
    EXPECT_EQ(0, QFileInfo(OutFile("Contacts")).size());

    // A folder that cannot be written.
    const QString locked = OutFile("locked");
    ASSERT_TRUE(QDir(Out()).mkdir("locked"));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (!QFileInfo(locked).isWritable()) {
        EXPECT_EQ((DirizaSaveResult{0, 2}), SaveOnWorker(calls, locked));
        EXPECT_EQ((DirizaSaveResult{0, 1}), SaveOnWorker(contacts, locked));
        EXPECT_TRUE(QDir(locked).isEmpty());
    }
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// ---- look ----

TEST_F(SystemTables, EveryViewRendersInBothAppearances) {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(45, 46, 48));
    dark.setColor(QPalette::WindowText, Qt::white);
    std::vector<std::unique_ptr<SystemTableView>> views;
    views.push_back(std::make_unique<NSDirizaBookmarksView>());
    views.push_back(std::make_unique<NSDirizaContactView>());
    views.push_back(std::make_unique<NSDirizaCallLogView>());
    views.push_back(std::make_unique<NSDirizaRemindersView>());
    views.push_back(std::make_unique<NSDirizaMemoView>());
    views.push_back(std::make_unique<NSDirizaCalendarView>());
    Load(static_cast<NSDirizaBookmarksView&>(*views[0]), QList<NSBookmarksData>{Bookmark("a", "b", true)});
    Load(static_cast<NSDirizaContactView&>(*views[1]), QList<NSContactData>{Contact("a", "1", "e")});
    Load(static_cast<NSDirizaCallLogView&>(*views[2]), QList<NSCallLogData>{Call("a", "1", 5)});
    Load(static_cast<NSDirizaRemindersView&>(*views[3]), QList<NSRemindersData>{Note("a", "b")});
    Load(static_cast<NSDirizaMemoView&>(*views[4]), QList<NSMemoData>{Reminder("a", "b", "c", true)});
    Load(static_cast<NSDirizaCalendarView&>(*views[5]), QList<NSCalendarData>{Event("a", "b")});
    for (auto& v : views) {
        v->resize(700, 400);
        v->SelectRowEvent(0);
        for (bool isDark : {false, true}) {
            v->setPalette(isDark ? dark : QApplication::palette());
            const QImage shot = v->grab().toImage();
            ASSERT_FALSE(shot.isNull());
            const QColor base = v->Table()->palette().color(QPalette::Base);
            EXPECT_EQ(isDark ? QColor(33, 34, 35) : QColor(236, 236, 236), base) << v->DirizaType();
        }
    }
}

// The result tables draw a record's text in its own reading direction: in a right-to-left
// interface "Hello!" keeps its "!" at the end and "+49 30 1234567" its order, while the
// table keeps the interface's alignment.
class ExposedRowDelegate : public SystemRowDelegate {
  public:
    using SystemRowDelegate::initStyleOption;
};

TEST(SystemRowText, RecordTextsReadInTheirOwnDirection) {
    QStandardItemModel model(1, 2);
    model.setData(model.index(0, 1), QString::fromUtf8("Hello！"));
    ExposedRowDelegate delegate;
    QStyleOptionViewItem option;
    option.direction = Qt::RightToLeft;
    delegate.initStyleOption(&option, model.index(0, 1));
    EXPECT_EQ(Qt::RightToLeft, option.direction);
    EXPECT_EQ(QChar(0x2068) + QString::fromUtf8("Hello！") + QChar(0x2069), option.text);
    // Laid out in the right-to-left paragraph, the isolated text still ends with its "！".
    QTextLayout layout(option.text);
    QTextOption rtl;
    rtl.setTextDirection(Qt::RightToLeft);
    layout.setTextOption(rtl);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1000);
    layout.endLayout();
    const qreal afterH = line.cursorToX(2);                               // between "H" and "e"
    const qreal beforeBang = line.cursorToX(int(option.text.size()) - 2); // before "！"
    EXPECT_LT(afterH, beforeBang);
    // An empty cell stays empty.
    QStyleOptionViewItem empty;
    delegate.initStyleOption(&empty, model.index(0, 0));
    EXPECT_TRUE(empty.text.isEmpty());
}

} // namespace

SYSVIEWS_TEST_MAIN()
