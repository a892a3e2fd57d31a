#pragma once
// A small HTTP/1.1 server on 127.0.0.1 (a free port chosen by the system) running on a
// thread of its own, for tests of code that talks to web services. It records every
// request (method, path, query, headers, body bytes) and answers each from a queue of
// canned replies, oldest first; with the queue empty it answers 404. A reply can also
// close the connection at once or hold it for a bounded time without finishing.
// Every connection is closed after its one reply.
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <memory>

namespace kit {

struct CannedReply {
    enum class Mode {
        Answer,      // status line, headers, body
        CloseAtOnce, // drop the connection without a byte
        Stall,       // send the headers and the body given, then hold the connection for
                     // stallMs without finishing (the declared length is then usually
                     // larger than the body), then drop it
    };
    Mode mode = Mode::Answer;
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // The "Content-Length" sent: -1 the body's size, -2 none at all (the body then ends
    // when the connection closes), anything else that number (a lying length).
    qint64 contentLength = -1;
    int stallMs = 3000;
    // How many requests this reply answers. Qt's client sends a request again, once,
    // when the connection closes before any answer: a "close at once" for it needs 2.
    int repeat = 1;

    static CannedReply Ok(const QByteArray& body, const QByteArray& contentType = "text/plain");
    static CannedReply Status(int status, const QByteArray& body = {});
    static CannedReply Closed(int repeat = 2);
};

struct RecordedRequest {
    QByteArray method;
    QByteArray path;  // without the query
    QByteArray query; // after "?", without it; empty when none
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;

    // The value of a header (case-insensitive name), empty when absent.
    QByteArray header(const QByteArray& name) const;
};

class LoopbackHttpServer {
  public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    quint16 port() const;
    // "http://127.0.0.1:<port>" followed by `path` (which starts with "/").
    QString url(const QString& path = QStringLiteral("/")) const;
    // "127.0.0.1:<port>", the host part for code that builds its own addresses.
    QString hostAndPort() const;

    void Enqueue(const CannedReply& reply);
    QList<RecordedRequest> requests() const;
    int requestCount() const;

    // A loopback port on which nothing listens: connections to it are refused.
    static quint16 RefusedPort();

  private:
    struct State;
    std::shared_ptr<State> state;
};

} // namespace kit
