#include "core/apps/CSMS.h"

#include "core/apps/ArchivedStringText.h"
#include "core/apps/CSMSHandel.h"
#include "core/backup/IFileParser.h"
#include "core/records/ContactNameIndex.h"
#include "core/records/ScanDataType.h"
#include "core/records/SmsConversationRecord.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/LiveColumn.h"
#include "core/util/CheckedTime.h"
#include "core/util/CommonUtils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

namespace {

constexpr const char* kSmsFolder = "/var/mobile/Library/SMS/";
constexpr const char* kSmsFile = "sms.db";
constexpr int64_t kNanosecondThreshold = 100000000000LL; // 10^11
constexpr int64_t kNanosecondsPerSecond = 1000000000LL;

constexpr uint32_t kNumberOrNull = kNumberKinds | kindBit(KindNull);

} // namespace

CSMS::CSMS(IParserOwner* owner) : CCommonInterFace(owner, ScanSms) {}

CSMS::~CSMS() {
    rows.clear();
    handles.clear();
}

bool CSMS::NewSchema() const {
    return owner && owner->IosVersion() >= 5;
}

int64_t CSMS::AppleSecondsOfMessageDate(int64_t raw) {
    if (raw >= kNanosecondThreshold) return raw / kNanosecondsPerSecond;
    return raw;
}

int64_t CSMS::LiveMessageDate(int64_t raw) {
    int64_t seconds = AppleSecondsOfMessageDate(raw);
    if (seconds < 1) return seconds;
    auto unix = appleToUnixChecked(seconds);
    return unix ? *unix : seconds;
}

std::optional<int64_t> CSMS::CarvedMessageDate(int64_t raw) {
    auto unix = appleToUnixChecked(AppleSecondsOfMessageDate(raw));
    if (!unix || *unix == 0 || !isPlausibleCarvedDate(*unix)) return std::nullopt;
    return unix;
}

bool CSMS::Scan() {
    if (Cancelled()) return false;
    // Long messages spill onto overflow pages: the carver follows them.
    if (!OpenStoredDatabase(CategorySms, std::string(kSmsFolder) + kSmsFile, true)) return false;

    // Reading and carving, then the conversations: seven steps.
    SetProgressSteps(7);
    if (NewSchema()) {
        ReadLiveMessages();
        AddProgressStep(1);
        ReadLiveHandles();
        AddProgressStep(1);
    } else {
        ReadLiveMessagesOld();
        AddProgressStep(2);
    }
    CarveDeletedRows();

    BuildConversations();
    return true;
}

std::string CSMS::RowKey(const SmsMessageRow& row) const {
    // Length-prefixed fields so that no two different rows share a key.
    std::string key;
    key.reserve(row.text.size() + row.address.size() + 48);
    key += std::to_string(row.sent ? 1 : 0);
    key += '|';
    key += std::to_string(row.date);
    key += '|';
    if (NewSchema()) {
        key += std::to_string(row.handleId);
        if (row.handleId == 0) { // group chats of the owner: one per address
            key += ':';
            key += std::to_string(row.address.size());
            key += ':';
            key += row.address;
        }
    } else {
        key += std::to_string(row.address.size());
        key += ':';
        key += row.address;
    }
    key += '|';
    key += row.text;
    return key;
}

void CSMS::AddLiveRow(std::unique_ptr<SmsMessageRow> row) {
    rowKeys.insert(RowKey(*row));
    rows.append(std::move(row));
}

bool CSMS::TableHasColumn(const char* table, const char* column) {
    if (!db) return false;
    bool found = LoadColumns(table) > 0 && GetColumnIndex(column) >= 0;
    ClearColumns();
    columnCount = 0;
    return found;
}

void CSMS::ReadChats() {
    if (!db || Cancelled()) return;
    const bool hasName = TableHasColumn("chat", "display_name");
    if (TableHasColumn("chat", "chat_identifier")) {
        ReadRows(
            LiveQuery("chat", hasName ? "ROWID,chat_identifier,display_name" : "ROWID,chat_identifier,NULL"),
            [&](sqlite3_stmt* st) {
                if (sqlite3_column_type(st, 0) != SQLITE_INTEGER) return;
                ChatInfo info;
                info.identifier = liveText(st, 1);
                normalizeAddress(info.identifier);
                if (info.identifier.empty()) return;
                info.name = liveText(st, 2);
                chatNames.emplace(info.identifier, info.name);
                chats.emplace(sqlite3_column_int64(st, 0), std::move(info));
            });
    }
    if (chats.empty() || !TableHasColumn("chat_message_join", "message_id")) return;
    ReadRows(LiveQuery("chat_message_join", "chat_id,message_id"), [&](sqlite3_stmt* st) {
        if (sqlite3_column_type(st, 0) != SQLITE_INTEGER || sqlite3_column_type(st, 1) != SQLITE_INTEGER)
            return;
        chatOfMessage.emplace(sqlite3_column_int64(st, 1), sqlite3_column_int64(st, 0));
    });
}

void CSMS::AssignChat(SmsMessageRow& row, int64_t messageId, const std::string& roomName) const {
    if (row.handleId != 0) return;
    if (messageId != 0) {
        auto m = chatOfMessage.find(messageId);
        if (m != chatOfMessage.end()) {
            auto c = chats.find(m->second);
            if (c != chats.end()) {
                row.address = c->second.identifier;
                row.chatName = c->second.name;
                return;
            }
        }
    }
    if (roomName.empty()) return;
    row.address = roomName;
    normalizeAddress(row.address);
    auto n = chatNames.find(row.address);
    if (n != chatNames.end()) row.chatName = n->second;
}

bool CSMS::ReadLiveMessages() {
    // From iOS 16 most messages keep their words only in the archived attributedBody.
    const bool hasBody = TableHasColumn("message", "attributedBody");
    const bool hasRooms = TableHasColumn("message", "cache_roomnames");
    const bool hasGuid = TableHasColumn("message", "guid");
    ReadChats();
    std::string columns = "handle_id,date,is_from_me,text,";
    columns += hasBody ? "attributedBody" : "NULL";
    columns += ",ROWID,";
    columns += hasRooms ? "cache_roomnames" : "NULL";
    columns += hasGuid ? ",guid" : ",NULL";
    return ReadRows(LiveQuery("message", columns).OrderBy("handle_id"), [&](sqlite3_stmt* st) {
        // Every live message's guid, whatever becomes of the row.
        const int guidType = sqlite3_column_type(st, 7);
        if (guidType == SQLITE_TEXT || guidType == SQLITE_BLOB) {
            std::string guid;
            CopyColumnText(st, 7, &guid);
            if (!guid.empty()) liveGuids.insert(std::move(guid));
        }
        if (sqlite3_column_type(st, 0) != SQLITE_INTEGER) return;
        int64_t handleId = sqlite3_column_int64(st, 0);
        const std::optional<int64_t> raw = liveSeconds(st, 1);
        if (!raw) return;
        if (sqlite3_column_type(st, 2) != SQLITE_INTEGER) return;
        bool sent = sqlite3_column_int64(st, 2) != 0;
        auto row = std::make_unique<SmsMessageRow>();
        int type = sqlite3_column_type(st, 3);
        if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
            CopyColumnText(st, 3, &row->text);
        } else if (type != SQLITE_NULL) {
            return;
        }
        if (row->text.empty() && sqlite3_column_type(st, 4) == SQLITE_BLOB) {
            const void* body = sqlite3_column_blob(st, 4);
            const int bytes = sqlite3_column_bytes(st, 4);
            if (body && bytes > 0) {
                if (auto text = ArchivedStringText::Read(static_cast<const uint8_t*>(body), size_t(bytes)))
                    row->text = std::move(*text);
            }
        }
        if (row->text.empty()) return;
        row->handleId = handleId;
        row->sent = sent;
        row->date = LiveMessageDate(*raw);
        const int64_t messageId =
            sqlite3_column_type(st, 5) == SQLITE_INTEGER ? sqlite3_column_int64(st, 5) : 0;
        AssignChat(*row, messageId, liveText(st, 6));
        AddLiveRow(std::move(row));
    });
}

bool CSMS::ReadLiveHandles() {
    return ReadRows(LiveQuery("handle", "ROWID,id"), [&](sqlite3_stmt* st) {
        if (sqlite3_column_type(st, 0) != SQLITE_INTEGER) return;
        int64_t id = sqlite3_column_int64(st, 0);
        if (id == 0) return;
        int type = sqlite3_column_type(st, 1);
        if (type != SQLITE_TEXT && type != SQLITE_BLOB) return;
        std::string text;
        CopyColumnText(st, 1, &text);
        normalizeAddress(text);
        if (text.empty()) return;
        auto entry = std::make_unique<SmsHandleEntry>();
        entry->id = id;
        entry->text = std::move(text);
        const SmsHandleEntry* e = handles.append(std::move(entry));
        handleIndex.emplace(id, e);
    });
}

bool CSMS::ReadLiveMessagesOld() {
    return ReadRows(LiveQuery("message", "date,flags,address,text").OrderBy("address"),
                    [&](sqlite3_stmt* st) {
                        const std::optional<int64_t> date = liveSeconds(st, 0);
                        if (!date) return;
                        if (sqlite3_column_type(st, 1) != SQLITE_INTEGER) return;
                        bool sent = sqlite3_column_int64(st, 1) == 3;
                        int type = sqlite3_column_type(st, 2);
                        if (type != SQLITE_TEXT && type != SQLITE_BLOB) return;
                        auto row = std::make_unique<SmsMessageRow>();
                        CopyColumnText(st, 2, &row->address);
                        normalizeAddress(row->address);
                        type = sqlite3_column_type(st, 3);
                        if (type != SQLITE_TEXT && type != SQLITE_BLOB) return;
                        CopyColumnText(st, 3, &row->text);
                        if (row->text.empty()) return;
                        row->sent = sent;
                        row->date = *date;
                        AddLiveRow(std::move(row));
                    });
}

void CSMS::CarveDeletedRows() {
    if (Cancelled()) return;
    BuildLiveCellMap();
    AddProgressStep(1);
    if (NewSchema()) {
        {
            CSMSHandel handel(this, rawPath.c_str(), owner);
            handel.Scan();
        }
        AddProgressStep(1);
        CarveTable("message");
        AddProgressStep(1);
    } else {
        CarveTable("message");
        AddProgressStep(2);
    }
    DropCutCopies();
}

void CSMS::DropCutCopies() {
    bool anyCut = false;
    for (const SmsMessageRow* r = rows.first; r && !anyCut; r = r->next)
        anyCut = r->cut;
    if (!anyCut) return;
    // Every listed text, sorted (the texts that begin with a given text follow it), and
    // the texts read whole.
    std::vector<std::string_view> texts;
    std::unordered_set<std::string_view> whole;
    for (const SmsMessageRow* r = rows.first; r; r = r->next) {
        texts.emplace_back(r->text);
        if (!r->cut) whole.insert(r->text);
    }
    std::sort(texts.begin(), texts.end());
    std::vector<SmsMessageRow*> copies;
    for (SmsMessageRow* r = rows.first; r; r = r->next) {
        if (!r->cut) continue;
        const std::string_view text = r->text;
        const auto longer = std::upper_bound(texts.begin(), texts.end(), text);
        if (whole.count(text) || (longer != texts.end() && longer->substr(0, text.size()) == text))
            copies.push_back(r);
    }
    for (SmsMessageRow* r : copies)
        rows.remove(r);
}

bool CSMS::PrepareTable() {
    if (tableName != "message") return false;
    bool newSchema = NewSchema();
    if (newSchema) {
        handleIdColumn = GetColumnIndex("handle_id");
        directionColumn = GetColumnIndex("is_from_me");
        addressColumn = -1;
    } else {
        addressColumn = GetColumnIndex("address");
        directionColumn = GetColumnIndex("flags");
        handleIdColumn = -1;
    }
    textColumn = GetColumnIndex("text");
    dateColumn = GetColumnIndex("date");
    guidColumn = newSchema ? GetColumnIndex("guid") : -1;
    attributedBodyColumn = newSchema ? GetColumnIndex("attributedBody") : -1;
    roomNamesColumn = newSchema ? GetColumnIndex("cache_roomnames") : -1;
    bool found = textColumn >= 0 && dateColumn >= 0 && directionColumn >= 0 &&
                 (newSchema ? handleIdColumn >= 0 : addressColumn >= 0);
    if (!found) return false;

    // Per column: the rule of its name, and the kinds it can hold (a cheap first test).
    struct NamedRule {
        const char* name;
        Rule rule;
        uint32_t kinds;
    };
    static constexpr NamedRule kNewSchemaRules[] = {
        {"date", Rule::Date, kNumberKinds},
        {"text", Rule::Text, kindBit(KindText)},
        {"handle_id", Rule::HandleId, kNumberKinds},
        {"is_from_me", Rule::ZeroOrOne, kNumberOrNull},
        {"is_read", Rule::ZeroOrOne, kNumberOrNull},
        {"service", Rule::Service, kindBit(KindText)},
        {"guid", Rule::Guid, kTextKinds},
        {"account_guid", Rule::AccountGuid, kTextKinds},
        {"attributedBody", Rule::AttributedBody, kindBit(KindBlob) | kindBit(KindNull)},
    };
    static constexpr NamedRule kOldSchemaRules[] = {
        {"date", Rule::Date, kNumberKinds},
        {"text", Rule::Text, kindBit(KindText)},
        {"address", Rule::Address, kindBit(KindText)},
        {"flags", Rule::AnyInteger, kNumberOrNull},
        {"group_id", Rule::GroupId, kNumberKinds},
        {"read", Rule::ZeroOrOne, kNumberOrNull},
        {"country", Rule::Country, kindBit(KindText) | kindBit(KindNull)},
    };
    columnRules.assign(columns.size(), Rule::None);
    acceptedKinds.assign(columns.size(), 0);
    for (size_t i = 0; i < columns.size(); ++i) {
        Rule rule = Rule::None;
        uint32_t kinds = 0;
        for (const NamedRule& entry : newSchema ? std::span<const NamedRule>(kNewSchemaRules)
                                                : std::span<const NamedRule>(kOldSchemaRules)) {
            if (columns[i].name == entry.name) {
                rule = entry.rule;
                kinds = entry.kinds;
                break;
            }
        }
        // NULL when the words live only in the archived body.
        if (rule == Rule::Text && attributedBodyColumn >= 0) kinds |= kindBit(KindNull);
        if (columns[i].isIntegerPrimaryKey && i == 0) kinds = 0; // arrives as "not read"
        columnRules[i] = rule;
        acceptedKinds[i] = kinds;
    }
    return true;
}

bool CSMS::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (column < 0 || column >= columnCount || static_cast<size_t>(column) >= columnRules.size())
        return false;
    if (!value) return false;
    switch (columnRules[column]) {
    case Rule::None:
        return true;
    case Rule::Date: {
        auto raw = carvedInteger(kind, value);
        if (!raw) return false;
        if (NewSchema()) return CarvedMessageDate(*raw).has_value();
        return *raw != 0 && isPlausibleCarvedDate(*raw);
    }
    case Rule::Text:
        // NULL only where an archived body can give the text (OnCarvedRecord decides).
        if (kind == KindNull) return attributedBodyColumn >= 0;
        return kind == KindText && carvedSlotTextLength(kind, value, size) > 0;
    case Rule::HandleId:
        // 0: a message the owner sent to a group chat.
        return !isTextOrBlob(kind) && kind != KindNull;
    case Rule::ZeroOrOne: {
        if (isTextOrBlob(kind)) return false;
        auto v = carvedInteger(kind, value);
        int64_t x = v ? *v : 0; // NULL reads as 0
        return x == 0 || x == 1;
    }
    case Rule::Service:
        return kind == KindText;
    case Rule::Guid:
        return isTextOrBlob(kind) && size == 36;
    case Rule::AccountGuid:
        return isTextOrBlob(kind) && (size == 36 || size == 0);
    case Rule::AttributedBody:
        // A message without formatting has none (NULL).
        if (kind == KindNull) return true;
        return kind == KindBlob && value->blob && ArchivedStringText::HasArchiveHeader(value->blob, size);
    case Rule::Address: {
        if (kind != KindText) return false;
        size_t n = carvedSlotTextLength(kind, value, size);
        if (n == 0) return false;
        std::string cleaned(value->text, n);
        if (isNamedAddress(cleaned)) {
            if (!isReadableText(cleaned.data(), cleaned.size())) return false;
            normalizeAddress(cleaned);
            return !cleaned.empty();
        }
        normalizePhoneNumber(cleaned);
        return !cleaned.empty() && isPhoneLike(cleaned.c_str());
    }
    case Rule::AnyInteger:
        return !isTextOrBlob(kind);
    case Rule::GroupId:
        return !isTextOrBlob(kind) && isNonZeroCarvedInteger(kind, value);
    case Rule::Country:
        return kind == KindText || kind == KindNull;
    }
    return true;
}

bool CSMS::OnCarvedRecord(CarvedRecord* record, int32_t rowid) {
    if (!record || Cancelled()) return false;
    if (!hasCarvedColumn(*record, textColumn) || !hasCarvedColumn(*record, dateColumn)) return false;

    auto row = std::make_unique<SmsMessageRow>();
    if (carvedColumnIsText(*record, textColumn)) {
        row->text = record->Text(textColumn);
    } else if (carvedColumnIsText(*record, attributedBodyColumn)) {
        const std::string body = record->Bytes(attributedBodyColumn);
        if (auto text = ArchivedStringText::Read(reinterpret_cast<const uint8_t*>(body.data()), body.size()))
            row->text = std::move(*text);
    }
    if (row->text.empty() || !isReadableText(row->text.data(), row->text.size())) return false;

    // A record cut by a broken overflow chain keeps its message when what was read passes;
    // a column past the break is unknown (date 0, no direction, no address).
    row->cut = record->cut;
    auto unread = [&](int column) {
        return record->cut && hasCarvedColumn(*record, column) &&
               record->kinds[size_t(column)] == KindNotRead;
    };
    auto date = carvedColumnInteger(*record, dateColumn);
    if (!date && !unread(dateColumn)) return false;
    if (NewSchema()) {
        auto handleId = carvedColumnInteger(*record, handleIdColumn);
        if (!handleId && !unread(handleIdColumn)) return false;
        row->handleId = handleId ? *handleId : -1;
        auto sent = carvedColumnInteger(*record, directionColumn);
        row->sent = sent && *sent != 0;
        if (date) {
            auto unix = CarvedMessageDate(*date);
            if (!unix) return false;
            row->date = *unix;
        }
        if (carvedColumnIsText(*record, guidColumn) && liveGuids.count(record->Text(guidColumn)))
            return true; // an old copy of a live message
        AssignChat(*row, rowid, carvedColumnText(*record, roomNamesColumn));
    } else {
        if (carvedColumnIsText(*record, addressColumn)) {
            row->address = record->Text(addressColumn);
            normalizeAddress(row->address);
        }
        auto flags = carvedColumnInteger(*record, directionColumn);
        row->sent = flags && *flags == 3;
        if (date) {
            if (*date == 0) return false;
            row->date = *date;
        }
    }
    row->deleted = true;

    if (!rowKeys.insert(RowKey(*row)).second) return true; // equal to a row already listed
    rows.append(std::move(row));
    return true;
}

void CSMS::AddHandle(int64_t id, const char* text) {
    if (Cancelled() || !text) return;
    if (handleIndex.count(id)) return;
    auto entry = std::make_unique<SmsHandleEntry>();
    entry->id = id;
    entry->text = text;
    const SmsHandleEntry* e = handles.append(std::move(entry));
    handleIndex.emplace(id, e);
}

void CSMS::BuildConversations() {
    if (Cancelled()) return;
    RecordList<SmsConversationRecord>& list = owner->SmsList();

    // Conversations by address and handle id (the owner's list may already hold some).
    struct ConvKey {
        std::string address;
        int64_t handleId;
        bool operator==(const ConvKey&) const = default;
    };
    struct ConvKeyHash {
        size_t operator()(const ConvKey& k) const {
            return std::hash<std::string>()(k.address) ^
                   (std::hash<int64_t>()(k.handleId) * 0x9e3779b97f4a7c15ULL);
        }
    };
    // Messages waiting to be placed, per conversation, with their arrival order.
    struct Pending {
        SmsMessageRow* row;
        int64_t seq;
    };
    struct ConvState {
        SmsConversationRecord* conv;
        std::vector<Pending> pending;
        std::unordered_set<std::string> seen; // type, date and text of its messages
    };
    std::unordered_map<ConvKey, size_t, ConvKeyHash> byKey;
    std::vector<ConvState> states;
    auto messageKey = [](bool sent, int64_t date, const std::string& text) {
        std::string k = sent ? "1|" : "0|";
        k += std::to_string(date);
        k += '|';
        k += text;
        return k;
    };
    for (SmsConversationRecord* c = list.first; c; c = c->next) {
        if (byKey.emplace(ConvKey{c->address, c->handleId}, states.size()).second) {
            ConvState s{c, {}, {}};
            for (SmsMessageRecord* m = c->messages.first; m; m = m->next)
                s.seen.insert(messageKey(m->type != 0, m->date, m->text));
            states.push_back(std::move(s));
        }
    }

    const ContactNameIndex contacts(owner->ContactList());
    progressDone = 0;
    progressTotal = rows.count;
    int64_t seq = 0;
    bool newSchema = NewSchema();
    for (SmsMessageRow* row = rows.first; row; row = row->next) {
        if (Cancelled()) break;
        ReportProgress(3, false);
        if (newSchema) {
            auto h = handleIndex.find(row->handleId);
            if (h != handleIndex.end()) row->address = h->second->text;
        }
        auto [it, created] = byKey.emplace(ConvKey{row->address, row->handleId}, states.size());
        if (created) {
            auto conv = std::make_unique<SmsConversationRecord>();
            conv->deleted = row->deleted;
            conv->address = row->address;
            if (row->handleId == 0 && !row->chatName.empty())
                conv->contactName = row->chatName;
            else if (const char* name = contacts.Find(row->address.c_str()))
                conv->contactName = name;
            conv->handleId = row->handleId;
            SmsConversationRecord* c =
                row->deleted ? list.prepend(std::move(conv)) : list.append(std::move(conv));
            states.push_back(ConvState{c, {}, {}});
        }
        ConvState& state = states[it->second];
        if (!state.seen.insert(messageKey(row->sent, row->date, row->text)).second) continue;
        state.pending.push_back(Pending{row, seq++});

        if (row->deleted) {
            SmsConversationRecord* c = state.conv;
            c->deleted = true;
            if (c->prev && !c->prev->deleted) list.prepend(list.remove(c));
        }
    }

    // Deleted messages first, newest first; then live ones, newest first. Among equal
    // dates the message that arrived later comes first.
    for (ConvState& state : states) {
        if (state.pending.empty()) continue;
        std::vector<Pending>& p = state.pending;
        // Messages already in the conversation keep their places: new ones are merged in
        // by the same rule, counting the existing ones as earlier arrivals.
        std::sort(p.begin(), p.end(), [](const Pending& a, const Pending& b) {
            if (a.row->deleted != b.row->deleted) return a.row->deleted;
            if (a.row->date != b.row->date) return a.row->date > b.row->date;
            return a.seq > b.seq;
        });
        RecordList<SmsMessageRecord>& msgs = state.conv->messages;
        SmsMessageRecord* at = msgs.first;
        for (const Pending& item : p) {
            const SmsMessageRow& r = *item.row;
            // Skip existing messages that precede this one.
            while (at && ((at->deleted && !r.deleted) || (at->deleted == r.deleted && at->date > r.date)))
                at = at->next;
            auto m = std::make_unique<SmsMessageRecord>();
            m->deleted = r.deleted;
            m->type = r.sent ? 1 : 0;
            m->text = std::move(item.row->text); // the rows are cleared below
            m->date = r.date;
            msgs.insertBefore(at, std::move(m));
        }
    }
    AddProgressStep(1);
    rows.clear();
    handles.clear();
    handleIndex.clear();
    rowKeys.clear();
    liveGuids.clear();
    chats.clear();
    chatOfMessage.clear();
    chatNames.clear();
    AddProgressStep(1);
}
