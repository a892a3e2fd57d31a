#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A regular file mapped read-only into memory, unmapped when the object goes. A stored
// file of a backup is opened by RegularFile::OpenStoredPath (no link below the backup
// folder followed, never blocking on a pipe).
class MappedFile {
  public:
    static constexpr size_t kDefaultLimit = size_t(1) << 30;

    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Maps the file. False when it does not open, is not a regular file or is larger
    // than `limit`. An empty file maps to no bytes and succeeds.
    bool Open(const std::string& path, size_t limit = kDefaultLimit);
    void Close();

    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    void* map_ = nullptr;
};
