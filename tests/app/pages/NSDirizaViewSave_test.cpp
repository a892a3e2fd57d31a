// The recovery page's save with fake views: the count line, stop from the button and
// from the panel's close button, failures in the final alert, the destination check,
// and quit during a save.
#include "app/recovery/ZZProgressView.h"
#include "tests/app/pages/PageFixture.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using pagetest::Files;
using pagetest::Selection;
using pagetest::WaitFor;

// Holds the save thread before an item until opened.
class Latch {
  public:
    void Arrive() {
        std::unique_lock<std::mutex> lock(mutex);
        arrived = true;
        cv.notify_all();
        cv.wait(lock, [&] { return open; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        cv.notify_all();
    }
    bool Arrived() {
        std::lock_guard<std::mutex> lock(mutex);
        return arrived;
    }

  private:
    std::mutex mutex;
    std::condition_variable cv;
    bool arrived = false, open = false;
};

QStringList FilesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

class SavePage : public pagetest::PageTest<kit::FakeDeviceManage> {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        out = root.path() + "/out";
        QDir().mkpath(out);
        // Five rows under two heads, each view holding two records; the scan ends.
        manager.SetScanScript([](ScanFileDelegate&, kit::FakeDeviceManage&) {});
        page->StartScan(pagetest::Device(), Selection({0, 1, 5, 6, 7}));
        ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
        for (int t : {0, 1, 5, 6, 7})
            fakes[size_t(t)]->AddDirizaFile(Files(2, QString("t%1").arg(t)));
    }
    void TearDown() override {
        latch->Open();
        PageTest::TearDown();
    }
    void HoldView(int type) {
        Latch* l = latch.get();
        fakes[size_t(type)]->beforeItem = [l](int) { l->Arrive(); };
    }
    bool FinalAlertShown() const {
        for (const QString& t : alerts.Texts())
            if (t.startsWith(SafeFormat(NSLanguageText::Text("DirizaSavePath"), {out}))) return true;
        return false;
    }

    QTemporaryDir root;
    QString out;
    std::unique_ptr<Latch> latch = std::make_unique<Latch>();
};

TEST_F(SavePage, ThreeTickedOfFiveRowsCountsToThreeOfThree) {
    page->TickRow(0, true);
    page->TickRow(5, true);
    page->TickRow(7, true);
    picker.QueueAnswer({out});
    page->DirizaAllButton()->click();
    ASSERT_EQ(picker.Requests().size(), 1);
    EXPECT_TRUE(picker.Requests()[0].chooseFolders);
    EXPECT_FALSE(picker.Requests()[0].chooseFiles);
    ASSERT_TRUE(WaitFor([&] { return FinalAlertShown(); }));
    EXPECT_FALSE(page->isSaving());
    EXPECT_EQ(page->FileNumShow()->text(), SafeFormat(NSLanguageText::Text("InRecovering"), {"3", "3"}));
    EXPECT_TRUE(page->SaveFileInfoWindow()->isHidden());
    EXPECT_EQ(FilesIn(out),
              QStringList({"t0 0.txt", "t0 1.txt", "t5 0.txt", "t5 1.txt", "t7 0.txt", "t7 1.txt"}));
    // Every listed view was asked, ticked or not; the panel's bar followed the items.
    for (int t : {0, 1, 5, 6, 7})
        EXPECT_EQ(CallsOf(t, "DirizaData"), 1) << t;
    EXPECT_EQ(page->SaveFileProgress()->maximum(), 2);
    EXPECT_TRUE(page->DirizaAllButton()->isEnabled());
    EXPECT_TRUE(page->BackHomeButton()->isEnabled());
    // "open" opens the folder.
    EXPECT_EQ(alerts.Alerts().last().alert.buttons,
              QStringList({NSLanguageText::Text("open"), NSLanguageText::Text("cancel")}));
    ASSERT_EQ(opener.Opened().size(), 1);
    EXPECT_EQ(opener.Opened()[0].toLocalFile(), out);
}

// "open" on a desktop without a program for folders tells the user where the files are.
TEST_F(SavePage, OpenWithoutADesktopOpenerSaysWhereTheFilesAre) {
    opener.result = false;
    page->TickRow(0, true);
    picker.QueueAnswer({out});
    page->DirizaAllButton()->click();
    ASSERT_TRUE(WaitFor([&] { return FinalAlertShown(); }));
    ASSERT_EQ(opener.Opened().size(), 1);
    ASSERT_GE(alerts.Alerts().size(), 2);
    EXPECT_EQ(alerts.Alerts().last().alert.informativeText,
              SafeFormat(NSLanguageText::Text("SavedFilesFolderTitle"), {QDir::toNativeSeparators(out)}));
    EXPECT_EQ(alerts.Alerts().last().alert.buttons, QStringList{NSLanguageText::Text("ok")});
}

TEST_F(SavePage, TheNameLineNamesTheLastRowWritten) {
    page->TickRow(1, true);
    picker.QueueAnswer({out});
    page->DirizaAllButton()->click();
    ASSERT_TRUE(WaitFor([&] { return FinalAlertShown(); }));
    // The system group comes first: the last row of the list is videos (type 1).
    const QString name =
        SafeFormat(NSLanguageText::Text("DirizaNum"), {NSLanguageText::Text("DataTypeVideo")});
    EXPECT_EQ(page->SaveFileNameText()->text(), SafeFormat(NSLanguageText::Text("Dirizaing"), {name}));
}

// While a type is written the name line names that type, not the one before it.
TEST_F(SavePage, TheNameLineNamesTheTypeBeingWritten) {
    page->TickRow(5, true);
    page->TickRow(6, true);
    HoldView(6);
    picker.QueueAnswer({out});
    page->DirizaAllButton()->click();
    ASSERT_TRUE(WaitFor([&] { return latch->Arrived(); }));
    QString name;
    for (const auto& r : page->TypeList().Rows())
        if (!r.isTypeHead && r.Type == 6) name = r.TypeName;
    ASSERT_FALSE(name.isEmpty());
    const QString expected = SafeFormat(NSLanguageText::Text("Dirizaing"),
                                        {SafeFormat(NSLanguageText::Text("DirizaNum"), {name})});
    EXPECT_TRUE(WaitFor([&] { return page->SaveFileNameText()->text() == expected; }))
        << page->SaveFileNameText()->text().toStdString();
    latch->Open();
    ASSERT_TRUE(WaitFor([&] { return FinalAlertShown(); }));
}

TEST_F(SavePage, StopMidSaveClosesThePanelAndHoldsTheButtonsUntilTheThreadEnds) {
    struct Case {
        const char* how;
        std::function<void(NSDirizaView&)> stop;
    } cases[] = {
        {"stop button", [](NSDirizaView& p) { p.StopSaveFileButton()->click(); }},
        {"close button", [](NSDirizaView& p) { p.SaveFileInfoWindow()->close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        latch->Open();
        latch = std::make_unique<Latch>();
        page->AllSelectDeviceNameEvent(true);
        HoldView(5);
        const int alertsBefore = int(alerts.Alerts().size());
        picker.QueueAnswer({out});
        page->DirizaAllButton()->click();
        ASSERT_TRUE(WaitFor([&] { return latch->Arrived(); }));
        EXPECT_FALSE(page->SaveFileInfoWindow()->isHidden());
        EXPECT_FALSE(page->DirizaAllButton()->isEnabled());
        EXPECT_FALSE(page->BackHomeButton()->isEnabled());
        c.stop(*page);
        EXPECT_TRUE(page->SaveFileInfoWindow()->isHidden());
        EXPECT_TRUE(page->isStopSave());
        // The view is still writing: neither a second save nor the way home yet.
        QTest::qWait(50);
        EXPECT_TRUE(page->isSaving());
        EXPECT_FALSE(page->DirizaAllButton()->isEnabled());
        EXPECT_FALSE(page->BackHomeButton()->isEnabled());
        latch->Open();
        ASSERT_TRUE(WaitFor([&] { return !page->isSaving(); }));
        EXPECT_TRUE(page->DirizaAllButton()->isEnabled());
        EXPECT_TRUE(page->BackHomeButton()->isEnabled());
        QTest::qWait(50);
        EXPECT_EQ(int(alerts.Alerts().size()), alertsBefore); // no final alert
        // The view stopped before its next item; rows after it were not asked.
        EXPECT_EQ(CallsOf(7, "DirizaData"), 0);
        fakes[5]->beforeItem = nullptr;
        for (const QString& f : FilesIn(out))
            QFile::remove(out + "/" + f);
    }
}

TEST_F(SavePage, FailedItemsAreReportedNotHidden) {
    page->TickRow(5, true);
    page->TickRow(6, true);
    fakes[6]->failEveryItem = true;
    picker.QueueAnswer({out});
    page->DirizaAllButton()->click();
    ASSERT_TRUE(WaitFor([&] { return FinalAlertShown(); }));
    EXPECT_TRUE(alerts.Texts().last().endsWith(SafeFormat(NSLanguageText::Text("DirizaSaveFailed"), {"2"})))
        << alerts.Texts().last().toStdString();
    EXPECT_EQ(FilesIn(out), QStringList({"t5 0.txt", "t5 1.txt"}));
}

// Files the backup does not hold are no failure of the save: the final alert says how
// many were not in the backup, apart from the items that could not be saved.
TEST_F(SavePage, FilesNotInTheBackupAreToldApart) {
    struct Case {
        bool fail5, missing6;
        QStringList lines;
    } cases[] = {
        {false, true, {SafeFormat(NSLanguageText::Text("DirizaSaveNotInBackup"), {"2"})}},
        {true,
         true,
         {SafeFormat(NSLanguageText::Text("DirizaSaveFailed"), {"2"}),
          SafeFormat(NSLanguageText::Text("DirizaSaveNotInBackup"), {"2"})}},
        {false, false, {}},
    };
    for (const Case& c : cases) {
        for (const QString& f : FilesIn(out))
            QFile::remove(out + "/" + f);
        page->TickRow(5, true);
        page->TickRow(6, true);
        fakes[5]->failEveryItem = c.fail5;
        fakes[6]->missingEveryItem = c.missing6;
        const int before = int(alerts.Texts().size());
        picker.QueueAnswer({out});
        page->DirizaAllButton()->click();
        ASSERT_TRUE(WaitFor([&] { return int(alerts.Texts().size()) > before && FinalAlertShown(); }));
        const QStringList lines = alerts.Texts().last().split('\n');
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(SafeFormat(NSLanguageText::Text("DirizaSavePath"), {out}), lines.first());
        EXPECT_EQ(c.lines, lines.mid(1)) << alerts.Texts().last().toStdString();
        ASSERT_TRUE(WaitFor([&] { return !page->isSaving(); }));
    }
    fakes[5]->failEveryItem = false;
    fakes[6]->missingEveryItem = false;
}

TEST_F(SavePage, DestinationTable) {
    page->AllSelectDeviceNameEvent(true);
    const QString backup = root.path() + "/backup";
    QDir().mkpath(backup + "/inner");
    manager.SetBackUpPath(backup);
    QFile file(root.path() + "/a file");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QDir().mkpath(root.path() + "/read-only");
    bool writable = true;
    page->setWritableProbe([&](const QString& f) { return writable && !f.endsWith("read-only"); });
    struct Case {
        const char* label;
        QString folder;
    } cases[] = {
        {"missing", root.path() + "/nowhere"},
        {"a regular file", root.path() + "/a file"},
        {"read-only", root.path() + "/read-only"},
        {"the backup", backup},
        {"inside the backup", backup + "/inner"},
        {"the backup through ..", root.path() + "/read-only/../backup"},
    };
    const auto before = kit::FolderSnapshot::Take(root.path().toStdString());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        picker.QueueAnswer({c.folder});
        page->DirizaAllButton()->click();
        EXPECT_FALSE(page->isSaving());
        EXPECT_EQ(alerts.Texts().last(), NSLanguageText::Text("DirizaSaveDestinationBad"));
        for (int t = 0; t < 15; ++t)
            EXPECT_EQ(CallsOf(t, "DirizaData"), 0);
    }
    EXPECT_EQ(kit::FolderSnapshot::Take(root.path().toStdString()).DiffFrom(before), "");
}

TEST_F(SavePage, NothingTickedAsksForNoFolder) {
    page->DirizaAllButton()->click();
    EXPECT_TRUE(picker.Requests().isEmpty());
    EXPECT_EQ(alerts.Texts().last(), NSLanguageText::Text("NoSelectFile"));
    // A cancelled chooser starts nothing.
    page->TickRow(0, true);
    page->DirizaAllButton()->click();
    EXPECT_EQ(picker.Requests().size(), 1);
    EXPECT_FALSE(page->isSaving());
}

TEST_F(SavePage, StopAndWaitDuringASaveReturnsAfterTheJoin) {
    page->AllSelectDeviceNameEvent(true);
    std::atomic<bool> viewReturned{false};
    fakes[0]->beforeItem = [&](int item) {
        latch->Arrive();
        if (item == 2) viewReturned = true;
    };
    picker.QueueAnswer({out});
    page->DirizaAllButton()->click();
    ASSERT_TRUE(WaitFor([&] { return latch->Arrived(); }));
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        latch->Open();
    });
    page->StopAndWait();
    EXPECT_FALSE(page->isSaving());
    EXPECT_TRUE(page->SaveFileInfoWindow()->isHidden());
    opener.join();
    QTest::qWait(50);
    // Stopped before the second item; no final alert after the quit.
    EXPECT_FALSE(viewReturned.load());
    EXPECT_FALSE(FinalAlertShown());
}

TEST_F(SavePage, DestroyingThePageMidSaveJoinsTheThread) {
    page->AllSelectDeviceNameEvent(true);
    HoldView(0);
    picker.QueueAnswer({out});
    page->DirizaAllButton()->click();
    ASSERT_TRUE(WaitFor([&] { return latch->Arrived(); }));
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        latch->Open();
    });
    page.reset();
    opener.join();
    QTest::qWait(20);
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
