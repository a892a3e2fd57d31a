#include "services/ServiceNetwork.h"

#include "services/SharedInstance.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>

#include <limits>

QNetworkAccessManager& ServiceNetwork::manager() {
    return SharedInstance<QNetworkAccessManager>();
}

bool ServiceNetwork::IsLoopbackHost(const QString& host) {
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    QHostAddress address;
    if (!address.setAddress(host)) return false;
    return address.isLoopback();
}

bool ServiceNetwork::IsAllowedAddress(const QUrl& url) {
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https")) return true;
    return scheme == QLatin1String("http") && IsLoopbackHost(url.host());
}

QUrl ServiceNetwork::ServiceUrl(const QString& service, const QString& path) {
    const QString trimmed = service.trimmed();
    if (trimmed.isEmpty()) return {};
    QUrl base;
    if (trimmed.contains(QLatin1String("://"))) {
        base = QUrl(trimmed, QUrl::StrictMode);
    } else {
        base = QUrl(QStringLiteral("https://") + trimmed, QUrl::StrictMode);
        if (base.isValid() && IsLoopbackHost(base.host())) base.setScheme(QStringLiteral("http"));
    }
    if (!base.isValid() || base.host().isEmpty() || base.hasQuery() || base.hasFragment() ||
        !base.userInfo().isEmpty()) {
        return {};
    }
    QString basePath = base.path();
    if (basePath.endsWith(u'/')) basePath.chop(1);
    base.setPath(basePath + u'/' + path);
    return IsAllowedAddress(base) ? base : QUrl();
}

void ServiceNetwork::WaitForFinished(QNetworkReply* reply) {
    if (reply == nullptr || reply->isFinished()) return;
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

ServiceNetwork::Answer ServiceNetwork::Collect(QNetworkReply* reply, qint64 maxBytes) {
    Answer a;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid()) return a;
    const QNetworkReply::NetworkError error = reply->error();
    // A reply cut short (closed, timed out, aborted) is no answer even with a status.
    if (error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied) return a;
    a.answered = true;
    a.status = status.toInt();
    if (reply->bytesAvailable() > maxBytes) {
        a.tooLarge = true;
        return a;
    }
    a.body = reply->read(maxBytes + 1);
    if (a.body.size() > maxBytes) {
        a.tooLarge = true;
        a.body.clear();
    }
    return a;
}

qint64 ServiceNetwork::IntegerValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const int digit = text[i].unicode() - u'0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10) {
            value = std::numeric_limits<qint64>::max();
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}
