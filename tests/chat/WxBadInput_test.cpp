// Damaged and odd WeChat files: each parser fails its step softly, the scan goes on,
// nothing crashes and the backup folder is not written.
#include "chat/CWxAddressBook.h"
#include "chat/CWxBrandMsgChat.h"
#include "chat/CWxChat.h"
#include "chat/CWxFtsChat.h"
#include "chat/CWxLsmChat.h"
#include "chat/CWxMigrationChat.h"
#include "chat/CWxSession.h"
#include "tests/chat/WxBackupFixture.h"
#include "tests/kit/FixtureDb.h"
#include "tests/kit/RecordDamage.h"
#include "core/records/ScanDataType.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace {

using kit::WeChatAccountBuilder;

void writeBytes(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

void runAll(CScanManager& m) {
    CWxAddressBook(&m, 0).Scan();
    CWxSession session(&m, 0);
    session.Scan();
    CWxChat(&m, &session, 0).Scan();
}

TEST(WxBadInput, OddChatTables) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live"});
    backup.Add(a);
    backup.Finish();
    const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
    {
        kit::FixtureDb db(backup.builder.root() / account->chatDbPath);
        db.exec(
            "CREATE TABLE \"Chat_x'y\"(MesLocalID INTEGER PRIMARY KEY, Message TEXT);"
            "INSERT INTO \"Chat_x'y\" VALUES(1, 'quoted');"
            "CREATE TABLE Chat_short(MesLocalID INTEGER PRIMARY KEY, Type INTEGER);"
            "INSERT INTO Chat_short VALUES(5, 1);"
            "CREATE TABLE Chat_00000000000000000000000000000000(TableVer INTEGER, MesLocalID INTEGER PRIMARY "
            "KEY, MesSvrID INTEGER, CreateTime INTEGER, Message TEXT, Status INTEGER, ImgStatus INTEGER, "
            "Type INTEGER, Des INTEGER);"
            "INSERT INTO Chat_00000000000000000000000000000000 VALUES(1, 7, 0, 'text time', 'bad time', 0, "
            "0, "
            "1, 1);"
            "INSERT INTO Chat_00000000000000000000000000000000 VALUES(1, 8, 0, 1600000000, 'good row', 0, 0, "
            "1, "
            "1);");
        db.close();
    }
    backup.before = kit::FolderSnapshot::Take(backup.builder.root());
    auto m = backup.Manager(0x3000);
    runAll(*m);
    EXPECT_EQ(1u, wxtest::find(*m, 0, "good row").size());
    EXPECT_TRUE(wxtest::find(*m, 0, "bad time").empty());
    EXPECT_TRUE(wxtest::find(*m, 0, "quoted").empty());
    backup.ExpectUnchanged();
}

TEST(WxBadInput, EmptyMissingRandomAndTruncatedFiles) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live"});
    a.AddMessage(WeChatAccountBuilder::MessageDb1, {"wxid_alice01", 1600000200, 1, false, "db1 live"});
    a.AddMessage(WeChatAccountBuilder::BrandDb, {"gh_brand0001", 1600000300, 1, false, "brand live"});
    a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_alice01", 1600000400, 1, false, "indexed"});
    a.AddSession("wxid_alice01", "Alice", {"", 1600000500, 1, false, "summary"});
    a.AddLocalStore({"wxid_alice01", 1600000600, 1, false, "stored"});
    backup.Add(a);
    backup.Finish();
    const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
    const auto root = backup.builder.root();
    std::mt19937 rng(3);
    auto random = [&rng](size_t n) {
        std::string s(n, '\0');
        for (char& c : s)
            c = char(rng());
        return s;
    };
    // Every file but the main database is damaged in its own way.
    writeBytes(root / account->messageDbFiles[0], "");
    writeBytes(root / account->brandDbPath, random(5000));
    {
        std::ifstream in(root / account->ftsDbPath, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), {}};
        writeBytes(root / account->ftsDbPath, bytes.substr(0, bytes.size() / 2));
    }
    writeBytes(root / account->sessionFiles[0], random(300));
    writeBytes(root / account->lsmFiles[0], random(20000));
    std::filesystem::remove(root / account->contactDbPath);
    backup.before = kit::FolderSnapshot::Take(root);
    auto m = backup.Manager(0x3000);
    runAll(*m);
    EXPECT_EQ(1u, wxtest::find(*m, 0, "alice live").size());
    EXPECT_NE(nullptr, wxtest::contact(*m, 0, "wxid_owner01"));
    backup.ExpectUnchanged();

    // Empty stored paths: the parsers open nothing and fail.
    auto& entry = const_cast<WxAccountEntry&>(*m->FindAccount(0));
    entry.chatDbPath.clear();
    entry.brandDbPath.clear();
    entry.ftsDbPath.clear();
    CWxSession session(m.get(), 0);
    EXPECT_FALSE(CWxChat(m.get(), &session, 0).Scan());
    EXPECT_FALSE(CWxBrandMsgChat(m.get(), &session, 0).Scan());
    EXPECT_FALSE(CWxFtsChat(m.get(), &session, 0).Scan());
    // A missing account.
    EXPECT_FALSE(CWxChat(m.get(), &session, 5).Scan());
    EXPECT_FALSE(CWxSession(m.get(), 5).Scan());
    EXPECT_FALSE(CWxAddressBook(m.get(), 5).Scan());
    EXPECT_FALSE(CWxLsmChat(m.get(), 5).Scan());
    EXPECT_FALSE(CWxMigrationChat(m.get(), &session, 5).Scan());
}

// One damaged record in each table a WeChat parser reads on its own road: a chat table
// (read in time order), the search index's content table (sorted by user and time) and
// the two friend tables (the contacts database's, sorted by type, and the chat
// database's, on its own connection). Each costs its row alone, and is noted under its
// data type; a friend whose row one table lost is still named by the other.
TEST(WxBadInput, OneDamagedRecordCostsOnlyItsRow) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    for (int i = 1; i <= 30; ++i)
        a.AddFriend("wxid_friend" + std::to_string(100 + i), "Friend " + std::to_string(i));
    for (int i = 1; i <= 40; ++i) {
        a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_friend101", 1600000000 + i * 60, 1, i % 2 == 0,
                                                    "chat line " + std::to_string(i)});
        a.AddMessage(WeChatAccountBuilder::FtsIndex,
                     {"wxid_other01", 1600100000 + i * 60, 1, false, "index line " + std::to_string(i)});
    }
    backup.Add(a);
    backup.Finish();
    const auto* account = (*backup.parser.GetWeChatAccounts())[0].get();
    const auto root = backup.builder.root();
    const std::string chatTable = WeChatAccountBuilder::ChatTable("wxid_friend101");
    struct Damage {
        std::filesystem::path file;
        const char* table;
    } damages[] = {{root / account->chatDbPath, chatTable.c_str()},
                   {root / account->ftsDbPath, "fts_message_table_0_content"},
                   {root / account->contactDbPath, "Friend"},
                   {root / account->chatDbPath, "Friend"}};
    int nth = 15;
    for (const Damage& d : damages) {
        const int64_t rowid = kit::RecordDamage::NthRowid(d.file, d.table, nth++);
        ASSERT_TRUE(kit::RecordDamage::DamageRecord(d.file, d.table, rowid)) << d.table;
    }
    backup.before = kit::FolderSnapshot::Take(root);
    auto m = backup.Manager(0x3000);
    runAll(*m);
    EXPECT_EQ(39u, wxtest::find(*m, 0, "chat line").size());
    EXPECT_EQ(39u, wxtest::find(*m, 0, "index line").size());
    for (int i = 1; i <= 30; ++i) {
        const WxContactRecord* c = wxtest::contact(*m, 0, "wxid_friend" + std::to_string(100 + i));
        ASSERT_NE(nullptr, c) << i;
        EXPECT_FALSE(c->deleted) << i;
    }
    int64_t chats = 0, contacts = 0;
    for (const ScanLoss& loss : m->losses) {
        EXPECT_EQ(ScanLoss::Kind::UnreadableRows, loss.kind);
        (loss.dataType == ScanWxChats ? chats : contacts) += loss.count;
        if (loss.dataType != ScanWxChats) EXPECT_EQ(uint32_t(ScanWxContacts), loss.dataType);
    }
    EXPECT_EQ(2, chats);
    EXPECT_EQ(2, contacts);
    backup.ExpectUnchanged();
}

TEST(WxBadInput, CancelledScansStopAtOnce) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live"});
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    m->Stop(true);
    CWxSession session(m.get(), 0);
    EXPECT_FALSE(CWxAddressBook(m.get(), 0).Scan());
    EXPECT_FALSE(session.Scan());
    EXPECT_FALSE(CWxChat(m.get(), &session, 0).Scan());
    EXPECT_TRUE(wxtest::allMessages(*m, 0).empty());
}

} // namespace
