#pragma once

#include "platform/process_control.h"

#include <QList>
#include <QStringList>

#include <memory>

namespace vidmora::test {

// Wraps a real process control: records what the driver asks for, and can make
// the pipe or the process start fail. By default it sees only the processes
// this test started, so that a cancel never reaches a converter that a test
// running beside it has started.
class ProcessControlProbe final : public platform::ProcessControl {
public:
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
    };

    explicit ProcessControlProbe(std::shared_ptr<Log> log,
                                 platform::ProcessScope scope = platform::ProcessScope::OwnDescendants)
        : m_inner(platform::makeProcessControl(scope))
        , m_log(std::move(log))
    {
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
        if (pid)
            m_log->started << pid;
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
        auto watch = m_inner->watchPipeEnd(readEnd);
        if (watch)
            ++m_log->endWatches;
        return watch;
    }
    qint64 pipeBytesWaiting(int readEnd) override { return m_inner->pipeBytesWaiting(readEnd); }
    int closeProcess(qint64 pid) override { return m_inner->closeProcess(pid); }
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
    std::unique_ptr<platform::ProcessControl> m_inner;
    std::shared_ptr<Log> m_log;
};

} // namespace vidmora::test
