#include "app/recovery/ZZProgressView.h"

#include "gui/NSLanguageText.h"
#include "platform/IAppearance.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr int TextWidth = 300;
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
    ScanningText->setText(text);
    PlaceFill();
}

void ZZProgressView::ShowText(const QString& text) {
    ScanningText->setText(text);
}

void ZZProgressView::ShowTitle(const QString& text) {
    ScanningText->setText(text);
    ScanningText->show();
    fProgress = 0;
    PlaceFill();
}

void ZZProgressView::InitProgressTitle() {
    ScanningText->setText(QString());
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

void ZZProgressView::PlaceText() {
    ScanningText->setGeometry(width() / 2 - TextWidth / 2, height() / 2 - TextHeight / 2, TextWidth,
                              TextHeight);
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
