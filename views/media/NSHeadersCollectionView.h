#pragma once
#include <QRect>
#include <QString>

class QPainter;
class QWidget;

// The header row of one day in a media grid, painted: the day's tick box with its title
// ("         2020-01-01 (3)") over the title picture.
class NSHeadersCollectionView {
  public:
    NSHeadersCollectionView() = delete;
    static void Paint(QPainter& painter, const QRect& row, const QString& title, bool checked, bool dark,
                      const QWidget* widget);
};
