// Passes every call to another repository and keeps each candidate list it answers, so two
// runs can be compared list by list.
#pragma once

#include "server/scheduler/IAutoScheduleRepository.h"

#include <QList>
#include <QString>

#include <functional>

class TRecordingRepository : public IAutoScheduleRepository
{
public:
    struct List
    {
        TAutoScheduleCandidateQuery Query;
        QList<TAutoScheduleCandidateRow> Rows;
    };

    explicit TRecordingRepository(IAutoScheduleRepository &inner) : m_inner(inner) {}

    QList<List> Lists;

    // Empty when both recorded the same lists; otherwise where and how they first differ.
    static QString FirstDifference(const QList<List> &a, const QList<List> &b);

    void BeginRead() override { m_inner.BeginRead(); }
    void CommitRead() override { m_inner.CommitRead(); }
    void RollbackRead() noexcept override { m_inner.RollbackRead(); }
    std::optional<QDateTime> ReadHistoryStartDate() override { return m_inner.ReadHistoryStartDate(); }
    QList<TAutoScheduleContactRow> ReadContacts() override { return m_inner.ReadContacts(); }
    QList<TAutoScheduleRuleRow> ReadRules() override { return m_inner.ReadRules(); }
    QList<TAutoScheduleServiceRow> ReadServices(const QDateTime &start, const QDateTime &end) override
    {
        return m_inner.ReadServices(start, end);
    }
    QList<TAutoScheduleFunctionRow> ReadFunctions(const QString &liturgyId) override { return m_inner.ReadFunctions(liturgyId); }
    void PrepareRanking(const QDateTime &historyStartDate, const QDateTime &start, const QDateTime &end) override
    {
        m_inner.PrepareRanking(historyStartDate, start, end);
    }
    QList<TAutoScheduleCandidateRow> ReadCandidates(const TAutoScheduleCandidateQuery &query) override
    {
        Lists.append({query, m_inner.ReadCandidates(query)});
        return Lists.last().Rows;
    }
    QList<TAutoScheduleChangedRow> SaveService(const TAutoScheduleServiceWrite &write) override
    {
        if (BeforeSave)
            BeforeSave(write);
        return m_inner.SaveService(write);
    }
    // Called before each write is passed on: a test changes rows there as another user would.
    std::function<void(const TAutoScheduleServiceWrite &)> BeforeSave;

private:
    IAutoScheduleRepository &m_inner;
};
