#include "app/pages/NSDeviceLinkView.h"

#include "gui/MainQueue.h"
#include "gui/NSLanguageText.h"
#include "app/pages/AppImage.h"
#include "platform/UsbmuxdSocket.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QStackedWidget>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>

#include <mutex>

namespace {

// How long the page waits before asking a silent daemon again.
constexpr int kDaemonRecheckMs = 3000;

struct DaemonCheckHook {
    std::mutex mutex;
    NSDeviceLinkView::DaemonCheck check;
};

DaemonCheckHook& daemonCheckHook() {
    static DaemonCheckHook hook;
    return hook;
}

NSDeviceLinkView::DaemonCheck CurrentDaemonCheck() {
    DaemonCheckHook& hook = daemonCheckHook();
    std::lock_guard<std::mutex> lock(hook.mutex);
    if (hook.check) return hook.check;
    return [] { return UsbmuxdSocket::DaemonAnswers(); };
}

} // namespace

void NSDeviceLinkView::SetDaemonCheck(DaemonCheck check) {
    DaemonCheckHook& hook = daemonCheckHook();
    std::lock_guard<std::mutex> lock(hook.mutex);
    hook.check = std::move(check);
}

NSDeviceLinkView::NSDeviceLinkView(IDeviceManage& manager, QWidget* parent)
    : QWidget(parent), AnimationPlayTimer(new QTimer(this)), TabView(new QStackedWidget(this)),
      DeviceLinkText(new QLabel(this)), UsbmuxdNote(new QLabel(this)), DaemonRecheckTimer(new QTimer(this)),
      daemonCheck(CurrentDaemonCheck()),
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
    UsbmuxdNote->setAlignment(Qt::AlignCenter);
    UsbmuxdNote->setWordWrap(true);
    UsbmuxdNote->setTextFormat(Qt::PlainText);
    UsbmuxdNote->setTextInteractionFlags(Qt::TextSelectableByMouse); // the command can be copied
    UsbmuxdNote->setVisible(false);
    column->addWidget(UsbmuxdNote);
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
    DaemonRecheckTimer->setSingleShot(true);
    DaemonRecheckTimer->setInterval(kDaemonRecheckMs);
    connect(DaemonRecheckTimer, &QTimer::timeout, this, &NSDeviceLinkView::CheckDaemon);
    setLanguage(NSLanguageText::shareInstance()->Language());
    CheckDaemon();
}

void NSDeviceLinkView::CheckDaemon() {
    // Only the connect pane on screen tells of the daemon; showing the page and
    // RemoveDevice bring the checks back.
    if (checkingDaemon || TabView->currentIndex() != 0 || !isVisible()) return;
    checkingDaemon = true;
    DaemonRecheckTimer->stop();
    // The answer goes through the application object, which outlives the pool's tasks
    // (it waits for them when it ends); the page may be gone by then.
    QPointer<NSDeviceLinkView> page(this);
    QThreadPool::globalInstance()->start([check = daemonCheck, page] {
        const bool answers = check();
        MainQueue::Post(QCoreApplication::instance(), [page, answers] {
            if (page) page->ShowDaemonState(answers);
        });
    });
}

void NSDeviceLinkView::ShowDaemonState(bool answers) {
    checkingDaemon = false;
    UsbmuxdNote->setVisible(!answers);
    // The daemon may stop or start at any time (it usually runs only while a device is
    // plugged in): ask again while the connect pane is shown.
    if (TabView->currentIndex() == 0 && isVisible()) DaemonRecheckTimer->start();
    emit daemonChecked(answers);
}

void NSDeviceLinkView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    CheckDaemon();
}

void NSDeviceLinkView::hideEvent(QHideEvent* event) {
    // A page out of sight asks nobody (the backup road, a scan).
    DaemonRecheckTimer->stop();
    QWidget::hideEvent(event);
}

void NSDeviceLinkView::setLanguage(int language) {
    DeviceLinkText->setText(LanguageText("DeviceLink"));
    UsbmuxdNote->setText(LanguageText("UsbmuxdNotAnswering"));
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
    // The daemon may have gone with the device.
    CheckDaemon();
}

void NSDeviceLinkView::BackUpStartEvent(const QStringList& selection) {
    if (delegate) delegate->DeviceBackUpStartEvent(pDeviceInfo, selection);
}
