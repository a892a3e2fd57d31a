#pragma once
#include <QtGlobal>

// What a result view tells the recovery page. Every message is optional (the defaults
// do nothing, and nothing asks to stop).
class NSDirizaDataUpdateDelegate {
  public:
    virtual ~NSDirizaDataUpdateDelegate() = default;

    // GUI thread: the view shows newly arrived data; `num` is its record count.
    virtual void UpdateDirizaFileNum(int type, qint64 num) {}
    // GUI thread: the user ticked or unticked records inside the view; `isSelect` is
    // true when every record is ticked.
    virtual void ViewisAllSelect(int type, bool isSelect) {}
    // Save thread: item `current` (counted from 1) of `total` is being written.
    virtual void SaveDataProgress(int total, int current) {}
    // Save thread, asked before each item: true stops the view's save.
    virtual bool isStopSave() { return false; }
};
