#pragma once

// A process control for the converter benchmarks: passes everything to the
// real one and notes the converter's command line, the moment it exits and
// how many bytes of its output the driver read.

#include "platform/process_control.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vidmora::bench {

using Clock = std::chrono::steady_clock;

// Passes everything to the real process control and remembers the last start.
class Recorder final : public vidmora::platform::ProcessControl {
public:
    bool createPipe(int &r, int &w) override { return m_real->createPipe(r, w); }
    qint64 createProcess(const QString &line, int out, QString &error) override
    {
        commandLine = line;
        pid = m_real->createProcess(line, out, error);
        if (pid > 0)
            watchExit(pid);
        return pid;
    }
    ReadStatus readPipe(int r, char *b, int n, int &got) override
    {
        const ReadStatus status = m_real->readPipe(r, b, n, got);
        if (status == ReadStatus::Data)
            bytesRead += got;
        return status;
    }
    void closePipe(int e) override { m_real->closePipe(e); }
    std::unique_ptr<vidmora::platform::PipeEndWatch> watchPipeEnd(int r) override
    {
        return endWatch ? m_real->watchPipeEnd(r) : nullptr;
    }
    qint64 pipeBytesWaiting(int r) override { return m_real->pipeBytesWaiting(r); }
    int closeProcess(qint64 p) override
    {
        const int code = m_real->closeProcess(p);
        if (m_watcher.joinable())
            m_watcher.join();
        return code;
    }
    void detachProcess(qint64 p) override { m_real->detachProcess(p); }
    QList<vidmora::platform::ProcessEntry> processList() override { return m_real->processList(); }
    bool terminateProcess(qint64 p) override { return m_real->terminateProcess(p); }
    QString shortPathName(const QString &p) override { return m_real->shortPathName(p); }

    bool endWatch = true; // off: the driver sees the end on its ticks only
    QString commandLine;
    qint64 pid = 0;
    qint64 bytesRead = 0; // of the converter's output, over all conversions
    std::atomic<bool> exitSeen{false};
    Clock::time_point exitedAt;

private:
    // Notes the moment the converter exits. A process descriptor stays readable
    // from the exit on, also once the driver has reaped the process, so the
    // watch never races the driver's own wait.
    void watchExit(qint64 p)
    {
        exitSeen = false;
        const int pidFd = int(::syscall(SYS_pidfd_open, pid_t(p), 0));
        if (pidFd < 0)
            return;
        m_watcher = std::thread([this, pidFd] {
            pollfd f{pidFd, POLLIN, 0};
            int r;
            while ((r = ::poll(&f, 1, -1)) < 0 && errno == EINTR) {
            }
            if (r > 0) {
                exitedAt = Clock::now();
                exitSeen = true;
            }
            ::close(pidFd);
        });
    }

    std::unique_ptr<vidmora::platform::ProcessControl> m_real = vidmora::platform::makeProcessControl();
    std::thread m_watcher;
};

} // namespace vidmora::bench
