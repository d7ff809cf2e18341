// The poll, the cancel and the kill rules, with stand-in converters that
// print and sleep.
#include "avc_fixture.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <utility>
#include <sys/wait.h>

using vidmora::AVC;
using vidmora::test::AvcFixture;
using vidmora::test::waitUntil;

namespace {

// Short sleeps: a long one would outlive a killed script and hold the pipe open.
const QString kForever = QStringLiteral("while :; do sleep 0.1; done");

class Poll : public AvcFixture {
protected:
    std::unique_ptr<AVC> start(const QString &body, bool overWrite = true)
    {
        auto avc = makeDriver(fakeConverter(body));
        avc->setSourceFile(dir.path() + "/in.flv");
        avc->setDestFile(dir.path() + "/out.avi");
        avc->ConvertMedia(overWrite);
        EXPECT_TRUE(avc->IsRunning()) << qPrintable(events.join(';'));
        return avc;
    }

    static bool alive(qint64 pid) { return ::kill(pid_t(pid), 0) == 0; }

    // Whether a started converter has exited (left unreaped: the driver reaps it).
    static bool exited(qint64 pid)
    {
        siginfo_t info{};
        return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_t(pid);
    }

    // Waits for the converter's exit without running the event loop, so that
    // no tick comes before it, however slowly a loaded machine starts it.
    static bool exitedBeforeAnyTick(qint64 pid)
    {
        for (int waited = 0; waited < 30000; waited += 2) {
            if (exited(pid))
                return true;
            QThread::msleep(2);
        }
        return false;
    }
};

TEST_F(Poll, ASilentConverterThatEndsAtOnceGivesOneTick)
{
    auto avc = start("exit 0");
    EXPECT_EQ(timer.Interval(), 300);
    EXPECT_TRUE(timer.Enabled());
    ASSERT_TRUE(exitedBeforeAnyTick(log->started.value(0)));
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(events, QStringList({"Converting", "Complete"}));
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 300);
    EXPECT_EQ(exitAtComplete, 0);
    EXPECT_EQ(log->pipesOpen, 0);
    EXPECT_FALSE(avc->IsRunning());
}

TEST_F(Poll, EveryTickRaisesConvertingWhileTheConverterIsSilent)
{
    // It stays silent until the test has seen three ticks.
    const QString go = dir.path() + "/go";
    auto avc = start("while [ ! -e '" + go + "' ]; do sleep 0.05; done; echo done; exit 0");
    ASSERT_TRUE(waitUntil([&] { return count("Converting") >= 3 || count("Complete") > 0; }, 30000));
    EXPECT_EQ(count("Complete"), 0) << "ticks with no output yet do not wait and do not end the poll";
    ASSERT_TRUE(vidmora::test::writeFile(go, QByteArray()));
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(events.last(), "Complete");
    EXPECT_EQ(events[events.size() - 2], "Converting");
    EXPECT_EQ(count("Complete"), 1);
}

TEST_F(Poll, ReadsAtMost256BytesATick)
{
    // 2000 bytes at once: at least eight ticks with data, then the end.
    qint64 before = 0;
    int worst = 0;
    onConverting = [&] {
        worst = std::max(worst, int(log->bytesRead - before));
        before = log->bytesRead;
    };
    auto avc = start("head -c 2000 /dev/zero | tr '\\0' x; exit 0");
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(log->bytesRead, 2000);
    EXPECT_EQ(worst, 256);
    EXPECT_GE(count("Converting"), 8);
}

TEST_F(Poll, TheEndIsSeenInTheTickThatReadsTheLastWords)
{
    auto avc = start("echo last words; exit 0");
    ASSERT_TRUE(exitedBeforeAnyTick(log->started.value(0)));
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(events, QStringList({"Converting", "Complete"}));
}

TEST_F(Poll, TheEndOfTheOutputBringsTheLastTickWithoutTheTimer)
{
    // With the timer stopped right after the start, only the end of the output
    // can end a conversion; output before that end adds no tick.
    struct Case {
        const char *body;
        int exitCode;
    };
    const Case cases[] = {
        {"exit 0", 0},
        {"echo last words; exit 0", 0},
        {"echo a; sleep 0.2; echo b; sleep 0.2; echo c; exit 3", 3},
        {"(sleep 0.3; echo late) & exit 0", 0}, // the output ends with its last writer
    };
    for (const Case &c : cases) {
        events.clear();
        auto avc = start(c.body);
        timer.setEnabled(false);
        ASSERT_TRUE(waitForComplete()) << c.body;
        EXPECT_EQ(events, QStringList({"Converting", "Complete"})) << c.body;
        EXPECT_EQ(exitAtComplete, c.exitCode) << c.body;
        EXPECT_EQ(log->pipesOpen, 0) << c.body;
        EXPECT_FALSE(avc->IsRunning()) << c.body;
    }
    EXPECT_EQ(log->endWatches, int(std::size(cases)));
}

TEST_F(Poll, ACancelledConverterEndsWithoutWaitingForATick)
{
    auto avc = start("echo started; " + kForever);
    timer.setEnabled(false);
    avc->CancelConvert();
    EXPECT_TRUE(events.isEmpty()) << "the cancel raises nothing itself";
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(events, QStringList({"Converting", "Complete"}));
    EXPECT_EQ(avc->ExitCode(), -1);
}

TEST_F(Poll, OutputLeftBeyondOneReadAtTheEndIsDrainedByTheTicks)
{
    qint64 before = 0;
    int worst = 0;
    onConverting = [&] {
        worst = std::max(worst, int(log->bytesRead - before));
        before = log->bytesRead;
    };
    auto avc = start("head -c 1000 /dev/zero | tr '\\0' x; exit 0");
    timer.setEnabled(false);
    const qint64 pid = log->started.value(0);
    ASSERT_TRUE(waitUntil([&] { return exited(pid); }));
    // The end has come with 1000 bytes unread: that is no last tick (a bound,
    // not a timing check: the news of the end is delivered within a loop turn).
    EXPECT_FALSE(waitUntil([&] { return !events.isEmpty(); }, 300));
    timer.setEnabled(true);
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(log->bytesRead, 1000);
    EXPECT_EQ(worst, 256);
    EXPECT_GE(count("Converting"), 4);
    EXPECT_EQ(events.last(), "Complete");
}

TEST_F(Poll, ATickInsideAConvertingHandlersLoopEndsTheConversionOnce)
{
    // The last tick's Converting handler runs a loop of its own, in which the
    // timer's tick ends the conversion and its Complete starts the next one:
    // the outer tick must leave that next one alone.
    const QString converter = fakeConverter("exit 0");
    auto avc = makeDriver(converter);
    auto startOne = [&] {
        avc->setSourceFile(dir.path() + "/in.flv");
        avc->setDestFile(dir.path() + "/out.avi");
        avc->ConvertMedia(true);
    };
    bool nested = false;
    onConverting = [&] {
        if (!std::exchange(nested, true))
            waitUntil([&] { return count("Complete") > 0; }, 30000);
    };
    QObject::connect(avc.get(), &AVC::Complete, [&] {
        if (log->commandLines.size() == 1) {
            fakeConverter(kForever);
            startOne();
        }
    });
    startOne();
    ASSERT_TRUE(waitForComplete());
    ASSERT_EQ(log->commandLines.size(), 2);
    ASSERT_GE(events.size(), 3);
    EXPECT_EQ(events.mid(0, 3), QStringList({"Converting", "Converting", "Complete"}));
    EXPECT_EQ(count("Complete"), 1);
    EXPECT_TRUE(avc->IsRunning()) << "the second conversion runs on";
    EXPECT_EQ(log->pipesOpen, 1) << "the second conversion's read end";
    avc->CancelConvert();
    ASSERT_TRUE(waitUntil([&] { return count("Complete") == 2; }));
}

TEST_F(Poll, ReleasingTheDriverFromAConvertingHandler)
{
    // The window may go (and its driver with it) while it handles a tick,
    // also the last one: the tick must not touch the released driver.
    for (const char *body : {"exit 0", "while :; do echo working; sleep 0.1; done"}) {
        events.clear();
        auto avc = start(body);
        onConverting = [&] { avc.reset(); };
        ASSERT_TRUE(waitUntil([&] { return !avc; })) << body;
        onConverting = nullptr;
        EXPECT_EQ(events, QStringList({"Converting"})) << body;
        // A converter that still runs is left running; end it (only ours).
        vidmora::platform::makeProcessControl(vidmora::platform::ProcessScope::OwnDescendants)
            ->terminateProcess(log->started.last());
    }
}

TEST_F(Poll, TheExitStatusIsKept)
{
    auto avc = start("echo failing; exit 3");
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(exitAtComplete, 3) << "readable in the Complete handler";
    EXPECT_EQ(avc->ExitCode(), 3);

    events.clear();
    auto ok = start("echo fine");
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(ok->ExitCode(), 0);
}

TEST_F(Poll, CompleteComesAfterTheSettingsAreCleared)
{
    auto avc = makeDriver(fakeConverter("exit 0"));
    avc->setSourceFile(dir.path() + "/in.flv");
    avc->setDestFile(dir.path() + "/out.avi");
    // Every setting, so that none is left out of the clearing.
    for (auto setter : {&AVC::setRateControlBuffer, &AVC::setVideoBitrateTolerance, &AVC::setTargetFormat,
                        &AVC::setGroupOfPictureSize, &AVC::setVideoQuantiserScale, &AVC::setMaxVideoBitrate,
                        &AVC::setVideoSize, &AVC::setVideoBitrate, &AVC::setVideoFrameRate, &AVC::setVideoCodec,
                        &AVC::setVideoFourCCTag, &AVC::setVideoAspectRatio, &AVC::setForceFormat,
                        &AVC::setAudioBitrate, &AVC::setAudioCodec, &AVC::setAudioFourCCTag, &AVC::setAudioSamples,
                        &AVC::setAudioChannels})
        (avc.get()->*setter)(QStringLiteral("1"));
    avc->setDeInterlace(true);
    avc->setSameQuality(true);
    // A start from inside the Complete handler shows what that handler sees.
    QObject::connect(avc.get(), &AVC::Complete, [&] {
        if (log->commandLines.size() == 1)
            avc->ConvertMedia(true);
    });
    avc->ConvertMedia(true);
    ASSERT_TRUE(waitForComplete());
    ASSERT_EQ(log->commandLines.size(), 1);
    EXPECT_EQ(events.last(), "Error: No filename for source path - maker.test");

    events.clear();
    avc->setSourceFile(dir.path() + "/in.flv");
    avc->setDestFile(dir.path() + "/out.avi");
    avc->ConvertMedia(true);
    ASSERT_EQ(log->commandLines.size(), 2);
    EXPECT_TRUE(log->commandLines[1].endsWith("\" -y \"" + dir.path() + "/out.avi\"")) << qPrintable(log->commandLines[1]);
    ASSERT_TRUE(waitForComplete());
}

// The file names go with the rest at Complete: a start that names only its
// source then misses its destination.
TEST_F(Poll, CompleteClearsTheDestinationToo)
{
    auto avc = start("exit 0");
    ASSERT_TRUE(waitForComplete());
    events.clear();
    avc->setSourceFile(dir.path() + "/in.flv");
    avc->ConvertMedia(true);
    EXPECT_EQ(events, QStringList({"Error: No filename for destination path  - maker.test"}));
    EXPECT_EQ(log->commandLines.size(), 1) << "nothing else is started";
}

TEST_F(Poll, ASecondStartWhileRunningIsRefused)
{
    auto avc = start(kForever);
    avc->setSourceFile(dir.path() + "/other.flv");
    avc->setDestFile(dir.path() + "/other.avi");
    avc->ConvertMedia(true);
    EXPECT_EQ(events, QStringList({"Error: " + AVC::busyText()}));
    EXPECT_EQ(log->commandLines.size(), 1) << "nothing else is started";
    avc->CancelConvert();
    ASSERT_TRUE(waitForComplete());
}

TEST_F(Poll, CancelEndsTheConversionOnTheNextTick)
{
    auto avc = start("echo started; " + kForever);
    ASSERT_TRUE(waitUntil([&] { return count("Converting") >= 1; }));
    const qint64 pid = log->started.value(0);
    avc->CancelConvert();
    EXPECT_FALSE(events.contains("Complete")) << "the cancel raises nothing itself";
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(events.filter("Error").size(), 0);
    EXPECT_EQ(events[events.size() - 2], "Converting");
    EXPECT_EQ(avc->ExitCode(), -1) << "terminated, not finished";
    // The converter is ended; a fork of its script caught between fork and exec
    // carries the same name and may be ended with it.
    EXPECT_TRUE(log->terminated.contains(pid));
    EXPECT_FALSE(alive(pid)) << "ended and reaped";
}

TEST_F(Poll, CancelFromAConvertingHandler)
{
    auto avc = start("while true; do echo working; sleep 0.1; done");
    onConverting = [&] { avc->CancelConvert(); };
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(avc->ExitCode(), -1);
}

TEST_F(Poll, CancelEndsEveryConverterByNameAlsoOnesItDidNotStart)
{
    // Names that end in "wqas.pga" in any case, and one that merely looks alike.
    QList<QProcess *> matching;
    for (const QString &name : QStringList{"wqas.pga", "WQAS.PGA", "old-Wqas.Pga"}) {
        auto *p = new QProcess;
        p->start(vidmora::test::writeFakeConverter(dir.path() + "/others", kForever, name), {});
        ASSERT_TRUE(p->waitForStarted());
        matching << p;
    }
    QList<qint64> pids; // taken now: a QProcess forgets its id once it has seen the end
    for (const QProcess *p : matching)
        pids << p->processId();
    QProcess lookalike;
    lookalike.start(vidmora::test::writeFakeConverter(dir.path() + "/others", kForever, "wqas.pgax"), {});
    ASSERT_TRUE(lookalike.waitForStarted());

    auto idle = makeDriver(fakeConverter("exit 0"));
    const int intervalBefore = timer.Interval();
    // The kernel may not have named a fresh process after its script yet: ask until it has.
    ASSERT_TRUE(waitUntil([&] {
        idle->CancelConvert();
        // Every converter must be among the terminated. The scripts' own short-lived
        // forks (a shell between fork and exec still carries the script's name) may be
        // ended too, and a process killed by an earlier round may be counted again.
        const QSet<qint64> ended(log->terminated.cbegin(), log->terminated.cend());
        return std::all_of(pids.cbegin(), pids.cend(), [&](qint64 pid) { return ended.contains(pid); });
    }));
    for (QProcess *p : matching) {
        EXPECT_TRUE(p->waitForFinished(10000));
        EXPECT_EQ(p->exitStatus(), QProcess::CrashExit);
        delete p;
    }
    EXPECT_EQ(lookalike.state(), QProcess::Running);
    EXPECT_TRUE(events.isEmpty()) << "an idle cancel raises nothing";
    EXPECT_EQ(timer.Interval(), intervalBefore);
    EXPECT_FALSE(timer.Enabled());
    lookalike.kill();
    lookalike.waitForFinished();
}

TEST_F(Poll, CancelAlsoEndsAForeignConverterBesideOurOwn)
{
    QProcess foreign;
    foreign.start(vidmora::test::writeFakeConverter(dir.path() + "/foreign", kForever), {});
    ASSERT_TRUE(foreign.waitForStarted());
    auto avc = start("echo ours; " + kForever);
    ASSERT_TRUE(waitUntil([&] {
        avc->CancelConvert();
        return log->terminated.size() >= 2;
    }));
    EXPECT_TRUE(foreign.waitForFinished(10000));
    ASSERT_TRUE(waitForComplete());
    EXPECT_EQ(count("Complete"), 1);
}

// Releasing closes the driver's read end of the pipe, so a converter that
// goes on writing gets SIGPIPE: one that ignores it (as "wqas.pga" does) keeps
// running, one that does not ends there.
TEST_F(Poll, ReleasingTheDriverLeavesTheConverterRunning)
{
    const QString writing = QStringLiteral("while :; do echo converting || :; sleep 0.05; done");
    struct Case {
        const char *what;
        QString body;
        bool keepsRunning;
    } cases[] = {
        {"ignores SIGPIPE", QStringLiteral("trap '' PIPE; ") + writing, true},
        {"does not ignore SIGPIPE", writing, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        events.clear();
        log->started.clear();
        auto avc = start(c.body);
        const qint64 pid = log->started.value(0);
        ASSERT_TRUE(waitUntil([&] { return count("Converting") > 0; })) << "it writes before the release";
        events.clear();
        avc.reset();
        EXPECT_TRUE(timer.Enabled()) << "the timer is the window's: left as it is";
        // Ticks go on reaching nobody.
        QEventLoop loop;
        QTimer::singleShot(700, &loop, &QEventLoop::quit);
        loop.exec();
        EXPECT_TRUE(events.isEmpty());
        if (c.keepsRunning) {
            EXPECT_TRUE(alive(pid));
            ::kill(pid_t(pid), SIGKILL);
        }
        EXPECT_TRUE(waitUntil([&] { return !alive(pid); })) << "reaped in the background";
        timer.setEnabled(false);
    }
}

} // namespace
