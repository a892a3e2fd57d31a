#pragma once
#include "chat/CWxFtsUser.h"
#include "chat/WxSecondIndex.h"
#include "core/sqlite/CCommonInterFace.h"
#include "core/util/TupleHash.h"

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

class CWxSession;
class WxSessionTimeIndex;
struct WxContactRecord;
struct WxMessageRecord;
struct WxSessionRecord;
struct WxSessionSummary;

// Reads the account's search index ("fts/fts_message.db"): its message tables (two
// column layouts) and its deletion list, and files every indexed message a chat does
// not hold yet as a recovered message; carved rows of the first message table too.
class CWxFtsChat : public CCommonInterFace {
  public:
    CWxFtsChat(IParserOwner* owner, CWxSession* session, int accountIndex);
    ~CWxFtsChat() override;

    bool Scan();
    // Rows read or carved from the index.
    int32_t EntryCount() const { return entryCount; }
    // Forgets the rows read (after the results are filed).
    void ClearEntries();

    // True when the messages of one second of a chat already hold an index row of that
    // second (its type, local id and text): a message of the same local id; for a red
    // packet another red packet; else a text the row's text matches (its first third, or
    // its part before the first comma) or an app message whose title or link it matches.
    // Failing those, a recovered text of that second that the row's text continues (cut
    // short where the index holds all of it) takes the whole text and holds the row; the
    // first such in list order. A second of more than `oneByOne` messages is searched by
    // key (RowFacets).
    static bool SecondHoldsRow(WxSecondIndex& second, int32_t type, int32_t localId, const std::string& text,
                               size_t oneByOne = WxSecondIndex::kOneByOne);
    static void RowFacets(const WxMessageRecord& message, WxSecondIndex::Sink& sink);

    bool PrepareTable() override;
    bool OnCarvedRecord(CarvedRecord* record, int32_t rowid) override;
    bool CheckCarvedValue(int32_t column, uint32_t kind, CarvedValue* value, uint32_t size) override;

  private:
    struct Row {
        int32_t type = 1;
        int32_t userNameId = 0;
        int32_t localId = 0;
        int64_t time = 0;
        std::string text;
        WxContactRecord* contact = nullptr;
        WxSessionSummary* summary = nullptr;
    };
    void ReadDeletedIds();
    void ReadContents();
    void NoteRow(const Row& row);
    void AddToSession(const Row& row, WxSessionRecord* session);
    void AddCarvedToSession(const Row& row);
    std::unique_ptr<WxMessageRecord> BuildMessage(const Row& row);
    WxSessionSummary* FindSummary(int64_t time, const std::string& text) const;
    // The time index of a session, built on first use and kept for the whole run.
    WxSessionTimeIndex& TimeIndex(WxSessionRecord* session);
    // True when one of the peer's sessions holds a message of that second.
    bool PeerHasTime(const WxContactRecord* peer, int64_t time);
    // True when the session already holds the row's message (SecondHoldsRow).
    bool SessionHolds(WxSessionRecord* session, const Row& row);
    bool PeerHolds(const WxContactRecord* peer, const Row& row);

    CWxSession* session = nullptr;
    std::unique_ptr<CWxFtsUser> users;
    int accountIndex = 0;
    int32_t entryCount = 0;
    std::unordered_set<std::tuple<int64_t, int32_t, int32_t>, TupleHash> rowKeys; // time, user id, local id
    std::unordered_set<std::tuple<int32_t, int32_t>, TupleHash> deletedIds;
    std::unordered_map<const WxSessionRecord*, std::unique_ptr<WxSessionTimeIndex>> timeIndexes;
    int colUser = -1, colLocalId = -1, colTime = -1, colMessage = -1;
    int64_t now = 0;
};
