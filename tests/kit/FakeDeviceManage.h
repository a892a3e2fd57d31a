#pragma once
// A device and scan manager for page tests: it records every call and sends the
// delegate messages a test asks for, each on the thread the real manager uses:
// devices and Analyze queued to the GUI thread; BackUpFinish, AnalyzeFinish,
// BackUpLoser and a scan's results on a std::thread of their own. Create it on the
// GUI thread; it joins its threads when it goes away (or in WaitForTasks).
#include "scan/IDeviceManage.h"

#include <QHash>
#include <QObject>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kit {

class FakeDeviceManage final : public IDeviceManage {
  public:
    // The body of a scan: runs on the scan thread with the receiver (a do-nothing one
    // when none is set) and the fake, whose isScanStop tells whether to go on.
    using ScanBody = std::function<void(ScanFileDelegate& receiver, FakeDeviceManage& manager)>;

    FakeDeviceManage();
    ~FakeDeviceManage() override;
    FakeDeviceManage(const FakeDeviceManage&) = delete;
    FakeDeviceManage& operator=(const FakeDeviceManage&) = delete;

    // IDeviceManage; every call is recorded.
    void setDelegate(DeviceManageDelegate* receiver) override;
    void setBackUpdelegate(BackUpDelegate* receiver) override;
    void setScanFileDelegate(ScanFileDelegate* receiver) override;
    void StartBackUp(const std::shared_ptr<DeviceInfo>& device) override;
    void StartAnalyze(const std::shared_ptr<DeviceInfo>& device) override;
    QString getBackUpPath() const override;
    QString getSaveBackUpPath() const override;
    bool BackUpPath_UID_Get_IsEncrypted(const QString& folder) const override;
    int SkippedManifestRows() const override { return skippedManifestRows.load(); }
    void SetSkippedManifestRows(int rows) { skippedManifestRows = rows; }
    // Records the call; starts the scan script (when set) unless a scan runs.
    void StartScan(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) override;
    bool isScan() const override { return scanning.load(); }
    bool isScanStop() const override { return running.load(); }
    void SetPauseScan(bool run) override;
    void StopScan() override;
    const ScanProgressHolder& scanProgress() const override { return progress; }
    void WaitForTasks() override;
    void RemoveScanFolders() override { Record(QStringLiteral("RemoveScanFolders")); }

    // The calls so far, one text each: "setDelegate", "setBackUpdelegate",
    // "setScanFileDelegate", "StartBackUp <udid>", "StartAnalyze <udid>",
    // "StartScan <udid> <selection joined by ','>", "SetPauseScan 0|1", "StopScan",
    // "WaitForTasks", "RemoveScanFolders" (getters are not recorded).
    QStringList Calls() const;
    // The device and the selection of the last StartScan (the selection is a copy).
    std::shared_ptr<DeviceInfo> LastScanDevice() const;
    QStringList LastSelection() const;
    std::shared_ptr<DeviceInfo> LastAnalyzed() const;

    // Answers of the getters.
    void SetBackUpPath(const QString& path);
    void SetSaveBackUpPath(const QString& path);
    void SetEncrypted(const QString& folder, bool encrypted);

    // Messages, each sent when asked.
    void SendAddDevice(const std::shared_ptr<DeviceInfo>& device);    // GUI thread
    void SendRemoveDevice(const std::shared_ptr<DeviceInfo>& device); // GUI thread
    void SendAnalyze(int percent);                                    // GUI thread
    void SendBackUpFinish(const QString& root);                       // std::thread
    void SendAnalyzeFinish();                                         // std::thread
    void SendBackUpLoser();                                           // std::thread

    // What StartScan runs as its scan (none: StartScan only records).
    void SetScanScript(ScanBody body);
    // Runs a scan now on a std::thread: running and isScan on, the body, then the
    // progress 100 of 100 with `completeText`, isScan off, and ScanEnd last.
    void RunScan(ScanBody body, const QString& completeText = QStringLiteral("ScanComplete"));
    // A body that waits until StopScan (or a pause's end) and reports nothing: a scan
    // that runs until stopped.
    static ScanBody UntilStopped();

    ScanProgressHolder progress;

  private:
    void Record(const QString& call);
    void OnGui(std::function<void()> call);
    void OnWorker(std::function<void()> call);

    std::unique_ptr<QObject> guiContext;
    mutable std::mutex mutex;
    QStringList calls;
    std::shared_ptr<DeviceInfo> lastScanDevice, lastAnalyzed;
    QStringList lastSelection;
    QString backUpPath, saveBackUpPath;
    QHash<QString, bool> encrypted;
    ScanBody scanScript;
    std::vector<std::thread> threads;

    std::atomic<DeviceManageDelegate*> delegate_{nullptr};
    std::atomic<BackUpDelegate*> backUpdelegate_{nullptr};
    std::atomic<ScanFileDelegate*> scanFileDelegate_{nullptr};
    std::atomic<bool> scanning{false};
    std::atomic<bool> running{false};
    std::atomic<bool> paused{false};
    std::atomic<int> skippedManifestRows{0};
};

} // namespace kit
