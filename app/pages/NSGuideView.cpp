#include "app/pages/NSGuideView.h"

#include "gui/NSLanguageText.h"
#include "app/pages/AppImage.h"
#include "app/pages/ServiceHooks.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

NSGuideView::NSGuideView(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      GuideTitle(new QLabel(this)), GuidePCTitle(new QLabel(this)), GuidePCText(new QLabel(this)),
      GuideIOSTitle(new QLabel(this)), GuideIOSText(new QLabel(this)), pcButton(new QPushButton(this)),
      iosButton(new QPushButton(this)) {
    setFixedSize(640, 380);
    setObjectName(QStringLiteral("guide"));
    auto* column = new QVBoxLayout(this);
    QFont titleFont = GuideTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + 6);
    titleFont.setBold(true);
    GuideTitle->setFont(titleFont);
    GuideTitle->setAlignment(Qt::AlignCenter);
    column->addWidget(GuideTitle);
    auto* offers = new QGridLayout;
    auto offer = [&](int col, QPushButton* button, const QString& image, QLabel* title, QLabel* text) {
        auto* box = new QWidget(this);
        box->setObjectName(QStringLiteral("offer"));
        box->setStyleSheet(
            QStringLiteral("QWidget#offer { background: rgb(4,151,232); border-radius: 10px; }"));
        auto* l = new QVBoxLayout(box);
        button->setFlat(true);
        button->setIcon(AppImage::Icon(image));
        button->setIconSize(QSize(72, 72));
        button->setCursor(Qt::PointingHandCursor);
        QFont f = title->font();
        f.setBold(true);
        f.setPointSize(f.pointSize() + 2);
        title->setFont(f);
        for (QLabel* lab : {title, text}) {
            lab->setAlignment(Qt::AlignCenter);
            lab->setWordWrap(true);
            QPalette p = lab->palette();
            p.setColor(QPalette::WindowText, Qt::white);
            lab->setPalette(p);
        }
        l->addWidget(button, 0, Qt::AlignHCenter);
        l->addWidget(title);
        l->addWidget(text);
        l->addStretch();
        offers->addWidget(box, 0, col);
    };
    offer(0, pcButton, QStringLiteral("logo"), GuidePCTitle, GuidePCText);
    offer(1, iosButton, QStringLiteral("DeviceDiriza_2_bt"), GuideIOSTitle, GuideIOSText);
    column->addLayout(offers, 1);
    connect(pcButton, &QPushButton::clicked, this, &NSGuideView::GuidePC_Bt_Event);
    connect(iosButton, &QPushButton::clicked, this, &NSGuideView::GuideIOS_Bt_Event);
    setLanguage(NSLanguageText::shareInstance()->Language());
}

void NSGuideView::setLanguage(int) {
    setWindowTitle(LanguageText("GuideTitle"));
    GuideTitle->setText(LanguageText("GuideTitle"));
    GuidePCTitle->setText(LanguageText("GuidePCTitle"));
    GuidePCText->setText(LanguageText("GuidePCText"));
    GuideIOSTitle->setText(LanguageText("GuideIOSTitle"));
    GuideIOSText->setText(LanguageText("GuideIOSText"));
}

void NSGuideView::GuidePC_Bt_Event() {
    if (delegate) delegate->SelectPCRecovery();
    CloseGuide();
}

void NSGuideView::GuideIOS_Bt_Event() {
    auto& hooks = ServiceHooks::Current();
    if (hooks.saveGuide) hooks.saveGuide();
    if (delegate) delegate->SelectMobileRecovery();
    CloseGuide();
}

void NSGuideView::CloseGuide() {
    close();
}
