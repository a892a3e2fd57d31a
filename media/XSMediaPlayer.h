#pragma once
#include "platform/IMediaPlayer.h"

#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QSlider;
class QToolButton;

class XSMediaPlayerDelegate {
  public:
    virtual ~XSMediaPlayerDelegate() = default;
    // The video cannot be played.
    virtual void PlayerStatusFailed() = 0;
};

// A video view with its own control strip (play/pause, position, time, volume) along the
// bottom. The picture keeps its aspect ratio; the view is at least 320 x 200.
class XSMediaPlayer : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kStripHeight = 30;

    // `player` plays the video (its picture widget is taken into this view).
    explicit XSMediaPlayer(std::unique_ptr<IMediaPlayer> player, QWidget* parent = nullptr);
    ~XSMediaPlayer() override;

    void setDelegate(XSMediaPlayerDelegate* d) { delegate = d; }
    // Called once the video is loaded (duration and tracks known).
    void setLoadedHandler(std::function<void()> handler) { onLoaded = std::move(handler); }
    // Loads the file; the controls start playback once it can keep up.
    void setVideoAsset(const QString& path);
    // Pauses and stops listening to the player; a second call changes nothing.
    void del();

    void PlayButtonEvent();
    void videoSlierChangeValue();
    void volumeSlierChangeValue();
    void moviePlayDidEnd();
    // Range of the position slider: 0 .. seconds.
    void customVideoSlider(double seconds);
    // Seconds as "mm:ss" below an hour, "HH:mm:ss" from an hour on (hours past 24 go on);
    // NaN and negative values give "00:00".
    static QString convertTime(double seconds);

    int playState() const { return state; }
    IMediaPlayer* player() const { return media.get(); }
    QToolButton* playButton() const { return playButton_; }
    QSlider* videoSlider() const { return videoSlider_; }
    QSlider* volumeSlider() const { return volumeSlider_; }
    QLabel* timeText() const { return timeText_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void onStatus(IMediaPlayer::Status status);
    void monitoringPlayback();
    void setButtonImage(const char* name);
    void updateVolumeTip();

    std::unique_ptr<IMediaPlayer> media;
    XSMediaPlayerDelegate* delegate = nullptr;
    std::function<void()> onLoaded;
    QToolButton* playButton_ = nullptr;
    QLabel* timeText_ = nullptr;
    QSlider* videoSlider_ = nullptr;
    QSlider* volumeSlider_ = nullptr;
    QTimer playbackTimeObserver;
    QString totalTime;
    QString buttonImage = QStringLiteral("playVideo");
    int state = 2; // 1 playing, 2 at rest, 3 paused
    bool listening = false;
    bool failedReported = false;
};
