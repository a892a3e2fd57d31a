#include "chat/CWxAddressBook.h"
#include "chat/CWxChat.h"
#include "chat/CWxFtsChat.h"
#include "chat/CWxSession.h"
#include "core/util/CommonUtils.h"
#include "tests/chat/TwinSecondIndex.h"
#include "tests/chat/WxBackupFixture.h"
#include "tests/kit/FixtureDb.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

using kit::WeChatAccountBuilder;

// Runs SQL on a stored file of the backup (a fixture step, before the scan).
void editStored(wxtest::WxBackup& backup, const std::string& storedPath, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open((backup.builder.root() / storedPath).c_str(), &db));
    char* error = nullptr;
    EXPECT_EQ(SQLITE_OK, sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error)) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    backup.before = kit::FolderSnapshot::Take(backup.builder.root());
}

std::unique_ptr<CScanManager> scanChats(wxtest::WxBackup& backup) {
    auto m = backup.Manager(0x3000);
    CWxAddressBook(m.get(), 0).Scan();
    CWxSession session(m.get(), 0);
    session.Scan();
    CWxChat(m.get(), &session, 0).Scan();
    return m;
}

TEST(CWxFtsChat, LayoutsAAndBFileWhatTheChatsLack) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live"});
    // In the index and in the chat (same second): not filed again.
    a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_alice01", 1600000100, 1, false, "alice live"});
    // Only in the index: filed, in time order.
    a.AddMessage(WeChatAccountBuilder::FtsIndex,
                 {"wxid_alice01", 1600000050, 1, false, "alice indexed only"});
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
    a.AddMessage(WeChatAccountBuilder::FtsIndex,
                 {"wxid_alice01", 1600000100, 1, false, "another of that second"});
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

// A message the chat holds is filed once even when the index's deletion list names it:
// the index copy neither doubles it nor turns a sent message into a received one.
TEST(CWxFtsChat, AnIndexCopyOfAMessageTheChatHoldsIsNotFiledAgain) {
    const int64_t t = 1600000100;
    struct Case {
        const char* name;
        bool liveRow;          // the chat row stays (else it is deleted and carved)
        int32_t chatType;      // type of the chat row
        std::string chatText;  // its text
        int64_t indexLocalId;  // 0: the chat row's local id
        std::string indexText; // the index row's text
        bool expectIndexCopy;  // whether the index row is a message of its own
    };
    const std::string sent = "I sent this one and deleted it afterwards";
    const std::vector<Case> cases = {
        {"deleted sent text, same local id", false, 1, sent, 0, WeChatAccountBuilder::LongText(sent), false},
        {"deleted sent text, another local id", false, 1, sent, 777, WeChatAccountBuilder::LongText(sent),
         false},
        {"deleted sent text, the index holds more of it", false, 1, sent, 777,
         WeChatAccountBuilder::LongText(sent) + std::string(300, 'x'), false},
        {"live sent text, same local id", true, 1, "a live sent text", 0, "a live sent text", false},
        {"live app message, index holds its title", true, 49,
         "<msg><appmsg><title>Shared article title</title><url>http://a.test/x</url></appmsg></msg>", 0,
         "Shared article title", false},
        {"live app message, same local id, other index text", true, 49,
         "<msg><appmsg><title>Shared article title</title><url>http://a.test/x</url></appmsg></msg>", 0,
         "what the index says", false},
        {"live row, same local id, other index text", true, 1, "what the chat says", 0, "what the index says",
         false},
        {"another message of the same second", true, 1, "what the chat says", 778, "a different message",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wxtest::WxBackup backup;
        WeChatAccountBuilder a("wxid_owner01", "Owner");
        a.AddFriend("wxid_alice01", "Alice");
        a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", t, c.chatType, true, c.chatText},
                     !c.liveRow);
        const int64_t chatLocalId = 200; // the first row written
        // An index-only message of another second (it also makes the index file).
        a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_alice01", t - 50, 1, false, "only in the index"});
        backup.Add(a);
        backup.Finish();
        const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
        const int64_t localId = c.indexLocalId ? c.indexLocalId : chatLocalId;
        editStored(backup, account->ftsDbPath,
                   "INSERT INTO fts_message_table_0(usernameid, MesLocalID, CreateTime, Message) VALUES(1, " +
                       std::to_string(localId) + ", " + std::to_string(t) + ", '" + c.indexText +
                       "');"
                       "INSERT INTO fts_msg_delete_table VALUES(1, " +
                       std::to_string(localId) + ");");
        auto m = scanChats(backup);

        std::vector<const WxMessageRecord*> atT;
        for (const wxtest::Filed& f : wxtest::allMessages(*m, 0))
            if (f.message->time == t) atT.push_back(f.message);
        ASSERT_EQ(c.expectIndexCopy ? 2u : 1u, atT.size());
        // The chat's own copy keeps its direction and its state.
        const std::string key = c.chatType == 49 ? "Shared article title" : c.chatText.substr(0, 12);
        auto chat = wxtest::find(*m, 0, key);
        ASSERT_EQ(1u, chat.size());
        EXPECT_TRUE(chat[0].message->fromMe);
        EXPECT_EQ(!c.liveRow, chat[0].message->deleted);
        EXPECT_EQ("wxid_alice01", chat[0].session->peer->userName);
        // A recovered text cut short takes the whole text the index holds.
        if (!c.liveRow) EXPECT_EQ(c.indexText, chat[0].message->text);
        if (c.expectIndexCopy) {
            auto copy = wxtest::find(*m, 0, c.indexText);
            ASSERT_EQ(1u, copy.size());
            EXPECT_TRUE(copy[0].message->deleted);
        }
        EXPECT_EQ(1u, wxtest::find(*m, 0, "only in the index").size());
        backup.ExpectUnchanged();
    }
}

// After a chat table was dropped and made again its local ids start anew, so entries of
// the deletion list (rows of the old table) name live rows of the new one: those stay
// live and are not offered a second time as deleted; the old table's rows are.
TEST(CWxFtsChat, ARecreatedTableKeepsItsLiveRowsOutOfTheDeletionList) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    // The new table: local ids 200 and 201.
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000200, 1, false, "new table first"});
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000300, 1, true, "new table second"});
    // A row of the old table, only in the index now (local id 202).
    a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_alice01", 1600000100, 1, false, "old table row"});
    backup.Add(a);
    backup.Finish();
    const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
    // The index holds the live rows too; the old table's deleted rows 200 and 201 share
    // their local ids.
    editStored(backup, account->ftsDbPath,
               "INSERT INTO fts_message_table_0(usernameid, MesLocalID, CreateTime, Message) "
               "VALUES(1, 200, 1600000200, 'new table first'), (1, 201, 1600000300, 'new table second');"
               "INSERT INTO fts_msg_delete_table VALUES(1, 200), (1, 201), (1, 202);");
    auto m = scanChats(backup);
    for (const char* live : {"new table first", "new table second"}) {
        auto found = wxtest::find(*m, 0, live);
        ASSERT_EQ(1u, found.size()) << live;
        EXPECT_FALSE(found[0].message->deleted) << live;
    }
    auto old = wxtest::find(*m, 0, "old table row");
    ASSERT_EQ(1u, old.size());
    EXPECT_TRUE(old[0].message->deleted);
    EXPECT_EQ(nullptr, old[0].message->prev); // before the live rows, by time
    backup.ExpectUnchanged();
}

// Random seconds of a chat (texts, app messages and red packets of a few letters, with
// local ids, some recovered and cut short) and a run of index rows: whether the second
// holds a row, and which recovered text takes a row's whole text, is the same whether
// the second is walked or searched by key; rows it does not hold are filed into it.
TEST(CWxFtsChat, AKeyedSecondHoldsRowsAsTheWalkDoes) {
    const std::string packet =
        "\xe5\xbe\xae\xe4\xbf\xa1\xe7\xba\xa2\xe5\x8c\x85 "
        "\xe6\x88\x91\xe7\xbb\x99\xe4\xbd\xa0\xe5\x8f\x91\xe4\xba\x86\xe4\xb8\x80\xe4\xb8\xaa"
        "\xe7\xba\xa2\xe5\x8c\x85,\xe8\xb5\xb6\xe7\xb4\xa7\xe5\x8e\xbb\xe6\x8b\x86!";
    ASSERT_TRUE(isWxRedPacketText(packet.c_str()));
    std::mt19937 rng(31);
    auto word = [&](size_t most) {
        std::string w(rng() % (most + 1), 'a');
        for (char& ch : w)
            ch = "ab,b"[rng() % 4];
        return w;
    };
    auto chatMessage = [&]() {
        static const int32_t types[] = {1, 1, 1, 49, 100001, 3};
        auto m = std::make_unique<WxMessageRecord>();
        m->type = types[rng() % 6];
        m->deleted = rng() % 3 != 0;
        m->localId = rng() % 3 == 0 ? 0 : 200 + rng() % 20;
        if (m->type == 1) m->text = rng() % 8 == 0 ? packet : word(rng() % 3 == 0 ? 5 : 30);
        if (m->type == 49) {
            m->title = word(6);
            m->url = rng() % 2 ? word(6) : "";
        }
        return m;
    };
    int held = 0, filed = 0;
    for (int round = 0; round < 300; ++round) {
        wxtest::TwinSecondIndex twin;
        WxSecondIndex& walk = twin.walk;
        WxSecondIndex& keyed = twin.keyed;
        const int start = int(rng() % 10);
        for (int i = 0; i < start; ++i)
            twin.Link(chatMessage(), false);
        for (int i = 0; i < 30; ++i) {
            const int32_t type = rng() % 6 == 0 ? 100001 : 1;
            const int32_t localId = rng() % 2 ? 0 : int32_t(200 + rng() % 30);
            const std::string text = type == 100001 ? packet : word(rng() % 2 ? 12 : 40);
            const bool a = CWxFtsChat::SecondHoldsRow(walk, type, localId, text, size_t(-1));
            const bool b = CWxFtsChat::SecondHoldsRow(keyed, type, localId, text, 0);
            ASSERT_EQ(a, b) << "round " << round << " row " << i << " " << text;
            ASSERT_EQ(twin.State(walk), twin.State(keyed))
                << "round " << round << " row " << i << " " << text;
            if (a) {
                ++held;
                continue;
            }
            ++filed;
            auto m = std::make_unique<WxMessageRecord>();
            m->type = type;
            m->deleted = true;
            if (type != 100001) m->text = text;
            twin.Link(std::move(m), true);
        }
    }
    EXPECT_GT(held, 1000);
    EXPECT_GT(filed, 1000);
}

} // namespace

// Rows carved from the index's deleted pages are messages only when dated from 2011 up to
// the backup's date (here the scan clock) and readable; the others are fragments.
TEST(CWxFtsChat, CarvedIndexRowsOutsideWeChatsTimeOrUnreadableAreNoMessages) {
    struct Case {
        const char* text;
        int64_t time;
        bool listed;
    };
    const int64_t future = int64_t(std::time(nullptr)) + 30 * 86400;
    const Case cases[] = {
        {"carved index row in time", 1600000200, true},
        {"carved index row from 2008", 1200000000, false},
        {"carved index row from the future", future, false},
        {"carved index row \x01\x02 with control bytes", 1600000300, false},
    };
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live"});
    for (const Case& c : cases)
        a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_alice01", c.time, 1, false, c.text});
    backup.Add(a);
    backup.Finish();
    const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
    editStored(
        backup, account->ftsDbPath,
        "PRAGMA secure_delete=OFF; DELETE FROM fts_message_table_0 WHERE Message LIKE 'carved index row%';");
    auto m = scanChats(backup);
    for (const Case& c : cases)
        EXPECT_EQ(c.listed ? 1u : 0u, wxtest::find(*m, 0, c.text).size()) << c.text;
    backup.ExpectUnchanged();
}
