#include "tests/kit/SampleBackup.h"

namespace kit {

SampleBackup SampleBackup::Build(const std::filesystem::path& root, BackupBuilder::Generation generation,
                                 int scale) {
    BackupBuilder b(root, generation);
    SampleBackup s;
    int32_t t = 1500000000;
    for (int i = 0; i < scale; ++i) {
        const std::string n = std::to_string(i);
        // Camera roll: every kind, in upper and lower case, and one unknown extension.
        b.AddFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".JPG", "jpeg " + n, t, t, t++);
        b.AddFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".heic", "heic " + n, t, t, t++);
        b.AddFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".MOV", "mov " + n, t, t, t++);
        b.AddFile("MediaDomain", "Media/Recordings/Memo " + n + ".m4a", "m4a " + n, t, t, t++);
        b.AddFile("CameraRollDomain", "Media/DCIM/100APPLE/IMG_" + n + ".xyz", "?", t, t, t++);
        s.photos += 2;
        s.videos += 1;
        s.voiceMemos += 1;
        // SMS attachments: a photo, a video and a document.
        b.AddFile("MediaDomain", "Library/SMS/Attachments/0" + n + "/IMG_" + n + ".jpeg", "jpeg", t, t, t++);
        b.AddFile("MediaDomain", "Library/SMS/Attachments/0" + n + "/clip" + n + ".mp4", "mp4", t, t, t++);
        b.AddFile("MediaDomain", "Library/SMS/Attachments/0" + n + "/doc" + n + ".pdf", "pdf", t, t, t++);
        s.smsAttachmentPhotos += 1;
        s.smsAttachmentMedia += 2;
        // Notes attachments: a photo and an audio file.
        b.AddFile("AppDomainGroup-group.com.apple.notes", "Media/" + n + "/Image.png", "png", t, t, t++);
        b.AddFile("AppDomainGroup-group.com.apple.notes", "Media/" + n + "/Audio.m4a", "m4a", t, t, t++);
        s.noteAttachmentPhotos += 1;
        s.noteAttachmentMedia += 1;
        // WeChat attachments: an image, its thumbnail and a voice message.
        b.AddFile("AppDomain-com.tencent.xin", "Documents/acc/Img/friend/" + n + ".pic", "pic", t, t, t++);
        b.AddFile("AppDomain-com.tencent.xin", "Documents/acc/Img/friend/" + n + ".pic_thum", "thumb", t, t,
                  t++);
        b.AddFile("AppDomain-com.tencent.xin", "Documents/acc/Audio/friend/" + n + ".aud", "aud", t, t, t++);
        s.wxAttachmentPhotos += 2;
        s.wxAttachmentMedia += 1;
    }
    b.Finish();
    return s;
}

} // namespace kit
