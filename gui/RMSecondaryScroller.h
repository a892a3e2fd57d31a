#pragma once
#include <QAbstractScrollArea>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

// A slim vertical scroller laid over another scroll area in place of that area's own
// vertical scroll bar: it mirrors the area's position and page size, scrolls the area
// when dragged, and fades out 0.6 s after the last change unless the pointer rests on
// it (then it fades 0.6 s after the pointer leaves). The knob darkens under the
// pointer; no groove is drawn.
class RMSecondaryScroller : public QScrollBar {
  public:
    static constexpr int Resolution = 10000; // the scroller's own range: 0..Resolution
    static constexpr int FadeDelayMs = 600;

    explicit RMSecondaryScroller(QWidget* parent = nullptr);
    // Placed at `frame` narrowed to the standard scroller width, keeping its right edge.
    RMSecondaryScroller(const QRect& frame, QWidget* parent);
    static QRect NarrowFrame(const QRect& frame, int width);

    QAbstractScrollArea* observedScrollView() const { return observed; }
    // Follows `view`: hides its vertical scroll bar and mirrors it from now on.
    void setObservedScrollView(QAbstractScrollArea* view);
    bool hideObservedScrollViewScrollers() const { return hideObserved; }
    void setHideObservedScrollViewScrollers(bool hide);

    // The position as a fraction 0..1, and the page's share of the document.
    double floatValue() const;
    void setFloatValue(double value);
    double knobProportion() const;
    void setKnobProportion(double proportion);

    // Where a position 0..1 scrolls a document of `documentHeight` in a view of
    // `viewHeight`: value × ceil(document − view), never below 0.
    static int ScrollTarget(double value, double documentHeight, double viewHeight);

    // Fading state, for tests.
    bool isFadePending() const { return fadeTimer.isActive(); }
    bool isFadingOutDelayed() const { return fadingOutDelayed; }
    bool isHovered() const { return hovered; }
    double opacity() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void Setup();
    void SyncFromObserved();
    void scrollValueChanged();
    void Show();
    void FadeOut();

    QPointer<QAbstractScrollArea> observed;
    bool hideObserved = false;
    bool syncing = false;
    bool hovered = false;
    bool fadingOutDelayed = false;
    QTimer fadeTimer;
    QGraphicsOpacityEffect* effect = nullptr; // owned by this widget
    QPropertyAnimation* fade = nullptr;       // owned by this widget
    QMetaObject::Connection valueConnection, rangeConnection;
};
