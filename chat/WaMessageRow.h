#pragma once
#include <cstdint>
#include <string>

// One WhatsApp message as read from the store (live or carved), before it is filed into
// its chat.
struct WaMessageRow {
    bool deleted = false; // carved
    bool fromMe = false;
    int64_t date = 0; // Unix seconds
    int32_t chatSession = 0;
    int32_t messageType = 0;
    int32_t mediaItem = 0;
    int32_t groupMember = 0;
    int32_t groupEventType = 0;
    std::string stanzaId;
    std::string fromJid;
    std::string text;
    WaMessageRow* prev = nullptr;
    WaMessageRow* next = nullptr;
};
