#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// A file of a backup folder opened for reading, only when it is a regular file. A
// named pipe, a device or a socket in its place would block the open or the first
// read forever: what is at the path is checked first, then opened without blocking and
// the descriptor checked again (the path may have changed in between). A stored file is
// opened relative to its backup folder, one folder at a time, and no symbolic link below
// that folder is followed: a link among the stored files or in place of a two-character
// folder would hand over a file from outside the backup. Every reader of backup files
// opens them through this class. Closed when the object goes.
class RegularFile {
  public:
    // What a look at a stored path found.
    enum class Kind {
        Regular, // a regular file
        Missing, // nothing there (or a folder on the way is missing)
        Link,    // a symbolic link, at the file or at a folder on the way
        Other,   // a folder, a pipe, a device, a socket, or a path that leaves the folder
    };

    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;

    // Opens `relative`, a path below the folder `root` (a backup folder). `root` itself
    // may be reached through links (the user chose it); below it no link is followed, and
    // "." or ".." is refused. False (nothing open) unless a regular file is there;
    // `found` (when given) tells what was there.
    bool OpenStored(const std::string& root, const std::string& relative, Kind* found = nullptr);
    // Opens a stored file named by its full path: the backup folder is taken to be what
    // precedes the stored name and, when the name sits in a folder named by its first two
    // characters (as from iOS 10), that folder. Paths of other shapes guard their last
    // component only.
    bool OpenStoredPath(const std::string& path, Kind* found = nullptr);
    // Opens a file of one of our own folders: the folders on the way may be links, the
    // file itself may not.
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

    // Bytes of the file (up to its size when opened) that hold data: the holes of a
    // sparse file are not counted.
    uint64_t DataBytes() const;
    // Copies the file, up to its size when opened, to a new file `target` (an existing
    // one is replaced): only its data is written, its holes stay holes. False, leaving no
    // partial copy behind, when a read or a write fails, the file shrank, or `stop` is
    // set meanwhile.
    bool CopyTo(const std::string& target, const std::atomic<bool>* stop = nullptr) const;

    // What is at `relative` below `root`, by the rules of OpenStored; nothing is opened.
    static Kind Probe(const std::string& root, const std::string& relative);
    // Bytes an unprivileged writer may still put into the file system of `folder`;
    // nothing when it cannot be told.
    static std::optional<uint64_t> FreeBytes(const std::string& folder);

  private:
    bool OpenAt(int folder, const std::string& name, Kind* found);

    int fd_ = -1;
    uint64_t size_ = 0;
};
