#include "views/media/VoiceFile.h"

bool VoiceFile::IsAudSuffix(const QString& suffix) {
    return suffix.compare(QLatin1String("*.aud;"), Qt::CaseInsensitive) == 0;
}

bool VoiceFile::StartsWithSilkMark(const QByteArray& head) {
    return head.size() >= 10 && head.startsWith(QByteArrayLiteral("\x02#!SILK_V3"));
}

bool VoiceFile::HasSilkMark(const QByteArray& head) {
    QByteArray first = head.left(10);
    const qsizetype zero = first.indexOf('\0');
    if (zero >= 0) first.truncate(zero);
    return first.contains("#!SILK_V3");
}

bool VoiceFile::HasAmrHeader(const QByteArray& data) {
    return data.startsWith(AmrHeader());
}

QByteArray VoiceFile::MissingAmrHeader(const QByteArray& head) {
    return HasAmrHeader(head) ? QByteArray() : AmrHeader();
}

QString VoiceFile::WithExtension(const QString& name, const QString& ext) {
    if (name.endsWith(QLatin1String(".aud"), Qt::CaseInsensitive)) {
        const bool upper = name.endsWith(QLatin1String(".AUD"));
        return name.left(name.size() - 4) + (upper ? ext.toUpper() : ext.toLower());
    }
    return name + ext;
}
