#pragma once
#include "core/backup/IFileParser.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kit {

// Stand-in for the backup manifest reader in parser tests: answers the device-path
// lookups of a category with the stored paths a test filed, and hands out the Reminders
// store list a test filled. Every other list is absent.
class DevicePathManifest : public IFileParser {
  public:
    // Files `devicePath` of `category` under `storedPath` (relative to the backup root);
    // a second call for the same path replaces the first.
    void Add(int category, const std::string& devicePath, const std::string& storedPath);

    bool GetBackupFileName(int category, const char* devicePath, std::string* out) override;
    const BackupEntryList* GetEntryList(int) override { return nullptr; }
    const WxAccountList* ScanWeChatAccounts() override { return nullptr; }
    const WxAccountList* GetWeChatAccounts() override { return nullptr; }
    const WaStoreList* ScanWhatsApp() override { return nullptr; }
    const WaStoreList* GetWhatsAppStores() override { return nullptr; }
    // `stores`, or null when `noStoreList` is set.
    const std::vector<std::string>* GetReminderStores() override;
    // The stored path filed under the same category for "<device path>-wal".
    bool GetLogFileName(const std::string& storedPath, std::string* out) override;

    std::vector<std::string> stores; // stored paths of the Reminders stores
    bool noStoreList = false;
    int lookups = 0; // calls of GetBackupFileName

  private:
    std::map<std::pair<int, std::string>, std::string> paths;
};

} // namespace kit
