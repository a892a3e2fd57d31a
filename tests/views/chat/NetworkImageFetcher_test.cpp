// The network image fetcher against a loopback server: one request per address, failures
// remembered, only http and https, the size cap and the time-out; no request to a
// loopback or local-network address unless a rule allows it (the tests' server), checked
// on the resolved address and again on every redirect; no cookies, no credentials.
#include "views/chat/NetworkImageFetcher.h"

#include "tests/kit/LoopbackHttpServer.h"
#include "tests/views/media/ChatTestMain.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QHostAddress>
#include <QElapsedTimer>
#include <QImage>
#include <QSignalSpy>
#include <QThreadPool>

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

// Lets the tests' loopback server through the fetcher's address check.
void AllowLoopback(NetworkImageFetcher& fetcher) {
    fetcher.SetAddressRule([](const QHostAddress& a) { return a.isLoopback(); });
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
    AllowLoopback(fetcher);
    QSignalSpy ready(&fetcher, &NetworkImageFetcher::ImageReady);
    const QString good = server.url("/head.png"), missing = server.url("/missing.png"),
                  junk = server.url("/junk.png");
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
    AllowLoopback(fetcher);
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
    for (const char* url :
         {"", "file:///etc/passwd", "ftp://example.invalid/a.png", "data:image/png;base64,AAAA", "http://",
          "not an address", "javascript:alert(1)"}) {
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
    AllowLoopback(fetcher);
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
    AllowLoopback(strict);
    server.Enqueue(kit::CannedReply::Ok(Png(40, 4), "image/png"));
    strict.Image(server.url("/wide.png"));
    ASSERT_TRUE(Settled(strict, server.url("/wide.png")));
    EXPECT_EQ(NetworkImageFetcher::State::Failed, strict.StateOf(server.url("/wide.png")));
}

TEST(NetworkImageFetcher, PublicAddressesOnly) {
    struct Case {
        const char* address;
        bool isPublic;
    };
    const Case cases[] = {
        {"93.184.216.34", true},
        {"8.8.8.8", true},
        {"100.63.255.255", true},
        {"172.32.0.1", true},
        {"2606:4700::1111", true},
        {"::ffff:93.184.216.34", true},
        {"127.0.0.1", false},
        {"127.255.0.9", false},
        {"0.0.0.0", false},
        {"10.1.2.3", false},
        {"172.16.0.1", false},
        {"172.31.255.255", false},
        {"192.168.1.1", false},
        {"100.64.0.1", false},
        {"169.254.169.254", false},
        {"224.0.0.1", false},
        {"239.255.255.250", false},
        {"255.255.255.255", false},
        {"240.0.0.1", false},
        {"192.0.2.1", false},
        {"::1", false},
        {"::", false},
        {"fe80::1", false},
        {"fc00::1", false},
        {"fd12:3456::1", false},
        {"fec0::1", false},
        {"ff02::1", false},
        {"::ffff:127.0.0.1", false},
        {"::ffff:10.0.0.1", false},
        {"::127.0.0.1", false},
        {"2002:7f00:1::1", false},
        {"2002:5db8:d822::1", true},
        {"64:ff9b::a00:1", false},
        {"2001:db8::1", false},
    };
    for (const Case& c : cases) {
        const QHostAddress a(QString::fromLatin1(c.address));
        ASSERT_FALSE(a.isNull()) << c.address;
        EXPECT_EQ(c.isPublic, NetworkImageFetcher::IsPublicAddress(a)) << c.address;
    }
    EXPECT_FALSE(NetworkImageFetcher::IsPublicAddress(QHostAddress()));
}

// A backup's address naming this computer or the local network is never asked, however
// it is spelt: the check is made on the address the host resolves to.
TEST(NetworkImageFetcher, LoopbackAndLocalAddressesAreNeverAsked) {
    kit::LoopbackHttpServer server;
    server.Enqueue(kit::CannedReply::Ok(Png(4, 4), "image/png"));
    NetworkImageFetcher fetcher; // no rule: only public addresses
    const QString port = QString::number(server.port());
    for (const QString& url :
         {server.url("/head.png"), "http://localhost:" + port + "/head.png",
          "http://[::ffff:127.0.0.1]:" + port + "/head.png", "http://2130706433:" + port + "/head.png",
          "http://[::1]:" + port + "/head.png"}) {
        fetcher.Image(url);
        ASSERT_TRUE(Settled(fetcher, url)) << url.toStdString();
        EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf(url)) << url.toStdString();
    }
    EXPECT_EQ(0, server.requestCount());
}

// The host name is resolved, checked and pinned: the request reaches the address checked
// and carries the name in its "Host" header.
TEST(NetworkImageFetcher, ANameIsResolvedCheckedAndSentAlong) {
    kit::LoopbackHttpServer server;
    server.Enqueue(kit::CannedReply::Ok(Png(3, 2), "image/png"));
    NetworkImageFetcher fetcher;
    QList<QHostAddress> asked;
    fetcher.SetAddressRule([&](const QHostAddress& a) {
        asked << a;
        return a.isLoopback();
    });
    const QString url = QString("http://localhost:%1/head.png").arg(server.port());
    fetcher.Image(url);
    ASSERT_TRUE(Settled(fetcher, url));
    EXPECT_EQ(QSize(3, 2), fetcher.Image(url).size());
    ASSERT_EQ(1, server.requestCount());
    EXPECT_EQ("localhost:" + QByteArray::number(server.port()), server.requests()[0].header("Host"));
    EXPECT_FALSE(asked.isEmpty());
}

// Every redirect target is resolved and checked again before it is asked.
TEST(NetworkImageFetcher, RedirectsAreCheckedHopByHop) {
    kit::LoopbackHttpServer first, second;
    auto redirect = [](const QString& to) {
        kit::CannedReply r = kit::CannedReply::Status(302);
        r.headers.append(qMakePair(QByteArray("Location"), QByteArray(to.toUtf8())));
        return r;
    };
    {
        // The rule lets the first address through and no other: the redirect to the
        // second server (also a loopback address) is refused before any request.
        first.Enqueue(redirect(second.url("/b.png"))); // would answer 404 if asked
        NetworkImageFetcher fetcher;
        int asked = 0;
        fetcher.SetAddressRule([&asked](const QHostAddress& a) { return ++asked == 1 && a.isLoopback(); });
        fetcher.Image(first.url("/a.png"));
        ASSERT_TRUE(Settled(fetcher, first.url("/a.png")));
        EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf(first.url("/a.png")));
        EXPECT_EQ(1, first.requestCount());
        EXPECT_EQ(0, second.requestCount());
        EXPECT_EQ(2, asked);
    }
    {
        // Redirects into the local network are refused; allowed ones are followed.
        NetworkImageFetcher fetcher;
        QList<QHostAddress> asked;
        fetcher.SetAddressRule([&asked](const QHostAddress& a) {
            asked << a;
            return a == QHostAddress(QHostAddress::LocalHost);
        });
        first.Enqueue(redirect("http://10.0.0.1/inside.png"));
        fetcher.Image(first.url("/private.png"));
        ASSERT_TRUE(Settled(fetcher, first.url("/private.png")));
        EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf(first.url("/private.png")));
        EXPECT_TRUE(asked.contains(QHostAddress("10.0.0.1")));

        first.Enqueue(redirect("/moved.png")); // relative, to the same server
        first.Enqueue(redirect(second.url("/final.png")));
        second.Enqueue(kit::CannedReply::Ok(Png(5, 7), "image/png"));
        fetcher.Image(first.url("/good.png"));
        ASSERT_TRUE(Settled(fetcher, first.url("/good.png")));
        EXPECT_EQ(QSize(5, 7), fetcher.Image(first.url("/good.png")).size());
        ASSERT_EQ(1, second.requestCount());
        EXPECT_EQ("/final.png", second.requests()[0].path);

        // More than three hops is a failure.
        for (int i = 0; i < 4; ++i)
            first.Enqueue(redirect(first.url("/loop")));
        const int before = first.requestCount();
        fetcher.Image(first.url("/loop"));
        ASSERT_TRUE(Settled(fetcher, first.url("/loop")));
        EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf(first.url("/loop")));
        EXPECT_EQ(before + 4, first.requestCount());
    }
}

TEST(NetworkImageFetcher, NoCookiesAndNoCredentials) {
    kit::LoopbackHttpServer server;
    NetworkImageFetcher fetcher;
    AllowLoopback(fetcher);
    auto withCookie = kit::CannedReply::Ok(Png(2, 2), "image/png");
    withCookie.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("session=secret; Path=/")));
    server.Enqueue(withCookie);
    server.Enqueue(kit::CannedReply::Ok(Png(2, 2), "image/png"));
    auto challenge = kit::CannedReply::Status(401);
    challenge.headers.append(qMakePair(QByteArray("WWW-Authenticate"), QByteArray("Basic realm=\"x\"")));
    server.Enqueue(challenge);
    for (const char* path : {"/one.png", "/two.png", "/locked.png"}) {
        fetcher.Image(server.url(path));
        ASSERT_TRUE(Settled(fetcher, server.url(path))) << path;
    }
    EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf(server.url("/locked.png")));
    // An address with a user or password is not fetched at all.
    QString withUser = server.url("/user.png");
    withUser.replace("http://", "http://user:password@");
    fetcher.Image(withUser);
    EXPECT_EQ(NetworkImageFetcher::State::Failed, fetcher.StateOf(withUser));
    ASSERT_EQ(3, server.requestCount());
    for (const kit::RecordedRequest& r : server.requests()) {
        EXPECT_TRUE(r.header("Cookie").isEmpty()) << r.path.constData();
        EXPECT_TRUE(r.header("Authorization").isEmpty()) << r.path.constData();
    }
}

// A fetcher whose transfers end at once with a picture: only the decoding is left.
class InstantFetcher final : public NetworkImageFetcher {
  public:
    explicit InstantFetcher(QByteArray body) : body_(std::move(body)) {}

  protected:
    void StartRequest(const QUrl& url) override { Finish(url.toString(), body_, true); }

  private:
    QByteArray body_;
};

// A fetcher that goes away at any stage of a fetch sends nothing more, and what comes
// back for it afterwards (the host lookup, the reply, the decoded picture) finds no one.
TEST(NetworkImageFetcher, GoingAwayWithFetchesPendingIsSafe) {
    kit::LoopbackHttpServer server;
    // While the host is looked up: the request is never sent.
    {
        NetworkImageFetcher fetcher;
        AllowLoopback(fetcher);
        fetcher.Image(server.url("/looked-up.png"));
        ASSERT_EQ(NetworkImageFetcher::State::Pending, fetcher.StateOf(server.url("/looked-up.png")));
    }
    // While the reply is on its way: the server has the request, the answer finds no one.
    kit::CannedReply slow = kit::CannedReply::Ok(Png(4, 4), "image/png");
    slow.mode = kit::CannedReply::Mode::Stall;
    slow.stallMs = 300;
    server.Enqueue(slow);
    {
        NetworkImageFetcher fetcher;
        AllowLoopback(fetcher);
        fetcher.Image(server.url("/on-its-way.png"));
        ASSERT_TRUE(WaitFor([&] { return server.requestCount() == 1; }));
        EXPECT_EQ(NetworkImageFetcher::State::Pending, fetcher.StateOf(server.url("/on-its-way.png")));
    }
    // A later fetch through the same server settles as usual, and the server never heard
    // of the fetch whose host was still being looked up.
    server.Enqueue(kit::CannedReply::Ok(Png(4, 4), "image/png"));
    NetworkImageFetcher later;
    AllowLoopback(later);
    QSignalSpy ready(&later, &NetworkImageFetcher::ImageReady);
    later.Image(server.url("/later.png"));
    ASSERT_TRUE(Settled(later, server.url("/later.png")));
    EXPECT_EQ(NetworkImageFetcher::State::Ready, later.StateOf(server.url("/later.png")));
    EXPECT_EQ(1, ready.count());
    ASSERT_EQ(2, server.requestCount()); // nothing for the fetcher gone while looking up
    EXPECT_EQ("/on-its-way.png", server.requests()[0].path);
    EXPECT_EQ("/later.png", server.requests()[1].path);
    // While the picture is decoded: the decoding ends without handing it to anyone.
    {
        InstantFetcher fetcher(Png(4, 4));
        AllowLoopback(fetcher);
        fetcher.Image(QStringLiteral("http://decoding.example/a.png"));
        EXPECT_EQ(NetworkImageFetcher::State::Pending, fetcher.StateOf("http://decoding.example/a.png"));
    }
    ASSERT_TRUE(QThreadPool::globalInstance()->waitForDone(5000));
    // Had the decoding handed its picture to the fetcher gone, this would run it.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(2, server.requestCount());
}

} // namespace

CHAT_TEST_MAIN(QGuiApplication)
