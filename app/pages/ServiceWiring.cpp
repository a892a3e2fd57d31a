#include "app/pages/ServiceWiring.h"

#include "app/pages/AppDelegate.h"
#include "app/pages/MainWindow.h"
#include "app/pages/ServiceHooks.h"
#include "services/Configuration.h"
#include "services/MPAuthorizer.h"
#include "services/MPPermissionsKit.h"
#include "services/NSDownloadPackageView.h"
#include "services/NSDownloadPackageViewDelegate.h"
#include "services/NSPermissionsWindow.h"
#include "services/NSWindowControllerCheckUpdateApp.h"
#include "services/NSWindowControllerFeedback.h"
#include "services/NSWindowControllerNewFeedback.h"
#include "services/UserActionAnalysis.h"

#include <QApplication>

#include <functional>
#include <utility>

namespace {

constexpr unsigned kFullDiskAccess = 4;

// Hands the download window's closing to whoever opened it last.
class DownloadClosed : public NSDownloadPackageViewDelegate {
  public:
    void NSDownloadPackageView_CloseEvent() override {
        // Taken out first: the receiver may open the window again.
        std::function<void()> handler = std::exchange(closed, {});
        if (handler) handler();
    }
    std::function<void()> closed;
};

// Shows a service window centred on the visible main window (if any).
void ShowOverMainWindow(QWidget& window, const std::function<void()>& show) {
    show();
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* main = qobject_cast<MainWindow*>(top); main && main->isVisible()) {
            AppDelegate::CentreOn(&window, main);
            break;
        }
}

DownloadClosed& DownloadReceiver() {
    static DownloadClosed receiver;
    return receiver;
}

} // namespace

void ServiceWiring::Install(ServiceHooks& hooks) {
    hooks.fullDiskAccessStatus = [] {
        const MPAccessState state = MPPermissionsKit::authorizationStatusForPermissionType(kFullDiskAccess);
        return state == MPAccessStateGranted ? 2 : state == MPAccessStateRefused ? 1 : 0;
    };
    // The page keeps the window and deletes it when it is done with it.
    hooks.createPermissionsWindow = []() -> QWidget* { return new NSPermissionsWindow(); };
    hooks.permissionsWindowLanguage = [](QWidget* window) {
        if (auto* permissions = qobject_cast<NSPermissionsWindow*>(window)) permissions->UpdateLanguage();
    };
    hooks.showDownloadPackage = [](std::function<void()> closed) {
        NSDownloadPackageView& view = NSDownloadPackageView::shareInstance();
        DownloadClosed& receiver = DownloadReceiver();
        receiver.closed = std::move(closed);
        view.setDelegate(receiver.closed ? &receiver : nullptr);
        view.DownloadPackage(nullptr);
    };
    hooks.showFeedback = [] {
        auto& w = NSWindowControllerFeedback::shareInstance();
        ShowOverMainWindow(w, [&w] { w.Show(); });
    };
    hooks.showNewFeedback = [] {
        auto& w = NSWindowControllerNewFeedback::shareInstance();
        ShowOverMainWindow(w, [&w] { w.Show(); });
    };
    hooks.showCheckUpdate = [] {
        auto& w = NSWindowControllerCheckUpdateApp::shareInstance();
        ShowOverMainWindow(w, [&w] { w.Show(); });
    };
    hooks.setLanguage = [](int language) {
        NSDownloadPackageView::shareInstance().setLanguage(language);
        NSWindowControllerCheckUpdateApp::shareInstance().setLanguage(language);
        NSWindowControllerFeedback::shareInstance().setLanguage(language);
    };
    hooks.saveGuide = [] { Configuration::shareInstance().SaveGuide(); };
    hooks.loadSettings = [] { Configuration::shareInstance(); };
    hooks.eventAction = [](int action) {
        if (action == 1) UserActionAnalysis::shareInstance().EventAction(true);
    };
}
