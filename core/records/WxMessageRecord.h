#pragma once
#include <cstdint>
#include <string>

// One WeChat message of a session.
struct WxMessageRecord {
    // What the direction (fromMe) and the sender rest on, weakest first. Where two copies
    // of one message meet, the stronger one decides them.
    enum class DirectionFrom : uint8_t {
        // Nothing stored says it: a search-index copy, which keeps no direction (fromMe
        // false, no sender).
        None,
        // A sender's user name stored beside the text: a session file's last message, a
        // local-store record, or the session-file message a search-index copy matched.
        SenderName,
        // A chat row: its Des, or the owner or a known member it names as group sender.
        StoredRow,
    };
    bool deleted = false; // recovered (carved row, session file, local-store file)
    int32_t accountIndex = 0;
    int32_t type = 0; // WeChat message type code (100001 red packet, 100002 file message)
    bool fromMe = false;
    int64_t time = 0; // Unix seconds
    std::string senderUserName;
    std::string senderDisplayName;
    std::string senderHeadUrl;
    std::string text;
    std::string mediaPath; // relative to the account folder
    std::string title;
    std::string url;
    std::string description;
    std::string thumbUrl;
    bool isVoiceCall = false;
    int32_t callDuration = 0; // seconds
    std::string locationLabel;
    std::string cardUserName;
    std::string cardNickName;
    std::string cardHeadUrl;
    std::string emojiText;
    uint32_t localId = 0; // MesLocalID of the chat row it was read from (0: not known)
    DirectionFrom directionFrom = DirectionFrom::None;
    WxMessageRecord* prev = nullptr;
    WxMessageRecord* next = nullptr;
};
