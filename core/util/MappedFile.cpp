#include "core/util/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

MappedFile::~MappedFile() {
    Close();
}

void MappedFile::Close() {
    if (map_) ::munmap(map_, size_);
    map_ = nullptr;
    data_ = nullptr;
    size_ = 0;
}

bool MappedFile::Open(const std::string& path, size_t limit) {
    Close();
    if (path.empty()) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 0 &&
              static_cast<unsigned long long>(st.st_size) <= limit;
    if (ok && st.st_size > 0) {
        void* m = ::mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (m == MAP_FAILED) {
            ok = false;
        } else {
            map_ = m;
            size_ = size_t(st.st_size);
            data_ = static_cast<const uint8_t*>(m);
        }
    }
    ::close(fd);
    return ok;
}
