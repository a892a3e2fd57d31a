// The WeChat result conversion of the scan bridge, on in-memory parser records: account
// keys, contact trees, chats keyed by peer, the message type table, progress texts,
// deliveries per account, and records the conversion must pass over.
#include "scan/DeviceScanManager.h"

#include "core/records/ScanDataType.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/scan/engine/ScanFakes.h"
#include "tests/scan/QtGtestMain.h"
#include "tests/scan/RecordingScanReceiver.h"

#include <QDateTime>
#include <QGuiApplication>

#include <gtest/gtest.h>

using scantest::RecordingScanReceiver;

namespace {

struct AccountSpec {
    std::string nickName, userName, headUrl, folder;
};

// A bridge with a fixed text table, a filter, a resource lookup, and the WeChat accounts
// of a finished scan of nothing (StartScan prepares the account objects).
struct Bridge {
    DeviceScanManager bridge;
    RecordingScanReceiver receiver;
    scantest::FakeFileParser parser;
    QMap<QString, QString> texts{
        {"HaoYou", "Friends"},    {"GongZhongHao", "Official"},
        {"Qun", "Group"},         {"Unknown", "Unknown"},
        {"WxTypeExp", "Sticker"}, {"PROGRESSTXT_WXCONVERT", "Analysing chats...[%1/%2]"}};
    QStringList filtered{"weixin-alias"};

    explicit Bridge(const std::vector<AccountSpec>& accounts) {
        bridge.SetReceiverSource([this] { return &receiver; });
        bridge.SetTextLookup(
            [this](const QString& key) -> std::optional<QString> { return texts.value(key, key); });
        bridge.SetWxLookups([this](const QString& alias, const QString&) { return filtered.contains(alias); },
                            [](const QString& path) { return QStringLiteral("/stored") + path; });
        Prepare(accounts);
    }
    void Prepare(const std::vector<AccountSpec>& accounts) {
        parser.accounts.clear();
        for (size_t i = 0; i < accounts.size(); ++i) {
            parser.AddAccount(int(i));
            parser.accounts[i]->nickName = accounts[i].nickName;
            parser.accounts[i]->userName = accounts[i].userName;
            parser.accounts[i]->headImageUrl = accounts[i].headUrl;
            parser.accounts[i]->accountFolder = accounts[i].folder;
        }
        bridge.SetScanState(true);
        bridge.StartScan(&parser, 0, "/b/", 14, {}, "/tmp/out");
    }
};

// Parser records as the WeChat parsers leave them: contacts (peers) and sessions.
struct Records {
    RecordList<WxContactRecord> contacts;
    RecordList<WxSessionRecord> sessions;

    WxContactRecord* Contact(int account, int kind, const std::string& user, const std::string& nick,
                             const std::string& alias = "") {
        auto c = std::make_unique<WxContactRecord>();
        c->accountIndex = account;
        c->kind = kind;
        c->userName = user;
        c->nickName = nick;
        c->alias = alias;
        return contacts.append(std::move(c));
    }
    static WxContactRecord* Member(WxContactRecord* group, const std::string& user, const std::string& nick,
                                   bool deleted = false) {
        auto c = std::make_unique<WxContactRecord>();
        c->accountIndex = group->accountIndex;
        c->kind = 3;
        c->userName = user;
        c->nickName = nick;
        c->deleted = deleted;
        c->parent = group;
        return group->members.append(std::move(c));
    }
    WxSessionRecord* Session(WxContactRecord* peer) {
        auto s = std::make_unique<WxSessionRecord>();
        s->peer = peer;
        return sessions.append(std::move(s));
    }
    static WxMessageRecord* Message(WxSessionRecord* s, int type, int64_t time, bool fromMe = false,
                                    bool deleted = false) {
        auto m = std::make_unique<WxMessageRecord>();
        m->type = type;
        m->time = time;
        m->fromMe = fromMe;
        m->deleted = deleted;
        m->senderDisplayName = "Peer";
        m->senderHeadUrl = "http://head/peer";
        return s->messages.append(std::move(m));
    }
};

QString LocalDay(int64_t t) {
    return QDateTime::fromSecsSinceEpoch(t).toString("yyyy-MM-dd");
}

const std::vector<AccountSpec> kOneAccount = {
    {"Me", "wxid_me", "http://head/me", "/var/mobile/Documents/md5me"}};

} // namespace

TEST(WxResultConversion, AccountKeysAreUniqueAndNameTheAccountEverywhere) {
    Bridge b({{"Ann", "wxid_a", "http://a", "/f/a"},
              {"Ann", "wxid_b", "http://b", "/f/b"},
              {"", "wxid_c", "http://c", "/f/c"},
              {"Ann", "wxid_b", "http://b2", "/f/b2"}});
    const QStringList expected{"Ann", "Ann (wxid_b)", "(wxid_c)", "Ann (wxid_b) #2"};
    const auto list = b.bridge.WxContactAccounts();
    ASSERT_EQ(list.size(), 4);
    const auto byKey = b.bridge.WxChatAccounts();
    EXPECT_EQ(byKey.size(), 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list[i].key(), expected[i]);
        ASSERT_TRUE(byKey.contains(expected[i]));
        EXPECT_EQ(byKey[expected[i]].Account(), expected[i]);
    }
    EXPECT_EQ(byKey["Ann (wxid_b)"].sWxID(), "wxid_b");
    EXPECT_EQ(byKey["Ann (wxid_b)"].sRoot(), "/f/b");
    EXPECT_EQ(b.bridge.AccountHeadImageUrl("Ann"), "http://a");
    EXPECT_EQ(b.bridge.AccountHeadImageUrl("Ann (wxid_b)"), "http://b");
    EXPECT_EQ(b.bridge.AccountHeadImageUrl("Ann (wxid_b) #2"), "http://b2");
    EXPECT_EQ(b.bridge.AccountHeadImageUrl("nobody"), "");

    // The account records hold the latest scan only.
    b.Prepare(kOneAccount);
    ASSERT_EQ(b.bridge.AccountRecords().size(), 1u);
    EXPECT_EQ(b.bridge.AccountHeadImageUrl("Ann"), "");
    EXPECT_EQ(b.bridge.AccountHeadImageUrl("Me"), "http://head/me");
    EXPECT_EQ(b.bridge.WxChatAccounts().keys(), QList<QString>{"Me"});
}

TEST(WxResultConversion, MessageTypesMapOntoDisplayKinds) {
    Bridge b(kOneAccount);
    Records r;
    WxSessionRecord* s = r.Session(r.Contact(0, 0, "wxid_peer", "Peer"));
    struct Case {
        int type;
        qint64 eType; // 0: no message
    } cases[] = {{1, 1},          {3, 3},   {34, 34},    {42, 42}, {43, 43},       {62, 43},
                 {47, 47},        {48, 48}, {49, 49},    {50, 50}, {10000, 10000}, {10002, 10000},
                 {100001, 10001}, {64, 0},  {100002, 0}, {35, 0}};
    int64_t t = 1600000000;
    for (const Case& c : cases) {
        WxMessageRecord* m = Records::Message(s, c.type, t++);
        m->text = "text " + std::to_string(c.type);
        m->mediaPath = "Img/peer/" + std::to_string(c.type);
        m->title = "title";
        m->url = "http://link";
        m->description = "about";
        m->thumbUrl = "http://thumb";
        m->callDuration = 75;
        m->isVoiceCall = c.type == 50;
        m->locationLabel = "Harbour";
        m->cardNickName = "Card Nick";
        m->cardUserName = "card_user";
    }
    b.bridge.OnScanData(ScanWxChats, r.sessions.first);

    ASSERT_EQ(b.receiver.wxChats.size(), 1);
    const NSWXChatFriendData* chat = b.receiver.wxChats[0]["Me"].getWXCharFriendobj("wxid_peer");
    ASSERT_NE(chat, nullptr);
    QList<qint64> kinds;
    for (const auto& m : chat->WXSMSData())
        kinds << m.eType();
    QList<qint64> expected;
    for (const Case& c : cases)
        if (c.eType) expected << c.eType;
    EXPECT_EQ(kinds, expected);

    auto byType = [&](int i) { return chat->WXSMSData()[i]; };
    const QString root = "/stored/var/mobile/Documents/md5me/";
    EXPECT_EQ(byType(0).Content(), "text 1");
    EXPECT_EQ(byType(1).Content(), root + "Img/peer/3.pic_thum");
    EXPECT_EQ(byType(1).ResourcesFile(), root + "Img/peer/3.pic");
    EXPECT_EQ(byType(2).Content(), "");
    EXPECT_EQ(byType(2).ResourcesFile(), root + "Img/peer/34.aud");
    EXPECT_EQ(byType(3).BcardNickName(), "Card Nick");
    EXPECT_EQ(byType(3).BcardPhone(), "card_user");
    EXPECT_EQ(byType(3).BacrdHeadImage(), "contact_logo");
    EXPECT_EQ(byType(4).Content(), root + "Img/peer/43.video_thum");
    EXPECT_EQ(byType(5).ResourcesFile(), root + "Img/peer/62.mp4");
    EXPECT_EQ(byType(6).Content(), "[Sticker]");
    EXPECT_EQ(byType(7).Content(), "Harbour");
    EXPECT_EQ(byType(8).ULRTitle(), "title");
    EXPECT_EQ(byType(8).URL(), "http://link");
    EXPECT_EQ(byType(8).Content(), "about");
    EXPECT_EQ(byType(8).ULRImage(), "http://thumb");
    EXPECT_EQ(byType(9).CallTime(), 75);
    EXPECT_TRUE(byType(9).bIsVoice());
    EXPECT_EQ(byType(10).Content(), QString::fromUtf8("\xe7\xb3\xbb\xe7\xbb\x9f\xe6\xb6\x88\xe6\x81\xaf"));
    EXPECT_EQ(byType(11).Content(), byType(10).Content());
    EXPECT_EQ(byType(12).Content(), "");
    for (const auto& m : chat->WXSMSData()) {
        EXPECT_EQ(m.receiveState(), 1);
        EXPECT_EQ(m.csWxId(), "Peer");
        EXPECT_EQ(m.ImageUrl(), "http://head/peer");
    }
    // The chat ends with the day of its last kept message.
    EXPECT_EQ(chat->Date(), LocalDay(1600000000 + 12));
}

TEST(WxResultConversion, ChatsAreKeyedByPeerAndShowTheirNames) {
    Bridge b(kOneAccount);
    Records r;
    WxContactRecord* ann1 = r.Contact(0, 0, "wxid_ann1", "Ann", "ann_alias");
    ann1->signature = "hello";
    ann1->address = "Harbour Town";
    ann1->phone = "+1555";
    ann1->headImageUrl = "http://head/ann";
    WxContactRecord* ann2 = r.Contact(0, 1, "gh_ann2", "Ann");
    WxContactRecord* noName1 = r.Contact(0, 2, "1@chatroom", "");
    WxContactRecord* noName2 = r.Contact(0, 2, "2@chatroom", "");
    WxContactRecord* generated = r.Contact(0, 4, "", "");
    generated->remark = "\xe6\x9c\xaa\xe7\x9f\xa5"
                        "0";
    generated->deleted = true;

    Records::Message(r.Session(ann1), 1, 1600000000, true)->text = "mine";
    Records::Message(r.Session(ann2), 1, 1600000100)->text = "official";
    Records::Message(r.Session(noName1), 1, 1600000200)->text = "group 1";
    Records::Message(r.Session(noName2), 1, 1600000300, false, true)->text = "group 2";
    Records::Message(r.Session(generated), 1, 1600000400)->text = "generated";
    Records::Message(r.Session(ann1), 1, 1700000000)->text = "second session of ann";
    b.bridge.OnScanData(ScanWxChats, r.sessions.first);

    ASSERT_EQ(b.receiver.wxChats.size(), 1);
    const NSWXChatRecordData& me = b.receiver.wxChats[0]["Me"];
    EXPECT_EQ(me.WXChatFriendArray().keys(),
              (QList<QString>{"wxid_ann1", "gh_ann2", "1@chatroom", "2@chatroom",
                              QString::fromUtf8("\xe6\x9c\xaa\xe7\x9f\xa5"
                                                "0")}));
    const NSWXChatFriendData* a1 = me.getWXCharFriendobj("wxid_ann1");
    ASSERT_NE(a1, nullptr);
    EXPECT_EQ(a1->FrinedAccount(), "Ann");
    EXPECT_EQ(a1->Account(), "Me");
    EXPECT_EQ(a1->csWxId(), "ann_alias");
    EXPECT_EQ(a1->csWxName(), "ann_alias");
    EXPECT_EQ(a1->csBody(), "hello");
    EXPECT_EQ(a1->csAddress(), "Harbour Town");
    EXPECT_EQ(a1->csPhone(), "+1555");
    EXPECT_EQ(a1->FrinedAccountImageUrl(), "http://head/ann");
    EXPECT_EQ(a1->AccountImageUrl(), "http://head/me");
    EXPECT_TRUE(a1->bFriend());
    EXPECT_FALSE(a1->bDelete());
    ASSERT_EQ(a1->WXSMSData().size(), 2); // both sessions of the peer in one chat
    EXPECT_EQ(a1->WXSMSData()[0].receiveState(), 2);
    EXPECT_EQ(a1->WXSMSData()[0].csWxId(), "Me");
    EXPECT_EQ(a1->WXSMSData()[0].ImageUrl(), "http://head/me");
    EXPECT_EQ(a1->Date(), LocalDay(1700000000));

    const NSWXChatFriendData* a2 = me.getWXCharFriendobj("gh_ann2");
    ASSERT_NE(a2, nullptr);
    EXPECT_EQ(a2->FrinedAccount(), "Ann"); // the same name, its own chat
    EXPECT_FALSE(a2->bFriend());
    EXPECT_EQ(me.getWXCharFriendobj("1@chatroom")->FrinedAccount(), "Group1");
    EXPECT_EQ(me.getWXCharFriendobj("2@chatroom")->FrinedAccount(), "Group2");
    EXPECT_TRUE(me.getWXCharFriendobj("2@chatroom")->bDelete()); // a recovered message
    const NSWXChatFriendData* gen = me.getWXCharFriendobj(QString::fromUtf8("\xe6\x9c\xaa\xe7\x9f\xa5"
                                                                            "0"));
    ASSERT_NE(gen, nullptr);
    EXPECT_EQ(gen->FrinedAccount(), "Group3");
    EXPECT_TRUE(gen->bDelete()); // the peer is marked deleted
}

// A peer's sessions (one per message database) come one after the other; its chat lists
// their messages in time order, equal times in the order they came, and ends with the
// day of its newest message.
TEST(WxResultConversion, ChatsOfSeveralSessionsAreInTimeOrder) {
    Bridge b(kOneAccount);
    Records r;
    WxContactRecord* ann = r.Contact(0, 0, "wxid_ann", "Ann");
    WxSessionRecord* mainDb = r.Session(ann);
    Records::Message(mainDb, 1, 1600000100)->text = "main 1";
    Records::Message(mainDb, 1, 1700000000)->text = "main newest";
    Records::Message(mainDb, 1, 1600000300)->text = "main 3 first of its second";
    WxSessionRecord* other = r.Session(r.Contact(0, 0, "wxid_other", "Other"));
    Records::Message(other, 1, 1600000200)->text = "other chat";
    WxSessionRecord* extraDb = r.Session(ann);
    Records::Message(extraDb, 1, 1500000000)->text = "extra oldest";
    Records::Message(extraDb, 1, 1600000300)->text = "extra 3 second of its second";
    Records::Message(extraDb, 64, 1400000000); // dropped
    Records::Message(extraDb, 1, 1600000200)->text = "extra 2";
    b.bridge.OnScanData(ScanWxChats, r.sessions.first);

    ASSERT_EQ(b.receiver.wxChats.size(), 1);
    const NSWXChatFriendData* chat = b.receiver.wxChats[0]["Me"].getWXCharFriendobj("wxid_ann");
    ASSERT_NE(chat, nullptr);
    QStringList texts;
    for (const auto& m : chat->WXSMSData())
        texts << m.Content();
    EXPECT_EQ(texts, (QStringList{"extra oldest", "main 1", "extra 2", "main 3 first of its second",
                                  "extra 3 second of its second", "main newest"}));
    EXPECT_EQ(chat->Date(), LocalDay(1700000000));
    const NSWXChatFriendData* single = b.receiver.wxChats[0]["Me"].getWXCharFriendobj("wxid_other");
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(single->Date(), LocalDay(1600000200));
}

// A chat is listed only with a message to show: sessions left empty (an unnamed group
// whose messages went into a named chat) or holding only messages that are not shown
// give no chat, and take no number of the unnamed chats.
TEST(WxResultConversion, ChatsWithoutAMessageAreNotListed) {
    Bridge b(kOneAccount);
    Records r;
    r.Session(r.Contact(0, 2, "1@chatroom", "")); // emptied by a merge
    Records::Message(r.Session(r.Contact(0, 2, "2@chatroom", "")), 64, 1600000000, false, true);
    Records::Message(r.Session(r.Contact(0, 2, "3@chatroom", "")), 100002, 1600000001);
    WxSessionRecord* shown = r.Session(r.Contact(0, 2, "4@chatroom", ""));
    Records::Message(shown, 64, 1600000002, false, true); // not shown, but recovered
    Records::Message(shown, 1, 1600000003)->text = "kept";
    r.Session(r.Contact(0, 0, "wxid_quiet", "Quiet")); // a friend without messages
    b.bridge.OnScanData(ScanWxChats, r.sessions.first);

    ASSERT_EQ(b.receiver.wxChats.size(), 1);
    const NSWXChatRecordData& me = b.receiver.wxChats[0]["Me"];
    EXPECT_EQ(me.WXChatFriendArray().keys(), QList<QString>{"4@chatroom"});
    const NSWXChatFriendData* chat = me.getWXCharFriendobj("4@chatroom");
    ASSERT_NE(chat, nullptr);
    EXPECT_EQ(chat->FrinedAccount(), "Group1");
    EXPECT_EQ(chat->WXSMSData().size(), 1);
    EXPECT_TRUE(chat->bDelete());
    EXPECT_EQ(chat->Date(), LocalDay(1600000003));
    for (const NSWXChatFriendData& c : me.WXChatFriendArray().chats())
        EXPECT_FALSE(c.WXSMSData().isEmpty());
}

TEST(WxResultConversion, ProgressCountsMessagesPerSession) {
    Bridge b(kOneAccount);
    Records r;
    WxSessionRecord* s1 = r.Session(r.Contact(0, 0, "wxid_1", "One"));
    WxSessionRecord* s2 = r.Session(r.Contact(0, 0, "wxid_2", "Two"));
    Records::Message(s1, 1, 1600000000);
    Records::Message(s1, 64, 1600000001); // dropped, still counted
    Records::Message(s2, 1, 1600000002);
    b.receiver.progress.clear();
    b.bridge.OnScanData(ScanWxChats, r.sessions.first);
    const QString prefix = QStringLiteral("Analysing chats...");
    ASSERT_EQ(b.receiver.progress.size(), 3);
    const struct {
        int value;
        const char* counter;
    } expected[] = {{1, "[1/2]"}, {1, "[2/2]"}, {2, "[1/1]"}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(b.receiver.progress[i].value, expected[i].value);
        EXPECT_EQ(b.receiver.progress[i].maximum, 0);
        EXPECT_EQ(b.receiver.progress[i].text, prefix + expected[i].counter);
    }
}

TEST(WxResultConversion, ContactTreesInTheirOrder) {
    Bridge b(kOneAccount);
    Records r;
    WxContactRecord* groupA = r.Contact(0, 2, "a@chatroom", "");
    Records::Member(groupA, "wxid_me", "my own nick");
    Records::Member(groupA, "wxid_x", "X", true);
    r.Contact(0, 2, "empty@chatroom", ""); // no members: no group node
    WxContactRecord* groupB = r.Contact(0, 2, "b@chatroom", "");
    Records::Member(groupB, "wxid_y", "Y");
    WxContactRecord* named = r.Contact(0, 2, "c@chatroom", "Climbers");
    Records::Member(named, "wxid_z", "Z");
    r.Contact(0, 1, "gh_news", "News");
    WxContactRecord* friend1 = r.Contact(0, 0, "wxid_f", "Fay", "fay_alias");
    friend1->remark = "Aunt Fay";
    friend1->address = "Town";
    friend1->signature = "sig";
    friend1->headImageUrl = "http://head/fay";
    friend1->phone = "+1";
    r.Contact(0, 3, "wxid_stranger", "Stranger")->deleted = true;
    r.Contact(0, 4, "", "")->remark = "generated";
    r.Contact(0, 0, "weixin", "WeChat Team", "weixin-alias"); // filtered
    b.bridge.OnScanData(ScanWxContacts, r.contacts.first);

    ASSERT_EQ(b.receiver.wxAddressBooks.size(), 1);
    ASSERT_TRUE(b.receiver.wxAddressBooks[0].has_value());
    const auto& accounts = *b.receiver.wxAddressBooks[0];
    ASSERT_EQ(accounts.size(), 1);
    const auto& tree = accounts[0].AccountWXData();
    ASSERT_EQ(tree.size(), 3);
    EXPECT_EQ(tree[0].AddressBookName(), "Friends");
    EXPECT_EQ(tree[0].ICO(), "friends_ico");
    EXPECT_EQ(tree[0].WXType(), 0);
    EXPECT_EQ(tree[1].AddressBookName(), "Official");
    EXPECT_EQ(tree[1].ICO(), "public_ico");
    EXPECT_EQ(tree[1].WXType(), 1);
    EXPECT_EQ(tree[2].AddressBookName(), "Group");
    EXPECT_EQ(tree[2].ICO(), "Group_ico");
    EXPECT_EQ(tree[2].WXType(), 2);

    // Friends: kinds 0, 3 and 4, the filtered one left out.
    const auto& friends = tree[0].AddressBook();
    ASSERT_EQ(friends.size(), 3);
    EXPECT_TRUE(tree[0].bDelete());
    EXPECT_EQ(friends[0].WxId(), "fay_alias");
    EXPECT_EQ(friends[0].WxDefaultId(), "wxid_f");
    EXPECT_EQ(friends[0].NickName(), "Fay");
    EXPECT_EQ(friends[0].RemarkName(), "Aunt Fay");
    EXPECT_EQ(friends[0].Address(), "Town");
    EXPECT_EQ(friends[0].Signature(), "sig");
    EXPECT_EQ(friends[0].URLImage(), "http://head/fay");
    EXPECT_EQ(friends[0].Phone(), "+1");
    EXPECT_EQ(friends[0].Account(), "Me");
    EXPECT_TRUE(friends[0].bFriend());
    EXPECT_EQ(friends[1].WxId(), "wxid_stranger"); // no alias: the user name
    EXPECT_FALSE(friends[1].bFriend());
    EXPECT_TRUE(friends[1].bDelete());
    EXPECT_EQ(friends[2].WxId(), "");
    EXPECT_EQ(friends[2].RemarkName(), "generated");
    EXPECT_EQ(tree[1].AddressBook().size(), 1);
    EXPECT_FALSE(tree[1].bDelete());

    // Groups: unnamed ones numbered in list order (the empty group takes its number too).
    EXPECT_TRUE(tree[2].AddressBook().isEmpty());
    EXPECT_TRUE(tree[2].bDelete());
    const auto& groups = tree[2].NextObj();
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[0].AddressBookName(), "Unknown1");
    EXPECT_EQ(groups[1].AddressBookName(), "Unknown3");
    EXPECT_EQ(groups[2].AddressBookName(), "Climbers");
    EXPECT_EQ(groups[0].ICO(), "Group_ico");
    EXPECT_EQ(groups[0].WXType(), 0);
    EXPECT_TRUE(groups[0].bDelete());
    EXPECT_FALSE(groups[1].bDelete());
    ASSERT_EQ(groups[0].AddressBook().size(), 2);
    EXPECT_EQ(groups[0].AddressBook()[0].NickName(), "Me"); // the account itself
    EXPECT_EQ(groups[0].AddressBook()[0].URLImage(), "http://head/me");
    EXPECT_EQ(groups[0].AddressBook()[1].NickName(), "X");
}

TEST(WxResultConversion, UnnamedGroupsCountOnePerDeliveredList) {
    Bridge b(kOneAccount);
    for (int round = 0; round < 2; ++round) {
        Records r;
        Records::Member(r.Contact(0, 2, "g@chatroom", ""), "wxid_m", "M");
        Records::Member(r.Contact(0, 2, "h@chatroom", ""), "wxid_n", "N");
        b.bridge.OnScanData(ScanWxContacts, r.contacts.first);
    }
    ASSERT_EQ(b.receiver.wxAddressBooks.size(), 2);
    const auto& groups = (*b.receiver.wxAddressBooks[1])[0].AccountWXData()[0].NextObj();
    ASSERT_EQ(groups.size(), 4);
    EXPECT_EQ(groups[0].AddressBookName(), "Unknown1");
    EXPECT_EQ(groups[1].AddressBookName(), "Unknown2");
    EXPECT_EQ(groups[2].AddressBookName(), "Unknown1");
    EXPECT_EQ(groups[3].AddressBookName(), "Unknown2");
}

TEST(WxResultConversion, RecordsThatCannotBePlacedArePassedOver) {
    Bridge b(kOneAccount);
    Records r;
    r.Contact(1, 0, "wxid_other_account", "Other");
    r.Contact(-1, 0, "wxid_negative", "Negative");
    r.Contact(0, 5, "wxid_kind5", "Kind 5");
    r.Contact(0, -1, "wxid_kind_neg", "Kind -1");
    b.bridge.OnScanData(ScanWxContacts, r.contacts.first);
    // No account has contacts: the delivery is null.
    ASSERT_EQ(b.receiver.wxAddressBooks.size(), 1);
    EXPECT_FALSE(b.receiver.wxAddressBooks[0].has_value());

    Records chats;
    chats.Session(nullptr);
    Records::Message(chats.Session(chats.Contact(3, 0, "wxid_unknown_account", "U")), 1, 1600000000);
    Records::Message(chats.Session(chats.Contact(0, 0, "wxid_fine", "Fine")), 1, 1600000000);
    b.bridge.OnScanData(ScanWxChats, chats.sessions.first);
    ASSERT_EQ(b.receiver.wxChats.size(), 1);
    EXPECT_EQ(b.receiver.wxChats[0]["Me"].WXChatFriendArray().keys(), QList<QString>{"wxid_fine"});
}

TEST(WxResultConversion, EmptyListsStillDeliverAndNullOnlyWithoutAnyContact) {
    Bridge b({{"One", "wxid_1", "", ""}, {"Two", "wxid_2", "", ""}});
    b.bridge.OnScanData(ScanWxChats, nullptr);
    ASSERT_EQ(b.receiver.wxChats.size(), 1);
    EXPECT_EQ(b.receiver.wxChats[0].size(), 2);

    b.bridge.OnScanData(ScanWxContacts, nullptr);
    Records r;
    r.Contact(0, 0, "wxid_f", "F");
    b.bridge.OnScanData(ScanWxContacts, r.contacts.first);
    b.bridge.OnScanData(ScanWxContacts, nullptr); // the second account's empty list
    ASSERT_EQ(b.receiver.wxAddressBooks.size(), 3);
    EXPECT_FALSE(b.receiver.wxAddressBooks[0].has_value());
    ASSERT_TRUE(b.receiver.wxAddressBooks[1].has_value());
    ASSERT_TRUE(b.receiver.wxAddressBooks[2].has_value());
    EXPECT_EQ((*b.receiver.wxAddressBooks[2])[0].AccountWXData().size(), 1);
    EXPECT_TRUE((*b.receiver.wxAddressBooks[2])[1].AccountWXData().isEmpty());
}

TEST(WxResultConversion, ThreeAccountsDeliverAfterEachAccountAndEarlierDeliveriesStay) {
    DeviceScanManager bridge;
    RecordingScanReceiver receiver;
    bridge.SetReceiverSource([&] { return &receiver; });
    bridge.SetTextLookup([](const QString& key) -> std::optional<QString> { return key; });
    scantest::FakeFileParser parser;
    for (int i = 0; i < 3; ++i) {
        parser.AddAccount(i);
        parser.accounts[size_t(i)]->nickName = "Account " + std::to_string(i);
    }
    bridge.SetScanManagerHook([](CScanManager& m) {
        CScanSteps steps;
        steps.wxAddressBook = [](CScanManager& owner, int index) {
            auto c = std::make_unique<WxContactRecord>();
            c->accountIndex = index;
            c->userName = "wxid_friend_" + std::to_string(index);
            owner.wxContactLists[size_t(index)].append(std::move(c));
            return true;
        };
        steps.wxSessionAndChat = [](CScanManager& owner, int index, bool) {
            WxContactRecord* peer = owner.wxContactLists[size_t(index)].first;
            auto s = std::make_unique<WxSessionRecord>();
            s->peer = peer;
            auto msg = std::make_unique<WxMessageRecord>();
            msg->type = 1;
            msg->text = "hello " + std::to_string(index);
            msg->time = 1600000000;
            s->messages.append(std::move(msg));
            owner.wxSessionLists[size_t(index)].append(std::move(s));
            return true;
        };
        m.SetSteps(steps);
    });
    bridge.SetScanState(true);
    bridge.StartScan(&parser, ScanWxContacts | ScanWxChats, "/b/", 14, {}, "/tmp/out");

    EXPECT_EQ(receiver.Messages(), (QStringList{"ScanWXAddressBook", "ScanWXChat", "ScanWXAddressBook",
                                                "ScanWXChat", "ScanWXAddressBook", "ScanWXChat"}));
    ASSERT_EQ(receiver.wxChats.size(), 3);
    for (int d = 0; d < 3; ++d) {
        SCOPED_TRACE(d);
        const auto& delivery = receiver.wxChats[d];
        ASSERT_EQ(delivery.size(), 3); // every account, each time
        // Each delivery shows the chats converted up to then, unchanged by later ones.
        for (int a = 0; a < 3; ++a) {
            const QString key = QString("Account %1").arg(a);
            EXPECT_EQ(delivery[key].WXChatFriendArray().size(), a <= d ? 1 : 0) << a;
        }
        const auto& books = *receiver.wxAddressBooks[d];
        for (int a = 0; a < 3; ++a)
            EXPECT_EQ(books[a].AccountWXData().size(), a <= d ? 1 : 0) << a;
    }
}

QT_GTEST_MAIN(QGuiApplication)
