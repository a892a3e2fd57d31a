#pragma once
#include "core/backup/BackupFileRecord.h"
#include "core/backup/DevicePathIndex.h"
#include "core/backup/IFileParser.h"
#include "core/backup/WaStoreEntry.h"
#include "core/backup/WxAccountEntry.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

// Reads the manifest of one device backup ("Manifest.mbdb" up to iOS 9, "Manifest.db"
// from iOS 10) into BackupFileRecord entries filed by BackupCategory.
class CMbdbFileParser : public IFileParser {
  public:
    using ProgressCallback = std::function<void(int percent)>;

    CMbdbFileParser();
    virtual ~CMbdbFileParser();

    bool Open(const char* manifestPath, const char* backupRoot, int iosMajorVersion,
              ProgressCallback progress = nullptr);
    void Clear();

    bool GetBackupFileName(int category, const char* devicePath, std::string* out) override;
    std::string GetBackupFilePath(int category, const char* devicePath);
    const BackupEntryList* GetEntryList(int category) override;
    const WxAccountList* ScanWeChatAccounts() override;
    const WxAccountList* GetWeChatAccounts() override;
    const WaStoreList* ScanWhatsApp() override;
    const WaStoreList* GetWhatsAppStores() override;
    const std::vector<std::string>* GetReminderStores() override;
    bool GetLogFileName(const std::string& storedPath, std::string* out) override;

    const WxAccountEntry* FindAccount(int index) const;
    // Address (ending in '/') of the WeChat avatar image host that account discovery
    // takes avatar URLs from; empty (the default) takes none.
    void SetWxAvatarPrefix(const std::string& prefix) { wxAvatarPrefix = prefix; }
    const WaStoreEntry* FirstWhatsAppStore() const;

    // Every record created by the last Open, in manifest order.
    const std::vector<std::unique_ptr<BackupFileRecord>>& AllEntries() const { return allEntries; }
    int IosMajorVersion() const { return iosMajorVersion; }
    // Rows of the last Manifest.db read whose "file" blob could not be decoded (kept when
    // their flags say file, dropped otherwise), those whose names were read back from the
    // table's indexes included.
    int UndecodedFileRows() const { return undecodedFileRows; }
    // Rows of the last Manifest.db read that SQLite could not read (damaged records):
    // stepped over, left unread after a damage that could not be stepped past, or come
    // back without their names where no index of the table holds them. The rows around
    // them are read.
    int SkippedFileRows() const { return skippedFileRows; }
    const std::string& BackupRoot() const { return backupRoot; }

  private:
    bool ParseMbdb(const std::vector<uint8_t>& data, const ProgressCallback& progress);
    bool ParseDatabase(const char* path, const ProgressCallback& progress);
    void AddEntry(std::unique_ptr<BackupFileRecord> record);
    void FileEntry(BackupFileRecord* record);
    void ReleaseEntries();
    // Appends to the lists of `category` (see FileEntry); with claimPath also to its
    // device-path index.
    void AddToLists(BackupFileRecord* record, int category, bool claimPath);

    BackupEntryList categoryLists[10];
    // Per category: device path -> first entry with it (records that allEntries owns).
    DevicePathIndex categoryIndex[10];
    std::vector<std::string> reminderStores;
    WxAccountList wxAccounts;
    std::string wxAvatarPrefix;
    WaStoreList waStores;
    std::vector<std::unique_ptr<BackupFileRecord>> allEntries;
    // Stored name (upper case) -> entry, built on the first log lookup.
    std::unordered_map<std::string, const BackupFileRecord*> byStoredName;
    std::atomic<bool> cleared{false};
    int iosMajorVersion = 0;
    int undecodedFileRows = 0;
    int skippedFileRows = 0;
    std::string backupRoot;
};
