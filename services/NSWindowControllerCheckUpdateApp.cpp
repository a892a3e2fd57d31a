#include "services/NSWindowControllerCheckUpdateApp.h"

#include "gui/NSLanguageText.h"
#include "platform/IAppearance.h"
#include "platform/IOpener.h"
#include "services/ServiceImage.h"
#include "services/ServiceNetwork.h"
#include "services/SharedInstance.h"
#include "services/UpdateDocument.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

NSWindowControllerCheckUpdateApp::NSWindowControllerCheckUpdateApp(QNetworkAccessManager* manager,
                                                                   QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      nam(manager ? manager : &ServiceNetwork::manager()),
      currentVersion(QCoreApplication::applicationVersion()) {
    setWindowTitle(QString());
    resize(460, 300);

    auto* layout = new QVBoxLayout(this); // widgets below are owned through the layout's parent
    layout->setContentsMargins(20, 20, 20, 0);
    NewVersionTitle = new QLabel(this);
    NewVersionTitle->setTextFormat(Qt::PlainText);
    NewVersionTitle->setWordWrap(true);
    layout->addWidget(NewVersionTitle);

    UpdateInfo = new QLabel;
    UpdateInfo->setTextFormat(Qt::PlainText); // server text is never markup
    UpdateInfo->setWordWrap(true);
    UpdateInfo->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    UpdateInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    NewVersionTitleScrollView = new QScrollArea(this);
    NewVersionTitleScrollView->setWidgetResizable(true);
    NewVersionTitleScrollView->setWidget(UpdateInfo);
    layout->addWidget(NewVersionTitleScrollView, 1);

    LoadingShow = new QProgressBar(this);
    LoadingShow->setRange(0, 0); // busy
    LoadingShow->setTextVisible(false);
    layout->addWidget(LoadingShow);

    NavigationBackground = new QLabel(this);
    NavigationBackground->setScaledContents(true);
    NavigationBackground->setFixedHeight(56);
    auto* buttons = new QHBoxLayout(NavigationBackground);
    buttons->addStretch(1);
    UpdateAppButton = new QPushButton(NavigationBackground);
    CloesButton = new QPushButton(NavigationBackground);
    buttons->addWidget(UpdateAppButton);
    buttons->addWidget(CloesButton);
    layout->addWidget(NavigationBackground);

    for (QPushButton* b : {UpdateAppButton, CloesButton}) {
        QPalette palette = b->palette();
        palette.setColor(QPalette::ButtonText, Qt::black);
        b->setPalette(palette);
    }
    connect(UpdateAppButton, &QPushButton::clicked, this, [this] { UpdateButtonEvent(); });
    connect(CloesButton, &QPushButton::clicked, this, &QWidget::close);

    NSTimerLoad = new QTimer(this);
    NSTimerLoad->setInterval(1000);
    connect(NSTimerLoad, &QTimer::timeout, this, [this] { TimerLoad(); });

    NewVersionTitle->hide();
    UpdateAppButton->hide();
    NewVersionTitleScrollView->hide();
    LoadingShow->hide();
    UpdateViewDarkAqua();
}

NSWindowControllerCheckUpdateApp::~NSWindowControllerCheckUpdateApp() {
    if (pending) {
        pending->disconnect(this);
        pending->abort();
    }
}

NSWindowControllerCheckUpdateApp& NSWindowControllerCheckUpdateApp::shareInstance() {
    return SharedInstance<NSWindowControllerCheckUpdateApp>();
}

void NSWindowControllerCheckUpdateApp::Show(QObject*) {
    loaded = true;
    show();
    raise();
    CheckUpdate();
}

void NSWindowControllerCheckUpdateApp::setLanguage(int) {
    if (loaded) CheckUpdate();
}

void NSWindowControllerCheckUpdateApp::SetPollInterval(int milliseconds) {
    NSTimerLoad->setInterval(milliseconds);
}

bool NSWindowControllerCheckUpdateApp::isVersionBiggerThanVersion(const QString& a, const QString& b) {
    return UpdateDocument::IsVersionBiggerThanVersion(a, b);
}

void NSWindowControllerCheckUpdateApp::CheckUpdate() {
    UpdateAppButton->setText(LanguageText("UpdateAppBt"));
    CloesButton->setText(LanguageText("CloesBt"));
    isLoadUrl = true;
    checkFailed = false;
    LoadingShow->show();
    NewVersionTitle->hide();
    UpdateAppButton->hide();
    NewVersionTitleScrollView->hide();
    UpdateInfo->clear();
    strUrlDownload.clear();
    NSTimerLoad->start();

    // A new check supersedes the one still open: its reply is dropped.
    ++generation;
    if (pending) {
        pending->disconnect(this);
        pending->abort();
        pending->deleteLater();
        pending = nullptr;
    }
    const QUrl url((addressSource ? addressSource() : LanguageText("NewVersioneURL")).trimmed());
    if (!ServiceNetwork::IsAllowedAddress(url)) {
        // No address (the shipped state) or one that may not be asked: nothing is checked.
        checkFailed = true;
        isLoadUrl = false;
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(transferTimeoutMs);
    QNetworkReply* reply = nam->get(request);
    pending = reply;
    const quint64 mine = generation;
    connect(reply, &QNetworkReply::finished, this, [this, reply, mine] { OnReply(reply, mine); });
}

void NSWindowControllerCheckUpdateApp::OnReply(QNetworkReply* reply, quint64 replyGeneration) {
    reply->deleteLater();
    if (replyGeneration != generation) return;
    pending = nullptr;
    const ServiceNetwork::Answer answer = ServiceNetwork::Collect(reply, UpdateDocument::kMaxBytes);
    const bool ok = answer.answered && !answer.tooLarge && answer.status >= 200 && answer.status < 300;
    const std::optional<UpdateDocument> doc = ok ? UpdateDocument::Parse(answer.body) : std::nullopt;
    if (!doc || !UpdateDocument::IsVersionBiggerThanVersion(doc->version, currentVersion)) {
        // Only a readable answer with a version that is not newer says "latest version";
        // no answer, an error status or an unreadable document say the check failed.
        checkFailed = !doc.has_value();
        isLoadUrl = false;
        return;
    }
    ShowUpdate(doc->info.value_or(QString()), doc->download.value_or(QString()));
}

void NSWindowControllerCheckUpdateApp::ShowUpdate(const QString& info, const QString& download) {
    NewVersionTitle->setText(LanguageText("HasUpdate"));
    UpdateInfo->setText(info);
    NewVersionTitle->show();
    UpdateAppButton->show();
    // The release notes sit in the scroll view, shown with them.
    NewVersionTitleScrollView->show();
    strUrlDownload = download;
    NSTimerLoad->stop();
    LoadingShow->hide();
    emit CheckFinished(true);
}

void NSWindowControllerCheckUpdateApp::TimerLoad() {
    if (isLoadUrl) return;
    NSTimerLoad->stop();
    LoadingShow->hide();
    NewVersionTitleScrollView->show();
    NewVersionTitle->show();
    UpdateAppButton->hide();
    NewVersionTitle->setText(checkFailed ? LanguageText("UpdateCheckFailed") : LanguageText("NotUpdate"));
    emit CheckFinished(false);
}

void NSWindowControllerCheckUpdateApp::UpdateButtonEvent() {
    if (strUrlDownload.isEmpty()) return;
    if (const auto url = UpdateDocument::DownloadUrl(strUrlDownload)) IOpener::Current().OpenUrl(*url);
}

void NSWindowControllerCheckUpdateApp::UpdateViewDarkAqua() {
    backgroundImage = IAppearance::Dark(this) ? QStringLiteral("bottom_background_black")
                                              : QStringLiteral("bottom_background");
    NavigationBackground->setPixmap(ServiceImage(backgroundImage, QSize(460, 56)));
}

void NSWindowControllerCheckUpdateApp::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) UpdateViewDarkAqua();
    QWidget::changeEvent(event);
}

void NSWindowControllerCheckUpdateApp::showEvent(QShowEvent* event) {
    UpdateViewDarkAqua();
    QWidget::showEvent(event);
}

bool NSWindowControllerCheckUpdateApp::isChecking() const {
    return LoadingShow->isVisibleTo(this) && NSTimerLoad->isActive();
}

bool NSWindowControllerCheckUpdateApp::isShowingUpdate() const {
    return UpdateAppButton->isVisibleTo(this);
}

QString NSWindowControllerCheckUpdateApp::titleText() const {
    return NewVersionTitle->isVisibleTo(this) ? NewVersionTitle->text() : QString();
}

QString NSWindowControllerCheckUpdateApp::infoText() const {
    return UpdateInfo->text();
}
