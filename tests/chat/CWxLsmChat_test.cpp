#include "chat/CWxAddressBook.h"
#include "chat/CWxChat.h"
#include "chat/CWxLsmChat.h"
#include "chat/CWxSession.h"
#include "core/records/IScanProgress.h"
#include "core/util/MD5_CTX.h"
#include "tests/chat/WxBackupFixture.h"
#include "tests/kit/ProtoWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

namespace {

using kit::WeChatAccountBuilder;

std::string record(uint64_t time, int timeWidth, const std::string& text, int type, const std::string& from,
                   const std::string& to, const std::string& group = "") {
    kit::ProtoWriter w;
    w.VarintWidth(time, timeWidth).Bytes(11, text).VarintField(5, 1).VarintField(1, 1).VarintField(2, 1);
    w.VarintField(3, uint64_t(type)).VarintField(4, 0).VarintField(6, 0);
    w.Bytes(8, from).Bytes(9, to).Bytes(10, group).Raw(std::string(8, '\0'));
    return w.str();
}

struct LsmFixture {
    wxtest::WxBackup backup;
    WeChatAccountBuilder account{"wxid_owner01", "Owner"};
    std::unique_ptr<CScanManager> m;
    LsmFixture() {
        account.AddFriend("wxid_alice01", "Alice");
        account.AddMessage(WeChatAccountBuilder::MainDb,
                           {"wxid_alice01", 1600000100, 1, false, "alice live"});
        backup.Add(account);
        backup.Finish();
        m = backup.Manager(0x3000);
        CWxAddressBook(m.get(), 0).Scan();
        CWxSession session(m.get(), 0);
        CWxChat(m.get(), &session, 0).Scan();
        EXPECT_TRUE(CWxLsmChat(m.get(), 0).Scan()); // no local-store files: nothing
    }
    void Scan(const std::string& bytes, const CWxLsmChat::Limits& limits = {}) {
        CWxLsmChat lsm(m.get(), 0);
        lsm.SetLimits(limits);
        lsm.ScanBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
};

// An account whose local-store files are the given bytes (store0, store1, ...), with the
// scan manager over it.
struct StoresFixture {
    wxtest::WxBackup backup;
    std::vector<std::filesystem::path> files;
    std::unique_ptr<CScanManager> m;
    explicit StoresFixture(const std::vector<std::string>& stores) {
        WeChatAccountBuilder account("wxid_owner01", "Owner");
        account.AddFriend("wxid_alice01", "Alice");
        backup.Add(account);
        const std::string folder =
            "Documents/" + getMd5String(std::string("wxid_owner01")) + "/session/lsm_data/";
        for (size_t i = 0; i < stores.size(); ++i)
            files.push_back(backup.builder.AddFile(WeChatAccountBuilder::Domain(),
                                                   folder + "store" + std::to_string(i), stores[i]));
        backup.Finish();
        m = backup.Manager(0x3000);
        CWxAddressBook(m.get(), 0).Scan();
    }
};

TEST(CWxLsmChat, RecordsAreFiledUnderTheirPeer) {
    LsmFixture f;
    std::string bytes = std::string(16, '\0') +
                        record(1600000200, 5, "from alice", 1, "wxid_alice01", "wxid_owner01") +
                        record(1600000300, 5, "to alice", 1, "wxid_owner01", "wxid_alice01") +
                        record(1600000050, 5, "first of all", 1, "wxid_alice01", "wxid_owner01") +
                        record(200000000, 4, "short time", 1, "wxid_alice01", "wxid_owner01") +
                        record(1600000400, 5, "stranger", 1, "wxid_zed0001", "wxid_owner01");
    f.Scan(bytes);
    auto fromAlice = wxtest::find(*f.m, 0, "from alice");
    ASSERT_EQ(1u, fromAlice.size());
    EXPECT_TRUE(fromAlice[0].message->deleted);
    EXPECT_FALSE(fromAlice[0].message->fromMe);
    EXPECT_EQ("Alice", fromAlice[0].message->senderDisplayName);
    auto toAlice = wxtest::find(*f.m, 0, "to alice");
    ASSERT_EQ(1u, toAlice.size());
    EXPECT_TRUE(toAlice[0].message->fromMe);
    EXPECT_EQ(fromAlice[0].session, toAlice[0].session);
    // Inserted by time: the earliest record goes before the live row.
    auto first = wxtest::find(*f.m, 0, "first of all");
    ASSERT_EQ(1u, first.size());
    EXPECT_EQ(nullptr, first[0].message->prev);
    // A 4-byte time never makes a record.
    EXPECT_TRUE(wxtest::find(*f.m, 0, "short time").empty());
    auto stranger = wxtest::find(*f.m, 0, "stranger");
    ASSERT_EQ(1u, stranger.size());
    EXPECT_EQ("wxid_zed0001", stranger[0].session->peer->userName);
    EXPECT_EQ(4, stranger[0].session->peer->kind);
    // The same bytes again add nothing.
    f.Scan(bytes);
    EXPECT_EQ(1u, wxtest::find(*f.m, 0, "from alice").size());
}

// A record that claims a text of megabytes (damage, or a hostile file) is not copied out:
// no message comes near that length; the records after it are read.
TEST(CWxLsmChat, ARecordOfAnOutsizedTextIsPassedOver) {
    LsmFixture f;
    const std::string bytes =
        std::string(16, '\0') +
        record(1600000200, 5, std::string(size_t(5) << 20, 'x'), 1, "wxid_alice01", "wxid_owner01") +
        record(1600000300, 5, "after the long one", 1, "wxid_alice01", "wxid_owner01");
    f.Scan(bytes);
    EXPECT_EQ(1u, wxtest::find(*f.m, 0, "after the long one").size());
    for (const wxtest::Filed& m : wxtest::allMessages(*f.m, 0))
        EXPECT_LT(m.message->text.size(), size_t(1) << 20);
}

TEST(CWxLsmChat, TruncatedAndRandomBytes) {
    LsmFixture f;
    const std::string bytes =
        std::string(8, '\0') + record(1600000200, 5, "cut record", 1, "wxid_alice01", "wxid_owner01");
    for (size_t n = 0; n <= bytes.size(); ++n)
        f.Scan(bytes.substr(0, n));
    EXPECT_LE(wxtest::find(*f.m, 0, "cut record").size(), 1u);
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::string noise(size_t(rng() % 4096), '\0');
        for (char& c : noise)
            c = char(rng() % 8 == 0 ? 0x5A : rng());
        f.Scan(noise);
    }
    EXPECT_EQ(1u, wxtest::find(*f.m, 0, "alice live").size());
}

// Thousands of records for one peer, in shuffled order, with copies and same-second
// messages: the session ends in time order (same-second records before the ones already
// there), every copy is dropped, and a red packet upgrades the recovered text of its
// second even when that text came from the same file.
TEST(CWxLsmChat, ManyRecordsOfOnePeerKeepTimeOrderAndDropCopies) {
    LsmFixture f;
    constexpr int kRecords = 3000;
    std::vector<int> order(kRecords);
    for (int i = 0; i < kRecords; ++i)
        order[size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(11));
    std::string bytes(16, '\0');
    const std::string redPacket = "\xe5\xbe\xae\xe4\xbf\xa1\xe7\xba\xa2\xe5\x8c\x85";
    bytes += record(1600000000 + 7 * 2, 5, redPacket, 1, "wxid_alice01", "wxid_owner01");
    for (int i : order) {
        const uint64_t time = 1600000000 + uint64_t(i) * 2 + 1;
        bytes += record(time, 5, "bulk " + std::to_string(i), 1, "wxid_alice01", "wxid_owner01");
        // Some seconds hold a second, different message; some records come twice.
        if (i % 100 == 0)
            bytes += record(time, 5, "another message of that second, " + std::to_string(i), 1,
                            "wxid_alice01", "wxid_owner01");
        if (i % 500 == 0)
            bytes += record(time, 5, "bulk " + std::to_string(i), 1, "wxid_alice01", "wxid_owner01");
    }
    bytes += record(1600000000 + 7 * 2, 5, std::string("<title>") + redPacket + "</title>", 49,
                    "wxid_alice01", "wxid_owner01");
    f.Scan(bytes);

    auto live = wxtest::find(*f.m, 0, "alice live");
    ASSERT_EQ(1u, live.size());
    const WxSessionRecord& session = *live[0].session;
    int bulk = 0;
    int64_t previous = 0;
    for (const WxMessageRecord* m = session.messages.first; m; m = m->next) {
        EXPECT_LE(previous, m->time);
        previous = m->time;
        if (m->text.rfind("bulk ", 0) == 0) ++bulk;
    }
    EXPECT_EQ(kRecords, bulk);
    for (int i : {0, 500, 2500}) {
        EXPECT_EQ(1u, wxtest::find(*f.m, 0, "bulk " + std::to_string(i)).size()) << i;
        auto pair = wxtest::find(*f.m, 0, "another message of that second, " + std::to_string(i));
        ASSERT_EQ(1u, pair.size()) << i;
        ASSERT_NE(nullptr, pair[0].message->next);
        EXPECT_EQ(pair[0].message->time, pair[0].message->next->time) << i;
    }
    auto packet = wxtest::find(*f.m, 0, redPacket);
    ASSERT_EQ(1u, packet.size());
    EXPECT_EQ(100001, packet[0].message->type);
    // The live row's second: the recovered record goes before it.
    const std::string atLive =
        record(1600000100, 5, "same second as live", 1, "wxid_alice01", "wxid_owner01");
    f.Scan(std::string(16, '\0') + atLive);
    auto same = wxtest::find(*f.m, 0, "same second as live");
    ASSERT_EQ(1u, same.size());
    ASSERT_NE(nullptr, same[0].message->next);
    EXPECT_EQ("alice live", same[0].message->next->text);
}

// A peer with two sessions (the chat tables' and a recovered one after it): a record
// either session holds already is dropped, whichever it is in; a new one goes into the
// last of them in list order, in time order there; no third session is opened.
TEST(CWxLsmChat, APeerWithTwoSessionsGetsNoCopyAndNoThirdSession) {
    LsmFixture f;
    const auto live = wxtest::find(*f.m, 0, "alice live");
    ASSERT_EQ(1u, live.size());
    WxContactRecord* alice = live[0].session->peer;
    WxSessionRecord* second = f.m->AddWxSession(0, alice, true, false);
    ASSERT_NE(nullptr, second);
    auto held = std::make_unique<WxMessageRecord>();
    held->deleted = true;
    held->type = 1;
    held->time = 1600000700;
    held->text = "held by the second session";
    second->messages.append(std::move(held));

    std::string bytes(16, '\0');
    bytes += record(1600000100, 5, "alice live", 1, "wxid_alice01", "wxid_owner01");
    bytes += record(1600000700, 5, "held by the second session", 1, "wxid_alice01", "wxid_owner01");
    bytes += record(1600000900, 5, "new to both", 1, "wxid_alice01", "wxid_owner01");
    bytes += record(1600000050, 5, "earlier than both", 1, "wxid_alice01", "wxid_owner01");
    f.Scan(bytes);

    EXPECT_EQ(1u, wxtest::find(*f.m, 0, "alice live").size());
    EXPECT_EQ(1u, wxtest::find(*f.m, 0, "held by the second session").size());
    const auto added = wxtest::find(*f.m, 0, "new to both");
    ASSERT_EQ(1u, added.size());
    EXPECT_EQ(second, added[0].session);
    ASSERT_NE(nullptr, added[0].message->prev);
    EXPECT_EQ("held by the second session", added[0].message->prev->text);
    const auto earlier = wxtest::find(*f.m, 0, "earlier than both");
    ASSERT_EQ(1u, earlier.size());
    EXPECT_EQ(second, earlier[0].session);
    EXPECT_EQ(nullptr, earlier[0].message->prev);
    EXPECT_EQ(2u, f.m->WxSessionsOfPeer(0, alice).size());
}

// One store adds at most so many records, new peers and sessions; what is left out is
// noted for the user and the rest of the file is still read for the records it may add.
TEST(CWxLsmChat, OneStoreIsBoundedByItsLimits) {
    struct Case {
        const char* name;
        CWxLsmChat::Limits limits;
        size_t aliceRecords; // of 6 to the known peer
        size_t strangers;    // of 4 new peers, one record each
    };
    const Case cases[] = {
        {"records", {5, 100, 100}, 5, 0},
        {"contacts", {100, 2, 100}, 6, 2},
        {"sessions", {100, 100, 3}, 6, 3},
        {"no limit hit", {}, 6, 4},
    };
    for (const Case& c : cases) {
        LsmFixture f;
        std::string bytes(16, '\0');
        for (int i = 0; i < 6; ++i)
            bytes += record(1600001000 + uint64_t(i), 5, "to known " + std::to_string(i), 1, "wxid_alice01",
                            "wxid_owner01");
        for (int i = 0; i < 4; ++i)
            bytes += record(1600002000 + uint64_t(i), 5, "stranger " + std::to_string(i), 1,
                            "wxid_new000" + std::to_string(i), "wxid_owner01");
        f.Scan(bytes, c.limits);
        size_t alice = 0, strangers = 0;
        for (int i = 0; i < 6; ++i)
            alice += wxtest::find(*f.m, 0, "to known " + std::to_string(i)).size();
        for (int i = 0; i < 4; ++i)
            strangers += wxtest::find(*f.m, 0, "stranger " + std::to_string(i)).size();
        EXPECT_EQ(c.aliceRecords, alice) << c.name;
        EXPECT_EQ(c.strangers, strangers) << c.name;
        const int64_t leftOut = int64_t(6 - c.aliceRecords + 4 - c.strangers);
        if (leftOut == 0) {
            EXPECT_TRUE(f.m->losses.empty()) << c.name;
        } else {
            ASSERT_EQ(1u, f.m->losses.size()) << c.name;
            EXPECT_EQ(leftOut, f.m->losses[0].count) << c.name;
            EXPECT_EQ(ScanLoss::Kind::LeftOut, f.m->losses[0].kind) << c.name;
            EXPECT_EQ(uint32_t(ScanWxChats), f.m->losses[0].dataType) << c.name;
        }
    }
}

// Hundreds of records of one second (a crowded second is searched by key): copies are
// dropped, and a red packet and a link upgrade the recovered texts of that second they
// match, as they do in a second of few records.
TEST(CWxLsmChat, ACrowdedSecondDropsCopiesAndUpgradesAsAFewDo) {
    LsmFixture f;
    const uint64_t t = 1600000500;
    const std::string redPacket = "\xe5\xbe\xae\xe4\xbf\xa1\xe7\xba\xa2\xe5\x8c\x85";
    auto text = [](int i) {
        char b[8];
        std::snprintf(b, sizeof b, "%03d", i);
        return std::string(b) + " record of a crowded second";
    };
    std::string bytes(16, '\0');
    bytes += record(t, 5, redPacket + " and more", 1, "wxid_alice01", "wxid_owner01");
    for (int i = 0; i < 300; ++i) {
        bytes += record(t, 5, text(i), 1, "wxid_alice01", "wxid_owner01");
        if (i % 10 == 0) bytes += record(t, 5, text(i), 1, "wxid_owner01", "wxid_alice01");
    }
    bytes += record(t, 5, "<msg><appmsg><title>" + redPacket + "</title></appmsg></msg>", 49, "wxid_alice01",
                    "wxid_owner01");
    bytes += record(t, 5, "<msg><appmsg><title>123 record</title><url>http://link.test/</url></appmsg></msg>",
                    49, "wxid_alice01", "wxid_owner01");
    f.Scan(bytes);

    size_t atT = 0;
    for (const wxtest::Filed& m : wxtest::allMessages(*f.m, 0))
        atT += m.message->time == int64_t(t);
    EXPECT_EQ(301u, atT);
    for (int i : {0, 10, 123, 299})
        EXPECT_EQ(1u, wxtest::find(*f.m, 0, text(i)).size()) << i;
    const auto packet = wxtest::find(*f.m, 0, redPacket);
    ASSERT_EQ(1u, packet.size());
    EXPECT_EQ(100001, packet[0].message->type);
    const auto link = wxtest::find(*f.m, 0, text(123));
    ASSERT_EQ(1u, link.size());
    EXPECT_EQ(49, link[0].message->type);
    EXPECT_EQ("http://link.test/", link[0].message->url);
    EXPECT_TRUE(f.m->losses.empty());
}

// A store that shrinks while it is read (a sync, another program) ends its own read where
// its bytes are gone, with the loss noted for the user; what was read before stays, and
// the account's other stores are read on. Nothing is mapped, so no signal can come.
TEST(CWxLsmChat, AStoreThatShrinksWhileReadEndsItsOwnRead) {
    struct Case {
        const char* name;
        int keptQuarters; // of the file's size, after the first record
    };
    for (const Case& c : {Case{"to nothing", 0}, Case{"to a quarter", 1}}) {
        SCOPED_TRACE(c.name);
        const std::string shrinking =
            std::string(16, '\0') +
            record(1600000200, 5, "before the cut", 1, "wxid_alice01", "wxid_owner01") +
            std::string(size_t(3) << 20, '\0') +
            record(1600000300, 5, "after the cut", 1, "wxid_alice01", "wxid_owner01");
        StoresFixture f({shrinking, std::string(16, '\0') + record(1600000400, 5, "in the next store", 1,
                                                                   "wxid_alice01", "wxid_owner01")});
        // Cuts the first store once its reader has filed a record and gone on.
        struct Cutter : IScanProgress {
            std::filesystem::path file;
            uint64_t size = 0;
            int keptQuarters = 0;
            bool cut = false;
            void OnScanData(int, void*) override {}
            void OnProgress(int, int stage, int done, int total, int, int, int) override {
                if (cut || stage != 2 || done <= 0 || total != int(size)) return;
                std::filesystem::resize_file(file, size / 4 * uint64_t(keptQuarters));
                cut = true;
            }
        } cutter;
        cutter.file = f.files[0];
        cutter.size = shrinking.size();
        cutter.keptQuarters = c.keptQuarters;
        f.m->progress = &cutter;

        EXPECT_TRUE(CWxLsmChat(f.m.get(), 0).Scan());
        EXPECT_TRUE(cutter.cut);
        EXPECT_EQ(1u, wxtest::find(*f.m, 0, "before the cut").size());
        EXPECT_TRUE(wxtest::find(*f.m, 0, "after the cut").empty());
        EXPECT_EQ(1u, wxtest::find(*f.m, 0, "in the next store").size());
        ASSERT_EQ(1u, f.m->losses.size());
        EXPECT_EQ(ScanLoss::Kind::FileChanged, f.m->losses[0].kind);
        EXPECT_EQ(uint32_t(ScanWxChats), f.m->losses[0].dataType);
    }
}

// The limits hold for all local stores of an account together: more files do not add
// more records than one may; what is left out is counted once for the account.
TEST(CWxLsmChat, TheLimitsHoldForAllStoresOfTheAccount) {
    std::vector<std::string> stores;
    for (int file = 0; file < 3; ++file) {
        std::string bytes(16, '\0');
        for (int i = 0; i < 4; ++i)
            bytes += record(1600001000 + uint64_t(file * 10 + i), 5,
                            "store " + std::to_string(file) + " record " + std::to_string(i), 1,
                            "wxid_alice01", "wxid_owner01");
        stores.push_back(bytes);
    }
    StoresFixture f(stores);
    CWxLsmChat lsm(f.m.get(), 0);
    lsm.SetLimits({5, 100, 100});
    EXPECT_TRUE(lsm.Scan());
    EXPECT_EQ(5u, wxtest::find(*f.m, 0, "store ").size());
    ASSERT_EQ(1u, f.m->losses.size());
    EXPECT_EQ(ScanLoss::Kind::LeftOut, f.m->losses[0].kind);
    EXPECT_EQ(7, f.m->losses[0].count);
}

} // namespace
