#pragma once
#include <QColor>
#include <QListView>

class ThumbnailLoader;

// The list of a media grid: icon mode, wrapping, rows laid out again when the width
// changes (day headers span the whole width). Each paint starts a thumbnail frame, so
// work for tiles scrolled away is dropped.
class MediaGridListView : public QListView {
    Q_OBJECT
  public:
    MediaGridListView(ThumbnailLoader& loader, QWidget* parent = nullptr);
    // The grid's background: RGB 236, 236, 236 light, 33, 34, 35 dark.
    static QColor Background(bool dark) { return dark ? QColor(33, 34, 35) : QColor(236, 236, 236); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    ThumbnailLoader& loader_;
    int laidOutWidth_ = -1;
};
