#include "chat/CWxAddressBook.h"
#include "chat/CWxChat.h"
#include "chat/CWxLsmChat.h"
#include "chat/CWxSession.h"
#include "tests/chat/WxBackupFixture.h"
#include "tests/kit/ProtoWriter.h"

#include <gtest/gtest.h>

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
        account.AddMessage(WeChatAccountBuilder::MainDb, {"wxid_alice01", 1600000100, 1, false, "alice live"});
        backup.Add(account);
        backup.Finish();
        m = backup.Manager(0x3000);
        CWxAddressBook(m.get(), 0).Scan();
        CWxSession session(m.get(), 0);
        CWxChat(m.get(), &session, 0).Scan();
        EXPECT_TRUE(CWxLsmChat(m.get(), 0).Scan()); // no local-store files: nothing
    }
    void Scan(const std::string& bytes) {
        CWxLsmChat lsm(m.get(), 0);
        lsm.ScanBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
};

TEST(CWxLsmChat, RecordsAreFiledUnderTheirPeer) {
    LsmFixture f;
    std::string bytes = std::string(16, '\0') + record(1600000200, 5, "from alice", 1, "wxid_alice01", "wxid_owner01") +
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

TEST(CWxLsmChat, TruncatedAndRandomBytes) {
    LsmFixture f;
    const std::string bytes = std::string(8, '\0') + record(1600000200, 5, "cut record", 1, "wxid_alice01", "wxid_owner01");
    for (size_t n = 0; n <= bytes.size(); ++n) f.Scan(bytes.substr(0, n));
    EXPECT_LE(wxtest::find(*f.m, 0, "cut record").size(), 1u);
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::string noise(size_t(rng() % 4096), '\0');
        for (char& c : noise) c = char(rng() % 8 == 0 ? 0x5A : rng());
        f.Scan(noise);
    }
    EXPECT_EQ(1u, wxtest::find(*f.m, 0, "alice live").size());
}

} // namespace
