#pragma once
#include "media/AudPlay.h"
#include "platform/IMediaPlayer.h"

#include <QByteArray>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QSlider;
class QToolButton;

// The one audio preview window. SILK voice files are decoded and played by a voice player of
// the window's own (position counted by the window, no pause, seek or volume); any other
// audio goes as bytes to the media player, AMR with its "#!AMR\n" header.
class AudioPreView : public QWidget {
    Q_OBJECT
  public:
    // `sinks` and `players` make the sound outputs and media players (defaults: the real ones).
    explicit AudioPreView(PcmSinkFactory sinks = {}, MediaPlayerFactory players = {},
                          QWidget* parent = nullptr);
    ~AudioPreView() override;
    static AudioPreView* shareInstance();
    // Tells whether a sound output is there to play on (tests; empty: the system's default
    // audio output). Without one the window says so in place of the controls.
    static void SetOutputProbe(std::function<bool()> probe);

    void showWindow();
    QWidget* window() { return this; }
    // A voice file of either kind, recognised by its first bytes.
    void ShowAudioPreview(const QString& path);
    // A SILK voice file (with or without the leading 0x02 byte).
    void ShowAudFilePreview(const QString& path);
    // Audio bytes (AMR with or without its header, or any other audio).
    void ShowAmrFilePreview(const QByteArray& data);

    void playEvent();
    void StopEvent();
    void volumeSlierChangeValue();
    void videoSlierChangeValue();
    void AudFilePlayUpdate();
    void playProgress();
    void CloesButtonEvent();
    // Seconds as "HH:MM:SS" (hours may have more digits); NaN and negative give 00:00:00.
    static QString stringFromTime(double seconds);

    // State for tests and the screenshots.
    bool isPlaying() const { return !isPlay; }
    double durationSeconds() const { return duration; }
    double currentSeconds() const { return currentTime; }
    bool onSilkRoad() const { return !AudioFile.isEmpty(); }
    IMediaPlayer* platformPlayer() const { return player.get(); }
    AudPlay* voicePlayer() const { return _AudPlay.get(); }
    QByteArray amrData() const { return AudioAmrDta; }
    QWidget* loadingView() const { return View; }
    QWidget* playView() const { return PlayView; }
    QLabel* loadingText() const { return LoadingText; }
    QLabel* beginText() const { return TimerBeginText; }
    QLabel* endText() const { return TimerEndText; }
    QToolButton* playButton() const { return playButton_; }
    QSlider* positionSlider() const { return videoSlider; }
    QSlider* volumeSliderControl() const { return volumeSlider; }
    bool timersRunning() const { return timer.isActive() || AudFilePlayUpdateTimer.isActive(); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void prepare();
    // False, with the text shown, when no sound output is there.
    bool checkOutput();
    void showLoading(const char* key, bool spinning);
    void showControls();
    void setReady();
    void setButtonImage(const char* name);
    void onPlayerStatus(IMediaPlayer::Status status);

    MediaPlayerFactory players;
    QWidget* View = nullptr;
    QLabel* LoadingText = nullptr;
    QProgressBar* LoadAnimation = nullptr;
    QString AudioFile;
    QByteArray AudioAmrDta;
    QWidget* PlayView = nullptr;
    QToolButton* playButton_ = nullptr;
    QToolButton* stopButton = nullptr;
    QLabel* TimerBeginText = nullptr;
    QLabel* TimerEndText = nullptr;
    QSlider* videoSlider = nullptr;  // milliseconds
    QSlider* volumeSlider = nullptr; // 0..100
    QLabel* iamgeVolumeLogo = nullptr;
    QTimer timer;
    QTimer AudFilePlayUpdateTimer;
    bool isPlay = true;
    double duration = 0;
    double currentTime = 0;
    std::unique_ptr<IMediaPlayer> player;
    // A player that failed inside its own notification: released on the next turn of the
    // event loop, or with the window.
    std::unique_ptr<IMediaPlayer> retiredPlayer;
    std::unique_ptr<AudPlay> _AudPlay;
    QString buttonImage = QStringLiteral("Audio_play_bt");
    const char* loadingKey = nullptr;
};
