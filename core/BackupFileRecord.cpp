#include "core/BackupFileRecord.h"

#include "core/Sha1Context.h"

#include <cstring>
#include <iterator>

BackupFileRecord::BackupFileRecord(const std::string& domain, const std::string& relativePath, uint64_t size,
                                   int32_t mtime, int32_t atime, int32_t ctime)
    : domain(domain), relativePath(relativePath), size(size), mtime(mtime), atime(atime), ctime(ctime) {
    storedName = backupHashedFileName(domain, relativePath);
    devicePath = backupDevicePath(domain, relativePath);
}

BackupFileRecord::BackupFileRecord(const std::string& domain, const std::string& relativePath,
                                   const std::string& storedName, uint64_t size, int32_t mtime, int32_t atime,
                                   int32_t ctime)
    : domain(domain), relativePath(relativePath), storedName(storedName), size(size), mtime(mtime),
      atime(atime), ctime(ctime) {
    devicePath = backupDevicePath(domain, relativePath);
}

std::string BackupFileRecord::StoredPath(int iosMajorVersion) const {
    return backupStoredPath(storedName, iosMajorVersion);
}

std::string backupStoredPath(const std::string& storedName, int iosMajorVersion) {
    std::string name = storedName;
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    if (iosMajorVersion < 10 || name.empty()) return name;
    // A name shorter than two characters cannot come from a digest; it keeps what it has.
    return name.substr(0, 2) + "/" + name;
}

std::string backupHashedFileName(const std::string& domain, const std::string& relativePath) {
    Sha1Context context;
    sha1Init(&context);
    sha1Update(&context, reinterpret_cast<const uint8_t*>(domain.data()), domain.size());
    static const uint8_t hyphen = '-';
    sha1Update(&context, &hyphen, 1);
    sha1Update(&context, reinterpret_cast<const uint8_t*>(relativePath.data()), relativePath.size());
    uint8_t digest[20];
    sha1Final(digest, &context);

    static const char hex[] = "0123456789ABCDEF";
    std::string name;
    name.reserve(40);
    for (uint8_t b : digest) {
        name += hex[b >> 4];
        name += hex[b & 15];
    }
    return name;
}

namespace {

struct DomainPrefix {
    const char* domain;
    const char* prefix;
};

// Fixed domains, compared whole and case-sensitively, in this order.
const DomainPrefix kFixedDomains[] = {
    {"WirelessDomain", "/var/wireless/"},
    {"ManagedPreferencesDomain", "/var/Managed Preferences/"},
    {"MediaDomain", "/var/mobile/"},
    {"SystemPreferencesDomain", "/var/preferences/"},
    {"CameraRollDomain", "/var/mobile/"},
    {"RootDomain", "/var/root/"},
    {"MobileDeviceDomain", "/var/MobileDevice/"},
    {"KeychainDomain", "/var/Keychains/"},
    {"HomeDomain", "/var/mobile/"},
    {"DatabaseDomain", "/var/db/"},
};

bool startsWith(const std::string& s, const char* prefix) {
    size_t n = std::strlen(prefix);
    return s.size() >= n && s.compare(0, n, prefix) == 0;
}

} // namespace

std::string backupDevicePath(const std::string& domain, const std::string& relativePath) {
    for (const DomainPrefix& d : kFixedDomains) {
        if (domain == d.domain) return d.prefix + relativePath;
    }
    // Application containers and application-group containers both appear under
    // /var/mobile/Applications/<id>/.
    static const char* const kAppPrefixes[] = {"AppDomain-", "AppDomainGroup-"};
    for (const char* p : kAppPrefixes) {
        if (startsWith(domain, p)) {
            return "/var/mobile/Applications/" + domain.substr(std::strlen(p)) + "/" + relativePath;
        }
    }
    return std::string();
}
