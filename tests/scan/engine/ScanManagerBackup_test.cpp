// The media part of a scan over backup folders written by the test kit, in both
// manifest generations: every listed file is found on disk through the scan
// manager's path join, and the backup folder is left exactly as it was.
#include "ScanFakes.h"
#include "core/backup/CMbdbFileParser.h"
#include "core/records/MediaFileRecord.h"
#include "scan/engine/CScanManager.h"
#include "tests/kit/BackupBuilder.h"
#include "tests/kit/FolderSnapshot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using scantest::RecordingProgress;

namespace {

struct File {
    const char* domain;
    const char* relativePath;
    const char* content;
    int32_t ctime;
};

const File kFiles[] = {
    {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.JPG", "photo one", 1500000000},
    {"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0002.MOV", "video two", 1500000100},
    {"MediaDomain", "Media/Recordings/20170714 101010.m4a", "memo", 1500000050},
    {"MediaDomain", "Library/SMS/Attachments/0a/10/IMG_1.jpeg", "sms photo", 1500000200},
    {"AppDomain-com.tencent.xin", "Documents/abc/Img/x/1.pic", "wx photo", 1500000300},
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ScanManagerBackupTest : public ::testing::TestWithParam<kit::BackupBuilder::Generation> {
  protected:
    void SetUp() override {
        root =
            fs::path(::testing::TempDir()) /
            ("scan_backup_" + std::to_string(static_cast<int>(GetParam())) + "_" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_P(ScanManagerBackupTest, ListedMediaLieUnderTheBackupRoot) {
    kit::BackupBuilder builder(root, GetParam());
    for (const File& f : kFiles)
        builder.AddFile(f.domain, f.relativePath, f.content, f.ctime, f.ctime, f.ctime);
    builder.Finish();
    const auto before = kit::FolderSnapshot::Take(root);
    CMbdbFileParser files;
    ASSERT_TRUE(files.Open(builder.ManifestPath().c_str(), root.c_str(), builder.IosMajorVersion()));
    const BackupEntryList* cameraRoll = files.GetEntryList(CategoryMedia);
    ASSERT_NE(nullptr, cameraRoll);
    const BackupEntryList manifestOrder = *cameraRoll;

    RecordingProgress progress;
    CScanManager m(ScanPhotos | ScanVideos | ScanVoiceMemos | ScanSmsAttachments | ScanWxAttachments,
                   root.c_str(), root.c_str(), builder.IosMajorVersion(), &progress, &files);
    m.SetFileSuffixes("*.jpg;*.jpeg;*.pic;", "*.mov;", "*.m4a;", "*.txt;");
    m.Scan();

    EXPECT_EQ((std::vector<int>{0x80, 0x100, 0x800, 0x200, 0x4000, 0}), progress.Types());
    std::vector<const MediaFileRecord*> listed;
    for (const auto* list :
         {&m.photoList, &m.videoList, &m.voiceMemoList, &m.smsAttachmentList, &m.wxAttachmentList})
        for (const MediaFileRecord* r = list->first; r; r = r->next)
            listed.push_back(r);
    ASSERT_EQ(5u, listed.size());
    std::vector<std::string> contents;
    for (const MediaFileRecord* r : listed) {
        const fs::path onDisk = m.BackupFilePath(r->storedPath);
        EXPECT_TRUE(fs::is_regular_file(onDisk)) << onDisk;
        contents.push_back(readFile(onDisk));
    }
    EXPECT_EQ((std::vector<std::string>{"photo one", "video two", "memo", "sms photo", "wx photo"}),
              contents);
    EXPECT_EQ("000001.jpg", m.wxAttachmentList.first->displayName);
    EXPECT_EQ("000001.jpeg", m.smsAttachmentList.first->displayName);
    // The reader's own list is not reordered by the listing.
    EXPECT_EQ(manifestOrder, *files.GetEntryList(CategoryMedia));
    EXPECT_EQ("", kit::FolderSnapshot::Take(root).DiffFrom(before));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, ScanManagerBackupTest,
                         ::testing::Values(kit::BackupBuilder::Generation::Mbdb,
                                           kit::BackupBuilder::Generation::ManifestDb));

} // namespace
