#pragma once
#include "core/records/RecordList.h"
#include "core/records/WxMessageRecord.h"

struct WxContactRecord;

// One WeChat conversation of an account with its messages.
struct WxSessionRecord {
    bool deleted = false;                 // holds at least one recovered message
    WxContactRecord* peer = nullptr;      // not owned
    RecordList<WxMessageRecord> messages; // by time, ascending
    WxSessionRecord* prev = nullptr;
    WxSessionRecord* next = nullptr;
};
