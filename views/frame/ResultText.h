#pragma once
#include <QString>
#include <QtGlobal>

// Texts of record values shared by the result tables and their CSV files.
class ResultText {
  public:
    ResultText() = delete;
    // Unix seconds as local time in `format` ("yyyy-MM-dd HH:mm:ss"); 0 (no date
    // known) is the empty text.
    static QString LocalTime(qint64 unixSeconds, const QString& format);
    static QString LocalTime(qint64 unixSeconds) {
        return LocalTime(unixSeconds, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    // A duration in seconds as "hh:mm:ss": each part two digits at least, hours as
    // many as needed; a negative duration is "-" and the text of its absolute value.
    static QString Duration(qint64 seconds);
    // `text`, or `fallback` when it is empty.
    static QString OrElse(const QString& text, const QString& fallback) {
        return text.isEmpty() ? fallback : text;
    }
};
