#include "gui/MyExtensions.h"

#include <QCryptographicHash>
#include <QTextCharFormat>

#include <vector>

namespace {

// One character as the abbreviation walks it: its UTF-16 units and its weight. A
// surrogate pair is one character; a lone surrogate is a character of weight 1.
struct Unit {
    qsizetype start = 0, length = 1;
    int weight = 1;
};

std::vector<Unit> UnitsOf(const QString& text) {
    std::vector<Unit> units;
    units.reserve(size_t(text.size()));
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        Unit u{i, 1, 1};
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            u.length = 2;
            u.weight = 2;
        } else if (!c.isSurrogate() && c.unicode() >= 0x0800) {
            u.weight = 2; // three bytes in UTF-8
        }
        units.push_back(u);
        i += u.length;
    }
    return units;
}

} // namespace

QString MyExtensions::md5(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(0));
    const QByteArray bytes = (nul < 0 ? text : text.left(nul)).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

int MyExtensions::TextWidth(const QString& text) {
    int width = 0;
    for (const Unit& u : UnitsOf(text))
        width += u.weight;
    return width;
}

QString MyExtensions::thumb13(const QString& text) {
    return Abbreviate(text, 11, 5, 5);
}

QString MyExtensions::thumb17(const QString& text) {
    return Abbreviate(text, 15, 6, 7);
}

QString MyExtensions::Abbreviate(const QString& text, int limit, int headLimit, int tailLimit) {
    const std::vector<Unit> units = UnitsOf(text);
    int width = 0;
    for (const Unit& u : units)
        width += u.weight;
    if (text.isEmpty() || width <= limit) return text;

    size_t head = 0; // characters taken from the start
    for (int w = 0; head < units.size() && w + units[head].weight <= headLimit; ++head)
        w += units[head].weight;
    size_t tail = 0; // characters taken from the end
    for (int w = 0; tail < units.size() - head && w + units[units.size() - 1 - tail].weight <= tailLimit;
         ++tail)
        w += units[units.size() - 1 - tail].weight;

    const qsizetype headEnd = head ? units[head - 1].start + units[head - 1].length : 0;
    const qsizetype tailStart = tail ? units[units.size() - tail].start : text.size();
    return text.left(headEnd) + QStringLiteral("...") + text.mid(tailStart);
}

QList<QTextLayout::FormatRange> MyExtensions::TextColor(const QString& text, const QString& words,
                                                        const QColor& color) {
    QList<QTextLayout::FormatRange> ranges;
    if (words.isNull() || !color.isValid()) return ranges;
    QTextCharFormat format;
    format.setForeground(color);
    for (const QString& word : words.split(QLatin1Char(' '))) {
        if (word.isEmpty()) continue;
        const qsizetype at = text.indexOf(word);
        if (at < 0) continue;
        QTextLayout::FormatRange range;
        range.start = int(at);
        range.length = int(word.size());
        range.format = format;
        ranges.append(range);
    }
    return ranges;
}

QString MyExtensions::TextColorHtml(const QString& text, const QString& words, const QColor& color) {
    // Mark the coloured characters (ranges may overlap), then emit runs.
    std::vector<bool> coloured(size_t(text.size()), false);
    for (const QTextLayout::FormatRange& r : TextColor(text, words, color))
        for (int i = r.start; i < r.start + r.length; ++i)
            coloured[size_t(i)] = true;
    QString html;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype j = i;
        while (j < text.size() && coloured[size_t(j)] == coloured[size_t(i)])
            ++j;
        const QString run = text.mid(i, j - i).toHtmlEscaped();
        if (coloured[size_t(i)])
            html += QStringLiteral("<span style=\"color:%1\">%2</span>").arg(color.name(), run);
        else
            html += run;
        i = j;
    }
    return html;
}
