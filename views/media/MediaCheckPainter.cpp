#include "views/media/MediaCheckPainter.h"

#include "gui/BackupText.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>

void MediaCheckPainter::Paint(QPainter& painter, const QRect& box, const QRect& line, bool checked,
                              const QString& text, const QColor& textColor, const QWidget* widget) {
    QStyleOptionButton option;
    option.rect = box;
    option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    if (widget) option.palette = widget->palette();
    // The box stands out from the grid's background in either appearance.
    const bool darkText = textColor.lightness() < 128;
    option.palette.setColor(QPalette::Base, darkText ? QColor(255, 255, 255) : QColor(62, 64, 68));
    option.palette.setColor(QPalette::Window, darkText ? QColor(236, 236, 236) : QColor(33, 34, 35));
    option.palette.setColor(QPalette::Text, textColor);
    option.palette.setColor(QPalette::WindowText, textColor);
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &painter, widget);
    const QRect textRect(box.right() + 5, line.y(), line.right() - box.right() - 5, line.height());
    painter.save();
    painter.setPen(textColor);
    // Names come from the backup: each reads in its own direction ("000001.mov" read
    // "mov.000001" in a right-to-left interface).
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                     BackupText::Isolated(text));
    painter.restore();
}
