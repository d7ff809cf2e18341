// What a finished download leaves on disk, and what the control reports when
// the target cannot take it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "file_size_limit.h"
#include "ordinary_user.h"
#include "scripted_control.h"
#include "test_files.h"

using vidmora::test::fileContent;
using vidmora::test::FileSizeLimit;
using vidmora::test::writeFile;

namespace {

class DownVidmoraFiles : public vidmora::test::ScriptedControlTest {
protected:
    // Starts one download to `file` and completes it with `body`.
    void download(const QString &file, const QByteArray &body)
    {
        control.BeginDownload(QStringLiteral("http://www.vidsite.example/get_video.php?video_id=v&t=t"), file);
        service.complete(file, 6, body);
    }

    QStringList entries() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot); }
};

} // namespace

TEST_F(DownVidmoraFiles, AnExistingLongerFileEndsUpHoldingTheDownloadOnly)
{
    const QString file = target(QStringLiteral("clip.flv"));
    ASSERT_TRUE(writeFile(file, QByteArray(4096, 'o')));
    download(file, "new bytes");
    EXPECT_EQ(fileContent(file), QByteArray("new bytes"));
    EXPECT_EQ(entries(), QStringList({QStringLiteral("clip.flv")})) << "nothing is left beside the target";
    EXPECT_EQ(log.outcome().first(), QStringLiteral("Stage Finalizing"));
    EXPECT_EQ(log.outcome().at(1), QStringLiteral("Complete 9 ") + file);
}

TEST_F(DownVidmoraFiles, AnEmptyDownloadLeavesAnEmptyFile)
{
    const QString file = target(QStringLiteral("empty.flv"));
    ASSERT_TRUE(writeFile(file, "old"));
    download(file, QByteArray());
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(fileContent(file), QByteArray());
    EXPECT_EQ(log.batches, 1);
}

// Targets the download cannot reach: reported as failures and listed at the end of the batch.
TEST_F(DownVidmoraFiles, AnUnwritableTargetIsAFailureNotACompletion)
{
    struct Case {
        const char *what;
        QString path;
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("a-folder")));
    const QList<Case> cases{
        {"missing folder", target(QStringLiteral("no-such-folder/clip.flv"))},
        {"folder in the way", target(QStringLiteral("a-folder"))},
        {"empty path", QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        log.lines.clear();
        download(c.path, "payload");
        EXPECT_EQ(log.outcome(), QStringList({QStringLiteral("Stage Finalizing"), QStringLiteral("Error ") + c.path,
                                              QStringLiteral("Stage Cancelling"),
                                              QStringLiteral("AllComplete [|") + c.path + QLatin1Char(']')}));
    }
    EXPECT_TRUE(QFileInfo(target(QStringLiteral("a-folder"))).isDir());
    EXPECT_EQ(entries(), QStringList()) << "no partial file anywhere";
}

TEST_F(DownVidmoraFiles, ANameHoldingANulIsAFailureAndTouchesNoOtherFile)
{
    // Cut at the NUL, the name would be a file the user already has.
    ASSERT_TRUE(writeFile(target(QStringLiteral(".bashrc")), "mine"));
    const QString file = target(QStringLiteral(".bashrc")) + QChar(0) + QStringLiteral(" tail.flv");
    download(file, "payload");
    EXPECT_EQ(log.outcome(), QStringList({QStringLiteral("Stage Finalizing"), QStringLiteral("Error ") + file,
                                          QStringLiteral("Stage Cancelling"),
                                          QStringLiteral("AllComplete [|") + file + QLatin1Char(']')}));
    EXPECT_EQ(fileContent(target(QStringLiteral(".bashrc"))), QByteArray("mine"));
    EXPECT_EQ(entries(), QStringList({QStringLiteral(".bashrc")})) << "no partial file anywhere";
}

TEST_F(DownVidmoraFiles, AFolderWithoutWritePermissionIsAFailure)
{
    // Run by a user the folder's mode binds, which the superuser is not.
    vidmora::test::OrdinaryUserDir home;
    ASSERT_TRUE(home.isValid());
    const QString locked = QString::fromStdString(home.filePath("locked"));
    const QString file = locked + QStringLiteral("/clip.flv");
    const vidmora::test::ChildOutcome child = vidmora::test::runAsOrdinaryUser([&] {
        if (!QDir().mkdir(locked) || !QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner))
            return std::string("no locked folder");
        download(file, "payload");
        // The second event of the outcome, and the last event.
        return (log.outcome().value(1) + QLatin1Char('\n') + log.lines.value(log.lines.size() - 1)).toStdString();
    });
    ASSERT_TRUE(child.ran) << child.describe();
    const QStringList seen = QString::fromStdString(child.report).split(QLatin1Char('\n'));
    ASSERT_EQ(seen.size(), 2) << child.describe();
    EXPECT_EQ(seen.at(0), QStringLiteral("Error ") + file);
    EXPECT_EQ(seen.at(1), QStringLiteral("AllComplete [|") + file + QLatin1Char(']'));
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList()) << "no partial file";
}

TEST_F(DownVidmoraFiles, AFullDiskIsAFailureAndLeavesTheOldFileAsItWas)
{
    const QString file = target(QStringLiteral("clip.flv"));
    ASSERT_TRUE(writeFile(file, "the old content"));
    const QString other = target(QStringLiteral("other.flv"));
    {
        FileSizeLimit full(4096);
        ASSERT_TRUE(full.ok());
        control.BeginDownload(QStringLiteral("http://h/a"), file);
        control.BeginDownload(QStringLiteral("http://h/b"), other);
        service.complete(file, 6, QByteArray(256 * 1024, 'x'));
        service.complete(other, 6, "small fits");
    }
    EXPECT_EQ(fileContent(file), QByteArray("the old content"));
    EXPECT_EQ(fileContent(other), QByteArray("small fits"));
    EXPECT_EQ(log.outcome(),
              QStringList({QStringLiteral("Stage Finalizing"), QStringLiteral("Error ") + file, QStringLiteral("Stage Finalizing"),
                           QStringLiteral("Complete 10 ") + other, QStringLiteral("Stage Cancelling"),
                           QStringLiteral("Stage Cancelling"), QStringLiteral("AllComplete [|") + file + QLatin1Char(']')}));
    EXPECT_EQ(entries(), QStringList({QStringLiteral("clip.flv"), QStringLiteral("other.flv")}));
}

TEST_F(DownVidmoraFiles, AnOverwrittenFileKeepsItsModeAndALinkKeepsLeadingToIt)
{
    const QString real = target(QStringLiteral("real.flv"));
    const QString link = target(QStringLiteral("link.flv"));
    ASSERT_TRUE(writeFile(real, "old old old"));
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(real, mode));
    ASSERT_TRUE(QFile::link(real, link));

    download(link, "fresh");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(fileContent(real), QByteArray("fresh"));
    EXPECT_EQ(QFile::permissions(real) & 0x7077, mode & 0x7077);
    EXPECT_EQ(log.outcome().at(1), QStringLiteral("Complete 5 ") + link);
}
