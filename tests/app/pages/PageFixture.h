#pragma once
// The recovery page with fake result views for page tests, and a device manager whose
// two scan flags a test sets by hand.
#include "gui/NSLanguageText.h"
#include "app/pages/NSDirizaView.h"
#include "tests/kit/FakeAlertPresenter.h"
#include "tests/kit/FakeDeviceManage.h"
#include "tests/kit/FakeFilePicker.h"
#include "tests/kit/FakeOpener.h"
#include "tests/kit/FakeResultView.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>

namespace pagetest {

// A manager that runs no scan: StartScan only records (and may call a hook on the
// calling thread); isScan and isScanStop are what the test sets.
class FlagManager final : public IDeviceManage {
  public:
    void setDelegate(DeviceManageDelegate*) override {}
    void setBackUpdelegate(BackUpDelegate*) override {}
    void setScanFileDelegate(ScanFileDelegate* r) override { receiver = r; }
    void StartBackUp(const std::shared_ptr<DeviceInfo>&) override {}
    void StartAnalyze(const std::shared_ptr<DeviceInfo>&) override {}
    QString getBackUpPath() const override { return QString(); }
    QString getSaveBackUpPath() const override { return QString(); }
    bool BackUpPath_UID_Get_IsEncrypted(const QString&) const override { return false; }
    void StartScan(const std::shared_ptr<DeviceInfo>&, const QStringList&) override {
        ++scans;
        if (onStartScan) onStartScan();
    }
    bool isScan() const override { return scanning.load(); }
    bool isScanStop() const override { return running.load(); }
    void SetPauseScan(bool) override {}
    void StopScan() override { running = false; }
    const ScanProgressHolder& scanProgress() const override { return progress; }
    void WaitForTasks() override {}

    std::atomic<ScanFileDelegate*> receiver{nullptr};
    std::atomic<bool> scanning{false}, running{false};
    std::function<void()> onStartScan;
    int scans = 0;
    ScanProgressHolder progress;
};

inline std::shared_ptr<DeviceInfo> Device(const QString& name = QStringLiteral("Test Phone")) {
    auto d = std::make_shared<DeviceInfo>();
    d->SaveDeviceInfo(name, QStringLiteral("UDID-1"), QStringLiteral("SER"), QStringLiteral("iPhone12,1"),
                      DeviceRef(), QStringLiteral("14.2"));
    return d;
}

// A selection of the given type numbers.
inline QStringList Selection(std::initializer_list<int> types) {
    QStringList s;
    for (int i = 0; i < 17; ++i)
        s << QStringLiteral("0");
    for (int t : types)
        s[t] = QStringLiteral("1");
    return s;
}

inline QList<NSDeletedFile> Files(int n, const QString& stem = QStringLiteral("file")) {
    QList<NSDeletedFile> files;
    for (int i = 0; i < n; ++i) {
        NSDeletedFile f;
        f.setFileName(QStringLiteral("%1 %2").arg(stem).arg(i));
        files << f;
    }
    return files;
}

inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    return QTest::qWaitFor(done, ms);
}

// The page over a manager with fifteen fake views.
template <typename Manager> class PageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);
        page = std::make_unique<NSDirizaView>(manager, [this](int type) {
            auto v = std::make_unique<kit::FakeResultView>(type);
            fakes[size_t(type)] = v.get();
            return std::unique_ptr<DirizaResultView>(std::move(v));
        });
        page->setWritableProbe([](const QString&) { return true; });
        page->resize(1000, 640);
        page->show();
    }
    void TearDown() override { page.reset(); }

    // A count of the view's calls that start with `prefix`.
    int CallsOf(int type, const QString& prefix) const {
        int n = 0;
        for (const QString& c : fakes[size_t(type)]->Calls())
            if (c.startsWith(prefix)) ++n;
        return n;
    }

    Manager manager;
    kit::FakeAlertPresenter alerts;
    kit::FakeFilePicker picker;
    kit::FakeOpener opener;
    std::array<kit::FakeResultView*, 15> fakes{};
    std::unique_ptr<NSDirizaView> page;
};

} // namespace pagetest
