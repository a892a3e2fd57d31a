#pragma once
#include "core/records/RecordList.h"

#include <cstdint>
#include <string>

// One WeChat contact, group or official account of an account.
struct WxContactRecord {
    bool deleted = false; // recovered, or created by a chat parser
    std::string userName;
    std::string alias;
    std::string nickName;
    std::string remark;
    std::string address;
    std::string signature;
    std::string headImageUrl;
    std::string phone;
    int32_t accountIndex = 0;
    // 0 friend, 1 official account, 2 group, 3 the account itself or a group member
    // entry, 4 generated (peer or sender not otherwise identified)
    int32_t kind = 0;
    WxContactRecord* parent = nullptr; // the group whose member list holds this record
    RecordList<WxContactRecord> members;
    WxContactRecord* prev = nullptr;
    WxContactRecord* next = nullptr;
};
