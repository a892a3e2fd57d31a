#include "gui/ButtonTextColor.h"

#include <QAbstractButton>
#include <QPalette>

void ButtonTextColor::setTextColor(QAbstractButton* button, const QColor& color) {
    if (!button || !color.isValid()) return;
    QPalette palette = button->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::ButtonText, color);
        palette.setColor(group, QPalette::WindowText, color);
    }
    button->setPalette(palette);
}
