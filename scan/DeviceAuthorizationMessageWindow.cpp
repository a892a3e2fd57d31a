#include "scan/DeviceAuthorizationMessageWindow.h"

#include "scan/LanguageTable.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {
QString text(const QString& key, const QString& fallback) {
    QString language = QSettings().value(QStringLiteral("AppLanguage")).toString();
    if (language.isEmpty()) language = QStringLiteral("en");
    const auto table = LanguageTable::ForLanguage(language);
    return table && table->Contains(key) ? table->Text(key) : fallback;
}
} // namespace

DeviceAuthorizationMessageWindow::DeviceAuthorizationMessageWindow(QWidget* parent)
    : QWidget(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("DeviceAuthorizationMessageWindow"));
    message = new QLabel(this);
    message->setWordWrap(true);
    confirm = new QPushButton(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message);
    layout->addWidget(confirm, 0, Qt::AlignRight);
    connect(confirm, &QPushButton::clicked, this, [this] { CompleteBtEvent(); });
}

DeviceAuthorizationMessageWindow* DeviceAuthorizationMessageWindow::shareInstance() {
    static DeviceAuthorizationMessageWindow* window = new DeviceAuthorizationMessageWindow;
    return window;
}

void DeviceAuthorizationMessageWindow::Show(std::function<void()> handler) {
    handlerComplete = std::move(handler);
    setWindowTitle(text(QStringLiteral("DeviceTrustTitle"), QStringLiteral("Trust This Computer")));
    message->setText(
        text(QStringLiteral("DeviceTrustTip"),
             QStringLiteral("Unlock your device and tap \"Trust\" on its screen, then click Continue.")));
    confirm->setText(text(QStringLiteral("DeviceTrustContinue"), QStringLiteral("Continue")));
    show();
    raise();
}

void DeviceAuthorizationMessageWindow::Close() {
    handlerComplete = nullptr;
    hide();
}

void DeviceAuthorizationMessageWindow::CompleteBtEvent() {
    std::function<void()> handler = std::move(handlerComplete);
    handlerComplete = nullptr;
    hide();
    if (handler) handler();
}

void DeviceAuthorizationMessageWindow::CloesButtonEvent() {
    handlerComplete = nullptr;
    hide();
}

void DeviceAuthorizationMessageWindow::closeEvent(QCloseEvent* event) {
    CloesButtonEvent();
    event->accept();
}
