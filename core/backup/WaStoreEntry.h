#pragma once
#include <cstdint>
#include <string>

// One WhatsApp chat store ("ChatStorage.sqlite") found in a backup.
struct WaStoreEntry {
    int32_t index = 0;
    std::string folder;     // device path of the folder, with its trailing slash
    std::string storedPath; // relative to the backup root
};
