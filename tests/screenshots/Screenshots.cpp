// Renders every page and window offscreen and writes them as PNG files into a folder
// (default build/screenshots), with fake devices and small generated backups.
#include "gui/NSLanguageText.h"
#include "app/pages/AppDelegate.h"
#include "app/pages/MainWindow.h"
#include "app/pages/NSBackUpView.h"
#include "app/pages/NSDeviceLinkView.h"
#include "app/pages/NSDirizaNull.h"
#include "app/pages/NSDirizaView.h"
#include "app/pages/ApplicationResultViews.h"
#include "app/pages/NSGuideView.h"
#include "app/pages/NSWindowsAbout.h"
#include "app/pages/NSiTunesView.h"
#include "app/pages/ViewController.h"
#include "media/AudioPreView.h"
#include "media/MediaWorkFolder.h"
#include "media/PhotoPreView.h"
#include "media/TxtPreView.h"
#include "media/VideoPreView.h"
#include "platform/Paths.h"
#include "scan/DeviceManage.h"
#include "scan/ScanFileDelegate.h"
#include "scan/DeviceScanManager.h"
#include "views/media/ChatResultViews.h"
#include "views/media/NSDirizaAttachmentView.h"
#include "services/NSDownloadPackageView.h"
#include "services/NSPermissionsWindow.h"
#include "services/NSWindowControllerCheckUpdateApp.h"
#include "services/NSWindowControllerFeedback.h"
#include "services/NSWindowControllerNewFeedback.h"
#include "views/chat/NSDirizaWXAddressBookView.h"
#include "views/chat/NSDirizaWXChatRecordView.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/FakeDeviceManage.h"
#include "tests/kit/FakeMediaPlayer.h"
#include "tests/kit/FakePcmSink.h"
#include "tests/kit/FakePreviewService.h"
#include "tests/kit/QtWeChatRecords.h"
#include "tests/kit/QtTestHome.h"
#include "tests/kit/SampleBackup.h"
#include "tests/scan/RecordingBackUp.h"
#include "views/system/NSDirizaBookmarksView.h"
#include "views/system/NSDirizaCalendarView.h"
#include "views/system/NSDirizaCallLogView.h"
#include "views/system/NSDirizaContactView.h"
#include "views/system/NSDirizaMemoView.h"
#include "gui/TableViewEvent.h"
#include "views/system/NSDirizaRemindersView.h"
#include "views/system/NSDirizaSMSView.h"
#include "scan/DeviceScanManager.h"
#include "tests/kit/FakePreviewService.h"
#include "tests/kit/FakeVoiceConverter.h"
#include "tests/kit/QtTestHome.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>
#include <QTreeView>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace {

QString outFolder;
int written = 0;

void Settle() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QTest::qWait(10);
    }
}

void Save(QWidget* w, const QString& name) {
    w->show();
    Settle();
    const QString path = QDir(outFolder).filePath(name + QStringLiteral(".png"));
    if (w->window()->grab().save(path)) {
        ++written;
        std::printf("%s\n", path.toLocal8Bit().constData());
    } else {
        std::fprintf(stderr, "could not write %s\n", path.toLocal8Bit().constData());
    }
}

QPalette DarkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 46, 48));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(33, 34, 35));
    p.setColor(QPalette::AlternateBase, QColor(50, 52, 54));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Button, QColor(60, 62, 64));
    p.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    p.setColor(QPalette::Highlight, QColor(4, 151, 232));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    return p;
}

void SetLanguage(int language) {
    NSLanguageText::shareInstance()->setLanguage(language);
    QGuiApplication::setLayoutDirection(language == NSLanguageText::Arabic ? Qt::RightToLeft
                                                                           : Qt::LeftToRight);
}

std::shared_ptr<DeviceInfo> Device() {
    auto d = std::make_shared<DeviceInfo>();
    d->SaveDeviceInfo(QStringLiteral("Lena's iPhone"), QStringLiteral("00008030-001A2B3C4D5E6F70"),
                      QStringLiteral("F2LXK0ABCD12"), QStringLiteral("iPhone12,1"), DeviceRef(),
                      QStringLiteral("14.2"));
    return d;
}

void WriteBackups(const QString& root) {
    struct B {
        const char* udid;
        const char* name;
        const char* product;
        kit::BackupBuilder::Generation generation;
    } backups[] = {
        {"0123456789abcdef0123456789abcdef01234567", "Lena's iPhone", "iPhone12,1",
         kit::BackupBuilder::Generation::ManifestDb},
        {"89abcdef0123456789abcdef0123456789abcdef", "Family iPad", "iPad8,10",
         kit::BackupBuilder::Generation::ManifestDb},
        {"fedcba9876543210fedcba9876543210fedcba98", "Old iPhone", "iPhone8,4",
         kit::BackupBuilder::Generation::Mbdb},
    };
    for (const B& b : backups) {
        kit::BackupBuilder builder(std::filesystem::path(root.toStdString()) / b.udid, b.generation);
        builder.SetDevice(b.name, b.udid, "SERIAL-" + std::string(b.udid).substr(0, 6), b.product);
        builder.Finish();
    }
}

void MainPages(kit::FakeDeviceManage& manager, const QString& suffix, bool all) {
    ViewController vc(manager, {});
    vc.resize(1000, 720);
    Save(&vc, QStringLiteral("main-waiting") + suffix);
    if (!all) return;
    vc.AddDevice(Device());
    Save(&vc, QStringLiteral("main-device-chooser") + suffix);
    vc.BackupButton()->click();
    Save(&vc, QStringLiteral("main-backup-list") + suffix);
    vc.BackupPage()->SelectDeviceInfo(vc.BackupPage()->Model().At(0));
    Save(&vc, QStringLiteral("main-backup-chooser") + suffix);
    vc.SwitchView(2);
    vc.ProgressPage()->StartBackUp(Device(), QStringList());
    vc.ProgressPage()->UpdateProgreImageView();
    vc.ProgressPage()->UpdateProgreImageView();
    vc.ProgressPage()->UpdateProgreImageView();
    Save(&vc, QStringLiteral("main-progress-device") + suffix);
    vc.ProgressPage()->StartAnalyze(Device(), QStringList());
    vc.ProgressPage()->ProgressBar()->setValue(40);
    Save(&vc, QStringLiteral("main-progress-backup") + suffix);
}

QList<NSDeletedFile> SampleFiles(const QString& stem, int n) {
    QList<NSDeletedFile> files;
    for (int i = 0; i < n; ++i) {
        NSDeletedFile f;
        f.setFileName(QStringLiteral("%1_%2.jpg").arg(stem).arg(1000 + i));
        f.setDeleteMark(i % 4 == 0);
        files << f;
    }
    return files;
}

// The recovery page: scanning, ended with counts, a result view, and the save panel.
// A scan the user stopped: the status pane says so, the counts of what arrived stay.
void RecoveryStopped(kit::FakeDeviceManage& manager, const QString& suffix) {
    ApplicationResultViews views;
    ViewController::Options options;
    options.resultViews = views.Factory();
    ViewController vc(manager, std::move(options));
    vc.resize(1100, 820);
    auto* page = dynamic_cast<NSDirizaView*>(vc.RecoveryPage());
    if (!page) return;
    vc.SwitchView(3);
    manager.SetScanScript([](ScanFileDelegate& d, kit::FakeDeviceManage& m) {
        QList<NSContactData> contacts;
        for (const char* name : {"Anna Berg", "Marc Olsen", "Mum"}) {
            NSContactData c;
            c.setName(QString::fromLatin1(name));
            contacts << c;
        }
        d.ScanContact(contacts);
        kit::FakeDeviceManage::UntilStopped()(d, m);
        // What the scan still hands over after the stop: the lists of the parsers it skipped.
        d.ScanSMS({});
        d.ScanCallLog({});
    });
    QStringList selection;
    for (int t = 0; t < 17; ++t)
        selection << QString::fromLatin1(t == 5 || t == 6 || t == 7 ? "1" : "0");
    page->StartScan(Device(), selection);
    QTest::qWaitFor([&] { return manager.isScan(); }, 2000);
    QTest::qWait(1300); // the contacts view reports its count
    page->StopScanBt()->click();
    QTest::qWaitFor([&] { return page->DirizaAllButton()->isEnabled(); }, 3000);
    QTest::qWait(1300); // the views' and the status pane's one-second timers
    page->StatusPage()->UpdateScanCompleteTimer();
    Save(&vc, QStringLiteral("recovery-stopped") + suffix);
    manager.SetScanScript({});
    page->ClearData();
}

void RecoveryPages(kit::FakeDeviceManage& manager, const QString& suffix) {
    // With the application's own result views.
    ApplicationResultViews views;
    ViewController::Options options;
    options.resultViews = views.Factory();
    ViewController vc(manager, std::move(options));
    vc.resize(1100, 820);
    auto* page = dynamic_cast<NSDirizaView*>(vc.RecoveryPage());
    if (!page) return;
    vc.SwitchView(3);
    manager.SetScanScript(kit::FakeDeviceManage::UntilStopped());
    QStringList selection;
    for (int t = 0; t < 17; ++t)
        selection << QString::fromLatin1(t <= 11 && t != 3 ? "1" : "0");
    page->StartScan(Device(), selection);
    QTest::qWaitFor([&] { return manager.isScan(); }, 2000);
    page->Scanning(46, 100,
                   SafeFormat(LanguageText("PROGRESSTXT_SMS"), {})
                       .replace("%1", "2")
                       .replace("%2", "7")
                       .replace("%3", "46"));
    page->UpdataSearchProgress();
    Save(&vc, QStringLiteral("recovery-scanning") + suffix);

    // Results arrive; the scan ends and the views report their counts.
    page->ScanPhoto(SampleFiles(QStringLiteral("IMG"), 24));
    page->ScanVideo(SampleFiles(QStringLiteral("MOV"), 3));
    page->ScanSMSAttachment(SampleFiles(QStringLiteral("att"), 5), {});
    page->ScanMusic({});
    QList<NSCallLogData> calls;
    const char* const names[] = {"Anna Berg", "Marc Olsen", "Dr. Weiss", "Pizza Roma", "Mum", "Unknown"};
    for (int i = 0; i < 12; ++i) {
        NSCallLogData c;
        c.setName(QString::fromLatin1(names[i % 6]));
        c.setPhone(QStringLiteral("+49 170 555 %1").arg(1200 + i * 37));
        c.setLDataTime(1700000000 + i * 86400);
        c.setLDuration(30 + i * 17);
        c.setBDelete(i % 5 == 0);
        calls << c;
    }
    page->ScanCallLog(calls);
    QList<NSContactData> contacts;
    for (int i = 0; i < 6; ++i) {
        NSContactData c;
        c.setName(QString::fromLatin1(names[i]));
        contacts << c;
    }
    page->ScanContact(contacts);
    page->ScanSMS({});
    page->ScanBookmarks({});
    page->ScanReminders({});
    page->ScanMemo({});
    page->ScanCalendar({});
    manager.StopScan();
    manager.SetScanScript({});
    QTest::qWaitFor([&] { return page->DirizaAllButton()->isEnabled(); }, 3000);
    QTest::qWait(1300); // the views' one-second timers report the counts
    page->TickRow(0, true);
    Save(&vc, QStringLiteral("recovery-ended") + suffix);
    page->SwitchThumbnailPreviewView(6);
    page->TickRow(6, true);
    Save(&vc, QStringLiteral("recovery-calllog") + suffix);

    // The save panel as it shows while the second kind of data is written.
    page->SaveFileNameText()->setText(
        SafeFormat(LanguageText("Dirizaing"),
                   {SafeFormat(LanguageText("DirizaNum"), {LanguageText("DataTypeCallHistory")})}));
    page->FileNumShow()->setText(
        SafeFormat(LanguageText("InRecovering"), {QStringLiteral("1"), QStringLiteral("2")}));
    page->SaveFileProgress()->setRange(0, 12);
    page->SaveFileProgress()->setValue(5);
    page->StopSaveFileButton()->setEnabled(true);
    Save(page->SaveFileInfoWindow(), QStringLiteral("recovery-save-panel") + suffix);
    page->SaveFileInfoWindow()->hide();
    page->ClearData();
}

// Hands every delivery of a scan to the result views (each takes its own type).
class ViewFeeder : public ScanFileDelegate {
  public:
    explicit ViewFeeder(std::vector<DirizaResultView*> views) : views_(std::move(views)) {}
    void ScanContact(const QList<NSContactData>& v) override { Feed(v); }
    void ScanBookmarks(const QList<NSBookmarksData>& v) override { Feed(v); }
    void ScanCallLog(const QList<NSCallLogData>& v) override { Feed(v); }
    void ScanMemo(const QList<NSRemindersData>& v) override { Feed(v); }
    void ScanCalendar(const QList<NSCalendarData>& v) override { Feed(v); }
    void ScanReminders(const QList<NSMemoData>& v) override { Feed(v); }
    void ScanEnd() override { ended = true; }
    std::atomic<bool> ended{false};

  private:
    template <typename List> void Feed(const List& list) {
        for (DirizaResultView* v : views_)
            v->AddDirizaFile(list);
    }
    std::vector<DirizaResultView*> views_;
};

// The system result tables, filled by a headless scan of the kit's sample backup, in
// both appearances, with the first row picked and ticked.
void SystemResultViews(const QPalette& light) {
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/backup");
    kit::SampleBackup::Build(folder.toStdString(), kit::BackupBuilder::Generation::ManifestDb, 1,
                             (dir.path() + QStringLiteral("/scratch")).toStdString());
    NSDirizaBookmarksView bookmarks;
    NSDirizaContactView contacts;
    NSDirizaCallLogView calls;
    NSDirizaRemindersView notes;
    NSDirizaMemoView reminders;
    NSDirizaCalendarView calendar;
    const std::vector<std::pair<SystemTableView*, const char*>> views = {
        {&bookmarks, "bookmarks"}, {&contacts, "contacts"},   {&calls, "call-log"},
        {&notes, "notes"},         {&reminders, "reminders"}, {&calendar, "calendar"}};
    std::vector<DirizaResultView*> targets;
    for (const auto& v : views) {
        v.first->StartUpdateUI();
        targets.push_back(v.first);
    }
    ViewFeeder feeder(targets);
    scantest::RecordingBackUp backUp;
    DeviceScanManager bridge;
    DeviceManage::Services services;
    services.scanBridge = &bridge;
    services.cacheFolder = dir.path() + QStringLiteral("/cache");
    DeviceManage hub(std::move(services));
    hub.setBackUpdelegate(&backUp);
    hub.setScanFileDelegate(&feeder);
    auto device = std::make_shared<DeviceInfo>();
    device->SaveDeviceInfo(QStringLiteral("Backup"), QStringLiteral("00008030-001a2b3c4d5e6f70"), QString(),
                           QString(), DeviceRef{}, QString());
    device->SetBackUpPath(folder);
    hub.StartAnalyze(device);
    if (!QTest::qWaitFor([&] { return backUp.Ended(); }, 30000))
        std::fprintf(stderr, "the sample backup was not read\n");
    // Call log, contacts, bookmarks, reminders, notes, calendar.
    QStringList selection;
    for (int i = 0; i < 15; ++i)
        selection << (i >= 6 && i <= 11 ? QStringLiteral("1") : QStringLiteral("0"));
    selection << QStringLiteral("0") << QStringLiteral("0");
    hub.StartScan(device, selection);
    if (!QTest::qWaitFor([&] { return feeder.ended.load(); }, 60000))
        std::fprintf(stderr, "the sample scan did not end\n");
    hub.WaitForTasks();
    hub.setScanFileDelegate(nullptr);
    Settle();
    for (const auto& v : views) {
        v.first->UpdataUiFinish();
        v.first->resize(900, 480);
        v.first->TickRecord(0, true);
        v.first->Table()->selectRow(0);
        for (bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            Save(v.first,
                 QStringLiteral("system-%1-%2")
                     .arg(QLatin1String(v.second), dark ? QStringLiteral("dark") : QStringLiteral("light")));
        }
        v.first->hide();
    }
    QApplication::setPalette(light);
}

// The SMS conversations of the kit's sample backup, through a scan without windows.
QMap<QString, NSSMSHeadData> SampleSms() {
    struct Receiver : BackUpDelegate, ScanFileDelegate {
        void AnalyzeFinish() override { analyzed = true; }
        void BackUpLoser() override { failed = true; }
        void ScanSMS(const QMap<QString, NSSMSHeadData>& conversations) override {
            std::lock_guard<std::mutex> lock(mutex);
            sms = conversations;
        }
        void ScanEnd() override { ended = true; }
        std::atomic<bool> analyzed{false}, failed{false}, ended{false};
        std::mutex mutex;
        QMap<QString, NSSMSHeadData> sms;
    } receiver;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("backup"));
    kit::SampleBackup::Build(folder.toStdString(), kit::BackupBuilder::Generation::ManifestDb, 3,
                             dir.filePath(QStringLiteral("scratch")).toStdString());
    DeviceScanManager bridge;
    DeviceManage::Services services;
    services.scanBridge = &bridge;
    services.cacheFolder = dir.filePath(QStringLiteral("cache"));
    DeviceManage hub(std::move(services));
    hub.setBackUpdelegate(&receiver);
    hub.setScanFileDelegate(&receiver);
    auto device = std::make_shared<DeviceInfo>();
    device->SaveDeviceInfo(QStringLiteral("Backup"), QStringLiteral("00008030-001a2b3c4d5e6f70"), QString(),
                           QString(), DeviceRef{}, QString());
    device->SetBackUpPath(folder);
    hub.StartAnalyze(device);
    const bool analyzed =
        QTest::qWaitFor([&] { return receiver.analyzed.load() || receiver.failed.load(); }, 30000);
    if (analyzed && receiver.analyzed.load()) {
        // SMS only (the scan reads the contacts too, for the names).
        QStringList selection;
        for (int i = 0; i < 17; ++i)
            selection << (i == 5 ? QStringLiteral("1") : QStringLiteral("0"));
        hub.StartScan(device, selection);
        if (!QTest::qWaitFor([&] { return receiver.ended.load(); }, 60000))
            std::fprintf(stderr, "the sample scan did not end\n");
    }
    hub.WaitForTasks();
    hub.setScanFileDelegate(nullptr);
    hub.setBackUpdelegate(nullptr);
    std::lock_guard<std::mutex> lock(receiver.mutex);
    return receiver.sms;
}

void SmsView(const QMap<QString, NSSMSHeadData>& sms, const QString& suffix) {
    NSDirizaSMSView view;
    view.resize(1000, 600);
    view.StartUpdateUI();
    view.AddDirizaFile(sms);
    QCoreApplication::processEvents();
    view.UpdataUiFinish();
    view.show();
    Settle();
    if (view.ConversationModel().rowCount() > 1) {
        view.SelectSMSData(view.KeyAtRow(1));
        view.PhoneList()->setCurrentIndex(view.ConversationModel().index(1, 1));
    }
    Save(&view, QStringLiteral("result-sms") + suffix);
}

// The media of the kit's sample backup as a scan delivers it.
struct MediaScan : ScanFileDelegate, BackUpDelegate {
    std::mutex mutex;
    QList<NSDeletedFile> photos, videos, music;
    QList<NSDeletedFile> attachments[3][2]; // SMS, notes, WeChat: photos, media
    std::atomic<bool> analysed{false}, ended{false};
    void AnalyzeFinish() override { analysed = true; }
    void BackUpLoser() override { analysed = true; }
    void ScanPhoto(const QList<NSDeletedFile>& f) override {
        std::lock_guard<std::mutex> l(mutex);
        photos = f;
    }
    void ScanVideo(const QList<NSDeletedFile>& f) override {
        std::lock_guard<std::mutex> l(mutex);
        videos = f;
    }
    void ScanMusic(const QList<NSDeletedFile>& f) override {
        std::lock_guard<std::mutex> l(mutex);
        music = f;
    }
    void ScanSMSAttachment(const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) override {
        Keep(0, p, m);
    }
    void ScanMemoAttachment(const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) override {
        Keep(1, p, m);
    }
    void ScanWXAttachment(const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) override {
        Keep(2, p, m);
    }
    void ScanEnd() override { ended = true; }
    void Keep(int i, const QList<NSDeletedFile>& p, const QList<NSDeletedFile>& m) {
        std::lock_guard<std::mutex> l(mutex);
        attachments[i][0] = p;
        attachments[i][1] = m;
    }
};

bool WaitFor(const std::atomic<bool>& flag) {
    for (int i = 0; i < 6000 && !flag.load(); ++i) {
        QCoreApplication::processEvents();
        QTest::qWait(10);
    }
    return flag.load();
}

// A few real pictures beside the sample's stand-in files, so that thumbnails show.
QList<NSDeletedFile> Pictures(const QString& folder) {
    QList<NSDeletedFile> out;
    const QColor colors[] = {QColor(231, 111, 81), QColor(42, 157, 143), QColor(233, 196, 106),
                             QColor(38, 70, 83), QColor(144, 190, 109)};
    QDir().mkpath(folder + "/pics");
    for (int i = 0; i < 5; ++i) {
        QImage image(i % 2 ? 240 : 160, i % 2 ? 160 : 240, QImage::Format_RGB32);
        image.fill(colors[i]);
        QPainter p(&image);
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawEllipse(image.rect().center(), 30, 30);
        p.end();
        const QString stored = QStringLiteral("pics/%1").arg(i);
        image.save(folder + "/" + stored, "PNG");
        NSDeletedFile f;
        f.setFileName(QStringLiteral("IMG_%1.png").arg(1000 + i));
        f.setBackUpPath(folder + "/");
        f.setSHA1(stored);
        f.setSuffix(QStringLiteral("*.png;"));
        const QDateTime t(QDate(2020, 1, 1 + i / 2), QTime(12, 0));
        f.setMtime(t);
        f.setAtime(t);
        f.setCtime(t);
        out << f;
    }
    return out;
}

void MediaViews(const QPalette& light) {
    const QString root = QDir::tempPath() + "/diriza-screenshots-media";
    QDir(root).removeRecursively();
    const kit::SampleBackup sample =
        kit::SampleBackup::Build((root + "/backup").toStdString(), kit::BackupBuilder::Generation::ManifestDb,
                                 3, (root + "/scratch").toStdString());
    (void)sample;
    MediaScan scan;
    {
        DeviceScanManager bridge;
        DeviceManage::Services services;
        services.scanBridge = &bridge;
        services.cacheFolder = root + "/cache";
        DeviceManage hub(std::move(services));
        hub.setBackUpdelegate(&scan);
        hub.setScanFileDelegate(&scan);
        auto device = std::make_shared<DeviceInfo>();
        device->SaveDeviceInfo("Backup", "00008030-001a2b3c4d5e6f70", "", "", DeviceRef{}, "");
        device->SetBackUpPath(root + "/backup");
        hub.StartAnalyze(device);
        if (!WaitFor(scan.analysed)) std::fprintf(stderr, "media: analysis did not end\n");
        QStringList selection;
        for (int i = 0; i < 17; ++i)
            selection << (i <= 4 || i == 14 ? "1" : "0");
        hub.StartScan(device, selection);
        if (!WaitFor(scan.ended)) std::fprintf(stderr, "media: scan did not end\n");
        hub.WaitForTasks();
        hub.setScanFileDelegate(nullptr);
        hub.setBackUpdelegate(nullptr);
    }
    const QList<NSDeletedFile> photos = Pictures(root) + scan.photos;
    kit::FakePreviewService preview;
    kit::FakeVoiceConverter voice;
    struct Shot {
        int type;
        const char* name;
        int tab;
    } shots[] = {{0, "media-photos", 0},
                 {1, "media-videos", 0},
                 {4, "media-voice-memos", 0},
                 {2, "media-sms-attachments", 0},
                 {2, "media-sms-attachments-media", 1},
                 {3, "media-notes-attachments", 0},
                 {14, "media-wechat-attachments-media", 1}};
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? DarkPalette() : light);
        for (const Shot& shot : shots) {
            auto view = MakeChatResultView(shot.type, preview, voice);
            view->resize(760, 520);
            view->StartUpdateUI();
            switch (shot.type) {
            case 0:
                view->AddDirizaFile(photos);
                break;
            case 1:
                view->AddDirizaFile(scan.videos);
                break;
            case 4:
                view->AddDirizaFile(scan.music);
                break;
            default: {
                const int i = shot.type == 2 ? 0 : shot.type == 3 ? 1 : 2;
                view->AddDirizaFile(scan.attachments[i][0], scan.attachments[i][1]);
            }
            }
            for (int i = 0; i < 150; ++i)
                QTest::qWait(10); // the refresh timer, then the thumbnails
            if (auto* attachments = dynamic_cast<NSDirizaAttachmentView*>(view.get()))
                attachments->SelectTab(shot.tab);
            view->show();
            for (int i = 0; i < 50; ++i)
                QTest::qWait(10);
            if (shot.type == 0) view->AllSelect();
            Save(view.get(), QString::fromLatin1(shot.name) + (dark ? "-dark" : "-light"));
        }
    }
    QApplication::setPalette(light);
    QDir(root).removeRecursively();
}

} // namespace

int main(int argc, char** argv) {
    // "--sample-backup <folder> [scale] [WeChat accounts]": writes the kit's sample backup
    // (live and deleted rows of every kind) for trying the application in a real window,
    // and ends.
    if (argc >= 3 && std::strcmp(argv[1], "--sample-backup") == 0) {
        const std::filesystem::path folder(argv[2]);
        const int scale = argc >= 4 ? std::max(1, std::atoi(argv[3])) : 1;
        const int accounts = argc >= 5 ? std::clamp(std::atoi(argv[4]), 1, 9) : 1;
        kit::SampleBackup::Build(folder, kit::BackupBuilder::Generation::ManifestDb, scale,
                                 folder.parent_path() / (folder.filename().string() + ".scratch"), accounts);
        std::filesystem::remove_all(folder.parent_path() / (folder.filename().string() + ".scratch"));
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    kit::QtTestHome home;
    QApplication app(argc, argv);
    AppDelegate::SetApplicationIdentity();
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    outFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screenshots");
    if (!QDir().mkpath(outFolder)) {
        std::fprintf(stderr, "cannot create %s\n", outFolder.toLocal8Bit().constData());
        return 1;
    }
    // The device page shows the usbmuxd daemon as answering, whatever runs on this machine.
    NSDeviceLinkView::SetDaemonCheck([] { return true; });
    // The data folder where it usually is, so the texts that name the backups folder read
    // "~/.local/share/MobileSync/Backup" on every run.
    Paths::SetApplicationSupport(home.path() + QStringLiteral("/home/.local/share"));
    Paths::SetCaches(home.cacheHome());
    WriteBackups(Paths::BackupsFolder());

    kit::FakeDeviceManage manager;
    kit::FakeAlertPresenter alerts;
    const QPalette light = QApplication::palette();

    struct Look {
        int language;
        const char* tag;
    } looks[] = {{NSLanguageText::English, "en"},
                 {NSLanguageText::SimplifiedChinese, "zh-Hans"},
                 {NSLanguageText::German, "de"},
                 {NSLanguageText::Arabic, "ar"}};
    for (const Look& look : looks) {
        SetLanguage(look.language);
        for (bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            const QString suffix = QStringLiteral("-%1-%2").arg(
                QLatin1String(look.tag), dark ? QStringLiteral("dark") : QStringLiteral("light"));
            const bool allPages = look.language == NSLanguageText::English ||
                                  look.language == NSLanguageText::SimplifiedChinese ||
                                  look.language == NSLanguageText::German;
            MainPages(manager, suffix, allPages);
            if (look.language == NSLanguageText::English || look.language == NSLanguageText::German) {
                RecoveryPages(manager, suffix);
                if (!dark) RecoveryStopped(manager, suffix);
            }
        }
    }
    QApplication::setPalette(light);

    // The chooser of each edition: international (no WeChat) and Chinese (WeChat offered).
    for (const Look& look : {Look{NSLanguageText::English, "international"},
                             Look{NSLanguageText::SimplifiedChinese, "chinese"}}) {
        SetLanguage(look.language);
        NSSelectDirizaFileTypeView chooser(manager);
        chooser.resize(900, 560);
        chooser.SetDeviceInfo(QStringLiteral("Lena's iPhone"));
        Save(&chooser, QStringLiteral("chooser-%1").arg(QLatin1String(look.tag)));
    }

    SetLanguage(NSLanguageText::English);
    {
        NSDirizaNull status;
        status.resize(760, 560);
        status.SetDeviceInfo(QStringLiteral("Lena's iPhone"), QStringLiteral("iPhone12,1"),
                             QStringLiteral("14.2"), QStringLiteral("F2LXK0ABCD12"));
        Save(&status, QStringLiteral("status-scanning"));
        status.ScanEndText();
        status.UpdateScanCompleteTimer();
        Save(&status, QStringLiteral("status-complete"));
        status.SetDeviceInfo(QStringLiteral("Lena's iPhone"), QStringLiteral("iPhone12,1"),
                             QStringLiteral("14.2"), QStringLiteral("F2LXK0ABCD12"));
        status.ScanEndText(true);
        status.UpdateScanCompleteTimer();
        Save(&status, QStringLiteral("status-stopped"));
    }
    {
        NSWindowsAbout about;
        Save(&about, QStringLiteral("about"));
        QApplication::setPalette(DarkPalette());
        Save(&about, QStringLiteral("about-dark"));
        QApplication::setPalette(light);
    }
    {
        NSGuideView guide;
        Save(&guide, QStringLiteral("guide"));
    }
    // The service windows the menus and pages open (shown without any network request).
    for (bool dark : {false, true}) {
        QApplication::setPalette(dark ? DarkPalette() : light);
        const QString suffix = dark ? QStringLiteral("-dark") : QStringLiteral("-light");
        {
            NSPermissionsWindow permissions;
            Save(&permissions, QStringLiteral("service-permissions") + suffix);
        }
        {
            NSWindowControllerFeedback feedback;
            Save(&feedback, QStringLiteral("service-feedback") + suffix);
        }
        {
            NSWindowControllerNewFeedback feedback;
            Save(&feedback, QStringLiteral("service-feedback-photos") + suffix);
        }
        {
            NSWindowControllerCheckUpdateApp update;
            Save(&update, QStringLiteral("service-update") + suffix);
        }
        {
            NSDownloadPackageView download;
            download.DownloadPackage(nullptr); // the installed check only: a local look
            Save(&download, QStringLiteral("service-download") + suffix);
        }
    }
    // The preview windows, with scripted players (no sound, no decoding backend needed).
    {
        QTemporaryDir samples;
        const QString media = samples.path();
        MediaWorkFolder::SetProvider([media] { return media; });
        QImage photo(360, 240, QImage::Format_RGB32);
        photo.fill(QColor(70, 130, 180));
        for (int y = 150; y < 240; ++y)
            for (int x = 0; x < 360; ++x)
                photo.setPixelColor(x, y, QColor(60, 140, 70));
        photo.save(media + QStringLiteral("/photo.png"));
        QFile text(media + QStringLiteral("/note.txt"));
        if (text.open(QIODevice::WriteOnly))
            text.write("Shopping list\n- bread\n- apples\n- coffee\n\nGrüße, 你好\n");
        text.close();
        for (bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            const QString suffix = dark ? QStringLiteral("-dark") : QStringLiteral("-light");
            {
                PhotoPreView view;
                view.setWindowTitle(QStringLiteral("photo.png"));
                view.ShowPhotoFilePreview(media + QStringLiteral("/photo.png"));
                Save(&view, QStringLiteral("preview-photo") + suffix);
                view.ShowPhotoFilePreview(media + QStringLiteral("/missing.png"));
                Save(&view, QStringLiteral("preview-photo-failed") + suffix);
                view.ShowThumbnailPreview(media + QStringLiteral("/photo.png"));
                Save(&view, QStringLiteral("preview-photo-thumbnail") + suffix);
                view.setWindowTitle(QStringLiteral("report.pdf"));
                view.ShowNoPreview();
                Save(&view, QStringLiteral("preview-no-kind") + suffix);
            }
            {
                TxtPreView view;
                view.ShowTxtPreview(media + QStringLiteral("/note.txt"));
                Save(&view, QStringLiteral("preview-text") + suffix);
            }
            {
                kit::FakeMediaPlayers players;
                AudioPreView view(kit::FakePcmSink::Factory(std::make_shared<kit::PcmSinkScript>()),
                                  players.Factory());
                // The fake sink is the sound output; then a machine without one.
                AudioPreView::SetOutputProbe([] { return true; });
                view.ShowAudioPreview(QStringLiteral(TEST_DATA_DIR "/media/silk/fixtures/speech_24000.silk"));
                Save(&view, QStringLiteral("preview-audio") + suffix);
                view.ShowAudioPreview(media + QStringLiteral("/note.txt"));
                if (players.last()) players.last()->emitStatus(IMediaPlayer::Status::Failed);
                Save(&view, QStringLiteral("preview-audio-failed") + suffix);
                AudioPreView::SetOutputProbe([] { return false; });
                view.ShowAudioPreview(QStringLiteral(TEST_DATA_DIR "/media/silk/fixtures/speech_24000.silk"));
                Save(&view, QStringLiteral("preview-audio-no-output") + suffix);
                AudioPreView::SetOutputProbe({});
            }
            {
                kit::FakeMediaPlayers players;
                VideoPreView view(players.Factory());
                view.ShowVideoFilePreView(media + QStringLiteral("/photo.png"));
                kit::FakeMediaPlayer* p = players.last();
                p->video = true;
                p->size = QSize(640, 360);
                p->durationMs = 75400;
                p->emitStatus(IMediaPlayer::Status::Loaded);
                p->emitStatus(IMediaPlayer::Status::Buffered);
                Save(&view, QStringLiteral("preview-video") + suffix);
                p->emitStatus(IMediaPlayer::Status::Failed);
                Save(&view, QStringLiteral("preview-video-failed") + suffix);
                view.CloesButtonEvent();
            }
        }
        MediaWorkFolder::SetProvider({});
    }
    // The WeChat result views with generated records: every message kind, nested groups.
    {
        kit::FakePreviewService preview;
        const auto chats = kit::QtWeChatRecords::Chats(home.cacheHome() + QStringLiteral("/wechat-media"));
        const auto contacts = kit::QtWeChatRecords::Contacts();
        for (bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            const QString suffix = dark ? QStringLiteral("-dark") : QStringLiteral("-light");
            NSDirizaWXChatRecordView chat(preview);
            chat.resize(1100, 1500);
            chat.StartUpdateUI();
            chat.AddDirizaFile(chats);
            Settle();
            chat.SelectFriendsEvent(0);
            chat.TickFriend(1, true);
            Save(&chat, QStringLiteral("wechat-chats") + suffix);
            NSDirizaWXAddressBookView book;
            book.resize(1000, 560);
            book.StartUpdateUI();
            book.AddDirizaFile(&contacts);
            Settle();
            book.GroupTree()->expandAll();
            book.TickGroup(book.State().InForce()[0].groups[2], true);
            Save(&book, QStringLiteral("wechat-contacts") + suffix);
        }
    }
    QApplication::setPalette(light);
    SystemResultViews(light);
    // The result views, filled with what a scan of the sample backup finds.
    {
        const QMap<QString, NSSMSHeadData> sms = SampleSms();
        for (bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            SmsView(sms, dark ? QStringLiteral("-dark") : QStringLiteral("-light"));
        }
        QApplication::setPalette(light);
    }
    SetLanguage(NSLanguageText::English);
    MediaViews(light);
    {
        AppDelegate delegate(manager, {});
        delegate.applicationDidFinishLaunching();
        delegate.Window()->resize(1000, 760);
        Save(delegate.Window(), QStringLiteral("main-window"));
        delegate.Window()->close();
    }
    std::printf("%d screenshots in %s\n", written, outFolder.toLocal8Bit().constData());
    return written > 0 ? 0 : 1;
}
