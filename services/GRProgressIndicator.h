#pragma once
// A self-drawn horizontal progress bar: a glossy fill in one of several colour themes
// and, while it animates, soft highlights gliding along the fill (determinate) or
// slanted stripes running across the bar (indeterminate). A growing value slides to its
// new width over 0.3 s; a shrinking one jumps. GUI thread only.
#include <QColor>
#include <QLinearGradient>
#include <QRect>
#include <QWidget>

#include <array>
#include <optional>

class QPropertyAnimation;
class QTimer;

class GRProgressIndicator : public QWidget {
    Q_OBJECT
    Q_PROPERTY(double internalDoubleValue READ internalDoubleValue WRITE setInternalDoubleValue)

  public:
    explicit GRProgressIndicator(QWidget* parent = nullptr);
    ~GRProgressIndicator() override;

    double doubleValue() const { return value; }
    void setDoubleValue(double x);
    double minValue() const { return minimum; }
    void setMinValue(double v);
    double maxValue() const { return maximum; }
    void setMaxValue(double v);
    bool isIndeterminate() const { return indeterminate; }
    void setIndeterminate(bool flag);
    int theme() const { return themeNumber; }
    void setTheme(int theme);

    double internalDoubleValue() const { return internalValue; }
    void setInternalDoubleValue(double v);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return animating; }
    int currentAnimationStep() const { return animationStep; }

    // The fill: x 1, y 2, the fraction of the width rounded to whole pixels, the height
    // less 3. The fraction is 1 when indeterminate, else the drawn value's place between
    // minimum and maximum (0 when they are equal).
    QRect progressBarRect() const;

    // The slide of a growing value (for tests).
    QPropertyAnimation* valueAnimation() const { return growth; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void setupTheme();
    void Step();
    const QLinearGradient& FillGradient();
    void drawProgressBar(QPainter& p);
    void drawAnimationStep(QPainter& p);
    void drawIndeterminateAnimationStep(QPainter& p);

    std::array<QColor, 5> gradientColors;
    std::array<QColor, 4> inactiveColors;
    std::optional<QLinearGradient> fillGradient; // cached; dropped on theme or activation change
    int gradientHeight = -1;

    QTimer* renderTimer = nullptr;        // child; 20 ms steps while animating
    QPropertyAnimation* growth = nullptr; // child
    bool animating = false;
    int animationStep = 0;
    bool indeterminate = false;
    int themeNumber = 2;
    double value = 0;
    double minimum = 0;
    double maximum = 100;
    double internalValue = 0;
};
