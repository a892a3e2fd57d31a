#include "views/frame/CsvWriter.h"

#include <QDebug>

#include <utility>

CsvWriter::CsvWriter(const SaveFolder& folder, const QString& fileName, LogLines log) : log_(std::move(log)) {
    const auto path = folder.FileFor(fileName);
    if (!path) {
        qWarning().noquote() << log_.noSpace;
        return;
    }
    file_.setFileName(*path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qWarning().noquote() << log_.noSpace << file_.errorString();
        return;
    }
    needBom_ = file_.size() == 0;
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
    QByteArray bytes;
    if (needBom_) bytes = Bom();
    bytes += header.toUtf8();
    bytes += '\n';
    const bool ok = Write(bytes, log_.header);
    if (ok) needBom_ = false;
    return ok;
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
