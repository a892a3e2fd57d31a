#pragma once
#include "gui/SaveFolder.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

// Writes one CSV file of a save: a new file inside the chosen folder (a name already
// taken, by an earlier save or anything else, gives "name (2).csv", "name (3).csv"...; a
// file that was there before is never written to), a byte-order mark, the header line,
// then one line per record. Every write is checked whole; a failure is logged with the
// file's log texts and reported to the caller, who counts it, and the file the failed
// write leaves cut is removed when the writer closes, so that no cut file passes for a
// complete save.
class CsvWriter {
  public:
    // The log texts of one file: open failure (no room), header and line failures.
    struct LogLines {
        QString noSpace;
        QString header;
        QString line;
    };

    // Creates `fileName` (made safe), or the next free numbered name, inside `folder`.
    CsvWriter(const SaveFolder& folder, const QString& fileName, LogLines log);
    ~CsvWriter();
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    bool IsOpen() const { return file_.isOpen(); }
    // The file's path ("" when no place inside the folder was found).
    QString Path() const { return file_.fileName(); }

    // The header line (the localised column names, written as they are) and "\n".
    bool WriteHeader(const QString& header);
    // One record: each field quoted as needed (see Field), joined with ",", ended with "\n".
    bool WriteLine(const QStringList& fields);
    // Flushes and closes; false when anything written was lost (the file is then removed).
    bool Close();

    // One CSV cell holding `raw` exactly (RFC 4180): a field holding a comma, a double
    // quote, a carriage return or a line feed is wrapped in double quotes with its inner
    // quotes doubled; any other field is written as it is.
    static QString Field(const QString& raw);
    // The bytes of one line.
    static QByteArray Line(const QStringList& fields);
    // The UTF-8 byte-order mark a new file starts with.
    static QByteArray Bom() { return QByteArray("\xEF\xBB\xBF", 3); }

  private:
    bool Write(const QByteArray& bytes, const QString& failure);

    QFile file_;
    LogLines log_;
    bool failed_ = false;
};
