#include "core/backup/BackupFileRecord.h"

#include "core/util/Sha1Context.h"

#include <cstring>
#include <iterator>
#include <string_view>

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
    char name[40];
    for (size_t i = 0; i < 20; ++i) {
        name[2 * i] = hex[digest[i] >> 4];
        name[2 * i + 1] = hex[digest[i] & 15];
    }
    return std::string(name, sizeof name);
}

namespace {

struct DomainPrefix {
    std::string_view domain;
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

namespace {

// The device-path prefix of a domain, or nothing for a domain of no known form. An
// application domain's prefix is "/var/mobile/Applications/" and the id after it.
struct DevicePathPrefix {
    const char* fixed = nullptr; // whole prefix of a fixed domain
    size_t appIdAt = 0;          // for an application domain: where its id begins
};

DevicePathPrefix devicePathPrefix(const std::string& domain) {
    for (const DomainPrefix& d : kFixedDomains) {
        if (std::string_view(domain) == d.domain) return {d.prefix, 0};
    }
    // Application containers and application-group containers both appear under
    // /var/mobile/Applications/<id>/.
    static const char* const kAppPrefixes[] = {"AppDomain-", "AppDomainGroup-"};
    for (const char* p : kAppPrefixes) {
        if (startsWith(domain, p)) return {nullptr, std::strlen(p)};
    }
    return {};
}

} // namespace

bool backupDomainKnown(const std::string& domain) {
    DevicePathPrefix p = devicePathPrefix(domain);
    return p.fixed || p.appIdAt != 0;
}

std::string backupDevicePath(const std::string& domain, const std::string& relativePath) {
    DevicePathPrefix p = devicePathPrefix(domain);
    std::string path;
    if (p.fixed) {
        size_t n = std::strlen(p.fixed);
        path.reserve(n + relativePath.size());
        path.append(p.fixed, n).append(relativePath);
    } else if (p.appIdAt != 0) {
        static const char kApplications[] = "/var/mobile/Applications/";
        const size_t n = sizeof kApplications - 1, idLength = domain.size() - p.appIdAt;
        path.reserve(n + idLength + 1 + relativePath.size());
        path.append(kApplications, n).append(domain, p.appIdAt, idLength).append(1, '/').append(relativePath);
    }
    return path;
}
