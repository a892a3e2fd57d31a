#pragma once
#include "core/backup/IFileParser.h"
#include "core/records/IScanProgress.h"
#include "core/records/ScanLoss.h"
#include "scan/LanguageTable.h"
#include "scan/NSWXChatAccount.h"
#include "scan/NSWXChatRecordData.h"
#include "scan/ScanProgressHolder.h"
#include "scan/ScanRecordConverter.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CScanManager;
class ScanFileDelegate;

// The file-suffix lists of the media listing, as DeviceManage loads them ("*.JPG;..."
// entries joined without separator).
struct ScanSuffixes {
    QString photo, video, audio, other;
};

// The bridge between a scan and the recovery page: the progress receiver of
// CScanManager. It starts, pauses and stops the scan, has every finished parser record
// list turned into result record objects (ScanRecordConverter) and delivers them to the
// ScanFileDelegate, and turns parser progress into a localised text and a percentage.
// Everything but the pause, resume and stop controls runs on the scan thread.
class DeviceScanManager final : public IScanProgress {
  public:
    // Text of a key of the "Language" table; nothing when there is no table.
    using TextLookup = std::function<std::optional<QString>(const QString& key)>;
    // The receiver of scan results at the moment of a delivery (may be null).
    using ReceiverSource = std::function<ScanFileDelegate*()>;
    // Called with every scan manager before its scan runs (tests inject parser steps).
    using ScanManagerHook = std::function<void(CScanManager&)>;

    // WeChat filter: true leaves a contact (alias, nickname) out of the contact trees.
    using WxContactFilter = std::function<bool(const QString& alias, const QString& nickName)>;
    // Path of the stored file of a WeChat device path in the backup, or "".
    using WxResourceLookup = std::function<QString(const QString& devicePath)>;

    // The account values kept per WeChat account of the latest scan. `key` is the
    // account key of the results: the nickname, made unique among the scan's accounts.
    struct WxAccountRecord {
        std::string nickName, userName, accountFolder, chatDbPath, headImageUrl;
        QString key;
    };

    DeviceScanManager();
    ~DeviceScanManager();
    DeviceScanManager(const DeviceScanManager&) = delete;
    DeviceScanManager& operator=(const DeviceScanManager&) = delete;

    // The one bridge of the application.
    static DeviceScanManager& shared();

    // Default: the table of the language folder named by the setting "AppLanguage"
    // ("en" when the setting is empty) among the application's resources.
    void SetTextLookup(TextLookup lookup);
    void SetReceiverSource(ReceiverSource source);
    void SetScanManagerHook(ScanManagerHook hook);
    // Set once, before the first scan (the device hub sets both).
    void SetWxLookups(WxContactFilter filter, WxResourceLookup resources);

    // Scan state: `on` makes the scan active and running, progress 0 of 100.
    void SetScanState(bool on);
    bool IsScanActive() const { return active.load(); }
    // false pauses, true resumes.
    void SetRunning(bool run);
    bool IsRunning() const { return running.load(); }
    // Waits out a pause, then tells whether the scan is still wanted.
    bool IsScanning();

    // Runs a whole scan synchronously: creates the scan manager for the mask, the backup
    // root (ending in "/"), the iOS major version and the manifest reader, gives it the
    // suffix lists (lower-cased) and the output folder for files the parsers write, and
    // runs it. The scan manager is released when its scan has ended.
    void StartScan(IFileParser* fileParser, int typeMask, const QString& backupRoot, int iosVersion,
                   const ScanSuffixes& suffixes, const QString& outputDir);
    // Final progress: the "ScanComplete" text at 100 of 100.
    void ScanComplete();
    // Stops the scan (also one whose scan manager does not exist yet) and ends a pause.
    void StopScan();

    void OnScanData(int dataType, void* records) override;
    void OnProgress(int dataType, int stage, int done, int total, int stepDone, int stepTotal,
                    int accountIndex) override;

    // Sends the stored progress (percentage of current / total, 100, text).
    void UpdateProgress();
    // Sends a progress message without changing the stored progress.
    void SendProgressText(int value, int maximum, const QString& text);

    std::optional<QString> LocalizedText(const QString& key) const;
    // The avatar address of the account record with that account key, or "".
    QString AccountHeadImageUrl(const QString& key) const;
    std::vector<WxAccountRecord> AccountRecords() const;
    // The WeChat accounts of the latest scan as last delivered: by account key with their
    // chats, and in account order with their contact trees.
    QMap<QString, NSWXChatRecordData> WxChatAccounts() const;
    QList<NSWXChatAccount> WxContactAccounts() const;

    // The latest progress, for the recovery page's timer.
    const ScanProgressHolder& progressHolder() const { return holder; }
    QString ProgressText() const { return progressText; }

    // "%1", "%2", "%3" of a progress format filled with the step done, the step count and
    // the percentage; "%%" is a percent sign. Other text stays as it is.
    static QString FillProgressFormat(const QString& format, int stepDone, int stepTotal, double percent);

    // What a scan could not read, one entry per data type and kind, counts summed, in the
    // order each was first noted.
    static std::vector<ScanLoss> SummariseLosses(const std::vector<ScanLoss>& losses);

  private:
    // Takes the running scan's share of the whole for the bar (the bar and percentage).
    void ShowScanShare();
    void WaitWhilePaused();
    // Progress of the conversion of a delivered list (the converter's texts).
    void ConversionProgress(int value, int maximum, const QString& text);
    ScanFileDelegate* Receiver() const;
    void PrepareWxAccounts(IFileParser* fileParser);
    void LoadLanguageTable() const; // with languageMutex held

    // Converts a finished record list and hands the results to the receiver.
    void ConvertAndDeliver(int dataType, void* records);

    mutable std::mutex accountsMutex;
    std::vector<WxAccountRecord> accountRecords;

    std::mutex managerMutex; // guards scanManager against StopScan from another thread
    std::unique_ptr<CScanManager> scanManager;
    CScanManager* runningScan = nullptr; // the scan of StartScan while it runs; scan thread only

    std::mutex pauseMutex;
    std::condition_variable pauseWake;
    std::atomic<bool> active{false};
    std::atomic<bool> running{false};

    // Written on the scan thread (and by SetScanState before the scan block starts).
    float current = 0;
    float total = 0;
    int conversionTotal = 0; // sessions of the chat list being converted
    QString progressText;
    QString backupRoot;

    // The WeChat account objects of the latest scan (replaced by every StartScan): by
    // account key, in account order, and the account key by account position ("%d").
    mutable std::mutex wxMutex; // guards the three against the accessors
    QMap<QString, NSWXChatRecordData> wxAccountsByKey;
    QList<NSWXChatAccount> wxAccountList;
    QHash<QString, QString> wxAccountKeyByIndex;
    WxContactFilter wxContactFilter;
    WxResourceLookup wxResourceLookup;

    // The default text table (when no lookup is injected).
    mutable std::mutex languageMutex;
    mutable bool languageLoaded = false;
    mutable QString languageName;
    mutable std::optional<LanguageTable> languageTable;

    ScanProgressHolder holder;
    TextLookup textLookup;
    ReceiverSource receiverSource;
    ScanManagerHook scanManagerHook;
    ScanRecordConverter converter; // last: its hooks call the members above
};
