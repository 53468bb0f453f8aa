// What the scheduling run reads from and writes to the database, as rows. One implementation
// works on the driver; tests use one in memory, so the serving rules can be tried without a
// database. Failures are raised as exceptions; the run turns them into its failure handling.
#pragma once

#include "server/scheduler/SchedulerExport.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct TAutoScheduleContactRow
{
    QString ContactID;
    bool FlagContact = false;
};

// A rule seen from the owner's side: every rule between the owner and another member, in
// either direction, as sp_AutoSchedule_Rulemembers answers it for the owner.
struct TAutoScheduleRuleRow
{
    QString Owner;
    QString Contact;
    QString Rule;
};

struct TAutoScheduleServiceRow
{
    QString LiturgyID;
    QDateTime StartDateTime;
    QString TemplateID;
    QString EventID;
};

struct TAutoScheduleFunctionRow
{
    QString FunctionID;
    QString ScheduledMemberID;
    bool AllowDuplicate = false;
    bool MemberLocked = false;
    QString MemberID;       // empty when the row has no member
    QString MemberTypeID;   // empty when NULL
    bool FlagMinister = false;
    QString FunctionName;
};

struct TAutoScheduleCandidateQuery
{
    int WeekNum = -1;
    QString LiturgyID;
    QString FunctionID;
    QString TemplateID;
    QDateTime HistoryStartDate;
    QDateTime StartDateTime; // the liturgy's start
};

struct TAutoScheduleCandidateRow
{
    QString ContactID;
    int IsFillIn = 0;
};

// Everything written for one service, all or nothing: the rows the run writes, each with the
// member it read there, and the event's colour and flag.
struct TAutoScheduleServiceWrite
{
    struct Assignment
    {
        QString ContactID; // empty clears the row
        QString ScheduledMemberID;
        QString MemberTypeID;
        bool FlagMinister = false;
        // The member the run read on the row (empty for none): the row is written only while it
        // still holds that member and is unlocked, so a planner's change during the run stands.
        QString ReadMemberID;
    };
    // A row of another liturgy of the weekend and the member the run holds it has: the weekend's
    // one-liturgy rule was judged on it, so a planner's change there refuses the write as well.
    struct Watched
    {
        QString ScheduledMemberID;
        QString MemberID;
    };
    QString LiturgyID;
    QString EventID;
    QList<Assignment> Assignments;
    QList<Watched> WatchedRows;
    QString EventColorID;
    int EventCode = 0;
};

// A row of a write that is no longer as the run read it, as it is now.
struct TAutoScheduleChangedRow
{
    QString ScheduledMemberID;
    bool Exists = true; // false when the row was deleted
    QString MemberID;
    QString MemberTypeID;
    bool FlagMinister = false;
    bool MemberLocked = false;
};

class SCHEDULER_EXPORT IAutoScheduleRepository
{
public:
    IAutoScheduleRepository() = default;
    virtual ~IAutoScheduleRepository();
    IAutoScheduleRepository(const IAutoScheduleRepository &) = delete;
    IAutoScheduleRepository &operator=(const IAutoScheduleRepository &) = delete;

    // The reads of one run share a transaction; writes never depend on it.
    virtual void BeginRead() = 0;
    virtual void CommitRead() = 0;
    // Never raises: it runs while a failure is being handled.
    virtual void RollbackRead() noexcept = 0;

    virtual std::optional<QDateTime> ReadHistoryStartDate() = 0;
    virtual QList<TAutoScheduleContactRow> ReadContacts() = 0;
    // Every person's rules in one read: by owner, then partner, then rule type.
    virtual QList<TAutoScheduleRuleRow> ReadRules() = 0;
    // Liturgies whose event starts from start to end, both included, earliest first.
    virtual QList<TAutoScheduleServiceRow> ReadServices(const QDateTime &start, const QDateTime &end) = 0;
    virtual QList<TAutoScheduleFunctionRow> ReadFunctions(const QString &liturgyId) = 0;
    // Called once before the first ReadCandidates with the history start and the period the
    // services were read for (both ends included). A repository that ranks in memory reads
    // what the ranking needs here; one that asks the database needs nothing.
    virtual void PrepareRanking(const QDateTime &historyStartDate, const QDateTime &start, const QDateTime &end);
    // Ranked best first; sees every service written before by SaveService.
    virtual QList<TAutoScheduleCandidateRow> ReadCandidates(const TAutoScheduleCandidateQuery &query) = 0;
    // All or nothing: a failure leaves the service as it was. When a row of the write has changed
    // since the run read it, or a watched row holds another member, nothing is written and the
    // changed rows are answered as they are now.
    virtual QList<TAutoScheduleChangedRow> SaveService(const TAutoScheduleServiceWrite &write) = 0;
};
