#pragma once
// Fakes shared by the scan manager tests: a progress receiver that records every call
// and a manifest reader with hand-made category, account and store lists.
#include "core/backup/BackupFileRecord.h"
#include "core/backup/IFileParser.h"
#include "core/backup/WaStoreEntry.h"
#include "core/backup/WxAccountEntry.h"
#include "core/records/IScanProgress.h"

#include "tests/kit/ScratchFolder.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace scantest {

struct Report {
    int dataType = 0;
    void* records = nullptr;
};

struct Progress {
    int dataType, stage, done, total, stepDone, stepTotal, accountIndex;
};

class RecordingProgress : public IScanProgress {
  public:
    void OnScanData(int dataType, void* records) override {
        reports.push_back({dataType, records});
        if (onData) onData(dataType);
    }
    void OnProgress(int dataType, int stage, int done, int total, int stepDone, int stepTotal,
                    int accountIndex) override {
        progress.push_back({dataType, stage, done, total, stepDone, stepTotal, accountIndex});
        if (onProgress) onProgress(progress.back());
    }
    std::vector<int> Types() const {
        std::vector<int> t;
        for (const Report& r : reports)
            t.push_back(r.dataType);
        return t;
    }

    std::vector<Report> reports;
    std::vector<Progress> progress;
    std::function<void(int)> onData;
    std::function<void(const Progress&)> onProgress;
};

class FakeFileParser : public IFileParser {
  public:
    // The backup folder (ending in '/') that holds a stored file, in both layouts, for
    // every entry added whose stored name is a digest: media are listed only when the
    // backup holds their file.
    std::string BackupDir() const { return folder.path().string() + "/"; }
    // Removes the stored files of an entry (a backup that lacks them).
    void RemoveStoredFile(const BackupFileRecord& rec) {
        std::error_code ec;
        for (int ios : {9, 14})
            std::filesystem::remove(folder.path() / rec.StoredPath(ios), ec);
    }
    // Adds an entry of a category; the device path is set as given.
    BackupFileRecord* Add(int category, const std::string& devicePath, int32_t ctime,
                          const std::string& storedName = "") {
        auto rec = std::make_unique<BackupFileRecord>("CameraRollDomain", devicePath, 0, ctime, ctime, ctime);
        rec->devicePath = devicePath;
        if (!storedName.empty()) rec->storedName = storedName;
        MakeStoredFile(*rec);
        lists[category].push_back(rec.get());
        owned.push_back(std::move(rec));
        return owned.back().get();
    }
    void AddAccount(int index) {
        auto a = std::make_unique<WxAccountEntry>();
        a->index = index;
        a->userName = "wxid_" + std::to_string(index);
        accounts.push_back(std::move(a));
        hasAccounts = true;
    }

    bool GetBackupFileName(int, const char*, std::string*) override { return false; }
    const BackupEntryList* GetEntryList(int category) override {
        auto it = lists.find(category);
        return it == lists.end() ? nullptr : &it->second;
    }
    const WxAccountList* ScanWeChatAccounts() override { return GetWeChatAccounts(); }
    const WxAccountList* GetWeChatAccounts() override {
        ++accountCalls;
        return hasAccounts ? &accounts : nullptr;
    }
    const WaStoreList* ScanWhatsApp() override { return GetWhatsAppStores(); }
    const WaStoreList* GetWhatsAppStores() override {
        ++storeCalls;
        return stores.empty() ? nullptr : &stores;
    }
    const std::vector<std::string>* GetReminderStores() override { return nullptr; }

    void MakeStoredFile(const BackupFileRecord& rec) {
        if (rec.storedName.empty() ||
            rec.storedName.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return;
        for (int ios : {9, 14}) {
            const std::filesystem::path p = folder.path() / rec.StoredPath(ios);
            std::error_code ec;
            std::filesystem::create_directories(p.parent_path(), ec);
            std::ofstream(p, std::ios::binary) << "stored";
        }
    }

    kit::ScratchFolder folder{"fakebackup"};
    std::map<int, BackupEntryList> lists;
    std::vector<std::unique_ptr<BackupFileRecord>> owned;
    WxAccountList accounts;
    bool hasAccounts = false;
    WaStoreList stores;
    int accountCalls = 0;
    int storeCalls = 0;
};

} // namespace scantest
