#include "core/sqlite/DescriptorVfs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

constexpr const char* kVfsName = "backup-descriptor";

// Descriptors waiting for SQLite to open them, by the name they were handed over under;
// an entry lives only while sqlite3_open_v2 runs.
std::mutex pendingMutex;
std::map<std::string, int>& pending() {
    static std::map<std::string, int> names;
    return names;
}

sqlite3_vfs* baseVfs = nullptr;

struct DescriptorFile {
    sqlite3_file base;
    int fd;
};

int fileClose(sqlite3_file* f) {
    auto* file = reinterpret_cast<DescriptorFile*>(f);
    if (file->fd >= 0) ::close(file->fd);
    file->fd = -1;
    return SQLITE_OK;
}

int fileRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
    auto* file = reinterpret_cast<DescriptorFile*>(f);
    if (amount < 0 || offset < 0) return SQLITE_IOERR_READ;
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < size_t(amount)) {
        const ssize_t r = ::pread(file->fd, out + done, size_t(amount) - done, off_t(offset) + off_t(done));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return SQLITE_IOERR_READ;
        if (r == 0) {
            // SQLite expects the rest of a short read zero-filled.
            std::memset(out + done, 0, size_t(amount) - done);
            return SQLITE_IOERR_SHORT_READ;
        }
        done += size_t(r);
    }
    return SQLITE_OK;
}

int fileWrite(sqlite3_file*, const void*, int, sqlite3_int64) {
    return SQLITE_READONLY;
}

int fileTruncate(sqlite3_file*, sqlite3_int64) {
    return SQLITE_READONLY;
}

int fileSync(sqlite3_file*, int) {
    return SQLITE_OK;
}

int fileSize(sqlite3_file* f, sqlite3_int64* size) {
    auto* file = reinterpret_cast<DescriptorFile*>(f);
    struct stat st {};
    if (::fstat(file->fd, &st) != 0) return SQLITE_IOERR_FSTAT;
    *size = sqlite3_int64(st.st_size);
    return SQLITE_OK;
}

int fileLock(sqlite3_file*, int) {
    return SQLITE_OK;
}

int fileCheckReservedLock(sqlite3_file*, int* reserved) {
    *reserved = 0;
    return SQLITE_OK;
}

int fileControl(sqlite3_file*, int, void*) {
    return SQLITE_NOTFOUND;
}

int fileSectorSize(sqlite3_file*) {
    return 4096;
}

int fileDeviceCharacteristics(sqlite3_file*) {
    return SQLITE_IOCAP_IMMUTABLE;
}

const sqlite3_io_methods kFileMethods = {
    1, // no shared memory, no memory mapping
    fileClose,
    fileRead,
    fileWrite,
    fileTruncate,
    fileSync,
    fileSize,
    fileLock,
    fileLock,
    fileCheckReservedLock,
    fileControl,
    fileSectorSize,
    fileDeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

int vfsOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    f->pMethods = nullptr;
    // Temporary files of sorts and the like have no name: the default layer makes them.
    if (!name) return baseVfs->xOpen(baseVfs, name, f, flags, outFlags);
    // Nothing else is opened by name: no journal, no log, no file beside the database.
    if ((flags & SQLITE_OPEN_MAIN_DB) == 0 || (flags & (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) != 0)
        return SQLITE_CANTOPEN;
    int fd = -1;
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        const auto it = pending().find(name);
        if (it != pending().end()) fd = ::fcntl(it->second, F_DUPFD_CLOEXEC, 3);
    }
    if (fd < 0) return SQLITE_CANTOPEN;
    auto* file = reinterpret_cast<DescriptorFile*>(f);
    file->fd = fd;
    f->pMethods = &kFileMethods;
    if (outFlags) *outFlags = SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs*, const char*, int) {
    return SQLITE_IOERR_DELETE;
}

int vfsAccess(sqlite3_vfs*, const char*, int, int* result) {
    *result = 0; // no journal, log or other file beside the database exists for SQLite
    return SQLITE_OK;
}

int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    const size_t length = std::strlen(name);
    if (size <= 0 || length >= size_t(size)) return SQLITE_CANTOPEN;
    std::memcpy(out, name, length + 1);
    return SQLITE_OK;
}

void* vfsDlOpen(sqlite3_vfs*, const char*) {
    return nullptr; // no extensions
}

void vfsDlError(sqlite3_vfs*, int size, char* out) {
    if (size > 0) out[0] = '\0';
}

void (*vfsDlSym(sqlite3_vfs*, void*, const char*))(void) {
    return nullptr;
}

void vfsDlClose(sqlite3_vfs*, void*) {}

int vfsRandomness(sqlite3_vfs*, int size, char* out) {
    return baseVfs->xRandomness(baseVfs, size, out);
}

int vfsSleep(sqlite3_vfs*, int micros) {
    return baseVfs->xSleep(baseVfs, micros);
}

int vfsCurrentTime(sqlite3_vfs*, double* now) {
    return baseVfs->xCurrentTime(baseVfs, now);
}

int vfsGetLastError(sqlite3_vfs*, int size, char* out) {
    return baseVfs->xGetLastError ? baseVfs->xGetLastError(baseVfs, size, out) : 0;
}

int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now) {
    if (baseVfs->iVersion >= 2 && baseVfs->xCurrentTimeInt64) return baseVfs->xCurrentTimeInt64(baseVfs, now);
    double day = 0;
    const int rc = baseVfs->xCurrentTime(baseVfs, &day);
    *now = sqlite3_int64(day * 86400000.0);
    return rc;
}

bool registerVfs() {
    static std::once_flag once;
    static bool registered = false;
    std::call_once(once, [] {
        if (sqlite3_initialize() != SQLITE_OK) return;
        // The platform's own layer, by name: whatever layer is the default at this moment.
        baseVfs = sqlite3_vfs_find("unix");
        if (!baseVfs) baseVfs = sqlite3_vfs_find(nullptr);
        if (!baseVfs) return;
        static sqlite3_vfs vfs{};
        vfs.iVersion = 2;
        vfs.szOsFile = std::max(int(sizeof(DescriptorFile)), baseVfs->szOsFile);
        vfs.mxPathname = baseVfs->mxPathname;
        vfs.zName = kVfsName;
        vfs.xOpen = vfsOpen;
        vfs.xDelete = vfsDelete;
        vfs.xAccess = vfsAccess;
        vfs.xFullPathname = vfsFullPathname;
        vfs.xDlOpen = vfsDlOpen;
        vfs.xDlError = vfsDlError;
        vfs.xDlSym = vfsDlSym;
        vfs.xDlClose = vfsDlClose;
        vfs.xRandomness = vfsRandomness;
        vfs.xSleep = vfsSleep;
        vfs.xCurrentTime = vfsCurrentTime;
        vfs.xGetLastError = vfsGetLastError;
        vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
        registered = sqlite3_vfs_register(&vfs, 0) == SQLITE_OK;
    });
    return registered;
}

} // namespace

sqlite3* DescriptorVfs::Open(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !registerVfs()) return nullptr;
    static std::atomic<uint64_t> serial{0};
    const std::string name = "/descriptor/" + std::to_string(++serial);
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        pending()[name] = fd;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(("file:" + name + "?mode=ro&immutable=1").c_str(), &db,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, kVfsName);
    {
        std::lock_guard<std::mutex> lock(pendingMutex);
        pending().erase(name);
    }
    if (rc != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}
