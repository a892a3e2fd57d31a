#include "chat/WxMessageOps.h"

#include "core/util/CommonUtils.h"
#include "core/records/WxSessionRecord.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace {

constexpr char kRedPacket[] = "\xe5\xbe\xae\xe4\xbf\xa1\xe7\xba\xa2\xe5\x8c\x85"; // "微信红包", 12 bytes

bool beginsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Facets of wxRecoveredMessageFacets.
enum RecoveredFacet { kAnyText, kType, kRecoveredText, kRedPacketText, kAppTitle };

// A type as a key (its four bytes).
std::string_view typeKey(const int32_t& type) {
    return {reinterpret_cast<const char*>(&type), sizeof type};
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

int64_t wxLatestMessageTime(int64_t backupDate, int64_t now) {
    if (backupDate >= kWxEarliestMessageTime && backupDate <= INT64_MAX - kWxBackupDateSlack)
        return backupDate + kWxBackupDateSlack;
    return now;
}

bool wxIsReadableText(std::string_view text) {
    bool visible = false;
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c == 0x7f || (c < 0x20 && c != '\t' && c != '\n' && c != '\r')) return false;
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r') visible = true;
            ++i;
            continue;
        }
        // A multi-byte sequence: its length, its smallest code point (no overlong forms),
        // no surrogates, nothing above U+10FFFF.
        size_t length = 0;
        uint32_t cp = 0, least = 0;
        if (c >= 0xc2 && c <= 0xdf)
            length = 2, cp = c & 0x1fu, least = 0x80;
        else if (c >= 0xe0 && c <= 0xef)
            length = 3, cp = c & 0x0fu, least = 0x800;
        else if (c >= 0xf0 && c <= 0xf4)
            length = 4, cp = c & 0x07u, least = 0x10000;
        else
            return false;
        if (text.size() - i < length) return false;
        for (size_t k = 1; k < length; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xc0u) != 0x80u) return false;
            cp = (cp << 6) | (d & 0x3fu);
        }
        if (cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
        if (cp <= 0x9f) return false; // C1 control characters
        visible = true;
        i += length;
    }
    return visible;
}

bool wxIsPlausibleRecoveredMessage(int64_t time, std::string_view text, int64_t latest) {
    return time >= kWxEarliestMessageTime && time <= latest && wxIsReadableText(text);
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

void wxRecoveredMessageFacets(const WxMessageRecord& e, WxSecondIndex::Sink& sink) {
    sink.File(kAnyText, e.text);
    sink.File(kType, typeKey(e.type));
    if (e.type == 1 && e.deleted) {
        sink.File(kRecoveredText, e.text);
        if (beginsWith(e.text, kRedPacket)) sink.File(kRedPacketText, {});
    }
    if (e.type == 49) sink.File(kAppTitle, e.title);
}

WxSameInSecond wxSecondHasSameMessage(WxSecondIndex& second, const WxMessageRecord& message,
                                      size_t oneByOne) {
    if (!second.Keyed(wxRecoveredMessageFacets, oneByOne)) {
        const bool same = second.FirstWhere([&](WxMessageRecord& e) { return wxIsSameMessage(e, message); });
        return same ? WxSameInSecond::Same : WxSameInSecond::New;
    }
    // The first message in list order of the two kinds that decide: `upgraded` takes
    // the new message's type and texts, `same` is a copy as it stands.
    auto decide = [&](WxMessageRecord* upgraded, WxMessageRecord* same) {
        WxMessageRecord* first = second.Earlier(upgraded, same);
        if (!first) return WxSameInSecond::New;
        if (first == upgraded) {
            second.Unfile(upgraded);
            wxIsSameMessage(*upgraded, message);
            second.Refile(upgraded);
        }
        return WxSameInSecond::Same;
    };
    switch (message.type) {
    case 100001: {
        const int32_t packet = 100001;
        return decide(second.FirstWithKey(kRedPacketText, {}), second.FirstWithKey(kType, typeKey(packet)));
    }
    case 49: {
        if (message.title.empty()) return WxSameInSecond::New;
        bool complete = true;
        WxMessageRecord* text =
            second.FirstWithPrefix(kRecoveredText, message.title, kWxTitleCandidates, &complete);
        // Too many texts begin with the title to tell which one comes first: an app message
        // of the same title still makes this one a copy (none is upgraded then); without
        // one it is left out and counted.
        if (!complete)
            return second.FirstWithKey(kAppTitle, message.title) ? WxSameInSecond::Same
                                                                 : WxSameInSecond::LeftOut;
        return decide(text, second.FirstWithKey(kAppTitle, message.title));
    }
    case 1: {
        // fuzzyMatch(text, e.text, 3): e.text begins with the first third of the text
        // (at least one byte); an empty text matches only an empty one.
        return second.AnyFuzzyKey(kAnyText, message.text) ? WxSameInSecond::Same : WxSameInSecond::New;
    }
    default:
        return second.FirstWithKey(kType, typeKey(message.type)) ? WxSameInSecond::Same : WxSameInSecond::New;
    }
}

WxSessionTimeIndex::WxSessionTimeIndex(WxSessionRecord& session) : session(&session) {}

void WxSessionTimeIndex::Sync() {
    if (seenCount == session->messages.count) return;
    byTime.clear();
    byRunningMax.clear();
    orderBuilt = false;
    for (WxMessageRecord* m = session->messages.first; m; m = m->next)
        byTime[m->time].PushBack(m);
    seenCount = session->messages.count;
}

WxSecondIndex* WxSessionTimeIndex::At(int64_t time) {
    Sync();
    const auto at = byTime.find(time);
    return at == byTime.end() ? nullptr : &at->second;
}

bool WxSessionTimeIndex::HasTime(int64_t time) {
    return At(time) != nullptr;
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
    // later; every message before it is earlier, so the new one's running maximum is t,
    // and it comes before every other message of its second.
    auto at = byRunningMax.lower_bound(t);
    WxMessageRecord* m =
        session->messages.insertBefore(at == byRunningMax.end() ? nullptr : at->second, std::move(message));
    byRunningMax.emplace_hint(at, t, m);
    byTime[t].PushFront(m);
    seenCount = session->messages.count;
    return m;
}
