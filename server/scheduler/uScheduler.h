// The automatic scheduler: fills the open ministry functions of the liturgies of a period
// with people, obeying the serving rules, and writes the result. One TvoAutoScheduler serves
// one Execute; it never lets an error out and never writes outside SaveAssignments.
#pragma once

#include "server/scheduler/IAutoScheduleEventSink.h"
#include "server/scheduler/IAutoScheduleRepository.h"
#include "server/scheduler/SchedulerExport.h"
#include "server/scheduler/uHashes.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TvoPerson;
using TvoPersonRefs = QList<TvoPerson *>;

// Rule type ids of the serving rules; any other rule type means "avoid".
SCHEDULER_EXPORT extern const QString kRulePrefer;
SCHEDULER_EXPORT extern const QString kRuleAlways;
SCHEDULER_EXPORT extern const QString kRuleDontApart;

class SCHEDULER_EXPORT TvoPerson
{
public:
    TvoPerson(const QString &contactId, bool flagContact, const QString &memberTypeId);
    // A candidate copy: shares the four rule lists of its source.
    explicit TvoPerson(const TvoPerson &source);
    TvoPerson &operator=(const TvoPerson &) = delete;

    QString ContactID;
    QString MemberTypeID;
    bool FlagContact = false;
    bool IsFillIn = false;

    TvoPersonRefs &AvoidList() { return *m_avoid; }
    TvoPersonRefs &PreferList() { return *m_prefer; }
    TvoPersonRefs &DontApartList() { return *m_dontApart; }
    TvoPersonRefs &AlwaysList() { return *m_always; }

private:
    std::shared_ptr<TvoPersonRefs> m_avoid;
    std::shared_ptr<TvoPersonRefs> m_prefer;
    std::shared_ptr<TvoPersonRefs> m_dontApart;
    std::shared_ptr<TvoPersonRefs> m_always;
};

class SCHEDULER_EXPORT TvoPersonList
{
public:
    TvoPersonList() = default;
    virtual ~TvoPersonList();
    TvoPersonList(const TvoPersonList &) = delete;
    TvoPersonList &operator=(const TvoPersonList &) = delete;

    // Takes the person; answers it.
    TvoPerson *Add(std::unique_ptr<TvoPerson> person);
    int Count() const { return int(m_items.size()); }
    // Frees every person, last first.
    void Clear();
    TvoPerson *Item(int index) const { return m_items.at(std::size_t(index)).get(); }

protected:
    std::vector<std::unique_ptr<TvoPerson>> m_items;
};

// Every person of one run with an index by contact id. The index holds list positions, so
// each person has exactly one owner.
class SCHEDULER_EXPORT TvoFirstSelectionList : public TvoPersonList
{
public:
    TvoPerson *Add(std::unique_ptr<TvoPerson> person);
    TvoPerson *Find(const QString &contactId) const;

private:
    TIntegerHash m_index;
};

// The ranked candidates of one function, best first.
class SCHEDULER_EXPORT TvoServiceSelectionList : public TvoPersonList
{
public:
    void RemoveContact(const QString &contactId);
};

struct SCHEDULER_EXPORT TvoAssignement
{
    QString ContactID;
    QString FunctionID;
    QString MemberTypeID;
    QString ScheduledMemberID;
    QString LiturgyID;
    bool IsFillIn = false;
    bool FlagMinister = false;
    bool IsNew = false;

    bool HasMember() const;
};
using TvoAssignementRef = std::shared_ptr<TvoAssignement>;

struct SCHEDULER_EXPORT TvoServiceFunction
{
    QString FunctionID;
    QString ScheduledMemberID;
    bool AllowDuplicate = false;
    bool Placed = false;
    TvoAssignementRef Assignment;
    bool MemberLocked = false;
    // The row's member as the run read it: the run writes the row only while it still holds it.
    QString ReadMemberID;
    QString LiturgyID;
    bool InScope = true;
    QString FunctionName;
    std::shared_ptr<TvoServiceSelectionList> Candidates = std::make_shared<TvoServiceSelectionList>();
};

class SCHEDULER_EXPORT TvoService
{
public:
    using FindPersonFn = std::function<TvoPerson *(const QString &)>;
    using FindInPeriodFn = std::function<TvoAssignementRef(const QString &, const QDateTime &, const QDateTime &)>;

    TvoService(const TAutoScheduleServiceRow &row, bool applyRules, FindPersonFn findPerson,
               FindInPeriodFn findInPeriod);
    TvoService(const TvoService &) = delete;
    TvoService &operator=(const TvoService &) = delete;

    QString LiturgyID;
    QString TemplateID;
    QString EventID;
    QDateTime StartDateTime;
    int WeekOfMonth = 1;
    bool IsWeekend = false;
    bool InScope = true;
    bool HasFlagged = false;
    bool ApplyRules = true;
    std::vector<std::unique_ptr<TvoServiceFunction>> Functions;
    QList<TvoAssignementRef> Tentative;

    void InitUseCounts();
    void IncUseCount(const QString &contactId);
    void DecUseCount(const QString &contactId);
    int UseCount(const QString &contactId) const;
    TvoAssignementRef FindAssignment(const QString &contactId) const;
    void RemoveCandidate(const QString &contactId);
    QList<TvoAssignementRef> GetAssignments() const;
    void SetAssignment(const TvoAssignementRef &assignment, TvoServiceFunction &function);
    TvoAssignementRef NewAssignment(const TvoPerson &person, const TvoServiceFunction &function);

    // The run's choice of a member for every open function.
    void ScheduleService();
    // Frees the candidates and use counts of a scheduled service: nothing reads them again,
    // and a year's run would hold a few hundred thousand of them.
    void ReleaseCandidates();
    // Rows someone else changed since the run read them become kept as they are now, like
    // locked ones, and the run's own choices for the service are dropped, to be made again.
    void TakeOver(const QList<TAutoScheduleChangedRow> &rows);
    // A row of this service someone else changed, found while another service of its weekend was
    // written: kept as it is now, the service's other choices left standing. False when the row
    // is not this service's.
    bool Adopt(const TAutoScheduleChangedRow &row);
    // Saturday evening to Sunday night of the weekend the service falls in.
    void WeekendWindow(QDateTime &from, QDateTime &to) const;
    // The member kept on a row the run does not write.
    static TvoAssignementRef KeptAssignment(const TvoServiceFunction &function, const QString &memberId,
                                            const QString &memberTypeId, bool flagMinister);
    bool TryAssign(TvoPerson &candidate, TvoServiceFunction &function);

private:
    bool CheckRules(TvoPerson &candidate, TvoServiceFunction &function);
    bool CheckAlways(TvoPerson &candidate, TvoServiceFunction &function);
    bool CheckDontApart(TvoPerson &candidate, TvoServiceFunction &function);
    void CheckPrefer(TvoPerson &candidate, TvoServiceFunction &function);
    TvoServiceFunction *FindOpenFunction(const QString &partnerId, const TvoServiceFunction &function,
                                         QList<TvoServiceFunction *> &list);
    bool PlacePartner(TvoPerson &partner, const QList<TvoServiceFunction *> &list);
    void UndoTentativeFrom(int size);
    TvoServiceFunction *FunctionByMemberRow(const QString &scheduledMemberId) const;
    bool HasBindingRules(const TvoAssignementRef &assignment) const;
    // Keeps a changed row as a lock keeps it, or drops a deleted one; false when not this service's.
    bool Keep(const TAutoScheduleChangedRow &row);

    TIntegerHash m_useCounts;
    QStringList m_visited;
    FindPersonFn m_findPerson;
    FindInPeriodFn m_findInPeriod;
};

// The steps a run went through, kept for a failure's trace file. A line given several times in
// a row (one per candidate read) is held once with its count.
class TvoRunTrace
{
public:
    TvoRunTrace &operator<<(const QString &line)
    {
        if (!m_runs.empty() && m_runs.back().first == line)
            ++m_runs.back().second;
        else
            m_runs.emplace_back(line, 1);
        return *this;
    }
    QStringList Lines() const;

private:
    std::vector<std::pair<QString, int>> m_runs;
};

class SCHEDULER_EXPORT TvoAutoScheduler
{
public:
    // `toDate` is the end the client gave: the period ends the day before it.
    TvoAutoScheduler(const QStringList &templates, const QDateTime &fromDate, const QDateTime &toDate,
                     const QStringList &functions, const QStringList &eventColors, bool applyRules,
                     IAutoScheduleRepository &repository, std::atomic<bool> &stopRequest);
    ~TvoAutoScheduler();
    TvoAutoScheduler(const TvoAutoScheduler &) = delete;
    TvoAutoScheduler &operator=(const TvoAutoScheduler &) = delete;

    // Progress goes to the sink when one is set (position 1 to twice the number of services).
    void SetOnProgress(IAutoScheduleEventSink *sink) { m_onProgress = sink; }
    // The folder that receives "TraceLog.txt" of a failed run; without one the trace is only logged.
    void SetTraceFolder(const QString &folder) { m_traceFolder = folder; }

    // True when the run went through and its reads were committed; false when it failed
    // (logged, trace written) or was stopped. Never raises.
    bool Execute();

    TvoPerson *FindPerson(const QString &contactId) const;
    TvoAssignementRef FindAssignmentInPeriod(const QString &contactId, const QDateTime &from,
                                             const QDateTime &to) const;

    const std::vector<std::unique_ptr<TvoService>> &Services() const { return m_services; }
    int ServiceCount() const { return m_serviceCount; }
    QDateTime HistoryStartDate() const { return m_historyStartDate; }
    QDateTime FromDate() const { return m_fromDate; }
    QDateTime ToDate() const { return m_toDate; }
    QStringList Trace() const;
    // Rows the run found changed by someone else when it came to save them, and left as they were.
    int LeftFunctions() const { return m_leftFunctions; }

private:
    enum class TOutcome { Done, Stopped };
    TOutcome Run();
    void Fail(const QString &message);
    bool TakeStopRequest();
    void ReadHistoryStartDate();
    void CreateUniversalPersonList();
    void AddRulesToUniversalPersonList();
    void LoadCandidates(TvoService &service);
    QList<TAutoScheduleChangedRow> SaveAssignments(const TvoService &service);
    void ScheduleAndSave(TvoService &service);
    void Progress(int position);

    QStringList m_templateFilter;
    QStringList m_functionFilter;
    QStringList m_eventColors;
    QDateTime m_fromDate;
    QDateTime m_toDate;
    QDateTime m_historyStartDate;
    bool m_applyRules = true;
    int m_serviceCount = 0;
    int m_leftFunctions = 0;
    IAutoScheduleRepository &m_repository;
    std::atomic<bool> &m_stopRequest;
    IAutoScheduleEventSink *m_onProgress = nullptr;
    QString m_traceFolder;
    TvoRunTrace m_trace;
    TvoFirstSelectionList m_persons;
    std::vector<std::unique_ptr<TvoService>> m_services;
};
