#pragma once
// Small media fixtures for the chat and media view tests: stored files written into a
// stand-in backup folder, and the records the scan would deliver for them.
#include "gui/MainQueue.h"
#include "scan/NSDeletedFile.h"
#include "tests/kit/QtWaitUntil.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace mediatest {

// A local time on `day` (the day key is the local date, whatever the time zone).
inline QDateTime On(const char* day, int hour = 12) {
    return QDateTime(QDate::fromString(QString::fromLatin1(day), QStringLiteral("yyyy-MM-dd")),
                     QTime(hour, 0));
}

// A record as the scan delivers it: BackUpPath is the backup folder with a trailing "/".
inline NSDeletedFile Record(const QString& backup, const QString& name, const QString& stored,
                            const QDateTime& mtime = On("2020-01-01")) {
    NSDeletedFile f;
    f.setFileName(name);
    f.setBackUpPath(backup + QStringLiteral("/"));
    f.setSHA1(stored);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) f.setSuffix(QStringLiteral("*") + name.mid(dot) + QStringLiteral(";"));
    f.setMtime(mtime);
    f.setAtime(mtime);
    f.setCtime(mtime);
    return f;
}

// Writes a stored file (in a two-character subfolder, as newer backups do).
inline bool Store(const QString& backup, const QString& stored, const QByteArray& bytes) {
    const QString path = backup + QStringLiteral("/") + stored;
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray Png(int width, int height, QColor color = QColor(40, 120, 200)) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A PNG whose header claims 60000 x 60000 pixels, with no picture data after it.
inline QByteArray HugePngHeader() {
    QByteArray png = Png(1, 1);
    // IHDR width and height sit at bytes 16..23; the CRC no longer matches either.
    const char big[8] = {0, 0, char(0xEA), 0x60, 0, 0, char(0xEA), 0x60};
    png.replace(16, 8, QByteArray(big, 8));
    return png.left(33);
}

inline QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using kit::WaitUntil;

// Runs the GUI thread's events until every call posted to `receiver` before this one
// (a scan's hand-over, say) has run; false when that does not happen in time.
inline bool RunPostedCalls(QObject* receiver) {
    auto reached = std::make_shared<bool>(false);
    MainQueue::Post(receiver, [reached] { *reached = true; });
    return WaitUntil([reached] { return *reached; });
}

} // namespace mediatest
