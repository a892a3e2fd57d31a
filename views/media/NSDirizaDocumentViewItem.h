#pragma once
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

// A document tile (a file no preview window shows: a PDF, an office document), painted:
// the document picture with the file's extension, the tick box and the shortened name.
class NSDirizaDocumentViewItem {
  public:
    NSDirizaDocumentViewItem() = delete;
    // `label`: the extension shown on the picture ("PDF"); empty shows none.
    static void Paint(QPainter& painter, const QRect& tile, const QString& fileName, const QString& label,
                      bool checked, bool dark, const QWidget* widget);
};
