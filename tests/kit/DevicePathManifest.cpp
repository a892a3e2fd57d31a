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

const std::vector<std::string>* DevicePathManifest::GetReminderStores() {
    return noStoreList ? nullptr : &stores;
}

} // namespace kit
