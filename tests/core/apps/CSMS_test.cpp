// Messages parser: live and deleted messages of both schema generations, conversations,
// handles, dates, duplicates, contact names and damaged databases.
#include "core/apps/CSMS.h"
#include "core/records/ContactRecord.h"
#include "core/records/SmsConversationRecord.h"
#include "core/util/CheckedTime.h"
#include "scan/engine/CScanManager.h"
#include "tests/core/apps/SystemParserSupport.h"
#include "tests/kit/ArchivedBody.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/RecordDamage.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/kit/SystemSchemas.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <ctime>
#include <optional>
#include <set>

using namespace systest;

namespace {

constexpr const char* kSmsRelative = "Library/SMS/sms.db";
constexpr int64_t kOffset = 978307200;

// Newer schema (handles in their own table, dates since 2001).
constexpr const char* kNewSchema = kit::kSmsSchema;

// Older schema (address and flags in the message row, Unix dates).
constexpr const char* kOldSchema = kit::kSmsLegacySchema;

std::string guidFor(int n) {
    char b[40];
    std::snprintf(b, sizeof b, "%08X-1111-4222-8333-%012X", n, n * 7919);
    return b;
}

std::string attributedBody(const std::string& text) {
    return std::string("\x04\x0bstreamtyped\x81\xe8\x03\x84\x01\x40\x84\x84\x84\x12NSAttributedString", 36) +
           text;
}

// Apple seconds of a Unix time.
int64_t apple(int64_t unix) {
    return unix - kOffset;
}

class NewSmsDb {
  public:
    explicit NewSmsDb(const fs::path& path) : db(path) { db.exec(kNewSchema); }

    int64_t Handle(const std::string& id, const std::string& country = "us") {
        return db.insert("handle", {"id", "country", "service", "uncanonicalized_id"},
                         {id, country, std::string("SMS"), nullptr});
    }
    int64_t Message(int64_t handle, kit::Value date, int fromMe, const std::string& text) {
        ++n;
        return db.insert("message",
                         {"guid", "text", "handle_id", "attributedBody", "service", "account", "account_guid",
                          "date", "date_read", "date_delivered", "is_from_me", "is_read", "is_delivered",
                          "is_finished", "is_sent"},
                         {guidFor(n), text, handle, kit::Blob{attributedBody(text)}, std::string("SMS"),
                          std::string("p:0"), guidFor(n + 100000), date, int64_t(0), int64_t(0),
                          int64_t(fromMe), int64_t(1), int64_t(1), int64_t(1), int64_t(fromMe)});
    }
    // A message as iOS 16 writes it: no text column, the words only in the archive.
    int64_t BodyOnly(int64_t handle, kit::Value date, int fromMe, const std::string& text) {
        ++n;
        return db.insert("message",
                         {"guid", "text", "handle_id", "attributedBody", "service", "account", "account_guid",
                          "date", "date_read", "date_delivered", "is_from_me", "is_read", "is_delivered",
                          "is_finished", "is_sent"},
                         {guidFor(n), nullptr, handle, kit::Blob{kit::archivedBody(text)},
                          std::string("iMessage"), std::string("e:"), guidFor(n + 100000), date, int64_t(0),
                          int64_t(0), int64_t(fromMe), int64_t(1), int64_t(1), int64_t(1), int64_t(fromMe)});
    }

    kit::FixtureDb db;
    int n = 0;
};

class OldSmsDb {
  public:
    explicit OldSmsDb(const fs::path& path) : db(path) { db.exec(kOldSchema); }

    int64_t Message(const std::string& address, kit::Value date, int flags, const std::string& text) {
        return db.insert("message",
                         {"address", "date", "text", "flags", "replace", "group_id", "association_id",
                          "height", "UIFlags", "version", "country", "read"},
                         {address, date, text, int64_t(flags), int64_t(0), int64_t(1), int64_t(0), int64_t(0),
                          int64_t(0), int64_t(0), std::string("cn"), int64_t(1)});
    }

    kit::FixtureDb db;
};

struct Msg {
    bool deleted;
    int type;
    std::string text;
    int64_t date;
};
struct Conv {
    bool deleted;
    std::string address;
    std::string name;
    int64_t handleId;
    std::vector<Msg> messages;
};

std::vector<Conv> conversations(const CScanManager& mgr) {
    std::vector<Conv> out;
    int n = 0;
    for (const SmsConversationRecord* c = mgr.smsList.first; c; c = c->next, ++n) {
        Conv v{c->deleted, c->address, c->contactName, c->handleId, {}};
        int m = 0;
        for (const SmsMessageRecord* r = c->messages.first; r; r = r->next, ++m)
            v.messages.push_back({r->deleted, r->type, r->text, r->date});
        EXPECT_EQ(m, c->messages.count);
        out.push_back(std::move(v));
    }
    EXPECT_EQ(n, mgr.smsList.count);
    return out;
}

const Conv* findConv(const std::vector<Conv>& convs, int64_t handleId) {
    for (const Conv& c : convs)
        if (c.handleId == handleId) return &c;
    return nullptr;
}

const Msg* findMsg(const std::vector<Conv>& convs, const std::string& text) {
    for (const Conv& c : convs)
        for (const Msg& m : c.messages)
            if (m.text == text) return &m;
    return nullptr;
}

// The list invariants every run must keep: conversations with deleted messages first,
// within each conversation deleted messages first, each group newest first, and a
// conversation is deleted exactly when one of its messages is.
void expectOrdered(const std::vector<Conv>& convs) {
    bool seenLive = false;
    for (const Conv& c : convs) {
        if (!c.deleted) {
            seenLive = true;
        } else {
            EXPECT_FALSE(seenLive) << "deleted conversation " << c.address << " after a live one";
        }
        bool anyDeleted = false, seenLiveMsg = false;
        for (size_t i = 0; i < c.messages.size(); ++i) {
            const Msg& m = c.messages[i];
            EXPECT_FALSE(m.text.empty());
            anyDeleted = anyDeleted || m.deleted;
            if (!m.deleted) {
                seenLiveMsg = true;
            } else {
                EXPECT_FALSE(seenLiveMsg) << "deleted message after a live one: " << m.text;
            }
            if (i > 0 && c.messages[i - 1].deleted == m.deleted) {
                EXPECT_GE(c.messages[i - 1].date, m.date);
            }
        }
        EXPECT_EQ(anyDeleted, c.deleted) << c.address;
    }
}

class SmsTest : public ::testing::Test {
  protected:
    fs::path DbPath() const { return tmp.path() / "fixture" / "sms.db"; }
    fs::path BackupRoot() const { return tmp.path() / "backup"; }
    fs::path OutRoot() const { return tmp.path() / "out"; }

    // Copies the fixture into a backup and runs the parser; returns Scan's result.
    bool Run(int iosVersion, bool withFile = true) {
        backup = std::make_unique<TestBackup>(BackupRoot());
        if (withFile) backup->Add(CategorySms, kSmsRelative, DbPath());
        backup->builder.Finish();
        fs::create_directories(OutRoot());
        before = kit::FolderSnapshot::Take(BackupRoot());
        mgr = std::make_unique<CScanManager>(ScanSms, OutRoot().c_str(), BackupRoot().c_str(), iosVersion,
                                             nullptr, &backup->parser);
        for (auto& [phone, name] : contacts) {
            auto c = std::make_unique<ContactRecord>();
            c->phone = phone;
            c->name = name;
            mgr->contactList.append(std::move(c));
        }
        CSMS parser(mgr.get());
        bool ok = parser.Scan();
        EXPECT_EQ("", kit::FolderSnapshot::Take(BackupRoot()).DiffFrom(before));
        return ok;
    }

    kit::ScratchFolder tmp{"sysparser"};
    std::unique_ptr<TestBackup> backup;
    std::unique_ptr<CScanManager> mgr;
    kit::FolderSnapshot before;
    std::vector<std::pair<std::string, std::string>> contacts;
};

} // namespace

TEST(SmsDates, ConversionRules) {
    // 18-digit nanoseconds and 9- or 10-digit seconds since 2001.
    EXPECT_EQ(694224000, CSMS::AppleSecondsOfMessageDate(694224000123456789LL));
    EXPECT_EQ(99999999, CSMS::AppleSecondsOfMessageDate(99999999999999999LL)); // 17 digits: 2004
    EXPECT_EQ(100, CSMS::AppleSecondsOfMessageDate(100000000000LL));           // 10^11 is nanoseconds
    EXPECT_EQ(99999999999LL, CSMS::AppleSecondsOfMessageDate(99999999999LL));  // just below: seconds
    EXPECT_EQ(1100000000, CSMS::AppleSecondsOfMessageDate(1100000000));        // after September 2032
    EXPECT_EQ(INT64_MAX / 1000000000, CSMS::AppleSecondsOfMessageDate(INT64_MAX));
    EXPECT_EQ(-5, CSMS::AppleSecondsOfMessageDate(-5));

    EXPECT_EQ(694224000 + kOffset, CSMS::LiveMessageDate(694224000123456789LL));
    EXPECT_EQ(600000000 + kOffset, CSMS::LiveMessageDate(600000000));
    EXPECT_EQ(0, CSMS::LiveMessageDate(0));
    EXPECT_EQ(-5, CSMS::LiveMessageDate(-5));
    EXPECT_EQ(INT64_MIN, CSMS::LiveMessageDate(INT64_MIN));

    int64_t now = std::time(nullptr);
    EXPECT_EQ(694224000 + kOffset, CSMS::CarvedMessageDate(694224000123456789LL));
    EXPECT_EQ(600000000 + kOffset, CSMS::CarvedMessageDate(600000000));
    EXPECT_EQ(kOffset, CSMS::CarvedMessageDate(0));
    EXPECT_EQ(std::nullopt, CSMS::CarvedMessageDate(-100000)); // before 2000-12-31 16:00
    EXPECT_EQ(kCarvedDateMin, CSMS::CarvedMessageDate(kCarvedDateMin - kOffset));
    EXPECT_EQ(std::nullopt, CSMS::CarvedMessageDate(apple(now) + 86400)); // future
    EXPECT_EQ(std::nullopt, CSMS::CarvedMessageDate(INT64_MIN));
    EXPECT_EQ(std::nullopt, CSMS::CarvedMessageDate(INT64_MAX));
}

TEST_F(SmsTest, NewSchemaLiveAndDeletedMessages) {
    {
        NewSmsDb f(DbPath());
        int64_t h1 = f.Handle("+86 138-0013-8000");
        int64_t h2 = f.Handle("+1 (555) 123-4567");
        int64_t h3 = f.Handle("someone@example.com");
        int64_t t = apple(1600000000);
        f.Message(h1, t * 1000000000LL, 0, "hello from zhang");
        f.Message(h1, (t + 60) * 1000000000LL, 1, "reply to zhang");
        int64_t del1 = f.Message(h1, (t + 120) * 1000000000LL, 0, "deleted from zhang, the newest");
        int64_t del2 = f.Message(h1, (t + 30) * 1000000000LL, 1, "deleted to zhang, older");
        f.Message(h2, t + 500, 0, "seconds date from 555");
        f.Message(h3, t + 900, 0, "mail handle message");
        f.db.deleteWhere("message", "ROWID IN (" + std::to_string(del1) + "," + std::to_string(del2) + ")");
    }
    contacts = {{"13800138000", "Zhang San"}, {"15551234567", "Bob"}};
    ASSERT_TRUE(Run(7));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    ASSERT_EQ(3u, convs.size());

    // The conversation with deleted messages comes first; the others keep handle order.
    EXPECT_EQ(1, convs[0].handleId);
    EXPECT_TRUE(convs[0].deleted);
    EXPECT_EQ("13800138000", convs[0].address);
    EXPECT_EQ("Zhang San", convs[0].name);
    ASSERT_EQ(4u, convs[0].messages.size());
    EXPECT_EQ("deleted from zhang, the newest", convs[0].messages[0].text);
    EXPECT_TRUE(convs[0].messages[0].deleted);
    EXPECT_EQ(1600000120, convs[0].messages[0].date);
    EXPECT_EQ(0, convs[0].messages[0].type);
    EXPECT_EQ("deleted to zhang, older", convs[0].messages[1].text);
    EXPECT_TRUE(convs[0].messages[1].deleted);
    EXPECT_EQ(1, convs[0].messages[1].type);
    EXPECT_EQ("reply to zhang", convs[0].messages[2].text);
    EXPECT_FALSE(convs[0].messages[2].deleted);
    EXPECT_EQ(1, convs[0].messages[2].type);
    EXPECT_EQ(1600000060, convs[0].messages[2].date);
    EXPECT_EQ("hello from zhang", convs[0].messages[3].text);
    EXPECT_FALSE(convs[0].messages[3].deleted);

    EXPECT_EQ(2, convs[1].handleId);
    EXPECT_FALSE(convs[1].deleted);
    EXPECT_EQ("15551234567", convs[1].address);
    EXPECT_EQ("Bob", convs[1].name);
    ASSERT_EQ(1u, convs[1].messages.size());
    EXPECT_EQ(1600000500, convs[1].messages[0].date);

    // An e-mail handle keeps its address.
    EXPECT_EQ(3, convs[2].handleId);
    EXPECT_EQ("someone@example.com", convs[2].address);
    EXPECT_EQ("", convs[2].name);
    ASSERT_EQ(1u, convs[2].messages.size());
}

// Handles that are no phone numbers (e-mail addresses, the sender names of banks and
// shops) keep their text: two e-mail addresses sharing digits stay two people, and a
// sender name does not lose its messages to a conversation without address. Live and
// deleted handles alike.
TEST_F(SmsTest, HandlesThatAreNotPhoneNumbers) {
    {
        NewSmsDb f(DbPath());
        int64_t li = f.Handle("Li.Huang24@Example.com");
        int64_t amazon = f.Handle("AMAZON");
        int64_t bo = f.Handle("bo24@example.org");
        int64_t phone = f.Handle("+1 (415) 555-0124");
        int64_t gone = f.Handle("chen24@example.net");
        int64_t filler = f.Handle("filler@example.net");
        f.Handle("13900007777"); // keeps the two deleted cells off the free area
        int64_t t = apple(1600000000);
        f.Message(li, t, 0, "from li");
        f.Message(amazon, t + 1, 0, "your parcel has shipped");
        f.Message(bo, t + 2, 0, "from bo");
        f.Message(phone, t + 3, 0, "from a phone");
        int64_t m = f.Message(gone, t + 4, 0, "from chen, deleted");
        f.db.deleteWhere("message", "ROWID = " + std::to_string(m));
        // The lower cell first, so that the deleted handle keeps its rowid.
        f.db.deleteWhere("handle", "ROWID = " + std::to_string(filler));
        f.db.deleteWhere("handle", "ROWID = " + std::to_string(gone));
    }
    contacts = {{"14155550124", "Phone Friend"}};
    ASSERT_TRUE(Run(14));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    struct Want {
        int64_t handleId;
        const char* address;
        const char* name;
        const char* text;
    } wants[] = {
        {1, "li.huang24@example.com", "", "from li"},
        {2, "AMAZON", "", "your parcel has shipped"},
        {3, "bo24@example.org", "", "from bo"},
        {4, "14155550124", "Phone Friend", "from a phone"},
        {5, "chen24@example.net", "", "from chen, deleted"},
    };
    ASSERT_EQ(5u, convs.size());
    for (const Want& w : wants) {
        SCOPED_TRACE(w.text);
        const Conv* c = findConv(convs, w.handleId);
        ASSERT_NE(nullptr, c);
        EXPECT_EQ(w.address, c->address);
        EXPECT_EQ(w.name, c->name);
        ASSERT_EQ(1u, c->messages.size());
        EXPECT_EQ(w.text, c->messages[0].text);
    }
    EXPECT_TRUE(findConv(convs, 5)->deleted);
}

// From iOS 16 the text column of most messages is NULL and the words are only in the
// archived attributedBody: such messages come back, live and deleted, with their text.
TEST_F(SmsTest, TextOnlyInTheArchivedBody) {
    auto text = [](char c, size_t n) {
        std::string s = std::string("body of ") + c + ": ";
        while (s.size() < n)
            s += c;
        return s;
    };
    const std::string live200 = text('a', 200), live70k = text('b', 70000), short1 = "only in the body";
    const std::string gone200 = text('c', 200), goneShort = "deleted, only in the body";
    {
        NewSmsDb f(DbPath());
        int64_t h = f.Handle("13800138000");
        int64_t t = apple(1650000000);
        f.BodyOnly(h, t, 0, short1);
        f.BodyOnly(h, t + 1, 1, live200);
        f.BodyOnly(h, t + 2, 0, live70k);
        f.Message(h, t + 3, 0, "a text column as before");
        int64_t d1 = f.BodyOnly(h, t + 4, 1, gone200);
        int64_t d2 = f.BodyOnly(h, t + 5, 0, goneShort);
        f.db.insert("message", {"guid", "handle_id", "date", "is_from_me", "attributedBody"},
                    {guidFor(900), h, t + 6, int64_t(0), kit::Blob{"\x04\x0bstreamtyped garbage"}});
        f.BodyOnly(h, t + 7, 0, "x");
        f.db.deleteWhere("message", "ROWID IN (" + std::to_string(d1) + "," + std::to_string(d2) + ")");
    }
    ASSERT_TRUE(Run(16));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    ASSERT_EQ(1u, convs.size());
    std::vector<std::pair<std::string, bool>> got;
    for (const Msg& m : convs[0].messages)
        got.push_back({m.text, m.deleted});
    const std::vector<std::pair<std::string, bool>> want = {
        {goneShort, true}, {gone200, true},  {"x", false},    {"a text column as before", false},
        {live70k, false},  {live200, false}, {short1, false},
    };
    EXPECT_EQ(want, got);
}

// A long message spills onto overflow pages; deleted, it still comes back whole.
TEST_F(SmsTest, LongDeletedMessagesOnOverflowPages) {
    std::string longText = "long message: ";
    while (longText.size() < 10240)
        longText += "the quick brown fox " + std::to_string(longText.size()) + " ";
    {
        NewSmsDb f(DbPath());
        int64_t h = f.Handle("13800138000");
        int64_t t = apple(1630000000);
        for (int i = 0; i < 40; ++i) // neighbours keep the deleted row's leaf page in the table
            f.Message(h, t - 1000 - i, 0, "neighbour " + std::to_string(i));
        // The first page freed becomes the free list's trunk and loses its bytes: a long
        // row deleted first takes that place, as some earlier deletion does on a device.
        int64_t first = f.BodyOnly(h, t - 100, 0, longText + " (first)");
        f.db.deleteWhere("message", "ROWID = " + std::to_string(first));
        // A long text-column message beside it, deleted with it.
        int64_t other = f.db.insert(
            "message",
            {"guid", "text", "handle_id", "service", "account_guid", "date", "is_from_me", "is_read"},
            {guidFor(700), longText + " (text column)", h, std::string("SMS"), guidFor(701), t - 50,
             int64_t(1), int64_t(1)});
        int64_t gone = f.BodyOnly(h, t, 1, longText);
        f.Message(h, t + 3, 0, "a short live message");
        for (int i = 0; i < 40; ++i)
            f.Message(h, t + 1000 + i, 0, "later neighbour " + std::to_string(i));
        f.db.deleteWhere("message", "ROWID IN (" + std::to_string(other) + "," + std::to_string(gone) + ")");
    }
    ASSERT_TRUE(Run(16));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    const Msg* m = findMsg(convs, longText);
    ASSERT_NE(nullptr, m);
    EXPECT_TRUE(m->deleted);
    EXPECT_EQ(1, m->type);
    EXPECT_EQ(1630000000, m->date);
}

// A deleted long message whose overflow chain broke (its second overflow page became a
// free-list trunk, whose first bytes now hold page numbers) comes back with the part
// read before the break; its date, stored past the break, is unknown. Where the whole
// message is listed too, the cut copy goes.
TEST_F(SmsTest, ALongDeletedMessageWithABrokenChainKeepsItsFirstPart) {
    auto be32 = [](const std::string& s, size_t at) {
        return (uint32_t(uint8_t(s[at])) << 24) | (uint32_t(uint8_t(s[at + 1])) << 16) |
               (uint32_t(uint8_t(s[at + 2])) << 8) | uint32_t(uint8_t(s[at + 3]));
    };
    auto put32 = [](std::string& s, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            s[at + size_t(i)] = char(v >> (24 - 8 * i));
    };
    std::string longText = "broken chain:";
    while (longText.size() < 9000)
        longText += " the quick brown fox " + std::to_string(longText.size());
    const std::string wholeElsewhere = "kept whole: " + longText;
    for (bool withWholeCopy : {false, true}) {
        SCOPED_TRACE(withWholeCopy);
        fs::remove_all(DbPath().parent_path());
        fs::remove_all(BackupRoot());
        fs::create_directories(DbPath().parent_path());
        const std::string text = withWholeCopy ? wholeElsewhere : longText;
        std::string goneGuid;
        {
            NewSmsDb f(DbPath());
            // A free-list trunk with room first: the overflow pages freed below become its
            // leaves and keep their bytes.
            f.db.exec("CREATE TABLE spare(b BLOB)");
            f.db.insert("spare", {"b"}, {kit::Blob{std::string(60000, 's')}});
            int64_t h = f.Handle("13800138000");
            int64_t t = apple(1630000000);
            for (int i = 0; i < 20; ++i)
                f.Message(h, t - 1000 - i, 0, "neighbour " + std::to_string(i));
            int64_t gone = f.Message(h, t, 1, text);
            goneGuid = guidFor(f.n);
            if (withWholeCopy) f.Message(h, t + 5, 1, text); // the same message, live
            for (int i = 0; i < 20; ++i)
                f.Message(h, t + 1000 + i, 0, "later neighbour " + std::to_string(i));
            f.db.deleteWhere("spare", "1");
            f.db.deleteWhere("message", "ROWID = " + std::to_string(gone));
        }
        // The deleted cell's local part (in a table leaf page) ends with the number of its
        // first overflow page, whose own first bytes name the second.
        std::string raw = readFile(DbPath());
        const size_t ps = 4096;
        size_t local = std::string::npos;
        for (size_t at = raw.find(text.substr(0, 100)); at != std::string::npos;
             at = raw.find(text.substr(0, 100), at + 1)) {
            const size_t page = at / ps;
            // The deleted copy's guid comes right before its text.
            if (uint8_t(raw[page * ps + (page == 0 ? 100 : 0)]) == 13 && at >= 36 &&
                raw.compare(at - 36, 36, goneGuid) == 0) {
                local = at;
                break;
            }
        }
        ASSERT_NE(std::string::npos, local);
        size_t k = 0;
        while (local + k < raw.size() && k < text.size() && raw[local + k] == text[k])
            ++k;
        const uint32_t first = be32(raw, local + k);
        ASSERT_GT(first, 1u);
        ASSERT_LE(first, raw.size() / ps);
        const uint32_t second = be32(raw, (first - 1) * ps);
        ASSERT_GT(second, 1u);
        ASSERT_LE(second, raw.size() / ps);
        // The second page becomes the free list's first trunk (leading to the old one).
        put32(raw, (second - 1) * ps, be32(raw, 32));
        put32(raw, (second - 1) * ps + 4, 0);
        put32(raw, 32, second);
        writeFile(DbPath(), raw);

        ASSERT_TRUE(Run(16));
        auto convs = conversations(*mgr);
        expectOrdered(convs);
        std::vector<const Msg*> parts;
        for (const Conv& c : convs)
            for (const Msg& m : c.messages)
                if (m.deleted && m.text.size() >= 100 && text.compare(0, m.text.size(), m.text) == 0)
                    parts.push_back(&m);
        if (withWholeCopy) {
            EXPECT_TRUE(parts.empty());
            EXPECT_NE(nullptr, findMsg(convs, text));
        } else {
            ASSERT_EQ(1u, parts.size());
            // The local part and the whole first overflow page.
            EXPECT_GT(parts[0]->text.size(), 4092u);
            EXPECT_LT(parts[0]->text.size(), text.size());
            EXPECT_EQ(0, parts[0]->date);
        }
        EXPECT_NE(nullptr, findMsg(convs, "later neighbour 19"));
        mgr.reset();
    }
}

// What the owner sends to a group chat has handle 0: it belongs to the chat's
// conversation (the chat identifier as address, the chat's display name as name), live
// and deleted; without the join row the message's cached room name finds the chat, and
// without either the owner's messages share one conversation.
TEST_F(SmsTest, OwnersMessagesInGroupChats) {
    {
        NewSmsDb f(DbPath());
        f.db.exec("ALTER TABLE chat ADD COLUMN display_name TEXT");
        int64_t h = f.Handle("13800138000");
        auto chat = [&](const std::string& id, kit::Value name) {
            return f.db.insert(
                "chat", {"guid", "style", "chat_identifier", "service_name", "display_name"},
                {std::string("iMessage;+;") + id, int64_t(43), id, std::string("iMessage"), name});
        };
        int64_t family = chat("chat111111111", std::string("Family"));
        int64_t team = chat("chat222222222", std::string(""));
        auto join = [&](int64_t c, int64_t m) {
            f.db.insert("chat_message_join", {"chat_id", "message_id"}, {c, m});
        };
        int64_t t = apple(1620000000);
        join(family, f.Message(h, t, 0, "from a friend in the family chat"));
        join(family, f.Message(0, t + 1, 1, "mine, to the family"));
        join(team, f.Message(0, t + 2, 1, "mine, to the team"));
        int64_t gone = f.Message(0, t + 3, 1, "mine, to the family, deleted");
        join(family, gone);
        int64_t goneRoom = f.Message(0, t + 4, 1, "mine, to the team, deleted, room name only");
        f.db.exec("UPDATE message SET cache_roomnames = 'chat222222222' WHERE ROWID = " +
                  std::to_string(goneRoom));
        f.Message(0, t + 5, 1, "mine, no chat known");
        // The lower cell first, so that the upper one keeps its rowid (the key of its join row).
        f.db.deleteWhere("message", "ROWID = " + std::to_string(goneRoom));
        f.db.deleteWhere("message", "ROWID = " + std::to_string(gone));
        f.db.deleteWhere("chat_message_join", "message_id = " + std::to_string(goneRoom));
    }
    ASSERT_TRUE(Run(15));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    std::map<std::string, std::vector<std::string>> got;
    for (const Conv& c : convs) {
        std::string key = c.address + "|" + c.name + "|" + std::to_string(c.handleId);
        for (const Msg& m : c.messages)
            got[key].push_back(m.text + (m.deleted ? " (deleted)" : "") + (m.type ? " (sent)" : ""));
    }
    const std::map<std::string, std::vector<std::string>> want = {
        {"13800138000||1", {"from a friend in the family chat"}},
        {"chat111111111|Family|0",
         {"mine, to the family, deleted (deleted) (sent)", "mine, to the family (sent)"}},
        {"chat222222222||0",
         {"mine, to the team, deleted, room name only (deleted) (sent)", "mine, to the team (sent)"}},
        {"||0", {"mine, no chat known (sent)"}},
    };
    EXPECT_EQ(want, got);
}

// The old schema keeps the address in the message row: an e-mail or sender-name address
// stays text there too, live and deleted.
TEST_F(SmsTest, OldSchemaNamedAddresses) {
    {
        OldSmsDb f(DbPath());
        f.Message("Shop.News@Example.com", int64_t(1300000000), 2, "sale today");
        f.Message("AMAZON", int64_t(1300000100), 2, "parcel");
        int64_t gone = f.Message("AMAZON", int64_t(1300000200), 2, "parcel, deleted");
        f.Message("138 0013 8000", int64_t(1300000300), 3, "to a phone");
        f.db.deleteWhere("message", "ROWID = " + std::to_string(gone));
    }
    ASSERT_TRUE(Run(4));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    std::map<std::string, std::vector<std::string>> byAddress;
    for (const Conv& c : convs)
        for (const Msg& m : c.messages)
            byAddress[c.address].push_back(m.text + (m.deleted ? " (deleted)" : ""));
    EXPECT_EQ((std::map<std::string, std::vector<std::string>>{
                  {"AMAZON", {"parcel, deleted (deleted)", "parcel"}},
                  {"shop.news@example.com", {"sale today"}},
                  {"13800138000", {"to a phone"}},
              }),
              byAddress);
}

TEST_F(SmsTest, ConversationWhoseOnlyDeletedMessageArrivesLastMovesToHead) {
    {
        NewSmsDb f(DbPath());
        int64_t h1 = f.Handle("13800000001");
        int64_t h2 = f.Handle("13800000002");
        int64_t h3 = f.Handle("13800000003");
        int64_t t = apple(1500000000);
        f.Message(h1, t, 0, "one");
        f.Message(h2, t, 0, "two");
        f.Message(h3, t, 0, "three");
        int64_t gone = f.Message(h3, t + 5, 1, "three, deleted");
        f.db.deleteWhere("message", "ROWID = " + std::to_string(gone));
    }
    ASSERT_TRUE(Run(9));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    ASSERT_EQ(3u, convs.size());
    EXPECT_EQ(3, convs[0].handleId);
    EXPECT_TRUE(convs[0].deleted);
    EXPECT_EQ(1, convs[1].handleId);
    EXPECT_EQ(2, convs[2].handleId);
    EXPECT_FALSE(convs[1].deleted);
    EXPECT_FALSE(convs[2].deleted);
}

// Date table on the live path: nanoseconds, seconds, zero, negative, and the two cases
// that cutting to nine digits got wrong (17-digit nanoseconds, 10-digit seconds).
TEST_F(SmsTest, LiveDates) {
    struct Case {
        kit::Value stored;
        int64_t expected;
        const char* text;
    } cases[] = {
        {int64_t(694224000123456789LL), 694224000 + kOffset, "eighteen-digit nanoseconds"},
        {int64_t(600000000), 600000000 + kOffset, "nine-digit seconds"},
        {int64_t(0), 0, "zero date"},
        {int64_t(-5), -5, "negative date"},
        {int64_t(99999999999999999LL), 99999999 + kOffset, "seventeen-digit nanoseconds"},
        {int64_t(1100000000), 1100000000 + kOffset, "ten-digit seconds"},
        {600000100.75, 600000100 + kOffset, "floating-point seconds"},
    };
    {
        NewSmsDb f(DbPath());
        int64_t h = f.Handle("13800138000");
        for (const Case& c : cases)
            f.Message(h, c.stored, 0, c.text);
        f.Message(h, std::string("not a date"), 0, "text date is dropped");
        f.Message(h, nullptr, 0, "null date is dropped");
    }
    ASSERT_TRUE(Run(8));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    for (const Case& c : cases) {
        const Msg* m = findMsg(convs, c.text);
        ASSERT_NE(nullptr, m) << c.text;
        EXPECT_EQ(c.expected, m->date) << c.text;
        EXPECT_FALSE(m->deleted);
    }
    EXPECT_EQ(nullptr, findMsg(convs, "text date is dropped"));
    EXPECT_EQ(nullptr, findMsg(convs, "null date is dropped"));
}

// The same table on the carving path: plausible dates come back converted, implausible
// ones (before 2000-12-31 16:00 UTC or in the future) are not recovered.
TEST_F(SmsTest, CarvedDates) {
    int64_t now = std::time(nullptr);
    struct Case {
        int64_t stored;
        std::optional<int64_t> expected;
        const char* text;
    } cases[] = {
        {694224000123456789LL, 694224000 + kOffset, "carved eighteen-digit nanoseconds"},
        {600000000, 600000000 + kOffset, "carved nine-digit seconds"},
        {0, kOffset, "carved zero date"},
        {-100000, std::nullopt, "carved negative date"},
        {99999999999999999LL, 99999999 + kOffset, "carved seventeen-digit nanoseconds"},
        {(apple(now) + 30 * 86400) * 1000000000LL, std::nullopt, "carved future date"},
        {1100000000, std::nullopt, "carved ten-digit seconds, future"},
    };
    {
        NewSmsDb f(DbPath());
        int64_t h = f.Handle("13800138000");
        f.Message(h, apple(1500000000), 0, "a live message");
        std::vector<int64_t> ids;
        for (const Case& c : cases)
            ids.push_back(f.Message(h, c.stored, 1, c.text));
        f.Message(h, apple(1500000100), 0, "another live message");
        for (int64_t id : ids)
            f.db.deleteWhere("message", "ROWID = " + std::to_string(id));
    }
    ASSERT_TRUE(Run(10));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    for (const Case& c : cases) {
        const Msg* m = findMsg(convs, c.text);
        if (!c.expected) {
            EXPECT_EQ(nullptr, m) << c.text;
            continue;
        }
        ASSERT_NE(nullptr, m) << c.text;
        EXPECT_TRUE(m->deleted) << c.text;
        EXPECT_EQ(1, m->type);
        EXPECT_EQ(*c.expected, m->date) << c.text;
    }
    EXPECT_FALSE(findMsg(convs, "a live message")->deleted);
    EXPECT_FALSE(findMsg(convs, "another live message")->deleted);
}

TEST_F(SmsTest, DuplicatesCollapse) {
    {
        NewSmsDb f(DbPath());
        int64_t h = f.Handle("13800138000");
        int64_t t = apple(1550000000);
        f.Message(h, t, 0, "same text twice");
        f.Message(h, t, 0, "same text twice"); // identical live row
        f.Message(h, t, 1, "same text twice"); // other direction: a message of its own
        f.Message(h, t + 10, 0, "kept live, deleted copy");
        int64_t copy = f.Message(h, t + 10, 0, "kept live, deleted copy"); // deleted twin of a live row
        int64_t gone1 = f.Message(h, t + 20, 0, "deleted twice");
        int64_t gone2 = f.Message(h, t + 20, 0, "deleted twice");
        f.db.deleteWhere("message", "ROWID IN (" + std::to_string(copy) + "," + std::to_string(gone1) + "," +
                                        std::to_string(gone2) + ")");
    }
    ASSERT_TRUE(Run(6));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    ASSERT_EQ(1u, convs.size());
    std::multiset<std::pair<std::string, bool>> seen;
    for (const Msg& m : convs[0].messages)
        seen.insert({m.text, m.deleted});
    EXPECT_EQ(2u, seen.count({"same text twice", false})); // one per direction
    EXPECT_EQ(1u, seen.count({"kept live, deleted copy", false}));
    EXPECT_EQ(0u, seen.count({"kept live, deleted copy", true}));
    EXPECT_EQ(1u, seen.count({"deleted twice", true}));
    EXPECT_EQ(4u, convs[0].messages.size());
}

TEST_F(SmsTest, DeletedHandleStillNamesItsMessages) {
    {
        NewSmsDb f(DbPath());
        int64_t h1 = f.Handle("+86 139 0000 1111");
        int64_t h2 = f.Handle("13900002222");
        int64_t h3 = f.Handle("13900003333");
        int64_t t = apple(1560000000);
        f.Message(h3, t, 0, "live, handle kept");
        int64_t m1 = f.Message(h1, t + 1, 0, "deleted, handle deleted too");
        int64_t m2 = f.Message(h2, t + 2, 1, "deleted, second handle deleted too");
        f.Message(7, t + 3, 0, "handle row never existed");
        f.db.deleteWhere("message", "ROWID IN (" + std::to_string(m1) + "," + std::to_string(m2) + ")");
        // The lower cell first, so that the upper one joins its free block and keeps its
        // whole cell header (rowid included).
        f.db.deleteWhere("handle", "ROWID = " + std::to_string(h2));
        f.db.deleteWhere("handle", "ROWID = " + std::to_string(h1));
    }
    contacts = {{"13900001111", "Wang Wu"}};
    ASSERT_TRUE(Run(12));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    const Conv* c1 = findConv(convs, 1);
    ASSERT_NE(nullptr, c1);
    EXPECT_TRUE(c1->deleted);
    EXPECT_EQ("13900001111", c1->address);
    EXPECT_EQ("Wang Wu", c1->name);
    const Conv* c2 = findConv(convs, 2);
    ASSERT_NE(nullptr, c2);
    EXPECT_TRUE(c2->deleted);
    const Conv* c7 = findConv(convs, 7);
    ASSERT_NE(nullptr, c7);
    EXPECT_EQ("", c7->address);
    EXPECT_FALSE(c7->deleted);
    const Conv* c3 = findConv(convs, 3);
    ASSERT_NE(nullptr, c3);
    EXPECT_EQ("13900003333", c3->address);
}

TEST_F(SmsTest, OldSchemaLiveAndDeleted) {
    {
        OldSmsDb f(DbPath());
        f.Message("+86 138-0013-8000", int64_t(1300000000), 2, "old received");
        f.Message("13800138000", int64_t(1300000100), 3, "old sent");
        f.Message("(555) 010-2222", int64_t(1300000200), 2, "other person");
        f.Message("", int64_t(1300000300), 2, "no address");
        int64_t gone = f.Message("+86 13800138000", int64_t(1300000400), 3, "old deleted");
        f.Message("5550102222", 1300000500.5, 2, "float date");
        f.Message("5550102222", int64_t(1300000600), 2, ""); // empty text dropped
        f.db.deleteWhere("message", "ROWID = " + std::to_string(gone));
    }
    contacts = {{"13800138000", "Zhang San"}};
    ASSERT_TRUE(Run(4));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    for (const Conv& c : convs)
        EXPECT_EQ(0, c.handleId);
    ASSERT_EQ(3u, convs.size());
    EXPECT_EQ("13800138000", convs[0].address);
    EXPECT_TRUE(convs[0].deleted);
    EXPECT_EQ("Zhang San", convs[0].name);
    ASSERT_EQ(3u, convs[0].messages.size());
    EXPECT_EQ("old deleted", convs[0].messages[0].text);
    EXPECT_TRUE(convs[0].messages[0].deleted);
    EXPECT_EQ(1, convs[0].messages[0].type);
    EXPECT_EQ(1300000400, convs[0].messages[0].date);
    EXPECT_EQ("old sent", convs[0].messages[1].text);
    EXPECT_EQ(1, convs[0].messages[1].type);
    EXPECT_EQ(0, convs[0].messages[2].type);
    // Live conversations in address order ("" < "13800138000" < "5550102222").
    EXPECT_EQ("", convs[1].address);
    EXPECT_EQ("5550102222", convs[2].address);
    ASSERT_EQ(2u, convs[2].messages.size());
    EXPECT_EQ(1300000500, convs[2].messages[0].date);
}

// One damaged message record in the middle of the table, both schemas (each sorts its
// rows, which SQLite does by reading them all first): every other message is read live,
// in its conversation and order, and the one lost row is noted for the user. (An older
// copy of the damaged row that SQLite left in free space may come back as deleted.)
TEST_F(SmsTest, OneDamagedMessageCostsOnlyItself) {
    for (int ios : {7, 4}) {
        SCOPED_TRACE(ios);
        std::set<std::string> written;
        {
            const int64_t t = 600000000;
            if (ios >= 5) {
                NewSmsDb f(DbPath());
                const int64_t handles[] = {f.Handle("13800000001"), f.Handle("13800000002"),
                                           f.Handle("13800000003")};
                for (int i = 1; i <= 40; ++i) {
                    const std::string text = "message " + std::to_string(i);
                    f.Message(handles[(i * 7) % 3], t + i * 60, i % 2, text);
                    written.insert(text);
                }
            } else {
                OldSmsDb f(DbPath());
                for (int i = 1; i <= 40; ++i) {
                    const std::string text = "message " + std::to_string(i);
                    f.Message("1380000000" + std::to_string((i * 7) % 3), int64_t(1300000000 + i * 60), 2,
                              text);
                    written.insert(text);
                }
            }
        }
        const int64_t rowid = kit::RecordDamage::NthRowid(DbPath(), "message", 20);
        ASSERT_TRUE(kit::RecordDamage::DamageRecord(DbPath(), "message", rowid));
        written.erase("message " + std::to_string(rowid));

        ASSERT_TRUE(Run(ios));
        const auto convs = conversations(*mgr);
        expectOrdered(convs);
        std::set<std::string> read;
        for (const Conv& c : convs)
            for (const Msg& m : c.messages) {
                if (m.deleted)
                    EXPECT_EQ("message " + std::to_string(rowid), m.text);
                else
                    read.insert(m.text);
            }
        EXPECT_EQ(written, read);
        EXPECT_EQ(3u, convs.size());
        ASSERT_EQ(1u, mgr->losses.size());
        EXPECT_EQ(uint32_t(ScanSms), mgr->losses[0].dataType);
        EXPECT_EQ(ScanLoss::Kind::UnreadableRows, mgr->losses[0].kind);
        EXPECT_EQ(1, mgr->losses[0].count);
    }
}

// The old schema never looks at a handle table, even when a file has one.
TEST_F(SmsTest, OldVersionIgnoresHandles) {
    {
        NewSmsDb f(DbPath());
        f.Handle("13800138000");
        f.Message(1, int64_t(600000000), 0, "new schema row");
    }
    ASSERT_TRUE(Run(4)); // the old reader finds no address column: nothing, softly
    EXPECT_EQ(0, mgr->smsList.count);
}

TEST_F(SmsTest, MissingFileOpensNothing) {
    { NewSmsDb f(DbPath()); }
    EXPECT_FALSE(Run(10, false));
    EXPECT_EQ(1, backup->parser.lookups);
    EXPECT_EQ(0, mgr->smsList.count);
}

TEST_F(SmsTest, NoFileParserOrCancelled) {
    {
        NewSmsDb f(DbPath());
        f.Message(f.Handle("13800138000"), int64_t(600000000), 0, "x");
    }
    CScanManager noParser(ScanSms, "", BackupRoot().c_str(), 10, nullptr, nullptr);
    EXPECT_FALSE(CSMS(&noParser).Scan());
    EXPECT_FALSE(CSMS(nullptr).Scan());

    TestBackup b(BackupRoot());
    b.Add(CategorySms, kSmsRelative, DbPath());
    CScanManager stopped(ScanSms, OutRoot().c_str(), BackupRoot().c_str(), 10, nullptr, &b.parser);
    stopped.Stop(false);
    EXPECT_FALSE(CSMS(&stopped).Scan());
    EXPECT_EQ(0, stopped.smsList.count);
}

// Damaged and unexpected databases: the parser fails softly, keeps what it can read and
// never writes to the backup (checked by Run).
TEST_F(SmsTest, BadInput) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> make;
        int ios;
        std::optional<bool> scanResult; // nullopt: either
        int conversations = 0;          // with scanResult true
    };
    auto damaged = [](const fs::path& p, size_t keep, bool noisePages) {
        {
            NewSmsDb f(p);
            f.db.exec("BEGIN");
            int64_t h = f.Handle("13800138000");
            for (int i = 0; i < 400; ++i)
                f.Message(h, int64_t(600000000 + i), i % 2, "message " + std::to_string(i));
            f.db.exec("COMMIT");
            f.db.deleteWhere("message", "ROWID % 3 = 0");
        }
        std::string bytes = readFile(p);
        if (noisePages) {
            for (size_t off = 4096; off + 4096 <= bytes.size(); off += 3 * 4096)
                bytes.replace(off, 4096, noise(4096, static_cast<uint32_t>(off)));
        }
        writeFile(p, bytes.substr(0, std::min(keep, bytes.size())));
    };
    auto wrongTypes = [](const fs::path& p, bool deleteAll) {
        NewSmsDb f(p);
        f.db.insert("handle", {"id", "service"}, {int64_t(42), std::string("SMS")});
        f.db.insert("handle", {"id", "service"}, {kit::Blob{std::string("\x00\x01", 2)}, std::string("SMS")});
        const std::vector<std::string> cols = {"guid", "handle_id", "date", "is_from_me", "text"};
        f.db.insert("message", cols,
                    {std::string("g1"), std::string("abc"), int64_t(1), int64_t(0), std::string("t")});
        f.db.insert("message", cols,
                    {std::string("g2"), int64_t(1), int64_t(1), std::string("yes"), std::string("t")});
        f.db.insert("message", cols,
                    {std::string("g3"), int64_t(1), int64_t(1), 2.5, std::string("real flag")});
        f.db.insert("message", cols, {std::string("g4"), nullptr, nullptr, nullptr, nullptr});
        f.db.insert("message", cols,
                    {std::string("g5"), int64_t(0), int64_t(1), int64_t(0), std::string("zero handle")});
        f.db.insert("message", cols,
                    {std::string("g6"), int64_t(1), int64_t(1), int64_t(0), std::string("")});
        f.db.insert("message", cols,
                    {std::string("g7"), 1.5, int64_t(1), int64_t(0), std::string("float handle")});
        if (deleteAll) {
            f.db.deleteWhere("message", "1");
            f.db.deleteWhere("handle", "1");
        }
    };
    std::vector<Case> cases = {
        {"zero bytes", [](const fs::path& p) { writeFile(p, ""); }, 10, false},
        {"not a database", [](const fs::path& p) { writeFile(p, noise(10000, 7)); }, 10, false},
        {"header only",
         [](const fs::path& p) {
             NewSmsDb f(p);
             f.db.close();
             writeFile(p, readFile(p).substr(0, 100));
         },
         10, std::nullopt},
        {"page size zero",
         [](const fs::path& p) {
             { NewSmsDb f(p); }
             std::string b = readFile(p);
             b[16] = 0;
             b[17] = 0;
             writeFile(p, b);
         },
         10, std::nullopt},
        {"truncated", [&](const fs::path& p) { damaged(p, 5 * 4096 + 123, false); }, 10, std::nullopt},
        {"garbage pages", [&](const fs::path& p) { damaged(p, SIZE_MAX, true); }, 10, std::nullopt},
        {"garbage pages, old reader", [&](const fs::path& p) { damaged(p, SIZE_MAX, true); }, 4,
         std::nullopt},
        {"no tables",
         [](const fs::path& p) {
             kit::FixtureDb f(p);
             f.exec("CREATE TABLE other (a);");
         },
         10, true},
        {"message without columns",
         [](const fs::path& p) {
             kit::FixtureDb f(p);
             f.exec("CREATE TABLE message (ROWID INTEGER PRIMARY KEY, body TEXT);"
                    "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY, phone TEXT);");
             f.insert("message", {"body"}, {std::string("hello")});
             f.insert("handle", {"phone"}, {std::string("13800138000")});
             f.deleteWhere("message", "1");
             f.deleteWhere("handle", "1");
         },
         10, true},
        // Of these rows only g5 stands: handle 0 is the owner writing to a group chat.
        {"wrong types and nulls", [&](const fs::path& p) { wrongTypes(p, false); }, 10, true, 1},
        {"wrong types and nulls, deleted", [&](const fs::path& p) { wrongTypes(p, true); }, 10, true},
        {"old schema, wrong types",
         [](const fs::path& p) {
             OldSmsDb f(p);
             f.db.insert(
                 "message", {"address", "date", "flags", "text"},
                 {kit::Blob{"5550001111"}, int64_t(1300000000), std::string("sent"), std::string("t")});
             f.db.insert("message", {"address", "date", "flags", "text"},
                         {std::string("1"), std::string("x"), int64_t(3), std::string("t")});
             f.db.insert("message", {"address", "date", "flags", "text"},
                         {nullptr, nullptr, nullptr, nullptr});
             f.db.insert("message", {"address", "date", "flags", "text"},
                         {std::string("1"), int64_t(1300000000), std::string("three"), std::string("t")});
         },
         4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(tmp.path() / "fixture");
        fs::remove_all(BackupRoot());
        fs::create_directories(tmp.path() / "fixture");
        c.make(DbPath());
        bool ok = Run(c.ios);
        if (c.scanResult) {
            EXPECT_EQ(*c.scanResult, ok);
        }
        auto convs = conversations(*mgr);
        expectOrdered(convs);
        for (const Conv& conv : convs)
            for (const Msg& m : conv.messages)
                EXPECT_FALSE(m.text.empty());
        if (c.scanResult == true) {
            EXPECT_EQ(c.conversations, mgr->smsList.count);
        }
        mgr.reset();
    }
}

// A stop in the middle of reading, carving or building leaves a consistent, partial list.
TEST_F(SmsTest, StopMidway) {
    {
        NewSmsDb f(DbPath());
        f.db.exec("BEGIN");
        for (int h = 0; h < 20; ++h)
            f.Handle("1380000" + std::to_string(1000 + h));
        for (int i = 0; i < 300; ++i)
            f.Message(1 + i % 20, apple(1500000000 + i * 60), i % 2, "message number " + std::to_string(i));
        f.db.exec("COMMIT");
        f.db.deleteWhere("message", "ROWID % 4 = 0");
    }
    struct Stopper : IScanProgress {
        void OnScanData(int, void*) override {}
        void OnProgress(int, int stage, int, int, int, int, int) override {
            if (stage == wantedStage && ++seen == after && mgr) mgr->Stop(false);
        }
        int wantedStage = 0, after = 0, seen = 0;
        CScanManager* mgr = nullptr;
    };
    backup = std::make_unique<TestBackup>(BackupRoot());
    backup->Add(CategorySms, kSmsRelative, DbPath());
    for (auto [stage, after] : {std::pair{2, 5}, std::pair{2, 250}, std::pair{3, 1}, std::pair{3, 150}}) {
        SCOPED_TRACE(std::to_string(stage) + "/" + std::to_string(after));
        Stopper stopper;
        stopper.wantedStage = stage;
        stopper.after = after;
        CScanManager m(ScanSms, OutRoot().c_str(), BackupRoot().c_str(), 10, &stopper, &backup->parser);
        stopper.mgr = &m;
        CSMS(&m).Scan();
        EXPECT_TRUE(m.cancelled.load());
        auto convs = conversations(m);
        expectOrdered(convs);
        size_t messages = 0;
        for (const Conv& c : convs)
            messages += c.messages.size();
        EXPECT_LT(messages, 300u);
    }
}

// Pages that SQLite rebuilt while the table grew keep stale copies of rows that are still
// live; such a copy, even one whose later columns were overwritten, is not a deleted
// message.
TEST_F(SmsTest, StaleCopiesOfLiveRowsAreNotDeleted) {
    for (int total : {300, 600, 1000}) {
        SCOPED_TRACE(total);
        fs::remove_all(tmp.path() / "fixture");
        fs::remove_all(BackupRoot());
        {
            NewSmsDb f(DbPath());
            f.db.exec("BEGIN");
            for (int h = 0; h < 20; ++h)
                f.Handle("1380000" + std::to_string(1000 + h));
            for (int i = 0; i < total; ++i)
                f.Message(1 + i % 20, apple(1500000000 + i * 60), i % 2,
                          "message number " + std::to_string(i));
            f.db.exec("COMMIT");
            f.db.deleteWhere("message", "ROWID % 4 = 0");
        }
        ASSERT_TRUE(Run(10));
        auto convs = conversations(*mgr);
        expectOrdered(convs);
        std::set<std::string> texts;
        size_t messages = 0;
        for (const Conv& c : convs) {
            for (const Msg& m : c.messages) {
                ++messages;
                int n = std::stoi(m.text.substr(strlen("message number ")));
                EXPECT_EQ((n + 1) % 4 == 0, m.deleted) << m.text;
                EXPECT_EQ(1500000000 + n * 60, m.date) << m.text;
                texts.insert(m.text);
            }
        }
        EXPECT_EQ(size_t(total), messages);
        EXPECT_EQ(size_t(total), texts.size());
        mgr.reset();
    }
}

// Deleted messages longer than three pages (the text and its archived copy), their
// overflow chains on the free list: each comes back with its whole text.
TEST_F(SmsTest, DeletedMessagesLongerThanThreePagesComeBackWhole) {
    const std::vector<size_t> lengths = {6500, 9000, 14000, 25000};
    std::vector<std::string> texts;
    {
        NewSmsDb f(DbPath());
        f.db.exec("CREATE TABLE spare(b BLOB)");
        f.db.insert("spare", {"b"}, {kit::Blob{std::string(60000, 's')}});
        int64_t h = f.Handle("13800138000");
        int64_t t = apple(1630000000);
        std::vector<int64_t> ids;
        for (size_t i = 0; i < lengths.size(); ++i) {
            f.Message(h, t - 1000 - int64_t(i), 0, "neighbour " + std::to_string(i));
            std::string text = "long message " + std::to_string(i) + ":";
            while (text.size() < lengths[i])
                text += " the quick brown fox " + std::to_string(text.size());
            texts.push_back(text);
            ids.push_back(f.Message(h, t + int64_t(i), int(i % 2), text));
        }
        f.Message(h, t + 100, 0, "a short live message");
        // A free-list trunk with room first, so that the overflow pages freed below
        // become its leaves and keep their bytes.
        f.db.deleteWhere("spare", "1");
        for (int64_t id : ids)
            f.db.deleteWhere("message", "ROWID = " + std::to_string(id));
    }
    ASSERT_TRUE(Run(14));
    auto convs = conversations(*mgr);
    expectOrdered(convs);
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE(texts[i].size());
        const Msg* m = findMsg(convs, texts[i]);
        ASSERT_NE(nullptr, m);
        EXPECT_TRUE(m->deleted);
        EXPECT_EQ(1630000000 + int64_t(i), m->date);
    }
    EXPECT_NE(nullptr, findMsg(convs, "a short live message"));
}
