// The chat engine's handling of recovered rows: which rows count as messages, which way
// they went, where they are placed in their chat, and when a chat of an unnamed peer is
// merged into a named one. Carved rows are handed to the engine as the carver would.
#include "chat/CWxAddressBook.h"
#include "chat/CWxChatEngine.h"
#include "chat/CWxSession.h"
#include "chat/WxMessageOps.h"
#include "core/sqlite/CarvedRecord.h"
#include "tests/chat/WxBackupFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using kit::WeChatAccountBuilder;

constexpr uint32_t kLostPage = 5; // a page no chat table holds

struct ChatEngine : CWxChatEngine {
    using CWxChatEngine::CWxChatEngine;
    int Columns() const { return int(columns.size()); }
};

struct Row {
    int64_t time;
    int type;
    int des; // 0 sent by the owner, 1 received
    std::string text;
};

// A carved chat row as the carver hands it over.
std::unique_ptr<CarvedRecord> carved(const ChatEngine& e, uint32_t page, const Row& row) {
    static int64_t svrId = 9000000000;
    auto r = std::make_unique<CarvedRecord>();
    const size_t n = size_t(e.Columns());
    r->valid = true;
    r->page = page;
    r->columnCount = e.Columns();
    r->values.assign(n, CarvedValue{});
    r->kinds.assign(n, KindNull);
    r->sizes.assign(n, 0);
    r->buffers.resize(n);
    auto integer = [&](const char* column, uint32_t kind, int64_t v) {
        const int c = e.GetColumnIndex(column);
        if (c < 0) return;
        r->kinds[size_t(c)] = kind;
        r->values[size_t(c)].i64 = v;
    };
    integer("Type", row.type < 128 ? KindInt8 : KindInt16, row.type);
    integer("Des", row.des ? KindOne : KindZero, row.des);
    integer("CreateTime", KindInt32, row.time);
    integer("MesLocalID", KindInt8, 9);
    integer("MesSvrID", KindInt64, ++svrId);
    const int m = e.GetColumnIndex("Message");
    if (m < 0) return r;
    r->buffers[size_t(m)].assign(row.text.begin(), row.text.end());
    r->buffers[size_t(m)].push_back('\0');
    r->kinds[size_t(m)] = KindText;
    r->sizes[size_t(m)] = uint32_t(row.text.size());
    r->values[size_t(m)].text = r->buffers[size_t(m)].data();
    return r;
}

// An account with a friend and a group, each with live rows; the engine reads the live
// rows and is ready for carved ones.
struct EngineFixture {
    wxtest::WxBackup backup;
    std::unique_ptr<CScanManager> m;
    std::unique_ptr<CWxSession> session;
    std::unique_ptr<ChatEngine> e;
    uint32_t alicePage = 0, groupPage = 0;

    explicit EngineFixture(int64_t backupDate = 0) {
        WeChatAccountBuilder a("wxid_owner01", "Owner");
        a.AddFriend("wxid_alice01", "Alice");
        a.AddFriend("wxid_member1", "Bob");
        a.AddFriend("12345@chatroom", "Climbers");
        a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice hello"});
        a.AddMessage(WeChatAccountBuilder::MainDb,
                     {"wxid_alice01", 1600000200, 49, false,
                      "<msg><appmsg><title>Alice link</title><url>http://a.test</url></appmsg></msg>"});
        a.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000300, 1, true, "owner answer"});
        a.AddMessage(WeChatAccountBuilder::MainDb,
                     {"12345@chatroom", 1600000400, 1, false, "wxid_member1:\nlive group line"});
        backup.Add(a);
        backup.Finish();
        m = backup.Manager(0x3000);
        m->backupDate = backupDate;
        CWxAddressBook(m.get(), 0).Scan();
        session = std::make_unique<CWxSession>(m.get(), 0);
        session->Scan();
        e = std::make_unique<ChatEngine>(m.get(), session.get(), 0, WxChatOptions{});
        EXPECT_TRUE(e->Open(m->BackupFilePath((*m->wxAccounts)[0]->chatDbPath).c_str(), false));
        e->LoadChatTables();
        e->AssignTableContacts();
        e->ReadLiveMessages();
        for (const TableEntry& t : e->ChatTables()) {
            if (t.name == WeChatAccountBuilder::ChatTable("wxid_alice01")) alicePage = uint32_t(t.rootPage);
            if (t.name == WeChatAccountBuilder::ChatTable("12345@chatroom")) groupPage = uint32_t(t.rootPage);
        }
        EXPECT_NE(0u, alicePage);
        EXPECT_NE(0u, groupPage);
        EXPECT_GT(e->LoadColumns(e->ChatTables().front().name.c_str()), 0);
        EXPECT_TRUE(e->PrepareTable());
        EXPECT_EQ(nullptr, e->TableOfPage(kLostPage));
    }
    bool Carve(uint32_t page, const Row& row) { return e->OnCarvedRecord(carved(*e, page, row).get(), 9); }
    std::vector<wxtest::Filed> Find(const std::string& text) const { return wxtest::find(*m, 0, text); }
    const WxSessionRecord* SessionOf(const std::string& text) const {
        auto f = Find(text);
        return f.size() == 1 ? f[0].session : nullptr;
    }
};

TEST(WxMessageOps, ReadableText) {
    const struct {
        std::string text;
        bool readable;
    } cases[] = {
        {"plain words", true},
        {"line\nbreak\ttab\r\n", true},
        {"\xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80", true}, // CJK and an emoji
        {"", false},
        {" \n\t ", false},
        {"ab\x01"
         "cd",
         false},                 // a control byte
        {"ab\x7f", false},       // DEL
        {"ab\xff", false},       // not UTF-8
        {"ab\xe4\xb8", false},   // a sequence cut short
        {"\xc0\xaf", false},     // an overlong form
        {"\xed\xa0\x80", false}, // a surrogate
        {"\xc2\x85", false},     // a C1 control character
        {std::string("a\0b", 3), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.readable, wxIsReadableText(c.text)) << c.text;

    EXPECT_EQ(1600000000 + kWxBackupDateSlack, wxLatestMessageTime(1600000000, 1700000000));
    EXPECT_EQ(1700000000, wxLatestMessageTime(0, 1700000000));          // no backup date: the clock
    EXPECT_EQ(1700000000, wxLatestMessageTime(1200000000, 1700000000)); // a date before WeChat: the clock
    EXPECT_EQ(1700000000, wxLatestMessageTime(INT64_MAX, 1700000000));
    EXPECT_TRUE(wxIsPlausibleRecoveredMessage(kWxEarliestMessageTime, "x", kWxEarliestMessageTime));
    EXPECT_FALSE(wxIsPlausibleRecoveredMessage(kWxEarliestMessageTime - 1, "x", 1700000000));
    EXPECT_FALSE(wxIsPlausibleRecoveredMessage(1700000001, "x", 1700000000));
}

// A carved row dated before WeChat existed or after the backup was made, or whose text is
// not readable, is a fragment: it is no message and adds no chat.
TEST(CWxChatEngine, RecoveredRowsOutsideTheBackupsTimeOrUnreadableAreNoMessages) {
    const int64_t backupDate = 1600000000;
    EngineFixture f(backupDate);
    const struct {
        int64_t time;
        std::string text;
        bool listed;
    } cases[] = {
        {1600000150, "within the window", true},
        {kWxEarliestMessageTime, "first second of 2011", true},
        {backupDate + kWxBackupDateSlack, "a day after the backup date", true},
        {kWxEarliestMessageTime - 1, "last second of 2010", false},
        {1200000000, "dated 2008", false},
        {backupDate + kWxBackupDateSlack + 1, "just after the slack", false},
        {1650000000, "months after the backup", false},
        {1600000160, "control \x02\x03 bytes", false},
        {1600000170, "broken \xff\xfe text", false},
        {1600000180, "   ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.listed, f.Carve(f.alicePage, {c.time, 1, 1, c.text}));
        // On a page of no chat: no chat of an unnamed peer is made for a fragment.
        EXPECT_EQ(c.listed, f.Carve(kLostPage, {c.time, 1, 1, c.text}));
        EXPECT_EQ(c.listed ? 2u : 0u, f.Find(c.text).size());
    }
    int unnamedSessions = 0;
    for (const WxSessionRecord* s = f.m->wxSessionLists[0].first; s; s = s->next)
        if (s->peer && s->peer->kind == 4) {
            ++unnamedSessions;
            EXPECT_GT(s->messages.count, 0);
        }
    EXPECT_EQ(1, unnamedSessions);
    f.backup.ExpectUnchanged();
}

// Without a backup date the scan's clock bounds the dates.
TEST(CWxChatEngine, WithoutABackupDateTheClockBoundsRecoveredRows) {
    EngineFixture f(0);
    EXPECT_TRUE(f.Carve(f.alicePage, {1650000000, 1, 1, "before the clock"}));
    EXPECT_FALSE(f.Carve(f.alicePage, {wxtest::kNow + 1, 1, 1, "after the clock"}));
    EXPECT_EQ(1u, f.Find("before the clock").size());
    EXPECT_EQ(0u, f.Find("after the clock").size());
}

// The direction of a recovered message is what its row says: Des, and in a group a sender
// its text names that the account knows (the owner or a contact), which outweighs Des.
// Any other "word:\n" at the start is the text itself and Des stands.
TEST(CWxChatEngine, RecoveredDirectionFollowsTheStoredRow) {
    EngineFixture f;
    const struct {
        bool group; // on the group's page, else on a page of no chat
        Row row;
        std::string shown; // text as listed
        bool fromMe;
        std::string sender;
    } cases[] = {
        {true, {1600000500, 1, 0, "wxid_member1:\nbob says hi"}, "bob says hi", false, "wxid_member1"},
        {true, {1600000510, 1, 1, "wxid_owner01:\nowner says hi"}, "owner says hi", true, "wxid_owner01"},
        {true, {1600000520, 1, 0, "owner without a prefix"}, "owner without a prefix", true, "wxid_owner01"},
        {true, {1600000530, 1, 1, "member without a prefix"}, "member without a prefix", false, ""},
        {false,
         {1600000540, 1, 0, "wxid_member1:\nbob on a lost page"},
         "bob on a lost page",
         false,
         "wxid_member1"},
        {false,
         {1600000550, 1, 1, "wxid_owner01:\nowner on a lost page"},
         "owner on a lost page",
         true,
         "wxid_owner01"},
        {false, {1600000560, 1, 1, "Note:\nnot a sender"}, "Note:\nnot a sender", false, ""},
        // The owner's own text that begins with a word and a colon stays the owner's, whole.
        {true, {1600000570, 1, 0, "Todo:\nbuy milk"}, "Todo:\nbuy milk", true, "wxid_owner01"},
        {false, {1600000580, 1, 0, "Todo:\nbuy bread"}, "Todo:\nbuy bread", true, "wxid_owner01"},
        {true,
         {1600000590, 1, 0, "wxid_nobody9:\nowner quoting a name"},
         "wxid_nobody9:\nowner quoting a name",
         true,
         "wxid_owner01"},
        // A received text whose first word is not a user name keeps it.
        {true, {1600000600, 1, 1, "Todo:\nbuy eggs"}, "Todo:\nbuy eggs", false, ""},
        // A received group row names its sender, known to the account or not.
        {true,
         {1600000610, 1, 1, "wxid_stranger9:\nstranger in the group"},
         "stranger in the group",
         false,
         "wxid_stranger9"},
        // A group's name is no sender of the owner's row.
        {false,
         {1600000620, 1, 0, "12345@chatroom:\nowner names the group"},
         "12345@chatroom:\nowner names the group",
         true,
         "wxid_owner01"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row.text);
        ASSERT_TRUE(f.Carve(c.group ? f.groupPage : kLostPage, c.row));
        auto found = f.Find(c.shown);
        ASSERT_EQ(1u, found.size());
        const WxMessageRecord& msg = *found[0].message;
        EXPECT_EQ(c.fromMe, bool(msg.fromMe));
        EXPECT_EQ(c.shown, msg.text);
        EXPECT_EQ(c.sender, msg.senderUserName);
        EXPECT_EQ(WxMessageRecord::DirectionFrom::StoredRow, msg.directionFrom);
        if (c.group) EXPECT_EQ("12345@chatroom", found[0].session->peer->userName);
    }
    // Live rows keep the direction their Des gives.
    auto live = f.Find("owner answer");
    ASSERT_EQ(1u, live.size());
    EXPECT_TRUE(live[0].message->fromMe);
}

// Recovered rows take their place by time in their chat, after the messages of the same
// second that came before them.
TEST(CWxChatEngine, RecoveredRowsArePlacedInTimeOrder) {
    EngineFixture f;
    const int64_t times[] = {1600000250, 1600000050, 1600000300, 1600000100, 1600000999,
                             1600000250, 1600000001, 1600000300, 1600000150};
    int n = 0;
    for (int64_t t : times)
        ASSERT_TRUE(f.Carve(f.alicePage, {t, 1, 1, "recovered " + std::to_string(n++)}));
    const WxSessionRecord* s = f.SessionOf("alice hello");
    ASSERT_NE(nullptr, s);
    std::vector<std::string> order;
    for (const WxMessageRecord* m = s->messages.first; m; m = m->next) {
        if (m->next) EXPECT_LE(m->time, m->next->time);
        order.push_back(m->type == 49 ? m->title : m->text);
    }
    const std::vector<std::string> expected = {"recovered 6",  "recovered 1", "alice hello", "recovered 3",
                                               "recovered 8",  "Alice link",  "recovered 0", "recovered 5",
                                               "owner answer", "recovered 2", "recovered 7", "recovered 4"};
    EXPECT_EQ(expected, order);
    // Links run both ways.
    int count = 0;
    for (const WxMessageRecord* m = s->messages.last; m; m = m->prev)
        ++count;
    EXPECT_EQ(s->messages.count, count);

    // A chat someone left out of order: after its leading messages of that time or earlier.
    auto* alice = const_cast<WxSessionRecord*>(s);
    auto early = std::make_unique<WxMessageRecord>();
    early->time = 1600000000;
    early->text = "appended out of order";
    alice->messages.append(std::move(early));
    ASSERT_TRUE(f.Carve(f.alicePage, {1600000060, 1, 1, "into the disordered chat"}));
    auto placed = f.Find("into the disordered chat");
    ASSERT_EQ(1u, placed.size());
    ASSERT_NE(nullptr, placed[0].message->prev);
    EXPECT_EQ("recovered 1", placed[0].message->prev->text);
}

// A chat of an unnamed peer goes into a named chat only when both hold the same message:
// the same time, kind and content. A merge drops only messages that are the same.
TEST(CWxChatEngine, MergeNeedsTheSameMessageAndKeepsEveryDifferentOne) {
    const std::string otherLink =
        "<msg><appmsg><title>Carol link</title><url>http://c.test</url></appmsg></msg>";
    {
        // A stranger's app message at the same second as Alice's: no merge, nothing lost.
        EngineFixture f;
        ASSERT_TRUE(f.Carve(kLostPage, {1600000200, 49, 1, otherLink}));
        ASSERT_TRUE(f.Carve(kLostPage, {1600000210, 1, 1, "carol text"}));
        ASSERT_TRUE(f.Carve(kLostPage, {1600000300, 1, 1, "carol at the time of owner answer"}));
        f.e->MergeResults();
        const WxSessionRecord* carol = f.SessionOf("carol text");
        ASSERT_NE(nullptr, carol);
        EXPECT_EQ(4, carol->peer->kind);
        EXPECT_EQ(carol, f.SessionOf("Carol link"));
        EXPECT_EQ(carol, f.SessionOf("carol at the time of owner answer"));
        EXPECT_EQ(3, carol->messages.count);
        EXPECT_EQ(3, f.SessionOf("alice hello")->messages.count);
    }
    {
        // The same text as Alice's: merged; a different app message of the same second and
        // a different text of another message's second stay, the same text goes once.
        EngineFixture f;
        ASSERT_TRUE(f.Carve(kLostPage, {1600000100, 1, 1, "alice hello"}));
        ASSERT_TRUE(f.Carve(kLostPage, {1600000200, 49, 1, otherLink}));
        ASSERT_TRUE(f.Carve(kLostPage, {1600000300, 1, 1, "another text of that second"}));
        ASSERT_TRUE(f.Carve(kLostPage, {1600000250, 1, 1, "only in the lost chat"}));
        f.e->MergeResults();
        const WxSessionRecord* alice = f.SessionOf("only in the lost chat");
        ASSERT_NE(nullptr, alice);
        EXPECT_EQ("wxid_alice01", alice->peer->userName);
        EXPECT_EQ(1u, f.Find("alice hello").size());
        EXPECT_EQ(alice, f.SessionOf("Carol link"));
        EXPECT_EQ(alice, f.SessionOf("Alice link"));
        EXPECT_EQ(alice, f.SessionOf("another text of that second"));
        EXPECT_EQ(6, alice->messages.count);
        for (const WxMessageRecord* m = alice->messages.first; m && m->next; m = m->next)
            EXPECT_LE(m->time, m->next->time);
    }
    {
        // Messages that keep nothing to tell them apart (recovered pictures) never make
        // two chats one.
        EngineFixture f;
        ASSERT_TRUE(f.Carve(kLostPage, {1600000200, 3, 1, "<msg><img aeskey=\"k\"/></msg>"}));
        ASSERT_TRUE(f.Carve(kLostPage, {1600000220, 1, 1, "text beside a picture"}));
        f.e->MergeResults();
        const WxSessionRecord* lost = f.SessionOf("text beside a picture");
        ASSERT_NE(nullptr, lost);
        EXPECT_EQ(4, lost->peer->kind);
        EXPECT_EQ(2, lost->messages.count);
    }
}

// A search-index copy of a message keeps no direction; a copy read from its chat row does.
// Wherever the two meet, in whichever order they were filed, one message is listed, with
// the row's direction and sender and the longer of the two texts (a carved text may be cut
// short where the rest of its row was overwritten).
TEST(CWxChatEngine, TheStoredRowDecidesTheDirectionOverAnIndexCopy) {
    enum Road {
        CarvedUnnamedIndexNamed, // the row's page left its table; the index names the chat
        IndexUnnamedCarvedNamed, // the index's user id is unknown; the row is on its table's page
        IndexFirstThenCarved,    // the index copy is in the chat when the row is carved
    };
    const char* names[] = {"carved row unnamed, index copy named", "index copy unnamed, carved row named",
                           "index copy first, carved row after"};
    for (Road road : {CarvedUnnamedIndexNamed, IndexUnnamedCarvedNamed, IndexFirstThenCarved})
        for (int des : {0, 1}) {
            SCOPED_TRACE(std::string(names[road]) + (des == 0 ? ", sent" : ", received"));
            EngineFixture f;
            const int64_t t = 1600000700;
            const std::string text = des == 0 ? "sent and deleted #1" : "received and deleted #1";
            // The carved text is cut short: the index holds three times as much.
            const std::string whole = text + " and the rest the index holds" + std::string(60, '.');
            auto indexCopy = [&] {
                auto m = std::make_unique<WxMessageRecord>();
                m->deleted = true;
                m->type = 1;
                m->time = t;
                m->text = whole;
                m->directionFrom = WxMessageRecord::DirectionFrom::None;
                return m;
            };
            auto* alice = const_cast<WxSessionRecord*>(f.SessionOf("alice hello"));
            ASSERT_NE(nullptr, alice);
            auto indexIntoUnnamed = [&] {
                WxContactRecord* unknown = f.m->AddUnnamedChatContact(0);
                WxSessionRecord* s = f.m->AddWxSession(0, unknown, true, true);
                ASSERT_NE(nullptr, s);
                s->messages.append(indexCopy());
            };
            switch (road) {
            case CarvedUnnamedIndexNamed:
                ASSERT_TRUE(f.Carve(kLostPage, {t, 1, des, text}));
                alice->messages.append(indexCopy());
                break;
            case IndexUnnamedCarvedNamed:
                indexIntoUnnamed();
                ASSERT_TRUE(f.Carve(f.alicePage, {t, 1, des, text}));
                break;
            case IndexFirstThenCarved:
                alice->messages.append(indexCopy());
                ASSERT_TRUE(f.Carve(f.alicePage, {t, 1, des, text}));
                break;
            }
            f.e->MergeResults();
            auto found = f.Find(text);
            ASSERT_EQ(1u, found.size());
            const WxMessageRecord& msg = *found[0].message;
            EXPECT_EQ("wxid_alice01", found[0].session->peer->userName);
            EXPECT_EQ(des == 0, msg.fromMe);
            EXPECT_EQ(WxMessageRecord::DirectionFrom::StoredRow, msg.directionFrom);
            EXPECT_EQ(des == 0 ? "wxid_owner01" : "wxid_alice01", msg.senderUserName);
            EXPECT_EQ(whole, msg.text);
            EXPECT_TRUE(msg.deleted);
        }
}

// Two recovered rows of one second with like texts are two messages: only a copy that
// keeps no direction gives way to a row.
TEST(CWxChatEngine, RowsOfOneSecondStayTwoMessages) {
    EngineFixture f;
    ASSERT_TRUE(f.Carve(f.alicePage, {1600000800, 1, 0, "ok, see you"}));
    ASSERT_TRUE(f.Carve(f.alicePage, {1600000800, 1, 1, "ok, see you"}));
    f.e->MergeResults();
    auto found = f.Find("ok, see you");
    ASSERT_EQ(2u, found.size());
    EXPECT_NE(found[0].message->fromMe, found[1].message->fromMe);
}

} // namespace
