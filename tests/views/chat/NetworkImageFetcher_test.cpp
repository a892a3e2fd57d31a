// The network image fetcher against a loopback server: one request per address, failures
// remembered, only http and https, the size cap and the time-out.
#include "views/chat/NetworkImageFetcher.h"

#include "tests/kit/LoopbackHttpServer.h"
#include "tests/views/chat/ChatTestMain.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

namespace {

bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > 5000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QByteArray Png(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool Settled(NetworkImageFetcher& fetcher, const QString& url) {
    return WaitFor([&] {
        const auto s = fetcher.StateOf(url);
        return s == NetworkImageFetcher::State::Ready || s == NetworkImageFetcher::State::Failed;
    });
}

TEST(NetworkImageFetcher, FetchesOncePerAddressAndRemembersFailures) {
    kit::LoopbackHttpServer server;
    server.Enqueue(kit::CannedReply::Ok(Png(12, 8), "image/png"));
    server.Enqueue(kit::CannedReply::Status(404));
    server.Enqueue(kit::CannedReply::Ok("not a picture", "image/png"));
    NetworkImageFetcher fetcher;
    QSignalSpy ready(&fetcher, &NetworkImageFetcher::ImageReady);
    const QString good = server.url("/head.png"), missing = server.url("/missing.png"), junk = server.url("/junk.png");
    EXPECT_TRUE(fetcher.Image(good).isNull()); // not there yet
    EXPECT_TRUE(fetcher.Image(good).isNull());
    ASSERT_TRUE(Settled(fetcher, good));
    EXPECT_EQ(QSize(12, 8), fetcher.Image(good).size());
    for (const QString& url : {missing, junk}) {
        fetcher.Image(url);
        ASSERT_TRUE(Settled(fetcher, url));
        EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf(url));
        EXPECT_TRUE(fetcher.Image(url).isNull());
    }
    EXPECT_EQ(3, server.requestCount());
    EXPECT_EQ(3, fetcher.RequestCount());
    EXPECT_EQ(3, ready.count());
}

TEST(NetworkImageFetcher, AnAddressSpeltOtherwiseThanItsRequestStillSettles) {
    // QUrl writes "HTTP://" as "http://": the answer must still reach the address asked for.
    kit::LoopbackHttpServer server;
    server.Enqueue(kit::CannedReply::Ok(Png(6, 5), "image/png"));
    NetworkImageFetcher fetcher;
    QString upper = server.url("/head.png");
    upper.replace(0, 4, "HTTP");
    const QString lower = server.url("/head.png");
    fetcher.Image(upper);
    fetcher.Image(lower); // the same address: no second request
    ASSERT_TRUE(Settled(fetcher, upper));
    ASSERT_TRUE(Settled(fetcher, lower));
    EXPECT_EQ(QSize(6, 5), fetcher.Image(upper).size());
    EXPECT_EQ(QSize(6, 5), fetcher.Image(lower).size());
    EXPECT_EQ(1, server.requestCount());
    EXPECT_EQ(1, fetcher.RequestCount());
}

TEST(NetworkImageFetcher, OnlyWebAddressesAreFetched) {
    NetworkImageFetcher fetcher;
    for (const char* url : {"", "file:///etc/passwd", "ftp://example.invalid/a.png", "data:image/png;base64,AAAA",
                            "http://", "not an address", "javascript:alert(1)"}) {
        EXPECT_TRUE(fetcher.Image(url).isNull()) << url;
        EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf(url)) << url;
    }
    EXPECT_EQ(0, fetcher.RequestCount());
}

TEST(NetworkImageFetcher, SizeCapTimeOutAndUnreachable) {
    kit::LoopbackHttpServer server;
    NetworkImageFetcher::Limits limits;
    limits.maxBytes = 1000;
    limits.timeoutMs = 500;
    NetworkImageFetcher fetcher(limits);
    // Too large by its declared length, and by its body without one.
    server.Enqueue(kit::CannedReply::Ok(QByteArray(5000, 'x'), "image/png"));
    auto unsized = kit::CannedReply::Ok(QByteArray(5000, 'x'), "image/png");
    unsized.contentLength = -2;
    server.Enqueue(unsized);
    // A server that never finishes.
    kit::CannedReply stall;
    stall.mode = kit::CannedReply::Mode::Stall;
    stall.body = "partial";
    stall.contentLength = 900;
    stall.stallMs = 3000;
    server.Enqueue(stall);
    const QString refused = QString("http://127.0.0.1:%1/x.png").arg(kit::LoopbackHttpServer::RefusedPort());
    for (const QString& url : {server.url("/big"), server.url("/unsized"), server.url("/stall"), refused}) {
        fetcher.Image(url);
        ASSERT_TRUE(Settled(fetcher, url)) << url.toStdString();
        EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf(url)) << url.toStdString();
    }
    // A picture above the side limit is refused though its bytes fit.
    NetworkImageFetcher::Limits small;
    small.maxSide = 10;
    NetworkImageFetcher strict(small);
    server.Enqueue(kit::CannedReply::Ok(Png(40, 4), "image/png"));
    strict.Image(server.url("/wide.png"));
    ASSERT_TRUE(Settled(strict, server.url("/wide.png")));
    EXPECT_EQ(NetworkImageFetcher::State::Failed, strict.StateOf(server.url("/wide.png")));
}

TEST(NetworkImageFetcher, GoingAwayWithFetchesPendingIsSafe) {
    kit::LoopbackHttpServer server;
    server.Enqueue(kit::CannedReply::Ok(Png(4, 4), "image/png"));
    {
        NetworkImageFetcher fetcher;
        fetcher.Image(server.url("/a.png"));
    }
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    SUCCEED();
}

} // namespace

CHAT_TEST_MAIN(QGuiApplication)
