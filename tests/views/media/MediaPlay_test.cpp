// What a tile's buttons open: the play dispatch by kind and content, the AMR header put
// in front only when missing, "text.amr" in the cache folder (never the backup), the
// 2 s guard of the video tile on an injected clock, and text-tile excerpts.
#include "views/media/MediaGrid.h"
#include "views/media/MediaPlayDispatcher.h"

#include "tests/kit/FakePreviewService.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/MediaFixture.h"

#include <QApplication>
#include <QDir>

using namespace mediatest;

namespace {

bool IsAudio(const QString& suffix) {
    return QStringList({"*.AUD;", "*.MP3;", "*.M4A;", "*.AMR;"}).contains(suffix.toUpper());
}

const QByteArray kSilk = QByteArray("\x02#!SILK_V3", 10) + QByteArray(20, '\x11');
const QByteArray kAmr = QByteArrayLiteral("#!AMR\n") + QByteArray(20, '\x22');
const QByteArray kRawAmr = QByteArray(20, '\x22');

} // namespace

TEST(MediaPlay, DispatchByKindAndContent) {
    kit::ScratchFolder scratch("play");
    const QString backup = QString::fromStdString((scratch.path() / "backup").string());
    const QString cache = QString::fromStdString((scratch.path() / "cache").string());
    struct Case {
        const char* name;
        QByteArray bytes;
        QString kind;    // the preview call, "" for none
        QByteArray data; // the audio bytes handed over ("audio" calls)
        bool textAmr;    // "text.amr" written with `data`
        MediaPlayDispatcher::Outcome outcome;
    } cases[] = {
        {"v.aud", kSilk, "silk", {}, false, MediaPlayDispatcher::Outcome::Silk},
        {"V.AUD", kSilk, "silk", {}, false, MediaPlayDispatcher::Outcome::Silk},
        {"raw.aud", kRawAmr, "audio", kAmr, true, MediaPlayDispatcher::Outcome::AudioData},
        {"amr.aud", kAmr, "audio", kAmr, true, MediaPlayDispatcher::Outcome::AudioData},
        // A SILK mark without its leading byte, and a 5-byte file, are played as AMR.
        {"nolead.aud", kSilk.mid(1), "audio", "#!AMR\n" + kSilk.mid(1), true,
         MediaPlayDispatcher::Outcome::AudioData},
        {"short.aud", "12345", "audio", "#!AMR\n12345", true, MediaPlayDispatcher::Outcome::AudioData},
        {"song.mp3", "ID3mp3", "audio", "ID3mp3", false, MediaPlayDispatcher::Outcome::AudioData},
        {"clip.mov", "mov", "video", {}, false, MediaPlayDispatcher::Outcome::Video},
        {"doc.pdf", "pdf", "video", {}, false, MediaPlayDispatcher::Outcome::Video},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString stored = QStringLiteral("ab/%1").arg(++n);
        ASSERT_TRUE(Store(backup, stored, c.bytes));
        const auto before = kit::FolderSnapshot::Take(backup.toStdString());
        QDir(cache).removeRecursively();
        kit::FakePreviewService preview;
        MediaPlayDispatcher player(preview, &IsAudio);
        player.SetCacheFolder(cache);
        const NSFileData file(Record(backup, QString::fromLatin1(c.name), stored));
        EXPECT_EQ(player.Play(file, false), c.outcome);
        const auto calls = preview.Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].what, c.kind);
        if (c.kind == "audio")
            EXPECT_EQ(calls[0].data, c.data);
        else
            EXPECT_EQ(calls[0].path, backup + "/" + stored); // one "/" between the two
        EXPECT_EQ(QFile::exists(cache + "/text.amr"), c.textAmr);
        if (c.textAmr) EXPECT_EQ(ReadAll(cache + "/text.amr"), c.data);
        EXPECT_EQ("", kit::FolderSnapshot::Take(backup.toStdString()).DiffFrom(before));
    }
}

TEST(MediaPlay, TheAudioKindsComeFromTheSuffixLists) {
    EXPECT_TRUE(MediaPlayDispatcher::DefaultIsAudio("*.m4a;"));
    EXPECT_TRUE(MediaPlayDispatcher::DefaultIsAudio("*.MP3;"));
    EXPECT_FALSE(MediaPlayDispatcher::DefaultIsAudio("*.mov;"));
    EXPECT_FALSE(MediaPlayDispatcher::DefaultIsAudio(""));
}

TEST(MediaPlay, AnUnreadableAudioFileOpensNothing) {
    kit::ScratchFolder scratch("playbad");
    const QString backup = QString::fromStdString(scratch.path().string());
    kit::FakePreviewService preview;
    MediaPlayDispatcher player(preview, &IsAudio);
    player.SetCacheFolder(backup + "/cache");
    EXPECT_EQ(player.Play(NSFileData(Record(backup, "gone.m4a", "xx/none")), false),
              MediaPlayDispatcher::Outcome::Unreadable);
    EXPECT_EQ(player.Play(NSFileData(Record(backup, "gone.aud", "xx/none")), false),
              MediaPlayDispatcher::Outcome::Unreadable);
    EXPECT_TRUE(preview.Calls().empty());
    EXPECT_FALSE(QFile::exists(backup + "/cache/text.amr"));
}

TEST(MediaPlay, TheVideoTileIgnoresASecondPlayWithinTwoSeconds) {
    kit::ScratchFolder scratch("playguard");
    const QString backup = QString::fromStdString(scratch.path().string());
    ASSERT_TRUE(Store(backup, "ab/1", "mov"));
    kit::FakePreviewService preview;
    qint64 now = 10000;
    MediaPlayDispatcher player(preview, &IsAudio, [&] { return now; });
    const NSFileData file(Record(backup, "clip.mov", "ab/1"));
    struct Step {
        qint64 at;
        bool guarded;
        bool opens;
    } steps[] = {
        {10000, true, true}, {11999, true, false}, {11999, false, true}, // the audio tile has no guard
        {12000, true, true}, {12500, true, false}, {14000, true, true}};
    size_t expected = 0;
    for (const Step& s : steps) {
        now = s.at;
        const auto outcome = player.Play(file, s.guarded);
        EXPECT_EQ(outcome == MediaPlayDispatcher::Outcome::Guarded, !s.opens) << s.at;
        if (s.opens) ++expected;
        EXPECT_EQ(preview.Calls().size(), expected) << s.at;
    }
}

TEST(MediaPlay, PhotoAndTextPreviewsGetTheStoredPath) {
    kit::FakePreviewService preview;
    MediaPlayDispatcher player(preview, &IsAudio);
    player.ShowPhoto(NSFileData(Record("/bk", "000007.jpg", "ab/cd")));
    player.ShowText(NSFileData(Record("/bk", "note.txt", "ab/ef")));
    const auto calls = preview.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].what, "photo");
    EXPECT_EQ(calls[0].path, "/bk/ab/cd");
    EXPECT_EQ(calls[0].title, "000007.jpg");
    EXPECT_EQ(calls[1].what, "text");
    EXPECT_EQ(calls[1].path, "/bk/ab/ef");
}

TEST(MediaPlay, TextTilesShowTheStartOfTheirTextLeniently) {
    kit::ScratchFolder scratch("excerpt");
    const QString backup = QString::fromStdString(scratch.path().string());
    ASSERT_TRUE(Store(backup, "t/1", QByteArray(5000, 'a')));
    ASSERT_TRUE(Store(backup, "t/2", QByteArray("ok \xff\xfe end")));
    const MediaDayIndex index({Record(backup, "a.txt", "t/1"), Record(backup, "b.text", "t/2"),
                               Record(backup, "c.txt", "t/missing"), Record(backup, "d.mov", "t/1")});
    const auto excerpts = MediaGrid::TextExcerpts(index);
    EXPECT_EQ(excerpts.size(), 3);
    EXPECT_EQ(excerpts.value(0).size(), 4096);
    EXPECT_TRUE(excerpts.value(1).startsWith("ok "));
    EXPECT_TRUE(excerpts.value(1).endsWith(" end"));
    EXPECT_EQ(excerpts.value(2), "");
    EXPECT_FALSE(excerpts.contains(3));
}

KIT_QT_TEST_MAIN(QApplication)
