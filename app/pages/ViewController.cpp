#include "app/pages/ViewController.h"

#include "gui/ButtonTextColor.h"
#include "gui/NSLanguageText.h"
#include "app/pages/AppImage.h"
#include "app/pages/NSBackUpView.h"
#include "app/pages/NSDeviceLinkView.h"
#include "app/pages/NSiTunesView.h"
#include "app/pages/NSDirizaView.h"
#include "app/pages/ServiceHooks.h"
#include "platform/AppearanceWatcher.h"
#include "platform/IAlertPresenter.h"
#include "platform/IAppearance.h"
#include "platform/IOpener.h"
#include "platform/Paths.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <cstdio>

namespace {

const QColor kSelectedLight(4, 151, 232);
const QColor kGray(128, 128, 128);

QPushButton* RoadButton(QWidget* parent) {
    auto* b = new QPushButton(parent);
    b->setFlat(true);
    b->setIconSize(QSize(72, 72));
    b->setFixedSize(84, 84);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

void SetColor(QLabel* label, const QColor& color) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
}

} // namespace

QString ViewController::LogFileName(const QDateTime& when) {
    // Calendar year ("yyyy"): the week-based year would name the last days of December
    // after the next year.
    return QStringLiteral("DoviakIOS-%1.log").arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QString ViewController::redirectNSlogToDocumentFolder(const QString& folder, const QDateTime& when) {
    if (folder.isEmpty() || !QDir().mkpath(folder)) return QString();
    const QString path = QDir(folder).filePath(LogFileName(when));
    // Tell the user where the log goes before the streams move there.
    std::fprintf(stdout, "log: %s\n", path.toLocal8Bit().constData());
    std::fflush(stdout);
    std::fflush(stderr);
    // Append: a second start within the same second adds to the first one's log.
    const QByteArray native = QFile::encodeName(path);
    if (!std::freopen(native.constData(), "a+", stdout)) return QString();
    if (!std::freopen(native.constData(), "a+", stderr)) return QString();
    return path;
}

ViewController::ViewController(IDeviceManage& manager, Options options, QWidget* parent)
    : QWidget(parent), manager(manager) {
    if (options.redirectLog)
        logPath = redirectNSlogToDocumentFolder(Paths::LogFolder(), QDateTime::currentDateTime());
    // The settings store is created and loaded now, before the device manager.
    if (ServiceHooks::Current().loadSettings) ServiceHooks::Current().loadSettings();
    manager.setDelegate(this);

    // Header: application name and logo, the companion download and the help button.
    auto* header = new QWidget(this);
    auto* headerRow = new QHBoxLayout(header);
    Logo = new QLabel(header);
    Logo->setPixmap(AppImage::Pixmap(QStringLiteral("logo"), QSize(28, 28)));
    AppNameText = new QLabel(QCoreApplication::applicationName(), header);
    QFont nameFont = AppNameText->font();
    nameFont.setBold(true);
    nameFont.setPointSize(nameFont.pointSize() + 2);
    AppNameText->setFont(nameFont);
    DoviakMacBt = new QPushButton(header);
    DoviakMacBt->setFlat(true);
    QQBt = new QPushButton(header);
    QQBt->setFlat(true);
    QQBt->setLayoutDirection(Qt::RightToLeft);
    headerRow->addWidget(Logo);
    headerRow->addWidget(AppNameText);
    headerRow->addStretch();
    headerRow->addWidget(DoviakMacBt);
    headerRow->addWidget(QQBt);
    connect(DoviakMacBt, &QPushButton::clicked, this, &ViewController::DirizaMacEvent);
    // Nothing belongs to the help button; it stays hidden. The download is offered only
    // when an address for it is configured.
    QQBt->hide();
    DoviakMacBt->setVisible(!LanguageText("DownloadPackageURL").trimmed().isEmpty());

    // The two roads.
    NavigationView = new QWidget(this);
    auto* roads = new QGridLayout(NavigationView);
    DeviceDiriza_bt = RoadButton(NavigationView);
    iTunesDiriza_bt = RoadButton(NavigationView);
    DeviceDirizaTitle = new QLabel(NavigationView);
    DeviceDirizaPrompt = new QLabel(NavigationView);
    iTunesDirizaTitle = new QLabel(NavigationView);
    iTunesDirizaPrompt = new QLabel(NavigationView);
    DeviceDiriza_Blue = new QLabel(NavigationView);
    DeviceDiriza_Blue->setFixedHeight(4);
    DeviceDiriza_Blue->setScaledContents(true);
    // Titles and prompts wrap: in every language they fit the window's width.
    for (QLabel* l : {DeviceDirizaTitle, DeviceDirizaPrompt, iTunesDirizaTitle, iTunesDirizaPrompt})
        l->setWordWrap(true);
    auto* deviceText = new QVBoxLayout;
    deviceText->addWidget(DeviceDirizaTitle);
    deviceText->addWidget(DeviceDirizaPrompt);
    auto* backupText = new QVBoxLayout;
    backupText->addWidget(iTunesDirizaTitle);
    backupText->addWidget(iTunesDirizaPrompt);
    roads->addWidget(DeviceDiriza_bt, 0, 0);
    roads->addLayout(deviceText, 0, 1);
    roads->addWidget(iTunesDiriza_bt, 0, 3);
    roads->addLayout(backupText, 0, 4);
    roads->addWidget(DeviceDiriza_Blue, 1, 3, 1, 2);
    roads->setColumnStretch(1, 4);
    roads->setColumnStretch(2, 1);
    roads->setColumnStretch(4, 4);
    roads->setColumnStretch(5, 1);
    connect(DeviceDiriza_bt, &QPushButton::clicked, this, &ViewController::DeviceDirizaButtonEvent);
    connect(iTunesDiriza_bt, &QPushButton::clicked, this, &ViewController::iTunesDirizaButtonEvent);

    // The four pages.
    pages = new QStackedWidget(this);
    pNSDeviceLinkView = new NSDeviceLinkView(manager, pages);
    pNSiTunesView = new NSiTunesView(manager, pages);
    pNSBackUpView = new NSBackUpView(manager, pages);
    pNSDirizaView = options.recoveryPage ? options.recoveryPage(manager, pages)
                                         : new NSDirizaView(manager, options.resultViews, pages);
    pNSDeviceLinkView->setDelegate(this);
    pNSiTunesView->setDelegate(this);
    pNSBackUpView->setDelegate(this);
    pNSDirizaView->setDelegate(this);
    pages->addWidget(pNSDeviceLinkView);
    pages->addWidget(pNSiTunesView);
    pages->addWidget(pNSBackUpView);
    pages->addWidget(pNSDirizaView->Widget());

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 6, 12, 12);
    column->addWidget(header);
    column->addWidget(NavigationView);
    column->addWidget(pages, 1);

    DeviceDiriza_Blue->hide();
    dark = IAppearance::Dark(this);
    SwitchView(0);
    setLanguage(NSLanguageText::shareInstance()->Language());
    ButtonTextColor::setTextColor(DoviakMacBt, kGray);
    new AppearanceWatcher(this, [this](bool isDark) { Reapply(isDark); });
}

ViewController::~ViewController() {
    manager.setDelegate(nullptr);
    if (permissionsWindow) permissionsWindow->removeEventFilter(this);
}

void ViewController::SwitchView(int page) {
    page = qBound(0, page, 3);
    pages->setCurrentIndex(page);
    eHomeView = page;
    // No second backup or analysis beside a running one: the home buttons rest while a
    // work page is shown.
    DeviceDiriza_bt->setEnabled(page <= 1);
    iTunesDiriza_bt->setEnabled(page <= 1);
}

void ViewController::UpdateButtons() {
    const bool deviceRoad = eHomeView == 0;
    const QString d1 = LanguageText("DeviceDiriza_1_bt"), d2 = LanguageText("DeviceDiriza_2_bt");
    const QString i1 = LanguageText("iTunesDiriza_1_bt"), i2 = LanguageText("iTunesDiriza_2_bt");
    const QString d2t = AppImage::Themed(d2, dark), i2t = AppImage::Themed(i2, dark);
    if (deviceRoad) {
        DeviceDiriza_bt->setIcon(AppImage::Icon(d2t, d2t));
        iTunesDiriza_bt->setIcon(AppImage::Icon(i1, i2t));
    } else {
        iTunesDiriza_bt->setIcon(AppImage::Icon(i2t, i2t));
        DeviceDiriza_bt->setIcon(AppImage::Icon(d1, d2t));
    }
    const QColor selected = dark ? QColor(Qt::white) : kSelectedLight;
    SetColor(DeviceDirizaTitle, deviceRoad ? selected : kGray);
    SetColor(iTunesDirizaTitle, deviceRoad ? kGray : selected);
    DeviceDiriza_Blue->setPixmap(
        AppImage::Pixmap(dark ? QStringLiteral("white") : QStringLiteral("blue"), QSize(200, 4)));
}

void ViewController::Reapply(bool isDark) {
    if (isDark == dark && !DeviceDiriza_bt->icon().isNull()) return;
    dark = isDark;
    UpdateButtons();
}

void ViewController::setLanguage(int language) {
    int title = 19, prompt = 12, backupTitle = 19;
    switch (NSLanguageText::shareInstance()->Language()) {
    case NSLanguageText::Japanese:
    case NSLanguageText::German:
        title = backupTitle = 16;
        prompt = 11;
        break;
    case NSLanguageText::Portuguese:
    case NSLanguageText::French:
        title = backupTitle = 14;
        prompt = 11;
        break;
    case NSLanguageText::Spanish:
        title = 14;
        backupTitle = 13;
        prompt = 11;
        break;
    default:
        break;
    }
    auto sized = [](QLabel* l, int points, bool bold) {
        QFont f = l->font();
        f.setPointSize(points);
        f.setBold(bold);
        l->setFont(f);
    };
    sized(DeviceDirizaTitle, title, true);
    sized(iTunesDirizaTitle, backupTitle, true);
    sized(DeviceDirizaPrompt, prompt, false);
    sized(iTunesDirizaPrompt, prompt, false);
    // Laid out as a text document: a plain wrapped label lets the last letter of a
    // right-to-left line slip past its left edge (the line's trailing space is counted
    // on the wrong side), where it is cut off.
    auto wrapped = [](QLabel* l, const QString& text) {
        l->setTextFormat(Qt::RichText);
        l->setText(text.toHtmlEscaped());
    };
    wrapped(DeviceDirizaTitle, LanguageText("DeviceDirizaTitle"));
    wrapped(DeviceDirizaPrompt, LanguageText("DeviceDirizaPrompt"));
    wrapped(iTunesDirizaTitle, LanguageText("iTunesDirizaTitle"));
    wrapped(iTunesDirizaPrompt, LanguageText("iTunesDirizaPrompt"));
    for (QLabel* l : {DeviceDirizaTitle, DeviceDirizaPrompt, iTunesDirizaTitle, iTunesDirizaPrompt})
        SetColor(l, kGray);
    UpdateButtons();
    DoviakMacBt->setText(SafeFormat(QStringLiteral(" %@"), {LanguageText("DoviakMacBt")}));
    QQBt->setIcon(AppImage::Icon(LanguageText("QQ_nor_bt"), LanguageText("QQ_hor_bt")));
    QQBt->setText(LanguageText("QQBt"));
    ButtonTextColor::setTextColor(QQBt, QColor(0, 151, 255));
    pNSDeviceLinkView->setLanguage(language);
    pNSiTunesView->setLanguage(language);
    pNSBackUpView->setLanguage(language);
    pNSDirizaView->setLanguage(language);
    auto& hooks = ServiceHooks::Current();
    if (permissionsWindow && hooks.permissionsWindowLanguage)
        hooks.permissionsWindowLanguage(permissionsWindow);
}

void ViewController::DeviceDirizaButtonEvent() {
    SwitchView(0);
    DeviceDiriza_Blue->hide();
    UpdateButtons();
}

void ViewController::ShowBackupList() {
    pNSiTunesView->LoadiTunesData();
    SwitchView(1);
    DeviceDiriza_Blue->show();
    UpdateButtons();
}

void ViewController::iTunesDirizaButtonEvent() {
    auto& hooks = ServiceHooks::Current();
    if (hooks.FullDiskAccessStatus() == 2) {
        ShowBackupList();
        return;
    }
    if (!permissionsWindow) {
        QWidget* w = hooks.createPermissionsWindow ? hooks.createPermissionsWindow() : nullptr;
        if (!w) {
            ShowBackupList();
            return;
        }
        permissionsWindowOwner.reset(w);
        permissionsWindow = w;
        // Its close button asks first (see PermissionsWindowCloseBtEvent).
        w->installEventFilter(this);
    }
    permissionsWindow->show();
    permissionsWindow->raise();
}

bool ViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == permissionsWindow && event->type() == QEvent::Close && !closingPermissions) {
        event->ignore();
        QMetaObject::invokeMethod(this, &ViewController::PermissionsWindowCloseBtEvent, Qt::QueuedConnection);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ViewController::PermissionsWindowCloseBtEvent() {
    if (!permissionsWindow) return;
    if (ServiceHooks::Current().FullDiskAccessStatus() != 2) {
        IAlertPresenter::Alert alert;
        alert.messageText = LanguageText("还未授权“完全磁盘访问权限”，是否继续");
        alert.buttons = {LanguageText("继续"), LanguageText("关闭")};
        if (IAlertPresenter::Current().RunModal(permissionsWindow, alert) == IAlertPresenter::FirstButton)
            return;
    }
    ShowBackupList();
    closingPermissions = true;
    permissionsWindow->removeEventFilter(this);
    permissionsWindow->close();
    closingPermissions = false;
    permissionsWindow = nullptr;
    permissionsWindowOwner.reset();
}

void ViewController::DirizaMacEvent() {
    auto& hooks = ServiceHooks::Current();
    if (hooks.showDownloadPackage) hooks.showDownloadPackage({});
}

void ViewController::AddDevice(const std::shared_ptr<DeviceInfo>& device) {
    pDeviceInfo = device;
    pNSDeviceLinkView->SetDeviceInfo(device);
}

void ViewController::RemoveDevice(const std::shared_ptr<DeviceInfo>& device) {
    if (device != pDeviceInfo) return;
    pDeviceInfo.reset();
    pNSDeviceLinkView->RemoveDevice();
}

void ViewController::DeviceBackUpStartEvent(const std::shared_ptr<DeviceInfo>& device,
                                            const QStringList& selection) {
    analysedBackup.reset();
    SwitchView(2);
    pNSBackUpView->StartBackUp(device, selection);
}

void ViewController::iTunesStartScanEvent(const std::shared_ptr<DeviceInfo>& backup,
                                          const QStringList& selection) {
    analysedBackup = backup;
    SwitchView(2);
    pNSBackUpView->StartAnalyze(backup, selection);
}

void ViewController::BackUpFinishEvent(const std::shared_ptr<DeviceInfo>& device,
                                       const QStringList& selection) {
    SwitchView(3);
    pNSDirizaView->StartScan(device, selection);
    // Manifest rows that could not be read: the scan goes on without their files, and
    // the user is told that the backup is incomplete.
    if (const int skipped = manager.SkippedManifestRows(); skipped > 0) {
        IAlertPresenter::Alert alert;
        alert.informativeText = LanguageText("ManifestRowsSkipped").arg(skipped);
        alert.buttons = {LanguageText("ok")};
        IAlertPresenter::Current().BeginSheet(window(), alert, [](int) {});
    }
}

void ViewController::GoHome() {
    DeviceDirizaButtonEvent();
    if (pDeviceInfo)
        pNSDeviceLinkView->SetDeviceInfo(pDeviceInfo);
    else
        pNSDeviceLinkView->RemoveDevice();
}

void ViewController::BackUpFailure() {
    const bool encrypted = manager.BackUpPath_UID_Get_IsEncrypted(manager.getBackUpPath());
    IAlertPresenter::Alert alert;
    if (encrypted) {
        alert.informativeText = LanguageText("IsEncryptedTitle");
        const QString tutorial = LanguageText("TutorialURL").trimmed();
        // The tutorial is offered only where an address for it is configured.
        if (!tutorial.isEmpty()) {
            alert.buttons = {LanguageText("Tutorial"), LanguageText("ok")};
            IAlertPresenter::Current().BeginSheet(window(), alert, [tutorial](int response) {
                if (response == IAlertPresenter::FirstButton) IOpener::Current().OpenUrl(QUrl(tutorial));
            });
        } else {
            alert.buttons = {LanguageText("ok")};
            IAlertPresenter::Current().BeginSheet(window(), alert, [](int) {});
        }
    } else if (analysedBackup) {
        // A backup picked from the list: the message speaks of that backup, not of a device.
        alert.informativeText =
            SafeFormat(LanguageText("BackupReadFailureTitle"), {AnalysedFolder(*analysedBackup)});
        alert.buttons = {LanguageText("ok")};
        IAlertPresenter::Current().BeginSheet(window(), alert, [](int) {});
    } else {
        alert.informativeText = LanguageText("BackUpFailureTitle");
        alert.buttons = {LanguageText("ok")};
        IAlertPresenter::Current().BeginSheet(window(), alert, [](int) {});
    }
    // The backup road goes back to the backup list, where another backup can be chosen.
    if (analysedBackup) {
        analysedBackup.reset();
        ShowBackupList();
        return;
    }
    GoHome();
}

QString ViewController::AnalysedFolder(const DeviceInfo& backup) {
    // The analysis reads "<path>/<identifier>" when that folder exists, else the path.
    const QString path = backup.GetBackUpPath();
    const QString identifier = backup.getIdentifyNumber();
    const QString inner = QDir(path).filePath(identifier);
    const bool nested =
        !identifier.isEmpty() && !identifier.contains(QLatin1Char('/')) && QFileInfo(inner).isDir();
    return QDir::toNativeSeparators(QDir::cleanPath(nested ? inner : path));
}

void ViewController::BackHomeEvent() {
    GoHome();
}

void ViewController::StopAndWait() {
    pNSDirizaView->StopAndWait();
}
