#include "scan/WXChatFriendDictionary.h"

void WXChatFriendDictionary::insert(const QString& key, const NSWXChatFriendData* chat) {
    if (!chat) {
        remove(key);
        return;
    }
    const auto it = index_.constFind(key);
    if (it != index_.constEnd()) {
        chats_[it.value()] = *chat;
        return;
    }
    index_.insert(key, chats_.size());
    keys_.append(key);
    chats_.append(*chat);
}

void WXChatFriendDictionary::remove(const QString& key) {
    const auto it = index_.constFind(key);
    if (it == index_.constEnd()) return;
    const qsizetype at = it.value();
    index_.erase(it);
    keys_.removeAt(at);
    chats_.removeAt(at);
    for (qsizetype i = at; i < keys_.size(); ++i)
        index_[keys_[i]] = i;
}

const NSWXChatFriendData* WXChatFriendDictionary::value(const QString& key) const {
    const auto it = index_.constFind(key);
    return it == index_.constEnd() ? nullptr : &chats_.at(it.value());
}

NSWXChatFriendData* WXChatFriendDictionary::value(const QString& key) {
    const auto it = index_.constFind(key);
    return it == index_.constEnd() ? nullptr : &chats_[it.value()];
}
