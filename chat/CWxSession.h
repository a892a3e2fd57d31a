#pragma once
#include "chat/WxSummaryList.h"
#include "core/sqlite/CCommonInterFace.h"

#include <cstdint>
#include <string>

struct WxContactRecord;

// Reads the session files of one WeChat account: each names a chat partner (friend,
// official account or group with its members), which completes the account's contact
// list, and holds a summary of the chat's last message, kept for the chat parsers.
class CWxSession : public CCommonInterFace {
  public:
    CWxSession(IParserOwner* owner, int accountIndex);
    ~CWxSession() override;

    bool Scan();

    // Reads one session file's bytes: its contact part and, when `withSummary`, the
    // summary of its last message. False when no contact part was read.
    bool ParseFile(const uint8_t* data, size_t size, bool withSummary);

    // The contact a contact part describes (see the two readings), or null. Moves the
    // cursor and the remaining count past the part.
    WxContactRecord* ParseContactPart(const uint8_t** cursor, int32_t* remaining, bool firstReading);
    // The summary of a last-message part, or null.
    std::unique_ptr<WxSessionSummary> ParseLastMessagePart(WxContactRecord* peer, const uint8_t** cursor,
                                                           int32_t* remaining);

    WxSummaryList& Summaries() { return summaries; }
    int AccountIndex() const { return accountIndex; }

    bool PrepareTable() override { return false; }
    bool OnCarvedRecord(CarvedRecord*, int32_t) override { return false; }
    bool CheckCarvedValue(int32_t, uint32_t, CarvedValue*, uint32_t) override { return false; }

    // Address of parts A/B/C: "A" alone, else "A/" + ("B/" when B) + "C".
    static std::string JoinAddress(const std::string& a, const std::string& b, const std::string& c);

  private:
    struct Reading;
    WxContactRecord* ReadFirst(const uint8_t* p, int32_t n);
    WxContactRecord* ReadSecond(const uint8_t* p, int32_t n);
    // Resolves a user name: the live contact (reading ends), or a temporary record to fill.
    bool Resolve(Reading& r, const std::string& userName);
    void ReadMembers(Reading& r, const std::string& text);
    WxContactRecord* Finish(Reading& r);

    WxSummaryList summaries;
    int accountIndex = 0;
};
