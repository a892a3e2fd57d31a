#include "chat/CWxAddressBook.h"
#include "chat/CWxChat.h"
#include "chat/CWxSession.h"
#include "tests/chat/WxBackupFixture.h"
#include "tests/kit/FixtureDb.h"

#include <gtest/gtest.h>

namespace {

using kit::WeChatAccountBuilder;

TEST(CWxFtsChat, LayoutsAAndBFileWhatTheChatsLack) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live"});
    // In the index and in the chat (same second): not filed again.
    a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_alice01", 1600000100, 1, false, "alice live"});
    // Only in the index: filed, in time order.
    a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_alice01", 1600000050, 1, false, "alice indexed only"});
    a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_bob0001", 1600000060, 1, false, "bob indexed only"});
    a.AddFtsLayoutB({"wxid_carl001", 1600000070, 1, false, "carl in layout b"});
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    CWxAddressBook(m.get(), 0).Scan();
    CWxSession session(m.get(), 0);
    session.Scan();
    CWxChat(m.get(), &session, 0).Scan();

    EXPECT_EQ(1u, wxtest::find(*m, 0, "alice live").size());
    auto only = wxtest::find(*m, 0, "alice indexed only");
    ASSERT_EQ(1u, only.size());
    EXPECT_TRUE(only[0].message->deleted);
    EXPECT_EQ(nullptr, only[0].message->prev);
    EXPECT_EQ(only[0].session, wxtest::find(*m, 0, "alice live")[0].session);
    auto bob = wxtest::find(*m, 0, "bob indexed only");
    ASSERT_EQ(1u, bob.size());
    EXPECT_EQ("wxid_bob0001", bob[0].session->peer->userName);
    EXPECT_TRUE(bob[0].session->deleted);
    auto carl = wxtest::find(*m, 0, "carl in layout b");
    ASSERT_EQ(1u, carl.size());
    EXPECT_EQ("wxid_carl001", carl[0].session->peer->userName);
    backup.ExpectUnchanged();
}

TEST(CWxFtsChat, DeletionListFilesASameSecondRow) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live"});
    a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_alice01", 1600000100, 1, false, "another of that second"});
    backup.Add(a);
    backup.Finish();
    // The index lists the row as deleted: it is filed although its second is taken.
    {
        const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
        const auto path = backup.builder.root() / account->ftsDbPath;
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
        sqlite3_exec(db, "INSERT INTO fts_msg_delete_table VALUES(1, 203)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        backup.before = kit::FolderSnapshot::Take(backup.builder.root());
    }
    auto m = backup.Manager(0x3000);
    CWxAddressBook(m.get(), 0).Scan();
    CWxSession session(m.get(), 0);
    CWxChat(m.get(), &session, 0).Scan();
    // Local id 201 (the second row written) is the index row.
    auto filed = wxtest::find(*m, 0, "another of that second");
    EXPECT_EQ(0u, filed.size()); // (1, 203) names another row: the index row's second is taken
    {
        const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
        const auto path = backup.builder.root() / account->ftsDbPath;
        sqlite3* db = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &db));
        sqlite3_exec(db, "INSERT INTO fts_msg_delete_table VALUES(1, 201)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    auto m2 = backup.Manager(0x3000);
    CWxAddressBook(m2.get(), 0).Scan();
    CWxSession session2(m2.get(), 0);
    CWxChat(m2.get(), &session2, 0).Scan();
    EXPECT_EQ(1u, wxtest::find(*m2, 0, "another of that second").size());
}

} // namespace
