// The scheduler's reads and writes on the database, through the data-access layer. The
// candidates are ranked in memory from rows read once, and the function rows of all liturgies
// read in one statement (or, for comparison, the procedures are called per liturgy and per
// function); each service is written by one statement on a second connection, so a failure
// later in the run never takes back a saved service, and only where its rows are as read.
#pragma once

#include "server/scheduler/IAutoScheduleRepository.h"
#include "server/scheduler/SchedulerExport.h"

#include <QHash>

#include <memory>

class TAutoScheduleRanking;

enum class TAutoScheduleRankingSource
{
    InMemory,   // the run's own counters, the same order as the procedure
    Procedures, // step4_weekend_ordered, one call per function
};

class IDAConnection;
class TDAConnectionManager;
class TDAEDataset;

class SCHEDULER_EXPORT TAutoScheduleDARepository : public IAutoScheduleRepository
{
public:
    // Both connections come from the manager's definition of that name when first needed.
    TAutoScheduleDARepository(TDAConnectionManager &manager, const QString &connectionName,
                              TAutoScheduleRankingSource ranking = TAutoScheduleRankingSource::InMemory);
    ~TAutoScheduleDARepository() override;

    void BeginRead() override;
    void CommitRead() override;
    void RollbackRead() noexcept override;
    std::optional<QDateTime> ReadHistoryStartDate() override;
    QList<TAutoScheduleContactRow> ReadContacts() override;
    QList<TAutoScheduleRuleRow> ReadRules() override;
    QList<TAutoScheduleServiceRow> ReadServices(const QDateTime &start, const QDateTime &end) override;
    QList<TAutoScheduleFunctionRow> ReadFunctions(const QString &liturgyId) override;
    void PrepareRanking(const QDateTime &historyStartDate, const QDateTime &start, const QDateTime &end) override;
    QList<TAutoScheduleCandidateRow> ReadCandidates(const TAutoScheduleCandidateQuery &query) override;
    QList<TAutoScheduleChangedRow> SaveService(const TAutoScheduleServiceWrite &write) override;

    // Statements and transaction commands sent so far: the run's database round trips.
    int RoundTrips() const { return m_roundTrips; }

private:
    IDAConnection &Reader();
    IDAConnection &Writer();
    void Open(TDAEDataset &dataset);

    TDAConnectionManager &m_manager;
    QString m_connectionName;
    TAutoScheduleRankingSource m_source;
    std::unique_ptr<TAutoScheduleRanking> m_ranking;
    QDateTime m_servicesFrom;
    QDateTime m_servicesTo;
    std::unique_ptr<QHash<QString, QList<TAutoScheduleFunctionRow>>> m_functions;
    std::unique_ptr<IDAConnection> m_reader;
    std::unique_ptr<IDAConnection> m_writer;
    int m_roundTrips = 0;
};
