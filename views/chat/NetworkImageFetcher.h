#pragma once
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>

class QHostAddress;
class QNetworkAccessManager;

// Pictures named by an address in the records (head images, link pictures), fetched
// without blocking: the first ask starts a request and answers nothing; when the
// picture has arrived (or the fetch failed) `ImageReady` tells its address, and every
// later ask answers from the cache. A failure is cached too, so an address is fetched
// at most once per fetcher. Only http and https addresses without user or password are
// fetched; a reply above the size cap, a time-out or an undecodable body is a failure.
// The addresses come from the backup, written by anyone: the host is resolved off the
// GUI thread, every address it resolves to must be a public one (no loopback, private,
// shared, link-local, multicast or reserved network), and the request goes to the
// address checked (the host name travels in the "Host" header and the TLS name check).
// Redirects (at most 3, never from https to http) are checked and pinned the same way,
// hop by hop. No cookie is sent or kept and no credentials are given. Decoding runs off
// the GUI thread. GUI thread only.
class NetworkImageFetcher : public QObject {
    Q_OBJECT
  public:
    struct Limits {
        int timeoutMs = 15000;
        qint64 maxBytes = 4 * 1024 * 1024;
        int maxSide = 2048; // pictures with a longer side are refused
    };
    enum class State { Unknown, Pending, Ready, Failed };

    explicit NetworkImageFetcher(QObject* parent = nullptr);
    NetworkImageFetcher(Limits limits, QObject* parent = nullptr);
    ~NetworkImageFetcher() override;

    // The picture of `url`: null while unknown, pending or failed. An unknown address
    // is requested (an empty or unusable one fails at once, without a request).
    QImage Image(const QString& url);
    State StateOf(const QString& url) const;
    // Requests started so far.
    int RequestCount() const { return requests_; }

    // Addresses `allow` accepts are fetched although they are not public ones (tests
    // let their loopback server through). Asked once per address a host resolves to.
    void SetAddressRule(std::function<bool(const QHostAddress&)> allow) { allow_ = std::move(allow); }
    // True for an address of the public internet: false for unspecified, loopback,
    // private, shared (carrier NAT), link-local, multicast, broadcast, reserved and
    // documentation networks, IPv6 unique-local and site-local ones, and IPv6 forms that
    // carry such an IPv4 address (mapped, compatible, 6to4, NAT64).
    static bool IsPublicAddress(const QHostAddress& address);

  signals:
    // The fetch of `url` ended (its picture is ready, or it failed).
    void ImageReady(const QString& url);

  protected:
    // Starts the transfer of `url` (an http or https address); the transfer ends with
    // Finish. The default uses the network; tests replace it.
    virtual void StartRequest(const QUrl& url);
    // The transfer of `url` (as StartRequest got it, `QUrl::toString()`) ended: `ok`
    // with the body, else failed.
    void Finish(const QString& url, const QByteArray& body, bool ok);
    const Limits& limits() const { return limits_; }

  private:
    void Done(const QString& url, const QImage& image);
    // One hop of the fetch of `key`: resolves the host of `url`, checks its addresses
    // and requests `url` from the first of them; `hops` redirects were followed so far.
    void Resolve(const QString& key, const QUrl& url, int hops);
    void Get(const QString& key, const QUrl& url, const QHostAddress& address, int hops);
    bool Allowed(const QHostAddress& address) const;

    Limits limits_;
    QNetworkAccessManager* manager_ = nullptr;
    QHash<QString, QImage> ready_;
    QSet<QString> failed_;
    QSet<QString> pending_;
    // The addresses as asked for, by the form their request carries (QUrl may spell an
    // address differently: "HTTP://Host/" is requested as "http://host/").
    QHash<QString, QStringList> waiting_;
    int requests_ = 0;
    std::function<bool(const QHostAddress&)> allow_;
    // Lets decoding work hand its picture back while this object lives.
    struct Relay {
        std::mutex mutex;
        NetworkImageFetcher* owner = nullptr;
    };
    std::shared_ptr<Relay> relay_;
};
