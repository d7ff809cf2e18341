// The real socket and DGSwsHTTP against a peer on loopback.
#include <gtest/gtest.h>

#include <QEventLoop>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "event_wait.h"
#include "http_client/dgsws_http.h"
#include "http_client/receive_buffer.h"
#include "loopback_peer.h"
#include "page_request.h"
#include "platform/event_pump.h"
#include "platform/tcp_socket.h"
#include "scoped_host.h"

using vidmora::DGSwsHTTP;
using vidmora::platform::TcpSocket;
using vidmora::test::LoopbackPeer;
using vidmora::test::ScopedHost;
using vidmora::test::waitUntil;

namespace {

// Records the socket's events in order, taking the data on every DataArrival.
struct SocketLog {
    QStringList events;
    QByteArray data;
    qint64 announced = 0;
    int closes = 0;
    qint32 errorNumber = 0;
    QString errorDescription;
    qint32 errorScode = 0;

    explicit SocketLog(TcpSocket &s)
    {
        QObject::connect(&s, &TcpSocket::Connected, [this] { events.append("connect"); });
        QObject::connect(&s, &TcpSocket::DataArrival, [this, &s](qint32 n) {
            events.append("data");
            announced += n;
            QString d;
            s.GetData(d);
            EXPECT_EQ(d.size(), n);
            data += d.toLatin1();
        });
        QObject::connect(&s, &TcpSocket::Closed, [this] {
            events.append("close");
            ++closes;
        });
        QObject::connect(&s, &TcpSocket::Error, [this](qint32 number, const QString &desc, qint32 scode, const QString &) {
            events.append("error");
            errorNumber = number;
            errorDescription = desc;
            errorScode = scode;
        });
    }
};

QByteArray pattern(qsizetype n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

} // namespace

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

namespace {

// The system's own text for a reset connection.
QString resetText()
{
    return QString::fromLocal8Bit(std::strerror(ECONNRESET));
}

} // namespace

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

struct HttpRig {
    DGSwsHTTP http{vidmora::platform::createTcpSocket(), QStringLiteral("www.vidsite.example")};
    QList<qint32> progress;
    QList<QPair<QString, QString>> errors;
    int completions = 0;
    HttpRig()
    {
        QObject::connect(&http, &DGSwsHTTP::ProgressChanged, [this](qint32 n) { progress.append(n); });
        QObject::connect(&http, &DGSwsHTTP::httpError, [this](QString &m, QString &c) { errors.append({m, c}); });
        QObject::connect(&http, &DGSwsHTTP::DownloadComplete, [this] { ++completions; });
    }
    ~HttpRig() { vidmora::Module1::BufClear(); }
    void get(QString url) { http.geturl(url); }
};

} // namespace

TEST(DGSwsHTTPLoopback, FetchesAPageSentInManyPacketsUntilThePeerCloses)
{
    const QByteArray body = pattern(64 * 1024);
    const QByteArray head = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\n\r\n";
    // Spread over about a tenth of a second, so that the body cannot all come in one read.
    LoopbackPeer peer(LoopbackPeer::Script{LoopbackPeer::split(head + body, 1460), 3, true});
    ScopedHost mapped(QStringLiteral("www.vidsite.example"), peer.port());
    HttpRig rig;
    rig.get(QStringLiteral("http://www.vidsite.example/watch?v=Xy3_abcDEF0"));
    ASSERT_TRUE(waitUntil([&] { return rig.completions > 0 || !rig.errors.isEmpty(); }, 30000));
    EXPECT_TRUE(rig.errors.isEmpty());
    EXPECT_EQ(rig.completions, 1);
    EXPECT_EQ(rig.http.filedata.toString().toLatin1(), body);
    EXPECT_EQ(rig.http.ResponseCode, QStringLiteral("200"));
    EXPECT_EQ(rig.http.FileSize, QVariant(QString::number(body.size())));
    EXPECT_EQ(rig.http.totalbytesreceived, body.size() - 1);
    // How many reads the body takes is up to the network (the packet rules
    // themselves are covered with the scripted socket), but a body that comes
    // in many packets over time gives progress, rising to the whole count.
    ASSERT_FALSE(rig.progress.isEmpty());
    for (qsizetype i = 1; i < rig.progress.size(); ++i)
        EXPECT_GT(rig.progress[i], rig.progress[i - 1]);
    EXPECT_EQ(rig.progress.last(), body.size() - 1);

    ASSERT_EQ(peer.requests().size(), 1);
    EXPECT_EQ(peer.requests().first(), pageRequest("http://www.vidsite.example/watch?v=Xy3_abcDEF0"));
}

TEST(DGSwsHTTPLoopback, ErrorStatusIsReportedAndTheBodyStillArrives)
{
    LoopbackPeer peer(LoopbackPeer::Script{{"HTTP/1.0 404 Not Found\r\n", "Server: x\r\n\r\n", "no such video"}, 5, true});
    ScopedHost mapped(QStringLiteral("www.vidsite.example"), peer.port());
    HttpRig rig;
    rig.get(QStringLiteral("http://www.vidsite.example/watch?v=gone"));
    ASSERT_TRUE(waitUntil([&] { return rig.completions > 0; }, 30000));
    EXPECT_EQ(rig.errors, (QList<QPair<QString, QString>>{{QStringLiteral("404 Not Found"), QStringLiteral("404")}}));
    EXPECT_EQ(rig.http.filedata.toString(), QStringLiteral("no such video"));
    EXPECT_EQ(rig.http.ResponseHeaderString, QStringLiteral("HTTP/1.0 404 Not Found\r\nServer: x\r\n\r"));
}

TEST(DGSwsHTTPLoopback, RefusedConnectionGivesTheSocketsDescriptionAndCode)
{
    // What the socket itself says for a refused connection.
    auto probe = vidmora::platform::createTcpSocket();
    SocketLog probeLog(*probe);
    const vidmora::test::ClosedLoopbackPort closed;
    probe->setRemoteHost(QStringLiteral("127.0.0.1"));
    probe->setRemotePort(closed.port());
    probe->Connect();
    ASSERT_TRUE(waitUntil([&] { return !probeLog.errorDescription.isEmpty(); }));

    ScopedHost mapped(QStringLiteral("www.vidsite.example"), closed.port());
    HttpRig rig;
    rig.get(QStringLiteral("http://www.vidsite.example/watch?v=1"));
    ASSERT_TRUE(waitUntil([&] { return !rig.errors.isEmpty(); }));
    waitUntil([] { return false; }, 200);
    EXPECT_EQ(rig.errors, (QList<QPair<QString, QString>>{{probeLog.errorDescription, QString::number(probeLog.errorScode)}}));
    EXPECT_EQ(rig.completions, 0);
}

TEST(DGSwsHTTPLoopback, APageCutShortByAResetIsAnErrorAndNeverComplete)
{
    // Announced or not, a page whose connection is reset midway is no page.
    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "with Content-Length" : "without Content-Length");
        const QByteArray head = "HTTP/1.0 200 OK\r\n" + QByteArray(announced ? "Content-Length: 100000\r\n" : "") + "\r\n";
        LoopbackPeer peer(LoopbackPeer::Script{{head + pattern(5000)}, 0, true, true});
        ScopedHost mapped(QStringLiteral("www.vidsite.example"), peer.port());
        HttpRig rig;
        rig.get(QStringLiteral("http://www.vidsite.example/watch?v=cut"));
        ASSERT_TRUE(waitUntil([&] { return rig.completions > 0 || !rig.errors.isEmpty(); }, 30000));
        waitUntil([] { return false; }, 200);
        EXPECT_EQ(rig.completions, 0);
        EXPECT_EQ(rig.errors, (QList<QPair<QString, QString>>{
                                  {resetText(), QString::number(TcpSocket::scodeFor(TcpSocket::ErrConnectionReset))}}));
        EXPECT_EQ(rig.http.ResponseCode, QStringLiteral("200"));
    }
}

TEST(DGSwsHTTPLoopback, SecondFetchReplacesTheFirstOnTheWire)
{
    // The first peer sends a head and part of a body, then nothing more.
    LoopbackPeer first(LoopbackPeer::Script{{"HTTP/1.0 200 OK\r\n\r\nfirst part", "more of the first"}, 20, false});
    LoopbackPeer second(LoopbackPeer::Script{{"HTTP/1.0 200 OK\r\n\r\nsecond body"}, 0, true});
    ScopedHost a(QStringLiteral("first.example"), first.port());
    ScopedHost b(QStringLiteral("second.example"), second.port());
    HttpRig rig;
    rig.get(QStringLiteral("http://first.example/page"));
    ASSERT_TRUE(waitUntil([&] { return !rig.http.ResponseHeaderString.isEmpty(); }, 30000));
    rig.get(QStringLiteral("http://second.example/page"));
    ASSERT_TRUE(waitUntil([&] { return rig.completions > 0; }, 30000));
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(rig.completions, 1);
    EXPECT_EQ(rig.http.filedata.toString(), QStringLiteral("second body"));
    EXPECT_TRUE(rig.errors.isEmpty());
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

TEST(DGSwsHTTPLoopback, Utf8PageSplitInsideACharacterComesOutWhole)
{
    const QByteArray body = "<title>Caf\xc3\xa9 M\xc3\xbcller \xe2\x80\x93 \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e</title>";
    const QByteArray head = "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    // Every send ends inside "é", "ü", "–" or a CJK character: the pieces come a while apart.
    const qsizetype cuts[] = {11, 15, 23, 26, 30, 32};
    QList<QByteArray> pieces{head};
    qsizetype from = 0;
    for (const qsizetype cut : cuts) {
        pieces.append(body.mid(from, cut - from));
        from = cut;
    }
    pieces.append(body.mid(from));
    LoopbackPeer peer(LoopbackPeer::Script{pieces, 30, true});
    ScopedHost mapped(QStringLiteral("www.vidsite.example"), peer.port());
    HttpRig rig;
    rig.get(QStringLiteral("http://www.vidsite.example/watch?v=Xy3_abcDEF0"));
    ASSERT_TRUE(waitUntil([&] { return rig.completions > 0 || !rig.errors.isEmpty(); }, 30000));
    EXPECT_TRUE(rig.errors.isEmpty());
    EXPECT_EQ(rig.http.filedata.toString(), QStringLiteral("<title>Caf\u00e9 M\u00fcller \u2013 \u65e5\u672c\u8a9e</title>"));
    ASSERT_FALSE(rig.progress.isEmpty());
    EXPECT_EQ(rig.progress.last(), body.size() - 1); // bytes, as announced
    EXPECT_EQ(rig.http.FileSize, QVariant(QString::number(body.size())));
}
