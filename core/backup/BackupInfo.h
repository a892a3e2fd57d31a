#pragma once
#include <cstdint>
#include <optional>
#include <string>

// The date the backup in `backupDir` was made: "Last Backup Date" of its "Info.plist",
// in Unix seconds. Nothing when the file is missing, a link, not a property list, too
// large, or holds no such date.
std::optional<int64_t> readLastBackupDate(const std::string& backupDir);
