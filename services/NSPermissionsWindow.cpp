#include "services/NSPermissionsWindow.h"

#include "gui/NSLanguageText.h"
#include "platform/Paths.h"
#include "services/MPPermissionsKit.h"
#include "services/ServiceImage.h"
#include "services/SharedInstance.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

NSPermissionsWindow::NSPermissionsWindow(QWidget* parent, PermissionRequest request,
                                         std::function<int()> language)
    : QDialog(parent), requestPermission(std::move(request)), currentLanguage(std::move(language)) {
    if (!requestPermission) {
        requestPermission = [](unsigned kind) {
            MPPermissionsKit::requestAuthorizationForPermissionType(kind, [](MPAccessState) {});
        };
    }
    if (!currentLanguage) currentLanguage = [] { return NSLanguageText::shareInstance()->Language(); };
    setModal(false);
    resize(560, 520);

    // Children are owned by this window.
    auto* layout = new QVBoxLayout(this);
    TextTitle = new QLabel(this);
    QFont font = TextTitle->font();
    font.setPointSize(16);
    font.setBold(true);
    TextTitle->setFont(font);
    TextTitle->setWordWrap(true);
    InstructionsText1 = new QLabel(this);
    InstructionsText2 = new QLabel(this);
    InstructionsText3 = new QLabel(this);
    InstructionsImage = new QLabel(this);
    InstructionsImage->setAlignment(Qt::AlignCenter);
    InstructionsImage->setMinimumSize(480, 270);
    OpenSetPermissionsBt = new QPushButton(this);
    layout->addWidget(TextTitle);
    for (QLabel* l : {InstructionsText1, InstructionsText2, InstructionsText3}) {
        l->setWordWrap(true);
        l->setTextFormat(Qt::PlainText);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse); // the command can be copied
        layout->addWidget(l);
    }
    layout->addWidget(InstructionsImage, 1);
    layout->addWidget(OpenSetPermissionsBt, 0, Qt::AlignHCenter);
    connect(OpenSetPermissionsBt, &QPushButton::clicked, this, [this] { OpenSetPermissionsBtEvent(); });
    UpdateLanguage();
}

NSPermissionsWindow& NSPermissionsWindow::shareInstance() {
    return SharedInstance<NSPermissionsWindow>();
}

QLabel* NSPermissionsWindow::step(int n) const {
    switch (n) {
    case 1:
        return InstructionsText1;
    case 2:
        return InstructionsText2;
    case 3:
        return InstructionsText3;
    default:
        return nullptr;
    }
}

void NSPermissionsWindow::UpdateLanguage() {
    TextTitle->setText(LanguageText("授权“完全磁盘访问权限”"));
    // The folder named is the one the backup list reads.
    const QString folder = Paths::BackupsFolder();
    InstructionsText1->setText(
        SafeFormat(LanguageText("1、点击下方的按钮或打开系统偏好设置 -> 安全性与隐私，然后进入隐私标签页。"),
                   {Paths::ForDisplay(folder)}));
    InstructionsText2->setText(
        SafeFormat(LanguageText("2、在系统偏好设置窗口的左下角点击锁定图标并输入您的管理员密码。"),
                   {Paths::ShellWord(folder)}));
    InstructionsText3->setText(LanguageText("3、找到“Morvanti苹果恢复”，勾选即可。"));
    OpenSetPermissionsBt->setText(LanguageText("前往设置"));
    imageName =
        currentLanguage() == 1 ? QStringLiteral("FullDiskAccess_cn") : QStringLiteral("FullDiskAccess_en");
    InstructionsImage->setPixmap(ServiceImage(imageName, QSize(480, 270)));
}

void NSPermissionsWindow::OpenSetPermissionsBtEvent() {
    requestPermission(MPPermissionKindFullDiskAccess);
}

void NSPermissionsWindow::closeEvent(QCloseEvent* event) {
    if (closeHandler) {
        event->ignore();
        closeHandler();
        return;
    }
    QDialog::closeEvent(event);
}
