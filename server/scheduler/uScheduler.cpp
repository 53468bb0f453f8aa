// The automatic scheduler: model and run.
#include "server/scheduler/uScheduler.h"

#include "foundation/QorDateTime.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"
#include "server/core/uServerCommon.h"

#include <QDir>
#include <QHash>
#include <QLocale>
#include <QSaveFile>

const QString kRulePrefer = QStringLiteral("{C9663A14-AD78-4BAD-91D3-5ED2597DA1C2}");
const QString kRuleAlways = QStringLiteral("{AE7ADCC4-541B-497C-BB5B-B0005C51471E}");
const QString kRuleDontApart = QStringLiteral("{D88258F0-95AF-4E8E-B82C-547C1B6235BB}");

namespace {

const QString kSenderScheduler = QStringLiteral("Auto-Scheduler");
const QString kSenderRun = QStringLiteral("Autoschedule");
const QString kTraceFileName = QStringLiteral("TraceLog.txt");
constexpr int kSaturday = 6;
constexpr int kSunday = 7;

} // namespace

// ---- persons ----

TvoPerson::TvoPerson(const QString &contactId, bool flagContact, const QString &memberTypeId)
    : ContactID(contactId), MemberTypeID(memberTypeId), FlagContact(flagContact),
      m_avoid(std::make_shared<TvoPersonRefs>()), m_prefer(std::make_shared<TvoPersonRefs>()),
      m_dontApart(std::make_shared<TvoPersonRefs>()), m_always(std::make_shared<TvoPersonRefs>())
{
}

TvoPerson::TvoPerson(const TvoPerson &source)
    : ContactID(source.ContactID), MemberTypeID(source.MemberTypeID), FlagContact(source.FlagContact),
      m_avoid(source.m_avoid), m_prefer(source.m_prefer), m_dontApart(source.m_dontApart),
      m_always(source.m_always)
{
}

TvoPersonList::~TvoPersonList()
{
    Clear();
}

void TvoPersonList::Clear()
{
    // Last first, as the list was always freed.
    while (!m_items.empty())
        m_items.pop_back();
}

TvoPerson *TvoPersonList::Add(std::unique_ptr<TvoPerson> person)
{
    m_items.push_back(std::move(person));
    return m_items.back().get();
}

TvoPerson *TvoFirstSelectionList::Add(std::unique_ptr<TvoPerson> person)
{
    const QString id = person->ContactID;
    TvoPerson *added = TvoPersonList::Add(std::move(person));
    if (!id.isEmpty())
        m_index.Set(id, Count() - 1);
    return added;
}

TvoPerson *TvoFirstSelectionList::Find(const QString &contactId) const
{
    if (contactId.isEmpty() || !m_index.Exists(contactId))
        return nullptr;
    return Item(m_index.Get(contactId));
}

void TvoServiceSelectionList::RemoveContact(const QString &contactId)
{
    std::erase_if(m_items, [&](const std::unique_ptr<TvoPerson> &p) { return p->ContactID == contactId; });
}

bool TvoAssignement::HasMember() const
{
    return !ContactID.isEmpty() && ContactID != EmptyGUID;
}

// ---- services ----

TvoService::TvoService(const TAutoScheduleServiceRow &row, bool applyRules, FindPersonFn findPerson,
                       FindInPeriodFn findInPeriod)
    : LiturgyID(row.LiturgyID), TemplateID(row.TemplateID), EventID(row.EventID),
      StartDateTime(row.StartDateTime), WeekOfMonth(WeekOfMonthForService(row.StartDateTime)),
      IsWeekend(IsWeekendService(row.StartDateTime)), ApplyRules(applyRules),
      m_findPerson(std::move(findPerson)), m_findInPeriod(std::move(findInPeriod))
{
}

void TvoService::InitUseCounts()
{
    for (const auto &f : Functions)
        for (int i = 0; i < f->Candidates->Count(); ++i) {
            const QString id = f->Candidates->Item(i)->ContactID;
            if (!id.isEmpty() && !m_useCounts.Exists(id))
                m_useCounts.Set(id, 0);
        }
}

void TvoService::IncUseCount(const QString &contactId)
{
    if (contactId.isEmpty())
        return;
    m_useCounts.Set(contactId, m_useCounts.Exists(contactId) ? m_useCounts.Get(contactId) + 1 : 1);
}

void TvoService::DecUseCount(const QString &contactId)
{
    if (contactId.isEmpty())
        return;
    m_useCounts.Set(contactId, m_useCounts.Exists(contactId) ? m_useCounts.Get(contactId) - 1 : 0);
}

int TvoService::UseCount(const QString &contactId) const
{
    if (contactId.isEmpty() || !m_useCounts.Exists(contactId))
        return 0;
    return m_useCounts.Get(contactId);
}

TvoAssignementRef TvoService::FindAssignment(const QString &contactId) const
{
    for (const auto &f : Functions)
        if (f->Assignment && f->Assignment->ContactID == contactId)
            return f->Assignment;
    for (const auto &e : Tentative)
        if (e->ContactID == contactId)
            return e;
    return {};
}

void TvoService::RemoveCandidate(const QString &contactId)
{
    for (const auto &f : Functions)
        f->Candidates->RemoveContact(contactId);
}

QList<TvoAssignementRef> TvoService::GetAssignments() const
{
    QList<TvoAssignementRef> result;
    for (const auto &f : Functions)
        if (f->Assignment)
            result.append(f->Assignment);
    return result;
}

void TvoService::SetAssignment(const TvoAssignementRef &assignment, TvoServiceFunction &function)
{
    function.Assignment = assignment;
    if (assignment->HasMember() && assignment->MemberTypeID == EmptyGUID)
        IncUseCount(assignment->ContactID);
}

TvoAssignementRef TvoService::NewAssignment(const TvoPerson &person, const TvoServiceFunction &function)
{
    auto a = std::make_shared<TvoAssignement>();
    a->FunctionID = function.FunctionID;
    a->ScheduledMemberID = function.ScheduledMemberID;
    a->LiturgyID = function.LiturgyID;
    a->ContactID = person.ContactID;
    a->MemberTypeID = person.MemberTypeID;
    a->FlagMinister = person.FlagContact;
    a->IsFillIn = person.IsFillIn;
    a->IsNew = true;
    if (function.Assignment && function.Assignment->HasMember())
        DecUseCount(function.Assignment->ContactID);
    IncUseCount(person.ContactID);
    return a;
}

TvoServiceFunction *TvoService::FunctionByMemberRow(const QString &scheduledMemberId) const
{
    for (const auto &f : Functions)
        if (f->ScheduledMemberID == scheduledMemberId)
            return f.get();
    return nullptr;
}

bool TvoService::HasBindingRules(const TvoAssignementRef &assignment) const
{
    if (!assignment || !assignment->HasMember())
        return false;
    TvoPerson *member = m_findPerson(assignment->ContactID);
    return member && (!member->AlwaysList().isEmpty() || !member->DontApartList().isEmpty());
}

void TvoService::WeekendWindow(QDateTime &from, QDateTime &to) const
{
    const QDate day = StartDateTime.date();
    from = WallClock(day, QTime(16, 0, 0));
    to = WallClock(day, QTime(23, 59, 0));
    if (day.dayOfWeek() == kSaturday)
        to = to.addDays(1);
    else if (day.dayOfWeek() == kSunday)
        from = from.addDays(-1);
}

void TvoService::ScheduleService()
{
    if (Functions.empty())
        return;
    InitUseCounts();
    for (const auto &f : Functions) {
        if (!f->InScope || f->MemberLocked || f->Placed || f->Assignment)
            continue;
        for (int i = 0; i < f->Candidates->Count(); ++i) {
            TvoPerson &candidate = *f->Candidates->Item(i);
            if (!TryAssign(candidate, *f))
                continue;
            if (candidate.FlagContact)
                HasFlagged = true;
            f->Placed = true;
            f->Assignment = NewAssignment(candidate, *f);
            const QString id = candidate.ContactID;
            // Frees the candidate copy: nothing below may touch it.
            if (UseCount(id) > 1)
                RemoveCandidate(id);
            break;
        }
    }
}

void TvoService::ReleaseCandidates()
{
    for (const auto &f : Functions)
        f->Candidates->Clear();
    m_useCounts.Clear();
}

TvoAssignementRef TvoService::KeptAssignment(const TvoServiceFunction &function, const QString &memberId,
                                             const QString &memberTypeId, bool flagMinister)
{
    auto kept = std::make_shared<TvoAssignement>();
    kept->FunctionID = function.FunctionID;
    kept->ScheduledMemberID = function.ScheduledMemberID;
    kept->MemberTypeID = memberTypeId;
    kept->ContactID = memberId;
    kept->FlagMinister = flagMinister;
    kept->LiturgyID = function.LiturgyID;
    return kept;
}

bool TvoService::Keep(const TAutoScheduleChangedRow &row)
{
    const auto it = std::find_if(Functions.begin(), Functions.end(), [&](const std::unique_ptr<TvoServiceFunction> &f) {
        return f->ScheduledMemberID == row.ScheduledMemberID;
    });
    if (it == Functions.end())
        return false;
    if (!row.Exists) {
        Functions.erase(it);
        return true;
    }
    TvoServiceFunction &f = **it;
    // Kept as a lock keeps it: nobody is placed there, nor displaced from there.
    f.MemberLocked = true;
    f.ReadMemberID = row.MemberID;
    f.Assignment = KeptAssignment(f, row.MemberID, row.MemberTypeID, row.FlagMinister);
    return true;
}

bool TvoService::Adopt(const TAutoScheduleChangedRow &row)
{
    const TvoServiceFunction *f = FunctionByMemberRow(row.ScheduledMemberID);
    if (!f)
        return false;
    if (f->Assignment && f->Assignment->HasMember() && f->Assignment->MemberTypeID == EmptyGUID)
        DecUseCount(f->Assignment->ContactID);
    Keep(row);
    f = FunctionByMemberRow(row.ScheduledMemberID); // gone with a deleted row
    if (f && f->Assignment->HasMember() && f->Assignment->MemberTypeID == EmptyGUID)
        IncUseCount(f->Assignment->ContactID);
    if (f && f->Assignment->FlagMinister)
        HasFlagged = true;
    return true;
}

void TvoService::TakeOver(const QList<TAutoScheduleChangedRow> &rows)
{
    ReleaseCandidates();
    for (const TAutoScheduleChangedRow &row : rows)
        Keep(row);
    HasFlagged = false;
    for (const auto &f : Functions) {
        f->Placed = false;
        if (f->Assignment && f->Assignment->IsNew)
            f->Assignment.reset();
        if (!f->Assignment)
            continue;
        // Counted again as when the rows were read.
        if (f->Assignment->HasMember() && f->Assignment->MemberTypeID == EmptyGUID)
            IncUseCount(f->Assignment->ContactID);
        if (f->Assignment->FlagMinister)
            HasFlagged = true;
    }
}

bool TvoService::TryAssign(TvoPerson &candidate, TvoServiceFunction &function)
{
    Tentative.clear();
    m_visited.clear();
    auto self = NewAssignment(candidate, function);
    self->ContactID = EmptyGUID; // so that searches for the candidate do not find this entry
    Tentative.append(self);
    DecUseCount(candidate.ContactID);

    const bool ok = CheckRules(candidate, function);
    if (ok) {
        Tentative.removeOne(self);
        for (const auto &e : std::as_const(Tentative)) {
            TvoServiceFunction *g = FunctionByMemberRow(e->ScheduledMemberID);
            if (!g)
                continue;
            g->Assignment = e;
            g->Placed = true;
            if (e->FlagMinister)
                HasFlagged = true;
        }
    } else {
        UndoTentativeFrom(0);
    }
    // Left behind, the entries would still be found by later services' weekend checks.
    Tentative.clear();
    return ok;
}

void TvoService::UndoTentativeFrom(int size)
{
    while (Tentative.size() > size) {
        const TvoAssignementRef e = Tentative.takeLast();
        TvoServiceFunction *g = FunctionByMemberRow(e->ScheduledMemberID);
        if (g && g->Assignment && g->Assignment->HasMember())
            IncUseCount(g->Assignment->ContactID);
        if (e->HasMember())
            DecUseCount(e->ContactID);
    }
}

bool TvoService::CheckRules(TvoPerson &candidate, TvoServiceFunction &function)
{
    const QString &id = candidate.ContactID;
    if (m_visited.contains(id))
        return true; // a cycle of rules ends here
    m_visited.append(id);

    if (IsWeekend) {
        // A person serves at one liturgy per weekend.
        QDateTime from, to;
        WeekendWindow(from, to);
        const TvoAssignementRef a = m_findInPeriod(id, from, to);
        if (a && a->LiturgyID != function.LiturgyID)
            return false;
    }
    if (!ApplyRules)
        return true;

    for (TvoPerson *avoided : std::as_const(candidate.AvoidList()))
        if (FindAssignment(avoided->ContactID))
            return false;
    if (Tentative.size() == 1 && UseCount(id) > 0 && !function.AllowDuplicate)
        return false;
    for (const auto &g : Functions)
        if (g->Assignment && g->Assignment->FunctionID == function.FunctionID && g->Assignment->ContactID == id)
            return false;
    // A member bound by always or don't-apart rules is not displaced.
    if (function.Assignment && HasBindingRules(function.Assignment))
        return false;

    bool ok = CheckAlways(candidate, function);
    if (ok && IsWeekend)
        ok = CheckDontApart(candidate, function);
    if (ok)
        CheckPrefer(candidate, function);
    return ok;
}

TvoServiceFunction *TvoService::FindOpenFunction(const QString &partnerId, const TvoServiceFunction &function,
                                                 QList<TvoServiceFunction *> &list)
{
    list.clear();
    // A partner who already serves takes another function only where that one allows duplicates
    // too: the function being filled allowing them says nothing about the partner's.
    const bool serves = UseCount(partnerId) > 0;
    if (serves && !function.AllowDuplicate)
        return nullptr;
    TvoServiceFunction *last = nullptr;
    for (const auto &g : Functions) {
        if (g.get() == &function || !g->InScope || g->MemberLocked || (serves && !g->AllowDuplicate))
            continue;
        const bool tentative = std::any_of(Tentative.cbegin(), Tentative.cend(), [&](const TvoAssignementRef &e) {
            return e->ScheduledMemberID == g->ScheduledMemberID;
        });
        if (tentative)
            continue;
        bool listed = false;
        for (int i = 0; i < g->Candidates->Count() && !listed; ++i)
            listed = g->Candidates->Item(i)->ContactID == partnerId;
        if (listed && !HasBindingRules(g->Assignment)) {
            list.append(g.get());
            last = g.get();
        }
    }
    return last;
}

bool TvoService::PlacePartner(TvoPerson &partner, const QList<TvoServiceFunction *> &list)
{
    for (TvoServiceFunction *g : list) {
        const int mark = int(Tentative.size());
        const qsizetype visitedMark = m_visited.size();
        Tentative.append(NewAssignment(partner, *g));
        if (CheckRules(partner, *g))
            return true;
        // Undoes the partner and whatever its own rules placed or marked on the way, at every
        // depth: a partner left marked would count as placed on the next try.
        m_visited.resize(visitedMark);
        UndoTentativeFrom(mark);
    }
    return false;
}

bool TvoService::CheckAlways(TvoPerson &candidate, TvoServiceFunction &function)
{
    if (candidate.AlwaysList().isEmpty())
        return true;
    bool ok = false;
    for (TvoPerson *partner : std::as_const(candidate.AlwaysList())) {
        QList<TvoServiceFunction *> list;
        TvoServiceFunction *open = FindOpenFunction(partner->ContactID, function, list);
        if (m_visited.contains(partner->ContactID)) {
            ok = true;
            continue;
        }
        // A partner who already serves in this service (or is being placed in it) is with
        // the candidate: the rule holds.
        if (FindAssignment(partner->ContactID)) {
            ok = true;
            continue;
        }
        if (!open)
            return false;
        ok = PlacePartner(*partner, list);
        if (!ok)
            return false;
    }
    return ok;
}

bool TvoService::CheckDontApart(TvoPerson &candidate, TvoServiceFunction &function)
{
    for (TvoPerson *partner : std::as_const(candidate.DontApartList())) {
        if (m_visited.contains(partner->ContactID))
            continue;
        QList<TvoServiceFunction *> list;
        TvoServiceFunction *open = FindOpenFunction(partner->ContactID, function, list);
        TvoAssignementRef a;
        const int day = StartDateTime.date().dayOfWeek();
        if (day == kSaturday || day == kSunday) {
            QDateTime from, to;
            WeekendWindow(from, to);
            a = m_findInPeriod(partner->ContactID, from, to);
        }
        if (!a)
            for (const auto &e : std::as_const(Tentative))
                if (e->ContactID == partner->ContactID) {
                    a = e;
                    break;
                }
        if (a && a->LiturgyID != function.LiturgyID)
            return false;
        if (open)
            PlacePartner(*partner, list); // failing to place the partner does not refuse the candidate
    }
    return true;
}

void TvoService::CheckPrefer(TvoPerson &candidate, TvoServiceFunction &function)
{
    for (TvoPerson *partner : std::as_const(candidate.PreferList())) {
        if (m_visited.contains(partner->ContactID))
            continue;
        QList<TvoServiceFunction *> list;
        if (FindOpenFunction(partner->ContactID, function, list))
            PlacePartner(*partner, list);
    }
}

// ---- the run ----

QStringList TvoRunTrace::Lines() const
{
    QStringList lines;
    for (const auto &[line, count] : m_runs)
        for (int i = 0; i < count; ++i)
            lines << line;
    return lines;
}

QStringList TvoAutoScheduler::Trace() const
{
    return m_trace.Lines();
}

TvoAutoScheduler::TvoAutoScheduler(const QStringList &templates, const QDateTime &fromDate, const QDateTime &toDate,
                                   const QStringList &functions, const QStringList &eventColors, bool applyRules,
                                   IAutoScheduleRepository &repository, std::atomic<bool> &stopRequest)
    : m_templateFilter(templates), m_functionFilter(functions), m_eventColors(eventColors), m_fromDate(fromDate),
      m_toDate(toDate.addDays(-1)), m_applyRules(applyRules), m_repository(repository), m_stopRequest(stopRequest)
{
}

TvoAutoScheduler::~TvoAutoScheduler() = default;

TvoPerson *TvoAutoScheduler::FindPerson(const QString &contactId) const
{
    return m_persons.Find(contactId);
}

TvoAssignementRef TvoAutoScheduler::FindAssignmentInPeriod(const QString &contactId, const QDateTime &from,
                                                           const QDateTime &to) const
{
    for (const auto &s : m_services) {
        if (s->StartDateTime < from || s->StartDateTime > to)
            continue;
        if (auto a = s->FindAssignment(contactId))
            return a;
    }
    return {};
}

bool TvoAutoScheduler::TakeStopRequest()
{
    return m_stopRequest.exchange(false);
}

void TvoAutoScheduler::Progress(int position)
{
    if (m_onProgress)
        m_onProgress->AutoScheduleProgress(position, 2 * m_serviceCount);
}

bool TvoAutoScheduler::Execute()
{
    try {
        if (Run() == TOutcome::Stopped) {
            // A stop is no failure: nothing is logged and no trace is written. The read
            // transaction only read, so ending it changes nothing.
            m_repository.RollbackRead();
            return false;
        }
        return true;
    } catch (const EHashError &e) {
        Fail(e.Message());
    } catch (const std::exception &e) {
        Fail(QString::fromUtf8(e.what()));
    } catch (...) {
        Fail(QStringLiteral("Unknown error"));
    }
    return false;
}

void TvoAutoScheduler::Fail(const QString &message)
{
    AddToLog(llSevere, kSenderRun, QStringLiteral("RunAutoSchedule"), message);
    m_repository.RollbackRead();
    const QStringList trace = m_trace.Lines();
    AddToLog(llSevere, kSenderRun, QStringLiteral("CrazyLog"), trace.join(QStringLiteral("\r\n")));
    // Only a folder the caller names: the current folder of a test run is nobody's.
    if (m_traceFolder.isEmpty()) {
        AddToLog(llWarning, kSenderRun, QStringLiteral("CrazyLog"),
                 QStringLiteral("No folder is given for %1; the trace is only in this log.").arg(kTraceFileName));
        return;
    }
    QSaveFile file(QDir(m_traceFolder).filePath(kTraceFileName));
    QByteArray text;
    for (const QString &line : trace)
        text += line.toUtf8() + '\n';
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        AddToLog(llWarning, kSenderRun, QStringLiteral("CrazyLog"),
                 QStringLiteral("Cannot write %1: %2").arg(file.fileName(), file.errorString()));
}

TvoAutoScheduler::TOutcome TvoAutoScheduler::Run()
{
    m_trace << QStringLiteral("Start AutoSchedule");
    m_repository.BeginRead();
    m_trace << QStringLiteral("Get date");
    ReadHistoryStartDate();
    m_trace << QStringLiteral("Create person list");
    CreateUniversalPersonList();
    m_trace << QStringLiteral("Add rules to list");
    AddRulesToUniversalPersonList();

    // A period from a Sunday takes in that weekend's Saturday evening; one to a Saturday, its Sunday.
    QDateTime refFrom = m_fromDate;
    if (refFrom.date().dayOfWeek() == kSunday)
        refFrom = refFrom.addDays(-1);
    QDateTime refTo = m_toDate;
    if (refTo.date().dayOfWeek() == kSaturday)
        refTo = refTo.addDays(1);
    const QLocale locale = QLocale::system();
    m_trace << QStringLiteral("Ref date from:") + locale.toString(refFrom.date(), QLocale::ShortFormat);
    m_trace << QStringLiteral("Ref date to:") + locale.toString(refTo.date(), QLocale::ShortFormat);

    const QDateTime servicesFrom = WallClock(refFrom.date());
    const QDateTime servicesTo = WallClock(refTo.date().addDays(1));
    const QList<TAutoScheduleServiceRow> rows = m_repository.ReadServices(servicesFrom, servicesTo);
    m_trace << QStringLiteral("Part 1");
    m_serviceCount = int(rows.size());
    m_trace << QStringLiteral("Services : ") + QString::number(m_serviceCount);

    auto findPerson = [this](const QString &id) { return FindPerson(id); };
    auto findInPeriod = [this](const QString &id, const QDateTime &from, const QDateTime &to) {
        return FindAssignmentInPeriod(id, from, to);
    };
    const QDateTime periodEnd = m_toDate.addDays(1);
    int k = 0;
    for (const TAutoScheduleServiceRow &row : rows) {
        ++k;
        m_trace << QStringLiteral("Service \t") + QString::number(k);
        if (TakeStopRequest())
            return TOutcome::Stopped;
        Progress(k);
        auto service = std::make_unique<TvoService>(row, m_applyRules, findPerson, findInPeriod);
        service->InScope = (m_templateFilter.isEmpty() || m_templateFilter.contains(service->TemplateID, Qt::CaseInsensitive))
                           && m_fromDate <= service->StartDateTime && service->StartDateTime < periodEnd;
        const QList<TAutoScheduleFunctionRow> functionRows = m_repository.ReadFunctions(service->LiturgyID);
        m_trace << QStringLiteral("Step3 opened with ") + service->LiturgyID;
        m_trace << QStringLiteral("Step3 Records ") + QString::number(functionRows.size());
        for (const TAutoScheduleFunctionRow &fr : functionRows) {
            m_trace << QStringLiteral("Step 5");
            auto f = std::make_unique<TvoServiceFunction>();
            f->FunctionID = fr.FunctionID;
            f->ScheduledMemberID = fr.ScheduledMemberID;
            f->AllowDuplicate = fr.AllowDuplicate;
            f->MemberLocked = fr.MemberLocked;
            f->ReadMemberID = fr.MemberID;
            f->FunctionName = fr.FunctionName;
            f->LiturgyID = service->LiturgyID;
            m_trace << QStringLiteral("Step 6");
            f->InScope = m_functionFilter.isEmpty() || m_functionFilter.contains(f->FunctionID, Qt::CaseInsensitive);
            if (f->MemberLocked || !service->InScope || !f->InScope) {
                m_trace << QStringLiteral("This member is locked");
                if (fr.FlagMinister)
                    service->HasFlagged = true;
                service->SetAssignment(TvoService::KeptAssignment(*f, fr.MemberID, fr.MemberTypeID, fr.FlagMinister), *f);
            }
            service->Functions.push_back(std::move(f));
            m_trace << QStringLiteral("sp_Step3.move next");
        }
        m_services.push_back(std::move(service));
    }
    m_trace << QStringLiteral("Finished step 2 & 3, creating autoschedule");
    m_repository.PrepareRanking(m_historyStartDate, servicesFrom, servicesTo);

    for (const auto &service : m_services) {
        if (TakeStopRequest())
            return TOutcome::Stopped;
        ++k;
        Progress(k);
        if (!service->InScope)
            continue;
        m_trace << QStringLiteral("Schedule service");
        ScheduleAndSave(*service);
        service->ReleaseCandidates();
    }
    if (m_leftFunctions > 0) {
        const QString left = QStringLiteral("%1 functions were changed by another user during the run and left as they are")
                                 .arg(m_leftFunctions);
        m_trace << left;
        AddToLog(llWarning, kSenderRun, QStringLiteral("RunAutoSchedule"), left);
    }
    m_trace << QStringLiteral("DONE");
    m_repository.CommitRead();
    return TOutcome::Done;
}

void TvoAutoScheduler::ReadHistoryStartDate()
{
    const std::optional<QDateTime> value = m_repository.ReadHistoryStartDate();
    m_historyStartDate = value ? *value : m_fromDate;
}

void TvoAutoScheduler::CreateUniversalPersonList()
{
    try {
        for (const TAutoScheduleContactRow &row : m_repository.ReadContacts())
            m_persons.Add(std::make_unique<TvoPerson>(row.ContactID, row.FlagContact, EmptyGUID));
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSenderScheduler, QStringLiteral("CreateUniversalPersonList"), QString::fromUtf8(e.what()));
        throw;
    }
}

void TvoAutoScheduler::AddRulesToUniversalPersonList()
{
    try {
        QHash<QString, QList<TAutoScheduleRuleRow>> rulesOf;
        for (const TAutoScheduleRuleRow &row : m_repository.ReadRules())
            rulesOf[row.Owner].append(row);
        for (int i = 0; i < m_persons.Count(); ++i) {
            if (TakeStopRequest())
                throw std::runtime_error("Stop Auto-Schedule");
            TvoPerson *person = m_persons.Item(i);
            const QList<TAutoScheduleRuleRow> rules = rulesOf.value(person->ContactID);
            for (const TAutoScheduleRuleRow &row : rules) {
                TvoPerson *partner = FindPerson(row.Contact);
                if (!partner)
                    continue;
                if (row.Rule.compare(kRulePrefer, Qt::CaseInsensitive) == 0)
                    person->PreferList().append(partner);
                else if (row.Rule.compare(kRuleAlways, Qt::CaseInsensitive) == 0)
                    person->AlwaysList().append(partner);
                else if (row.Rule.compare(kRuleDontApart, Qt::CaseInsensitive) == 0)
                    person->DontApartList().append(partner);
                else
                    person->AvoidList().append(partner);
            }
        }
    } catch (const std::exception &e) {
        AddToLog(llSevere, kSenderScheduler, QStringLiteral("AddRulesToUniversalPersonList"),
                 QString::fromUtf8(e.what()));
        throw;
    }
}

void TvoAutoScheduler::LoadCandidates(TvoService &service)
{
    for (std::size_t i = 0; i < service.Functions.size(); ++i) {
        TvoServiceFunction &f = *service.Functions[i];
        // Consecutive rows of one function share one list: one query per function.
        if (i > 0 && service.Functions[i - 1]->FunctionID == f.FunctionID) {
            f.Candidates = service.Functions[i - 1]->Candidates;
            continue;
        }
        // Its own list: one it shared before a row between was taken away must not grow.
        f.Candidates = std::make_shared<TvoServiceSelectionList>();
        TAutoScheduleCandidateQuery query;
        query.WeekNum = service.IsWeekend ? service.WeekOfMonth : -1;
        query.LiturgyID = service.LiturgyID;
        query.FunctionID = f.FunctionID;
        query.TemplateID = service.TemplateID;
        query.HistoryStartDate = m_historyStartDate;
        query.StartDateTime = service.StartDateTime;
        const QString traceLine = QStringLiteral("Schedule service  #") + QString::number(i);
        for (const TAutoScheduleCandidateRow &row : m_repository.ReadCandidates(query)) {
            TvoPerson *person = FindPerson(row.ContactID);
            if (!person)
                continue;
            auto copy = std::make_unique<TvoPerson>(*person);
            copy->IsFillIn = (row.IsFillIn & 0xFF) != 0;
            f.Candidates->Add(std::move(copy));
            m_trace << traceLine;
        }
    }
}

namespace {

// The rows a write of the service carries: every open one it read in scope, filled or cleared.
bool Written(const TvoServiceFunction &f)
{
    return f.InScope && !f.MemberLocked && !(f.Assignment && !f.Assignment->IsNew);
}

} // namespace

void TvoAutoScheduler::ScheduleAndSave(TvoService &service)
{
    LoadCandidates(service);
    service.ScheduleService();
    // Each refusal keeps at least one more row as someone else left it, so this ends.
    for (;;) {
        const QList<TAutoScheduleChangedRow> changed = SaveAssignments(service);
        if (changed.isEmpty()) {
            // What the rows hold now, for the watch of the weekend's later writes.
            for (const auto &f : service.Functions)
                if (Written(*f))
                    f->ReadMemberID = f->Assignment ? f->Assignment->ContactID : QString();
            return;
        }
        m_leftFunctions += int(changed.size());
        m_trace << QStringLiteral("Changed meanwhile: ") + QString::number(changed.size());
        // A change on another liturgy of the weekend: that service keeps it, and this one is
        // scheduled again knowing who serves there now.
        for (const TAutoScheduleChangedRow &row : changed)
            for (const auto &other : m_services)
                if (other.get() != &service && other->Adopt(row))
                    break;
        service.TakeOver(changed);
        LoadCandidates(service);
        service.ScheduleService();
    }
}

QList<TAutoScheduleChangedRow> TvoAutoScheduler::SaveAssignments(const TvoService &service)
{
    TAutoScheduleServiceWrite write;
    write.LiturgyID = service.LiturgyID;
    write.EventID = service.EventID;
    int members = 0;
    int code = 0;
    for (const auto &f : service.Functions) {
        const TvoAssignementRef &a = f->Assignment;
        if (a && a->HasMember())
            ++members;
        if (!Written(*f))
            continue;
        if (a)
            write.Assignments.append({a->ContactID, a->ScheduledMemberID, a->MemberTypeID, a->FlagMinister, f->ReadMemberID});
        else
            write.Assignments.append({{}, f->ScheduledMemberID, {}, false, f->ReadMemberID});
        if (a && a->IsFillIn)
            code += 2;
    }
    if (members == 0)
        write.EventColorID = m_eventColors.value(1);
    else if (int(service.Functions.size()) > members)
        write.EventColorID = m_eventColors.value(2);
    else
        write.EventColorID = m_eventColors.value(0);
    if (service.HasFlagged)
        code += 1;
    write.EventCode = code;
    if (service.IsWeekend) {
        QDateTime from, to;
        service.WeekendWindow(from, to);
        for (const auto &other : m_services)
            if (other.get() != &service && other->StartDateTime >= from && other->StartDateTime <= to)
                for (const auto &f : other->Functions)
                    write.WatchedRows.append({f->ScheduledMemberID, f->ReadMemberID});
    }
    return m_repository.SaveService(write);
}
