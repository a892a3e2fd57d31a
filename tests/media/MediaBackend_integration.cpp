// The only tests of media/QtMediaPlayer: the real media backend and sound output with the
// committed fixtures. Each test probes first and skips, saying why, when this machine
// lacks a backend, a decoder or an output.
#include "media/AudPlay.h"
#include "media/MediaBackend.h"
#include "media/MediaWorkFolder.h"
#include "media/QtMediaPlayer.h"
#include "media/QtPcmSink.h"
#include "media/VideoPreView.h"
#include "media/XSMediaPlayer.h"
#include "tests/kit/QtTestHome.h"
#include "tests/kit/ScratchFolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QMediaPlayer>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

QString Fixture(const char* name) {
    return QStringLiteral(TEST_DATA_DIR "/media/fixtures/") + QString::fromLatin1(name);
}

struct Loaded {
    IMediaPlayer::Status status = IMediaPlayer::Status::Loading;
    QString error;
    int64_t durationMs = 0;
    bool hasVideo = false;
    QSize size;
};

// Loads a file (or bytes) and waits for the verdict.
Loaded Load(const QString& file, const QByteArray& bytes = {}) {
    QtMediaPlayer player(true);
    Loaded out;
    bool done = false;
    player.setStatusHandler([&](IMediaPlayer::Status s) {
        if (s == IMediaPlayer::Status::Loaded || s == IMediaPlayer::Status::Buffered ||
            s == IMediaPlayer::Status::Failed) {
            if (!done) out.status = s;
            done = true;
        }
    });
    if (file.isEmpty())
        player.setSourceData(bytes);
    else
        player.setSourceFile(file);
    QElapsedTimer t;
    t.start();
    while (!done && t.elapsed() < 10000)
        QTest::qWait(20);
    // The picture's size arrives with the first frames on some backends.
    for (int i = 0; i < 50 && out.status != IMediaPlayer::Status::Failed && player.hasVideo() &&
                    !player.videoSize().isValid();
         ++i)
        QTest::qWait(20);
    out.error = player.error();
    out.durationMs = player.duration();
    out.hasVideo = player.hasVideo();
    out.size = player.videoSize();
    return out;
}

// Skips when the backend cannot load even the plainest fixture (the MP3).
#define REQUIRE_BACKEND()                                                                                    \
    do {                                                                                                     \
        static const Loaded probe = Load(Fixture("tone-1s.mp3"));                                            \
        if (probe.status == IMediaPlayer::Status::Failed || probe.status == IMediaPlayer::Status::Loading)   \
            GTEST_SKIP() << "no usable media backend here (" << qgetenv("QT_MEDIA_BACKEND").toStdString()    \
                         << "): " << probe.error.toStdString();                                              \
    } while (0)

} // namespace

TEST(MediaBackend, Mp3LoadsWithItsDuration) {
    REQUIRE_BACKEND();
    const Loaded l = Load(Fixture("tone-1s.mp3"));
    ASSERT_NE(IMediaPlayer::Status::Failed, l.status) << l.error.toStdString();
    EXPECT_NEAR(1000, l.durationMs, 80); // the file's own padding included
    EXPECT_FALSE(l.hasVideo);
}

TEST(MediaBackend, HeaderlessAmrPlaysWithItsHeaderAdded) {
    REQUIRE_BACKEND();
    QFile f(Fixture("voice-1s.amr"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const Loaded l = Load(QString(), QByteArray("#!AMR\n") + f.readAll());
    if (l.status == IMediaPlayer::Status::Failed)
        GTEST_SKIP() << "the backend has no AMR-NB decoder: " << l.error.toStdString();
    EXPECT_NEAR(1000, l.durationMs, 50);
}

TEST(MediaBackend, Mp4HasItsPictureAtItsSize) {
    REQUIRE_BACKEND();
    const Loaded l = Load(Fixture("clip-1s.mp4"));
    if (l.status == IMediaPlayer::Status::Failed)
        GTEST_SKIP() << "the backend has no H.264 decoder: " << l.error.toStdString();
    EXPECT_NEAR(1000, l.durationMs, 50);
    EXPECT_TRUE(l.hasVideo);
    EXPECT_EQ(QSize(320, 180), l.size);
}

// The video view enables its play button at Buffered: that must come without play() (the
// FFmpeg backend only reports BufferedMedia once playing, which left the button disabled).
TEST(MediaBackend, LoadedVideoIsReadyForTheControlsWithoutPlaying) {
    REQUIRE_BACKEND();
    QtMediaPlayer player(true);
    bool buffered = false, failed = false;
    player.setStatusHandler([&](IMediaPlayer::Status s) {
        buffered = buffered || s == IMediaPlayer::Status::Buffered;
        failed = failed || s == IMediaPlayer::Status::Failed;
    });
    player.setSourceFile(Fixture("clip-1s.mp4"));
    QElapsedTimer t;
    t.start();
    while (!buffered && !failed && t.elapsed() < 10000)
        QTest::qWait(20);
    if (failed) GTEST_SKIP() << "the backend has no H.264 decoder: " << player.error().toStdString();
    EXPECT_TRUE(buffered);
    EXPECT_EQ(0, player.position());
}

TEST(MediaBackend, TextFileIsRefused) {
    REQUIRE_BACKEND();
    kit::ScratchFolder dir("mediatext");
    const QString path = QString::fromStdString((dir.path() / "notes.mp4").string());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("just some words, not a video\n");
    f.close();
    EXPECT_EQ(IMediaPlayer::Status::Failed, Load(path).status);
}

TEST(MediaBackend, SilkVoicePlaysToItsEndOnTheSoundDevice) {
    if (!QtPcmSink::HasOutputDevice()) GTEST_SKIP() << "no audio output device on this machine";
    kit::ScratchFolder work("mediawork");
    MediaWorkFolder::SetProvider([&] { return QString::fromStdString(work.path().string()); });
    AudPlay aud;
    const QString pcm =
        aud.SILK_Decoder(QStringLiteral(TEST_DATA_DIR "/media/silk/fixtures/speech_24000.silk"));
    const double seconds = aud.getPlayAllLeng();
    ASSERT_GT(seconds, 0.5);
    QElapsedTimer t;
    t.start();
    ASSERT_EQ(1, aud.APlay(pcm));
    while (aud.isFeeding() && t.elapsed() < qint64(seconds * 1000) + 5000)
        QTest::qWait(10);
    EXPECT_FALSE(aud.isFeeding());
    // Paced by the device: not much faster than real time.
    EXPECT_GT(t.elapsed(), qint64(seconds * 1000 * 0.8));
    MediaWorkFolder::SetProvider({});
}

// Without a sound output device the video plays silent to its end: the player attaches no
// sound output, so the backend starts no audio thread that would have nowhere to write
// (that thread brought the whole application down). The clip has an AAC track.
TEST(MediaBackend, WithoutASoundOutputAVideoWithSoundPlaysSilentToItsEnd) {
    REQUIRE_BACKEND();
    QtMediaPlayer::SetOutputProbe([] { return false; });
    QtMediaPlayer player(true);
    QtMediaPlayer::SetOutputProbe({});
    EXPECT_FALSE(player.hasSoundOutput());
    player.setVolume(0.25f);
    EXPECT_FLOAT_EQ(0.25f, player.volume());
    bool buffered = false, ended = false, failed = false;
    player.setStatusHandler([&](IMediaPlayer::Status s) {
        buffered = buffered || s == IMediaPlayer::Status::Buffered;
        ended = ended || s == IMediaPlayer::Status::End;
        failed = failed || s == IMediaPlayer::Status::Failed;
    });
    player.setSourceFile(Fixture("clip-1s.mp4"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return buffered || failed; }, 10000));
    if (failed) GTEST_SKIP() << "the backend has no H.264 decoder: " << player.error().toStdString();
    player.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended || failed; }, 15000));
    EXPECT_FALSE(failed) << player.error().toStdString();
    EXPECT_TRUE(ended);
}

// The video window as the user drives it on a machine without a sound device: Play in the
// window plays the video (with its sound track) silent to its end, and the application
// goes on.
TEST(MediaBackend, PlayInTheVideoWindowWithoutASoundOutputPlaysToTheEnd) {
    REQUIRE_BACKEND();
    kit::ScratchFolder backup("videowindow"), work("videowork");
    MediaWorkFolder::SetProvider([&] { return QString::fromStdString(work.path().string()); });
    QtMediaPlayer::SetOutputProbe([] { return false; });
    const std::filesystem::path stored = backup.path() / "ab" / "abcdef";
    std::filesystem::create_directories(stored.parent_path());
    std::filesystem::copy_file(Fixture("clip-1s.mp4").toStdString(), stored);
    {
        VideoPreView window; // the real players
        window.showWindow();
        window.ShowVideoFilePreView(QString::fromStdString(stored.string()));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return window.loadingText()->isVisible() ||
                       (window.playView() && window.playView()->playButton()->isEnabled());
            },
            10000));
        if (window.loadingText()->isVisible()) GTEST_SKIP() << "the backend cannot play the clip here";
        XSMediaPlayer* view = window.playView();
        EXPECT_FALSE(view->player()->hasSoundOutput());
        EXPECT_FALSE(view->volumeSlider()->isEnabled());
        QTest::mouseClick(view->playButton(), Qt::LeftButton);
        EXPECT_EQ(1, view->playState());
        // Back at rest once it played to its end.
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->playState() == 2; }, 15000));
        EXPECT_FALSE(window.loadingText()->isVisible());
        window.CloesButtonEvent();
    }
    QtMediaPlayer::SetOutputProbe({});
    MediaWorkFolder::SetProvider({});
}

// The media libraries' own leaks (lsan-media.supp), for this program only.
extern "C" const char* __lsan_default_options() {
    return "suppressions=" LSAN_SUPPRESSIONS;
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ChooseMediaBackend();
    kit::QtTestHome home;
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("DirizaTest"));
    QApplication::setApplicationName(QStringLiteral("DirizaTest"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
