#include "views/media/MediaGridListView.h"

#include "platform/IAppearance.h"
#include "views/media/ThumbnailLoader.h"

#include <QPainter>

#include <QResizeEvent>

MediaGridListView::MediaGridListView(ThumbnailLoader& loader, QWidget* parent)
    : QListView(parent), loader_(loader) {
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setUniformItemSizes(false);
    setSpacing(4);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
}

void MediaGridListView::paintEvent(QPaintEvent* event) {
    loader_.BeginFrame();
    {
        QPainter painter(viewport());
        painter.fillRect(event->rect(), Background(IAppearance::Dark(this)));
    }
    QListView::paintEvent(event);
}

void MediaGridListView::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    if (viewport()->width() != laidOutWidth_) {
        laidOutWidth_ = viewport()->width();
        scheduleDelayedItemsLayout();
    }
}
