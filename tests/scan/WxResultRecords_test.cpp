// The WeChat result records: the chat dictionary of an account (insertion order, one
// chat per key, removal), message lists, and copies that later changes leave alone.
#include "scan/NSWXChatAccount.h"
#include "scan/NSWXChatRecordData.h"

#include <gtest/gtest.h>

namespace {

NSWXChatFriendData Chat(const QString& name) {
    NSWXChatFriendData chat;
    chat.setFrinedAccount(name);
    return chat;
}

} // namespace

TEST(WxResultRecords, FreshObjectsAreEmpty) {
    NSWXChatRecordData account;
    EXPECT_TRUE(account.WXChatFriendArray().isEmpty());
    EXPECT_EQ(account.getWXCharFriendobj("anyone"), nullptr);
    EXPECT_EQ(account.getWXCharFriendobj(""), nullptr);
    NSWXChatFriendData chat;
    EXPECT_TRUE(chat.WXSMSData().isEmpty());
    EXPECT_TRUE(chat.SearchWXSMSData().isEmpty());
    NSWXAddressBookData node;
    EXPECT_TRUE(node.AddressBook().isEmpty());
    EXPECT_TRUE(node.NextObj().isEmpty());
    EXPECT_EQ(node.WXType(), 0);
    EXPECT_FALSE(node.bDelete());
}

TEST(WxResultRecords, ChatsKeepInsertionOrderAndOneChatPerKey) {
    NSWXChatRecordData account;
    const NSWXChatFriendData c = Chat("C"), a = Chat("A"), b = Chat("B"), a2 = Chat("A again");
    account.addWXChatFriendObj(&c, "k-c");
    account.addWXChatFriendObj(&a, "k-a");
    account.addWXChatFriendObj(&b, "k-b");
    account.addWXChatFriendObj(&a2, "k-a"); // replaces in place
    ASSERT_EQ(account.WXChatFriendArray().size(), 3);
    EXPECT_EQ(account.WXChatFriendArray().keys(), (QList<QString>{"k-c", "k-a", "k-b"}));
    EXPECT_EQ(account.getWXCharFriendobj("k-a")->FrinedAccount(), "A again");

    // A null chat removes its key; the others keep their order and stay reachable.
    account.addWXChatFriendObj(nullptr, "k-c");
    EXPECT_EQ(account.getWXCharFriendobj("k-c"), nullptr);
    EXPECT_EQ(account.WXChatFriendArray().keys(), (QList<QString>{"k-a", "k-b"}));
    EXPECT_EQ(account.getWXCharFriendobj("k-b")->FrinedAccount(), "B");
    EXPECT_EQ(account.WXChatFriendArray().chats()[1].FrinedAccount(), "B");
    account.addWXChatFriendObj(nullptr, "never stored"); // nothing to remove
    EXPECT_EQ(account.WXChatFriendArray().size(), 2);
    account.addWXChatFriendObj(&c, "k-c");
    EXPECT_EQ(account.WXChatFriendArray().keys(), (QList<QString>{"k-a", "k-b", "k-c"}));
}

TEST(WxResultRecords, MessagesAppendToTheMessageListOnly) {
    NSWXChatFriendData chat;
    NSWXChatSMSData m;
    m.setContent("one");
    chat.addWXSMSContent(m);
    m.setContent("two");
    chat.addWXSMSContent(m);
    ASSERT_EQ(chat.WXSMSData().size(), 2);
    EXPECT_EQ(chat.WXSMSData()[0].Content(), "one");
    EXPECT_EQ(chat.WXSMSData()[1].Content(), "two");
    EXPECT_TRUE(chat.SearchWXSMSData().isEmpty());
}

TEST(WxResultRecords, ACopyIsLeftAloneByLaterChanges) {
    NSWXChatRecordData account;
    const NSWXChatFriendData a = Chat("A");
    account.addWXChatFriendObj(&a, "a");
    const NSWXChatRecordData copy = account;
    NSWXChatSMSData m;
    m.setContent("later");
    account.getWXCharFriendobj("a")->addWXSMSContent(m);
    const NSWXChatFriendData b = Chat("B");
    account.addWXChatFriendObj(&b, "b");
    EXPECT_EQ(account.getWXCharFriendobj("a")->WXSMSData().size(), 1);
    EXPECT_EQ(copy.WXChatFriendArray().size(), 1);
    EXPECT_TRUE(copy.getWXCharFriendobj("a")->WXSMSData().isEmpty());

    NSWXChatAccount contacts;
    NSWXAddressBookData node;
    node.setAddressBookName("Friends");
    contacts.mutableAccountWXData().append(node);
    const NSWXChatAccount contactsCopy = contacts;
    contacts.mutableAccountWXData()[0].mutableAddressBook().append(NSAddressBookInfo());
    EXPECT_TRUE(contactsCopy.AccountWXData()[0].AddressBook().isEmpty());
}
