#pragma once
// WeChat records as a scan delivers them, for the chat and contacts views' tests and the
// screenshots: chats with every message kind on both sides (pictures and a video
// thumbnail written as real image files), deleted friends, and contact trees with
// nested groups.
#include "scan/NSWXChatAccount.h"
#include "scan/NSWXChatRecordData.h"

#include <QList>
#include <QMap>
#include <QString>

namespace kit {

class QtWeChatRecords {
  public:
    // One message.
    static NSWXChatSMSData Message(qint64 kind, int receiveState, const QString& content,
                                   qint64 time = 1600000000, bool deleted = false);
    // A chat with the given messages.
    static NSWXChatFriendData Chat(const QString& account, const QString& name,
                                   QList<NSWXChatSMSData> messages, bool deleted = false);
    // A picture file of `width` × `height` at `path` (PNG); false when it could not be written.
    static bool WritePicture(const QString& path, int width, int height);

    // Accounts "me" (friends "Bob": every kind; deleted "Ann" and "Lee") and "work"
    // (friend "Carol"). Media files go into `mediaFolder` (made when missing).
    static QMap<QString, NSWXChatRecordData> Chats(const QString& mediaFolder);
    // Account "me": friends [A, B], official accounts [News], groups → G [M1, M2, M3]
    // with a subgroup G2 [N1]; account "work": friends [W1 (deleted)].
    static QList<NSWXChatAccount> Contacts();
    static NSAddressBookInfo Contact(const QString& account, const QString& nick, bool deleted = false);
};

} // namespace kit
