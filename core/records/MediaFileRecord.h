#pragma once
#include <cstdint>
#include <string>

// One media file of the backup, listed from the manifest (photos, videos, voice memos
// and message attachments). Kept in the scan manager's media lists.
struct MediaFileRecord {
    int32_t kind = 0;        // 0 photo, 1 video, 2 audio, 3 other: the suffix list that matched
    std::string day;         // local calendar day of the file's time stamp, "%Y-%m-%d"
    std::string storedPath;  // relative to the backup root (lower-case, subfolder from iOS 10)
    std::string displayName; // "000001.jpg": running number per list and kind, then the extension
    MediaFileRecord* prev = nullptr;
    MediaFileRecord* next = nullptr;
};
