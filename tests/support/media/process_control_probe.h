#pragma once

#include "platform/process_control.h"

#include <QList>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vidmora::test {

// Wraps a real process control: records what the driver asks for, and can make
// the pipe or the process start fail. By default it sees only the processes
// this test started, so that a cancel never reaches a converter that a test
// running beside it has started. The benchmarks also have it note the moment
// each converter exits.
class ProcessControlProbe final : public platform::ProcessControl {
public:
    using Clock = std::chrono::steady_clock;

    struct Log {
        QStringList commandLines;  // every createProcess call
        QList<qint64> started;     // pids of the processes that did start
        QList<qint64> terminated;  // pids that terminateProcess ended
        int pipesOpen = 0;         // pipe ends created and not yet closed
        int readCalls = 0;
        int endWatches = 0;        // pipe-end watches handed out
        qint64 bytesRead = 0;     // over all reads
        bool failPipe = false;
        bool failProcess = false;
        bool refuseEndWatch = false; // the driver then sees the end on its ticks only
        bool watchExit = false;      // note when each started process exits
        std::atomic<bool> exitSeen{false};
        Clock::time_point exitedAt;  // valid once exitSeen

        QString lastCommandLine() const { return commandLines.isEmpty() ? QString() : commandLines.last(); }
    };

    explicit ProcessControlProbe(std::shared_ptr<Log> log,
                                 platform::ProcessScope scope = platform::ProcessScope::OwnDescendants)
        : m_inner(platform::makeProcessControl(scope))
        , m_log(std::move(log))
    {
    }
    ~ProcessControlProbe() override
    {
        // The watch holds the log, not this object: a converter left running
        // must not keep the driver's owner from going away.
        if (m_exitWatch.joinable())
            m_exitWatch.detach();
    }

    bool createPipe(int &readEnd, int &writeEnd) override
    {
        if (m_log->failPipe) {
            readEnd = writeEnd = kNoPipe;
            return false;
        }
        const bool ok = m_inner->createPipe(readEnd, writeEnd);
        if (ok)
            m_log->pipesOpen += 2;
        return ok;
    }
    qint64 createProcess(const QString &commandLine, int outputEnd, QString &error) override
    {
        m_log->commandLines << commandLine;
        if (m_log->failProcess) {
            error = QStringLiteral("refused by the test");
            return 0;
        }
        const qint64 pid = m_inner->createProcess(commandLine, outputEnd, error);
        if (pid) {
            m_log->started << pid;
            if (m_log->watchExit)
                watchExit(pid);
        }
        return pid;
    }
    ReadStatus readPipe(int readEnd, char *buffer, int size, int &bytesRead) override
    {
        ++m_log->readCalls;
        const ReadStatus status = m_inner->readPipe(readEnd, buffer, size, bytesRead);
        m_log->bytesRead += bytesRead;
        return status;
    }
    void closePipe(int end) override
    {
        if (end >= 0)
            --m_log->pipesOpen;
        m_inner->closePipe(end);
    }
    std::unique_ptr<platform::PipeEndWatch> watchPipeEnd(int readEnd) override
    {
        if (m_log->refuseEndWatch)
            return nullptr;
        auto watch = m_inner->watchPipeEnd(readEnd);
        if (watch)
            ++m_log->endWatches;
        return watch;
    }
    qint64 pipeBytesWaiting(int readEnd) override { return m_inner->pipeBytesWaiting(readEnd); }
    int closeProcess(qint64 pid) override
    {
        const int code = m_inner->closeProcess(pid);
        if (m_exitWatch.joinable())
            m_exitWatch.join();
        return code;
    }
    void detachProcess(qint64 pid) override { m_inner->detachProcess(pid); }
    QList<platform::ProcessEntry> processList() override { return m_inner->processList(); }
    bool terminateProcess(qint64 pid) override
    {
        const bool ok = m_inner->terminateProcess(pid);
        if (ok)
            m_log->terminated << pid;
        return ok;
    }
    QString shortPathName(const QString &longPath) override { return m_inner->shortPathName(longPath); }

private:
    // A process descriptor stays readable from the exit on, also once the
    // driver has reaped the process, so the watch never races the driver's wait.
    void watchExit(qint64 pid)
    {
        if (m_exitWatch.joinable())
            m_exitWatch.join();
        m_log->exitSeen = false;
        const int pidFd = int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
        if (pidFd < 0)
            return;
        m_exitWatch = std::thread([log = m_log, pidFd] {
            pollfd f{pidFd, POLLIN, 0};
            int r;
            while ((r = ::poll(&f, 1, -1)) < 0 && errno == EINTR) {
            }
            if (r > 0) {
                log->exitedAt = Clock::now();
                log->exitSeen = true;
            }
            ::close(pidFd);
        });
    }

    std::unique_ptr<platform::ProcessControl> m_inner;
    std::shared_ptr<Log> m_log;
    std::thread m_exitWatch;
};

} // namespace vidmora::test
