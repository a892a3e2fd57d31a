#include "scan/engine/CMediaFileListing.h"

#include "ScanFakes.h"
#include "core/records/MediaFileRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/ScratchFolder.h"

#include <gtest/gtest.h>

#include <fstream>

#include <ctime>
#include <string>
#include <vector>

using scantest::FakeFileParser;
using scantest::RecordingProgress;

namespace {

const char kPhotos[] = "*.jpg;*.png;*.heic;*.pic;*.pic_thum;*.mov;"; // mov is also a video
const char kVideos[] = "*.mov;*.mp4;*.jpeg;";
const char kAudio[] = "*.m4a;*.opus;*.amr;";
const char kOther[] = "*.txt;*.pdf;";

std::string localDay(time_t t) {
    struct tm tm {};
    localtime_r(&t, &tm);
    char buf[32];
    strftime(buf, sizeof buf, "%Y-%m-%d", &tm);
    return buf;
}

struct Row {
    int kind;
    std::string displayName;
};

std::vector<Row> rows(const RecordList<MediaFileRecord>& list) {
    std::vector<Row> out;
    for (const MediaFileRecord* r = list.first; r; r = r->next)
        out.push_back({r->kind, r->displayName});
    return out;
}

bool operator==(const Row& a, const Row& b) {
    return a.kind == b.kind && a.displayName == b.displayName;
}
std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << r.kind << ":" << r.displayName;
}

class MediaListingTest : public ::testing::Test {
  protected:
    std::unique_ptr<CScanManager> Make(int iosVersion = 14) {
        auto m = std::make_unique<CScanManager>(0, "/out", files.BackupDir().c_str(), iosVersion, &progress,
                                                &files);
        m->SetFileSuffixes(kPhotos, kVideos, kAudio, kOther);
        return m;
    }
    FakeFileParser files;
    RecordingProgress progress;
    int processed = 0;
};

TEST_F(MediaListingTest, CameraRollSortsNewestFirstAndNumbersPerKind) {
    const std::string base = "/var/mobile/Media/DCIM/100APPLE/";
    files.Add(CategoryMedia, base + "IMG_0001.JPG", 100);
    files.Add(CategoryMedia, base + "IMG_0002.MOV", 300); // in both photo and video lists: a photo
    files.Add(CategoryMedia, base + "IMG_0003.mp4", 250);
    files.Add(CategoryMedia, "/var/mobile/Media/Recordings/memo.m4a", 200);
    files.Add(CategoryMedia, base + "notes.txt", 400);     // "other" is not listed from the camera roll
    files.Add(CategoryMedia, base + "IMG_0004.jpeg", 350); // only the jpeg entry (a video here) matches
    files.Add(CategoryMedia, base + "README", 500);        // no extension
    files.Add(CategoryMedia, "noslash.jpg", 600);          // no file name
    files.Add(CategoryMedia, base + "IMG_0005.png", 50);
    auto m = Make();
    CMediaFileListing(*m).ListCameraRollMedia(processed, 9);

    EXPECT_EQ((std::vector<Row>{{0, "000001.mov"}, {0, "000002.jpg"}, {0, "000003.png"}}),
              rows(m->photoList));
    EXPECT_EQ((std::vector<Row>{{1, "000001.jpeg"}, {1, "000002.mp4"}}), rows(m->videoList));
    EXPECT_EQ((std::vector<Row>{{2, "000001.m4a"}}), rows(m->voiceMemoList));
    EXPECT_EQ(9, processed);
    ASSERT_EQ(9u, progress.progress.size());
    EXPECT_EQ(9, progress.progress.back().done);
    EXPECT_EQ(9, progress.progress.back().total);
    EXPECT_EQ(0, m->smsAttachmentList.count);
}

TEST_F(MediaListingTest, TheManifestReadersListKeepsItsOrder) {
    BackupFileRecord* a = files.Add(CategoryMedia, "/var/mobile/Media/a.jpg", 1);
    BackupFileRecord* b = files.Add(CategoryMedia, "/var/mobile/Media/b.jpg", 3);
    BackupFileRecord* c = files.Add(CategoryMedia, "/var/mobile/Media/c.jpg", 2);
    auto m = Make();
    CMediaFileListing(*m).ListCameraRollMedia(processed, 3);
    EXPECT_EQ((BackupEntryList{a, b, c}), files.lists[CategoryMedia]);
    ASSERT_EQ(3, m->photoList.count);
    EXPECT_EQ(m->photoList.first->storedPath, backupStoredPath(b->storedName, 14));
}

TEST_F(MediaListingTest, EqualTimesKeepManifestOrderAndNegativeTimesSortLast) {
    files.Add(CategorySms, "/var/mobile/Library/SMS/Attachments/old.jpg", -5, "CC");
    files.Add(CategorySms, "/var/mobile/Library/SMS/Attachments/first.jpg", 10, "AA");
    files.Add(CategorySms, "/var/mobile/Library/SMS/Attachments/second.jpg", 10, "BB");
    auto m = Make(9);
    CMediaFileListing(*m).ListSmsAttachments(processed, 3);
    std::vector<std::string> stored;
    for (const MediaFileRecord* r = m->smsAttachmentList.first; r; r = r->next)
        stored.push_back(r->storedPath);
    EXPECT_EQ((std::vector<std::string>{"aa", "bb", "cc"}), stored);
}

TEST_F(MediaListingTest, EntriesWhoseStoredNameIsNoDigestAreLeftOut) {
    files.Add(CategoryMedia, "/var/mobile/Media/DCIM/a.jpg", 3, "../../../etc/passwd");
    files.Add(CategoryMedia, "/var/mobile/Media/DCIM/b.jpg", 2, "0123456789abcdefABCDEF0123456789abcdef01");
    files.Add(CategoryMedia, "/var/mobile/Media/DCIM/c.jpg", 1, "ab/cd");
    auto m = Make(9);
    CMediaFileListing(*m).ListCameraRollMedia(processed, 3);
    ASSERT_EQ(1, m->photoList.count);
    EXPECT_EQ("0123456789abcdefabcdef0123456789abcdef01", m->photoList.first->storedPath);
    EXPECT_EQ("000001.jpg", m->photoList.first->displayName);
    EXPECT_EQ(3, processed);
}

TEST_F(MediaListingTest, UpperCaseSuffixListNeverMatches) {
    files.Add(CategoryMedia, "/var/mobile/Media/DCIM/IMG_0001.JPG", 1);
    auto m = Make();
    m->SetFileSuffixes("*.JPG;", "", "", "");
    CMediaFileListing(*m).ListCameraRollMedia(processed, 1);
    EXPECT_EQ(0, m->photoList.count);
    EXPECT_EQ(1, processed);
}

TEST_F(MediaListingTest, AttachmentsShareOneListWithFourCounters) {
    const std::string base = "/var/mobile/Library/SMS/Attachments/";
    files.Add(CategorySms, base + "a.jpg", 9);
    files.Add(CategorySms, base + "b.mp4", 8);
    files.Add(CategorySms, base + "c.amr", 7);
    files.Add(CategorySms, base + "d.PDF", 6);
    files.Add(CategorySms, base + "e.png", 5);
    files.Add(CategorySms, base + "f.zip", 4); // in no list
    auto m = Make();
    CMediaFileListing(*m).ListSmsAttachments(processed, 6);
    EXPECT_EQ(
        (std::vector<Row>{
            {0, "000001.jpg"}, {1, "000001.mp4"}, {2, "000001.amr"}, {3, "000001.pdf"}, {0, "000002.png"}}),
        rows(m->smsAttachmentList));
}

TEST_F(MediaListingTest, NotesAttachmentsComeFromTheNotesCategory) {
    files.Add(CategoryNotes, "/var/mobile/Applications/group.com.apple.notes/Media/x/scan.pdf", 3);
    files.Add(CategorySms, "/var/mobile/Library/SMS/Attachments/a.jpg", 9);
    auto m = Make();
    CMediaFileListing(*m).ListNoteAttachments(processed, 1);
    EXPECT_EQ((std::vector<Row>{{3, "000001.pdf"}}), rows(m->noteAttachmentList));
    EXPECT_EQ(0, m->smsAttachmentList.count);
}

TEST_F(MediaListingTest, WeChatPhotosAreNamedJpgExceptPng) {
    const std::string base = "/var/mobile/Applications/com.tencent.xin/Documents/abc/";
    files.Add(CategoryWeChat, base + "Img/1.pic", 9);
    files.Add(CategoryWeChat, base + "Img/2.png", 8);
    files.Add(CategoryWeChat, base + "Img/3.heic", 7);
    files.Add(CategoryWeChat, base + "Video/4.mp4", 6);
    files.Add(CategoryWeChat, base + "Audio/5.amr", 5);
    files.Add(CategoryWeChat, base + "OpenData/6.txt", 4);
    auto m = Make();
    CMediaFileListing(*m).ListWxAttachments(processed, 6);
    EXPECT_EQ((std::vector<Row>{{0, "000001.jpg"},
                                {0, "000002.png"},
                                {0, "000003.jpg"},
                                {1, "000001.mp4"},
                                {2, "000001.amr"},
                                {3, "000001.txt"}}),
              rows(m->wxAttachmentList));
}

// WeChat keeps a small copy "N.pic_thum" beside a picture "N.pic": the thumbnail of a
// listed picture is not a picture of its own. One whose picture is absent, not in the
// backup's files, or in another folder is kept; other apps' thumbnails are untouched.
TEST_F(MediaListingTest, WeChatThumbnailsOfListedPicturesAreNotPicturesOfTheirOwn) {
    const std::string img = "/var/mobile/Applications/com.tencent.xin/Documents/abc/Img/friend/";
    files.Add(CategoryWeChat, img + "1.pic_thum", 20);
    files.Add(CategoryWeChat, img + "1.pic", 19);
    files.Add(CategoryWeChat, img + "2.pic", 18);
    files.Add(CategoryWeChat, img + "2.pic_thum", 17);
    files.Add(CategoryWeChat, img + "3.pic_thum", 16); // no picture 3
    BackupFileRecord* lost = files.Add(CategoryWeChat, img + "4.pic", 15);
    files.Add(CategoryWeChat, img + "4.pic_thum", 14); // picture 4 is not in the backup's files
    files.Add(CategoryWeChat, img + "other/5.pic", 13);
    files.Add(CategoryWeChat, img + "5.pic_thum", 12); // picture 5 lies in another folder
    files.Add(CategoryWeChat, img + "6.PIC_THUM", 11);
    files.Add(CategoryWeChat, img + "6.pic", 10);
    files.Add(CategoryWeChat, img + "7.pic.pic_thum", 9); // the thumbnail of a picture "7.pic.pic"
    files.RemoveStoredFile(*lost);
    auto m = Make();
    CMediaFileListing(*m).ListWxAttachments(processed, 12);
    std::vector<std::string> listed;
    for (const MediaFileRecord* r = m->wxAttachmentList.first; r; r = r->next)
        for (const auto& f : files.owned)
            if (r->storedPath == backupStoredPath(f->storedName, 14))
                listed.push_back(f->devicePath.substr(img.size()));
    EXPECT_EQ((std::vector<std::string>{"1.pic", "2.pic", "3.pic_thum", "4.pic_thum", "other/5.pic",
                                        "5.pic_thum", "6.pic", "7.pic.pic_thum"}),
              listed);
    EXPECT_EQ(1, m->missingMediaFiles);
    EXPECT_EQ(12, processed);
}

TEST_F(MediaListingTest, WhatsAppRenamesThumbnailsAndOpus) {
    const std::string base = "/var/mobile/Applications/group.net.whatsapp.WhatsApp.shared/Message/Media/";
    files.Add(CategoryWhatsApp, base + "a.pic_thum", 9);
    files.Add(CategoryWhatsApp, base + "b.jpg", 8);
    files.Add(CategoryWhatsApp, base + "c.opus", 7);
    files.Add(CategoryWhatsApp, base + "d.m4a", 6);
    files.Add(CategoryWhatsApp, base + "e.png", 5);
    auto m = Make();
    CMediaFileListing(*m).ListWaAttachments(processed, 5);
    EXPECT_EQ(
        (std::vector<Row>{
            {0, "000001.jpg"}, {0, "000002.jpg"}, {2, "000001.mp3"}, {2, "000002.m4a"}, {0, "000003.png"}}),
        rows(m->waAttachmentList));
}

TEST_F(MediaListingTest, StoredPathAndDayFollowTheBackup) {
    const std::string name = "3D0D7E5FB2CE288813306E4D4636395E047A3D28";
    const std::string lower = "3d0d7e5fb2ce288813306e4d4636395e047a3d28";
    files.Add(CategoryMedia, "/var/mobile/Media/DCIM/a.jpg", 1500000000, name);
    for (int ios : {9, 10}) {
        auto m = Make(ios);
        CMediaFileListing(*m).ListCameraRollMedia(processed, 1);
        ASSERT_EQ(1, m->photoList.count);
        EXPECT_EQ(ios == 9 ? lower : "3d/" + lower, m->photoList.first->storedPath);
        EXPECT_EQ(localDay(1500000000), m->photoList.first->day);
    }
}

TEST_F(MediaListingTest, NothingHappensWhenCancelledOrWithoutEntries) {
    files.Add(CategoryMedia, "/var/mobile/Media/a.jpg", 1);
    files.lists[CategorySms]; // an empty list
    auto m = Make();
    CMediaFileListing listing(*m);
    listing.ListSmsAttachments(processed, 1); // empty list
    listing.ListWxAttachments(processed, 1);  // no list
    EXPECT_EQ(0, processed);
    m->Stop(false);
    listing.ListCameraRollMedia(processed, 1);
    EXPECT_EQ(0, processed);
    EXPECT_EQ(0, m->photoList.count);
    EXPECT_TRUE(progress.progress.empty());
}

TEST(MediaListing, MatchKindAndDisplayName) {
    struct Case {
        const char* extension;
        bool withOther;
        int kind;
    } cases[] = {
        {"jpg", true, 0},   {"mov", true, 0}, {"mp4", true, 1}, {"m4a", true, 2}, {"txt", true, 3},
        {"txt", false, -1}, {"jp", true, -1}, {"pg", true, -1}, {"", true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension);
        EXPECT_EQ(c.kind, CMediaFileListing::MatchKind(c.extension, "*.jpg;*.mov;", "*.mov;*.mp4;", "*.m4a;",
                                                       "*.txt;", c.withOther));
    }
    EXPECT_EQ("000012.jpg", CMediaFileListing::DisplayName(12, "jpg"));
    EXPECT_EQ("1234567.heic", CMediaFileListing::DisplayName(1234567, "heic"));
}

} // namespace

// An interrupted or partial backup lists files it does not hold: only entries whose
// stored file is there are listed (numbered without gaps), the others are counted.
TEST_F(MediaListingTest, FilesTheBackupLacksAreLeftOutAndCounted) {
    const std::string base = "/var/mobile/Media/DCIM/100APPLE/";
    files.Add(CategoryMedia, base + "IMG_0001.JPG", 400);
    BackupFileRecord* missing = files.Add(CategoryMedia, base + "IMG_0002.JPG", 300);
    files.Add(CategoryMedia, base + "IMG_0003.JPG", 200);
    BackupFileRecord* missingVideo = files.Add(CategoryMedia, base + "IMG_0004.MP4", 100);
    BackupFileRecord* missingAttachment =
        files.Add(CategorySms, "/var/mobile/Library/SMS/Attachments/x.pdf", 50);
    files.RemoveStoredFile(*missing);
    files.RemoveStoredFile(*missingVideo);
    files.RemoveStoredFile(*missingAttachment);
    auto m = Make();
    CMediaFileListing listing(*m);
    listing.ListCameraRollMedia(processed, 5);
    listing.ListSmsAttachments(processed, 5);
    EXPECT_EQ((std::vector<Row>{{0, "000001.jpg"}, {0, "000002.jpg"}}), rows(m->photoList));
    ASSERT_EQ(2, m->photoList.count);
    EXPECT_EQ(m->photoList.first->storedPath, backupStoredPath(files.owned[0]->storedName, 14));
    EXPECT_EQ(0, m->videoList.count);
    EXPECT_EQ(0, m->smsAttachmentList.count);
    EXPECT_EQ(3, m->missingMediaFiles);
    EXPECT_EQ(5, processed); // every entry is still counted in the progress
}

// A stored file that is a symbolic link (to a file of the backup or elsewhere) is a
// damaged entry: never listed, counted apart from the missing ones.
TEST_F(MediaListingTest, StoredFilesThatAreLinksAreLeftOutAsDamaged) {
    const std::string base = "/var/mobile/Media/DCIM/100APPLE/";
    BackupFileRecord* kept = files.Add(CategoryMedia, base + "IMG_0001.JPG", 400);
    BackupFileRecord* toOutside = files.Add(CategoryMedia, base + "IMG_0002.JPG", 300);
    BackupFileRecord* toInside = files.Add(CategoryMedia, base + "IMG_0003.JPG", 200);
    const std::filesystem::path root = files.BackupDir();
    kit::ScratchFolder elsewhere("outside");
    const std::filesystem::path outside = elsewhere.path() / "outside-of-backup.jpg";
    std::ofstream(outside) << "not backup content";
    for (int ios : {9, 14}) {
        std::filesystem::remove(root / toOutside->StoredPath(ios));
        std::filesystem::create_symlink(outside, root / toOutside->StoredPath(ios));
        std::filesystem::remove(root / toInside->StoredPath(ios));
        std::filesystem::create_symlink(root / kept->StoredPath(ios), root / toInside->StoredPath(ios));
    }
    auto m = Make();
    CMediaFileListing listing(*m);
    listing.ListCameraRollMedia(processed, 3);
    ASSERT_EQ(1, m->photoList.count);
    EXPECT_EQ(m->photoList.first->storedPath, backupStoredPath(kept->storedName, 14));
    EXPECT_EQ(2, m->linkedMediaFiles);
    EXPECT_EQ(0, m->missingMediaFiles);
}
