#include "app/pages/NSWindowsAbout.h"

#include "gui/NSLanguageText.h"
#include "app/pages/AppImage.h"
#include "platform/AppearanceWatcher.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

NSWindowsAbout::NSWindowsAbout(QWidget* parent)
    : QDialog(parent), NavigationBackground(new QLabel(this)), Logo(new QLabel(this)),
      AppName(new QLabel(this)), ShowVersion(new QLabel(this)), CompanyTitle(new QLabel(this)) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(420, 260);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 24, 0, 0);
    auto* nameRow = new QHBoxLayout;
    nameRow->addStretch();
    Logo->setPixmap(AppImage::Pixmap(QStringLiteral("logo"), QSize(40, 40)));
    nameRow->addWidget(Logo);
    nameRow->addSpacing(5);
    QFont nameFont = AppName->font();
    nameFont.setPointSize(nameFont.pointSize() + 6);
    nameFont.setBold(true);
    AppName->setFont(nameFont);
    nameRow->addWidget(AppName);
    nameRow->addStretch();
    column->addLayout(nameRow);
    ShowVersion->setAlignment(Qt::AlignCenter);
    CompanyTitle->setAlignment(Qt::AlignCenter);
    column->addWidget(ShowVersion);
    column->addStretch();
    column->addWidget(CompanyTitle);
    column->addSpacing(8);
    NavigationBackground->setScaledContents(true);
    NavigationBackground->setFixedHeight(60);
    column->addWidget(NavigationBackground);
    new AppearanceWatcher(this, [this](bool dark) { UpdateViewDarkAqua(dark); });
    setLanguage(NSLanguageText::shareInstance()->Language());
}

void NSWindowsAbout::Show() {
    show();
    raise();
    activateWindow();
}

void NSWindowsAbout::setLanguage(int) {
    setWindowTitle(LanguageText("AboutMenu"));
    ShowVersion->setText(SafeFormat(LanguageText("ShowVersion"), {QCoreApplication::applicationVersion()}));
    AppName->setText(QCoreApplication::applicationName());
    CompanyTitle->setText(LanguageText("CompanyTitle"));
}

void NSWindowsAbout::UpdateViewDarkAqua(bool dark) {
    NavigationBackground->setPixmap(
        AppImage::Pixmap(AppImage::Themed(QStringLiteral("bottom_background"), dark), QSize(420, 60)));
}
