#include "views/system/SmsBubble.h"

#include "gui/BackupText.h"
#include "scan/NSSMSData.h"
#include "views/frame/SystemViewLook.h"

#include <QFont>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal MaxLineWidth = 370.0;
constexpr qreal TailLength = 10.0;
// Room a bubble takes beside its text: the sent bubble's left edge lies 25 left of
// the text's left edge with its right side 10 from the cell's right edge (the tail in
// that gap); a line less, so the outline's stroke stays inside too.
constexpr qreal BubbleRoom = 26.0;
// No line narrower than this, however narrow the cell.
constexpr qreal MinLineWidth = 20.0;

// The unbounded estimated width and the line feeds of a text.
void Measure(const QString& text, qreal& width, int& lineFeeds) {
    width = 0;
    lineFeeds = 0;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == u'\n') {
            ++lineFeeds;
        } else if (u >= 0x4E01 && u <= 0x9FFE) {
            width += 20.0;
        } else {
            width += 11.0;
        }
    }
}

// A rounded corner around the centre (cx, cy) from `start` degrees, a quarter turn
// clockwise on screen; the corner point itself when there is no radius.
void Corner(QPainterPath& path, qreal cx, qreal cy, qreal r, qreal start, const QPointF& sharp) {
    if (r <= 0) {
        path.lineTo(sharp);
        return;
    }
    path.arcTo(QRectF(cx - r, cy - r, 2 * r, 2 * r), start, -90.0);
}

} // namespace

qreal getFontPixelWidth(const QString& text) {
    return getFontPixelWidth(text, MaxLineWidth);
}

qreal getFontPixelHeight(const QString& text) {
    return getFontPixelHeight(text, MaxLineWidth);
}

qreal getFontPixelWidth(const QString& text, qreal lineWidth) {
    qreal width = 0;
    int lineFeeds = 0;
    Measure(text, width, lineFeeds);
    // A line feed counts as any other unit for the bubble's width.
    width += 11.0 * lineFeeds;
    return std::min(width, std::max(lineWidth, MinLineWidth));
}

qreal getFontPixelHeight(const QString& text, qreal lineWidth) {
    lineWidth = std::max(lineWidth, MinLineWidth);
    qreal width = 0;
    int lineFeeds = 0;
    Measure(text, width, lineFeeds);
    qreal height = 40.0 + 18.0 * lineFeeds;
    if (width > lineWidth) height += 18.0 * std::floor((width - 1e-9) / lineWidth);
    return height;
}

qreal SmsLineWidth(qreal cellWidth) {
    return std::clamp(cellWidth - BubbleRoom, MinLineWidth, MaxLineWidth);
}

int BubbleTailAngle(qreal m, qreal r, qreal corner) {
    const qreal ratio = m > 0 ? r / m : 0;
    if (m < 30) return (ratio > 0.33 && ratio <= 0.5) ? 40 : 0;
    if (m <= 50) {
        if (ratio > 0.2 && ratio < 0.4) return 40;
        if (ratio >= 0.4 && ratio <= 0.5) return 10;
        return 0;
    }
    if (corner >= 10 && corner <= 15) return 40;
    if (corner > 15) return 10;
    return 0;
}

QPainterPath makeBubble(const QRectF& rect, qreal corner, int position) {
    const qreal m = std::min(rect.width(), rect.height());
    const qreal r = corner > 0 ? std::max<qreal>(0, std::min(corner, m * 0.5)) : 0;
    const int t = BubbleTailAngle(m, r, corner);
    const bool tail = position >= 1 && position <= 4;
    const qreal L = rect.left(), T = rect.top(), R = rect.right(), B = rect.bottom();
    const qreal H = rect.height();

    // Built with the tail at the bottom right, then mirrored for the other positions.
    QPainterPath path;
    if (tail && t != 0) {
        // A tail from the tip into the bottom-right corner, joined to its arc at
        // (50 - t) degrees below the right side.
        const qreal a = 50.0 - t;
        const qreal rad = a * M_PI / 180.0;
        const QPointF tip(R + TailLength, B);
        const QPointF joint(R - r + r * std::cos(rad), B - r + r * std::sin(rad));
        path.moveTo(tip);
        path.lineTo(joint);
        path.arcTo(QRectF(R - 2 * r, B - 2 * r, 2 * r, 2 * r), -a, -(90.0 - a));
        path.lineTo(L + r, B);
        Corner(path, L + r, B - r, r, 270.0, QPointF(L, B));
        path.lineTo(L, T + r);
        Corner(path, L + r, T + r, r, 180.0, QPointF(L, T));
        path.lineTo(R - r, T);
        Corner(path, R - r, T + r, r, 90.0, QPointF(R, T));
        path.lineTo(R, B - r);
        path.closeSubpath();
    } else {
        // A small notch centred on the right side (or no tail at all).
        qreal notch = H <= 30 ? (H - 2 * r - 10) * 0.5 : std::min<qreal>(10, (H - 2 * r) / 30);
        notch = std::max<qreal>(0, notch);
        const qreal mid = (T + B) / 2;
        path.moveTo(L + r, T);
        path.lineTo(R - r, T);
        Corner(path, R - r, T + r, r, 90.0, QPointF(R, T));
        if (tail) {
            path.lineTo(R, mid - notch / 2);
            path.lineTo(R + TailLength, mid);
            path.lineTo(R, mid + notch / 2);
        }
        path.lineTo(R, B - r);
        Corner(path, R - r, B - r, r, 0.0, QPointF(R, B));
        path.lineTo(L + r, B);
        Corner(path, L + r, B - r, r, 270.0, QPointF(L, B));
        path.lineTo(L, T + r);
        Corner(path, L + r, T + r, r, 180.0, QPointF(L, T));
        path.closeSubpath();
    }
    if (!tail) return path;
    const bool left = position <= 2;
    const bool top = position == 1 || position == 3;
    if (!left && !top) return path;
    // Mirror inside the rect: x' = L + R - x, y' = T + B - y.
    const QTransform mirror(left ? -1 : 1, 0, 0, top ? -1 : 1, left ? L + R : 0, top ? T + B : 0);
    return mirror.map(path);
}

SmsCellLayout LayoutSmsCell(const NSSMSData& message, const QSizeF& cell) {
    SmsCellLayout out;
    const QString& content = message.Content();
    if (content.isEmpty()) return out;
    const qreal W = cell.width(), H = cell.height();
    const qreal w = getFontPixelWidth(content, SmsLineWidth(W));
    const QColor deleted = SystemViewLook::DeletedText();
    switch (message.Alignment()) {
    case 1:
        out.bubble = true;
        out.position = 4;
        out.fill = QColor(0, 240, 81);
        out.text = message.bDelete() ? deleted : QColor(Qt::white);
        out.textRect = QRectF(W - w - 20, 10, w, std::max<qreal>(0, H - 20));
        out.bubbleRect = QRectF(W - (w + 15) - 10, 0, w + 15, H);
        break;
    case 0:
        out.bubble = true;
        out.position = 2;
        out.fill = QColor(228, 229, 235);
        out.text = message.bDelete() ? deleted : QColor(Qt::black);
        out.textRect = QRectF(15, 10, w, std::max<qreal>(0, H - 20));
        out.bubbleRect = QRectF(10, 5, w + 10, std::max<qreal>(0, H - 10));
        break;
    default:
        out.text = QColor(Qt::gray);
        out.pixelSize = 12;
        out.alignRight = message.nType() != 0;
        out.textRect = QRectF(out.alignRight ? W - w + 5 : 15, 10, std::max<qreal>(0, w - 20),
                              std::max<qreal>(0, H - 20));
        break;
    }
    return out;
}

int SmsPixelSize(const NSSMSData& message) {
    return message.Alignment() == 0 || message.Alignment() == 1 ? 14 : 12;
}

QTextOption SmsTextOption(const NSSMSData& message, const SmsCellLayout& layout) {
    // A bubble's text starts at the side its own direction reads from; a plain line
    // keeps to the side of the one who sent it.
    const Qt::Alignment alignment = layout.bubble       ? Qt::Alignment(Qt::AlignLeft)
                                    : layout.alignRight ? (Qt::AlignRight | Qt::AlignAbsolute)
                                                        : (Qt::AlignLeft | Qt::AlignAbsolute);
    return BackupText::WrappedOption(message.Content(), alignment | Qt::AlignTop);
}

qreal SmsRowHeight(const NSSMSData& message, qreal cellWidth, const QFont& font) {
    const QString& content = message.Content();
    const qreal estimate = getFontPixelHeight(content, SmsLineWidth(cellWidth));
    if (content.isEmpty()) return estimate;
    const SmsCellLayout layout = LayoutSmsCell(message, QSizeF(cellWidth, estimate));
    // The text starts 10 below the cell's top and keeps 10 free below it.
    const qreal text =
        BackupText::WrappedHeight(content, font, layout.textRect.width(), SmsTextOption(message, layout));
    return std::max(estimate, std::ceil(text) + 20.0);
}
