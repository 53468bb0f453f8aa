// Where a scheduling run reports its begin, progress and end. The events service adapts it to
// the clients' auto-schedule events; tests record the calls.
#pragma once

#include "server/scheduler/SchedulerExport.h"

#include <atomic>

class SCHEDULER_EXPORT IAutoScheduleEventSink
{
public:
    IAutoScheduleEventSink() = default;
    virtual ~IAutoScheduleEventSink();
    IAutoScheduleEventSink(const IAutoScheduleEventSink &) = delete;
    IAutoScheduleEventSink &operator=(const IAutoScheduleEventSink &) = delete;

    virtual void AutoScheduleBegin() = 0;
    virtual void AutoScheduleProgress(int position, int max) = 0;
    virtual void AutoScheduleEnd() = 0;
};

// Held by the caller for the length of a run: sets the running flag and fires the begin event
// when made; clears the flag and fires the end event when left, on every path out, a failed
// or stopped run included. A failing sink is logged, never passed on.
class SCHEDULER_EXPORT TAutoScheduleRunGuard
{
public:
    TAutoScheduleRunGuard(IAutoScheduleEventSink *sink, std::atomic<bool> &running);
    ~TAutoScheduleRunGuard();
    TAutoScheduleRunGuard(const TAutoScheduleRunGuard &) = delete;
    TAutoScheduleRunGuard &operator=(const TAutoScheduleRunGuard &) = delete;

private:
    IAutoScheduleEventSink *m_sink;
    std::atomic<bool> &m_running;
};
