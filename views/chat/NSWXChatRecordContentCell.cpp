#include "views/chat/NSWXChatRecordContentCell.h"

#include "gui/BackupText.h"
#include "gui/NSLanguageText.h"
#include "platform/ImageFileReader.h"
#include "views/media/IPreviewService.h"
#include "views/chat/NSWXChatRecordCellImages.h"
#include "views/chat/NetworkImageFetcher.h"
#include "views/frame/ResultText.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QDebug>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qreal kTextWidth = 250;
constexpr qreal kMinTextWidth = 40;
constexpr qreal kCorner = 5;

bool IsTextKind(qint64 kind) {
    return kind != 3 && kind != 42 && kind != 43 && kind != 49 && kind != 62 && kind != 10001;
}

// A message text wraps at word boundaries (inside a word only when the word is longer
// than the line) and reads in its own direction, from the bubble's leading side.
QTextOption TextOption(const QString& text) {
    return BackupText::WrappedOption(text, Qt::AlignLeft | Qt::AlignTop);
}

QFont ContentFont() {
    QFont font;
    font.setPixelSize(14);
    return font;
}

// Appends a clockwise arc (y upwards) around `centre` from angle `from` to `to`.
void Arc(QPainterPath& path, const QPointF& centre, qreal r, qreal from, qreal to) {
    qreal sweep = std::fmod(from - to, 360.0);
    if (sweep < 0) sweep += 360.0;
    path.arcTo(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), -from, sweep);
}

QPointF OnCircle(const QPointF& centre, qreal r, qreal degrees) {
    const qreal a = degrees * M_PI / 180.0;
    return {centre.x() + r * std::cos(a), centre.y() + r * std::sin(a)};
}

} // namespace

NSWXChatRecordContentCell::NSWXChatRecordContentCell(MessageAt messageAt, NSWXChatRecordCellImages& images,
                                                     NetworkImageFetcher& fetcher, IPreviewService& preview,
                                                     QObject* parent)
    : QStyledItemDelegate(parent), messageAt_(std::move(messageAt)), images_(images), fetcher_(fetcher),
      preview_(preview) {}

QString NSWXChatRecordContentCell::DisplayText(const NSWXChatSMSData& message) {
    if (message.eType() == 50) {
        const qint64 seconds = message.CallTime();
        if (seconds < 1) return LanguageText("CallFormat1");
        return SafeFormat(LanguageText("CallFormat2") + ":%d:%d",
                          {QString::number(seconds / 60), QString::number(seconds % 60)});
    }
    return message.Content();
}

QSizeF NSWXChatRecordContentCell::TextSize(const QString& text) {
    return TextSize(text, kTextWidth);
}

qreal NSWXChatRecordContentCell::TextWidth(qreal cellWidth) {
    // Beside the text: the head image and its gap (55), the bubble's padding, its arrow
    // and a kind icon (40).
    return std::clamp(std::floor(cellWidth) - 95, kMinTextWidth, kTextWidth);
}

QSizeF NSWXChatRecordContentCell::TextSize(const QString& text, qreal width) {
    if (text.isEmpty()) return {0, 0};
    const QSizeF size = BackupText::WrappedSize(text, ContentFont(), width, TextOption(text));
    return {std::ceil(size.width()), std::ceil(size.height())};
}

QString NSWXChatRecordContentCell::RedPacketImage() {
    const int language = NSLanguageText::shareInstance()->Language();
    return (language == NSLanguageText::English || language == NSLanguageText::TraditionalChinese)
               ? QStringLiteral("redpack_cf")
               : QStringLiteral("wx_Redpack");
}

QSizeF NSWXChatRecordContentCell::PictureSize(const NSWXChatSMSData& message, bool* damaged) const {
    if (damaged) *damaged = false;
    const qint64 kind = message.eType();
    if (kind == 10001) return NSWXChatRecordCellImages::BundleImage(RedPacketImage()).size();
    const QSize size = images_.SizeOf(message.Content());
    if (size.isValid()) return size;
    if (damaged) *damaged = true;
    return NSWXChatRecordCellImages::BundleImage(kind == 3 ? QStringLiteral("Damage")
                                                           : QStringLiteral("DamageVideo"))
        .size();
}

qreal NSWXChatRecordContentCell::RowHeight(const NSWXChatSMSData& message) const {
    return RowHeight(message, std::numeric_limits<qreal>::max());
}

qreal NSWXChatRecordContentCell::RowHeight(const NSWXChatSMSData& message, qreal cellWidth) const {
    const qreal width = cellWidth >= kTextWidth + 95 ? kTextWidth : TextWidth(cellWidth);
    switch (message.eType()) {
    case 3:
    case 10001:
        return PictureSize(message).height() + 60;
    case 43:
    case 62: {
        bool damaged = false;
        const QSizeF size = PictureSize(message, &damaged);
        return damaged ? 160 : size.height() + 60;
    }
    case 42:
    case 49:
        return 160;
    case 50:
        return 80;
    case 34:
    case 48:
        // Room for the kind's 20-point icon inside the bubble, as for calls.
        return std::max<qreal>(TextSize(message.Content(), width).height(), 20) + 60;
    default:
        return TextSize(message.Content(), width).height() + 60;
    }
}

NSWXChatRecordContentCell::Layout NSWXChatRecordContentCell::LayoutFor(const NSWXChatSMSData& m, qreal W,
                                                                       qreal H) const {
    Layout L;
    const int state = m.receiveState();
    if (state != 1 && state != 2) return L;
    L.visible = true;
    L.right = state == 2;
    W = std::floor(W);
    const qint64 kind = m.eType();
    QRectF& C = L.content;
    QRectF& B = L.bubble;
    if (IsTextKind(kind)) {
        const qreal t = TextSize(DisplayText(m), TextWidth(W)).width();
        C = QRectF(L.right ? std::trunc(W - (t + 5) - 25 - 30) : 55, 10, t + 5, H - 60);
        B = QRectF(C.x() - 5, 5, C.width() + 10, C.height() + 10);
        if (kind == 48 || kind == 34 || kind == 50) {
            if (!L.right) {
                C.translate(25, 0);
                B.setWidth(B.width() + 25);
                L.icon = QRectF(B.x() + 5, B.height() - B.y() - 15, 20, 20);
            } else {
                C.translate(-25, 0);
                B.setX(B.x() - 25); // moves the left edge, the width grows by 25
                L.icon = QRectF(B.x() + B.width() - 25, B.height() - B.y() - 15, 20, 20);
            }
            if (kind == 48) L.iconName = "wx_pos";
            if (kind == 34) {
                L.iconName = L.right ? "wx_voice_2" : "wx_voice_1";
                L.click = L.icon;
            }
            if (kind == 50)
                L.iconName = m.bIsVoice() ? (L.right ? "wx_voicecall_2" : "wx_voicecall_1")
                                          : (L.right ? "wx_video_2" : "wx_video_1");
        }
    } else if (kind == 3 || kind == 43 || kind == 62 || kind == 10001) {
        const QSizeF size = PictureSize(m);
        C = QRectF(L.right ? std::trunc(W - size.width() - 55) : 55, 10, size.width(), size.height());
        B = kind == 10001 ? C : QRectF(C.x() - 5, 5, C.width() + 10, C.height() + 10);
        if (kind != 10001) L.click = C;
    } else { // 42 contact card, 49 link
        qreal A = 0;
        if (!L.right) {
            C = QRectF(55, 10, 240, 100);
            B = QRectF(50, 5, 250, 110);
        } else {
            const qreal a = std::trunc(W - 240 - 55);
            C = QRectF(a, 10, 240, 100);
            B = QRectF(a - 5, 5, 250, 110);
            A = a - 55;
        }
        const bool rightLink = kind == 49 && L.right;
        L.line = QRectF(A + 49.5, rightLink ? 22.5 : 24.5, 251, 1);
        L.title = QRectF(A + 49.5, 4.5, 251, rightLink ? 18 : 20);
        if (kind == 42) {
            L.firstLine = QRectF(A + 120, 45, 160, 20);
            L.secondLine = QRectF(A + 120, 75, 160, 20);
            L.titleImage = QRectF(A + 65, 50, 40, 40);
        } else {
            L.firstLine = QRectF(A + 70, 35, 160, 35);
            L.secondLine = QRectF(A + 70, 85, 160, 18);
            L.titleImage = QRectF(A + 240, 50, 40, 40);
            L.click = C;
        }
    }
    const qreal y0 = B.y() + B.height() - 15;
    if (!L.right) {
        L.head = QRectF(5, y0, 30, 30);
        L.name = QRectF(40, y0, W, 40);
    } else {
        L.head = QRectF(std::trunc(W - 35), y0, 30, 30);
        L.name = QRectF(0, y0, W - 40, 40);
    }
    return L;
}

int NSWXChatRecordContentCell::BubbleStyle(qreal w, qreal h, qreal c) {
    const qreal m = std::min(w, h);
    if (m <= 0) return 0;
    const qreal r = c > 0 ? std::min(c, m / 2) : 0;
    const qreal q = r / m;
    if (m < 30) return (q > 0.33 && q <= 0.5) ? 40 : 0;
    if (m <= 50) {
        if (q > 0.2 && q < 0.4) return 40;
        if (q >= 0.4 && q <= 0.5) return 10;
        return 0;
    }
    if (c >= 10 && c <= 15) return 40;
    if (c < 10) return 0;
    return 10;
}

QPainterPath NSWXChatRecordContentCell::makeBubble(QPainterPath path, const QRectF& rect, qreal corner,
                                                   int position) {
    if (position == 2 || position == 4) {
        // The arrow at the bottom: the top-arrow outline mirrored about the middle.
        QTransform mirror;
        mirror.translate(0, rect.top() + rect.bottom());
        mirror.scale(1, -1);
        path.addPath(mirror.map(makeBubble(QPainterPath(), rect, corner, position == 2 ? 1 : 3)));
        return path;
    }
    const bool right = position == 3;
    const qreal w = rect.width(), h = rect.height();
    const qreal m = std::min(w, h);
    const qreal r = corner > 0 ? std::min(corner, m / 2) : 0;
    const int style = BubbleStyle(w, h, corner);
    const qreal minX = rect.left(), maxX = rect.right(), minY = rect.top(), maxY = rect.bottom();
    const QPointF lt(minX + r, maxY - r), rt(maxX - r, maxY - r), rb(maxX - r, minY + r),
        lb(minX + r, minY + r);
    QPainterPath p;
    if (style == 0) {
        qreal yb, yt;
        if (h <= 30) {
            const qreal d = (h - 2 * r - 10) / 2;
            yb = minY + r + d;
            yt = maxY - r - d;
        } else {
            const qreal d = std::min<qreal>(10, (h - 2 * r) / 30);
            yt = maxY - r - d;
            yb = yt - 10;
        }
        const qreal mid = (yb + yt) / 2;
        if (!right) {
            p.moveTo(minX - 10, mid);
            p.lineTo(minX, yt);
            Arc(p, lt, r, 180, 90);
            Arc(p, rt, r, 90, 0);
            Arc(p, rb, r, 0, 270);
            Arc(p, lb, r, -90, -180);
            p.lineTo(minX, yb);
        } else {
            p.moveTo(maxX + 10, mid);
            p.lineTo(maxX, yb);
            Arc(p, rb, r, 0, 270);
            Arc(p, lb, r, -90, -180);
            Arc(p, lt, r, 180, 90);
            Arc(p, rt, r, 90, 0);
            p.lineTo(maxX, yt);
        }
    } else {
        if (!right) {
            p.moveTo(minX - 10, maxY);
            p.lineTo(OnCircle(lt, r, 130));
            Arc(p, lt, r, 130, 90);
            Arc(p, rt, r, 90, 0);
            Arc(p, rb, r, 0, 270);
            Arc(p, lb, r, -90, -180);
            Arc(p, lt, r, 180, 130 + style);
        } else {
            p.moveTo(maxX + 10, maxY);
            p.lineTo(OnCircle(rt, r, 50 - style));
            Arc(p, rt, r, 50 - style, 0);
            Arc(p, rb, r, 0, 270);
            Arc(p, lb, r, -90, -180);
            Arc(p, lt, r, 180, 90);
            Arc(p, rt, r, 90, 50);
        }
    }
    p.closeSubpath();
    path.addPath(p);
    return path;
}

QRectF NSWXChatRecordContentCell::ToView(const QRectF& r, const QRectF& cell) const {
    return QRectF(cell.left() + r.x(), cell.top() + cell.height() - r.y() - r.height(), r.width(),
                  r.height());
}

QSize NSWXChatRecordContentCell::sizeHint(const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const {
    const NSWXChatSMSData* m = messageAt_ ? messageAt_(index.row()) : nullptr;
    // The list gives every row its full width; the hint asks for no more, and texts
    // wrap within the list's visible width.
    qreal width = option.rect.width();
    if (const auto* list = qobject_cast<const QAbstractScrollArea*>(option.widget))
        width = list->viewport()->width();
    return QSize(1, m ? int(std::ceil(RowHeight(*m, width))) : 60);
}

void NSWXChatRecordContentCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    const NSWXChatSMSData* m = messageAt_ ? messageAt_(index.row()) : nullptr;
    if (!m) return;
    const QRectF cell = option.rect;
    const Layout L = LayoutFor(*m, cell.width(), cell.height());
    if (!L.visible) return;
    const bool dark = option.palette.color(QPalette::Window).lightness() < 128;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);

    // The bubble.
    QTransform flip;
    flip.translate(cell.left(), cell.top() + cell.height());
    flip.scale(1, -1);
    const QPainterPath bubble = flip.map(makeBubble(QPainterPath(), L.bubble, kCorner, L.right ? 3 : 1));
    if (m->eType() != 10001) {
        painter->setPen(QPen(Qt::white, 1));
        painter->setBrush(Qt::white);
        painter->drawPath(bubble);
    }

    // Head image and the name-and-time line.
    QImage head = m->image();
    if (head.isNull() && !m->ImageUrl().isEmpty()) head = fetcher_.Image(m->ImageUrl());
    if (head.isNull()) head = NSWXChatRecordCellImages::BundleImage("AddressBookInfo_logo", dark);
    const QRectF headRect = ToView(L.head, cell);
    painter->drawImage(
        headRect, head.scaled(headRect.size().toSize() * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    // Both read in their own direction: a date in a right-to-left interface kept its time
    // before its day otherwise.
    const QString time = BackupText::Isolated(ResultText::LocalTime(m->lDataTime()));
    const QString sender = BackupText::Isolated(m->csWxId());
    const QString nameText = L.right ? time + "  " + sender : sender + "  " + time;
    const QColor red(255, 59, 48);
    painter->setPen(m->bDelete() ? red : QColor(128, 128, 128));
    QFont small = painter->font();
    small.setPixelSize(12);
    painter->setFont(small);
    const QFontMetricsF smallMetrics(small);
    painter->drawText(ToView(L.name, cell), (L.right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop,
                      smallMetrics.elidedText(nameText, Qt::ElideRight,
                                              std::min(L.name.width(), cell.width() - L.name.x() - 5)));

    const QColor textColour = m->bDelete() ? red : QColor(Qt::black);
    const QRectF C = ToView(L.content, cell);
    const qint64 kind = m->eType();
    auto drawCentred = [&](const QImage& image, const QRectF& area) {
        if (image.isNull()) return;
        QSizeF size = image.size();
        if (size.width() > area.width() || size.height() > area.height())
            size.scale(area.size(), Qt::KeepAspectRatio);
        painter->drawImage(QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size), image);
    };
    if (IsTextKind(kind)) {
        painter->setFont(ContentFont());
        painter->setPen(textColour);
        const QString text = DisplayText(*m);
        BackupText::DrawWrapped(*painter, C, text, ContentFont(), TextOption(text));
        if (!L.iconName.isEmpty())
            drawCentred(NSWXChatRecordCellImages::BundleImage(L.iconName, false), ToView(L.icon, cell));
    } else if (kind == 3 || kind == 43 || kind == 62) {
        bool damaged = false;
        PictureSize(*m, &damaged);
        QImage picture =
            damaged ? NSWXChatRecordCellImages::BundleImage(kind == 3 ? "Damage" : "DamageVideo", false)
                    : images_.Picture(m->Content());
        if (picture.isNull())
            painter->fillRect(C, QColor(220, 220, 220));
        else
            painter->drawImage(C, picture);
        if (kind != 3) drawCentred(NSWXChatRecordCellImages::BundleImage("play_bt_nor", false), C);
    } else if (kind == 10001) {
        painter->drawImage(C, NSWXChatRecordCellImages::BundleImage(RedPacketImage(), false));
    } else {
        painter->fillRect(ToView(L.line, cell), QColor(220, 220, 220));
        QFont font = painter->font();
        font.setPixelSize(13);
        painter->setFont(font);
        painter->setPen(Qt::black);
        const QString title = kind == 42 ? LanguageText("WxTypeBcard") : LanguageText("WxTypeUrl");
        painter->drawText(ToView(L.title, cell).adjusted(8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                          title);
        const QFontMetricsF metrics(font);
        QString first, second;
        QImage picture;
        if (kind == 42) {
            first = SafeFormat("%@:%@", {LanguageText("WXSMSNum"), m->BcardPhone()});
            second = m->BcardNickName();
            picture = NSWXChatRecordCellImages::BundleImage(m->BacrdHeadImage(), dark);
            if (picture.isNull())
                picture = NSWXChatRecordCellImages::BundleImage("AddressBookInfo_logo", dark);
        } else {
            first = m->Content();
            second = m->ULRTitle();
            if (!m->ULRImage().isEmpty()) picture = fetcher_.Image(m->ULRImage());
            if (picture.isNull()) picture = NSWXChatRecordCellImages::BundleImage("wx_url_logo", false);
        }
        painter->setPen(textColour);
        const QRectF firstRect = ToView(L.firstLine, cell);
        painter->drawText(
            firstRect, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
            BackupText::Isolated(metrics.elidedText(first, Qt::ElideRight, firstRect.width() * 2)));
        const QRectF secondRect = ToView(L.secondLine, cell);
        painter->drawText(
            secondRect, Qt::AlignLeft | Qt::AlignTop,
            BackupText::Isolated(metrics.elidedText(second, Qt::ElideRight, secondRect.width())));
        const QRectF imageRect = ToView(L.titleImage, cell);
        painter->drawImage(imageRect, picture.scaled(imageRect.size().toSize() * 2, Qt::KeepAspectRatio,
                                                     Qt::SmoothTransformation));
    }
    painter->restore();
}

bool NSWXChatRecordContentCell::ShowsThumbnailOnly(const NSWXChatSMSData& message) {
    if (message.eType() != 3 || message.Content().isEmpty()) return false;
    return !ImageFileReader::SizeOf(message.ResourcesFile()).isValid() &&
           ImageFileReader::SizeOf(message.Content()).isValid();
}

bool NSWXChatRecordContentCell::editorEvent(QEvent* event, QAbstractItemModel* model,
                                            const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::MouseButtonRelease)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton) return false;
    const NSWXChatSMSData* m = messageAt_ ? messageAt_(index.row()) : nullptr;
    if (!m) return false;
    const QRectF cell = option.rect;
    const Layout L = LayoutFor(*m, cell.width(), cell.height());
    if (!L.visible || L.click.isEmpty() || !ToView(L.click, cell).contains(mouse->position())) return false;
    switch (m->eType()) {
    case 3:
        // The full picture when it is there; else the thumbnail the bubble shows, said to
        // be only that.
        if (ShowsThumbnailOnly(*m))
            preview_.ShowPhotoThumbnail(m->Content());
        else
            preview_.ShowPhoto(m->ResourcesFile(), QString());
        return true;
    case 34:
        preview_.ShowVoiceFile(m->ResourcesFile());
        return true;
    case 43:
    case 62:
        preview_.ShowVideo(m->ResourcesFile());
        return true;
    default:
        qInfo().noquote() << QString::fromUtf8("【日志】预览其他");
        return true;
    }
}
