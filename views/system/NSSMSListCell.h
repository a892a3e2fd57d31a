#pragma once
#include "gui/BDTableRowView.h"

class SmsMessageModel;

// Draws one message of the message list as a chat bubble (see LayoutSmsCell): sent
// messages on the right in green, received ones on the left in grey, other lines as
// plain grey text. A selected row is filled with the row colours first. Row heights come
// from the model's measured heights.
class NSSMSListCell : public BDTableRowView {
  public:
    explicit NSSMSListCell(const SmsMessageModel& model, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    const SmsMessageModel& model_;
};
