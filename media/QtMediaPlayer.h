#pragma once
#include "platform/IMediaPlayer.h"

#include <QObject>
#include <QPointer>

class QAudioOutput;
class QMediaPlayer;
class QVideoWidget;

// IMediaPlayer on QMediaPlayer, QAudioOutput and (for video) QVideoWidget. Bytes are
// played from a temporary file in the media work folder, removed with the source. The
// sound output is attached only when the system has an output device: without one the
// backend's audio thread has nothing to write to and must not be started, so a video
// plays silent.
class QtMediaPlayer final : public QObject, public IMediaPlayer {
    Q_OBJECT
  public:
    explicit QtMediaPlayer(bool withVideo);
    ~QtMediaPlayer() override;

    void setSourceFile(const QString& path) override;
    void setSourceData(const QByteArray& data) override;
    void play() override;
    void pause() override;
    void stop() override;
    void seek(int64_t milliseconds) override;
    int64_t position() const override;
    int64_t duration() const override;
    float volume() const override;
    void setVolume(float volume) override;
    bool hasSoundOutput() const override;
    bool hasVideo() const override;
    QSize videoSize() const override;
    QString error() const override;
    void setStatusHandler(std::function<void(Status)> handler) override;
    QWidget* widget() override;

    static MediaPlayerFactory Factory();
    // Tells whether a sound output device is there (tests; empty: the system's default
    // audio output). Read when a player is made.
    static void SetOutputProbe(std::function<bool()> probe);

  private:
    void report(Status status);
    void dropTemporary();

    QMediaPlayer* player = nullptr; // child
    QAudioOutput* output = nullptr; // child; null without an output device
    QPointer<QVideoWidget> video;   // owned here until reparented
    std::function<void(Status)> onStatus;
    QString temporary;
    QString lastError;
    float silentVolume = 1.0f; // the volume asked for while there is no output
    bool failedOnce = false;
    bool bufferedOnce = false; // Buffered is reported once per source
};
