#pragma once
#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTextOption>

class QFont;

class NSSMSData;

// Geometry of the SMS message cells, free of widgets.

// The estimated width of a message text for its bubble: 20 for each UTF-16 unit from
// U+4E01 to U+9FFE, 11 for any other unit, at most 370.
qreal getFontPixelWidth(const QString& text);
// The row height of a message text: 40, plus 18 per line feed and per full 370 of
// estimated width beyond the first line. An empty text is 40.
qreal getFontPixelHeight(const QString& text);
// The same two for lines of at most `lineWidth` (a narrow list).
qreal getFontPixelWidth(const QString& text, qreal lineWidth);
qreal getFontPixelHeight(const QString& text, qreal lineWidth);
// The widest text line a bubble has in a cell `cellWidth` wide: 370, less in a cell too
// narrow for a bubble of that width with its tail.
qreal SmsLineWidth(qreal cellWidth);

// The angle of a bubble's tail (0, 10 or 40 degrees) for the bubble's smaller side `m`,
// its corner radius `r` and the corner asked for.
int BubbleTailAngle(qreal m, qreal r, qreal corner);

// A closed chat bubble around `rect`: rounded corners of radius `corner` (at most half
// the smaller side; none when not positive) and a tail whose tip lies 10 outside the
// rect: left of it for positions 1 and 2, right of it for 3 and 4; at the bottom for 2
// and 4, at the top for 1 and 3. Any other position draws no tail.
QPainterPath makeBubble(const QRectF& rect, qreal corner, int position);

// How one message cell is drawn in a cell of `cell` size.
struct SmsCellLayout {
    bool bubble = false; // false: a plain line, or nothing for an empty text
    int position = 0;    // the bubble's tail position
    QRectF bubbleRect;
    QRectF textRect;
    QColor fill; // the bubble's colour
    QColor text; // the text colour
    int pixelSize = 14;
    bool alignRight = false;
};
// Sent (Alignment 1) on the right in green, received (0) on the left in grey, anything
// else a plain grey line, right-aligned when the message was sent (nType not 0). A
// deleted message's text is red. Widths never go below 0; a bubble and its tail stay
// inside the cell's width.
SmsCellLayout LayoutSmsCell(const NSSMSData& message, const QSizeF& cell);
// The text's font size in a cell: 14 in a bubble, 12 on a plain line.
int SmsPixelSize(const NSSMSData& message);
// The row height a message needs in a cell `cellWidth` wide when its text is laid out in
// `font` (its pixel size set as SmsPixelSize): the estimated height, or more when the
// wrapped text is taller than the estimate leaves room for.
qreal SmsRowHeight(const NSSMSData& message, qreal cellWidth, const QFont& font);
// How the text of a cell is wrapped and in which direction it reads.
QTextOption SmsTextOption(const NSSMSData& message, const SmsCellLayout& layout);
