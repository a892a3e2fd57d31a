#pragma once
#include <QColor>
#include <QStyledItemDelegate>

class QPainter;

// The row look of a table: a selected row is filled with the selection colour of the
// appearance (color in light mode, colorDarkAqua in dark mode; color in both when no
// dark colour is set; light blue 168, 225, 254 when no colour is set at all) in place
// of the style's own selection, then the cell is drawn as unselected over it.
class BDTableRowView : public QStyledItemDelegate {
  public:
    explicit BDTableRowView(QObject* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(const QColor& c) { color_ = c; }
    QColor colorDarkAqua() const { return colorDarkAqua_; }
    void setColorDarkAqua(const QColor& c) { colorDarkAqua_ = c; }

    // The fill of a selected row.
    QColor SelectionColor(bool dark) const;
    // Fills the rectangle with the selection colour.
    void drawSelectionInRect(QPainter& painter, const QRect& rect, bool dark) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    static QColor DefaultSelection() { return QColor(168, 225, 254); }
    // The dark-mode fill of the result tables and the type list: light text stays readable.
    static QColor DarkSelection() { return QColor(36, 78, 120); }

    // Cells showing text from a backup: each cell's text reads in its own direction
    // (BackupText), while the table keeps the interface's alignment. Off by default.
    bool ownTextDirection() const { return ownTextDirection_; }
    void setOwnTextDirection(bool on) { ownTextDirection_ = on; }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    QColor color_;
    QColor colorDarkAqua_;
    bool ownTextDirection_ = false;
};
