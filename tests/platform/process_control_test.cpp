#include "platform/process_control.h"

#include "event_wait.h"
#include "fake_converter.h"
#include "test_files.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using vidmora::platform::ProcessControl;
using vidmora::platform::ProcessScope;
using vidmora::platform::splitCommandLine;

namespace {

struct SplitCase {
    const char *line;
    QStringList words;
};

TEST(SplitCommandLine, FollowsTheHostRules)
{
    const SplitCase cases[] = {
        {"", {}},
        {"   ", {}},
        {"prog", {"prog"}},
        {"  prog  a\tb  ", {"prog", "a", "b"}},
        {"\"/my progs/wqas.pga\" -i \"/a b/c.flv\" -y \"/a b/c.avi\"",
         {"/my progs/wqas.pga", "-i", "/a b/c.flv", "-y", "/a b/c.avi"}},
        {"prog -s 320 240", {"prog", "-s", "320", "240"}},       // an unquoted value falls apart
        {"prog a\"b c\"d", {"prog", "ab cd"}},                    // quotes group inside a word
        {"prog \"\"", {"prog", ""}},                              // an empty quoted word is a word
        {"prog \"a\"\"b\"", {"prog", "a\"b"}},                    // "" inside a group is a quote
        {"prog a\\\\\"b c\"", {"prog", "a\\b c"}},                // 2n backslashes: n, and the quote groups
        {"prog a\\\"b", {"prog", "a\"b"}},                        // 2n+1: n and a literal quote
        {"prog a\\b\\\\c", {"prog", "a\\b\\\\c"}},                // backslashes alone stay
        {"C:\\dir\\prog.exe\\ x", {"C:\\dir\\prog.exe\\", "x"}},  // the program keeps its backslashes
        {"\"C:\\x y\\\\\" z", {"C:\\x y\\", "z"}},            // a closing backslash is doubled
        {"\"/my \\\"progs\\\"/wqas.pga\" -i x", {"/my \"progs\"/wqas.pga", "-i", "x"}}, // \" in the program
        {"prog \"unterminated group", {"prog", "unterminated group"}},
    };
    for (const SplitCase &c : cases)
        EXPECT_EQ(splitCommandLine(QString::fromLatin1(c.line)), c.words) << c.line;
}

class ProcessControlTest : public ::testing::Test {
protected:
    // Runs `commandLine` to its end and returns what it wrote; `exitCode` gets its status.
    QByteArray runToEnd(const QString &commandLine, int &exitCode, int *noDataReads = nullptr)
    {
        int readEnd, writeEnd;
        EXPECT_TRUE(pc->createPipe(readEnd, writeEnd));
        QString error;
        const qint64 pid = pc->createProcess(commandLine, writeEnd, error);
        pc->closePipe(writeEnd);
        EXPECT_NE(pid, 0) << qPrintable(error);
        QByteArray all;
        int idle = 0;
        const bool ended = vidmora::test::waitUntil([&] {
            char buf[256];
            int n = 0;
            const auto st = pc->readPipe(readEnd, buf, sizeof buf, n);
            if (st == ProcessControl::ReadStatus::Data)
                all.append(buf, n);
            else if (st == ProcessControl::ReadStatus::NoData)
                ++idle;
            return st == ProcessControl::ReadStatus::Ended;
        }, 30000);
        EXPECT_TRUE(ended);
        pc->closePipe(readEnd);
        exitCode = pc->closeProcess(pid);
        EXPECT_EQ(::waitpid(pid_t(pid), nullptr, WNOHANG), -1) << "the child is reaped";
        if (noDataReads)
            *noDataReads = idle;
        return all;
    }

    std::unique_ptr<ProcessControl> pc = vidmora::platform::makeProcessControl(ProcessScope::OwnDescendants);
    QTemporaryDir dir;
};

TEST_F(ProcessControlTest, BothStreamsReachThePipeAndTheStatusIsKept)
{
    int code = 0;
    const QByteArray out = runToEnd(QStringLiteral("/bin/sh -c \"echo out; echo err >&2; exit 3\""), code);
    EXPECT_EQ(out, "out\nerr\n");
    EXPECT_EQ(code, 3);
}

TEST_F(ProcessControlTest, StandardInputIsEmpty)
{
    int code = -5;
    EXPECT_EQ(runToEnd(QStringLiteral("/bin/cat"), code), QByteArray());
    EXPECT_EQ(code, 0);
}

TEST_F(ProcessControlTest, ReadsDoNotWaitForASilentWriter)
{
    int code = -5;
    int idle = 0;
    const QByteArray out = runToEnd(QStringLiteral("/bin/sh -c \"sleep 0.5; echo late\""), code, &idle);
    EXPECT_EQ(out, "late\n");
    EXPECT_GT(idle, 0) << "a read before the first output comes back with NoData";
    EXPECT_EQ(code, 0);
}

TEST_F(ProcessControlTest, QuotedProgramPathWithBlanksStarts)
{
    const QString conv = vidmora::test::writeFakeConverter(dir.path() + "/my progs", "echo \"$1|$2|$3\"");
    int code = -5;
    EXPECT_EQ(runToEnd(u'"' + conv + "\" -i \"a b.flv\" \"c d.avi\"", code), "-i|a b.flv|c d.avi\n");
    EXPECT_EQ(code, 0);
}

TEST_F(ProcessControlTest, StartFailuresAreReported)
{
    const QString notExecutable = dir.path() + "/plain.pga";
    ASSERT_TRUE(vidmora::test::writeFile(notExecutable, "data"));
    for (const QString &line : {dir.path() + "/missing.pga -i x", notExecutable + " -i x", QString()}) {
        int readEnd, writeEnd;
        ASSERT_TRUE(pc->createPipe(readEnd, writeEnd));
        QString error;
        EXPECT_EQ(pc->createProcess(line, writeEnd, error), 0) << qPrintable(line);
        EXPECT_FALSE(error.isEmpty());
        pc->closePipe(writeEnd);
        pc->closePipe(readEnd);
    }
}

TEST_F(ProcessControlTest, ListsScriptsByTheirOwnFileName)
{
    // A short name (the kernel's process name) and one longer than it keeps.
    const QString shortName = vidmora::test::writeFakeConverter(dir.path(), "while :; do sleep 0.1; done", "Xwqas.PGA");
    const QString longName = vidmora::test::writeFakeConverter(dir.path(), "while :; do sleep 0.1; done", "a-rather-long-name-wqas.pga");
    QProcess a, b;
    a.start(shortName, {});
    b.start(longName, {"-i", "x"});
    ASSERT_TRUE(a.waitForStarted() && b.waitForStarted());

    auto nameOf = [&](qint64 pid) {
        for (const auto &e : pc->processList())
            if (e.pid == pid)
                return e.exeFile;
        return QString();
    };
    EXPECT_TRUE(vidmora::test::waitUntil([&] { return nameOf(a.processId()) == "Xwqas.PGA"; }))
        << qPrintable(nameOf(a.processId()));
    EXPECT_TRUE(vidmora::test::waitUntil([&] { return nameOf(b.processId()) == "a-rather-long-name-wqas.pga"; }))
        << qPrintable(nameOf(b.processId()));

    // A binary is listed by its program file.
    EXPECT_EQ(nameOf(::getpid()), QString()) << "this program is not its own descendant";
    auto all = vidmora::platform::makeProcessControl();
    bool foundSelf = false;
    for (const auto &e : all->processList())
        foundSelf |= e.pid == ::getpid() && e.exeFile == "platform_tests";
    EXPECT_TRUE(foundSelf);

    EXPECT_TRUE(pc->terminateProcess(a.processId()));
    EXPECT_TRUE(a.waitForFinished(10000));
    EXPECT_EQ(a.exitStatus(), QProcess::CrashExit);
    EXPECT_TRUE(pc->terminateProcess(b.processId()));
    EXPECT_TRUE(b.waitForFinished(10000));
}

TEST_F(ProcessControlTest, AnExitedProcessIsNotListedBeforeItIsReaped)
{
    int readEnd, writeEnd;
    ASSERT_TRUE(pc->createPipe(readEnd, writeEnd));
    QString error;
    const qint64 pid = pc->createProcess(QStringLiteral("/bin/sh -c \"exit 0\""), writeEnd, error);
    pc->closePipe(writeEnd);
    ASSERT_NE(pid, 0) << qPrintable(error);
    ASSERT_TRUE(vidmora::test::waitUntil([&] {
        siginfo_t info{};
        return ::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_t(pid);
    }));
    for (const auto &e : pc->processList())
        EXPECT_NE(e.pid, pid) << "an exited process is listed as " << qPrintable(e.exeFile);
    pc->closePipe(readEnd);
    EXPECT_EQ(pc->closeProcess(pid), 0);
}

TEST_F(ProcessControlTest, TerminateEndsAStartedProcessAndItIsReaped)
{
    int readEnd, writeEnd;
    ASSERT_TRUE(pc->createPipe(readEnd, writeEnd));
    QString error;
    const qint64 pid = pc->createProcess(QStringLiteral("/bin/sleep 30"), writeEnd, error);
    pc->closePipe(writeEnd);
    ASSERT_NE(pid, 0);
    EXPECT_FALSE(pc->terminateProcess(1)) << "outside this program's descendants";
    EXPECT_FALSE(pc->terminateProcess(0));
    EXPECT_FALSE(pc->terminateProcess(-1));
    EXPECT_TRUE(pc->terminateProcess(pid));
    EXPECT_TRUE(vidmora::test::waitUntil([&] {
        char buf[256];
        int n;
        return pc->readPipe(readEnd, buf, sizeof buf, n) == ProcessControl::ReadStatus::Ended;
    }));
    pc->closePipe(readEnd);
    EXPECT_EQ(pc->closeProcess(pid), -1) << "killed, not exited";
    EXPECT_EQ(::kill(pid_t(pid), 0), -1) << "no zombie left";
}

TEST_F(ProcessControlTest, TheEndWatchTellsOnceWhenTheWritersHaveGoneAndNotBefore)
{
    int readEnd, writeEnd;
    ASSERT_TRUE(pc->createPipe(readEnd, writeEnd));
    auto watch = pc->watchPipeEnd(readEnd);
    ASSERT_NE(watch, nullptr);
    int told = 0;
    QObject::connect(watch.get(), &vidmora::platform::PipeEndWatch::ended, [&] { ++told; });
    EXPECT_EQ(pc->pipeBytesWaiting(readEnd), 0);

    // Data from a writer that lives on wakes nobody (a bound, not a timing check).
    const QByteArray data(300, 'x');
    ASSERT_EQ(::write(writeEnd, data.constData(), size_t(data.size())), data.size());
    EXPECT_FALSE(vidmora::test::waitUntil([&] { return told > 0; }, 200));
    EXPECT_EQ(pc->pipeBytesWaiting(readEnd), 300);

    // Its end is told although the data is still unread, and only once.
    pc->closePipe(writeEnd);
    ASSERT_TRUE(vidmora::test::waitUntil([&] { return told > 0; }));
    EXPECT_FALSE(vidmora::test::waitUntil([&] { return told > 1; }, 200));
    EXPECT_EQ(pc->pipeBytesWaiting(readEnd), 300) << "nothing was read";

    char buf[256];
    int n = 0;
    EXPECT_EQ(pc->readPipe(readEnd, buf, sizeof buf, n), ProcessControl::ReadStatus::Data);
    EXPECT_EQ(n, 256);
    EXPECT_EQ(pc->pipeBytesWaiting(readEnd), 44);
    watch.reset();
    pc->closePipe(readEnd);
    EXPECT_EQ(pc->pipeBytesWaiting(ProcessControl::kNoPipe), -1);
    EXPECT_EQ(pc->watchPipeEnd(ProcessControl::kNoPipe), nullptr);
}

TEST_F(ProcessControlTest, ShortPathIsThePathWhenItExists)
{
    const QString conv = vidmora::test::writeFakeConverter(dir.path() + "/a b", "exit 0");
    EXPECT_EQ(pc->shortPathName(conv), conv);
    EXPECT_EQ(pc->shortPathName(dir.path() + "/nothing/wqas.pga"), QString());
    EXPECT_EQ(pc->shortPathName(QString()), QString());
}

} // namespace
