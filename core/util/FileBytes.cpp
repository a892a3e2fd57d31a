#include "core/util/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

bool FileBytes::ReadAll(const std::string& path, std::string& out, size_t limit) {
    out.clear();
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return false;
    const auto size = static_cast<unsigned long long>(st.st_size);
    if (size > limit) return false;
    out.resize(size_t(size));
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t r = ::read(fd, out.data() + done, out.size() - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += size_t(r);
    }
    // A file that shrank while being read keeps what was read.
    out.resize(done);
    return true;
}
