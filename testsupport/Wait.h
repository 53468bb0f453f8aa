// Waiting in tests for something that happens on the event loop or in another process.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

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

// The same over a running event loop, as the program's own loop waits: a fault that only an
// idle loop shows (input held back until something else wakes it) is not hidden by polling.
inline bool WaitInLoop(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    look.start();
    loop.exec();
    return done();
}

} // namespace kestrova::test
