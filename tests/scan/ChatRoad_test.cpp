// Whole scans of a kit-built backup for the chat types, through the device hub's mask
// entry and without any window: what is delivered per mask, the WeChat contact tree and
// chats of the sample's account, the WhatsApp chats as the
// scan's own list (they are never delivered), ScanEnd last, and the backup folder left
// exactly as it was.
#include "scan/DeviceManage.h"

#include "core/records/ScanDataType.h"
#include "core/records/WaChatRecord.h"
#include "scan/engine/CScanManager.h"
#include "scan/engine/CScanSteps.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/SampleBackup.h"
#include "tests/scan/QtGtestMain.h"
#include "tests/scan/RecordingBackUp.h"
#include "tests/scan/RecordingScanReceiver.h"

#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <mutex>

using scantest::RecordingBackUp;
using scantest::RecordingScanReceiver;

namespace {

// What the WhatsApp step left in the scan's list: chats with their messages.
struct WhatsAppSeen {
    struct Message {
        bool deleted;
        std::string chat, text;
    };
    std::mutex mutex;
    int runs = 0;
    int chats = 0, deletedChats = 0;
    std::vector<Message> messages;

    void Take(const RecordList<WaChatRecord>& list) {
        std::lock_guard<std::mutex> lock(mutex);
        ++runs;
        for (const WaChatRecord* c = list.first; c; c = c->next) {
            ++chats;
            if (c->deleted) ++deletedChats;
            for (const WaMessageRecord* m = c->messages.first; m; m = m->next)
                messages.push_back({m->deleted, c->name, m->text});
        }
    }
};

} // namespace

class ChatRoad : public ::testing::TestWithParam<kit::BackupBuilder::Generation> {
  protected:
    void SetUp() override { QSettings().setValue("AppLanguage", "en"); }
    void TearDown() override { QSettings().remove("AppLanguage"); }
};

TEST_P(ChatRoad, ChatMasksThroughTheMaskEntry) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/backup";
    const kit::SampleBackup sample = kit::SampleBackup::Build(folder.toStdString(), GetParam(), 1,
                                                              (dir.path() + "/scratch").toStdString());
    const auto before = kit::FolderSnapshot::Take(folder.toStdString());

    QTemporaryDir cache;
    DeviceScanManager bridge;
    RecordingBackUp backUp;
    DeviceManage::Services services;
    services.scanBridge = &bridge;
    services.cacheFolder = cache.path();
    DeviceManage hub(services);
    hub.setBackUpdelegate(&backUp);

    WhatsAppSeen* seen = nullptr;
    bridge.SetScanManagerHook([&seen](CScanManager& manager) {
        CScanSteps steps = CScanSteps::Default();
        steps.whatsApp = [&seen, run = steps.whatsApp](CScanManager& owner) {
            const bool ok = run && run(owner);
            if (seen) seen->Take(owner.waChatList);
            return ok;
        };
        manager.SetSteps(std::move(steps));
    });

    auto device = std::make_shared<DeviceInfo>();
    device->SetBackUpPath(folder);
    hub.StartAnalyze(device);
    ASSERT_TRUE(QTest::qWaitFor([&] { return backUp.Ended(); }, 30000));
    ASSERT_EQ(backUp.Events(), QStringList{"AnalyzeFinish"});

    struct Case {
        uint32_t mask;
        QStringList deliveries;
    } cases[] = {
        {0x1000, {"ScanWXAddressBook", "ScanEnd"}},
        {0x2000, {"ScanWXChat", "ScanEnd"}},
        {0x3000, {"ScanWXAddressBook", "ScanWXChat", "ScanEnd"}},
        {0x8000, {"ScanEnd"}},
        // The store list is built once per analysed backup: a second scan reads the same.
        {0x8000, {"ScanEnd"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        RecordingScanReceiver receiver;
        WhatsAppSeen whatsApp;
        seen = &whatsApp;
        hub.setScanFileDelegate(&receiver);
        hub.StartScanMask(device, c.mask);
        ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.ended.load(); }, 60000));
        hub.WaitForTasks();
        hub.setScanFileDelegate(nullptr);
        seen = nullptr;

        EXPECT_EQ(receiver.Messages(), c.deliveries);
        ASSERT_GT(receiver.progressAtEnd, 0);
        EXPECT_EQ(receiver.progress[receiver.progressAtEnd - 1].value, 100);
        EXPECT_EQ(receiver.progress[receiver.progressAtEnd - 1].text, "Scan complete");

        if (c.mask & 0x1000) {
            // The one account's tree: its friends under the friends node.
            ASSERT_EQ(receiver.wxAddressBooks.size(), 1);
            ASSERT_TRUE(receiver.wxAddressBooks[0].has_value());
            const auto& accounts = *receiver.wxAddressBooks[0];
            ASSERT_EQ(accounts.size(), 1);
            QStringList friends;
            for (const NSWXAddressBookData& node : accounts[0].AccountWXData())
                for (const NSAddressBookInfo& info : node.AddressBook())
                    if (info.WxDefaultId().startsWith("wxid_friend")) friends << info.NickName();
            EXPECT_EQ(friends.size(), sample.wxContacts);
            for (int i = 0; i < sample.wxContacts; ++i)
                EXPECT_TRUE(friends.contains(QString("Friend %1").arg(i))) << i;
        }
        if (c.mask & 0x2000) {
            // The chats of the account's friends, live messages and one recovered from
            // each source: a carved row, the search index and the session file.
            ASSERT_EQ(receiver.wxChats.size(), 1);
            ASSERT_EQ(receiver.wxChats[0].size(), 1);
            const NSWXChatRecordData& account = receiver.wxChats[0].first();
            int live = 0, recovered = 0;
            bool carved = false, indexed = false, summary = false;
            for (const NSWXChatFriendData& chat : account.WXChatFriendArray().chats())
                for (const NSWXChatSMSData& m : chat.WXSMSData()) {
                    (m.bDelete() ? recovered : live) += 1;
                    if (!m.bDelete()) continue;
                    EXPECT_TRUE(chat.bDelete());
                    carved |= m.Content().startsWith("WeChat message");
                    indexed |= m.Content().startsWith("WeChat indexed");
                    summary |= m.Content() == "WeChat last message";
                }
            EXPECT_EQ(live, sample.wxMessages);
            EXPECT_EQ(recovered, sample.wxDeletedMessages);
            EXPECT_TRUE(carved);
            EXPECT_TRUE(indexed);
            EXPECT_TRUE(summary);
            const NSWXChatFriendData* first = account.getWXCharFriendobj("wxid_friend100");
            ASSERT_NE(first, nullptr);
            EXPECT_EQ(first->FrinedAccount(), "Friend 0");
        }
        if (!(c.mask & 0x8000)) {
            EXPECT_EQ(whatsApp.runs, 0);
            continue;
        }
        EXPECT_EQ(whatsApp.runs, 1);
        ASSERT_NE(hub.fileParser().GetWhatsAppStores(), nullptr);
        EXPECT_EQ(hub.fileParser().GetWhatsAppStores()->size(), 1u);
        EXPECT_EQ(whatsApp.chats, sample.whatsAppChats);
        std::map<std::string, int> live;
        int recovered = 0;
        for (const auto& m : whatsApp.messages) {
            if (m.deleted) {
                EXPECT_EQ(m.text.rfind("Removed WhatsApp ", 0), 0u) << m.text;
                ++recovered;
            } else {
                ++live[m.text];
            }
        }
        EXPECT_EQ(int(live.size()), sample.whatsAppMessages);
        for (int i = 0; i < sample.whatsAppMessages; ++i)
            EXPECT_EQ(live["WhatsApp " + std::to_string(i)], 1) << i;
        EXPECT_GT(recovered, 0);
        EXPECT_LE(recovered, sample.deletedRowsPerTable);
        EXPECT_GT(whatsApp.deletedChats, 0);
    }
    hub.WaitForTasks();
    EXPECT_EQ("", kit::FolderSnapshot::Take(folder.toStdString()).DiffFrom(before));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, ChatRoad,
                         ::testing::Values(kit::BackupBuilder::Generation::Mbdb,
                                           kit::BackupBuilder::Generation::ManifestDb));

QT_GTEST_MAIN(QGuiApplication)
