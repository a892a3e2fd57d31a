#pragma once
#include <QColor>

class QWidget;

// The look the result tables share: dark when the window colour is dark, and the table
// background of each appearance.
class SystemViewLook {
  public:
    SystemViewLook() = delete;
    // True when the widget's window colour has a lightness below 128.
    static bool IsDark(const QWidget* widget);
    // RGB 236, 236, 236 light; 33, 34, 35 dark.
    static QColor TableBackground(bool dark) { return dark ? QColor(33, 34, 35) : QColor(236, 236, 236); }
    // The text colour of a row: red for a deleted record, else the palette's text.
    static QColor DeletedText() { return QColor(255, 59, 48); }
    // Sets the table's base colour for its appearance.
    static void ApplyTableLook(QWidget* table);
    // The same for a table whose items draw the style's tick boxes, following `owner`'s
    // appearance: the boxes take their outline from the window colour, which in the dark
    // appearance is kept apart from the background so that an empty box stays visible.
    static void ApplyTickTableLook(QWidget* table, const QWidget* owner);
};
