// MP3 export of voice files, checked by decoding the result with libmpg123 (an oracle in the
// tests only).
#include "media/AudPlay.h"
#include "platform/ProcessLog.h"
#include "media/MediaWorkFolder.h"
#include "media/silk/SilkFileDecoder.h"
#include "tests/kit/FakePcmSink.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>
#include <mpg123.h>

#include <cmath>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Decoded {
    bool ok = false;
    long rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;
    bool lameTag = false;
};

Decoded DecodeMp3(const fs::path& file) {
    Decoded d;
    static const bool init = mpg123_init() == MPG123_OK;
    if (!init) return d;
    int err = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h) return d;
    mpg123_param(h, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_format_none(h);
    mpg123_format(h, 24000, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open(h, file.c_str()) != MPG123_OK) {
        mpg123_delete(h);
        return d;
    }
    int enc = 0;
    mpg123_getformat(h, &d.rate, &d.channels, &enc);
    std::vector<unsigned char> buf(16384);
    for (;;) {
        size_t done = 0;
        const int r = mpg123_read(h, buf.data(), buf.size(), &done);
        const auto* s = reinterpret_cast<const int16_t*>(buf.data());
        d.samples.insert(d.samples.end(), s, s + done / 2);
        if (r == MPG123_NEW_FORMAT) {
            mpg123_getformat(h, &d.rate, &d.channels, &enc);
            continue;
        }
        if (r == MPG123_DONE) {
            d.ok = true;
            break;
        }
        if (r != MPG123_OK) break;
    }
    mpg123_frameinfo info{};
    if (mpg123_info(h, &info) == MPG123_OK) d.lameTag = true;
    mpg123_close(h);
    mpg123_delete(h);
    // The LAME tag: "Info" or "Xing" in the first frame, with "LAME" behind it.
    QFile f(QString::fromStdString(file.string()));
    if (f.open(QIODevice::ReadOnly)) {
        const QByteArray head = f.read(2048);
        d.lameTag = (head.contains("Info") || head.contains("Xing")) && head.contains("LAME");
    }
    return d;
}

double Rms(const std::vector<int16_t>& s) {
    double sum = 0;
    for (int16_t v : s)
        sum += double(v) * v;
    return s.empty() ? 0 : std::sqrt(sum / double(s.size()));
}

class Mp3Export : public ::testing::Test {
  protected:
    void SetUp() override {
        MediaWorkFolder::SetProvider([this] { return QString::fromStdString(work.path().string()); });
        backup = out.path() / "backup";
        fs::create_directories(backup);
        fs::copy_file(fs::path(TEST_DATA_DIR) / "media/silk/fixtures/speech_24000.silk", backup / "voice");
        ProcessLog::SetSink([this](const QString& l) { log << l; });
    }
    void TearDown() override {
        ProcessLog::SetSink({});
        MediaWorkFolder::SetProvider({});
    }
    QString Q(const fs::path& p) const { return QString::fromStdString(p.string()); }
    size_t WorkFiles() const {
        size_t n = 0;
        for (auto it = fs::recursive_directory_iterator(work.path());
             it != fs::recursive_directory_iterator(); ++it)
            n += it->is_regular_file();
        return n;
    }
    kit::ScratchFolder out{"mp3out"};
    kit::ScratchFolder work{"mp3work"};
    fs::path backup;
    QStringList log;
    AudPlay aud{kit::FakePcmSink::Factory(std::make_shared<kit::PcmSinkScript>())};
};

} // namespace

TEST_F(Mp3Export, WholeVoiceMono24kExactSampleCountWithTagAndLevel) {
    std::vector<int16_t> source;
    {
        QFile f(Q(backup / "voice"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray b = f.readAll();
        ASSERT_EQ(
            silk::SilkVoiceStatus::Decoded,
            silk::silkDecodeVoice({reinterpret_cast<const uint8_t*>(b.constData()), size_t(b.size())}, source)
                .status);
    }
    const auto before = kit::FolderSnapshot::Take(backup);
    const fs::path mp3 = out.path() / "saved" / "voice.mp3";
    fs::create_directories(mp3.parent_path());
    ASSERT_TRUE(aud.SaveMP3(Q(backup / "voice"), Q(mp3))) << log.join('\n').toStdString();
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup).DiffFrom(before));
    EXPECT_EQ(0u, WorkFiles()); // the temporary PCM file is gone
    const Decoded d = DecodeMp3(mp3);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(24000, d.rate);
    EXPECT_EQ(1, d.channels);
    EXPECT_TRUE(d.lameTag);
    EXPECT_EQ(source.size(), d.samples.size());
    const double level = 20 * std::log10(Rms(d.samples) / Rms(source));
    EXPECT_LT(std::abs(level), 3.0) << level;
    EXPECT_NEAR(double(source.size()) / 24000.0, aud.getPlayAllLeng(), 0.001);
}

TEST_F(Mp3Export, FailuresGiveFalseAndLeaveNoFile) {
    const fs::path saved = out.path() / "saved";
    fs::create_directories(saved);
    // Damaged voice file.
    {
        QFile f(Q(backup / "damaged"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!SILK_V3\x40\x00garbage-garbage");
    }
    // Not a voice file at all, a missing one, a folder.
    for (const fs::path& voice : {backup / "damaged", backup / "missing", backup}) {
        log.clear();
        const fs::path mp3 = saved / "x.mp3";
        const bool ok = aud.SaveMP3(Q(voice), Q(mp3));
        if (voice == backup / "damaged" && ok) {
            // A damaged stream may still decode to its end; then it is a whole, valid file.
            EXPECT_TRUE(DecodeMp3(mp3).ok);
            fs::remove(mp3);
            continue;
        }
        EXPECT_FALSE(ok) << voice;
        EXPECT_FALSE(fs::exists(mp3)) << voice;
        ASSERT_FALSE(log.isEmpty());
        EXPECT_TRUE(log.last().startsWith(QStringLiteral("【日志】SaveMP3:"))) << log.last().toStdString();
    }
    // A destination folder that cannot be written.
    const fs::path locked = out.path() / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    const bool writable = QFile(Q(locked / "probe")).open(QIODevice::WriteOnly); // root writes anyway
    QFile::remove(Q(locked / "probe"));
    if (!writable) {
        EXPECT_FALSE(aud.SaveMP3(Q(backup / "voice"), Q(locked / "voice.mp3")));
        EXPECT_FALSE(fs::exists(locked / "voice.mp3"));
    }
    EXPECT_FALSE(aud.SaveMP3(Q(backup / "voice"), Q(out.path() / "no-such-folder" / "voice.mp3")));
    fs::permissions(locked, fs::perms::owner_all);
    // An existing different file is never replaced.
    {
        QFile f(Q(saved / "taken.mp3"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    EXPECT_FALSE(aud.SaveMP3(Q(backup / "voice"), Q(saved / "taken.mp3")));
    QFile kept(Q(saved / "taken.mp3"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(QByteArray("keep me"), kept.readAll());
    EXPECT_EQ(0u, WorkFiles());
}

TEST_F(Mp3Export, LongPathsWork) {
    fs::path deep = out.path();
    for (int i = 0; i < 4; ++i)
        deep /= std::string(80, char('a' + i));
    fs::create_directories(deep);
    fs::copy_file(backup / "voice", deep / "voice");
    ASSERT_GT((deep / "voice").string().size(), 300u);
    ASSERT_TRUE(aud.SaveMP3(Q(deep / "voice"), Q(deep / "voice.mp3")));
    EXPECT_TRUE(DecodeMp3(deep / "voice.mp3").ok);
}

TEST_F(Mp3Export, ExportOnAWorkerWhilePreviewDecodesTheSameFile) {
    const fs::path mp3 = out.path() / "threaded.mp3";
    bool saved = false;
    std::thread worker([&] { saved = AudPlay::shareInstance()->SaveMP3(Q(backup / "voice"), Q(mp3)); });
    QString pcm;
    for (int i = 0; i < 3; ++i)
        pcm = aud.SILK_Decoder(Q(backup / "voice"));
    worker.join();
    EXPECT_TRUE(saved);
    EXPECT_TRUE(DecodeMp3(mp3).ok);
    QFile f(pcm);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_NEAR(double(f.size()) / 48000.0, aud.getPlayAllLeng(), 0.001);
}

KIT_QT_TEST_MAIN(QApplication)
