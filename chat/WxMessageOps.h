#pragma once
// Operations on the message lists of WeChat sessions.
#include "core/records/RecordList.h"
#include "core/records/WxMessageRecord.h"

#include <cstdint>
#include <memory>

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

// True when the session holds a message of that time.
bool wxSessionHasTime(const WxSessionRecord& session, int64_t time);
