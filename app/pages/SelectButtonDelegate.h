#pragma once
#include <QStyledItemDelegate>

// Draws a column's text as a push button centred in its cell and reports a click on it.
class SelectButtonDelegate final : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    // The button's rectangle inside a cell.
    static QRect ButtonRect(const QRect& cell);

  signals:
    void clicked(const QModelIndex& index);
};
