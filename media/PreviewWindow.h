#pragma once
#include <QMargins>
#include <QRect>
#include <QSize>

class QKeyEvent;
class QWidget;

// What the preview windows share: they open in front of the application's window, fit
// the screen's available area and close on Esc.
class PreviewWindow {
  public:
    PreviewWindow() = delete;

    // Shows `window` above the window the user works in (the active one, else the first
    // visible top-level window): made transient for it, so a window manager keeps the
    // preview in front even of a maximised main window, then raised and activated.
    static void ShowInFront(QWidget* window);
    // The available area of the screen `window` is on (or will be on: its anchor's).
    static QRect AvailableArea(const QWidget* window);
    // The frame a window manager adds around `window` (a guess before it is shown).
    static QMargins FrameOf(const QWidget* window);
    // The client geometry for content of `content` size plus `chrome` (margins, controls)
    // inside `available` with the window frame `frame`: the content scaled down with its
    // aspect kept until the framed window fits, never scaled up, centred in the area.
    static QRect FitGeometry(const QSize& content, const QSize& chrome, const QMargins& frame,
                             const QRect& available);
    // The largest content size that fits, with `chrome` and `frame`, into `available`.
    static QSize ContentRoom(const QSize& chrome, const QMargins& frame, const QRect& available);
    // True for the key that closes a preview (Esc without modifiers).
    static bool IsCloseKey(const QKeyEvent* event);
};
