#include "tests/kit/SampleBackup.h"

namespace kit {

SampleBackup SampleBackup::Build(const std::filesystem::path& root, BackupBuilder::Generation generation,
                                 int scale) {
    BackupBuilder b(root, generation);
    SampleBackup s;
    int32_t time = 1500000000;
    // Each file a second newer than the one before (mtime, atime and ctime alike).
    auto add = [&](const std::string& domain, const std::string& path, const std::string& content) {
        const int32_t t = time++;
        b.AddFile(domain, path, content, t, t, t);
    };
    for (int i = 0; i < scale; ++i) {
        const std::string n = std::to_string(i);
        // Camera roll: every kind, in upper and lower case, and one unknown extension.
        add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".JPG", "jpeg " + n);
        add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".heic", "heic " + n);
        add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".MOV", "mov " + n);
        add("MediaDomain", "Media/Recordings/Memo " + n + ".m4a", "m4a " + n);
        add("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".xyz", "?");
        s.photos += 2;
        s.videos += 1;
        s.voiceMemos += 1;
        // SMS attachments: a photo, a video and a document.
        add("MediaDomain", "Library/SMS/Attachments/0" + n + "/IMG_" + n + ".jpeg", "jpeg");
        add("MediaDomain", "Library/SMS/Attachments/0" + n + "/clip" + n + ".mp4", "mp4");
        add("MediaDomain", "Library/SMS/Attachments/0" + n + "/doc" + n + ".pdf", "pdf");
        s.smsAttachmentPhotos += 1;
        s.smsAttachmentMedia += 2;
        // Notes attachments: a photo and an audio file.
        add("AppDomainGroup-group.com.apple.notes", "Media/" + n + "/Image.png", "png");
        add("AppDomainGroup-group.com.apple.notes", "Media/" + n + "/Audio.m4a", "m4a");
        s.noteAttachmentPhotos += 1;
        s.noteAttachmentMedia += 1;
        // WeChat attachments: an image, its thumbnail and a voice message.
        add("AppDomain-com.tencent.xin", "Documents/acc/Img/friend/" + n + ".pic", "pic");
        add("AppDomain-com.tencent.xin", "Documents/acc/Img/friend/" + n + ".pic_thum", "thumb");
        add("AppDomain-com.tencent.xin", "Documents/acc/Audio/friend/" + n + ".aud", "aud");
        s.wxAttachmentPhotos += 2;
        s.wxAttachmentMedia += 1;
    }
    b.Finish();
    return s;
}

} // namespace kit
