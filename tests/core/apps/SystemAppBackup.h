#pragma once
// Test support for the system-app parsers: a device backup folder holding fixture
// databases at their device paths, a manifest stand-in that maps device paths to the
// stored paths, and the scan manager that owns the parser.
#include "scan/engine/CScanManager.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/DevicePathManifest.h"
#include "tests/kit/ScratchFolder.h"

#include <filesystem>
#include <memory>
#include <string>

namespace testsupport {

// A scratch folder per test with a "backup" and an "output" folder inside.
class SystemAppBackup {
  public:
    explicit SystemAppBackup(int iosVersion) : ios(iosVersion), dir(scratch.path()) {
        std::filesystem::create_directories(dir / "backup");
        std::filesystem::create_directories(dir / "output");
        builder = std::make_unique<kit::BackupBuilder>(
            dir / "backup", iosVersion >= 10 ? kit::BackupBuilder::Generation::ManifestDb
                                             : kit::BackupBuilder::Generation::Mbdb);
    }

    // Where a fixture database is built before it goes into the backup.
    std::filesystem::path Scratch(const std::string& name) const { return dir / name; }

    // Puts a file into the backup and makes `devicePath` of `category` point at it.
    void Add(int category, const std::string& devicePath, const std::string& domain,
             const std::string& relativePath, const std::filesystem::path& source) {
        builder->AddFileFrom(domain, relativePath, source);
        files.Add(category, devicePath, builder->StoredPath(domain, relativePath));
    }
    void AddBytes(int category, const std::string& devicePath, const std::string& domain,
                  const std::string& relativePath, const std::string& content) {
        builder->AddFile(domain, relativePath, content);
        files.Add(category, devicePath, builder->StoredPath(domain, relativePath));
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
    kit::ScratchFolder scratch{"sysapp"};
    std::filesystem::path dir;
    std::unique_ptr<kit::BackupBuilder> builder;
    kit::DevicePathManifest files;
    std::unique_ptr<CScanManager> manager;
    bool finished = false;
};

} // namespace testsupport
