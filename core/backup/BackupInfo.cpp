#include "core/backup/BackupInfo.h"

#include "core/backup/PlistGuard.h"
#include "core/util/CheckedTime.h"
#include "core/util/RegularFile.h"

#include <plist/plist.h>
#include <sys/stat.h>

#include <memory>

namespace {

// Info.plist is a few kilobytes; anything far larger is not one.
constexpr size_t kInfoPlistLimit = size_t(4) << 20;

struct PlistFree {
    void operator()(plist_t p) const { plist_free(p); }
};

} // namespace

std::optional<int64_t> readLastBackupDate(const std::string& backupDir) {
    if (backupDir.empty()) return std::nullopt;
    std::string path = backupDir;
    if (path.back() != '/') path += '/';
    path += "Info.plist";
    // The file is read only when it is itself a regular file, never through a link.
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    RegularFile file;
    std::string bytes;
    if (!file.Open(path) || !file.ReadAll(bytes, kInfoPlistLimit) || bytes.empty()) return std::nullopt;
    if (bytes.size() > UINT32_MAX || !plistNestingWithin(bytes.data(), bytes.size())) return std::nullopt;
    plist_t raw = nullptr;
    plist_from_memory(bytes.data(), uint32_t(bytes.size()), &raw);
    std::unique_ptr<void, PlistFree> root(raw);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
    plist_t date = plist_dict_get_item(root.get(), "Last Backup Date");
    if (!date || plist_get_node_type(date) != PLIST_DATE) return std::nullopt;
    int32_t seconds = 0, micros = 0;
    plist_get_date_val(date, &seconds, &micros);
    return appleToUnixChecked(int64_t(seconds));
}
