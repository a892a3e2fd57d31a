#pragma once
#include "core/records/RecordList.h"
#include "core/records/WaMessageRecord.h"

#include <cstdint>
#include <string>

// One WhatsApp conversation with its messages.
struct WaChatRecord {
    bool deleted = false;    // at least one of its messages was carved
    int32_t sessionType = 0; // 0 one-to-one, 1 group, 2 unknown session
    int32_t sessionPk = 0;
    std::string jid;  // empty for an unknown session
    std::string name; // partner name, or the running number of an unknown session
    RecordList<WaMessageRecord> messages;
    WaChatRecord* prev = nullptr;
    WaChatRecord* next = nullptr;
};
