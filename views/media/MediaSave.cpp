#include "views/media/MediaSave.h"

#include "views/media/VoiceFile.h"
#include "views/frame/SaveNames.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <cerrno>
#include <exception>
#include <unistd.h>

MediaSave::MediaSave(QString folderName, int total, std::function<bool()> stop,
                     std::function<void(int, int)> progress)
    : folderName_(std::move(folderName)), run_(total, std::move(stop), std::move(progress)) {}

bool MediaSave::Open(const QString& folder) {
    const SaveFolder root(folder);
    if (root.isValid()) target_ = SaveNames::SubFolder(root, folderName_);
    if (!target_) {
        qWarning().noquote() << QStringLiteral("【日志】创建文件夹失败:%1/%2").arg(folder, folderName_);
        run_.Failed(run_.Total());
        return false;
    }
    return true;
}

void MediaSave::Count(const QString& name, const QString& source, MediaFileCopier::Outcome outcome,
                      const QString& what) {
    switch (outcome) {
    case MediaFileCopier::Outcome::Written:
    case MediaFileCopier::Outcome::Identical:
        run_.Written();
        return;
    case MediaFileCopier::Outcome::SourceMissing:
        run_.Missing();
        qWarning().noquote() << QStringLiteral("【日志】文件不在备份中:Name:%1 , Path:%2").arg(name, source);
        return;
    case MediaFileCopier::Outcome::SourceUnreadable:
    case MediaFileCopier::Outcome::WriteFailed:
        break;
    }
    run_.Failed();
    qWarning().noquote() << QStringLiteral("【日志】%1:Name:%2 , Path:%3").arg(what, name, source);
}

bool MediaSave::CopyFile(const NSFileData& file) {
    if (!target_ || !run_.Next()) return false;
    const QString source = MediaFileCopier::StoredPath(file);
    const auto r = MediaFileCopier::Copy(*target_, file.FileName(), source);
    Count(file.FileName(), source, r.outcome,
          r.outcome == MediaFileCopier::Outcome::SourceUnreadable ? QStringLiteral("读取文件失败")
                                                                  : QStringLiteral("写入文件失败"));
    return true;
}

bool MediaSave::Convert(const QString& source, const QString& mp3Name, IVoiceConverter& converter) {
    // The converter writes into a hidden name of this save's own in the target folder
    // (no other writer uses it), removed on every way out unless it was moved.
    const QString part = target_->folder() + QStringLiteral("/.") +
                         QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".mp3.part");
    struct RemovePart {
        QString path;
        ~RemovePart() {
            if (!path.isEmpty()) QFile::remove(path);
        }
    } own;
    bool converted = false;
    try {
        // Only a file that the converter made is ours: one already there is not.
        if (QFileInfo(part).exists() || QFileInfo(part).isSymLink()) return false;
        converted = converter.SaveMP3(source, part);
        own.path = part;
    } catch (const std::exception& e) {
        own.path = part;
        qWarning().noquote()
            << QStringLiteral("【日志】MP3 转换异常:%1 , Path:%2").arg(QString::fromUtf8(e.what()), source);
        return false;
    } catch (...) {
        own.path = part;
        return false;
    }
    if (!converted) return false;
    // The first free name; link() never replaces a file that took it meanwhile.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto mp3 = target_->UniqueFileFor(mp3Name);
        if (!mp3) return false;
        if (::link(QFile::encodeName(part).constData(), QFile::encodeName(*mp3).constData()) == 0)
            return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

bool MediaSave::SaveVoice(const NSFileData& file, IVoiceConverter& converter) {
    if (!target_ || !run_.Next()) return false;
    const QString source = MediaFileCopier::StoredPath(file);
    MediaFileCopier::Source state = MediaFileCopier::Source::Damaged;
    const QByteArray head = MediaFileCopier::Head(source, 10, &state);
    if (state != MediaFileCopier::Source::Readable) {
        Count(file.FileName(), source,
              state == MediaFileCopier::Source::Missing ? MediaFileCopier::Outcome::SourceMissing
                                                        : MediaFileCopier::Outcome::SourceUnreadable,
              QStringLiteral("读取语音失败"));
        return true;
    }
    if (!VoiceFile::HasSilkMark(head)) {
        const auto r =
            MediaFileCopier::Copy(*target_, VoiceFile::WithExtension(file.FileName(), QStringLiteral(".amr")),
                                  source, VoiceFile::MissingAmrHeader(head));
        Count(file.FileName(), source, r.outcome, QStringLiteral("写入语音失败"));
        return true;
    }
    if (Convert(source, VoiceFile::WithExtension(file.FileName(), QStringLiteral(".mp3")), converter)) {
        run_.Written();
        return true;
    }
    // Nothing is lost: the voice file is kept as it is, and the failure counted.
    const auto raw = MediaFileCopier::Copy(*target_, file.FileName(), source);
    qWarning().noquote() << QStringLiteral("【日志】MP3 转换失败:Name:%1 , Path:%2%3")
                                .arg(file.FileName(), source,
                                     raw.ok() ? QStringLiteral(" (原文件已保存)") : QString());
    run_.Failed();
    return true;
}
