// The caller's side of a run: running flag and begin/end events on every path.
#include "server/scheduler/IAutoScheduleEventSink.h"

#include "foundation/QuorvaLogFile.h"
#include "server/scheduler/IAutoScheduleRepository.h"

#include <exception>

IAutoScheduleEventSink::~IAutoScheduleEventSink() = default;
IAutoScheduleRepository::~IAutoScheduleRepository() = default;

void IAutoScheduleRepository::PrepareRanking(const QDateTime &, const QDateTime &, const QDateTime &) {}

namespace {

void Report(const char *context, const std::exception_ptr &error)
{
    QString message = QStringLiteral("Unknown error");
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
    }
    AddToLog(llSevere, QStringLiteral("Autoschedule"), QString::fromLatin1(context), message);
}

} // namespace

TAutoScheduleRunGuard::TAutoScheduleRunGuard(IAutoScheduleEventSink *sink, std::atomic<bool> &running)
    : m_sink(sink), m_running(running)
{
    m_running.store(true);
    if (!m_sink)
        return;
    try {
        m_sink->AutoScheduleBegin();
    } catch (...) {
        Report("AutoScheduleBegin", std::current_exception());
    }
}

TAutoScheduleRunGuard::~TAutoScheduleRunGuard()
{
    m_running.store(false);
    if (!m_sink)
        return;
    try {
        m_sink->AutoScheduleEnd();
    } catch (...) {
        Report("AutoScheduleEnd", std::current_exception());
    }
}
