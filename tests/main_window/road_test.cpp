// The request road up to the download: address check, page fetch, details,
// thumbnail, the row and its progress texts.

#include "window_fixture.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "loopback_peer.h"
#include "platform/gui/picture.h"
#include "platform/host_map.h"
#include "western_code_page.h"

namespace vidmora::test {
namespace {

using RoadTest = WindowTest;

QString tokenOf() { return WatchPageFields{}.token; }
QString idOf() { return WatchPageFields{}.videoId; }
QString rowKey() { return QStringLiteral("get_video.php?video_id=") + idOf() + QStringLiteral("&t=") + tokenOf(); }

TEST_F(RoadTest, AddressOffTheSiteGetsTheErrorBoxAndNothingElse)
{
    makeWindow(Downloads::Fake);
    const QString before = window->statusText();
    for (const QString &address : {QStringLiteral("http://www.elsewhere.test/watch?v=abc"),
                                   QStringLiteral("http://www.vidsite.test/view?v=abc"),
                                   QStringLiteral("www.vidsite.test/watch?v=abc"), QStringLiteral("http://")}) {
        box.shown.clear();
        typeAddress(address);
        pressDownload();
        ASSERT_EQ(box.shown.size(), 1) << address.toStdString();
        EXPECT_EQ(box.shown[0].text, QStringLiteral("Is NOT a valid vidsite.test address"));
        EXPECT_EQ(box.shown[0].icon, platform::MessageBox::Icon::Critical);
        EXPECT_EQ(box.shown[0].title, QStringLiteral("Error"));
        EXPECT_EQ(window->statusText(), before);
        EXPECT_FALSE(button("Shape1")->isVisible());
    }
    EXPECT_TRUE(site.requestLines().isEmpty());
}

TEST_F(RoadTest, PageRoadFillsTheDetailsAndQueuesTheVideo)
{
    WatchPageFields fields;
    fields.category = QStringLiteral("Film & Animation");
    fields.description = QStringLiteral("<span >Sunny\tafternoon <SPAN >by the lake");
    serveWatchPage(fields);
    serveThumbnail();
    makeWindow(Downloads::Fake);

    // A doubled scheme and the bare domain are mended in the box itself.
    typeAddress(QStringLiteral("http://http://") + kSiteDomain + QStringLiteral("/watch?v=") + idOf()
                + QStringLiteral("&feature=related"));
    pressDownload();
    const QString mended = watchAddress() + QStringLiteral("&feature=related");
    EXPECT_EQ(child<QLineEdit>("txturl")->text(), mended);
    // The press waited for the thumbnail; the frame over it is shown.
    EXPECT_TRUE(QFileInfo::exists(thumbPath()));
    EXPECT_TRUE(button("Shape1")->isVisible());
    EXPECT_TRUE(button("Command1")->isEnabled()); // stays enabled during the page fetch

    ASSERT_TRUE(waitForPageDone());
    EXPECT_EQ(caption("lblTitle"), QStringLiteral("A Day at the Lake"));
    EXPECT_EQ(caption("lblViews"), QStringLiteral("1,234,567"));
    EXPECT_EQ(caption("lblvmrUser"), QStringLiteral("lakeside_films"));
    EXPECT_EQ(caption("lblDate"), QStringLiteral("May 17, 2008"));
    EXPECT_EQ(caption("lblCat"), QStringLiteral("Film && Animation"));
    EXPECT_EQ(platform::Label::displayHtml(caption("lblCat")), QStringLiteral("Film &amp; Animation"));
    EXPECT_EQ(caption("txtDes"), QStringLiteral("Sunnyafternoon <SPAN >by the lake"));
    EXPECT_TRUE(child<platform::ImageBox>("Image1")->hasPicture());
    EXPECT_EQ(window->GetVideoUrl(),
              QStringLiteral("http://") + kSiteHost + QStringLiteral("/get_video.php?video_id=") + idOf()
                  + QStringLiteral("&t=") + tokenOf());

    // Status texts in order: the press, the fetch's progress, the page, the hand-off.
    ASSERT_GE(statuses.size(), 3);
    EXPECT_EQ(statuses.first(), QStringLiteral("Downloading Data ..."));
    EXPECT_TRUE(statuses.contains(QStringLiteral("Data Recieved / vidsite.test ID Recieved")));
    const qsizetype pageLength = watchPage(fields).toLatin1().size();
    const QStringList progress = progressStatuses();
    if (!progress.isEmpty()) { // a page taken in with its head in one read shows no progress
        EXPECT_EQ(progress.last(), pageProgress(pageLength));
    }
    EXPECT_EQ(statuses.last(), QStringLiteral("Downloading ..."));

    // Requests: the page over HTTP/1.0 with the site's Host line, then the thumbnail.
    const QList<QByteArray> lines = site.requestLines();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines.contains(("GET " + mended + " HTTP/1.0").toLatin1()));
    const QList<QByteArray> hosts = site.hostLines();
    EXPECT_TRUE(hosts.contains(kSiteHost.toLatin1()));
    bool thumbAsked = false;
    for (const QByteArray &line : lines)
        thumbAsked = thumbAsked || line.startsWith(("GET /vi/" + idOf() + "/default.jpg ").toLatin1());
    EXPECT_TRUE(thumbAsked);

    // One row, keyed by the request's last path segment, and one download.
    platform::ListView *rows = list();
    ASSERT_EQ(rows->count(), 1);
    EXPECT_EQ(rows->key(1), rowKey());
    EXPECT_EQ(rows->text(1), QStringLiteral("A Day at the Lake"));
    EXPECT_EQ(rows->subItem(1, 1), rowKey());
    EXPECT_EQ(rows->subItem(1, 2), QStringLiteral("Pending..."));
    EXPECT_EQ(rows->selectedIndex(), 1);
    ASSERT_EQ(fakeDownloads.reads.size(), 1);
    EXPECT_EQ(fakeDownloads.reads[0].target, window->GetVideoUrl());
    EXPECT_EQ(fakeDownloads.reads[0].name, flvPath());
    EXPECT_EQ(window->LastFileName(), QStringLiteral("A Day at the Lake"));
    EXPECT_FALSE(button("Command1")->isEnabled());
    EXPECT_TRUE(button("cmdCancel")->isEnabled());
}

TEST_F(RoadTest, CapitalWatchPrefixPassesButGivesAnEmptyIdentifier)
{
    serveWatchPage();
    makeWindow(Downloads::Fake);
    typeAddress(QStringLiteral("see HTTP://WWW.VIDSITE.TEST/WATCH?V=") + idOf());
    pressDownload();
    EXPECT_TRUE(box.shown.isEmpty());
    bool emptyThumb = false;
    for (const QByteArray &line : site.requestLines())
        emptyThumb = emptyThumb || line.startsWith("GET /vi//default.jpg ");
    EXPECT_TRUE(emptyThumb);
}

TEST_F(RoadTest, PageAnswering404ShowsTheHeadAndIsStillProcessed)
{
    ASSERT_TRUE(runStandardPageRoad(404));
    ASSERT_EQ(box.shown.size(), 1);
    EXPECT_TRUE(box.shown[0].text.startsWith(QStringLiteral("404 Not Found\r\nHTTP/1.1 404 Not Found\r\n"))) << box.shown[0].text.toStdString();
    EXPECT_EQ(box.shown[0].icon, platform::MessageBox::Icon::Exclamation);
    EXPECT_EQ(box.shown[0].title, QStringLiteral("Error"));
    EXPECT_TRUE(statuses.contains(QString())); // the error handler empties the line first
    EXPECT_EQ(caption("lblTitle"), QStringLiteral("A Day at the Lake"));
    EXPECT_EQ(list()->count(), 1);
}

TEST_F(RoadTest, UnreachableSiteShowsTheErrorAndTheNextPressWorks)
{
    serveWatchPage();
    serveThumbnail();
    makeWindow(Downloads::Fake);
    const ClosedLoopbackPort closed;
    ASSERT_NE(closed.port(), 0);
    platform::HostMap::set(kSiteHost, QStringLiteral("127.0.0.1"), closed.port());
    typeAddress(watchAddress());
    pressDownload();
    ASSERT_TRUE(waitUntil([this] { return !box.shown.isEmpty(); }, 20000));
    EXPECT_EQ(box.shown[0].icon, platform::MessageBox::Icon::Exclamation);
    EXPECT_EQ(box.shown[0].title, QStringLiteral("Error"));
    EXPECT_EQ(window->statusText(), QString());
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_EQ(list()->count(), 0);

    // The site is back: the same press now goes the whole page road.
    platform::HostMap::set(kSiteHost, QStringLiteral("127.0.0.1"), site.port());
    pressDownload();
    ASSERT_TRUE(waitForPageDone());
    EXPECT_EQ(list()->count(), 1);
    EXPECT_EQ(fakeDownloads.reads.size(), 1);
}

TEST_F(RoadTest, PageCutShortByAResetShowsTheErrorAndLeavesTheWindowIdle)
{
    serveThumbnail();
    makeWindow(Downloads::Fake);
    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "with Content-Length" : "without Content-Length");
        HttpFixtureServer::Response page = HttpFixtureServer::ok(watchPage(WatchPageFields{}).toLatin1(), "text/html");
        page.contentLength = announced;
        page.cutAfter = 2000;
        page.cut = HttpFixtureServer::Response::Cut::Reset;
        site.setResponse(("http://" + kSiteHost + "/watch").toLatin1(), page);
        box.shown.clear();
        statuses.clear();
        typeAddress(watchAddress());
        pressDownload();
        ASSERT_TRUE(waitUntil([this] { return !box.shown.isEmpty(); }, 20000));
        waitUntil([] { return false; }, 300);
        ASSERT_EQ(box.shown.size(), 1);
        EXPECT_TRUE(box.shown[0].text.startsWith(QString::fromLocal8Bit(std::strerror(ECONNRESET)) + QStringLiteral("\r\nHTTP/1.1 200 OK\r\n")))
            << box.shown[0].text.toStdString();
        EXPECT_EQ(box.shown[0].icon, platform::MessageBox::Icon::Exclamation);
        EXPECT_EQ(box.shown[0].title, QStringLiteral("Error"));
        EXPECT_EQ(window->statusText(), QString());
        EXPECT_TRUE(button("Command1")->isEnabled());
        EXPECT_EQ(caption("lblTitle"), QString()) << "no page was taken apart";
        EXPECT_EQ(list()->count(), 0);
        EXPECT_TRUE(fakeDownloads.reads.isEmpty());
    }
}

TEST_F(RoadTest, VideoCutShortByAResetMarksTheRowAndKeepsNoFile)
{
    serveWatchPage();
    serveThumbnail();
    makeWindow(Downloads::Real);
    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "with Content-Length" : "without Content-Length");
        HttpFixtureServer::Response video = HttpFixtureServer::ok(QByteArray(300000, 'v'), "video/x-flv");
        video.contentLength = announced;
        video.chunkSize = 16 * 1024;
        video.cutAfter = 100000;
        video.cut = HttpFixtureServer::Response::Cut::Reset;
        serveVideo(video);
        statuses.clear();
        typeAddress(watchAddress());
        pressDownload();
        ASSERT_TRUE(waitForPageDone());
        ASSERT_TRUE(waitUntil([this] { return list()->count() == 1 && list()->subItem(1, 2) == QStringLiteral("Error"); }, 30000));
        EXPECT_TRUE(button("Command1")->isEnabled());
        EXPECT_FALSE(window->IsConverting());
        EXPECT_FALSE(QFileInfo::exists(flvPath()));
        for (const QString &name : QDir(saveFolder()).entryList(QDir::Files | QDir::Hidden))
            EXPECT_EQ(name, QStringLiteral("fis.tmp")) << "nothing of the video is kept";
        EXPECT_TRUE(box.shown.isEmpty());
    }
}

TEST_F(RoadTest, SecondPressWhileThePageArrivesDropsTheFirstFetch)
{
    serveWatchPage();
    serveThumbnail();
    makeWindow(Downloads::Fake);
    typeAddress(watchAddress());
    pressDownload();
    pressDownload();
    ASSERT_TRUE(waitForPageDone());
    EXPECT_EQ(list()->count(), 1);
    EXPECT_EQ(fakeDownloads.reads.size(), 1);
    EXPECT_EQ(statuses.count(QStringLiteral("Data Recieved / vidsite.test ID Recieved")), 1);
}

TEST_F(RoadTest, CancelDropsThePageOnItsWay)
{
    serveWatchPage();
    serveThumbnail();
    makeWindow(Downloads::Fake);
    int pagesEnded = 0;
    QObject::connect(pageClient, &DGSwsHTTP::DownloadComplete, window.get(), [&] { ++pagesEnded; });

    // "Cancel" while the page arrives: when it has arrived, nothing follows from it.
    typeAddress(watchAddress());
    pressDownload();
    press("cmdCancel");
    ASSERT_TRUE(waitUntil([&] { return pagesEnded == 1; }, 20000));
    EXPECT_EQ(window->statusText(), readyText());
    EXPECT_EQ(caption("lblTitle"), QString());
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(fakeDownloads.reads.isEmpty());
    EXPECT_TRUE(button("Command1")->isEnabled());

    // "Cancel" handled inside the page step's one pump of the event queue: the
    // details it emptied are not queued as a nameless download.
    QObject::connect(window.get(), &main_window::Form1::statusLineChanged, window.get(), [this](const QString &text) {
        if (text.startsWith(QStringLiteral("Data Recieved")))
            QTimer::singleShot(0, window.get(), [this] { press("cmdCancel"); });
    });
    typeAddress(watchAddress());
    pressDownload();
    ASSERT_TRUE(waitUntil([&] { return pagesEnded == 2; }, 20000));
    EXPECT_EQ(window->statusText(), readyText());
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(fakeDownloads.reads.isEmpty());
    EXPECT_TRUE(button("Command1")->isEnabled());
}

TEST_F(RoadTest, DownloadPressedInsideThePageStepsPumpStartsTheNextFetch)
{
    serveWatchPage();
    serveThumbnail();
    makeWindow(Downloads::Fake);
    int pagesEnded = 0;
    QObject::connect(pageClient, &DGSwsHTTP::DownloadComplete, window.get(), [&] { ++pagesEnded; });

    // The press is posted when the first page has arrived, so that the page
    // step's one pump of the event queue handles it: the fetch starts again
    // while the socket is still inside its Close event.
    bool posted = false;
    QObject::connect(window.get(), &main_window::Form1::statusLineChanged, window.get(), [&](const QString &text) {
        if (!posted && text.startsWith(QStringLiteral("Data Recieved"))) {
            posted = true;
            QTimer::singleShot(0, window.get(), [this] { pressDownload(); });
        }
    });
    typeAddress(watchAddress());
    pressDownload();
    ASSERT_TRUE(waitUntil([&] { return pagesEnded == 2; }, 20000)) << pagesEnded;
    ASSERT_TRUE(waitUntil([&] { return statuses.count(QStringLiteral("Downloading ...")) == 2; }, 20000));
    EXPECT_TRUE(posted);
    // The second page went out on the wire and was processed like the first.
    int pageRequests = 0;
    for (const QByteArray &line : site.requestLines())
        pageRequests += line.contains("/watch?v=") ? 1 : 0;
    EXPECT_EQ(pageRequests, 2);
    EXPECT_EQ(statuses.count(QStringLiteral("Downloading Data ...")), 2);
    EXPECT_EQ(statuses.count(QStringLiteral("Data Recieved / vidsite.test ID Recieved")), 2);
    EXPECT_EQ(caption("lblTitle"), QStringLiteral("A Day at the Lake"));
    EXPECT_EQ(window->statusText(), QStringLiteral("Downloading ..."));
    EXPECT_FALSE(button("Command1")->isEnabled());
    EXPECT_TRUE(box.shown.isEmpty());
}

TEST_F(RoadTest, ThumbnailOfAnEarlierRequestIsNeverShown)
{
    serveWatchPage(); // no thumbnail: the image host answers 404
    makeWindow(Downloads::Fake);
    ASSERT_TRUE(writeFile(thumbPath(), thumbnailJpeg(Qt::red))) << thumbPath().toStdString();

    typeAddress(watchAddress());
    pressDownload();
    ASSERT_TRUE(waitForPageDone());
    EXPECT_FALSE(QFileInfo::exists(thumbPath()));
    EXPECT_FALSE(child<platform::ImageBox>("Image1")->hasPicture());
    EXPECT_TRUE(child<platform::ImageBox>("Image1")->pixmap().isNull());
}

TEST_F(RoadTest, NextVideoWithoutAThumbnailDoesNotShowTheFailedOnesPicture)
{
    // The first video's thumbnail shows; its download then fails (the video
    // request answers 404), which leaves its details and picture up.
    serveWatchPage();
    serveThumbnail();
    serveVideo(HttpFixtureServer::status(404, "gone"));
    makeWindow();
    typeAddress(watchAddress());
    pressDownload();
    ASSERT_TRUE(waitForPageDone());
    auto *image = child<platform::ImageBox>("Image1");
    ASSERT_TRUE(image->hasPicture());
    const QImage first = image->pixmap().toImage();
    EXPECT_GT(first.pixelColor(first.width() / 2, first.height() / 2).green(), 100); // the green test picture
    ASSERT_TRUE(waitUntilIdle());
    ASSERT_EQ(window->statusText(), QStringLiteral("Download failed"));
    ASSERT_TRUE(image->hasPicture());

    // The next video has no thumbnail: its details come without a picture.
    WatchPageFields second;
    second.videoId = QStringLiteral("Second00001");
    second.titleElement = QStringLiteral("Vidmora - Second Clip");
    serveWatchPage(second);
    typeAddress(watchAddress(second.videoId));
    statuses.clear();
    pressDownload();
    ASSERT_TRUE(waitForPageDone());
    EXPECT_EQ(caption("lblTitle"), QStringLiteral("Second Clip"));
    EXPECT_FALSE(QFileInfo::exists(thumbPath()));
    EXPECT_FALSE(image->hasPicture());
    EXPECT_TRUE(image->pixmap().isNull());
}

TEST_F(RoadTest, TitleHoldingANulIsSavedAndConvertedUnderTheCleanedName)
{
    const QByteArray flv = sampleFlv();
    if (flv.isEmpty())
        GTEST_SKIP() << "ffmpeg could not make the sample video";
    // The page is plain HTTP: whoever sits on the path writes the title.
    WatchPageFields fields;
    fields.titleElement = QStringLiteral("Vidmora - .bashrc") + QChar(0) + QStringLiteral(" tail\n");
    serveWatchPage(fields);
    serveThumbnail();
    serveVideo(HttpFixtureServer::ok(flv, "video/x-flv"));
    makeWindow();
    // A file of the user's under the name the NUL would cut the title to.
    const QString users = saveFolder() + QStringLiteral("/.bashrc");
    ASSERT_TRUE(writeFile(users, "export PATH=/usr/bin\n"));

    typeAddress(watchAddress());
    pressDownload();
    ASSERT_TRUE(waitUntilIdle()) << statuses.join(QLatin1Char('|')).toStdString();

    // The file drops the dot that would hide it.
    EXPECT_EQ(window->LastFileName(), QStringLiteral("bashrc tail"));
    EXPECT_EQ(probeFormat(saveFolder() + QStringLiteral("/bashrc tail.avi")), QStringLiteral("avi"));
    EXPECT_EQ(readFile(users), QByteArray("export PATH=/usr/bin\n"));
    EXPECT_EQ(QDir(saveFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral(".bashrc"), QStringLiteral("bashrc tail.avi")}));
    EXPECT_EQ(statuses.last(), readyText());
    EXPECT_TRUE(box.shown.isEmpty());
}

// Titles from real pages through the page road to the name of the download
// (and, for some, through the converter to the output's name).
struct TitleCase {
    const char *name;
    QString titleElement;
    bool latin1 = false;      // the page is sent in a single-byte code page, not UTF-8
    bool splitInside = false; // a packet ends inside the page's first non-ASCII character
    QString videoId = WatchPageFields{}.videoId;
    QString caption;          // the title as shown
    QString fileName;         // the download's name, without folder and ".flv"
    bool convert = false;     // also download and convert it for real
    QString details = {};     // set: the page's description holds the title element too and shows as this
    bool noStartMarker = false; // the page has no "<title>": it begins with the title element and "</title>"
};

void PrintTo(const TitleCase &c, std::ostream *os) { *os << c.name; }

class TitleRoadTest : public WindowTest, public ::testing::WithParamInterface<TitleCase> {};

const QString kCjk60 = QStringLiteral("\u65e5\u672c\u8a9e\u306e\u984c").repeated(12);
const QString kPastBmp = QStringLiteral("\U00020BB7"); // one character, two UTF-16 units

// A page that is not UTF-8 is read in the Western single-byte code page.
QString western(const char *bytes) { return QString::fromLatin1(bytes); } // sent byte for byte (latin1 rows)
const QString kSkoda = QStringLiteral("\u0160koda \u2013 \u017dilina \u20ac 5");
const QString kCurly = QStringLiteral("\u201cQuoted\u201d and \u2018single\u2019");

const TitleCase kTitleCases[] = {
    {"utf8 accents and cjk", QStringLiteral("Vidmora - Caf\u00e9 M\u00fcller \u2013 \u65e5\u672c\u8a9e"), false, false,
     WatchPageFields{}.videoId, QStringLiteral("Caf\u00e9 M\u00fcller \u2013 \u65e5\u672c\u8a9e"),
     QStringLiteral("Caf\u00e9 M\u00fcller \u2013 \u65e5\u672c\u8a9e"), true},
    {"utf8 split across two packets", QStringLiteral("Vidmora - \u65e5\u672c\u8a9e clip"), false, true,
     WatchPageFields{}.videoId, QStringLiteral("\u65e5\u672c\u8a9e clip"), QStringLiteral("\u65e5\u672c\u8a9e clip")},
    {"single-byte page", QStringLiteral("Vidmora - Caf\u00e9 M\u00fcller"), true, false, WatchPageFields{}.videoId,
     QStringLiteral("Caf\u00e9 M\u00fcller"), QStringLiteral("Caf\u00e9 M\u00fcller")},
    {"c1 controls", QStringLiteral("Vidmora - Bad\u0085Na\u009bme"), false, false, WatchPageFields{}.videoId,
     QStringLiteral("BadName"), QStringLiteral("BadName")},
    {"60 cjk characters across the cut", kCjk60, false, true, WatchPageFields{}.videoId, kCjk60.left(50),
     kCjk60.left(50)},
    {"a pair across the cut", QString(49, QLatin1Char('a')) + kPastBmp + QStringLiteral("bc"), false, false,
     WatchPageFields{}.videoId, QString(49, QLatin1Char('a')), QString(49, QLatin1Char('a'))},
    {"empty", QString(), false, false, WatchPageFields{}.videoId, QString(), WatchPageFields{}.videoId, true},
    {"two dots", QStringLiteral(".."), false, false, WatchPageFields{}.videoId, QStringLiteral(".."),
     WatchPageFields{}.videoId},
    {"dots before the name", QStringLiteral("Vidmora - ...Sunset"), false, false, WatchPageFields{}.videoId,
     QStringLiteral("...Sunset"), QStringLiteral("Sunset"), true},
    {"empty, identifier with a path", QString(), false, false, QStringLiteral("../.x_1"), QString(),
     QStringLiteral("x_1")},
    {"dots, no identifier", QStringLiteral("..."), false, false, QString(), QStringLiteral("..."),
     QStringLiteral("video")},
    {"western code page", western("\x8a\x6b\x6f\x64\x61\x20\x96\x20\x8e\x69\x6c\x69\x6e\x61\x20\x80\x20\x35"),
     true, false, WatchPageFields{}.videoId, kSkoda, kSkoda, true, kSkoda},
    {"western curly quotes", western("\x93Quoted\x94 and \x91single\x92"), true, false, WatchPageFields{}.videoId,
     kCurly, kCurly, false, kCurly},
    // The five bytes the code page leaves undefined are control characters: the title drops them.
    {"western, every byte 0x80-0x9F", QString::fromLatin1(westernHighBytes()), true, false,
     WatchPageFields{}.videoId,
     QString(westernHighCharacters()).remove(QRegularExpression(QStringLiteral("[\\x{80}-\\x{9f}]"))),
     QString(westernHighCharacters()).remove(QRegularExpression(QStringLiteral("[\\x{80}-\\x{9f}]"))), false,
     westernHighCharacters()},
    {"the same title in utf8", kSkoda, false, false, WatchPageFields{}.videoId, kSkoda, kSkoda, false, kSkoda},
    // One stray byte makes the whole page single-byte, its UTF-8 letters included.
    {"utf8 with one stray byte", western("Caf\xc3\xa9 \xe2\x80\x93 \x80 5"), true, false, WatchPageFields{}.videoId,
     QStringLiteral("Caf\u00c3\u00a9 \u00e2\u20ac\u201c \u20ac 5"),
     QStringLiteral("Caf\u00c3\u00a9 \u00e2\u20ac\u201c \u20ac 5"), false,
     QStringLiteral("Caf\u00c3\u00a9 \u00e2\u20ac\u201c \u20ac 5")},
    // Without "<title>" the title is cut from a fixed place, here inside the
    // pair of U+1F600: it begins after that character, never with half of it.
    {"cut from the fixed place inside a pair", QStringLiteral("abcde\U0001F600xyz ok"), false, false,
     WatchPageFields{}.videoId, QStringLiteral("xyz ok"), QStringLiteral("xyz ok"), false, QString(), true},
};

TEST_P(TitleRoadTest, TitleNamesAVisibleDownload)
{
    const TitleCase &c = GetParam();
    WatchPageFields fields;
    fields.titleElement = c.titleElement;
    fields.videoId = c.videoId;
    if (!c.details.isNull())
        fields.description = c.titleElement;
    QString page = watchPage(fields);
    if (c.noStartMarker) {
        const QString element = QStringLiteral("<title>") + c.titleElement + QStringLiteral("</title>");
        ASSERT_TRUE(page.contains(element));
        page = c.titleElement + QStringLiteral("</title>\n") + page.remove(element);
    }
    const QByteArray bytes = c.latin1 ? page.toLatin1() : page.toUtf8();
    HttpFixtureServer::Response response = pageResponse(bytes);
    if (c.splitInside) {
        const qsizetype lead = std::find_if(bytes.begin(), bytes.end(), [](char b) { return b & 0x80; }) - bytes.begin();
        ASSERT_LT(lead, bytes.size());
        response.chunkSize = lead + 1; // the first piece ends with the character's lead byte
        response.pauseMs = 30;
    }
    site.setResponse(("http://" + kSiteHost + "/watch").toLatin1(), response);
    serveThumbnail();
    const QByteArray flv = c.convert ? sampleFlv() : QByteArray();
    if (c.convert && flv.isEmpty())
        GTEST_SKIP() << "ffmpeg could not make the sample video";
    if (c.convert)
        serveVideo(HttpFixtureServer::ok(flv, "video/x-flv"));
    makeWindow(c.convert ? Downloads::Real : Downloads::Fake);

    typeAddress(watchAddress());
    pressDownload();
    ASSERT_TRUE(waitForPageDone());
    EXPECT_EQ(caption("lblTitle"), c.caption);
    ASSERT_EQ(list()->count(), 1);
    EXPECT_EQ(list()->text(1), c.caption);
    EXPECT_EQ(window->LastFileName(), c.fileName);
    if (!c.details.isNull()) {
        EXPECT_EQ(caption("txtDes"), c.details);
    }
    // The page's progress counted its bytes, whatever its characters.
    const QStringList progress = progressStatuses();
    if (!progress.isEmpty()) { // a page taken in with its head in one read shows no progress
        EXPECT_EQ(progress.last(), pageProgress(bytes.size()));
    }
    if (!c.convert) {
        ASSERT_EQ(fakeDownloads.reads.size(), 1);
        EXPECT_EQ(fakeDownloads.reads[0].name, saveFolder() + QStringLiteral("/") + c.fileName + QStringLiteral(".flv"));
        return;
    }
    ASSERT_TRUE(waitUntilIdle()) << statuses.join(QLatin1Char('|')).toStdString();
    const QString output = c.fileName + QStringLiteral(".avi");
    EXPECT_EQ(probeFormat(saveFolder() + QStringLiteral("/") + output), QStringLiteral("avi"));
    EXPECT_EQ(QDir(saveFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{output});
    EXPECT_EQ(statuses.last(), readyText());
    EXPECT_TRUE(box.shown.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(PagesOfTheSite, TitleRoadTest, ::testing::ValuesIn(kTitleCases),
                         [](const ::testing::TestParamInfo<TitleCase> &info) {
                             std::string n = info.param.name;
                             for (char &ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

TEST(PictureLoading, RecognisesAJpegByItsContentWhateverItsName)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fis.tmp"));
    ASSERT_TRUE(writeFile(path, thumbnailJpeg())) << path.toStdString();
    EXPECT_EQ(platform::loadPicture(path).size(), QSize(120, 90));
    EXPECT_TRUE(platform::loadPicture(dir.filePath(QStringLiteral("missing.tmp"))).isNull());
    ASSERT_TRUE(writeFile(dir.filePath(QStringLiteral("junk.tmp")), "not a picture"));
    EXPECT_TRUE(platform::loadPicture(dir.filePath(QStringLiteral("junk.tmp"))).isNull());
}

// The download list driven through a scripted download service.
class DownloadListTest : public WindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runStandardPageRoad());
        ASSERT_EQ(fakeDownloads.reads.size(), 1);
    }
    QString rowStatus(int row = 1) const { return list()->subItem(row, 2); }
};

TEST_F(DownloadListTest, ProgressShowsTheSizeStillToComeAndThePercentage)
{
    struct Case {
        qint32 cur, max;
        const char *text;
    };
    const Case cases[] = {
        {524288, 1048576, "512.0 KB (50.0%)"},
        {6500000, 10000000, "3.34 MB (65.0%)"},
        {0, 1048576, "1.00 MB (0.0%)"},       // exactly 2^20 still to come: megabytes
        {1, 1048576, "1024.0 KB (0.0%)"},     // one byte less: kilobytes
        {1048576, 1048576, "0.0 KB (100.0%)"},
    };
    for (const Case &c : cases) {
        fakeDownloads.progress(flvPath(), 5, c.cur, c.max);
        EXPECT_EQ(rowStatus(), QString::fromLatin1(c.text)) << c.cur << " of " << c.max;
    }
    // No announced length: nothing to divide by, the row keeps its text.
    fakeDownloads.progress(flvPath(), 4, 1000, 0);
    EXPECT_EQ(rowStatus(), QStringLiteral("0.0 KB (100.0%)"));
}

TEST_F(DownloadListTest, FailedDownloadMarksTheRowAndLetsANewRequestStart)
{
    fakeDownloads.complete(flvPath(), 0);
    EXPECT_EQ(rowStatus(), QStringLiteral("Error"));
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_FALSE(button("cmdCancel")->isEnabled());
    EXPECT_FALSE(window->IsConverting());
    EXPECT_FALSE(QFileInfo::exists(flvPath()));
    EXPECT_TRUE(box.shown.isEmpty());

    // The same video again: the failed row gives way and the download starts anew.
    pressDownload();
    statuses.clear();
    ASSERT_TRUE(waitForPageDone());
    ASSERT_EQ(list()->count(), 1);
    EXPECT_EQ(rowStatus(), QStringLiteral("Pending..."));
    EXPECT_EQ(list()->selectedIndex(), 1);
    EXPECT_EQ(fakeDownloads.reads.size(), 2);
}

TEST_F(DownloadListTest, ClosedWindowHandlesNothingMore)
{
    window->close();
    EXPECT_EQ(endProgramCalls, 1);
    fakeDownloads.progress(flvPath(), 5, 524288, 1048576);
    fakeDownloads.complete(flvPath(), 6, QByteArray("not converted"));
    EXPECT_EQ(rowStatus(), QStringLiteral("Pending..."));
    EXPECT_TRUE(box.shown.isEmpty());
    EXPECT_EQ(window->statusText(), QStringLiteral("Downloading ..."));
}

TEST_F(DownloadListTest, CancelRemovesTheRowAndResetsTheWindow)
{
    EXPECT_FALSE(button("Command1")->isEnabled());
    press("cmdCancel");
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_EQ(child<QLineEdit>("txturl")->text(), QStringLiteral("http://"));
    EXPECT_EQ(caption("lblTitle"), QString());
    EXPECT_EQ(caption("lblDate"), QString()); // the design texts are not restored
    EXPECT_FALSE(child<platform::ImageBox>("Image1")->hasPicture());
    EXPECT_EQ(window->statusText(), readyText());
    EXPECT_TRUE(fakeDownloads.cancels.contains(flvPath()));
    EXPECT_FALSE(window->IsConverting());
    // A download has been started in this run, so "Play" shows; no profile has
    // matched yet, so it asks for the file name without an extension.
    ASSERT_TRUE(button("Button1")->isVisible());
    press("Button1");
    EXPECT_EQ(shell.opened, QStringList{saveFolder() + QStringLiteral("/A Day at the Lake")});
}

TEST_F(RoadTest, CancelWithNothingRunningResetsTheWindow)
{
    makeWindow(Downloads::Fake);
    typeAddress(QStringLiteral("http://typed"));
    press("cmdCancel");
    EXPECT_EQ(child<QLineEdit>("txturl")->text(), QStringLiteral("http://"));
    EXPECT_EQ(window->statusText(), readyText());
    EXPECT_TRUE(button("Command1")->isEnabled());
    EXPECT_FALSE(button("Button1")->isVisible()); // nothing was downloaded in this run
    EXPECT_TRUE(fakeDownloads.cancels.isEmpty());
}

TEST_F(RoadTest, RowKeyIsTheTextAfterTheRequestsLastSlash)
{
    makeWindow(Downloads::Fake);
    struct Case {
        QString url;
        QString key; // empty: no row and no download
    };
    const Case cases[] = {
        {QStringLiteral("http://h/get_video.php?video_id=a/b&t=c"), QStringLiteral("b&t=c")},
        {QStringLiteral("http://h/get_video.php?video_id=x&t=y"), QStringLiteral("get_video.php?video_id=x&t=y")},
        {QStringLiteral("nothing-to-cut/"), QString()}, // a "/" in the last place is never taken
        {QStringLiteral("noslash"), QString()},
    };
    qsizetype reads = 0;
    for (const Case &c : cases) {
        window->Add2DownQue(c.url, QStringLiteral("clip"), QStringLiteral("Clip"));
        if (c.key.isEmpty()) {
            EXPECT_EQ(fakeDownloads.reads.size(), reads) << c.url.toStdString();
            continue;
        }
        ++reads;
        ASSERT_EQ(fakeDownloads.reads.size(), reads) << c.url.toStdString();
        const int row = list()->indexOfKey(c.key);
        ASSERT_NE(row, 0) << c.url.toStdString();
        EXPECT_EQ(list()->subItem(row, 1), c.key);
        EXPECT_EQ(list()->subItem(row, 2), QStringLiteral("Pending..."));
    }
    // A key already listed: nothing is added or started, the last file name stays.
    window->Add2DownQue(QStringLiteral("http://other/x/b&t=c"), QStringLiteral("another"), QStringLiteral("Another"));
    EXPECT_EQ(fakeDownloads.reads.size(), reads);
    EXPECT_EQ(list()->count(), 2);
    EXPECT_EQ(window->LastFileName(), QStringLiteral("clip"));
}

TEST_F(DownloadListTest, EveryRowShowsTheCurrentProgress)
{
    // A second video while the first is listed: rows share the progress text.
    WatchPageFields second;
    second.videoId = QStringLiteral("Second00001");
    second.titleElement = QStringLiteral("Vidmora - Second Clip");
    serveWatchPage(second);
    child<QWidget>("Command1")->setEnabled(true);
    typeAddress(watchAddress(second.videoId));
    statuses.clear();
    pressDownload();
    ASSERT_TRUE(waitForPageDone());
    ASSERT_EQ(list()->count(), 2);
    EXPECT_EQ(list()->selectedIndex(), 1); // the first row stays the selected one
    fakeDownloads.progress(saveFolder() + QStringLiteral("/Second Clip.flv"), 5, 524288, 1048576);
    EXPECT_EQ(rowStatus(1), QStringLiteral("512.0 KB (50.0%)"));
    EXPECT_EQ(rowStatus(2), QStringLiteral("512.0 KB (50.0%)"));
}

} // namespace
} // namespace vidmora::test
