#pragma once
#include "platform/IMediaPlayer.h"

#include <QByteArray>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

namespace kit {

// A scripted media player: the test moves it through its statuses with emit(); the calls it
// received are recorded.
class FakeMediaPlayer final : public IMediaPlayer {
  public:
    explicit FakeMediaPlayer(bool withVideo);
    ~FakeMediaPlayer() override;

    void setSourceFile(const QString& path) override;
    void setSourceData(const QByteArray& data) override;
    void play() override;
    void pause() override;
    void stop() override;
    void seek(int64_t ms) override;
    int64_t position() const override { return positionMs; }
    int64_t duration() const override { return durationMs; }
    float volume() const override { return vol; }
    void setVolume(float v) override { vol = v; }
    bool hasSoundOutput() const override { return sound; }
    bool hasVideo() const override { return video; }
    QSize videoSize() const override { return size; }
    QString error() const override { return errorText; }
    void setStatusHandler(std::function<void(Status)> handler) override { onStatus = std::move(handler); }
    QWidget* widget() override { return picture.data(); }

    // Reports a status as the real player would.
    void emitStatus(Status s) {
        if (onStatus) onStatus(s);
    }
    bool listening() const { return bool(onStatus); }

    // Script.
    int64_t durationMs = 0;
    int64_t positionMs = 0;
    float vol = 1.0f;
    bool video = false;
    bool sound = true; // a sound output is there
    QSize size;
    QString errorText;
    // Record.
    QString sourceFile;
    QByteArray sourceData;
    QStringList calls; // "play", "pause", "stop", "seek:<ms>"
    bool playing = false;

  private:
    std::function<void(Status)> onStatus;
    QPointer<QWidget> picture;
};

// A factory of fake players that remembers each one it made (alive while the owner keeps it).
struct FakeMediaPlayers {
    std::vector<FakeMediaPlayer*> made; // pointers; the last one is the newest
    MediaPlayerFactory Factory();
    FakeMediaPlayer* last() const { return made.empty() ? nullptr : made.back(); }
};

} // namespace kit
