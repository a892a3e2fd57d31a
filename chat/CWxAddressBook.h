#pragma once
#include "chat/WxContactRow.h"
#include "core/sqlite/CCommonInterFace.h"

#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>

// Builds the contact list of one WeChat account: the owner, friends, official accounts,
// groups with their members and known non-friends, from "Friend" and "Friend_Ext" of
// the chat database and "Friend" of the contacts database (live and carved rows).
class CWxAddressBook : public CCommonInterFace {
  public:
    CWxAddressBook(IParserOwner* owner, int accountIndex);
    ~CWxAddressBook() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

    // The working rows, first to last (tests).
    const std::list<WxContactRow>& Rows() const { return rows; }

  private:
    void ReadMmFriend(const std::string& chatDb);
    void ReadMmFriendExt(const std::string& chatDb);
    void ReadWcdbFriend();
    void MergeContacts();
    void MergeRow(const WxContactRow& row);
    WxContactRow* FindRow(const std::string& userName);
    WxContactRow& PushFront(WxContactRow row);
    WxContactRow& PushBack(WxContactRow row);
    void DecodeBlobs(WxContactRow& row, const std::string* blobs);

    std::list<WxContactRow> rows;
    std::unordered_map<std::string, WxContactRow*> rowByName; // first row of a name
    int accountIndex = 0;
    enum Column { Type, UserName, Remark, HeadImage, Profile, Social, ChatRoom, ColumnCount };
    int columnsOf[ColumnCount] = {-1, -1, -1, -1, -1, -1, -1};
    enum Role : uint8_t { Other, RoleType, RoleUserName, RoleFlag, RoleBlob, RoleRemark, RoleChatRoom };
    std::vector<Role> roles;
    bool carvingFriend = false;
};
