// The whole road with the real device manager: a kit backup in the backups folder is
// chosen, two types are left out, the analysis and the scan run, the recovery page shows
// what a headless scan of the same backup finds, and the save writes the same files as
// the views fed with that headless scan, touching nothing outside the chosen folder.
// Both with the plain views and with the application's own result views, on both
// manifest generations.
#include "gui/NSLanguageText.h"
#include "app/pages/ApplicationResultViews.h"
#include "app/pages/NSDirizaView.h"
#include "app/pages/NSSelectDirizaFileTypeView.h"
#include "app/pages/NSiTunesView.h"
#include "app/pages/ViewController.h"
#include "app/recovery/ZZProgressView.h"
#include "platform/Paths.h"
#include "scan/DeviceManage.h"
#include "tests/app/pages/PageFixture.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/SampleBackup.h"
#include "tests/scan/RecordingScanReceiver.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <map>
#include <sstream>
#include <thread>
#include <typeinfo>

namespace {

// Sends what a headless scan delivered to another receiver, in the same order.
void Replay(const scantest::RecordingScanReceiver& r, ScanFileDelegate& to) {
    int wxBook = 0, wxChat = 0;
    for (const QString& m : r.Messages()) {
        if (m == "ScanContact") to.ScanContact(r.contacts);
        if (m == "ScanBookmarks") to.ScanBookmarks(r.bookmarks);
        if (m == "ScanCallLog") to.ScanCallLog(r.calls);
        if (m == "ScanSMS") to.ScanSMS(r.sms);
        if (m == "ScanMemo") to.ScanMemo(r.notes);
        if (m == "ScanCalendar") to.ScanCalendar(r.events);
        if (m == "ScanReminders") to.ScanReminders(r.reminders);
        if (m == "ScanPhoto") to.ScanPhoto(r.photos);
        if (m == "ScanVideo") to.ScanVideo(r.videos);
        if (m == "ScanMusic") to.ScanMusic(r.music);
        if (m == "ScanSMSAttachment") to.ScanSMSAttachment(r.smsAttachments.first, r.smsAttachments.second);
        if (m == "ScanWXAttachment") to.ScanWXAttachment(r.wxAttachments.first, r.wxAttachments.second);
        if (m == "ScanMemoAttachment")
            to.ScanMemoAttachment(r.noteAttachments.first, r.noteAttachments.second);
        if (m == "ScanWXAddressBook") {
            const auto& book = r.wxAddressBooks[wxBook++];
            to.ScanWXAddressBook(book ? &*book : nullptr);
        }
        if (m == "ScanWXChat") to.ScanWXChat(r.wxChats[wxChat++]);
    }
}

// Type -> count of every listed row.
std::map<int, int> Counts(const NSDirizaView& page) {
    std::map<int, int> counts;
    for (const auto& row : page.TypeList().Rows())
        if (!row.isTypeHead) counts[row.Type] = row.nNum;
    return counts;
}

bool AllCounted(const NSDirizaView& page, const QStringList& delivered) {
    // A type the scan delivered has its count once its view has shown the data.
    static const std::map<QString, int> typeOf = {
        {"ScanPhoto", 0},     {"ScanVideo", 1},     {"ScanSMSAttachment", 2}, {"ScanMemoAttachment", 3},
        {"ScanMusic", 4},     {"ScanSMS", 5},       {"ScanCallLog", 6},       {"ScanContact", 7},
        {"ScanBookmarks", 8}, {"ScanReminders", 9}, {"ScanMemo", 10},         {"ScanCalendar", 11},
    };
    const auto counts = Counts(page);
    for (const QString& m : delivered) {
        const auto t = typeOf.find(m);
        if (t == typeOf.end()) continue;
        const auto c = counts.find(t->second);
        if (c != counts.end() && c->second < 0) return false;
    }
    return true;
}

// Relative path -> size and content of every file under a folder.
std::map<std::string, std::pair<uint64_t, uint64_t>> Listing(const QString& folder) {
    std::map<std::string, std::pair<uint64_t, uint64_t>> out;
    for (const auto& [path, e] : kit::FolderSnapshot::Take(folder.toStdString()).entries)
        if (!e.isDirectory) out[path] = {e.size, e.contentHash};
    return out;
}

// The lines of a snapshot diff that are not additions inside `out` (or the time of `out`).
std::string ChangesOutside(const std::string& diff, const std::string& out) {
    std::istringstream in(diff);
    std::string line, rest;
    while (std::getline(in, line))
        if (line.rfind("added " + out + "/", 0) != 0 && line != "changed " + out) rest += line + "\n";
    return rest;
}

// The manifest generation, and whether the application's own result views are used.
class RecoveryEndToEnd : public ::testing::TestWithParam<std::tuple<kit::BackupBuilder::Generation, bool>> {};

TEST_P(RecoveryEndToEnd, BackupThroughScanToSave) {
    const auto [generation, ownViews] = GetParam();
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    // The page's views and the reference page's views, each from a factory of their own.
    ApplicationResultViews pageViews, referenceViews;
    QTemporaryDir support, cache, scratch, place, refPlace;
    Paths::SetApplicationSupport(support.path());
    const std::string udid = "00112233445566778899aabbccddeeff00112233";
    const std::filesystem::path folder = std::filesystem::path(Paths::BackupsFolder().toStdString()) / udid;
    kit::SampleBackup::Build(folder, generation, 1, scratch.path().toStdString());
    const auto backupBefore = kit::FolderSnapshot::Take(folder);

    // The chosen folder, with a neighbour that must stay as it is.
    const QString out = place.path() + "/out";
    QDir().mkpath(out);
    {
        QFile neighbour(place.path() + "/neighbour.txt");
        ASSERT_TRUE(neighbour.open(QIODevice::WriteOnly));
        neighbour.write("keep me\n");
    }
    const auto placeBefore = kit::FolderSnapshot::Take(place.path().toStdString());

    kit::FakeAlertPresenter alerts;
    kit::FakeFilePicker picker;
    kit::FakeOpener opener;
    DeviceManage::Services services;
    services.cacheFolder = cache.path();
    DeviceManage manager(services);
    {
        ViewController::Options options;
        if (ownViews) options.resultViews = pageViews.Factory();
        ViewController vc(manager, options);
        vc.resize(1100, 720);
        vc.show();
        auto* page = dynamic_cast<NSDirizaView*>(vc.RecoveryPage());
        ASSERT_NE(page, nullptr);
        // Without a factory the page makes the application's views itself.
        ApplicationResultViews expectedViews;
        for (int type = 0; type < DirizaResultView::TypeCount; ++type) {
            ASSERT_NE(page->ResultView(type), nullptr) << type;
            const auto expected = expectedViews.Factory()(type);
            ASSERT_NE(expected, nullptr) << type;
            EXPECT_EQ(typeid(*page->ResultView(type)), typeid(*expected)) << type;
        }
        vc.BackupButton()->click();
        ASSERT_EQ(vc.BackupPage()->Model().rowCount(), 1);
        vc.BackupPage()->SelectDeviceInfo(vc.BackupPage()->Model().At(0));
        auto* chooser = vc.BackupPage()->Chooser();
        chooser->TypeBox(1)->click(); // no videos
        chooser->TypeBox(8)->click(); // no bookmarks
        chooser->StartButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return vc.CurrentPage() == 3; }, 30000));

        // The scan runs on the page and ends there.
        ASSERT_TRUE(QTest::qWaitFor([&] { return page->DirizaAllButton()->isEnabled(); }, 60000));
        EXPECT_TRUE(page->ProgressView()->isHidden());
        EXPECT_EQ(page->ProgressValue(), 100);
        EXPECT_EQ(page->ProgressText(), NSLanguageText::Text("ScanComplete"));
        QStringList heads;
        for (const auto& row : page->TypeList().Rows())
            if (row.isTypeHead) heads << QString::number(row.Type);
        EXPECT_EQ(heads.join(","), "101,102");
        const auto counts = Counts(*page);
        EXPECT_EQ(counts.count(1), 0u);
        EXPECT_EQ(counts.count(8), 0u);
        EXPECT_EQ(counts.size(), 10u);

        // The same scan, headless.
        scantest::RecordingScanReceiver receiver;
        manager.setScanFileDelegate(&receiver);
        ASSERT_NE(page->ScannedDevice(), nullptr);
        manager.StartScan(page->ScannedDevice(), pagetest::Selection({0, 2, 3, 4, 5, 6, 7, 9, 10, 11}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.ended.load(); }, 60000));
        manager.WaitForTasks();
        manager.setScanFileDelegate(page);
        ASSERT_TRUE(QTest::qWaitFor([&] { return AllCounted(*page, receiver.Messages()); }, 10000));

        // What the views show after that scan, and what they save.
        kit::FakeDeviceManage quiet;
        NSDirizaView reference(quiet, ownViews ? referenceViews.Factory() : ResultViewFactory());
        reference.setWritableProbe([](const QString&) { return true; });
        reference.StartScan(pagetest::Device(), pagetest::Selection({0, 2, 3, 4, 5, 6, 7, 9, 10, 11}));
        std::thread replay([&] { Replay(receiver, reference); });
        replay.join();
        ASSERT_TRUE(QTest::qWaitFor([&] { return AllCounted(reference, receiver.Messages()); }, 10000));
        EXPECT_EQ(Counts(*page), Counts(reference));
        int records = 0;
        for (const auto& [type, n] : Counts(*page))
            records += std::max(0, n);
        EXPECT_GT(records, 20);

        // Tick everything and save through the chooser.
        page->DeviceNameButton()->click();
        picker.QueueAnswer({out});
        page->DirizaAllButton()->click();
        const QString done = SafeFormat(NSLanguageText::Text("DirizaSavePath"), {out});
        ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.Texts().contains(done); }, 60000))
            << alerts.Texts().join("|").toStdString();

        const QString refOut = refPlace.path();
        reference.AllSelectDeviceNameEvent(true);
        ASSERT_TRUE(reference.SaveRecoveryFile(refOut));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reference.isSaving(); }, 60000));

        const auto saved = Listing(out);
        EXPECT_FALSE(saved.empty());
        EXPECT_EQ(saved, Listing(refOut));
        manager.WaitForTasks();
    }
    EXPECT_EQ(kit::FolderSnapshot::Take(folder).DiffFrom(backupBefore), "");
    EXPECT_EQ(
        ChangesOutside(kit::FolderSnapshot::Take(place.path().toStdString()).DiffFrom(placeBefore), "out"),
        "");
    Paths::ResetOverrides();
}

INSTANTIATE_TEST_SUITE_P(GenerationsAndViews, RecoveryEndToEnd,
                         ::testing::Combine(::testing::Values(kit::BackupBuilder::Generation::Mbdb,
                                                              kit::BackupBuilder::Generation::ManifestDb),
                                            ::testing::Bool()));

} // namespace

KIT_QT_TEST_MAIN(QApplication)
