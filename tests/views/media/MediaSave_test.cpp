// Saving from the media grids: copies byte for byte into the localised folder, an
// identical file left alone, a different one kept with the copy beside it, unreadable
// stored files counted; thumbnails made in the tile's box, damaged pictures refused.
#include "views/media/NSDirizaMusicView.h"
#include "views/media/NSDirizaPhotoView.h"
#include "views/media/NSDirizaVideoView.h"
#include "views/media/MediaFileCopier.h"
#include "views/media/ThumbnailLoader.h"

#include "tests/kit/FakePreviewService.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/MediaFixture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>

#include <thread>

#include <sys/stat.h>

using namespace mediatest;

namespace {

class GridSave : public ::testing::Test {
  protected:
    void SetUp() override {
        QSettings().setValue("AppLanguage", "en");
        backup = QString::fromStdString((scratch.path() / "backup").string());
        out = QString::fromStdString((scratch.path() / "out").string());
        QDir().mkpath(backup);
        QDir().mkpath(out);
    }
    template <class View> bool Show(View& view, const QList<NSDeletedFile>& files) {
        view.StartUpdateUI();
        std::thread([&] { view.AddDirizaFile(files); }).join();
        return WaitUntil([&] { return !view.ShowsLoading(); });
    }
    DirizaSaveResult SaveOnWorker(DirizaResultView& view) {
        DirizaSaveResult r;
        std::thread([&] { r = view.DirizaData(out); }).join();
        return r;
    }
    kit::ScratchFolder scratch{"gridsave"};
    kit::FakePreviewService preview;
    QString backup, out;
};

} // namespace

TEST_F(GridSave, CopiesAreByteIdenticalAndNeverReplaceADifferentFile) {
    const QByteArray a = Png(20, 10), b("video bytes\0\x01\x02", 14), c = QByteArray(3 << 20, 'z');
    ASSERT_TRUE(Store(backup, "aa/1111", a));
    ASSERT_TRUE(Store(backup, "bb/2222", b));
    ASSERT_TRUE(Store(backup, "cc/3333", c)); // larger than one copy chunk
    NSDirizaPhotoView view(preview, nullptr, 20);
    ASSERT_TRUE(Show(view, {Record(backup, "000001.jpg", "aa/1111"), Record(backup, "000002.mov", "bb/2222"),
                            Record(backup, "000003.png", "cc/3333", On("2019-05-05"))}));
    // A different file of the first name is already there, an identical one of the second.
    ASSERT_TRUE(QDir().mkpath(out + "/Photos"));
    {
        QFile f(out + "/Photos/000001.jpg");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("mine");
    }
    {
        QFile f(out + "/Photos/000002.mov");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(b);
    }
    const auto before = kit::FolderSnapshot::Take(backup.toStdString());
    view.AllSelect();
    const DirizaSaveResult r = SaveOnWorker(view);
    EXPECT_EQ(r, (DirizaSaveResult{3, 0}));
    EXPECT_EQ(ReadAll(out + "/Photos/000001.jpg"), "mine");
    EXPECT_EQ(ReadAll(out + "/Photos/000001 (2).jpg"), a);
    EXPECT_EQ(ReadAll(out + "/Photos/000002.mov"), b);
    EXPECT_FALSE(QFile::exists(out + "/Photos/000002 (2).mov"));
    EXPECT_EQ(ReadAll(out + "/Photos/000003.png"), c);
    // Saving again adds nothing: every copy is found identical.
    const auto saved = kit::FolderSnapshot::Take((out + "/Photos").toStdString());
    EXPECT_EQ(SaveOnWorker(view), (DirizaSaveResult{3, 0}));
    EXPECT_EQ("", kit::FolderSnapshot::Take((out + "/Photos").toStdString()).DiffFrom(saved));
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.toStdString()).DiffFrom(before));
}

TEST_F(GridSave, TwoFilesOfOneNameAreBothKept) {
    ASSERT_TRUE(Store(backup, "aa/1", "first"));
    ASSERT_TRUE(Store(backup, "aa/2", "second"));
    NSDirizaPhotoView view(preview, nullptr, 20);
    ASSERT_TRUE(
        Show(view, {Record(backup, "IMG.jpg", "aa/1", On("2020-02-02")), Record(backup, "IMG.jpg", "aa/2")}));
    view.AllSelect();
    EXPECT_EQ(SaveOnWorker(view), (DirizaSaveResult{2, 0}));
    EXPECT_EQ(ReadAll(out + "/Photos/IMG.jpg"), "first");
    EXPECT_EQ(ReadAll(out + "/Photos/IMG (2).jpg"), "second");
}

TEST_F(GridSave, UnreadableStoredFilesAreCountedAndTheRestSaved) {
    ASSERT_TRUE(Store(backup, "aa/ok", "fine"));
    ASSERT_TRUE(QDir().mkpath(backup + "/bb/dir"));
    NSDirizaMusicView view(preview, nullptr, 20);
    ASSERT_TRUE(
        Show(view, {Record(backup, "000001.m4a", "aa/missing"), Record(backup, "000002.m4a", "aa/ok"),
                    Record(backup, "000003.m4a", "bb/dir"), Record(backup, "../../evil.m4a", "aa/ok")}));
    view.AllSelect();
    // The missing file is not in the backup (counted apart), the folder is damaged.
    EXPECT_EQ(SaveOnWorker(view), (DirizaSaveResult{2, 1, 1}));
    EXPECT_EQ(ReadAll(out + "/Voice Memos/000002.m4a"), "fine");
    // A name from the backup never leaves the folder.
    EXPECT_EQ(QDir(out + "/Voice Memos").entryList(QDir::Files | QDir::Hidden).size(), 2);
    EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList({"Voice Memos"}));
}

// A stored file is read only when it is a regular file of the backup: a link (to a file
// outside the backup, or dangling) in its place or in its two-character folder's, a folder
// or a pipe in its place is damaged and never copied; a path naming nothing is a file the
// backup does not hold.
TEST_F(GridSave, StoredFilesAreReadWithoutFollowingLinks) {
    const QString outside = QString::fromStdString((scratch.path() / "outside.bin").string());
    {
        QFile f(outside);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not of the backup");
    }
    ASSERT_TRUE(Store(backup, "aa/ok", "fine"));
    ASSERT_TRUE(QDir().mkpath(backup + "/bb"));
    ASSERT_TRUE(QFile::link(outside, backup + "/bb/link"));
    ASSERT_TRUE(QFile::link(backup + "/bb/none", backup + "/bb/dangling"));
    ASSERT_TRUE(QFile::link(backup + "/aa/ok", backup + "/bb/inside")); // a link, even to a backup file
    ASSERT_TRUE(QDir().mkpath(backup + "/bb/dir"));
    ASSERT_EQ(0, ::mkfifo((backup + "/bb/pipe").toLocal8Bit().constData(), 0600));
    // A two-character folder that is a link to a folder outside the backup.
    const QString outsideFolder = QString::fromStdString((scratch.path() / "outside").string());
    ASSERT_TRUE(Store(outsideFolder, "cc01", "not of the backup"));
    ASSERT_TRUE(QFile::link(outsideFolder, backup + "/cc"));
    struct Case {
        const char* stored;
        MediaFileCopier::Outcome outcome;
    } cases[] = {
        {"aa/ok", MediaFileCopier::Outcome::Written},
        {"bb/link", MediaFileCopier::Outcome::SourceUnreadable},
        {"bb/dangling", MediaFileCopier::Outcome::SourceUnreadable},
        {"bb/inside", MediaFileCopier::Outcome::SourceUnreadable},
        {"bb/dir", MediaFileCopier::Outcome::SourceUnreadable},
        {"bb/pipe", MediaFileCopier::Outcome::SourceUnreadable},
        {"cc/cc01", MediaFileCopier::Outcome::SourceUnreadable},
        {"bb/missing", MediaFileCopier::Outcome::SourceMissing},
        {"", MediaFileCopier::Outcome::SourceMissing},
    };
    const SaveFolder folder(out);
    int n = 0;
    for (const Case& c : cases) {
        const QString source = c.stored[0] ? backup + "/" + c.stored : QString();
        const auto r = MediaFileCopier::Copy(folder, QString("f%1.bin").arg(++n), source);
        EXPECT_EQ(int(c.outcome), int(r.outcome)) << c.stored;
    }
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList({"f1.bin"}));

    // Through a view: the link is a damaged entry, the missing file counted apart.
    NSDirizaVideoView view(preview, nullptr, 20);
    ASSERT_TRUE(Show(view, {Record(backup, "a.mov", "aa/ok"), Record(backup, "b.mov", "bb/link"),
                            Record(backup, "c.mov", "bb/missing")}));
    view.AllSelect();
    EXPECT_EQ(SaveOnWorker(view), (DirizaSaveResult{1, 1, 1}));
    EXPECT_EQ(QDir(out + "/Videos").entryList(QDir::Files | QDir::Hidden), QStringList({"a.mov"}));
}

// A name whose safe form fills the length limit still gets its " (n)": the suffix is
// composed inside the limit, so a second, different file of that name is written too.
TEST_F(GridSave, LongNamesAreNumberedWithinTheLimit) {
    for (int stemBytes : {150, 195, 196, 197, 200, 260}) {
        SCOPED_TRACE(stemBytes);
        const QString name = QString(stemBytes, QChar('n')) + ".jpg";
        const QString target = out + QString("/long%1").arg(stemBytes);
        ASSERT_TRUE(QDir().mkpath(target));
        ASSERT_TRUE(Store(backup, "cc/one", "first"));
        ASSERT_TRUE(Store(backup, "cc/two", "second"));
        ASSERT_TRUE(Store(backup, "cc/three", "third"));
        const SaveFolder folder(target);
        const auto a = MediaFileCopier::Copy(folder, name, backup + "/cc/one");
        const auto b = MediaFileCopier::Copy(folder, name, backup + "/cc/two");
        const auto c = MediaFileCopier::Copy(folder, name, backup + "/cc/three");
        const auto again = MediaFileCopier::Copy(folder, name, backup + "/cc/two");
        ASSERT_EQ(int(MediaFileCopier::Outcome::Written), int(a.outcome));
        ASSERT_EQ(int(MediaFileCopier::Outcome::Written), int(b.outcome));
        ASSERT_EQ(int(MediaFileCopier::Outcome::Written), int(c.outcome));
        EXPECT_EQ(int(MediaFileCopier::Outcome::Identical), int(again.outcome));
        EXPECT_EQ(b.path, again.path);
        EXPECT_EQ(ReadAll(a.path), "first");
        EXPECT_EQ(ReadAll(b.path), "second");
        EXPECT_EQ(ReadAll(c.path), "third");
        // The same names the one unique-name helper gives, each within the limit.
        EXPECT_EQ(QFileInfo(b.path).fileName(), SaveFolder::NumberedName(name, 2));
        EXPECT_EQ(QFileInfo(c.path).fileName(), SaveFolder::NumberedName(name, 3));
        for (const auto* r : {&a, &b, &c}) {
            EXPECT_LE(QFileInfo(r->path).fileName().toUtf8().size(), SaveFolder::MaxNameBytes);
            EXPECT_TRUE(QFileInfo(r->path).fileName().endsWith(".jpg"));
        }
        EXPECT_TRUE(QFileInfo(c.path).fileName().endsWith(" (3).jpg"));
        EXPECT_EQ(QDir(target).entryList(QDir::Files).size(), 3);
    }
}

TEST_F(GridSave, StartUpdateUIForgetsTheFilesOfTheLastScan) {
    ASSERT_TRUE(Store(backup, "aa/1", "x"));
    NSDirizaVideoView view(preview, nullptr, 20);
    ASSERT_TRUE(Show(view, {Record(backup, "000001.mov", "aa/1")}));
    view.AllSelect();
    view.StartUpdateUI();
    EXPECT_FALSE(view.isSelectData());
    EXPECT_EQ(SaveOnWorker(view), DirizaSaveResult{});
    EXPECT_EQ(0, view.Grid().FileCount());
}

TEST_F(GridSave, ClearDataDropsADeliveryStillWaitingForTheTimer) {
    ASSERT_TRUE(Store(backup, "aa/1", "x"));
    // The timer never ticks within the test: what it would show is what is left waiting.
    NSDirizaPhotoView view(preview, nullptr, 3600 * 1000);
    const QList<NSDeletedFile> first{Record(backup, "000001.jpg", "aa/1")};
    // Cleared while the hand-over is still on its way to the GUI thread, and once it has
    // arrived and waits for the timer.
    for (const bool arrived : {false, true}) {
        SCOPED_TRACE(arrived);
        view.StartUpdateUI();
        ASSERT_TRUE(view.Delivery()->Waiting());
        std::thread([&] { view.AddDirizaFile(first); }).join();
        if (arrived) ASSERT_TRUE(RunPostedCalls(&view));
        view.ClearData(); // the user left the page before the timer showed the files
        ASSERT_TRUE(RunPostedCalls(&view));
        // No timer is left to show anything, and nothing was shown.
        EXPECT_FALSE(view.Delivery()->Waiting());
        EXPECT_EQ(0, view.Grid().FileCount());
        view.AllSelect();
        EXPECT_EQ(SaveOnWorker(view), DirizaSaveResult{});
    }
    // A later delivery shows as before.
    NSDirizaPhotoView quick(preview, nullptr, 20);
    quick.StartUpdateUI();
    quick.ClearData();
    const QList<NSDeletedFile> second{Record(backup, "000002.jpg", "aa/1")};
    std::thread([&] { quick.AddDirizaFile(second); }).join();
    ASSERT_TRUE(WaitUntil([&] { return quick.Grid().FileCount() == 1; }));
}

TEST(Thumbnail, FitsTheBoxByTheNarrowerSide) {
    struct Case {
        QSize in, out;
    } cases[] = {{{218, 100}, {109, 50}},
                 {{100, 248}, {50, 124}},
                 {{109, 124}, {109, 124}},
                 {{10, 10}, {109, 109}},
                 {{1, 60000}, {1, 124}},
                 {{60000, 1}, {109, 1}},
                 {{0, 5}, {}}};
    for (const Case& c : cases)
        EXPECT_EQ(ThumbnailLoader::ThumbnailSize(c.in), c.out) << c.in.width() << "x" << c.in.height();
}

TEST(Thumbnail, ReadsPicturesAndRefusesDamagedOnes) {
    kit::ScratchFolder scratch("thumb");
    const QString dir = QString::fromStdString(scratch.path().string());
    ASSERT_TRUE(Store(dir, "wide.png", Png(218, 100)));
    ASSERT_TRUE(Store(dir, "huge.png", HugePngHeader()));
    ASSERT_TRUE(Store(dir, "empty.png", QByteArray()));
    ASSERT_TRUE(Store(dir, "cut.png", Png(300, 300).left(60)));
    ASSERT_TRUE(Store(dir, "text.jpg", "jpeg 0"));
    // A picture in a two-character folder that is a link to a folder outside the backup.
    const QString outside = QString::fromStdString((scratch.path() / "outside").string());
    ASSERT_TRUE(Store(outside, "cd01", Png(218, 100)));
    ASSERT_TRUE(QFile::link(outside, dir + "/cd"));
    EXPECT_EQ(ThumbnailLoader::MakeThumbnail(dir + "/wide.png").size(), QSize(109, 50));
    for (const char* bad : {"huge.png", "empty.png", "cut.png", "text.jpg", "missing.png", "cd/cd01"}) {
        QString why;
        EXPECT_TRUE(ThumbnailLoader::MakeThumbnail(dir + "/" + bad, &why).isNull()) << bad;
        EXPECT_FALSE(why.isEmpty()) << bad;
    }
}

TEST(Thumbnail, LoadsOffTheGuiThreadIntoTheCache) {
    kit::ScratchFolder scratch("thumbload");
    const QString dir = QString::fromStdString(scratch.path().string());
    ASSERT_TRUE(Store(dir, "wide.png", Png(218, 100)));
    ASSERT_TRUE(Store(dir, "bad.png", "no"));
    ThumbnailLoader loader;
    QImage image;
    EXPECT_EQ(loader.Get(dir + "/wide.png", &image), ThumbnailLoader::State::Loading);
    EXPECT_EQ(loader.Get(dir + "/bad.png", &image), ThumbnailLoader::State::Loading);
    ASSERT_TRUE(
        WaitUntil([&] { return loader.Get(dir + "/wide.png", &image) == ThumbnailLoader::State::Ready; }));
    EXPECT_EQ(image.size(), QSize(109, 50));
    ASSERT_TRUE(
        WaitUntil([&] { return loader.Get(dir + "/bad.png", nullptr) == ThumbnailLoader::State::Failed; }));
    // Work for a tile no longer painted is dropped, and asked for again later.
    loader.Clear();
    EXPECT_EQ(loader.Get(dir + "/wide.png", &image), ThumbnailLoader::State::Loading);
    loader.BeginFrame();
    ASSERT_TRUE(
        WaitUntil([&] { return loader.Get(dir + "/wide.png", &image) == ThumbnailLoader::State::Ready; }));
}

KIT_QT_TEST_MAIN(QApplication)
