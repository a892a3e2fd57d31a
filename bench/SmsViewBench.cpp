// The SMS result view's load and search: 100,000 messages in 1,000 conversations
// handed to the view, timed from the delivery until the view shows them and reports
// the count, then a search for a word found in about 1% of the messages. A plain
// program; prints both times.
//
//   sms_view_bench [messages] [conversations]     (default 100000 1000)
#include "app/common/NSDirizaDataUpdateDelegate.h"
#include "views/system/NSDirizaSMSView.h"

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
    // Options of other benchmark programs (run-benchmarks passes them to all) are ignored.
    auto number = [&](int i, int fallback) { return argc > i && argv[i][0] != '-' ? std::atoi(argv[i]) : fallback; };
    const int messages = number(1, 100000);
    const int conversations = number(2, 1000);
    if (messages <= 0 || conversations <= 0) return 1;

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

    NSDirizaSMSView view;
    CountDelegate delegate;
    view.setDelegate(&delegate);
    view.resize(1000, 600);
    view.show();
    QCoreApplication::processEvents();

    view.StartUpdateUI();
    QElapsedTimer load;
    load.start();
    view.AddDirizaFile(data);
    QCoreApplication::processEvents();
    view.UpdataUiFinish(); // the timer's tick, without its wait
    QCoreApplication::processEvents();
    const double loadMs = Ms(load);

    QElapsedTimer filter;
    filter.start();
    view.SearchKey(QStringLiteral("marigold"));
    QCoreApplication::processEvents();
    const double filterMs = Ms(filter);

    std::printf("SMS view: %d messages in %d conversations shown (count %lld) in %.1f ms\n", messages, conversations,
                delegate.count, loadMs);
    std::printf("SMS view: search for a word in 1%% of the messages: %d conversations in %.1f ms\n",
                view.ConversationModel().rowCount(), filterMs);
    view.setDelegate(nullptr);
    return delegate.count == messages ? 0 : 1;
}
