// The loopback server of the network tests: what it records and each way it answers.
#include "tests/kit/LoopbackHttpServer.h"

#include "tests/scan/QtGtestMain.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Client {
    QNetworkAccessManager nam;

    std::unique_ptr<QNetworkReply> Send(QNetworkRequest request, const QByteArray& method,
                                        const QByteArray& body = {}) {
        request.setTransferTimeout(3000);
        std::unique_ptr<QNetworkReply> reply(method == "GET" ? nam.get(request) : nam.post(request, body));
        QSignalSpy done(reply.get(), &QNetworkReply::finished);
        if (!reply->isFinished()) {
            EXPECT_TRUE(done.wait(5000));
        }
        return reply;
    }
};

} // namespace

TEST(LoopbackHttpServer, RecordsRequestsAndAnswersInOrder) {
    kit::LoopbackHttpServer server;
    Client c;
    kit::CannedReply first = kit::CannedReply::Ok("one");
    first.headers.append(qMakePair(QByteArray("X-Extra"), QByteArray("yes")));
    server.Enqueue(first);
    server.Enqueue(kit::CannedReply::Status(500, "two"));

    QNetworkRequest post(QUrl(server.url("/path/a?x=1&y=%20")));
    post.setRawHeader("X-Test", "value");
    post.setHeader(QNetworkRequest::ContentTypeHeader, "application/octet-stream");
    auto r1 = c.Send(post, "POST", QByteArray("body\0bytes", 10));
    EXPECT_EQ(r1->readAll(), "one");
    EXPECT_EQ(r1->rawHeader("X-Extra"), "yes");
    auto r2 = c.Send(QNetworkRequest(QUrl(server.url("/b"))), "GET");
    EXPECT_EQ(r2->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 500);
    EXPECT_EQ(r2->readAll(), "two");
    auto r3 = c.Send(QNetworkRequest(QUrl(server.url("/c"))), "GET"); // queue empty
    EXPECT_EQ(r3->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/path/a");
    EXPECT_EQ(requests[0].query, "x=1&y=%20");
    EXPECT_EQ(requests[0].header("x-test"), "value");
    EXPECT_EQ(requests[0].body, QByteArray("body\0bytes", 10));
    EXPECT_EQ(requests[1].method, "GET");
    EXPECT_TRUE(requests[1].body.isEmpty());
    EXPECT_EQ(server.requestCount(), 3);
}

TEST(LoopbackHttpServer, FailureModes) {
    kit::LoopbackHttpServer server;
    Client c;
    server.Enqueue(kit::CannedReply::Closed());
    auto closed = c.Send(QNetworkRequest(QUrl(server.url("/x"))), "GET");
    EXPECT_NE(closed->error(), QNetworkReply::NoError);
    EXPECT_FALSE(closed->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());

    kit::CannedReply stall = kit::CannedReply::Ok("part");
    stall.mode = kit::CannedReply::Mode::Stall;
    stall.contentLength = 100;
    stall.stallMs = 200;
    server.Enqueue(stall);
    auto cut = c.Send(QNetworkRequest(QUrl(server.url("/y"))), "GET");
    EXPECT_NE(cut->error(), QNetworkReply::NoError); // fewer bytes than announced

    kit::CannedReply noLength = kit::CannedReply::Ok("until the end");
    noLength.contentLength = -2;
    server.Enqueue(noLength);
    auto whole = c.Send(QNetworkRequest(QUrl(server.url("/z"))), "GET");
    EXPECT_EQ(whole->readAll(), "until the end");
    EXPECT_FALSE(whole->header(QNetworkRequest::ContentLengthHeader).isValid());

    const quint16 refused = kit::LoopbackHttpServer::RefusedPort();
    auto none = c.Send(QNetworkRequest(QUrl("http://127.0.0.1:" + QString::number(refused) + "/")), "GET");
    EXPECT_EQ(none->error(), QNetworkReply::ConnectionRefusedError);
}

QT_GTEST_MAIN(QCoreApplication)
