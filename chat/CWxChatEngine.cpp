#include "chat/CWxChatEngine.h"

#include "chat/CWxSession.h"
#include "chat/WxMessageOps.h"
#include "chat/WxMessageXml.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/util/CheckedTime.h"
#include "core/util/CommonUtils.h"
#include "core/util/MD5_CTX.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/SqliteDeleters.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace {

constexpr char kEmojiText[] = "[\xe8\xa1\xa8\xe6\x83\x85]"; // "[表情]"
constexpr char kCreateChat[] = "CREATE TABLE Chat_";
constexpr size_t kCreateChatLength = sizeof kCreateChat - 1; // 18
constexpr size_t kChatNameLength = 37;                       // "Chat_" + 32 hex digits

bool isChatTableName(std::string_view name) {
    if (name.size() != kChatNameLength || name.compare(0, 5, "Chat_") != 0) return false;
    for (size_t i = 5; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

const std::string& displayName(const WxContactRecord& c) {
    return c.remark.empty() ? c.nickName : c.remark;
}

// Text of a SQL column up to its first NUL.
std::string columnTextToNul(sqlite3_stmt* st, int column) {
    const unsigned char* t = sqlite3_column_text(st, column);
    if (!t) return {};
    const int n = sqlite3_column_bytes(st, column);
    const void* nul = memchr(t, 0, size_t(n));
    return std::string(reinterpret_cast<const char*>(t),
                       nul ? size_t(static_cast<const unsigned char*>(nul) - t) : size_t(n));
}

bool isTextType(int32_t type) {
    return type == 1 || type == 64 || type == 10000 || type == 10002;
}

bool isFiledType(uint32_t type) {
    switch (type) {
    case 1:
    case 3:
    case 34:
    case 42:
    case 43:
    case 47:
    case 48:
    case 49:
    case 50:
    case 62:
    case 64:
    case 10000:
    case 10002:
        return true;
    default:
        return false;
    }
}

// Bytes a recovered text cut short keeps at least to be taken for the start of another
// copy's text.
constexpr size_t kCutShortMinimum = 8;

// The kind of a message for comparing two of them: video in either code is one kind.
int32_t mergeKind(int32_t type) {
    return type == 62 ? 43 : type;
}

// The same message, for merging a session of an unnamed peer into a named one: the same
// time, the same kind and the same content. A message whose record keeps nothing that
// tells it apart (a recovered picture, voice or video without its file, a sticker, a call
// without a length) is never the same as another, so no merge rests on it and none drops it.
bool sameForMerge(const WxMessageRecord& m, const WxMessageRecord& q) {
    if (m.time != q.time || mergeKind(m.type) != mergeKind(q.type)) return false;
    switch (mergeKind(m.type)) {
    case 1:
    case 64:
    case 10000:
    case 10002: {
        if (q.text.empty() || m.text.empty()) return false;
        if (fuzzyMatch(m.text.c_str(), q.text.c_str(), 3)) return true;
        // A recovered text cut short (the rest of its row overwritten) is the start of
        // the whole text another copy holds.
        if (q.deleted && q.text.size() >= kCutShortMinimum && m.text.size() > q.text.size() &&
            m.text.compare(0, q.text.size(), q.text) == 0)
            return true;
        const size_t comma = q.text.find(',');
        return comma != std::string::npos && comma > 0 && m.text.size() >= comma &&
               m.text.compare(0, comma, q.text, 0, comma) == 0;
    }
    case 3:
    case 34:
    case 43:
        return !m.mediaPath.empty() && m.mediaPath == q.mediaPath;
    case 42:
        return !m.cardUserName.empty() && m.cardUserName == q.cardUserName &&
               m.cardNickName == q.cardNickName;
    case 48:
        return !m.locationLabel.empty() && m.locationLabel == q.locationLabel;
    case 49:
        return (!m.title.empty() || !m.url.empty()) && m.title == q.title && m.url == q.url &&
               m.description == q.description;
    case 50:
        return m.callDuration > 0 && m.callDuration == q.callDuration && m.isVoiceCall == q.isVoiceCall;
    case 100001:
    case 100002:
        return !m.title.empty() && m.title == q.title;
    default:
        return false;
    }
}

// A group sender prefix ("<user name>:\n") at the start of a stored text: the user name,
// or empty when the text has none. A user name holds no blank or line break.
std::string_view senderPrefix(std::string_view text) {
    const size_t colon = text.find(":\n");
    if (colon == std::string_view::npos || colon == 0 || colon > 64) return {};
    const std::string_view name = text.substr(0, colon);
    for (char c : name)
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') return {};
    return name;
}

bool beginsWithText(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// Two copies of one message meet and `kept` stays. The copy whose direction rests on more
// (a stored row over a stored sender name over nothing) decides the direction and the
// sender, whichever of the two arrived first; the other only lends what `kept` lacks: the
// sender fields of the same direction, its local id, and its whole text where `kept`
// holds that text cut short.
void keepStrongerDirection(WxMessageRecord& kept, const WxMessageRecord& other) {
    if (other.directionFrom > kept.directionFrom) {
        kept.fromMe = other.fromMe;
        kept.senderUserName = other.senderUserName;
        kept.senderDisplayName = other.senderDisplayName;
        kept.senderHeadUrl = other.senderHeadUrl;
        kept.directionFrom = other.directionFrom;
    } else if (other.fromMe == kept.fromMe) {
        if (kept.senderUserName.empty()) kept.senderUserName = other.senderUserName;
        if (kept.senderDisplayName.empty()) kept.senderDisplayName = other.senderDisplayName;
        if (kept.senderHeadUrl.empty()) kept.senderHeadUrl = other.senderHeadUrl;
    }
    if (kept.localId == 0) kept.localId = other.localId;
    if (isTextType(kept.type) && kept.type == other.type && other.text.size() > kept.text.size() &&
        beginsWithText(other.text, kept.text))
        kept.text = other.text;
}

} // namespace

CWxChatEngine::CWxChatEngine(IParserOwner* owner, CWxSession* session, int accountIndex,
                             WxChatOptions options)
    : CCommonInterFace(owner, ScanWxChats), session(session), accountIndex(accountIndex), options(options) {
    now = owner ? owner->Now() : 0;
    latestMessageTime = owner ? wxLatestMessageTime(owner->BackupDate(), now) : 0;
}

CWxChatEngine::~CWxChatEngine() = default;

const WxAccountEntry* CWxChatEngine::Account() const {
    return owner ? owner->FindAccount(accountIndex) : nullptr;
}

void CWxChatEngine::ClearTables() {
    chatTables.clear();
    tableByName.clear();
    tableByPage.clear();
    pseudoTables.clear();
}

TableEntry* CWxChatEngine::FirstTableNamed(const std::string& name) {
    auto it = tableByName.find(name);
    return it == tableByName.end() ? nullptr : it->second;
}

void CWxChatEngine::AddTable(TableEntry entry) {
    chatTables.push_back(std::move(entry));
    TableEntry* t = &chatTables.back();
    tableByName.emplace(t->name, t);
    if (t->rootPage > 0) tableByPage.emplace(uint64_t(t->rootPage), t);
    for (uint64_t p : t->pages)
        tableByPage.emplace(p, t);
}

const TableEntry* CWxChatEngine::TableOfPage(uint64_t page) const {
    auto it = tableByPage.find(page);
    return it == tableByPage.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------------------------------
// Tables

void CWxChatEngine::LoadChatTables() {
    LoadTableList(skipTables);
    for (TableEntry& t : skipTables) {
        if (t.rootPage <= 0 || uint64_t(t.rootPage) > pageCount) continue;
        const uint8_t type = ReadPageType(uint64_t(t.rootPage));
        if (type == 2 || type == 5)
            CollectLeafPages(uint64_t(t.rootPage), t.pages);
        else if (type == 10 || type == 13)
            t.pages.push_back(uint64_t(t.rootPage));
    }
    std::vector<TableEntry> rest;
    for (TableEntry& t : skipTables) {
        if (t.name.compare(0, 5, "Chat_") == 0)
            AddTable(std::move(t));
        else
            rest.push_back(std::move(t));
    }
    skipTables = std::move(rest);
}

void CWxChatEngine::FindSchemaRecords(const uint8_t* page, size_t size,
                                      const std::function<void(const std::string&, uint64_t)>& found) {
    if (!page || size < 50) return;
    size_t o = 38;
    while (o + 50 <= size) {
        if (memcmp(page + o, kCreateChat, kCreateChatLength) != 0) {
            ++o;
            continue;
        }
        const std::string name(reinterpret_cast<const char*>(page + o + 13), kChatNameLength);
        for (size_t g = 1; g <= 6; ++g) {
            if (o < g + kChatNameLength) break;
            if (memcmp(page + o - g - kChatNameLength, name.data(), kChatNameLength) != 0) continue;
            // The bytes between the copy of the name and "CREATE" are the root page
            // column; a 6-byte integer (serial type 5) has 6 bytes, so a gap of 5 is
            // no root page at all.
            if (g == 5) break;
            uint64_t root = 0;
            for (size_t i = 0; i < g; ++i)
                root = (root << 8) | page[o - g + i];
            if (root != 0 && isChatTableName(name)) found(name, root);
            break;
        }
        o += kCreateChatLength;
    }
}

void CWxChatEngine::FindDroppedTables() {
    if (pageSize != 0 && pageCount != 0 && !Cancelled()) {
        progressDone = 0;
        progressTotal = int32_t(std::min<uint64_t>(pageCount, INT32_MAX));
        std::vector<std::pair<std::string, uint64_t>> hits;
        for (uint64_t page = 1; page <= pageCount && !Cancelled(); ++page) {
            ReportProgress(2, false);
            if (!ReadPage(page)) break;
            FindSchemaRecords(
                pageBuffer.data(), pageBuffer.size(),
                [&hits](const std::string& name, uint64_t root) { hits.emplace_back(name, root); });
        }
        for (auto& [name, root] : hits) {
            if (root > pageCount) continue;
            bool known = false;
            for (const TableEntry& t : chatTables)
                if (t.name == name && uint64_t(t.rootPage) == root) known = true;
            if (known) continue;
            TableEntry e;
            e.name = name;
            e.rootPage = int64_t(root);
            const uint8_t type = ReadPageType(root);
            if (type == 10 || type == 13)
                e.pages.push_back(root);
            else if (type == 2 || type == 5)
                CollectLeafPages(root, e.pages);
            AddTable(std::move(e));
        }
        currentPage = 0;
    }
    AddProgressStep(1);
    AssignTableContacts();
}

void CWxChatEngine::AssignTableContacts() {
    if (!owner) return;
    if (size_t(accountIndex) < owner->WxContactLists().size() && accountIndex >= 0) {
        const RecordList<WxContactRecord>& contacts = owner->WxContactLists()[size_t(accountIndex)];
        progressDone = 0;
        progressTotal = contacts.count;
        for (WxContactRecord* c = contacts.first; c && !Cancelled(); c = c->next) {
            ReportProgress(2, false);
            if (c->accountIndex != accountIndex) continue;
            if (TableEntry* t = FirstTableNamed("Chat_" + getMd5String(c->userName))) t->peer = c;
        }
    }
    AddProgressStep(1);
    progressDone = 0;
    progressTotal = int32_t(chatTables.size());
    for (TableEntry& t : chatTables) {
        if (Cancelled()) break;
        ReportProgress(2, false);
        if (!t.peer) t.peer = owner->AddUnnamedChatContact(accountIndex);
    }
    AddProgressStep(1);
}

// ---------------------------------------------------------------------------------------
// Live rows

void CWxChatEngine::ReadLiveMessages() {
    if (!db) return;
    if (chatTables.empty()) {
        AddProgressStep(1);
        return;
    }
    progressDone = 0;
    progressTotal = int32_t(chatTables.size());
    int64_t sum = 0;
    std::vector<TableEntry*> tables; // each name once, at its first entry
    std::vector<int64_t> counts;     // their rows, counted without an index
    for (TableEntry& t : chatTables) {
        if (Cancelled()) return;
        ReportProgress(2, false);
        if (FirstTableNamed(t.name) != &t) continue;
        tables.push_back(&t);
        counts.push_back(CountRows(t.name.c_str(), "NOT INDEXED"));
        sum += counts.back();
    }
    AddProgressStep(1);
    if (sum <= 0) return;
    progressDone = 0;
    progressTotal = int32_t(std::min<int64_t>(sum, INT32_MAX));
    for (size_t ti = 0; ti < tables.size(); ++ti) {
        TableEntry* t = tables[ti];
        if (Cancelled()) break;
        WxContactRecord* peer = t->peer;
        WxSessionRecord* target = nullptr;
        auto sessionForRows = [&]() -> WxSessionRecord* {
            if (target || !peer) return target;
            if (options.reuseFirstPeerSession) target = FirstSessionOf(peer);
            if (!target) target = owner->AddWxSession(accountIndex, peer, false, false);
            return target;
        };
        if (!options.reuseFirstPeerSession) sessionForRows();
        const bool newsApp = peer && peer->userName.find("newsapp") != std::string::npos;
        const LiveQuery query =
            LiveQuery(t->name, "Type,MesLocalID,Des,CreateTime,MesSvrID,Message").OrderBy("CreateTime");
        StepRows(
            nullptr, query,
            [&](sqlite3_stmt* st) {
                ReportProgress(2, false);
                WxMessageRow row;
                row.tableName = t->name;
                row.pageKey = t->pageKey;
                bool complete = true;
                const int n = 6;
                for (int c = 0; c < n && complete; ++c) {
                    const char* name = sqlite3_column_name(st, c);
                    const int type = sqlite3_column_type(st, c);
                    if (!name) continue;
                    if (strcmp(name, "Message") == 0) {
                        if (type != SQLITE_TEXT)
                            complete = false;
                        else
                            row.message = columnTextToNul(st, c);
                        continue;
                    }
                    if (type != SQLITE_INTEGER) {
                        complete = false;
                        continue;
                    }
                    if (strcmp(name, "Type") == 0)
                        row.type = uint32_t(sqlite3_column_int(st, c));
                    else if (strcmp(name, "MesLocalID") == 0)
                        row.mesLocalId = uint32_t(sqlite3_column_int(st, c));
                    else if (strcmp(name, "Des") == 0)
                        row.des = uint32_t(sqlite3_column_int(st, c));
                    else if (strcmp(name, "CreateTime") == 0)
                        row.createTime = sqlite3_column_int(st, c);
                    else if (strcmp(name, "MesSvrID") == 0)
                        row.mesSvrId = sqlite3_column_int64(st, c);
                }
                if (!complete || row.mesLocalId == 0) return;
                row.carved = options.liveRowsAsCarved;
                AddRow(row);
                if (newsApp && row.type == 1) row.type = uint32_t(wxGuessMessageType(row.message));
                if (options.skipLiveRowsMatchingSummary && peer && session &&
                    session->Summaries().FindSameMessage(row.createTime, row.message))
                    return;
                WxSessionRecord* s = sessionForRows();
                if (!s) return;
                auto message = BuildMessage(row, peer, false);
                if (!message) return;
                s->messages.append(std::move(message));
            },
            counts[ti]);
    }
}

bool CWxChatEngine::AddRow(const WxMessageRow& row) {
    ++rowCount;
    return rowKeys.emplace(row.mesSvrId, row.createTime).second;
}

WxSessionRecord* CWxChatEngine::FirstSessionOf(WxContactRecord* peer) {
    const auto& sessions = owner->WxSessionsOfPeer(accountIndex, peer);
    return sessions.empty() ? nullptr : sessions.front();
}

// ---------------------------------------------------------------------------------------
// Carving

void CWxChatEngine::CarveMessages() {
    BuildLiveCellMap();
    AddProgressStep(1);
    if (!chatTables.empty()) CarveTable(chatTables.front().name.c_str());
    AddProgressStep(1);
}

bool CWxChatEngine::PrepareTable() {
    colType = GetColumnIndex("Type");
    colDes = GetColumnIndex("Des");
    colCreateTime = GetColumnIndex("CreateTime");
    colMessage = GetColumnIndex("Message");
    colMesLocalID = GetColumnIndex("MesLocalID");
    colMesSvrID = GetColumnIndex("MesSvrID");
    if (colType < 0 || colDes < 0 || colCreateTime < 0 || colMessage < 0 || colMesLocalID < 0 ||
        colMesSvrID < 0)
        return false;
    roles.assign(size_t(columnCount), Other);
    acceptedKinds.assign(size_t(columnCount), 0);
    for (int c = 0; c < columnCount; ++c) {
        const std::string& name = columns[size_t(c)].name;
        Role r = Other;
        uint32_t kinds = 0;
        if (c == colType)
            r = Type, kinds = kNotTextKinds;
        else if (c == colDes)
            r = Des, kinds = kNotTextKinds;
        else if (c == colCreateTime)
            r = CreateTime, kinds = kindBit(KindInt32);
        else if (c == colMessage)
            r = Message, kinds = kTextKinds;
        else if (c == colMesSvrID)
            r = MesSvrID, kinds = kindBit(KindInt64) | kindBit(KindZero);
        else if (c == colMesLocalID) // the rowid: stored as NULL, or not read when the first column
            r = MesLocalID, kinds = kIntegerOrNullKinds | kindBit(KindNotRead);
        else if (name == "Status" || name == "ImgStatus")
            r = Status, kinds = kNumberKinds;
        else if (name == "TableVer")
            kinds = kIntegerOrNullKinds;
        else
            kinds = declaredTypeKinds(columns[size_t(c)].type);
        roles[size_t(c)] = r;
        acceptedKinds[size_t(c)] = kinds;
    }
    // TableVer, the first column, holds the constant 1: its serial type is what the
    // freeblock header of a short deleted row overwrites.
    firstTypeUnderFreeblock = columnCount > 0 && columns[0].name == "TableVer";
    now = owner ? owner->Now() : now;
    return true;
}

bool CWxChatEngine::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || column < 0 || column >= columnCount || size_t(column) >= roles.size()) return false;
    auto number = [&]() -> int64_t {
        auto v = carvedInteger(kind, value);
        return v ? *v : 0;
    };
    switch (roles[size_t(column)]) {
    case CreateTime: {
        if (kind != KindInt32) return false;
        const int64_t t = value->i32;
        return t >= kCarvedDateMin && t <= now;
    }
    case Des: {
        if (isTextOrBlob(kind)) return false;
        const int64_t v = number();
        return v == 0 || v == 1;
    }
    case Type: {
        if (isTextOrBlob(kind)) return false;
        switch (number()) {
        case 1:
        case 3:
        case 34:
        case 42:
        case 43:
        case 47:
        case 48:
        case 49:
        case 50:
        case 62:
            return true;
        default:
            return false;
        }
    }
    case Status:
        return kind >= KindZero && kind <= KindDouble;
    case Message:
        return isTextOrBlob(kind) && size > 0 && value->text && value->text[0] != 0;
    case MesSvrID:
        return kind == KindInt64 || kind == KindZero;
    default: {
        // The kinds PrepareTable declared for the column.
        const uint32_t kinds = size_t(column) < acceptedKinds.size() ? acceptedKinds[size_t(column)] : 0;
        return kinds == 0 || (kinds & kindBit(kind)) != 0;
    }
    }
}

bool CWxChatEngine::OnCarvedRecord(CarvedRecord* record, int32_t rowid) {
    if (!record || Cancelled()) return false;
    WxMessageRow row;
    row.carved = true;
    row.createTime =
        carvedColumnIsText(*record, colCreateTime) ? 0 : carvedNumberSlot(*record, colCreateTime);
    row.mesSvrId = carvedColumnIsText(*record, colMesSvrID) ? 0 : carvedNumberSlot(*record, colMesSvrID);
    if (rowKeys.count({row.mesSvrId, row.createTime})) return false;
    if (!carvedColumnIsText(*record, colMessage)) return false;
    row.message = carvedColumnText(*record, colMessage);
    if (row.message.empty()) return false;
    // A message dated before WeChat or after the backup, or whose text is not readable,
    // is a fragment of something else.
    if (!wxIsPlausibleRecoveredMessage(row.createTime, row.message, latestMessageTime)) return false;
    const TableEntry* t = TableOfPage(record->page);
    row.tableName = t ? t->name : std::string();
    row.pageKey = record->page;
    if (hasCarvedColumn(*record, colMesLocalID) && record->kinds[size_t(colMesLocalID)] == KindNotRead)
        row.mesLocalId = uint32_t(rowid);
    else if (auto v = carvedColumnInteger(*record, colMesLocalID))
        row.mesLocalId = uint32_t(*v);
    if (auto v = carvedColumnInteger(*record, colType)) row.type = uint32_t(*v);
    if (auto v = carvedColumnInteger(*record, colDes)) row.des = uint32_t(*v);
    AddRow(row);
    AddCarvedMessage(row);
    return true;
}

void CWxChatEngine::AddCarvedMessage(const WxMessageRow& row) {
    if (!isFiledType(row.type)) return;
    WxContactRecord* peer = nullptr;
    if (!row.tableName.empty())
        if (TableEntry* t = FirstTableNamed(row.tableName)) peer = t->peer;
    if (!peer) {
        auto it = pseudoTables.find(row.pageKey);
        if (it != pseudoTables.end()) {
            peer = it->second->peer;
        } else {
            auto entry = std::make_unique<TableEntry>();
            entry->pageKey = row.pageKey;
            WxSessionSummary* s =
                session ? session->Summaries().FindSameMessage(row.createTime, row.message) : nullptr;
            entry->peer = s && s->peer ? s->peer : owner->AddUnnamedChatContact(accountIndex);
            peer = entry->peer;
            pseudoTables.emplace(row.pageKey, std::move(entry));
        }
    }
    if (!peer) return;
    auto message = BuildMessage(row, peer, true);
    if (!message) return;
    WxSessionRecord* s = FirstSessionOf(peer);
    if (!s) s = owner->AddWxSession(accountIndex, peer, true, true);
    if (!s) return;
    if (message->deleted) s->deleted = true;
    // A copy of this message filed before from a source that keeps no direction (the
    // search index) takes this row's direction and sender; no second copy is listed.
    if (WxMessageRecord* weaker = WeakerCopyIn(s, *message)) {
        keepStrongerDirection(*weaker, *message);
        return;
    }
    InsertAfterSameTime(s, std::move(message));
}

CWxChatEngine::SessionOrder& CWxChatEngine::SyncOrder(WxSessionRecord* s) {
    // The messages of a session in time order are kept by time in a vector (built once,
    // and again whenever someone else changed the session).
    SessionOrder& order = orderCache[s];
    const bool ends = order.byTime.empty() ? !order.ordered || s->messages.count == 0
                                           : order.byTime.front() == s->messages.first &&
                                                 order.byTime.back() == s->messages.last;
    if (order.count != s->messages.count || !ends) {
        order.byTime.clear();
        order.ordered = true;
        for (WxMessageRecord* m = s->messages.first; m; m = m->next) {
            if (!order.byTime.empty() && order.byTime.back()->time > m->time) order.ordered = false;
            if (order.ordered) order.byTime.push_back(m);
        }
        if (!order.ordered) order.byTime = {};
        order.count = s->messages.count;
    }
    return order;
}

WxMessageRecord* CWxChatEngine::WeakerCopyIn(WxSessionRecord* s, const WxMessageRecord& message) {
    auto weaker = [&](const WxMessageRecord* m) {
        return m->time == message.time && m->directionFrom < message.directionFrom &&
               sameForMerge(*m, message);
    };
    SessionOrder& order = SyncOrder(s);
    if (order.ordered) {
        auto at = std::lower_bound(order.byTime.begin(), order.byTime.end(), message.time,
                                   [](const WxMessageRecord* m, int64_t time) { return m->time < time; });
        for (; at != order.byTime.end() && (*at)->time == message.time; ++at)
            if (weaker(*at)) return *at;
        return nullptr;
    }
    for (WxMessageRecord* m = s->messages.first; m; m = m->next)
        if (weaker(m)) return m;
    return nullptr;
}

void CWxChatEngine::InsertAfterSameTime(WxSessionRecord* s, std::unique_ptr<WxMessageRecord> message) {
    // After every message of the same or an earlier time, found by binary search in a
    // session in time order; a session out of order gets the place after its leading
    // messages of that time or earlier.
    const int64_t t = message->time;
    SessionOrder& order = SyncOrder(s);
    if (order.ordered) {
        auto at = std::upper_bound(order.byTime.begin(), order.byTime.end(), t,
                                   [](int64_t time, const WxMessageRecord* m) { return time < m->time; });
        WxMessageRecord* before = at == order.byTime.end() ? nullptr : *at;
        WxMessageRecord* added = s->messages.insertBefore(before, std::move(message));
        order.byTime.insert(at, added);
    } else {
        WxMessageRecord* before = s->messages.first;
        while (before && before->time <= t)
            before = before->next;
        s->messages.insertBefore(before, std::move(message));
    }
    order.count = s->messages.count;
}

// ---------------------------------------------------------------------------------------
// Messages

bool CWxChatEngine::FillByType(std::string_view content, WxMessageRecord& message) {
    const int32_t type = message.type;
    if (isTextType(type)) {
        message.text.assign(content);
        return true;
    }
    switch (type) {
    case 3:
    case 34:
    case 43:
    case 62:
        return true;
    case 42:
        return wxParseCard(content, message);
    case 47:
        message.emojiText = kEmojiText;
        return true;
    case 48:
        return wxParseLocation(content, message);
    case 49:
        return wxParseAppMessage(content, message);
    case 50:
        return wxParseCall(content, message);
    default:
        return false;
    }
}

std::unique_ptr<WxMessageRecord> CWxChatEngine::BuildMessage(const WxMessageRow& row, WxContactRecord* peer,
                                                             bool recovered) {
    const WxAccountEntry* account = Account();
    if (!peer || !account) return nullptr;
    auto m = std::make_unique<WxMessageRecord>();
    m->deleted = recovered;
    m->accountIndex = accountIndex;
    m->time = row.createTime;
    m->fromMe = row.des == 0;
    m->type = int32_t(row.type);
    if (row.carved && row.type == 1) m->type = wxGuessMessageType(row.message);
    m->directionFrom = WxMessageRecord::DirectionFrom::StoredRow;
    std::string_view cursor(row.message);
    const bool prefixIsSender = !recovered || DirectionFromSender(cursor, *m, peer);
    const bool filled =
        peer->kind == 4 ? FillUnnamedSender(cursor, *m) : FillSender(cursor, *m, peer, prefixIsSender);
    if (!filled) return nullptr;
    if (!FillByType(cursor, *m)) return nullptr;
    m->localId = row.mesLocalId;
    // Media files lie in folders named by the MD5 of the peer's user name.
    auto folder = [&](const char* kind) {
        return std::string(kind) + "/" + getMd5String(peer->userName) + "/" + std::to_string(row.mesLocalId);
    };
    if (!row.carved) {
        switch (m->type) {
        case 3:
            m->mediaPath = folder("Img");
            break;
        case 34:
            m->mediaPath = folder("Audio");
            break;
        case 43:
        case 62:
            m->mediaPath = folder("Video");
            break;
        default:
            break;
        }
    }
    if (m->type == 100002) {
        const size_t dot = options.extensionFromLastDot ? m->title.rfind('.') : m->title.find('.');
        if (dot != std::string::npos) m->mediaPath = folder("OpenData") + m->title.substr(dot);
    }
    return m;
}

bool CWxChatEngine::DirectionFromSender(std::string_view& cursor, WxMessageRecord& message,
                                        const WxContactRecord* peer) {
    // A group row names its sender before its text; the owner's own rows name the owner or
    // nobody. A name the account knows (the owner, or a contact that is not a group)
    // outweighs the row's Des. Any other word and colon at the start belong to the text
    // (the owner's "Todo:" note), and Des stands; only a received group row, which always
    // names its sender, takes a word shaped like a user name as a sender the account does
    // not know.
    const std::string_view name = senderPrefix(cursor);
    if (name.empty()) return false;
    const WxAccountEntry* account = Account();
    if (account && !account->userName.empty() && name == account->userName) {
        message.fromMe = true;
        cursor.remove_prefix(name.size() + 2);
        return false;
    }
    if (peer->kind != 2 && peer->kind != 4) return false;
    const std::string member(name);
    if (WxContactRecord* c = owner->FindChatContact(member.c_str(), accountIndex); c && c->kind != 2) {
        message.fromMe = false;
        return true;
    }
    return peer->kind == 2 && !message.fromMe && isAccountIdText(member.c_str());
}

bool CWxChatEngine::FillSender(std::string_view& cursor, WxMessageRecord& message, WxContactRecord* peer,
                               bool prefixIsSender) {
    const WxAccountEntry* account = Account();
    if (message.fromMe) {
        if (!account) return false;
        message.senderUserName = account->userName;
        message.senderDisplayName = account->nickName;
        message.senderHeadUrl = account->headImageUrl;
        return true;
    }
    if (peer->kind == 2) {
        std::string member;
        const size_t colon = prefixIsSender ? cursor.find(":\n") : std::string_view::npos;
        if (colon != std::string_view::npos) {
            member.assign(cursor.substr(0, colon));
            cursor.remove_prefix(colon + 2);
        } else {
            const size_t a = cursor.find("<fromusername><![CDATA[");
            if (a != std::string_view::npos) {
                const size_t start = a + 23;
                const size_t b = cursor.find("]]></fromusername>", start);
                if (b != std::string_view::npos) member.assign(cursor.substr(start, b - start));
            }
            if (member.empty()) {
                const size_t c = cursor.find("fromusername=\"");
                if (c != std::string_view::npos) {
                    const size_t start = c + 14;
                    const size_t d = cursor.find("\" ", start);
                    if (d != std::string_view::npos) member.assign(cursor.substr(start, d - start));
                }
            }
        }
        if (!member.empty()) {
            message.senderUserName = member;
            WxContactRecord* c = owner->FindChatContact(member.c_str(), accountIndex);
            if (c && c->kind != 2) {
                message.senderDisplayName = displayName(*c);
                message.senderHeadUrl = c->headImageUrl;
            }
        }
        return true;
    }
    message.senderUserName = peer->userName;
    message.senderDisplayName = displayName(*peer);
    message.senderHeadUrl = peer->headImageUrl;
    return true;
}

bool CWxChatEngine::FillUnnamedSender(std::string_view& cursor, WxMessageRecord& message) {
    std::string name;
    const size_t colon = cursor.find(":\n");
    if (colon != std::string_view::npos) {
        name.assign(cursor.substr(0, colon));
    } else if (message.fromMe) {
        const WxAccountEntry* account = Account();
        if (!account) return false;
        message.senderUserName = account->userName;
        message.senderDisplayName = account->nickName;
        message.senderHeadUrl = account->headImageUrl;
        return true;
    } else {
        const size_t a = cursor.find("<fromusername><![CDATA[");
        if (a != std::string_view::npos) {
            const size_t start = a + 23;
            const size_t b = cursor.find("]]></fromusername>", start);
            if (b != std::string_view::npos) name.assign(cursor.substr(start, b - start));
        }
        if (name.empty()) {
            const size_t c = cursor.find("fromusername=\"");
            if (c != std::string_view::npos) {
                const size_t start = c + 14;
                const size_t d = cursor.find("\" ", start);
                if (d != std::string_view::npos) name.assign(cursor.substr(start, d - start));
            }
        }
    }
    WxContactRecord* c = name.empty() ? nullptr : owner->FindChatContact(name.c_str(), accountIndex);
    // The owner's row is never given to a group its text happens to name.
    if (c && !(message.fromMe && c->kind == 2)) {
        message.senderUserName = name;
        message.senderDisplayName = displayName(*c);
        message.senderHeadUrl = c->headImageUrl;
        if (colon != std::string_view::npos) cursor.remove_prefix(colon + 2);
        return true;
    }
    message.senderUserName.clear();
    if (message.fromMe) {
        // The owner's row whose text merely begins with a word and a colon: the owner
        // sent it, and the text stays whole.
        const WxAccountEntry* account = Account();
        if (!account) return false;
        message.senderUserName = account->userName;
        message.senderDisplayName = account->nickName;
        message.senderHeadUrl = account->headImageUrl;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Results

std::unique_ptr<WxMessageRecord> CWxChatEngine::BuildSummaryMessage(const WxSessionSummary& summary) {
    const WxAccountEntry* account = Account();
    if (!account || !summary.peer) return nullptr;
    auto m = std::make_unique<WxMessageRecord>();
    m->deleted = true;
    m->accountIndex = accountIndex;
    m->time = int64_t(summary.time);
    m->type = wxGuessMessageType(summary.content);
    m->fromMe = summary.sender == account->userName;
    m->directionFrom = WxMessageRecord::DirectionFrom::SenderName;
    if (m->fromMe) {
        m->senderUserName = account->userName;
        m->senderDisplayName = account->nickName;
        m->senderHeadUrl = account->headImageUrl;
    } else {
        WxContactRecord* from = summary.peer;
        if (summary.peer->kind == 2) {
            if (summary.sender.empty()) return nullptr;
            from = owner->FindChatContact(summary.sender.c_str(), accountIndex);
            if (!from) from = owner->AddChatContact(4, summary.sender.c_str(), accountIndex);
            if (!from) return nullptr;
        }
        m->senderUserName = from->userName;
        m->senderDisplayName = displayName(*from);
        m->senderHeadUrl = from->headImageUrl;
    }
    if (!FillByType(summary.content, *m)) return nullptr;
    return m;
}

void CWxChatEngine::AddSummaryMessage(const WxSessionSummary& summary) {
    auto m = BuildSummaryMessage(summary);
    if (!m) return;
    WxSessionRecord* target = nullptr;
    for (WxSessionRecord* s : owner->WxSessionsOfPeer(accountIndex, summary.peer)) {
        if (wxSessionHasSameMessage(*s, *m)) return;
        target = s;
    }
    if (!target) target = owner->AddWxSession(accountIndex, summary.peer, true, true);
    if (!target) return;
    target->deleted = true;
    target->messages.append(std::move(m));
}

void CWxChatEngine::BuildMergeIndex(MergeIndex& index) {
    index.byTime.clear();
    index.rank.clear();
    index.firstEligible = nullptr;
    size_t r = 0;
    for (WxSessionRecord* s = owner->WxSessionLists()[size_t(accountIndex)].first; s; s = s->next, ++r) {
        index.rank[s] = r;
        if (!s->peer || s->peer->kind == 4) continue;
        if (!index.firstEligible) index.firstEligible = s;
        for (WxMessageRecord* m = s->messages.first; m; m = m->next) {
            auto& v = index.byTime[m->time];
            if (v.empty() || v.back().second != s) v.emplace_back(r, s);
        }
    }
    index.built = true;
}

bool CWxChatEngine::MergeUnnamedSession(WxSessionRecord* unnamed, MergeIndex& index) {
    if (!index.built) BuildMergeIndex(index);
    auto matches = [](WxSessionRecord* s, const WxMessageRecord& q) {
        for (WxMessageRecord* m = s->messages.first; m; m = m->next)
            if (sameForMerge(*m, q)) return true;
        return false;
    };
    // The first session (in list order) holding the same message as one of U's; once
    // one is found, only the first eligible session may replace it.
    WxSessionRecord* target = nullptr;
    for (WxMessageRecord* q = unnamed->messages.first; q && !Cancelled(); q = q->next) {
        auto it = index.byTime.find(q->time);
        if (it == index.byTime.end()) continue;
        for (auto& entry : it->second) {
            WxSessionRecord* s = entry.second;
            if (s == unnamed) continue;
            if (target && s != index.firstEligible) continue;
            if (matches(s, *q)) {
                target = s;
                break;
            }
        }
    }
    if (!target) return false;
    const size_t targetRank = index.rank[target];
    // A received message of a chat with one person comes from that person: a row read
    // before its chat was known names no sender.
    auto senderFromPeer = [peer = target->peer](WxMessageRecord& m) {
        if (m.fromMe || !m.senderUserName.empty() || !peer || peer->kind == 2 || peer->kind == 4) return;
        m.senderUserName = peer->userName;
        m.senderDisplayName = displayName(*peer);
        m.senderHeadUrl = peer->headImageUrl;
    };
    WxMessageRecord* q = unnamed->messages.first;
    while (q) {
        WxMessageRecord* next = q->next;
        WxMessageRecord* same = nullptr;
        for (WxMessageRecord* m = target->messages.first; m; m = m->next)
            if (sameForMerge(*m, *q)) {
                same = m;
                break;
            }
        if (same) {
            // The same message: one copy stays in the named chat, and a copy read from a
            // stored row decides its direction and sender over an index copy.
            keepStrongerDirection(*same, *q);
            senderFromPeer(*same);
            unnamed->messages.remove(q);
        } else {
            std::unique_ptr<WxMessageRecord> moved = unnamed->messages.remove(q);
            senderFromPeer(*moved);
            int32_t position = 0;
            for (WxMessageRecord* m = target->messages.first; m; m = m->next)
                if (m->time < moved->time) ++position;
            if (moved->deleted) target->deleted = true;
            auto& v = index.byTime[moved->time];
            auto at = std::lower_bound(v.begin(), v.end(), std::make_pair(targetRank, target),
                                       [](const auto& a, const auto& b) { return a.first < b.first; });
            if (at == v.end() || at->second != target) v.insert(at, {targetRank, target});
            wxMessageListInsert(target->messages, moved, position);
        }
        q = next;
    }
    return true;
}

void CWxChatEngine::MergeResults(int extraEntries) {
    if (!owner) return;
    const int stage = options.resultStage;
    if (session) {
        WxSummaryList& summaries = session->Summaries();
        progressDone = 0;
        progressTotal = summaries.count();
        WxSessionSummary* s = summaries.first();
        while (s && !Cancelled()) {
            ReportProgress(stage, false);
            AddSummaryMessage(*s);
            s = options.consumeSummaries ? summaries.Remove(s) : s->next;
        }
    }
    AddProgressStep(1);
    if (accountIndex >= 0 && size_t(accountIndex) < owner->WxSessionLists().size()) {
        RecordList<WxSessionRecord>& sessions = owner->WxSessionLists()[size_t(accountIndex)];
        progressDone = 0;
        progressTotal = sessions.count;
        MergeIndex index;
        for (WxSessionRecord* s = sessions.first; s && !Cancelled(); s = s->next) {
            ReportProgress(stage, false);
            // Only peers made up for want of a name are merged; a generated contact that
            // has a user name is a person of its own.
            if (s->peer && s->peer->kind == 4 && s->peer->userName.empty()) MergeUnnamedSession(s, index);
        }
    }
    AddProgressStep(1);
    if (!owner->StopRestFlag()) {
        progressDone = 0;
        progressTotal = int32_t(std::min<int64_t>(int64_t(rowCount) + extraEntries, INT32_MAX));
        ReportProgressAt(stage, progressTotal);
        rowKeys.clear();
        rowCount = 0;
        ClearTables();
    }
    AddProgressStep(1);
}
