#pragma once
#include "gui/BDTableRowView.h"

#include <QPixmap>

// The rows of the result tables: the selected-row colours of BDTableRowView, and in the
// tick column the same tick box images as the header ("check_ok", "check_no"), 5 pixels
// from the left edge; a click on the box or the space key toggles the record's tick.
class SystemRowDelegate : public BDTableRowView {
  public:
    explicit SystemRowDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // Where the tick box of a cell lies.
    static QRect BoxRect(const QRect& cell);

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    QPixmap ticked_;
    QPixmap unticked_;
};
