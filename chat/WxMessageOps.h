#pragma once
// Operations on the message lists of WeChat sessions.
#include "chat/WxSecondIndex.h"
#include "core/records/RecordList.h"
#include "core/records/WxMessageRecord.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <unordered_map>

struct WxSessionRecord;

// Links `message` so that it gets the zero-based `position` (0 head, count tail). A
// negative position or one past the count changes nothing and returns false; `message`
// then stays with the caller.
bool wxMessageListInsert(RecordList<WxMessageRecord>& list, std::unique_ptr<WxMessageRecord>& message,
                         int32_t position);

// The duplicate test of a recovered message against a session: true when the session
// already holds the same message (which may then take over the new message's type and
// texts: a recovered red packet or app message upgrades a recovered text of the same
// second).
bool wxSessionHasSameMessage(WxSessionRecord& session, const WxMessageRecord& message);
// The same test against one message of the session of the same time (`existing`, which
// may take over the new message's type and texts as above).
bool wxIsSameMessage(WxMessageRecord& existing, const WxMessageRecord& message);

// The same test against the messages of one second of a session (in list order, the
// first decision winning), one by one while the second holds up to `oneByOne`, by key
// (wxRecoveredMessageFacets) once it holds more. LeftOut: an app message whose title
// begins more recovered texts of that second than one test looks at; it is a copy of one
// of them, but which one it would upgrade is not known, so it is left out (the caller
// counts it).
enum class WxSameInSecond { New, Same, LeftOut };
WxSameInSecond wxSecondHasSameMessage(WxSecondIndex& second, const WxMessageRecord& message,
                                      size_t oneByOne = WxSecondIndex::kOneByOne);
// The keys of the test above: every text, every type, the recovered texts and red-packet
// texts, and the titles of app messages.
void wxRecoveredMessageFacets(const WxMessageRecord& message, WxSecondIndex::Sink& sink);
// Different texts of a second beginning with an app message's title that one test looks at.
constexpr size_t kWxTitleCandidates = 64;

// True when the session holds a message of that time.
bool wxSessionHasTime(const WxSessionRecord& session, int64_t time);

// Earliest time a WeChat message can carry: 2011-01-01 00:00:00 UTC (WeChat did not
// exist before).
constexpr int64_t kWxEarliestMessageTime = 1293840000;
// Slack after the backup's date for a device clock ahead of the computer's that dated
// the backup.
constexpr int64_t kWxBackupDateSlack = 86400;

// Latest time a recovered message may carry: the backup's own date (Unix seconds, 0 when
// unknown) with a day's slack, else the scan's clock `now`.
int64_t wxLatestMessageTime(int64_t backupDate, int64_t now);

// True when a message text is readable: not empty nor blank, valid UTF-8, and free of
// control characters other than tab, line feed and carriage return.
bool wxIsReadableText(std::string_view text);

// The rule a message read from deleted data passes before it is listed: its time lies
// from kWxEarliestMessageTime up to `latest` (wxLatestMessageTime) and its stored text is
// readable. Fragments of other records fail it.
bool wxIsPlausibleRecoveredMessage(int64_t time, std::string_view text, int64_t latest);

// The messages of one session by time, built once for a run of look-ups and inserts:
// the messages of a second come from a hash index, in list order (a WxSecondIndex, so
// that the caller's rule can search a second of many by key), and an insert finds its
// place by a binary search over the running maximum of the times in list order (for a
// session in time order that is the time itself), so that it lands exactly where a walk
// from the head would put it. The index follows its own inserts; when the session's
// count changed behind its back it is built again.
class WxSessionTimeIndex {
  public:
    explicit WxSessionTimeIndex(WxSessionRecord& session);

    WxSessionRecord& Session() const { return *session; }
    // The messages of that second in list order until `visit` returns true.
    template <class F> void ForEachAt(int64_t time, F&& visit) {
        if (WxSecondIndex* second = At(time)) second->FirstWhere(visit);
    }
    // The messages of that second, or null when there are none.
    WxSecondIndex* At(int64_t time);
    bool HasTime(int64_t time);
    // Links `message` before the first message (from the head) whose time is the same
    // or later, or at the tail; returns it. It is the first of its second then.
    WxMessageRecord* InsertBeforeSameOrLater(std::unique_ptr<WxMessageRecord> message);

  private:
    void Sync();
    WxSessionRecord* session;
    int32_t seenCount = -1;
    bool orderBuilt = false;
    std::unordered_map<int64_t, WxSecondIndex> byTime;
    std::multimap<int64_t, WxMessageRecord*> byRunningMax; // in list order
};
