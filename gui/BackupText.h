#pragma once
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTextOption>

class QFont;
class QPainter;

// Drawing text that came from a backup (messages, names, addresses, signatures): such
// text keeps its own reading direction, taken from its first strong character, whatever
// the interface's direction is; a text without one (a date, a number) reads left to
// right. Interface texts are not drawn through these helpers.
class BackupText {
  public:
    BackupText() = delete;

    // The direction of the text's first strong character (left-to-right letters, or
    // right-to-left Hebrew and Arabic ones); left to right when it has none.
    static Qt::LayoutDirection Direction(const QString& text);

    // The text wrapped in a first-strong isolate, for widgets that lay text out in the
    // interface's direction (labels, table cells): the text reads in its own direction
    // and keeps the widget's alignment. Empty text stays empty.
    static QString Isolated(const QString& text);

    // Options for a wrapped paragraph: broken at word boundaries, and inside a word only
    // when the word is longer than the line; the direction as Direction() tells, and
    // left and right taken as leading and trailing unless `alignment` is absolute.
    static QTextOption WrappedOption(const QString& text, Qt::Alignment alignment);

    // The height of `text` laid out with `option` in `font` within `width`.
    static qreal WrappedHeight(const QString& text, const QFont& font, qreal width,
                               const QTextOption& option);
    // The same layout's width (its widest line) and height; 0 x 0 for no text.
    static QSizeF WrappedSize(const QString& text, const QFont& font, qreal width, const QTextOption& option);
    // The lines of that layout, as the parts of `text` each one holds.
    static QStringList WrappedLines(const QString& text, const QFont& font, qreal width,
                                    const QTextOption& option);
    // Draws `text` laid out as WrappedHeight() lays it out, from the top of `rect`.
    static void DrawWrapped(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                            const QTextOption& option);
};
