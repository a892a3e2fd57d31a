#include "gui/ColorRoles.h"

#include <QPainter>

namespace {

QColor Rgb(int r, int g, int b, double alpha = 1.0) {
    QColor c(r, g, b);
    c.setAlphaF(float(alpha));
    return c;
}

ColorRoles::Look Fill(const QColor& c) {
    ColorRoles::Look look;
    look.draws = true;
    look.fill = c;
    return look;
}

ColorRoles::Look Box(const QColor& frame, double border, const QColor& inner,
                     const QMarginsF& margins = QMarginsF()) {
    ColorRoles::Look look;
    look.draws = true;
    look.box = true;
    look.frame = frame;
    look.border = border;
    look.fill = inner;
    look.boxMargins = margins;
    return look;
}

} // namespace

QRectF ColorRoles::Look::BoxRect(const QRectF& bounds) const {
    return bounds.marginsRemoved(boxMargins);
}

ColorRoles::Look ColorRoles::LookOf(Role role, bool dark, const QColor& custom) {
    const QColor white(255, 255, 255), gray(128, 128, 128);
    switch (role) {
    case NSViewColorWhite:
        return Fill(Rgb(255, 255, 255, 0.9));
    case NSViewColorGray:
        return Fill(Rgb(244, 245, 246, 0.5));
    case NSViewColorWhitebox:
        return Box(Rgb(197, 197, 197), 1, white);
    case NSViewColorGraybox:
    case NSGrayAquaDark:
        return Box(gray, 0.5, dark ? Rgb(33, 34, 35) : Rgb(245, 245, 245));
    case MainViewColor:
        return Fill(Rgb(239, 239, 239));
    case ViewColor:
        return custom.isValid() ? Fill(custom) : Look{};
    case NSWhiteAquaDark:
        return dark ? Fill(Rgb(33, 34, 35)) : Look{};
    case NSTableBackground:
        return Fill(dark ? Rgb(50, 52, 54, 0.5) : Rgb(255, 255, 255));
    case NSLightGreyDark:
        return Fill(Rgb(225, 249, 254, dark ? 0.4 : 0.9));
    case NSTableRowViewWhite:
        return Fill(white);
    case NSTableRowViewGray:
        return Fill(Rgb(244, 245, 246));
    case NSTableRowViewGraybox:
        return Box(Rgb(197, 197, 197), 1, Rgb(245, 245, 245));
    case NSTableRowViewWhitebox:
        return Box(Rgb(197, 197, 197), 1, white);
    case ThumbnailItemView:
        // 4 at the sides, 6 at the top, 28 at the bottom (room for the name).
        return Box(Rgb(225, 225, 225), 1, Rgb(245, 245, 245), QMarginsF(4, 6, 4, 28));
    case GrayColorView:
    case GrayView:
        return Fill(Rgb(245, 245, 245));
    case WhiteView:
        return Fill(white);
    }
    return Look{};
}

void ColorRoles::Paint(QPainter& painter, Role role, bool dark, const QRectF& bounds, const QRectF& dirty,
                       const QColor& custom) {
    const Look look = LookOf(role, dark, custom);
    if (!look.draws) return;
    if (!look.box) {
        painter.fillRect(dirty, look.fill);
        return;
    }
    const QRectF outer = look.BoxRect(bounds);
    if (outer.width() <= 0 || outer.height() <= 0) return;
    painter.fillRect(outer, look.frame);
    const QRectF inner = outer.adjusted(look.border, look.border, -look.border, -look.border);
    if (inner.width() > 0 && inner.height() > 0) painter.fillRect(inner, look.fill);
}

const char* ColorRoles::Name(Role role) {
    static const char* const names[RoleCount] = {
        "NSViewColorWhite",
        "NSViewColorGray",
        "NSViewColorWhitebox",
        "NSViewColorGraybox",
        "NSGrayAquaDark",
        "MainViewColor",
        "ViewColor",
        "NSWhiteAquaDark",
        "NSTableBackground",
        "NSLightGreyDark",
        "NSTableRowViewWhite",
        "NSTableRowViewGray",
        "NSTableRowViewGraybox",
        "NSTableRowViewWhitebox",
        "ThumbnailItemView",
        "GrayColorView",
        "WhiteView",
        "GrayView",
    };
    return role >= 0 && role < RoleCount ? names[role] : "";
}
