#include "platform/UsbmuxdSocket.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>

namespace {

constexpr int kConnectTimeoutMs = 2000;

// Closes its descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd; }

  private:
    int fd;
};

bool AnswersUnix(const QByteArray& path) {
    sockaddr_un address{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address.sun_path)) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    // Never blocking: a daemon whose queue of waiting connections is full would hold a
    // blocking connect (and the check with it). It answers all the same: it is there.
    Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (fd.get() < 0) return false;
    return ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ||
           errno == EAGAIN;
}

// A connection within the timeout to one resolved address.
bool AnswersInet(const addrinfo& candidate) {
    Descriptor fd(::socket(candidate.ai_family, candidate.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                           candidate.ai_protocol));
    if (fd.get() < 0) return false;
    if (::connect(fd.get(), candidate.ai_addr, candidate.ai_addrlen) == 0) return true;
    if (errno != EINPROGRESS) return false;
    pollfd wait{fd.get(), POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&wait, 1, kConnectTimeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready != 1) return false;
    int error = 0;
    socklen_t length = sizeof(error);
    return ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool AnswersInet(const QByteArray& host, const QByteArray& port) {
    if (host.isEmpty() || port.isEmpty()) return false;
    for (char c : port)
        if (c < '0' || c > '9') return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0) return false;
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);
    for (const addrinfo* a = list.get(); a; a = a->ai_next)
        if (AnswersInet(*a)) return true;
    return false;
}

} // namespace

QString UsbmuxdSocket::Address() {
    const QString set = qEnvironmentVariable("USBMUXD_SOCKET_ADDRESS");
    return set.isEmpty() ? QStringLiteral("UNIX:/var/run/usbmuxd") : set;
}

bool UsbmuxdSocket::Answers(const QString& address) {
    if (address.startsWith(QStringLiteral("UNIX:"))) return AnswersUnix(address.mid(5).toLocal8Bit());
    const qsizetype colon = address.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) return false;
    QString host = address.left(colon);
    // "[::1]:27015" names an IPv6 host in brackets.
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    return AnswersInet(host.toLocal8Bit(), address.mid(colon + 1).toLatin1());
}

bool UsbmuxdSocket::DaemonAnswers() {
    return Answers(Address());
}
