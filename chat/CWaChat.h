#pragma once
#include "chat/WaMediaItemRow.h"
#include "chat/WaMessageRow.h"
#include "chat/WaSessionRow.h"
#include "core/sqlite/CCommonInterFace.h"
#include "core/records/RecordList.h"
#include "core/util/TupleHash.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct WaChatRecord;

// Reads the WhatsApp message store "ChatStorage.sqlite" of a backup (the first store
// the manifest reader lists): live sessions, push names, group members, messages and
// media items through SQL, deleted messages through the carver. Builds one chat per
// session with its messages into the owner's WhatsApp chat list: chats in the order of
// their first message, live messages by session and date, carved ones after them.
class CWaChat : public CCommonInterFace {
  public:
    explicit CWaChat(IParserOwner* owner);
    ~CWaChat() override;

    // False when there is no owner, the scan is cancelled, the backup has no store or it
    // does not open.
    bool Scan();

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

    // The summary of the contact cards of a vCard text: per card its name, then "(",
    // up to three numbers starting with '+' each followed by ";", and ") ". Empty when
    // the text holds no "END:VCARD".
    static std::string parseVCards(std::string_view text);
    // "[latitude,longitude]" with six decimals, whatever the process locale.
    static std::string locationText(double latitude, double longitude);

  private:
    void ReadLive();
    void ReadSessions();
    void ReadPushNames();
    void ReadGroupMembers();
    void ReadMessages();
    void ReadMediaItems();
    void CarveDeleted();
    void BuildRecords();
    void BuildMessage(const WaMessageRow& row);
    void AppendMessageRow(std::unique_ptr<WaMessageRow> row);
    void ClearRows();

    RecordList<WaMessageRow> messageRows; // live rows, then carved rows
    RecordList<WaMediaItemRow> mediaItems;
    RecordList<WaSessionRow> sessions;
    RecordList<WaSessionRow> pushNames;
    RecordList<WaSessionRow> unknownSessions;

    // Look-ups (first row of each key; views of the rows' own strings).
    std::unordered_set<std::tuple<int64_t, std::string_view>, TupleHash> messageKeys; // date, stanza id
    std::unordered_map<int32_t, WaSessionRow*> sessionByPk; // sessions and unknown sessions
    std::unordered_map<int32_t, WaSessionRow*> groupByPk;   // group sessions
    std::unordered_map<std::string_view, const WaSessionRow*> sessionByJid;
    std::unordered_map<std::string_view, const WaSessionRow*> pushNameByJid;
    std::unordered_map<int32_t, const WaMediaItemRow*> mediaByPk;
    std::unordered_map<int32_t, WaChatRecord*> chatBySession;

    int32_t chatSessionColumn = -1;
    int32_t messageTypeColumn = -1;
    int32_t isFromMeColumn = -1;
    int32_t messageDateColumn = -1;
    int32_t groupEventTypeColumn = -1;
    int32_t mediaItemColumn = -1;
    int32_t fromJidColumn = -1;
    int32_t textColumn = -1;
    int32_t stanzaIdColumn = -1;
    int32_t groupMemberColumn = -1;
};
