#pragma once
#include <cstdint>
#include <string>

// One manifest entry of a device backup, with the device path it had on the phone and
// the name under which the backup stores its bytes.
struct BackupFileRecord {
    std::string domain;
    std::string relativePath;
    std::string devicePath; // empty when the domain is not a known form
    std::string storedName; // 40 upper-case hex digits (SHA-1 of domain "-" relativePath)
    uint64_t size = 0;
    int32_t mtime = 0;
    int32_t atime = 0;
    int32_t ctime = 0;

    BackupFileRecord(const std::string& domain, const std::string& relativePath, uint64_t size, int32_t mtime,
                     int32_t atime, int32_t ctime);
    BackupFileRecord(const std::string& domain, const std::string& relativePath,
                     const std::string& storedName, uint64_t size, int32_t mtime, int32_t atime,
                     int32_t ctime);

    // The stored file's path relative to the backup root, as it lies on disk: the
    // lower-case stored name, inside its two-character subfolder from iOS 10 on.
    std::string StoredPath(int iosMajorVersion) const;
};

// Path relative to the backup root of a stored file of the given (any case) stored
// name: lower-case hex, with the two-character subfolder from iOS 10 on. Every path
// handed out for a stored file is built here.
std::string backupStoredPath(const std::string& storedName, int iosMajorVersion);

std::string backupHashedFileName(const std::string& domain, const std::string& relativePath);
std::string backupDevicePath(const std::string& domain, const std::string& relativePath);
// True when the domain is of a known form, i.e. backupDevicePath gives a device path.
bool backupDomainKnown(const std::string& domain);
