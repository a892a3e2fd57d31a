#include "app/pages/RecoveryPageStandIn.h"

#include "app/common/NSLanguageText.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

RecoveryPageStandIn::RecoveryPageStandIn(IDeviceManage& manager, QWidget* parent)
    : QWidget(parent), manager(manager), title(new QLabel(this)), backHome(new QPushButton(this)) {
    auto* layout = new QVBoxLayout(this);
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    layout->addStretch();
    layout->addWidget(title);
    layout->addWidget(backHome, 0, Qt::AlignCenter);
    layout->addStretch();
    connect(backHome, &QPushButton::clicked, this, [this] {
        if (this->manager.isScan()) return;
        if (delegate) delegate->BackHomeEvent();
    });
    setLanguage(NSLanguageText::shareInstance()->Language());
}

void RecoveryPageStandIn::setLanguage(int) {
    title->setText(manager.isScan() || !device ? LanguageText("ScanLoading") : LanguageText("ScanComplete"));
    backHome->setText(LanguageText("BackHomeBt"));
}

void RecoveryPageStandIn::StartScan(const std::shared_ptr<DeviceInfo>& scanned, const QStringList& types) {
    device = scanned;
    selection = types;
    title->setText(LanguageText("ScanLoading"));
    if (device) manager.StartScan(device, selection);
}

void RecoveryPageStandIn::StopAndWait() {
    if (manager.isScan()) manager.StopScan();
    manager.WaitForTasks();
}
