#include "chat/CWaChat.h"

#include "core/backup/WaStoreEntry.h"
#include "core/records/ScanDataType.h"
#include "core/records/WaChatRecord.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/LiveColumn.h"
#include "core/util/CheckedTime.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

namespace {

constexpr const char* kMessageTable = "ZWAMESSAGE";
// Message types a deleted row may carry, as a bit mask: 0 to 6, 8, 10 and 15.
constexpr uint32_t kCarvedTypeMask = 0x857F;
// Message types whose media item is looked up: 1 to 5, 8, 11 and 15.
constexpr uint32_t kMediaTypeMask = 0x893E;
// Group event types that turn a type-10 message into a group notice.
constexpr int32_t kGroupEventJoined = 1;
constexpr int32_t kGroupEventOther = 4;
constexpr int32_t kNoticeType = 10000;

// The low 32 bits of a carved number (a NULL counts as 0).
int32_t low32(uint32_t kind, const CarvedValue* value) {
    const std::optional<int64_t> v = carvedInteger(kind, value);
    return v ? static_cast<int32_t>(static_cast<uint64_t>(*v) & 0xffffffffu) : 0;
}

int32_t columnLow32(const CarvedRecord& record, int column) {
    if (!hasCarvedColumn(record, column)) return 0;
    return low32(record.kinds[size_t(column)], &record.values[size_t(column)]);
}

// A text column up to its first NUL (record texts never hold one).
void copyText(sqlite3_stmt* st, int column, std::string* out) {
    CCommonInterFace::CopyColumnText(st, column, out);
    const size_t nul = out->find('\0');
    if (nul != std::string::npos) out->resize(nul);
}

bool liveInteger(sqlite3_stmt* st, int column, int32_t* out) {
    if (sqlite3_column_type(st, column) != SQLITE_INTEGER) return false;
    *out = sqlite3_column_int(st, column);
    return true;
}

} // namespace

CWaChat::CWaChat(IParserOwner* owner) : CCommonInterFace(owner, ScanWaChats) {}

CWaChat::~CWaChat() {
    ClearRows();
}

void CWaChat::ClearRows() {
    // Views into the rows go first.
    messageKeys.clear();
    sessionByPk.clear();
    groupByPk.clear();
    sessionByJid.clear();
    pushNameByJid.clear();
    mediaByPk.clear();
    chatBySession.clear();
    messageRows.clear();
    mediaItems.clear();
    sessions.clear();
    pushNames.clear();
    unknownSessions.clear();
}

bool CWaChat::Scan() {
    if (Cancelled()) return false;
    const WaStoreEntry* store = owner->FindWhatsAppAccount(0);
    // Without a stored path nothing is opened (the joined path would be the backup
    // folder itself).
    if (!store || store->storedPath.empty()) return false;
    const std::string path = owner->BackupFilePath(store->storedPath);
    if (!Open(path.c_str(), false)) return false;

    SetProgressSteps(9); // reading and carving, then the records
    ReadLive();
    CarveDeleted();
    BuildRecords();
    return true;
}

void CWaChat::ReadLive() {
    ReadSessions();
    AddProgressStep(1);
    ReadPushNames();
    AddProgressStep(1);
    ReadGroupMembers();
    AddProgressStep(1);
    ReadMessages();
    AddProgressStep(1);
    ReadMediaItems();
    AddProgressStep(1);
}

void CWaChat::ReadSessions() {
    ReadRows(LiveQuery("ZWACHATSESSION", "Z_PK,ZCONTACTJID,ZSESSIONTYPE,ZPARTNERNAME")
                 .Where("ZHIDDEN=0")
                 .OrderBy("Z_PK"),
             [this](sqlite3_stmt* st) {
                 if (sqlite3_column_type(st, 0) != SQLITE_INTEGER) return;
                 const int32_t pk = sqlite3_column_int(st, 0);
                 if (pk <= 0 || sqlite3_column_type(st, 1) != SQLITE_TEXT) return;
                 auto row = std::make_unique<WaSessionRow>();
                 row->pk = pk;
                 copyText(st, 1, &row->jid);
                 // A session type or partner name of another type ends the row there.
                 if (sqlite3_column_type(st, 2) == SQLITE_INTEGER) {
                     row->sessionType = sqlite3_column_int(st, 2) == 1 ? 1 : 0;
                     if (sqlite3_column_type(st, 3) == SQLITE_TEXT) copyText(st, 3, &row->name);
                 }
                 WaSessionRow* r = sessions.append(std::move(row));
                 sessionByPk.emplace(r->pk, r);
                 if (r->sessionType == 1) groupByPk.emplace(r->pk, r);
                 sessionByJid.emplace(std::string_view(r->jid), r);
             });
}

void CWaChat::ReadPushNames() {
    ReadRows(LiveQuery("ZWAPROFILEPUSHNAME", "ZJID,ZPUSHNAME").OrderBy("Z_PK"), [this](sqlite3_stmt* st) {
        if (sqlite3_column_type(st, 0) != SQLITE_TEXT) return;
        auto row = std::make_unique<WaSessionRow>();
        copyText(st, 0, &row->jid);
        if (sqlite3_column_type(st, 1) == SQLITE_TEXT) copyText(st, 1, &row->name);
        const WaSessionRow* r = pushNames.append(std::move(row));
        pushNameByJid.emplace(std::string_view(r->jid), r);
    });
}

void CWaChat::ReadGroupMembers() {
    ReadRows(LiveQuery("ZWAGROUPMEMBER", "Z_PK,ZCHATSESSION,ZMEMBERJID")
                 .Where("ZCHATSESSION>0")
                 .OrderBy("ZCHATSESSION"),
             [this](sqlite3_stmt* st) {
                 int32_t pk = 0, session = 0;
                 if (!liveInteger(st, 0, &pk) || !liveInteger(st, 1, &session)) return;
                 if (sqlite3_column_type(st, 2) != SQLITE_TEXT) return;
                 const auto group = groupByPk.find(session);
                 if (group == groupByPk.end()) return;
                 auto member = std::make_unique<WaSessionRow>();
                 member->pk = pk;
                 copyText(st, 2, &member->jid);
                 if (const auto s = sessionByJid.find(member->jid); s != sessionByJid.end())
                     member->name = s->second->name;
                 else if (const auto p = pushNameByJid.find(member->jid); p != pushNameByJid.end())
                     member->name = p->second->name;
                 WaSessionRow* g = group->second;
                 const WaSessionRow* m = g->members.append(std::move(member));
                 g->memberByPk.emplace(m->pk, m);
             });
}

namespace {

// A live message row, or null when a column fails its check.
std::unique_ptr<WaMessageRow> messageRowOf(sqlite3_stmt* st) {
    auto row = std::make_unique<WaMessageRow>();
    int32_t fromMe = 0;
    if (!liveInteger(st, 0, &row->chatSession) || !liveInteger(st, 1, &row->messageType) ||
        !liveInteger(st, 2, &fromMe))
        return nullptr;
    row->fromMe = fromMe != 0;
    // Whole seconds of an INTEGER or FLOAT date; a positive one is moved to Unix time
    // (a date the move would overflow drops the row).
    const std::optional<int64_t> date = liveSeconds(st, 3);
    if (!date) return nullptr;
    if (*date > 0) {
        const std::optional<int64_t> unix = appleToUnixChecked(*date);
        if (!unix) return nullptr;
        row->date = *unix;
    } else {
        row->date = *date;
    }
    if (sqlite3_column_type(st, 4) == SQLITE_INTEGER) row->groupMember = sqlite3_column_int(st, 4);
    if (sqlite3_column_type(st, 5) == SQLITE_INTEGER) row->mediaItem = sqlite3_column_int(st, 5);
    if (sqlite3_column_type(st, 6) == SQLITE_TEXT) copyText(st, 6, &row->fromJid);
    if (sqlite3_column_type(st, 7) == SQLITE_TEXT) copyText(st, 7, &row->text);
    if (sqlite3_column_type(st, 8) != SQLITE_TEXT) return nullptr;
    copyText(st, 8, &row->stanzaId);
    if (!liveInteger(st, 9, &row->groupEventType)) return nullptr;
    row->deleted = false;
    return row;
}

constexpr char kMessageColumns[] =
    "ZCHATSESSION,ZMESSAGETYPE,ZISFROMME,ZMESSAGEDATE,ZGROUPMEMBER,ZMEDIAITEM,ZFROMJID,ZTEXT,ZSTANZAID,"
    "ZGROUPEVENTTYPE";

} // namespace

void CWaChat::ReadMessages() {
    if (!db || Cancelled()) return;
    std::vector<std::unique_ptr<WaMessageRow>> kept;
    ReadRows(LiveQuery(kMessageTable, kMessageColumns).OrderBy("ZCHATSESSION,ZMESSAGEDATE"),
             [&](sqlite3_stmt* st) {
                 if (auto row = messageRowOf(st)) kept.push_back(std::move(row));
             });
    // Rows that a damaged index hid from the ordered read come after the others: they are
    // put in their place here (rows of equal keys stay in the order read).
    std::stable_sort(kept.begin(), kept.end(), [](const auto& a, const auto& b) {
        return a->chatSession != b->chatSession ? a->chatSession < b->chatSession : a->date < b->date;
    });
    for (auto& row : kept)
        AppendMessageRow(std::move(row));
}

void CWaChat::ReadMediaItems() {
    ReadRows(LiveQuery("ZWAMEDIAITEM", "Z_PK,ZLATITUDE,ZLONGITUDE,ZVCARDSTRING,ZMEDIALOCALPATH,ZAUTHORNAME")
                 .OrderBy("Z_PK"),
             [this](sqlite3_stmt* st) {
                 // An item without a key cannot be referred to by any message.
                 if (sqlite3_column_type(st, 0) != SQLITE_INTEGER) return;
                 auto item = std::make_unique<WaMediaItemRow>();
                 item->pk = sqlite3_column_int(st, 0);
                 // Each column on its own: an item without coordinates keeps its card,
                 // file and author.
                 if (sqlite3_column_type(st, 1) == SQLITE_FLOAT)
                     item->latitude = sqlite3_column_double(st, 1);
                 if (sqlite3_column_type(st, 2) == SQLITE_FLOAT)
                     item->longitude = sqlite3_column_double(st, 2);
                 if (sqlite3_column_type(st, 3) == SQLITE_TEXT) {
                     std::string cards;
                     copyText(st, 3, &cards);
                     item->vCardText = parseVCards(cards);
                 }
                 if (sqlite3_column_type(st, 4) == SQLITE_TEXT) copyText(st, 4, &item->localPath);
                 if (sqlite3_column_type(st, 5) == SQLITE_TEXT) copyText(st, 5, &item->authorName);
                 const WaMediaItemRow* r = mediaItems.append(std::move(item));
                 mediaByPk.emplace(r->pk, r);
             });
}

std::string CWaChat::parseVCards(std::string_view text) {
    static constexpr std::string_view kEnd = "END:VCARD";
    static constexpr std::string_view kName = "FN:";
    std::string out;
    if (text.find(kEnd) == std::string_view::npos) return out;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find(kEnd, pos);
        if (end == std::string_view::npos) break;
        // Every search stays inside this card.
        const std::string_view card = text.substr(pos, end - pos);
        pos = end + kEnd.size();
        const size_t name = card.find(kName);
        if (card.size() < 3 || name == std::string_view::npos) break;
        const size_t nameEnd = card.find('\n', name + kName.size());
        if (nameEnd == std::string_view::npos) break;
        out.append(card.substr(name + kName.size(), nameEnd - name - kName.size()));
        out += '(';
        size_t from = 0;
        for (int n = 0; n < 3; ++n) {
            const size_t plus = card.find('+', from);
            if (plus == std::string_view::npos) break;
            const size_t lineEnd = card.find('\n', plus);
            if (lineEnd == std::string_view::npos) break;
            out.append(card.substr(plus, lineEnd - plus));
            out += ';';
            from = lineEnd;
        }
        out += ") ";
    }
    return out;
}

std::string CWaChat::locationText(double latitude, double longitude) {
    auto fixed = [](double v) {
        char buffer[400];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 6);
        return r.ec == std::errc() ? std::string(buffer, r.ptr) : std::string("nan");
    };
    return "[" + fixed(latitude) + "," + fixed(longitude) + "]";
}

void CWaChat::CarveDeleted() {
    if (Cancelled()) return;
    BuildLiveCellMap();
    AddProgressStep(1);
    CarveTable(kMessageTable);
    AddProgressStep(1);
}

bool CWaChat::PrepareTable() {
    if (tableName != kMessageTable) return false;
    chatSessionColumn = GetColumnIndex("ZCHATSESSION");
    messageTypeColumn = GetColumnIndex("ZMESSAGETYPE");
    isFromMeColumn = GetColumnIndex("ZISFROMME");
    messageDateColumn = GetColumnIndex("ZMESSAGEDATE");
    groupEventTypeColumn = GetColumnIndex("ZGROUPEVENTTYPE");
    mediaItemColumn = GetColumnIndex("ZMEDIAITEM");
    fromJidColumn = GetColumnIndex("ZFROMJID");
    textColumn = GetColumnIndex("ZTEXT");
    stanzaIdColumn = GetColumnIndex("ZSTANZAID");
    groupMemberColumn = GetColumnIndex("ZGROUPMEMBER");
    for (int32_t c :
         {chatSessionColumn, messageTypeColumn, isFromMeColumn, messageDateColumn, groupEventTypeColumn,
          mediaItemColumn, fromJidColumn, textColumn, stanzaIdColumn, groupMemberColumn})
        if (c < 0) return false;

    // The kinds each tested column can hold (the rules of CheckCarvedValue), so the
    // carver drops impossible candidates before decoding them.
    acceptedKinds.assign(columns.size(), 0);
    acceptedKinds[size_t(messageDateColumn)] = kNumberKinds;
    acceptedKinds[size_t(isFromMeColumn)] = kNotTextKinds;
    acceptedKinds[size_t(messageTypeColumn)] = kNotTextKinds;
    acceptedKinds[size_t(stanzaIdColumn)] = kTextKinds;
    acceptedKinds[size_t(textColumn)] = kTextKinds | kindBit(KindNull);
    acceptedKinds[size_t(chatSessionColumn)] = kNumberKinds;
    acceptedKinds[size_t(groupEventTypeColumn)] = kNotTextKinds;
    acceptedKinds[size_t(groupMemberColumn)] = kNotTextKinds;
    return true;
}

bool CWaChat::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || column < 0 || column >= columnCount) return false;
    if (column == messageDateColumn) {
        if (!isCarvedNumberKind(kind)) return false;
        const std::optional<int64_t> apple = carvedInteger(kind, value);
        if (!apple || *apple == 0) return false;
        // Up to now as well: a candidate read from the wrong bytes easily passes the
        // lower bound alone with a date billions of years ahead.
        const std::optional<int64_t> unix = appleToUnixChecked(*apple);
        if (!unix || !isPlausibleCarvedDate(*unix, owner->Now())) return false;
        value->i64 = *unix;
        return true;
    }
    if (column == isFromMeColumn) {
        if (isTextOrBlob(kind)) return false;
        const int32_t v = low32(kind, value);
        return v == 0 || v == 1;
    }
    if (column == messageTypeColumn) {
        if (isTextOrBlob(kind)) return false;
        const int32_t v = low32(kind, value);
        return v >= 0 && v < 16 && ((kCarvedTypeMask >> v) & 1u) != 0;
    }
    if (column == stanzaIdColumn) return isTextOrBlob(kind) && carvedSlotTextLength(kind, value, size) > 0;
    if (column == textColumn)
        return kind == KindNull || (isTextOrBlob(kind) && carvedSlotTextLength(kind, value, size) > 0);
    if (column == chatSessionColumn) return !isTextOrBlob(kind) && low32(kind, value) > 0;
    if (column == groupEventTypeColumn || column == groupMemberColumn)
        return !isTextOrBlob(kind) && low32(kind, value) >= 0;
    return true;
}

bool CWaChat::OnCarvedRecord(CarvedRecord* record, int32_t /*rowid*/) {
    if (!record || Cancelled()) return false;
    const int64_t date = carvedNumberSlot(*record, messageDateColumn);
    if (!carvedColumnIsText(*record, stanzaIdColumn)) return false;
    std::string stanzaId = carvedColumnText(*record, stanzaIdColumn);
    if (stanzaId.empty()) return false;
    if (messageKeys.count({date, std::string_view(stanzaId)})) return false;

    auto row = std::make_unique<WaMessageRow>();
    row->deleted = true;
    row->date = date;
    row->stanzaId = std::move(stanzaId);
    row->chatSession = columnLow32(*record, chatSessionColumn);
    row->messageType = columnLow32(*record, messageTypeColumn);
    row->mediaItem = columnLow32(*record, mediaItemColumn);
    row->groupEventType = columnLow32(*record, groupEventTypeColumn);
    row->groupMember = columnLow32(*record, groupMemberColumn);
    row->fromMe = columnLow32(*record, isFromMeColumn) != 0;
    if (carvedColumnIsText(*record, fromJidColumn)) row->fromJid = carvedColumnText(*record, fromJidColumn);
    if (carvedColumnIsText(*record, textColumn)) row->text = carvedColumnText(*record, textColumn);
    AppendMessageRow(std::move(row));
    return true;
}

void CWaChat::AppendMessageRow(std::unique_ptr<WaMessageRow> row) {
    const WaMessageRow* r = messageRows.append(std::move(row));
    messageKeys.emplace(r->date, std::string_view(r->stanzaId));
}

void CWaChat::BuildRecords() {
    RecordList<WaChatRecord>& chats = owner->WaChatList();
    for (WaChatRecord* c = chats.first; c; c = c->next)
        chatBySession.emplace(c->sessionPk, c);
    progressDone = 0;
    progressTotal = messageRows.count;
    for (const WaMessageRow* row = messageRows.first; row && !Cancelled(); row = row->next) {
        ReportProgress(3, false);
        BuildMessage(*row);
    }
    AddProgressStep(1);
    ClearRows();
    AddProgressStep(1);
}

void CWaChat::BuildMessage(const WaMessageRow& row) {
    // The session; a message of a hidden or missing session gets an unknown session,
    // named by the number of unknown sessions before it.
    WaSessionRow* session = nullptr;
    if (const auto it = sessionByPk.find(row.chatSession); it != sessionByPk.end()) {
        session = it->second;
    } else {
        auto unknown = std::make_unique<WaSessionRow>();
        unknown->sessionType = 2;
        unknown->pk = row.chatSession;
        unknown->name = std::to_string(unknownSessions.count);
        session = unknownSessions.append(std::move(unknown));
        sessionByPk.emplace(session->pk, session);
    }

    WaChatRecord* chat = nullptr;
    if (const auto it = chatBySession.find(row.chatSession); it != chatBySession.end()) {
        chat = it->second;
    } else {
        auto fresh = std::make_unique<WaChatRecord>();
        fresh->sessionType = session->sessionType;
        fresh->sessionPk = session->pk;
        fresh->jid = session->jid;
        fresh->name = session->name;
        chat = owner->WaChatList().append(std::move(fresh));
        chatBySession.emplace(chat->sessionPk, chat);
    }
    if (row.deleted) chat->deleted = true;

    auto message = std::make_unique<WaMessageRecord>();
    message->deleted = row.deleted;
    message->fromMe = row.fromMe;
    message->type = row.messageType;
    message->date = row.date;
    const int32_t type = row.messageType;
    if (type >= 0 && type < 32 && ((kMediaTypeMask >> type) & 1u) != 0) {
        if (const auto it = mediaByPk.find(row.mediaItem); it != mediaByPk.end()) {
            const WaMediaItemRow& item = *it->second;
            if (type == 4) {
                message->vCardText = item.vCardText;
            } else if (type == 5) {
                message->location = locationText(item.latitude, item.longitude);
            } else {
                message->mediaAuthor = item.authorName;
                message->mediaPath = item.localPath;
            }
        }
    } else if (type == 0) {
        message->text = row.text;
    } else if (type == 10 &&
               (row.groupEventType == kGroupEventJoined || row.groupEventType == kGroupEventOther)) {
        message->type = kNoticeType;
        message->eventFlag = row.groupEventType == kGroupEventJoined;
    }

    if (!row.fromMe) {
        if (session->sessionType == 1) {
            if (const auto it = session->memberByPk.find(row.groupMember); it != session->memberByPk.end()) {
                message->senderJid = it->second->jid;
                message->senderName = it->second->name;
            }
        } else if (session->sessionType == 0) {
            message->senderJid = session->jid;
            message->senderName = session->name;
        }
    }
    chat->messages.append(std::move(message));
}
