#include "chat/CWxFtsUser.h"

#include "chat/WxContactOps.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/util/CommonUtils.h"
#include "core/records/ScanDataType.h"
#include "core/backup/WxAccountEntry.h"
#include "core/sqlite/IParserOwner.h"

#include <cstring>

CWxFtsUser::CWxFtsUser(IParserOwner* owner, int accountIndex)
    : CCommonInterFace(owner, ScanWxChats), accountIndex(accountIndex) {}

FtsUserRow* CWxFtsUser::AddUser(FtsUserRow row) {
    users.push_back(std::move(row));
    FtsUserRow* r = &users.back();
    byId.emplace(r->userNameId, r);
    named.emplace(r->userNameId, r->userName);
    return r;
}

WxContactRecord* CWxFtsUser::ContactOf(const std::string& userName) {
    WxContactRecord* c = owner->FindChatContact(userName.c_str(), accountIndex);
    if (!c) c = owner->AddChatContact(wxContactKindOfName(userName), userName.c_str(), accountIndex);
    return c;
}

FtsUserRow* CWxFtsUser::FindOrAddUser(int32_t userNameId) {
    auto it = byId.find(userNameId);
    if (it != byId.end()) return it->second;
    FtsUserRow row;
    row.userNameId = userNameId;
    row.contact = owner->AddUnnamedChatContact(accountIndex);
    return AddUser(std::move(row));
}

bool CWxFtsUser::Scan() {
    if (Cancelled()) return false;
    const WxAccountEntry* account = owner->FindAccount(accountIndex);
    if (!account || account->ftsDbPath.empty()) return false;
    if (!Open(owner->BackupFilePath(account->ftsDbPath).c_str(), false)) {
        AddProgressStep(3); // counted in the chat parser's total
        return false;
    }
    ReadUsers();
    AddProgressStep(1);
    BuildLiveCellMap();
    AddProgressStep(1);
    CarveTable("fts_username_id");
    AddProgressStep(1);
    return true;
}

void CWxFtsUser::ReadUsers() {
    ReadRows(LiveQuery("fts_username_id", "usernameid,UsrName"), [this](sqlite3_stmt* st) {
        if (sqlite3_column_type(st, 0) != SQLITE_INTEGER || sqlite3_column_type(st, 1) != SQLITE_TEXT) return;
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        const std::string name =
            text ? std::string(text, strnlen(text, size_t(sqlite3_column_bytes(st, 1)))) : std::string();
        WxContactRecord* c = name.empty() ? nullptr : ContactOf(name);
        if (!c) return;
        FtsUserRow row;
        row.userNameId = sqlite3_column_int(st, 0);
        row.userName = name;
        row.contact = c;
        AddUser(std::move(row));
    });
}

bool CWxFtsUser::PrepareTable() {
    colUserName = GetColumnIndex("UsrName");
    if (colUserName < 0) return false;
    roles.assign(size_t(columnCount), Other);
    acceptedKinds.assign(size_t(columnCount), 0);
    for (int c = 0; c < columnCount; ++c) {
        const std::string& name = columns[size_t(c)].name;
        if (name == "validfalg") {
            roles[size_t(c)] = ValidFlag;
            acceptedKinds[size_t(c)] = kindBit(KindZero) | kindBit(KindOne);
        } else if (name == "preCursorMesId" || name == "tableid" || name == "nextCursorMesId") {
            roles[size_t(c)] = Cursor;
            acceptedKinds[size_t(c)] = kNumberKinds & ~kindBit(KindDouble);
        } else if (c == colUserName) {
            roles[size_t(c)] = UserName;
            acceptedKinds[size_t(c)] = kindBit(KindText);
        }
    }
    return true;
}

bool CWxFtsUser::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || column < 0 || column >= columnCount || size_t(column) >= roles.size()) return false;
    switch (roles[size_t(column)]) {
    case ValidFlag:
        return kind == KindZero || kind == KindOne;
    case Cursor:
        return kind >= KindZero && kind <= KindInt64;
    case UserName:
        return kind == KindText && size > 0 && value->text && isAccountIdText(value->text);
    default:
        return true;
    }
}

bool CWxFtsUser::OnCarvedRecord(CarvedRecord* record, int32_t rowid) {
    // A carved row whose rowid could not be recovered names no user id.
    if (!record || Cancelled() || rowid == 0) return false;
    if (!carvedColumnIsText(*record, colUserName)) return false;
    const std::string name = carvedColumnText(*record, colUserName);
    if (name.empty() || named.count({rowid, name})) return false;
    FtsUserRow row;
    row.deleted = true;
    row.userNameId = rowid;
    row.userName = name;
    row.contact = ContactOf(name);
    if (!row.contact) return false;
    AddUser(std::move(row));
    return true;
}
