#pragma once
#include "scan/BackUpDelegate.h"
#include "scan/DeviceInfo.h"
#include "scan/DeviceManageDelegate.h"
#include "scan/ScanFileDelegate.h"
#include "scan/ScanProgressHolder.h"

#include <QString>
#include <QStringList>

#include <memory>

// What the pages use of the device and scan manager: receivers, backup and analysis,
// the backup folders, and scan control. DeviceManage is the real one; tests hand the
// pages a fake. Receivers are kept until replaced: clear them (set null) before the
// receiver goes away.
class IDeviceManage {
  public:
    virtual ~IDeviceManage() = default;

    // Receiver of AddDevice/RemoveDevice (GUI thread).
    virtual void setDelegate(DeviceManageDelegate* receiver) = 0;
    // Receiver of backup and analysis messages: Analyze on the GUI thread; BackUpFinish,
    // AnalyzeFinish and BackUpLoser on a worker thread.
    virtual void setBackUpdelegate(BackUpDelegate* receiver) = 0;
    // Receiver of a scan's results and progress (on the scan thread).
    virtual void setScanFileDelegate(ScanFileDelegate* receiver) = 0;

    // Backs a connected device up into the backup cache folder; returns at once and
    // sends BackUpFinish when the backup tool has ended.
    virtual void StartBackUp(const std::shared_ptr<DeviceInfo>& device) = 0;
    // Opens the manifest of the device's or backup's folder; returns at once, sends
    // Analyze progress, then AnalyzeFinish or BackUpLoser.
    virtual void StartAnalyze(const std::shared_ptr<DeviceInfo>& device) = 0;
    // Manifest rows the last analysis could not read (damaged records): the rest of the
    // backup was read, these entries are missing from it.
    virtual int SkippedManifestRows() const { return 0; }
    // The folder of the backup being worked on; empty before the first analysis.
    virtual QString getBackUpPath() const = 0;
    // The backup cache folder ("<Caches>/<application id>/backup"); empty when unknown.
    virtual QString getSaveBackUpPath() const = 0;
    // True when "<folder>/Manifest.plist" says the backup is encrypted.
    virtual bool BackUpPath_UID_Get_IsEncrypted(const QString& folder) const = 0;

    // Starts a scan of the device's backup for the type selection ("0"/"1" texts, one
    // per type number); nothing when a scan runs. Returns at once.
    virtual void StartScan(const std::shared_ptr<DeviceInfo>& device, const QStringList& selection) = 0;
    // True while a scan runs (until just before ScanEnd).
    virtual bool isScan() const = 0;
    // The scan's running flag: true from a scan's start until StopScan.
    virtual bool isScanStop() const = 0;
    // false pauses the scan, true lets it run again.
    virtual void SetPauseScan(bool run) = 0;
    // Stops the running scan (also a paused one).
    virtual void StopScan() = 0;
    // The latest progress of the scan, for a timer to read.
    virtual const ScanProgressHolder& scanProgress() const = 0;
    // Blocks until every backup, analysis and scan task has ended (quit).
    virtual void WaitForTasks() = 0;
    // Removes the per-scan cache folders this manager made (quit, after WaitForTasks).
    virtual void RemoveScanFolders() {}
};
