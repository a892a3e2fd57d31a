#include "media/AudioPreView.h"

#include "media/MediaImages.h"
#include "platform/ProcessLog.h"
#include "platform/StoredFileReader.h"
#include "media/MediaText.h"
#include "media/PreviewWindow.h"
#include "media/QtMediaPlayer.h"
#include "media/QtPcmSink.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>
#include <cmath>

namespace {
const QByteArray kAmrHeader("#!AMR\n");
// Larger audio files are not taken into memory for a preview.
constexpr qint64 kMaxAudioBytes = 256LL * 1024 * 1024;
} // namespace

AudioPreView::AudioPreView(PcmSinkFactory sinks, MediaPlayerFactory p, QWidget* parent)
    : QWidget(parent, PreviewWindow::kFlags), players(p ? std::move(p) : QtMediaPlayer::Factory()),
      _AudPlay(std::make_unique<AudPlay>(std::move(sinks))) {
    setObjectName(QStringLiteral("AudioPreView"));
    auto* layout = new QVBoxLayout(this);

    View = new QWidget(this);
    auto* loading = new QVBoxLayout(View);
    LoadingText = new QLabel(View);
    LoadingText->setObjectName(QStringLiteral("LoadingText"));
    LoadingText->setAlignment(Qt::AlignCenter);
    LoadingText->setWordWrap(true);
    LoadAnimation = new QProgressBar(View);
    LoadAnimation->setRange(0, 0);
    LoadAnimation->setTextVisible(false);
    LoadAnimation->setMaximumHeight(8);
    loading->addStretch(1);
    loading->addWidget(LoadingText);
    loading->addWidget(LoadAnimation);
    loading->addStretch(1);

    PlayView = new QWidget(this);
    auto* controls = new QVBoxLayout(PlayView);
    auto* times = new QHBoxLayout;
    TimerBeginText = new QLabel(QStringLiteral("00:00:00"), PlayView);
    TimerEndText = new QLabel(QStringLiteral("00:00:00"), PlayView);
    TimerEndText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    videoSlider = new QSlider(Qt::Horizontal, PlayView);
    videoSlider->setObjectName(QStringLiteral("videoSlider"));
    videoSlider->setFocusPolicy(Qt::NoFocus);
    videoSlider->setTracking(false);
    times->addWidget(TimerBeginText);
    times->addWidget(videoSlider, 1);
    times->addWidget(TimerEndText);
    auto* buttons = new QHBoxLayout;
    playButton_ = new QToolButton(PlayView);
    playButton_->setObjectName(QStringLiteral("playButton"));
    playButton_->setAutoRaise(true);
    playButton_->setIconSize(QSize(36, 36));
    stopButton = new QToolButton(PlayView);
    stopButton->setObjectName(QStringLiteral("stopButton"));
    stopButton->setAutoRaise(true);
    stopButton->setIconSize(QSize(24, 24));
    stopButton->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    iamgeVolumeLogo = new QLabel(PlayView);
    iamgeVolumeLogo->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(16, 16));
    volumeSlider = new QSlider(Qt::Horizontal, PlayView);
    volumeSlider->setObjectName(QStringLiteral("volumeSlider"));
    volumeSlider->setFocusPolicy(Qt::NoFocus);
    volumeSlider->setRange(0, 100);
    volumeSlider->setValue(100);
    volumeSlider->setFixedWidth(90);
    buttons->addStretch(1);
    buttons->addWidget(playButton_);
    buttons->addWidget(stopButton);
    buttons->addStretch(1);
    buttons->addWidget(iamgeVolumeLogo);
    buttons->addWidget(volumeSlider);
    controls->addLayout(times);
    controls->addLayout(buttons);

    layout->addWidget(View);
    layout->addWidget(PlayView);
    View->hide();
    setButtonImage("Audio_play_bt");
    PreviewWindow::SetTitle(this, "PreviewAudioTitle");
    resize(420, 130);

    connect(playButton_, &QToolButton::clicked, this, [this] { playEvent(); });
    connect(stopButton, &QToolButton::clicked, this, [this] { StopEvent(); });
    connect(volumeSlider, &QSlider::valueChanged, this, [this] { volumeSlierChangeValue(); });
    connect(videoSlider, &QSlider::sliderReleased, this, [this] { videoSlierChangeValue(); });
    timer.setInterval(100);
    AudFilePlayUpdateTimer.setInterval(100);
    connect(&timer, &QTimer::timeout, this, [this] { playProgress(); });
    connect(&AudFilePlayUpdateTimer, &QTimer::timeout, this, [this] { AudFilePlayUpdate(); });
}

AudioPreView::~AudioPreView() {
    timer.stop();
    AudFilePlayUpdateTimer.stop();
    if (player) player->setStatusHandler({});
}

AudioPreView* AudioPreView::shareInstance() {
    static AudioPreView* instance = new AudioPreView;
    return instance;
}

namespace {
std::function<bool()>& outputProbe() {
    static std::function<bool()> probe;
    return probe;
}
} // namespace

void AudioPreView::SetOutputProbe(std::function<bool()> probe) {
    outputProbe() = std::move(probe);
}

bool AudioPreView::checkOutput() {
    const bool there = outputProbe() ? outputProbe()() : QtPcmSink::HasOutputDevice();
    if (there) return true;
    ProcessLog::Write(QStringLiteral("AudioPreView: no sound output is available"));
    showLoading("AudioNoOutput", false);
    return false;
}

void AudioPreView::showWindow() {
    PreviewWindow::ShowInFront(this);
}

void AudioPreView::keyPressEvent(QKeyEvent* event) {
    if (PreviewWindow::IsCloseKey(event)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void AudioPreView::setButtonImage(const char* name) {
    buttonImage = QString::fromLatin1(name);
    playButton_->setIcon(MediaIcon(buttonImage, this));
    playButton_->setProperty("image", buttonImage);
}

void AudioPreView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) playButton_->setIcon(MediaIcon(buttonImage, this));
    if (event->type() == QEvent::LanguageChange) {
        if (loadingKey) LoadingText->setText(MediaText(loadingKey));
        PreviewWindow::Retitle(this);
    }
    QWidget::changeEvent(event);
}

void AudioPreView::showLoading(const char* key, bool spinning) {
    const QSize before = size();
    loadingKey = key;
    View->show();
    PlayView->hide();
    LoadingText->setText(key ? MediaText(key) : QString());
    LoadingText->setVisible(key != nullptr);
    LoadAnimation->setVisible(spinning);
    PreviewWindow::KeepCentre(this, before);
}

void AudioPreView::showControls() {
    const QSize before = size();
    loadingKey = nullptr;
    View->hide();
    PlayView->show();
    PreviewWindow::KeepCentre(this, before);
}

void AudioPreView::setReady() {
    videoSlider->setValue(0);
    TimerBeginText->setText(QStringLiteral("00:00:00"));
    isPlay = true;
    setButtonImage("Audio_play_bt");
    currentTime = 0;
    timer.stop();
    AudFilePlayUpdateTimer.stop();
}

void AudioPreView::prepare() {
    StopEvent();
    if (player) player->setStatusHandler({});
    player.reset();
    AudioAmrDta.clear();
    AudioFile.clear();
}

void AudioPreView::ShowAudioPreview(const QString& path) {
    QFile file;
    QByteArray bytes;
    bool ok = StoredFileReader::Open(path, file);
    if (ok && file.size() > kMaxAudioBytes) {
        ProcessLog::Write(QStringLiteral("AudioPreView: %1 is too large to preview").arg(path));
        prepare();
        showLoading("NotResources", false);
        return;
    }
    if (ok) {
        bytes = file.readAll();
        ok = file.error() == QFileDevice::NoError;
    }
    if (!ok) {
        ProcessLog::Write(QStringLiteral("AudioPreView: %1 cannot be read").arg(path));
        // What played before stops with it: the text must not sit over a sound still playing.
        prepare();
        showLoading("FileIsNoExists", false);
        return;
    }
    if (bytes.left(10).contains("#!SILK_V3")) {
        ShowAudFilePreview(path);
        return;
    }
    // Anything else is taken as AMR, whose header the stored files usually lack.
    if (!bytes.startsWith(kAmrHeader)) bytes.prepend(kAmrHeader);
    ShowAmrFilePreview(bytes);
}

void AudioPreView::ShowAudFilePreview(const QString& path) {
    prepare();
    AudioFile = _AudPlay->SILK_Decoder(path);
    duration = double(_AudPlay->getPlayAllLeng());
    currentTime = 0;
    if (duration <= 0 || !QFileInfo::exists(AudioFile)) {
        ProcessLog::Write(QStringLiteral("AudioPreView: the voice file %1 cannot be decoded").arg(path));
        AudioFile.clear();
        duration = 0;
        showLoading("NotResources", false);
        return;
    }
    if (!checkOutput()) {
        AudioFile.clear();
        duration = 0;
        return;
    }
    showControls();
    videoSlider->setRange(0, int(std::min(duration * 1000.0, double(INT_MAX))));
    videoSlider->setValue(0);
    // The voice road has no seeking and no volume of its own.
    videoSlider->setEnabled(false);
    volumeSlider->setEnabled(false);
    TimerBeginText->setText(QStringLiteral("00:00:00"));
    TimerEndText->setText(stringFromTime(duration));
    isPlay = true;
    setButtonImage("Audio_play_bt");
}

void AudioPreView::ShowAmrFilePreview(const QByteArray& data) {
    prepare();
    AudioAmrDta = data;
    duration = 0;
    currentTime = 0;
    TimerBeginText->setText(QStringLiteral("00:00:00"));
    TimerEndText->setText(QStringLiteral("00:00:00"));
    isPlay = true;
    setButtonImage("Audio_play_bt");
    videoSlider->setEnabled(true);
    volumeSlider->setEnabled(true);
    if (!checkOutput()) return;
    player = players(false);
    if (!player) {
        showLoading("NotResources", false);
        return;
    }
    showLoading(nullptr, true);
    player->setStatusHandler([this](IMediaPlayer::Status s) { onPlayerStatus(s); });
    player->setSourceData(data);
}

void AudioPreView::onPlayerStatus(IMediaPlayer::Status s) {
    if (!player) return;
    switch (s) {
    case IMediaPlayer::Status::Loading:
        break;
    case IMediaPlayer::Status::Loaded:
    case IMediaPlayer::Status::Buffered:
        if (PlayView->isHidden()) {
            duration = double(player->duration()) / 1000.0;
            currentTime = 0;
            videoSlider->setRange(0, int(std::min<int64_t>(player->duration(), INT_MAX)));
            videoSlider->setValue(0);
            {
                const QSignalBlocker block(volumeSlider);
                volumeSlider->setValue(int(std::lround(player->volume() * 100)));
            }
            TimerEndText->setText(stringFromTime(duration));
            showControls();
        }
        break;
    case IMediaPlayer::Status::End:
        player->stop();
        setReady();
        break;
    case IMediaPlayer::Status::Failed: {
        ProcessLog::Write(
            QStringLiteral("AudioPreView: the audio cannot be played: %1").arg(player->error()));
        // Release later: this runs inside the player's own notification.
        player->setStatusHandler({});
        retiredPlayer = std::move(player);
        QTimer::singleShot(0, this, [this] { retiredPlayer.reset(); });
        duration = 0;
        setReady();
        TimerEndText->setText(QStringLiteral("00:00:00"));
        showLoading("NotResources", false);
        break;
    }
    }
}

void AudioPreView::playEvent() {
    if (isPlay) {
        if (player) {
            player->play();
            isPlay = false;
            setButtonImage("Audio_pause_bt");
            if (!timer.isActive()) timer.start();
        } else if (!AudioFile.isEmpty()) {
            if (_AudPlay->APlay(AudioFile) != 1) {
                // The decoded sound is gone from the work folder: say so, do not sit silent.
                AudioFile.clear();
                showLoading("FileIsNoExists", false);
                return;
            }
            isPlay = false;
            setButtonImage("Audio_pause_bt");
            AudFilePlayUpdateTimer.start();
        }
        // Neither (the bytes were refused): nothing to play.
    } else if (player) {
        player->pause();
        timer.stop();
        isPlay = true;
        setButtonImage("Audio_play_bt");
    }
}

void AudioPreView::AudFilePlayUpdate() {
    currentTime += 0.1;
    videoSlider->setValue(int(std::min(currentTime * 1000.0, double(INT_MAX))));
    TimerBeginText->setText(stringFromTime(currentTime));
    if (duration <= currentTime + 0.1 || !_AudPlay->isFeeding()) setReady();
}

void AudioPreView::playProgress() {
    if (!player) return;
    currentTime = double(player->position()) / 1000.0;
    if (!videoSlider->isSliderDown())
        videoSlider->setValue(int(std::min<int64_t>(player->position(), INT_MAX)));
    TimerBeginText->setText(stringFromTime(currentTime));
    if (duration <= currentTime + 0.1) {
        player->stop();
        player->seek(0);
        setReady();
    }
}

void AudioPreView::volumeSlierChangeValue() {
    if (player) player->setVolume(float(volumeSlider->value()) / 100.0f);
}

void AudioPreView::videoSlierChangeValue() {
    if (player) player->seek(videoSlider->value());
}

void AudioPreView::StopEvent() {
    if (player) {
        player->stop();
        player->seek(0);
    } else {
        _AudPlay->Stop();
    }
    setReady();
}

void AudioPreView::CloesButtonEvent() {
    close();
    StopEvent();
    _AudPlay->Stop();
}

void AudioPreView::closeEvent(QCloseEvent* event) {
    StopEvent();
    _AudPlay->Stop();
    QWidget::closeEvent(event);
}

QString AudioPreView::stringFromTime(double t) {
    int s = 0;
    if (std::isfinite(t) && t > 0) s = t >= double(INT_MAX) ? INT_MAX : int(t);
    const int hours = s / 3600, rest = s % 3600, minutes = rest / 60, seconds = rest % 60;
    auto part = [](int v) { return v > 9 ? QString::number(v) : QStringLiteral("0%1").arg(v); };
    return QStringLiteral("%1:%2:%3").arg(part(hours), part(minutes), part(seconds));
}
