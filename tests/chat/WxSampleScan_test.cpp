// A whole scan of the kit's sample backup through the scan manager's default steps, for
// the WeChat masks and both manifest generations: the account's contacts and chats
// match what the sample holds, recovered messages come from each source, and the backup
// folder stays as it was.
#include "core/backup/CMbdbFileParser.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/SampleBackup.h"
#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kit::BackupBuilder;

struct Case {
    BackupBuilder::Generation generation;
    uint32_t mask;
};

class WxSampleScan : public ::testing::TestWithParam<Case> {};

TEST_P(WxSampleScan, AccountContactsAndChats) {
    kit::ScratchFolder scratch("wxsample");
    const auto backupDir = scratch.path() / "backup";
    const kit::SampleBackup sample =
        kit::SampleBackup::Build(backupDir, GetParam().generation, 3, scratch.path() / "work");
    const auto before = kit::FolderSnapshot::Take(backupDir);

    CMbdbFileParser parser;
    const int ios = GetParam().generation == BackupBuilder::Generation::Mbdb ? 9 : 14;
    const auto manifest = backupDir / (ios == 9 ? "Manifest.mbdb" : "Manifest.db");
    ASSERT_TRUE(parser.Open(manifest.c_str(), backupDir.c_str(), ios));
    ASSERT_EQ(1u, parser.ScanWeChatAccounts()->size());
    const std::string root = backupDir.string() + "/";
    CScanManager m(int(GetParam().mask), scratch.path().c_str(), root.c_str(), ios, nullptr, &parser);
    m.Scan();
    ASSERT_EQ(1u, m.wxContactLists.size());

    int friends = 0;
    for (const WxContactRecord* c = m.wxContactLists[0].first; c; c = c->next)
        friends += c->userName.rfind("wxid_friend", 0) == 0;
    EXPECT_EQ(sample.wxContacts, friends);

    int live = 0, recovered = 0;
    bool carved = false, indexed = false, summary = false;
    for (const WxSessionRecord* s = m.wxSessionLists[0].first; s; s = s->next)
        for (const WxMessageRecord* msg = s->messages.first; msg; msg = msg->next) {
            (msg->deleted ? recovered : live) += 1;
            if (!msg->deleted) continue;
            carved |= msg->text.rfind("WeChat message", 0) == 0;
            indexed |= msg->text.rfind("WeChat indexed", 0) == 0;
            summary |= msg->text == "WeChat last message";
        }
    if (GetParam().mask & ScanWxChats) {
        EXPECT_EQ(sample.wxMessages, live);
        EXPECT_EQ(sample.wxDeletedMessages, recovered);
        EXPECT_TRUE(carved);
        EXPECT_TRUE(indexed);
        EXPECT_TRUE(summary);
    } else {
        EXPECT_EQ(0, live + recovered);
    }
    EXPECT_EQ("", kit::FolderSnapshot::Take(backupDir).DiffFrom(before));
}

INSTANTIATE_TEST_SUITE_P(Masks, WxSampleScan,
                         ::testing::Values(Case{BackupBuilder::Generation::Mbdb, 0x1000},
                                           Case{BackupBuilder::Generation::Mbdb, 0x3000},
                                           Case{BackupBuilder::Generation::ManifestDb, 0x2000},
                                           Case{BackupBuilder::Generation::ManifestDb, 0x3000}));

} // namespace
