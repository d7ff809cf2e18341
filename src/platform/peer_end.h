#pragma once

#include <QtGlobal>

namespace vidmora::platform {

// Qt reports a peer's orderly close (FIN) and its reset (RST) alike, as
// RemoteHostClosedError, and has closed its descriptor by the time it says
// so. A duplicate of the descriptor, taken while the connection is up, keeps
// the system's socket to ask how the connection ended.
class PeerEnd final {
    Q_DISABLE_COPY_MOVE(PeerEnd)
public:
    PeerEnd() = default;
    ~PeerEnd() { release(); }

    // Watches the connected socket behind `descriptor` (drops any earlier one).
    void watch(qintptr descriptor);
    // Whether the peer reset the connection: its pending error says so, or the
    // connection has gone straight to closed where an orderly close leaves it
    // waiting for this side's close. False when nothing is watched.
    bool wasReset() const;
    // Lets go of the socket (which closes it once Qt has let go too).
    void release();

private:
    int m_fd = -1;
};

} // namespace vidmora::platform
