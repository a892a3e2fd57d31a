#pragma once
#include "app/pages/ViewController.h"
#include "scan/IDeviceManage.h"

#include <QAction>
#include <QKeySequence>
#include <QList>
#include <QMenu>
#include <QObject>

#include <array>
#include <memory>

class MainWindow;
class NSMainView;
class NSWindowsAbout;
class WebWindowController;

// The application's top: the main window with its menus (language, help, the folders of
// logs and backups, quit), the About and terms windows, and the clean-up at quit.
class AppDelegate final : public QObject {
    Q_OBJECT
  public:
    AppDelegate(IDeviceManage& manager, ViewController::Options options);

    // The organisation and application names settings and folders are filed under;
    // set once, by main, before anything reads a setting.
    static void SetApplicationIdentity();
    // The Quit item's keys: the desktop's own and Ctrl+Q.
    static QList<QKeySequence> QuitShortcuts();
    // Moves `window` so that it stands centred on `anchor` (on the anchor's screen).
    static void CentreOn(QWidget* window, const QWidget* anchor);
    ~AppDelegate() override;

    // Shows the main window and applies the current language to the menus.
    void applicationDidFinishLaunching();
    void setLanguage(int language);
    // The clean-up when the main window closes: stops the scan and the save, waits for
    // every task, then removes the backup cache folder.
    void applicationShouldTerminate();

    void AboutMenuEvent();
    void PrivacyMenuEvent();
    // Shows the guide (the choice between this computer and the device).
    void GuideMenuEvent();
    void OpenLogPathMenuEvent();
    void OpenBackupPathMenuEvent();
    void OpeniTunesPathMenuEvent();

    MainWindow* Window() const { return window.get(); }
    ViewController* Controller() const { return controller; }
    NSMainView* Launcher() const { return launcher.get(); }
    NSWindowsAbout* About();
    WebWindowController* Terms();
    QAction* LanguageItem(int language) const;
    QMenu* LanguageMenu() const { return languageMenu; }
    QAction* PrivacyItem() const { return privacyAction; }
    QAction* MenuItem(const char* key) const;

  private:
    void ShowNoPathAlert();

    IDeviceManage& manager;
    std::unique_ptr<MainWindow> window;
    ViewController* controller = nullptr;
    std::unique_ptr<NSMainView> launcher;
    std::unique_ptr<NSWindowsAbout> about;
    std::unique_ptr<WebWindowController> terms;
    std::array<QAction*, 12> languageItems{};
    QMenu* languageMenu = nullptr;
    QMenu* helpMenu = nullptr;
    QMenu* debugMenu = nullptr;
    QMenu* appMenu = nullptr;
    QAction* aboutAction = nullptr;
    QAction* feedbackAction = nullptr;
    QAction* newFeedbackAction = nullptr;
    QAction* updateAction = nullptr;
    QAction* quitAction = nullptr;
    QAction* privacyAction = nullptr;
    QAction* guideAction = nullptr;
    QAction* openLogAction = nullptr;
    QAction* openBackupAction = nullptr;
    QAction* openBackupsAction = nullptr;
    bool terminated = false;
};
