// The attachment view: two sections by day, ticks across both, and the save that
// copies pictures and turns voice messages into MP3 (SILK) or AMR files, keeping the
// raw voice file when a conversion fails; the backup is never touched.
#include "views/media/NSDirizaAttachmentView.h"
#include "views/media/VoiceFile.h"

#include "tests/kit/FakePreviewService.h"
#include "tests/kit/FakeVoiceConverter.h"
#include "tests/kit/FolderSnapshot.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/MediaFixture.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>

#include <stdexcept>
#include <thread>

using namespace mediatest;

namespace {

const QByteArray kSilk = QByteArray("\x02#!SILK_V3", 10) + QByteArray(20, '\x11');
const QByteArray kAmr = QByteArrayLiteral("#!AMR\n") + QByteArray(20, '\x22');

struct Spy : NSDirizaDataUpdateDelegate {
    void UpdateDirizaFileNum(int type, qint64 num) override { counts.emplace_back(type, num); }
    void ViewisAllSelect(int type, bool all) override { ticks.emplace_back(type, all); }
    std::vector<std::pair<int, qint64>> counts;
    std::vector<std::pair<int, bool>> ticks;
};

class Attachments : public ::testing::Test {
  protected:
    void SetUp() override {
        QSettings().setValue("AppLanguage", "en");
        backup = QString::fromStdString((scratch.path() / "backup").string());
        // The chosen folder's own path holds ".aud": only file names change.
        out = QString::fromStdString((scratch.path() / "rec.aud.audio").string());
        QDir().mkpath(backup);
        QDir().mkpath(out);
        view.SetDirizaType(DirizaResultView::WXAttachment);
        view.setDelegate(&spy);
    }
    void TearDown() override { view.setDelegate(nullptr); }
    bool Show(const QList<NSDeletedFile>& photos, const QList<NSDeletedFile>& media) {
        view.StartUpdateUI();
        std::thread([&] { view.AddDirizaFile(photos, media); }).join();
        return WaitUntil([&] { return !view.ShowsLoading(); });
    }
    DirizaSaveResult SaveOnWorker() {
        DirizaSaveResult r;
        std::thread([&] { r = view.DirizaData(out); }).join();
        return r;
    }
    kit::ScratchFolder scratch{"attach"};
    kit::FakePreviewService preview;
    kit::FakeVoiceConverter voice;
    Spy spy;
    NSDirizaAttachmentView view{preview, voice, nullptr, 20};
    QString backup, out;
};

} // namespace

TEST(VoiceFileNames, OnlyTheExtensionChanges) {
    EXPECT_EQ(VoiceFile::WithExtension("000001.aud", ".mp3"), "000001.mp3");
    EXPECT_EQ(VoiceFile::WithExtension("000001.AUD", ".amr"), "000001.AMR");
    EXPECT_EQ(VoiceFile::WithExtension("x.audio.aud", ".mp3"), "x.audio.mp3");
    EXPECT_EQ(VoiceFile::WithExtension("noext", ".amr"), "noext.amr");
    EXPECT_TRUE(VoiceFile::HasSilkMark(QByteArray("#!SILK_V3")));
    EXPECT_TRUE(VoiceFile::HasSilkMark(kSilk));
    EXPECT_FALSE(VoiceFile::HasSilkMark(QByteArray("\0#!SILK_V3", 10)));
    EXPECT_FALSE(VoiceFile::HasSilkMark(QByteArray("12345")));
}

TEST_F(Attachments, SaveTable) {
    ASSERT_TRUE(Store(backup, "p/1", Png(30, 20)));
    ASSERT_TRUE(Store(backup, "v/silk", kSilk));
    ASSERT_TRUE(Store(backup, "v/amr", kAmr));
    ASSERT_TRUE(Store(backup, "v/raw", "rawamr"));
    ASSERT_TRUE(Store(backup, "v/five", "12345"));
    ASSERT_TRUE(Store(backup, "m/clip", "mp4"));
    ASSERT_TRUE(Show({Record(backup, "000001.jpg", "p/1")},
                     {Record(backup, "000002.aud", "v/silk"), Record(backup, "000003.aud", "v/amr"),
                      Record(backup, "000004.AUD", "v/raw"), Record(backup, "000005.aud", "v/five"),
                      Record(backup, "000006.aud", "v/missing"),
                      Record(backup, "000007.mp4", "m/clip", On("2018-01-01"))}));
    ASSERT_EQ(spy.counts.size(), 1u);
    EXPECT_EQ(spy.counts[0], (std::pair<int, qint64>{14, 7}));
    const auto before = kit::FolderSnapshot::Take(backup.toStdString());
    view.AllSelect();
    EXPECT_EQ(SaveOnWorker(), (DirizaSaveResult{6, 0, 1})); // the missing voice file is counted apart
    const QString folder = out + "/WeChat Attachments";
    EXPECT_EQ(ReadAll(folder + "/000001.jpg"), Png(30, 20));
    EXPECT_EQ(ReadAll(folder + "/000002.mp3"), kit::FakeVoiceConverter::Mp3Bytes());
    EXPECT_EQ(ReadAll(folder + "/000003.amr"), kAmr); // the header once
    EXPECT_EQ(ReadAll(folder + "/000004.AMR"), "#!AMR\nrawamr");
    EXPECT_EQ(ReadAll(folder + "/000005.amr"), "#!AMR\n12345");
    EXPECT_EQ(ReadAll(folder + "/000007.mp4"), "mp4");
    EXPECT_FALSE(QFile::exists(folder + "/000006.amr"));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 6);
    const auto calls = voice.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, backup + "/v/silk");
    // The converter wrote a file of the save's own, which then took the free name.
    EXPECT_TRUE(calls[0].second.startsWith(folder + "/.")) << calls[0].second.toStdString();
    EXPECT_FALSE(QFile::exists(calls[0].second));
    EXPECT_EQ("", kit::FolderSnapshot::Take(backup.toStdString()).DiffFrom(before));
}

TEST_F(Attachments, AFailedConversionKeepsTheRawVoiceFile) {
    ASSERT_TRUE(Store(backup, "v/silk", kSilk));
    ASSERT_TRUE(Store(backup, "v/silk2", kSilk + "2"));
    ASSERT_TRUE(Show({}, {Record(backup, "000001.aud", "v/silk"), Record(backup, "000002.aud", "v/silk2")}));
    const QString folder = out + "/WeChat Attachments";
    for (auto answer : {kit::FakeVoiceConverter::Answer::Fail, kit::FakeVoiceConverter::Answer::Throw}) {
        QDir(folder).removeRecursively();
        voice.answer = answer;
        view.AllSelect();
        EXPECT_EQ(SaveOnWorker(), (DirizaSaveResult{0, 2}));
        EXPECT_EQ(ReadAll(folder + "/000001.aud"), kSilk);
        EXPECT_EQ(ReadAll(folder + "/000002.aud"), kSilk + "2");
        EXPECT_FALSE(QFile::exists(folder + "/000001.mp3"));
    }
}

// A converter that fails after another writer took the name the MP3 would get: the
// other writer's file stays; only what this save made goes.
class RacedConverter final : public IVoiceConverter {
  public:
    explicit RacedConverter(QString taken) : taken_(std::move(taken)) {}
    bool SaveMP3(const QString&, const QString& mp3Path) override {
        {
            QFile other(taken_);
            if (other.open(QIODevice::WriteOnly | QIODevice::NewOnly)) other.write("another writer");
        }
        QFile part(mp3Path); // a partial file of its own, left behind
        if (part.open(QIODevice::WriteOnly | QIODevice::NewOnly)) part.write("partial");
        parts.push_back(mp3Path);
        if (throws) throw std::runtime_error("decoder failed");
        return false;
    }
    bool throws = false;
    std::vector<QString> parts;

  private:
    QString taken_;
};

TEST_F(Attachments, AFailedConversionRemovesOnlyWhatTheSaveMade) {
    ASSERT_TRUE(Store(backup, "v/silk", kSilk));
    const QString folder = out + "/WeChat Attachments";
    for (bool throws : {false, true}) {
        SCOPED_TRACE(throws);
        QDir(folder).removeRecursively();
        RacedConverter converter(folder + "/000001.mp3");
        converter.throws = throws;
        NSDirizaAttachmentView own{preview, converter, nullptr, 20};
        own.SetDirizaType(DirizaResultView::WXAttachment);
        own.StartUpdateUI();
        const QList<NSDeletedFile> media{Record(backup, "000001.aud", "v/silk")};
        std::thread([&] { own.AddDirizaFile({}, media); }).join();
        ASSERT_TRUE(WaitUntil([&] { return !own.ShowsLoading(); }));
        own.AllSelect();
        DirizaSaveResult r;
        std::thread([&] { r = own.DirizaData(out); }).join();
        EXPECT_EQ(r, (DirizaSaveResult{0, 1}));
        EXPECT_EQ(ReadAll(folder + "/000001.mp3"), "another writer");
        EXPECT_EQ(ReadAll(folder + "/000001.aud"), kSilk); // the raw voice file is kept
        ASSERT_EQ(converter.parts.size(), 1u);
        EXPECT_FALSE(QFile::exists(converter.parts[0]));
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                  QStringList({"000001.aud", "000001.mp3"}));
    }
}

TEST_F(Attachments, ClearDataDropsADeliveryStillWaitingForTheTimer) {
    ASSERT_TRUE(Store(backup, "m/1", "a"));
    const QList<NSDeletedFile> photos{Record(backup, "a.jpg", "m/1")}, media{Record(backup, "b.mp4", "m/1")};
    // The timer never ticks within the test: what it would show is what is left waiting.
    NSDirizaAttachmentView own{preview, voice, nullptr, 3600 * 1000};
    // Cleared while the hand-over is still on its way to the GUI thread, and once it has
    // arrived and waits for the timer.
    for (const bool arrived : {false, true}) {
        SCOPED_TRACE(arrived);
        own.StartUpdateUI();
        ASSERT_TRUE(own.ShowsLoading());
        std::thread([&] { own.AddDirizaFile(photos, media); }).join();
        if (arrived) ASSERT_TRUE(RunPostedCalls(&own));
        own.ClearData(); // the user left the page before the timer showed the files
        ASSERT_TRUE(RunPostedCalls(&own));
        // No timer is left to show anything, and nothing was shown.
        EXPECT_FALSE(own.ShowsLoading());
        EXPECT_EQ(0, own.PhotoGrid().FileCount() + own.MediaSection().FileCount());
        own.AllSelect();
        DirizaSaveResult r;
        std::thread([&] { r = own.DirizaData(out); }).join();
        EXPECT_EQ(r, DirizaSaveResult{});
    }
    // A later scan's files show as before.
    own.StartUpdateUI();
    std::thread([&] { own.AddDirizaFile(photos, media); }).join();
    ASSERT_TRUE(RunPostedCalls(&own));
    EXPECT_TRUE(own.ShowsLoading()); // waits for the timer with the files
}

TEST_F(Attachments, SectionsTicksAndFolders) {
    ASSERT_TRUE(Store(backup, "m/1", "a"));
    // Only media: the picture section says so, select-all ticks every media file.
    ASSERT_TRUE(Show({}, {Record(backup, "a.mp4", "m/1"), Record(backup, "b.pdf", "m/1")}));
    EXPECT_TRUE(view.PhotoSectionEmpty());
    EXPECT_FALSE(view.MediaSectionEmpty());
    view.AllSelect();
    EXPECT_EQ(view.MediaSection().TickedCount(), 2);
    // A tick by the user reports "everything ticked" against both sections' files.
    view.MediaSection().ToggleFile(0);
    ASSERT_FALSE(spy.ticks.empty());
    EXPECT_EQ(spy.ticks.back(), (std::pair<int, bool>{14, false}));
    view.MediaSection().ToggleFile(0);
    EXPECT_EQ(spy.ticks.back(), (std::pair<int, bool>{14, true}));
    view.SelectTab(1);
    EXPECT_EQ(view.SelectedTab(), 1);
    // The folder follows the type.
    const std::pair<int, const char*> folders[] = {
        {2, "SMS Attachments"}, {3, "Notes Attachments"}, {14, "WeChat Attachments"}, {7, "Attachments"}};
    for (const auto& [type, name] : folders) {
        view.SetDirizaType(type);
        EXPECT_EQ(view.FolderName(), name);
    }
    // Nothing at all: the whole view says so.
    ASSERT_TRUE(Show({}, {}));
    EXPECT_TRUE(view.ShowsNoData());
}

KIT_QT_TEST_MAIN(QApplication)
