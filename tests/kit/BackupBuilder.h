#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kit {

// Writes a device backup folder of either generation for tests:
//  - Mbdb: "Manifest.mbdb" (iOS 9 and older), stored files flat in the folder;
//  - ManifestDb: "Manifest.db" with its "Files" table and binary-plist "file" blobs
//    (iOS 10 and newer), stored files in two-character subfolders.
// Stored files are named in lower-case hex, as real backups are. "Info.plist" and
// "Manifest.plist" are written through libplist.
class BackupBuilder {
  public:
    enum class Generation { Mbdb, ManifestDb };

    BackupBuilder(const std::filesystem::path& root, Generation generation);

    // Adds a file with content; returns its full path on disk. mtime/atime/ctime are
    // Unix seconds written into the manifest.
    std::filesystem::path AddFile(const std::string& domain, const std::string& relativePath,
                                  const std::string& content, int32_t mtime = 1500000000,
                                  int32_t atime = 1500000000, int32_t ctime = 1500000000);
    // Copies an existing file (for example a FixtureDb) into the backup.
    std::filesystem::path AddFileFrom(const std::string& domain, const std::string& relativePath,
                                      const std::filesystem::path& source, int32_t mtime = 1500000000,
                                      int32_t atime = 1500000000, int32_t ctime = 1500000000);
    // Adds a manifest entry without a stored file (a folder: size 0).
    void AddFolder(const std::string& domain, const std::string& relativePath);

    // Info.plist / Manifest.plist values.
    void SetProductVersion(const std::string& version); // default "9.3.5" (Mbdb) or "14.2" (ManifestDb)
    void SetDevice(const std::string& name, const std::string& udid, const std::string& serial,
                   const std::string& productType);
    void SetEncrypted(bool encrypted);

    // Writes the manifest, Info.plist and Manifest.plist. Call once, after the files.
    void Finish();

    const std::filesystem::path& root() const { return root_; }
    // Full path of the manifest Finish writes.
    std::filesystem::path ManifestPath() const;
    // iOS major version from the product version.
    int IosMajorVersion() const;
    // The stored path (relative to the root) of a domain and relative path.
    std::string StoredPath(const std::string& domain, const std::string& relativePath) const;

    struct Entry {
        std::string domain, relativePath;
        uint64_t size = 0;
        int32_t mtime = 0, atime = 0, ctime = 0;
    };

  private:
    std::filesystem::path root_;
    Generation generation_;
    std::vector<Entry> entries_;
    std::string productVersion_;
    std::string name_ = "Test iPhone", udid_ = "00008030-001a2b3c4d5e6f70", serial_ = "F2LTEST0001",
                productType_ = "iPhone12,1";
    bool encrypted_ = false;
};

// Raw bytes of a "Manifest.mbdb" for the given entries (for tests of damaged files).
std::string buildMbdbBytes(const std::vector<BackupBuilder::Entry>& entries);

// The "file" blob of a "Manifest.db" row: a binary-plist keyed archive whose
// "$objects"[1] holds Size, LastModified, LastStatusChange and Birth.
std::string buildManifestFileBlob(const BackupBuilder::Entry& entry);

// Writes a "Manifest.db" with the given rows ("fileID" in lower-case hex, the "file"
// blob from buildManifestFileBlob; a size of 0 marks a folder). Replaces the file.
void writeManifestDb(const std::filesystem::path& path, const std::vector<BackupBuilder::Entry>& entries);

} // namespace kit
