#pragma once
#include "chat/WxSessionSummary.h"
#include "core/records/RecordList.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

// The session-file summaries of one account, in file order, with an index by time.
class WxSummaryList {
  public:
    WxSessionSummary* Append(std::unique_ptr<WxSessionSummary> summary);
    // Unlinks a summary and deletes it; returns the one that followed.
    WxSessionSummary* Remove(WxSessionSummary* summary);
    void Clear();

    WxSessionSummary* first() const { return list.first; }
    int32_t count() const { return list.count; }

    // Summaries of that time, in list order (empty when none).
    const std::vector<WxSessionSummary*>& SameTime(uint64_t time) const;

    // The first summary of that time whose content matches `text` fuzzily or holds the
    // text's key value (title, emoji md5, aes key, ...).
    WxSessionSummary* FindSameMessage(int64_t time, std::string_view text) const;
    // The first summary of that time that is the same text message (fuzzy match, or the
    // summary begins with the text's part before its first ','), or an app message
    // whose title the text holds.
    WxSessionSummary* FindSameTextMessage(int64_t time, std::string_view text) const;

  private:
    RecordList<WxSessionSummary> list;
    std::unordered_map<uint64_t, std::vector<WxSessionSummary*>> byTime;
};
