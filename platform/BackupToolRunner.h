#pragma once
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// Runs the device backup tool as a child process: "<tool> -u <UDID> backup <root>",
// with an argument list (never a shell string), the tool found on PATH. Its output is
// streamed line by line to a sink and never gathered whole, so memory stays bounded
// whatever the tool prints.
class BackupToolRunner {
  public:
    enum class Status {
        Finished,        // the tool exited with status 0
        NotFound,        // no executable of that name on PATH
        FailedToStart,   // the process could not be started
        Crashed,         // the tool died from a signal
        ExitedWithError, // the tool exited with a non-zero status
        Cancelled,       // the cancel flag was raised; the tool was killed
    };
    struct Result {
        Status status = Status::FailedToStart;
        int exitCode = -1;
        bool ok() const { return status == Status::Finished; }
    };
    using LineSink = std::function<void(const QString& line)>;

    // Longest line handed to the sink; a longer run without a line break is cut.
    static constexpr int kMaxLineBytes = 4096;

    // The arguments for a backup of the device `udid` into `root`.
    static QStringList Arguments(const QString& udid, const QString& root);

    // Runs the tool to its end (or until `cancel` becomes true). The sink may be null.
    static Result Run(const QString& toolName, const QString& udid, const QString& root, const LineSink& sink,
                      const std::atomic<bool>* cancel = nullptr);
};
