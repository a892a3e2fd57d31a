#include "core/backup/CWxAccountDiscovery.h"
#include "core/util/MD5_CTX.h"
#include "tests/chat/WxBackupFixture.h"
#include "tests/kit/ProtoWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kit::BackupBuilder;
using kit::WeChatAccountBuilder;

class Discovery : public ::testing::TestWithParam<BackupBuilder::Generation> {};

TEST_P(Discovery, TwoAccountsFromArchiveAndSettingsFile) {
    wxtest::WxBackup backup(GetParam());
    WeChatAccountBuilder first("wxid_first01", "First Owner");
    first.AddMessage(WeChatAccountBuilder::MessageDb1, {"wxid_friend1", 1600000000, 1, false, "hi"});
    first.AddMessage(WeChatAccountBuilder::MessageDb2, {"wxid_friend1", 1600000001, 1, false, "hi 2"});
    first.AddMessage(WeChatAccountBuilder::BrandDb, {"gh_brand01", 1600000002, 1, false, "news"});
    first.AddSession("wxid_friend1", "Friend One", {"", 1600000003, 1, false, "last"});
    first.AddLocalStore({"wxid_friend1", 1600000004, 1, false, "stored"});
    first.AddMessage(WeChatAccountBuilder::FtsIndex, {"wxid_friend1", 1600000005, 1, false, "indexed"});
    WeChatAccountBuilder second("wxid_second2", "Second Owner", true);
    backup.Add(first);
    backup.Add(second);
    // A session file with an extension is not listed; an account folder without a name
    // source gives no account.
    backup.builder.AddFile(WeChatAccountBuilder::Domain(),
                           "Documents/" + getMd5String(std::string("wxid_first01")) + "/session/data/x.bak",
                           "x");
    backup.builder.AddFile(WeChatAccountBuilder::Domain(), "Documents/0123/DB/MM.sqlite", "not a db");
    // Settings files that must be ignored.
    backup.builder.AddFile(WeChatAccountBuilder::Domain(), "Documents/MMappedKV/mmsetting.archive.a.crc",
                           "x");
    backup.builder.AddFile(WeChatAccountBuilder::Domain(), "Documents/MMappedKV/mmsetting.archive.(null)",
                           "x");
    backup.Finish();

    const WxAccountList* accounts = backup.parser.GetWeChatAccounts();
    std::string names;
    for (const auto& e : *accounts)
        names += e->userName + "@" + e->accountFolder + " ";
    ASSERT_EQ(2u, accounts->size()) << names;
    const WxAccountEntry& a = *(*accounts)[0];
    const WxAccountEntry& b = *(*accounts)[1];
    EXPECT_EQ(0, a.index);
    EXPECT_EQ(1, b.index);
    EXPECT_EQ("wxid_first01", a.userName);
    EXPECT_EQ("wxid_first01", a.accountId);
    EXPECT_EQ("First Owner", a.nickName);
    // The walk ends at the element ending in "132", which is the last avatar taken.
    EXPECT_EQ("http://avatar.test/wxid_first01/132", a.headImageUrl);
    EXPECT_EQ(first.AccountFolder(), a.accountFolder);
    EXPECT_FALSE(a.chatDbPath.empty());
    EXPECT_FALSE(a.contactDbPath.empty());
    EXPECT_FALSE(a.ftsDbPath.empty());
    EXPECT_FALSE(a.brandDbPath.empty());
    EXPECT_EQ(2u, a.messageDbFiles.size()); // -wal and -shm are not listed
    EXPECT_EQ(1u, a.sessionFiles.size());
    EXPECT_EQ(1u, a.lsmFiles.size());
    EXPECT_TRUE(a.matchKey.empty());

    EXPECT_EQ("wxid_second2", b.userName);
    EXPECT_EQ("Second Owner", b.nickName);
    EXPECT_EQ("http://avatar.test/wxid_second2/132", b.headImageUrl);
    EXPECT_TRUE(b.messageDbFiles.empty());
    EXPECT_TRUE(b.ftsDbPath.empty());

    // A second call gives the same list.
    backup.parser.ScanWeChatAccounts();
    ASSERT_EQ(2u, accounts->size());
    EXPECT_EQ(2u, (*accounts)[0]->messageDbFiles.size());
    EXPECT_EQ(1u, (*accounts)[0]->sessionFiles.size());
    backup.ExpectUnchanged();
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, Discovery,
                         ::testing::Values(BackupBuilder::Generation::Mbdb,
                                           BackupBuilder::Generation::ManifestDb));

TEST(Discovery, WithoutAvatarHostNoUrlIsTaken) {
    wxtest::WxBackup backup;
    WeChatAccountBuilder first("wxid_first01", "First Owner");
    backup.Add(first);
    backup.Finish("");
    ASSERT_EQ(1u, backup.parser.GetWeChatAccounts()->size());
    EXPECT_EQ("", (*backup.parser.GetWeChatAccounts())[0]->headImageUrl);
    EXPECT_EQ("First Owner", (*backup.parser.GetWeChatAccounts())[0]->nickName);
}

TEST(Discovery, SettingsValues) {
    kit::ProtoWriter w;
    w.Raw("...id1...");
    auto value = [&w](const std::string& key, const std::string& v) {
        kit::ProtoWriter inner;
        inner.Varint(v.size()).Raw(v);
        w.Byte(uint8_t(key.size())).Raw(key).Varint(inner.size()).Raw(inner.str());
    };
    value("87", "wxid_user");
    value("88", "Nick");
    const std::string good = w.str();
    auto s = CWxAccountDiscovery::ReadMmkvSettings(good, "id1");
    EXPECT_EQ("wxid_user", s.userName);
    EXPECT_EQ("Nick", s.nickName);
    // Keys before the first id are not read.
    EXPECT_EQ("", CWxAccountDiscovery::ReadMmkvSettings(good, "missing").userName);
    // A value over the limit is not taken.
    kit::ProtoWriter big;
    big.Raw("...id1...");
    const std::string huge(CWxAccountDiscovery::kMaxValue + 1, 'a');
    kit::ProtoWriter inner;
    inner.Varint(huge.size()).Raw(huge);
    big.Byte(2).Raw("88").Varint(inner.size()).Raw(inner.str());
    EXPECT_EQ("", CWxAccountDiscovery::ReadMmkvSettings(big.str(), "id1").nickName);
    // Every truncation and a varint claiming more than is left: nothing read past the end.
    for (size_t n = 0; n <= good.size(); ++n) {
        auto t = CWxAccountDiscovery::ReadMmkvSettings(std::string_view(good.data(), n), "id1");
        EXPECT_LE(t.userName.size() + t.nickName.size(), n);
    }
    uint64_t v = 0;
    EXPECT_EQ(0u, CWxAccountDiscovery::ReadSettingsVarint(std::string("\x05"
                                                                      "abc",
                                                                      4),
                                                          0, &v));
    EXPECT_EQ(1u, CWxAccountDiscovery::ReadSettingsVarint(std::string("\x03"
                                                                      "abc",
                                                                      4),
                                                          0, &v));
    EXPECT_EQ(0u, CWxAccountDiscovery::ReadSettingsVarint(std::string(9, '\xff'), 0, &v));
}

TEST(Discovery, BrokenArchives) {
    std::string user = "u", nick = "n", head = "h";
    for (const std::string& bytes : std::vector<std::string>{
             std::string(), std::string("bplist00"), std::string(100, '\xff'),
             std::string("<plist><dict><key>$objects</key><string>x</string></dict></plist>")}) {
        EXPECT_FALSE(
            CWxAccountDiscovery::ReadAccountArchive(bytes, "http://avatar.test/", &user, &nick, &head));
    }
}

} // namespace
