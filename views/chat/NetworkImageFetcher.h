#pragma once
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <memory>
#include <mutex>

class QNetworkAccessManager;

// Pictures named by an address in the records (head images, link pictures), fetched
// without blocking: the first ask starts a request and answers nothing; when the
// picture has arrived (or the fetch failed) `ImageReady` tells its address, and every
// later ask answers from the cache. A failure is cached too, so an address is fetched
// at most once per fetcher. Only http and https addresses are fetched; a reply above the
// size cap, a time-out or an undecodable body is a failure. Decoding runs off the GUI
// thread. GUI thread only.
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

    Limits limits_;
    QNetworkAccessManager* manager_ = nullptr;
    QHash<QString, QImage> ready_;
    QSet<QString> failed_;
    QSet<QString> pending_;
    // The addresses as asked for, by the form their request carries (QUrl may spell an
    // address differently: "HTTP://Host/" is requested as "http://host/").
    QHash<QString, QStringList> waiting_;
    int requests_ = 0;
    // Lets decoding work hand its picture back while this object lives.
    struct Relay {
        std::mutex mutex;
        NetworkImageFetcher* owner = nullptr;
    };
    std::shared_ptr<Relay> relay_;
};
