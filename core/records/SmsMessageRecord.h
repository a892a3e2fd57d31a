#pragma once
#include <cstdint>
#include <string>

// One message inside an SMS conversation.
struct SmsMessageRecord {
    bool deleted = false; // carved out of free space
    uint8_t type = 0;     // 1 = sent by the device owner, 0 = received
    std::string text;     // never empty
    int64_t date = 0;     // Unix seconds (0 or negative kept raw)
    SmsMessageRecord* prev = nullptr;
    SmsMessageRecord* next = nullptr;
};
