#pragma once
#include "gui/DirizaSaveResult.h"
#include "gui/SaveFolder.h"
#include "scan/NSWXChatFriendData.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Saves WeChat chats into the folder the user chose: under "<WXChatRecord>/<account>/"
// one CSV file per friend, and the friends' pictures, voice messages and videos copied
// from the backup into the resource folders beside it, each named after the moment of
// its copy in milliseconds. A number already used in this save or present on disk moves
// on to the next free one, so no copy replaces another and each row names its own file.
// Runs on the save thread.
class WXChatExport {
  public:
    // Milliseconds since 1970.
    using Clock = std::function<qint64()>;
    // One friend to save: its identity (account and stored key) and its chat.
    struct Item {
        QString account;
        QString key;
        NSWXChatFriendData chat;
    };

    WXChatExport(Clock clock, std::function<bool()> stop, std::function<void(int, int)> progress);

    // Writes the friends; a friend is written when its CSV file is complete (a friend
    // without messages only gets its folders). Every file that could not be copied (a
    // link or anything but a regular file in the stored file's place included) and every
    // friend whose CSV file failed counts as failed; a file the backup does not hold is
    // counted as missing, and its row says so.
    DirizaSaveResult Save(const QString& folder, const QList<Item>& friends);

    // The CSV cells of one message, before cleaning; `copy` copies a stored file into
    // the media folder of a kind (3, 34, 43) and answers the row's text for it. A text
    // that was not recovered is written empty.
    static QStringList Row(const NSWXChatSMSData& message, const std::function<QString(int kind)>& copy);

  private:
    enum class CopyOutcome { Copied, Missing, Unreadable, WriteFailed };
    CopyOutcome Copy(const QString& source, const SaveFolder& folder, const QString& extension,
                     QString* name);

    Clock clock_;
    std::function<bool()> stop_;
    std::function<void(int, int)> progress_;
    QHash<QString, QSet<qint64>> usedNumbers_; // by media folder
};
