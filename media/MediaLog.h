#pragma once
#include <QString>

#include <functional>

// The process log of playback, previews and export: one line per notable failure,
// beginning with "【日志】", through Qt's message handler (the application's log file).
void mediaLog(const QString& text);

// Tests capture the lines: a non-null sink receives every line; null restores the default.
using MediaLogSink = std::function<void(const QString& line)>;
MediaLogSink setMediaLogSink(MediaLogSink sink);
