// Plays the events service for the scheduler tests: builds a scheduler over an in-memory
// database, hands it a stop flag and an event sink, and runs it as the service would.
#pragma once

#include "MemoryRepository.h"
#include "foundation/QorDateTime.h"
#include "server/scheduler/uScheduler.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

struct TRecordingSink : IAutoScheduleEventSink
{
    QStringList Events;
    void AutoScheduleBegin() override { Events << QStringLiteral("begin"); }
    void AutoScheduleProgress(int position, int max) override
    {
        Events << QStringLiteral("%1/%2").arg(position).arg(max);
    }
    void AutoScheduleEnd() override { Events << QStringLiteral("end"); }
};

class SchedulerHarness : public ::testing::Test
{
protected:
    static QDateTime At(int y, int m, int d, int h, int min = 0) { return WallClock(QDate(y, m, d), QTime(h, min)); }
    // Monday 2 November 2026, 10:00: a weekday service.
    static QDateTime Monday() { return At(2026, 11, 2, 10); }

    void People(const QStringList &ids)
    {
        for (const QString &id : ids)
            repo.AddContact(id);
    }
    void Eligible(const QString &functionId, const QStringList &ids, int isFillIn = 0)
    {
        for (const QString &id : ids)
            repo.AddEligible(id, functionId, isFillIn);
    }

    // Runs the period [from, to) as the events service does and answers Execute's result.
    bool Run(const QDate &from, const QDate &to, const QStringList &functions = {}, const QStringList &templates = {})
    {
        TAutoScheduleRunGuard guard(&sink, running);
        scheduler = std::make_unique<TvoAutoScheduler>(templates, WallClock(from, QTime(0, 0)), WallClock(to, QTime(0, 0)),
                                                       functions, Colors, true, repo, stop);
        scheduler->SetOnProgress(&sink);
        scheduler->SetTraceFolder(folder.path());
        return scheduler->Execute();
    }
    bool RunMonday() { return Run(QDate(2026, 11, 2), QDate(2026, 11, 3)); }

    QString TraceFile() const { return folder.filePath(QStringLiteral("TraceLog.txt")); }

    const QStringList Colors{QStringLiteral("C0"), QStringLiteral("C1"), QStringLiteral("C2")};
    TMemoryRepository repo;
    std::atomic<bool> stop{false};
    std::atomic<bool> running{false};
    TRecordingSink sink;
    QTemporaryDir folder;
    std::unique_ptr<TvoAutoScheduler> scheduler;
};
