#include "platform/Appearance.h"

#include <QGuiApplication>
#include <QPalette>
#include <QWidget>

#include <atomic>

namespace {
std::atomic<IAppearance*> injected{nullptr};
}

bool Appearance::IsDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

bool Appearance::IsDark(const QWidget* widget) const {
    return IsDarkPalette(widget ? widget->palette() : QGuiApplication::palette());
}

IAppearance& IAppearance::Current() {
    if (IAppearance* a = injected.load()) return *a;
    static Appearance real;
    return real;
}

void IAppearance::SetCurrent(IAppearance* appearance) {
    injected = appearance;
}
