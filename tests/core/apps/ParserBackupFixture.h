#pragma once
// A device backup holding one database, for the tests of the single-database parsers:
// the backup folder is written by kit::BackupBuilder (stored files in lower-case hex, in
// two-character subfolders from iOS 10) and a small manifest stand-in answers the
// parser's device-path lookups with the stored paths the builder used.
#include "scan/engine/CScanManager.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/DevicePathManifest.h"
#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>

namespace parsertest {

namespace fs = std::filesystem;

// Device path of a file of the home or wireless domain.
inline std::string devicePathOf(const std::string& domain, const std::string& relativePath) {
    if (domain == "WirelessDomain") return "/var/wireless/" + relativePath;
    return "/var/mobile/" + relativePath;
}

class TestBackup {
  public:
    TestBackup(kit::BackupBuilder::Generation generation, const std::string& productVersion)
        : dir(scratch.path()), builder(dir / "backup", generation) {
        builder.SetProductVersion(productVersion);
        fs::create_directories(dir / "out");
    }

    // Adds a database file (copied) and files it under a category.
    fs::path AddDb(int category, const std::string& domain, const std::string& relativePath,
                   const fs::path& source) {
        fs::path p = builder.AddFileFrom(domain, relativePath, source);
        manifest.Add(category, devicePathOf(domain, relativePath), builder.StoredPath(domain, relativePath));
        return p;
    }
    // Adds raw bytes as the database file.
    fs::path AddBytes(int category, const std::string& domain, const std::string& relativePath,
                      const std::string& bytes) {
        fs::path p = builder.AddFile(domain, relativePath, bytes);
        manifest.Add(category, devicePathOf(domain, relativePath), builder.StoredPath(domain, relativePath));
        return p;
    }
    void Finish() { builder.Finish(); }

    std::unique_ptr<CScanManager> Manager(int typeMask) {
        std::string root = builder.root().string() + "/";
        return std::make_unique<CScanManager>(typeMask, (dir / "out").string().c_str(), root.c_str(),
                                              builder.IosMajorVersion(), nullptr, &manifest);
    }

    kit::ScratchFolder scratch{"parsertest"};
    fs::path dir;
    kit::BackupBuilder builder;
    kit::DevicePathManifest manifest;
};

inline std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::string randomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng() & 0xff);
    return s;
}

// Overwrites `count` bytes at `offset` of a file with seeded random bytes.
inline void scribble(const fs::path& p, size_t offset, size_t count, uint32_t seed) {
    std::string bytes = readAll(p);
    std::string noise = randomBytes(count, seed);
    for (size_t i = 0; i < count && offset + i < bytes.size(); ++i)
        bytes[offset + i] = noise[i];
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

} // namespace parsertest
