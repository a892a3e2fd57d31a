#pragma once
// A network image fetcher that records its requests and is answered by the test.
#include "views/chat/NetworkImageFetcher.h"

#include <QStringList>

class FakeImageFetcher : public NetworkImageFetcher {
  public:
    using NetworkImageFetcher::NetworkImageFetcher;
    QStringList started;
    void Answer(const QString& url, const QByteArray& body, bool ok = true) { Finish(url, body, ok); }

  protected:
    void StartRequest(const QUrl& url) override { started << url.toString(); }
};
