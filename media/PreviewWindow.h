#pragma once
#include <QMargins>
#include <QRect>
#include <QSize>
#include <Qt>

class QKeyEvent;
class QWidget;

// What the preview windows share: they open centred on the application's window and stay
// in front of it, fit the screen's available area and close on Esc.
class PreviewWindow {
  public:
    PreviewWindow() = delete;

    // The window flags of a preview: a dialog-type window (which window managers keep
    // above the window it is transient for; a plain window is only stacked by clicks)
    // with a title, a close and a maximise button.
    static constexpr Qt::WindowFlags kFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                              Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;

    // Shows `window` above the window the user works in (the active one, else the first
    // visible top-level window that is no preview): made transient for it, so that the
    // window manager keeps the preview in front of it, opened centred on it, then raised
    // and activated.
    static void ShowInFront(QWidget* window);
    // The frame of the window `window` is shown for (its transient parent); null when
    // there is none.
    static QRect AnchorFrame(const QWidget* window);
    // Moves `window`, at its present size, to the middle of its anchor (or of the
    // available area without one), inside the available area.
    static void Centre(QWidget* window);
    // After the content of a shown `window` changed: when that changed the window's size
    // from `before`, moves it so that its middle stays where it was (inside the area).
    static void KeepCentre(QWidget* window, const QSize& before);
    // The available area of the screen `window` is on (or will be on: its anchor's).
    static QRect AvailableArea(const QWidget* window);
    // The frame a window manager adds around `window` (a guess before it is shown).
    static QMargins FrameOf(const QWidget* window);
    // The client geometry for content of `content` size plus `chrome` (margins, controls)
    // inside `available` with the window frame `frame`: the content scaled down with its
    // aspect kept until the framed window fits, never scaled up, centred on `over` (the
    // anchor's frame) when given, else in the area, and moved to lie inside the area.
    static QRect FitGeometry(const QSize& content, const QSize& chrome, const QMargins& frame,
                             const QRect& available, const QRect& over = QRect());
    // Where a framed window of `framed` size goes: centred on `over` when given, else in
    // `available`, then moved (never resized) to lie inside `available` where it fits.
    static QPoint Place(const QSize& framed, const QRect& over, const QRect& available);
    // The largest content size that fits, with `chrome` and `frame`, into `available`.
    static QSize ContentRoom(const QSize& chrome, const QMargins& frame, const QRect& available);
    // Titles `window` with the text of `key` in the language tables, again at each change
    // of language.
    static void SetTitle(QWidget* window, const char* key);
    // Titles `window` with `title` as it is (a file name).
    static void SetOwnTitle(QWidget* window, const QString& title);
    // Puts the title of SetTitle into the language now in force.
    static void Retitle(QWidget* window);
    // True for the key that closes a preview (Esc without modifiers).
    static bool IsCloseKey(const QKeyEvent* event);
};
