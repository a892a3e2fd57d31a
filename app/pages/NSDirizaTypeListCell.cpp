#include "app/pages/NSDirizaTypeListCell.h"

#include "app/pages/AppImage.h"
#include "platform/IAppearance.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace {
constexpr int kPart = 16;
}

NSDirizaTypeListCell::NSDirizaTypeListCell(QObject* parent) : BDTableRowView(parent) {}

QRect NSDirizaTypeListCell::BoxRect(const QRect& row, bool head) {
    const int y = row.top() + (row.height() - kPart) / 2;
    return QRect(row.left() + (head ? 8 : 28), y, kPart, kPart);
}

QRect NSDirizaTypeListCell::IconRect(const QRect& row) {
    return QRect(row.left() + 48, row.top() + (row.height() - kPart) / 2, kPart, kPart);
}

QRect NSDirizaTypeListCell::TextRect(const QRect& row, bool head) {
    const int x = row.left() + (head ? 26 : 68);
    return QRect(x, row.top(), std::max(0, row.right() - x - 4), row.height());
}

void NSDirizaTypeListCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    const bool dark = IAppearance::Dark(option.widget);
    painter->save();
    if (option.state & QStyle::State_Selected) drawSelectionInRect(*painter, option.rect, dark);
    const bool head = index.data(HeadRole).toBool();
    const bool ticked = index.data(TickRole).toBool();

    QStyleOptionButton box;
    box.rect = BoxRect(option.rect, head);
    box.palette = option.palette;
    // The box keeps a visible frame on the list's own background in both appearances.
    box.palette.setColor(QPalette::Base, dark ? QColor(60, 62, 64) : QColor(Qt::white));
    box.palette.setColor(QPalette::Window, dark ? QColor(90, 92, 95) : QColor(236, 236, 236));
    box.state = QStyle::State_Enabled | (ticked ? QStyle::State_On : QStyle::State_Off);
    if (!tickable) box.state &= ~QStyle::State_Enabled;
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, option.widget);

    const QString icon = index.data(IconRole).toString();
    if (!head && !icon.isEmpty())
        painter->drawPixmap(IconRect(option.rect), AppImage::Pixmap(icon, QSize(kPart, kPart)));

    QFont font = option.font;
    font.setBold(head);
    painter->setFont(font);
    painter->setPen(option.palette.color(QPalette::Text));
    const QRect text = TextRect(option.rect, head);
    painter->drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                      painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(),
                                                        Qt::ElideRight, text.width()));
    painter->restore();
}

QSize NSDirizaTypeListCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    // As wide as the row's text needs after the box and the icon.
    const bool head = index.data(HeadRole).toBool();
    QFont font = option.font;
    font.setBold(head);
    const int text = QFontMetrics(font).horizontalAdvance(index.data(Qt::DisplayRole).toString());
    const int width = TextRect(QRect(0, 0, 0, 0), head).left() + text + 8;
    return QSize(std::max(200, width), std::max(26, option.fontMetrics.height() + 8));
}

bool NSDirizaTypeListCell::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) {
    if (event->type() != QEvent::MouseButtonRelease || !tickable) return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return false;
    const bool head = index.data(HeadRole).toBool();
    if (!BoxRect(option.rect, head).adjusted(-2, -2, 2, 2).contains(mouse->position().toPoint()))
        return false;
    if (onTick) onTick(index.data(TypeRole).toInt(), !index.data(TickRole).toBool());
    return true;
}
