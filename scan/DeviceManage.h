#pragma once
#include "core/backup/CMbdbFileParser.h"
#include "platform/IDeviceService.h"
#include "scan/BackUpDelegate.h"
#include "scan/DeviceInfo.h"
#include "scan/DeviceManageDelegate.h"
#include "scan/DeviceScanManager.h"
#include "scan/IDeviceManage.h"
#include "scan/ITrustPrompt.h"
#include "scan/ScanFileDelegate.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

// The hub of the device side: notices devices and has them trusted, backs a device up
// with the backup tool, analyses a backup (opens its manifest) and starts, pauses and
// stops the scan through the scan progress bridge. It also holds the media file-suffix
// lists and the WeChat filter and answers the result views' lookups.
//
// Create it on the GUI thread: device and analysis-progress messages are delivered
// there. Device probes run in order on one worker thread; backup, analysis and scan
// each run as one task of a private thread pool.
class DeviceManage : public QObject, public IDeviceManage {
  public:
    struct Services {
        // Device events and probes; null: no device detection.
        std::shared_ptr<IDeviceService> device;
        // The trust prompt, fetched on the GUI thread when needed; null: none is shown.
        std::function<ITrustPrompt*()> trustPrompt;
        // The scan progress bridge; null: DeviceScanManager::shared().
        DeviceScanManager* scanBridge = nullptr;
        // Name of the backup tool, looked up on PATH.
        QString backupTool = QStringLiteral("idevicebackup2");
        // The application's cache folder; empty: the standard cache location.
        QString cacheFolder;
        QString suffixResource = QStringLiteral(":/exc/conf");
        QString optionResource = QStringLiteral(":/exc/Option");
    };

    // The values read from a device; a value the device does not give is empty.
    struct DeviceValues {
        QString name, serial, udid, productType, version;
    };

    explicit DeviceManage(Services services);
    ~DeviceManage() override;

    // The one hub of the application, with the real device library, trust window and
    // backup tool; created on first use, which must be on the GUI thread.
    static DeviceManage* shareInstance();

    // Devices (GUI thread).
    void InitDevice();
    // Subscribes to device events: 0, or 5 when the device library refused.
    int CreateDeviceConnection();
    const QList<std::shared_ptr<DeviceInfo>>& getAllDeviceInfo() const { return AllDeviceInfo; }
    void AddDevice(const DeviceRef& device, const DeviceValues& values);
    void RemoveDevice(const DeviceRef& device);

    // Receivers; each must be cleared (set to null) before its object goes away.
    void setDelegate(DeviceManageDelegate* receiver) override { delegate_ = receiver; }
    DeviceManageDelegate* delegate() const { return delegate_.load(); }
    void setBackUpdelegate(BackUpDelegate* receiver) override { backUpdelegate_ = receiver; }
    BackUpDelegate* backUpdelegate() const { return backUpdelegate_.load(); }
    void setScanFileDelegate(ScanFileDelegate* receiver) override { scanFileDelegate_ = receiver; }
    ScanFileDelegate* scanFileDelegate() const { return scanFileDelegate_.load(); }

    // Backup and analysis.
    void StartBackUp(const std::shared_ptr<DeviceInfo>& device) override;
    void StartAnalyze(const std::shared_ptr<DeviceInfo>& device) override;
    // The backup cache folder, or empty when the cache location is not known.
    QString getSaveBackUpPath() const override;
    void setBackUpUID(const QString& folder, const QString& uid);
    QString getBackUpPath() const override;
    // The cache folder the latest scan made (its derived files live there); empty before
    // the first scan. Any thread.
    QString ScanOutputFolder() const;
    // Removes the scan folders this object made (never one it did not make, never through
    // a symbolic link). Call it with no scan running.
    void RemoveScanFolders() override;
    // The manifest of the backup in use ("Manifest.db" above iOS 9.9.9, else "Manifest.mbdb").
    QString getManifestFile() const;
    static QString ManifestFileOf(const QString& backupFolder);
    static bool isVersionBiggerThanVersion(const QString& v, const QString& w);
    static std::optional<QString> BackUpPath_UID_Get_DeviceName(const QString& folder);
    bool BackUpPath_UID_Get_IsEncrypted(const QString& folder) const override {
        return IsEncryptedBackup(folder);
    }
    int SkippedManifestRows() const override { return skippedManifestRows.load(); }
    static bool IsEncryptedBackup(const QString& folder);
    static std::optional<QString> BackUpPath_UID_Get_ProductVersion(const QString& folder);
    static std::optional<QString> BackUpPath_UID_Get_ProductType(const QString& folder);
    // Major iOS version of a product version text ("9.3.5" -> 9); 0 for none.
    static int MajorVersion(const std::optional<QString>& version);
    // A UDID usable as a folder name and tool argument: letters, digits and '-'.
    static bool isValidUdid(const QString& udid);
    // True when the last analysis opened its manifest.
    bool isBackUpLoser() const { return backUpOpened.load(); }

    // Scan control.
    // Scans for the types of a selection of the type chooser (entries 0 to 14).
    void StartScan(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) override;
    // Scans for a ScanDataType mask; the only road to the WhatsApp bits (0x8000, 0x10000),
    // which no selection sets.
    void StartScanMask(const std::shared_ptr<DeviceInfo>& device, uint32_t mask);
    // The ScanDataType mask of a type selection (entries 0 to 14; missing ones are "0").
    static uint32_t SelectionToMask(const QStringList& selection);
    bool isScan() const override { return isScanThread.load(); }
    bool isScanStop() const override { return bridge->IsScanActive(); }
    void SetPauseScan(bool run) override { bridge->SetRunning(run); }
    bool isPause() const { return bridge->IsRunning(); }
    void StopScan() override { bridge->StopScan(); }
    const ScanProgressHolder& scanProgress() const override { return bridge->progressHolder(); }

    // Suffix lists and the WeChat filter.
    void InitScanFileSuffix();
    QString csPhotoSuffix() const { return PhotoSuffix.join(QString()); }
    QString csVideoSuffix() const { return VideoSuffix.join(QString()); }
    QString csAudioSuffix() const { return AudioSuffix.join(QString()); }
    QString csOtherSuffix() const { return OtherSuffix.join(QString()); }
    bool isPhotoSuffix(const QString& suffix) const { return PhotoSuffix.contains(suffix.toUpper()); }
    bool isVideoSuffix(const QString& suffix) const { return VideoSuffix.contains(suffix.toUpper()); }
    bool isAudioSuffix(const QString& suffix) const { return AudioSuffix.contains(suffix.toUpper()); }
    bool isOtherSuffix(const QString& suffix) const { return OtherSuffix.contains(suffix.toUpper()); }
    bool isWXChar(const QString& key, const QString& name) const;
    // Path of the stored file of a WeChat device path in the backup in use, or "".
    QString SearchWXResources(const QString& devicePath);
    QString SearchWXAccountHeadImageUrl(const QString& account) const;

    CMbdbFileParser& fileParser() { return parser; }
    DeviceScanManager& scanBridge() { return *bridge; }
    // Blocks until every backup, analysis and scan task has ended.
    void WaitForTasks() override;

  private:
    void PostToGui(std::function<void()> call);
    void PostToDeviceWorker(std::function<void()> call);
    void HandleDeviceEvent(const DeviceEvent& event);        // device worker
    void ProbeDevice(const DeviceRef& device, bool connect); // device worker
    void OnTrustConfirmed();                                 // GUI thread
    void SendBackUpLoser();
    void RunAnalysis(const QString& root);
    void RunScan(uint32_t mask, const QString& root, int iosVersion, const ScanSuffixes& suffixes,
                 const QString& outputDir);
    QString NewScanOutputFolder();
    // The application's cache folder the scan folders are made in.
    QString ScanCacheRoot() const;
    std::pair<QString, int> BackupInUse() const;

    Services services;
    DeviceScanManager* bridge = nullptr;

    // Device side (GUI thread).
    QList<std::shared_ptr<DeviceInfo>> AllDeviceInfo;
    std::set<std::pair<std::string, int>> waitingForTrust;
    QThread deviceThread;
    QObject* deviceContext = nullptr; // lives on deviceThread
    bool subscribed = false;

    // Backup in use and analysis state.
    mutable std::mutex stateMutex;
    QString BackUpPath;
    int backupIosMajor = 0;
    std::atomic<bool> backUpOpened{false};
    std::atomic<bool> analysisRunning{false};
    std::atomic<int> skippedManifestRows{0};
    std::atomic<bool> isScanThread{false};
    std::atomic<bool> shuttingDown{false};
    CMbdbFileParser parser;
    int scanSerial = 0;
    QString scanOutputFolder;                // guarded by stateMutex
    std::vector<QString> createdScanFolders; // made by this object; guarded by stateMutex

    // WeChat media index of the backup in use: device path -> stored path.
    std::mutex wxIndexMutex;
    bool wxIndexBuilt = false;
    QHash<QByteArray, QString> wxIndex;

    QStringList PhotoSuffix, AudioSuffix, VideoSuffix, OtherSuffix;
    QHash<QString, QString> WxFilter;

    std::atomic<DeviceManageDelegate*> delegate_{nullptr};
    std::atomic<BackUpDelegate*> backUpdelegate_{nullptr};
    std::atomic<ScanFileDelegate*> scanFileDelegate_{nullptr};

    QThreadPool tasks;
};
