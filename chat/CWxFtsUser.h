#pragma once
#include "core/sqlite/CCommonInterFace.h"
#include "core/util/TupleHash.h"

#include <cstdint>
#include <deque>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

struct WxContactRecord;

// One user id of the search index and the contact it stands for.
struct FtsUserRow {
    bool deleted = false; // carved
    int32_t userNameId = 0;
    std::string userName;               // empty for an id the user table does not name
    WxContactRecord* contact = nullptr; // not owned, never null
};

// Reads the user table of the account's search index ("fts_username_id"), live and
// carved, which maps the index's user ids to user names and contacts.
class CWxFtsUser : public CCommonInterFace {
  public:
    CWxFtsUser(IParserOwner* owner, int accountIndex);

    bool Scan();
    // The row of that id; a new one with a generated contact when the table lacks it.
    FtsUserRow* FindOrAddUser(int32_t userNameId);
    size_t Count() const { return users.size(); }

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

  private:
    void ReadUsers();
    FtsUserRow* AddUser(FtsUserRow row);
    WxContactRecord* ContactOf(const std::string& userName);

    std::deque<FtsUserRow> users;
    std::unordered_map<int32_t, FtsUserRow*> byId; // first row of an id
    std::unordered_set<std::tuple<int32_t, std::string>, TupleHash> named;
    int accountIndex = 0;
    int colUserName = -1;
    enum Role : uint8_t { Other, ValidFlag, Cursor, UserName };
    std::vector<Role> roles;
};
