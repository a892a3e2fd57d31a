#pragma once
#include "platform/IAppearance.h"

class QPalette;

// Dark when the lightness of the window colour of the widget's palette is below 128
// (Qt 6.4 gives no colour-scheme hint of its own).
class Appearance final : public IAppearance {
  public:
    bool IsDark(const QWidget* widget) const override;
    static bool IsDarkPalette(const QPalette& palette);
};
