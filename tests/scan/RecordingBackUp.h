#pragma once
// A BackUpDelegate that records every message (and whether it came on the GUI thread).
#include "scan/BackUpDelegate.h"

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <mutex>

namespace scantest {

class RecordingBackUp : public BackUpDelegate {
  public:
    void BackUpFinish(const QString& root) override { Note("BackUpFinish:" + root); }
    void BackUpLoser() override { Note("BackUpLoser"); }
    void Analyze(int percent) override {
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) analyzeOffGuiThread = true;
        std::lock_guard<std::mutex> lock(mutex);
        percents.append(percent);
    }
    void AnalyzeFinish() override { Note("AnalyzeFinish"); }

    QStringList Events() const {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
    // True once a final message (finish, failure) has arrived.
    bool Ended() const {
        std::lock_guard<std::mutex> lock(mutex);
        for (const QString& e : events)
            if (e == "BackUpLoser" || e == "AnalyzeFinish" || e.startsWith("BackUpFinish:")) return true;
        return false;
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(mutex);
        events.clear();
        percents.clear();
    }

    QList<int> percents;
    bool analyzeOffGuiThread = false;

  private:
    void Note(const QString& event) {
        std::lock_guard<std::mutex> lock(mutex);
        events.append(event);
    }
    mutable std::mutex mutex;
    QStringList events;
};

} // namespace scantest
