// Result view loading and searching: a large delivery handed to a result table, timed
// from the delivery until the view shows it and reports its count, then a search for a
// word found in about 1% of the records. A plain program; prints both times.
//
//   views_bench [records]     (default 100000)
#include "app/common/NSDirizaDataUpdateDelegate.h"
#include "views/system/NSDirizaCallLogView.h"
#include "views/system/SystemTableModel.h"
#include "views/system/frame/ResultFrame.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

namespace {

class CountDelegate : public NSDirizaDataUpdateDelegate {
  public:
    void UpdateDirizaFileNum(int, qint64 num) override { count = num; }
    qint64 count = -1;
};

double Ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    if (records <= 0) return 1;

    // The call log table (the shared base of the system result tables).
    QList<NSCallLogData> calls;
    calls.reserve(records);
    for (int i = 0; i < records; ++i) {
        NSCallLogData c;
        // One record in a hundred holds the word searched for.
        c.setName(i % 100 == 7 ? QStringLiteral("Marigold %1").arg(i) : QStringLiteral("Contact %1").arg(i));
        c.setPhone(QStringLiteral("+49 30 %1").arg(1000000 + i));
        c.setLDataTime(1600000000 + i * 60);
        c.setLDuration(i % 3600);
        c.setNType(i % 2);
        c.setBDelete(i % 10 == 0);
        calls.append(c);
    }
    NSDirizaCallLogView view;
    CountDelegate delegate;
    view.setDelegate(&delegate);
    view.resize(900, 600);
    view.show();
    QCoreApplication::processEvents();

    view.StartUpdateUI();
    QElapsedTimer load;
    load.start();
    view.AddDirizaFile(calls);
    QCoreApplication::processEvents();
    view.UpdataUiFinish(); // the timer's tick, without its wait
    QCoreApplication::processEvents();
    const double loadMs = Ms(load);

    QElapsedTimer filter;
    filter.start();
    view.SearchKey(QStringLiteral("marigold"));
    QCoreApplication::processEvents();
    const double filterMs = Ms(filter);

    // The frame's own part of the search (the shown rows, without the table).
    ResultFrame frame;
    {
        std::vector<char> deleted;
        std::vector<QStringList> texts;
        for (const NSCallLogData& c : calls) {
            deleted.push_back(c.bDelete() ? 1 : 0);
            texts.push_back({c.Phone().toLower(), c.Name().toLower()});
        }
        frame.SetRecords(std::move(deleted), std::move(texts));
    }
    QElapsedTimer frameOnly;
    frameOnly.start();
    frame.SetSearchKey(QStringLiteral("marigold"));
    const double frameMs = Ms(frameOnly);

    std::printf("call log table: %d records shown (count %lld) in %.1f ms\n", records, delegate.count, loadMs);
    std::printf("call log table: search for a word in 1%% of the records: %d rows in %.1f ms\n",
                view.Proxy()->rowCount(), filterMs);
    std::printf("  of which the shown rows: %d in %.1f ms\n", frame.ShownCount(), frameMs);
    // The SMS view's figures (conversations and messages) are printed here as well once
    // it has its own load and search.
    view.setDelegate(nullptr);
    return delegate.count == records ? 0 : 1;
}
