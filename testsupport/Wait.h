// Waiting in tests for something that happens on the event loop or in another process.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <chrono>
#include <functional>

namespace kestrova::test {

// Runs the event loop until done() holds or the time is up; answers done().
inline bool WaitFor(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    QDeadlineTimer deadline(limit);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

} // namespace kestrova::test
