#include "views/chat/WXChatExport.h"

#include "gui/NSLanguageText.h"
#include "views/media/MediaFileCopier.h"
#include "views/frame/CsvWriter.h"
#include "views/frame/ResultText.h"
#include "views/frame/SaveNames.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 kChunk = 1024 * 1024;

// A text that was not recovered is an empty cell.
QString OrEmpty(const QString& text) {
    return text.isNull() ? QString("") : text;
}

// The CSV file name of a friend in one account folder: its name made safe (its stored
// key when it has no name); a name that another friend of this save already has gets
// " (2)", " (3)"...
class CsvNames {
  public:
    QString NameFor(const QString& id, const QString& friendName, const QString& key) {
        if (const auto it = byId_.constFind(id); it != byId_.constEnd()) return *it;
        const QString stem = SaveFolder::SafeName(friendName.isEmpty() ? key : friendName);
        QString name = SaveFolder::SafeName(stem + ".csv");
        for (int n = 2; used_.contains(name.toLower()); ++n)
            name = SaveFolder::SafeName(stem + QString(" (%1).csv").arg(n));
        used_.insert(name.toLower());
        byId_.insert(id, name);
        return name;
    }

  private:
    QHash<QString, QString> byId_;
    QSet<QString> used_;
};

} // namespace

WXChatExport::WXChatExport(Clock clock, std::function<bool()> stop, std::function<void(int, int)> progress)
    : clock_(std::move(clock)), stop_(std::move(stop)), progress_(std::move(progress)) {}

QStringList WXChatExport::Row(const NSWXChatSMSData& m, const std::function<QString(int kind)>& copy) {
    QString label, content;
    switch (m.eType()) {
    case 1:
        label = LanguageText("WXChatRecordText");
        content = OrEmpty(m.Content());
        break;
    case 3:
        label = LanguageText("WXChatRecordPhoto");
        content = copy(3);
        break;
    case 34:
        label = LanguageText("WXChatRecordAudio");
        content = copy(34);
        break;
    case 43:
    case 62:
        label = LanguageText("WXChatRecordVideo");
        content = copy(43);
        break;
    case 42:
        label = LanguageText("WXChatRecordMP");
        content = SafeFormat(QString::fromUtf8("%@:%@ ，%@:%@"),
                             {LanguageText("WXChatRecordMPName"), m.BcardNickName(),
                              LanguageText("WXChatRecordMPWX"), m.BcardPhone()});
        break;
    case 47:
        label = LanguageText("WXChatRecordBQ");
        content = SafeFormat("[%@]", {LanguageText("WXChatRecordBQ")});
        break;
    case 48:
        label = LanguageText("WXChatRecordPos");
        content = OrEmpty(m.Content());
        break;
    case 49:
        label = LanguageText("WXChatRecordUrl");
        content = OrEmpty(m.URL());
        break;
    case 50:
        label = m.bIsVoice() ? LanguageText("WXChatRecordYuYin") : LanguageText("WXChatRecordShiPin");
        content = m.CallTime() > 0 ? SafeFormat("%@:%d:%d", {LanguageText("WXChatRecordTimeLength"),
                                                             QString::number(m.CallTime() / 60),
                                                             QString::number(m.CallTime() % 60)})
                                   : LanguageText("WXChatRecordCancelChat");
        break;
    case 10001:
        label = LanguageText("WXChatRecordHongBao");
        content = LanguageText("WXChatRecordHongBao");
        break;
    default:
        label = LanguageText("WXChatRecordSys");
        content = m.Content().isNull() ? QString("") : m.Content();
        break;
    }
    return {OrEmpty(m.csWxId()),
            ResultText::LocalTime(m.lDataTime()),
            m.receiveState() == 1 ? LanguageText("WXChatRecordReceiveState1")
                                  : LanguageText("WXChatRecordReceiveState2"),
            label,
            content,
            m.bDelete() ? LanguageText("Delete") : LanguageText("NotDelete"),
            m.ImageUrl()};
}

WXChatExport::CopyOutcome WXChatExport::Copy(const QString& source, const SaveFolder& folder,
                                             const QString& extension, QString* name) {
    // The stored file is opened without following a link; a link or anything but a
    // regular file in its place is a damaged entry.
    QFile in;
    switch (MediaFileCopier::OpenStored(source, in)) {
    case MediaFileCopier::Source::Readable:
        break;
    case MediaFileCopier::Source::Missing:
        return CopyOutcome::Missing;
    case MediaFileCopier::Source::Damaged:
        qWarning().noquote() << QString::fromUtf8("【日志】备份文件已损坏(链接或非普通文件):") + source;
        return CopyOutcome::Unreadable;
    }
    QSet<qint64>& used = usedNumbers_[folder.folder()];
    qint64 number = clock_ ? clock_() : 0;
    for (int attempt = 0; attempt < 1000; ++attempt, ++number) {
        while (used.contains(number) ||
               QFileInfo::exists(folder.folder() + "/" + QString::number(number) + extension))
            ++number;
        used.insert(number);
        const QString fileName = QString::number(number) + extension;
        const auto path = folder.FileFor(fileName);
        if (!path) return CopyOutcome::WriteFailed;
        QFile out(*path);
        // NewOnly: a file that appeared meanwhile is never replaced; try the next number.
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(*path)) continue;
            return CopyOutcome::WriteFailed;
        }
        bool ok = true;
        while (ok && !in.atEnd()) {
            const QByteArray chunk = in.read(kChunk);
            if (chunk.isEmpty() && in.error() != QFileDevice::NoError)
                ok = false;
            else
                ok = out.write(chunk) == chunk.size();
        }
        ok = ok && in.error() == QFileDevice::NoError && out.flush();
        out.close();
        if (!ok) {
            out.remove();
            qWarning().noquote() << QString::fromUtf8("【日志】写入错误") << *path;
            return CopyOutcome::WriteFailed;
        }
        *name = fileName;
        return CopyOutcome::Copied;
    }
    return CopyOutcome::WriteFailed;
}

DirizaSaveResult WXChatExport::Save(const QString& folder, const QList<Item>& friends) {
    DirizaSaveResult result;
    if (friends.isEmpty()) return result;
    const SaveFolder out(folder);
    const auto root = SaveNames::SubFolder(out, LanguageText("WXChatRecord"));
    if (!root) {
        qWarning().noquote() << QString::fromUtf8("【日志】微信聊天记录保存失败！") << folder;
        result.failed = int(friends.size());
        return result;
    }
    const QString resName = SaveFolder::SafeName(LanguageText("WXChatRecordRes"));
    const QString photoName = SaveFolder::SafeName(LanguageText("WXChatRecordPhoto"));
    const QString audioName = SaveFolder::SafeName(LanguageText("WXChatRecordAudio"));
    const QString videoName = SaveFolder::SafeName(LanguageText("WXChatRecordVideo"));
    QHash<QString, CsvNames> csvNames; // by account folder
    const int total = int(friends.size());
    for (int i = 0; i < total; ++i) {
        if (stop_ && stop_()) return result;
        if (progress_) progress_(total, i + 1);
        const Item& item = friends[i];
        const QString accountKey = item.account.isEmpty() ? item.chat.Account() : item.account;
        const auto account = SaveNames::SubFolder(*root, accountKey);
        const auto res = account ? SaveNames::SubFolder(*account, resName) : std::nullopt;
        const auto photos = res ? SaveNames::SubFolder(*res, photoName) : std::nullopt;
        const auto audio = photos ? SaveNames::SubFolder(*res, audioName) : std::nullopt;
        const auto video = audio ? SaveNames::SubFolder(*res, videoName) : std::nullopt;
        if (!video) {
            qWarning().noquote() << QString::fromUtf8("【日志】微信聊天记录保存失败！") << accountKey;
            result.failed += total - i;
            return result;
        }
        const QList<NSWXChatSMSData>& messages = item.chat.WXSMSData();
        if (messages.isEmpty()) {
            ++result.written;
            continue;
        }
        const QString csvName = csvNames[account->folder()].NameFor(item.account + QChar(0x1f) + item.key,
                                                                    item.chat.FrinedAccount(), item.key);
        CsvWriter csv(*account, csvName,
                      {QString::fromUtf8("【日志】短信.csv, 没有足够可用空间"),
                       QString::fromUtf8("【日志】写入错误"), QString::fromUtf8("【日志】无法写入内容")});
        if (!csv.IsOpen()) {
            ++result.failed;
            continue;
        }
        bool ok = csv.WriteHeader(LanguageText("WXChatRecordDataStruct"));
        for (const NSWXChatSMSData& message : messages) {
            if (stop_ && stop_()) {
                csv.Close();
                return result;
            }
            auto copy = [&](int kind) -> QString {
                const SaveFolder& media = kind == 3 ? *photos : kind == 34 ? *audio : *video;
                const QString mediaName = kind == 3 ? photoName : kind == 34 ? audioName : videoName;
                const QString extension = kind == 3 ? ".jpg" : kind == 34 ? ".aud" : ".mp4";
                QString fileName;
                // What the log names: the stored file, or the message when the backup has none.
                const QString what = message.ResourcesFile().isEmpty()
                                         ? QStringLiteral("%1/%2 %3 %4")
                                               .arg(accountKey, item.chat.FrinedAccount(),
                                                    ResultText::LocalTime(message.lDataTime()),
                                                    QString::number(message.eType()))
                                         : message.ResourcesFile();
                switch (Copy(message.ResourcesFile(), media, extension, &fileName)) {
                case CopyOutcome::Copied:
                    return resName + "/" + mediaName + "/" + fileName;
                case CopyOutcome::Missing:
                    ++result.missing;
                    qWarning().noquote() << QString::fromUtf8("【日志】文件不在备份中:") + what;
                    return LanguageText("WXChatRecordNotInBackup");
                case CopyOutcome::Unreadable:
                    qWarning().noquote() << QString::fromUtf8("【日志】无法读取文件:") + what;
                    break;
                case CopyOutcome::WriteFailed:
                    qWarning().noquote() << QString::fromUtf8("【日志】无法写入文件:") + what;
                    break;
                }
                ++result.failed;
                return QString("");
            };
            ok = csv.WriteLine(Row(message, copy)) && ok;
        }
        ok = csv.Close() && ok;
        if (ok)
            ++result.written;
        else
            ++result.failed;
    }
    return result;
}
