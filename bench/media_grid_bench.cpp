// Media grid benchmark: a photo grid of many files (default 20000, on a few hundred
// days, with real small pictures) shown offscreen, then scrolled from top to bottom
// page by page. Prints the time to index the delivery, to show it, the mean and worst
// time per page of scrolling (thumbnails loading meanwhile) and the peak memory.
//
//   media_grid_bench [files]
#include "views/media/NSDirizaPhotoView.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

class NoPreview final : public IPreviewService {
  public:
    void ShowPhoto(const QString&, const QString&) override {}
    void ShowPhotoThumbnail(const QString&) override {}
    void ShowVideo(const QString&) override {}
    void ShowSilkVoice(const QString&) override {}
    void ShowAudioData(const QByteArray&) override {}
    void ShowVoiceFile(const QString&) override {}
    void ShowText(const QString&) override {}
    void ShowNoPreview(const QString&) override {}
};

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Options meant for the Google Benchmark programs (run-benchmarks passes them) are ignored.
    const bool given = argc > 1 && argv[1][0] != '-';
    const int count = given ? std::max(1, atoi(argv[1])) : 20000;
    QTemporaryDir dir;
    // A hundred distinct pictures, shared by the records (the grid reads each path once).
    for (int i = 0; i < 100; ++i) {
        QImage image(640 + i, 480, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 3, 160, 200));
        image.save(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), "JPG");
    }
    QList<NSDeletedFile> files;
    files.reserve(count);
    const QDateTime start(QDate(2019, 1, 1), QTime(12, 0));
    for (int i = 0; i < count; ++i) {
        NSDeletedFile f;
        f.setFileName(QStringLiteral("%1.jpg").arg(i + 1, 6, 10, QLatin1Char('0')));
        f.setBackUpPath(dir.path() + QStringLiteral("/"));
        f.setSHA1(QStringLiteral("p%1.jpg").arg(i % 100));
        f.setSuffix(QStringLiteral("*.jpg;"));
        f.setMtime(start.addDays(i / 60));
        files << f;
    }
    NoPreview preview;
    NSDirizaPhotoView view(preview, nullptr, 10);
    view.resize(900, 700);
    view.show();
    view.StartUpdateUI();
    QElapsedTimer t;
    t.start();
    view.AddDirizaFile(files);
    const qint64 indexed = t.elapsed();
    while (view.ShowsLoading())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    const qint64 shown = t.elapsed();

    QScrollBar* bar = view.Grid().List()->verticalScrollBar();
    qint64 worst = 0, total = 0;
    int pages = 0;
    for (int v = 0; v <= bar->maximum(); v += bar->pageStep()) {
        QElapsedTimer page;
        page.start();
        bar->setValue(v);
        view.Grid().List()->viewport()->repaint();
        const qint64 ms = page.elapsed();
        worst = std::max(worst, ms);
        total += ms;
        ++pages;
        Pump(2);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("files %d: indexed %lld ms, shown %lld ms, %d pages scrolled: mean %.1f ms, worst %lld ms, "
                "peak memory %ld MiB\n",
                count, static_cast<long long>(indexed), static_cast<long long>(shown), pages,
                pages ? double(total) / pages : 0.0, static_cast<long long>(worst), usage.ru_maxrss / 1024);
    return 0;
}
