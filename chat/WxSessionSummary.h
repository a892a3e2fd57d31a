#pragma once
#include <cstdint>
#include <string>

struct WxContactRecord;

// The last message of one session file, kept by the session parser for the chat
// parsers, which file it as a recovered message of its chat.
struct WxSessionSummary {
    int32_t flag = 1;
    uint64_t time = 0;                        // Unix seconds
    std::string sender;                       // user name of the sender
    std::string extraText;                    // read and kept, not used
    std::string content;                      // plain text or the XML of a rich message
    WxContactRecord* peer = nullptr;          // the chat; not owned
    WxContactRecord* senderContact = nullptr; // null when the sender is empty; not owned
    WxSessionSummary* prev = nullptr;
    WxSessionSummary* next = nullptr;
};
