#include "services/NSDownloadPackageView.h"

#include "gui/NSLanguageText.h"
#include "platform/IOpener.h"
#include "platform/Paths.h"
#include "services/GRProgressIndicator.h"
#include "services/NSDownloadPackageViewColor.h"
#include "services/NSDownloadPackageViewDelegate.h"
#include "services/ServiceImage.h"
#include "services/ServiceNetwork.h"
#include "services/SharedInstance.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

NSDownloadPackageView::Environment NSDownloadPackageView::Environment::System() {
    Environment e;
    e.applicationsFolder = [] {
        return QDir(Paths::ApplicationSupport()).filePath(QStringLiteral("applications"));
    };
    e.downloadsFolder = [] { return Paths::Downloads(); };
    e.appName = [] { return LanguageText("OpenAppName"); };
    e.downloadAddress = [] { return LanguageText("DownloadPackageURL"); };
    return e;
}

NSDownloadPackageView::NSDownloadPackageView(Environment environment, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      env(std::move(environment)) {
    if (!env.manager) env.manager = &ServiceNetwork::manager();
    setWindowTitle(QString());
    resize(640, 400);

    // Children are owned by their parent widgets.
    View = new NSDownloadPackageViewColor(this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(View);
    auto* layout = new QVBoxLayout(View);
    layout->setContentsMargins(120, 85, 120, 95);
    iPhoenRecoveryTitle = new QLabel(View);
    iPhoenRecoveryTitle->setAlignment(Qt::AlignCenter);
    iPhoenRecoveryTitle->setWordWrap(true);
    iPhoneRecoveryInstructions = new QLabel(View);
    iPhoneRecoveryInstructions->setWordWrap(true);
    iPhoneRecoveryInstructions->setAlignment(Qt::AlignCenter);
    // The panel is white in either appearance: its texts stay dark.
    for (QLabel* label : {iPhoenRecoveryTitle, iPhoneRecoveryInstructions}) {
        QPalette text = label->palette();
        text.setColor(QPalette::WindowText, QColor(30, 30, 30));
        label->setPalette(text);
    }
    RunButton = new QPushButton(View);
    RunButton->setFixedSize(220, 40);
    QPalette palette = RunButton->palette();
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::Button, QColor(4, 151, 232));
    RunButton->setPalette(palette);
    layout->addWidget(iPhoenRecoveryTitle);
    layout->addWidget(iPhoneRecoveryInstructions, 1);
    layout->addWidget(RunButton, 0, Qt::AlignHCenter);
    connect(RunButton, &QPushButton::clicked, this, [this] { RunButtonEvent(); });

    // The bar and its frame picture take the button's place while downloading.
    ProgressBackground = new QLabel(View);
    ProgressBackground->setScaledContents(true);
    ProgressBackground->setPixmap(ServiceImage(QStringLiteral("download_bt"), RunButton->size()));
    Progress = new GRProgressIndicator(View);
    for (QWidget* w : {static_cast<QWidget*>(ProgressBackground), static_cast<QWidget*>(Progress)}) {
        w->setFixedSize(RunButton->size());
        w->hide();
    }
    Progress->raise();

    TimerCheck = new QTimer(this);
    TimerCheck->setInterval(env.checkIntervalMs);
    connect(TimerCheck, &QTimer::timeout, this, [this] { Check(); });

    eDownloadState = PackageStateAbsent;
    isCheck = true;
    showSender = nullptr;
    QFont font = iPhoenRecoveryTitle->font();
    font.setPointSize(18);
    iPhoenRecoveryTitle->setFont(font);
    iPhoenRecoveryTitle->setText(LanguageText("iPhoenRecoveryTitle"));
    iPhoneRecoveryInstructions->setText(LanguageText("iPhoneRecoveryInstructions"));
}

NSDownloadPackageView::~NSDownloadPackageView() {
    DropReply();
}

NSDownloadPackageView& NSDownloadPackageView::shareInstance() {
    return SharedInstance<NSDownloadPackageView>();
}

QString NSDownloadPackageView::buttonTitle() const {
    return RunButton->text();
}

void NSDownloadPackageView::SetTitle(const QString& text) {
    RunButton->setText(text);
}

void NSDownloadPackageView::DownloadPackage(QObject* sender) {
    loaded = true;
    showSender = sender;
    if (sender) {
        show();
        raise();
    }
    strRunAppName = env.appName();
    strDownloadAddress = env.downloadAddress();
    if (eDownloadState == PackageStateDownloading) {
        // A download in flight keeps going; only the look-out restarts.
        TimerCheck->start();
        return;
    }
    isCheck = true;
    SetTitle(LanguageText("Check"));
    eDownloadState = PackageStateAbsent;
    LookForApplication();
    isCheck = false;
    if (eDownloadState == PackageStateInstalled) {
        SetTitle(LanguageText("Run"));
    } else if (eDownloadState == PackageStateAbsent) {
        SetTitle(LanguageText("UpLoading"));
    }
    TimerCheck->start();
}

void NSDownloadPackageView::setLanguage(int) {
    if (!loaded) return; // texts are set when the window is first asked for
    iPhoenRecoveryTitle->setText(LanguageText("iPhoenRecoveryTitle"));
    iPhoneRecoveryInstructions->setText(LanguageText("iPhoneRecoveryInstructions"));
    strRunAppName = env.appName();
    strDownloadAddress = env.downloadAddress();
    if (eDownloadState == PackageStateDownloading) {
        // The running download goes on into its file: only the texts change.
        SetTitle(LanguageText("Downlaoding"));
        return;
    }
    SetTitle(LanguageText("Check"));
    eDownloadState = PackageStateAbsent;
    LookForApplication();
    if (eDownloadState == PackageStateInstalled) {
        SetTitle(LanguageText("Run"));
    } else {
        SetTitle(LanguageText("UpLoading"));
    }
}

void NSDownloadPackageView::LookForApplication() {
    const QString folder = env.applicationsFolder();
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        if (name.startsWith(u'.')) continue;
        if (!strRunAppName.isEmpty() && name == strRunAppName) {
            eDownloadState = PackageStateInstalled;
            strRunAppAddress = QDir(folder).filePath(name);
        }
    }
}

void NSDownloadPackageView::Check() {
    if (eDownloadState == PackageStateInstalled) {
        TimerCheck->stop();
        return;
    }
    LookForApplication();
    if (eDownloadState == PackageStateInstalled) SetTitle(LanguageText("Run"));
}

void NSDownloadPackageView::RunButtonEvent() {
    if (isCheck) return;
    switch (eDownloadState) {
    case PackageStateAbsent:
    case PackageStateFailed:
        StartDownload();
        break;
    case PackageStateDownloaded:
        IOpener::Current().OpenPath(strOpenAddress);
        break;
    case PackageStateInstalled:
        if (IOpener::Current().OpenPath(strRunAppAddress)) {
            closeWin();
        } else {
            SetTitle(LanguageText("UpLoading"));
            eDownloadState = PackageStateAbsent;
        }
        break;
    default:
        break;
    }
}

QString NSDownloadPackageView::AppBaseName() const {
    QString name = strRunAppName;
    name.remove(QStringLiteral(".app"));
    return name;
}

void NSDownloadPackageView::StartDownload() {
    isCheck = true;
    eDownloadState = PackageStateDownloading;
    SetTitle(LanguageText("Downlaoding"));
    RunButton->hide();
    ProgressBackground->move(RunButton->pos());
    Progress->move(RunButton->pos());
    ProgressBackground->show();
    Progress->show();
    Progress->setIndeterminate(false);
    Progress->setDoubleValue(0);
    Progress->startAnimation();
    totalBytes = 0;
    currentBytes = 0;

    // The package's place: "<Downloads>/Diriza-IOS/<name>.dmg".
    const QString downloads = env.downloadsFolder();
    const QString folder =
        downloads.isEmpty() ? QString() : QDir(downloads).filePath(QStringLiteral("Diriza-IOS"));
    const QString base = AppBaseName();
    const QUrl url(strDownloadAddress.trimmed());
    if (folder.isEmpty() || !QDir().mkpath(folder) || base.isEmpty() || base.contains(u'/') ||
        !ServiceNetwork::IsAllowedAddress(url)) {
        FailDownload();
        return;
    }
    pendingPath = QDir(folder).filePath(base + QStringLiteral(".dmg"));
    package = std::make_unique<QSaveFile>(pendingPath);
    if (!package->open(QIODevice::WriteOnly)) {
        FailDownload();
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(env.stallTimeoutMs);
    reply = env.manager->get(request);
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] { OnMetaData(); });
    connect(reply, &QNetworkReply::readyRead, this, [this] { OnReadyRead(); });
    connect(reply, &QNetworkReply::finished, this, [this] { OnFinished(); });
}

void NSDownloadPackageView::OnMetaData() {
    if (!reply) return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() >= 300)) return; // judged at the end
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    totalBytes = length.isValid() ? length.toLongLong() : -1;
    currentBytes = 0;
    if (totalBytes <= 0) Progress->setIndeterminate(true);
    emit ProgressChanged(Progress->doubleValue(), Progress->isIndeterminate());
}

void NSDownloadPackageView::OnReadyRead() {
    if (!reply || !package) return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && (status.toInt() < 200 || status.toInt() >= 300)) {
        reply->readAll(); // an error page never becomes the package
        return;
    }
    const QByteArray chunk = reply->readAll();
    if (package->write(chunk) != chunk.size()) {
        reply->abort();
        return;
    }
    currentBytes += chunk.size();
    if (totalBytes > 0) Progress->setDoubleValue(double(currentBytes) / double(totalBytes) * 100.0);
    if (!chunk.isEmpty()) emit ProgressChanged(Progress->doubleValue(), Progress->isIndeterminate());
}

void NSDownloadPackageView::OnFinished() {
    if (!reply) return;
    OnReadyRead();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool ok = reply->error() == QNetworkReply::NoError && status.isValid() && status.toInt() >= 200 &&
                    status.toInt() < 300 && (totalBytes <= 0 || currentBytes == totalBytes);
    DropReply();
    if (!ok || !package || !package->commit()) {
        package.reset();
        FailDownload();
        return;
    }
    package.reset();
    EndDownloadDisplay();
    strOpenAddress = pendingPath;
    eDownloadState = PackageStateDownloaded;
    SetTitle(LanguageText("OpenInstall"));
    emit DownloadFinished(true);
}

void NSDownloadPackageView::DropReply() {
    if (!reply) return;
    QNetworkReply* r = reply;
    reply = nullptr;
    r->disconnect(this);
    if (!r->isFinished()) r->abort();
    r->deleteLater();
}

void NSDownloadPackageView::EndDownloadDisplay() {
    isCheck = false;
    Progress->stopAnimation();
    Progress->setIndeterminate(false);
    totalBytes = 0;
    currentBytes = 0;
    RunButton->show();
    Progress->hide();
    ProgressBackground->hide();
}

void NSDownloadPackageView::FailDownload() {
    DropReply();
    if (package) {
        package->cancelWriting();
        package.reset();
    }
    EndDownloadDisplay();
    eDownloadState = PackageStateFailed;
    SetTitle(LanguageText("Downloadfailed"));
    emit DownloadFinished(false);
}

void NSDownloadPackageView::closeWin() {
    close();
}

void NSDownloadPackageView::closeEvent(QCloseEvent* event) {
    showSender = nullptr;
    QWidget::closeEvent(event);
    if (delegate) delegate->NSDownloadPackageView_CloseEvent();
}
