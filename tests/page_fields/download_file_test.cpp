// DownloadFile and the URL-to-file stand-in against a loopback HTTP peer.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "event_wait.h"
#include "http_client/dgsws_http.h"
#include "http_client/receive_buffer.h"
#include "loopback_peer.h"
#include "ordinary_user.h"
#include "page_fields/page_fields.h"
#include "platform/url_to_file.h"
#include "scoped_host.h"
#include "test_files.h"

namespace Module1 = vidmora::Module1;
using vidmora::test::LoopbackPeer;
using vidmora::test::readFile;
using vidmora::test::ScopedHost;
using vidmora::test::waitUntil;

namespace {

QByteArray jpegLike(qsizetype n)
{
    QByteArray b("\xff\xd8\xff\xe0", 4);
    for (qsizetype i = 4; i < n; ++i)
        b.append(char(i * 31));
    return b;
}

LoopbackPeer::Script http(const QByteArray &status, const QByteArray &body, int pieceSize = 0, int pauseMs = 0)
{
    const QByteArray all = "HTTP/1.1 " + status + "\r\nContent-Type: image/jpeg\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    return LoopbackPeer::Script{pieceSize > 0 ? LoopbackPeer::split(all, pieceSize) : QList<QByteArray>{all}, pauseMs, true};
}

QByteArray headerOf(const QByteArray &request, const QByteArray &name)
{
    for (const QByteArray &line : request.split('\n'))
        if (line.toLower().startsWith(name.toLower() + ":"))
            return line.mid(name.size() + 1).trimmed();
    return {};
}

} // namespace

TEST(DownloadFile, WritesTheThumbnailAskingForTheOriginalHost)
{
    const QByteArray picture = jpegLike(5000);
    LoopbackPeer peer(http("200 OK", picture, 1000, 2));
    ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
    QTemporaryDir dir;
    QString url = QStringLiteral("http://img.vidsite.example/vi/Xy3_abcDEF0/default.jpg");
    QString target = dir.filePath(QStringLiteral("fis.tmp"));
    Module1::DownloadFile(url, target);
    EXPECT_EQ(readFile(target), picture);
    ASSERT_EQ(peer.requests().size(), 1);
    const QByteArray request = peer.requests().first();
    EXPECT_TRUE(request.startsWith("GET /vi/Xy3_abcDEF0/default.jpg HTTP/1.")) << request.constData();
    EXPECT_EQ(headerOf(request, "Host"), QByteArray("img.vidsite.example"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"fis.tmp"}));
}

TEST(DownloadFile, FollowsARedirectionThroughTheHostMap)
{
    LoopbackPeer images([](const QByteArray &request) {
        if (request.startsWith("GET /vi/x/default.jpg "))
            return LoopbackPeer::Script{{"HTTP/1.1 302 Found\r\nLocation: http://cdn.vidsite.example/pics/x.jpg\r\n"
                                         "Content-Length: 5\r\n\r\nmoved"},
                                        0, true};
        return http("200 OK", "the picture");
    });
    ScopedHost a(QStringLiteral("img.vidsite.example"), images.port());
    ScopedHost b(QStringLiteral("cdn.vidsite.example"), images.port());
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("fis.tmp"));
    EXPECT_TRUE(vidmora::platform::urlToFile(QStringLiteral("http://img.vidsite.example/vi/x/default.jpg"), target));
    EXPECT_EQ(readFile(target), QByteArray("the picture"));
    ASSERT_EQ(images.requests().size(), 2);
    EXPECT_EQ(headerOf(images.requests().at(1), "Host"), QByteArray("cdn.vidsite.example"));
}

TEST(DownloadFile, FailuresLeaveNoFileAndAnEarlierFileUntouched)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("fis.tmp"));
    QTemporaryDir elsewhere;
    const QString secret = elsewhere.filePath(QStringLiteral("secret.txt"));
    ASSERT_TRUE(vidmora::test::writeFile(secret, "a file of the user's"));
    struct Case {
        const char *name;
        LoopbackPeer::Script script;
    };
    const Case cases[] = {
        {"not found", http("404 Not Found", "<html>no picture</html>")},
        {"server error", http("500 Internal Server Error", "oops")},
        {"cut short", LoopbackPeer::Script{{"HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nonly a bit"}, 0, true}},
        // Only web addresses are followed: the server must not make us copy a local file.
        {"redirected to a local file",
         LoopbackPeer::Script{{"HTTP/1.1 302 Found\r\nLocation: file://localhost" + secret.toUtf8()
                               + "\r\nContent-Length: 0\r\n\r\n"},
                              0, true}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer peer(c.script);
        ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
        QFile::remove(target);
        EXPECT_FALSE(vidmora::platform::urlToFile(QStringLiteral("http://img.vidsite.example/vi/x/default.jpg"), target));
        EXPECT_FALSE(QFile::exists(target));

        // A file left by an earlier request stays as it was.
        ASSERT_TRUE(vidmora::test::writeFile(target, "earlier picture"));
        EXPECT_FALSE(vidmora::platform::urlToFile(QStringLiteral("http://img.vidsite.example/vi/x/default.jpg"), target));
        EXPECT_EQ(readFile(target), QByteArray("earlier picture"));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"fis.tmp"}));
    }
}

TEST(DownloadFile, AnEarlierThumbnailTheUserMayNotWriteIsKept)
{
    // Permissions bind only an ordinary user: the steps run as one.
    struct Case {
        const char *name;
        bool folderLocked;
    };
    const Case cases[] = {
        {"read-only file in a folder the user may write", false},
        {"read-only file in a folder the user may not write", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer peer(http("200 OK", jpegLike(3000)));
        ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
        vidmora::test::OrdinaryUserDir home;
        ASSERT_TRUE(home.isValid());
        const QString folder = QString::fromStdString(home.filePath("save"));
        const QString target = folder + QStringLiteral("/fis.tmp");
        const vidmora::test::ChildOutcome child = vidmora::test::runAsOrdinaryUser([&] {
            const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
            if (!QDir().mkdir(folder) || !vidmora::test::writeFile(target, "earlier picture")
                || !QFile::setPermissions(target, readOnly)
                || (c.folderLocked && !QFile::setPermissions(folder, readOnly | QFileDevice::ExeOwner)))
                return std::string("could not set up");
            const bool written
                = vidmora::platform::urlToFile(QStringLiteral("http://img.vidsite.example/vi/x/default.jpg"), target);
            return std::string(written ? "written" : "failed");
        });
        ASSERT_TRUE(child.ran) << child.describe();
        EXPECT_EQ(child.report, "failed");
        EXPECT_EQ(readFile(target), QByteArray("earlier picture"));
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList({"fis.tmp"}));
        EXPECT_TRUE(peer.requests().isEmpty()) << "refused before anything is fetched";
    }
}

TEST(DownloadFile, RefusedConnectionAndMissingFolderReportNothingAndWriteNothing)
{
    QTemporaryDir dir;
    const vidmora::test::ClosedLoopbackPort closed;
    ScopedHost refused(QStringLiteral("img.vidsite.example"), closed.port());
    QString url = QStringLiteral("http://img.vidsite.example/vi/x/default.jpg");
    QString target = dir.filePath(QStringLiteral("fis.tmp"));
    Module1::DownloadFile(url, target);
    EXPECT_FALSE(QFile::exists(target));

    LoopbackPeer peer(http("200 OK", "picture"));
    ScopedHost mapped(QStringLiteral("img2.vidsite.example"), peer.port());
    QString url2 = QStringLiteral("http://img2.vidsite.example/vi/x/default.jpg");
    QString nowhere = dir.filePath(QStringLiteral("no such folder/fis.tmp"));
    Module1::DownloadFile(url2, nowhere);
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(DownloadFile, TargetHoldingANulIsRefusedBeforeAnythingIsFetched)
{
    LoopbackPeer peer(http("200 OK", "picture"));
    ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
    QTemporaryDir dir;
    // Cut at the NUL, the name would be a file the user already has.
    const QString existing = dir.filePath(QStringLiteral(".bashrc"));
    ASSERT_TRUE(vidmora::test::writeFile(existing, "mine"));
    QString url = QStringLiteral("http://img.vidsite.example/vi/x/default.jpg");
    QString target = existing + QChar(0) + QStringLiteral("fis.tmp");
    EXPECT_FALSE(vidmora::platform::urlToFile(url, target));
    Module1::DownloadFile(url, target);
    EXPECT_EQ(readFile(existing), QByteArray("mine"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({".bashrc"}));
    EXPECT_TRUE(peer.requests().isEmpty());
}

TEST(DownloadFile, SilentServerIsGivenUpWithinTheBound)
{
    LoopbackPeer peer(LoopbackPeer::Script{{}, 0, false}); // reads the request, never answers
    ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("fis.tmp"));
    EXPECT_FALSE(vidmora::platform::urlToFile(QStringLiteral("http://img.vidsite.example/vi/x/default.jpg"), target, 300));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(DownloadFile, PageFetchRunningMeanwhileLosesAndReordersNothing)
{
    // The page arrives while the thumbnail transfer holds the caller.
    const QByteArray page(30000, 'p');
    LoopbackPeer site(LoopbackPeer::Script{LoopbackPeer::split("HTTP/1.0 200 OK\r\n\r\n" + page, 1460), 0, true});
    LoopbackPeer images(http("200 OK", jpegLike(3000), 500, 60)); // about 0.3 s
    ScopedHost siteHost(QStringLiteral("www.vidsite.example"), site.port());
    ScopedHost imageHost(QStringLiteral("img.vidsite.example"), images.port());

    vidmora::DGSwsHTTP wsc(vidmora::platform::createTcpSocket(), QStringLiteral("www.vidsite.example"));
    QStringList events;
    QList<qint32> progress;
    QObject::connect(&wsc, &vidmora::DGSwsHTTP::ProgressChanged, [&](qint32 n) {
        progress.append(n);
        events.append(QStringLiteral("progress"));
    });
    QObject::connect(&wsc, &vidmora::DGSwsHTTP::DownloadComplete, [&] { events.append(QStringLiteral("complete")); });
    QObject::connect(&wsc, &vidmora::DGSwsHTTP::httpError, [&](QString &m, QString &) { events.append("error " + m); });

    QTemporaryDir dir;
    QString watch = QStringLiteral("http://www.vidsite.example/watch?v=Xy3_abcDEF0");
    wsc.geturl(watch);
    QString thumb = QStringLiteral("http://img.vidsite.example/vi/Xy3_abcDEF0/default.jpg");
    QString target = dir.filePath(QStringLiteral("fis.tmp"));
    Module1::DownloadFile(thumb, target);
    EXPECT_TRUE(events.isEmpty()); // nothing ran on this thread during the wait
    EXPECT_EQ(readFile(target).size(), 3000);

    ASSERT_TRUE(waitUntil([&] { return events.contains(QStringLiteral("complete")); }, 30000));
    EXPECT_EQ(events.last(), QStringLiteral("complete"));
    EXPECT_EQ(events.count(QStringLiteral("complete")), 1);
    EXPECT_EQ(wsc.filedata.toString().toLatin1(), page);
    for (qsizetype i = 1; i < progress.size(); ++i)
        EXPECT_GT(progress[i], progress[i - 1]);
    Module1::BufClear();
}

TEST(DownloadFile, ABodyCutByAResetIsAFailureWithOrWithoutALength)
{
    // Only the reset tells the body without a length that it was cut short:
    // an orderly close would have ended it.
    const QByteArray picture = jpegLike(20000);
    const QByteArray part = picture.left(6000);
    struct Case {
        const char *name;
        QByteArray head;
    };
    const Case cases[] = {
        {"with a length", "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: "
                              + QByteArray::number(picture.size()) + "\r\n\r\n"},
        {"without a length", "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nConnection: close\r\n\r\n"},
    };
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("fis.tmp"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackPeer peer(LoopbackPeer::Script{LoopbackPeer::split(c.head + part, 1000), 2, false, true});
        ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
        QFile::remove(target);
        EXPECT_FALSE(vidmora::platform::urlToFile(QStringLiteral("http://img.vidsite.example/vi/x/default.jpg"), target));
        EXPECT_FALSE(QFile::exists(target));
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }
}

TEST(DownloadFile, AHostThatSendsNothingIsGivenUpLongBeforeTheWholeBound)
{
    // The press waits here with the window frozen: a host that has accepted
    // and says nothing is not worth the whole bound.
    LoopbackPeer peer(LoopbackPeer::Script{{}, 0, false});
    ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
    QTemporaryDir dir;
    QString url = QStringLiteral("http://img.vidsite.example/vi/x/default.jpg");
    QString target = dir.filePath(QStringLiteral("fis.tmp"));
    QElapsedTimer clock;
    clock.start();
    Module1::DownloadFile(url, target);
    EXPECT_LT(clock.elapsed(), 15000) << "a functional bound, well short of the 20 s for a transfer";
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(peer.requests().size(), 1);
}

TEST(DownloadFile, AThumbnailStillTricklingInIsWaitedForPastTheSilenceBound)
{
    // A byte about every second for seven seconds: never silent for long, so
    // the transfer goes on to its end within the whole bound.
    const QByteArray picture = jpegLike(8);
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 8\r\n\r\n";
    QList<QByteArray> pieces{head + picture.left(1)};
    for (qsizetype i = 1; i < picture.size(); ++i)
        pieces.append(picture.mid(i, 1));
    LoopbackPeer peer(LoopbackPeer::Script{pieces, 1000, true});
    ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
    QTemporaryDir dir;
    QString url = QStringLiteral("http://img.vidsite.example/vi/x/default.jpg");
    QString target = dir.filePath(QStringLiteral("fis.tmp"));
    Module1::DownloadFile(url, target);
    EXPECT_EQ(readFile(target), picture);
}
