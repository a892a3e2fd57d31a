#pragma once
#include "chat/WxChatOptions.h"
#include "core/sqlite/CCommonInterFace.h"
#include "core/util/TupleHash.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

class CWxSession;
struct WxAccountEntry;
struct WxContactRecord;
struct WxMessageRecord;
struct WxSessionRecord;
struct WxSessionSummary;

// One message row of a chat database, live or carved.
struct WxMessageRow {
    bool carved = false;
    uint32_t pageKey = 0;
    uint32_t mesLocalId = 0;
    int64_t mesSvrId = 0;
    int64_t createTime = 0;
    uint32_t type = 0;
    uint32_t des = 0;
    std::string message;
    std::string tableName;
};

// Reads WeChat message databases ("Chat_<md5 of the peer>" tables): live rows through
// SQL, tables of dropped chats by a raw search for their schema records, deleted rows by
// carving, and files every message into the session of its peer in the account's
// session list; then files the session summaries and merges the sessions of peers that
// could not be named. The main, extra and official-account databases differ only in the
// options.
class CWxChatEngine : public CCommonInterFace {
  public:
    CWxChatEngine(IParserOwner* owner, CWxSession* session, int accountIndex, WxChatOptions options);
    ~CWxChatEngine() override;

    // Progress steps of the passes over one chat database, and of MergeResults.
    static constexpr int kStepsPerDatabase = 6;
    static constexpr int kMergeSteps = 3;

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

    // The four passes over the open database: tables, dropped tables, live rows, carving.
    void LoadChatTables();
    void FindDroppedTables();
    void AssignTableContacts();
    void ReadLiveMessages();
    void CarveMessages();
    // Files the summaries, merges the sessions of unnamed peers and (unless the rest of
    // the scan was stopped) frees the working lists. `extraEntries` adds to the progress
    // total of the freeing step.
    void MergeResults(int extraEntries = 0);

    // Reads a raw schema page for "CREATE TABLE Chat_" records of tables the schema no
    // longer lists; hands each (name, root page) found to `found`.
    static void FindSchemaRecords(const uint8_t* page, size_t pageSize,
                                  const std::function<void(const std::string&, uint64_t)>& found);

    int32_t RowCount() const { return rowCount; }
    int AccountIndex() const { return accountIndex; }
    const std::deque<TableEntry>& ChatTables() const { return chatTables; }
    // The table a carved record on `page` belongs to (its root page or one of its
    // leaves), or null.
    const TableEntry* TableOfPage(uint64_t page) const;

  protected:
    const WxAccountEntry* Account() const;
    // Forgets the chat tables of the database read before.
    void ClearTables();
    CWxSession* session = nullptr;
    int accountIndex = 0;
    WxChatOptions options;

  private:
    bool AddRow(const WxMessageRow& row);
    void AddCarvedMessage(const WxMessageRow& row);
    std::unique_ptr<WxMessageRecord> BuildMessage(const WxMessageRow& row, WxContactRecord* peer,
                                                  bool recovered);
    // Sets the direction of a recovered message from the sender its text names when the
    // account knows that name, cutting the owner's own name off. True when a group sender
    // prefix left at the cursor is the sender (FillSender may then take it off).
    bool DirectionFromSender(std::string_view& cursor, WxMessageRecord& message, const WxContactRecord* peer);
    bool FillSender(std::string_view& cursor, WxMessageRecord& message, WxContactRecord* peer,
                    bool prefixIsSender = true);
    bool FillUnnamedSender(std::string_view& cursor, WxMessageRecord& message);
    bool FillByType(std::string_view content, WxMessageRecord& message);
    void AddSummaryMessage(const WxSessionSummary& summary);
    std::unique_ptr<WxMessageRecord> BuildSummaryMessage(const WxSessionSummary& summary);
    // Messages of the sessions with a named peer by time, with the rank of their
    // session in the list, so that a merge finds the first matching session directly.
    struct MergeIndex {
        bool built = false;
        std::unordered_map<int64_t, std::vector<std::pair<size_t, WxSessionRecord*>>> byTime;
        std::unordered_map<const WxSessionRecord*, size_t> rank;
        WxSessionRecord* firstEligible = nullptr;
    };
    void BuildMergeIndex(MergeIndex& index);
    bool MergeUnnamedSession(WxSessionRecord* unnamed, MergeIndex& index);
    TableEntry* FirstTableNamed(const std::string& name);
    void AddTable(TableEntry entry);
    WxSessionRecord* FirstSessionOf(WxContactRecord* peer);
    void InsertAfterSameTime(WxSessionRecord* session, std::unique_ptr<WxMessageRecord> message);
    // A message of the session that is the same as `message` but whose direction rests on
    // less, or null.
    WxMessageRecord* WeakerCopyIn(WxSessionRecord* session, const WxMessageRecord& message);

    // Rows read so far, by (MesSvrID, CreateTime), for the duplicate check of carved rows.
    std::unordered_set<std::tuple<int64_t, int64_t>, TupleHash> rowKeys;
    int32_t rowCount = 0;
    std::deque<TableEntry> chatTables;
    std::unordered_map<std::string, TableEntry*> tableByName; // first entry of a name
    std::unordered_map<uint64_t, TableEntry*> tableByPage;    // first entry holding a page
    std::unordered_map<uint32_t, std::unique_ptr<TableEntry>> pseudoTables;
    // Column roles of the carved table, by column index.
    enum Role : uint8_t { Other, Type, Des, CreateTime, Message, MesLocalID, MesSvrID, Status };
    std::vector<Role> roles;
    int colType = -1, colDes = -1, colCreateTime = -1, colMessage = -1, colMesLocalID = -1, colMesSvrID = -1;
    int64_t now = 0;
    // Latest time a recovered message may carry (the backup's date, else now).
    int64_t latestMessageTime = 0;
    // Per session touched by the carving pass: its message count when last seen, whether
    // its messages were then in time order, and if so the messages by time.
    struct SessionOrder {
        int32_t count = -1;
        bool ordered = false;
        std::vector<WxMessageRecord*> byTime;
    };
    std::unordered_map<const WxSessionRecord*, SessionOrder> orderCache;
    SessionOrder& SyncOrder(WxSessionRecord* session);
};
