#include "media/PreviewWindow.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

// The window the user works in: the active one, else the first visible top-level window
// that is no preview.
QWidget* AnchorFor(const QWidget* window) {
    QWidget* active = QApplication::activeWindow();
    if (active && active != window && !active->inherits("QMenu")) return active;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == window || !w->isVisible() || w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip)
            continue;
        if (w->testAttribute(Qt::WA_DontShowOnScreen)) continue;
        if (w->objectName().endsWith(QLatin1String("PreView"))) continue;
        return w;
    }
    return nullptr;
}

} // namespace

void PreviewWindow::ShowInFront(QWidget* window) {
    if (!window) return;
    if (QWidget* anchor = AnchorFor(window)) {
        window->winId(); // makes the native window, so it can be told its parent
        if (QWindow* handle = window->windowHandle()) {
            anchor->winId();
            if (QWindow* parent = anchor->windowHandle()) {
                handle->setTransientParent(parent);
                if (!window->isVisible()) handle->setScreen(parent->screen());
            }
        }
    }
    window->show();
    window->raise();
    window->activateWindow();
}

QRect PreviewWindow::AvailableArea(const QWidget* window) {
    QScreen* screen = nullptr;
    if (window) {
        if (const QWindow* handle = window->windowHandle(); handle && handle->transientParent())
            screen = handle->transientParent()->screen();
        if (!screen) screen = window->screen();
    }
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
}

QMargins PreviewWindow::FrameOf(const QWidget* window) {
    if (window && window->isVisible()) {
        const QRect frame = window->frameGeometry(), client = window->geometry();
        const QMargins m(client.left() - frame.left(), client.top() - frame.top(),
                         frame.right() - client.right(), frame.bottom() - client.bottom());
        if (m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0 &&
            (m.top() > 0 || m.left() > 0))
            return m;
    }
    // Not shown yet, or no frame known: room for a usual title bar and border.
    return QGuiApplication::platformName() == QLatin1String("offscreen") ? QMargins() : QMargins(8, 40, 8, 8);
}

QSize PreviewWindow::ContentRoom(const QSize& chrome, const QMargins& frame, const QRect& available) {
    const int w = available.width() - frame.left() - frame.right() - chrome.width();
    const int h = available.height() - frame.top() - frame.bottom() - chrome.height();
    return QSize(std::max(w, 1), std::max(h, 1));
}

QRect PreviewWindow::FitGeometry(const QSize& content, const QSize& chrome, const QMargins& frame,
                                 const QRect& available) {
    QSize c = content.isValid() && !content.isEmpty() ? content : QSize(1, 1);
    const QSize room = ContentRoom(chrome, frame, available);
    if (c.width() > room.width() || c.height() > room.height()) c.scale(room, Qt::KeepAspectRatio);
    c = c.expandedTo(QSize(1, 1));
    const QSize client = c + chrome;
    const int framedW = client.width() + frame.left() + frame.right();
    const int framedH = client.height() + frame.top() + frame.bottom();
    const int x = available.x() + std::max(0, (available.width() - framedW) / 2) + frame.left();
    const int y = available.y() + std::max(0, (available.height() - framedH) / 2) + frame.top();
    return QRect(QPoint(x, y), client);
}

bool PreviewWindow::IsCloseKey(const QKeyEvent* event) {
    return event && event->key() == Qt::Key_Escape &&
           (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}
