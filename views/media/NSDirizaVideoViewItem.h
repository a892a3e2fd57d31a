#pragma once
#include <QRect>
#include <QString>
#include <QtGlobal>

class QPainter;
class QWidget;

// A video tile, painted: the play button (or, for a text file, the start of its text,
// which opens the text preview), the tick box and the shortened file name.
class NSDirizaVideoViewItem {
  public:
    NSDirizaVideoViewItem() = delete;
    // How much of a text file its tile shows.
    static constexpr qint64 kExcerptBytes = 4096;
    // True for the suffix patterns of text files ("*.txt;", "*.text;").
    static bool IsTextSuffix(const QString& suffix);
    // `text`: the text tile's excerpt (null for other files).
    static void Paint(QPainter& painter, const QRect& tile, const QString& fileName, bool checked,
                      bool isText, const QString& text, bool hovered, bool dark, const QWidget* widget);
};
