#pragma once
#include "gui/DirizaSaveResult.h"
#include "scan/NSWXChatAccount.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <vector>

// What the WeChat contacts view shows and ticks, free of widgets. Every contact is known
// by its place in its account's tree (an id, counted over all accounts in tree order:
// per group its contacts, then its subgroups'); the deleted-only and search copies of
// the trees refer to the same ids, so ticks hold across filter and search, and every
// contact counts once towards "everything ticked". Not thread-safe: the view guards it.
class NSDirizaWXAddressBookState {
  public:
    struct Group {
        QString name;
        QString ico;
        qint64 type = 0;
        bool deleted = false;
        QList<int> contacts;   // ids
        QList<Group> children; // subgroups
    };
    struct Account {
        QString key;
        QString headUrl;
        QList<Group> groups;
    };

    // New data (null: none); filter and searches end, ticks are dropped.
    void SetData(const QList<NSWXChatAccount>* accounts);
    void Clear();

    const std::vector<NSAddressBookInfo>& Contacts() const { return contacts_; }
    const NSAddressBookInfo* Contact(int id) const;
    // The account key of a contact's tree.
    QString AccountOf(int id) const;
    // Contacts over all accounts, each place once.
    int ContactCount() const { return int(contacts_.size()); }
    // What the type list counts: per account and top group its contacts and one per
    // subgroup (a group chat counts once, not once per member).
    int ListedCount() const;

    // The accounts as delivered, and the trees in force (search, else deleted-only while
    // the filter is on, else all); both have every account at the same position.
    const QList<Account>& AllAccounts() const { return accounts_; }
    const QList<Account>& InForce() const;

    bool SetShowDeleteFile(bool on);
    bool ShowDeleteFile() const { return showDelete_; }
    // The recovery page's search (id, signature, phone, and the nickname while the
    // filter is off) and the view's own search field (nickname). An empty key hands
    // over to the other search when it has a key, else the search ends.
    void SearchPage(const QString& key);
    void SearchField(const QString& key);
    const QString& PageKey() const { return pageKey_; }
    bool IsSearching() const { return searching_; }

    // Every contact of a group and of its subgroups, each once, in tree order.
    static QList<int> Members(const Group& group);

    bool IsTicked(int id) const { return ticked_.contains(id); }
    void Tick(int id, bool on);
    void TickGroup(const Group& group, bool on);
    // A group's box: it has members and every one is ticked.
    bool GroupTicked(const Group& group) const;
    void TickAll();
    void ClearTicks() { ticked_.clear(); }
    int TickedCount() const { return int(ticked_.size()); }
    bool AllTicked() const { return !contacts_.empty() && int(ticked_.size()) == ContactCount(); }

    // The files a save writes: with everything ticked one file `allName` holding every
    // contact; else one file per account, named by `accountName`, with its ticked ones.
    struct File {
        QString name;
        QList<int> ids;
    };
    QList<File> SaveFiles(const QString& allName,
                          const std::function<QString(const QString& account)>& accountName) const;

  private:
    Group Convert(const NSWXAddressBookData& group, const QString& account);
    void Rebuild();
    static bool CopyGroup(const Group& from, const std::function<bool(int)>& keep, Group* to);

    std::vector<NSAddressBookInfo> contacts_;
    std::vector<QString> accountOf_;
    QList<Account> accounts_;
    QList<Account> deleted_;
    QList<Account> search_;
    QSet<int> ticked_;
    QString pageKey_, fieldKey_;
    bool lastWasPage_ = true;
    bool showDelete_ = false;
    bool searching_ = false;
};
