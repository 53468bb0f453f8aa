// The scheduler's database in memory, for the rule tests.
#include "MemoryRepository.h"

#include <algorithm>
#include <stdexcept>

void TMemoryRepository::Note(const QString &call)
{
    Calls.append(call);
    if (OnCall)
        OnCall(call);
}

void TMemoryRepository::AddLiturgy(const QString &id, const QDateTime &start, const QString &templateId)
{
    Liturgies.append({id, QStringLiteral("E-") + id, templateId, start});
}

QString TMemoryRepository::AddRow(const QString &liturgyId, const QString &functionId, bool allowDuplicate,
                                  const QString &lockedMember)
{
    const auto position = std::count_if(Rows.cbegin(), Rows.cend(), [&](const Row &r) { return r.LiturgyID == liturgyId; });
    Row row;
    row.LiturgyID = liturgyId;
    row.Function.FunctionID = functionId;
    row.Function.ScheduledMemberID = liturgyId + QLatin1Char('/') + QString::number(position);
    row.Function.AllowDuplicate = allowDuplicate;
    row.Function.FunctionName = functionId;
    if (!lockedMember.isEmpty()) {
        row.Function.MemberLocked = true;
        row.Function.MemberID = lockedMember;
        row.Function.MemberTypeID = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
    }
    Rows.append(row);
    return row.Function.ScheduledMemberID;
}

QString TMemoryRepository::MemberOf(const QString &rowId) const
{
    for (const Row &r : Rows)
        if (r.Function.ScheduledMemberID == rowId)
            return r.Function.MemberID;
    throw std::logic_error("no such row");
}

int TMemoryRepository::CountCalls(const QString &prefix) const
{
    return int(std::count_if(Calls.cbegin(), Calls.cend(), [&](const QString &c) { return c.startsWith(prefix); }));
}

const TMemoryRepository::Liturgy *TMemoryRepository::FindLiturgy(const QString &id) const
{
    for (const Liturgy &l : Liturgies)
        if (l.LiturgyID == id)
            return &l;
    return nullptr;
}

int TMemoryRepository::NumAssigned(const QString &contactId, const QDateTime &from, const QDateTime &to) const
{
    int n = 0;
    for (const Row &r : Rows) {
        if (r.Function.MemberID != contactId)
            continue;
        const Liturgy *l = FindLiturgy(r.LiturgyID);
        if (l && l->Start >= from && l->Start <= to)
            ++n;
    }
    return n;
}

void TMemoryRepository::BeginRead()
{
    Note(QStringLiteral("BeginRead"));
    ReadOpen = true;
}

void TMemoryRepository::CommitRead()
{
    Note(QStringLiteral("CommitRead"));
    ReadOpen = false;
    Committed = true;
}

void TMemoryRepository::RollbackRead() noexcept
{
    Calls.append(QStringLiteral("RollbackRead"));
    ReadOpen = false;
    RolledBack = true;
}

std::optional<QDateTime> TMemoryRepository::ReadHistoryStartDate()
{
    Note(QStringLiteral("ReadHistoryStartDate"));
    return HistoryStartDate;
}

QList<TAutoScheduleContactRow> TMemoryRepository::ReadContacts()
{
    Note(QStringLiteral("ReadContacts"));
    return Contacts;
}

QList<TAutoScheduleRuleRow> TMemoryRepository::ReadRules()
{
    Note(QStringLiteral("ReadRules"));
    QList<TAutoScheduleRuleRow> rows;
    for (const Rule &r : Rules)
        for (const TAutoScheduleRuleRow &row : {TAutoScheduleRuleRow{r.Owner, r.Member, r.RuleType},
                                                TAutoScheduleRuleRow{r.Member, r.Owner, r.RuleType}}) {
            const bool seen = std::any_of(rows.cbegin(), rows.cend(), [&](const TAutoScheduleRuleRow &x) {
                return std::tie(x.Owner, x.Contact, x.Rule) == std::tie(row.Owner, row.Contact, row.Rule);
            });
            if (!seen)
                rows.append(row);
        }
    std::sort(rows.begin(), rows.end(), [](const TAutoScheduleRuleRow &a, const TAutoScheduleRuleRow &b) {
        return std::tie(a.Owner, a.Contact, a.Rule) < std::tie(b.Owner, b.Contact, b.Rule);
    });
    return rows;
}

QList<TAutoScheduleServiceRow> TMemoryRepository::ReadServices(const QDateTime &start, const QDateTime &end)
{
    const QString wallClock = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    Note(QStringLiteral("ReadServices ") + start.toString(wallClock) + QLatin1Char(' ') + end.toString(wallClock));
    QList<TAutoScheduleServiceRow> rows;
    for (const Liturgy &l : Liturgies)
        if (l.Start >= start && l.Start <= end)
            rows.append({l.LiturgyID, l.Start, l.TemplateID, l.EventID});
    std::sort(rows.begin(), rows.end(), [](const TAutoScheduleServiceRow &a, const TAutoScheduleServiceRow &b) {
        return std::tie(a.StartDateTime, a.LiturgyID) < std::tie(b.StartDateTime, b.LiturgyID);
    });
    return rows;
}

QList<TAutoScheduleFunctionRow> TMemoryRepository::ReadFunctions(const QString &liturgyId)
{
    Note(QStringLiteral("ReadFunctions ") + liturgyId);
    QList<TAutoScheduleFunctionRow> rows;
    for (const Row &r : Rows)
        if (r.LiturgyID == liturgyId)
            rows.append(r.Function);
    return rows;
}

void TMemoryRepository::PrepareRanking(const QDateTime &historyStartDate, const QDateTime &start, const QDateTime &end)
{
    const QString wallClock = QStringLiteral("yyyy-MM-ddTHH:mm:ss");
    Note(QStringLiteral("PrepareRanking ") + historyStartDate.toString(wallClock) + QLatin1Char(' ') + start.toString(wallClock)
         + QLatin1Char(' ') + end.toString(wallClock));
}

QList<TAutoScheduleCandidateRow> TMemoryRepository::ReadCandidates(const TAutoScheduleCandidateQuery &query)
{
    Note(QStringLiteral("ReadCandidates ") + query.LiturgyID + QLatin1Char(' ') + query.FunctionID + QLatin1Char(' ')
         + QString::number(query.WeekNum));
    const Liturgy *l = FindLiturgy(query.LiturgyID);
    if (!l)
        return {};
    struct Ranked
    {
        int IsFillIn;
        int Assigned;
        QString ContactID;
    };
    QList<Ranked> ranked;
    for (const Eligible &e : Eligibles) {
        if (e.FunctionID != query.FunctionID || Unavailable.contains({e.ContactID, l->Start.date()}))
            continue;
        ranked.append({e.IsFillIn, NumAssigned(e.ContactID, query.HistoryStartDate, l->Start), e.ContactID});
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked &a, const Ranked &b) {
        return std::tie(a.IsFillIn, a.Assigned, a.ContactID) < std::tie(b.IsFillIn, b.Assigned, b.ContactID);
    });
    QList<TAutoScheduleCandidateRow> rows;
    for (const Ranked &r : ranked)
        rows.append({r.ContactID, r.IsFillIn});
    return rows;
}

QList<TAutoScheduleChangedRow> TMemoryRepository::SaveService(const TAutoScheduleServiceWrite &write)
{
    Note(QStringLiteral("SaveService ") + write.LiturgyID);
    if (write.LiturgyID == FailSaveOfLiturgy)
        throw std::runtime_error("disk full");
    QList<TAutoScheduleChangedRow> changed;
    for (const auto &a : write.Assignments) {
        const auto it = std::find_if(Rows.cbegin(), Rows.cend(), [&](const Row &r) { return r.Function.ScheduledMemberID == a.ScheduledMemberID; });
        if (it == Rows.cend())
            changed.append({a.ScheduledMemberID, false, {}, {}, false, false});
        else if (it->Function.MemberLocked || it->Function.MemberID != a.ReadMemberID)
            changed.append({a.ScheduledMemberID, true, it->Function.MemberID, it->Function.MemberTypeID, it->Function.FlagMinister,
                            it->Function.MemberLocked});
    }
    for (const auto &w : write.WatchedRows) {
        const auto it = std::find_if(Rows.cbegin(), Rows.cend(), [&](const Row &r) { return r.Function.ScheduledMemberID == w.ScheduledMemberID; });
        if (it == Rows.cend())
            changed.append({w.ScheduledMemberID, false, {}, {}, false, false});
        else if (it->Function.MemberID != w.MemberID)
            changed.append({w.ScheduledMemberID, true, it->Function.MemberID, it->Function.MemberTypeID, it->Function.FlagMinister,
                            it->Function.MemberLocked});
    }
    if (!changed.isEmpty())
        return changed;
    for (const auto &a : write.Assignments)
        for (Row &r : Rows)
            if (r.Function.ScheduledMemberID == a.ScheduledMemberID) {
                r.Function.MemberID = a.ContactID;
                r.Function.MemberTypeID = a.MemberTypeID;
                r.Function.FlagMinister = a.FlagMinister;
            }
    EventColors[write.EventID] = write.EventColorID;
    EventFlags[write.EventID] = write.EventCode;
    SavedLiturgies.append(write.LiturgyID);
    return {};
}
