#pragma once
#include <QString>

#include <functional>

// The process log of the scan and device side: every notable step and failure is one
// line beginning with "【日志】". Lines go to Qt's message handler (standard error, or
// the log file the application shell redirects it to).
void scanLog(const QString& text);

// Tests capture the lines: a non-null sink receives every line instead of the message
// handler; null restores the default. Returns the previous sink.
using ScanLogSink = std::function<void(const QString& line)>;
ScanLogSink setScanLogSink(ScanLogSink sink);
