#include "views/system/NSSMSListCell.h"

#include "gui/BackupText.h"
#include "platform/IAppearance.h"
#include "views/system/SmsBubble.h"
#include "views/system/SmsModels.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace {

// A message row spans the list's visible width (never more, so that a bubble on the
// right is not drawn beyond it).
int RowWidth(const QStyleOptionViewItem& option) {
    if (const auto* list = qobject_cast<const QAbstractScrollArea*>(option.widget))
        return list->viewport()->width();
    return option.rect.width();
}

QFont TextFont(const QStyleOptionViewItem& option, const NSSMSData& message) {
    QFont font = option.font;
    font.setPixelSize(SmsPixelSize(message));
    return font;
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
    painter->setPen(layout.text);
    BackupText::DrawWrapped(*painter, layout.textRect, message->Content(), TextFont(option, *message),
                            SmsTextOption(*message, layout));
    painter->restore();
}

QSize NSSMSListCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const NSSMSData* message = model_.MessageAt(index.row());
    const int width = std::max(1, RowWidth(option));
    if (message == nullptr) return QSize(width, model_.HeightAt(index.row()));
    return QSize(width, int(std::ceil(SmsRowHeight(*message, width, TextFont(option, *message)))));
}
