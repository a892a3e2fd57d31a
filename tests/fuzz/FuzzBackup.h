#pragma once
// A one-file backup for the fuzz targets: a folder of this process under TMPDIR whose
// only stored file holds the input, and a manifest stand-in that answers every device
// path of every category with that file. Header-only: the fuzz programs link the
// scan libraries, not the test kit.
#include "core/backup/IFileParser.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

class FuzzBackup : public IFileParser {
  public:
    static constexpr const char* kStored = "fuzzinput";

    FuzzBackup() {
        const char* tmp = std::getenv("TMPDIR");
        root = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_backup_" + std::to_string(::getpid()) + "/";
        std::filesystem::create_directories(root);
        output = root + "out/";
        std::filesystem::create_directories(output);
    }
    ~FuzzBackup() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    FuzzBackup(const FuzzBackup&) = delete;
    FuzzBackup& operator=(const FuzzBackup&) = delete;

    // One per process: the fuzz programs run every input through the same folder.
    static FuzzBackup& Instance() {
        static FuzzBackup backup;
        return backup;
    }

    // Writes the input as the stored file (or as `name` beside it); false on a write error.
    bool Write(const uint8_t* data, size_t size, const std::string& name = kStored) const {
        return WriteFile(root + name, data, size);
    }
    // Writes the input as the file at `path` (created or emptied); false on a write error.
    static bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        size_t done = 0;
        while (done < size) {
            ssize_t w = ::write(fd, data + done, size - done);
            if (w <= 0) break;
            done += size_t(w);
        }
        ::close(fd);
        return done == size;
    }
    // Empties the scan's output folder (contact photos and the like).
    void ClearOutput() const {
        std::error_code ec;
        std::filesystem::remove_all(output, ec);
        std::filesystem::create_directories(output, ec);
    }

    const std::string& Root() const { return root; }
    const std::string& Output() const { return output; }

    bool GetBackupFileName(int, const char*, std::string* out) override {
        *out = kStored;
        return true;
    }
    const BackupEntryList* GetEntryList(int) override { return nullptr; }
    const WxAccountList* ScanWeChatAccounts() override { return nullptr; }
    const WxAccountList* GetWeChatAccounts() override { return nullptr; }
    const WaStoreList* ScanWhatsApp() override { return nullptr; }
    const WaStoreList* GetWhatsAppStores() override { return nullptr; }
    const std::vector<std::string>* GetReminderStores() override { return &stores; }

  private:
    std::string root, output;
    std::vector<std::string> stores{kStored};
};
