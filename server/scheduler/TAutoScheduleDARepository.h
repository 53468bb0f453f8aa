// The scheduler's reads and writes on the database, through the data-access layer: the
// ranking procedures for reading, and each service's writes in a transaction of their own on
// a second connection, so a failure later in the run never takes back a saved service.
#pragma once

#include "server/scheduler/IAutoScheduleRepository.h"
#include "server/scheduler/SchedulerExport.h"

#include <memory>

class IDAConnection;
class TDAConnectionManager;
class TDAEDataset;

class SCHEDULER_EXPORT TAutoScheduleDARepository : public IAutoScheduleRepository
{
public:
    // Both connections come from the manager's definition of that name when first needed.
    TAutoScheduleDARepository(TDAConnectionManager &manager, const QString &connectionName);
    ~TAutoScheduleDARepository() override;

    void BeginRead() override;
    void CommitRead() override;
    void RollbackRead() noexcept override;
    std::optional<QDateTime> ReadHistoryStartDate() override;
    QList<TAutoScheduleContactRow> ReadContacts() override;
    QList<TAutoScheduleRuleRow> ReadRuleMembers(const QString &contactId) override;
    QList<TAutoScheduleServiceRow> ReadServices(const QDateTime &start, const QDateTime &end) override;
    QList<TAutoScheduleFunctionRow> ReadFunctions(const QString &liturgyId) override;
    QList<TAutoScheduleCandidateRow> ReadCandidates(const TAutoScheduleCandidateQuery &query) override;
    void SaveService(const TAutoScheduleServiceWrite &write) override;

    // Statements and transaction commands sent so far: the run's database round trips.
    int RoundTrips() const { return m_roundTrips; }

private:
    IDAConnection &Reader();
    IDAConnection &Writer();
    void Open(TDAEDataset &dataset);
    void Execute(TDAEDataset &dataset);

    TDAConnectionManager &m_manager;
    QString m_connectionName;
    std::unique_ptr<IDAConnection> m_reader;
    std::unique_ptr<IDAConnection> m_writer;
    int m_roundTrips = 0;
};
