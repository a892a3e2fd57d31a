#include "chat/CWxLsmChat.h"

#include "chat/WxContactOps.h"
#include "chat/WxMessageOps.h"
#include "chat/WxMessageXml.h"
#include "core/util/FileWindow.h"
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

// Larger files are no local store: they are passed over.
constexpr uint64_t kLargestStore = uint64_t(1) << 30;
// No message text or user name of a store comes near these: a longer length read from
// the file is damage (or hostile), and copying it out would take that much memory.
constexpr uint64_t kLargestContent = uint64_t(4) << 20;
constexpr uint64_t kLargestName = uint64_t(64) << 10;

int32_t clampLength(uint64_t n) {
    return n > uint64_t(INT32_MAX) ? INT32_MAX : int32_t(n);
}

// A varint at `at` whose bytes lie before `end`; when `checked`, its value must not exceed
// the bytes after it up to `end`. Returns the bytes used (0 on failure, also when the
// file no longer has them).
size_t varintAt(FileWindow& in, uint64_t end, uint64_t at, uint64_t* value, bool checked) {
    *value = 0;
    if (at >= end) return 0;
    uint8_t bytes[9];
    const size_t n = size_t(std::min<uint64_t>(sizeof bytes, end - at));
    if (!in.Read(at, n, bytes)) return 0;
    const int used = CCommonInterFace::ParseVarintChecked(bytes, int32_t(n), value, false);
    if (used < 0) return 0;
    if (checked && *value > uint64_t(clampLength(end - at)) - uint64_t(used)) {
        *value = 0;
        return 0;
    }
    return size_t(used);
}

bool byteAt(FileWindow& in, uint64_t at, uint8_t* b) {
    return at < in.Size() && in.Read(at, 1, b);
}

// Whether the 'Z' at `z` opens a record: its string field (length varint and bytes) is
// followed by fields 5, 1 and 2, with at least 12 bytes after the field. Gives where the
// string's bytes begin and how many there are.
bool isCandidate(FileWindow& in, uint64_t z, uint64_t* start, uint64_t* length) {
    const uint64_t size = in.Size();
    const size_t used = varintAt(in, size, z + 1, length, true);
    if (used == 0) return false;
    *start = z + 1 + used;
    const uint64_t end = *start + *length;
    uint8_t after[5];
    return size - end >= 12 && in.Read(end, sizeof after, after) && after[0] == 0x28 && after[2] == 0x08 &&
           after[4] == 0x10;
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
        FileWindow file;
        // Files that do not open, or larger than a local store can be, are passed over.
        if (!stored.empty() && file.Open(owner->BackupFilePath(stored), kLargestStore)) {
            ScanStore(file);
            // The records read before the file changed stay; the rest of it is not read.
            if (file.Changed())
                owner->NoteLoss(
                    {ScanWxChats, ScanLoss::Kind::FileChanged, 0, "WeChat local store " + stored});
        }
        AddProgressStep(1);
    }
    NoteLeftOut();
    return true;
}

void CWxLsmChat::ScanBytes(const uint8_t* data, size_t size) {
    if (!data || !owner) return;
    FileWindow bytes(data, size);
    ScanStore(bytes);
    NoteLeftOut();
}

void CWxLsmChat::NoteLeftOut() {
    if (!owner || counts.leftOut == counts.leftOutNoted) return;
    owner->NoteLoss({ScanWxChats, ScanLoss::Kind::LeftOut, counts.leftOut - counts.leftOutNoted,
                     "WeChat local stores of account " + std::to_string(accountIndex)});
    counts.leftOutNoted = counts.leftOut;
}

void CWxLsmChat::ScanStore(FileWindow& in) {
    const WxAccountEntry* account = owner ? owner->FindAccount(accountIndex) : nullptr;
    if (!account) return;
    const std::string& own = account->accountId;
    const uint64_t size = in.Size();
    progressDone = 0;
    progressTotal = clampLength(size);
    uint64_t pos = 0;
    while (size - pos > 24 && !Cancelled() && !in.Changed()) {
        ReportProgressAt(2, clampLength(pos));
        // The next 'Z' whose string field is followed by fields 5, 1 and 2, looked for up
        // to 20 bytes before the end.
        uint64_t z = UINT64_MAX, contentStart = 0, contentLength = 0;
        while (size - pos >= 20) {
            const uint8_t* span = nullptr;
            size_t n = 0;
            if (!in.Span(pos, &span, &n)) break;
            n = size_t(std::min<uint64_t>(n, size - 20 - pos + 1));
            const auto* hit = static_cast<const uint8_t*>(std::memchr(span, 0x5A, n));
            if (!hit) {
                pos += n;
                continue;
            }
            pos += uint64_t(hit - span);
            if (isCandidate(in, pos, &contentStart, &contentLength)) {
                z = pos;
                break;
            }
            if (in.Changed()) break;
            ++pos;
        }
        if (z == UINT64_MAX) break;
        uint64_t time = 0;
        if (z < 5 || varintAt(in, z, z - 5, &time, false) != 5) {
            pos = z + 1;
            continue;
        }
        if (contentLength > kLargestContent) {
            pos = z + 1;
            continue;
        }
        // The content always steps over its payload.
        std::string content;
        if (!in.Read(contentStart, size_t(contentLength), content)) break;
        content.resize(strnlen(content.c_str(), content.size()));
        uint64_t cur = contentStart + contentLength;
        // Fields 5, 1, 2, 3 (type), 4, 6 as varints, then 8, 9, 10 as strings, each only
        // when its tag stands next.
        int32_t type = 0;
        bool failed = false;
        uint8_t at = 0;
        for (uint8_t tag :
             {uint8_t(0x28), uint8_t(0x08), uint8_t(0x10), uint8_t(0x18), uint8_t(0x20), uint8_t(0x30)}) {
            if (failed || !byteAt(in, cur, &at) || at != tag) continue;
            if (size - cur < 2) {
                failed = true;
                continue;
            }
            uint64_t v = 0;
            const size_t n = varintAt(in, size, cur + 1, &v, false);
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
            if (!byteAt(in, cur, &at) || at != nameTags[i]) continue;
            uint64_t n = 0;
            const size_t u = varintAt(in, size, cur + 1, &n, true);
            if (u == 0 || n > kLargestName || !in.Read(cur + 1 + u, size_t(n), names[i])) {
                failed = true;
                break;
            }
            names[i].resize(strnlen(names[i].c_str(), names[i].size()));
            have[i] = true;
            cur += 1 + u + n;
        }
        // A record the file changed under is not taken.
        if (in.Changed()) break;
        pos = cur;
        if (!have[0] || !have[1] || !have[2]) continue;
        const bool fromMe = names[0] == own;
        MergeMessage(fromMe ? names[1] : names[0], names[2], type, fromMe, int64_t(time), content);
    }
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
            at->second[m->time].PushBack(m);
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
        TimeIndex& index = IndexOf(s);
        if (const auto same = index.find(time); same != index.end()) {
            switch (wxSecondHasSameMessage(same->second, *m)) {
            case WxSameInSecond::Same:
                return;
            case WxSameInSecond::LeftOut:
                ++counts.leftOut;
                return;
            case WxSameInSecond::New:
                break;
            }
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
    WxMessageRecord* before = later == index.end() ? nullptr : later->second.Front();
    target->deleted = true;
    WxMessageRecord* added = target->messages.insertBefore(before, std::move(m));
    index[time].PushFront(added);
    ++counts.records;
}
