#pragma once
// Shared scaffolding of the Messages and Contacts parser tests: a backup holding fixture
// databases, found through a manifest stand-in over device paths.
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/DevicePathManifest.h"
#include "tests/kit/FixtureDb.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace systest {

namespace fs = std::filesystem;

// A backup folder (flat, as below iOS 10) into which fixture databases are copied.
struct TestBackup {
    explicit TestBackup(const fs::path& root) : builder(root, kit::BackupBuilder::Generation::Mbdb) {}

    // Copies `source` into the backup as the stored file of HomeDomain/`relative`
    // ("/var/mobile/" + relative on the device).
    void Add(int category, const std::string& relative, const fs::path& source) {
        builder.AddFileFrom("HomeDomain", relative, source);
        parser.Add(category, "/var/mobile/" + relative, builder.StoredPath("HomeDomain", relative));
    }
    void AddBytes(int category, const std::string& relative, const std::string& bytes) {
        builder.AddFile("HomeDomain", relative, bytes);
        parser.Add(category, "/var/mobile/" + relative, builder.StoredPath("HomeDomain", relative));
    }
    fs::path StoredFile(const std::string& relative) const {
        return builder.root() / builder.StoredPath("HomeDomain", relative);
    }

    kit::BackupBuilder builder;
    kit::DevicePathManifest parser;
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
