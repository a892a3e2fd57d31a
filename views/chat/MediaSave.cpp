#include "views/chat/MediaSave.h"

#include "views/chat/MediaFileCopier.h"
#include "views/chat/VoiceFile.h"
#include "views/system/frame/SaveNames.h"

#include <QDebug>
#include <QFile>

#include <exception>

MediaSave::MediaSave(QString folderName, int total, std::function<bool()> stop, std::function<void(int, int)> progress)
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

void MediaSave::Count(const QString& name, const QString& source, bool ok, const QString& what) {
    if (ok) {
        run_.Written();
        return;
    }
    run_.Failed();
    qWarning().noquote() << QStringLiteral("【日志】%1:Name:%2 , Path:%3").arg(what, name, source);
}

bool MediaSave::CopyFile(const NSFileData& file) {
    if (!target_ || !run_.Next()) return false;
    const QString source = MediaFileCopier::StoredPath(file);
    const auto r = MediaFileCopier::Copy(*target_, file.FileName(), source);
    Count(file.FileName(), source,
          r.ok(), r.outcome == MediaFileCopier::Outcome::SourceUnreadable ? QStringLiteral("读取文件失败")
                                                                           : QStringLiteral("写入文件失败"));
    return true;
}

bool MediaSave::SaveVoice(const NSFileData& file, IVoiceConverter& converter) {
    if (!target_ || !run_.Next()) return false;
    const QString source = MediaFileCopier::StoredPath(file);
    bool readable = false;
    const QByteArray head = MediaFileCopier::Head(source, 10, &readable);
    if (!readable) {
        Count(file.FileName(), source, false, QStringLiteral("读取语音失败"));
        return true;
    }
    if (!VoiceFile::HasSilkMark(head)) {
        const auto r = MediaFileCopier::Copy(*target_, VoiceFile::WithExtension(file.FileName(), QStringLiteral(".amr")),
                                             source, VoiceFile::MissingAmrHeader(head));
        Count(file.FileName(), source, r.ok(), QStringLiteral("写入语音失败"));
        return true;
    }
    const auto mp3 = target_->UniqueFileFor(VoiceFile::WithExtension(file.FileName(), QStringLiteral(".mp3")));
    bool converted = false;
    if (mp3) {
        try {
            converted = converter.SaveMP3(source, *mp3);
        } catch (const std::exception& e) {
            qWarning().noquote() << QStringLiteral("【日志】MP3 转换异常:%1").arg(QString::fromUtf8(e.what()));
            converted = false;
        } catch (...) {
            converted = false;
        }
        if (!converted && QFile::exists(*mp3)) QFile::remove(*mp3);
    }
    if (converted) {
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
