// Renders every page and window offscreen and writes them as PNG files into a folder
// (default build/screenshots), with fake devices and small generated backups.
#include "app/common/NSLanguageText.h"
#include "app/pages/AppDelegate.h"
#include "app/pages/MainWindow.h"
#include "app/pages/NSBackUpView.h"
#include "app/pages/NSDeviceLinkView.h"
#include "app/pages/NSDirizaNull.h"
#include "app/pages/NSGuideView.h"
#include "app/pages/NSWindowsAbout.h"
#include "app/pages/NSiTunesView.h"
#include "app/pages/ViewController.h"
#include "platform/Paths.h"
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
#include "tests/kit/FakePreviewService.h"
#include "tests/kit/QtWeChatRecords.h"
#include "tests/kit/QtTestHome.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>
#include <QTreeView>

#include <cstdio>

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
    QGuiApplication::setLayoutDirection(language == NSLanguageText::Arabic ? Qt::RightToLeft : Qt::LeftToRight);
}

std::shared_ptr<DeviceInfo> Device() {
    auto d = std::make_shared<DeviceInfo>();
    d->SaveDeviceInfo(QStringLiteral("Lena's iPhone"), QStringLiteral("00008030-001A2B3C4D5E6F70"),
                      QStringLiteral("F2LXK0ABCD12"), QStringLiteral("iPhone12,1"), DeviceRef(), QStringLiteral("14.2"));
    return d;
}

void WriteBackups(const QString& root) {
    struct B {
        const char* udid;
        const char* name;
        const char* product;
        kit::BackupBuilder::Generation generation;
    } backups[] = {
        {"0123456789abcdef0123456789abcdef01234567", "Lena's iPhone", "iPhone12,1", kit::BackupBuilder::Generation::ManifestDb},
        {"89abcdef0123456789abcdef0123456789abcdef", "Family iPad", "iPad8,10", kit::BackupBuilder::Generation::ManifestDb},
        {"fedcba9876543210fedcba9876543210fedcba98", "Old iPhone", "iPhone8,4", kit::BackupBuilder::Generation::Mbdb},
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
    vc.SwitchView(3);
    Save(&vc, QStringLiteral("main-recovery-standin") + suffix);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    kit::QtTestHome home;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Diriza-IOS"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    outFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build/screenshots");
    if (!QDir().mkpath(outFolder)) {
        std::fprintf(stderr, "cannot create %s\n", outFolder.toLocal8Bit().constData());
        return 1;
    }
    Paths::SetApplicationSupport(home.dataHome());
    Paths::SetCaches(home.cacheHome());
    WriteBackups(Paths::BackupsFolder());

    kit::FakeDeviceManage manager;
    kit::FakeAlertPresenter alerts;
    const QPalette light = QApplication::palette();

    struct Look {
        int language;
        const char* tag;
    } looks[] = {{NSLanguageText::English, "en"}, {NSLanguageText::SimplifiedChinese, "zh-Hans"},
                 {NSLanguageText::Arabic, "ar"}};
    for (const Look& look : looks) {
        SetLanguage(look.language);
        for (bool dark : {false, true}) {
            QApplication::setPalette(dark ? DarkPalette() : light);
            const QString suffix = QStringLiteral("-%1-%2").arg(QLatin1String(look.tag),
                                                                dark ? QStringLiteral("dark") : QStringLiteral("light"));
            MainPages(manager, suffix, look.language == NSLanguageText::English || look.language == NSLanguageText::SimplifiedChinese);
        }
    }
    QApplication::setPalette(light);

    // The chooser of each edition: international (no WeChat) and Chinese (WeChat offered).
    for (const Look& look : {Look{NSLanguageText::English, "international"}, Look{NSLanguageText::SimplifiedChinese, "chinese"}}) {
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
        status.SetDeviceInfo(QStringLiteral("Lena's iPhone"), QStringLiteral("iPhone12,1"), QStringLiteral("14.2"),
                             QStringLiteral("F2LXK0ABCD12"));
        Save(&status, QStringLiteral("status-scanning"));
        status.ScanEndText();
        status.UpdateScanCompleteTimer();
        Save(&status, QStringLiteral("status-complete"));
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
