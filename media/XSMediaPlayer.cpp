#include "media/XSMediaPlayer.h"

#include "media/MediaImages.h"
#include "media/MediaText.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

XSMediaPlayer::XSMediaPlayer(std::unique_ptr<IMediaPlayer> player, QWidget* parent)
    : QWidget(parent), media(std::move(player)) {
    setObjectName(QStringLiteral("XSMediaPlayer"));
    setMinimumSize(320, 200);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QWidget* picture = media ? media->widget() : nullptr;
    if (picture) {
        picture->setParent(this);
        picture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        layout->addWidget(picture, 1);
    } else {
        layout->addStretch(1);
    }
    auto* strip = new QWidget(this);
    strip->setFixedHeight(kStripHeight);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(5, 0, 10, 0);
    row->setSpacing(6);
    playButton_ = new QToolButton(strip);
    playButton_->setObjectName(QStringLiteral("playButton"));
    playButton_->setAutoRaise(true);
    playButton_->setFixedSize(20, 20);
    playButton_->setIconSize(QSize(20, 20));
    playButton_->setFocusPolicy(Qt::NoFocus);
    // The light icon stays visible under the pointer: the style's own raised panel is light
    // too and hid it while hovered.
    playButton_->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"
                                              "QToolButton:hover { background: rgba(0, 0, 0, 60);"
                                              " border-radius: 10px; }"));
    playButton_->setEnabled(false);
    videoSlider_ = new QSlider(Qt::Horizontal, strip);
    videoSlider_->setObjectName(QStringLiteral("videoSlider"));
    videoSlider_->setFocusPolicy(Qt::NoFocus);
    videoSlider_->setTracking(false);
    videoSlider_->setEnabled(false);
    timeText_ = new QLabel(QStringLiteral("00:00/00:00"), strip);
    timeText_->setAlignment(Qt::AlignCenter);
    timeText_->setMinimumWidth(100);
    QPalette white = timeText_->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    timeText_->setPalette(white);
    volumeSlider_ = new QSlider(Qt::Horizontal, strip);
    volumeSlider_->setObjectName(QStringLiteral("volumeSlider"));
    volumeSlider_->setFocusPolicy(Qt::NoFocus);
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setFixedWidth(50);
    volumeSlider_->setValue(media ? int(std::lround(media->volume() * 100)) : 100);
    // Without a sound output the picture plays silent: the volume has nothing to act on.
    volumeSlider_->setEnabled(!media || media->hasSoundOutput());
    updateVolumeTip();
    row->addWidget(playButton_);
    row->addWidget(videoSlider_, 1);
    row->addWidget(timeText_);
    row->addWidget(volumeSlider_);
    layout->addWidget(strip);
    setButtonImage("playVideo");

    connect(playButton_, &QToolButton::clicked, this, [this] { PlayButtonEvent(); });
    connect(videoSlider_, &QSlider::sliderReleased, this, [this] { videoSlierChangeValue(); });
    connect(volumeSlider_, &QSlider::valueChanged, this, [this] { volumeSlierChangeValue(); });
    playbackTimeObserver.setInterval(1000);
    connect(&playbackTimeObserver, &QTimer::timeout, this, [this] { monitoringPlayback(); });
}

XSMediaPlayer::~XSMediaPlayer() {
    del();
}

void XSMediaPlayer::setButtonImage(const char* name) {
    buttonImage = QString::fromLatin1(name);
    playButton_->setIcon(MediaIcon(buttonImage, this));
    playButton_->setProperty("image", buttonImage);
}

void XSMediaPlayer::updateVolumeTip() {
    volumeSlider_->setToolTip(volumeSlider_->isEnabled() ? QString() : MediaText("AudioNoOutput"));
}

void XSMediaPlayer::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) playButton_->setIcon(MediaIcon(buttonImage, this));
    if (event->type() == QEvent::LanguageChange) updateVolumeTip();
    QWidget::changeEvent(event);
}

void XSMediaPlayer::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::darkGray, 1.0));
    p.setBrush(Qt::darkGray);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 1.0, 1.0);
}

void XSMediaPlayer::setVideoAsset(const QString& path) {
    if (!media) return;
    media->setStatusHandler([this](IMediaPlayer::Status s) { onStatus(s); });
    listening = true;
    failedReported = false;
    setButtonImage("playVideo");
    playButton_->show();
    state = 2;
    media->setSourceFile(path);
}

void XSMediaPlayer::onStatus(IMediaPlayer::Status s) {
    if (!listening) return;
    switch (s) {
    case IMediaPlayer::Status::Loading:
        break;
    case IMediaPlayer::Status::Loaded: {
        const int64_t ms = media->duration();
        if (ms > 0) {
            customVideoSlider(double(ms) / 1000.0);
            totalTime = convertTime(double(ms / 1000));
            timeText_->setText(QStringLiteral("00:00/%1").arg(totalTime));
            playbackTimeObserver.start();
        }
        if (onLoaded) onLoaded();
        break;
    }
    case IMediaPlayer::Status::Buffered:
        playButton_->setEnabled(true);
        videoSlider_->setEnabled(true);
        break;
    case IMediaPlayer::Status::End:
        moviePlayDidEnd();
        break;
    case IMediaPlayer::Status::Failed:
        playButton_->hide();
        timeText_->hide();
        videoSlider_->hide();
        if (!failedReported) {
            failedReported = true;
            if (delegate) delegate->PlayerStatusFailed();
        }
        break;
    }
}

void XSMediaPlayer::customVideoSlider(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    videoSlider_->setRange(0, int(std::min(seconds, 2.0e9)));
}

void XSMediaPlayer::monitoringPlayback() {
    if (!media) return;
    const int64_t t = media->position() / 1000;
    if (!videoSlider_->isSliderDown()) videoSlider_->setValue(int(t));
    timeText_->setText(QStringLiteral("%1/%2").arg(convertTime(double(t)), totalTime));
}

void XSMediaPlayer::PlayButtonEvent() {
    if (!media) return;
    if (state == 2 || state == 3) {
        media->play();
        setButtonImage("pauseVideo");
        state = 1;
    } else {
        media->pause();
        setButtonImage("playVideo");
        state = 3;
    }
}

void XSMediaPlayer::videoSlierChangeValue() {
    if (!media) return;
    media->seek(int64_t(videoSlider_->value()) * 1000);
    media->play();
    setButtonImage("pauseVideo");
    state = 1;
}

void XSMediaPlayer::volumeSlierChangeValue() {
    if (media) media->setVolume(float(volumeSlider_->value()) / 100.0f);
}

void XSMediaPlayer::moviePlayDidEnd() {
    if (!media) return;
    media->seek(0);
    media->pause();
    videoSlider_->setValue(0);
    playButton_->show();
    setButtonImage("playVideo");
    state = 2;
}

void XSMediaPlayer::del() {
    if (media) media->pause();
    if (listening && media) media->setStatusHandler({});
    listening = false;
    playbackTimeObserver.stop();
}

QString XSMediaPlayer::convertTime(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) return QStringLiteral("00:00");
    const long long s = seconds >= 9.0e15 ? 9000000000000000LL : (long long)seconds;
    const long long h = s / 3600, m = (s % 3600) / 60, sec = s % 60;
    auto two = [](long long v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    if (h >= 1) return QStringLiteral("%1:%2:%3").arg(two(h), two(m), two(sec));
    return QStringLiteral("%1:%2").arg(two(m), two(sec));
}
