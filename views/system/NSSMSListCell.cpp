#include "views/system/NSSMSListCell.h"

#include "platform/IAppearance.h"
#include "views/system/SmsBubble.h"
#include "views/system/SmsModels.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QTextOption>

#include <algorithm>

namespace {

// A message row spans the list's whole width.
int RowWidth(const QStyleOptionViewItem& option) {
    if (const auto* list = qobject_cast<const QAbstractScrollArea*>(option.widget))
        return std::max(option.rect.width(), list->viewport()->width());
    return option.rect.width();
}

} // namespace

NSSMSListCell::NSSMSListCell(const SmsMessageModel& model, QObject* parent)
    : BDTableRowView(parent), model_(model) {
    setColor(QColor(255, 255, 255));
    setColorDarkAqua(QColor(33, 34, 35));
}

void NSSMSListCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    if (option.state & QStyle::State_Selected)
        drawSelectionInRect(*painter, option.rect, IAppearance::Dark(option.widget));
    const NSSMSData* message = model_.MessageAt(index.row());
    if (message == nullptr) return;
    const SmsCellLayout layout = LayoutSmsCell(*message, QSizeF(RowWidth(option), option.rect.height()));
    if (layout.textRect.isNull() && !layout.bubble) return;
    painter->save();
    painter->translate(option.rect.topLeft());
    painter->setRenderHint(QPainter::Antialiasing, true);
    if (layout.bubble) {
        const QPainterPath bubble = makeBubble(layout.bubbleRect, 5.0, layout.position);
        painter->fillPath(bubble, layout.fill);
        painter->strokePath(bubble, QPen(layout.fill, 1.0));
    }
    QFont font = option.font;
    font.setPixelSize(layout.pixelSize);
    painter->setFont(font);
    painter->setPen(layout.text);
    QTextOption text((layout.alignRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    text.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    painter->drawText(layout.textRect, message->Content(), text);
    painter->restore();
}

QSize NSSMSListCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* list = qobject_cast<const QAbstractScrollArea*>(option.widget);
    return QSize(list ? list->viewport()->width() : 1, model_.HeightAt(index.row()));
}
