#pragma once
// Helpers of the system result table tests: records, a delivery shown at once (without
// waiting for the timer), a delegate that records what the view reports, file reading.
#include "gui/NSDirizaDataUpdateDelegate.h"
#include "gui/NSLanguageText.h"
#include "views/system/SystemTableView.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QList>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace sysviews {

class RecordingDelegate : public NSDirizaDataUpdateDelegate {
  public:
    void UpdateDirizaFileNum(int type, qint64 num) override { counts.emplace_back(type, num); }
    void ViewisAllSelect(int type, bool isSelect) override { allTicked.emplace_back(type, isSelect); }
    void SaveDataProgress(int total, int current) override {
        std::lock_guard<std::mutex> lock(mutex);
        progress.emplace_back(total, current);
    }
    bool isStopSave() override {
        std::lock_guard<std::mutex> lock(mutex);
        return stopAfter >= 0 && int(progress.size()) >= stopAfter;
    }
    std::vector<std::pair<int, qint64>> counts;
    std::vector<std::pair<int, bool>> allTicked;
    std::vector<std::pair<int, int>> progress;
    int stopAfter = -1;
    std::mutex mutex;
};

// Starts a scan, delivers `records` and shows them (the timer's tick, called directly).
template <typename View, typename Record> void Load(View& view, const QList<Record>& records) {
    view.StartUpdateUI();
    view.AddDirizaFile(records);
    QCoreApplication::processEvents();
    view.UpdataUiFinish();
}

inline QByteArray ReadFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

// The UTF-8 byte-order mark.
inline QByteArray Bom() {
    return QByteArray("\xEF\xBB\xBF", 3);
}

// The shown row of a record, -1 when it is not shown.
inline int ShownRowOf(const SystemTableView& view, int record) {
    const auto& rows = view.Frame().ShownRows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i] == record) return int(i);
    return -1;
}

} // namespace sysviews

// main() of the system result table tests: local times in UTC, English texts.
#define SYSVIEWS_TEST_MAIN()                                                                                 \
    int main(int argc, char** argv) {                                                                        \
        qputenv("TZ", "UTC");                                                                                \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");         \
        kit::QtTestHome home;                                                                                \
        QApplication app(argc, argv);                                                                        \
        QApplication::setOrganizationName(QStringLiteral("DirizaTest"));                                     \
        QApplication::setApplicationName(QStringLiteral("DirizaTest"));                                      \
        NSLanguageText::shareInstance()->setLanguage(NSLanguageText::English);                               \
        ::testing::InitGoogleTest(&argc, argv);                                                              \
        return RUN_ALL_TESTS();                                                                              \
    }
