#include "chat/WxSummaryList.h"

#include "chat/WxMessageXml.h"
#include "core/util/CommonUtils.h"

#include <algorithm>
#include <string>

WxSessionSummary* WxSummaryList::Append(std::unique_ptr<WxSessionSummary> summary) {
    WxSessionSummary* s = list.append(std::move(summary));
    byTime[s->time].push_back(s);
    return s;
}

WxSessionSummary* WxSummaryList::Remove(WxSessionSummary* summary) {
    if (!summary) return nullptr;
    WxSessionSummary* next = summary->next;
    auto it = byTime.find(summary->time);
    if (it != byTime.end()) {
        auto& v = it->second;
        v.erase(std::remove(v.begin(), v.end(), summary), v.end());
        if (v.empty()) byTime.erase(it);
    }
    list.remove(summary); // the returned owner deletes it
    return next;
}

void WxSummaryList::Clear() {
    byTime.clear();
    list.clear();
}

const std::vector<WxSessionSummary*>& WxSummaryList::SameTime(uint64_t time) const {
    static const std::vector<WxSessionSummary*> none;
    auto it = byTime.find(time);
    return it == byTime.end() ? none : it->second;
}

WxSessionSummary* WxSummaryList::FindSameMessage(int64_t time, std::string_view text) const {
    if (time < 0) return nullptr;
    const auto& candidates = SameTime(uint64_t(time));
    if (candidates.empty()) return nullptr;
    const std::string given(text);
    std::string key;
    bool keyDone = false;
    for (WxSessionSummary* s : candidates) {
        if (fuzzyMatch(s->content.c_str(), given.c_str(), 3)) return s;
        if (!keyDone) {
            key = wxMessageKeyValue(text);
            keyDone = true;
        }
        if (!key.empty() && s->content.find(key) != std::string::npos) return s;
    }
    return nullptr;
}

WxSessionSummary* WxSummaryList::FindSameTextMessage(int64_t time, std::string_view text) const {
    if (time < 0) return nullptr;
    const std::string given(text);
    const size_t comma = text.find(',');
    for (WxSessionSummary* s : SameTime(uint64_t(time))) {
        const int32_t kind = wxGuessMessageType(s->content);
        if (kind == 1) {
            if (fuzzyMatch(s->content.c_str(), given.c_str(), 3)) return s;
            if (comma != std::string_view::npos && s->content.compare(0, comma, text.substr(0, comma)) == 0 &&
                s->content.size() >= comma)
                return s;
        } else if (kind == 49) {
            const std::string title = wxGetXmlTitle(s->content);
            if (!title.empty() && text.find(title) != std::string_view::npos) return s;
        }
    }
    return nullptr;
}
