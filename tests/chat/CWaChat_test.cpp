// The WhatsApp parser: live sessions, members, push names, messages and media items,
// deleted messages carved from the pages, damaged rows and stores, and the contact
// card summary.
#include "chat/CWaChat.h"

#include "core/records/ScanDataType.h"
#include "core/records/WaChatRecord.h"
#include "core/backup/WaStoreEntry.h"
#include "scan/engine/CScanManager.h"
#include "tests/scan/engine/ScanFakes.h"
#include "tests/kit/ChatStorageDb.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/RecordDamage.h"
#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <vector>

namespace fs = std::filesystem;
using kit::ChatStorageDb;
using kit::Value;

namespace {

constexpr int64_t kAppleEpoch = 978307200;
// A fixed date in 2023, seconds since 2001.
constexpr int64_t kBase = 700000000;

struct Store {
    kit::ScratchFolder scratch{"wachat"};
    scantest::FakeFileParser parser;
    std::unique_ptr<CScanManager> manager;

    fs::path Path(const std::string& name = "ChatStorage.sqlite") const { return scratch.path() / name; }

    // Files a store of that stored path (relative to the scratch folder).
    void AddStore(const std::string& storedPath) {
        auto entry = std::make_unique<WaStoreEntry>();
        entry->index = 0;
        entry->folder = "/var/mobile/Applications/group.net.whatsapp.WhatsApp.shared/";
        entry->storedPath = storedPath;
        parser.stores.push_back(std::move(entry));
    }

    // Runs the parser as the scan does; the result of its Scan.
    // `now`, when given, is the scan's clock (Unix seconds).
    bool Run(std::optional<int64_t> now = std::nullopt) {
        const std::string root = scratch.path().string() + "/";
        manager =
            std::make_unique<CScanManager>(ScanWaChats, root.c_str(), root.c_str(), 14, nullptr, &parser);
        if (now) manager->now = [t = *now] { return t; };
        manager->waStores = parser.GetWhatsAppStores();
        return CWaChat(manager.get()).Scan();
    }

    std::vector<const WaChatRecord*> Chats() const {
        std::vector<const WaChatRecord*> out;
        for (const WaChatRecord* c = manager->waChatList.first; c; c = c->next)
            out.push_back(c);
        return out;
    }
    std::vector<const WaMessageRecord*> Messages(const WaChatRecord* chat) const {
        std::vector<const WaMessageRecord*> out;
        for (const WaMessageRecord* m = chat->messages.first; m; m = m->next)
            out.push_back(m);
        return out;
    }
    // Every message by its text (a text found twice fails the test).
    std::map<std::string, const WaMessageRecord*> ByText() const {
        std::map<std::string, const WaMessageRecord*> out;
        for (const WaChatRecord* c : Chats())
            for (const WaMessageRecord* m : Messages(c))
                if (!m->text.empty()) {
                    EXPECT_TRUE(out.emplace(m->text, m).second) << "twice: " << m->text;
                }
        return out;
    }
};

ChatStorageDb::Message Text(int64_t session, int64_t date, const std::string& text, const std::string& stanza,
                            bool fromMe = false) {
    ChatStorageDb::Message m;
    m.session = session;
    m.type = int64_t(0);
    m.fromMe = int64_t(fromMe ? 1 : 0);
    m.date = date;
    m.text = text;
    m.stanzaId = stanza;
    m.fromJid = fromMe ? Value(nullptr) : Value(std::string("4915550001@s.whatsapp.net"));
    return m;
}

} // namespace

TEST(CWaChat, LiveChatsMembersMediaAndSenders) {
    Store s;
    {
        ChatStorageDb db(s.Path());
        const int64_t ann =
            db.AddSession(std::string("4915550001@s.whatsapp.net"), std::string("Ann"), int64_t(0));
        const int64_t group =
            db.AddSession(std::string("120363-1@g.us"), std::string("Climbing"), int64_t(1));
        db.AddPushName(std::string("4915550002@s.whatsapp.net"), std::string("Bob (push)"));
        const int64_t annMember = db.AddGroupMember(group, std::string("4915550001@s.whatsapp.net"));
        const int64_t bobMember = db.AddGroupMember(group, std::string("4915550002@s.whatsapp.net"));
        const int64_t carolMember = db.AddGroupMember(group, std::string("4915550003@s.whatsapp.net"));
        const int64_t photo =
            db.AddMediaItem({.localPath = std::string("Media/a.jpg"), .author = std::string("Ann")});
        const int64_t place = db.AddMediaItem({.latitude = 52.5, .longitude = 13.4});
        const int64_t card =
            db.AddMediaItem({.vCard = std::string("BEGIN:VCARD\nFN:Dora\nTEL:+49 555 1\nEND:VCARD\n"),
                             .localPath = std::string("ignored.vcf")});
        // Group messages first in the table, to show the order comes from the sessions.
        auto g = [&](int64_t date, const std::string& text, const std::string& stanza, int64_t member) {
            auto m = Text(group, date, text, stanza);
            m.groupMember = member;
            return m;
        };
        db.AddMessage(g(kBase + 20, "from bob", "G2", bobMember));
        db.AddMessage(g(kBase + 10, "from ann", "G1", annMember));
        db.AddMessage(g(kBase + 30, "from carol", "G3", carolMember));
        db.AddMessage(g(kBase + 40, "from nobody", "G4", int64_t(99)));
        auto mine = g(kBase + 50, "mine", "G5", annMember);
        mine.fromMe = int64_t(1);
        db.AddMessage(mine);
        for (auto [event, stanza] : {std::pair{1, "E1"}, {4, "E4"}, {2, "E2"}}) {
            ChatStorageDb::Message m;
            m.session = group;
            m.type = int64_t(10);
            m.date = kBase + 60 + event;
            m.stanzaId = std::string(stanza);
            m.groupEventType = int64_t(event);
            db.AddMessage(m);
        }
        db.AddMessage(Text(ann, double(kBase) + 0.75, "hello", "A1"));
        db.AddMessage(Text(ann, kBase + 5, "reply", "A2", true));
        for (auto [type, item, stanza] : {std::tuple{1, photo, "M1"}, {5, place, "M5"}, {4, card, "M4"}}) {
            ChatStorageDb::Message m;
            m.session = ann;
            m.type = int64_t(type);
            m.date = kBase + 100 + type;
            m.mediaItem = item;
            m.stanzaId = std::string(stanza);
            db.AddMessage(m);
        }
    }
    s.AddStore("ChatStorage.sqlite");
    ASSERT_TRUE(s.Run());

    const auto chats = s.Chats();
    ASSERT_EQ(chats.size(), 2u);
    const WaChatRecord* ann = chats[0];
    const WaChatRecord* group = chats[1];
    EXPECT_EQ(ann->name, "Ann");
    EXPECT_EQ(ann->sessionType, 0);
    EXPECT_EQ(ann->jid, "4915550001@s.whatsapp.net");
    EXPECT_FALSE(ann->deleted);
    EXPECT_EQ(group->name, "Climbing");
    EXPECT_EQ(group->sessionType, 1);

    const auto a = s.Messages(ann);
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0]->text, "hello");
    EXPECT_EQ(a[0]->date, kBase + kAppleEpoch); // a fractional date is cut to whole seconds
    EXPECT_EQ(a[0]->senderName, "Ann");
    EXPECT_EQ(a[0]->senderJid, "4915550001@s.whatsapp.net");
    EXPECT_TRUE(a[1]->fromMe);
    EXPECT_EQ(a[1]->senderName, "");
    EXPECT_EQ(a[2]->type, 1);
    EXPECT_EQ(a[2]->mediaPath, "Media/a.jpg");
    EXPECT_EQ(a[2]->mediaAuthor, "Ann");
    EXPECT_EQ(a[3]->type, 4);
    EXPECT_EQ(a[3]->vCardText, "Dora(+49 555 1;) ");
    EXPECT_EQ(a[3]->mediaPath, "");
    EXPECT_EQ(a[4]->type, 5);
    EXPECT_EQ(a[4]->location, "[52.500000,13.400000]");

    const auto m = s.Messages(group);
    ASSERT_EQ(m.size(), 8u);
    EXPECT_EQ(m[0]->text, "from ann");
    EXPECT_EQ(m[0]->senderName, "Ann"); // the name of her one-to-one session
    EXPECT_EQ(m[1]->text, "from bob");
    EXPECT_EQ(m[1]->senderName, "Bob (push)");
    EXPECT_EQ(m[2]->text, "from carol");
    EXPECT_EQ(m[2]->senderJid, "4915550003@s.whatsapp.net");
    EXPECT_EQ(m[2]->senderName, "");
    EXPECT_EQ(m[3]->text, "from nobody");
    EXPECT_EQ(m[3]->senderJid, "");
    EXPECT_EQ(m[4]->senderJid, ""); // own message
    struct {
        int type;
        bool flag;
    } events[] = {{10000, true}, {10, false}, {10000, false}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m[5 + size_t(i)]->type, events[i].type);
        EXPECT_EQ(m[5 + size_t(i)]->eventFlag, events[i].flag);
    }
}

TEST(CWaChat, DamagedLiveRowsAreDroppedOrKeptByColumn) {
    Store s;
    {
        ChatStorageDb db(s.Path());
        const int64_t plain = db.AddSession(std::string("1@s.whatsapp.net"), nullptr, nullptr);
        const int64_t hidden =
            db.AddSession(std::string("2@s.whatsapp.net"), std::string("Hidden"), int64_t(0), true);
        db.AddSession(nullptr, std::string("no jid"), int64_t(0));
        const int64_t noCoordinates = db.AddMediaItem(
            {.vCard = nullptr, .localPath = std::string("Media/b.jpg"), .author = std::string("Eve")});
        db.AddMessage(Text(plain, kBase, "kept", "S1"));
        auto noStanza = Text(plain, kBase + 1, "no stanza", "x");
        noStanza.stanzaId = nullptr;
        db.AddMessage(noStanza);
        auto textDate = Text(plain, kBase + 2, "text date", "S3");
        textDate.date = std::string("2023-01-01");
        db.AddMessage(textDate);
        auto hugeDate = Text(plain, kBase + 3, "huge date", "S4");
        hugeDate.date = int64_t(INT64_MAX - 5);
        db.AddMessage(hugeDate);
        auto nullText = Text(plain, kBase + 4, "", "S5");
        nullText.text = nullptr;
        db.AddMessage(nullText);
        auto nullType = Text(plain, kBase + 5, "null type", "S6");
        nullType.type = nullptr;
        db.AddMessage(nullType);
        ChatStorageDb::Message media;
        media.session = plain;
        media.type = int64_t(2);
        media.date = kBase + 6;
        media.mediaItem = noCoordinates;
        media.stanzaId = std::string("S7");
        db.AddMessage(media);
        db.AddMessage(Text(hidden, kBase + 7, "in hidden", "S8"));
        db.AddMessage(Text(int64_t(77), kBase + 8, "in missing", "S9"));
        db.AddMessage(Text(int64_t(0), kBase + 9, "no session", "S10"));
        db.AddMessage(Text(plain, kBase + 10, std::string("before\0after", 12), "S11"));
    }
    s.AddStore("ChatStorage.sqlite");
    ASSERT_TRUE(s.Run());

    // Chats come in the order of their first message: by session, then date.
    const auto chats = s.Chats();
    ASSERT_EQ(chats.size(), 4u);
    // A message of session 0 is read as well (only the count leaves it out); like those
    // of hidden and missing sessions it goes to an unknown session named by a number.
    EXPECT_EQ(chats[0]->sessionType, 2);
    EXPECT_EQ(chats[0]->name, "0");
    EXPECT_EQ(s.Messages(chats[0])[0]->text, "no session");

    EXPECT_EQ(chats[1]->name, ""); // session type NULL: one-to-one without partner name
    EXPECT_EQ(chats[1]->sessionType, 0);
    const auto m = s.Messages(chats[1]);
    // Dropped: no stanza id, a text date, a date past the range of Unix time, a NULL type.
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[3]->text, "before"); // a text ends at its first NUL
    EXPECT_EQ(m[0]->text, "kept");
    EXPECT_EQ(m[1]->text, ""); // NULL text kept as empty
    EXPECT_EQ(m[2]->type, 2);
    EXPECT_EQ(m[2]->mediaPath, "Media/b.jpg"); // no coordinates, path and author kept
    EXPECT_EQ(m[2]->mediaAuthor, "Eve");

    EXPECT_EQ(chats[2]->sessionType, 2);
    EXPECT_EQ(chats[2]->name, "1");
    EXPECT_EQ(chats[2]->jid, "");
    EXPECT_EQ(s.Messages(chats[2])[0]->text, "in hidden");
    EXPECT_EQ(s.Messages(chats[2])[0]->senderJid, "");
    EXPECT_EQ(chats[3]->name, "2");
    EXPECT_EQ(s.Messages(chats[3])[0]->text, "in missing");
}

TEST(CWaChat, DeletedMessagesAreCarvedAfterTheLiveOnes) {
    Store s;
    struct Case {
        std::string text;
        int64_t type;
        Value date;
        bool recovered;
    };
    const std::vector<Case> cases = {
        {"deleted plain", 0, kBase + 100, true},
        {"deleted fractional", 0, double(kBase) + 200.5, true},
        {"deleted type 7", 7, kBase + 300, false},
        {"deleted type 11", 11, kBase + 400, false},
        {"deleted date 0", 0, int64_t(0), false},
        {"deleted before 2001", 0, int64_t(-40000), false},
        {"deleted next year", 0, int64_t(std::time(nullptr)) - kAppleEpoch + 366 * 86400, false},
        {"deleted far future", 0, int64_t(7) << 40, false},
    };
    {
        ChatStorageDb db(s.Path());
        const int64_t ann = db.AddSession(std::string("1@s.whatsapp.net"), std::string("Ann"), int64_t(0));
        const int64_t bob = db.AddSession(std::string("2@s.whatsapp.net"), std::string("Bob"), int64_t(0));
        db.AddMessage(Text(ann, kBase, "live one", "L1"));
        int n = 0;
        for (const Case& c : cases) {
            auto m = Text(bob, 0, c.text, "D" + std::to_string(++n) + std::string(40, 'x'));
            m.type = c.type;
            m.date = c.date;
            db.AddMessage(m);
        }
        auto emptyText = Text(bob, kBase + 500, "", "DE" + std::string(40, 'x'));
        db.AddMessage(emptyText);
        db.DeleteMessages("ZCHATSESSION = " + std::to_string(bob));
    }
    s.AddStore("ChatStorage.sqlite");
    ASSERT_TRUE(s.Run());

    const auto byText = s.ByText();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(byText.count(c.text), c.recovered ? 1u : 0u);
    }
    ASSERT_EQ(byText.count("deleted plain"), 1u);
    const WaMessageRecord* plain = byText.at("deleted plain");
    EXPECT_TRUE(plain->deleted);
    EXPECT_EQ(plain->date, kBase + 100 + kAppleEpoch);
    EXPECT_EQ(plain->senderName, "Bob");
    EXPECT_EQ(byText.at("deleted fractional")->date, kBase + 200 + kAppleEpoch);

    const auto chats = s.Chats();
    ASSERT_EQ(chats.size(), 2u);
    EXPECT_EQ(chats[0]->name, "Ann");
    EXPECT_FALSE(chats[0]->deleted);
    EXPECT_EQ(chats[1]->name, "Bob");
    EXPECT_TRUE(chats[1]->deleted);
    for (const WaMessageRecord* m : s.Messages(chats[1]))
        EXPECT_FALSE(m->text.empty()); // an empty carved text is refused
}

// Carved dates are bounded by the scan's clock, not the machine's: a message dated after
// the scan's "now" is taken for bytes of something else.
TEST(CWaChat, CarvedDatesFollowTheScanClock) {
    for (const bool clockBeforeMessage : {false, true}) {
        SCOPED_TRACE(clockBeforeMessage ? "clock before the message" : "clock after the message");
        Store s;
        {
            ChatStorageDb db(s.Path());
            const int64_t bob =
                db.AddSession(std::string("2@s.whatsapp.net"), std::string("Bob"), int64_t(0));
            db.AddMessage(Text(bob, kBase + 100, "deleted dated", "DC" + std::string(40, 'x')));
            db.DeleteMessages("ZCHATSESSION = " + std::to_string(bob));
        }
        s.AddStore("ChatStorage.sqlite");
        const int64_t messageUnix = kBase + 100 + kAppleEpoch;
        ASSERT_TRUE(s.Run(clockBeforeMessage ? messageUnix - 1 : messageUnix));
        EXPECT_EQ(s.ByText().count("deleted dated"), clockBeforeMessage ? 0u : 1u);
    }
}

TEST(CWaChat, AnOldCopyOfALiveMessageIsDropped) {
    Store s;
    const std::string stanza = "C1" + std::string(40, 'y');
    {
        ChatStorageDb db(s.Path());
        const int64_t ann = db.AddSession(std::string("1@s.whatsapp.net"), std::string("Ann"), int64_t(0));
        db.AddMessage(Text(ann, kBase, "live one", "L1"));
        db.AddMessage(Text(ann, kBase + 1, "old copy", stanza));
        db.AddMessage(Text(ann, kBase + 2, "filler", "F1"));
        db.AddMessage(Text(ann, kBase + 3, "deleted other", "D1" + std::string(40, 'z')));
        db.AddMessage(Text(ann, kBase + 4, "filler 2", "F2"));
        db.DeleteMessages("ZTEXT IN ('old copy', 'deleted other')");
        // The message as it stands now: same date and stanza id, a text too long for the
        // freed cells, so the old copy stays on the page.
        db.AddMessage(Text(ann, kBase + 1, "new text " + std::string(400, 'n'), stanza));
    }
    s.AddStore("ChatStorage.sqlite");
    ASSERT_TRUE(s.Run());
    const auto byText = s.ByText();
    EXPECT_EQ(byText.count("old copy"), 0u);
    ASSERT_EQ(byText.count("deleted other"), 1u);
    EXPECT_TRUE(byText.at("deleted other")->deleted);
    EXPECT_EQ(byText.count("new text " + std::string(400, 'n')), 1u);
}

TEST(CWaChat, OnlyTheFirstStoreIsRead) {
    Store s;
    for (const char* name : {"first.sqlite", "second.sqlite"}) {
        ChatStorageDb db(s.Path(name));
        const int64_t ann = db.AddSession(std::string("1@s.whatsapp.net"), std::string(name), int64_t(0));
        db.AddMessage(Text(ann, kBase, name, "S1"));
    }
    s.AddStore("first.sqlite");
    s.AddStore("second.sqlite");
    ASSERT_TRUE(s.Run());
    ASSERT_EQ(s.Chats().size(), 1u);
    EXPECT_EQ(s.Chats()[0]->name, "first.sqlite");
}

TEST(CWaChat, MissingEmptyOrBrokenStoresFailSoftly) {
    struct Case {
        const char* name;
        std::string storedPath;
        std::string bytes; // written to the stored path when not empty
        bool hasStore;
    };
    std::string header("SQLite format 3\0", 16);
    const std::vector<Case> cases = {
        {"no store", "", "", false},
        {"empty stored path", "", "", true},
        {"missing file", "nothing.sqlite", "", true},
        {"not a database", "junk.sqlite", std::string(5000, 'j'), true},
        {"header only", "header.sqlite", header + std::string(84, '\0'), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Store s;
        if (!c.bytes.empty()) std::ofstream(s.Path(c.storedPath), std::ios::binary) << c.bytes;
        if (c.hasStore) s.AddStore(c.storedPath);
        const auto before = kit::FolderSnapshot::Take(s.scratch.path());
        EXPECT_FALSE(s.Run());
        EXPECT_TRUE(s.Chats().empty());
        EXPECT_EQ("", kit::FolderSnapshot::Take(s.scratch.path()).DiffFrom(before));
    }
}

TEST(CWaChat, TruncatedAndScribbledStoresNeverCrash) {
    Store s;
    {
        ChatStorageDb db(s.Path("source.sqlite"), 1024);
        const int64_t ann = db.AddSession(std::string("1@s.whatsapp.net"), std::string("Ann"), int64_t(0));
        for (int i = 0; i < 60; ++i)
            db.AddMessage(Text(ann, kBase + i, "message " + std::to_string(i), "S" + std::to_string(i)));
        db.DeleteMessages("Z_PK % 3 = 0");
    }
    std::ifstream in(s.Path("source.sqlite"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    s.AddStore("ChatStorage.sqlite");
    std::mt19937 rng(7);
    for (size_t cut : {size_t(100), size_t(1024), size_t(3000), bytes.size() / 2, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        std::ofstream(s.Path(), std::ios::binary | std::ios::trunc) << bytes.substr(0, cut);
        s.Run(); // either outcome; no crash, no hang
    }
    for (int round = 0; round < 6; ++round) {
        std::string damaged = bytes;
        for (int i = 0; i < 200; ++i)
            damaged[100 + rng() % (damaged.size() - 100)] = char(rng());
        std::ofstream(s.Path(), std::ios::binary | std::ios::trunc) << damaged;
        s.Run();
    }
}

namespace {

// Root page of a schema object of a database file.
int64_t rootPageOf(const fs::path& path, const char* name) {
    sqlite3* db = nullptr;
    int64_t root = 0;
    if (sqlite3_open_v2(path.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select rootpage from sqlite_master where name=?1", -1, &st, nullptr) ==
            SQLITE_OK) {
            sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
            if (sqlite3_step(st) == SQLITE_ROW) root = sqlite3_column_int64(st, 0);
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return root;
}

// Rows the parser's ordered message query gives, or -1 when it fails.
int orderedRows(const fs::path& path) {
    sqlite3* db = nullptr;
    int rows = -1;
    if (sqlite3_open_v2(path.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, "select ZTEXT from ZWAMESSAGE ORDER BY ZCHATSESSION,ZMESSAGEDATE", -1, &st,
                               nullptr) == SQLITE_OK) {
            rows = 0;
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW)
                ++rows;
            if (rc != SQLITE_DONE) rows = -1;
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

} // namespace

// A damaged index under the ordered message query (a scribbled page fails the query, an
// emptied one hides the rows): the table itself is read and its rows put in order, so
// every live message is found, chats and messages in the usual order. A damaged message
// record (which fails the ordered query too) costs that message alone, and is noted.
TEST(CWaChat, MessagesSurviveADamagedIndex) {
    enum class Damage { None, Scribbled, Emptied, Record };
    const std::pair<const char*, Damage> cases[] = {{"intact", Damage::None},
                                                    {"scribbled", Damage::Scribbled},
                                                    {"emptied", Damage::Emptied},
                                                    {"damaged record", Damage::Record}};
    for (const auto& [name, damage] : cases) {
        SCOPED_TRACE(name);
        Store s;
        {
            ChatStorageDb db(s.Path());
            const int64_t ann =
                db.AddSession(std::string("1@s.whatsapp.net"), std::string("Ann"), int64_t(0));
            const int64_t bob =
                db.AddSession(std::string("2@s.whatsapp.net"), std::string("Bob"), int64_t(0));
            // Interleaved and out of date order in the table.
            for (int i = 0; i < 50; ++i) {
                const int64_t session = i % 2 ? ann : bob;
                db.AddMessage(Text(session, kBase + (i * 37) % 50, "message " + std::to_string(i),
                                   "S" + std::to_string(i)));
            }
        }
        const int64_t root = rootPageOf(s.Path(), "ZWAMESSAGE_ZCHATSESSION_INDEX");
        ASSERT_GT(root, 1);
        if (damage == Damage::Record) {
            ASSERT_TRUE(kit::RecordDamage::DamageRecord(
                s.Path(), "ZWAMESSAGE", kit::RecordDamage::NthRowid(s.Path(), "ZWAMESSAGE", 25)));
        } else if (damage != Damage::None) {
            std::fstream f(s.Path(), std::ios::binary | std::ios::in | std::ios::out);
            f.seekp(std::streamoff((root - 1) * 4096));
            if (damage == Damage::Scribbled)
                f << std::string(16, '\x77');
            else
                f << std::string("\x0a\x00\x00\x00\x00", 5); // an index leaf without cells
        }
        ASSERT_EQ(damage == Damage::None                                    ? 50
                  : damage == Damage::Scribbled || damage == Damage::Record ? -1
                                                                            : 0,
                  orderedRows(s.Path()))
            << "the damage must reach the ordered query";
        s.AddStore("ChatStorage.sqlite");
        ASSERT_TRUE(s.Run());
        const auto chats = s.Chats();
        ASSERT_EQ(2u, chats.size());
        EXPECT_EQ("Ann", chats[0]->name);
        EXPECT_EQ("Bob", chats[1]->name);
        size_t total = 0;
        for (const WaChatRecord* c : chats) {
            const auto messages = s.Messages(c);
            total += messages.size();
            for (size_t i = 1; i < messages.size(); ++i)
                EXPECT_LE(messages[i - 1]->date, messages[i]->date);
        }
        EXPECT_EQ(damage == Damage::Record ? 49u : 50u, total);
        if (damage == Damage::Record) {
            ASSERT_EQ(1u, s.manager->losses.size());
            EXPECT_EQ(uint32_t(ScanWaChats), s.manager->losses[0].dataType);
            EXPECT_EQ(1, s.manager->losses[0].count);
        } else {
            EXPECT_TRUE(s.manager->losses.empty());
        }
    }
}

// Random stores read by the parser and by plain walks over the rows written: the same
// chats in the same order, with the same messages, senders and media.
TEST(CWaChat, RandomStoresMatchAPlainWalk) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&](int n) { return int(rng() % uint32_t(n)); };
        struct Session {
            int64_t pk;
            std::string jid, name;
            int type;
            bool hidden;
        };
        struct Member {
            int64_t pk, session;
            std::string jid;
        };
        struct Media {
            int64_t pk;
            std::string path, author;
        };
        struct Msg {
            int64_t session, type, date, member, media;
            bool fromMe;
            std::string text;
        };
        std::vector<Session> sessions;
        std::vector<Member> members;
        std::vector<std::pair<std::string, std::string>> pushNames;
        std::vector<Media> media;
        std::vector<Msg> messages;
        Store s;
        {
            ChatStorageDb db(s.Path());
            db.db().exec("BEGIN");
            for (int i = 0; i < 30; ++i) {
                Session x{0, "jid" + std::to_string(pick(40)), "name" + std::to_string(i),
                          pick(3) == 0 ? 1 : 0, pick(8) == 0};
                x.pk = db.AddSession(x.jid, x.name, int64_t(x.type), x.hidden);
                sessions.push_back(x);
            }
            for (int i = 0; i < 20; ++i) {
                pushNames.emplace_back("jid" + std::to_string(pick(60)), "push" + std::to_string(i));
                db.AddPushName(pushNames.back().first, pushNames.back().second);
            }
            for (int i = 0; i < 80; ++i) {
                Member x{0, int64_t(1 + pick(32)), "jid" + std::to_string(pick(60))};
                x.pk = db.AddGroupMember(x.session, x.jid);
                members.push_back(x);
            }
            for (int i = 0; i < 40; ++i) {
                Media x{0, "path" + std::to_string(i), "author" + std::to_string(i)};
                x.pk = db.AddMediaItem({.localPath = x.path, .author = x.author});
                media.push_back(x);
            }
            const int types[] = {0, 0, 0, 1, 2, 3, 8, 9};
            for (int i = 0; i < 600; ++i) {
                // Unique dates, so the store's order by session and date is total.
                Msg x{int64_t(1 + pick(34)),      int64_t(types[pick(8)]), kBase + i * 7 + pick(5),
                      int64_t(pick(90)),          int64_t(pick(45)),       pick(3) == 0,
                      "text " + std::to_string(i)};
                ChatStorageDb::Message m =
                    Text(x.session, x.date, x.text, "stanza" + std::to_string(i), x.fromMe);
                m.type = x.type;
                m.groupMember = x.member;
                m.mediaItem = x.media;
                db.AddMessage(m);
                messages.push_back(x);
            }
            db.db().exec("COMMIT");
        }
        s.AddStore("ChatStorage.sqlite");
        ASSERT_TRUE(s.Run());

        // The walk.
        std::stable_sort(messages.begin(), messages.end(), [](const Msg& a, const Msg& b) {
            return a.session != b.session ? a.session < b.session : a.date < b.date;
        });
        auto findSession = [&](int64_t pk) -> const Session* {
            for (const Session& x : sessions)
                if (x.pk == pk && !x.hidden) return &x;
            return nullptr;
        };
        struct Expected {
            int64_t pk;
            int type;
            std::string jid, name;
            std::vector<std::string> lines;
        };
        std::vector<Expected> expected;
        int unknown = 0;
        for (const Msg& m : messages) {
            const Session* session = findSession(m.session);
            Expected* chat = nullptr;
            for (Expected& e : expected)
                if (e.pk == m.session) chat = &e;
            if (!chat) {
                expected.push_back(session
                                       ? Expected{m.session, session->type, session->jid, session->name, {}}
                                       : Expected{m.session, 2, "", std::to_string(unknown++), {}});
                chat = &expected.back();
            }
            std::string line = std::to_string(m.type) + "|";
            if (m.type == 0) line += m.text;
            if (m.type == 1 || m.type == 2 || m.type == 3 || m.type == 8)
                for (const Media& x : media)
                    if (x.pk == m.media) {
                        line += x.path + "," + x.author;
                        break;
                    }
            line += "|";
            if (!m.fromMe && chat->type == 0) line += chat->jid + "," + chat->name;
            if (!m.fromMe && chat->type == 1)
                for (const Member& x : members)
                    if (x.session == m.session && x.pk == m.member) {
                        std::string name;
                        bool named = false;
                        for (const Session& y : sessions)
                            if (!y.hidden && y.jid == x.jid) {
                                name = y.name;
                                named = true;
                                break;
                            }
                        if (!named)
                            for (const auto& [jid, push] : pushNames)
                                if (jid == x.jid) {
                                    name = push;
                                    break;
                                }
                        line += x.jid + "," + name;
                        break;
                    }
            chat->lines.push_back(line);
        }

        const auto chats = s.Chats();
        ASSERT_EQ(chats.size(), expected.size());
        for (size_t i = 0; i < chats.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(chats[i]->sessionPk, expected[i].pk);
            EXPECT_EQ(chats[i]->sessionType, expected[i].type);
            EXPECT_EQ(chats[i]->jid, expected[i].jid);
            EXPECT_EQ(chats[i]->name, expected[i].name);
            std::vector<std::string> lines;
            for (const WaMessageRecord* m : s.Messages(chats[i]))
                lines.push_back(std::to_string(m->type) + "|" + m->text + m->mediaPath +
                                (m->mediaPath.empty() && m->mediaAuthor.empty() ? "" : ",") + m->mediaAuthor +
                                "|" + m->senderJid + (m->senderJid.empty() ? "" : ",") + m->senderName);
            EXPECT_EQ(lines, expected[i].lines);
        }
    }
}

TEST(CWaChatCards, SummaryOfContactCards) {
    const std::string card1 = "BEGIN:VCARD\nFN:Ann\nTEL:+1 1\nTEL:+1 2\nTEL:+1 3\nTEL:+1 4\nEND:VCARD\n";
    const std::string card2 = "BEGIN:VCARD\nFN:Bob\nTEL;CELL:+2 1\nEND:VCARD\n";
    const std::string noNumber = "BEGIN:VCARD\nFN:Cid\nTEL:555\nEND:VCARD\n";
    struct Case {
        const char* name;
        std::string text;
        std::string summary;
    } cases[] = {
        {"no end marker", "BEGIN:VCARD\nFN:Ann\nTEL:+1 1\n", ""},
        {"empty", "", ""},
        {"one card, fourth number left out", card1, "Ann(+1 1;+1 2;+1 3;) "},
        {"three cards", card1 + card2 + card2, "Ann(+1 1;+1 2;+1 3;) Bob(+2 1;) Bob(+2 1;) "},
        // A card without numbers takes none from the card after it.
        {"numbers stay inside their card", noNumber + card2, "Cid() Bob(+2 1;) "},
        {"no name ends the summary", "BEGIN:VCARD\nTEL:+1\nEND:VCARD\n" + card2, ""},
        {"name without line end", "FN:Ann END:VCARD", ""},
        {"number without line end", "FN:Ann\n+1END:VCARD", "Ann() "},
        {"short piece", "ENDEND:VCARD", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CWaChat::parseVCards(c.text), c.summary);
    }
    // Every prefix of a three-card text parses without reading past it.
    const std::string all = card1 + card2 + noNumber;
    for (size_t n = 0; n <= all.size(); ++n)
        (void)CWaChat::parseVCards(std::string_view(all).substr(0, n));
}

TEST(CWaChatCards, LocationIsFixedToSixDecimals) {
    EXPECT_EQ(CWaChat::locationText(52.5, 13.4), "[52.500000,13.400000]");
    EXPECT_EQ(CWaChat::locationText(-33.8688, 151.2093), "[-33.868800,151.209300]");
    EXPECT_EQ(CWaChat::locationText(0, 0), "[0.000000,0.000000]");
}
