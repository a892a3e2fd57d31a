#pragma once
#include <QString>

// Receiver of backup and analysis events (the backup progress page). Every message is
// optional. BackUpFinish, AnalyzeFinish and BackUpLoser arrive on a worker thread;
// Analyze arrives on the thread that created DeviceManage (the GUI thread).
class BackUpDelegate {
  public:
    virtual ~BackUpDelegate() = default;
    // The backup tool finished successfully; the argument is the backup root.
    virtual void BackUpFinish(const QString& backupRoot) {}
    // The backup or the analysis failed (tool failure, encrypted backup, unreadable
    // manifest, or a request refused while a scan runs).
    virtual void BackUpLoser() {}
    // Analysis progress, 0 to 100.
    virtual void Analyze(int percent) {}
    // The manifest was read; the backup can be scanned.
    virtual void AnalyzeFinish() {}
};
