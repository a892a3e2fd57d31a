#include "tests/kit/DevicePathManifest.h"

namespace kit {

void DevicePathManifest::Add(int category, const std::string& devicePath, const std::string& storedPath) {
    paths[{category, devicePath}] = storedPath;
}

bool DevicePathManifest::GetBackupFileName(int category, const char* devicePath, std::string* out) {
    ++lookups;
    auto it = paths.find({category, devicePath ? devicePath : ""});
    if (it == paths.end()) return false;
    *out = it->second;
    return true;
}

bool DevicePathManifest::GetLogFileName(const std::string& storedPath, std::string* out) {
    for (const auto& [key, stored] : paths) {
        if (stored != storedPath) continue;
        auto log = paths.find({key.first, key.second + "-wal"});
        if (log == paths.end()) return false;
        *out = log->second;
        return true;
    }
    return false;
}

const std::vector<std::string>* DevicePathManifest::GetReminderStores() {
    return noStoreList ? nullptr : &stores;
}

} // namespace kit
