#pragma once
#include <QString>

#include <functional>

// The process log of the scan, the device side, playback, previews and saving: every
// notable step and failure is one line beginning with "【日志】". Lines go to Qt's
// message handler (standard error, or the log file the application shell redirects it
// to). Any thread may write.
class ProcessLog {
  public:
    using Sink = std::function<void(const QString& line)>;

    static void Write(const QString& text);

    // Tests capture the lines: a non-null sink receives every line instead of the message
    // handler; null restores the default. Returns the previous sink.
    static Sink SetSink(Sink sink);
};
