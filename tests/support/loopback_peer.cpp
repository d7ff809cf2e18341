#include "loopback_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <linux/sockios.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

namespace vidmora::test {
namespace {

int listenOnLoopback(quint16 &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

bool sendAll(int fd, const char *data, size_t size, const std::atomic<bool> &stop)
{
    while (size > 0) {
        if (stop)
            return false;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

} // namespace

LoopbackPeer::LoopbackPeer(Responder responder)
    : m_responder(std::move(responder))
{
    m_listenFd = listenOnLoopback(m_port);
    m_thread = std::thread([this] { run(); });
}

LoopbackPeer::LoopbackPeer(Script script)
    : LoopbackPeer(Responder([script](const QByteArray &) { return script; }))
{
}

LoopbackPeer::~LoopbackPeer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listenFd >= 0)
        ::close(m_listenFd);
}

QList<QByteArray> LoopbackPeer::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

QList<QByteArray> LoopbackPeer::split(const QByteArray &bytes, qsizetype size)
{
    QList<QByteArray> pieces;
    for (qsizetype i = 0; i < bytes.size(); i += size)
        pieces.append(bytes.mid(i, size));
    return pieces;
}

void LoopbackPeer::run()
{
    // One connection at a time. Sockets stay open (sending half shut when
    // the script closes) until the peer is destroyed.
    std::vector<int> held;
    while (!m_stop && m_listenFd >= 0) {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++m_connections;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (serve(fd))
            held.push_back(fd);
    }
    for (int fd : held)
        ::close(fd);
}

bool LoopbackPeer::serve(int fd)
{
    QByteArray request;
    char buf[4096];
    while (!m_stop && !request.contains("\r\n\r\n")) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        request.append(buf, n);
    }
    {
        std::lock_guard lock(m_mutex);
        m_requests.append(request);
    }
    const Script script = m_responder(request);
    bool first = true;
    for (const QByteArray &piece : script.pieces) {
        if (m_stop)
            break;
        if (!first && script.pauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(script.pauseMs));
        first = false;
        if (!sendAll(fd, piece.constData(), size_t(piece.size()), m_stop))
            break;
    }
    if (script.reset) {
        // Every byte sent is taken in by the other side first (a reset drops
        // what is still on its way), then a close with a zero linger time
        // sends RST instead of FIN.
        for (int i = 0; i < 500 && !m_stop; ++i) {
            int unacked = 0;
            if (::ioctl(fd, SIOCOUTQ, &unacked) != 0 || unacked == 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        const linger hard{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(fd);
        return false;
    }
    // Closing only our sending half: the other side still reads every byte
    // (a full close with its request unread could reset the connection).
    if (script.close)
        ::shutdown(fd, SHUT_WR);
    return true;
}

ClosedLoopbackPort::ClosedLoopbackPort()
{
    // No SO_REUSEADDR: nobody else may bind the port while it is held.
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0
        && ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
        m_port = ntohs(addr.sin_port);
}

ClosedLoopbackPort::~ClosedLoopbackPort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace vidmora::test
