#include "scan/ScanLog.h"

#include <QDebug>

#include <mutex>

namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
ScanLogSink& sinkSlot() {
    static ScanLogSink sink;
    return sink;
}
} // namespace

void scanLog(const QString& text) {
    const QString line = QStringLiteral("【日志】") + text;
    {
        std::lock_guard<std::mutex> lock(sinkMutex());
        if (sinkSlot()) {
            sinkSlot()(line);
            return;
        }
    }
    qInfo().noquote() << line;
}

ScanLogSink setScanLogSink(ScanLogSink sink) {
    std::lock_guard<std::mutex> lock(sinkMutex());
    ScanLogSink previous = std::move(sinkSlot());
    sinkSlot() = std::move(sink);
    return previous;
}
