// The real socket against a peer on loopback.
#include <gtest/gtest.h>

#include <stdexcept>

#include "byte_pattern.h"
#include "event_wait.h"
#include "loopback_peer.h"
#include "platform/event_pump.h"
#include "platform/tcp_socket.h"
#include "scoped_host.h"
#include "socket_log.h"

using vidmora::platform::TcpSocket;
using vidmora::test::LoopbackPeer;
using vidmora::test::ScopedHost;
using vidmora::test::SocketLog;
using vidmora::test::pattern;
using vidmora::test::resetText;
using vidmora::test::waitUntil;

TEST(TcpSocketQt, SendsLatin1AndDeliversEveryByteBeforeThePeersClose)
{
    const QByteArray body = pattern(50000);
    LoopbackPeer peer(LoopbackPeer::Script{LoopbackPeer::split(body, 1460), 1, true});
    auto socket = vidmora::platform::createTcpSocket();
    SocketLog log(*socket);
    QObject::connect(socket.get(), &TcpSocket::Connected, [&] {
        socket->SendData(QStringLiteral("GET / HTTP/1.0\r\nX: caf\u00e9\r\n\r\n"));
    });
    socket->setRemoteHost(QStringLiteral("127.0.0.1"));
    socket->setRemotePort(peer.port());
    socket->Connect();
    ASSERT_TRUE(waitUntil([&] { return log.closes > 0 || !log.errorDescription.isEmpty(); }, 30000));
    EXPECT_EQ(log.data, body);
    EXPECT_EQ(log.announced, body.size());
    EXPECT_EQ(log.events.first(), "connect");
    EXPECT_EQ(log.events.last(), "close");
    EXPECT_EQ(log.events.count("close"), 1);
    EXPECT_EQ(log.events.count("error"), 0);
    ASSERT_EQ(peer.requests().size(), 1);
    EXPECT_EQ(peer.requests().first(), QByteArray("GET / HTTP/1.0\r\nX: caf\xe9\r\n\r\n"));
}

TEST(TcpSocketQt, HostMapPointsAHostNameAtTheLoopbackPeer)
{
    LoopbackPeer peer(LoopbackPeer::Script{{"hello"}, 0, true});
    ScopedHost mapped(QStringLiteral("www.vidsite.example"), peer.port());
    auto socket = vidmora::platform::createTcpSocket();
    SocketLog log(*socket);
    QObject::connect(socket.get(), &TcpSocket::Connected, [&] { socket->SendData(QStringLiteral("\r\n\r\n")); });
    socket->setRemoteHost(QStringLiteral("www.vidsite.example"));
    socket->setRemotePort(80);
    socket->Connect();
    ASSERT_TRUE(waitUntil([&] { return log.closes > 0 || log.events.contains("error"); }));
    EXPECT_EQ(log.data, QByteArray("hello"));
}

TEST(TcpSocketQt, ClosingFromThisSideRaisesNothingMore)
{
    LoopbackPeer peer(LoopbackPeer::Script{{"first", "second", "third"}, 50, true});
    auto socket = vidmora::platform::createTcpSocket();
    SocketLog log(*socket);
    QObject::connect(socket.get(), &TcpSocket::Connected, [&] { socket->SendData(QStringLiteral("\r\n\r\n")); });
    QObject::connect(socket.get(), &TcpSocket::DataArrival, [&] { socket->Close(); });
    socket->setRemoteHost(QStringLiteral("127.0.0.1"));
    socket->setRemotePort(peer.port());
    socket->Connect();
    ASSERT_TRUE(waitUntil([&] { return log.events.contains("data"); }));
    // The peer goes on sending and closes; none of it may surface.
    waitUntil([] { return false; }, 400);
    EXPECT_EQ(log.events, QStringList({"connect", "data"}));
}

TEST(TcpSocketQt, RefusedConnectionIsAnErrorEventWithoutClose)
{
    const vidmora::test::ClosedLoopbackPort closed;
    auto socket = vidmora::platform::createTcpSocket();
    SocketLog log(*socket);
    socket->setRemoteHost(QStringLiteral("127.0.0.1"));
    socket->setRemotePort(closed.port());
    socket->Connect();
    ASSERT_TRUE(waitUntil([&] { return !log.events.isEmpty(); }));
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(log.events, QStringList({"error"}));
    EXPECT_EQ(log.errorNumber, TcpSocket::ErrConnectionRefused);
    EXPECT_EQ(log.errorScode, TcpSocket::scodeFor(TcpSocket::ErrConnectionRefused));
    EXPECT_FALSE(log.errorDescription.isEmpty());
}

TEST(TcpSocketQt, HandlerRunningANestedLoopSeesNoNestedEvents)
{
    // A modal box inside a DataArrival handler pumps events; the next
    // DataArrival and the Close must wait until the handler has returned.
    LoopbackPeer peer(LoopbackPeer::Script{{"aaa", "bbb", "ccc"}, 30, true});
    auto socket = vidmora::platform::createTcpSocket();
    QStringList order;
    int depth = 0;
    bool nested = false;
    QByteArray got;
    QObject::connect(socket.get(), &TcpSocket::Connected, [&] { socket->SendData(QStringLiteral("\r\n\r\n")); });
    QObject::connect(socket.get(), &TcpSocket::DataArrival, [&](qint32) {
        nested = nested || depth > 0;
        ++depth;
        QString d;
        socket->GetData(d);
        got += d.toLatin1();
        order.append("data");
        if (order.size() == 1) // the first handler "shows a box" for a while
            waitUntil([] { return false; }, 300);
        --depth;
    });
    QObject::connect(socket.get(), &TcpSocket::Closed, [&] {
        nested = nested || depth > 0;
        order.append("close");
    });
    socket->setRemoteHost(QStringLiteral("127.0.0.1"));
    socket->setRemotePort(peer.port());
    socket->Connect();
    ASSERT_TRUE(waitUntil([&] { return order.contains("close"); }));
    EXPECT_FALSE(nested);
    EXPECT_EQ(got, QByteArray("aaabbbccc"));
    EXPECT_EQ(order.last(), "close");
}

TEST(TcpSocketQt, AListenerThatThrowsLosesOnlyItsOwnEvent)
{
    LoopbackPeer peer(LoopbackPeer::Script{{"aaa", "bbb"}, 30, true});
    auto socket = vidmora::platform::createTcpSocket();
    SocketLog log(*socket);
    QObject::connect(socket.get(), &TcpSocket::Connected, [&] { socket->SendData(QStringLiteral("\r\n\r\n")); });
    bool thrown = false;
    QObject::connect(socket.get(), &TcpSocket::DataArrival, [&](qint32) {
        if (!thrown) {
            thrown = true;
            throw std::runtime_error("listener failed");
        }
    });
    socket->setRemoteHost(QStringLiteral("127.0.0.1"));
    socket->setRemotePort(peer.port());
    socket->Connect();
    ASSERT_TRUE(waitUntil([&] { return log.closes > 0 || log.events.contains("error"); }));
    EXPECT_TRUE(thrown);
    EXPECT_EQ(log.data, QByteArray("aaabbb"));
    EXPECT_EQ(log.events.last(), "close");
}

TEST(TcpSocketQt, APeerResetIsAnErrorAfterItsBytesWhereAnOrderlyCloseIsClose)
{
    const QByteArray part = pattern(5000);
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "orderly close");
        LoopbackPeer peer(LoopbackPeer::Script{{part}, 0, true, reset});
        auto socket = vidmora::platform::createTcpSocket();
        SocketLog log(*socket);
        QObject::connect(socket.get(), &TcpSocket::Connected, [&] { socket->SendData(QStringLiteral("\r\n\r\n")); });
        socket->setRemoteHost(QStringLiteral("127.0.0.1"));
        socket->setRemotePort(peer.port());
        socket->Connect();
        ASSERT_TRUE(waitUntil([&] { return log.closes > 0 || log.events.contains("error"); }, 30000));
        waitUntil([] { return false; }, 200);
        EXPECT_EQ(log.data, part) << "every byte before the end is delivered";
        EXPECT_EQ(log.events.first(), "connect");
        if (reset) {
            EXPECT_EQ(log.events.last(), "error");
            EXPECT_EQ(log.closes, 0);
            EXPECT_EQ(log.errorNumber, TcpSocket::ErrConnectionReset);
            EXPECT_EQ(log.errorScode, TcpSocket::scodeFor(TcpSocket::ErrConnectionReset));
            EXPECT_EQ(log.errorDescription, resetText());
        } else {
            EXPECT_EQ(log.events.last(), "close");
            EXPECT_EQ(log.closes, 1);
            EXPECT_EQ(log.events.count("error"), 0);
        }
    }
}

namespace {

// What a handler does to the socket from inside one of its own events, and
// the event it does it in. Every handler then pumps the event queue once, as
// the window's page step does, so that anything the action scheduled (the
// old connection's deletion) happens while the event is still being handled.
enum class SocketEvent { Connect, DataArrival, Close, Error };
enum class Reentry { Close, ConnectAgain, Delete };

struct ReentryRow {
    SocketEvent on;
    Reentry action;
    const char *name;
};

// Drives one row: a first connection whose event triggers the action, then
// the next fetch ("/next", answered with "next page" and a close), which
// must come through whole on the socket that is left.
class ReentryRig {
public:
    explicit ReentryRig(const ReentryRow &row)
        : m_row(row)
        , peer([reset = row.on == SocketEvent::Error](const QByteArray &request) {
            if (request.contains("/first"))
                return LoopbackPeer::Script{{"aaa", "bbb"}, 20, true, reset};
            return LoopbackPeer::Script{{"next page"}, 0, true};
        })
    {
        socket = vidmora::platform::createTcpSocket();
        watch(socket.get());
        aim(*socket);
    }

    void aim(TcpSocket &s)
    {
        s.setRemoteHost(QStringLiteral("127.0.0.1"));
        s.setRemotePort(peer.port());
    }

    // A fresh socket when the old one was deleted; then the next fetch.
    void startNextFetch()
    {
        if (!socket) {
            socket = vidmora::platform::createTcpSocket();
            watch(socket.get());
            aim(*socket);
        }
        socket->Connect();
    }

    bool nextFetchEnded() const { return after.contains("close") || after.contains("error"); }

    const ReentryRow m_row;
    LoopbackPeer peer;
    std::unique_ptr<TcpSocket> socket;
    bool acted = false;
    QStringList after; // events after the action
    QByteArray nextData;

private:
    void watch(TcpSocket *s)
    {
        QObject::connect(s, &TcpSocket::Connected, [this, s] {
            if (trigger(SocketEvent::Connect))
                return;
            if (acted)
                after.append("connect");
            s->SendData(acted ? QStringLiteral("GET /next\r\n\r\n") : QStringLiteral("GET /first\r\n\r\n"));
        });
        QObject::connect(s, &TcpSocket::DataArrival, [this, s](qint32) {
            QString d;
            s->GetData(d);
            if (trigger(SocketEvent::DataArrival))
                return;
            if (acted) {
                after.append("data");
                nextData += d.toLatin1();
            }
        });
        QObject::connect(s, &TcpSocket::Closed, [this] {
            if (!trigger(SocketEvent::Close) && acted)
                after.append("close");
        });
        QObject::connect(s, &TcpSocket::Error, [this](qint32, const QString &, qint32, const QString &) {
            if (!trigger(SocketEvent::Error) && acted)
                after.append("error");
        });
    }

    bool trigger(SocketEvent e)
    {
        if (acted || e != m_row.on)
            return false;
        acted = true;
        switch (m_row.action) {
        case Reentry::Close:
            socket->Close();
            break;
        case Reentry::ConnectAgain:
            socket->Connect();
            break;
        case Reentry::Delete:
            socket.reset();
            break;
        }
        vidmora::platform::pumpEventsOnce();
        return true;
    }
};

} // namespace

TEST(TcpSocketQt, AHandlerMayCloseReconnectOrDeleteTheSocketInsideAnyOfItsEvents)
{
    const ReentryRow rows[] = {
        {SocketEvent::Connect, Reentry::Close, "Close in Connect"},
        {SocketEvent::Connect, Reentry::ConnectAgain, "Connect again in Connect"},
        {SocketEvent::Connect, Reentry::Delete, "delete in Connect"},
        {SocketEvent::DataArrival, Reentry::Close, "Close in DataArrival"},
        {SocketEvent::DataArrival, Reentry::ConnectAgain, "Connect again in DataArrival"},
        {SocketEvent::DataArrival, Reentry::Delete, "delete in DataArrival"},
        {SocketEvent::Close, Reentry::Close, "Close in Close"},
        {SocketEvent::Close, Reentry::ConnectAgain, "Connect again in Close"},
        {SocketEvent::Close, Reentry::Delete, "delete in Close"},
        {SocketEvent::Error, Reentry::Close, "Close in Error"},
        {SocketEvent::Error, Reentry::ConnectAgain, "Connect again in Error"},
        {SocketEvent::Error, Reentry::Delete, "delete in Error"},
    };
    for (const ReentryRow &row : rows) {
        SCOPED_TRACE(row.name);
        ReentryRig rig(row);
        rig.socket->Connect();
        ASSERT_TRUE(waitUntil([&] { return rig.acted; }, 30000));
        if (row.action != Reentry::ConnectAgain) {
            // Whatever the first connection still had to say is gone with it.
            waitUntil([] { return false; }, 200);
            EXPECT_TRUE(rig.after.isEmpty()) << rig.after.join(' ').toStdString();
            rig.startNextFetch();
        }
        ASSERT_TRUE(waitUntil([&] { return rig.nextFetchEnded(); }, 30000)) << rig.after.join(' ').toStdString();
        waitUntil([] { return false; }, 100);
        EXPECT_EQ(rig.nextData, QByteArray("next page"));
        EXPECT_EQ(rig.after.first(), "connect");
        EXPECT_EQ(rig.after.last(), "close");
        EXPECT_EQ(rig.after.count("close"), 1);
        EXPECT_EQ(rig.after.count("error"), 0);
    }
}
