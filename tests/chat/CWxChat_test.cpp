#include "chat/CWxAddressBook.h"
#include "chat/CWxChat.h"
#include "chat/CWxChatEngine.h"
#include "chat/CWxSession.h"
#include "core/util/MD5_CTX.h"
#include "tests/chat/WxBackupFixture.h"
#include "tests/kit/FixtureDb.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <map>
#include <memory>
#include <set>
#include <string>

namespace {

using kit::WeChatAccountBuilder;
using Msg = WeChatAccountBuilder::Message;
namespace fs = std::filesystem;

// Runs the WeChat steps of one account as the scan does.
void scanAccount(CScanManager& m, int account) {
    CWxAddressBook(&m, account).Scan();
    CWxSession session(&m, account);
    session.Scan();
    CWxChat(&m, &session, account).Scan();
}

TEST(CWxChat, LiveDeletedAndDroppedMessages) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddFriend("wxid_bob0001", "Bob", "Bobby");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live one"});
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000300, 1, true, "owner live reply"});
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000200, 1, false, "alice deleted middle"},
                 true);
    a.AddMessage(WeChatAccountBuilder::MainDb,
                 {"wxid_bob0001", 1600000400, 3, false, "<msg><img aeskey=\"x\"/></msg>"});
    a.AddDroppedChat("wxid_carol01", {{"", 1600000500, 1, false, "carol dropped text"}});
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    scanAccount(*m, 0);

    auto live = wxtest::find(*m, 0, "alice live one");
    ASSERT_EQ(1u, live.size());
    EXPECT_FALSE(live[0].message->deleted);
    EXPECT_EQ("wxid_alice01", live[0].message->senderUserName);
    EXPECT_EQ("Alice", live[0].message->senderDisplayName);
    auto reply = wxtest::find(*m, 0, "owner live reply");
    ASSERT_EQ(1u, reply.size());
    EXPECT_TRUE(reply[0].message->fromMe);
    EXPECT_EQ("Owner", reply[0].message->senderDisplayName);

    // The carved row is filed once, in time order, between the live ones.
    auto carved = wxtest::find(*m, 0, "alice deleted middle");
    ASSERT_EQ(1u, carved.size());
    EXPECT_TRUE(carved[0].message->deleted);
    EXPECT_TRUE(carved[0].session->deleted);
    EXPECT_EQ(carved[0].session, live[0].session);
    ASSERT_NE(nullptr, carved[0].message->prev);
    EXPECT_EQ(1600000100, carved[0].message->prev->time);
    ASSERT_NE(nullptr, carved[0].message->next);
    EXPECT_EQ(1600000300, carved[0].message->next->time);

    // A live image gets its media path.
    bool image = false;
    for (const auto& f : wxtest::allMessages(*m, 0))
        if (f.message->type == 3) {
            image = true;
            EXPECT_EQ("Img/" + getMd5String(std::string("wxid_bob0001")) + "/" + std::to_string(203),
                      f.message->mediaPath);
        }
    EXPECT_TRUE(image);

    // The dropped chat's table is found by the raw scan; its peer is unknown.
    auto dropped = wxtest::find(*m, 0, "carol dropped text");
    ASSERT_EQ(1u, dropped.size());
    EXPECT_TRUE(dropped[0].message->deleted);
    ASSERT_NE(nullptr, dropped[0].session->peer);
    EXPECT_EQ(4, dropped[0].session->peer->kind);
    backup.ExpectUnchanged();
}

TEST(CWxChat, SchemaRecordsOfDroppedTables) {
    const std::string md5 = getMd5String(std::string("wxid_x"));
    const std::string name = "Chat_" + md5;
    auto page = [&](const std::string& gap, size_t at) {
        std::string p(4096, '\0');
        const std::string record = name + gap + "CREATE TABLE " + name + "(TableVer INTEGER)";
        p.replace(at, record.size(), record);
        p.resize(4096); // a record cut off by the page end
        return p;
    };
    struct Case {
        std::string gap;
        size_t at;
        int hits;
        uint64_t root;
    } cases[] = {
        {"\x05", 100, 1, 5},
        {std::string("\x00\x05", 2), 100, 1, 5},
        {std::string("\x00\x01\x00\x05", 4), 100, 1, 65541},
        {std::string("\x00\x00\x00\x01\x00", 5), 100, 0, 0}, // a 5-byte gap is no root page
        {std::string("\x00\x00\x00\x00\x01\x00", 6), 100, 1, 256},
        {std::string("\x00", 1), 100, 0, 0}, // root page 0
        {"\x05", 0, 1, 5},                   // the copy starts the page
        {"\x05", 4096 - 38 - 49, 0, 0},      // the name runs past the page end
    };
    for (const Case& c : cases) {
        const std::string p = page(c.gap, c.at);
        int hits = 0;
        uint64_t root = 0;
        CWxChatEngine::FindSchemaRecords(reinterpret_cast<const uint8_t*>(p.data()), p.size(),
                                         [&](const std::string& n, uint64_t r) {
                                             ++hits;
                                             root = r;
                                             EXPECT_EQ(name, n);
                                         });
        EXPECT_EQ(c.hits, hits) << c.gap.size() << " at " << c.at;
        EXPECT_EQ(c.root, root);
    }
    // Not a chat table name: upper-case digits are refused.
    std::string upper = page("\x05", 100);
    for (size_t i = 0; i < upper.size(); ++i)
        if (upper[i] >= 'a' && upper[i] <= 'f' && i > 100) upper[i] = char(upper[i] - 32);
    int hits = 0;
    CWxChatEngine::FindSchemaRecords(reinterpret_cast<const uint8_t*>(upper.data()), upper.size(),
                                     [&](const std::string&, uint64_t) { ++hits; });
    EXPECT_EQ(0, hits);
}

TEST(CWxChat, SummaryFiledOnceAndUnknownPeerMerged) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live one"});
    // The session file's last message is also a live row: one message.
    a.AddSession("wxid_alice01", "Alice", {"", 1600000100, 1, false, "alice live one"});
    // A last message the database lost: filed as recovered.
    a.AddSession("wxid_dave001", "Dave", {"", 1600000900, 1, false, "dave only in the session file"});
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    scanAccount(*m, 0);
    EXPECT_EQ(1u, wxtest::find(*m, 0, "alice live one").size());
    auto dave = wxtest::find(*m, 0, "dave only in the session file");
    ASSERT_EQ(1u, dave.size());
    EXPECT_TRUE(dave[0].message->deleted);
    ASSERT_NE(nullptr, dave[0].session->peer);
    EXPECT_EQ("wxid_dave001", dave[0].session->peer->userName);
    EXPECT_EQ("Dave", dave[0].session->peer->nickName);
    EXPECT_TRUE(dave[0].session->peer->deleted);
}

// Every recovered message whose chat row survives shows the direction its row stores, on
// every road a deleted row takes, while the search index also holds a copy of it: rows
// deleted from a chat that lives on, a chat the user cleared (its pages freed), and a
// chat dropped with its friend (the friend's record gone); each message once. A message
// only the index holds has no stored direction: it says so, unless the session file names
// its sender.
TEST(CWxChat, RecoveredDirectionFollowsTheStoredRowOnEveryRoad) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddFriend("wxid_bob0001", "Bob");
    a.AddFriend("wxid_dave001", "Dave");
    int64_t t = 1600000000;
    // A chat that lives on: some rows deleted.
    for (int i = 0; i < 6; ++i) {
        a.AddIndexedMessage({"wxid_alice01", t += 10, 1, i % 2 == 0, "live table " + std::to_string(i)},
                            i >= 2);
    }
    // A cleared chat: enough rows for several pages, every one deleted.
    for (int i = 0; i < 90; ++i)
        a.AddIndexedMessage({"wxid_bob0001", t += 10, 1, i % 3 != 0, "cleared table " + std::to_string(i)},
                            true);
    // A chat dropped together with its friend.
    std::vector<Msg> dropped;
    for (int i = 0; i < 12; ++i)
        dropped.push_back({"", t += 10, 1, i % 2 == 1, "dropped table " + std::to_string(i)});
    a.AddDroppedChat("wxid_carol01", dropped, true);
    // Only in the index: one the session file names as the owner's, one it does not.
    a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_dave001", t += 10, 1, false, "index only, unnamed"});
    a.AddMessage(WeChatAccountBuilder::FtsIndex,
                 {"wxid_dave001", t += 10, 1, true, "index only, the owner's"});
    a.AddSession("wxid_dave001", "Dave", {"", t, 1, true, "index only, the owner's"});
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    scanAccount(*m, 0);

    using From = WxMessageRecord::DirectionFrom;
    std::map<std::string, int> checked; // per peer
    for (const auto& truth : a.Messages()) {
        const std::string& text = truth.message.text;
        if (truth.store != WeChatAccountBuilder::MainDb || (truth.deleted && !truth.bytesSurvive)) continue;
        SCOPED_TRACE(text);
        auto found = wxtest::find(*m, 0, text);
        ASSERT_EQ(1u, found.size());
        const WxMessageRecord& msg = *found[0].message;
        EXPECT_EQ(truth.deleted, msg.deleted);
        EXPECT_EQ(truth.message.fromMe, msg.fromMe);
        EXPECT_EQ(From::StoredRow, msg.directionFrom);
        if (truth.message.fromMe) EXPECT_EQ("wxid_owner01", msg.senderUserName);
        EXPECT_EQ(truth.message.peer, found[0].session->peer->userName);
        ++checked[truth.message.peer];
    }
    // Every road is there: the live table's six, and the cleared and dropped rows whose
    // bytes survive.
    EXPECT_EQ(6, checked["wxid_alice01"]);
    EXPECT_GT(checked["wxid_bob0001"], 30);
    EXPECT_GT(checked["wxid_carol01"], 6);

    auto unnamed = wxtest::find(*m, 0, "index only, unnamed");
    ASSERT_EQ(1u, unnamed.size());
    EXPECT_FALSE(unnamed[0].message->fromMe);
    EXPECT_EQ(From::None, unnamed[0].message->directionFrom);
    auto owners = wxtest::find(*m, 0, "index only, the owner's");
    ASSERT_EQ(1u, owners.size());
    EXPECT_TRUE(owners[0].message->fromMe);
    EXPECT_EQ(From::SenderName, owners[0].message->directionFrom);
    backup.ExpectUnchanged();
}

TEST(CWxChat, ExtraDatabasesAndOfficialAccounts) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddFriend("gh_brand0001", "Brand");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "main live"});
    a.AddMessage(WeChatAccountBuilder::MessageDb1, {"wxid_alice01", 1600000200, 1, false, "db1 live"});
    a.AddMessage(WeChatAccountBuilder::MessageDb1, {"wxid_alice01", 1600000210, 1, false, "db1 deleted"},
                 true);
    a.AddMessage(WeChatAccountBuilder::MessageDb2, {"wxid_alice01", 1600000300, 1, false, "db2 live"});
    a.AddMessage(WeChatAccountBuilder::MessageDb2, {"wxid_alice01", 1600000310, 1, false, "db2 deleted"},
                 true);
    a.AddMessage(WeChatAccountBuilder::MessageDb1,
                 {"wxid_alice01", 1600000400, 49, false,
                  "<msg><appmsg><title>report.v2.pdf</title><type>6</type></appmsg></msg>"});
    a.AddMessage(WeChatAccountBuilder::BrandDb,
                 {"gh_brand0001", 1600000500, 1, false,
                  "<msg><appmsg><title>Brand news</title><url>http://n.test</url></appmsg></msg>"});
    a.AddMessage(WeChatAccountBuilder::BrandDb, {"gh_brand0001", 1600000510, 1, false, "brand deleted"},
                 true);
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    scanAccount(*m, 0);

    for (const char* live : {"main live", "db1 live", "db2 live"}) {
        auto f = wxtest::find(*m, 0, live);
        ASSERT_EQ(1u, f.size()) << live;
        EXPECT_FALSE(f[0].message->deleted) << live;
    }
    for (const char* gone : {"db1 deleted", "db2 deleted", "brand deleted"}) {
        auto f = wxtest::find(*m, 0, gone);
        ASSERT_EQ(1u, f.size()) << gone;
        EXPECT_TRUE(f[0].message->deleted) << gone;
    }
    // The extra databases' file message takes its extension from the last dot.
    auto file = wxtest::find(*m, 0, "report.v2.pdf");
    ASSERT_EQ(1u, file.size());
    EXPECT_EQ(100002, file[0].message->type);
    EXPECT_NE(std::string::npos, file[0].message->mediaPath.find(".pdf"));
    EXPECT_EQ(std::string::npos, file[0].message->mediaPath.find(".v2"));
    // A live official-account row holding app-message XML becomes an app message; it
    // stays live and does not flag its session as recovered by itself.
    auto brand = wxtest::find(*m, 0, "Brand news");
    ASSERT_EQ(1u, brand.size());
    EXPECT_EQ(49, brand[0].message->type);
    EXPECT_FALSE(brand[0].message->deleted);
    EXPECT_EQ("http://n.test", brand[0].message->url);
    // Each database's table of a peer has a session of its own, all with that peer;
    // recovered rows go to the peer's first session.
    EXPECT_EQ(wxtest::find(*m, 0, "db1 live")[0].session->peer,
              wxtest::find(*m, 0, "db2 live")[0].session->peer);
    EXPECT_EQ(wxtest::find(*m, 0, "main live")[0].session, wxtest::find(*m, 0, "db2 deleted")[0].session);
    backup.ExpectUnchanged();
}

// A chat database that does not open costs its own messages only: the extra databases,
// the official-account database, the local store and the search index are read all the
// same.
TEST(CWxChat, OtherStoresAreReadWhenTheChatDatabaseDoesNotOpen) {
    enum class Damage { Garbage, Empty, Missing, Folder };
    const std::pair<const char*, Damage> cases[] = {{"garbage", Damage::Garbage},
                                                    {"empty", Damage::Empty},
                                                    {"missing", Damage::Missing},
                                                    {"folder", Damage::Folder}};
    for (const auto& [name, damage] : cases) {
        wxtest::WxBackup backup;
        WeChatAccountBuilder a("wxid_owner01", "Owner");
        a.AddFriend("wxid_alice01", "Alice");
        a.AddFriend("gh_brand0001", "Brand");
        a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "main live"});
        a.AddMessage(WeChatAccountBuilder::MessageDb1, {"wxid_alice01", 1600000200, 1, false, "db1 live"});
        a.AddMessage(WeChatAccountBuilder::MessageDb2, {"wxid_alice01", 1600000300, 1, false, "db2 live"});
        a.AddMessage(WeChatAccountBuilder::BrandDb, {"gh_brand0001", 1600000500, 1, false, "brand live"});
        a.AddLocalStore({"wxid_alice01", 1600000600, 1, false, "local store text"});
        a.AddMessage(WeChatAccountBuilder::FtsIndex,
                     {"wxid_alice01", 1600000700, 1, false, "search index text"});
        backup.Add(a);
        backup.Finish();
        const WxAccountEntry* account = backup.parser.FindAccount(0);
        ASSERT_NE(nullptr, account);
        const fs::path chatDb = backup.builder.root() / account->chatDbPath;
        ASSERT_TRUE(fs::is_regular_file(chatDb)) << name;
        fs::remove(chatDb);
        if (damage == Damage::Garbage) std::ofstream(chatDb, std::ios::binary) << std::string(8192, 'x');
        if (damage == Damage::Empty) std::ofstream(chatDb, std::ios::binary).flush();
        if (damage == Damage::Folder) fs::create_directory(chatDb);
        auto m = backup.Manager(0x3000);
        scanAccount(*m, 0);

        EXPECT_TRUE(wxtest::find(*m, 0, "main live").empty()) << name;
        for (const char* text :
             {"db1 live", "db2 live", "brand live", "local store text", "search index text"})
            EXPECT_EQ(1u, wxtest::find(*m, 0, text).size()) << name << ": " << text;
    }
}

int openDescriptors() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

TEST(CWxChat, DescriptorsStayStableOverManyDatabases) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddMessage(WeChatAccountBuilder::MessageDb1, {"wxid_alice01", 1600000200, 1, false, "db1 live"});
    a.AddMessage(WeChatAccountBuilder::MessageDb2, {"wxid_alice01", 1600000300, 1, false, "db2 live"});
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    // The same two databases listed ten times each.
    auto& entry = const_cast<WxAccountEntry&>(*m->FindAccount(0));
    const auto files = entry.messageDbFiles;
    for (int i = 0; i < 9; ++i)
        entry.messageDbFiles.insert(entry.messageDbFiles.end(), files.begin(), files.end());
    ASSERT_EQ(20u, entry.messageDbFiles.size());
    const int before = openDescriptors();
    CWxSession session(m.get(), 0);
    CWxChat(m.get(), &session, 0).Scan();
    EXPECT_EQ(before, openDescriptors());
    // Every listing of the database is read (its live rows each time).
    EXPECT_EQ(10u, wxtest::find(*m, 0, "db2 live").size());
    EXPECT_EQ(1u, wxtest::find(*m, 0, "db1 live").size() / 10);
}

// The chat engine with its column count in view, for handing it carved records directly.
struct ChatEngine : CWxChatEngine {
    using CWxChatEngine::CWxChatEngine;
    int Columns() const { return int(columns.size()); }
    // The loaded columns as the record layout, as CarveTable sets it.
    void UseLoadedColumns() { columnCount = int32_t(columns.size()); }
};

// A carved chat row as the carver hands it over: a text message of the owner's at `time`
// on `page`.
std::unique_ptr<CarvedRecord> carvedRow(const ChatEngine& e, uint32_t page, int64_t time,
                                        const std::string& text) {
    auto r = std::make_unique<CarvedRecord>();
    r->valid = true;
    r->page = page;
    r->columnCount = e.Columns();
    r->values.assign(size_t(e.Columns()), CarvedValue{});
    r->kinds.assign(size_t(e.Columns()), KindNull);
    r->sizes.assign(size_t(e.Columns()), 0);
    r->buffers.resize(size_t(e.Columns()));
    auto integer = [&](const char* column, uint32_t kind, int64_t v) {
        const int c = e.GetColumnIndex(column);
        ASSERT_GE(c, 0) << column;
        r->kinds[size_t(c)] = kind;
        r->values[size_t(c)].i64 = v;
    };
    integer("Type", KindInt8, 1);
    integer("Des", KindZero, 0);
    integer("CreateTime", KindInt32, time);
    integer("MesLocalID", KindInt8, 9);
    integer("MesSvrID", KindInt64, 7000000000 + time);
    const int m = e.GetColumnIndex("Message");
    EXPECT_GE(m, 0);
    if (m < 0) return r;
    r->buffers[size_t(m)].assign(text.begin(), text.end());
    r->buffers[size_t(m)].push_back('\0');
    r->kinds[size_t(m)] = KindText;
    r->sizes[size_t(m)] = uint32_t(text.size());
    r->values[size_t(m)].text = r->buffers[size_t(m)].data();
    return r;
}

// A carved row goes to the chat whose page it lies on, and rows on pages no chat holds
// are grouped by their page, even when page numbers differ only above their low 16 bits.
TEST(CWxChat, CarvedRowsGoToTheChatOfTheirPage) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live one"});
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    CWxAddressBook(m.get(), 0).Scan();
    CWxSession session(m.get(), 0);
    session.Scan();
    ChatEngine e(m.get(), &session, 0, WxChatOptions{});
    ASSERT_TRUE(e.Open(m->BackupFilePath((*m->wxAccounts)[0]->chatDbPath).c_str(), false));
    e.LoadChatTables();
    e.AssignTableContacts();
    ASSERT_EQ(1u, e.ChatTables().size());
    const TableEntry& alice = e.ChatTables().front();
    ASSERT_GT(e.LoadColumns(alice.name.c_str()), 0);
    ASSERT_TRUE(e.PrepareTable());
    const uint32_t root = uint32_t(alice.rootPage);
    ASSERT_NE(5u, root);
    ASSERT_EQ(nullptr, e.TableOfPage(5));
    ASSERT_EQ(&alice, e.TableOfPage(root));

    struct Case {
        uint32_t page;
        const char* text;
        const char* group; // rows of one group share a peer; "alice": the friend's chat
    } cases[] = {
        {root, "on the chat's root page", "alice"},
        {root + 65536, "on a page 65536 above the chat's root", "high root"},
        {5, "first on page 5", "page 5"},
        {65541, "on page 65541", "page 65541"},
        {5, "second on page 5", "page 5"},
        {131077, "on page 131077", "page 131077"},
    };
    int64_t time = 1600000200;
    for (const Case& c : cases) {
        auto record = carvedRow(e, c.page, time++, c.text);
        EXPECT_TRUE(e.OnCarvedRecord(record.get(), 9)) << c.text;
    }
    std::map<std::string, const WxContactRecord*> peerOfGroup;
    std::set<const WxContactRecord*> peers;
    for (const Case& c : cases) {
        auto filed = wxtest::find(*m, 0, c.text);
        ASSERT_EQ(1u, filed.size()) << c.text;
        EXPECT_TRUE(filed[0].message->deleted);
        const WxContactRecord* peer = filed[0].session->peer;
        ASSERT_NE(nullptr, peer) << c.text;
        if (std::string(c.group) == "alice") {
            EXPECT_EQ("wxid_alice01", peer->userName) << c.text;
        } else {
            EXPECT_EQ(4, peer->kind) << c.text; // a peer that could not be named
        }
        auto [it, fresh] = peerOfGroup.emplace(c.group, peer);
        if (fresh) peers.insert(peer);
        EXPECT_EQ(it->second, peer) << c.text;
    }
    // Every group has a peer of its own.
    EXPECT_EQ(peerOfGroup.size(), peers.size());
    backup.ExpectUnchanged();
}

} // namespace

// Short deleted messages: the freeblock header that replaces a deleted row's first bytes
// covers its TableVer serial type, and a read from there or a byte earlier must not pass
// as a message nor hide the rows lying inside it. Every carved message is one that was
// written, and every deleted message whose bytes survive comes back.
TEST(CWxChat, ShortDeletedRowsBehindFreeblockHeaders) {
    wxtest::WxBackup backup;
    const std::filesystem::path source = backup.dir / "work" / "MM.sqlite";
    std::mt19937 rng(7);
    std::map<std::string, bool> written; // text -> deleted
    {
        kit::FixtureDb db(source);
        db.exec("BEGIN");
        const std::string table = WeChatAccountBuilder::ChatTable("wxid_alice01");
        db.exec("CREATE TABLE " + table +
                "(TableVer INTEGER DEFAULT 1, MesLocalID INTEGER PRIMARY KEY AUTOINCREMENT, MesSvrID INTEGER "
                "DEFAULT 0, CreateTime INTEGER DEFAULT 0, Message TEXT, Status INTEGER DEFAULT 0, ImgStatus "
                "INTEGER DEFAULT 0, Type INTEGER, Des INTEGER)");
        const char* words[] = {"ok",      "see you",        "lunch?", "on my way",  "thanks",
                               "call me", "at the station", "haha",   "good night", "where are you"};
        for (int i = 0; i < 120; ++i) {
            std::string text = "m" + std::to_string(i);
            const int n = 1 + int(rng() % 6);
            for (int k = 0; k < n; ++k)
                text += std::string(" ") + words[rng() % 10];
            db.insert(
                table,
                {"MesLocalID", "MesSvrID", "CreateTime", "Message", "Status", "ImgStatus", "Type", "Des"},
                {int64_t(i + 1), (int64_t(1) << 47) + i, int64_t(1600000000 + i * 3), text, int64_t(2),
                 int64_t(0), int64_t(1), int64_t(i % 3 == 0 ? 0 : 1)});
            written[text] = i % 2 == 1;
        }
        for (int i = 1; i < 120; i += 2)
            db.deleteWhere(table, "MesLocalID=" + std::to_string(i + 1));
        db.exec("COMMIT");
    }
    std::ifstream in(source, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.SetChatDbSource(source);
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    scanAccount(*m, 0);
    size_t junk = 0, recovered = 0, surviving = 0;
    std::set<std::string> seen;
    for (const auto& f : wxtest::allMessages(*m, 0)) {
        if (!f.message->deleted) continue;
        auto it = written.find(f.message->text);
        if (it == written.end() || !it->second) {
            ++junk;
            ADD_FAILURE() << "junk: " << f.message->text;
        } else if (seen.insert(f.message->text).second) {
            ++recovered;
        }
    }
    // Every deleted row whose bytes survive comes back, also those whose TableVer type
    // (the constant 1) lies under the freeblock header. The record: header size, nine
    // serial types (the text's takes two bytes from 57 bytes on), MesSvrID (8 bytes),
    // CreateTime (4), text.
    size_t typeLost = 0;
    for (const auto& [text, deleted] : written) {
        const size_t at = bytes.find(text);
        if (!deleted || at == std::string::npos) continue;
        ++surviving;
        const size_t headerLength = 1 + 8 + (2 * text.size() + 13 < 128 ? 1 : 2);
        ASSERT_GE(at, 12 + headerLength);
        if (bytes[at - 12 - headerLength + 1] != '\x09') ++typeLost;
        EXPECT_TRUE(seen.count(text)) << "missed: " << text;
    }
    std::printf(
        "short deleted rows: %zu recovered of %zu surviving (%zu without their first type), %zu junk\n",
        recovered, surviving, typeLost, junk);
    EXPECT_GT(typeLost, 0u);
    EXPECT_GT(surviving, typeLost);
    EXPECT_EQ(0u, junk);
}

// The chat table's columns refuse the kinds they never hold: TableVer and MesLocalID
// are integers (MesLocalID, the rowid, arrives as NULL), so a text or blob read there is
// a misaligned candidate.
TEST(CWxChat, CarvedColumnsHoldTheirDeclaredKinds) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live one"});
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    ChatEngine e(m.get(), nullptr, 0, WxChatOptions{});
    ASSERT_TRUE(e.Open(m->BackupFilePath((*m->wxAccounts)[0]->chatDbPath).c_str(), false));
    e.LoadChatTables();
    ASSERT_EQ(1u, e.ChatTables().size());
    ASSERT_GT(e.LoadColumns(e.ChatTables().front().name.c_str()), 0);
    e.UseLoadedColumns();
    ASSERT_TRUE(e.PrepareTable());
    struct Case {
        const char* column;
        uint32_t kind;
        bool accepted;
    } cases[] = {
        {"TableVer", KindOne, true},     {"TableVer", KindInt8, true},    {"TableVer", KindNull, true},
        {"TableVer", KindText, false},   {"TableVer", KindBlob, false},   {"TableVer", KindDouble, false},
        {"MesLocalID", KindNull, true},  {"MesLocalID", KindInt16, true}, {"MesLocalID", KindText, false},
        {"MesLocalID", KindBlob, false},
    };
    for (const Case& c : cases) {
        const int column = e.GetColumnIndex(c.column);
        ASSERT_GE(column, 0) << c.column;
        std::vector<char> buffer(8, 'x');
        CarvedValue v{};
        if (c.kind == KindText) v.text = buffer.data();
        if (c.kind == KindBlob) v.blob = reinterpret_cast<uint8_t*>(buffer.data());
        const uint32_t size = c.kind == KindText || c.kind == KindBlob ? 7 : 0;
        EXPECT_EQ(c.accepted, e.CheckCarvedValue(column, c.kind, &v, size)) << c.column << " kind " << c.kind;
    }
}

namespace {

// Which stores an account has, and which of them are damaged in the backup.
struct StepCase {
    const char* name;
    bool extraDb, extraDbBroken, brand, brandBroken, fts, ftsBroken, localStore;
};

class CWxChatSteps : public ::testing::TestWithParam<StepCase> {};

void breakStoredFile(const CScanManager& m, const std::string& stored) {
    ASSERT_FALSE(stored.empty());
    std::ofstream out(m.BackupFilePath(stored), std::ios::binary | std::ios::trunc);
    out << "not a database, only some bytes";
}

// The chat parser announces as many progress steps as its passes take, whichever
// stores the account has and whichever of them cannot be read, so that the step
// counter ends at its total and never passes it.
TEST_P(CWxChatSteps, StepsTakenMatchTheTotal) {
    const StepCase& c = GetParam();
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    a.AddFriend("wxid_alice01", "Alice");
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "main live"});
    a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000110, 1, false, "main gone"}, true);
    if (c.extraDb)
        a.AddMessage(WeChatAccountBuilder::MessageDb1, {"wxid_alice01", 1600000200, 1, false, "db1"});
    if (c.brand) {
        a.AddFriend("gh_brand0001", "Brand");
        a.AddMessage(WeChatAccountBuilder::BrandDb, {"gh_brand0001", 1600000500, 1, false, "brand"});
    }
    if (c.fts)
        a.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_alice01", 1600000100, 1, false, "main live"});
    if (c.localStore) a.AddLocalStore({"wxid_alice01", 1600000300, 1, false, "stored"});
    backup.Add(a);
    backup.Finish();
    auto m = backup.Manager(0x3000);
    const WxAccountEntry* account = m->FindAccount(0);
    ASSERT_NE(nullptr, account);
    if (c.extraDbBroken) breakStoredFile(*m, account->messageDbFiles.at(0));
    if (c.brandBroken) breakStoredFile(*m, account->brandDbPath);
    if (c.ftsBroken) breakStoredFile(*m, account->ftsDbPath);

    CWxAddressBook(m.get(), 0).Scan();
    CWxSession session(m.get(), 0);
    session.Scan();
    CWxChat(m.get(), &session, 0).Scan();
    EXPECT_EQ(m->stepTotal, m->stepDone);
    EXPECT_EQ(CWxChat::StepTotal(int(account->messageDbFiles.size()), !account->brandDbPath.empty(),
                                 int(account->lsmFiles.size()), !account->ftsDbPath.empty()),
              m->stepTotal);
    EXPECT_FALSE(wxtest::find(*m, 0, "main live").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Stores, CWxChatSteps,
    ::testing::Values(StepCase{"MainOnly", false, false, false, false, false, false, false},
                      StepCase{"SearchIndex", false, false, false, false, true, false, false},
                      StepCase{"DamagedSearchIndex", false, false, false, false, true, true, false},
                      StepCase{"ExtraDatabase", true, false, false, false, false, false, false},
                      StepCase{"DamagedExtraDatabase", true, true, false, false, false, false, false},
                      StepCase{"ExtraDatabaseAndLocalStore", true, false, false, false, true, false, true},
                      StepCase{"OfficialAccounts", true, false, true, false, true, false, false},
                      StepCase{"DamagedOfficialAccounts", false, false, true, true, false, false, false}),
    [](const ::testing::TestParamInfo<StepCase>& info) { return std::string(info.param.name); });

} // namespace

namespace {

// The share of the whole scan at every progress report, with the step counter of that
// report.
class BarRecorder : public IScanProgress {
  public:
    struct Point {
        int bar, stepDone, stepTotal;
    };
    explicit BarRecorder(const CScanManager*& manager) : manager(manager) {}
    void OnScanData(int, void*) override {}
    void OnProgress(int dataType, int, int, int, int stepDone, int stepTotal, int) override {
        if (dataType == ScanWxChats && manager)
            points.push_back({manager->ScanProgress(), stepDone, stepTotal});
    }
    const CScanManager*& manager;
    std::vector<Point> points;
};

} // namespace

// A whole scan of an account with many session files: the sessions' count fills a part of
// the bar of their own, and the chats then move the bar as their steps go on (the bar
// stood still for most of the chat read when both shared one part).
TEST(CWxChat, TheChatReadMovesTheBarAfterTheSessions) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder a("wxid_owner01", "Owner");
    for (int i = 0; i < 8; ++i) {
        const std::string peer = "wxid_friend" + std::to_string(i);
        a.AddFriend(peer, "Friend " + std::to_string(i));
        a.AddMessage(WeChatAccountBuilder::MainDb,
                     {peer, 1600000100 + i, 1, false, "hello " + std::to_string(i)});
        a.AddSession(peer, "Friend " + std::to_string(i), {"", 1600000100 + i, 1, false, "hello"});
    }
    backup.Add(a);
    backup.Finish();
    const CScanManager* watched = nullptr;
    BarRecorder recorder(watched);
    const std::string root = backup.builder.root().string() + "/";
    CScanManager m(ScanWxChats, (backup.dir / "out").string().c_str(), root.c_str(),
                   backup.builder.IosMajorVersion(), &recorder, &backup.parser);
    m.now = [] { return wxtest::kNow; };
    watched = &m;
    m.Scan();

    // The chats' reports: those of the largest step count (the sessions count one step).
    int chatTotal = 0;
    for (const auto& p : recorder.points)
        chatTotal = std::max(chatTotal, p.stepTotal);
    ASSERT_GT(chatTotal, 4);
    int first = -1, halfway = -1;
    for (const auto& p : recorder.points) {
        if (p.stepTotal != chatTotal) continue;
        if (first < 0) first = p.bar;
        if (p.stepDone * 2 >= chatTotal) {
            halfway = p.bar;
            break;
        }
    }
    ASSERT_GE(first, 0);
    ASSERT_GE(halfway, 0);
    EXPECT_GT(halfway, first);
}
