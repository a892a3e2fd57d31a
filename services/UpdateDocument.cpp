#include "services/UpdateDocument.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QStringList>

#include <algorithm>

namespace {

// Parts count up to this value, so that any number of them sums without overflow.
constexpr qint64 kPartCap = 1'000'000'000'000;

qint64 PartValue(const QString& part) {
    qsizetype i = 0;
    while (i < part.size() && part[i].isSpace())
        ++i;
    bool negative = false;
    if (i < part.size() && (part[i] == u'-' || part[i] == u'+')) {
        negative = part[i] == u'-';
        ++i;
    }
    qint64 v = 0;
    for (; i < part.size() && part[i] >= u'0' && part[i] <= u'9'; ++i) {
        const int d = part[i].unicode() - u'0';
        v = std::min<qint64>(v * 10 + d, kPartCap);
    }
    return negative ? -v : v;
}

} // namespace

std::optional<UpdateDocument> UpdateDocument::Parse(const QByteArray& body) {
    if (body.size() > kMaxBytes) return std::nullopt;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    if (!o.value(QLatin1String("version")).isString()) return std::nullopt;
    UpdateDocument d;
    d.version = o.value(QLatin1String("version")).toString();
    for (const auto& [key, target] :
         {std::pair{QLatin1String("info"), &d.info}, std::pair{QLatin1String("download"), &d.download}}) {
        if (!o.contains(key)) continue;
        if (!o.value(key).isString()) return std::nullopt;
        *target = o.value(key).toString();
    }
    return d;
}

std::optional<QUrl> UpdateDocument::DownloadUrl(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) return std::nullopt;
    return url;
}

bool UpdateDocument::IsVersionBiggerThanVersion(const QString& a, const QString& b) {
    const QStringList pa = a.split(u'.');
    const QStringList pb = b.split(u'.');
    const qsizetype common = std::min(pa.size(), pb.size());
    for (qsizetype i = 0; i < common; ++i) {
        const qint64 x = PartValue(pa[i]);
        const qint64 y = PartValue(pb[i]);
        if (x > y) return true;
        if (x < y) return false;
    }
    if (pa.size() <= pb.size()) return false;
    qint64 extra = 0;
    for (qsizetype i = common; i < pa.size(); ++i)
        extra += PartValue(pa[i]);
    return extra > 0;
}
