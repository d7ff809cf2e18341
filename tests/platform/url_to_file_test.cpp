// The URL-to-file stand-in against a loopback HTTP peer.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "image_peer.h"
#include "loopback_peer.h"
#include "ordinary_user.h"
#include "platform/url_to_file.h"
#include "scoped_host.h"
#include "test_files.h"

using vidmora::test::headerOf;
using vidmora::test::imageResponse;
using vidmora::test::jpegLike;
using vidmora::test::LoopbackPeer;
using vidmora::test::readFile;
using vidmora::test::ScopedHost;

TEST(UrlToFile, FollowsARedirectionThroughTheHostMap)
{
    LoopbackPeer images([](const QByteArray &request) {
        if (request.startsWith("GET /vi/x/default.jpg "))
            return LoopbackPeer::Script{{"HTTP/1.1 302 Found\r\nLocation: http://cdn.vidsite.example/pics/x.jpg\r\n"
                                         "Content-Length: 5\r\n\r\nmoved"},
                                        0, true};
        return imageResponse("200 OK", "the picture");
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

TEST(UrlToFile, FailuresLeaveNoFileAndAnEarlierFileUntouched)
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
        {"not found", imageResponse("404 Not Found", "<html>no picture</html>")},
        {"server error", imageResponse("500 Internal Server Error", "oops")},
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

TEST(UrlToFile, AnEarlierThumbnailTheUserMayNotWriteIsKept)
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
        LoopbackPeer peer(imageResponse("200 OK", jpegLike(3000)));
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

TEST(UrlToFile, RefusedConnectionAndMissingFolderFailAndWriteNothing)
{
    QTemporaryDir dir;
    const vidmora::test::ClosedLoopbackPort closed;
    ScopedHost refused(QStringLiteral("img.vidsite.example"), closed.port());
    QString url = QStringLiteral("http://img.vidsite.example/vi/x/default.jpg");
    QString target = dir.filePath(QStringLiteral("fis.tmp"));
    EXPECT_FALSE(vidmora::platform::urlToFile(url, target));
    EXPECT_FALSE(QFile::exists(target));

    LoopbackPeer peer(imageResponse("200 OK", "picture"));
    ScopedHost mapped(QStringLiteral("img2.vidsite.example"), peer.port());
    QString url2 = QStringLiteral("http://img2.vidsite.example/vi/x/default.jpg");
    QString nowhere = dir.filePath(QStringLiteral("no such folder/fis.tmp"));
    EXPECT_FALSE(vidmora::platform::urlToFile(url2, nowhere));
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(UrlToFile, TargetHoldingANulIsRefusedBeforeAnythingIsFetched)
{
    LoopbackPeer peer(imageResponse("200 OK", "picture"));
    ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
    QTemporaryDir dir;
    // Cut at the NUL, the name would be a file the user already has.
    const QString existing = dir.filePath(QStringLiteral(".bashrc"));
    ASSERT_TRUE(vidmora::test::writeFile(existing, "mine"));
    QString url = QStringLiteral("http://img.vidsite.example/vi/x/default.jpg");
    QString target = existing + QChar(0) + QStringLiteral("fis.tmp");
    EXPECT_FALSE(vidmora::platform::urlToFile(url, target));
    EXPECT_EQ(readFile(existing), QByteArray("mine"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({".bashrc"}));
    EXPECT_TRUE(peer.requests().isEmpty());
}

TEST(UrlToFile, SilentServerIsGivenUpWithinTheBound)
{
    LoopbackPeer peer(LoopbackPeer::Script{{}, 0, false}); // reads the request, never answers
    ScopedHost mapped(QStringLiteral("img.vidsite.example"), peer.port());
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("fis.tmp"));
    EXPECT_FALSE(vidmora::platform::urlToFile(QStringLiteral("http://img.vidsite.example/vi/x/default.jpg"), target, 300));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(UrlToFile, ABodyCutByAResetIsAFailureWithOrWithoutALength)
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

TEST(UrlToFile, AHostThatSendsNothingIsGivenUpLongBeforeTheWholeBound)
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
    EXPECT_FALSE(vidmora::platform::urlToFile(url, target));
    EXPECT_LT(clock.elapsed(), 15000) << "a functional bound, well short of the 20 s for a transfer";
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(peer.requests().size(), 1);
}

TEST(UrlToFile, AThumbnailStillTricklingInIsWaitedForPastTheSilenceBound)
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
    EXPECT_TRUE(vidmora::platform::urlToFile(url, target));
    EXPECT_EQ(readFile(target), picture);
}
