#pragma once

// Watching the encoder (ffmpeg) that a converter of this test started.

#include "event_wait.h"
#include "platform/process_control.h"
#include "proc_stat.h"

#include <functional>

namespace vidmora::test {

// Running, and not merely a zombie waiting for its parent.
inline bool runningProcess(qint64 pid)
{
    ProcStat stat;
    return readProcStat(pid, &stat) && isRunningState(stat.state);
}

// The pid of the encoder that this test's converter started, once it runs;
// 0 when the conversion has `ended` first.
inline qint64 encoderOnceRunning(const std::function<bool()> &ended)
{
    auto pc = platform::makeProcessControl(platform::ProcessScope::OwnDescendants);
    qint64 encoder = 0;
    waitUntil([&] {
        for (const auto &e : pc->processList())
            if (e.exeFile == "ffmpeg")
                encoder = e.pid;
        return encoder != 0 || ended();
    }, 60000);
    return encoder;
}

} // namespace vidmora::test
