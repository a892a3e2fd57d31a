#pragma once
#include "core/backup/IFileParser.h"
#include "core/backup/WxAccountEntry.h"

#include <cstdint>
#include <string>
#include <string_view>

// Finds the WeChat accounts of a backup: every account folder holding "DB/MM.sqlite",
// named from the account's "mmsetting.archive" or, without one, from the key-value
// settings file whose id hashes to the folder's name, with the stored paths of the
// account's databases, session files and local-store files.
class CWxAccountDiscovery {
  public:
    // `avatarPrefix` is the address (ending in '/') of the avatar image host; while it is
    // empty no avatar URL is taken from an archive.
    CWxAccountDiscovery(IFileParser& files, std::string backupRoot, int iosMajorVersion,
                        std::string avatarPrefix);

    // Empties `accounts`, then fills it with the accounts found, indexes 0, 1, ...
    void Discover(WxAccountList& accounts);

    // Settings values of one settings file (key "87" user name, "88" nickname,
    // "headimgurl"); values longer than kMaxValue bytes are not taken.
    struct Settings {
        std::string userName, nickName, headImageUrl;
    };
    static constexpr size_t kMaxValue = 4096;
    static Settings ReadMmkvSettings(std::string_view bytes, std::string_view id);

    // Reads "mmsetting.archive" bytes into the three names. False only when the bytes do
    // not load as a property list with "$objects" (the names then stay empty).
    static bool ReadAccountArchive(std::string_view bytes, const std::string& avatarPrefix,
                                   std::string* userName, std::string* nickName, std::string* headImageUrl);

    // A base-128 varint (low group first, at most 9 bytes) at `at`; its value must not
    // exceed the bytes left after it. Returns the bytes used, or 0 on failure.
    static size_t ReadSettingsVarint(std::string_view bytes, size_t at, uint64_t* value);

  private:
    void ReadAllSettings(WxAccountList& temporary);
    void CollectFiles(WxAccountEntry& account);
    std::string FullPath(const std::string& storedPath) const;

    IFileParser& files;
    std::string backupRoot;
    int iosMajorVersion = 0;
    std::string avatarPrefix;
};
