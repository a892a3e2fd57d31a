// The terms window: its address, a fetch from a local server that answers, fails or
// never answers, and links going to the browser.
#include "gui/NSLanguageText.h"
#include "app/pages/WebWindowController.h"
#include "tests/kit/FakeOpener.h"
#include "tests/kit/QtTestMain.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

namespace {

// Answers every request with a fixed HTTP response (or never, when it is empty), and
// keeps the request lines it saw.
class LocalServer {
  public:
    explicit LocalServer(QByteArray response) : response(std::move(response)) {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                QObject::connect(s, &QTcpSocket::readyRead, s, [this, s] {
                    const QByteArray request = s->readAll();
                    requests << request.left(request.indexOf("\r\n"));
                    if (this->response.isEmpty()) return;
                    s->write(this->response);
                    s->disconnectFromHost();
                });
            }
        });
    }
    QUrl Url(const char* path) const {
        return QUrl(
            QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(QLatin1String(path)));
    }
    QList<QByteArray> requests;

  private:
    QTcpServer server;
    QByteArray response;
};

QByteArray Http(const char* status, const QByteArray& body) {
    return QByteArray("HTTP/1.1 ") + status +
           "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

TEST(Terms, Address) {
    struct Case {
        const char* host;
        const char* url;
    } cases[] = {
        {"terms.example.org", "https://terms.example.org/pdf/tos.html"},
        {" terms.example.org ", "https://terms.example.org/pdf/tos.html"},
        {"terms.example.org:8443", "https://terms.example.org:8443/pdf/tos.html"},
        {"", ""},
        {"http://x/y", ""},
        {"a b", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WebWindowController::TermsUrl(QString::fromLatin1(c.host)).toString(),
                  QString::fromLatin1(c.url))
            << c.host;
    // The shipped configuration names no host.
    EXPECT_EQ(WebWindowController::ConfiguredHost(), "");
}

TEST(Terms, ShowsThePage) {
    LocalServer server(
        Http("200 OK",
             "<html><body><h1>Our terms</h1><a href=\"https://example.org/more\">more</a></body></html>"));
    WebWindowController window;
    window.show();
    QSignalSpy done(&window, &WebWindowController::loaded);
    window.Load(server.Url("/pdf/tos.html"));
    EXPECT_TRUE(window.isLoading());
    ASSERT_TRUE(done.wait(5000));
    EXPECT_TRUE(done[0][0].toBool());
    EXPECT_TRUE(window.Browser()->toPlainText().contains("Our terms"));
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(server.requests[0], "GET /pdf/tos.html HTTP/1.1");

    kit::FakeOpener opener;
    emit window.Browser()->anchorClicked(QUrl("https://example.org/more"));
    emit window.Browser()->anchorClicked(QUrl("file:///etc/passwd"));
    ASSERT_EQ(opener.Opened().size(), 1);
    EXPECT_EQ(opener.Opened()[0], QUrl("https://example.org/more"));
}

TEST(Terms, FailureShowsTheMessage) {
    LocalServer server(Http("404 Not Found", "missing"));
    WebWindowController window;
    QSignalSpy done(&window, &WebWindowController::loaded);
    window.Load(server.Url("/pdf/tos.html"));
    ASSERT_TRUE(done.wait(5000));
    EXPECT_FALSE(done[0][0].toBool());
    EXPECT_EQ(window.Browser()->toPlainText(), LanguageText("TermsLoadFailed"));
    // No address at all fails at once.
    window.Load(QUrl());
    EXPECT_EQ(done.size(), 2);
    EXPECT_EQ(window.Browser()->toPlainText(), LanguageText("TermsLoadFailed"));
}

TEST(Terms, ASilentServerDoesNotBlock) {
    LocalServer server{QByteArray()};
    WebWindowController window;
    QSignalSpy done(&window, &WebWindowController::loaded);
    QElapsedTimer t;
    t.start();
    window.Load(server.Url("/pdf/tos.html"));
    EXPECT_LT(t.elapsed(), 1000); // returned at once
    EXPECT_EQ(window.Browser()->toPlainText(), LanguageText("TermsLoading"));
    // A new load replaces the hanging one.
    window.Load(QUrl());
    EXPECT_FALSE(window.isLoading());
}

} // namespace

KIT_QT_TEST_MAIN(QApplication)
