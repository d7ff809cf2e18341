// Which files the main window deletes when a conversion ends, on real files
// in a folder of the test's own.
#include "main_window/window_files.h"

#include "event_wait.h"
#include "fake_converter.h"
#include "test_files.h"

#include "partial_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace vidmora::test {
namespace {

using main_window::ConversionFiles;
using main_window::ConversionOutcome;

class WindowFiles : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override
    {
        if (liveConverter.state() != QProcess::NotRunning) {
            liveConverter.kill();
            liveConverter.waitForFinished();
        }
    }

    QString path(const QString &name) const { return dir.path() + u'/' + name; }
    QString partialOf(const QString &output, qint64 pid) const
    {
        return QFile::decodeName(QByteArray::fromStdString(
            wqas::partialOutputPath(QFile::encodeName(output).toStdString(), long(pid))));
    }
    // A process named "wqas.pga" that runs until the test ends.
    qint64 startLiveConverter()
    {
        // The shell stays the process under the converter's name; an exec would rename it.
        const QString program =
            writeFakeConverter(path(QStringLiteral("bin")), QStringLiteral("while :; do sleep 1; done"));
        liveConverter.start(program, {});
        if (!liveConverter.waitForStarted())
            return 0;
        const qint64 pid = liveConverter.processId();
        // Until the started process has become the script under the converter's name.
        waitUntil([pid] { return wqas::converterRunning(long(pid)); }, 5000);
        return pid;
    }
    // Names in the folder, hidden ones too.
    QStringList files() const
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir dir;
    QProcess liveConverter;
};

TEST_F(WindowFiles, OutcomeComesFromTheExitTheCancelAndTheOutput)
{
    const ConversionFiles files{path("clip.flv"), path("clip.avi")};
    struct Case {
        const char *what;
        int exitCode;
        bool cancelled;
        const char *output; // nullptr: no output file
        ConversionOutcome outcome;
    } cases[] = {
        {"success with an output", 0, false, "made", ConversionOutcome::Converted},
        {"success but no output", 0, false, nullptr, ConversionOutcome::Failed},
        {"success but an empty output", 0, false, "", ConversionOutcome::Failed},
        {"failure with a file at the output's name", 1, false, "someone's", ConversionOutcome::Failed},
        {"killed", -1, false, nullptr, ConversionOutcome::Failed},
        {"cancelled with a file at the output's name", 0, true, "someone's", ConversionOutcome::Cancelled},
        {"cancelled", -1, true, nullptr, ConversionOutcome::Cancelled},
    };
    for (const Case &c : cases) {
        QFile::remove(files.output);
        if (c.output) {
            ASSERT_TRUE(writeFile(files.output, c.output));
        }
        EXPECT_EQ(main_window::conversionOutcome(files, c.exitCode, c.cancelled), c.outcome) << c.what;
    }
    EXPECT_EQ(main_window::conversionOutcome({}, 0, false), ConversionOutcome::Failed) << "nothing started";
}

// After every outcome: the download goes only when converted, the final name is
// never touched, a gone converter's temporary file goes, a running one's stays.
TEST_F(WindowFiles, EachOutcomeClearsOnlyWhatItShould)
{
    const qint64 live = startLiveConverter();
    ASSERT_NE(live, 0);
    ASSERT_TRUE(wqas::converterRunning(long(live)));
    const qint64 gone = ::getpid(); // not a converter: its temporary file is a leftover

    struct Case {
        const char *what;
        ConversionOutcome outcome;
        bool sourceKept;
    } cases[] = {
        {"converted", ConversionOutcome::Converted, false},
        {"failed", ConversionOutcome::Failed, true},
        {"cancelled", ConversionOutcome::Cancelled, true},
    };
    for (const Case &c : cases) {
        const ConversionFiles files{path("Lake Day.flv"), path("Lake Day.avi")};
        const QString leftover = partialOf(files.output, gone);
        const QString running = partialOf(files.output, live);
        const QString otherOutputs = partialOf(path("Other.avi"), gone);
        ASSERT_TRUE(writeFile(files.source, "the download"));
        ASSERT_TRUE(writeFile(files.output, "a finished output"));
        ASSERT_TRUE(writeFile(leftover, "half"));
        ASSERT_TRUE(writeFile(running, "being written"));
        ASSERT_TRUE(writeFile(otherOutputs, "another output's"));

        main_window::clearAfterConversion(files, c.outcome);
        EXPECT_EQ(QFileInfo::exists(files.source), c.sourceKept) << c.what;
        EXPECT_EQ(readFile(files.output), "a finished output") << c.what;
        EXPECT_FALSE(QFileInfo::exists(leftover)) << c.what;
        EXPECT_EQ(readFile(running), "being written") << c.what;
        EXPECT_EQ(readFile(otherOutputs), "another output's") << c.what;
        for (const QString &f : this->files())
            QFile::remove(path(f));
    }
}

TEST_F(WindowFiles, NothingStartedClearsNothing)
{
    ASSERT_TRUE(writeFile(path("x.avi"), "x"));
    main_window::clearAfterConversion({}, ConversionOutcome::Failed);
    main_window::clearAfterConversion({}, ConversionOutcome::Converted);
    EXPECT_EQ(files(), QStringList({QStringLiteral("x.avi")}));
}

TEST_F(WindowFiles, ThumbnailIsTheSaveFoldersFisTmp)
{
    EXPECT_EQ(main_window::thumbnailPath(dir.path()), path("fis.tmp"));
    ASSERT_TRUE(writeFile(path("fis.tmp"), "jpeg"));
    ASSERT_TRUE(writeFile(path("keep.jpg"), "jpeg"));
    main_window::deleteThumbnail(dir.path());
    EXPECT_EQ(files(), QStringList({QStringLiteral("keep.jpg")}));
    main_window::deleteThumbnail(dir.path()); // none there: nothing happens
    // A folder of that name is no thumbnail.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("fis.tmp")));
    main_window::deleteThumbnail(dir.path());
    EXPECT_TRUE(QFileInfo(path("fis.tmp")).isDir());
}

} // namespace
} // namespace vidmora::test
