#include "media/PreviewWindow.h"

#include "media/MediaText.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QVariant>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

bool IsPreview(const QWidget* w) {
    return w->objectName().endsWith(QLatin1String("PreView"));
}

// The window the user works in: the active one, else the first visible top-level window
// (neither of them a preview).
QWidget* AnchorFor(const QWidget* window) {
    QWidget* active = QApplication::activeWindow();
    if (active && active != window && !active->inherits("QMenu") && !IsPreview(active)) return active;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == window || !w->isVisible() || w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip)
            continue;
        if (w->testAttribute(Qt::WA_DontShowOnScreen)) continue;
        if (IsPreview(w)) continue;
        return w;
    }
    return nullptr;
}

} // namespace

void PreviewWindow::ShowInFront(QWidget* window) {
    if (!window) return;
    const bool wasVisible = window->isVisible();
    if (QWidget* anchor = AnchorFor(window)) {
        window->winId(); // makes the native window, so it can be told its parent
        if (QWindow* handle = window->windowHandle()) {
            anchor->winId();
            if (QWindow* parent = anchor->windowHandle(); parent && handle->transientParent() != parent) {
                // The window system learns the parent when the window is mapped: a preview
                // shown for another window is shown anew.
                if (wasVisible) window->hide();
                handle->setTransientParent(parent);
                handle->setScreen(parent->screen());
            }
        }
    }
    if (!window->isVisible()) {
        // Opened in the middle of the window it is shown for; shown for the same window
        // again, it stays where the user put it.
        if (!wasVisible) {
            // At the size its content asks for, which showing would give it.
            if (QLayout* layout = window->layout()) layout->activate();
            Centre(window);
        }
        window->show();
    }
    window->raise();
    window->activateWindow();
}

QRect PreviewWindow::AnchorFrame(const QWidget* window) {
    const QWindow* handle = window ? window->windowHandle() : nullptr;
    const QWindow* parent = handle ? handle->transientParent() : nullptr;
    if (!parent || !parent->isVisible()) return QRect();
    return parent->frameGeometry();
}

void PreviewWindow::Centre(QWidget* window) {
    if (!window) return;
    const QMargins frame = FrameOf(window);
    const QSize framed = window->size().grownBy(frame);
    const QPoint at = Place(framed, AnchorFrame(window), AvailableArea(window));
    // The client area's place: move() takes a frame position only once the frame is known.
    window->setGeometry(QRect(at + QPoint(frame.left(), frame.top()), window->size()));
}

void PreviewWindow::KeepCentre(QWidget* window, const QSize& before) {
    if (!window || !window->isVisible()) return;
    if (QLayout* layout = window->layout()) layout->activate();
    const QSize now = window->size();
    if (now == before) return;
    // A resize keeps the top left corner: the frame goes back by half the growth.
    const QMargins frame = FrameOf(window);
    const QRect framed = window->geometry().marginsAdded(frame);
    const QPoint shift((now.width() - before.width()) / 2, (now.height() - before.height()) / 2);
    const QPoint at =
        Place(framed.size(), QRect(framed.topLeft() - shift, framed.size()), AvailableArea(window));
    window->setGeometry(QRect(at + QPoint(frame.left(), frame.top()), now));
}

QPoint PreviewWindow::Place(const QSize& framed, const QRect& over, const QRect& available) {
    const QRect middle = over.isValid() && !over.isEmpty() ? over : available;
    int x = middle.x() + (middle.width() - framed.width()) / 2;
    int y = middle.y() + (middle.height() - framed.height()) / 2;
    if (available.isValid()) {
        x = std::max(available.left(), std::min(x, available.x() + available.width() - framed.width()));
        y = std::max(available.top(), std::min(y, available.y() + available.height() - framed.height()));
    }
    return QPoint(x, y);
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
    // Not shown yet: what the window system already knows of its frame, if anything.
    if (const QWindow* handle = window ? window->windowHandle() : nullptr; handle && handle->handle()) {
        const QMargins m = handle->frameMargins();
        if (m.top() > 0 || m.left() > 0) return m;
        // The window manager frames it as the window it is shown for.
        if (const QWindow* parent = handle->transientParent(); parent && parent->isVisible()) {
            const QMargins p = parent->frameMargins();
            if (p.top() > 0 || p.left() > 0) return p;
        }
    }
    // No frame known: room for a usual title bar and border.
    return QGuiApplication::platformName() == QLatin1String("offscreen") ? QMargins() : QMargins(8, 40, 8, 8);
}

QSize PreviewWindow::ContentRoom(const QSize& chrome, const QMargins& frame, const QRect& available) {
    const int w = available.width() - frame.left() - frame.right() - chrome.width();
    const int h = available.height() - frame.top() - frame.bottom() - chrome.height();
    return QSize(std::max(w, 1), std::max(h, 1));
}

QRect PreviewWindow::FitGeometry(const QSize& content, const QSize& chrome, const QMargins& frame,
                                 const QRect& available, const QRect& over) {
    QSize c = content.isValid() && !content.isEmpty() ? content : QSize(1, 1);
    const QSize room = ContentRoom(chrome, frame, available);
    if (c.width() > room.width() || c.height() > room.height()) c.scale(room, Qt::KeepAspectRatio);
    c = c.expandedTo(QSize(1, 1));
    const QSize client = c + chrome;
    const QPoint at = Place(client.grownBy(frame), over, available);
    return QRect(at + QPoint(frame.left(), frame.top()), client);
}

namespace {
const char* const kTitleKey = "previewTitleKey";
} // namespace

void PreviewWindow::SetTitle(QWidget* window, const char* key) {
    if (!window) return;
    window->setProperty(kTitleKey, QByteArray(key));
    window->setWindowTitle(MediaText(key));
}

void PreviewWindow::SetOwnTitle(QWidget* window, const QString& title) {
    if (!window) return;
    window->setProperty(kTitleKey, QVariant());
    window->setWindowTitle(title);
}

void PreviewWindow::Retitle(QWidget* window) {
    if (!window) return;
    const QByteArray key = window->property(kTitleKey).toByteArray();
    if (!key.isEmpty()) window->setWindowTitle(MediaText(key.constData()));
}

bool PreviewWindow::IsCloseKey(const QKeyEvent* event) {
    return event && event->key() == Qt::Key_Escape &&
           (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}
