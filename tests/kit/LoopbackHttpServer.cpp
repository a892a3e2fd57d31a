#include "tests/kit/LoopbackHttpServer.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <deque>

namespace kit {

CannedReply CannedReply::Ok(const QByteArray& body, const QByteArray& contentType) {
    CannedReply r;
    r.body = body;
    r.headers.append(qMakePair(QByteArray("Content-Type"), contentType));
    return r;
}

CannedReply CannedReply::Closed(int repeat) {
    CannedReply r;
    r.mode = Mode::CloseAtOnce;
    r.repeat = repeat;
    return r;
}

CannedReply CannedReply::Status(int status, const QByteArray& body) {
    CannedReply r;
    r.status = status;
    r.body = body;
    r.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/html")));
    return r;
}

QByteArray RecordedRequest::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) return value;
    }
    return {};
}

namespace {

constexpr qsizetype kMaxRequestBytes = 64 * 1024 * 1024;

QByteArray Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

struct LoopbackHttpServer::State {
    QThread thread;
    std::unique_ptr<QObject> context; // lives in `thread`; parent of server and sockets
    QTcpServer* server = nullptr;     // owned by `context`
    quint16 port = 0;

    mutable QMutex mutex;
    std::deque<CannedReply> replies;
    QList<RecordedRequest> requests;

    void Accept();
    void Read(QTcpSocket* socket);
    void Answer(QTcpSocket* socket, const CannedReply& reply);
};

void LoopbackHttpServer::State::Accept() {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        socket->setParent(context.get());
        QObject::connect(socket, &QTcpSocket::readyRead, context.get(), [this, socket] { Read(socket); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackHttpServer::State::Read(QTcpSocket* socket) {
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    QByteArray data = socket->property("pending").toByteArray() + socket->readAll();
    if (data.size() > kMaxRequestBytes) {
        socket->abort();
        return;
    }
    const qsizetype headerEnd = data.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        socket->setProperty("pending", data);
        return;
    }
    RecordedRequest request;
    const QList<QByteArray> lines = data.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    const QByteArray target = requestLine.value(1);
    const qsizetype q = target.indexOf('?');
    request.path = q < 0 ? target : target.left(q);
    request.query = q < 0 ? QByteArray() : target.mid(q + 1);
    qint64 length = 0;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        request.headers.append(qMakePair(name, value));
        if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) length = value.toLongLong();
    }
    const qsizetype bodyStart = headerEnd + 4;
    if (data.size() - bodyStart < length) {
        socket->setProperty("pending", data);
        return;
    }
    request.body = data.mid(bodyStart, length);
    socket->setProperty("answered", true);

    CannedReply reply = CannedReply::Status(404, "no canned reply");
    {
        QMutexLocker lock(&mutex);
        requests.append(request);
        if (!replies.empty()) {
            reply = replies.front();
            if (--replies.front().repeat <= 0) replies.pop_front();
        }
    }
    Answer(socket, reply);
}

void LoopbackHttpServer::State::Answer(QTcpSocket* socket, const CannedReply& reply) {
    if (reply.mode == CannedReply::Mode::CloseAtOnce) {
        socket->abort();
        return;
    }
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + Reason(reply.status) + "\r\n";
    for (const auto& [name, value] : reply.headers)
        out += name + ": " + value + "\r\n";
    if (reply.contentLength == -1) {
        out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    } else if (reply.contentLength >= 0) {
        out += "Content-Length: " + QByteArray::number(reply.contentLength) + "\r\n";
    }
    out += "Connection: close\r\n\r\n";
    out += reply.body;
    socket->write(out);
    socket->flush();
    if (reply.mode == CannedReply::Mode::Stall) {
        QPointer<QTcpSocket> guard(socket);
        QTimer::singleShot(reply.stallMs, context.get(), [guard] {
            if (guard) guard->abort();
        });
        return;
    }
    if (socket->bytesToWrite() == 0) {
        socket->disconnectFromHost();
    } else {
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [socket] {
            if (socket->bytesToWrite() == 0) socket->disconnectFromHost();
        });
    }
}

LoopbackHttpServer::LoopbackHttpServer() : state(std::make_shared<State>()) {
    state->context = std::make_unique<QObject>();
    state->context->moveToThread(&state->thread);
    state->thread.start();
    State* s = state.get();
    QMetaObject::invokeMethod(
        s->context.get(),
        [s] {
            s->server = new QTcpServer(s->context.get()); // owned by the context object
            QObject::connect(s->server, &QTcpServer::newConnection, s->context.get(), [s] { s->Accept(); });
            if (s->server->listen(QHostAddress::LocalHost, 0)) s->port = s->server->serverPort();
        },
        Qt::BlockingQueuedConnection);
}

LoopbackHttpServer::~LoopbackHttpServer() {
    State* s = state.get();
    // Sockets and the server go in their own thread.
    QMetaObject::invokeMethod(
        s->context.get(), [s] { qDeleteAll(s->context->children()); }, Qt::BlockingQueuedConnection);
    s->server = nullptr;
    s->thread.quit();
    s->thread.wait();
    s->context.reset();
}

quint16 LoopbackHttpServer::port() const {
    return state->port;
}

QString LoopbackHttpServer::url(const QString& path) const {
    return QStringLiteral("http://") + hostAndPort() + path;
}

QString LoopbackHttpServer::hostAndPort() const {
    return QStringLiteral("127.0.0.1:") + QString::number(state->port);
}

void LoopbackHttpServer::Enqueue(const CannedReply& reply) {
    QMutexLocker lock(&state->mutex);
    state->replies.push_back(reply);
}

QList<RecordedRequest> LoopbackHttpServer::requests() const {
    QMutexLocker lock(&state->mutex);
    return state->requests;
}

int LoopbackHttpServer::requestCount() const {
    QMutexLocker lock(&state->mutex);
    return int(state->requests.size());
}

quint16 LoopbackHttpServer::RefusedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 1;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace kit
