#include "platform/peer_end.h"

#include <cerrno>

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vidmora::platform {

void PeerEnd::watch(qintptr descriptor)
{
    release();
    if (descriptor >= 0)
        m_fd = ::fcntl(static_cast<int>(descriptor), F_DUPFD_CLOEXEC, 0);
}

bool PeerEnd::wasReset() const
{
    if (m_fd < 0)
        return false;
    int pending = 0;
    socklen_t len = sizeof pending;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &pending, &len) == 0 && pending == ECONNRESET)
        return true;
#ifdef TCP_INFO
    // Qt's own read has usually taken the pending error already. This side
    // never shuts its half down, so after the peer's FIN the connection waits
    // in CLOSE_WAIT; a reset leaves it CLOSED.
    tcp_info info{};
    len = sizeof info;
    if (::getsockopt(m_fd, IPPROTO_TCP, TCP_INFO, &info, &len) == 0)
        return info.tcpi_state == TCP_CLOSE;
#endif
    return false;
}

void PeerEnd::release()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace vidmora::platform
