#include "window_fixture.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>

namespace vidmora::test {

QByteArray thumbnailJpeg(const QColor &color)
{
    QImage image(120, 90, QImage::Format_RGB32);
    image.fill(color);
    QPainter p(&image);
    p.fillRect(20, 20, 40, 30, Qt::white);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

QByteArray sampleFlv()
{
    static QByteArray cached;
    static bool made = false;
    if (made)
        return cached;
    made = true;
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("sample.flv"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                  QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc=size=160x120:rate=15"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                  QStringLiteral("-i"), QStringLiteral("sine=frequency=440:sample_rate=22050"), QStringLiteral("-t"),
                  QStringLiteral("1"), QStringLiteral("-c:v"), QStringLiteral("flv"), QStringLiteral("-c:a"),
                  QStringLiteral("libmp3lame"), QStringLiteral("-ar"), QStringLiteral("22050"), out});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return cached;
    cached = readFile(out);
    return cached;
}

QString probeFormat(const QString &path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format=format_name"), QStringLiteral("-of"),
                 QStringLiteral("default=noprint_wrappers=1:nokey=1"), path});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return QString();
    return QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
}

WindowTest::WindowTest()
    : siteMap(kSiteHost, site.port())
    , imageMap(kImageHost, site.port())
{
}

WindowTest::~WindowTest()
{
    window.reset();
    realDownloads.reset();
}

void WindowTest::makeWindow(Downloads downloads, const QString &programFolder)
{
    main_window::Form1Setup setup;
    setup.wsc = std::make_unique<DGSwsHTTP>(platform::createTcpSocket(), kSiteHost);
    pageClient = setup.wsc.get();
    if (downloads == Downloads::Real) {
        realDownloads = std::make_unique<platform::QtAsyncDownloadService>(std::chrono::milliseconds(30000));
        setup.downloadService = realDownloads.get();
    } else {
        setup.downloadService = &fakeDownloads;
    }
    setup.messageBox = &box;
    setup.shell = &shell;
    setup.programFolder = programFolder.isEmpty() ? QStringLiteral(VIDMORA_TEST_BIN_DIR) : programFolder;
    setup.saveFolder = saveFolder();
    if (!folderAbove.isEmpty())
        QDir().mkpath(m_temp.path() + folderAbove);
    setup.siteHost = kSiteHost;
    setup.siteDomain = kSiteDomain;
    setup.imageHost = kImageHost;
    setup.makerHost = kMakerHost;
    // Tests run side by side: the driver may only end converters this test started.
    setup.makeConverter = [](platform::Timer &timer1, const QString &converterPath) {
        return std::make_unique<AVC>(timer1, converterPath,
                                     platform::makeProcessControl(platform::ProcessScope::OwnDescendants),
                                     kMakerHost);
    };
    setup.endProgram = [this] { ++endProgramCalls; };
    if (adjustSetup)
        adjustSetup(setup);
    window = std::make_unique<main_window::Form1>(std::move(setup));
    QObject::connect(window.get(), &main_window::Form1::statusLineChanged, window.get(),
                     [this](const QString &text) { statuses.append(text); });
    window->show();
}

void WindowTest::serveWatchPage(const WatchPageFields &fields, int pageStatus)
{
    HttpFixtureServer::Response page = pageStatus == 200
        ? HttpFixtureServer::ok(watchPage(fields).toLatin1(), "text/html")
        : HttpFixtureServer::status(pageStatus, watchPage(fields).toLatin1());
    // Several packets, so that the window sees the fetch's progress.
    page.chunkSize = 700;
    page.pauseMs = 2;
    // The page client asks with the absolute address in its request line.
    site.setResponse(("http://" + kSiteHost + "/watch").toLatin1(), page);
}

void WindowTest::serveThumbnail(const QString &videoId)
{
    site.setResponse(("/vi/" + videoId + "/default.jpg").toLatin1(), HttpFixtureServer::ok(thumbnailJpeg(), "image/jpeg"));
}

void WindowTest::serveVideo(const HttpFixtureServer::Response &response)
{
    site.setResponse("/get_video.php", response);
}

QString WindowTest::watchAddress(const QString &videoId) const
{
    return QStringLiteral("http://") + kSiteHost + QStringLiteral("/watch?v=") + videoId;
}

void WindowTest::typeAddress(const QString &text)
{
    auto *box = child<QLineEdit>("txturl");
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

void WindowTest::press(const char *buttonName)
{
    QWidget *b = button(buttonName);
    ASSERT_TRUE(b->isEnabled()) << buttonName;
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, b->rect().center());
}

void WindowTest::pressDownload() { press("Command1"); }

bool WindowTest::waitForPageDone(int ms)
{
    return waitUntil([this] { return statuses.contains(QStringLiteral("Downloading ...")); }, ms);
}

bool WindowTest::runStandardPageRoad(int pageStatus)
{
    serveWatchPage({}, pageStatus);
    serveThumbnail();
    makeWindow(Downloads::Fake);
    typeAddress(watchAddress());
    pressDownload();
    return waitForPageDone();
}

bool WindowTest::waitUntilIdle(int ms)
{
    // "Download" is disabled from the end of the page road until the window is idle again.
    return waitUntil([this] { return statuses.contains(QStringLiteral("Downloading ..."))
                                  && button("Command1")->isEnabled() && !window->IsConverting(); },
                     ms);
}

} // namespace vidmora::test
