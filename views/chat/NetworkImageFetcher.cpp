#include "views/chat/NetworkImageFetcher.h"

#include "gui/MainQueue.h"

#include <QBuffer>
#include <QHostAddress>
#include <QHostInfo>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

namespace {

constexpr int kMaxRedirects = 3;

// Networks that are not the public internet, IPv4 (address, prefix length).
bool isSpecialIpv4(quint32 a) {
    struct Net {
        quint32 base;
        int bits;
    };
    static constexpr Net kNets[] = {
        {0x00000000u, 8},  // "this" network, unspecified
        {0x0A000000u, 8},  // private
        {0x64400000u, 10}, // shared address space (carrier NAT)
        {0x7F000000u, 8},  // loopback
        {0xA9FE0000u, 16}, // link-local
        {0xAC100000u, 12}, // private
        {0xC0000000u, 24}, // protocol assignments
        {0xC0000200u, 24}, // documentation
        {0xC0586300u, 24}, // 6to4 relay anycast
        {0xC0A80000u, 16}, // private
        {0xC6120000u, 15}, // benchmarking
        {0xC6336400u, 24}, // documentation
        {0xCB007100u, 24}, // documentation
        {0xE0000000u, 4},  // multicast
        {0xF0000000u, 4},  // reserved, broadcast
    };
    for (const Net& n : kNets)
        if ((a >> (32 - n.bits)) == (n.base >> (32 - n.bits))) return true;
    return false;
}

quint32 ipv4At(const Q_IPV6ADDR& a, int at) {
    return (quint32(a[at]) << 24) | (quint32(a[at + 1]) << 16) | (quint32(a[at + 2]) << 8) |
           quint32(a[at + 3]);
}

bool allZero(const Q_IPV6ADDR& a, int from, int to) {
    for (int i = from; i < to; ++i)
        if (a[i] != 0) return false;
    return true;
}

// The "Host" header of an address: its host (IPv6 in brackets) and a port it names.
QByteArray hostHeader(const QUrl& url) {
    QByteArray host = url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':')) host = "[" + host + "]";
    if (url.port() >= 0) host += ":" + QByteArray::number(url.port());
    return host;
}

// Receives one host lookup for its owner; goes with the owner, so a late answer finds
// no receiver and is dropped.
class HostLookup : public QObject {
    Q_OBJECT
  public:
    HostLookup(std::function<void(const QHostInfo&)> done, QObject* owner)
        : QObject(owner), done_(std::move(done)) {}

  public slots:
    void Found(const QHostInfo& info) {
        auto done = std::move(done_);
        done_ = nullptr;
        deleteLater();
        if (done) done(info);
    }

  private:
    std::function<void(const QHostInfo&)> done_;
};

} // namespace

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
    if (url.isEmpty() || !parsed.isValid() || parsed.host().isEmpty() ||
        (scheme != "http" && scheme != "https") ||
        !parsed.userInfo().isEmpty()) { // no credentials ever leave with a request
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

bool NetworkImageFetcher::IsPublicAddress(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also an IPv4-mapped IPv6 address
    if (isV4) return !isSpecialIpv4(v4);
    if (address.protocol() != QAbstractSocket::IPv6Protocol) return false;
    if (address.isLoopback() || address.isLinkLocal() || address.isSiteLocal() ||
        address.isUniqueLocalUnicast() || address.isMulticast() || !address.isGlobal())
        return false;
    const Q_IPV6ADDR a = address.toIPv6Address();
    if (allZero(a, 0, 12)) return false; // unspecified, and IPv4-compatible forms
    if (a[0] == 0x20 && a[1] == 0x02) return !isSpecialIpv4(ipv4At(a, 2)); // 6to4
    if (a[0] == 0x00 && a[1] == 0x64 && a[2] == 0xff && a[3] == 0x9b)      // NAT64
        return !isSpecialIpv4(ipv4At(a, 12));
    if (a[0] == 0x20 && a[1] == 0x01 && a[2] == 0x0d && a[3] == 0xb8) return false; // documentation
    return true;
}

bool NetworkImageFetcher::Allowed(const QHostAddress& address) const {
    return IsPublicAddress(address) || (allow_ && allow_(address));
}

void NetworkImageFetcher::StartRequest(const QUrl& url) {
    Resolve(url.toString(), url, 0);
}

void NetworkImageFetcher::Resolve(const QString& key, const QUrl& url, int hops) {
    // The lookup runs on Qt's resolver threads and answers here, on the GUI thread. A
    // resolver that never answers counts as a time-out.
    auto settled = std::make_shared<bool>(false);
    QTimer::singleShot(limits_.timeoutMs, this, [this, key, settled] {
        if (*settled) return;
        *settled = true;
        Finish(key, {}, false);
    });
    auto* lookup = new HostLookup(
        [this, key, url, hops, settled](const QHostInfo& info) {
            if (*settled) return;
            *settled = true;
            const QList<QHostAddress> addresses = info.addresses();
            // Every address the name stands for must be allowed: which one a connection
            // would take is not ours to know, and the one taken is the one checked.
            bool ok = info.error() == QHostInfo::NoError && !addresses.isEmpty();
            for (const QHostAddress& a : addresses)
                ok = ok && Allowed(a);
            if (!ok) {
                Finish(key, {}, false);
                return;
            }
            QHostAddress chosen = addresses.first();
            for (const QHostAddress& a : addresses) {
                bool isV4 = false;
                a.toIPv4Address(&isV4);
                if (isV4) {
                    chosen = a;
                    break;
                }
            }
            Get(key, url, chosen, hops);
        },
        this); // owned by this object until it answers
    QHostInfo::lookupHost(url.host(), lookup, SLOT(Found(QHostInfo)));
}

void NetworkImageFetcher::Get(const QString& key, const QUrl& url, const QHostAddress& address, int hops) {
    if (!manager_) {
        manager_ = new QNetworkAccessManager(this); // owned by this object
        // Redirects are followed here, each target resolved and checked like the first.
        manager_->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }
    // The request goes to the address checked; the name goes along for the server and
    // for the certificate check.
    QUrl pinned = url;
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    pinned.setHost(isV4 ? QHostAddress(v4).toString() : address.toString());
    QNetworkRequest request(pinned);
    request.setRawHeader("Host", hostHeader(url));
    request.setPeerVerifyName(url.host());
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false); // the name rides in "Host"
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setTransferTimeout(limits_.timeoutMs);
    QNetworkReply* reply = manager_->get(request);
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
    connect(reply, &QNetworkReply::finished, this, [this, reply, key, url, hops, tooLarge] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QUrl target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
        if (status / 100 == 3 && target.isValid() && !target.isEmpty()) {
            const QUrl next = url.resolved(target); // against the address asked, not the pinned one
            const QString scheme = next.scheme().toLower();
            const bool safe = (scheme == "https" || (scheme == "http" && url.scheme().toLower() == "http")) &&
                              !next.host().isEmpty() && next.userInfo().isEmpty();
            if (!safe || hops >= kMaxRedirects) {
                Finish(key, {}, false);
                return;
            }
            Resolve(key, next, hops + 1);
            return;
        }
        const bool ok =
            reply->error() == QNetworkReply::NoError && !tooLarge() && (status == 0 || status / 100 == 2);
        Finish(key, ok ? reply->readAll() : QByteArray(), ok);
    });
}

void NetworkImageFetcher::Finish(const QString& url, const QByteArray& body, bool ok) {
    const QStringList urls = waiting_.take(url);
    if (urls.isEmpty()) return;
    if (!ok || body.isEmpty() || body.size() > limits_.maxBytes) {
        for (const QString& u : urls)
            Done(u, QImage());
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
                for (const QString& u : urls)
                    owner->Done(u, image);
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

#include "NetworkImageFetcher.moc"
