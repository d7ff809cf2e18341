// The download manager over the real download service and real HTTP on loopback.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "byte_pattern.h"
#include "downloader/down_vidmora.h"
#include "event_log.h"
#include "event_wait.h"
#include "fake_message_box.h"
#include "http_fixture_server.h"
#include "platform/async_download_qt.h"
#include "scoped_host.h"

using vidmora::DownVidmora;
using vidmora::platform::QtAsyncDownloadService;
using vidmora::test::EventLog;
using vidmora::test::FakeMessageBox;
using vidmora::test::HttpFixtureServer;
using vidmora::test::pattern;
using vidmora::test::ScopedHost;
using vidmora::test::waitUntil;

namespace {

constexpr int kWaitMs = 30000;

} // namespace

TEST(DownVidmoraOverHttp, DownloadsIntoTheTargetAndEndsTheBatch)
{
    HttpFixtureServer server;
    const QByteArray body = pattern(1 << 20);
    HttpFixtureServer::Response r = HttpFixtureServer::ok(body);
    r.chunkSize = 256 * 1024;
    r.pauseMs = 10;
    server.setResponse("/get_video.php", r);
    server.setResponse("/gone", HttpFixtureServer::status(404));
    ScopedHost site(QStringLiteral("www.vidsite.example"), server.port());

    QTemporaryDir dir;
    QtAsyncDownloadService service;
    FakeMessageBox box;
    DownVidmora control(service, box);
    EventLog log(control);
    const QString file = dir.path() + QStringLiteral("/My clip.flv");
    int progressWithTargetPresent = 0;
    QObject::connect(&control, &DownVidmora::DownloadProgress, [&](qint32 &, qint32 &, QString &name) {
        progressWithTargetPresent += QFile::exists(name) ? 1 : 0;
    });
    control.BeginDownload(QStringLiteral("http://www.vidsite.example/get_video.php?video_id=q&t=w"), file);
    ASSERT_TRUE(waitUntil([&] { return log.batches == 1; }, kWaitMs));

    EXPECT_EQ(progressWithTargetPresent, 0) << "nothing is at the target while the transfer runs";
    EXPECT_EQ(log.lines.first(), QStringLiteral("Stage Attempting Connection"));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("Progress %1/%1 %2").arg(body.size()).arg(file)));
    EXPECT_EQ(log.outcome(), QStringList({QStringLiteral("Stage Finalizing"), QStringLiteral("Complete %1 %2").arg(body.size()).arg(file),
                                          QStringLiteral("Stage Cancelling"), QStringLiteral("AllComplete []")}));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll() == body);
    EXPECT_EQ(server.hostLines(), QList<QByteArray>({"www.vidsite.example"}));

    // A missing file on the server, and a target in a missing folder: both failures.
    log.lines.clear();
    const QString gone = dir.path() + QStringLiteral("/gone.flv");
    const QString nowhere = dir.path() + QStringLiteral("/no-folder/clip.flv");
    control.BeginDownload(QStringLiteral("http://www.vidsite.example/gone"), gone);
    control.BeginDownload(QStringLiteral("http://www.vidsite.example/get_video.php?video_id=q&t=w"), nowhere);
    ASSERT_TRUE(waitUntil([&] { return log.batches == 2; }, kWaitMs));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("Error ") + gone));
    EXPECT_TRUE(log.lines.contains(QStringLiteral("Error ") + nowhere));
    for (const QString &line : log.lines)
        EXPECT_FALSE(line.startsWith(QLatin1String("Complete "))) << line.toStdString();
    EXPECT_EQ(log.lines.last(), QStringLiteral("AllComplete [|%1|%2]").arg(gone, nowhere));
    EXPECT_FALSE(QFile::exists(gone));
    EXPECT_TRUE(box.shown.isEmpty());
}

TEST(DownVidmoraOverHttp, AnAddressThatCannotBeReadShowsTheWarning)
{
    QtAsyncDownloadService service;
    FakeMessageBox box;
    DownVidmora control(service, box);
    control.BeginDownload(QStringLiteral("ftp://www.vidsite.example/x"), QStringLiteral("/tmp/x.flv"));
    ASSERT_EQ(box.shown.size(), 1);
    EXPECT_EQ(box.shown[0].text, QStringLiteral("-2146697203:Error in call to BeginDownload().\r\n\r\n"
                                                "Error Description: Unsupported protocol: ftp"));
    EXPECT_EQ(box.shown[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(control.queuedFiles().size(), 1);
}
