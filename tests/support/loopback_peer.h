#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vidmora::test {

// A raw TCP peer on 127.0.0.1 with a thread of its own: for each connection it
// reads the request up to its blank line, then plays back a script of writes
// byte for byte (one send per piece, optional pauses) and closes or stays
// silent, or resets it. For tests that must see the exact bytes on the wire, and for a
// caller whose own thread blocks while it is served.
class LoopbackPeer final {
public:
    struct Script {
        QList<QByteArray> pieces; // each written with one send, in order
        int pauseMs = 0;          // pause before every piece but the first
        bool close = true;        // false: keep the connection open, send nothing more
        bool reset = false;       // true: once every piece has been taken in, end with a reset, not a close
    };
    // Called on the peer's thread with the request bytes read so far.
    using Responder = std::function<Script(const QByteArray &request)>;

    explicit LoopbackPeer(Responder responder);
    // Serves every connection the same script.
    explicit LoopbackPeer(Script script);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer &) = delete;
    LoopbackPeer &operator=(const LoopbackPeer &) = delete;

    quint16 port() const { return m_port; }
    // The requests read so far, oldest first.
    QList<QByteArray> requests() const;
    int connections() const { return m_connections.load(); }

    // A body cut into pieces of `size` bytes.
    static QList<QByteArray> split(const QByteArray &bytes, qsizetype size);

private:
    void run();
    // Returns false when the connection is gone (reset), true when it is held open.
    bool serve(int fd);

    Responder m_responder;
    int m_listenFd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_requests;
    std::thread m_thread;
};

// A port on loopback where connecting is refused for as long as this lives:
// the port is held bound but never listens, so no other test can take it.
class ClosedLoopbackPort final {
public:
    ClosedLoopbackPort();
    ~ClosedLoopbackPort();
    ClosedLoopbackPort(const ClosedLoopbackPort &) = delete;
    ClosedLoopbackPort &operator=(const ClosedLoopbackPort &) = delete;

    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

} // namespace vidmora::test
