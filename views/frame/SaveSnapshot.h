#pragma once
#include "gui/DirizaSaveResult.h"
#include "views/frame/ResultFrame.h"

#include <functional>
#include <vector>

// What one save writes, taken under the view's lock in one short step: the records (an
// implicitly shared copy, cheap), the positions of the items to write and the texts
// of the moment. The writing then reads the snapshot only.
template <typename Records, typename Texts> struct SaveSnapshot {
    Records records;
    std::vector<int> items;
    Texts texts;

    // The items a save writes: every record when all are ticked, else the ticked ones in
    // record order; none when nothing is ticked.
    static std::vector<int> ItemsOf(const ResultFrame& frame) {
        if (!frame.HasSelection()) return {};
        if (frame.AllTicked()) {
            std::vector<int> all(size_t(frame.RecordCount()));
            for (int i = 0; i < frame.RecordCount(); ++i)
                all[size_t(i)] = i;
            return all;
        }
        return frame.SelectedRecords();
    }
};

// The per-item steps of a save: before each item ask whether to stop, then report the
// item (counted from 1); the outcome counts written and failed items.
class SaveRun {
  public:
    SaveRun(int total, std::function<bool()> stop, std::function<void(int, int)> progress)
        : total_(total), stop_(std::move(stop)), progress_(std::move(progress)) {}

    // False when the save is to stop now (no progress reported then).
    bool Next() {
        if (stop_ && stop_()) return false;
        ++done_;
        if (progress_) progress_(total_, done_);
        return true;
    }
    void Written(int n = 1) { result.written += n; }
    void Failed(int n = 1) { result.failed += n; }
    void Missing(int n = 1) { result.missing += n; }
    int Total() const { return total_; }

    DirizaSaveResult result;

  private:
    int total_;
    int done_ = 0;
    std::function<bool()> stop_;
    std::function<void(int, int)> progress_;
};
