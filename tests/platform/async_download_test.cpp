// The download service over real HTTP on loopback.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <chrono>

#include "byte_pattern.h"
#include "event_wait.h"
#include "http_fixture_server.h"
#include "loopback_peer.h"
#include "platform/async_download_qt.h"
#include "scoped_host.h"

using namespace std::chrono_literals;
using vidmora::platform::AsyncProp;
using vidmora::platform::QtAsyncDownloadService;
using vidmora::test::HttpFixtureServer;
using vidmora::test::pattern;
using vidmora::test::ScopedHost;
using vidmora::test::waitUntil;

namespace {

constexpr int kWaitMs = 30000;

// Every notification of a service, with the thread it arrived on.
struct ReadLog {
    explicit ReadLog(QtAsyncDownloadService &service)
    {
        QObject::connect(&service, &QtAsyncDownloadService::AsyncReadProgress, [this](const AsyncProp &p) {
            progress.append(p);
            offThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        });
        QObject::connect(&service, &QtAsyncDownloadService::AsyncReadComplete, [this](const AsyncProp &p) {
            completions.append(p);
            offThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        });
    }
    // Progress statuses with repeats of 5 folded into one.
    QList<qint32> statuses() const
    {
        QList<qint32> out;
        for (const AsyncProp &p : progress) {
            if (!(p.StatusCode == 5 && !out.isEmpty() && out.last() == 5))
                out.append(p.StatusCode);
        }
        return out;
    }
    bool done() const { return !completions.isEmpty(); }

    QList<AsyncProp> progress;
    QList<AsyncProp> completions;
    bool offThread = false;
};

// Collects the Qt warnings raised while it lives.
class WarningLog final {
public:
    WarningLog()
    {
        s_current = this;
        m_previous = qInstallMessageHandler(&WarningLog::handle);
    }
    ~WarningLog()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    QStringList warnings() const
    {
        QMutexLocker lock(&m_mutex);
        return m_warnings;
    }

private:
    // Messages may come from any thread.
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (s_current && type == QtWarningMsg) {
            QMutexLocker lock(&s_current->m_mutex);
            s_current->m_warnings.append(text);
        }
        if (s_current && s_current->m_previous)
            s_current->m_previous(type, context, text);
    }
    static inline WarningLog *s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_warnings;
};

} // namespace

TEST(QtAsyncDownloadService, ReadsAChunkedBodyWithItsStagesInOrderAndTheOriginalHostLine)
{
    HttpFixtureServer server;
    const QByteArray body = pattern(300000);
    HttpFixtureServer::Response r = HttpFixtureServer::ok(body);
    r.chunkSize = 64 * 1024;
    r.pauseMs = 20;
    server.setResponse("/get_video.php", r);
    ScopedHost site(QStringLiteral("www.vidsite.example"), server.port());

    QtAsyncDownloadService service;
    ReadLog log(service);
    const auto failure = service.AsyncRead(QStringLiteral("http://www.vidsite.example/get_video.php?video_id=abc&t=tok"), 2,
                                           QStringLiteral("/save/clip.flv"), 16);
    ASSERT_FALSE(failure.has_value());
    EXPECT_TRUE(log.progress.isEmpty()) << "the start returns before any notification";
    ASSERT_TRUE(waitUntil([&] { return log.done(); }, kWaitMs));

    EXPECT_FALSE(log.offThread);
    EXPECT_EQ(log.statuses(), QList<qint32>({11, 2, 4, 5, 6}));
    ASSERT_EQ(log.completions.size(), 1);
    const AsyncProp &done = log.completions.first();
    EXPECT_EQ(done.PropertyName, QStringLiteral("/save/clip.flv"));
    EXPECT_EQ(done.StatusCode, 6);
    EXPECT_EQ(done.BytesMax, body.size());
    EXPECT_EQ(done.BytesRead, body.size());
    EXPECT_TRUE(done.Value == body);
    for (const AsyncProp &p : log.progress) {
        EXPECT_EQ(p.PropertyName, QStringLiteral("/save/clip.flv"));
        if (p.StatusCode == 4 || p.StatusCode == 5 || p.StatusCode == 6) {
            EXPECT_EQ(p.BytesMax, body.size());
        }
        EXPECT_TRUE(p.Value.isEmpty());
    }
    EXPECT_GE(std::count_if(log.progress.begin(), log.progress.end(), [](const AsyncProp &p) { return p.StatusCode == 5; }), 2)
        << "the body came in several pieces";

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].requestLine, QByteArray("GET /get_video.php?video_id=abc&t=tok HTTP/1.1"));
    EXPECT_EQ(requests[0].host(), QByteArray("www.vidsite.example"));
    EXPECT_EQ(requests[0].header("Cache-Control"), QByteArray("no-cache"));
    EXPECT_EQ(service.runningReads(), 0);
}

TEST(QtAsyncDownloadService, WithoutTheFreshOptionTheRequestAsksForNoFreshCopy)
{
    HttpFixtureServer server;
    server.setResponse("/f", HttpFixtureServer::ok("x"));
    QtAsyncDownloadService service;
    ReadLog log(service);
    ASSERT_FALSE(service.AsyncRead(server.url(QStringLiteral("/f")).toString(), 2, QStringLiteral("f"), 0).has_value());
    ASSERT_TRUE(waitUntil([&] { return log.done(); }, kWaitMs));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(server.requests()[0].header("Cache-Control").isEmpty());
    EXPECT_EQ(server.requests()[0].host(), QByteArray("127.0.0.1:") + QByteArray::number(server.port()));
}

TEST(QtAsyncDownloadService, ABodyWithoutAnnouncedLengthHasNoTotal)
{
    HttpFixtureServer server;
    HttpFixtureServer::Response r = HttpFixtureServer::ok(pattern(50000));
    r.contentLength = false;
    r.chunkSize = 10000;
    r.pauseMs = 5;
    server.setResponse("/n", r);
    QtAsyncDownloadService service;
    ReadLog log(service);
    ASSERT_FALSE(service.AsyncRead(server.url(QStringLiteral("/n")).toString(), 2, QStringLiteral("n"), 16).has_value());
    ASSERT_TRUE(waitUntil([&] { return log.done(); }, kWaitMs));
    EXPECT_EQ(log.completions[0].StatusCode, 6);
    EXPECT_EQ(log.completions[0].BytesMax, 0);
    EXPECT_TRUE(log.completions[0].Value == pattern(50000));
    for (const AsyncProp &p : log.progress)
        EXPECT_EQ(p.BytesMax, 0);
}

TEST(QtAsyncDownloadService, FollowsRedirectsThroughTheHostMap)
{
    HttpFixtureServer server;
    ScopedHost site(QStringLiteral("www.vidsite.example"), server.port());
    ScopedHost cdn(QStringLiteral("cdn.vidsite.example"), server.port());
    server.setResponse("/get_video.php", HttpFixtureServer::redirect(303, "/hop?x=1"));
    server.setResponse("/hop", HttpFixtureServer::redirect(302, "http://cdn.vidsite.example/file.flv"));
    server.setResponse("/file.flv", HttpFixtureServer::ok("the video"));
    QtAsyncDownloadService service;
    ReadLog log(service);
    ASSERT_FALSE(service.AsyncRead(QStringLiteral("http://www.vidsite.example/get_video.php?video_id=1"), 2, QStringLiteral("v"), 16)
                     .has_value());
    ASSERT_TRUE(waitUntil([&] { return log.done(); }, kWaitMs));
    EXPECT_EQ(log.completions[0].StatusCode, 6);
    EXPECT_EQ(log.completions[0].Value, QByteArray("the video"));
    EXPECT_EQ(server.requestLines(), QList<QByteArray>({"GET /get_video.php?video_id=1 HTTP/1.1", "GET /hop?x=1 HTTP/1.1",
                                                        "GET /file.flv HTTP/1.1"}));
    EXPECT_EQ(server.hostLines(), QList<QByteArray>({"www.vidsite.example", "www.vidsite.example", "cdn.vidsite.example"}));
    EXPECT_EQ(log.statuses(), QList<qint32>({11, 2, 3, 3, 4, 5, 6}));
}

TEST(QtAsyncDownloadService, TransfersThatGoWrongEndWithFailure)
{
    HttpFixtureServer server;
    server.setResponse("/missing", HttpFixtureServer::status(404, "no"));
    server.setResponse("/broken", HttpFixtureServer::status(500, "oops"));
    HttpFixtureServer::Response reset = HttpFixtureServer::ok(pattern(200000));
    reset.cutAfter = 50000;
    reset.cut = HttpFixtureServer::Response::Cut::Reset;
    server.setResponse("/reset", reset);
    HttpFixtureServer::Response resetUnannounced = reset; // only the reset tells this body is cut short
    resetUnannounced.contentLength = false;
    server.setResponse("/reset-unannounced", resetUnannounced);
    HttpFixtureServer::Response shortBody = HttpFixtureServer::ok(pattern(200000));
    shortBody.cutAfter = 50000;
    server.setResponse("/short", shortBody);
    HttpFixtureServer::Response silent;
    silent.silent = true;
    server.setResponse("/silent", silent);
    HttpFixtureServer::Response stalls = HttpFixtureServer::ok(pattern(200000));
    stalls.cutAfter = 1000;
    stalls.cut = HttpFixtureServer::Response::Cut::Silence;
    server.setResponse("/stalls", stalls);
    server.setResponse("/loop", HttpFixtureServer::redirect(302, "/loop"));
    server.setResponse("/toftp", HttpFixtureServer::redirect(302, "ftp://127.0.0.1/x"));

    const vidmora::test::ClosedLoopbackPort closed;
    const QString refused = QStringLiteral("http://127.0.0.1:%1/x").arg(closed.port());
    const QList<QString> targets{server.url(QStringLiteral("/missing")).toString(), server.url(QStringLiteral("/broken")).toString(),
                                 server.url(QStringLiteral("/reset")).toString(),   server.url(QStringLiteral("/reset-unannounced")).toString(),
                                 server.url(QStringLiteral("/short")).toString(),
                                 server.url(QStringLiteral("/silent")).toString(),  server.url(QStringLiteral("/stalls")).toString(),
                                 server.url(QStringLiteral("/loop")).toString(),    server.url(QStringLiteral("/toftp")).toString(),
                                 refused};
    // A short inactivity bound keeps the silent cases quick.
    QtAsyncDownloadService service(1500ms);
    ReadLog log(service);
    for (const QString &t : targets)
        ASSERT_FALSE(service.AsyncRead(t, 2, t, 16).has_value()) << t.toStdString();
    ASSERT_TRUE(waitUntil([&] { return log.completions.size() == targets.size(); }, kWaitMs));
    for (const AsyncProp &p : log.completions) {
        EXPECT_EQ(p.StatusCode, 0) << p.PropertyName.toStdString();
        EXPECT_TRUE(p.Value.isEmpty()) << p.PropertyName.toStdString();
    }
    for (const AsyncProp &p : log.progress)
        EXPECT_NE(p.StatusCode, 6) << p.PropertyName.toStdString();
    EXPECT_EQ(service.runningReads(), 0);
}

TEST(QtAsyncDownloadService, TakesTheBodyAsItsHeadFramesIt)
{
    // Raw responses from a peer that plays them byte for byte, in pieces.
    struct Case {
        const char *name;
        QList<QByteArray> pieces;
        bool reset;
        qint32 status;
        QByteArray body;
    };
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                               "5;note=x\r\nhello\r\n"
                               "7\r\n, world\r\n"
                               "0\r\nX-Trailer: y\r\n\r\n";
    const Case cases[] = {
        {"chunked, split everywhere", vidmora::test::LoopbackPeer::split(chunked, 3), false, 6, "hello, world"},
        {"chunked, reset before the last chunk", {chunked.left(chunked.indexOf("0\r\n"))}, true, 0, {}},
        {"chunked, closed before the last chunk", {chunked.left(chunked.indexOf("0\r\n"))}, false, 0, {}},
        {"chunked, closed inside the trailer", {chunked.left(chunked.indexOf("X-Trailer"))}, false, 6, "hello, world"},
        {"interim answer first", {"HTTP/1.1 100 Continue\r\n\r\n", "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc"}, false, 6, "abc"},
        {"bytes past the length are not taken", {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"}, false, 6, "abc"},
        {"head in pieces", vidmora::test::LoopbackPeer::split("HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nbody", 2), false, 6, "body"},
        {"no content", {"HTTP/1.1 204 No Content\r\n\r\n"}, false, 6, {}},
        {"two different lengths", {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd"}, false, 0, {}},
        {"no status line", {"hello there\r\n\r\nbody"}, false, 0, {}},
        {"closed inside the head", {"HTTP/1.1 200 OK\r\nContent-Le"}, false, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        vidmora::test::LoopbackPeer peer(vidmora::test::LoopbackPeer::Script{c.pieces, 2, true, c.reset});
        QtAsyncDownloadService service;
        ReadLog log(service);
        ASSERT_FALSE(service.AsyncRead(QStringLiteral("http://127.0.0.1:%1/v").arg(peer.port()), 2, QStringLiteral("v"), 16).has_value());
        ASSERT_TRUE(waitUntil([&] { return log.done(); }, kWaitMs));
        EXPECT_EQ(log.completions[0].StatusCode, c.status);
        EXPECT_EQ(log.completions[0].Value, c.body);
        EXPECT_EQ(service.runningReads(), 0);
    }
}

TEST(QtAsyncDownloadService, EndsAtOnceWhileThePeerKeepsTheConnectionOpen)
{
    // The peer sends its pieces and then neither closes nor sends more for as
    // long as it lives, and the inactivity bound is far off: each read must
    // end on what it was sent, never on a close or on the time-out.
    const auto filler = [](qsizetype bytes) {
        QByteArray lines;
        for (int i = 0; lines.size() < bytes; ++i)
            lines += "X-Filler-" + QByteArray::number(i) + ": " + QByteArray(90, 'f') + "\r\n";
        return lines;
    };
    const QByteArray chunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n";
    struct Case {
        const char *name;
        QList<QByteArray> pieces;
        qint32 status;
        QByteArray body;
    };
    const Case cases[] = {
        {"a head without an end fails past 64 KiB",
         vidmora::test::LoopbackPeer::split("HTTP/1.1 200 OK\r\n" + filler(80 * 1024), 4096), 0, {}},
        {"a head just short of 64 KiB is read",
         vidmora::test::LoopbackPeer::split("HTTP/1.1 200 OK\r\n" + filler(60 * 1024) + "Content-Length: 3\r\n\r\nabc", 4096),
         6, "abc"},
        {"a chunk-size line past its bound fails at that line",
         vidmora::test::LoopbackPeer::split(chunkedHead + QByteArray(8 * 1024, '0'), 1024), 0, {}},
        {"a chunked body ends at the end of its trailer", {chunkedHead + "0\r\n\r\n"}, 6, "hello"},
        {"bytes past the length in the head's piece are not taken",
         {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdef"}, 6, "abc"},
        {"bytes past the length in a later piece are not taken",
         {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n", "ab", "cdef"}, 6, "abc"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        vidmora::test::LoopbackPeer peer(vidmora::test::LoopbackPeer::Script{c.pieces, 2, false});
        QtAsyncDownloadService service(120s);
        ReadLog log(service);
        ASSERT_FALSE(service.AsyncRead(QStringLiteral("http://127.0.0.1:%1/v").arg(peer.port()), 2, QStringLiteral("v"), 16).has_value());
        if (!waitUntil([&] { return log.done(); }, 15000)) {
            ADD_FAILURE() << "no end while the peer is still open";
            continue;
        }
        ASSERT_EQ(log.completions.size(), 1);
        EXPECT_EQ(log.completions[0].StatusCode, c.status);
        EXPECT_EQ(log.completions[0].Value, c.body);
        if (c.status == 0) {
            for (const AsyncProp &p : log.progress)
                EXPECT_NE(p.StatusCode, 6);
        }
        EXPECT_EQ(service.runningReads(), 0);
    }
}

TEST(QtAsyncDownloadService, AnAnnouncedLengthReservesNoMoreThanHasArrivedAndABoundedStep)
{
    // Two thousand million bytes announced, five thousand sent, the rest never comes.
    vidmora::test::LoopbackPeer peer(vidmora::test::LoopbackPeer::Script{
        {"HTTP/1.1 200 OK\r\nContent-Length: 2000000000\r\n\r\n" + pattern(5000)}, 0, false});
    QtAsyncDownloadService service;
    ReadLog log(service);
    ASSERT_FALSE(service.AsyncRead(QStringLiteral("http://127.0.0.1:%1/v").arg(peer.port()), 2, QStringLiteral("v"), 16).has_value());
    ASSERT_TRUE(waitUntil([&] { return !log.progress.isEmpty() && log.progress.last().BytesRead == 5000; }, kWaitMs));
    EXPECT_EQ(log.progress.last().BytesMax, 2000000000);
    EXPECT_GE(service.reservedBytes(), 5000);
    EXPECT_LT(service.reservedBytes(), 64 << 20);
    EXPECT_FALSE(service.CancelAsyncRead(QStringLiteral("v")).has_value());
}

TEST(QtAsyncDownloadService, ABodyPastTheLimitOfTheCountsFailsInsteadOfEndingCapped)
{
    // The 32-bit counts end at 2^31-1 bytes; a smaller limit stands in for it here.
    constexpr qint64 kLimit = 100000;
    struct Case {
        const char *target;
        qsizetype size;
        bool announced;
        qint32 status;
    };
    const Case cases[] = {
        {"/unannounced-over", kLimit + 1, false, 0},
        {"/announced-over", kLimit + 1, true, 0},
        {"/unannounced-at", kLimit, false, 6},
        {"/announced-at", kLimit, true, 6},
    };
    HttpFixtureServer server;
    for (const Case &c : cases) {
        HttpFixtureServer::Response r = HttpFixtureServer::ok(pattern(c.size));
        r.contentLength = c.announced;
        r.chunkSize = 16 * 1024;
        server.setResponse(c.target, r);
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target);
        QtAsyncDownloadService service;
        service.setBodyLimit(kLimit);
        ReadLog log(service);
        ASSERT_FALSE(service.AsyncRead(server.url(QString::fromLatin1(c.target)).toString(), 2, QStringLiteral("v"), 16).has_value());
        ASSERT_TRUE(waitUntil([&] { return log.done(); }, kWaitMs));
        EXPECT_EQ(log.completions[0].StatusCode, c.status);
        EXPECT_EQ(log.completions[0].Value.size(), c.status == 6 ? c.size : 0);
        for (const AsyncProp &p : log.progress)
            EXPECT_LE(p.BytesRead, kLimit);
    }
}

TEST(QtAsyncDownloadService, ReadsThatCannotStartFailAtOnce)
{
    struct Case {
        QString target;
        qint32 type;
        QVariant options;
        qint32 number;
    };
    const QList<Case> cases{
        {QStringLiteral("not an address"), 2, 16, QtAsyncDownloadService::kErrInvalidUrl},
        {QStringLiteral("http://"), 2, 16, QtAsyncDownloadService::kErrInvalidUrl},
        {QStringLiteral("http://exa mple.org/x"), 2, 16, QtAsyncDownloadService::kErrInvalidUrl},
        {QStringLiteral("ftp://127.0.0.1/file"), 2, 16, QtAsyncDownloadService::kErrUnknownProtocol},
        {QStringLiteral("gopher://127.0.0.1/file"), 2, 16, QtAsyncDownloadService::kErrUnknownProtocol},
        {QStringLiteral("http://127.0.0.1/x"), 1, 16, QtAsyncDownloadService::kErrInvalidArgument},
        {QStringLiteral("http://127.0.0.1/x"), 2, QStringLiteral("lots"), QtAsyncDownloadService::kErrTypeMismatch},
    };
    QtAsyncDownloadService service;
    ReadLog log(service);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        const auto failure = service.AsyncRead(c.target, c.type, QStringLiteral("n"), c.options);
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->Number, c.number);
        EXPECT_FALSE(failure->Description.isEmpty());
    }
    EXPECT_EQ(service.runningReads(), 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(log.progress.isEmpty());
    EXPECT_TRUE(log.completions.isEmpty());
}

TEST(QtAsyncDownloadService, ReadsEndedEarlyRaiseNothingMoreAndLeaveTheNetworkLayerQuiet)
{
    // One read cancelled while it runs, one failed on its response head: both
    // let go of their transfers without a word more, and without tripping over
    // the network layer's own late report of the same end.
    HttpFixtureServer server;
    HttpFixtureServer::Response slow = HttpFixtureServer::ok(pattern(100000));
    slow.chunkSize = 1000;
    slow.pauseMs = 20;
    server.setResponse("/slow", slow);
    server.setResponse("/missing", HttpFixtureServer::status(404, "no"));
    server.setResponse("/quick", HttpFixtureServer::ok("quick"));
    WarningLog warnings;
    QtAsyncDownloadService service;
    ReadLog log(service);
    ASSERT_FALSE(service.AsyncRead(server.url(QStringLiteral("/slow")).toString(), 2, QStringLiteral("slow"), 16).has_value());
    // Several failures: how the network layer's events interleave varies from run to run.
    constexpr int kMissing = 3;
    for (int i = 0; i < kMissing; ++i)
        ASSERT_FALSE(service.AsyncRead(server.url(QStringLiteral("/missing")).toString(), 2, QStringLiteral("missing"), 16).has_value());
    ASSERT_TRUE(waitUntil([&] {
        return log.completions.size() == kMissing && std::any_of(log.progress.begin(), log.progress.end(), [](const AsyncProp &p) {
                   return p.PropertyName == QLatin1String("slow") && p.StatusCode == 5;
               });
    }, kWaitMs));
    for (const AsyncProp &p : log.completions) {
        EXPECT_EQ(p.PropertyName, QStringLiteral("missing"));
        EXPECT_EQ(p.StatusCode, 0);
    }
    EXPECT_FALSE(service.CancelAsyncRead(QStringLiteral("slow")).has_value());
    const qsizetype seen = log.progress.size();
    EXPECT_TRUE(service.CancelAsyncRead(QStringLiteral("slow")).has_value()) << "nothing left of that name";

    // A later read shows the event loop has moved on without a word from the
    // ended ones, and lets whatever their transfers still had queued arrive.
    ASSERT_FALSE(service.AsyncRead(server.url(QStringLiteral("/quick")).toString(), 2, QStringLiteral("quick"), 16).has_value());
    ASSERT_TRUE(waitUntil([&] { return log.completions.size() == kMissing + 1; }, kWaitMs));
    EXPECT_EQ(log.completions.last().PropertyName, QStringLiteral("quick"));
    EXPECT_EQ(log.completions.last().StatusCode, 6);
    for (qsizetype i = seen; i < log.progress.size(); ++i)
        EXPECT_EQ(log.progress[i].PropertyName, QStringLiteral("quick"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(warnings.warnings().isEmpty()) << warnings.warnings().join(QLatin1Char('\n')).toStdString();
}
