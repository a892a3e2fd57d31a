#include "app/pages/NSDeviceLinkView.h"

#include "gui/NSLanguageText.h"
#include "app/pages/AppImage.h"

#include <QLabel>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

NSDeviceLinkView::NSDeviceLinkView(IDeviceManage& manager, QWidget* parent)
    : QWidget(parent), AnimationPlayTimer(new QTimer(this)), TabView(new QStackedWidget(this)),
      DeviceLinkText(new QLabel(this)),
      pNSSelectDirizaFileTypeView(new NSSelectDirizaFileTypeView(manager, this)) {
    auto* connectPane = new QWidget(TabView);
    auto* column = new QVBoxLayout(connectPane);
    column->addStretch();
    for (int i = 0; i < 4; ++i) {
        USBImage[size_t(i)] = new QLabel(connectPane);
        USBImage[size_t(i)]->setPixmap(
            AppImage::Pixmap(QStringLiteral("usb_%1").arg(i + 1), QSize(260, 180)));
        USBImage[size_t(i)]->setAlignment(Qt::AlignCenter);
        column->addWidget(USBImage[size_t(i)]);
        USBImage[size_t(i)]->setVisible(i == 0);
    }
    DeviceLinkText->setAlignment(Qt::AlignCenter);
    DeviceLinkText->setWordWrap(true);
    QFont font = DeviceLinkText->font();
    font.setPointSize(font.pointSize() + 3);
    DeviceLinkText->setFont(font);
    column->addWidget(DeviceLinkText);
    column->addStretch();
    TabView->addWidget(connectPane);
    TabView->addWidget(pNSSelectDirizaFileTypeView);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(TabView);

    pNSSelectDirizaFileTypeView->setDelegate(this);
    AnimationPlayTimer->setInterval(300);
    connect(AnimationPlayTimer, &QTimer::timeout, this, &NSDeviceLinkView::AnimationPlay);
    AnimationPlayTimer->start();
    TabView->setCurrentIndex(0);
    setLanguage(NSLanguageText::shareInstance()->Language());
}

void NSDeviceLinkView::setLanguage(int language) {
    DeviceLinkText->setText(LanguageText("DeviceLink"));
    pNSSelectDirizaFileTypeView->setLanguage(language);
}

void NSDeviceLinkView::AnimationPlay() {
    if (Animation <= 0) return;
    Animation = Animation >= 4 ? 1 : Animation + 1;
    for (int i = 0; i < 4; ++i)
        USBImage[size_t(i)]->setVisible(i == Animation - 1);
}

bool NSDeviceLinkView::isChoosing() const {
    return TabView->currentIndex() == 1;
}

void NSDeviceLinkView::SetDeviceInfo(const std::shared_ptr<DeviceInfo>& device) {
    TabView->setCurrentIndex(1);
    pDeviceInfo = device;
    pNSSelectDirizaFileTypeView->SetDeviceInfo(device ? device->getDeviceName() : QString());
}

void NSDeviceLinkView::RemoveDevice() {
    TabView->setCurrentIndex(0);
    pDeviceInfo.reset();
}

void NSDeviceLinkView::BackUpStartEvent(const QStringList& selection) {
    if (delegate) delegate->DeviceBackUpStartEvent(pDeviceInfo, selection);
}
