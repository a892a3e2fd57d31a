#include "services/GRProgressIndicator.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QRadialGradient>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kFrameMs = 20;
constexpr int kGrowthMs = 300;
constexpr int kSteps = 30;
constexpr double kCornerRadius = 8;

} // namespace

GRProgressIndicator::GRProgressIndicator(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    renderTimer = new QTimer(this); // owned by this widget
    renderTimer->setInterval(kFrameMs);
    connect(renderTimer, &QTimer::timeout, this, [this] { Step(); });
    growth = new QPropertyAnimation(this, "internalDoubleValue", this); // owned by this widget
    growth->setDuration(kGrowthMs);
    setupTheme();
}

GRProgressIndicator::~GRProgressIndicator() = default;

void GRProgressIndicator::setTheme(int theme) {
    themeNumber = theme;
    setupTheme();
    fillGradient.reset();
}

void GRProgressIndicator::setupTheme() {
    switch (themeNumber) {
    case 1: // slate grey-blue
        gradientColors = {QColor(170, 186, 204), QColor(120, 140, 165), QColor(104, 124, 150),
                          QColor(98, 118, 144), QColor(132, 150, 174)};
        break;
    case 2: // green
        gradientColors = {QColor(150, 226, 140), QColor(86, 196, 74), QColor(64, 178, 54),
                          QColor(58, 166, 50), QColor(98, 204, 86)};
        break;
    case 3: // red
        gradientColors = {QColor(246, 150, 146), QColor(222, 80, 72), QColor(204, 56, 50),
                          QColor(190, 50, 44), QColor(228, 96, 88)};
        break;
    case 4: // pink
        gradientColors = {QColor(250, 184, 214), QColor(238, 120, 176), QColor(226, 96, 160),
                          QColor(214, 88, 150), QColor(240, 134, 186)};
        break;
    case 5: // orange
        gradientColors = {QColor(255, 206, 140), QColor(250, 160, 60), QColor(240, 138, 30),
                          QColor(228, 128, 26), QColor(252, 172, 76)};
        break;
    default: // blue
        gradientColors = {QColor(150, 200, 250), QColor(70, 150, 236), QColor(44, 128, 224),
                          QColor(40, 118, 212), QColor(86, 160, 238)};
        break;
    }
    inactiveColors = {QColor(224, 224, 224), QColor(196, 196, 196), QColor(182, 182, 182),
                      QColor(204, 204, 204)};
    if (!animating) update();
}

void GRProgressIndicator::setDoubleValue(double x) {
    if (x > value && !indeterminate) {
        growth->stop();
        growth->setStartValue(internalValue);
        growth->setEndValue(x);
        growth->start();
    } else {
        growth->stop();
        setInternalDoubleValue(x);
    }
    value = x;
}

void GRProgressIndicator::setMinValue(double v) {
    minimum = v;
    update();
}

void GRProgressIndicator::setMaxValue(double v) {
    maximum = v;
    update();
}

void GRProgressIndicator::setIndeterminate(bool flag) {
    indeterminate = flag;
    update();
}

void GRProgressIndicator::setInternalDoubleValue(double v) {
    internalValue = v;
    if (!animating) update();
}

void GRProgressIndicator::startAnimation() {
    if (animating) return;
    animating = true;
    renderTimer->start();
}

void GRProgressIndicator::stopAnimation() {
    if (!animating) return;
    animating = false;
    renderTimer->stop();
    update();
}

void GRProgressIndicator::Step() {
    if (animationStep >= kSteps) animationStep = 0;
    ++animationStep;
    update();
}

QRect GRProgressIndicator::progressBarRect() const {
    double fraction = 1.0;
    if (!indeterminate) {
        const double span = maximum - minimum;
        fraction = span == 0.0 ? 0.0 : (internalValue - minimum) / span;
        if (!std::isfinite(fraction)) fraction = 0.0;
    }
    const double w = std::round(fraction * width());
    const int clamped = int(std::clamp(w, -1.0e6, 1.0e6));
    return QRect(1, 2, clamped, height() - 3);
}

void GRProgressIndicator::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        fillGradient.reset();
        if (!animating) update();
    }
    QWidget::changeEvent(event);
}

const QLinearGradient& GRProgressIndicator::FillGradient() {
    if (!fillGradient) {
        const QRect r = progressBarRect();
        QLinearGradient g(0, r.top(), 0, r.bottom() + 1);
        if (isActiveWindow()) {
            const double stops[] = {0, 0.48, 0.49, 0.82, 1};
            for (int i = 0; i < 5; ++i)
                g.setColorAt(stops[i], gradientColors[i]);
        } else {
            const double stops[] = {0, 0.48, 0.49, 1};
            for (int i = 0; i < 4; ++i)
                g.setColorAt(stops[i], inactiveColors[i]);
        }
        fillGradient = g;
        gradientHeight = r.height();
    }
    return *fillGradient;
}

void GRProgressIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(1, 2, width() - 2, progressBarRect().height()), kCornerRadius, kCornerRadius);
    p.setClipPath(clip);
    drawProgressBar(p);
    if (animating) {
        if (indeterminate) {
            drawIndeterminateAnimationStep(p);
        } else {
            drawAnimationStep(p);
        }
    }
}

void GRProgressIndicator::drawProgressBar(QPainter& p) {
    if (value <= 0) return;
    const QRect r = progressBarRect();
    if (r.width() <= 0 || r.height() <= 0) return;
    if (r.height() != gradientHeight) fillGradient.reset(); // the gradient spans the bar's height
    p.fillRect(r, FillGradient());

    // Inner shadow along the top and left edges of the fill.
    p.save();
    p.setPen(QPen(QColor(0, 0, 0, 60), 1));
    p.drawLine(QPointF(r.left() + 0.5, r.top() + 1.5), QPointF(r.right() + 0.5, r.top() + 1.5));
    p.setPen(QPen(QColor(0, 0, 0, 30), 1));
    p.drawLine(QPointF(r.left() + 0.5, r.top() + 1.5), QPointF(r.left() + 0.5, r.bottom() + 0.5));
    p.restore();

    // A one-pixel line just right of the fill's end.
    QLinearGradient line(0, r.bottom() + 1, 0, r.top());
    line.setColorAt(0, QColor(200, 200, 200));
    line.setColorAt(1, QColor(140, 140, 140));
    p.fillRect(QRect(r.right() + 1, r.top(), 1, r.height()), line);
}

void GRProgressIndicator::drawAnimationStep(QPainter& p) {
    const QRect r = progressBarRect();
    if (r.width() <= 0 || r.height() <= 0) return;
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(QRectF(r), kCornerRadius, kCornerRadius);
    p.setClipPath(clip, Qt::IntersectClip);
    p.setCompositionMode(QPainter::CompositionMode_Plus);
    const int count = int(std::lround(r.width() / 30.0)) + 2;
    for (int i = 0; i < count; ++i) {
        const double x = i * 20 - animationStep;
        QRadialGradient g(QPointF(x + 17, height() / 2.0), 12.72);
        g.setColorAt(0, QColor(255, 255, 255, int(0.07 * 255)));
        g.setColorAt(1, QColor(255, 255, 255, 0));
        g.setSpread(QGradient::PadSpread);
        p.setBrush(g);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(x, 3, 30, 15));
    }
    p.restore();
}

void GRProgressIndicator::drawIndeterminateAnimationStep(QPainter& p) {
    const QRect r = progressBarRect();
    if (r.width() <= 0 || r.height() <= 0) return;
    p.save();
    QLinearGradient g(0, r.top(), 0, r.bottom() + 1);
    g.setColorAt(0, QColor(255, 255, 255, 90));
    g.setColorAt(0.48, QColor(255, 255, 255, 50));
    g.setColorAt(0.49, QColor(255, 255, 255, 30));
    g.setColorAt(1, QColor(255, 255, 255, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    const int count = int(std::lround(r.width() / 34.0)) + 2;
    const double h = r.height();
    for (int i = 0; i < count; ++i) {
        const double x = r.left() - 34 + i * 33 + animationStep;
        QPolygonF stripe;
        stripe << QPointF(x, r.bottom() + 1) << QPointF(x + 16, r.bottom() + 1)
               << QPointF(x + 16 + h, r.top()) << QPointF(x + h, r.top());
        p.drawPolygon(stripe);
    }
    p.restore();
}
