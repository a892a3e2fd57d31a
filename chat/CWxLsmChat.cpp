#include "chat/CWxLsmChat.h"

#include "chat/WxContactOps.h"
#include "chat/WxMessageOps.h"
#include "chat/WxMessageXml.h"
#include "core/util/MappedFile.h"
#include "core/records/ScanDataType.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"
#include "core/sqlite/IParserOwner.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr char kEmojiText[] = "[\xe8\xa1\xa8\xe6\x83\x85]"; // "[表情]"

int32_t clampLength(size_t n) {
    return n > size_t(INT32_MAX) ? INT32_MAX : int32_t(n);
}

// A varint at `at`, within `size`; the bytes used (0 on failure).
size_t varintAt(const uint8_t* data, size_t size, size_t at, uint64_t* value, bool checked) {
    if (at >= size) return 0;
    const int used = CCommonInterFace::ParseVarintChecked(data + at, clampLength(size - at), value, checked);
    return used < 0 ? 0 : size_t(used);
}

} // namespace

CWxLsmChat::CWxLsmChat(IParserOwner* owner, int accountIndex)
    : CCommonInterFace(owner, ScanWxChats), accountIndex(accountIndex) {}

bool CWxLsmChat::Scan() {
    if (Cancelled()) return false;
    const WxAccountEntry* account = owner->FindAccount(accountIndex);
    if (!account) return false;
    for (const std::string& stored : account->lsmFiles) {
        if (Cancelled()) break;
        MappedFile file;
        // Files that do not open, or larger than a local store can be, are passed over.
        if (!stored.empty() && file.Open(owner->BackupFilePath(stored))) ScanBytes(file.data(), file.size());
        AddProgressStep(1);
    }
    return true;
}

void CWxLsmChat::ScanBytes(const uint8_t* data, size_t size) {
    const WxAccountEntry* account = owner ? owner->FindAccount(accountIndex) : nullptr;
    if (!data || !account) return;
    const std::string& own = account->accountId;
    counts = StoreCounts{};
    progressDone = 0;
    progressTotal = clampLength(size);
    size_t pos = 0;
    while (size - pos > 24 && !Cancelled()) {
        ReportProgressAt(2, clampLength(pos));
        // The next 'Z' whose string field is followed by fields 5, 1 and 2.
        size_t z = SIZE_MAX;
        for (; size - pos >= 20; ++pos) {
            if (data[pos] != 0x5A) continue;
            uint64_t length = 0;
            const size_t used = varintAt(data, size, pos + 1, &length, true);
            if (used == 0) continue;
            const size_t end = pos + 1 + used + size_t(length);
            if (size - end >= 12 && data[end] == 0x28 && data[end + 2] == 0x08 && data[end + 4] == 0x10) {
                z = pos;
                break;
            }
        }
        if (z == SIZE_MAX) break;
        uint64_t time = 0;
        if (z < 5 || varintAt(data, z, z - 5, &time, false) != 5) {
            pos = z + 1;
            continue;
        }
        // The content always steps over its payload.
        size_t cur = z + 1;
        uint64_t length = 0;
        size_t used = varintAt(data, size, cur, &length, true);
        cur += used;
        std::string content(reinterpret_cast<const char*>(data + cur), size_t(length));
        content.resize(strnlen(content.c_str(), content.size()));
        cur += size_t(length);
        // Fields 5, 1, 2, 3 (type), 4, 6 as varints, then 8, 9, 10 as strings, each only
        // when its tag stands next.
        int32_t type = 0;
        bool failed = false;
        for (uint8_t tag :
             {uint8_t(0x28), uint8_t(0x08), uint8_t(0x10), uint8_t(0x18), uint8_t(0x20), uint8_t(0x30)}) {
            if (failed || cur >= size || data[cur] != tag) continue;
            if (size - cur < 2) {
                failed = true;
                continue;
            }
            uint64_t v = 0;
            const size_t n = varintAt(data, size, cur + 1, &v, false);
            if (n == 0) {
                failed = true;
                continue;
            }
            if (tag == 0x18) type = int32_t(uint32_t(v));
            cur += 1 + n;
        }
        std::string names[3];
        bool have[3] = {false, false, false};
        const uint8_t nameTags[3] = {0x42, 0x4A, 0x52};
        for (int i = 0; i < 3 && !failed; ++i) {
            if (cur >= size || data[cur] != nameTags[i]) continue;
            uint64_t n = 0;
            const size_t u = varintAt(data, size, cur + 1, &n, true);
            if (u == 0) {
                failed = true;
                break;
            }
            const char* text = reinterpret_cast<const char*>(data + cur + 1 + u);
            names[i].assign(text, strnlen(text, size_t(n)));
            have[i] = true;
            cur += 1 + u + size_t(n);
        }
        pos = cur;
        if (!have[0] || !have[1] || !have[2]) continue;
        const bool fromMe = names[0] == own;
        MergeMessage(fromMe ? names[1] : names[0], names[2], type, fromMe, int64_t(time), content);
    }
    if (counts.leftOut > 0)
        owner->NoteLoss({ScanWxChats, ScanLoss::Kind::LeftOut, counts.leftOut, "WeChat local store"});
}

WxContactRecord* CWxLsmChat::PeerFor(const std::string& userName) {
    if (WxContactRecord* known = owner->FindChatContact(userName.c_str(), accountIndex)) return known;
    if (counts.contacts >= limits.newContacts) {
        ++counts.leftOut;
        return nullptr;
    }
    WxContactRecord* added = owner->AddChatContact(4, userName.c_str(), accountIndex);
    if (added) ++counts.contacts;
    return added;
}

CWxLsmChat::TimeIndex& CWxLsmChat::IndexOf(WxSessionRecord* session) {
    auto [at, made] = indexes.try_emplace(session);
    if (made) {
        for (WxMessageRecord* m = session->messages.first; m; m = m->next)
            at->second[m->time].push_back(m);
    }
    return at->second;
}

std::unique_ptr<WxMessageRecord> CWxLsmChat::BuildMessage(WxContactRecord* peer,
                                                          const std::string& groupSender, int32_t type,
                                                          bool fromMe, int64_t time,
                                                          const std::string& content) {
    const WxAccountEntry* account = owner->FindAccount(accountIndex);
    if (!account) return nullptr;
    auto m = std::make_unique<WxMessageRecord>();
    m->deleted = true;
    m->accountIndex = accountIndex;
    m->time = time;
    m->type = type;
    m->fromMe = fromMe;
    m->directionFrom = WxMessageRecord::DirectionFrom::SenderName;
    if (fromMe) {
        m->senderUserName = account->userName;
        m->senderDisplayName = account->nickName;
        m->senderHeadUrl = account->headImageUrl;
    } else {
        WxContactRecord* from = peer;
        if (peer->kind == 2 && type != 10000 && type != 10002) {
            if (groupSender.empty()) return nullptr;
            from = PeerFor(groupSender);
            if (!from) return nullptr;
        }
        m->senderUserName = from->userName;
        m->senderDisplayName = wxContactDisplayName(*from);
        m->senderHeadUrl = from->headImageUrl;
    }
    switch (type) {
    case 1:
    case 64:
    case 10000:
    case 10002:
        m->text = content;
        return m;
    case 3:
    case 34:
    case 43:
    case 62:
        return m;
    case 42:
        return wxParseCard(content, *m) ? std::move(m) : nullptr;
    case 47:
        m->emojiText = kEmojiText;
        return m;
    case 48:
        wxParseLocation(content, *m);
        return m;
    case 49:
        wxParseAppMessage(content, *m);
        return m;
    case 50:
        wxParseCall(content, *m);
        return m;
    default:
        return nullptr;
    }
}

void CWxLsmChat::MergeMessage(const std::string& peerName, const std::string& groupSender, int32_t type,
                              bool fromMe, int64_t time, const std::string& content) {
    if (peerName.empty()) return;
    if (counts.records >= limits.records) {
        ++counts.leftOut;
        return;
    }
    WxContactRecord* peer = PeerFor(peerName);
    if (!peer) return;
    auto m = BuildMessage(peer, groupSender, type, fromMe, time, content);
    if (!m) return;
    // The duplicate test looks only at the messages of the same time, in list order.
    WxSessionRecord* target = nullptr;
    for (WxSessionRecord* s : owner->WxSessionsOfPeer(accountIndex, peer)) {
        const TimeIndex& index = IndexOf(s);
        if (const auto same = index.find(time); same != index.end()) {
            for (WxMessageRecord* e : same->second)
                if (wxIsSameMessage(*e, *m)) return;
        }
        target = s;
    }
    if (!target) {
        if (counts.sessions >= limits.newSessions) {
            ++counts.leftOut;
            return;
        }
        target = owner->AddWxSession(accountIndex, peer, true, true);
        if (!target) return;
        ++counts.sessions;
    }
    // Before the target's first message of the same or a later time (the messages are
    // in time order, so after every earlier one).
    TimeIndex& index = IndexOf(target);
    const auto later = index.lower_bound(time);
    WxMessageRecord* before = later == index.end() ? nullptr : later->second.front();
    target->deleted = true;
    WxMessageRecord* added = target->messages.insertBefore(before, std::move(m));
    std::vector<WxMessageRecord*>& sameTime = index[time];
    sameTime.insert(sameTime.begin(), added);
    ++counts.records;
}
