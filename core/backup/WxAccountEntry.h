#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One WeChat account found in a backup; stored paths are relative to the backup root.
struct WxAccountEntry {
    int32_t index = 0;
    std::string nickName;
    std::string accountId;
    std::string userName;
    std::string headImageUrl;
    std::string accountFolder;
    std::string chatDbPath;
    std::string contactDbPath;
    std::string ftsDbPath;
    std::vector<std::string> sessionFiles;
    std::vector<std::string> lsmFiles;
    std::vector<std::string> messageDbFiles;
    std::string brandDbPath;
    std::string matchKey;
};
