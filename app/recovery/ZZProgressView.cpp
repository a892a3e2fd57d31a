#include "app/recovery/ZZProgressView.h"

#include "gui/NSLanguageText.h"
#include "platform/IAppearance.h"

#include <QPainter>

#include <algorithm>

namespace {
// The text line is at least this wide, centred; a longer text widens it up to the
// bar's width less a margin at each end.
constexpr int TextWidth = 300;
constexpr int TextMargin = 10;
constexpr int TextHeight = 20;
const QColor TextBlue(0, 156, 255);
} // namespace

ZZProgressView::ZZProgressView(QWidget* parent) : QWidget(parent) {
    pNSProgressBlueColorView = new NSProgressBlueColorView(this);
    pNSProgressBlueColorView->setGeometry(rect());
    ScanningText = new QLabel(this);
    ScanningText->setAlignment(Qt::AlignCenter);
    QFont f = ScanningText->font();
    f.setPixelSize(15);
    ScanningText->setFont(f);
    ScanningText->setAttribute(Qt::WA_TransparentForMouseEvents);
    PlaceText();
    fTotatProgress = 100;
    setProgress(0, LanguageText("DirizaScanStarting"));
}

void ZZProgressView::setProgress(double progress, const QString& text) {
    fProgress = std::clamp(progress, 0.0, std::max(0.0, fTotatProgress));
    if (fTotatProgress <= 0) return;
    SetText(text);
    PlaceFill();
}

void ZZProgressView::ShowText(const QString& text) {
    SetText(text);
}

void ZZProgressView::ShowTitle(const QString& text) {
    SetText(text);
    ScanningText->show();
    fProgress = 0;
    PlaceFill();
}

void ZZProgressView::InitProgressTitle() {
    SetText(QString());
    ScanningText->show();
    pNSProgressBlueColorView->show();
}

void ZZProgressView::HiddenRogress() {
    pNSProgressBlueColorView->hide();
    ScanningText->hide();
}

void ZZProgressView::PlaceFill() {
    const double share = fTotatProgress > 0 ? fProgress / fTotatProgress : 0.0;
    pNSProgressBlueColorView->setGeometry(0, 0, int(share * width() + 0.5), height());
}

void ZZProgressView::SetText(const QString& text) {
    if (text == ScanningText->text()) return;
    const int before = TextNeed();
    ScanningText->setText(text);
    PlaceText();
    // A text wider than the bar asks the page for room.
    if (TextNeed() != before) updateGeometry();
}

int ZZProgressView::TextNeed() const {
    const QString text = ScanningText->text();
    if (text.isEmpty()) return 0;
    const QFontMetrics fm = ScanningText->fontMetrics();
    // The ink may reach past the advance (the last letter of a right-to-left text).
    return std::max(fm.horizontalAdvance(text), fm.boundingRect(text).width()) + 2 * TextMargin;
}

QSize ZZProgressView::minimumSizeHint() const {
    return QSize(std::max(TextWidth + 2 * TextMargin, TextNeed()), TextHeight);
}

void ZZProgressView::PlaceText() {
    const int wide = std::max(TextWidth, std::min(TextNeed(), width()) - 2 * TextMargin);
    ScanningText->setGeometry(width() / 2 - wide / 2, height() / 2 - TextHeight / 2, wide, TextHeight);
}

void ZZProgressView::resizeEvent(QResizeEvent*) {
    // The bar keeps showing the progress at the new size.
    PlaceText();
    PlaceFill();
}

void ZZProgressView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, QColor(222, 222, 222, 51));
    p.fillRect(r.adjusted(0, 1, 0, -1), QColor(255, 255, 255, 51));
    QPalette pal = ScanningText->palette();
    const QColor text = IAppearance::Dark(this) ? QColor(Qt::white) : TextBlue;
    if (pal.color(QPalette::WindowText) != text) {
        pal.setColor(QPalette::WindowText, text);
        ScanningText->setPalette(pal);
    }
}
