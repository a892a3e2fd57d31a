#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A contact as the contacts parser collects it from the tables, before the rows are
// merged into the account's contact list.
struct WxContactRow {
    bool deleted = false;
    std::string userName, alias, nickName, remark, address, signature, headImageUrl, phone;
    uint32_t kind = 0;
    std::vector<std::string> memberNames; // in the order read
};
