// The application's entry.
#include "gui/NSLanguageText.h"
#include "app/pages/AppDelegate.h"
#include "app/pages/ApplicationResultViews.h"
#include "app/pages/ServiceHooks.h"
#include "app/pages/ServiceWiring.h"
#include "media/MediaBackend.h"
#include "media/MediaWorkFolder.h"
#include "scan/DeviceManage.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fputs("no graphical session: set DISPLAY or WAYLAND_DISPLAY, or run scripts/screenshots\n",
                   stderr);
        return 1;
    }
    ChooseMediaBackend();
    QApplication app(argc, argv);
    AppDelegate::SetApplicationIdentity();
    QApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("diriza"));

    NSLanguageText::shareInstance();
    NSLanguageText::ServeScanTexts();
    ServiceWiring::Install(ServiceHooks::Current());
    DeviceManage* manager = DeviceManage::shareInstance();
    MediaWorkFolder::SetProvider([manager] { return manager->ScanOutputFolder(); });
    ApplicationResultViews resultViews;
    ViewController::Options options;
    options.resultViews = resultViews.Factory();
    options.redirectLog = true;
    AppDelegate delegate(*manager, std::move(options));
    delegate.applicationDidFinishLaunching();
    return app.exec();
}
