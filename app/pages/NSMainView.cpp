#include "app/pages/NSMainView.h"

#include "app/pages/NSGuideView.h"
#include "app/pages/ServiceHooks.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

NSMainView::NSMainView(QWidget* mainWindow) : Window(mainWindow) {}

NSMainView::~NSMainView() = default;

QPoint NSMainView::CentredOrigin(const QRect& available, const QSize& size) {
    return QPoint(available.x() + (available.width() - size.width()) / 2,
                  available.y() + (available.height() - size.height()) / 2);
}

void NSMainView::ActivationPCRecovery() {
    if (!Window) return;
    // A main window already on screen keeps the size and place the user gave it: it only
    // comes to the front.
    if (Window->isVisible()) {
        if (Window->isMinimized()) Window->setWindowState(Window->windowState() & ~Qt::WindowMinimized);
        Window->raise();
        Window->activateWindow();
        return;
    }
    Window->setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    Window->adjustSize();
    Window->setMinimumSize(Window->size());
    // The space of the primary screen not taken by panels and docks.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        Window->move(CentredOrigin(screen->availableGeometry(), Window->frameGeometry().size()));
    Window->show();
    Window->raise();
}

NSGuideView* NSMainView::Guide() const {
    return guide.get();
}

void NSMainView::ActivationMobileRecovery() {
    if (!guide) guide = std::make_unique<NSGuideView>();
    guide->setWindowFlag(Qt::WindowMinMaxButtonsHint, false);
    guide->setDelegate(this);
    guide->show();
    // A guide already open behind another window comes to the front.
    guide->raise();
    guide->activateWindow();
}

void NSMainView::SelectPCRecovery() {
    auto& hooks = ServiceHooks::Current();
    if (hooks.showDownloadPackage) hooks.showDownloadPackage([this] { ActivationMobileRecovery(); });
}

void NSMainView::SelectMobileRecovery() {
    ActivationPCRecovery();
}
