#include "views/chat/NetworkImageFetcher.h"

#include "app/common/MainQueue.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThreadPool>

NetworkImageFetcher::NetworkImageFetcher(QObject* parent) : NetworkImageFetcher(Limits{}, parent) {}

NetworkImageFetcher::NetworkImageFetcher(Limits limits, QObject* parent)
    : QObject(parent), limits_(limits), relay_(std::make_shared<Relay>()) {
    relay_->owner = this;
}

NetworkImageFetcher::~NetworkImageFetcher() {
    std::lock_guard<std::mutex> lock(relay_->mutex);
    relay_->owner = nullptr;
}

NetworkImageFetcher::State NetworkImageFetcher::StateOf(const QString& url) const {
    if (ready_.contains(url)) return State::Ready;
    if (failed_.contains(url)) return State::Failed;
    if (pending_.contains(url)) return State::Pending;
    return State::Unknown;
}

QImage NetworkImageFetcher::Image(const QString& url) {
    if (const auto it = ready_.constFind(url); it != ready_.constEnd()) return *it;
    if (failed_.contains(url) || pending_.contains(url)) return {};
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (url.isEmpty() || !parsed.isValid() || parsed.host().isEmpty() || (scheme != "http" && scheme != "https")) {
        failed_.insert(url);
        return {};
    }
    pending_.insert(url);
    QStringList& waiting = waiting_[parsed.toString()];
    waiting.append(url);
    if (waiting.size() > 1) return {}; // the same address, spelt otherwise, is on its way
    ++requests_;
    StartRequest(parsed);
    return {};
}

void NetworkImageFetcher::StartRequest(const QUrl& url) {
    if (!manager_) {
        manager_ = new QNetworkAccessManager(this); // owned by this object
        manager_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(limits_.timeoutMs);
    request.setMaximumRedirectsAllowed(3);
    QNetworkReply* reply = manager_->get(request);
    const QString key = url.toString();
    const qint64 cap = limits_.maxBytes;
    auto tooLarge = [reply, cap] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        return (length.isValid() && length.toLongLong() > cap) || reply->bytesAvailable() > cap;
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, tooLarge] {
        if (tooLarge()) reply->abort();
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, tooLarge] {
        if (tooLarge()) reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, key, tooLarge] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = reply->error() == QNetworkReply::NoError && !tooLarge() && (status == 0 || status / 100 == 2);
        Finish(key, ok ? reply->readAll() : QByteArray(), ok);
    });
}

void NetworkImageFetcher::Finish(const QString& url, const QByteArray& body, bool ok) {
    const QStringList urls = waiting_.take(url);
    if (urls.isEmpty()) return;
    if (!ok || body.isEmpty() || body.size() > limits_.maxBytes) {
        for (const QString& u : urls) Done(u, QImage());
        return;
    }
    const int maxSide = limits_.maxSide;
    QThreadPool::globalInstance()->start([relay = relay_, urls, body, maxSide] {
        QBuffer buffer;
        buffer.setData(body);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAllocationLimit(64);
        const QSize size = reader.size();
        QImage image;
        if (size.isValid() && size.width() <= maxSide && size.height() <= maxSide) image = reader.read();
        std::lock_guard<std::mutex> lock(relay->mutex);
        if (NetworkImageFetcher* owner = relay->owner)
            MainQueue::Post(owner, [owner, urls, image] {
                for (const QString& u : urls) owner->Done(u, image);
            });
    });
}

void NetworkImageFetcher::Done(const QString& url, const QImage& image) {
    pending_.remove(url);
    if (image.isNull())
        failed_.insert(url);
    else
        ready_.insert(url, image);
    emit ImageReady(url);
}
