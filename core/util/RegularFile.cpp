#include "core/util/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

// A descriptor closed when it goes.
struct OwnedFd {
    int fd = -1;
    explicit OwnedFd(int fd) : fd(fd) {}
    ~OwnedFd() {
        if (fd >= 0) ::close(fd);
    }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
};

// The components of a path below a folder; false when there is none, or one of them
// would leave the folder or stay on it ("..", ".").
bool splitBelow(const std::string& relative, std::vector<std::string>& parts) {
    parts.clear();
    size_t at = 0;
    while (at <= relative.size()) {
        size_t end = relative.find('/', at);
        if (end == std::string::npos) end = relative.size();
        if (end > at) {
            std::string part = relative.substr(at, end - at);
            if (part == "." || part == "..") return false;
            parts.push_back(std::move(part));
        }
        at = end + 1;
    }
    return !parts.empty();
}

// What `name` in the open folder is, without following it.
RegularFile::Kind kindAt(int folder, const char* name) {
    struct stat st {};
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT || errno == ENOTDIR ? RegularFile::Kind::Missing : RegularFile::Kind::Other;
    if (S_ISLNK(st.st_mode)) return RegularFile::Kind::Link;
    if (S_ISREG(st.st_mode)) return RegularFile::Kind::Regular;
    return RegularFile::Kind::Other;
}

// Opens `root` (links followed) and the folders of `parts` but the last below it, none
// of them through a link; the descriptor of the last folder, or -1 with `found` set.
int openFolders(const std::string& root, const std::vector<std::string>& parts, RegularFile::Kind* found) {
    // O_DIRECTORY: a pipe in the folder's place is refused before it is opened.
    int folder = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        *found = errno == ENOENT ? RegularFile::Kind::Missing : RegularFile::Kind::Other;
        return -1;
    }
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const int next = ::openat(folder, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) {
            const RegularFile::Kind kind = kindAt(folder, parts[i].c_str());
            *found = kind == RegularFile::Kind::Regular ? RegularFile::Kind::Other : kind;
            ::close(folder);
            return -1;
        }
        ::close(folder);
        folder = next;
    }
    return folder;
}

// Splits a path into its folder (links followed) and its last component.
void splitLast(const std::string& path, std::string& folder, std::string& name) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
}

} // namespace

RegularFile::~RegularFile() {
    Close();
}

RegularFile::RegularFile(RegularFile&& other) noexcept : fd_(other.fd_), size_(other.size_) {
    other.fd_ = -1;
    other.size_ = 0;
}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        size_ = other.size_;
        other.fd_ = -1;
        other.size_ = 0;
    }
    return *this;
}

void RegularFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

int RegularFile::Release() {
    const int fd = fd_;
    fd_ = -1;
    size_ = 0;
    return fd;
}

bool RegularFile::OpenAt(int folder, const std::string& name, Kind* found) {
    // Only what is a regular file now is opened at all (opening a device may act on it).
    *found = kindAt(folder, name.c_str());
    if (*found != Kind::Regular) return false;
    // O_NONBLOCK: should a pipe take the file's place after the look, the open returns
    // at once instead of waiting for a writer; fstat then refuses it.
    // O_NOFOLLOW: a link put in the file's place after the look is refused too.
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) {
        *found = errno == ENOENT ? Kind::Missing : errno == ELOOP ? Kind::Link : Kind::Other;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        *found = Kind::Other;
        return false;
    }
    // Regular files never block; the flag is cleared for the readers that follow.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    size_ = uint64_t(st.st_size);
    return true;
}

bool RegularFile::OpenStored(const std::string& root, const std::string& relative, Kind* found) {
    Close();
    Kind kind = Kind::Other;
    std::vector<std::string> parts;
    bool ok = false;
    if (!root.empty() && splitBelow(relative, parts)) {
        const OwnedFd folder(openFolders(root, parts, &kind));
        ok = folder.fd >= 0 && OpenAt(folder.fd, parts.back(), &kind);
    }
    if (found) *found = kind;
    return ok;
}

bool RegularFile::OpenStoredPath(const std::string& path, Kind* found) {
    std::string folder, name;
    splitLast(path, folder, name);
    const size_t slash = folder.rfind('/');
    if (slash != std::string::npos && folder.size() - slash - 1 == 2 && name.size() > 2 &&
        name.compare(0, 2, folder, slash + 1, 2) == 0) {
        // "<backup>/ab/ab…": the two-character folder lies below the backup folder.
        const std::string sub = folder.substr(slash + 1);
        return OpenStored(slash == 0 ? "/" : folder.substr(0, slash), sub + "/" + name, found);
    }
    return OpenStored(folder, name, found);
}

bool RegularFile::Open(const std::string& path) {
    std::string folder, name;
    splitLast(path, folder, name);
    return OpenStored(folder, name);
}

RegularFile::Kind RegularFile::Probe(const std::string& root, const std::string& relative) {
    std::vector<std::string> parts;
    if (root.empty() || !splitBelow(relative, parts)) return Kind::Other;
    Kind kind = Kind::Other;
    const OwnedFd folder(openFolders(root, parts, &kind));
    return folder.fd >= 0 ? kindAt(folder.fd, parts.back().c_str()) : kind;
}

bool RegularFile::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    if (fd_ < 0 || (!buffer && length > 0)) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < length) {
        const ssize_t r = ::pread(fd_, out + done, length - done, off_t(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += size_t(r);
    }
    return true;
}

bool RegularFile::ReadAll(std::string& out, size_t limit) const {
    out.clear();
    if (fd_ < 0 || size_ > limit) return false;
    out.resize(size_t(size_));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t r = ::pread(fd_, out.data() + done, out.size() - done, off_t(done));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            out.clear();
            return false;
        }
        if (r == 0) break;
        done += size_t(r);
    }
    out.resize(done);
    return true;
}

uint64_t RegularFile::DataBytes() const {
    if (fd_ < 0) return 0;
    uint64_t total = 0;
    uint64_t at = 0;
    while (at < size_) {
        const off_t data = ::lseek(fd_, off_t(at), SEEK_DATA);
        if (data < 0) {
            // ENXIO: no data after `at`; anything else: the file system keeps no holes.
            if (errno != ENXIO) total += size_ - at;
            break;
        }
        if (uint64_t(data) >= size_) break;
        const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
        const uint64_t end = hole <= data ? size_ : std::min(size_, uint64_t(hole));
        total += end - uint64_t(data);
        at = end;
    }
    return total;
}

bool RegularFile::CopyTo(const std::string& target, const std::atomic<bool>* stop) const {
    if (fd_ < 0 || target.empty()) return false;
    std::remove(target.c_str());
    const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (out < 0) return false;
    std::vector<char> buffer(size_t(1) << 20);
    bool ok = true;
    uint64_t at = 0;
    // One run of data at a time: the holes between runs are not written.
    while (ok && at < size_) {
        off_t data = ::lseek(fd_, off_t(at), SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO) break; // only a hole is left
            data = off_t(at);          // no holes known here: all of it is data
        }
        if (uint64_t(data) >= size_) break;
        const off_t hole = ::lseek(fd_, data, SEEK_HOLE);
        const uint64_t end = hole <= data ? size_ : std::min(size_, uint64_t(hole));
        for (uint64_t pos = uint64_t(data); ok && pos < end;) {
            if (stop && stop->load()) {
                ok = false;
                break;
            }
            const size_t want = size_t(std::min<uint64_t>(buffer.size(), end - pos));
            const ssize_t r = ::pread(fd_, buffer.data(), want, off_t(pos));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) {
                ok = false; // a read error, or the file shrank
                break;
            }
            size_t written = 0;
            while (ok && written < size_t(r)) {
                const ssize_t w =
                    ::pwrite(out, buffer.data() + written, size_t(r) - written, off_t(pos + written));
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0)
                    ok = false;
                else
                    written += size_t(w);
            }
            pos += uint64_t(r);
        }
        at = end;
    }
    // The trailing hole, and a file that shrank since it was opened.
    struct stat st {};
    if (ok && (::fstat(fd_, &st) != 0 || uint64_t(st.st_size) < size_)) ok = false;
    if (ok && ::ftruncate(out, off_t(size_)) != 0) ok = false;
    if (::close(out) != 0) ok = false;
    if (!ok) std::remove(target.c_str());
    return ok;
}

std::optional<uint64_t> RegularFile::FreeBytes(const std::string& folder) {
    struct statvfs st {};
    if (folder.empty() || ::statvfs(folder.c_str(), &st) != 0 || st.f_frsize == 0) return std::nullopt;
    const uint64_t blocks = uint64_t(st.f_bavail);
    const uint64_t size = uint64_t(st.f_frsize);
    return blocks > UINT64_MAX / size ? UINT64_MAX : blocks * size;
}
