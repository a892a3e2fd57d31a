#include "chat/CWxAddressBook.h"

#include "chat/WxContactBlob.h"
#include "chat/WxContactOps.h"
#include "core/sqlite/CarvedColumn.h"
#include "core/util/CommonUtils.h"
#include "core/records/ScanDataType.h"
#include "core/sqlite/SqliteReadOnly.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/WxContactRecord.h"
#include "core/sqlite/IParserOwner.h"
#include "core/sqlite/SqliteDeleters.h"

#include <cstring>
#include <memory>
#include <unordered_set>

namespace {

std::string textToNul(sqlite3_stmt* st, int column) {
    const unsigned char* t = sqlite3_column_text(st, column);
    if (!t) return {};
    const int n = sqlite3_column_bytes(st, column);
    const void* nul = memchr(t, 0, size_t(n));
    return std::string(reinterpret_cast<const char*>(t),
                       nul ? size_t(static_cast<const unsigned char*>(nul) - t) : size_t(n));
}

bool beginsWith(const std::string& s, const char* prefix) {
    return s.compare(0, strlen(prefix), prefix) == 0;
}

using Decoder = void (*)(const uint8_t*, size_t, WxContactRow&);
// In the order of the blob columns: remark, head image, profile, social, chat room.
const Decoder kDecoders[5] = {wxParseRemarkBlob, wxParseHeadImageBlob, wxParseProfileBlob, wxParseSocialBlob,
                              wxParseChatRoomBlob};

} // namespace

CWxAddressBook::CWxAddressBook(IParserOwner* owner, int accountIndex)
    : CCommonInterFace(owner, ScanWxContacts), accountIndex(accountIndex) {}

CWxAddressBook::~CWxAddressBook() = default;

WxContactRow* CWxAddressBook::FindRow(const std::string& userName) {
    if (userName.empty()) return nullptr;
    auto it = rowByName.find(userName);
    return it == rowByName.end() ? nullptr : it->second;
}

WxContactRow& CWxAddressBook::PushFront(WxContactRow row) {
    rows.push_front(std::move(row));
    WxContactRow& r = rows.front();
    if (!r.userName.empty()) rowByName[r.userName] = &r;
    return r;
}

WxContactRow& CWxAddressBook::PushBack(WxContactRow row) {
    rows.push_back(std::move(row));
    WxContactRow& r = rows.back();
    if (!r.userName.empty()) rowByName.emplace(r.userName, &r);
    return r;
}

bool CWxAddressBook::Scan() {
    if (Cancelled()) return false;
    const WxAccountEntry* account = owner->FindAccount(accountIndex);
    if (!account) return false;
    // Without the contacts database the owner record and the chat database's tables
    // are still read.
    const bool opened =
        !account->contactDbPath.empty() && Open(owner->BackupFilePath(account->contactDbPath).c_str(), false);

    auto self = std::make_unique<WxContactRecord>();
    self->kind = 3;
    self->accountIndex = accountIndex;
    self->userName = account->userName;
    self->nickName = account->nickName;
    self->headImageUrl = account->headImageUrl;
    owner->AddWxContact(accountIndex, std::move(self), false);
    WxContactRow ownRow;
    ownRow.userName = account->userName;
    ownRow.nickName = account->nickName;
    ownRow.headImageUrl = account->headImageUrl;
    PushFront(std::move(ownRow));

    const std::string chatDb =
        account->chatDbPath.empty() ? std::string() : owner->BackupFilePath(account->chatDbPath);
    SetProgressSteps(8); // five steps of reading and carving, three of merging
    ReadMmFriend(chatDb);
    AddProgressStep(1);
    ReadMmFriendExt(chatDb);
    AddProgressStep(1);
    if (opened) ReadWcdbFriend();
    AddProgressStep(1);
    if (opened) BuildLiveCellMap();
    AddProgressStep(1);
    if (opened) {
        carvingFriend = true;
        CarveTable("Friend");
        carvingFriend = false;
    }
    AddProgressStep(1);
    MergeContacts();
    return opened;
}

void CWxAddressBook::ReadMmFriend(const std::string& chatDb) {
    if (chatDb.empty() || Cancelled()) return;
    Connection db(openReadOnlyDatabase(chatDb));
    if (!db) return;
    // The count sizes the progress only: a damaged page fails it, not the rows before.
    const int n = countRows(db.get(), "Friend", "");
    progressDone = 0;
    progressTotal = n > 0 ? n : 1;
    StepRows(db.get(), LiveQuery("Friend", "Type,UsrName,NickName"), [&](sqlite3_stmt* st) {
        if (progressDone < progressTotal) ReportProgress(2, false);
        bool haveType = false, stop = false;
        int64_t type = 0;
        WxContactRow row;
        for (int c = 0; c < 3 && !stop; ++c) {
            const char* name = sqlite3_column_name(st, c);
            const int t = sqlite3_column_type(st, c);
            if (!name) continue;
            if (strcmp(name, "Type") == 0) {
                if (t != SQLITE_INTEGER)
                    stop = true;
                else
                    type = sqlite3_column_int64(st, c), haveType = true;
            } else if (strcmp(name, "UsrName") == 0) {
                if (t != SQLITE_TEXT)
                    stop = true;
                else
                    row.userName = textToNul(st, c);
                if (row.userName.empty()) stop = true;
            } else if (strcmp(name, "NickName") == 0) {
                if (t == SQLITE_TEXT) row.nickName = textToNul(st, c);
            }
        }
        if (row.userName.empty()) return;
        int32_t kind = wxContactKindOfName(row.userName);
        if (kind == 0 && haveType) {
            if (type % 2 != 0)
                kind = 0;
            else if (type == 4)
                kind = 3;
            else
                row.deleted = true;
        }
        row.kind = uint32_t(kind);
        PushBack(std::move(row));
    });
}

void CWxAddressBook::ReadMmFriendExt(const std::string& chatDb) {
    if (chatDb.empty() || Cancelled()) return;
    Connection db(openReadOnlyDatabase(chatDb));
    if (!db) return;
    const int n = countRows(db.get(), "Friend_Ext", "");
    progressDone = 0;
    progressTotal = n > 0 ? n : 1;
    StepRows(db.get(), LiveQuery("Friend_Ext", "UsrName,ConRemark,ConStrRes2,ConChatRoomMem"),
             [&](sqlite3_stmt* st) {
                 if (progressDone < progressTotal) ReportProgress(2, false);
                 WxContactRow* row = nullptr;
                 for (int c = 0; c < 4; ++c) {
                     const char* name = sqlite3_column_name(st, c);
                     const int t = sqlite3_column_type(st, c);
                     if (!name) continue;
                     if (strcmp(name, "UsrName") == 0) {
                         if (t != SQLITE_TEXT) break;
                         const std::string user = textToNul(st, c);
                         if (user.empty()) break;
                         row = FindRow(user);
                         if (!row) {
                             WxContactRow fresh;
                             fresh.userName = user;
                             fresh.kind = uint32_t(wxContactKindOfName(user));
                             row = &PushBack(std::move(fresh));
                         }
                         continue;
                     }
                     if (!row) break; // a column before the user name
                     if (t != SQLITE_TEXT) continue;
                     const std::string text = textToNul(st, c);
                     if (strcmp(name, "ConRemark") == 0)
                         row->remark = text;
                     else if (strcmp(name, "ConStrRes2") == 0 && !text.empty())
                         wxParseFriendExtXml(text, *row);
                     else if (strcmp(name, "ConChatRoomMem") == 0 && !text.empty())
                         wxSplitMemberText(text, *row);
                 }
             });
}

void CWxAddressBook::DecodeBlobs(WxContactRow& row, const std::string* blobs) {
    for (int i = 0; i < 5; ++i)
        if (!blobs[i].empty())
            kDecoders[i](reinterpret_cast<const uint8_t*>(blobs[i].data()), blobs[i].size(), row);
}

void CWxAddressBook::ReadWcdbFriend() {
    if (!db || Cancelled()) return;
    static const char* const kBlobColumns[5] = {"dbContactRemark", "dbContactHeadImage", "dbContactProfile",
                                                "dbContactSocial", "dbContactChatRoom"};
    ReadRows(LiveQuery("Friend",
                       "type,userName,dbContactRemark,dbContactHeadImage,dbContactProfile,dbContactSocial,"
                       "dbContactChatRoom")
                 .OrderBy("type ASC"),
             [&](sqlite3_stmt* st) {
                 bool haveType = false, stop = false;
                 int64_t type = 0;
                 WxContactRow row;
                 std::string blobs[5];
                 for (int c = 0; c < 7 && !stop; ++c) {
                     const char* name = sqlite3_column_name(st, c);
                     const int t = sqlite3_column_type(st, c);
                     if (!name) continue;
                     if (strcmp(name, "type") == 0) {
                         if (t != SQLITE_INTEGER)
                             stop = true;
                         else
                             type = sqlite3_column_int64(st, c), haveType = true;
                     } else if (strcmp(name, "userName") == 0) {
                         if (t != SQLITE_TEXT)
                             stop = true;
                         else
                             row.userName = textToNul(st, c);
                         if (row.userName.empty()) stop = true;
                     } else {
                         for (int i = 0; i < 5; ++i)
                             if (strcmp(name, kBlobColumns[i]) == 0 && t == SQLITE_BLOB)
                                 CopyColumnText(st, c, &blobs[i]);
                     }
                 }
                 if (row.userName.empty()) return;
                 int32_t kind = wxContactKindOfName(row.userName);
                 if (kind == 0 && haveType) kind = (type % 2 != 0) ? 0 : 3;
                 row.kind = uint32_t(kind);
                 DecodeBlobs(row, blobs);
                 if (row.kind == 0)
                     PushFront(std::move(row));
                 else
                     PushBack(std::move(row));
             });
}

bool CWxAddressBook::PrepareTable() {
    if (tableName != "Friend") return false;
    static const char* const kNames[ColumnCount] = {"type",
                                                    "userName",
                                                    "dbContactRemark",
                                                    "dbContactHeadImage",
                                                    "dbContactProfile",
                                                    "dbContactSocial",
                                                    "dbContactChatRoom"};
    for (int i = 0; i < ColumnCount; ++i) {
        columnsOf[i] = GetColumnIndex(kNames[i]);
        if (columnsOf[i] < 0) return false;
    }
    roles.assign(size_t(columnCount), Other);
    acceptedKinds.assign(size_t(columnCount), 0);
    for (int c = 0; c < columnCount; ++c) {
        const std::string& name = columns[size_t(c)].name;
        Role r = Other;
        uint32_t kinds = 0;
        if (name == "userName")
            r = RoleUserName, kinds = kindBit(KindText);
        else if (name == "type")
            r = RoleType, kinds = kindBit(KindOne) | kindBit(KindInt8) | kindBit(KindInt16) |
                                  kindBit(KindInt24) | kindBit(KindInt32);
        else if (name == "certificationFlag" || name == "imgStatus")
            r = RoleFlag, kinds = kindBit(KindZero) | kindBit(KindOne) | kindBit(KindInt8) |
                                  kindBit(KindInt16) | kindBit(KindInt24) | kindBit(KindInt32);
        else if (name == "dbContactLocal" || name == "dbContactOther" || name == "dbContactHeadImage" ||
                 name == "dbContactProfile")
            r = RoleBlob, kinds = kindBit(KindBlob);
        else if (name == "dbContactRemark")
            r = RoleRemark, kinds = kindBit(KindBlob);
        else if (name == "dbContactChatRoom")
            r = RoleChatRoom, kinds = kindBit(KindNull) | kindBit(KindBlob);
        roles[size_t(c)] = r;
        acceptedKinds[size_t(c)] = kinds;
    }
    return true;
}

bool CWxAddressBook::CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) {
    if (Cancelled() || column < 0 || column >= columnCount || size_t(column) >= roles.size()) return false;
    if (!carvingFriend) return true;
    switch (roles[size_t(column)]) {
    case RoleUserName:
        return kind == KindText && size > 0 && value->text && isAccountIdText(value->text);
    case RoleType:
        return kind >= KindOne && kind <= KindInt32;
    case RoleFlag:
        return kind >= KindZero && kind <= KindInt32;
    case RoleBlob:
        return kind == KindBlob && size > 0 && value->blob && value->blob[0] != 0;
    case RoleRemark:
        return kind == KindBlob && size > 0 && value->blob && value->blob[0] == 0x0A;
    case RoleChatRoom:
        return kind == KindNull || (kind == KindBlob && size > 0 && value->blob && value->blob[0] != 0);
    default:
        return true;
    }
}

bool CWxAddressBook::OnCarvedRecord(CarvedRecord* record, int32_t rowid) {
    if (!record || Cancelled() || !carvingFriend) return false;
    const int userColumn = columnsOf[UserName];
    if (!carvedColumnIsText(*record, userColumn)) return false;
    const std::string user = carvedColumnText(*record, userColumn);
    if (user.empty() || FindRow(user)) return false;
    const auto type = carvedColumnIsText(*record, columnsOf[Type])
                          ? std::nullopt
                          : carvedColumnInteger(*record, columnsOf[Type]);
    const bool isFriend = type && (*type % 2 != 0);
    WxContactRow row;
    row.deleted = true;
    row.userName = user;
    int32_t kind = wxContactKindOfName(user);
    if (kind == 0) kind = isFriend ? 0 : 3;
    row.kind = uint32_t(kind);
    std::string blobs[5];
    for (int i = 0; i < 5; ++i) {
        const int c = columnsOf[Remark + i];
        if (carvedColumnIsText(*record, c)) blobs[i] = record->Bytes(c);
    }
    DecodeBlobs(row, blobs);
    PushFront(std::move(row));
    return true;
}

void CWxAddressBook::MergeRow(const WxContactRow& row) {
    if (owner->FindChatContact(row.userName.c_str(), accountIndex)) return;
    if (row.userName.empty()) return;
    auto record = std::make_unique<WxContactRecord>();
    auto fill = [this](WxContactRecord& r, const WxContactRow& from) {
        r.userName = from.userName;
        r.alias = from.alias;
        r.nickName = from.nickName;
        r.remark = from.remark;
        r.address = from.address;
        r.signature = from.signature;
        r.headImageUrl = from.headImageUrl;
        r.phone = from.phone;
        r.accountIndex = accountIndex;
    };
    fill(*record, row);
    record->deleted = row.deleted;
    record->kind = int32_t(row.kind);
    if (row.kind == 2) {
        for (const std::string& name : row.memberNames) {
            auto member = std::make_unique<WxContactRecord>();
            // A member the account holds a record of is that record: deleted only when it
            // is, whatever became of the group, so that no live contact is offered a
            // second time as deleted (nor a deleted one as live).
            member->deleted = row.deleted;
            if (const WxContactRow* known = FindRow(name))
                fill(*member, *known), member->deleted = known->deleted;
            else
                member->userName = name, member->accountIndex = accountIndex;
            member->kind = 3;
            member->parent = record.get();
            record->members.append(std::move(member));
        }
    }
    owner->AddWxContact(accountIndex, std::move(record), row.deleted);
}

void CWxAddressBook::MergeContacts() {
    progressDone = 0;
    progressTotal = int32_t(rows.size());
    std::unordered_set<std::string> groupMembers;
    for (const WxContactRow& r : rows)
        if (r.kind == 2) groupMembers.insert(r.memberNames.begin(), r.memberNames.end());
    for (WxContactRow& row : rows) {
        if (Cancelled()) break;
        ReportProgress(3, false);
        if (!row.deleted && row.kind == 3 && !row.userName.empty() &&
            (row.userName.size() < 6 || !beginsWith(row.userName, "wxid_") || !row.alias.empty()) &&
            !groupMembers.count(row.userName)) {
            row.deleted = true;
            row.kind = 0;
        }
        MergeRow(row);
    }
    AddProgressStep(1);
    if (!owner->StopRestFlag()) {
        progressDone = 0;
        progressTotal = int32_t(rows.size());
        ReportProgressAt(3, progressTotal);
        rowByName.clear();
        rows.clear();
    }
    AddProgressStep(1);
}
