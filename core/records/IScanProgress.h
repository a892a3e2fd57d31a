#pragma once

// Receiver of a scan's results and progress. Both calls are made on the scan thread.
class IScanProgress {
  public:
    // The finished list of one data type: `records` is the first record of the list
    // (null when empty); the records stay owned by the scan manager. A dataType of 0
    // with null records means the scan has ended.
    virtual void OnScanData(int dataType, void* records) = 0;
    // Progress of the running step; a finished stage is reported as 1000 of 1000.
    virtual void OnProgress(int dataType, int stage, int done, int total, int stepDone, int stepTotal,
                            int accountIndex) = 0;

  protected:
    ~IScanProgress() = default;
};
