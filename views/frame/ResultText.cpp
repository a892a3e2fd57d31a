#include "views/frame/ResultText.h"

#include <QDateTime>

QString ResultText::LocalTime(qint64 unixSeconds, const QString& format) {
    // 0 is a record without a date (a note rebuilt from its body alone, for example).
    if (unixSeconds == 0) return QString();
    return QDateTime::fromSecsSinceEpoch(unixSeconds).toString(format);
}

QString ResultText::Duration(qint64 seconds) {
    if (seconds < 0) {
        // The absolute value, safe for the smallest value too.
        const quint64 abs = quint64(0) - quint64(seconds);
        const quint64 h = abs / 3600, m = abs / 60 % 60, s = abs % 60;
        auto two = [](quint64 v) {
            return v > 9 ? QString::number(v) : QStringLiteral("0") + QString::number(v);
        };
        return QStringLiteral("-") + two(h) + QLatin1Char(':') + two(m) + QLatin1Char(':') + two(s);
    }
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    auto two = [](qint64 v) { return v > 9 ? QString::number(v) : QStringLiteral("0") + QString::number(v); };
    return two(h) + QLatin1Char(':') + two(m) + QLatin1Char(':') + two(s);
}
