#include "app/pages/NSDirizaNull.h"

#include "gui/MyExtensions.h"
#include "gui/NSLanguageText.h"
#include "app/pages/AppImage.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

struct ModelRow {
    const char* name;
    std::initializer_list<const char*> types;
};

// Product types and the model names shown for them.
const QHash<QString, QString>& ModelNames() {
    static const QHash<QString, QString> names = [] {
        const ModelRow rows[] = {
            {"iPhone 1G", {"iPhone1,1"}},
            {"iPhone 3G", {"iPhone1,2"}},
            {"iPhone 3GS", {"iPhone2,1"}},
            {"iPhone 4", {"iPhone3,1", "iPhone3,2"}},
            {"iPhone 4S", {"iPhone4,1"}},
            {"iPhone 5", {"iPhone5,1", "iPhone5,2"}},
            {"iPhone 5C", {"iPhone5,3", "iPhone5,4"}},
            {"iPhone 5S", {"iPhone6,1", "iPhone6,2"}},
            {"iPhone 6 Plus", {"iPhone7,1"}},
            {"iPhone 6", {"iPhone7,2"}},
            {"iPhone 6s", {"iPhone8,1"}},
            {"iPhone 6s Plus", {"iPhone8,2"}},
            {"iPhone SE", {"iPhone8,3", "iPhone8,4"}},
            {"iPhone 7", {"iPhone9,1", "iPhone9,3"}},
            {"iPhone 7 Plus", {"iPhone9,2", "iPhone9,4"}},
            {"iPhone 8", {"iPhone10,1", "iPhone10,4"}},
            {"iPhone 8 Plus", {"iPhone10,2", "iPhone10,5"}},
            {"iPhone X", {"iPhone10,3", "iPhone10,6"}},
            {"iPhone XS", {"iPhone11,2"}},
            {"iPhone XS Max", {"iPhone11,4", "iPhone11,6"}},
            {"iPhone XR", {"iPhone11,8"}},
            {"iPhone 11", {"iPhone12,1"}},
            {"iPhone 11 Pro", {"iPhone12,3"}},
            {"iPhone 11 Pro Max", {"iPhone12,5"}},
            {"iPhone SE 2", {"iPhone12,8"}},
            {"iPhone 12 mini", {"iPhone13,1"}},
            {"iPhone 12", {"iPhone13,2"}},
            {"iPhone 12 Pro", {"iPhone13,3"}},
            {"iPhone 12 Pro Max", {"iPhone13,4"}},
            {"iPod Touch 1G", {"iPod1,1"}},
            {"iPod Touch 2G", {"iPod2,1"}},
            {"iPod Touch 3G", {"iPod3,1"}},
            {"iPod Touch 4G", {"iPod4,1"}},
            {"iPod Touch 5G", {"iPod5,1"}},
            {"iPod Touch 6G", {"iPod7,1"}},
            {"iPad", {"iPad1,1"}},
            {"iPad 2 (WiFi)", {"iPad2,1"}},
            {"iPad 2 (GSM)", {"iPad2,2"}},
            {"iPad 2 (CDMA)", {"iPad2,3"}},
            {"iPad 2 (32nm)", {"iPad2,4"}},
            {"iPad mini (WiFi)", {"iPad2,5"}},
            {"iPad mini (GSM)", {"iPad2,6"}},
            {"iPad mini (CDMA)", {"iPad2,7"}},
            {"iPad 3 (WiFi)", {"iPad3,1"}},
            {"iPad 3 (CDMA)", {"iPad3,2"}},
            {"iPad 3 (4G)", {"iPad3,3"}},
            {"iPad 4 (WiFi)", {"iPad3,4"}},
            {"iPad 4 (4G)", {"iPad3,5"}},
            {"iPad 4 (CDMA)", {"iPad3,6"}},
            {"iPad Air", {"iPad4,1", "iPad4,2", "iPad4,3"}},
            {"iPad Air 2", {"iPad5,3", "iPad5,4"}},
            {"iPad Pro 9.7", {"iPad6,3", "iPad6,4"}},
            {"iPad Pro 12.9", {"iPad6,7", "iPad6,8"}},
            {"iPad 5", {"iPad6,11", "iPad6,12"}},
            {"iPad Pro 12.9 inch 2nd gen", {"iPad7,1", "iPad7,2"}},
            {"iPad Pro 10.5 inch", {"iPad7,3", "iPad7,4"}},
            {"iPad 6", {"iPad7,5", "iPad7,6"}},
            {"iPad 7", {"iPad7,11", "iPad7,12"}},
            {"iPad Pro 11-inch", {"iPad8,1", "iPad8,2", "iPad8,3", "iPad8,4"}},
            {"iPad Pro 12.9-inch 3rd gen", {"iPad8,5", "iPad8,6", "iPad8,7", "iPad8,8"}},
            {"iPad Pro 11-inch 2nd gen", {"iPad8,9", "iPad8,10"}},
            {"iPad Pro 12.9-inch 4th gen", {"iPad8,11", "iPad8,12"}},
            {"iPad Mini 5", {"iPad11,1", "iPad11,2"}},
            {"iPad Air 3", {"iPad11,3", "iPad11,4"}},
            {"iPad 8", {"iPad11,6", "iPad11,7"}},
            {"iPad Air 4", {"iPad13,1", "iPad13,2"}},
            {"Simulator", {"i386", "x86_64"}},
            {"iPad mini 2", {"iPad4,4", "iPad4,5", "iPad4,6"}},
            {"iPad mini 3", {"iPad4,7", "iPad4,8", "iPad4,9"}},
            {"iPad mini 4", {"iPad5,1", "iPad5,2"}},
        };
        QHash<QString, QString> m;
        for (const ModelRow& row : rows)
            for (const char* type : row.types)
                m.insert(QString::fromLatin1(type), QString::fromLatin1(row.name));
        return m;
    }();
    return names;
}

QLabel* Caption(QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

} // namespace

NSDirizaNull::NSDirizaNull(QWidget* parent)
    : QWidget(parent), ScanCompleteTimer(new QTimer(this)), TitleImage(new QLabel(this)),
      TextProductType(new QLabel(this)), TextDeviceName(new QLabel(this)), TextSysVersion(new QLabel(this)),
      TextSerialNumber(new QLabel(this)), DeviceName(Caption(this)), DeviceNumber(Caption(this)),
      DeviceVersion(Caption(this)), SerialNumber(Caption(this)), operationText(new QLabel(this)),
      OperationText2(new QLabel(this)), OperationText3(new QLabel(this)) {
    auto* column = new QVBoxLayout(this);
    column->addStretch();
    TitleImage->setAlignment(Qt::AlignCenter);
    column->addWidget(TitleImage);
    auto* block = new QWidget(this);
    auto* blockColumn = new QVBoxLayout(block);
    auto* form = new QFormLayout;
    form->addRow(DeviceNumber, TextProductType);
    form->addRow(DeviceName, TextDeviceName);
    form->addRow(DeviceVersion, TextSysVersion);
    form->addRow(SerialNumber, TextSerialNumber);
    blockColumn->addLayout(form);
    blockColumn->addSpacing(16);
    for (QLabel* l : {operationText, OperationText2, OperationText3}) {
        l->setWordWrap(true);
        blockColumn->addWidget(l);
    }
    // Centred by stretches, not by alignment: an aligned widget gets only its size hint,
    // which is too short for the wrapped lines at the width it is shown at.
    block->setMaximumWidth(560);
    block->setMinimumWidth(360);
    auto* centred = new QHBoxLayout;
    centred->addStretch();
    centred->addWidget(block, 1);
    centred->addStretch();
    column->addLayout(centred);
    operationText->setTextFormat(Qt::RichText);
    column->addStretch();
    ScanCompleteTimer->setInterval(1000);
    connect(ScanCompleteTimer, &QTimer::timeout, this, &NSDirizaNull::UpdateScanCompleteTimer);
    titleImage = QStringLiteral("default_title2");
    TitleImage->setPixmap(AppImage::Pixmap(titleImage, QSize(320, 120)));
    setLanguage(NSLanguageText::shareInstance()->Language());
}

QString NSDirizaNull::deviceVersion(const QString& productType) {
    return ModelNames().value(productType, productType);
}

QStringList NSDirizaNull::KnownProductTypes() {
    return ModelNames().keys();
}

bool NSDirizaNull::isWaiting() const {
    return ScanCompleteTimer->isActive();
}

QString NSDirizaNull::OperationHtml() const {
    return operationText->text();
}

void NSDirizaNull::ShowRunning() {
    operationText->setText(MyExtensions::TextColorHtml(LanguageText("OperationText"),
                                                       LanguageText("ConnectionText"), QColor(Qt::red)));
    operationText->show();
}

void NSDirizaNull::ShowPaused(bool arabicOrder) {
    const QString text = LanguageText("ScanPaused");
    const QString pattern = arabicOrder ? QStringLiteral("%@.1") : QStringLiteral("1. %@");
    operationText->setText(
        MyExtensions::TextColorHtml(SafeFormat(pattern, {text}), text, QColor(200, 110, 0)));
    operationText->show();
}

void NSDirizaNull::SetPaused(bool on) {
    paused = on;
    // Only while the scan has not ended: the end's text stays.
    if (!ScanCompleteTimer->isActive()) return;
    if (paused)
        ShowPaused(NSLanguageText::shareInstance()->Language() == NSLanguageText::Arabic);
    else
        ShowRunning();
}

void NSDirizaNull::ShowComplete(bool arabicOrder) {
    const QString done = LanguageText("CompleteScanText");
    const QString pattern = arabicOrder ? QStringLiteral("%@.1") : QStringLiteral("1. %@");
    operationText->setText(
        MyExtensions::TextColorHtml(SafeFormat(pattern, {done}), done, QColor(0, 160, 60)));
}

void NSDirizaNull::ShowStopped(bool arabicOrder) {
    const QString stopped = LanguageText("ScanStop");
    const QString pattern = arabicOrder ? QStringLiteral("%@.1") : QStringLiteral("1. %@");
    operationText->setText(
        MyExtensions::TextColorHtml(SafeFormat(pattern, {stopped}), stopped, QColor(200, 110, 0)));
}

void NSDirizaNull::ShowEnded(bool arabicOrder) {
    if (scanStopped.load())
        ShowStopped(arabicOrder);
    else
        ShowComplete(arabicOrder);
}

void NSDirizaNull::SetDeviceInfo(const QString& name, const QString& productType, const QString& sysVersion,
                                 const QString& serialNumber) {
    TextProductType->setText(deviceVersion(productType));
    TextDeviceName->setText(name);
    TextSysVersion->setText(sysVersion);
    TextSerialNumber->setText(serialNumber);
    paused = false;
    ShowRunning();
    scanStopped = false;
    scanComplete = false;
    titleImage = QStringLiteral("default_title");
    TitleImage->setPixmap(AppImage::Pixmap(titleImage, QSize(320, 120)));
    ScanCompleteTimer->start();
}

void NSDirizaNull::ScanEndText(bool stopped) {
    // The stop flag first: whoever sees the end also sees how it ended.
    scanStopped = stopped;
    scanComplete = true;
}

void NSDirizaNull::UpdateScanCompleteTimer() {
    if (!scanComplete.load()) return;
    // Only a scan that ran to its end gets the completed title with its tick.
    titleImage = scanStopped.load() ? QStringLiteral("default_title") : QStringLiteral("default_title2");
    TitleImage->setPixmap(AppImage::Pixmap(titleImage, QSize(320, 120)));
    ScanCompleteTimer->stop();
    paused = false;
    ShowEnded(NSLanguageText::shareInstance()->Language() == NSLanguageText::Arabic);
}

void NSDirizaNull::setLanguage(int) {
    if (ScanCompleteTimer->isActive() && paused)
        ShowPaused(NSLanguageText::shareInstance()->Language() == NSLanguageText::Arabic);
    else if (ScanCompleteTimer->isActive())
        ShowRunning();
    else
        ShowEnded(false);
    OperationText2->setText(LanguageText("OperationText2"));
    OperationText3->setText(LanguageText("OperationText3"));
    DeviceName->setText(LanguageText("DeviceName"));
    DeviceNumber->setText(LanguageText("DeviceNumber"));
    DeviceVersion->setText(LanguageText("DeviceVersion"));
    SerialNumber->setText(LanguageText("SerialNumber"));
}
