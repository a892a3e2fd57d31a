#pragma once
#include "scan/NSWXChatSMSData.h"

#include <QPainterPath>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QStyledItemDelegate>

#include <functional>

class IPreviewService;
class NetworkImageFetcher;
class NSWXChatRecordCellImages;

// Paints one WeChat message of the message list as a chat bubble: received messages on
// the left, the owner's on the right, laid out by kind, with the sender's head image,
// the name-and-time line, deleted messages in red. A click on a picture, a voice icon or
// a video's play button opens its preview.
//
// Geometry is worked out in the cell's own coordinates with the origin at the bottom-left
// and y upwards, and turned over when painted.
class NSWXChatRecordContentCell : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // Where a message's parts go in a cell of width W and height H (y upwards).
    struct Layout {
        bool visible = false; // receiveState 1 or 2
        bool right = false;   // sent by the owner
        QRectF content;       // text, picture, block
        QRectF bubble;
        QRectF icon; // kind icon or voice button (empty: none)
        QString iconName;
        QRectF click; // the clickable area (empty: none)
        QRectF head, name;
        // Contact card and link blocks.
        QRectF line, title, firstLine, secondLine, titleImage;
    };

    // The message being drawn and what the view knows about it.
    using MessageAt = std::function<const NSWXChatSMSData*(int row)>;

    NSWXChatRecordContentCell(MessageAt messageAt, NSWXChatRecordCellImages& images,
                              NetworkImageFetcher& fetcher, IPreviewService& preview,
                              QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    // The text a message shows (and the message search reads): a call's duration text
    // for kind 50, else its content. The record is not changed.
    static QString DisplayText(const NSWXChatSMSData& message);
    // A picture message whose full picture is not there (or is no picture) while its
    // thumbnail is: a click previews the thumbnail, which is what the bubble shows.
    static bool ShowsThumbnailOnly(const NSWXChatSMSData& message);
    // The size of `text` in the 14-point font within a width of 250 (0 × 0 for none).
    static QSizeF TextSize(const QString& text);
    // The same within `width`.
    static QSizeF TextSize(const QString& text, qreal width);
    // The width a text bubble's lines have in a cell `cellWidth` wide: 250, less in a
    // cell too narrow for a bubble of that width beside the head image.
    static qreal TextWidth(qreal cellWidth);
    // The picture a message of kind 3, 43, 62 or 10001 shows: its size, with the
    // stand-in drawing's size when the file is unreadable (and `damaged` set).
    QSizeF PictureSize(const NSWXChatSMSData& message, bool* damaged = nullptr) const;
    // The row height of a message.
    qreal RowHeight(const NSWXChatSMSData& message) const;
    // The same in a cell `cellWidth` wide (texts wrap at TextWidth()).
    qreal RowHeight(const NSWXChatSMSData& message, qreal cellWidth) const;
    // Lays a message out in a cell of W × H.
    Layout LayoutFor(const NSWXChatSMSData& message, qreal W, qreal H) const;

    // The drawing named for the red packet in the current language.
    static QString RedPacketImage();
    // The arrow style of a bubble of `w` × `h` with corner radius `corner`: 0 (arrow on
    // the side), 10 or 40 (arrow at the top corner).
    static int BubbleStyle(qreal w, qreal h, qreal corner);
    // Appends the outline of a bubble on `rect` (y upwards) to `path`: rounded corners of
    // radius `corner`, the arrow on the left (position 1), right (3), or at the bottom of
    // the left (2) or right (4) side; any other position is 1.
    static QPainterPath makeBubble(QPainterPath path, const QRectF& rect, qreal corner, int position);

  private:
    QRectF ToView(const QRectF& r, const QRectF& cell) const;

    MessageAt messageAt_;
    NSWXChatRecordCellImages& images_;
    NetworkImageFetcher& fetcher_;
    IPreviewService& preview_;
};
