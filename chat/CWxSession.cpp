#include "chat/CWxSession.h"

#include "chat/WxContactOps.h"
#include "core/util/FileBytes.h"
#include "core/records/ScanDataType.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/WxContactRecord.h"
#include "core/sqlite/IParserOwner.h"

#include <cstring>
#include <memory>

namespace {

// A cursor over the bytes of one part: every read stays inside the count left.
struct Cursor {
    const uint8_t* p;
    int32_t n;

    bool Byte(uint8_t b) const { return n >= 1 && p[0] == b; }
    void Skip(int32_t k) {
        p += k;
        n -= k;
    }
    // A varint; with `checked` its value must fit in the bytes left after it.
    bool Varint(uint64_t* v, bool checked) {
        const int used = CCommonInterFace::ParseVarintChecked(p, n, v, checked);
        if (used < 0) return false;
        Skip(used);
        return true;
    }
    // A key and a length-delimited payload (see ReadLengthDelimitedField).
    bool Text(std::string* out) {
        const char* c = reinterpret_cast<const char*>(p);
        int32_t left = n;
        if (!CCommonInterFace::ReadLengthDelimitedField(&c, &left, out, out != nullptr)) return false;
        p = reinterpret_cast<const uint8_t*>(c);
        n = left;
        return true;
    }
};

} // namespace

struct CWxSession::Reading {
    WxContactRecord* existing = nullptr;     // the contact of the list the file names
    std::unique_ptr<WxContactRecord> record; // the contact being filled
    bool done = false;                       // resolution ended the reading
};

CWxSession::CWxSession(IParserOwner* owner, int accountIndex)
    : CCommonInterFace(owner, ScanWxContacts), accountIndex(accountIndex) {}

CWxSession::~CWxSession() = default;

std::string CWxSession::JoinAddress(const std::string& a, const std::string& b, const std::string& c) {
    if (!a.empty() && b.empty() && c.empty()) return a;
    std::string out = a + "/";
    if (!b.empty()) out += b + "/";
    out += c;
    return out;
}

bool CWxSession::Scan() {
    if (Cancelled()) return false;
    const WxAccountEntry* account = owner->FindAccount(accountIndex);
    if (!account) return false;
    progressDone = 0;
    progressTotal = int32_t(account->sessionFiles.size());
    const bool withSummary = (owner->TypeMask() & ScanWxChats) != 0;
    for (const std::string& stored : account->sessionFiles) {
        if (Cancelled()) break;
        ReportProgress(2, false);
        if (stored.empty()) continue;
        std::string bytes;
        // Files that do not open, or are larger than a session file can be, are passed over.
        if (!FileBytes::ReadAll(owner->BackupFilePath(stored), bytes)) continue;
        ParseFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), withSummary);
    }
    return true;
}

bool CWxSession::ParseFile(const uint8_t* data, size_t size, bool withSummary) {
    if (!data || size > size_t(INT32_MAX)) return false;
    const uint8_t* cursor = data;
    int32_t remaining = int32_t(size);
    WxContactRecord* contact = ParseContactPart(&cursor, &remaining, true);
    if (!contact) {
        cursor = data;
        remaining = int32_t(size);
        contact = ParseContactPart(&cursor, &remaining, false);
    }
    if (!contact) return false;
    if (withSummary) {
        std::unique_ptr<WxSessionSummary> summary = ParseLastMessagePart(contact, &cursor, &remaining);
        if (summary) {
            summary->peer = contact;
            WxSessionSummary* s = summaries.Append(std::move(summary));
            s->senderContact = owner->FindChatContact(s->sender.c_str(), accountIndex);
            if (!s->senderContact)
                s->senderContact =
                    owner->AddChatContact(wxContactKindOfName(s->sender), s->sender.c_str(), accountIndex);
        }
    }
    return true;
}

WxContactRecord* CWxSession::ParseContactPart(const uint8_t** cursor, int32_t* remaining, bool firstReading) {
    if (!cursor || !*cursor || !remaining || *remaining < 2 || Cancelled()) return nullptr;
    Cursor c{*cursor, *remaining};
    if (!c.Byte(0x0A)) return nullptr;
    c.Skip(1);
    uint64_t length = 0;
    if (!c.Varint(&length, true)) return nullptr;
    WxContactRecord* result =
        firstReading ? ReadFirst(c.p, int32_t(length)) : ReadSecond(c.p, int32_t(length));
    if (!result) return nullptr;
    c.Skip(int32_t(length));
    *cursor = c.p;
    *remaining = c.n;
    return result;
}

bool CWxSession::Resolve(Reading& r, const std::string& userName) {
    const int32_t kind = wxContactKindOfName(userName);
    WxContactRecord* e = owner->FindChatContact(userName.c_str(), accountIndex);
    if (e && e->kind == 3 && kind == 0) {
        e->kind = 0;
        e->deleted = true;
        owner->MoveChatContactToHead(e);
    }
    r.existing = e;
    if (e && !e->deleted) {
        r.done = true;
        return true;
    }
    r.record = std::make_unique<WxContactRecord>();
    r.record->userName = userName;
    r.record->kind = kind;
    return true;
}

void CWxSession::ReadMembers(Reading& r, const std::string& text) {
    if (!r.record || r.record->kind != 2) return;
    size_t start = 0;
    while (start < text.size() && !Cancelled()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        auto member = std::make_unique<WxContactRecord>();
        member->deleted = true;
        const std::string piece = text.substr(start, end - start);
        // A member the account knows is that contact, deleted only when it is.
        if (WxContactRecord* known = owner->FindChatContact(piece.c_str(), accountIndex))
            wxContactMerge(*member, *known), member->deleted = known->deleted;
        else
            member->userName = piece;
        member->accountIndex = accountIndex;
        member->kind = 3;
        member->parent = r.record.get();
        r.record->members.prepend(std::move(member));
        start = end + 1;
    }
}

WxContactRecord* CWxSession::Finish(Reading& r) {
    if (r.done) return r.existing;
    if (!r.record) return nullptr;
    if (!r.existing) {
        r.record->deleted = true;
        r.record->accountIndex = accountIndex;
        return owner->AddWxContact(accountIndex, std::move(r.record), true);
    }
    wxContactMerge(*r.existing, *r.record);
    r.record.reset();
    return r.existing;
}

WxContactRecord* CWxSession::ReadFirst(const uint8_t* p, int32_t n) {
    Cursor c{p, n};
    Reading r;
    bool sawBlock = false, sawH = false;
    std::string addr1, addr2, addr3, signature;
    bool have2 = false, have3 = false;
    while (c.n > 0) {
        if (Cancelled() || c.n < 2) return nullptr;
        const uint8_t key = c.p[0];
        if (key == 0x0A && !sawBlock) {
            sawBlock = true;
            c.Skip(1);
            uint64_t unused = 0;
            if (!c.Varint(&unused, true)) return nullptr;
            if (!c.Byte(0x50)) return nullptr;
            c.Skip(1);
            if (!c.Varint(&unused, true)) return nullptr;
            std::string nick, user;
            if (!c.Byte(0x22) || !c.Text(&nick)) return nullptr;
            if (!c.Byte(0x0A) || !c.Text(&user) || user.empty()) return nullptr;
            Resolve(r, user);
            if (r.done) return Finish(r);
            if (!c.Byte(0x32) || !c.Text(&r.record->remark)) return nullptr;
            if (!c.Byte(0x12) || !c.Text(&r.record->alias)) return nullptr;
            if (!c.Byte(0x72) || !c.Text(&r.record->headImageUrl)) return nullptr;
            r.record->nickName = nick;
            r.record->signature = signature;
            if (have2 && have3) r.record->address = JoinAddress(addr1, addr2, addr3);
        } else if ((key == 0x32 || key == 0x3A || key == 0x42) && !sawBlock) {
            std::string* part = key == 0x32 ? &addr1 : key == 0x3A ? &addr2 : &addr3;
            if (!c.Text(part)) return nullptr;
            if (key == 0x3A) have2 = true;
            if (key == 0x42) have3 = true;
        } else if (key == 0x4A && !sawBlock) {
            if (!c.Text(&signature)) return nullptr;
        } else if (key == 0x1A && r.record && r.record->kind == 2) {
            std::string members;
            if (!c.Text(&members)) return nullptr;
            ReadMembers(r, members);
        } else if (key == 0x48 && !sawH && c.n >= 5) {
            sawH = true;
            c.Skip(1);
            uint64_t unused = 0;
            if (!c.Varint(&unused, true)) return nullptr;
            if (!c.Byte(0x58)) return nullptr;
            c.Skip(1);
            if (!c.Varint(&unused, true)) return nullptr;
        } else {
            if (!c.Text(nullptr)) return nullptr;
        }
    }
    if (!sawBlock) return nullptr;
    return Finish(r);
}

WxContactRecord* CWxSession::ReadSecond(const uint8_t* p, int32_t n) {
    Cursor part{p, n};
    if (!part.Byte(0x0A)) return nullptr;
    part.Skip(1);
    uint64_t nestedLength = 0;
    if (!part.Varint(&nestedLength, true)) return nullptr;
    if (nestedLength == 0) return nullptr;
    Cursor c{part.p, int32_t(nestedLength)};
    part.Skip(int32_t(nestedLength));
    Reading r;
    bool hpx = false, gotUser = false;
    bool haveAlias = false, haveNick = false, haveRemark = false, haveHead = false;
    while (c.n > 0) {
        if (Cancelled()) return nullptr;
        if (!hpx && c.n > 6 && c.p[0] == 0x48) {
            // H, then P within 5 bytes, then X within 5 bytes of it, all inside the record.
            bool found = false;
            for (int32_t i = 1; i <= 5 && !found && i < c.n; ++i) {
                if (c.p[i] != 0x50) continue;
                for (int32_t j = 1; j <= 5 && i + j < c.n; ++j) {
                    if (c.p[i + j] != 0x58) continue;
                    c.Skip(i + j + 1);
                    uint64_t unused = 0;
                    if (!c.Varint(&unused, false)) return nullptr;
                    found = true;
                    break;
                }
            }
            if (found) {
                hpx = true;
                continue;
            }
        }
        if (!gotUser) {
            std::string user;
            if (!c.Byte(0x0A) || !c.Text(&user) || user.empty()) return nullptr;
            gotUser = true;
            Resolve(r, user);
            if (r.done) return Finish(r);
            continue;
        }
        const uint8_t key = c.p[0];
        WxContactRecord& rec = *r.record;
        bool ends = false;
        std::string* into = nullptr;
        if (key == 0x12 && !haveAlias) {
            into = &rec.alias;
            haveAlias = true;
        } else if (key == 0x22 && !haveNick && haveAlias) {
            into = &rec.nickName;
            haveNick = true;
        } else if (key == 0x32 && !haveRemark && haveNick && !haveHead) {
            into = &rec.remark;
            haveRemark = true;
        } else if (key == 0x72 && !haveHead && haveNick) {
            into = &rec.headImageUrl;
            haveHead = true;
            ends = true;
        }
        if (!c.Text(into)) return nullptr;
        if (ends) break;
    }
    if (!gotUser || !r.record) return nullptr;
    // Back in the contact part: members, then the address and the signature.
    bool active = false, sawTwenty = false, haveAddress = false, haveSignature = false;
    while (part.n > 0) {
        if (Cancelled()) return nullptr;
        const uint8_t key = part.p[0];
        if (key == 0x1A && r.record->kind == 2) {
            std::string members;
            if (!part.Text(&members)) return nullptr;
            ReadMembers(r, members);
        } else if (key == 0x20 && !sawTwenty) {
            sawTwenty = true;
            if (part.n < 3) break;
            part.Skip(2);
            active = true;
        } else if (key == 0x32 && active && !haveAddress) {
            std::string a, b, cc;
            bool have2 = false, have3 = false;
            if (!part.Text(&a)) return nullptr;
            if (part.Byte(0x3A)) {
                if (!part.Text(&b)) return nullptr;
                have2 = true;
                if (part.Byte(0x42)) {
                    if (!part.Text(&cc)) return nullptr;
                    have3 = true;
                }
            }
            if (have2 && have3) {
                r.record->address = JoinAddress(a, b, cc);
                haveAddress = true;
            }
        } else if (key == 0x4A && haveAddress && !haveSignature) {
            if (!part.Text(&r.record->signature)) return nullptr;
            haveSignature = true;
            break;
        } else {
            if (!part.Text(nullptr)) return nullptr;
        }
    }
    return Finish(r);
}

std::unique_ptr<WxSessionSummary>
CWxSession::ParseLastMessagePart(WxContactRecord* peer, const uint8_t** cursor, int32_t* remaining) {
    if (!peer || !cursor || !*cursor || !remaining || *remaining < 2 || Cancelled()) return nullptr;
    Cursor all{*cursor, *remaining};
    if (!all.Byte(0x12)) return nullptr;
    all.Skip(1);
    uint64_t m = 0;
    if (!all.Varint(&m, true) || m < 12) return nullptr;
    Cursor c{all.p, int32_t(m)};
    int32_t skipped = 0;
    while (c.n > 0 && c.p[0] != 0x38) {
        if (skipped >= c.n) return nullptr;
        c.Skip(1);
        ++skipped;
    }
    if (c.n < 6 || !c.Byte(0x38)) return nullptr;
    auto summary = std::make_unique<WxSessionSummary>();
    int recognised = 0;
    bool sawSender = false;
    while (recognised < 5 && c.n > 0) {
        if (Cancelled()) return nullptr;
        const uint8_t key = c.p[0];
        if (key == 0x38 && c.n >= 7) {
            c.Skip(1);
            if (!c.Varint(&summary->time, false)) return nullptr;
            ++recognised;
        } else if (key == 0x5A) {
            if (!c.Text(&summary->content)) return nullptr;
            ++recognised;
            if (recognised < 5 && !sawSender) {
                if (c.n < 15) return nullptr;
                int32_t at = 0;
                for (int32_t i = 1; i <= 15 && i < c.n; ++i)
                    if (c.p[i] == 0x42) {
                        at = i;
                        break;
                    }
                if (at == 0) return nullptr;
                c.Skip(at);
            }
        } else if (key == 0x42) {
            if (!c.Text(&summary->sender)) return nullptr;
            sawSender = true;
            ++recognised;
        } else if (key == 0x4A) {
            if (!c.Text(&summary->extraText)) return nullptr;
            ++recognised;
        } else if (key == 0x52) {
            if (peer->kind == 2 && c.n >= 2 && c.p[1] != 0) {
                std::string t;
                if (!c.Text(&t)) return nullptr;
                if (t.find("msgLocalID") == std::string::npos) summary->sender = t;
            } else {
                if (!c.Text(nullptr)) return nullptr;
            }
            ++recognised;
        } else {
            if (!c.Text(nullptr)) return nullptr;
        }
    }
    all.Skip(int32_t(m));
    *cursor = all.p;
    *remaining = all.n;
    return summary;
}
