// The video player view against a scripted player.
#include "media/XSMediaPlayer.h"
#include "gui/NSLanguageText.h"
#include "tests/kit/FakeMediaPlayer.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QLabel>
#include <QSettings>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

using Status = IMediaPlayer::Status;

namespace {
struct CountingDelegate : XSMediaPlayerDelegate {
    int failures = 0;
    void PlayerStatusFailed() override { ++failures; }
};

struct View {
    kit::FakeMediaPlayer* fake = nullptr;
    std::unique_ptr<XSMediaPlayer> view;
    CountingDelegate delegate;
    View() {
        auto p = std::make_unique<kit::FakeMediaPlayer>(true);
        fake = p.get();
        view = std::make_unique<XSMediaPlayer>(std::move(p));
        view->setDelegate(&delegate);
        view->resize(480, 270);
        view->setVideoAsset(QStringLiteral("/cache/WXVideo-1.mp4"));
    }
    QString image() const { return view->playButton()->property("image").toString(); }
};
} // namespace

TEST(XSMediaPlayer, ConvertTimeIsElapsedTimeInAnyZone) {
    setenv("TZ", "Asia/Kolkata", 1); // half-hour offset: a zone-dependent formatter would show it
    tzset();
    const struct {
        double seconds;
        const char* text;
    } cases[] = {{0, "00:00"},
                 {75, "01:15"},
                 {3599, "59:59"},
                 {3600, "01:00:00"},
                 {3725, "01:02:05"},
                 {90000, "25:00:00"},
                 {75.4, "01:15"},
                 {-1, "00:00"},
                 {std::nan(""), "00:00"},
                 {std::numeric_limits<double>::infinity(), "00:00"}};
    for (const auto& c : cases)
        EXPECT_EQ(QString::fromLatin1(c.text), XSMediaPlayer::convertTime(c.seconds)) << c.seconds;
    unsetenv("TZ");
    tzset();
}

TEST(XSMediaPlayer, ControlsWaitForBufferingThenPlayPauseAndTime) {
    View v;
    EXPECT_EQ(QStringLiteral("/cache/WXVideo-1.mp4"), v.fake->sourceFile);
    EXPECT_FALSE(v.view->playButton()->isEnabled());
    EXPECT_FALSE(v.view->videoSlider()->isEnabled());
    EXPECT_EQ(2, v.view->playState());
    v.fake->durationMs = 75400;
    v.fake->emitStatus(Status::Loaded);
    EXPECT_EQ(QStringLiteral("00:00/01:15"), v.view->timeText()->text());
    EXPECT_EQ(75, v.view->videoSlider()->maximum());
    EXPECT_FALSE(v.view->playButton()->isEnabled());
    v.fake->emitStatus(Status::Buffered);
    EXPECT_TRUE(v.view->playButton()->isEnabled());
    EXPECT_TRUE(v.view->videoSlider()->isEnabled());
    v.view->PlayButtonEvent();
    EXPECT_EQ(1, v.view->playState());
    EXPECT_EQ(QStringLiteral("pauseVideo"), v.image());
    EXPECT_TRUE(v.fake->playing);
    v.view->PlayButtonEvent();
    EXPECT_EQ(3, v.view->playState());
    EXPECT_EQ(QStringLiteral("playVideo"), v.image());
    EXPECT_FALSE(v.fake->playing);
    // A seek while paused ends in playing at the chosen second.
    v.view->videoSlider()->setValue(9);
    v.view->videoSlierChangeValue();
    EXPECT_EQ(1, v.view->playState());
    EXPECT_TRUE(v.fake->playing);
    EXPECT_EQ(9000, v.fake->positionMs);
    v.fake->positionMs = 9900;
    // The next tick of the one-second timer shows the position.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return v.view->timeText()->text() == QStringLiteral("00:09/01:15"); }, 5000))
        << v.view->timeText()->text().toStdString();
    v.view->volumeSlider()->setValue(40);
    EXPECT_FLOAT_EQ(0.4f, v.fake->vol);
}

TEST(XSMediaPlayer, TheEndResetsSliderButtonAndState) {
    View v;
    v.fake->durationMs = 5000;
    v.fake->emitStatus(Status::Loaded);
    v.fake->emitStatus(Status::Buffered);
    v.view->PlayButtonEvent();
    v.view->videoSlider()->setValue(4);
    v.fake->emitStatus(Status::End);
    EXPECT_EQ(0, v.view->videoSlider()->value());
    EXPECT_EQ(2, v.view->playState());
    EXPECT_EQ(QStringLiteral("playVideo"), v.image());
    EXPECT_EQ(0, v.fake->positionMs);
    v.view->PlayButtonEvent();
    EXPECT_TRUE(v.fake->playing);
}

TEST(XSMediaPlayer, AFailureHidesTheControlsAndTellsTheDelegateOnce) {
    View v;
    v.view->show();
    v.fake->emitStatus(Status::Failed);
    v.fake->emitStatus(Status::Failed);
    EXPECT_EQ(1, v.delegate.failures);
    EXPECT_TRUE(v.view->playButton()->isHidden());
    EXPECT_TRUE(v.view->videoSlider()->isHidden());
    EXPECT_TRUE(v.view->timeText()->isHidden());
}

TEST(XSMediaPlayer, DelTwiceAndBeforeReadyAndASmallVideoKeepsTheMinimumView) {
    View v;
    v.view->del();
    v.view->del();
    EXPECT_FALSE(v.fake->listening());
    v.fake->emitStatus(Status::Failed); // nobody listens any more
    EXPECT_EQ(0, v.delegate.failures);
    v.view->resize(100, 60);
    EXPECT_GE(v.view->width(), 320);
    EXPECT_GE(v.view->height(), 200);
}

// Without a sound output the picture plays silent: the volume has nothing to act on and
// says why; play and pause work as ever.
TEST(XSMediaPlayer, WithoutASoundOutputTheVolumeIsOffAndPlayingGoesOn) {
    QSettings().setValue("AppLanguage", "en");
    for (const bool sound : {true, false}) {
        SCOPED_TRACE(sound);
        auto p = std::make_unique<kit::FakeMediaPlayer>(true);
        p->sound = sound;
        kit::FakeMediaPlayer* fake = p.get();
        XSMediaPlayer view(std::move(p));
        view.setVideoAsset(QStringLiteral("/cache/WXVideo-1.mp4"));
        EXPECT_EQ(sound, view.volumeSlider()->isEnabled());
        EXPECT_EQ(sound ? QString() : LanguageText("AudioNoOutput"), view.volumeSlider()->toolTip());
        fake->durationMs = 1000;
        fake->emitStatus(Status::Loaded);
        fake->emitStatus(Status::Buffered);
        view.PlayButtonEvent();
        EXPECT_TRUE(fake->playing);
        fake->emitStatus(Status::End);
        EXPECT_EQ(2, view.playState());
    }
    EXPECT_FALSE(LanguageText("AudioNoOutput").isEmpty());
}

KIT_QT_TEST_MAIN(QApplication)
