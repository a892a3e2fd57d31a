// Whole roads through the main page: a device through chooser, backup and analysis to
// the recovery page; a kit backup through the backup list with the real device manager's
// analysis, the backup folder left as it was.
#include "gui/NSLanguageText.h"
#include "app/pages/NSDeviceLinkView.h"
#include "app/pages/NSiTunesView.h"
#include "app/pages/NSDirizaView.h"
#include "app/pages/ViewController.h"
#include "platform/Paths.h"
#include "scan/DeviceManage.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/FakeDeviceManage.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/SampleBackup.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(Walk, DeviceRoadToTheRecoveryPage) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    kit::FakeDeviceManage manager;
    kit::FakeAlertPresenter alerts;
    ViewController vc(manager, {});
    vc.show();
    auto device = std::make_shared<DeviceInfo>();
    device->SaveDeviceInfo("Walker", "UDID-W", "S", "iPhone12,1", DeviceRef(), "14.2");
    manager.SendAddDevice(device);
    ASSERT_TRUE(QTest::qWaitFor([&] { return vc.DevicePage()->isChoosing(); }, 3000));
    auto* chooser = vc.DevicePage()->Chooser();
    chooser->TypeBox(1)->click(); // no videos
    chooser->StartButton()->click();
    EXPECT_EQ(vc.CurrentPage(), 2);
    EXPECT_FALSE(vc.BackupButton()->isEnabled());
    EXPECT_TRUE(manager.Calls().contains("StartBackUp UDID-W"));

    // A language change while the backup runs does not alter what goes on.
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::SimplifiedChinese);
    vc.setLanguage(NSLanguageText::SimplifiedChinese);

    manager.SendBackUpFinish("/cache/backup");
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager.Calls().contains("StartAnalyze UDID-W"); }, 3000));
    manager.SendAnalyze(50);
    manager.SendAnalyzeFinish();
    ASSERT_TRUE(QTest::qWaitFor([&] { return vc.CurrentPage() == 3; }, 3000));
    auto* page = dynamic_cast<NSDirizaView*>(vc.RecoveryPage());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->TypeList().Rows().size(), 13u); // two heads, eleven types
    EXPECT_EQ(manager.LastSelection().join(QString()), "10111111111100000");
    EXPECT_EQ(manager.LastScanDevice(), device);
    EXPECT_FALSE(vc.DeviceButton()->isEnabled());
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
}

TEST(Walk, BackupRoadWithTheRealAnalysis) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    QTemporaryDir support, cache, scratch;
    Paths::SetApplicationSupport(support.path());
    const std::string udid = "0123456789abcdef0123456789abcdef01234567";
    const std::filesystem::path folder = std::filesystem::path(Paths::BackupsFolder().toStdString()) / udid;
    kit::SampleBackup::Build(folder, kit::BackupBuilder::Generation::ManifestDb, 1,
                             scratch.path().toStdString());
    const auto before = kit::FolderSnapshot::Take(folder);

    DeviceManage::Services services;
    services.cacheFolder = cache.path();
    DeviceManage manager(services);
    // The scan itself is not part of this walk: record what the recovery page asks.
    struct Page final : QWidget, IRecoveryPage {
        explicit Page(QWidget* parent) : QWidget(parent) {}
        std::shared_ptr<DeviceInfo> device;
        QStringList selection;
        QWidget* Widget() override { return this; }
        void setDelegate(RecoveryPageDelegate*) override {}
        void setLanguage(int) override {}
        void StartScan(const std::shared_ptr<DeviceInfo>& d, const QStringList& s) override {
            device = d;
            selection = s;
        }
        void StopAndWait() override {}
    };
    Page* recovery = nullptr;
    ViewController::Options options;
    options.recoveryPage = [&](IDeviceManage&, QWidget* parent) -> IRecoveryPage* {
        recovery = new Page(parent); // owned by the main page
        return recovery;
    };
    {
        ViewController vc(manager, options);
        vc.show();
        vc.BackupButton()->click();
        ASSERT_EQ(vc.CurrentPage(), 1);
        ASSERT_EQ(vc.BackupPage()->Model().rowCount(), 1);
        vc.BackupPage()->SelectDeviceInfo(vc.BackupPage()->Model().At(0));
        vc.BackupPage()->Chooser()->StartButton()->click();
        EXPECT_EQ(vc.CurrentPage(), 2);
        ASSERT_TRUE(QTest::qWaitFor([&] { return vc.CurrentPage() != 2; }, 20000));
        EXPECT_EQ(vc.CurrentPage(), 3);
        ASSERT_NE(recovery->device, nullptr);
        EXPECT_EQ(recovery->device->getIdentifyNumber().toStdString(), udid);
        EXPECT_EQ(recovery->selection.join(QString()), "11111111111100000");
        EXPECT_EQ(manager.getBackUpPath(), QString::fromStdString(folder.string()));
        manager.WaitForTasks();
    }
    EXPECT_EQ(kit::FolderSnapshot::Take(folder).DiffFrom(before), "");
    Paths::ResetOverrides();
}

// A backup chosen on the backup list that cannot be analysed: the message speaks of the
// backup (for an unreadable one, with its folder) and the user stays on the backup list.
TEST(Walk, UnusableKitBackupsKeepTheUserOnTheBackupList) {
    NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
    enum Damage { Encrypted, TruncatedManifest };
    for (Damage damage : {Encrypted, TruncatedManifest}) {
        SCOPED_TRACE(int(damage));
        QTemporaryDir support, cache;
        Paths::SetApplicationSupport(support.path());
        const std::string udid = "fedcba9876543210fedcba9876543210fedcba98";
        const std::filesystem::path folder =
            std::filesystem::path(Paths::BackupsFolder().toStdString()) / udid;
        {
            kit::BackupBuilder builder(folder, kit::BackupBuilder::Generation::ManifestDb);
            builder.SetDevice("Locked", udid, "SER", "iPhone12,1");
            builder.SetEncrypted(damage == Encrypted);
            builder.Finish();
        }
        if (damage == TruncatedManifest) std::filesystem::resize_file(folder / "Manifest.db", 100);
        kit::FakeAlertPresenter alerts;
        DeviceManage::Services services;
        services.cacheFolder = cache.path();
        DeviceManage manager(services);
        {
            ViewController vc(manager, {});
            vc.show();
            vc.BackupButton()->click();
            ASSERT_EQ(vc.BackupPage()->Model().rowCount(), 1);
            vc.BackupPage()->SelectDeviceInfo(vc.BackupPage()->Model().At(0));
            vc.BackupPage()->Chooser()->StartButton()->click();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !alerts.Alerts().isEmpty(); }, 20000));
            const QString text = alerts.Alerts()[0].alert.informativeText;
            if (damage == Encrypted) {
                EXPECT_EQ(text, LanguageText("IsEncryptedTitle"));
            } else {
                EXPECT_NE(text, LanguageText("BackUpFailureTitle"));
                EXPECT_TRUE(text.contains(QString::fromStdString(folder.string()))) << text.toStdString();
                EXPECT_EQ(text,
                          SafeFormat(LanguageText("BackupReadFailureTitle"),
                                     {QDir::toNativeSeparators(QString::fromStdString(folder.string()))}));
            }
            EXPECT_EQ(vc.CurrentPage(), 1);
            EXPECT_FALSE(vc.BackupPage()->isChoosing());
            EXPECT_EQ(vc.BackupPage()->Model().rowCount(), 1);
            manager.WaitForTasks();
        }
        Paths::ResetOverrides();
    }
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
