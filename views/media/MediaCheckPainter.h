#pragma once
#include <QColor>
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

// The tick box with its text that tiles and day headers paint (the style's check box).
class MediaCheckPainter {
  public:
    MediaCheckPainter() = delete;
    // The box at `box`, then `text` from the box's right edge to the end of `line`.
    static void Paint(QPainter& painter, const QRect& box, const QRect& line, bool checked,
                      const QString& text, const QColor& textColor, const QWidget* widget);
};
