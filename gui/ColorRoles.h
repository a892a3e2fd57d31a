#pragma once
#include <QColor>
#include <QRect>

class QPainter;

// The background roles of pages, panels, boxes and table rows, each in the light and
// the dark appearance. A role either fills the area being drawn with one colour, or
// draws a box (an outer fill in a frame colour, then an inner fill inset by the border
// width), or draws nothing (NSWhiteAquaDark in light mode).
class ColorRoles {
  public:
    enum Role {
        NSViewColorWhite,
        NSViewColorGray,
        NSViewColorWhitebox,
        NSViewColorGraybox,
        NSGrayAquaDark,
        MainViewColor,
        ViewColor, // the colour given (ColorView::setColor)
        NSWhiteAquaDark,
        NSTableBackground,
        NSLightGreyDark,
        NSTableRowViewWhite,
        NSTableRowViewGray,
        NSTableRowViewGraybox,
        NSTableRowViewWhitebox,
        ThumbnailItemView,
        GrayColorView,
        WhiteView,
        GrayView,
    };
    static constexpr int RoleCount = GrayView + 1;

    // What a role draws in one appearance.
    struct Look {
        bool draws = false;                         // false: nothing of its own
        bool box = false;                           // false: `fill` over the area being drawn
        QColor fill;                                // the fill, or the box's inner colour
        QColor frame;                               // the box's outer colour
        double border = 0;                          // the box's border width
        QRectF BoxRect(const QRectF& bounds) const; // where the box goes in `bounds`
        QMarginsF boxMargins; // the box's distance from the bounds (left, top, right, bottom)
    };

    ColorRoles() = delete;

    static Look LookOf(Role role, bool dark, const QColor& custom = QColor());
    // Paints the role: fills `dirty` (the area being drawn), or the box on `bounds`.
    static void Paint(QPainter& painter, Role role, bool dark, const QRectF& bounds, const QRectF& dirty,
                      const QColor& custom = QColor());
    // The role's name ("NSViewColorWhite", ...).
    static const char* Name(Role role);

    // The background of the pages' tables and content boxes in dark mode: 33, 34, 35.
    static QColor DarkContent() { return QColor(33, 34, 35); }
};
