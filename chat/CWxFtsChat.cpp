#include "chat/CWxFtsChat.h"

#include "chat/CWxSession.h"
#include "chat/WxContactOps.h"
#include "chat/WxMessageOps.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/util/CheckedTime.h"
#include "core/util/CommonUtils.h"
#include "core/records/ScanDataType.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/WxContactRecord.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/SqliteDeleters.h"

#include <cstring>

namespace {

bool beginsWithPart(const std::string& text, const std::string& row) {
    const size_t comma = row.find(',');
    return comma != std::string::npos && text.size() >= comma && text.compare(0, comma, row, 0, comma) == 0;
}

// Facets of CWxFtsChat::RowFacets.
enum RowFacet { kLocalId, kRedPacket, kText, kRecoveredText, kAppTitle, kAppUrl };

std::string_view localIdKey(const uint32_t& localId) {
    return {reinterpret_cast<const char*>(&localId), sizeof localId};
}

} // namespace

CWxFtsChat::CWxFtsChat(IParserOwner* owner, CWxSession* session, int accountIndex)
    : CCommonInterFace(owner, ScanWxChats), session(session), accountIndex(accountIndex) {
    now = owner ? owner->Now() : 0;
}

CWxFtsChat::~CWxFtsChat() = default;

void CWxFtsChat::ClearEntries() {
    rowKeys.clear();
    entryCount = 0;
}

WxSessionSummary* CWxFtsChat::FindSummary(int64_t time, const std::string& text) const {
    return session ? session->Summaries().FindSameTextMessage(time, text) : nullptr;
}

bool CWxFtsChat::Scan() {
    if (Cancelled()) return false;
    const WxAccountEntry* account = owner->FindAccount(accountIndex);
    if (!account || account->ftsDbPath.empty()) return false;
    if (!Open(owner->BackupFilePath(account->ftsDbPath).c_str(), false)) {
        AddProgressStep(8); // the steps of the users and of the messages, counted in the total
        return false;
    }
    users = std::make_unique<CWxFtsUser>(owner, accountIndex);
    users->Scan();
    AddProgressStep(1);
    ReadDeletedIds();
    AddProgressStep(1);
    ReadContents();
    AddProgressStep(1);
    BuildLiveCellMap();
    AddProgressStep(1);
    CarveTable("fts_message_table_0_content");
    AddProgressStep(1);
    timeIndexes.clear();
    if (!owner->StopRestFlag()) users.reset();
    return true;
}

void CWxFtsChat::ReadDeletedIds() {
    ReadRows(LiveQuery("fts_msg_delete_table", "userNameId,localId").OrderBy("userNameId ASC"),
             [this](sqlite3_stmt* st) {
                 if (sqlite3_column_type(st, 0) != SQLITE_INTEGER ||
                     sqlite3_column_type(st, 1) != SQLITE_INTEGER)
                     return;
                 const int32_t user = sqlite3_column_int(st, 0), local = sqlite3_column_int(st, 1);
                 if (user != 0 && local != 0) deletedIds.emplace(user, local);
             });
}

void CWxFtsChat::NoteRow(const Row& row) {
    rowKeys.emplace(row.time, row.userNameId, row.localId);
    ++entryCount;
}

void CWxFtsChat::ReadContents() {
    if (!db || !users) return;
    int64_t total = 0;
    for (int i = 0; i < 10; ++i)
        total += CountRows(("fts_message_table_" + std::to_string(i) + "_content").c_str(), "");
    if (total <= 0) return;
    progressDone = 0;
    progressTotal = int32_t(std::min<int64_t>(total, INT32_MAX));
    for (int i = 0; i < 10 && !Cancelled(); ++i) {
        // The rows of one table, each filed as it comes: a damaged one is stepped past.
        FtsUserRow* currentUser = nullptr;
        WxSessionRecord* current = nullptr;
        bool createdHere = false;
        auto onRow = [&](sqlite3_stmt* st) {
            ReportProgress(2, false);
            if (Cancelled()) return;
            bool ok = true;
            for (int c = 0; c < 3 && ok; ++c)
                ok = sqlite3_column_type(st, c) == SQLITE_INTEGER;
            if (!ok || sqlite3_column_type(st, 3) != SQLITE_TEXT) return;
            Row row;
            row.userNameId = sqlite3_column_int(st, 0);
            row.localId = sqlite3_column_int(st, 1);
            row.time = sqlite3_column_int(st, 2);
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 3));
            row.text = text ? std::string(text, strnlen(text, size_t(sqlite3_column_bytes(st, 3)))) : "";
            row.type = isWxRedPacketText(row.text.c_str()) ? 100001 : 1;
            NoteRow(row);
            const bool listed = deletedIds.count({row.userNameId, row.localId}) != 0;
            if (!currentUser || currentUser->userNameId != row.userNameId) {
                currentUser = users->FindOrAddUser(row.userNameId);
                if (currentUser->contact && currentUser->contact->kind == 4) {
                    if (WxSessionSummary* s = FindSummary(row.time, row.text); s && s->peer) {
                        currentUser->contact = s->peer;
                        row.summary = s;
                    }
                }
                const auto& sessions = owner->WxSessionsOfPeer(accountIndex, currentUser->contact);
                if (!sessions.empty()) {
                    current = sessions.front();
                    createdHere = false;
                } else {
                    current = owner->AddWxSession(accountIndex, currentUser->contact, true, true);
                    createdHere = true;
                }
            }
            row.contact = currentUser->contact;
            // A message the peer's chat already holds (same second, and the same local id
            // or the same text) is never filed again: the chat's copy keeps its direction.
            // That covers the deletion list's entries too: after a chat table was dropped
            // and made again its local ids start anew, so an entry may name a live row.
            // Other rows of a second the chat has are left to the chat, as before.
            if (PeerHolds(row.contact, row)) return;
            if (!createdHere && !listed && PeerHasTime(row.contact, row.time)) return;
            // Every filed row looks for a summary of its own.
            if (!row.summary) row.summary = FindSummary(row.time, row.text);
            AddToSession(row, current);
        };
        const std::string table = "fts_message_table_" + std::to_string(i) + "_content";
        if (!StepRows(nullptr,
                      LiveQuery(table, "c0usernameid,c1MesLocalID,c2CreateTime,c3Message")
                          .OrderBy("c0usernameid,c2CreateTime ASC"),
                      onRow))
            StepRows(nullptr,
                     LiveQuery(table, "c5usernameid,c1MesLocalID,c0CreateTime,c2Message")
                         .OrderBy("c5usernameid,c0CreateTime ASC"),
                     onRow);
    }
}

std::unique_ptr<WxMessageRecord> CWxFtsChat::BuildMessage(const Row& row) {
    auto m = std::make_unique<WxMessageRecord>();
    m->deleted = true;
    m->accountIndex = accountIndex;
    m->type = row.type;
    m->time = row.time;
    if (row.summary && row.summary->senderContact) {
        const WxContactRecord& from = *row.summary->senderContact;
        m->senderUserName = from.userName;
        m->senderDisplayName = wxContactDisplayName(from);
        m->senderHeadUrl = from.headImageUrl;
        const WxAccountEntry* account = owner->FindAccount(accountIndex);
        m->fromMe = account && m->senderUserName == account->userName;
        m->directionFrom = WxMessageRecord::DirectionFrom::SenderName;
    }
    if (row.type != 100001) m->text = row.text;
    return m;
}

WxSessionTimeIndex& CWxFtsChat::TimeIndex(WxSessionRecord* s) {
    auto& slot = timeIndexes[s];
    if (!slot) slot = std::make_unique<WxSessionTimeIndex>(*s);
    return *slot;
}

bool CWxFtsChat::PeerHasTime(const WxContactRecord* peer, int64_t time) {
    for (WxSessionRecord* s : owner->WxSessionsOfPeer(accountIndex, peer))
        if (TimeIndex(s).HasTime(time)) return true;
    return false;
}

void CWxFtsChat::RowFacets(const WxMessageRecord& m, WxSecondIndex::Sink& sink) {
    const uint32_t localId = m.localId;
    sink.File(kLocalId, localIdKey(localId));
    if (m.type == 100001 || (m.type == 1 && isWxRedPacketText(m.text.c_str()))) sink.File(kRedPacket, {});
    if (m.type == 1) {
        sink.File(kText, m.text);
        if (m.deleted && m.text.size() >= 4) sink.File(kRecoveredText, m.text);
    }
    if (m.type == 49) {
        if (!m.title.empty()) sink.File(kAppTitle, m.title);
        if (!m.url.empty()) sink.File(kAppUrl, m.url);
    }
}

bool CWxFtsChat::SecondHoldsRow(WxSecondIndex& second, int32_t type, int32_t localId, const std::string& text,
                                size_t oneByOne) {
    // The recovered text the row's text continues takes the whole of it: the message
    // keeps its place and direction.
    auto takeWholeText = [&](WxMessageRecord* cut) {
        second.Unfile(cut);
        cut->text = text;
        second.Refile(cut);
        return true;
    };
    if (!second.Keyed(RowFacets, oneByOne)) {
        const auto copy = [&](const WxMessageRecord& m) {
            if (localId != 0 && m.localId == uint32_t(localId)) return true;
            if (type == 100001) return m.type == 100001 || (m.type == 1 && isWxRedPacketText(m.text.c_str()));
            if (m.type == 1)
                return fuzzyMatch(text.c_str(), m.text.c_str(), 3) || beginsWithPart(m.text, text);
            if (m.type == 49)
                return (!m.title.empty() && fuzzyMatch(text.c_str(), m.title.c_str(), 3)) ||
                       (!m.url.empty() && fuzzyMatch(text.c_str(), m.url.c_str(), 3));
            return false;
        };
        if (second.FirstWhere(copy)) return true;
        if (type == 100001) return false;
        WxMessageRecord* cut = second.FirstWhere([&](const WxMessageRecord& m) {
            return m.type == 1 && m.deleted && m.text.size() >= 4 && text.size() > m.text.size() &&
                   text.compare(0, m.text.size(), m.text) == 0;
        });
        return cut && takeWholeText(cut);
    }
    if (localId != 0) {
        const uint32_t key = uint32_t(localId);
        if (second.FirstWithKey(kLocalId, localIdKey(key))) return true;
    }
    if (type == 100001) return second.FirstWithKey(kRedPacket, {}) != nullptr;
    if (second.AnyFuzzyKey(kText, text)) return true;
    if (const size_t comma = text.find(',');
        comma != std::string::npos && second.AnyWithPrefix(kText, std::string_view(text).substr(0, comma)))
        return true;
    if (second.AnyFuzzyKey(kAppTitle, text) || second.AnyFuzzyKey(kAppUrl, text)) return true;
    WxMessageRecord* cut = second.FirstKeyBeginning(kRecoveredText, text, 4);
    return cut && takeWholeText(cut);
}

bool CWxFtsChat::SessionHolds(WxSessionRecord* s, const Row& row) {
    WxSecondIndex* second = TimeIndex(s).At(row.time);
    return second && SecondHoldsRow(*second, row.type, row.localId, row.text);
}

bool CWxFtsChat::PeerHolds(const WxContactRecord* peer, const Row& row) {
    for (WxSessionRecord* s : owner->WxSessionsOfPeer(accountIndex, peer))
        if (SessionHolds(s, row)) return true;
    return false;
}

void CWxFtsChat::AddToSession(const Row& row, WxSessionRecord* target) {
    if (!target || !row.contact) return;
    // Before the first message of the same second or later.
    TimeIndex(target).InsertBeforeSameOrLater(BuildMessage(row));
    target->deleted = true;
}

bool CWxFtsChat::PrepareTable() {
    int user = GetColumnIndex("c0usernameid"), local = GetColumnIndex("c1MesLocalID");
    int time = GetColumnIndex("c2CreateTime"), message = GetColumnIndex("c3Message");
    if (user < 0 || local < 0 || time < 0 || message < 0) {
        user = GetColumnIndex("c5usernameid");
        time = GetColumnIndex("c0CreateTime");
        message = GetColumnIndex("c2Message");
        if (user < 0 || local < 0 || time < 0 || message < 0) return false;
    }
    colUser = user, colLocalId = local, colTime = time, colMessage = message;
    acceptedKinds.assign(size_t(columnCount), 0);
    const uint32_t ids = kindBit(KindOne) | kindBit(KindInt8) | kindBit(KindInt16) | kindBit(KindInt24) |
                         kindBit(KindInt32) | kindBit(KindInt48) | kindBit(KindInt64);
    acceptedKinds[size_t(colUser)] = ids;
    acceptedKinds[size_t(colLocalId)] = ids;
    acceptedKinds[size_t(colTime)] = kindBit(KindInt32);
    acceptedKinds[size_t(colMessage)] = kTextKinds;
    now = owner->Now();
    return true;
}

bool CWxFtsChat::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || column < 0 || column >= columnCount) return false;
    if (column == colTime) return kind == KindInt32 && value->i32 >= kCarvedDateMin && value->i32 <= now;
    if (column == colMessage) return isTextOrBlob(kind) && size > 0 && value->text && value->text[0] != 0;
    if (column == colUser || column == colLocalId) {
        if (kind < KindOne || kind > KindInt64) return false;
        auto v = carvedInteger(kind, value);
        return v && uint32_t(uint64_t(*v)) != 0;
    }
    return true;
}

bool CWxFtsChat::OnCarvedRecord(CarvedRecord* record, int32_t) {
    if (!record || Cancelled() || !users) return false;
    Row row;
    auto number = [&](int c) -> int64_t {
        if (carvedColumnIsText(*record, c)) return 0;
        auto v = carvedColumnInteger(*record, c);
        return v ? *v : 0;
    };
    row.userNameId = int32_t(uint32_t(uint64_t(number(colUser))));
    row.localId = int32_t(uint32_t(uint64_t(number(colLocalId))));
    row.time = number(colTime);
    if (rowKeys.count({row.time, row.userNameId, row.localId})) return false;
    if (!carvedColumnIsText(*record, colMessage)) return false;
    row.text = carvedColumnText(*record, colMessage);
    if (row.text.empty()) return false;
    // A carved index row is a message only when dated within WeChat's time up to the
    // backup's date and readable, as the chat tables' carved rows are.
    if (!wxIsPlausibleRecoveredMessage(row.time, row.text,
                                       wxLatestMessageTime(owner->BackupDate(), owner->Now())))
        return false;
    row.type = isWxRedPacketText(row.text.c_str()) ? 100001 : 1;
    FtsUserRow* user = users->FindOrAddUser(row.userNameId);
    WxSessionSummary* s = FindSummary(row.time, row.text);
    if (user->contact && user->contact->kind != 4) {
        row.contact = user->contact;
    } else if (s && s->peer) {
        row.contact = s->peer;
        user->contact = s->peer;
    } else {
        row.contact = user->contact;
    }
    if (!row.contact) return true;
    row.summary = s;
    NoteRow(row);
    AddCarvedToSession(row);
    return true;
}

void CWxFtsChat::AddCarvedToSession(const Row& row) {
    RecordList<WxSessionRecord>& sessions = owner->WxSessionLists()[size_t(accountIndex)];
    // A message a session already holds is not filed again (same second, and the same
    // local id or the same text).
    auto duplicateIn = [&](WxSessionRecord* s) { return owner->SkipDuplicates() && SessionHolds(s, row); };
    WxSessionRecord* target = nullptr;
    if (row.contact->kind == 4) {
        for (WxSessionRecord* s = sessions.first; s && !Cancelled(); s = s->next) {
            if (duplicateIn(s)) return;
            if (s->peer == row.contact) target = s;
        }
    } else {
        for (WxSessionRecord* s : owner->WxSessionsOfPeer(accountIndex, row.contact)) {
            if (duplicateIn(s)) return;
            target = s;
        }
    }
    if (!target) target = owner->AddWxSession(accountIndex, row.contact, true, true);
    AddToSession(row, target);
}
