// The loopback server other tests stand on: what it sends and what it logs.
#include <gtest/gtest.h>

#include <QTcpSocket>

#include "http_fixture_server.h"

using vidmora::test::HttpFixtureServer;

namespace {

// A blocking client on the test's thread: the server answers from its own.
QByteArray fetchRaw(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(10000))
        return "<no connection>";
    socket.write(request);
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
        all += socket.readAll();
    all += socket.readAll();
    return all;
}

} // namespace

TEST(HttpFixtureServer, ServesByPathThenByPathWithoutQueryAndLogsRequests)
{
    HttpFixtureServer server;
    ASSERT_TRUE(server.isListening());
    server.setResponse("/watch", HttpFixtureServer::ok("page", "text/html"));
    server.setResponse("/watch?v=exact", HttpFixtureServer::ok("exact"));
    HttpFixtureServer::Response chunked = HttpFixtureServer::ok("abcdefghij");
    chunked.chunkSize = 3;
    chunked.pauseMs = 5;
    server.setResponse("/chunked", chunked);

    const QByteArray page = fetchRaw(server.port(), "GET /watch?v=other HTTP/1.0\r\nHost: www.vidsite.example\r\n\r\n");
    EXPECT_TRUE(page.startsWith("HTTP/1.1 200 OK\r\n")) << page.constData();
    EXPECT_TRUE(page.contains("Content-Length: 4\r\n"));
    EXPECT_TRUE(page.contains("Content-Type: text/html\r\n"));
    EXPECT_TRUE(page.endsWith("\r\n\r\npage"));
    EXPECT_TRUE(fetchRaw(server.port(), "GET /watch?v=exact HTTP/1.0\r\n\r\n").endsWith("\r\n\r\nexact"));
    EXPECT_TRUE(fetchRaw(server.port(), "GET /chunked HTTP/1.0\r\n\r\n").endsWith("\r\n\r\nabcdefghij"));
    EXPECT_TRUE(fetchRaw(server.port(), "GET /nothing HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 404 Not Found"));

    EXPECT_EQ(server.requestLines(),
              QList<QByteArray>({"GET /watch?v=other HTTP/1.0", "GET /watch?v=exact HTTP/1.0", "GET /chunked HTTP/1.0",
                                 "GET /nothing HTTP/1.0"}));
    EXPECT_EQ(server.hostLines().first(), QByteArray("www.vidsite.example"));
    EXPECT_EQ(server.connectionCount(), 4);
}

TEST(HttpFixtureServer, CutsBodiesShortAndSendsRawResponses)
{
    HttpFixtureServer server;
    HttpFixtureServer::Response cut = HttpFixtureServer::ok("0123456789");
    cut.cutAfter = 4;
    server.setResponse("/cut", cut);
    HttpFixtureServer::Response raw;
    raw.raw = "HTTP/1.0 200 OK\r\n\r\nno length";
    server.setResponse("/raw", raw);
    server.setHandler([](const HttpFixtureServer::Request &r) { return HttpFixtureServer::ok("handled " + r.target); });

    const QByteArray short_ = fetchRaw(server.port(), "GET /cut HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(short_.contains("Content-Length: 10\r\n"));
    EXPECT_TRUE(short_.endsWith("\r\n\r\n0123"));
    EXPECT_EQ(fetchRaw(server.port(), "GET /raw HTTP/1.0\r\n\r\n"), QByteArray("HTTP/1.0 200 OK\r\n\r\nno length"));
    EXPECT_TRUE(fetchRaw(server.port(), "GET /x?y HTTP/1.0\r\n\r\n").endsWith("handled /x?y"));
}

TEST(HttpFixtureServer, SendsLargeBodiesWholeAndTheStatusLineVersionAsAsked)
{
    HttpFixtureServer server;
    QByteArray big(6 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i % 251);
    HttpFixtureServer::Response r = HttpFixtureServer::ok(big);
    r.version = "HTTP/1.0";
    server.setResponse("/big", r);
    const QByteArray all = fetchRaw(server.port(), "GET /big HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(all.startsWith("HTTP/1.0 200 OK\r\n"));
    const qsizetype bodyAt = all.indexOf("\r\n\r\n") + 4;
    EXPECT_TRUE(all.mid(bodyAt) == big);
}
