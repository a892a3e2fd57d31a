#include "chat/WxMessageOps.h"

#include "core/util/CommonUtils.h"
#include "core/records/WxSessionRecord.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr char kRedPacket[] = "\xe5\xbe\xae\xe4\xbf\xa1\xe7\xba\xa2\xe5\x8c\x85"; // "微信红包", 12 bytes

bool beginsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

bool wxMessageListInsert(RecordList<WxMessageRecord>& list, std::unique_ptr<WxMessageRecord>& message,
                         int32_t position) {
    if (!message || position < 0 || position > list.count) return false;
    list.insertAt(position, std::move(message));
    return true;
}

bool wxSessionHasTime(const WxSessionRecord& session, int64_t time) {
    for (const WxMessageRecord* m = session.messages.first; m; m = m->next)
        if (m->time == time) return true;
    return false;
}

bool wxSessionHasSameMessage(WxSessionRecord& session, const WxMessageRecord& message) {
    for (WxMessageRecord* e = session.messages.first; e; e = e->next) {
        if (e->time != message.time) continue;
        switch (message.type) {
        case 100001:
            if (e->type == 1 && e->deleted && beginsWith(e->text, kRedPacket)) {
                e->type = 100001;
                return true;
            }
            if (e->type == 100001) return true;
            break;
        case 49:
            // An empty title neither matches nor upgrades.
            if (message.title.empty()) break;
            if (e->type == 1 && e->deleted && beginsWith(e->text, message.title)) {
                e->type = 49;
                if (!message.title.empty()) e->title = message.title;
                if (!message.url.empty()) e->url = message.url;
                if (!message.description.empty()) e->description = message.description;
                if (!message.thumbUrl.empty()) e->thumbUrl = message.thumbUrl;
                return true;
            }
            if (e->type == 49 && e->title == message.title) return true;
            break;
        case 1:
            if (fuzzyMatch(message.text.c_str(), e->text.c_str(), 3)) return true;
            break;
        default:
            if (e->type == message.type) return true;
            break;
        }
    }
    return false;
}

WxSessionTimeIndex::WxSessionTimeIndex(WxSessionRecord& session) : session(&session) {}

void WxSessionTimeIndex::Sync() {
    if (seenCount == session->messages.count) return;
    byTime.clear();
    byRunningMax.clear();
    orderBuilt = false;
    byTime.reserve(size_t(std::max<int32_t>(session->messages.count, 0)));
    for (WxMessageRecord* m = session->messages.first; m; m = m->next) byTime.emplace(m->time, m);
    seenCount = session->messages.count;
}

bool WxSessionTimeIndex::HasTime(int64_t time) {
    Sync();
    return byTime.find(time) != byTime.end();
}

WxMessageRecord* WxSessionTimeIndex::InsertBeforeSameOrLater(std::unique_ptr<WxMessageRecord> message) {
    if (!message) return nullptr;
    Sync();
    if (!orderBuilt) {
        int64_t running = INT64_MIN;
        for (WxMessageRecord* m = session->messages.first; m; m = m->next) {
            running = std::max(running, m->time);
            byRunningMax.emplace_hint(byRunningMax.end(), running, m);
        }
        orderBuilt = true;
    }
    const int64_t t = message->time;
    // The first message whose running maximum reaches t is the first one of time t or
    // later; every message before it is earlier, so the new one's running maximum is t.
    auto at = byRunningMax.lower_bound(t);
    WxMessageRecord* m = session->messages.insertBefore(at == byRunningMax.end() ? nullptr : at->second,
                                                        std::move(message));
    byRunningMax.emplace_hint(at, t, m);
    byTime.emplace(t, m);
    seenCount = session->messages.count;
    return m;
}
