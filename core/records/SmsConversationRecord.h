#pragma once
#include "core/records/RecordList.h"
#include "core/records/SmsMessageRecord.h"

#include <cstdint>
#include <string>

// One SMS conversation: all messages exchanged with one address.
struct SmsConversationRecord {
    bool deleted = false;                  // true when at least one message is a deleted one
    std::string address;                   // digits only after the phone clean-up; may be empty
    std::string contactName;               // the contact's name for the address, or empty
    RecordList<SmsMessageRecord> messages; // deleted first (newest first), then live (newest first)
    int64_t handleId = 0;                  // handle_id of the messages (0 for the old schema); full width
    SmsConversationRecord* prev = nullptr;
    SmsConversationRecord* next = nullptr;
};
