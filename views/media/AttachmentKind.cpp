#include "views/media/AttachmentKind.h"

#include "views/media/NSDirizaVideoViewItem.h"
#include "views/media/VoiceFile.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QXmlStreamReader>

namespace {

QStringList ReadSection(const QString& section) {
    QStringList out;
    QFile conf(QStringLiteral(":/exc/conf"));
    if (!conf.open(QIODevice::ReadOnly) || conf.size() > 16 * 1024 * 1024) return out;
    QXmlStreamReader xml(&conf);
    bool inside = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const auto name = xml.name();
            if (name == section)
                inside = true;
            else if (name == QLatin1String("Filed") && inside)
                out.append(xml.attributes().value(QLatin1String("FILEEXT")).toString().toUpper());
        } else if (token == QXmlStreamReader::EndElement && xml.name() == section) {
            inside = false;
        }
    }
    return out;
}

} // namespace

QStringList AttachmentKind::Suffixes(const QString& section) {
    static QMutex mutex;
    static QHash<QString, QStringList> read;
    QMutexLocker lock(&mutex);
    auto it = read.find(section);
    if (it == read.end()) it = read.insert(section, ReadSection(section));
    return *it;
}

AttachmentKind::Kind AttachmentKind::Of(const QString& suffix) {
    const QString upper = suffix.toUpper();
    if (NSDirizaVideoViewItem::IsTextSuffix(suffix)) return Kind::Text;
    if (VoiceFile::IsAudSuffix(suffix) || Suffixes(QStringLiteral("AudioWildcard")).contains(upper))
        return Kind::Audio;
    if (Suffixes(QStringLiteral("VideoWildcard")).contains(upper)) return Kind::Video;
    if (Suffixes(QStringLiteral("PhotoWildcard")).contains(upper)) return Kind::Picture;
    return Kind::Document;
}

QString AttachmentKind::Label(const QString& suffix) {
    QString ext = suffix.trimmed();
    if (ext.startsWith(QLatin1String("*."))) ext = ext.mid(2);
    if (ext.endsWith(QLatin1Char(';'))) ext.chop(1);
    for (const QChar c : ext)
        if (!c.isLetterOrNumber()) return QString();
    return ext.left(5).toUpper();
}
