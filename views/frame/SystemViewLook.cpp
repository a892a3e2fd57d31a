#include "views/frame/SystemViewLook.h"

#include <QPalette>
#include <QWidget>

bool SystemViewLook::IsDark(const QWidget* widget) {
    return widget != nullptr && widget->palette().color(QPalette::Window).lightness() < 128;
}

void SystemViewLook::ApplyTableLook(QWidget* table) {
    if (table == nullptr) return;
    const QColor bg = TableBackground(IsDark(table));
    QPalette p = table->palette();
    if (p.color(QPalette::Base) == bg && p.color(QPalette::AlternateBase) == bg) return;
    p.setColor(QPalette::Base, bg);
    p.setColor(QPalette::AlternateBase, bg);
    table->setPalette(p);
}

void SystemViewLook::ApplyTickTableLook(QWidget* table, const QWidget* owner) {
    if (table == nullptr || owner == nullptr) return;
    const bool dark = IsDark(owner);
    QPalette p = owner->palette();
    p.setColor(QPalette::Base, TableBackground(dark));
    p.setColor(QPalette::AlternateBase, TableBackground(dark));
    if (dark) p.setColor(QPalette::Window, QColor(120, 122, 126));
    table->setPalette(p);
}
