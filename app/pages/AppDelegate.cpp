#include "app/pages/AppDelegate.h"

#include "gui/NSLanguageText.h"
#include "gui/QtTranslations.h"
#include "app/pages/AppImage.h"
#include "app/pages/MainWindow.h"
#include "app/pages/NSGuideView.h"
#include "app/pages/NSMainView.h"
#include "app/pages/NSWindowsAbout.h"
#include "app/pages/ServiceHooks.h"
#include "app/pages/WebWindowController.h"
#include "platform/CacheFolder.h"
#include "platform/IAlertPresenter.h"
#include "platform/IOpener.h"
#include "platform/Paths.h"

#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>

AppDelegate::AppDelegate(IDeviceManage& manager, ViewController::Options options)
    : manager(manager), window(std::make_unique<MainWindow>()) {
    window->setWindowIcon(QIcon(AppImage::Path(QStringLiteral("AppIcon"))));
    window->setWindowTitle(QCoreApplication::applicationName());
    controller = new ViewController(manager, std::move(options), window.get());
    window->setCentralWidget(controller);
    window->resize(980, 700);
    window->SetClosing([this] { applicationShouldTerminate(); });

    QMenuBar* bar = window->menuBar();
    appMenu = bar->addMenu(QCoreApplication::applicationName());
    aboutAction = appMenu->addAction(QString(), this, &AppDelegate::AboutMenuEvent);
    updateAction = appMenu->addAction(QString(), this, [] {
        if (ServiceHooks::Current().showCheckUpdate) ServiceHooks::Current().showCheckUpdate();
    });
    appMenu->addSeparator();
    quitAction = appMenu->addAction(QString(), window.get(), &QWidget::close);
    quitAction->setShortcuts(QuitShortcuts());
    // Quit from any of the application's windows, a preview in front included.
    quitAction->setShortcutContext(Qt::ApplicationShortcut);

    languageMenu = bar->addMenu(QString());
    auto* group = new QActionGroup(this);
    for (int n = 0; n < NSLanguageText::LanguageCount; ++n) {
        if (n == NSLanguageText::SimplifiedChinese) continue;
        QAction* item = languageMenu->addAction(QString());
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, n] { setLanguage(n); });
        languageItems[size_t(n)] = item;
    }
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);

    debugMenu = bar->addMenu(QString());
    openLogAction = debugMenu->addAction(QString(), this, &AppDelegate::OpenLogPathMenuEvent);
    openBackupAction = debugMenu->addAction(QString(), this, &AppDelegate::OpenBackupPathMenuEvent);
    openBackupsAction = debugMenu->addAction(QString(), this, &AppDelegate::OpeniTunesPathMenuEvent);

    helpMenu = bar->addMenu(QString());
    feedbackAction = helpMenu->addAction(QString(), this, [] {
        if (ServiceHooks::Current().showFeedback) ServiceHooks::Current().showFeedback();
    });
    newFeedbackAction = helpMenu->addAction(QString(), this, [] {
        if (ServiceHooks::Current().showNewFeedback) ServiceHooks::Current().showNewFeedback();
    });
    privacyAction = helpMenu->addAction(QString(), this, &AppDelegate::PrivacyMenuEvent);

    // The guide has a road of its own: the companion download of the main window tells
    // nobody when it closes.
    guideAction = helpMenu->addAction(QString(), this, &AppDelegate::GuideMenuEvent);

    launcher = std::make_unique<NSMainView>(window.get());
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::SetApplicationIdentity() {
    // The settings land in "<config>/Diriza/Diriza-IOS.conf".
    QCoreApplication::setOrganizationName(QStringLiteral("Diriza"));
    QCoreApplication::setApplicationName(QStringLiteral("Diriza-IOS"));
}

QList<QKeySequence> AppDelegate::QuitShortcuts() {
    // Some desktop themes bind nothing to the standard Quit key: Ctrl+Q always works.
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Quit);
    const QKeySequence ctrlQ(Qt::CTRL | Qt::Key_Q);
    if (!keys.contains(ctrlQ)) keys.prepend(ctrlQ);
    return keys;
}

void AppDelegate::CentreOn(QWidget* window, const QWidget* anchor) {
    if (!window || !anchor || !anchor->isVisible()) return;
    const QRect frame = anchor->frameGeometry();
    QPoint origin = NSMainView::CentredOrigin(frame, window->frameGeometry().size());
    // Kept on the screen of the main window.
    if (const QScreen* screen = anchor->screen()) {
        const QRect area = screen->availableGeometry();
        const QSize size = window->frameGeometry().size();
        origin.setX(qBound(area.left(), origin.x(), std::max(area.left(), area.right() + 1 - size.width())));
        origin.setY(qBound(area.top(), origin.y(), std::max(area.top(), area.bottom() + 1 - size.height())));
    }
    window->move(origin);
}

NSWindowsAbout* AppDelegate::About() {
    if (!about) about = std::make_unique<NSWindowsAbout>();
    return about.get();
}

WebWindowController* AppDelegate::Terms() {
    if (!terms) terms = std::make_unique<WebWindowController>();
    return terms.get();
}

QAction* AppDelegate::LanguageItem(int language) const {
    return language >= 0 && language < NSLanguageText::LanguageCount ? languageItems[size_t(language)]
                                                                     : nullptr;
}

QAction* AppDelegate::MenuItem(const char* key) const {
    const QString k = QString::fromLatin1(key);
    if (k == QLatin1String("AboutMenu")) return aboutAction;
    if (k == QLatin1String("UpdateMenu")) return updateAction;
    if (k == QLatin1String("OutApp")) return quitAction;
    if (k == QLatin1String("GuideMenu")) return guideAction;
    if (k == QLatin1String("Feedback")) return feedbackAction;
    if (k == QLatin1String("FeedbackPhotosMenu")) return newFeedbackAction;
    if (k == QLatin1String("OpenLogPathMenu")) return openLogAction;
    if (k == QLatin1String("OpenbackUpPathMenu")) return openBackupAction;
    if (k == QLatin1String("OpeniTunesPathMenu")) return openBackupsAction;
    return nullptr;
}

void AppDelegate::applicationDidFinishLaunching() {
    launcher->ActivationPCRecovery();
    setLanguage(NSLanguageText::shareInstance()->Language());
}

void AppDelegate::setLanguage(int n) {
    for (QAction* item : languageItems)
        if (item) item->setChecked(false);
    if (QAction* item = LanguageItem(n)) item->setChecked(true);

    NSLanguageText* text = NSLanguageText::shareInstance();
    if (n != text->Language() && n >= 0 && n < NSLanguageText::LanguageCount) {
        text->setLanguage(n);
        controller->setLanguage(n);
        if (about) about->setLanguage(n);
        if (terms) terms->setLanguage(n);
        if (ServiceHooks::Current().setLanguage) ServiceHooks::Current().setLanguage(n);
    }
    // Qt's own dialogs (file and message boxes) speak the interface language too.
    QtTranslations::Apply(text->Language());

    aboutAction->setText(LanguageText("AboutMenu"));
    updateAction->setText(LanguageText("UpdateMenu"));
    quitAction->setText(LanguageText("OutApp"));
    feedbackAction->setText(LanguageText("Feedback"));
    newFeedbackAction->setText(LanguageText("FeedbackPhotosMenu"));
    helpMenu->setTitle(LanguageText("HelpMenu"));
    guideAction->setText(LanguageText("GuideMenu"));
    languageMenu->setTitle(LanguageText("LanguageMenu"));
    debugMenu->setTitle(LanguageText("DebugMenu"));
    openLogAction->setText(LanguageText("OpenLogPathMenu"));
    openBackupAction->setText(LanguageText("OpenbackUpPathMenu"));
    openBackupsAction->setText(LanguageText("OpeniTunesPathMenu"));
    privacyAction->setText(LanguageText("PrivacyMenu"));
    const QStringList names = {LanguageText("MenuGB"), QString(),
                               LanguageText("MenuHK"), LanguageText("MenuJP"),
                               LanguageText("MenuKR"), LanguageText("MenuDE"),
                               LanguageText("MenuRU"), LanguageText("MenuEG"),
                               LanguageText("MenuPT"), LanguageText("MenuES"),
                               LanguageText("MenuFR"), LanguageText("MenuID")};
    for (int i = 0; i < NSLanguageText::LanguageCount; ++i)
        if (languageItems[size_t(i)]) languageItems[size_t(i)]->setText(names[i]);

    // Arabic reads from right to left.
    QGuiApplication::setLayoutDirection(text->Language() == NSLanguageText::Arabic ? Qt::RightToLeft
                                                                                   : Qt::LeftToRight);
    const bool chinese = text->Language() == NSLanguageText::SimplifiedChinese;
    languageMenu->menuAction()->setVisible(!chinese);
    privacyAction->setVisible(chinese);
    // The terms can be shown only where a terms host is configured.
    privacyAction->setEnabled(WebWindowController::TermsUrl(WebWindowController::ConfiguredHost()).isValid());
}

void AppDelegate::AboutMenuEvent() {
    About()->Show();
}

void AppDelegate::PrivacyMenuEvent() {
    const QUrl url = WebWindowController::TermsUrl(WebWindowController::ConfiguredHost());
    if (!url.isValid()) return;
    Terms()->Load(url);
    Terms()->show();
    Terms()->raise();
}

void AppDelegate::ShowNoPathAlert() {
    IAlertPresenter::Alert alert;
    alert.informativeText = LanguageText("TitleNoPaht");
    alert.buttons = {LanguageText("OK")};
    alert.style = IAlertPresenter::Style::Warning;
    IAlertPresenter::Current().RunModal(window.get(), alert);
}

void AppDelegate::GuideMenuEvent() {
    launcher->ActivationMobileRecovery();
    CentreOn(launcher->Guide(), window.get());
}

void AppDelegate::OpenLogPathMenuEvent() {
    // The folder the process log is written to.
    const QString folder = Paths::LogFolder();
    if (Paths::ApplicationSupport().isEmpty() || folder.isEmpty()) return;
    IOpener::Current().OpenPath(folder);
}

void AppDelegate::OpenBackupPathMenuEvent() {
    const QString folder = manager.getSaveBackUpPath();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        IOpener::Current().OpenPath(folder);
    else
        ShowNoPathAlert();
}

void AppDelegate::OpeniTunesPathMenuEvent() {
    const QString folder = Paths::ApplicationSupport().isEmpty() ? QString() : Paths::BackupsFolder();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        IOpener::Current().OpenPath(folder);
    else
        ShowNoPathAlert();
}

void AppDelegate::applicationShouldTerminate() {
    if (terminated) return;
    terminated = true;
    if (ServiceHooks::Current().eventAction) ServiceHooks::Current().eventAction(1);
    // Nothing may still write into the cache folder when it is removed: stop the scan
    // and the save, and wait for every backup, analysis and scan task to end.
    controller->StopAndWait();
    if (manager.isScan()) manager.StopScan();
    manager.WaitForTasks();
    // The folders the scans made (contact pictures and other derived files) and the
    // backup cache: none outlives the application. A symbolic link is never followed.
    manager.RemoveScanFolders();
    const QString cache = manager.getSaveBackUpPath();
    if (!cache.isEmpty()) CacheFolder::RemoveInside(cache, QFileInfo(cache).absolutePath());
    if (about) about->close();
    if (terms) terms->close();
    // Closing the main window quits: previews, feedback and other windows still open
    // close with it, so none of them keeps the process alive.
    for (QWidget* other : QApplication::topLevelWidgets())
        if (other != window.get() && other->isVisible() && other->isWindow()) other->close();
}
