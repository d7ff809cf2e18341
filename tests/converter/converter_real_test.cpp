// The driver with the real converter program and the system's ffmpeg, on
// small files made here.
#include "avc_fixture.h"

#include "flv_media.h"
#include "proc_stat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "partial_output.h"
#include "test_files.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using vidmora::AVC;
using vidmora::test::AvcFixture;
using vidmora::test::converterProgram;
using vidmora::test::waitUntil;

namespace {

class RealConverter : public AvcFixture {
protected:
    void SetUp() override
    {
        AvcFixture::SetUp();
        ASSERT_TRUE(QFileInfo(converterProgram()).isExecutable()) << qPrintable(converterProgram());
        folder = dir.path() + "/my videos";
        QDir().mkpath(folder);
    }

    // The settings of the default output format, "AVI (MPEG4-DivX-Compatible)".
    static void setDefaultProfile(AVC &a)
    {
        a.setVideoSize("320x240");
        a.setVideoFrameRate("29.97");
        a.setVideoBitrate("360");
        a.setVideoCodec("mpeg4");
        a.setDeInterlace(true);
        a.setSameQuality(true);
        a.setAudioBitrate("48");
        a.setAudioSamples("22050");
        a.setAudioChannels("2");
    }

    // Running, and not merely a zombie waiting for its parent.
    static bool running(qint64 pid)
    {
        vidmora::test::ProcStat stat;
        return vidmora::test::readProcStat(pid, &stat) && vidmora::test::isRunningState(stat.state);
    }

    // The pid of the encoder (ffmpeg) that this test's converter started, once
    // it runs; 0 when the conversion has `ended` first.
    static qint64 encoderOnceRunning(const std::function<bool()> &ended)
    {
        auto pc = vidmora::platform::makeProcessControl(vidmora::platform::ProcessScope::OwnDescendants);
        qint64 encoder = 0;
        waitUntil([&] {
            for (const auto &e : pc->processList())
                if (e.exeFile == "ffmpeg")
                    encoder = e.pid;
            return encoder != 0 || ended();
        }, 60000);
        return encoder;
    }

    QString folder;
};

TEST_F(RealConverter, ConvertsAnFlvWithTheDefaultProfile)
{
    const QString src = folder + "/a clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    auto avc = makeDriver(converterProgram());
    setDefaultProfile(*avc);
    avc->setSourceFile(src);
    avc->setDestFile(folder + "/a clip.avi");
    avc->ConvertMedia(true);
    ASSERT_TRUE(waitForComplete(120000)) << qPrintable(events.join(';'));
    EXPECT_EQ(avc->ExitCode(), 0);
    const auto info = vidmora::test::probeMedia(folder + "/a clip.avi");
    EXPECT_EQ(info.formatName, "avi");
    EXPECT_EQ(info.codecs, QStringList({"mpeg4", "mp3"}));
    EXPECT_TRUE(info.decodes);
    EXPECT_TRUE(QFileInfo::exists(src)) << "the input is the caller's to delete";
}

// Neither the folder the program lives in nor the way the save folder was
// typed may stop a conversion: a double quote in the program folder's name, a
// relative save folder whose name begins with "-" (taken for an option when
// handed over as it stands).
TEST_F(RealConverter, ConvertsWhateverTheFoldersAreCalled)
{
    struct Case {
        const char *what;
        const char *programFolder; // "" for the built one
        const char *saveFolder;    // relative to the current folder
    } cases[] = {
        {"a double quote in the program folder", "the \"best\" programs", "my videos"},
        {"a relative save folder beginning with -", "", "-clips"},
        {"both", "a \"quoted\\\" folder", "-v"},
    };
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QString program = converterProgram();
        if (*c.programFolder) {
            const QString programDir = dir.path() + u'/' + QString::fromUtf8(c.programFolder);
            ASSERT_TRUE(QDir().mkpath(programDir));
            program = programDir + "/wqas.pga";
            ASSERT_TRUE(QFile::copy(converterProgram(), program));
        }
        const QString save = QString::fromUtf8(c.saveFolder);
        ASSERT_TRUE(QDir().mkpath(save));
        ASSERT_TRUE(vidmora::test::makeFlv(dir.path() + u'/' + save + "/clip.flv", 1));
        auto avc = makeDriver(program);
        events.clear();
        setDefaultProfile(*avc);
        avc->setSourceFile(save + "/clip.flv");
        avc->setDestFile(save + "/clip.avi");
        avc->ConvertMedia(true);
        // A refused start raises an error and no Complete.
        ASSERT_TRUE(waitUntil([&] { return events.contains("Complete") || !events.filter("Error").isEmpty(); },
                              120000));
        ASSERT_TRUE(events.contains("Complete")) << qPrintable(events.join(';'));
        EXPECT_EQ(avc->ExitCode(), 0);
        EXPECT_EQ(vidmora::test::probeMedia(dir.path() + u'/' + save + "/clip.avi").formatName, "avi");
    }
    QDir::setCurrent(before);
}

TEST_F(RealConverter, AFailedConversionEndsWithItsStatus)
{
    auto avc = makeDriver(converterProgram());
    setDefaultProfile(*avc);
    avc->setSourceFile(folder + "/missing.flv");
    avc->setDestFile(folder + "/missing.avi");
    avc->ConvertMedia(true);
    ASSERT_TRUE(waitForComplete(120000));
    EXPECT_NE(avc->ExitCode(), 0);
    EXPECT_FALSE(QFileInfo::exists(folder + "/missing.avi"));

    // An option value the encoder refuses.
    events.clear();
    const QString src = folder + "/b.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    avc->setSourceFile(src);
    avc->setDestFile(folder + "/b.avi");
    avc->setVideoCodec("no-such-codec");
    avc->ConvertMedia(true);
    ASSERT_TRUE(waitForComplete(120000));
    EXPECT_EQ(avc->ExitCode(), 1);
}

TEST_F(RealConverter, CancelStopsTheEncoderAtOnce)
{
    const QString src = folder + "/long.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 20, 640, 360));
    auto avc = makeDriver(converterProgram());
    avc->setSourceFile(src);
    avc->setDestFile(folder + "/long.mov");
    avc->setVideoCodec("h264");
    avc->setVideoSize("640x480");
    avc->ConvertMedia(true);
    ASSERT_TRUE(avc->IsRunning());

    const qint64 encoder = encoderOnceRunning([&] { return events.contains("Complete"); });
    ASSERT_NE(encoder, 0) << "the conversion ended before it could be cancelled";
    avc->CancelConvert();
    ASSERT_TRUE(waitForComplete(30000));
    EXPECT_EQ(avc->ExitCode(), -1);
    EXPECT_FALSE(running(encoder)) << "no encoder is left running";

    // An encoder left to go on would finish its file after all: whatever the
    // cancelled conversion left (at most a temporary file) stays unplayable.
    ASSERT_TRUE(waitUntil([&] { return !running(encoder); }, 120000));
    EXPECT_FALSE(QFileInfo::exists(folder + "/long.mov"));
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        if (f.fileName() != "long.flv") {
            EXPECT_LT(vidmora::test::decodedSeconds(f.filePath()), 10.0) << qPrintable(f.fileName());
        }
    }
}

TEST_F(RealConverter, ATerminateSignalAlsoStopsTheEncoder)
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
    EXPECT_TRUE(waitUntil([&] { return !running(encoder); }, 5000)) << "no encoder is left running";
}

TEST_F(RealConverter, ItsOutputStaysSmall)
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

} // namespace

namespace {

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// A file of an earlier run stays as it was unless a conversion succeeds and
// was allowed to replace it; the converter leaves no file of its own behind.
TEST_F(RealConverter, AnEarlierOutputIsReplacedOnlyBySuccess)
{
    const QString src = folder + "/clip.flv";
    ASSERT_TRUE(vidmora::test::makeFlv(src, 1));
    const QString notAVideo = folder + "/junk.flv";
    ASSERT_TRUE(vidmora::test::writeFile(notAVideo, QByteArray(20000, 'x')));
    const QByteArray earlier = "an earlier conversion's file";
    struct Case {
        const char *what;
        QString source;
        const char *videoCodec;
        const char *audioSamples;
        bool overWrite;
        bool replaced;
    } cases[] = {
        {"the input is no video", notAVideo, "", "", true, false},
        {"no such encoder", src, "no-such-codec", "", true, false},
        // The encoder is set up only once the output is open: ffmpeg itself
        // would leave an empty file in the earlier one's place.
        {"the encoder refuses to start", src, "", "12345", true, false},
        {"no leave to overwrite", src, "", "", false, false},
        {"a good conversion", src, "", "", true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QString out = folder + "/clip.avi";
        ASSERT_TRUE(vidmora::test::writeFile(out, earlier));
        auto avc = makeDriver(converterProgram());
        events.clear();
        setDefaultProfile(*avc);
        avc->setSourceFile(c.source);
        avc->setDestFile(out);
        if (*c.videoCodec)
            avc->setVideoCodec(c.videoCodec);
        if (*c.audioSamples) {
            avc->setAudioCodec("mp3");
            avc->setAudioSamples(c.audioSamples);
        }
        avc->ConvertMedia(c.overWrite);
        ASSERT_TRUE(waitForComplete(120000));
        EXPECT_EQ(avc->ExitCode() == 0, c.replaced);
        if (c.replaced)
            EXPECT_EQ(vidmora::test::probeMedia(out).formatName, "avi");
        else
            EXPECT_EQ(vidmora::test::readFile(out), earlier);
        EXPECT_EQ(filesIn(folder), QStringList({"clip.avi", "clip.flv", "junk.flv"}));
    }
}

// Whatever characters the save folder holds, a conversion that is stopped or
// fails leaves an earlier output byte for byte and no partial file: a "%" in
// a folder is no pattern of numbered files.
TEST_F(RealConverter, AStoppedOrFailedConversionKeepsAnEarlierOutputInAnyFolder)
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
TEST_F(RealConverter, AnOutputNamedOnlyByItsExtensionGetsThatContainer)
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
TEST_F(RealConverter, TheNextStartClearsATemporaryFileLeftByAKill)
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

// The encoder's messages on a damaged input are read as they come and passed
// on condensed: into a pipe that nobody reads until the converter has ended,
// and which holds only 4 KiB, the conversion still runs to its end and leaves
// less than one 256-byte read of the driver waiting.
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

TEST_F(RealConverter, ADamagedInputNeverMakesTheEncoderWaitOnItsMessages)
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
TEST_F(RealConverter, MessagesNameTheOutputFitTheBacklogAndEndWithTheLastOne)
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

} // namespace
