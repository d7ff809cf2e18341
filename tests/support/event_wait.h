#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

namespace vidmora::test {

// Runs the event loop until `done` holds or `ms` elapse; returns whether it held.
// A bound, not a timing check: tests pass as soon as the condition holds.
inline bool waitUntil(const std::function<bool()> &done, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::usleep(200);
    }
    return true;
}

} // namespace vidmora::test
