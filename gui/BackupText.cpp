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

Qt::LayoutDirection BackupText::Direction(const QString& text, Qt::LayoutDirection fallback) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text.at(i).unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        switch (QChar::direction(code)) {
        case QChar::DirL:
        case QChar::DirLRE:
        case QChar::DirLRO:
        case QChar::DirLRI:
            return Qt::LeftToRight;
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirRLI:
            return Qt::RightToLeft;
        default:
            break;
        }
    }
    return fallback;
}

QString BackupText::Isolated(const QString& text) {
    if (text.isEmpty()) return text;
    // FIRST STRONG ISOLATE ... POP DIRECTIONAL ISOLATE
    return QChar(0x2068) + text + QChar(0x2069);
}

QTextOption BackupText::WrappedOption(const QString& text, Qt::Alignment alignment,
                                      Qt::LayoutDirection fallback) {
    QTextOption option(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTextDirection(Direction(text, fallback));
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
