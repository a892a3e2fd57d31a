#include "app/pages/NSBackUpView.h"

#include "gui/MainQueue.h"
#include "gui/NSLanguageText.h"
#include "app/pages/AppImage.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

NSBackUpView::NSBackUpView(IDeviceManage& manager, QWidget* parent)
    : QWidget(parent), manager(manager), ProgressText(new QLabel(this)), ExplainText(new QLabel(this)),
      ProgreImageView(new QLabel(this)), BackUpProgress(new QProgressBar(this)),
      ProgreImageViewTimer(new QTimer(this)) {
    auto* column = new QVBoxLayout(this);
    column->addStretch();
    ProgreImageView->setAlignment(Qt::AlignCenter);
    column->addWidget(ProgreImageView);
    QFont titleFont = ProgressText->font();
    titleFont.setPointSize(titleFont.pointSize() + 4);
    ProgressText->setFont(titleFont);
    ProgressText->setAlignment(Qt::AlignCenter);
    ExplainText->setAlignment(Qt::AlignCenter);
    ExplainText->setWordWrap(true);
    column->addWidget(ProgressText);
    BackUpProgress->setFixedWidth(420);
    column->addWidget(BackUpProgress, 0, Qt::AlignHCenter);
    column->addWidget(ExplainText);
    column->addStretch();
    for (int i = 1; i <= FrameCount; ++i)
        imagesGif << AppImage::Pixmap(QStringLiteral("progress_%1").arg(i), QSize(180, 180));
    ProgreImageView->setPixmap(imagesGif.first());
    ProgreImageViewTimer->setInterval(200);
    connect(ProgreImageViewTimer, &QTimer::timeout, this, &NSBackUpView::UpdateProgreImageView);
    BackUpProgress->hide();
    manager.setBackUpdelegate(this);
    setLanguage(NSLanguageText::shareInstance()->Language());
}

NSBackUpView::~NSBackUpView() {
    manager.setBackUpdelegate(nullptr);
}

void NSBackUpView::setLanguage(int) {
    ExplainText->setText(LanguageText("BackUpExplainTitle"));
    ProgressText->setText(BackUpProgress->isVisible() ? LanguageText("TitleAnalysing")
                                                      : LanguageText("TitleBackuping"));
}

bool NSBackUpView::isAnimating() const {
    return ProgreImageViewTimer->isActive();
}

void NSBackUpView::StartBackUp(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) {
    manager.StartBackUp(device);
    ProgressText->setText(LanguageText("TitleBackuping"));
    ExplainText->show();
    BackUpProgress->setRange(0, 100);
    BackUpProgress->setValue(0);
    BackUpProgress->hide();
    pDeviceInfo = device;
    SelectFileTypeData = selection;
    ProgreImageView->show();
    ProgreImageViewTimer->start();
    totalDuration = 0;
}

void NSBackUpView::StartAnalyze(const std::shared_ptr<DeviceInfo>& backup, const QStringList& selection) {
    ProgreImageViewTimer->stop();
    manager.StartAnalyze(backup);
    BackUpProgress->setRange(0, 100);
    BackUpProgress->setValue(0);
    ProgressText->setText(LanguageText("TitleAnalysing"));
    ExplainText->hide();
    pDeviceInfo = backup;
    SelectFileTypeData = selection;
    BackUpProgress->show();
    ProgreImageView->hide();
}

void NSBackUpView::UpdateProgreImageView() {
    if (totalDuration >= imagesGif.size()) totalDuration = 0;
    ProgreImageView->setPixmap(imagesGif[totalDuration]);
    shownFrame = totalDuration + 1;
    ++totalDuration;
}

void NSBackUpView::BackUpFinish(const QString&) {
    MainQueue::Post(this, [this] {
        ProgreImageViewTimer->stop();
        manager.StartAnalyze(pDeviceInfo);
    });
}

void NSBackUpView::Analyze(int percent) {
    MainQueue::Post(this, [this, percent] { BackUpProgress->setValue(qBound(0, percent, 100)); });
}

void NSBackUpView::AnalyzeFinish() {
    MainQueue::Post(this, [this] {
        if (delegate) delegate->BackUpFinishEvent(pDeviceInfo, SelectFileTypeData);
    });
}

void NSBackUpView::BackUpLoser() {
    MainQueue::Post(this, [this] {
        ProgreImageViewTimer->stop();
        if (delegate) delegate->BackUpFailure();
    });
}
