#include "core/util/MappedFile.h"

#include "core/util/RegularFile.h"

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
    RegularFile file;
    if (!file.OpenStoredPath(path)) return false;
    const uint64_t size = file.Size();
    bool ok = size <= limit;
    if (ok && size > 0) {
        void* m = ::mmap(nullptr, size_t(size), PROT_READ, MAP_PRIVATE, file.Descriptor(), 0);
        if (m == MAP_FAILED) {
            ok = false;
        } else {
            map_ = m;
            size_ = size_t(size);
            data_ = static_cast<const uint8_t*>(m);
        }
    }
    return ok;
}
