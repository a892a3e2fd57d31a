#pragma once

class QWidget;

// Tells whether a widget shows in the dark or the light appearance.
class IAppearance {
  public:
    virtual ~IAppearance() = default;
    // True for the dark appearance of `widget` (the application's when null).
    virtual bool IsDark(const QWidget* widget) const = 0;

    // The appearance windows use: the one set with SetCurrent, else the palette's
    // (Appearance).
    static IAppearance& Current();
    // Replaces it (tests); null restores the real one.
    static void SetCurrent(IAppearance* appearance);
    // Shorthand for Current().IsDark(widget).
    static bool Dark(const QWidget* widget) { return Current().IsDark(widget); }
};
