#pragma once
#include <cstdint>

// One bit per kind of data: the scan's type mask, the data type of each parser and
// the first argument of both IScanProgress operations.
enum ScanDataType : uint32_t {
    ScanNone = 0x0,
    ScanSms = 0x1,
    ScanCallHistory = 0x2,
    ScanContacts = 0x4,
    ScanBookmarks = 0x8,
    ScanReminders = 0x10,
    ScanNotes = 0x20,
    ScanCalendar = 0x40,
    ScanPhotos = 0x80,
    ScanVideos = 0x100,
    ScanSmsAttachments = 0x200,
    ScanNoteAttachments = 0x400,
    ScanVoiceMemos = 0x800,
    ScanWxContacts = 0x1000,
    ScanWxChats = 0x2000,
    ScanWxAttachments = 0x4000,
    ScanWaChats = 0x8000,
    ScanWaAttachments = 0x10000,
};

constexpr uint32_t kScanMediaBits = 0x14f80;
constexpr uint32_t kScanDatabaseBits = 0xb07f;
