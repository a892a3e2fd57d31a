#include "views/chat/NSDirizaWXAddressBookState.h"

namespace {

bool FieldMatches(const QString& field, const QByteArray& key) {
    const QByteArray text = field.toLower().toUtf8();
    return !text.isEmpty() && text.contains(key);
}

} // namespace

NSDirizaWXAddressBookState::Group NSDirizaWXAddressBookState::Convert(const NSWXAddressBookData& from,
                                                                      const QString& account) {
    Group group;
    group.name = from.AddressBookName();
    group.ico = from.ICO();
    group.type = from.WXType();
    group.deleted = from.bDelete();
    for (const NSAddressBookInfo& contact : from.AddressBook()) {
        group.contacts.append(int(contacts_.size()));
        contacts_.push_back(contact);
        accountOf_.push_back(account);
    }
    for (const NSWXAddressBookData& sub : from.NextObj())
        group.children.append(Convert(sub, account));
    return group;
}

void NSDirizaWXAddressBookState::SetData(const QList<NSWXChatAccount>* accounts) {
    Clear();
    if (!accounts) return;
    for (const NSWXChatAccount& from : *accounts) {
        Account account{from.key(), from.HeadUrl(), {}};
        for (const NSWXAddressBookData& group : from.AccountWXData())
            account.groups.append(Convert(group, from.key()));
        accounts_.append(account);
    }
    for (const Account& account : accounts_) {
        Account copy{account.key, account.headUrl, {}};
        for (const Group& group : account.groups) {
            Group g;
            if (CopyGroup(
                    group, [this](int id) { return contacts_[size_t(id)].bDelete(); }, &g))
                copy.groups.append(g);
        }
        deleted_.append(copy);
    }
}

void NSDirizaWXAddressBookState::Clear() {
    contacts_.clear();
    accountOf_.clear();
    accounts_.clear();
    deleted_.clear();
    search_.clear();
    ticked_.clear();
    pageKey_.clear();
    fieldKey_.clear();
    showDelete_ = false;
    searching_ = false;
}

int NSDirizaWXAddressBookState::ListedCount() const {
    int total = 0;
    for (const Account& account : accounts_)
        for (const Group& group : account.groups)
            total += int(group.contacts.size() + group.children.size());
    return total;
}

const NSAddressBookInfo* NSDirizaWXAddressBookState::Contact(int id) const {
    return id >= 0 && size_t(id) < contacts_.size() ? &contacts_[size_t(id)] : nullptr;
}

QString NSDirizaWXAddressBookState::AccountOf(int id) const {
    return id >= 0 && size_t(id) < accountOf_.size() ? accountOf_[size_t(id)] : QString();
}

const QList<NSDirizaWXAddressBookState::Account>& NSDirizaWXAddressBookState::InForce() const {
    if (searching_) return search_;
    if (showDelete_) return deleted_;
    return accounts_;
}

bool NSDirizaWXAddressBookState::CopyGroup(const Group& from, const std::function<bool(int)>& keep,
                                           Group* to) {
    to->name = from.name;
    to->ico = from.ico;
    to->type = from.type;
    to->deleted = from.deleted;
    for (int id : from.contacts)
        if (keep(id)) to->contacts.append(id);
    for (const Group& sub : from.children) {
        Group copy;
        if (CopyGroup(sub, keep, &copy)) to->children.append(copy);
    }
    return !to->contacts.isEmpty() || !to->children.isEmpty();
}

bool NSDirizaWXAddressBookState::SetShowDeleteFile(bool on) {
    if (on == showDelete_) return false;
    showDelete_ = on;
    Rebuild();
    return true;
}

void NSDirizaWXAddressBookState::SearchPage(const QString& key) {
    pageKey_ = key.toLower();
    lastWasPage_ = true;
    Rebuild();
}

void NSDirizaWXAddressBookState::SearchField(const QString& key) {
    fieldKey_ = key.toLower();
    lastWasPage_ = false;
    Rebuild();
}

void NSDirizaWXAddressBookState::Rebuild() {
    search_.clear();
    bool page = lastWasPage_ ? !pageKey_.isEmpty() : fieldKey_.isEmpty() && !pageKey_.isEmpty();
    const QString key = page ? pageKey_ : fieldKey_;
    searching_ = !key.isEmpty();
    if (!searching_) return;
    const QByteArray needle = key.toUtf8();
    const bool nickToo = !showDelete_;
    auto keep = [&](int id) {
        const NSAddressBookInfo& c = contacts_[size_t(id)];
        if (!page) return FieldMatches(c.NickName(), needle);
        return FieldMatches(c.WxId(), needle) || FieldMatches(c.Signature(), needle) ||
               FieldMatches(c.Phone(), needle) || (nickToo && FieldMatches(c.NickName(), needle));
    };
    for (const Account& account : showDelete_ ? deleted_ : accounts_) {
        Account copy{account.key, account.headUrl, {}};
        for (const Group& group : account.groups) {
            Group g;
            if (CopyGroup(group, keep, &g)) copy.groups.append(g);
        }
        search_.append(copy);
    }
}

QList<int> NSDirizaWXAddressBookState::Members(const Group& group) {
    QList<int> ids = group.contacts;
    for (const Group& sub : group.children)
        ids.append(Members(sub));
    return ids;
}

void NSDirizaWXAddressBookState::Tick(int id, bool on) {
    if (!Contact(id)) return;
    if (on)
        ticked_.insert(id);
    else
        ticked_.remove(id);
}

void NSDirizaWXAddressBookState::TickGroup(const Group& group, bool on) {
    for (int id : Members(group))
        Tick(id, on);
}

bool NSDirizaWXAddressBookState::GroupTicked(const Group& group) const {
    const QList<int> ids = Members(group);
    if (ids.isEmpty()) return false;
    for (int id : ids)
        if (!ticked_.contains(id)) return false;
    return true;
}

void NSDirizaWXAddressBookState::TickAll() {
    for (int id = 0; id < ContactCount(); ++id)
        ticked_.insert(id);
}

QList<NSDirizaWXAddressBookState::File>
NSDirizaWXAddressBookState::SaveFiles(const QString& allName,
                                      const std::function<QString(const QString&)>& accountName) const {
    QList<File> files;
    if (ticked_.isEmpty()) return files;
    if (AllTicked()) {
        File all{allName, {}};
        for (int id = 0; id < ContactCount(); ++id)
            all.ids.append(id);
        files.append(all);
        return files;
    }
    for (const Account& account : accounts_) {
        File file{accountName(account.key), {}};
        for (const Group& group : account.groups)
            for (int id : Members(group))
                if (ticked_.contains(id)) file.ids.append(id);
        if (!file.ids.isEmpty()) files.append(file);
    }
    return files;
}
