#pragma once
#include "scan/NSWXChatFriendData.h"
#include "scan/ResultProperty.h"
#include "scan/WXChatFriendDictionary.h"

#include <QImage>
#include <QString>

// One WeChat account and its chats. `Account` is the account's key everywhere (its
// nickname, made unique among the accounts of a scan).
class NSWXChatRecordData {
    RESULT_PROPERTY(QString, Account, setAccount)
    RESULT_PROPERTY(QImage, image, setImage)
    RESULT_PROPERTY(QString, sWxID, setSWxID) // the account's own user name
    RESULT_PROPERTY(QString, sRoot, setSRoot) // account folder; message media is below it
    RESULT_PROPERTY(QString, HeadImageUrl, setHeadImageUrl)
    RESULT_PROPERTY(WXChatFriendDictionary, WXChatFriendArray, setWXChatFriendArray)

  public:
    // Stores a chat under a key (a null chat removes the key).
    void addWXChatFriendObj(const NSWXChatFriendData* chat, const QString& key) {
        WXChatFriendArray_.insert(key, chat);
    }
    // The chat stored under the key, or null.
    const NSWXChatFriendData* getWXCharFriendobj(const QString& key) const {
        return WXChatFriendArray_.value(key);
    }
    NSWXChatFriendData* getWXCharFriendobj(const QString& key) { return WXChatFriendArray_.value(key); }
};
