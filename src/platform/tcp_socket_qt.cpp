#include "platform/tcp_socket.h"

#include "platform/host_map.h"
#include "platform/peer_end.h"

#include <QNetworkProxy>
#include <QPointer>
#include <QTcpSocket>

#include <cerrno>
#include <cstring>

namespace vidmora::platform {
namespace {

qint32 numberFor(QAbstractSocket::SocketError e)
{
    switch (e) {
    case QAbstractSocket::ConnectionRefusedError: return TcpSocket::ErrConnectionRefused;
    case QAbstractSocket::HostNotFoundError: return TcpSocket::ErrHostNotFound;
    case QAbstractSocket::SocketAccessError: return TcpSocket::ErrAccess;
    case QAbstractSocket::SocketResourceError: return TcpSocket::ErrNoBufferSpace;
    case QAbstractSocket::SocketTimeoutError: return TcpSocket::ErrTimedOut;
    case QAbstractSocket::NetworkError: return TcpSocket::ErrNetworkDown;
    case QAbstractSocket::AddressInUseError: return TcpSocket::ErrAddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError: return TcpSocket::ErrAddressNotAvailable;
    case QAbstractSocket::RemoteHostClosedError: return TcpSocket::ErrConnectionReset;
    default: return TcpSocket::ErrConnectionAborted;
    }
}

// One QTcpSocket per connection: closing drops the object with all its
// connections, so nothing of a closed connection can surface later.
//
// Events are queued and delivered by one non-reentrant pump, so that a handler
// that runs a nested event loop never sees a second DataArrival or the Close
// before it has returned, and Close always comes after the last bytes.
//
// The pump runs from this object's own posted call, never inside a signal of
// the QTcpSocket: a handler may close, reconnect or delete this object (and so
// the QTcpSocket) and pump the event queue, and no code of the dropped socket
// is still on the stack to run on afterwards. The QTcpSocket's own signals
// only record what happened.
class QtTcpSocket final : public TcpSocket {
public:
    explicit QtTcpSocket(QObject *parent)
        : TcpSocket(parent)
    {
    }

    ~QtTcpSocket() override { dropSocket(); }

    void Close() override
    {
        dropSocket();
        m_queue.clear();
        m_pending.clear();
    }

    void setRemotePort(int port) override { m_port = port; }
    void setRemoteHost(const QString &host) override { m_host = host; }

    void Connect() override
    {
        Close();
        m_socket = new QTcpSocket(this);
        m_socket->setProxy(QNetworkProxy::NoProxy);
        QTcpSocket *s = m_socket;
        connect(s, &QTcpSocket::connected, this, [this, s] { onConnected(s); });
        connect(s, &QTcpSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] { onDisconnected(s); });
        connect(s, &QTcpSocket::errorOccurred, this, [this, s](QAbstractSocket::SocketError e) { onError(s, e); });
        if (m_port < 0 || m_port > 65535) {
            post(Event{Kind::Error, ErrInvalidArgument, QStringLiteral("Invalid port number")});
            return;
        }
        const Endpoint ep = HostMap::resolve(m_host, static_cast<quint16>(m_port));
        m_socket->connectToHost(ep.host, ep.port);
    }

    void SendData(const QString &data) override
    {
        if (m_socket)
            m_socket->write(data.toLatin1());
    }

    void GetData(QString &data) override
    {
        data = QString::fromLatin1(m_pending);
        m_pending.clear();
    }

private:
    enum class Kind { Connected, Data, Closed, Error };
    struct Event {
        Kind kind;
        qint32 number = 0;
        QString description;
    };

    void dropSocket()
    {
        m_peerEnd.release();
        if (!m_socket)
            return;
        m_socket->disconnect(this);
        m_socket->abort();
        // Possibly inside one of its own signals: let the loop delete it.
        m_socket->deleteLater();
        m_socket = nullptr;
    }

    // The QTcpSocket's signals. They run no listener: they only queue the
    // events, so they may go on using `s` and this object afterwards.
    void onConnected(QTcpSocket *s)
    {
        if (s != m_socket)
            return;
        m_peerEnd.watch(s->socketDescriptor());
        post(Event{Kind::Connected, 0, {}});
    }

    void onReadyRead(QTcpSocket *s)
    {
        if (s != m_socket)
            return;
        m_pending += s->readAll();
        postData();
    }

    void onDisconnected(QTcpSocket *s)
    {
        if (s != m_socket)
            return;
        // Whatever is still buffered was received before the close.
        m_pending += s->readAll();
        postData();
        post(Event{Kind::Closed, 0, {}});
        endConnection(s);
    }

    void onError(QTcpSocket *s, QAbstractSocket::SocketError e)
    {
        if (s != m_socket)
            return;
        QString description = s->errorString();
        if (e == QAbstractSocket::RemoteHostClosedError) {
            // Qt names an orderly close and a reset alike. An orderly
            // close comes next as disconnected and is the Close event; a
            // reset cut the data short and is an error.
            if (!m_peerEnd.wasReset())
                return;
            description = QString::fromLocal8Bit(std::strerror(ECONNRESET));
        }
        m_pending += s->readAll();
        postData();
        post(Event{Kind::Error, numberFor(e), description});
        endConnection(s);
    }

    // No further events from this connection; the object stays until the
    // next Connect or Close drops it.
    void endConnection(QTcpSocket *s)
    {
        m_peerEnd.release();
        s->disconnect(this);
    }

    void postData()
    {
        if (m_pending.isEmpty())
            return;
        // One queued DataArrival covers every byte that arrives before it runs.
        for (const Event &e : std::as_const(m_queue))
            if (e.kind == Kind::Data)
                return;
        post(Event{Kind::Data, 0, {}});
    }

    void post(Event e)
    {
        m_queue.append(std::move(e));
        if (m_pumpPosted)
            return;
        m_pumpPosted = true;
        // Dropped by Qt with this object when it is deleted first.
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_pumpPosted = false;
                pump();
            },
            Qt::QueuedConnection);
    }

    void pump()
    {
        if (m_delivering)
            return;
        m_delivering = true;
        QPointer<QtTcpSocket> alive(this);
        while (!m_queue.isEmpty()) {
            const Event e = m_queue.takeFirst();
            // A listener's exception ends with its event: nothing may unwind
            // through the event loop, and the next events still come.
            try {
                deliver(e);
            } catch (...) {
            }
            // A listener may have deleted this object; one that closed or
            // reconnected it has emptied the queue or filled it anew.
            if (!alive)
                return;
        }
        m_delivering = false;
    }

    void deliver(const Event &e)
    {
        switch (e.kind) {
        case Kind::Connected:
            emit Connected();
            break;
        case Kind::Data:
            // The handler of an earlier DataArrival may have taken these bytes already.
            if (!m_pending.isEmpty())
                emit DataArrival(static_cast<qint32>(qMin<qsizetype>(m_pending.size(), INT32_MAX)));
            break;
        case Kind::Closed:
            emit Closed();
            break;
        case Kind::Error:
            emit Error(e.number, e.description, scodeFor(e.number), QStringLiteral("TcpSocket"));
            break;
        }
    }

    QTcpSocket *m_socket = nullptr;
    PeerEnd m_peerEnd; // how the peer ended the connection
    QString m_host;
    int m_port = 0;
    QByteArray m_pending;
    QList<Event> m_queue;
    bool m_pumpPosted = false;
    bool m_delivering = false;
};

} // namespace

std::unique_ptr<TcpSocket> createTcpSocket(QObject *parent)
{
    return std::make_unique<QtTcpSocket>(parent);
}

} // namespace vidmora::platform
