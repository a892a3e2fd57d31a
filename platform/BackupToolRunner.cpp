#include "platform/BackupToolRunner.h"

#include <QProcess>
#include <QStandardPaths>

QStringList BackupToolRunner::Arguments(const QString& udid, const QString& root) {
    return {QStringLiteral("-u"), udid, QStringLiteral("backup"), root};
}

BackupToolRunner::Result BackupToolRunner::Run(const QString& toolName, const QString& udid,
                                               const QString& root, const LineSink& sink,
                                               const std::atomic<bool>* cancel) {
    Result result;
    const QString program = QStandardPaths::findExecutable(toolName);
    if (program.isEmpty()) {
        result.status = Status::NotFound;
        return result;
    }

    QProcess process;
    process.setProgram(program);
    process.setArguments(Arguments(udid, root));
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(30000)) {
        result.status = Status::FailedToStart;
        return result;
    }

    QByteArray pending;
    auto emitLine = [&](const QByteArray& bytes) {
        if (sink) sink(QString::fromUtf8(bytes).trimmed());
    };
    auto drain = [&] {
        while (process.bytesAvailable() > 0) {
            pending += process.read(64 * 1024);
            while (true) {
                const qsizetype newline = pending.indexOf('\n');
                if (newline >= 0 && newline <= kMaxLineBytes) {
                    emitLine(pending.left(newline));
                    pending.remove(0, newline + 1);
                } else if (newline >= 0 || pending.size() >= kMaxLineBytes) {
                    emitLine(pending.left(kMaxLineBytes));
                    pending.remove(0, kMaxLineBytes);
                } else {
                    break;
                }
            }
        }
    };

    while (process.state() != QProcess::NotRunning) {
        if (cancel && cancel->load()) {
            process.kill();
            process.waitForFinished(5000);
            result.status = Status::Cancelled;
            return result;
        }
        // Once the tool has closed its output, wait for its end instead.
        if (!process.waitForReadyRead(250)) process.waitForFinished(250);
        drain();
    }
    drain();
    if (!pending.isEmpty()) emitLine(pending);

    result.exitCode = process.exitCode();
    if (process.exitStatus() == QProcess::CrashExit)
        result.status = Status::Crashed;
    else if (process.exitCode() != 0)
        result.status = Status::ExitedWithError;
    else
        result.status = Status::Finished;
    return result;
}
