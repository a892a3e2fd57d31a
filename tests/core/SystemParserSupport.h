#pragma once
// Shared scaffolding of the Messages and Contacts parser tests: a temporary folder, a
// manifest reader over device paths, and a backup holding fixture databases.
#include "core/IFileParser.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FixtureDb.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace systest {

namespace fs = std::filesystem;

class TempFolder {
  public:
    TempFolder() {
        std::string tmpl = (fs::temp_directory_path() / "sysparser-XXXXXX").string();
        if (char* p = mkdtemp(tmpl.data())) path_ = p;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// Maps device paths to stored paths, as the manifest reader does.
class DevicePathParser : public IFileParser {
  public:
    bool GetBackupFileName(int category, const char* devicePath, std::string* out) override {
        ++lookups;
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
    int lookups = 0;
};

// A backup folder (flat, as below iOS 10) into which fixture databases are copied.
struct TestBackup {
    explicit TestBackup(const fs::path& root) : builder(root, kit::BackupBuilder::Generation::Mbdb) {}

    // Copies `source` into the backup as the stored file of HomeDomain/`relative`
    // ("/var/mobile/" + relative on the device).
    void Add(int category, const std::string& relative, const fs::path& source) {
        builder.AddFileFrom("HomeDomain", relative, source);
        parser.paths[{category, "/var/mobile/" + relative}] = builder.StoredPath("HomeDomain", relative);
    }
    void AddBytes(int category, const std::string& relative, const std::string& bytes) {
        builder.AddFile("HomeDomain", relative, bytes);
        parser.paths[{category, "/var/mobile/" + relative}] = builder.StoredPath("HomeDomain", relative);
    }
    fs::path StoredFile(const std::string& relative) const {
        return builder.root() / builder.StoredPath("HomeDomain", relative);
    }

    kit::BackupBuilder builder;
    DevicePathParser parser;
};

inline std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Deterministic garbage.
inline std::string noise(size_t n, uint32_t seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        s[i] = static_cast<char>(seed >> 24);
    }
    return s;
}

} // namespace systest
