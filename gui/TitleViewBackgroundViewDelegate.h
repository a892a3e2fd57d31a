#pragma once
class QPainter;
class QRect;

// Paints the background of a TitleViewBackgroundView.
class TitleViewBackgroundViewDelegate {
  public:
    virtual ~TitleViewBackgroundViewDelegate() = default;
    virtual void drawRect(QPainter& painter, const QRect& dirty) = 0;
};
