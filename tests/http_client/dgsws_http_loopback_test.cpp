// DGSwsHTTP on the real socket against a peer on loopback.
#include <gtest/gtest.h>

#include "byte_pattern.h"
#include "event_wait.h"
#include "http_client/dgsws_http.h"
#include "http_client/receive_buffer.h"
#include "loopback_peer.h"
#include "page_request.h"
#include "platform/tcp_socket.h"
#include "scoped_host.h"
#include "socket_log.h"
#include "western_code_page.h"

using vidmora::DGSwsHTTP;
using vidmora::platform::TcpSocket;
using vidmora::test::LoopbackPeer;
using vidmora::test::ScopedHost;
using vidmora::test::SocketLog;
using vidmora::test::pattern;
using vidmora::test::resetText;
using vidmora::test::waitUntil;

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
    // Every byte came through: the body is no UTF-8, so each is one character of the Western code page.
    EXPECT_EQ(rig.http.filedata.toString(), vidmora::test::westernText(body));
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
