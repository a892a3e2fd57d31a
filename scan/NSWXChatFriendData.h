#pragma once
#include "scan/NSWXChatSMSData.h"
#include "scan/ResultProperty.h"

#include <QImage>
#include <QList>
#include <QString>

// One WeChat chat (with a friend, a group or an official account) and its messages in
// the order they were added. A fresh object has two empty message lists.
class NSWXChatFriendData {
    RESULT_PROPERTY(bool, bDelete, setBDelete) // peer deleted, or a message recovered
    RESULT_PROPERTY(bool, bFriend, setBFriend)
    RESULT_PROPERTY(QString, Account, setAccount) // key of the owning account
    RESULT_PROPERTY(QImage, AccountImage, setAccountImage)
    RESULT_PROPERTY(QString, AccountImageUrl, setAccountImageUrl)
    RESULT_PROPERTY(QString, FrinedAccount, setFrinedAccount) // display name of the chat
    RESULT_PROPERTY(QImage, FrinedImage, setFrinedImage)
    RESULT_PROPERTY(QString, FrinedAccountImageUrl, setFrinedAccountImageUrl)
    RESULT_PROPERTY(QString, csWxId, setCsWxId)
    RESULT_PROPERTY(QString, csWxName, setCsWxName)
    RESULT_PROPERTY(QString, csAddress, setCsAddress)
    RESULT_PROPERTY(QString, csBody, setCsBody)
    RESULT_PROPERTY(QString, csPhone, setCsPhone)
    RESULT_PROPERTY(QString, Date, setDate) // "yyyy-MM-dd" of the last message added
    RESULT_PROPERTY(QList<NSWXChatSMSData>, WXSMSData, setWXSMSData)
    RESULT_PROPERTY(QList<NSWXChatSMSData>, SearchWXSMSData, setSearchWXSMSData)

  public:
    // Appends a message to WXSMSData.
    void addWXSMSContent(const NSWXChatSMSData& message) { WXSMSData_.append(message); }
};
