// The converter program on its own, run as the driver runs it, with the
// system's ffmpeg on small files made here.
#include "deep_folder.h"
#include "encoder_watch.h"
#include "event_wait.h"
#include "fake_converter.h"
#include "flv_media.h"
#include "partial_output.h"
#include "platform/file_beside.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using vidmora::test::converterProgram;
using vidmora::test::encoderOnceRunning;
using vidmora::test::filesIn;
using vidmora::test::runningProcess;
using vidmora::test::waitUntil;

namespace {

class ConverterProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFileInfo(converterProgram()).isExecutable()) << qPrintable(converterProgram());
        folder = dir.path() + "/my videos";
        QDir().mkpath(folder);
    }

    QTemporaryDir dir;
    QString folder;
};

TEST_F(ConverterProgram, ATerminateSignalAlsoStopsTheEncoder)
{
    const QString src = folder + "/long.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 20, 640, 360));
    QProcess p;
    p.start(converterProgram(), {"-i", src, "-y", "-vcodec", "h264", "-s", "640x480", folder + "/long.mov"});
    ASSERT_TRUE(p.waitForStarted());
    const qint64 encoder = encoderOnceRunning([&] { return p.state() == QProcess::NotRunning; });
    ASSERT_NE(encoder, 0);
    p.terminate(); // SIGTERM
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit) << "it ends by the signal it was sent";
    EXPECT_TRUE(waitUntil([&] { return !runningProcess(encoder); }, 5000)) << "no encoder is left running";
}
TEST_F(ConverterProgram, ItsOutputStaysSmall)
{
    const QString src = folder + "/c.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 3));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(converterProgram(), {"-i", src, "-y", "-vcodec", "mpeg4", "-ab", "64", folder + "/c.avi"});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray out = p.readAll();
    EXPECT_LT(out.size(), 512) << out.constData();
    EXPECT_FALSE(out.contains("ffmpeg version"));
    EXPECT_FALSE(out.contains("Stream #"));
}
// Whatever characters the save folder holds, a conversion that is stopped or
// fails leaves an earlier output byte for byte and no partial file: a "%" in
// a folder is no pattern of numbered files.
TEST_F(ConverterProgram, AStoppedOrFailedConversionKeepsAnEarlierOutputInAnyFolder)
{
    const QString src = dir.path() + "/long.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 20, 640, 360));
    const QByteArray earlier = "an earlier conversion's file";
    enum class End { Terminated, Killed, Failed };
    const char *const folderNames[] = {"100% done", "%d", "%%", "%03d", "plain"};
    for (const char *folderName : folderNames) {
        for (const End end : {End::Terminated, End::Killed, End::Failed}) {
            SCOPED_TRACE(std::string(folderName) + (end == End::Terminated ? ", SIGTERM"
                                                    : end == End::Killed   ? ", SIGKILL"
                                                                           : ", failed"));
            const QString where = dir.path() + "/" + folderName + "/Vidmora";
            ASSERT_TRUE(QDir().mkpath(where));
            const QString out = where + "/Long Clip.avi";
            ASSERT_TRUE(vidmora::test::writeFile(out, earlier));
            QStringList arguments = {"-i", src, "-y", "-vcodec", "h264", "-s", "640x480"};
            if (end == End::Failed)
                arguments << "-acodec" << "mp3" << "-ar" << "12345"; // the encoder refuses to start
            QProcess p;
            p.start(converterProgram(), arguments << out);
            ASSERT_TRUE(p.waitForStarted());
            if (end != End::Failed) {
                // Stopped once the encoder has written something.
                const bool writing = waitUntil([&] {
                    for (const QFileInfo &f : QDir(where).entryInfoList(QDir::Files | QDir::Hidden))
                        if (f.size() > 0 && (f.fileName() != "Long Clip.avi" || f.size() != earlier.size()))
                            return true;
                    return p.state() == QProcess::NotRunning;
                }, 60000);
                ASSERT_TRUE(writing && p.state() == QProcess::Running) << "the conversion ended before it was stopped";
                end == End::Terminated ? p.terminate() : p.kill();
            }
            ASSERT_TRUE(p.waitForFinished(120000));
            EXPECT_TRUE(p.exitStatus() == QProcess::CrashExit || p.exitCode() != 0);
            if (end == End::Killed) {
                // A kill leaves the temporary file to whoever ran the converter,
                // which clears it by its name once the converter has gone.
                ASSERT_TRUE(waitUntil([&] {
                    return wqas::removeLeftoverPartials(QFile::encodeName(out).toStdString()) >= 0
                           && filesIn(where) == QStringList({"Long Clip.avi"});
                }, 10000)) << filesIn(where).join(',').toStdString();
            }
            EXPECT_EQ(vidmora::test::readFile(out), earlier);
            EXPECT_EQ(filesIn(where), QStringList({"Long Clip.avi"})) << "no partial file is left";
        }
    }
}
// An output whose name is only an extension (an empty title's ".avi") is
// written in the container that extension names.
TEST_F(ConverterProgram, AnOutputNamedOnlyByItsExtensionGetsThatContainer)
{
    const QString src = folder + "/a.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    for (const char *name : {".avi", ".mov", ".mp3"}) {
        SCOPED_TRACE(name);
        QProcess p;
        p.start(converterProgram(), {"-i", src, "-y", folder + "/" + name});
        ASSERT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
        EXPECT_EQ(vidmora::test::probeMedia(folder + "/" + name).formatName,
                  std::string(name) == ".avi" ? "avi" : std::string(name) == ".mov" ? "mov,mp4,m4a,3gp,3g2,mj2" : "mp3");
    }
    EXPECT_EQ(filesIn(folder), QStringList({".avi", ".mov", ".mp3", "a.flv"}));
}
// A temporary file that a killed converter left is cleared by the next
// converter of the same output; one whose converter still runs is not.
TEST_F(ConverterProgram, TheNextStartClearsATemporaryFileLeftByAKill)
{
    const QString out = folder + "/x.avi";
    QProcess gone;
    gone.start("true", {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 gonePid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    const QString fake = vidmora::test::writeFakeConverter(dir.path() + "/other", "sleep 60");
    QProcess stillRunning;
    stillRunning.start(fake, {});
    ASSERT_TRUE(stillRunning.waitForStarted());
    auto partial = [&](qint64 pid) {
        return QFile::decodeName(QByteArray::fromStdString(wqas::partialOutputPath(QFile::encodeName(out).toStdString(), long(pid))));
    };
    const QString leftByAKill = partial(gonePid);
    const QString ofARunningConverter = partial(stillRunning.processId());
    ASSERT_TRUE(vidmora::test::writeFile(leftByAKill, "half a file"));
    ASSERT_TRUE(vidmora::test::writeFile(ofARunningConverter, "a file being written"));

    QProcess p;
    p.start(converterProgram(), {"-i", folder + "/missing.flv", "-y", out});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(leftByAKill));
    EXPECT_TRUE(QFileInfo::exists(ofARunningConverter));
    stillRunning.kill();
    stillRunning.waitForFinished();
}
// What the converter said into a pipe of 4 KiB that nobody reads until it
// has ended, as a driver that is slow to read sees it.
struct UnreadPipeRun {
    bool ended = false;
    int status = -1;
    int waiting = -1; // bytes left unread at the end
    QByteArray said;
};

UnreadPipeRun runIntoAnUnreadPipe(const QStringList &arguments)
{
    UnreadPipeRun run;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0 || ::fcntl(ends[1], F_SETPIPE_SZ, 4096) <= 0)
        return run;
    std::vector<std::string> words = {QFile::encodeName(converterProgram()).toStdString()};
    for (const QString &a : arguments)
        words.push_back(QFile::encodeName(a).toStdString());
    std::vector<char *> argv;
    for (std::string &w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, ends[1], 1);
    posix_spawn_file_actions_adddup2(&fa, ends[1], 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(ends[1]);
    if (spawned != 0) {
        ::close(ends[0]);
        return run;
    }
    run.ended = waitUntil([&] { return ::waitpid(pid, &run.status, WNOHANG) == pid; }, 120000);
    if (!run.ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &run.status, 0);
    }
    ::ioctl(ends[0], FIONREAD, &run.waiting);
    run.said = QByteArray(std::max(run.waiting, 0), '\0');
    if (run.waiting > 0)
        run.said.resize(std::max<ssize_t>(0, ::read(ends[0], run.said.data(), size_t(run.waiting))));
    ::close(ends[0]);
    return run;
}

// The encoder's messages on a damaged input are read as they come and passed
// on condensed: into a pipe that nobody reads until the converter has ended,
// and which holds only 4 KiB, the conversion still runs to its end and leaves
// less than one 256-byte read of the driver waiting.
TEST_F(ConverterProgram, ADamagedInputNeverMakesTheEncoderWaitOnItsMessages)
{
    const QString src = folder + "/damaged.flv";
    ASSERT_TRUE(vidmora::test::makeDamagedFlv(src, 10)); // some 20 KB of messages from ffmpeg
    const UnreadPipeRun run = runIntoAnUnreadPipe({"-i", src, "-y", "-vcodec", "mpeg4", folder + "/damaged.avi"});
    ASSERT_TRUE(run.ended) << "the encoder waited on its messages";
    EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0) << run.said.constData();
    EXPECT_LT(run.waiting, 256) << run.said.constData();
    EXPECT_TRUE(run.said.contains("more messages from the encoder")) << run.said.constData();
    EXPECT_GT(vidmora::test::decodedSeconds(folder + "/damaged.avi"), 9.0);
}
// The encoder's messages name the file the user asked for, never the
// temporary one; one too long for the backlog is cut so that it still fits;
// a failure ends with the encoder's last message when it was not passed on.
TEST_F(ConverterProgram, MessagesNameTheOutputFitTheBacklogAndEndWithTheLastOne)
{
    const QString src = folder + "/a.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    struct Case {
        const char *what;
        QString subfolder;
    } cases[] = {
        {"a short folder", QString()},
        {"a folder that makes every message long", "/" + QString(150, 'd')},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir().mkpath(folder + c.subfolder);
        // No container is named by ".zzz": ffmpeg fails with two messages that
        // name the file it was given.
        const QString out = folder + c.subfolder + "/clip.zzz";
        const UnreadPipeRun run = runIntoAnUnreadPipe({"-i", src, "-y", out});
        ASSERT_TRUE(run.ended);
        EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.said.constData();
        EXPECT_LE(run.waiting, 240) << run.said.constData();
        EXPECT_FALSE(run.said.contains(".wqas-")) << run.said.constData();
        const QList<QByteArray> lines = run.said.split('\n');
        ASSERT_GE(lines.size(), 2) << run.said.constData();
        const QByteArray first = lines.first();
        EXPECT_TRUE(first.contains("Unable to find a suitable output format for")) << run.said.constData();
        EXPECT_LE(first.size() + 1, 160) << "a passed-on message fits the backlog: " << first.constData();
        if (c.subfolder.isEmpty()) {
            EXPECT_TRUE(first.endsWith("'" + QFile::encodeName(out) + "'")) << first.constData();
            EXPECT_TRUE(run.said.endsWith("wqas.pga: last: " + QFile::encodeName(out) + ": Invalid argument\n"))
                << run.said.constData();
        } else {
            EXPECT_TRUE(first.endsWith("...")) << first.constData();
        }
    }
}
// A switch of the day that takes no value leaves the word after it where it
// stands: a second output there is written too.
TEST_F(ConverterProgram, AWordAfterASwitchStaysWhereItStands)
{
    const QString src = folder + "/clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    for (const char *option : {"-deinterlace", "-sameq"}) {
        SCOPED_TRACE(option);
        const QString extra = folder + "/extra.avi", out = folder + "/out.avi";
        QFile::remove(extra);
        QFile::remove(out);
        QProcess p;
        p.start(converterProgram(), {"-i", src, "-y", option, extra, out});
        ASSERT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
        EXPECT_EQ(vidmora::test::probeMedia(extra).formatName, "avi");
        EXPECT_EQ(vidmora::test::probeMedia(out).formatName, "avi");
        EXPECT_EQ(filesIn(folder).join(',').toStdString(), "clip.flv,extra.avi,out.avi");
    }
}

// Files that ffmpeg numbers itself are written under their own names: no
// temporary name, which ffmpeg would number instead and nothing would rename.
TEST_F(ConverterProgram, NumberedOutputsAreWrittenUnderTheirOwnNames)
{
    const QString src = dir.path() + "/clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    struct Case {
        QStringList options;
        const char *output;
        const char *first; // the first file ffmpeg makes
    } cases[] = {
        {{}, "frame%03d.png", "frame001.png"},
        {{"-f", "image2"}, "shot%d.jpg", "shot1.jpg"},
        {{"-r", "1"}, "100%% done %02d.png", "100% done 01.png"}, // "%%" is a percent sign
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.output);
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        QProcess p;
        p.start(converterProgram(), QStringList({"-i", src, "-y"}) << c.options << folder + "/" + c.output);
        ASSERT_TRUE(p.waitForFinished(120000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
        const QStringList files = filesIn(folder);
        EXPECT_TRUE(files.contains(c.first)) << files.join(',').toStdString();
        EXPECT_TRUE(files.filter(QRegularExpression("^\\.")).isEmpty()) << files.join(',').toStdString();
    }
}

// An output whose path is just under the system's limit is written wherever
// ffmpeg alone writes it, though its temporary name's full path is past the
// limit, and a temporary file a killed converter left there is cleared.
TEST_F(ConverterProgram, AnOutputJustUnderThePathLimitIsWrittenWhereFfmpegAloneWritesIt)
{
    const QString src = dir.path() + "/clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    QProcess gone;
    gone.start("true", {});
    ASSERT_TRUE(gone.waitForStarted());
    const long gonePid = long(gone.processId());
    ASSERT_TRUE(gone.waitForFinished());
    const std::string base = QFile::encodeName(dir.path()).toStdString() + "/deep";
    ASSERT_EQ(::mkdir(base.c_str(), 0700), 0);
    const auto run = [](const QString &program, const QStringList &arguments) {
        QProcess p;
        p.start(program, arguments);
        return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    struct Case {
        std::size_t length;
        bool written; // by ffmpeg alone, and so by the converter
    } cases[] = {{4000, true}, {4072, true}, {4080, true}, {PATH_MAX - 1, true}, {PATH_MAX, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.length);
        const std::string path = vidmora::test::deepFilePath(base, c.length - 4) + ".avi";
        ASSERT_EQ(path.size(), c.length);
        const QString out = QFile::decodeName(QByteArray::fromStdString(path));
        const QString where = QFileInfo(out).path();

        EXPECT_EQ(run("/usr/bin/ffmpeg", {"-v", "error", "-y", "-i", src, out}) == 0, c.written) << "ffmpeg alone";
        ::unlink(path.c_str());

        // What a killed converter left, named inside the folder: as a full
        // path it is past the limit.
        const vidmora::platform::BesideFolder folderOfOut(path);
        ASSERT_TRUE(folderOfOut.isOpen());
        if (c.written) {
            const std::string leftover = wqas::partialOutputPath(folderOfOut.fileName(), gonePid);
            const int fd = ::openat(folderOfOut.fd(), leftover.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            ASSERT_GE(fd, 0) << std::strerror(errno);
            ::close(fd);
        }

        const int status = run(converterProgram(), {"-i", src, "-y", out});
        EXPECT_EQ(status == 0, c.written) << status;
        if (c.written) {
            EXPECT_EQ(vidmora::test::probeMedia(out).formatName, "avi");
            EXPECT_EQ(filesIn(where).join(" | ").toStdString(), QFileInfo(out).fileName().toStdString())
                << "nothing is left beside it";
        } else {
            EXPECT_TRUE(filesIn(where).isEmpty()) << filesIn(where).join(',').toStdString();
        }
        ::unlink(path.c_str());
    }
}

} // namespace
