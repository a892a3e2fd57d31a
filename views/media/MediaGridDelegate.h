#pragma once
#include <QStyledItemDelegate>

#include <functional>

class MediaGrid;
class NSFileData;

// Paints the rows of a media grid (day headers and tiles) and turns clicks into the
// grid's actions: a tick box or header button ticks, the picture opens the preview.
class MediaGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    explicit MediaGridDelegate(MediaGrid& grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

  private:
    // A picture tile: its thumbnail, loaded in the background.
    void paintPhoto(QPainter& painter, const QRect& tile, const NSFileData& file, bool ticked,
                    bool dark) const;

    MediaGrid& grid_;
};
