#pragma once
#include "media/XSMediaPlayer.h"
#include "platform/IMediaPlayer.h"

#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

class RegularFile;

class QLabel;
class QProgressBar;
class QStackedLayout;

// A window for one video. The stored file (no extension) is shown through a symbolic link
// "WXVideo-<n>.mp4" in the media work folder, removed 2 s after the window closes. Each
// video gets a new window; asking for one closes the window shown before.
class VideoPreView : public QWidget, public XSMediaPlayerDelegate {
    Q_OBJECT
  public:
    static constexpr QSize kFirstSize{480, 270};

    explicit VideoPreView(MediaPlayerFactory players = {}, QWidget* parent = nullptr);
    ~VideoPreView() override;

    // Closes the current window (if any) and returns a new current one.
    static VideoPreView* shareInstance();
    // The current window; null after it closed.
    static VideoPreView* current();
    // Closes and deletes the window made last (at exit, and in tests).
    static void DropInstance();
    // Players of the windows made by shareInstance (tests; empty: the real ones).
    static void SetPlayerFactory(MediaPlayerFactory players);
    // Delay of the link's removal after closing, in milliseconds (tests).
    static void SetDeletionDelay(int milliseconds);

    void showWindow();
    QWidget* window() { return this; }
    void ShowVideoFilePreView(const QString& path);
    void PlayerStatusFailed() override;
    void CloesButtonEvent();

    // The window's frame for a video of natural size `natural` on a screen whose available
    // area is `available`: halved when wider than 1080 or taller than 720, then scaled down
    // to fit (aspect kept), at least 320 x 200, centred in the area. With a window `frame`
    // (title bar, borders) the framed window fits the area. With the frame of the window
    // it is shown for (`over`), it is centred on that window instead, inside the area.
    static QRect WindowGeometry(const QSize& natural, const QRect& available, const QMargins& frame = {},
                                const QRect& over = QRect());

    XSMediaPlayer* playView() const { return playView_; }
    QString DeleteFilePath() const { return deleteFilePath; }
    QLabel* loadingText() const { return LoadingText; }
    QProgressBar* loadAnimation() const { return LoadAnimation; }

  protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void fail(const QString& why);
    void load(const QString& link);
    void onLoaded();
    QRect availableArea() const;

    MediaPlayerFactory players;
    QWidget* View = nullptr;
    QLabel* LoadingText = nullptr;
    QProgressBar* LoadAnimation = nullptr;
    XSMediaPlayer* playView_ = nullptr;
    QString deleteFilePath;
    // The stored video, open while it plays: the player reads it through this descriptor.
    std::shared_ptr<RegularFile> storedVideo;
    bool closed = false;
};
