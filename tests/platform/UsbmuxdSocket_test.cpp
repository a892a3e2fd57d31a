// The usbmuxd socket check: the address the device library uses, and whether something
// answers there, over a Unix socket file or TCP, with absent and malformed addresses.
#include "platform/UsbmuxdSocket.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A listening socket that accepts nothing (the kernel completes connections by itself).
class Listener {
  public:
    // On the Unix socket file `path`.
    explicit Listener(const QByteArray& path) {
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::memcpy(a.sun_path, path.constData(), size_t(path.size()));
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 && ::listen(fd, 4) == 0;
    }
    // On a free TCP port of 127.0.0.1.
    Listener() {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        socklen_t length = sizeof(a);
        ok = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0 && ::listen(fd, 4) == 0 &&
             ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0;
        port = ntohs(a.sin_port);
    }
    ~Listener() {
        if (fd >= 0) ::close(fd);
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    bool ok = false;
    int port = 0;

  private:
    int fd = -1;
};

TEST(UsbmuxdSocket, AddressIsTheLibrarysOwn) {
    ::unsetenv("USBMUXD_SOCKET_ADDRESS");
    EXPECT_EQ(UsbmuxdSocket::Address(), "UNIX:/var/run/usbmuxd");
    ::setenv("USBMUXD_SOCKET_ADDRESS", "UNIX:/tmp/elsewhere", 1);
    EXPECT_EQ(UsbmuxdSocket::Address(), "UNIX:/tmp/elsewhere");
    ::setenv("USBMUXD_SOCKET_ADDRESS", "127.0.0.1:27015", 1);
    EXPECT_EQ(UsbmuxdSocket::Address(), "127.0.0.1:27015");
    ::unsetenv("USBMUXD_SOCKET_ADDRESS");
}

TEST(UsbmuxdSocket, AnswersOnlyWhereSomethingListens) {
    QTemporaryDir dir;
    const QString file = dir.filePath("usbmuxd");
    EXPECT_FALSE(UsbmuxdSocket::Answers("UNIX:" + file)); // no socket file
    {
        Listener unixListener(file.toLocal8Bit());
        ASSERT_TRUE(unixListener.ok);
        EXPECT_TRUE(UsbmuxdSocket::Answers("UNIX:" + file));
        ::setenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + file).toLocal8Bit().constData(), 1);
        EXPECT_TRUE(UsbmuxdSocket::DaemonAnswers());
    }
    // The socket file stays behind with nobody listening on it.
    EXPECT_FALSE(UsbmuxdSocket::Answers("UNIX:" + file));
    EXPECT_FALSE(UsbmuxdSocket::DaemonAnswers());
    ::unsetenv("USBMUXD_SOCKET_ADDRESS");

    int freedPort = 0;
    {
        Listener tcp;
        ASSERT_TRUE(tcp.ok);
        freedPort = tcp.port;
        EXPECT_TRUE(UsbmuxdSocket::Answers(QStringLiteral("127.0.0.1:%1").arg(tcp.port)));
        EXPECT_TRUE(UsbmuxdSocket::Answers(QStringLiteral("localhost:%1").arg(tcp.port)));
    }
    EXPECT_FALSE(UsbmuxdSocket::Answers(QStringLiteral("127.0.0.1:%1").arg(freedPort)));
}

// A daemon whose queue of waiting connections is full is there: the check says so at
// once instead of waiting in connect for a place in the queue.
TEST(UsbmuxdSocket, ADaemonWithAFullQueueAnswersAtOnce) {
    QTemporaryDir dir;
    const QString file = dir.filePath("usbmuxd");
    Listener listener(file.toLocal8Bit());
    ASSERT_TRUE(listener.ok);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const QByteArray path = file.toLocal8Bit();
    std::memcpy(a.sun_path, path.constData(), size_t(path.size()));
    std::vector<int> waiting;
    bool full = false;
    while (!full && waiting.size() < 1000) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ASSERT_GE(fd, 0);
        waiting.push_back(fd);
        full = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 && errno == EAGAIN;
    }
    ASSERT_TRUE(full);
    EXPECT_TRUE(UsbmuxdSocket::Answers("UNIX:" + file));
    for (int fd : waiting)
        ::close(fd);
}

TEST(UsbmuxdSocket, MalformedAddressesDoNotAnswer) {
    const QString longPath = "UNIX:/" + QString(200, 'a');
    for (const QString& address :
         {QString(), QStringLiteral("UNIX:"), QStringLiteral("usbmuxd"), QStringLiteral(":27015"),
          QStringLiteral("127.0.0.1:"), QStringLiteral("127.0.0.1:port"), QStringLiteral("127.0.0.1:-1"),
          longPath})
        EXPECT_FALSE(UsbmuxdSocket::Answers(address)) << address.toStdString();
}

} // namespace
