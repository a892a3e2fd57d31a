#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A file of a backup folder opened for reading, only when it is a regular file. A
// named pipe, a device or a socket in its place would block the open or the first
// read forever: the path is checked first, then opened without blocking and the
// descriptor checked again (the path may have changed in between). A symbolic link is
// never followed: a stored file that is a link would hand over a file from outside the
// backup. Every reader of backup files opens them through this class. Closed when the
// object goes.
class RegularFile {
  public:
    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;

    // False (nothing open) when the path is empty, missing, a symbolic link or not a
    // regular file.
    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }
    // Size when opened.
    uint64_t Size() const { return size_; }

    // Reads `length` bytes at `offset`; false on a short read.
    bool ReadAt(uint64_t offset, void* buffer, size_t length) const;
    // Reads the whole file into `out`; false when it is larger than `limit` or a read
    // fails. A file that shrank meanwhile keeps what was read.
    bool ReadAll(std::string& out, size_t limit) const;
    // Passes the descriptor on to the caller, who closes it; the object is closed.
    int Release();

    // True when `path` names a regular file (a symbolic link does not count, whatever
    // it points to).
    static bool IsRegular(const std::string& path);
    // True when `path` itself is a symbolic link.
    static bool IsLink(const std::string& path);
    // Copies a regular file to `target` (created or replaced). False, leaving no partial
    // copy behind, when the source is not a regular file or a write fails.
    static bool CopyTo(const std::string& source, const std::string& target);

  private:
    int fd_ = -1;
    uint64_t size_ = 0;
};
