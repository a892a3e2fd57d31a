#include "views/frame/CsvWriter.h"

#include <QDebug>
#include <QFileInfo>

#include <utility>

CsvWriter::CsvWriter(const SaveFolder& folder, const QString& fileName, LogLines log) : log_(std::move(log)) {
    // A free name is created exclusively; one taken between the look and the creation
    // (another program writing there) sends the writer on to the next free name.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto path = folder.UniqueFileFor(fileName);
        if (!path) break;
        file_.setFileName(*path);
        if (file_.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return;
        if (!QFileInfo::exists(*path) && !QFileInfo(*path).isSymLink()) break;
    }
    qWarning().noquote() << log_.noSpace << file_.errorString();
    file_.setFileName(QString());
}

CsvWriter::~CsvWriter() {
    Close();
}

bool CsvWriter::Write(const QByteArray& bytes, const QString& failure) {
    if (!file_.isOpen()) return false;
    if (file_.write(bytes) != bytes.size()) {
        qWarning().noquote() << failure << file_.errorString();
        failed_ = true;
        return false;
    }
    return true;
}

bool CsvWriter::WriteHeader(const QString& header) {
    // The file is new: the mark goes before its first (and only) header.
    QByteArray bytes = file_.isOpen() && file_.pos() == 0 ? Bom() : QByteArray();
    bytes += header.toUtf8();
    bytes += '\n';
    return Write(bytes, log_.header);
}

bool CsvWriter::WriteLine(const QStringList& fields) {
    return Write(Line(fields), log_.line);
}

bool CsvWriter::Close() {
    if (!file_.isOpen()) return !failed_;
    const bool flushed = file_.flush();
    file_.close();
    if (!flushed || file_.error() != QFileDevice::NoError) {
        qWarning().noquote() << log_.line << file_.errorString();
        failed_ = true;
    }
    // This writer created the file: cut short, it goes (its rows are counted as failed).
    if (failed_ && file_.remove()) qWarning().noquote() << log_.line << file_.fileName();
    return !failed_;
}

QString CsvWriter::Field(const QString& raw) {
    const bool needsQuotes = raw.contains(QLatin1Char(',')) || raw.contains(QLatin1Char('"')) ||
                             raw.contains(QLatin1Char('\n')) || raw.contains(QLatin1Char('\r'));
    if (!needsQuotes) return raw;
    QString s = raw;
    s.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

QByteArray CsvWriter::Line(const QStringList& fields) {
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i) line += QLatin1Char(',');
        line += Field(fields[i]);
    }
    line += QLatin1Char('\n');
    return line.toUtf8();
}
