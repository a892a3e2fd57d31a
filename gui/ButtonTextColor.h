#pragma once
#include <QColor>

class QAbstractButton;

// Colours a button's title; font, alignment and the rest stay.
class ButtonTextColor {
  public:
    ButtonTextColor() = delete;
    static void setTextColor(QAbstractButton* button, const QColor& color);
};
