#pragma once
#include "core/records/RecordList.h"

#include <cstdint>
#include <string>
#include <unordered_map>

// One WhatsApp chat session of the store, a push name (jid and name only), or a member
// of a group session (pk, jid and display name).
struct WaSessionRow {
    int32_t sessionType = 0; // 0 one-to-one, 1 group, 2 created for an unknown session
    int32_t pk = 0;
    std::string jid;
    std::string name;
    RecordList<WaSessionRow> members;
    // The first member of each pk.
    std::unordered_map<int32_t, const WaSessionRow*> memberByPk;
    WaSessionRow* prev = nullptr;
    WaSessionRow* next = nullptr;
};
