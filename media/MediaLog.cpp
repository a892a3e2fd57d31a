#include "media/MediaLog.h"

#include <QDebug>

#include <mutex>

namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
MediaLogSink& currentSink() {
    static MediaLogSink sink;
    return sink;
}
} // namespace

void mediaLog(const QString& text) {
    const QString line = QStringLiteral("【日志】") + text;
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (currentSink()) {
        currentSink()(line);
        return;
    }
    qInfo().noquote() << line;
}

MediaLogSink setMediaLogSink(MediaLogSink sink) {
    std::lock_guard<std::mutex> lock(sinkMutex());
    MediaLogSink old = std::move(currentSink());
    currentSink() = std::move(sink);
    return old;
}
