// The backup progress page: both roads, the animation, and the device manager's worker
// messages arriving on the GUI thread (and not at all once the page is gone).
#include "gui/NSLanguageText.h"
#include "app/pages/NSBackUpView.h"
#include "tests/kit/FakeDeviceManage.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

namespace {

struct Outcome : NSBackUpViewDelegate {
    QList<QThread*> threads;
    std::shared_ptr<DeviceInfo> device;
    QStringList selection;
    int finished = 0, failed = 0;
    void BackUpFinishEvent(const std::shared_ptr<DeviceInfo>& d, const QStringList& s) override {
        threads << QThread::currentThread();
        device = d;
        selection = s;
        ++finished;
    }
    void BackUpFailure() override {
        threads << QThread::currentThread();
        ++failed;
    }
};

std::shared_ptr<DeviceInfo> Device() {
    auto d = std::make_shared<DeviceInfo>();
    d->SaveDeviceInfo("Phone", "UDID1", "S", "iPhone12,1", DeviceRef(), "14.2");
    return d;
}

const QStringList kSelection = QString("11111111111100000").split(QString(), Qt::SkipEmptyParts);

TEST(BackUpView, DeviceRoadThenAnalysisFromWorkers) {
    kit::FakeDeviceManage manager;
    NSBackUpView page(manager);
    Outcome outcome;
    page.setDelegate(&outcome);
    page.show();
    auto device = Device();
    page.StartBackUp(device, kSelection);
    EXPECT_EQ(manager.Calls().filter("StartBackUp").size(), 1);
    EXPECT_TRUE(page.isAnimating());
    EXPECT_FALSE(page.ProgressBar()->isVisible());
    EXPECT_EQ(page.Title()->text(), LanguageText("TitleBackuping"));
    // Frames: progress_1 first, progress_1 again after progress_7.
    const int frames[] = {1, 2, 3, 4, 5, 6, 7, 1};
    for (int f : frames) {
        page.UpdateProgreImageView();
        EXPECT_EQ(page.ShownFrame(), f);
    }
    manager.SendBackUpFinish("/root");
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager.Calls().filter("StartAnalyze").size() == 1; }, 5000));
    EXPECT_FALSE(page.isAnimating());
    EXPECT_EQ(page.Title()->text(), LanguageText("TitleBackuping"));
    EXPECT_EQ(manager.LastAnalyzed(), device);
    manager.SendAnalyzeFinish();
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.finished == 1; }, 5000));
    EXPECT_EQ(outcome.device, device);
    EXPECT_EQ(outcome.selection, kSelection);
    EXPECT_EQ(outcome.threads, QList<QThread*>{QApplication::instance()->thread()});
}

TEST(BackUpView, BackupRoadProgressAndFailure) {
    kit::FakeDeviceManage manager;
    NSBackUpView page(manager);
    Outcome outcome;
    page.setDelegate(&outcome);
    page.show();
    page.StartAnalyze(Device(), kSelection);
    EXPECT_TRUE(page.ProgressBar()->isVisible());
    EXPECT_FALSE(page.Explain()->isVisible());
    EXPECT_EQ(page.Title()->text(), LanguageText("TitleAnalysing"));
    manager.SendAnalyze(42);
    ASSERT_TRUE(QTest::qWaitFor([&] { return page.ProgressBar()->value() == 42; }, 5000));
    manager.SendBackUpLoser();
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.failed == 1; }, 5000));
    EXPECT_EQ(outcome.threads, QList<QThread*>{QApplication::instance()->thread()});
}

TEST(BackUpView, NoDelegateAndGonePage) {
    kit::FakeDeviceManage manager;
    {
        NSBackUpView page(manager);
        page.StartBackUp(Device(), kSelection);
        manager.SendBackUpLoser();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !page.isAnimating(); }, 5000));
    }
    // The page is gone: its receiver was cleared, and late messages reach nothing.
    manager.SendAnalyzeFinish();
    manager.SendBackUpLoser();
    manager.WaitForTasks();
    QTest::qWait(50);
    SUCCEED();
}

TEST(BackUpView, PageGoneWhileAMessageIsQueued) {
    kit::FakeDeviceManage manager;
    Outcome outcome;
    auto page = std::make_unique<NSBackUpView>(manager);
    page->setDelegate(&outcome);
    BackUpDelegate* receiver = page.get();
    std::thread worker([receiver] { receiver->AnalyzeFinish(); });
    worker.join();
    page.reset();
    QTest::qWait(50);
    EXPECT_EQ(outcome.finished, 0);
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
