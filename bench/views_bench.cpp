// Result view loading and searching: a large delivery handed to a result view, timed
// from the delivery until the view shows it and reports its count, then a search for a
// word found in about 1% of the records; for the call log table (the shared base of the
// system tables) and for the SMS view (conversations and their messages). A plain
// program; prints the times.
//
//   views_bench [records] [conversations]     (default 100000 1000)
#include "gui/NSDirizaDataUpdateDelegate.h"
#include "views/system/NSDirizaCallLogView.h"
#include "views/system/NSDirizaSMSView.h"
#include "views/system/SystemTableModel.h"
#include "views/frame/ResultFrame.h"

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

struct Timing {
    qint64 count = -1;
    double loadMs = 0;
    double searchMs = 0;
};

// Shows the view, hands it `data` and searches it for "marigold".
template <typename View, typename Data> Timing LoadAndSearch(View& view, const Data& data, QSize size) {
    CountDelegate delegate;
    view.setDelegate(&delegate);
    view.resize(size);
    view.show();
    QCoreApplication::processEvents();

    view.StartUpdateUI();
    QElapsedTimer load;
    load.start();
    view.AddDirizaFile(data);
    QCoreApplication::processEvents();
    view.UpdataUiFinish(); // the timer's tick, without its wait
    QCoreApplication::processEvents();
    Timing timing;
    timing.loadMs = Ms(load);

    QElapsedTimer search;
    search.start();
    view.SearchKey(QStringLiteral("marigold"));
    QCoreApplication::processEvents();
    timing.searchMs = Ms(search);
    timing.count = delegate.count;
    view.setDelegate(nullptr);
    return timing;
}

QMap<QString, NSSMSHeadData> SmsData(int messages, int conversations) {
    QMap<QString, NSSMSHeadData> data;
    for (int c = 0; c < conversations; ++c) {
        NSSMSHeadData head;
        const QString key = QStringLiteral("+1 555 %1").arg(1000000 + c);
        head.setPhone(key);
        head.setName(QStringLiteral("Contact %1").arg(c));
        head.setBDelete(c % 10 == 0);
        data.insert(key, head);
    }
    auto heads = data.begin();
    for (int i = 0; i < messages; ++i, ++heads) {
        if (heads == data.end()) heads = data.begin();
        NSSMSData m;
        // One message in a hundred holds the word searched for.
        m.setContent(i % 100 == 7 ? QStringLiteral("Meet me at the Marigold, %1").arg(i)
                                  : QStringLiteral("See you tomorrow at %1 o'clock").arg(i % 24));
        m.setTime(QStringLiteral("2021/03/04 05:06:07"));
        m.setAlignment(i % 2);
        m.setNType(i % 2);
        m.setBDelete(i % 50 == 0);
        heads->mutableSMSDataList().append(m);
    }
    return data;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Options of other benchmark programs are ignored.
    auto number = [&](int i, int fallback) {
        return argc > i && argv[i][0] != '-' ? std::atoi(argv[i]) : fallback;
    };
    const int records = number(1, 100000);
    const int conversations = number(2, 1000);
    if (records <= 0 || conversations <= 0) return 1;

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
    const Timing callLog = LoadAndSearch(view, calls, QSize(900, 600));

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

    std::printf("call log table: %d records shown (count %lld) in %.1f ms\n", records, callLog.count,
                callLog.loadMs);
    std::printf("call log table: search for a word in 1%% of the records: %d rows in %.1f ms\n",
                view.Proxy()->rowCount(), callLog.searchMs);
    std::printf("  of which the shown rows: %d in %.1f ms\n", frame.ShownCount(), frameMs);

    NSDirizaSMSView sms;
    const Timing messages = LoadAndSearch(sms, SmsData(records, conversations), QSize(1000, 600));
    std::printf("SMS view: %d messages in %d conversations shown (count %lld) in %.1f ms\n", records,
                conversations, messages.count, messages.loadMs);
    std::printf("SMS view: search for a word in 1%% of the messages: %d conversations in %.1f ms\n",
                sms.ConversationModel().rowCount(), messages.searchMs);
    return callLog.count == records && messages.count == records ? 0 : 1;
}
