#pragma once
#include <memory>
#include <string>
#include <vector>

struct BackupFileRecord;
struct WxAccountEntry;
struct WaStoreEntry;

using BackupEntryList = std::vector<BackupFileRecord*>;
using WxAccountList = std::vector<std::unique_ptr<WxAccountEntry>>;
using WaStoreList = std::vector<std::unique_ptr<WaStoreEntry>>;

// Categories under which the manifest reader files entries by device path.
enum BackupCategory {
    CategorySms = 1,
    CategoryAddressBook = 2,
    CategoryCallHistory = 3,
    CategoryNotes = 4,
    CategorySafari = 5,
    CategoryCalendar = 6,
    CategoryCalendarReminders = 7,
    CategoryMedia = 8,
    CategoryWeChat = 9,
    CategoryWhatsApp = 10,
};

// What the scan side sees of the backup manifest reader.
class IFileParser {
  public:
    // Stored path (relative to the backup root) of the first entry of `category` whose
    // device path is exactly `devicePath`. False, leaving `out` unchanged, when none.
    virtual bool GetBackupFileName(int category, const char* devicePath, std::string* out) = 0;
    // The entries of a category (1 to 10), or null.
    virtual const BackupEntryList* GetEntryList(int category) = 0;
    virtual const WxAccountList* ScanWeChatAccounts() = 0;
    virtual const WxAccountList* GetWeChatAccounts() = 0;
    virtual const WaStoreList* ScanWhatsApp() = 0;
    virtual const WaStoreList* GetWhatsAppStores() = 0;
    // Stored paths of the Reminders stores.
    virtual const std::vector<std::string>* GetReminderStores() = 0;
    // Stored path of the write-ahead log ("<device path>-wal") of the file stored at
    // `storedPath`; false, leaving `out` unchanged, when the manifest lists none.
    virtual bool GetLogFileName(const std::string& storedPath, std::string* out) {
        (void)storedPath;
        (void)out;
        return false;
    }

  protected:
    ~IFileParser() = default;
};
