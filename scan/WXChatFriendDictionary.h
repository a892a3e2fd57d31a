#pragma once
#include "scan/NSWXChatFriendData.h"

#include <QHash>
#include <QList>
#include <QString>

// The chats of one WeChat account by chat key, in the order their keys were first
// stored. Storing under a known key replaces that chat in its place.
class WXChatFriendDictionary {
  public:
    // Stores the chat under the key; a null chat removes the key.
    void insert(const QString& key, const NSWXChatFriendData* chat);
    void remove(const QString& key);
    // The chat stored under the key, or null. The pointer is valid until the next
    // insertion or removal.
    const NSWXChatFriendData* value(const QString& key) const;
    NSWXChatFriendData* value(const QString& key);

    bool isEmpty() const { return chats_.isEmpty(); }
    qsizetype size() const { return chats_.size(); }
    // Keys and chats in insertion order (the same positions).
    const QList<QString>& keys() const { return keys_; }
    const QList<NSWXChatFriendData>& chats() const { return chats_; }

  private:
    QList<QString> keys_;
    QList<NSWXChatFriendData> chats_;
    QHash<QString, qsizetype> index_; // key -> position
};
