#include "media/AudPlay.h"

#include "platform/ProcessLog.h"
#include "media/MediaWorkFolder.h"
#include "media/silk/SilkFileDecoder.h"
#include "core/util/RegularFile.h"

#include <QFileInfo>

#include <unistd.h>

#include <lame/lame.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

std::filesystem::path FsPath(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    return std::filesystem::path(std::string(bytes.constData(), size_t(bytes.size())));
}

// Removes a file when it goes out of scope (unless released).
struct RemoveOnExit {
    QString path;
    ~RemoveOnExit() {
        if (!path.isEmpty()) QFile::remove(path);
    }
};

struct LameDeleter {
    void operator()(lame_global_flags* g) const { lame_close(g); }
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Decodes a stored voice file of the backup into raw PCM at `pcm`: the voice file is
// opened without following a link below the backup folder and never as a pipe.
int decodeStoredVoice(const QString& voicePath, const QString& pcm, float* duration) {
    RegularFile stored;
    if (!stored.OpenStoredPath(FsPath(voicePath).string())) return 0;
    const int fd = stored.Release();
    std::unique_ptr<std::FILE, FileCloser> in(::fdopen(fd, "rb"));
    if (!in) {
        ::close(fd);
        return 0;
    }
    return silk::silkFileToPcm(in.get(), FsPath(pcm), duration);
}

} // namespace

AudPlay::AudPlay(PcmSinkFactory sinks, QObject* parent)
    : QObject(parent), player(std::make_unique<PCMDataPlayer>(std::move(sinks))) {
    sendDataTimer.setInterval(kTickMs);
    sendDataTimer.setTimerType(Qt::PreciseTimer);
    connect(&sendDataTimer, &QTimer::timeout, this, [this] { readNextPCMData(); });
}

AudPlay::~AudPlay() {
    Stop();
    if (!decodedPcm.isEmpty()) QFile::remove(decodedPcm);
}

AudPlay* AudPlay::shareInstance() {
    static AudPlay* instance = new AudPlay;
    return instance;
}

QString AudPlay::SILK_Decoder(const QString& voicePath) {
    playAllLeng.store(0.0f);
    if (!decodedPcm.isEmpty()) {
        if (pcmFile.isOpen() && pcmFile.fileName() == decodedPcm) Stop();
        QFile::remove(decodedPcm);
        decodedPcm.clear();
    }
    const QString pcm = MediaWorkFolder::UniquePath(QStringLiteral("voice-"), QStringLiteral(".pcm"));
    if (pcm.isEmpty()) {
        ProcessLog::Write(QStringLiteral("AudPlay: no media work folder"));
        return pcm;
    }
    decodedPcm = pcm;
    float duration = 0.0f;
    if (decodeStoredVoice(voicePath, pcm, &duration) == 1)
        playAllLeng.store(duration);
    else
        ProcessLog::Write(QStringLiteral("AudPlay: the voice file cannot be decoded: %1").arg(voicePath));
    return pcm;
}

int AudPlay::APlay(const QString& pcmPath) {
    playing = true;
    if (pcmFile.isOpen()) {
        // A feed is running: it goes on from where it is.
        draining = false;
        drainTicks = 0;
        sendDataTimer.start();
        return 1;
    }
    pcmFile.setFileName(pcmPath);
    if (pcmPath.isEmpty() || !pcmFile.open(QIODevice::ReadOnly)) {
        ProcessLog::Write(QStringLiteral("PlayerViewController PCM文件打开错误..."));
        return -1;
    }
    pcmDataBuffer.clear();
    draining = false;
    drainTicks = 0;
    sendDataTimer.start();
    return 1;
}

void AudPlay::readNextPCMData() {
    if (!pcmFile.isOpen()) return;
    if (draining) {
        // The file is done: let the queued chunks play out, then stop.
        if (player->outstanding() == 0 || ++drainTicks > kDrainTicks) finishFeed();
        return;
    }
    if (pcmDataBuffer.isEmpty()) {
        pcmDataBuffer = pcmFile.read(kChunk);
        if (pcmDataBuffer.isEmpty()) {
            draining = true;
            drainTicks = 0;
            if (player->outstanding() == 0) finishFeed();
            return;
        }
    }
    switch (player->play(pcmDataBuffer.constData(), uint32_t(pcmDataBuffer.size()))) {
    case PCMDataPlayer::Result::Queued:
        pcmDataBuffer.clear();
        break;
    case PCMDataPlayer::Result::Busy:
        break; // offered again next tick
    case PCMDataPlayer::Result::Failed:
    case PCMDataPlayer::Result::Refused:
        ProcessLog::Write(
            QStringLiteral("AudPlay: playback of %1 ended, the audio output failed").arg(pcmFile.fileName()));
        sendDataTimer.stop();
        player->stop();
        pcmFile.close();
        pcmDataBuffer.clear();
        break;
    }
}

void AudPlay::finishFeed() {
    sendDataTimer.stop();
    player->stop();
    pcmFile.close();
    pcmDataBuffer.clear();
    draining = false;
}

void AudPlay::Stop() {
    playing = false;
    sendDataTimer.stop();
    player->stop();
    if (pcmFile.isOpen()) pcmFile.close();
    pcmDataBuffer.clear();
    draining = false;
}

bool AudPlay::SaveMP3(const QString& voicePath, const QString& mp3Path) {
    QString createdMp3; // removed on failure; only what this call created
    auto fail = [&](const QString& why) {
        ProcessLog::Write(QStringLiteral("SaveMP3:%1").arg(why));
        if (!createdMp3.isEmpty()) QFile::remove(createdMp3);
        return false;
    };
    try {
        const QString pcmPath =
            MediaWorkFolder::UniquePath(QStringLiteral("export-"), QStringLiteral(".pcm"));
        if (pcmPath.isEmpty()) return fail(QStringLiteral("no media work folder"));
        RemoveOnExit removePcm{pcmPath};
        float duration = 0.0f;
        if (decodeStoredVoice(voicePath, pcmPath, &duration) != 1)
            return fail(QStringLiteral("cannot decode %1").arg(voicePath));
        playAllLeng.store(duration);

        QFile pcm(pcmPath);
        if (!pcm.open(QIODevice::ReadOnly)) return fail(QStringLiteral("cannot read the decoded voice"));
        QFile mp3(mp3Path);
        if (!mp3.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return fail(QStringLiteral("cannot create %1: %2").arg(mp3Path, mp3.errorString()));
        createdMp3 = mp3Path;

        std::unique_ptr<lame_global_flags, LameDeleter> lame(lame_init());
        if (!lame) return fail(QStringLiteral("lame_init failed"));
        lame_set_num_channels(lame.get(), 1);
        lame_set_in_samplerate(lame.get(), silk::kSilkVoiceRate);
        lame_set_mode(lame.get(), MONO);
        lame_set_VBR(lame.get(), vbr_mtrh);
        lame_set_bWriteVbrTag(lame.get(), 1);
        if (lame_init_params(lame.get()) < 0) return fail(QStringLiteral("lame_init_params failed"));

        constexpr int kSamples = 8192;
        std::vector<short> samples(kSamples);
        std::vector<unsigned char> out(size_t(1.25 * kSamples) + 7200);
        for (;;) {
            const QByteArray bytes = pcm.read(qint64(kSamples) * 2);
            if (bytes.isEmpty()) {
                if (!pcm.atEnd())
                    return fail(QStringLiteral("cannot read the decoded voice: %1").arg(pcm.errorString()));
                break;
            }
            const int n = int(bytes.size() / 2); // a trailing odd byte is no sample
            const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
            for (int i = 0; i < n; ++i)
                samples[size_t(i)] = short(uint16_t(b[2 * i] | (b[2 * i + 1] << 8)));
            if (n == 0) continue;
            const int got = lame_encode_buffer(lame.get(), samples.data(), samples.data(), n, out.data(),
                                               int(out.size()));
            if (got < 0) return fail(QStringLiteral("lame_encode_buffer failed (%1)").arg(got));
            if (got > 0 && mp3.write(reinterpret_cast<const char*>(out.data()), got) != got)
                return fail(QStringLiteral("cannot write %1: %2").arg(mp3Path, mp3.errorString()));
        }
        const int flushed = lame_encode_flush(lame.get(), out.data(), int(out.size()));
        if (flushed < 0) return fail(QStringLiteral("lame_encode_flush failed (%1)").arg(flushed));
        if (flushed > 0 && mp3.write(reinterpret_cast<const char*>(out.data()), flushed) != flushed)
            return fail(QStringLiteral("cannot write %1: %2").arg(mp3Path, mp3.errorString()));
        // The tag frame (length, encoder delay and padding) replaces the placeholder at the start.
        std::vector<unsigned char> tag(8192);
        const size_t tagSize = lame_get_lametag_frame(lame.get(), tag.data(), tag.size());
        if (tagSize > tag.size()) return fail(QStringLiteral("the LAME tag does not fit"));
        if (tagSize > 0) {
            if (!mp3.seek(0) ||
                mp3.write(reinterpret_cast<const char*>(tag.data()), qint64(tagSize)) != qint64(tagSize))
                return fail(QStringLiteral("cannot write the LAME tag to %1").arg(mp3Path));
        }
        if (!mp3.flush()) return fail(QStringLiteral("cannot write %1: %2").arg(mp3Path, mp3.errorString()));
        mp3.close();
        if (mp3.error() != QFileDevice::NoError)
            return fail(QStringLiteral("cannot close %1: %2").arg(mp3Path, mp3.errorString()));
        return true;
    } catch (const std::exception& e) {
        return fail(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return fail(QStringLiteral("unknown exception"));
    }
}
