#pragma once
#include <cstdint>
#include <string>

// One WhatsApp message of a chat.
struct WaMessageRecord {
    bool deleted = false;   // carved
    bool fromMe = false;    // sent by the device owner
    bool eventFlag = false; // type 10000: the group event type was 1
    int32_t type = 0;
    int64_t date = 0; // Unix seconds
    std::string senderJid;
    std::string senderName;
    std::string text;
    std::string mediaPath;
    std::string mediaAuthor;
    std::string location;  // "[%f,%f]" of latitude and longitude
    std::string vCardText; // summary of the contact cards
    WaMessageRecord* prev = nullptr;
    WaMessageRecord* next = nullptr;
};
