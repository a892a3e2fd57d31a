#pragma once
#include "scan/NSWXChatRecordData.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

#include <functional>

// What the WeChat chat view shows and ticks, free of widgets: the accounts as delivered,
// their deleted-only and friend-search copies, the shown account and friend, the ticked
// friends and the message search.
//
// A friend is known by its account key and the key it is stored under in that account
// (`FriendId`). Ticks survive the filter and a later, fuller delivery as long as their
// friend is still there. "Everything ticked" means every friend of every account.
// Not thread-safe: the view guards it.
class NSDirizaWXChatRecordState {
  public:
    // A friend and where it is stored.
    struct FriendRef {
        QString account;
        QString key;
        const NSWXChatFriendData* data = nullptr;
    };

    static QString FriendId(const QString& account, const QString& key) {
        return account + QChar(0x1f) + key;
    }

    // New data (accounts in key order); filter and searches end, the shown account is
    // the first, ticks of friends that remain are kept.
    void SetData(const QMap<QString, NSWXChatRecordData>& accounts);
    void Clear();

    // The accounts as delivered, and the shown list (search result, else deleted-only
    // copies while the filter is on, else all). A deleted-only copy holds the chats
    // with recovered messages, each with those messages alone, and the deleted chats.
    const QList<NSWXChatRecordData>& Accounts() const { return accounts_; }
    const QList<NSWXChatRecordData>& Shown() const;
    // Messages over all friends of all accounts.
    qint64 MessageCount() const { return messageCount_; }
    // Friends over all accounts.
    int FriendCount() const { return friendCount_; }

    // The shown account (-1: none) and its friends in stored order.
    int ShownAccount() const { return shownAccount_; }
    const NSWXChatRecordData* ShownAccountData() const;
    void SelectAccount(int index);
    int FriendRows() const;
    FriendRef FriendAt(int row) const;
    // The shown friend (-1: none).
    int ShownFriend() const { return shownFriend_; }
    void SelectFriend(int row);

    // The deleted-only filter; unchanged value: false (nothing done).
    bool SetShowDeleteFile(bool on);
    bool ShowDeleteFile() const { return showDelete_; }
    // The friend search (by name); an empty text ends it. The account shown stays shown
    // when it is in the new list (while searching: when it has matches; else the first
    // account with matches is shown). Ticks are kept. False when nothing changed.
    bool SearchFriends(const QString& text);
    bool IsSearchingFriends() const { return searching_; }
    // The message search key (lower-cased); the shown friend's messages that match.
    void SetMessageKey(const QString& key) { messageKey_ = key.toLower(); }
    const QString& MessageKey() const { return messageKey_; }
    QList<NSWXChatSMSData> ShownMessages() const;
    // Whether a message is found by the message search `key` (lower-cased): pictures,
    // voice messages and videos never are.
    static bool MessageMatches(const NSWXChatSMSData& message, const QString& key);

    // Ticks.
    bool IsTicked(const QString& account, const QString& key) const {
        return ticked_.contains(FriendId(account, key));
    }
    void Tick(const QString& account, const QString& key, bool on);
    // Every friend of the shown account on or off (the header box).
    void TickShownAccount(bool on);
    void TickAll();
    void ClearTicks() { ticked_.clear(); }
    int TickedCount() const { return int(ticked_.size()); }
    bool HasTicks() const { return !ticked_.isEmpty(); }
    // Every friend of every account ticked.
    bool AllTicked() const { return friendCount_ > 0 && int(ticked_.size()) == friendCount_; }
    // The header box: the shown account has friends and all are ticked.
    bool HeaderTicked() const;
    // The friends a save writes: all (unfiltered) when everything is ticked, else the
    // ticked ones, in account and stored order.
    QList<FriendRef> SaveItems() const;

  private:
    static NSWXChatRecordData CopyWith(const NSWXChatRecordData& account,
                                       const std::function<bool(const NSWXChatFriendData&)>& keep);
    static NSWXChatRecordData DeletedOnly(const NSWXChatRecordData& account);
    void ShowFirst();

    QList<NSWXChatRecordData> accounts_;
    QList<NSWXChatRecordData> deleted_;
    QList<NSWXChatRecordData> search_;
    QSet<QString> ticked_;
    QString messageKey_;
    QString friendKey_;
    qint64 messageCount_ = 0;
    int friendCount_ = 0;
    int shownAccount_ = -1;
    int shownFriend_ = -1;
    bool showDelete_ = false;
    bool searching_ = false;
};
