#include "views/chat/NSDirizaWXChatRecordState.h"

#include "views/chat/NSWXChatRecordContentCell.h"

NSWXChatRecordData
NSDirizaWXChatRecordState::CopyWith(const NSWXChatRecordData& account,
                                    const std::function<bool(const NSWXChatFriendData&)>& keep) {
    NSWXChatRecordData copy = account;
    copy.setWXChatFriendArray(WXChatFriendDictionary());
    const WXChatFriendDictionary& friends = account.WXChatFriendArray();
    for (qsizetype i = 0; i < friends.size(); ++i)
        if (keep(friends.chats()[i])) copy.addWXChatFriendObj(&friends.chats()[i], friends.keys()[i]);
    return copy;
}

NSWXChatRecordData NSDirizaWXChatRecordState::DeletedOnly(const NSWXChatRecordData& account) {
    NSWXChatRecordData copy = account;
    copy.setWXChatFriendArray(WXChatFriendDictionary());
    const WXChatFriendDictionary& friends = account.WXChatFriendArray();
    for (qsizetype i = 0; i < friends.size(); ++i) {
        const NSWXChatFriendData& chat = friends.chats()[i];
        QList<NSWXChatSMSData> deleted;
        for (const NSWXChatSMSData& m : chat.WXSMSData())
            if (m.bDelete()) deleted.append(m);
        // A chat with recovered messages shows those alone; a deleted chat whose
        // messages are all live shows them (they belong to the deleted chat).
        if (deleted.isEmpty() && !chat.bDelete()) continue;
        NSWXChatFriendData shown = chat;
        if (!deleted.isEmpty()) shown.setWXSMSData(deleted);
        copy.addWXChatFriendObj(&shown, friends.keys()[i]);
    }
    return copy;
}

void NSDirizaWXChatRecordState::SetData(const QMap<QString, NSWXChatRecordData>& accounts) {
    accounts_.clear();
    deleted_.clear();
    search_.clear();
    messageCount_ = 0;
    friendCount_ = 0;
    QSet<QString> present;
    for (auto it = accounts.cbegin(); it != accounts.cend(); ++it) {
        NSWXChatRecordData account = it.value();
        // The map key is the account key; the friends' ticks use it.
        if (account.Account().isEmpty()) account.setAccount(it.key());
        const WXChatFriendDictionary& friends = account.WXChatFriendArray();
        for (qsizetype i = 0; i < friends.size(); ++i) {
            messageCount_ += friends.chats()[i].WXSMSData().size();
            present.insert(FriendId(account.Account(), friends.keys()[i]));
        }
        friendCount_ += int(friends.size());
        deleted_.append(DeletedOnly(account));
        accounts_.append(account);
    }
    ticked_.intersect(present);
    showDelete_ = false;
    searching_ = false;
    friendKey_.clear();
    ShowFirst();
}

void NSDirizaWXChatRecordState::Clear() {
    accounts_.clear();
    deleted_.clear();
    search_.clear();
    ticked_.clear();
    messageKey_.clear();
    friendKey_.clear();
    messageCount_ = 0;
    friendCount_ = 0;
    shownAccount_ = -1;
    shownFriend_ = -1;
    showDelete_ = false;
    searching_ = false;
}

const QList<NSWXChatRecordData>& NSDirizaWXChatRecordState::Shown() const {
    if (searching_) return search_;
    if (showDelete_) return deleted_;
    return accounts_;
}

void NSDirizaWXChatRecordState::ShowFirst() {
    shownAccount_ = Shown().isEmpty() ? -1 : 0;
    shownFriend_ = -1;
}

const NSWXChatRecordData* NSDirizaWXChatRecordState::ShownAccountData() const {
    const auto& shown = Shown();
    return shownAccount_ >= 0 && shownAccount_ < shown.size() ? &shown[shownAccount_] : nullptr;
}

void NSDirizaWXChatRecordState::SelectAccount(int index) {
    shownAccount_ = index >= 0 && index < Shown().size() ? index : -1;
    shownFriend_ = -1;
}

int NSDirizaWXChatRecordState::FriendRows() const {
    const NSWXChatRecordData* account = ShownAccountData();
    return account ? int(account->WXChatFriendArray().size()) : 0;
}

NSDirizaWXChatRecordState::FriendRef NSDirizaWXChatRecordState::FriendAt(int row) const {
    const NSWXChatRecordData* account = ShownAccountData();
    if (!account || row < 0 || row >= account->WXChatFriendArray().size()) return {};
    const WXChatFriendDictionary& friends = account->WXChatFriendArray();
    return {account->Account(), friends.keys()[row], &friends.chats()[row]};
}

void NSDirizaWXChatRecordState::SelectFriend(int row) {
    shownFriend_ = row >= 0 && row < FriendRows() ? row : -1;
}

bool NSDirizaWXChatRecordState::SetShowDeleteFile(bool on) {
    if (on == showDelete_) return false;
    showDelete_ = on;
    // While a friend search is active the shown list stays its result.
    ShowFirst();
    return true;
}

bool NSDirizaWXChatRecordState::SearchFriends(const QString& text) {
    // The account the user is on, by name (the search shows copies of the accounts). The
    // ticks stay as they are: they name friends, whichever list shows them.
    const NSWXChatRecordData* before = ShownAccountData();
    const QString current = before ? before->Account() : QString();
    const bool hadAccount = before != nullptr;
    if (text.isEmpty()) {
        if (!searching_) return false;
        searching_ = false;
        friendKey_.clear();
        search_.clear();
    } else {
        search_.clear();
        friendKey_ = text.toLower();
        const QByteArray needle = friendKey_.toUtf8();
        const auto& source = showDelete_ ? deleted_ : accounts_;
        for (const NSWXChatRecordData& account : source)
            search_.append(CopyWith(account, [&](const NSWXChatFriendData& f) {
                const QByteArray name = f.FrinedAccount().toLower().toUtf8();
                return !name.isEmpty() && name.contains(needle);
            }));
        searching_ = true;
    }
    const auto& shown = Shown();
    int keep = -1;
    if (hadAccount)
        for (int i = 0; i < shown.size(); ++i)
            if (shown[i].Account() == current) {
                keep = i;
                break;
            }
    // A search whose matches all lie in other accounts shows the first of those.
    if (searching_ && (keep < 0 || shown[keep].WXChatFriendArray().isEmpty()))
        for (int i = 0; i < shown.size(); ++i)
            if (!shown[i].WXChatFriendArray().isEmpty()) {
                keep = i;
                break;
            }
    shownAccount_ = keep >= 0 ? keep : (shown.isEmpty() ? -1 : 0);
    shownFriend_ = -1;
    return true;
}

bool NSDirizaWXChatRecordState::MessageMatches(const NSWXChatSMSData& message, const QString& key) {
    const qint64 kind = message.eType();
    if (kind == 3 || kind == 34 || kind == 43) return false;
    // A call is found by the duration text it shows.
    const QByteArray hay = NSWXChatRecordContentCell::DisplayText(message).toLower().toUtf8();
    return !hay.isEmpty() && hay.contains(key.toUtf8());
}

QList<NSWXChatSMSData> NSDirizaWXChatRecordState::ShownMessages() const {
    const FriendRef shown = FriendAt(shownFriend_);
    if (!shown.data) return {};
    if (messageKey_.isEmpty()) return shown.data->WXSMSData();
    QList<NSWXChatSMSData> found;
    for (const NSWXChatSMSData& m : shown.data->WXSMSData())
        if (MessageMatches(m, messageKey_)) found.append(m);
    return found;
}

void NSDirizaWXChatRecordState::Tick(const QString& account, const QString& key, bool on) {
    if (on)
        ticked_.insert(FriendId(account, key));
    else
        ticked_.remove(FriendId(account, key));
}

void NSDirizaWXChatRecordState::TickShownAccount(bool on) {
    const NSWXChatRecordData* account = ShownAccountData();
    if (!account) return;
    for (const QString& key : account->WXChatFriendArray().keys())
        Tick(account->Account(), key, on);
}

void NSDirizaWXChatRecordState::TickAll() {
    ticked_.clear();
    for (const NSWXChatRecordData& account : accounts_)
        for (const QString& key : account.WXChatFriendArray().keys())
            ticked_.insert(FriendId(account.Account(), key));
}

bool NSDirizaWXChatRecordState::HeaderTicked() const {
    const NSWXChatRecordData* account = ShownAccountData();
    if (!account || account->WXChatFriendArray().isEmpty()) return false;
    for (const QString& key : account->WXChatFriendArray().keys())
        if (!IsTicked(account->Account(), key)) return false;
    return true;
}

QList<NSDirizaWXChatRecordState::FriendRef> NSDirizaWXChatRecordState::SaveItems() const {
    QList<FriendRef> items;
    if (ticked_.isEmpty()) return items;
    const bool all = AllTicked();
    for (const NSWXChatRecordData& account : accounts_) {
        const WXChatFriendDictionary& friends = account.WXChatFriendArray();
        for (qsizetype i = 0; i < friends.size(); ++i)
            if (all || IsTicked(account.Account(), friends.keys()[i]))
                items.append({account.Account(), friends.keys()[i], &friends.chats()[i]});
    }
    return items;
}
