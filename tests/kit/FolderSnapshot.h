#pragma once
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

namespace kit {

// Names, sizes, modification times and content hashes of a root folder and of every file and
// folder under it, to assert that an operation left a backup folder exactly as it was.
class FolderSnapshot {
  public:
    struct Entry {
        bool isDirectory = false;
        uint64_t size = 0;
        int64_t mtimeNs = 0;
        uint64_t contentHash = 0;
        bool operator==(const Entry&) const = default;
    };

    static FolderSnapshot Take(const std::filesystem::path& root);
    // Human-readable differences ("added x", "changed y", "removed z"); empty when equal.
    std::string DiffFrom(const FolderSnapshot& before) const;
    bool operator==(const FolderSnapshot& o) const { return entries == o.entries; }

    std::map<std::string, Entry> entries; // by path relative to the root
};

} // namespace kit

// Usage: auto before = kit::FolderSnapshot::Take(dir); ...;
//        EXPECT_EQ("", kit::FolderSnapshot::Take(dir).DiffFrom(before));
