#include "gui/BackupText.h"

#include <QFont>
#include <QPainter>
#include <QStringView>
#include <QTextLayout>

#include <functional>

namespace {

// Lays `text` out in lines of `width`, one under the other from y 0; calls `each` with
// every line. Returns the height of the lines.
qreal LayOut(QTextLayout& layout, qreal width, const std::function<void(QTextLine&)>& each = {}) {
    qreal y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(std::max<qreal>(0, width));
        line.setPosition(QPointF(0, y));
        y += line.height();
        if (each) each(line);
    }
    layout.endLayout();
    return y;
}

} // namespace

Qt::LayoutDirection BackupText::Direction(const QString& text) {
    // The first strong character outside any isolate, as the bidirectional algorithm
    // finds it; none reads left to right, as a first-strong isolate does.
    return text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
}

QString BackupText::Isolated(const QString& text) {
    if (text.isEmpty()) return text;
    // FIRST STRONG ISOLATE ... POP DIRECTIONAL ISOLATE
    return QChar(0x2068) + text + QChar(0x2069);
}

QTextOption BackupText::WrappedOption(const QString& text, Qt::Alignment alignment) {
    const Qt::LayoutDirection direction = Direction(text);
    // A text layout takes left and right as they stand: for a right-to-left text the
    // leading side is the right one.
    if (direction == Qt::RightToLeft && !(alignment & Qt::AlignAbsolute)) {
        if (alignment & Qt::AlignLeft)
            alignment = (alignment & ~Qt::AlignLeft) | Qt::AlignRight;
        else if (alignment & Qt::AlignRight)
            alignment = (alignment & ~Qt::AlignRight) | Qt::AlignLeft;
    }
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(direction);
    return option;
}

qreal BackupText::WrappedHeight(const QString& text, const QFont& font, qreal width,
                                const QTextOption& option) {
    return WrappedSize(text, font, width, option).height();
}

QSizeF BackupText::WrappedSize(const QString& text, const QFont& font, qreal width,
                               const QTextOption& option) {
    if (text.isEmpty()) return {0, 0};
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(shown, font);
    layout.setTextOption(option);
    qreal widest = 0;
    const qreal height =
        LayOut(layout, width, [&](QTextLine& line) { widest = std::max(widest, line.naturalTextWidth()); });
    return {widest, height};
}

QStringList BackupText::WrappedLines(const QString& text, const QFont& font, qreal width,
                                     const QTextOption& option) {
    QStringList lines;
    if (text.isEmpty()) return lines;
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(shown, font);
    layout.setTextOption(option);
    LayOut(layout, width, [&](QTextLine& line) { lines << text.mid(line.textStart(), line.textLength()); });
    return lines;
}

void BackupText::DrawWrapped(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                             const QTextOption& option) {
    if (text.isEmpty()) return;
    QString shown = text;
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(shown, font);
    layout.setTextOption(option);
    LayOut(layout, rect.width());
    layout.draw(&painter, rect.topLeft());
}
