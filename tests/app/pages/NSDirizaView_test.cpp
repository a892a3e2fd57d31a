// The recovery page with fake views: the order of a scan start, the progress timer,
// result forwarding, the end of a scan, the way back home, the list's controls and ticks.
#include "gui/TableViewEvent.h"
#include "app/pages/NSDirizaNull.h"
#include "app/pages/NSDirizaTypeListCell.h"
#include "app/recovery/ZZProgressView.h"
#include "core/records/ScanDataType.h"
#include "scan/NSWXChatAccount.h"
#include "scan/NSWXChatRecordData.h"
#include "tests/app/pages/PageFixture.h"
#include "tests/kit/FakeAppearance.h"
#include "tests/kit/QtTestMain.h"
#include "views/system/NSDirizaBookmarksView.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>

#include <thread>

namespace {

using pagetest::Files;
using pagetest::Selection;
using pagetest::WaitFor;

QString PlainText(const QString& html) {
    QTextDocument doc;
    doc.setHtml(html);
    return doc.toPlainText();
}

class FlagPage : public pagetest::PageTest<pagetest::FlagManager> {};
class ScanPage : public pagetest::PageTest<kit::FakeDeviceManage> {
  protected:
    // Starts a scan that runs until stopped.
    void Start(const QStringList& selection) {
        manager.SetScanScript(kit::FakeDeviceManage::UntilStopped());
        page->StartScan(pagetest::Device(), selection);
        ASSERT_TRUE(WaitFor([&] { return manager.isScan(); }));
    }
    void EndScan() {
        manager.StopScan();
        ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
    }
};

TEST_F(FlagPage, ScanStartResetsProgressAndViewsBeforeTheScanRuns) {
    // A report that arrives while StartScan is still running belongs to the new scan.
    QStringList seenAtStart;
    manager.onStartScan = [&] {
        for (auto* v : fakes)
            seenAtStart << QString::number(v->Calls().count("StartUpdateUI"));
        manager.scanning = manager.running = true;
        manager.receiver.load()->Scanning(42, 100, "early report");
    };
    page->StartScan(pagetest::Device(), Selection({5, 6}));
    ASSERT_EQ(manager.scans, 1);
    EXPECT_EQ(seenAtStart.join(""), QString(15, '1'));
    EXPECT_FALSE(page->DropsDeliveries());
    page->UpdataSearchProgress();
    EXPECT_EQ(page->ProgressView()->Text(), "early report");
    EXPECT_DOUBLE_EQ(page->ProgressView()->getProgress(), 42);
    EXPECT_TRUE(page->ProgressTimerRunning());
    EXPECT_EQ(page->ShownType(), 17);
    EXPECT_FALSE(page->DirizaAllButton()->isEnabled());
    EXPECT_TRUE(page->BackHomeButton()->isEnabled());
    EXPECT_TRUE(page->StartScanBt()->isHidden());
    EXPECT_FALSE(page->PauseScanBt()->isHidden());
    EXPECT_FALSE(page->StopScanBt()->isHidden());
    EXPECT_EQ(page->DeviceNameButton()->text(), "Test Phone");
}

TEST_F(FlagPage, ProgressTimerTable) {
    page->StartScan(pagetest::Device(), Selection({5}));
    struct Case {
        bool scan, running;
        const char* text;
        double progress;
    } cases[] = {
        {true, true, "Reading", 30},
        {true, false, "StopRecover", 0},
        {false, true, "ScanComplete", 30},
        {false, false, "ScanStop", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        page->Scanning(30, 60, "Reading");
        manager.scanning = c.scan;
        manager.running = c.running;
        page->UpdataSearchProgress();
        const QString expected =
            QString(c.text) == "Reading" ? QString("Reading") : NSLanguageText::Text(c.text);
        EXPECT_EQ(page->ProgressView()->Text(), expected);
        EXPECT_DOUBLE_EQ(page->ProgressView()->getProgress(), c.progress);
        if (c.progress > 0) {
            EXPECT_DOUBLE_EQ(page->ProgressView()->getTotatProgress(), 60);
            EXPECT_NEAR(page->ProgressView()->FillWidth(), page->ProgressView()->width() / 2.0, 1.0);
        }
    }
    // A step without a total (chats) shows its text and leaves the bar as it was.
    manager.scanning = manager.running = true;
    page->Scanning(30, 60, "Half");
    page->UpdataSearchProgress();
    const int width = page->ProgressView()->FillWidth();
    page->Scanning(7, 0, "Chats");
    page->UpdataSearchProgress();
    EXPECT_EQ(page->ProgressView()->Text(), "Chats");
    EXPECT_EQ(page->ProgressView()->FillWidth(), width);
}

TEST_F(ScanPage, ResultsReachTheirViewsUnchanged) {
    Start(Selection({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}));
    struct Case {
        const char* message;
        int type;
        int count;
        std::function<void(ScanFileDelegate&)> send;
    } cases[] = {
        {"ScanPhoto", 0, 3, [](ScanFileDelegate& d) { d.ScanPhoto(Files(3)); }},
        {"ScanVideo", 1, 2, [](ScanFileDelegate& d) { d.ScanVideo(Files(2)); }},
        {"ScanSMSAttachment", 2, 3, [](ScanFileDelegate& d) { d.ScanSMSAttachment(Files(1), Files(2)); }},
        {"ScanMemoAttachment", 3, 4, [](ScanFileDelegate& d) { d.ScanMemoAttachment(Files(2), Files(2)); }},
        {"ScanMusic", 4, 1, [](ScanFileDelegate& d) { d.ScanMusic(Files(1)); }},
        {"ScanSMS", 5, 0, [](ScanFileDelegate& d) { d.ScanSMS({}); }},
        {"ScanCallLog", 6, 2, [](ScanFileDelegate& d) { d.ScanCallLog(QList<NSCallLogData>(2)); }},
        {"ScanContact", 7, 3, [](ScanFileDelegate& d) { d.ScanContact(QList<NSContactData>(3)); }},
        {"ScanBookmarks", 8, 1, [](ScanFileDelegate& d) { d.ScanBookmarks(QList<NSBookmarksData>(1)); }},
        {"ScanReminders", 9, 2, [](ScanFileDelegate& d) { d.ScanReminders(QList<NSMemoData>(2)); }},
        {"ScanMemo", 10, 4, [](ScanFileDelegate& d) { d.ScanMemo(QList<NSRemindersData>(4)); }},
        {"ScanCalendar", 11, 5, [](ScanFileDelegate& d) { d.ScanCalendar(QList<NSCalendarData>(5)); }},
        // No WeChat contacts at all arrives as null and is passed on as such.
        {"ScanWXAddressBook", 12, 0, [](ScanFileDelegate& d) { d.ScanWXAddressBook(nullptr); }},
        {"ScanWXChat", 13, 0, [](ScanFileDelegate& d) { d.ScanWXChat({}); }},
        {"ScanWXAttachment", 14, 2, [](ScanFileDelegate& d) { d.ScanWXAttachment(Files(1), Files(1)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::array<int, 15> before{};
        for (int t = 0; t < 15; ++t)
            before[size_t(t)] = CallsOf(t, "AddDirizaFile");
        std::thread scan([&] { c.send(*page); });
        scan.join();
        for (int t = 0; t < 15; ++t)
            EXPECT_EQ(CallsOf(t, "AddDirizaFile") - before[size_t(t)], t == c.type ? 1 : 0) << t;
        EXPECT_EQ(fakes[size_t(c.type)]->Calls().last(), QString("AddDirizaFile %1").arg(c.count));
    }
    // The counts come back and reach the rows.
    ASSERT_TRUE(WaitFor([&] {
        for (const auto& r : page->TypeList().Rows())
            if (r.Type == 0 && r.nNum != 3) return false;
        return true;
    }));
    EXPECT_EQ(page->ListModel().item(1)->text().toStdString(), // row 1: SMS, reported 0
              (NSLanguageText::Text("DataTypeSms") + "(0)").toStdString());
    EndScan();
}

TEST_F(ScanPage, ScanEndFromTheScanThreadEndsTheScanState) {
    // A scan that finds nothing still ends: bar and scan buttons go, save comes.
    manager.SetScanScript([](ScanFileDelegate& d, kit::FakeDeviceManage&) { d.Scanning(50, 100, "half"); });
    page->StartScan(pagetest::Device(), Selection({5, 7}));
    ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
    EXPECT_TRUE(page->StartScanBt()->isHidden());
    EXPECT_TRUE(page->PauseScanBt()->isHidden());
    EXPECT_TRUE(page->StopScanBt()->isHidden());
    EXPECT_TRUE(page->DirizaAllButton()->isEnabled());
    EXPECT_TRUE(page->BackHomeButton()->isEnabled());
    EXPECT_FALSE(page->ProgressTimerRunning());
    EXPECT_TRUE(page->StatusPage()->isScanComplete());
    EXPECT_EQ(page->ProgressValue(), 100);
    for (const auto& r : page->TypeList().Rows())
        EXPECT_EQ(r.nNum, -1) << r.Type;
}

// What a scan could not read is told once, when it ends, one line per data type and kind;
// a scan that lost nothing says nothing, and a later scan does not repeat the notice.
TEST_F(ScanPage, WhatTheScanCouldNotReadIsToldOnceAtTheEnd) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    manager.SetScanScript([](ScanFileDelegate& d, kit::FakeDeviceManage&) {
        d.ScanLosses({{ScanSms, ScanLoss::Kind::UnreadableRows, 3, ""},
                      {ScanCallHistory, ScanLoss::Kind::LogNotApplied, 0, ""},
                      {ScanWxChats, ScanLoss::Kind::LeftOut, 1200, ""},
                      {ScanNone, ScanLoss::Kind::FileChanged, 0, ""}});
    });
    const int before = alerts.Texts().size();
    page->StartScan(pagetest::Device(), Selection({5, 6}));
    ASSERT_TRUE(WaitFor([&] { return alerts.Texts().size() == before + 1; }));
    const QStringList lines = alerts.Texts().last().split(u'\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], NSLanguageText::Text("ScanLossTitle"));
    EXPECT_EQ(lines[1],
              SafeFormat(NSLanguageText::Text("ScanLossRows"), {NSLanguageText::Text("DataTypeSms"), "3"}));
    EXPECT_EQ(lines[2],
              SafeFormat(NSLanguageText::Text("ScanLossLog"), {NSLanguageText::Text("DataTypeCallHistory")}));
    EXPECT_EQ(lines[3], SafeFormat(NSLanguageText::Text("ScanLossLeftOut"),
                                   {NSLanguageText::Text("DataTypeWxSms"), "1200"}));
    EXPECT_EQ(lines[4], SafeFormat(NSLanguageText::Text("ScanLossFileChanged"),
                                   {NSLanguageText::Text("ScanLossBackup")}));
    EXPECT_TRUE(lines[1].contains("3"));

    manager.SetScanScript([](ScanFileDelegate& d, kit::FakeDeviceManage&) { d.ScanSMS({}); });
    page->StartScan(pagetest::Device(), Selection({5}));
    ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
    QApplication::processEvents();
    EXPECT_EQ(alerts.Texts().size(), before + 1);
}

TEST_F(ScanPage, PauseResumeAndStopWhilePaused) {
    Start(Selection({5}));
    page->PauseScanBt()->click();
    EXPECT_FALSE(page->StartScanBt()->isHidden());
    EXPECT_TRUE(page->PauseScanBt()->isHidden());
    EXPECT_FALSE(page->StopScanBt()->isHidden());
    page->StartScanBt()->click();
    page->PauseScanBt()->click();
    // Stop while paused ends the waiting scan without a resume.
    page->StopScanBt()->click();
    EXPECT_TRUE(page->StopScanBt()->isHidden());
    EXPECT_EQ(page->ProgressView()->FillWidth(), 0);
    ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
    EXPECT_EQ(manager.Calls().filter("SetPauseScan").join(","),
              "SetPauseScan 0,SetPauseScan 1,SetPauseScan 0");
    EXPECT_TRUE(manager.Calls().contains("StopScan"));
}

// A paused scan says paused on the bar (which rests where it was) and on the status
// page, also after a language change; resuming brings the scan's own text back.
TEST_F(ScanPage, APausedScanSaysPaused) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    Start(Selection({5}));
    page->Scanning(40, 100, "Reading messages");
    page->UpdataSearchProgress();
    const QString running = PlainText(page->StatusPage()->OperationHtml());
    EXPECT_EQ(page->ProgressView()->Text(), "Reading messages");

    page->PauseScanBt()->click();
    page->UpdataSearchProgress();
    EXPECT_TRUE(page->isScanPaused());
    EXPECT_EQ(page->ProgressView()->Text(), NSLanguageText::Text("ScanPaused"));
    EXPECT_DOUBLE_EQ(page->ProgressView()->getProgress(), 40);
    EXPECT_EQ(PlainText(page->StatusPage()->OperationHtml()), "1. " + NSLanguageText::Text("ScanPaused"));
    page->StatusPage()->setLanguage(NSLanguageText::English);
    EXPECT_EQ(PlainText(page->StatusPage()->OperationHtml()), "1. " + NSLanguageText::Text("ScanPaused"));

    page->StartScanBt()->click();
    page->UpdataSearchProgress();
    EXPECT_FALSE(page->isScanPaused());
    EXPECT_EQ(page->ProgressView()->Text(), "Reading messages");
    EXPECT_EQ(PlainText(page->StatusPage()->OperationHtml()), running);

    // Stopped while paused: the end says stopped, not paused.
    page->PauseScanBt()->click();
    page->StopScanBt()->click();
    EXPECT_FALSE(page->isScanPaused());
    ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
    page->StatusPage()->UpdateScanCompleteTimer();
    EXPECT_EQ(PlainText(page->StatusPage()->OperationHtml()), "1. " + NSLanguageText::Text("ScanStop"));
}

// A stopped scan says so on the status page, never shows the completed state, keeps the
// count of what arrived before the stop, and shows no "(0)" for a type whose parser the
// stop cut off (the scan still hands over its empty list).
TEST_F(ScanPage, StoppedScanSaysStoppedAndKeepsTheArrivedCounts) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    manager.SetScanScript([](ScanFileDelegate& d, kit::FakeDeviceManage& m) {
        d.ScanContact(QList<NSContactData>(3));
        kit::FakeDeviceManage::UntilStopped()(d, m);
        d.ScanSMS({});
    });
    page->StartScan(pagetest::Device(), Selection({5, 7}));
    auto countOf = [&](int type) {
        for (const auto& r : page->TypeList().Rows())
            if (!r.isTypeHead && r.Type == type) return r.nNum;
        return -2;
    };
    ASSERT_TRUE(WaitFor([&] { return countOf(7) == 3; }));
    page->StopScanBt()->click();
    ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
    ASSERT_TRUE(page->StatusPage()->isScanComplete());
    page->StatusPage()->UpdateScanCompleteTimer();
    EXPECT_TRUE(page->StatusPage()->isScanStopped());
    EXPECT_FALSE(page->StatusPage()->isWaiting());
    EXPECT_EQ(page->StatusPage()->TitleImageName(), "default_title");
    EXPECT_EQ(PlainText(page->StatusPage()->OperationHtml()), "1. " + NSLanguageText::Text("ScanStop"));
    EXPECT_EQ(countOf(7), 3);
    EXPECT_EQ(countOf(5), -1);
    EXPECT_EQ(CallsOf(5, "AddDirizaFile"), 1);
    // A language change keeps the stopped state.
    page->StatusPage()->setLanguage(NSLanguageText::English);
    EXPECT_EQ(PlainText(page->StatusPage()->OperationHtml()), "1. " + NSLanguageText::Text("ScanStop"));
    // The next scan that runs to its end is complete again.
    manager.SetScanScript([](ScanFileDelegate& d, kit::FakeDeviceManage&) { d.ScanSMS({}); });
    page->StartScan(pagetest::Device(), Selection({5, 7}));
    ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
    page->StatusPage()->UpdateScanCompleteTimer();
    EXPECT_FALSE(page->StatusPage()->isScanStopped());
    EXPECT_EQ(page->StatusPage()->TitleImageName(), "default_title2");
    EXPECT_EQ(PlainText(page->StatusPage()->OperationHtml()),
              "1. " + NSLanguageText::Text("CompleteScanText"));
    EXPECT_EQ(countOf(5), 0);
}

TEST_F(ScanPage, BackHomeCancelKeepsEverythingOkClearsAndDropsLateResults) {
    struct Receiver : RecoveryPageDelegate {
        int backs = 0;
        void BackHomeEvent() override { ++backs; }
    } receiver;
    page->setDelegate(&receiver);
    Start(Selection({0, 5}));
    page->ScanPhoto(Files(2));

    alerts.QueueResponse(IAlertPresenter::SecondButton);
    page->BackHomeButton()->click();
    EXPECT_EQ(receiver.backs, 0);
    EXPECT_EQ(page->TypeList().Rows().size(), 4u);
    EXPECT_EQ(CallsOf(0, "ClearData"), 0);
    EXPECT_TRUE(manager.isScan());
    EXPECT_EQ(alerts.Texts().last(), NSLanguageText::Text("SureGoHome"));

    alerts.QueueResponse(IAlertPresenter::FirstButton);
    page->BackHomeButton()->click();
    EXPECT_EQ(receiver.backs, 1);
    EXPECT_TRUE(page->TypeList().Rows().empty());
    EXPECT_EQ(page->ListModel().rowCount(), 0);
    for (int t = 0; t < 15; ++t)
        EXPECT_EQ(CallsOf(t, "ClearData"), 1) << t;
    EXPECT_TRUE(manager.Calls().contains("StopScan"));
    // The stopped scan's late results find the views cleared and leave them so.
    const int deliveries = CallsOf(0, "AddDirizaFile");
    std::thread late([&] {
        page->ScanPhoto(Files(5));
        page->Scanning(99, 100, "late");
    });
    late.join();
    EXPECT_EQ(CallsOf(0, "AddDirizaFile"), deliveries);
    EXPECT_TRUE(fakes[0]->Names().isEmpty());
    // The ScanEnd that follows still brings the page to the ended state.
    ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
    page->setDelegate(nullptr);
}

TEST_F(ScanPage, ProgressHammeredFromTheScanThreadWhileTheTimerRuns) {
    std::atomic<bool> go{true};
    manager.SetScanScript([&go](ScanFileDelegate& d, kit::FakeDeviceManage& m) {
        for (int i = 0; go.load() && m.isScanStop(); ++i)
            d.Scanning(i % 101, 100, QString("step %1").arg(i));
    });
    page->StartScan(pagetest::Device(), Selection({5}));
    QTest::qWait(400); // four ticks of the timer or so
    go = false;
    ASSERT_TRUE(WaitFor([&] { return page->ProgressView()->isHidden(); }));
    EXPECT_EQ(page->ProgressValue(), 100);
}

TEST_F(ScanPage, SwitchAndSearchFollowTheTypeAndTheScan) {
    Start(Selection({0, 5, 14, 16}));
    // While the scan runs both stay hidden, whatever is shown.
    page->SwitchThumbnailPreviewView(5);
    EXPECT_EQ(page->ShownType(), 5);
    EXPECT_TRUE(page->SelectShowDelete()->isHidden());
    EXPECT_TRUE(page->SearchKeyField()->isHidden());
    EndScan();
    struct Case {
        int type;
        bool showDeleted, search;
    } cases[] = {
        {0, false, true}, {5, true, true}, {14, false, true}, {16, false, false}, {17, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        page->SwitchThumbnailPreviewView(c.type);
        EXPECT_EQ(page->ShownType(), c.type);
        EXPECT_EQ(page->SelectShowDelete()->isHidden(), !c.showDeleted);
        EXPECT_EQ(page->SearchKeyField()->isHidden(), !c.search);
    }
    // The field and the switch act on the view shown, and come back with its state.
    page->SwitchThumbnailPreviewView(5);
    page->SearchKeyField()->setText("needle");
    QTest::keyClick(page->SearchKeyField(), Qt::Key_Return);
    EXPECT_EQ(fakes[5]->GetSearchKey(), "needle");
    page->SelectShowDelete()->click();
    EXPECT_TRUE(fakes[5]->GetShowDeleteFile());
    page->SwitchThumbnailPreviewView(0);
    EXPECT_EQ(page->SearchKeyField()->text(), "");
    page->SwitchThumbnailPreviewView(5);
    EXPECT_EQ(page->SearchKeyField()->text(), "needle");
    EXPECT_TRUE(page->SelectShowDelete()->isChecked());
    // Head rows and row 0 change nothing; a count for a type not listed neither.
    page->SelectTypeListEvent(0);
    EXPECT_EQ(page->ShownType(), 5);
    const auto rows = page->TypeList().Rows();
    page->UpdateDirizaFileNum(7, 12);
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(page->TypeList().Rows()[i].nNum, rows[i].nNum);
}

TEST_F(ScanPage, TicksReachTheViewsAndSurviveALanguageReload) {
    Start(Selection({0, 1, 5, 6}));
    for (int t : {0, 1, 5, 6})
        fakes[size_t(t)]->AddDirizaFile(Files(2));
    EndScan();
    // The head of the media group ticks its rows and selects its views.
    page->TickRow(DirizaTypeList::HeadMedia, true);
    EXPECT_TRUE(fakes[0]->isSelectData());
    EXPECT_TRUE(fakes[1]->isSelectData());
    EXPECT_FALSE(fakes[5]->isSelectData());
    EXPECT_FALSE(page->DeviceNameButton()->isChecked());
    // The last unticked row of the other group ticks its head and the device box.
    page->TickRow(5, true);
    page->TickRow(6, true);
    EXPECT_TRUE(page->DeviceNameButton()->isChecked());
    // A view reporting that not all of its records are ticked unticks row, head, box.
    page->ViewisAllSelect(6, false);
    EXPECT_FALSE(page->DeviceNameButton()->isChecked());

    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::German);
    page->setLanguage(NSLanguageText::German);
    const auto& rows = page->TypeList().Rows();
    for (int i = 0; i < page->ListModel().rowCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(page->ListModel().item(i)->data(NSDirizaTypeListCell::TickRole).toBool(),
                  rows[size_t(i)].ticked);
        EXPECT_EQ(page->ListModel().item(i)->text(), DirizaTypeList::RowText(rows[size_t(i)]));
    }
    EXPECT_TRUE(rows[1].ticked);  // type 5
    EXPECT_FALSE(rows[2].ticked); // type 6
    EXPECT_EQ(rows[1].TypeName, NSLanguageText::Text("DataTypeSms"));
    EXPECT_TRUE(fakes[0]->isSelectData());
    for (int t = 0; t < 15; ++t)
        EXPECT_EQ(CallsOf(t, "setLanguage 5"), 1) << t;
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);

    // The device box selects and clears every view.
    page->DeviceNameButton()->click();
    for (int t : {0, 1, 5, 6})
        EXPECT_TRUE(fakes[size_t(t)]->isSelectData()) << t;
    page->DeviceNameButton()->click();
    for (int t : {0, 1, 5, 6})
        EXPECT_FALSE(fakes[size_t(t)]->isSelectData()) << t;
}

TEST_F(ScanPage, ClickOnTheTickBoxOfARow) {
    Start(Selection({5, 6}));
    fakes[5]->AddDirizaFile(Files(1));
    EndScan();
    page->List()->resizeRowsToContents();
    const QRect row = page->List()->visualRect(page->ListModel().index(1, 0));
    const QPoint box = NSDirizaTypeListCell::BoxRect(row, false).center();
    QTest::mouseClick(page->List()->viewport(), Qt::LeftButton, {}, box);
    EXPECT_TRUE(page->TypeList().Rows()[1].ticked);
    EXPECT_TRUE(fakes[5]->isSelectData());
    // A click beside the box selects the row and shows its view instead.
    QTest::mouseClick(page->List()->viewport(), Qt::LeftButton, {}, row.center() + QPoint(40, 0));
    EXPECT_EQ(page->ShownType(), 5);
    EXPECT_TRUE(page->TypeList().Rows()[1].ticked);
}

// The picked type's row is filled with the tables' selection colour of the appearance,
// so its light text in the dark appearance stays readable.
TEST_F(ScanPage, ThePickedTypeRowIsFilledForTheAppearance) {
    Start(Selection({5, 6}));
    fakes[5]->AddDirizaFile(Files(1));
    EndScan();
    page->List()->resizeRowsToContents();
    const QRect row = page->List()->visualRect(page->ListModel().index(1, 0));
    QTest::mouseClick(page->List()->viewport(), Qt::LeftButton, {}, row.center() + QPoint(40, 0));
    ASSERT_EQ(page->ShownType(), 5);
    for (bool dark : {false, true}) {
        kit::FakeAppearance appearance(dark);
        const QImage image = page->List()->viewport()->grab().toImage();
        const QColor fill = image.pixelColor(row.right() - 2, row.center().y());
        EXPECT_EQ(fill, dark ? BDTableRowView::DarkSelection() : BDTableRowView::DefaultSelection()) << dark;
    }
}

// A row ticked before its data arrives (the device box during the scan) still means
// every record of that type: the data shown later is ticked too, so the save writes it.
TEST(RecoveryPageTicks, ARowTickedBeforeItsDataArrivesSelectsTheArrivedRecords) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    pagetest::FlagManager manager;
    NSDirizaView page(manager, [](int type) -> std::unique_ptr<DirizaResultView> {
        if (type == DirizaResultView::Bookmarks) return std::make_unique<NSDirizaBookmarksView>();
        return std::make_unique<kit::FakeResultView>(type);
    });
    manager.scanning = true;
    manager.running = true;
    page.StartScan(pagetest::Device(), Selection({5, 8}));
    page.AllSelectDeviceNameEvent(true);
    auto row = [&](int type) {
        for (const auto& r : page.TypeList().Rows())
            if (!r.isTypeHead && r.Type == type) return r;
        return NSSelectDirizaTypeListData{};
    };
    ASSERT_TRUE(row(8).ticked);

    QList<NSBookmarksData> bookmarks(2);
    bookmarks[0].setBookMarks(QStringLiteral("News"));
    bookmarks[1].setBookMarks(QStringLiteral("Mail"));
    std::thread scan([&] { page.ScanBookmarks(bookmarks); });
    scan.join();
    ASSERT_TRUE(WaitFor([&] { return row(8).nNum == 2; }));

    EXPECT_TRUE(row(8).ticked);
    EXPECT_TRUE(page.DeviceNameButton()->isChecked());
    EXPECT_TRUE(page.ResultView(DirizaResultView::Bookmarks)->isSelectData());
    // A row the user left unticked stays so when its data arrives.
    page.TickRow(5, false);
    std::thread sms([&] { page.ScanSMS({}); });
    sms.join();
    ASSERT_TRUE(WaitFor([&] { return row(5).nNum == 0; }));
    EXPECT_FALSE(row(5).ticked);
    EXPECT_FALSE(page.ResultView(DirizaResultView::SMS)->isSelectData());
    manager.scanning = false;
    manager.running = false;
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
