// The chunk player and the voice feed, against a scripted sound output.
#include "media/AudPlay.h"
#include "platform/ProcessLog.h"
#include "media/MediaWorkFolder.h"
#include "media/PCMDataPlayer.h"
#include "media/QtPcmSink.h"
#include "tests/kit/FakePcmSink.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"

#include <QApplication>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray Pattern(int n, int seed) {
    QByteArray b(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 7 + seed * 13) & 0xFF);
    return b;
}

struct LogCapture {
    QStringList lines;
    LogCapture() {
        ProcessLog::SetSink([this](const QString& l) { lines << l; });
    }
    ~LogCapture() { ProcessLog::SetSink({}); }
};

} // namespace

// The device reports whole microseconds (640 bytes at 24000 Hz mono are 13333.3 us). Read
// back, every chunk end must be reached exactly, or the last chunk never counts as played and
// the end of each message waits out the drain limit.
TEST(QtPcmSink, ProcessedTimeGivesBackEveryChunkEnd) {
    constexpr int64_t kBytesPerSecond = 24000 * 2;
    for (int64_t bytes = 0; bytes <= 64 * 2000; bytes += 2) {
        const int64_t usecs = bytes * 1000000 / kBytesPerSecond; // as the device counts
        ASSERT_EQ(bytes, QtPcmSink::BytesIn(usecs, kBytesPerSecond)) << usecs;
    }
}

TEST(PCMDataPlayer, SixChunksOutstandingAtMostThenBusyUntilConsumed) {
    auto script = std::make_shared<kit::PcmSinkScript>();
    PCMDataPlayer player(kit::FakePcmSink::Factory(script));
    QByteArray all;
    for (int i = 0; i < 6; ++i) {
        const QByteArray c = Pattern(640, i);
        ASSERT_EQ(PCMDataPlayer::Result::Queued, player.play(c.constData(), c.size())) << i;
        all += c;
    }
    EXPECT_EQ(6, player.outstanding());
    EXPECT_EQ(3840, script->lastBufferBytes);
    EXPECT_EQ(24000, script->lastFormat.sampleRate);
    EXPECT_EQ(1, script->lastFormat.channels);
    const QByteArray seventh = Pattern(640, 6);
    EXPECT_EQ(PCMDataPlayer::Result::Busy, player.play(seventh.constData(), seventh.size()));
    // The device consumed the first chunk: its slot comes back, the same sink goes on.
    script->processed = 640;
    EXPECT_EQ(5, player.outstanding());
    EXPECT_EQ(PCMDataPlayer::Result::Queued, player.play(seventh.constData(), seventh.size()));
    all += seventh;
    EXPECT_EQ(all, script->written);
    EXPECT_EQ(1, script->sinksMade);
}

TEST(PCMDataPlayer, AcrossAFullSinkEveryByteArrivesOnceInOrder) {
    auto script = std::make_shared<kit::PcmSinkScript>();
    script->capacity = 2000; // room for three chunks, less than six slots
    PCMDataPlayer player(kit::FakePcmSink::Factory(script));
    QByteArray offered;
    int busy = 0;
    for (int i = 0; i < 40;) {
        const QByteArray c = Pattern(640, i);
        const auto r = player.play(c.constData(), c.size());
        if (r == PCMDataPlayer::Result::Queued) {
            offered += c;
            ++i;
        } else {
            ASSERT_EQ(PCMDataPlayer::Result::Busy, r);
            ++busy;
            script->processed = std::min(script->processed + 320, script->writtenThisSink);
        }
    }
    EXPECT_GT(busy, 0);
    EXPECT_EQ(offered, script->written);
    EXPECT_EQ(1, script->sinksMade);
}

TEST(PCMDataPlayer, StopDiscardsAndTheNextChunkStartsAFreshSink) {
    auto script = std::make_shared<kit::PcmSinkScript>();
    PCMDataPlayer player(kit::FakePcmSink::Factory(script));
    const QByteArray c = Pattern(640, 1);
    for (int i = 0; i < 6; ++i)
        player.play(c.constData(), c.size());
    player.stop();
    EXPECT_EQ(0, script->alive); // released, not leaked
    EXPECT_FALSE(player.hasOutput());
    player.stop(); // without output: nothing
    EXPECT_EQ(PCMDataPlayer::Result::Queued, player.play(c.constData(), c.size()));
    EXPECT_EQ(2, script->sinksMade);
    EXPECT_EQ(1, player.outstanding());
    // Played dry: the next chunk opens another sink.
    script->drain();
    EXPECT_EQ(PCMDataPlayer::Result::Queued, player.play(c.constData(), c.size()));
    EXPECT_EQ(3, script->sinksMade);
    EXPECT_EQ(1, script->alive);
}

TEST(PCMDataPlayer, TwoThousandBytesPlayWholeAndMoreAreRefused) {
    auto script = std::make_shared<kit::PcmSinkScript>();
    PCMDataPlayer player(kit::FakePcmSink::Factory(script));
    LogCapture log;
    const QByteArray big = Pattern(2000, 3);
    EXPECT_EQ(PCMDataPlayer::Result::Queued, player.play(big.constData(), big.size()));
    EXPECT_EQ(big, script->written);
    const QByteArray tooBig = Pattern(2001, 4);
    EXPECT_EQ(PCMDataPlayer::Result::Refused, player.play(tooBig.constData(), tooBig.size()));
    EXPECT_EQ(big, script->written);
    ASSERT_FALSE(log.lines.isEmpty());
    EXPECT_TRUE(log.lines.last().contains(QStringLiteral("2001")));
}

TEST(PCMDataPlayer, AFailedDeviceIsReported) {
    auto script = std::make_shared<kit::PcmSinkScript>();
    PCMDataPlayer player(kit::FakePcmSink::Factory(script));
    LogCapture log;
    const QByteArray c = Pattern(640, 1);
    ASSERT_EQ(PCMDataPlayer::Result::Queued, player.play(c.constData(), c.size()));
    script->failNow = true;
    EXPECT_EQ(PCMDataPlayer::Result::Failed, player.play(c.constData(), c.size()));
    player.stop();
    script->failNow = false;
    script->failStart = true;
    EXPECT_EQ(PCMDataPlayer::Result::Failed, player.play(c.constData(), c.size()));
    EXPECT_EQ(0, script->alive);
    EXPECT_GE(log.lines.size(), 2);
}

class AudPlayFeed : public ::testing::Test {
  protected:
    void SetUp() override {
        MediaWorkFolder::SetProvider([this] { return QString::fromStdString(work.path().string()); });
        script = std::make_shared<kit::PcmSinkScript>();
        aud = std::make_unique<AudPlay>(kit::FakePcmSink::Factory(script));
    }
    void TearDown() override {
        aud.reset();
        MediaWorkFolder::SetProvider({});
    }
    QString WritePcm(const QByteArray& bytes) {
        const QString path = QString::fromStdString((work.path() / "in.pcm").string());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    // Ticks until the feed has offered everything or `limit` ticks passed; the device takes
    // what it is given at once.
    void Tick(int limit, bool consume) {
        for (int i = 0; i < limit && aud->isFeeding(); ++i) {
            aud->readNextPCMData();
            if (consume) script->drain();
        }
    }
    kit::ScratchFolder work{"media"};
    std::shared_ptr<kit::PcmSinkScript> script;
    std::unique_ptr<AudPlay> aud;
};

TEST_F(AudPlayFeed, ChunksOf640WithAShortLastOneAndTheEndDrainsBeforeTheStop) {
    const QByteArray pcm = Pattern(640 * 3 + 100, 9);
    ASSERT_EQ(1, aud->APlay(WritePcm(pcm)));
    EXPECT_TRUE(aud->isPlay());
    for (int i = 0; i < 4; ++i)
        aud->readNextPCMData();
    EXPECT_EQ(pcm, script->written);
    // End of file with four chunks still queued: they play out, nothing is stopped yet.
    aud->readNextPCMData();
    aud->readNextPCMData();
    EXPECT_TRUE(aud->isFeeding());
    EXPECT_EQ(0, script->stops);
    script->drain();
    aud->readNextPCMData();
    EXPECT_FALSE(aud->isFeeding());
    EXPECT_EQ(1, script->stops);
    EXPECT_TRUE(aud->isPlay()); // only Stop clears it
}

TEST_F(AudPlayFeed, BusyChunksAreOfferedAgainNotLost) {
    const QByteArray pcm = Pattern(640 * 20, 5);
    ASSERT_EQ(1, aud->APlay(WritePcm(pcm)));
    for (int i = 0; i < 200 && aud->isFeeding(); ++i) {
        aud->readNextPCMData();
        if (i % 3 == 0) script->processed = std::min(script->processed + 640, script->writtenThisSink);
    }
    EXPECT_EQ(pcm, script->written);
}

TEST_F(AudPlayFeed, APlayWhileFeedingKeepsTheFileAfterTheEndReopensIt) {
    const QByteArray pcm = Pattern(640 * 4, 2);
    const QString path = WritePcm(pcm);
    ASSERT_EQ(1, aud->APlay(path));
    aud->readNextPCMData();
    script->drain();
    EXPECT_EQ(1, aud->APlay(QStringLiteral("/nonexistent/ignored.pcm"))); // goes on with the open file
    Tick(50, true);
    EXPECT_EQ(pcm, script->written);
    EXPECT_FALSE(aud->isFeeding());
    ASSERT_EQ(1, aud->APlay(path)); // from the start again
    Tick(50, true);
    EXPECT_EQ(pcm + pcm, script->written);
}

TEST_F(AudPlayFeed, MissingFileAndStopWhileIdle) {
    LogCapture log;
    EXPECT_EQ(-1, aud->APlay(QString::fromStdString((work.path() / "missing.pcm").string())));
    EXPECT_FALSE(aud->isFeeding());
    EXPECT_TRUE(log.lines.join(QString()).contains(QStringLiteral("PCM文件打开错误")));
    aud->Stop();
    EXPECT_FALSE(aud->isPlay());
    EXPECT_EQ(0, script->sinksMade);
}

TEST_F(AudPlayFeed, StopEndsAtOnceAndAFailedDeviceEndsTheFeed) {
    const QByteArray pcm = Pattern(640 * 10, 2);
    ASSERT_EQ(1, aud->APlay(WritePcm(pcm)));
    aud->readNextPCMData();
    aud->Stop();
    EXPECT_FALSE(aud->isFeeding());
    EXPECT_EQ(0, script->alive);
    LogCapture log;
    ASSERT_EQ(1, aud->APlay(WritePcm(pcm)));
    aud->readNextPCMData();
    script->failNow = true;
    aud->readNextPCMData();
    EXPECT_FALSE(aud->isFeeding());
    EXPECT_FALSE(log.lines.isEmpty());
}

TEST_F(AudPlayFeed, DecodingGoesToTheWorkFolderAndFailureReportsNoLength) {
    const QString fixtures = QStringLiteral(TEST_DATA_DIR "/media/silk/fixtures");
    const QString pcm = aud->SILK_Decoder(fixtures + QStringLiteral("/speech_24000.silk"));
    EXPECT_TRUE(pcm.startsWith(QString::fromStdString(work.path().string())));
    EXPECT_TRUE(QFile::exists(pcm));
    EXPECT_GT(aud->getPlayAllLeng(), 0.5f);
    // A damaged file after a good one: no stale length, the previous PCM file is gone.
    const QString damaged = QString::fromStdString((work.path() / "damaged.silk").string());
    QFile f(damaged);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\x02#!SILK_X3garbage");
    f.close();
    const QString pcm2 = aud->SILK_Decoder(damaged);
    EXPECT_EQ(0.0f, aud->getPlayAllLeng());
    EXPECT_FALSE(QFile::exists(pcm));
    EXPECT_FALSE(QFile::exists(pcm2));
    EXPECT_EQ(-1, aud->APlay(pcm2));
    // The object's own PCM file goes with it.
    const QString pcm3 = aud->SILK_Decoder(fixtures + QStringLiteral("/speech_24000.silk"));
    EXPECT_TRUE(QFile::exists(pcm3));
    aud.reset();
    EXPECT_FALSE(QFile::exists(pcm3));
}

KIT_QT_TEST_MAIN(QApplication)
