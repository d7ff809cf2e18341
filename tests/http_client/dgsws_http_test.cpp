// DGSwsHTTP driven packet by packet through the scripted socket.
#include <gtest/gtest.h>

#include <QPair>

#include "fake_tcp_socket.h"
#include "http_client/dgsws_http.h"
#include "http_client/receive_buffer.h"
#include "page_request.h"
#include "western_code_page.h"

using vidmora::DGSwsHTTP;
using vidmora::test::FakeTcpSocket;
namespace Module1 = vidmora::Module1;

namespace {

using ErrorList = QList<QPair<QString, QString>>;

// One component on a fake socket, with every event it raises recorded.
struct Rig {
    FakeTcpSocket *socket = nullptr;
    std::unique_ptr<DGSwsHTTP> http;
    QList<qint32> progress;
    ErrorList errors;
    int completions = 0;
    QStringList log; // "progress N", "error M/C", "complete"

    Rig()
    {
        auto s = std::make_unique<FakeTcpSocket>();
        socket = s.get();
        http = std::make_unique<DGSwsHTTP>(std::move(s), QStringLiteral("www.vidsite.example"));
        QObject::connect(http.get(), &DGSwsHTTP::ProgressChanged, [this](qint32 n) {
            progress.append(n);
            log.append(QStringLiteral("progress %1").arg(n));
        });
        QObject::connect(http.get(), &DGSwsHTTP::httpError, [this](QString &m, QString &c) {
            errors.append({m, c});
            log.append(QStringLiteral("error %1/%2").arg(m, c));
        });
        QObject::connect(http.get(), &DGSwsHTTP::DownloadComplete, [this] {
            ++completions;
            log.append(QStringLiteral("complete"));
        });
    }
    ~Rig() { Module1::BufClear(); }

    void get(QString url) { http->geturl(url); }
    // geturl, then the connection succeeds.
    void open(const QString &url = QStringLiteral("http://abcde/watch?v=1"))
    {
        get(url);
        socket->raiseConnect();
    }
    QString body() const { return http->filedata.toString(); }
};

const QByteArray kHead10 = "HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n";

} // namespace

struct AddressCase {
    const char *url;
    ErrorList errors;
    const char *host; // nullptr: no connection attempted
};

TEST(DGSwsHTTPAddress, ChecksTheAddressAndTakesTheHostAsWritten)
{
    const QPair<QString, QString> noUrl{QStringLiteral("No URL specified"), QStringLiteral("0")};
    const QPair<QString, QString> invalid{QStringLiteral("Invalid URL"), QStringLiteral("0")};
    const AddressCase cases[] = {
        {"", {noUrl, invalid}, nullptr},
        {"http://abcd", {invalid}, nullptr},
        {"abcd", {invalid}, nullptr},
        {"http://abcde", {}, "abcde"},
        {"abcde", {}, "abcde"},
        {"http://a/bcdef", {}, "a/bcdef"},           // the "/" search starts 3 past the host's start
        {"http://abcde:8080/x", {}, "abcde:8080"},   // the port stays in the host text
        {"http://www.vidsite.example/watch?v=Xy3&feature=related", {}, "www.vidsite.example"},
    };
    for (const AddressCase &c : cases) {
        SCOPED_TRACE(c.url);
        Rig rig;
        rig.http->URL = QStringLiteral("before");
        rig.get(QString::fromLatin1(c.url));
        EXPECT_EQ(rig.errors, c.errors);
        if (c.host) {
            EXPECT_EQ(rig.socket->calls,
                      QStringList({"Close", "RemotePort=80", QStringLiteral("RemoteHost=") + c.host, "Connect"}));
            EXPECT_EQ(rig.http->URL, QString::fromLatin1(c.url));
        } else {
            EXPECT_TRUE(rig.socket->calls.isEmpty());
            EXPECT_EQ(rig.http->URL, QStringLiteral("before"));
        }
        EXPECT_EQ(rig.completions, 0);
    }
}

TEST(DGSwsHTTPAddress, PortThatIsNoNumberOrOutOfRangeRaisesTheSocketsInvalidArgument)
{
    const QPair<QString, QString> invalidArgument{
        QStringLiteral("Invalid argument"),
        QString::number(vidmora::platform::TcpSocket::scodeFor(vidmora::platform::TcpSocket::ErrInvalidArgument))};
    for (const char *port : {"eighty", "", "-1", "65536", "99999999999"}) {
        SCOPED_TRACE(port);
        Rig rig;
        rig.http->setRemotePort(QString::fromLatin1(port));
        rig.get(QStringLiteral("http://abcde/x"));
        EXPECT_EQ(rig.socket->calls, QStringList({"Close"}));
        EXPECT_EQ(rig.errors, ErrorList({invalidArgument}));
        EXPECT_EQ(rig.completions, 0);
    }
    Rig rig;
    rig.http->setRemotePort(QStringLiteral("8080"));
    rig.http->setRemoteHost(QStringLiteral("ignored.example"));
    rig.get(QStringLiteral("http://abcde/x"));
    EXPECT_TRUE(rig.errors.isEmpty());
    EXPECT_EQ(rig.socket->remotePort, 8080);
    EXPECT_EQ(rig.socket->remoteHost, QStringLiteral("abcde"));
    EXPECT_EQ(rig.http->RemoteHost(), QStringLiteral("ignored.example"));
}

TEST(DGSwsHTTPRequest, SendsTheFixedBlockInOneWriteWithTheSiteHost)
{
    Rig rig;
    rig.open(QStringLiteral("http://abcde/watch?v=1"));
    ASSERT_EQ(rig.socket->sent.size(), 1);
    EXPECT_EQ(rig.socket->sent.first().toLatin1(), pageRequest("http://abcde/watch?v=1"));
}

TEST(DGSwsHTTPRequest, DefaultHostLineIsTheDeploymentSiteHost)
{
    auto s = std::make_unique<FakeTcpSocket>();
    FakeTcpSocket *socket = s.get();
    DGSwsHTTP http(std::move(s));
    QString url = QStringLiteral("http://abcde/watch?v=1");
    http.geturl(url);
    socket->raiseConnect();
    ASSERT_EQ(socket->sent.size(), 1);
    EXPECT_TRUE(socket->sent.first().contains(QStringLiteral("\r\nHost: ") + vidmora::deployment::kSiteHost + "\r\n"));
    EXPECT_EQ(http.RemotePort(), QStringLiteral("80"));
}

TEST(DGSwsHTTPResponse, HeadPacketWithBodyBytesSetsTheHeadVariablesAndCountsOneLess)
{
    Rig rig;
    rig.open();
    EXPECT_EQ(rig.http->FileSize, QVariant(0));
    rig.socket->arrive(kHead10 + "0123456789");
    EXPECT_EQ(rig.http->ResponseHeaderString, QStringLiteral("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r"));
    EXPECT_EQ(rig.http->ResponseCode, QStringLiteral("200"));
    EXPECT_EQ(rig.http->FileSize, QVariant(QStringLiteral("10")));
    EXPECT_EQ(rig.http->totalbytesreceived, 9);
    EXPECT_TRUE(rig.log.isEmpty()); // nothing for the head packet
    rig.socket->arrive("abcde");
    EXPECT_EQ(rig.progress, QList<qint32>({14}));
    rig.socket->peerClose();
    EXPECT_EQ(rig.body(), QStringLiteral("0123456789abcde"));
    EXPECT_EQ(rig.log, QStringList({"progress 14", "complete"}));
    EXPECT_EQ(Module1::BufLen(), 0);
}

struct PacketCase {
    const char *name;
    QList<QByteArray> packets;
    qint32 countAfterFirst;   // totalbytesreceived once the first packet is handled
    QList<qint32> progress;   // ProgressChanged values, in order
    QByteArray body;
    QVariant fileSize;
};

TEST(DGSwsHTTPResponse, CountsAndHeadRulesPerPacketSequence)
{
    const PacketCase cases[] = {
        {"head alone", {kHead10, QByteArray(100, 'x')}, -1, {99}, QByteArray(100, 'x'), QStringLiteral("10")},
        // The head is marked by state, not by a count of 0: one body byte does not make a second head.
        {"one body byte", {kHead10 + "a", "HTTP/1.0 200 OK\r\n\r\n"}, 0, {19}, "aHTTP/1.0 200 OK\r\n\r\n", QStringLiteral("10")},
        {"head split", {"HTTP/1.0 200 OK\r\nConte", "nt-Length: 10\r\n\r\n01234", "56789"}, 4, {9}, "0123456789",
         QStringLiteral("10")},
        {"split inside the blank line", {"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r", "\nabc"}, 2, {}, "abc",
         QStringLiteral("3")},
        {"two lengths: first wins", {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\nContent-Length: 7\r\n\r\nabcde"}, 4, {},
         "abcde", QStringLiteral("5")},
        {"length in other case", {"HTTP/1.0 200 OK\r\ncontent-length: 10\r\n\r\n0123456789"}, 9, {}, "0123456789",
         QVariant()},
        {"no length", {"HTTP/1.0 200 OK\r\nServer: x\r\n\r\n", "ab", "cd"}, -1, {1, 3}, "abcd", QVariant()},
    };
    for (const PacketCase &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.open();
        bool first = true;
        for (const QByteArray &p : c.packets) {
            rig.socket->arrive(p);
            if (first && rig.http->ResponseHeaderString.isEmpty())
                continue; // still collecting a split head
            if (first) {
                EXPECT_EQ(rig.http->totalbytesreceived, c.countAfterFirst);
            }
            first = false;
        }
        EXPECT_EQ(rig.progress, c.progress);
        EXPECT_EQ(rig.http->FileSize, c.fileSize);
        EXPECT_EQ(rig.http->ResponseCode, QStringLiteral("200"));
        EXPECT_TRUE(rig.errors.isEmpty());
        rig.socket->peerClose();
        EXPECT_EQ(rig.body(), QString::fromLatin1(c.body));
        EXPECT_EQ(rig.completions, 1);
    }
}

TEST(DGSwsHTTPResponse, StatusOtherThan200IsReportedOnceAndTheBodyStillCompletes)
{
    const QPair<const char *, QPair<QString, QString>> cases[] = {
        {"HTTP/1.1 301 Moved Permanently\r\nLocation: http://elsewhere/\r\n\r\nmoved",
         {QStringLiteral("301 Moved Permanently"), QStringLiteral("301")}},
        {"HTTP/1.0 404 Not Found\r\n\r\nmissing", {QStringLiteral("404 Not Found"), QStringLiteral("404")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        Rig rig;
        rig.open();
        const QByteArray response(c.first);
        rig.socket->arrive(response.left(10));
        rig.socket->arrive(response.mid(10));
        rig.socket->arrive("+more");
        rig.socket->peerClose();
        EXPECT_EQ(rig.errors, ErrorList({c.second}));
        EXPECT_EQ(rig.http->ResponseCode, c.second.second);
        const QString whole = QString::fromLatin1(response);
        EXPECT_EQ(rig.body(), whole.mid(whole.indexOf("\r\n\r\n") + 4) + "+more");
        EXPECT_EQ(rig.log.last(), QStringLiteral("complete"));
    }
}

TEST(DGSwsHTTPResponse, PeerClosingBeforeAnyPacketCompletesEmpty)
{
    Rig rig;
    rig.open();
    rig.socket->peerClose();
    EXPECT_EQ(rig.completions, 1);
    EXPECT_EQ(rig.http->filedata, QVariant(QString()));
    EXPECT_TRUE(rig.http->filedata.toString().isEmpty());
    EXPECT_TRUE(rig.errors.isEmpty());
}

TEST(DGSwsHTTPResponse, ResponseWithoutBlankLineIsTakenAsAHeadPacketAtClose)
{
    Rig rig;
    rig.open();
    rig.socket->arrive("garbage");
    EXPECT_TRUE(rig.log.isEmpty()); // still waiting for the blank line
    rig.socket->peerClose();
    EXPECT_EQ(rig.http->ResponseHeaderString, QStringLiteral("ga"));
    EXPECT_EQ(rig.body(), QStringLiteral("bage"));
    // No status line: no "200" either, so the head is reported, with the empty
    // first item and the code as it stood.
    EXPECT_EQ(rig.errors, ErrorList({{QString(), QString()}}));
    EXPECT_EQ(rig.completions, 1);
}

TEST(DGSwsHTTPResponse, HeaderLinesPastTheHeadBoundAreNotTaken)
{
    // 64 KiB of head lines in one packet; the lines that end within them are
    // taken, the length line after them and the line the bound cuts are not.
    QByteArray head = "HTTP/1.0 200 OK\r\n";
    while (head.size() < 64 * 1024 - 10)
        head += "X-Filler: " + QByteArray(40, 'f') + "\r\n";
    head += "X-Cut-By-The-Bound: " + QByteArray(100, 'c') + "\r\nContent-Length: 7\r\n\r\n";
    Rig rig;
    rig.open();
    rig.socket->arrive(head + "body!!!");
    EXPECT_EQ(rig.http->ResponseCode, QStringLiteral("200"));
    EXPECT_EQ(rig.http->FileSize, QVariant()); // its line lies past the bound
    EXPECT_EQ(rig.http->ResponseHeaderString.size(), head.size() - 1); // the head itself stays whole, up to CR LF CR
    EXPECT_EQ(rig.http->totalbytesreceived, 6);
    rig.socket->peerClose();
    EXPECT_EQ(rig.body(), QStringLiteral("body!!!"));
    EXPECT_TRUE(rig.errors.isEmpty());
}

// A head is found by its place in the response, not by how the packets cut
// it: every split of the same bytes gives the same head and body.
TEST(DGSwsHTTPResponse, LongHeadGivesTheSameHeadAndBodyWhateverThePacketSplit)
{
    constexpr qsizetype kLineBound = 64 * 1024;   // the header table's bound
    constexpr qsizetype kHeadBound = 64 * 1024 * 1024; // where the blank line must lie by
    // Filler lines after the status and length lines until the head (its blank
    // line included) is `headSize` bytes long.
    auto longHead = [](qsizetype headSize) {
        QByteArray head = "HTTP/1.0 200 OK\r\nContent-Length: 7\r\n";
        while (head.size() + 52 + 12 <= headSize)
            head += "X-Filler: " + QByteArray(40, 'f') + "\r\n";
        head += "X-Last: " + QByteArray(headSize - head.size() - 8 - 4, 'l') + "\r\n\r\n";
        return head;
    };
    struct Response {
        const char *name;
        QByteArray head; // ends with its blank line
        bool isHead;     // false: the blank line lies past the bound, so the response has no head
    };
    const Response responses[] = {
        {"head past the table's 64 KiB", longHead(kLineBound + 5000), true},
        {"blank line ending on the 64 KiB line", longHead(kLineBound), true},
        {"blank line ending on the head bound", longHead(kHeadBound), true},
        {"blank line one past the head bound", longHead(kHeadBound + 1), false},
        {"blank line well past the head bound", longHead(kHeadBound + 70000), false},
        {"no blank line: head text at the close", "HTTP/1.0 200 OK\r\nX: 1\r\n", false},
    };
    for (const Response &r : responses) {
        const QByteArray all = r.head + "body!!!";
        const qsizetype blank = r.head.size() - 4;
        // Packet ends: one packet; just before the blank line; inside it;
        // byte by byte around the blank line and each bound the response
        // reaches. (Responses as long as the head bound take the splits that
        // tell something there only: each costs a copy of 64 MiB.)
        auto byteByByte = [&](qsizetype around) {
            QList<qsizetype> ends;
            for (qsizetype at = around - 6; at <= around + 6; ++at)
                if (at > 0 && at < all.size())
                    ends.append(at);
            return ends;
        };
        QList<QPair<const char *, QList<qsizetype>>> splits = {
            {"one packet", {}},
            {"just before the blank line", {blank}},
        };
        if (all.size() < kHeadBound) {
            splits.append({"inside CR LF CR LF", {blank + 2}});
            splits.append({"after CR LF CR", {blank + 3}});
            splits.append({"byte by byte around the blank line", byteByByte(blank)});
            if (all.size() > kLineBound)
                splits.append({"byte by byte around 64 KiB", byteByByte(kLineBound)});
        } else {
            splits.append({"byte by byte around the head bound", byteByByte(kHeadBound)});
        }
        for (const auto &split : splits) {
            SCOPED_TRACE(std::string(r.name) + ", " + split.first);
            Rig rig;
            rig.open();
            qsizetype from = 0;
            for (const qsizetype end : split.second) {
                rig.socket->arrive(all.mid(from, end - from));
                from = end;
            }
            rig.socket->arrive(all.mid(from));
            rig.socket->peerClose();
            EXPECT_EQ(rig.completions, 1);
            if (r.isHead) {
                EXPECT_EQ(rig.body(), QStringLiteral("body!!!"));
                EXPECT_EQ(rig.http->ResponseHeaderString, QString::fromLatin1(r.head.left(r.head.size() - 1)));
                EXPECT_EQ(rig.http->ResponseCode, QStringLiteral("200"));
                EXPECT_EQ(rig.http->FileSize, QVariant(QStringLiteral("7")));
                EXPECT_TRUE(rig.errors.isEmpty());
                EXPECT_EQ(rig.http->totalbytesreceived, 6);
            } else {
                // As a head packet without its blank line: two characters of head,
                // the body from the fourth on, and no status to look at.
                EXPECT_EQ(rig.body().size(), all.size() - 3);
                EXPECT_EQ(rig.body(), QString::fromLatin1(all.mid(3)));
                EXPECT_EQ(rig.http->ResponseHeaderString, QStringLiteral("HT"));
                EXPECT_EQ(rig.http->FileSize, QVariant());
                EXPECT_EQ(rig.errors.size(), 1);
                EXPECT_EQ(rig.http->totalbytesreceived, all.size() - 4);
            }
        }
    }
}

TEST(DGSwsHTTPResponse, ConnectResetsThePerRequestVariablesButKeepsResponseCode)
{
    Rig rig;
    rig.open();
    rig.socket->arrive("HTTP/1.0 404 Not Found\r\nContent-Length: 3\r\n\r\nabc");
    rig.socket->peerClose();
    ASSERT_EQ(rig.http->ResponseCode, QStringLiteral("404"));
    rig.open();
    EXPECT_EQ(rig.http->totalbytesreceived, 0);
    EXPECT_EQ(rig.http->FileSize, QVariant(0));
    EXPECT_EQ(rig.http->ResponseHeaderString, QString());
    EXPECT_EQ(rig.http->filedata, QVariant(QString()));
    EXPECT_EQ(rig.http->ResponseCode, QStringLiteral("404"));
}

TEST(DGSwsHTTPResponse, SocketErrorIsReportedWithDescriptionAndDecimalCode)
{
    Rig rig;
    rig.get(QStringLiteral("http://abcde/"));
    rig.socket->raiseError(FakeTcpSocket::ErrConnectionRefused, QStringLiteral("Connection refused"));
    EXPECT_EQ(rig.errors, ErrorList({{QStringLiteral("Connection refused"),
                                      QString::number(FakeTcpSocket::scodeFor(FakeTcpSocket::ErrConnectionRefused))}}));
    EXPECT_EQ(rig.completions, 0);
}

TEST(DGSwsHTTPLifecycle, SecondGeturlDropsTheRunningFetchSilently)
{
    Rig rig;
    rig.open(QStringLiteral("http://first/page"));
    rig.socket->arrive(kHead10 + "OLD");
    rig.socket->arrive("OLDOLD");
    ASSERT_GT(Module1::BufLen(), 0);
    const int logged = rig.log.size();
    rig.get(QStringLiteral("http://second/page"));
    EXPECT_EQ(Module1::BufLen(), 0);
    EXPECT_EQ(rig.socket->calls.mid(rig.socket->calls.lastIndexOf("Close")),
              QStringList({"Close", "RemotePort=80", "RemoteHost=second", "Connect"}));
    EXPECT_EQ(rig.log.size(), logged); // nothing for the dropped fetch
    rig.socket->raiseConnect();
    EXPECT_TRUE(rig.socket->sent.last().startsWith(QStringLiteral("GET http://second/page HTTP/1.0\r\n")));
    rig.socket->arrive("HTTP/1.0 200 OK\r\n\r\nNEW");
    rig.socket->peerClose();
    EXPECT_EQ(rig.body(), QStringLiteral("NEW"));
    EXPECT_EQ(rig.completions, 1);
}

TEST(DGSwsHTTPLifecycle, AnErrorHandlerMayStartTheNextFetchOrDeleteTheComponentAtTheClose)
{
    // A head that only the peer's close ends is reported from inside the Close
    // event; what the error's handler does there ends the fetch being closed.
    enum class InHandler { NextFetch, Delete };
    for (const InHandler action : {InHandler::NextFetch, InHandler::Delete}) {
        SCOPED_TRACE(action == InHandler::NextFetch ? "next fetch" : "delete");
        Rig rig;
        FakeTcpSocket *socket = rig.socket;
        bool handled = false;
        QObject::connect(rig.http.get(), &DGSwsHTTP::httpError, [&](QString &, QString &) {
            if (handled)
                return;
            handled = true;
            if (action == InHandler::NextFetch)
                rig.get(QStringLiteral("http://second/page"));
            else
                rig.http.reset();
        });
        rig.open(QStringLiteral("http://first/page"));
        socket->arrive("HTTP/1.0 404 Not Found\r\nServer: x"); // no blank line: the close ends the head
        socket->peerClose();
        ASSERT_TRUE(handled);
        EXPECT_EQ(rig.log, QStringList({"error /"})) << "the dropped fetch raises nothing more";
        if (action == InHandler::Delete)
            continue;
        socket->raiseConnect();
        EXPECT_TRUE(socket->sent.last().startsWith(QStringLiteral("GET http://second/page HTTP/1.0\r\n")));
        socket->arrive("HTTP/1.0 200 OK\r\n\r\nNEW");
        socket->peerClose();
        EXPECT_EQ(rig.body(), QStringLiteral("NEW"));
        EXPECT_EQ(rig.log, QStringList({"error /", "complete"}));
    }
}

TEST(DGSwsHTTPLifecycle, AnErrorHandlerMayDeleteTheComponentWhenTheAddressIsEmpty)
{
    Rig rig;
    QObject::connect(rig.http.get(), &DGSwsHTTP::httpError, [&](QString &, QString &) { rig.http.reset(); });
    DGSwsHTTP *http = rig.http.get();
    QString empty;
    http->geturl(empty);
    EXPECT_EQ(rig.http, nullptr);
    EXPECT_EQ(rig.log, QStringList({"error No URL specified/0"})) << "nothing after the component has gone";
}

TEST(DGSwsHTTPLifecycle, RefusedAddressLeavesARunningFetchWhole)
{
    Rig rig;
    rig.open();
    rig.socket->arrive(kHead10 + "01234");
    rig.get(QStringLiteral("http://ab"));
    EXPECT_EQ(rig.errors, ErrorList({{QStringLiteral("Invalid URL"), QStringLiteral("0")}}));
    rig.socket->arrive("56789");
    rig.socket->peerClose();
    EXPECT_EQ(rig.body(), QStringLiteral("0123456789"));
}

TEST(DGSwsHTTPLifecycle, BodyBytesComeThroughOneCharacterPerByte)
{
    Rig rig;
    rig.open();
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    rig.socket->arrive("HTTP/1.0 200 OK\r\n\r\n" + all);
    rig.socket->peerClose();
    // No UTF-8: every byte is the one character the Western code page gives it.
    EXPECT_EQ(rig.body(), vidmora::test::westernText(all));
    EXPECT_EQ(rig.body().size(), 256);
}

TEST(DGSwsHTTPLifecycle, PageIsTakenAsUtf8AsAWholeAndCountedInBytes)
{
    struct Case {
        const char *name;
        QList<QByteArray> bodyPackets;
        QString body;
    };
    const Case cases[] = {
        {"a character split across two packets", {"<title>Caf\xc3", "\xa9 \xe6\x97", "\xa5</title>"},
         QStringLiteral("<title>Caf\u00e9 \u65e5</title>")},
        {"a pair split in three", {"\xf0\xa0", "\xae", "\xb7!"}, QStringLiteral("\U00020BB7!")},
        {"single-byte page", {"<title>Caf\xe9", " M\xfcller</title>"}, QStringLiteral("<title>Caf\u00e9 M\u00fcller</title>")},
        {"valid start, single-byte end", {"\xc3\xa9", "t\xe9"}, QStringLiteral("\u00c3\u00a9t\u00e9")},
        {"western page", {"<title>\x8akoda \x96 \x93", "ok\x94 \x80</title>"},
         QStringLiteral("<title>\u0160koda \u2013 \u201cok\u201d \u20ac</title>")},
        {"utf8 page, one stray byte in its last packet", {"\xe2\x80\x93 ok", " \x80"},
         QStringLiteral("\u00e2\u20ac\u201c ok \u20ac")},
        {"U+10000 split in two", {"a\xf0\x90", "\x80\x80z"}, QStringLiteral("a\U00010000z")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.open();
        rig.socket->arrive("HTTP/1.0 200 OK\r\n\r\n");
        qint32 bytes = 0;
        for (const QByteArray &p : c.bodyPackets) {
            rig.socket->arrive(p);
            bytes += p.size();
        }
        rig.socket->peerClose();
        EXPECT_EQ(rig.body(), c.body);
        ASSERT_FALSE(rig.progress.isEmpty());
        EXPECT_EQ(rig.progress.last(), bytes - 1); // bytes, not characters
        EXPECT_EQ(rig.http->totalbytesreceived, bytes - 1);
    }
}
