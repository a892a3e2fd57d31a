#pragma once
// Test support for the system-app parsers: a device backup folder holding fixture
// databases at their device paths, a manifest stand-in that maps device paths to the
// stored paths, and the scan manager that owns the parser.
#include "core/IFileParser.h"
#include "scan/CScanManager.h"
#include "tests/kit/BackupBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace testsupport {

class DevicePathMap : public IFileParser {
  public:
    bool GetBackupFileName(int category, const char* devicePath, std::string* out) override {
        auto it = paths.find({category, devicePath ? devicePath : ""});
        if (it == paths.end()) return false;
        *out = it->second;
        return true;
    }
    const BackupEntryList* GetEntryList(int) override { return nullptr; }
    const WxAccountList* ScanWeChatAccounts() override { return nullptr; }
    const WxAccountList* GetWeChatAccounts() override { return nullptr; }
    const WaStoreList* ScanWhatsApp() override { return nullptr; }
    const WaStoreList* GetWhatsAppStores() override { return nullptr; }
    const std::vector<std::string>* GetReminderStores() override { return nullptr; }

    std::map<std::pair<int, std::string>, std::string> paths;
};

// A scratch folder per test with a "backup" and an "output" folder inside.
class SystemAppBackup {
  public:
    explicit SystemAppBackup(int iosVersion) : ios(iosVersion) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "_" + info->name();
        for (char& c : name)
            if (c == '/') c = '_';
        dir = std::filesystem::temp_directory_path() / ("sysapp_" + std::to_string(getpid())) / name;
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / "backup");
        std::filesystem::create_directories(dir / "output");
        builder = std::make_unique<kit::BackupBuilder>(
            dir / "backup", iosVersion >= 10 ? kit::BackupBuilder::Generation::ManifestDb
                                             : kit::BackupBuilder::Generation::Mbdb);
    }
    ~SystemAppBackup() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        std::filesystem::remove(dir.parent_path(), ec); // only when empty
    }

    // Where a fixture database is built before it goes into the backup.
    std::filesystem::path Scratch(const std::string& name) const { return dir / name; }

    // Puts a file into the backup and makes `devicePath` of `category` point at it.
    void Add(int category, const std::string& devicePath, const std::string& domain,
             const std::string& relativePath, const std::filesystem::path& source) {
        builder->AddFileFrom(domain, relativePath, source);
        files.paths[{category, devicePath}] = builder->StoredPath(domain, relativePath);
    }
    void AddBytes(int category, const std::string& devicePath, const std::string& domain,
                  const std::string& relativePath, const std::string& content) {
        builder->AddFile(domain, relativePath, content);
        files.paths[{category, devicePath}] = builder->StoredPath(domain, relativePath);
    }

    // The scan manager for one parser run (call after the files are added).
    CScanManager& Manager(uint32_t typeMask) {
        if (!finished) {
            builder->Finish();
            finished = true;
        }
        std::string backup = (dir / "backup").string() + "/";
        std::string output = (dir / "output").string() + "/";
        manager = std::make_unique<CScanManager>(static_cast<int>(typeMask), output.c_str(), backup.c_str(),
                                                 ios, nullptr, &files);
        return *manager;
    }

    std::filesystem::path BackupDir() const { return dir / "backup"; }

    int ios;
    std::filesystem::path dir;
    std::unique_ptr<kit::BackupBuilder> builder;
    DevicePathMap files;
    std::unique_ptr<CScanManager> manager;
    bool finished = false;
};

} // namespace testsupport
