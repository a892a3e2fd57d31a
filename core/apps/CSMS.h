#pragma once
#include "core/records/RecordList.h"
#include "core/sqlite/CCommonInterFace.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct SmsConversationRecord;

// One message row read live or carved, before it is grouped into a conversation.
struct SmsMessageRow {
    bool deleted = false;
    bool sent = false;
    std::string address; // old schema: the cleaned address; newer schema: filled from the handle
    std::string text;
    int64_t date = 0;     // Unix seconds, or the raw value when it is 0 or negative
    int64_t handleId = 0; // 0: sent by the owner to a group chat (newer schema)
    std::string chatName; // display name of that group chat, when it has one
    // Carved from a record whose end the backup lost (its overflow chain broke): the text
    // is the message's first part, and what lay past the break (a date, the direction)
    // is unknown.
    bool cut = false;
    SmsMessageRow* prev = nullptr;
    SmsMessageRow* next = nullptr;
};

// One address of the handle table (live or carved).
struct SmsHandleEntry {
    int64_t id = 0;
    std::string text; // digits only
    SmsHandleEntry* prev = nullptr;
    SmsHandleEntry* next = nullptr;
};

// Reads the Messages database ("sms.db"): live messages through SQL, deleted messages
// carved from the message table, and (from iOS 5) the handle addresses, live and
// deleted. Groups every message into one conversation per address and hands the
// conversations to the owner's SMS list, conversations with deleted messages first.
class CSMS : public CCommonInterFace {
  public:
    explicit CSMS(IParserOwner* owner);
    ~CSMS() override;

    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

    // A handle found by the handle carver; ignored when that id is already listed.
    void AddHandle(int64_t id, const char* text);

    // Dates of the newer schema are seconds or nanoseconds since 2001-01-01. A value of
    // 10^11 or more is taken as nanoseconds and divided by 10^9; a smaller one is seconds.
    static int64_t AppleSecondsOfMessageDate(int64_t raw);
    // Live reading of a newer-schema date: 0 and negative values stay as they are,
    // positive ones become Unix seconds.
    static int64_t LiveMessageDate(int64_t raw);
    // Carved reading of a newer-schema date: Unix seconds, or nullopt when the result
    // is not a plausible date (before 2000-12-31 16:00 UTC, in the future, or 0).
    static std::optional<int64_t> CarvedMessageDate(int64_t raw);

    const RecordList<SmsMessageRow>& Rows() const { return rows; }
    const RecordList<SmsHandleEntry>& Handles() const { return handles; }

  private:
    enum class Rule : uint8_t {
        None,
        Date,
        Text,
        HandleId,
        ZeroOrOne,
        Service,
        Guid,
        AccountGuid,
        AttributedBody,
        Address,
        AnyInteger,
        GroupId,
        Country,
    };

    bool NewSchema() const;
    bool ReadLiveMessages();
    bool TableHasColumn(const char* table, const char* column);
    void ReadChats();
    // Files an owner's message (handle 0) under its group chat: the chat that the join
    // table names for the message's rowid, else the chat of its cached room name.
    void AssignChat(SmsMessageRow& row, int64_t messageId, const std::string& roomName) const;
    bool ReadLiveHandles();
    bool ReadLiveMessagesOld();
    void CarveDeletedRows();
    // Drops the cut rows whose text begins a longer listed message (or equals a whole
    // one): the same message, found whole elsewhere.
    void DropCutCopies();
    void BuildConversations();
    void AddLiveRow(std::unique_ptr<SmsMessageRow> row);
    std::string RowKey(const SmsMessageRow& row) const;

    RecordList<SmsMessageRow> rows;
    RecordList<SmsHandleEntry> handles;
    std::unordered_map<int64_t, const SmsHandleEntry*> handleIndex; // first entry per id
    std::unordered_set<std::string> rowKeys;                        // duplicate test of the working list
    // guids of the live messages: a carved row carrying one is an old copy of a live
    // row that SQLite left behind when it rebuilt a page, not a deleted message.
    std::unordered_set<std::string> liveGuids;

    int handleIdColumn = -1;
    int textColumn = -1;
    int directionColumn = -1;
    int dateColumn = -1;
    int addressColumn = -1;
    int guidColumn = -1;
    int attributedBodyColumn = -1;
    int roomNamesColumn = -1;
    struct ChatInfo {
        std::string identifier; // cleaned like an address
        std::string name;       // display name, may be empty
    };
    std::unordered_map<int64_t, ChatInfo> chats;            // by chat rowid
    std::unordered_map<int64_t, int64_t> chatOfMessage;     // message rowid -> chat rowid
    std::unordered_map<std::string, std::string> chatNames; // identifier -> display name
    std::vector<Rule> columnRules;                          // per column of the carved table
};
