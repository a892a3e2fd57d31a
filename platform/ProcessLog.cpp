#include "platform/ProcessLog.h"

#include <QDebug>

#include <mutex>

namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
ProcessLog::Sink& sinkSlot() {
    static ProcessLog::Sink sink;
    return sink;
}
} // namespace

void ProcessLog::Write(const QString& text) {
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

ProcessLog::Sink ProcessLog::SetSink(Sink sink) {
    std::lock_guard<std::mutex> lock(sinkMutex());
    Sink previous = std::move(sinkSlot());
    sinkSlot() = std::move(sink);
    return previous;
}
