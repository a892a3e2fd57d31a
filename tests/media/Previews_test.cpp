// The photo, text, audio and video preview windows, offscreen, with scripted players.
#include "media/AudioPreView.h"
#include "gui/NSLanguageText.h"
#include "platform/ProcessLog.h"
#include "media/MediaWorkFolder.h"
#include "media/PhotoPreView.h"
#include "media/PreviewWindow.h"
#include "media/TxtPreView.h"
#include "media/VideoPreView.h"
#include "platform/ImageFileReader.h"
#include "tests/kit/FakeMediaPlayer.h"
#include "tests/kit/FakePcmSink.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/PipeWatchdog.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <filesystem>

namespace fs = std::filesystem;
using Status = IMediaPlayer::Status;

namespace {

const QString kNotResources = QStringLiteral("This file cannot be previewed.");
const QString kNoFile = QStringLiteral("The file does not exist or cannot be read.");

QString Q(const fs::path& p) {
    return QString::fromStdString(p.string());
}

void Write(const fs::path& p, const QByteArray& bytes) {
    QFile f(Q(p));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Jpeg(const QImage& image) {
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    image.save(&b, "JPEG", 90);
    return out;
}

// A JPEG with an EXIF orientation (6: turned a quarter clockwise).
QByteArray JpegWithOrientation(const QImage& image, uint16_t orientation) {
    const QByteArray plain = Jpeg(image);
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    tiff += QByteArray("\x01\x00", 2);                         // one entry
    tiff += QByteArray("\x12\x01\x03\x00\x01\x00\x00\x00", 8); // 0x0112 SHORT x1
    tiff += char(orientation & 0xFF);
    tiff += char(orientation >> 8);
    tiff += QByteArray("\0\0\0\0\0\0", 6); // pad, no next IFD
    const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
    const int len = int(exif.size()) + 2;
    QByteArray app1("\xFF\xE1", 2);
    app1 += char(len >> 8);
    app1 += char(len & 0xFF);
    app1 += exif;
    return plain.left(2) + app1 + plain.mid(2);
}

// A PNG whose header declares 100000 x 100000 pixels.
QByteArray HugePng() {
    QByteArray png;
    QBuffer b(&png);
    b.open(QIODevice::WriteOnly);
    QImage(4, 4, QImage::Format_RGB32).save(&b, "PNG");
    // IHDR width and height at offsets 16 and 20 (the CRC no longer matches: also damage).
    for (int off : {16, 20}) {
        png[off] = 0;
        png[off + 1] = char(0x01);
        png[off + 2] = char(0x86);
        png[off + 3] = char(0xA0);
    }
    return png;
}

class Previews : public ::testing::Test {
  protected:
    void SetUp() override {
        MediaWorkFolder::SetProvider([this] { return Q(work.path()); });
        backup = root.path() / "backup";
        fs::create_directories(backup);
        ProcessLog::SetSink([this](const QString& l) { log << l; });
    }
    void TearDown() override {
        ProcessLog::SetSink({});
        MediaWorkFolder::SetProvider({});
    }
    size_t LinksInWork() const {
        size_t n = 0;
        for (auto& e : fs::recursive_directory_iterator(work.path()))
            n += e.is_symlink() || e.is_regular_file();
        return n;
    }
    kit::ScratchFolder root{"previews"};
    kit::ScratchFolder work{"previewwork"};
    fs::path backup;
    QStringList log;
};

} // namespace

TEST_F(Previews, PhotoStatesForGoodAndBadFiles) {
    QImage wide(80, 40, QImage::Format_RGB32);
    wide.fill(Qt::red);
    Write(backup / "good", Jpeg(wide));
    Write(backup / "empty", QByteArray());
    Write(backup / "truncated", Jpeg(wide).left(60));
    Write(backup / "huge", HugePng());
    Write(backup / "rotated", JpegWithOrientation(wide, 6));
    fs::create_directories(backup / "folder");
    fs::copy_file(fs::path(TEST_DATA_DIR) / "media/fixtures/photo-64x48.heic", backup / "heic");
    const auto before = kit::FolderSnapshot::Take(backup);

    PhotoPreView view;
    view.showWindow();
    const struct {
        const char* name;
        bool shown;
        QSize size;
    } cases[] = {
        {"good", true, {80, 40}},    {"empty", false, {}},
        {"truncated", false, {}},    {"huge", false, {}},
        {"rotated", true, {40, 80}}, {"heic", true, {64, 48}},
        {"folder", false, {}},       {"vanished", false, {}},
        {"good", true, {80, 40}}, // a good picture after a failure swaps back
    };
    for (const auto& c : cases) {
        log.clear();
        view.ShowPhotoFilePreview(Q(backup / c.name));
        EXPECT_EQ(c.shown, view.photoView()->isVisible()) << c.name;
        EXPECT_EQ(!c.shown, view.text()->isVisible()) << c.name;
        if (c.shown) {
            EXPECT_EQ(c.size, view.photoView()->pixmap().size()) << c.name;
        } else {
            EXPECT_EQ(kNotResources, view.text()->text()) << c.name;
            EXPECT_FALSE(log.isEmpty()) << c.name; // the reason is logged
        }
    }
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup).DiffFrom(before));
}

// A stored file is shown only from inside the backup: a picture or a text in a
// two-character folder made a link to a folder outside, or a pipe in a stored file's
// place, is refused at once; the same file inside the backup is shown.
TEST_F(Previews, StoredFilesBehindALinkedFolderOrAPipeAreNotShown) {
    QImage wide(80, 40, QImage::Format_RGB32);
    wide.fill(Qt::red);
    const fs::path outside = root.path() / "outside";
    fs::create_directories(outside);
    Write(outside / "cd01", Jpeg(wide));
    fs::create_directory_symlink(outside, backup / "cd");
    fs::create_directories(backup / "ab");
    Write(backup / "ab" / "ab01", Jpeg(wide));
    fs::create_directories(backup / "ef");
    kit::PipeWatchdog watchdog(std::chrono::seconds(10));
    ASSERT_TRUE(watchdog.MakePipe(backup / "ef" / "ef01"));
    watchdog.Start();

    PhotoPreView photo;
    photo.showWindow();
    TxtPreView text;
    text.showWindow();
    for (const char* stored : {"cd/cd01", "ef/ef01", "ab/ab01"}) {
        const bool shown = std::string(stored) == "ab/ab01";
        photo.ShowPhotoFilePreview(Q(backup / stored));
        EXPECT_EQ(shown, photo.photoView()->isVisible()) << stored;
        EXPECT_EQ(shown, !ImageFileReader::Read(Q(backup / stored), QSize()).isNull()) << stored;
        EXPECT_EQ(shown, ImageFileReader::SizeOf(Q(backup / stored)).isValid()) << stored;
        text.ShowTxtPreview(Q(backup / stored));
        EXPECT_EQ(shown, text.ShowText()->toPlainText() != kNoFile) << stored;
    }
    EXPECT_FALSE(watchdog.Stop()) << "a preview blocked on the pipe";
}

TEST_F(Previews, HeicIsReadScaledAndItsPixelsAreRight) {
    const QString heic = QStringLiteral(TEST_DATA_DIR "/media/fixtures/photo-64x48.heic");
    EXPECT_EQ(QSize(64, 48), ImageFileReader::SizeOf(heic));
    const QImage full = ImageFileReader::Read(heic, QSize());
    ASSERT_FALSE(full.isNull());
    const QColor left = full.pixelColor(8, 24), right = full.pixelColor(56, 24);
    EXPECT_GT(left.red(), 200);
    EXPECT_LT(left.blue(), 60);
    EXPECT_GT(right.blue(), 200);
    EXPECT_LT(right.red(), 60);
    EXPECT_EQ(QSize(32, 24), ImageFileReader::Read(heic, QSize(32, 32)).size());
}

TEST_F(Previews, TextStatesCutAndReplacement) {
    Write(backup / "utf8", QByteArray("Grüße, 你好\nzweite Zeile"));
    Write(backup / "invalid", QByteArray("ab\xFF\xFE"
                                         "cd"));
    Write(backup / "binary", QByteArray("\x00\x01\x02\x89PNG\x00", 8));
    QByteArray big(50 * 1024 * 1024, 'x');
    for (qsizetype i = 63; i < big.size(); i += 64)
        big[i] = '\n';
    big[TxtPreView::kMaxBytes - 1] = char(0xE4); // a character across the cut
    big[TxtPreView::kMaxBytes] = char(0xBD);
    big[TxtPreView::kMaxBytes + 1] = char(0xA0);
    Write(backup / "big", big);
    big.clear();
    const auto before = kit::FolderSnapshot::Take(backup);

    TxtPreView view;
    view.showWindow();
    view.ShowTxtPreview(Q(backup / "utf8"));
    EXPECT_EQ(QStringLiteral("Grüße, 你好\nzweite Zeile"), view.ShowText()->toPlainText());
    view.ShowTxtPreview(Q(backup / "invalid"));
    EXPECT_EQ(QStringLiteral("ab\uFFFD\uFFFDcd"), view.ShowText()->toPlainText());
    view.ShowTxtPreview(Q(backup / "binary"));
    EXPECT_FALSE(view.ShowText()->toPlainText().isEmpty());
    view.ShowTxtPreview(Q(backup / "missing"));
    EXPECT_EQ(kNoFile, view.ShowText()->toPlainText());
    view.ShowTxtPreview(Q(backup));
    EXPECT_EQ(kNoFile, view.ShowText()->toPlainText());
    view.ShowTxtPreview(Q(backup / "big"));
    const QString shown = view.ShowText()->toPlainText();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("\n…")));
    // The split character is left out: everything before it, then the line "…".
    EXPECT_EQ(TxtPreView::kMaxBytes - 1 + 2, shown.size());
    EXPECT_FALSE(shown.contains(QChar(0xFFFD)));
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup).DiffFrom(before));
}

TEST(AudioPreViewTime, StringFromTimeTable) {
    const struct {
        double t;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},       {59.5, "00:00:59"}, {3600, "01:00:00"},         {3725.9, "01:02:05"},
        {360000, "100:00:00"}, {-1, "00:00:00"},   {std::nan(""), "00:00:00"}, {1e300, "596523:14:07"}};
    for (const auto& c : cases)
        EXPECT_EQ(QString::fromLatin1(c.text), AudioPreView::stringFromTime(c.t)) << c.t;
}

class AudioPreviews : public Previews {
  protected:
    void SetUp() override {
        Previews::SetUp();
        // The fake sinks are the sound output (the test machine may have none).
        AudioPreView::SetOutputProbe([] { return true; });
        script = std::make_shared<kit::PcmSinkScript>();
        view = std::make_unique<AudioPreView>(kit::FakePcmSink::Factory(script), players.Factory());
        view->showWindow();
        fs::copy_file(fs::path(TEST_DATA_DIR) / "media/silk/fixtures/speech_24000.silk", backup / "silk");
        QFile f(Q(backup / "silk"));
        f.open(QIODevice::ReadOnly);
        const QByteArray silk = f.readAll();
        const QByteArray bare = silk.startsWith('\x02') ? silk.mid(1) : silk;
        Write(backup / "silk02", QByteArray(1, '\x02') + bare);
        Write(backup / "silk0", bare);
        QFile amr(QStringLiteral(TEST_DATA_DIR "/media/fixtures/voice-1s.amr"));
        amr.open(QIODevice::ReadOnly);
        amrBare = amr.readAll();
        Write(backup / "amr", amrBare);
        Write(backup / "amrheader", QByteArray("#!AMR\n") + amrBare);
        Write(backup / "short", QByteArray("12345"));
        Write(backup / "headeronly", QByteArray("#!AMR\n"));
        Write(backup / "empty", QByteArray());
        // The marker where the router looks, a header the decoder refuses.
        Write(backup / "damagedsilk", QByteArray("X#!SILK_V3\x05\x00\x01\x02\x03\x04\x05"));
        before = kit::FolderSnapshot::Take(backup);
    }
    void TearDown() override {
        view.reset();
        AudioPreView::SetOutputProbe({});
        EXPECT_EQ("", kit::FolderSnapshot::Take(backup).DiffFrom(before));
        Previews::TearDown();
    }
    QString image() const { return view->playButton()->property("image").toString(); }

    std::shared_ptr<kit::PcmSinkScript> script;
    kit::FakeMediaPlayers players;
    std::unique_ptr<AudioPreView> view;
    QByteArray amrBare;
    kit::FolderSnapshot before;
};

TEST_F(AudioPreviews, RoutingByContent) {
    enum Road { Silk, Platform, Missing, Refused };
    const struct {
        const char* name;
        Road road;
        bool header; // platform road: "#!AMR\n" once at the start
    } cases[] = {
        {"silk02", Silk, false},       {"silk0", Silk, false},      {"amr", Platform, true},
        {"amrheader", Platform, true}, {"short", Platform, true},   {"headeronly", Platform, true},
        {"empty", Platform, true},     {"missing", Missing, false}, {"damagedsilk", Refused, false},
    };
    for (const auto& c : cases) {
        const size_t before = players.made.size();
        view->ShowAudioPreview(Q(backup / c.name));
        switch (c.road) {
        case Silk:
            EXPECT_TRUE(view->onSilkRoad()) << c.name;
            EXPECT_EQ(before, players.made.size()) << c.name;
            EXPECT_TRUE(view->playView()->isVisible()) << c.name;
            EXPECT_GT(view->durationSeconds(), 0.5) << c.name;
            EXPECT_EQ(AudioPreView::stringFromTime(view->durationSeconds()), view->endText()->text());
            EXPECT_FALSE(view->positionSlider()->isEnabled());
            break;
        case Platform: {
            ASSERT_EQ(before + 1, players.made.size()) << c.name;
            const QByteArray data = players.last()->sourceData;
            EXPECT_TRUE(data.startsWith("#!AMR\n")) << c.name;
            EXPECT_FALSE(data.mid(6).startsWith("#!AMR\n")) << c.name;
            EXPECT_FALSE(view->onSilkRoad());
            break;
        }
        case Missing:
            EXPECT_TRUE(view->loadingView()->isVisible()) << c.name;
            EXPECT_EQ(kNoFile, view->loadingText()->text());
            break;
        case Refused:
            EXPECT_TRUE(view->loadingView()->isVisible()) << c.name;
            EXPECT_EQ(kNotResources, view->loadingText()->text());
            break;
        }
    }
    view->ShowAudioPreview(QString());
    EXPECT_EQ(kNoFile, view->loadingText()->text());
}

TEST_F(AudioPreviews, SilkRoadPlaysAndTheEndTickReturnsToReady) {
    view->ShowAudFilePreview(Q(backup / "silk02"));
    const double duration = view->durationSeconds();
    view->playEvent();
    EXPECT_TRUE(view->isPlaying());
    EXPECT_EQ(QStringLiteral("Audio_pause_bt"), image());
    EXPECT_TRUE(view->voicePlayer()->isFeeding());
    view->playEvent(); // no pause on this road
    EXPECT_TRUE(view->isPlaying());
    const int ticks = int(std::ceil(duration / 0.1));
    for (int i = 0; i < ticks + 2 && view->isPlaying(); ++i)
        view->AudFilePlayUpdate();
    EXPECT_FALSE(view->isPlaying());
    EXPECT_FALSE(view->timersRunning());
    EXPECT_EQ(QStringLiteral("00:00:00"), view->beginText()->text());
    EXPECT_EQ(QStringLiteral("Audio_play_bt"), image());
    EXPECT_EQ(0, view->positionSlider()->value());
}

TEST_F(AudioPreviews, PlatformRoadPauseResumeStopAndEnd) {
    view->ShowAudioPreview(Q(backup / "amr"));
    kit::FakeMediaPlayer* p = players.last();
    EXPECT_TRUE(view->loadingView()->isVisible()); // spinner until loaded
    p->durationMs = 1000;
    p->vol = 0.5f;
    p->emitStatus(Status::Loaded);
    EXPECT_TRUE(view->playView()->isVisible());
    EXPECT_EQ(QStringLiteral("00:00:01"), view->endText()->text());
    EXPECT_EQ(50, view->volumeSliderControl()->value());
    view->playEvent();
    EXPECT_TRUE(p->playing);
    p->positionMs = 400;
    view->playProgress();
    view->playEvent(); // pause
    EXPECT_FALSE(p->playing);
    EXPECT_FALSE(view->isPlaying());
    EXPECT_EQ(400, p->positionMs);
    view->playEvent(); // resume where it was
    EXPECT_TRUE(p->playing);
    EXPECT_EQ(400, p->positionMs);
    view->StopEvent();
    EXPECT_FALSE(p->playing);
    EXPECT_EQ(0, p->positionMs);
    EXPECT_EQ(QStringLiteral("00:00:00"), view->beginText()->text());
    view->playEvent();
    p->positionMs = 950;
    view->playProgress(); // within 0.1 s of the end
    EXPECT_FALSE(view->isPlaying());
    EXPECT_FALSE(view->timersRunning());
}

TEST_F(AudioPreviews, RefusedBytesShowTheTextAndPlayDoesNothing) {
    view->ShowAudioPreview(Q(backup / "short"));
    players.last()->errorText = QStringLiteral("no decoder");
    players.last()->emitStatus(Status::Failed);
    EXPECT_TRUE(view->loadingView()->isVisible());
    EXPECT_FALSE(view->playView()->isVisible());
    EXPECT_EQ(kNotResources, view->loadingText()->text());
    EXPECT_EQ(0.0, view->durationSeconds());
    EXPECT_TRUE(log.join('\n').contains(QStringLiteral("no decoder")));
    // The refused player is released.
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->platformPlayer() == nullptr; }, 5000));
    view->playEvent();
    EXPECT_FALSE(view->isPlaying());
}

TEST_F(AudioPreviews, MissingFileAfterPlayingStopsWhatPlayed) {
    view->ShowAudioPreview(Q(backup / "amr"));
    players.last()->durationMs = 1000;
    players.last()->emitStatus(Status::Loaded);
    view->playEvent();
    ASSERT_TRUE(players.last()->playing);
    view->ShowAudioPreview(Q(backup / "missing"));
    EXPECT_EQ(kNoFile, view->loadingText()->text());
    EXPECT_EQ(nullptr, view->platformPlayer());
    EXPECT_FALSE(view->isPlaying());
    EXPECT_FALSE(view->timersRunning());

    view->ShowAudioPreview(Q(backup / "silk0"));
    view->playEvent();
    ASSERT_TRUE(view->voicePlayer()->isFeeding());
    view->ShowAudioPreview(Q(backup / "missing"));
    EXPECT_EQ(kNoFile, view->loadingText()->text());
    EXPECT_FALSE(view->voicePlayer()->isFeeding());
    EXPECT_FALSE(view->onSilkRoad());
    EXPECT_FALSE(view->timersRunning());
}

TEST_F(AudioPreviews, CloseWhilePlayingSilencesAndAmrThenSilkTakesTheSilkRoad) {
    view->ShowAudioPreview(Q(backup / "amr"));
    players.last()->durationMs = 1000;
    players.last()->emitStatus(Status::Loaded);
    view->ShowAudioPreview(Q(backup / "silk0"));
    EXPECT_EQ(nullptr, view->platformPlayer());
    view->playEvent();
    view->voicePlayer()->readNextPCMData();
    EXPECT_GT(script->written.size(), 0);
    view->CloesButtonEvent();
    EXPECT_FALSE(view->voicePlayer()->isFeeding());
    EXPECT_EQ(0, script->alive);
    EXPECT_FALSE(view->isPlaying());
}

TEST(PreviewGeometry, ContentIsScaledToTheAreaWithItsAspectAndCentred) {
    const QRect screen(0, 0, 1280, 800);
    const QMargins frame(4, 30, 4, 4);
    const QSize chrome(20, 20);
    const struct {
        QSize content;
        QRect available;
        QMargins frame;
        QRect expected;
    } cases[] = {
        {{200, 100}, screen, {}, {530, 340, 220, 120}},            // small: as it is, centred
        {{800, 600}, {0, 0, 800, 600}, {}, {3, 0, 793, 600}},      // squeezed into the whole area
        {{800, 600}, screen, frame, {226 + 4, 73 + 30, 820, 620}}, // fits with its frame: as it is
        {{4000, 1000}, screen, frame, {4, 216 + 30, 1272, 333}},   // wide: the width decides
        {{100, 100}, {1280, 100, 1000, 700}, {}, {1280 + 440, 100 + 290, 120, 120}}, // a second screen
        {{}, screen, {}, {629, 389, 21, 21}}, // nothing known: the chrome alone
    };
    // Centred on the window it is shown for, inside the area.
    EXPECT_EQ(QRect(150 + 4, 300 + 30, 220, 120),
              PreviewWindow::FitGeometry({200, 100}, chrome, frame, screen, QRect(100, 200, 328, 354)));
    EXPECT_EQ(QRect(1280 - 228 + 4, 800 - 154 + 30, 220, 120),
              PreviewWindow::FitGeometry({200, 100}, chrome, frame, screen, QRect(1200, 750, 200, 100)));
    for (const auto& c : cases) {
        const QRect got = PreviewWindow::FitGeometry(c.content, chrome, c.frame, c.available);
        EXPECT_EQ(c.expected, got) << c.content.width() << "x" << c.content.height();
        // The framed window lies inside the area.
        EXPECT_TRUE(c.available.contains(got.marginsAdded(c.frame))) << c.content.width();
    }
}

TEST_F(Previews, APhotoAsLargeAsTheScreenFitsWithItsAspect) {
    const QRect area = PreviewWindow::AvailableArea(nullptr);
    const struct {
        QSize size;
    } cases[] = {{area.size()}, {{area.width() * 3, area.height()}}, {{300, area.height() * 2}}};
    PhotoPreView view;
    view.showWindow();
    for (const auto& c : cases) {
        QImage image(c.size, QImage::Format_RGB32);
        image.fill(Qt::blue);
        Write(backup / "photo.png", [&] {
            QByteArray png;
            QBuffer b(&png);
            b.open(QIODevice::WriteOnly);
            image.save(&b, "PNG");
            return png;
        }());
        view.ShowPhotoFilePreview(Q(backup / "photo.png"));
        ASSERT_TRUE(view.photoView()->isVisible());
        QCoreApplication::processEvents();
        EXPECT_TRUE(area.contains(view.frameGeometry())) << c.size.width() << "x" << c.size.height();
        const QSize shown = view.photoView()->pixmap().size();
        EXPECT_LE(shown.width(), view.photoView()->width());
        EXPECT_LE(shown.height(), view.photoView()->height());
        EXPECT_NEAR(double(c.size.width()) / c.size.height(), double(shown.width()) / shown.height(), 0.02);
    }
}

TEST_F(Previews, PreviewsOpenInFrontOfTheWindowTheUserWorksIn) {
    QWidget main;
    main.setWindowTitle(QStringLiteral("main"));
    main.resize(640, 480);
    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    PhotoPreView photo;
    TxtPreView text;
    kit::FakeMediaPlayers players;
    AudioPreView audio(kit::FakePcmSink::Factory(std::make_shared<kit::PcmSinkScript>()), players.Factory());
    for (QWidget* w : std::initializer_list<QWidget*>{&photo, &text, &audio}) {
        SCOPED_TRACE(w->objectName().toStdString());
        QApplication::setActiveWindow(&main);
        if (w == &photo) photo.showWindow();
        if (w == &text) text.showWindow();
        if (w == &audio) audio.showWindow();
        EXPECT_TRUE(w->isVisible());
        ASSERT_NE(nullptr, w->windowHandle());
        EXPECT_EQ(main.windowHandle(), w->windowHandle()->transientParent());
        w->close();
    }
}

// Every preview, the failed ones too, is a dialog window transient for the window the
// user works in (a window manager keeps such a window above it; a plain window goes
// behind at the first click on the main window), opens centred on that window and
// carries a title from the language tables.
TEST_F(Previews, PreviewsStayAboveOpenCentredOnTheirWindowAndAreTitled) {
    QSettings().setValue("AppLanguage", "en");
    QWidget main;
    main.setWindowTitle(QStringLiteral("main"));
    // Off the middle of the screen, so that a preview centred on the screen is seen.
    const QRect area = PreviewWindow::AvailableArea(nullptr);
    main.setGeometry(area.x() + 10, area.y() + 10, area.width() * 3 / 4, area.height() * 3 / 4);
    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    Write(backup / "notes.txt", "words");
    PhotoPreView photo;
    TxtPreView text;
    kit::FakeMediaPlayers audioPlayers;
    AudioPreView audio(kit::FakePcmSink::Factory(std::make_shared<kit::PcmSinkScript>()),
                       audioPlayers.Factory());
    kit::FakeMediaPlayers videoPlayers;
    VideoPreView video(videoPlayers.Factory());
    const struct {
        const char* name;
        QWidget* window;
        std::function<void()> show;
        QString title;
    } cases[] = {
        {"photo that fails", &photo,
         [&] {
             photo.showWindow();
             photo.ShowPhotoFilePreview(Q(backup / "missing.jpg"));
         },
         LanguageText("PreviewPhotoTitle")},
        {"photo of no kind", &photo,
         [&] {
             photo.showWindow();
             photo.ShowNoPreview();
         },
         LanguageText("PreviewPhotoTitle")},
        {"text", &text,
         [&] {
             text.showWindow();
             text.ShowTxtPreview(Q(backup / "notes.txt"));
         },
         LanguageText("PreviewTextTitle")},
        {"audio", &audio,
         [&] {
             audio.showWindow();
             audio.ShowAudioPreview(Q(backup / "missing.amr"));
         },
         LanguageText("PreviewAudioTitle")},
        {"video that fails", &video,
         [&] {
             video.showWindow();
             video.ShowVideoFilePreView(Q(backup / "missing.mp4"));
         },
         LanguageText("PreviewVideoTitle")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::setActiveWindow(&main);
        c.show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(c.window->isVisible());
        EXPECT_EQ(Qt::Dialog, c.window->windowType());
        ASSERT_NE(nullptr, c.window->windowHandle());
        EXPECT_EQ(main.windowHandle(), c.window->windowHandle()->transientParent());
        EXPECT_EQ(c.title, c.window->windowTitle());
        EXPECT_FALSE(c.title.isEmpty());
        const QPoint off = c.window->frameGeometry().center() - main.frameGeometry().center();
        EXPECT_LE(off.manhattanLength(), 2) << off.x() << "," << off.y();
        c.window->close();
    }
    // A title of the caller's stays until the window is shown again.
    photo.showWindow();
    PreviewWindow::SetOwnTitle(&photo, QStringLiteral("IMG_0001.JPG"));
    EXPECT_EQ(QStringLiteral("IMG_0001.JPG"), photo.windowTitle());
    photo.showWindow();
    EXPECT_EQ(LanguageText("PreviewPhotoTitle"), photo.windowTitle());
    photo.close();
}

// A thumbnail shown in place of its missing picture says so, in the window and its title.
TEST_F(Previews, AThumbnailSaysItIsOne) {
    QSettings().setValue("AppLanguage", "en");
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    Write(backup / "thumb", Jpeg(image));
    PhotoPreView view;
    view.showWindow();
    view.ShowThumbnailPreview(Q(backup / "thumb"));
    ASSERT_TRUE(view.photoView()->isVisible());
    EXPECT_EQ(QSize(40, 30), view.photoView()->pixmap().size());
    EXPECT_TRUE(view.note()->isVisible());
    EXPECT_EQ(LanguageText("PreviewThumbnailNote"), view.note()->text());
    EXPECT_EQ(LanguageText("PreviewThumbnailTitle"), view.windowTitle());
    // The next picture is a whole one again.
    Write(backup / "full", Jpeg(image));
    view.showWindow();
    view.ShowPhotoFilePreview(Q(backup / "full"));
    EXPECT_FALSE(view.note()->isVisible());
    EXPECT_EQ(LanguageText("PreviewPhotoTitle"), view.windowTitle());
    view.close();
}

TEST_F(Previews, EscClosesEveryPreview) {
    PhotoPreView photo;
    TxtPreView text;
    kit::FakeMediaPlayers players;
    AudioPreView audio(kit::FakePcmSink::Factory(std::make_shared<kit::PcmSinkScript>()), players.Factory());
    const struct {
        const char* name;
        QWidget* window;
        std::function<void()> show;
        QWidget* focus;
    } cases[] = {
        {"photo", &photo, [&] { photo.showWindow(); }, &photo},
        {"text", &text, [&] { text.showWindow(); }, text.ShowText()}, // the text view passes it on
        {"audio", &audio, [&] { audio.showWindow(); }, &audio},
        {"audio slider", &audio, [&] { audio.showWindow(); }, audio.volumeSliderControl()},
    };
    for (const auto& c : cases) {
        c.show();
        ASSERT_TRUE(c.window->isVisible()) << c.name;
        QTest::keyClick(c.focus, Qt::Key_Escape);
        EXPECT_FALSE(c.window->isVisible()) << c.name;
    }
    // Other keys leave the window open.
    photo.showWindow();
    QTest::keyClick(&photo, Qt::Key_A);
    QTest::keyClick(&photo, Qt::Key_Escape, Qt::ControlModifier);
    EXPECT_TRUE(photo.isVisible());
    photo.close();
}

TEST_F(AudioPreviews, WithoutASoundOutputTheWindowSaysSo) {
    AudioPreView::SetOutputProbe([] { return false; });
    for (const char* name : {"silk0", "amr"}) {
        view->ShowAudioPreview(Q(backup / name));
        EXPECT_TRUE(view->loadingText()->isVisible()) << name;
        EXPECT_FALSE(view->playView()->isVisible()) << name;
        EXPECT_EQ(LanguageText("AudioNoOutput"), view->loadingText()->text()) << name;
        EXPECT_FALSE(view->loadingText()->text().isEmpty());
        view->playEvent();
        EXPECT_FALSE(view->isPlaying()) << name;
    }
    // With an output the controls come back.
    AudioPreView::SetOutputProbe([] { return true; });
    view->ShowAudioPreview(Q(backup / "silk0"));
    EXPECT_TRUE(view->playView()->isVisible());
}

TEST_F(AudioPreviews, ADecodedVoiceThatVanishedIsSaidInWords) {
    view->ShowAudioPreview(Q(backup / "silk0"));
    ASSERT_TRUE(view->playView()->isVisible());
    // The decoded sound in the work folder is gone before play.
    for (auto& e : fs::recursive_directory_iterator(work.path()))
        if (e.is_regular_file()) fs::remove(e.path());
    view->playEvent();
    EXPECT_FALSE(view->isPlaying());
    EXPECT_TRUE(view->loadingText()->isVisible());
    EXPECT_EQ(kNoFile, view->loadingText()->text());
}

// A voice file in a two-character folder made a link to a folder outside the backup is
// neither played nor decoded.
TEST_F(AudioPreviews, VoiceBehindALinkedFolderIsNotPlayed) {
    const fs::path outside = root.path() / "outside";
    fs::create_directories(outside);
    fs::copy_file(backup / "silk02", outside / "cd01");
    fs::create_directory_symlink(outside, backup / "cd");
    before = kit::FolderSnapshot::Take(backup);
    const size_t made = players.made.size();
    view->ShowAudioPreview(Q(backup / "cd" / "cd01"));
    EXPECT_TRUE(view->loadingView()->isVisible());
    EXPECT_EQ(kNoFile, view->loadingText()->text());
    view->ShowAudFilePreview(Q(backup / "cd" / "cd01"));
    EXPECT_TRUE(view->loadingView()->isVisible());
    EXPECT_EQ(kNotResources, view->loadingText()->text());
    EXPECT_FALSE(view->onSilkRoad());
    EXPECT_EQ(made, players.made.size());
}

TEST(VideoGeometry, SizeAndPositionTable) {
    const QRect screen(0, 0, 1920, 1080);
    const struct {
        QSize natural;
        QRect available;
        QRect expected;
    } cases[] = {
        {{1920, 1080}, screen, {480, 270, 960, 540}},
        {{1280, 720}, screen, {640, 360, 640, 360}},
        {{1080, 720}, screen, {420, 180, 1080, 720}},
        {{3840, 2160}, {0, 0, 1280, 800}, {0, 40, 1280, 720}},
        {{1920, 1080}, {1920, 100, 1600, 900}, {1920 + 320, 100 + 180, 960, 540}},
        {{160, 90}, screen, {800, 440, 320, 200}}, // never below the view's minimum
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, VideoPreView::WindowGeometry(c.natural, c.available)) << c.natural.width();
    // Shown for a window: centred on that window's frame, moved inside the area.
    const struct {
        QSize natural;
        QRect over;
        QMargins frame;
        QRect expected;
    } anchored[] = {
        {{1920, 1080}, {100, 100, 800, 600}, {}, {20, 130, 960, 540}},
        {{640, 360}, {100, 100, 800, 600}, {1, 20, 1, 5}, {179 + 1, 207 + 20, 640, 360}},
        {{1920, 1080}, {1500, 900, 400, 150}, {}, {960, 540, 960, 540}}, // kept on the screen
    };
    for (const auto& c : anchored)
        EXPECT_EQ(c.expected, VideoPreView::WindowGeometry(c.natural, screen, c.frame, c.over)) << c.over.x();
    // With a title bar and borders the framed window stays inside the area.
    const QMargins frame(4, 30, 4, 4);
    for (const QSize natural : {QSize(1080, 720), QSize(720, 1080), QSize(3840, 2160), QSize(160, 90)}) {
        const QRect area(0, 0, 1280, 800);
        EXPECT_TRUE(area.contains(VideoPreView::WindowGeometry(natural, area, frame).marginsAdded(frame)))
            << natural.width() << "x" << natural.height();
    }
}

class VideoPreviews : public Previews {
  protected:
    void SetUp() override {
        Previews::SetUp();
        VideoPreView::SetPlayerFactory(players.Factory());
        VideoPreView::SetDeletionDelay(50);
        fs::copy_file(fs::path(TEST_DATA_DIR) / "media/fixtures/clip-1s.mp4", backup / "video");
        before = kit::FolderSnapshot::Take(backup);
    }
    void TearDown() override {
        VideoPreView::DropInstance();
        // The dropped window's link goes on its own timer.
        EXPECT_TRUE(QTest::qWaitFor([&] { return LinksInWork() == 0; }, 5000));
        VideoPreView::SetPlayerFactory({});
        EXPECT_EQ("", kit::FolderSnapshot::Take(backup).DiffFrom(before));
        Previews::TearDown();
    }
    kit::FakeMediaPlayers players;
    kit::FolderSnapshot before;
};

TEST_F(VideoPreviews, LinkLifeAcrossWindows) {
    VideoPreView* first = VideoPreView::shareInstance();
    first->showWindow();
    first->ShowVideoFilePreView(Q(backup / "video"));
    const QString link1 = first->DeleteFilePath();
    ASSERT_FALSE(link1.isEmpty());
    EXPECT_TRUE(QFileInfo(link1).isSymLink());
    EXPECT_TRUE(link1.endsWith(QStringLiteral(".mp4")));
    EXPECT_TRUE(QFileInfo(link1).fileName().startsWith(QStringLiteral("WXVideo-")));
    EXPECT_EQ(link1, players.last()->sourceFile);
    // A second preview within the delay: the first window closes, its link goes, the second stays.
    VideoPreView* second = VideoPreView::shareInstance();
    second->showWindow();
    second->ShowVideoFilePreView(Q(backup / "video"));
    const QString link2 = second->DeleteFilePath();
    EXPECT_NE(link1, link2);
    // Each link goes on its window's deletion timer: wait for that, not for a time.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo(link1).isSymLink(); }, 5000));
    EXPECT_TRUE(QFileInfo(link2).isSymLink());
    second->CloesButtonEvent();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFileInfo(link2).isSymLink(); }, 5000));
    EXPECT_EQ(0u, LinksInWork());
}

TEST_F(VideoPreviews, MissingSourceLeavesNoLinkAndShowsTheText) {
    for (const char* name : {"missing", ""}) {
        VideoPreView* v = VideoPreView::shareInstance();
        v->showWindow();
        v->ShowVideoFilePreView(name[0] ? Q(backup / name) : Q(backup));
        EXPECT_TRUE(v->loadingText()->isVisible()) << name;
        EXPECT_EQ(kNoFile, v->loadingText()->text());
        EXPECT_FALSE(v->loadAnimation()->isVisible());
        EXPECT_EQ(0u, LinksInWork());
    }
}

// The player reads the stored file that was opened and checked: the link it is given
// names that open file, not the file's path; a video in a two-character folder made a
// link to a folder outside the backup is not played.
TEST_F(VideoPreviews, ThePlayerReadsTheFileOpenedInsideTheBackup) {
    fs::create_directories(backup / "ab");
    fs::copy_file(backup / "video", backup / "ab" / "ab01");
    const fs::path outside = root.path() / "outside";
    fs::create_directories(outside);
    fs::copy_file(backup / "video", outside / "cd01");
    fs::create_directory_symlink(outside, backup / "cd");
    before = kit::FolderSnapshot::Take(backup);

    VideoPreView* v = VideoPreView::shareInstance();
    v->showWindow();
    v->ShowVideoFilePreView(Q(backup / "ab" / "ab01"));
    const QString link = v->DeleteFilePath();
    ASSERT_FALSE(link.isEmpty());
    const fs::path target = fs::read_symlink(link.toStdString());
    EXPECT_EQ(0u, target.string().rfind("/proc/", 0)) << target;
    // Whatever happens at the stored path now, the link reads the file opened.
    fs::remove(backup / "ab" / "ab01");
    EXPECT_EQ(fs::file_size(backup / "video"), fs::file_size(link.toStdString()));
    fs::copy_file(backup / "video", backup / "ab" / "ab01");
    before = kit::FolderSnapshot::Take(backup);
    v->CloesButtonEvent();

    VideoPreView* linked = VideoPreView::shareInstance();
    linked->showWindow();
    const size_t made = players.made.size();
    linked->ShowVideoFilePreView(Q(backup / "cd" / "cd01"));
    EXPECT_TRUE(linked->loadingText()->isVisible());
    EXPECT_EQ(kNoFile, linked->loadingText()->text());
    EXPECT_EQ(made, players.made.size());
    EXPECT_TRUE(linked->DeleteFilePath().isEmpty());
}

TEST_F(VideoPreviews, LoadedVideoIsSizedAndAFailureShowsTheText) {
    VideoPreView* v = VideoPreView::shareInstance();
    v->showWindow();
    v->ShowVideoFilePreView(Q(backup / "video"));
    EXPECT_EQ(VideoPreView::kFirstSize, v->size());
    EXPECT_TRUE(v->loadAnimation()->isVisible());
    kit::FakeMediaPlayer* p = players.last();
    p->video = true;
    p->size = QSize(1920, 1080);
    p->durationMs = 1000;
    p->emitStatus(Status::Loaded);
    EXPECT_TRUE(v->playView()->isVisible());
    EXPECT_FALSE(v->loadAnimation()->isVisible());
    EXPECT_EQ(VideoPreView::WindowGeometry(QSize(1920, 1080), v->screen()->availableGeometry(),
                                           PreviewWindow::FrameOf(v)),
              v->geometry());
    EXPECT_TRUE(v->screen()->availableGeometry().contains(v->frameGeometry()));
    p->emitStatus(Status::Failed);
    EXPECT_FALSE(v->playView()->isVisible());
    EXPECT_EQ(kNoFile, v->loadingText()->text());
    EXPECT_TRUE(v->loadingText()->isVisible());

    // Audio only: no picture, the text, and the link still goes at closing.
    VideoPreView* audio = VideoPreView::shareInstance();
    audio->showWindow();
    audio->ShowVideoFilePreView(Q(backup / "video"));
    players.last()->durationMs = 1000;
    players.last()->emitStatus(Status::Loaded);
    EXPECT_TRUE(audio->loadingText()->isVisible());
    EXPECT_EQ(VideoPreView::kFirstSize, audio->size());
}

KIT_QT_TEST_MAIN(QApplication)
