// DownloadFile: the thumbnail through the URL-to-file stand-in, against a
// loopback HTTP peer, also while the page fetch runs.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "event_wait.h"
#include "http_client/dgsws_http.h"
#include "http_client/receive_buffer.h"
#include "image_peer.h"
#include "loopback_peer.h"
#include "page_fields/page_fields.h"
#include "scoped_host.h"
#include "test_files.h"

namespace Module1 = vidmora::Module1;
using vidmora::test::headerOf;
using vidmora::test::imageResponse;
using vidmora::test::jpegLike;
using vidmora::test::LoopbackPeer;
using vidmora::test::readFile;
using vidmora::test::ScopedHost;
using vidmora::test::waitUntil;

TEST(DownloadFile, WritesTheThumbnailAskingForTheOriginalHost)
{
    const QByteArray picture = jpegLike(5000);
    LoopbackPeer peer(imageResponse("200 OK", picture, 1000, 2));
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

TEST(DownloadFile, PageFetchRunningMeanwhileLosesAndReordersNothing)
{
    // The page arrives while the thumbnail transfer holds the caller.
    const QByteArray page(30000, 'p');
    LoopbackPeer site(LoopbackPeer::Script{LoopbackPeer::split("HTTP/1.0 200 OK\r\n\r\n" + page, 1460), 0, true});
    LoopbackPeer images(imageResponse("200 OK", jpegLike(3000), 500, 60)); // about 0.3 s
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
