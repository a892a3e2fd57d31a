#include "views/media/MediaPlayDispatcher.h"

#include "platform/Paths.h"
#include "platform/StoredFileReader.h"
#include "views/media/AttachmentKind.h"
#include "views/media/MediaFileCopier.h"
#include "views/media/VoiceFile.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {

qint64 SteadyMs() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

} // namespace

bool MediaPlayDispatcher::DefaultIsAudio(const QString& suffix) {
    static const QStringList audio = AttachmentKind::Suffixes(QStringLiteral("AudioWildcard"));
    return audio.contains(suffix.toUpper());
}

MediaPlayDispatcher::MediaPlayDispatcher(IPreviewService& preview, AudioTest isAudio, Clock clock)
    : preview_(preview), isAudio_(std::move(isAudio)), clock_(std::move(clock)) {
    if (!isAudio_) isAudio_ = &MediaPlayDispatcher::DefaultIsAudio;
    if (!clock_) clock_ = &SteadyMs;
}

QString MediaPlayDispatcher::CacheFolder() const {
    if (!cacheFolder_.isEmpty()) return cacheFolder_;
    QString folder = Paths::Caches();
    if (folder.isEmpty()) folder = QDir::tempPath();
    for (const QString& part : {QCoreApplication::organizationName(), QCoreApplication::applicationName()})
        if (!part.isEmpty()) folder += QLatin1Char('/') + part;
    return folder + QStringLiteral("/scan/play");
}

MediaPlayDispatcher::Outcome MediaPlayDispatcher::Play(const NSFileData& file, bool guarded) {
    if (guarded) {
        const qint64 now = clock_();
        if (played_ && now - lastPlay_ < kGuardMs) return Outcome::Guarded;
        played_ = true;
        lastPlay_ = now;
    }
    const QString path = MediaFileCopier::StoredPath(file);
    if (!isAudio_(file.Suffix())) {
        preview_.ShowVideo(path);
        return Outcome::Video;
    }
    QFile in;
    if (!StoredFileReader::Open(path, in) || in.size() > kMaxAudioBytes) {
        qWarning().noquote()
            << QStringLiteral("【日志】找不到音频资源:Name:%1 , Path:%2").arg(file.FileName(), path);
        return Outcome::Unreadable;
    }
    QByteArray data = in.readAll();
    if (!VoiceFile::IsAudSuffix(file.Suffix())) {
        preview_.ShowAudioData(data);
        return Outcome::AudioData;
    }
    if (VoiceFile::StartsWithSilkMark(data.left(10))) {
        preview_.ShowSilkVoice(path);
        return Outcome::Silk;
    }
    data.prepend(VoiceFile::MissingAmrHeader(data));
    const QString folder = CacheFolder();
    QSaveFile amr(QDir(folder).filePath(QStringLiteral("text.amr")));
    if (!QDir().mkpath(folder) || !amr.open(QIODevice::WriteOnly) || amr.write(data) != data.size() ||
        !amr.commit())
        qWarning().noquote() << QStringLiteral("【日志】text.amr 写入失败: %1").arg(folder);
    preview_.ShowAudioData(data);
    return Outcome::AudioData;
}

void MediaPlayDispatcher::ShowPhoto(const NSFileData& file) {
    preview_.ShowPhoto(MediaFileCopier::StoredPath(file), file.FileName());
}

void MediaPlayDispatcher::ShowText(const NSFileData& file) {
    preview_.ShowText(MediaFileCopier::StoredPath(file));
}

void MediaPlayDispatcher::ShowNoPreview(const NSFileData& file) {
    preview_.ShowNoPreview(file.FileName());
}

void MediaPlayDispatcher::Open(const NSFileData& file) {
    switch (AttachmentKind::Of(file.Suffix())) {
    case AttachmentKind::Kind::Picture:
        ShowPhoto(file);
        break;
    case AttachmentKind::Kind::Text:
        ShowText(file);
        break;
    case AttachmentKind::Kind::Video:
        Play(file, true); // as the video grid's tiles
        break;
    case AttachmentKind::Kind::Audio:
        Play(file, false); // as the audio grid's tiles
        break;
    case AttachmentKind::Kind::Document:
        ShowNoPreview(file);
        break;
    }
}
