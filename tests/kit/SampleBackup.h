#pragma once
#include "tests/kit/BackupBuilder.h"

#include <filesystem>
#include <map>
#include <string>

namespace kit {

// A small but complete device backup for whole-scan tests and the scan benchmark:
// camera-roll photos, videos and voice memos, SMS, notes and WeChat attachments (with
// files of every kind and some the scan must leave out), written through
// BackupBuilder in either manifest generation. `scale` multiplies the media files.
struct SampleBackup {
    // Files the media listing keeps, per list: photos, videos, voice memos, and per
    // attachment list the photos and the other files.
    int photos = 0, videos = 0, voiceMemos = 0;
    int smsAttachmentPhotos = 0, smsAttachmentMedia = 0;
    int noteAttachmentPhotos = 0, noteAttachmentMedia = 0;
    int wxAttachmentPhotos = 0, wxAttachmentMedia = 0;

    static SampleBackup Build(const std::filesystem::path& root, BackupBuilder::Generation generation,
                              int scale = 1);
};

} // namespace kit
