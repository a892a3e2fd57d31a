#pragma once
#include <cstdint>
#include <string>

// One media item of the WhatsApp store: location, contact cards, file and author.
struct WaMediaItemRow {
    int32_t pk = 0;
    double latitude = 0;
    double longitude = 0;
    std::string vCardText; // summary of the contact cards
    std::string localPath;
    std::string authorName;
    WaMediaItemRow* prev = nullptr;
    WaMediaItemRow* next = nullptr;
};
