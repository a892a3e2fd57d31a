#include "chat/WxMessageOps.h"

#include "core/util/CommonUtils.h"
#include "core/records/WxSessionRecord.h"

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
        if (e->time == message.time && wxIsSameMessage(*e, message)) return true;
    }
    return false;
}

bool wxIsSameMessage(WxMessageRecord& e, const WxMessageRecord& message) {
    switch (message.type) {
    case 100001:
        if (e.type == 1 && e.deleted && beginsWith(e.text, kRedPacket)) {
            e.type = 100001;
            return true;
        }
        return e.type == 100001;
    case 49:
        // An empty title neither matches nor upgrades.
        if (message.title.empty()) return false;
        if (e.type == 1 && e.deleted && beginsWith(e.text, message.title)) {
            e.type = 49;
            if (!message.title.empty()) e.title = message.title;
            if (!message.url.empty()) e.url = message.url;
            if (!message.description.empty()) e.description = message.description;
            if (!message.thumbUrl.empty()) e.thumbUrl = message.thumbUrl;
            return true;
        }
        return e.type == 49 && e.title == message.title;
    case 1:
        return fuzzyMatch(message.text.c_str(), e.text.c_str(), 3);
    default:
        return e.type == message.type;
    }
}
