#pragma once
#include "gui/BDTableRowView.h"

#include <functional>

// Paints one row of the recovery page's type list from its model item: a tick box, the
// icon (data types only) and the name with its count; heads sit further left. A click
// on the tick box reports the row's type and the new state; the tick itself lives in
// the model, so a repaint or a reload never changes it.
class NSDirizaTypeListCell : public BDTableRowView {
  public:
    // Item roles of the list model.
    enum Role { TypeRole = Qt::UserRole + 1, HeadRole, TickRole, IconRole };

    explicit NSDirizaTypeListCell(QObject* parent = nullptr);

    // Told when the user clicks a tick box: the row's type and the state it asks for.
    std::function<void(int type, bool ticked)> onTick;
    // Whether the boxes take clicks (not while a save runs).
    void setTickable(bool on) { tickable = on; }

    // Where the parts of a row lie within `row`.
    static QRect BoxRect(const QRect& row, bool head);
    static QRect IconRect(const QRect& row);
    static QRect TextRect(const QRect& row, bool head);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  protected:
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

  private:
    bool tickable = true;
};
