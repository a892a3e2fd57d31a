// Every media view renders offscreen in the light and the dark appearance: the grid's
// background of each, day headers and tiles painted, thumbnails loaded off the GUI
// thread and shown.
#include "views/media/MediaGridListView.h"
#include "views/media/NSDirizaAttachmentView.h"
#include "views/media/NSDirizaMusicView.h"
#include "views/media/NSDirizaPhotoView.h"
#include "views/media/NSDirizaVideoView.h"

#include "tests/kit/FakeAppearance.h"
#include "tests/kit/FakePreviewService.h"
#include "tests/kit/FakeVoiceConverter.h"
#include "tests/kit/QtTestMain.h"
#include "tests/kit/ScratchFolder.h"
#include "tests/views/media/MediaFixture.h"

#include <QApplication>
#include <QSettings>

#include <thread>

using namespace mediatest;

namespace {

class Render : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        QSettings().setValue("AppLanguage", "en");
        backup = QString::fromStdString(scratch.path().string());
        Store(backup, "p/red", Png(218, 100, QColor(220, 30, 30)));
        Store(backup, "p/bad", HugePngHeader());
        Store(backup, "v/mov", "mov");
        Store(backup, "v/txt", "Hello from a text file");
        Store(backup, "a/m4a", "m4a");
    }
    QImage Shot(QWidget& view) {
        view.resize(720, 480);
        view.show();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        return view.grab().toImage();
    }
    // Most pixels of the image have the colour (the background shows).
    static bool Mostly(const QImage& image, QColor color) {
        int same = 0, all = 0;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7, ++all)
                if (image.pixelColor(x, y).rgb() == color.rgb()) ++same;
        return same * 2 > all;
    }
    static bool Has(const QImage& image, QColor color) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).rgb() == color.rgb()) return true;
        return false;
    }
    kit::ScratchFolder scratch{"render"};
    kit::FakePreviewService preview;
    kit::FakeVoiceConverter voice;
    QString backup;
};

template <class View> bool Show(View& view, const QList<NSDeletedFile>& files) {
    view.StartUpdateUI();
    std::thread([&] { view.AddDirizaFile(files); }).join();
    return WaitUntil([&] { return !view.ShowsLoading(); });
}

} // namespace

TEST_P(Render, GridsInBothAppearances) {
    const bool dark = GetParam();
    kit::FakeAppearance appearance(dark);
    const QColor background = MediaGridListView::Background(dark);
    {
        NSDirizaPhotoView view(preview, nullptr, 20);
        ASSERT_TRUE(Show(view, {Record(backup, "000001.png", "p/red"), Record(backup, "000002.png", "p/bad"),
                                Record(backup, "000003.png", "p/missing", On("2019-01-01"))}));
        QImage shot = Shot(view);
        // The thumbnail arrives a moment later.
        ASSERT_TRUE(WaitUntil([&] {
            shot = view.grab().toImage();
            return Has(shot, QColor(220, 30, 30));
        }));
        EXPECT_TRUE(Mostly(shot, background));
    }
    {
        NSDirizaVideoView view(preview, nullptr, 20);
        ASSERT_TRUE(
            Show(view, {Record(backup, "000001.mov", "v/mov"), Record(backup, "000002.txt", "v/txt")}));
        EXPECT_TRUE(Mostly(Shot(view), background));
    }
    {
        NSDirizaMusicView view(preview, nullptr, 20);
        ASSERT_TRUE(Show(view, {Record(backup, "000001.m4a", "a/m4a")}));
        EXPECT_TRUE(Mostly(Shot(view), background));
    }
    {
        NSDirizaAttachmentView view(preview, voice, nullptr, 20);
        view.SetDirizaType(DirizaResultView::SMSAttachment);
        view.StartUpdateUI();
        view.AddDirizaFile({Record(backup, "000001.png", "p/red")}, {Record(backup, "000002.mov", "v/mov")});
        ASSERT_TRUE(WaitUntil([&] { return !view.ShowsLoading(); }));
        const QImage photos = Shot(view);
        view.SelectTab(1);
        const QImage media = Shot(view);
        EXPECT_NE(photos, media);
        EXPECT_TRUE(Mostly(media, background));
    }
}

INSTANTIATE_TEST_SUITE_P(Appearances, Render, ::testing::Values(false, true));

KIT_QT_TEST_MAIN(QApplication)
