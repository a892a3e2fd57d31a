#include "core/util/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

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

bool RegularFile::IsRegular(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RegularFile::IsLink(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool RegularFile::Open(const std::string& path) {
    Close();
    if (!IsRegular(path)) return false;
    // O_NONBLOCK: should a pipe take the file's place after the check, the open returns
    // at once instead of waiting for a writer; fstat then refuses it.
    // O_NOFOLLOW: a link put in the file's place after the check is refused too.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        ::close(fd);
        return false;
    }
    // Regular files never block; the flag is cleared for the readers that follow.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    size_ = uint64_t(st.st_size);
    return true;
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

bool RegularFile::CopyTo(const std::string& source, const std::string& target) {
    RegularFile in;
    if (target.empty() || !in.Open(source)) return false;
    std::remove(target.c_str());
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    std::vector<char> buffer(size_t(1) << 20);
    uint64_t offset = 0;
    bool ok = true;
    while (ok) {
        const ssize_t r = ::pread(in.fd_, buffer.data(), buffer.size(), off_t(offset));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) ok = false;
        if (r <= 0) break;
        size_t written = 0;
        while (ok && written < size_t(r)) {
            const ssize_t w = ::write(fd, buffer.data() + written, size_t(r) - written);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0)
                ok = false;
            else
                written += size_t(w);
        }
        offset += uint64_t(r);
    }
    if (::close(fd) != 0) ok = false;
    if (!ok) std::remove(target.c_str());
    return ok;
}
