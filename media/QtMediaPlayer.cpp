#include "media/QtMediaPlayer.h"

#include "platform/ProcessLog.h"
#include "media/MediaWorkFolder.h"
#include "media/QtPcmSink.h"

#include <QAudioOutput>
#include <QFile>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QUrl>
#include <QVideoSink>
#include <QVideoWidget>

namespace {
std::function<bool()>& outputProbe() {
    static std::function<bool()> probe;
    return probe;
}
bool HasOutputDevice() {
    return outputProbe() ? outputProbe()() : QtPcmSink::HasOutputDevice();
}
} // namespace

void QtMediaPlayer::SetOutputProbe(std::function<bool()> probe) {
    outputProbe() = std::move(probe);
}

QtMediaPlayer::QtMediaPlayer(bool withVideo) {
    player = new QMediaPlayer(this);
    if (HasOutputDevice()) {
        output = new QAudioOutput(this);
        player->setAudioOutput(output);
    } else {
        ProcessLog::Write(QStringLiteral("QtMediaPlayer: no sound output device, the sound is not played"));
    }
    if (withVideo) {
        video = new QVideoWidget;
        video->setAspectRatioMode(Qt::KeepAspectRatio);
        player->setVideoOutput(video.data());
    }
    connect(player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus s) {
        switch (s) {
        case QMediaPlayer::LoadingMedia:
            report(Status::Loading);
            break;
        case QMediaPlayer::LoadedMedia:
            report(Status::Loaded);
            // Sources here are always local files, which keep up once loaded. Some backends
            // (FFmpeg) only report BufferedMedia after play(), so the controls that wait for
            // it would never be enabled.
            report(Status::Buffered);
            break;
        case QMediaPlayer::BufferedMedia:
            report(Status::Buffered);
            break;
        case QMediaPlayer::EndOfMedia:
            report(Status::End);
            break;
        case QMediaPlayer::InvalidMedia:
            if (lastError.isEmpty()) lastError = QStringLiteral("invalid media");
            report(Status::Failed);
            break;
        default:
            break;
        }
    });
    connect(player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error e, const QString& text) {
        if (e == QMediaPlayer::NoError) return;
        lastError = text.isEmpty() ? QStringLiteral("media player error %1").arg(int(e)) : text;
        report(Status::Failed);
    });
}

QtMediaPlayer::~QtMediaPlayer() {
    player->stop();
    player->setSource(QUrl());
    if (video && !video->parent()) delete video.data();
    dropTemporary();
}

MediaPlayerFactory QtMediaPlayer::Factory() {
    return [](bool withVideo) { return std::unique_ptr<IMediaPlayer>(new QtMediaPlayer(withVideo)); };
}

void QtMediaPlayer::report(Status status) {
    if (status == Status::Failed) {
        if (failedOnce) return;
        failedOnce = true;
    }
    if (status == Status::Buffered) {
        if (bufferedOnce) return;
        bufferedOnce = true;
    }
    if (onStatus) onStatus(status);
}

void QtMediaPlayer::dropTemporary() {
    if (!temporary.isEmpty()) QFile::remove(temporary);
    temporary.clear();
}

void QtMediaPlayer::setSourceFile(const QString& path) {
    failedOnce = false;
    bufferedOnce = false;
    lastError.clear();
    player->setSource(QUrl::fromLocalFile(path));
}

void QtMediaPlayer::setSourceData(const QByteArray& data) {
    player->setSource(QUrl());
    dropTemporary();
    failedOnce = false;
    bufferedOnce = false;
    lastError.clear();
    const QString path = MediaWorkFolder::UniquePath(QStringLiteral("audio-"), QStringLiteral(".bin"));
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        file.write(data) != data.size() || !file.flush()) {
        lastError = QStringLiteral("cannot write the temporary media file %1").arg(path);
        file.remove();
        report(Status::Failed);
        return;
    }
    file.close();
    temporary = path;
    player->setSource(QUrl::fromLocalFile(path));
}

void QtMediaPlayer::play() {
    player->play();
}
void QtMediaPlayer::pause() {
    player->pause();
}
void QtMediaPlayer::stop() {
    player->stop();
}
void QtMediaPlayer::seek(int64_t ms) {
    player->setPosition(ms);
}
int64_t QtMediaPlayer::position() const {
    return player->position();
}
int64_t QtMediaPlayer::duration() const {
    return player->duration();
}
float QtMediaPlayer::volume() const {
    return output ? output->volume() : silentVolume;
}
void QtMediaPlayer::setVolume(float v) {
    if (output)
        output->setVolume(v);
    else
        silentVolume = v;
}
bool QtMediaPlayer::hasSoundOutput() const {
    return output != nullptr;
}
bool QtMediaPlayer::hasVideo() const {
    return player->hasVideo();
}

QSize QtMediaPlayer::videoSize() const {
    const QVariant resolution = player->metaData().value(QMediaMetaData::Resolution);
    if (resolution.isValid() && resolution.toSize().isValid() && !resolution.toSize().isEmpty())
        return resolution.toSize();
    const auto tracks = player->videoTracks();
    const int active = player->activeVideoTrack();
    if (active >= 0 && active < tracks.size()) {
        const QSize s = tracks[active].value(QMediaMetaData::Resolution).toSize();
        if (s.isValid() && !s.isEmpty()) return s;
    }
    if (video && video->videoSink()) {
        const QSize s = video->videoSink()->videoSize();
        if (s.isValid() && !s.isEmpty()) return s;
    }
    return {};
}

QString QtMediaPlayer::error() const {
    return lastError;
}

void QtMediaPlayer::setStatusHandler(std::function<void(Status)> handler) {
    onStatus = std::move(handler);
}

QWidget* QtMediaPlayer::widget() {
    return video.data();
}
