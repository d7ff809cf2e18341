// The real shell's "open", caught at the desktop's URL handlers.

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/gui/shell.h"
#include "test_files.h"

namespace vidmora::test {

// Receives what the shell hands to the desktop instead of a browser or player.
class UrlCatcher final : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void take(const QUrl &url) { urls.append(url); }
};

namespace {

TEST(QtShellOpen, HandsOverAddressesAndFilesThatExistOnly)
{
    UrlCatcher catcher;
    for (const char *scheme : {"file", "http"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "take");
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("A Day at the Lake.avi"));
    ASSERT_TRUE(writeFile(clip, QByteArray())) << clip.toStdString();

    platform::QtShell shell;
    EXPECT_TRUE(shell.open(QStringLiteral("http://www.zevrak.test")));
    EXPECT_TRUE(shell.open(clip));
    // "Play" after a failed conversion: nothing is handed over, nothing shows.
    EXPECT_FALSE(shell.open(dir.filePath(QStringLiteral("A Day at the Lake.mpg"))));
    EXPECT_FALSE(shell.open(QString()));

    for (const char *scheme : {"file", "http"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    ASSERT_EQ(catcher.urls.size(), 2);
    EXPECT_EQ(catcher.urls[0], QUrl(QStringLiteral("http://www.zevrak.test")));
    EXPECT_EQ(catcher.urls[1], QUrl::fromLocalFile(clip));
}

TEST(QtShellStart, MissingOrNonExecutableProgramIsNotStarted)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("zelto"));
    ASSERT_TRUE(writeFile(plain, QByteArray())) << plain.toStdString();
    platform::QtShell shell;
    EXPECT_FALSE(shell.startDetached(dir.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(shell.startDetached(plain));
}

} // namespace
} // namespace vidmora::test

#include "shell_test.moc"
