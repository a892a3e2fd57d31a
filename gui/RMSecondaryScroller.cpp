#include "gui/RMSecondaryScroller.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPropertyAnimation>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>

RMSecondaryScroller::RMSecondaryScroller(QWidget* parent) : QScrollBar(Qt::Vertical, parent) {
    Setup();
}

RMSecondaryScroller::RMSecondaryScroller(const QRect& frame, QWidget* parent)
    : QScrollBar(Qt::Vertical, parent) {
    Setup();
    setGeometry(NarrowFrame(frame, style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this)));
}

QRect RMSecondaryScroller::NarrowFrame(const QRect& frame, int width) {
    QRect r = frame;
    r.setLeft(frame.right() - width + 1);
    return r;
}

void RMSecondaryScroller::Setup() {
    setRange(0, Resolution);
    effect = new QGraphicsOpacityEffect(this);
    effect->setOpacity(1.0);
    setGraphicsEffect(effect);
    fade = new QPropertyAnimation(effect, "opacity", this);
    fade->setDuration(200);
    fade->setEndValue(0.0);
    fadeTimer.setSingleShot(true);
    fadeTimer.setInterval(FadeDelayMs);
    connect(&fadeTimer, &QTimer::timeout, this, [this] { FadeOut(); });
    // The user moves the scroller: scroll the observed area.
    connect(this, &QAbstractSlider::valueChanged, this, [this] {
        if (!syncing) scrollValueChanged();
    });
}

void RMSecondaryScroller::setObservedScrollView(QAbstractScrollArea* view) {
    disconnect(valueConnection);
    disconnect(rangeConnection);
    observed = view;
    syncing = true;
    setKnobProportion(0.5);
    setFloatValue(0.5);
    syncing = false;
    setEnabled(true);
    if (!view) return;
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScrollBar* bar = view->verticalScrollBar();
    valueConnection = connect(bar, &QAbstractSlider::valueChanged, this, [this] { SyncFromObserved(); });
    rangeConnection = connect(bar, &QAbstractSlider::rangeChanged, this, [this] { SyncFromObserved(); });
    SyncFromObserved();
}

void RMSecondaryScroller::setHideObservedScrollViewScrollers(bool hide) {
    hideObserved = hide;
    if (observed) observed->setVerticalScrollBarPolicy(hide ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

double RMSecondaryScroller::floatValue() const {
    return double(value()) / Resolution;
}

void RMSecondaryScroller::setFloatValue(double v) {
    const bool wasSyncing = syncing;
    syncing = true;
    setValue(int(std::lround(std::clamp(v, 0.0, 1.0) * Resolution)));
    syncing = wasSyncing;
    Show();
}

double RMSecondaryScroller::knobProportion() const {
    const int span = maximum() - minimum() + pageStep();
    return span > 0 ? double(pageStep()) / span : 0;
}

void RMSecondaryScroller::setKnobProportion(double proportion) {
    // pageStep / (range + pageStep) = proportion, the range staying 0..Resolution.
    const double p = std::clamp(proportion, 0.0, 0.99);
    setPageStep(int(std::lround(p * Resolution / (1 - p))));
}

int RMSecondaryScroller::ScrollTarget(double value, double documentHeight, double viewHeight) {
    const double scrollable = std::max(0.0, std::ceil(documentHeight - viewHeight));
    return int(std::lround(std::clamp(value, 0.0, 1.0) * scrollable));
}

void RMSecondaryScroller::SyncFromObserved() {
    if (!observed) return;
    const QScrollBar* bar = observed->verticalScrollBar();
    const double range = bar->maximum() - bar->minimum();
    const double document = range + bar->pageStep();
    setKnobProportion(document > 0 ? bar->pageStep() / document : 1.0);
    setFloatValue(range > 0 ? (bar->value() - bar->minimum()) / range : 0.0);
}

void RMSecondaryScroller::scrollValueChanged() {
    Show();
    if (!observed) return;
    QScrollBar* bar = observed->verticalScrollBar();
    const double view = bar->pageStep();
    const double document = bar->maximum() - bar->minimum() + view;
    bar->setValue(bar->minimum() + ScrollTarget(floatValue(), document, view));
}

void RMSecondaryScroller::Show() {
    fade->stop();
    effect->setOpacity(1.0);
    if (hovered) {
        fadeTimer.stop();
        fadingOutDelayed = true;
    } else {
        fadeTimer.start();
    }
}

void RMSecondaryScroller::FadeOut() {
    fade->stop();
    fade->setStartValue(effect->opacity());
    fade->start();
}

double RMSecondaryScroller::opacity() const {
    return effect->opacity();
}

void RMSecondaryScroller::enterEvent(QEnterEvent* event) {
    hovered = true;
    if (fadeTimer.isActive()) {
        fadeTimer.stop();
        fadingOutDelayed = true;
    }
    update();
    QScrollBar::enterEvent(event);
}

void RMSecondaryScroller::leaveEvent(QEvent* event) {
    hovered = false;
    if (fadingOutDelayed) {
        fadingOutDelayed = false;
        fadeTimer.start();
    }
    update();
    QScrollBar::leaveEvent(event);
}

void RMSecondaryScroller::paintEvent(QPaintEvent*) {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect knob =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    if (knob.isEmpty()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Drawn twice, four times under the pointer: darker on hover.
    QColor colour = palette().color(QPalette::WindowText);
    colour.setAlphaF(0.25f);
    const QRectF r = QRectF(knob).adjusted(2, 1, -2, -1);
    const double radius = r.width() / 2;
    painter.setBrush(colour);
    for (int i = 0; i < (hovered ? 4 : 2); ++i)
        painter.drawRoundedRect(r, radius, radius);
}
