// The candidate ranking in memory. Every rule below mirrors a clause of step4_weekend_ordered,
// NumAssigned, SinceLast and RotationRatio (its last form), SQL's NULLs included.
#include "server/scheduler/TAutoScheduleRanking.h"

#include <QSet>

#include <algorithm>
#include <utility>
#include <tuple>

namespace {

constexpr qint64 kMsPerHour = 3600 * 1000;
constexpr qint64 kMsPerDay = 24 * kMsPerHour;
// SinceLast of a person without an assignment in the window.
constexpr int kNeverServed = 4000000;

// Wall-clock milliseconds, as the database compares timestamps without a time zone.
qint64 StampOf(const QDateTime &t)
{
    return t.date().toJulianDay() * kMsPerDay + t.time().msecsSinceStartOfDay();
}

qint64 DayOf(const QDate &d)
{
    return d.toJulianDay();
}

// Elements of a sorted list below a bound.
template <typename T>
int CountBelow(const std::vector<T> &sorted, T bound)
{
    return int(std::lower_bound(sorted.cbegin(), sorted.cend(), bound) - sorted.cbegin());
}

} // namespace

TAutoScheduleRanking::TAutoScheduleRanking(const TAutoScheduleRankingRows &rows, const QDateTime &historyStartDate)
{
    m_contactIds = rows.Contacts;
    m_persons.resize(std::size_t(rows.Contacts.size()));
    for (int i = 0; i < rows.Contacts.size(); ++i)
        m_contacts.insert(rows.Contacts.at(i), i);

    // NumFunctions counts every preference of the person, whatever its function.
    QHash<int, QSet<QString>> preferencesOf;
    for (const TAutoSchedulePreferenceRow &p : rows.Preferences) {
        const int contact = Contact(p.ContactID);
        if (contact < 0)
            continue;
        preferencesOf[contact].insert(p.PreferenceID);
        if (p.FunctionID.isEmpty())
            continue;
        int function = Function(p.FunctionID);
        if (function < 0) {
            function = int(m_functionIds.size());
            m_functions.insert(p.FunctionID, function);
            m_functionIds << p.FunctionID;
        }
        m_preferences[function].push_back({contact, p.CanFillIn, p.LiturgyTemplateID, p.WeekOfMonth});
    }
    for (auto it = preferencesOf.cbegin(); it != preferencesOf.cend(); ++it)
        m_persons[std::size_t(it.key())].NumFunctions = int(it.value().size());

    for (const TAutoScheduleUnavailableRow &u : rows.Unavailable) {
        const int contact = Contact(u.ContactID);
        if (contact >= 0 && u.Day.isValid())
            m_persons[std::size_t(contact)].UnavailableDays.append(DayOf(u.Day));
    }

    const qint64 historyStart = historyStartDate.isValid() ? StampOf(historyStartDate) : 0;
    // The rows come in order; a stable sort by start only guards the searches below and keeps
    // the order of keys within one start.
    std::vector<std::pair<qint64, const TAutoScheduleMemberRow *>> ordered;
    ordered.reserve(std::size_t(rows.Rows.size()));
    for (const TAutoScheduleMemberRow &r : rows.Rows)
        if (r.Start.isValid() && StampOf(r.Start) >= historyStart)
            ordered.emplace_back(StampOf(r.Start), &r);
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[stamp, source] : ordered) {
        const TAutoScheduleMemberRow &r = *source;
        Row row;
        row.Stamp = stamp;
        row.Function = r.FunctionID.isEmpty() ? -1 : Function(r.FunctionID);
        if (row.Function < 0 && !r.FunctionID.isEmpty()) {
            row.Function = int(m_functionIds.size());
            m_functions.insert(r.FunctionID, row.Function);
            m_functionIds << r.FunctionID;
        }
        const int ordinal = int(m_rows.size());
        m_rows.push_back(row);
        m_stamps.push_back(row.Stamp);
        m_rowByKey.insert(r.ScheduledMemberID, ordinal);
        SetMember(ordinal, Contact(r.MemberID));
    }
}

int TAutoScheduleRanking::Contact(const QString &id) const
{
    return id.isEmpty() ? -1 : m_contacts.value(id, -1);
}

int TAutoScheduleRanking::Function(const QString &id) const
{
    return id.isEmpty() ? -1 : m_functions.value(id, -1);
}

int TAutoScheduleRanking::OrdinalAfter(qint64 stamp) const
{
    return int(std::upper_bound(m_stamps.cbegin(), m_stamps.cend(), stamp) - m_stamps.cbegin());
}

int TAutoScheduleRanking::OrdinalFrom(qint64 stamp) const
{
    return CountBelow(m_stamps, stamp);
}

void TAutoScheduleRanking::SetMember(int ordinal, int contact)
{
    Row &row = m_rows[std::size_t(ordinal)];
    if (row.Member == contact)
        return;
    auto remove = [ordinal](std::vector<int> &list) {
        const auto it = std::lower_bound(list.begin(), list.end(), ordinal);
        if (it != list.end() && *it == ordinal)
            list.erase(it);
    };
    auto insert = [ordinal](std::vector<int> &list) {
        list.insert(std::lower_bound(list.begin(), list.end(), ordinal), ordinal);
    };
    if (row.Member >= 0) {
        Person &old = m_persons[std::size_t(row.Member)];
        remove(old.Rows);
        if (row.Function >= 0)
            remove(old.ByFunction[row.Function]);
    }
    row.Member = contact;
    if (contact >= 0) {
        Person &now = m_persons[std::size_t(contact)];
        insert(now.Rows);
        if (row.Function >= 0)
            insert(now.ByFunction[row.Function]);
    }
}

TAutoScheduleRanking::Values TAutoScheduleRanking::ValuesAt(int contact, int function, qint64 stamp) const
{
    const Person &person = m_persons[std::size_t(contact)];
    Values v;
    // NumAssigned and RotationRatio: from the history start to the moment, both included. The
    // ratio walks the person's rows newest first and, at one start time, by key ascending: the
    // reverse of the ordinal order.
    const int upTo = OrdinalAfter(stamp);
    v.NumAssigned = CountBelow(person.Rows, upTo);
    // SinceLast: the latest start before the moment, in hour boundaries crossed.
    const int before = CountBelow(person.Rows, OrdinalFrom(stamp));
    v.SinceLast = before == 0 ? kNeverServed
                              : int(stamp / kMsPerHour - m_rows[std::size_t(person.Rows[std::size_t(before - 1)])].Stamp / kMsPerHour);
    if (person.NumFunctions <= 1)
        return v; // one function (or none): no ratio
    int between = v.NumAssigned;
    const auto served = function < 0 ? person.ByFunction.constEnd() : person.ByFunction.constFind(function);
    if (served != person.ByFunction.constEnd()) {
        const int last = CountBelow(*served, upTo);
        if (last > 0)
            between = v.NumAssigned - 1 - CountBelow(person.Rows, (*served)[std::size_t(last - 1)]);
    }
    v.RotationRatio = between / double(person.NumFunctions);
    return v;
}

int TAutoScheduleRanking::NumAssigned(const QString &contactId, const QDateTime &now) const
{
    const int contact = Contact(contactId);
    return contact < 0 ? 0 : ValuesAt(contact, -1, StampOf(now)).NumAssigned;
}

int TAutoScheduleRanking::SinceLast(const QString &contactId, const QDateTime &checkAgainst) const
{
    const int contact = Contact(contactId);
    return contact < 0 ? kNeverServed : ValuesAt(contact, -1, StampOf(checkAgainst)).SinceLast;
}

double TAutoScheduleRanking::RotationRatio(const QString &contactId, const QString &functionId, const QDateTime &now) const
{
    const int contact = Contact(contactId);
    return contact < 0 ? 0 : ValuesAt(contact, Function(functionId), StampOf(now)).RotationRatio;
}

QList<TAutoScheduleCandidateRow> TAutoScheduleRanking::Candidates(const TAutoScheduleCandidateQuery &query) const
{
    const int function = Function(query.FunctionID);
    const auto preferences = m_preferences.constFind(function);
    if (function < 0 || preferences == m_preferences.constEnd() || !query.StartDateTime.isValid())
        return {};
    const qint64 stamp = StampOf(query.StartDateTime);
    const qint64 day = DayOf(query.StartDateTime.date());

    struct Entry
    {
        int Contact;
        std::optional<int> CanFillIn;
        int IsFillIn;
        int HasPrefered;
        Values V;
    };
    std::vector<Entry> entries;
    entries.reserve(preferences->size());
    for (const Preference &p : *preferences) {
        if (m_persons[std::size_t(p.Contact)].UnavailableDays.contains(day))
            continue;
        // A NULL compares as neither equal nor unequal: only a value that is there can match.
        const bool canFillIn = p.CanFillIn == 1;
        const bool liturgy = p.LiturgyTemplateID && !query.TemplateID.isEmpty() && *p.LiturgyTemplateID == query.TemplateID;
        const bool week = p.WeekOfMonth && *p.WeekOfMonth == query.WeekNum;
        if (!(liturgy || !p.LiturgyTemplateID || canFillIn))
            continue;
        if (!(week || !p.WeekOfMonth || canFillIn))
            continue;
        const int isFillIn = (week || liturgy) ? 0 : canFillIn ? 1 : 0;
        const int hasPrefered = (week && liturgy) ? 0 : (week || liturgy) ? 1 : 2;
        entries.push_back({p.Contact, p.CanFillIn, isFillIn, hasPrefered, {}});
    }
    // DISTINCT: the values are the person's, so the rows differ in these four at most.
    auto identity = [](const Entry &e) { return std::make_tuple(e.Contact, e.CanFillIn, e.IsFillIn, e.HasPrefered); };
    std::sort(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) { return identity(a) < identity(b); });
    entries.erase(std::unique(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) { return identity(a) == identity(b); }),
                  entries.end());
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i].V = i > 0 && entries[i - 1].Contact == entries[i].Contact ? entries[i - 1].V
                                                                            : ValuesAt(entries[i].Contact, function, stamp);

    // ORDER BY IsFillIn, RRatio DESC, SidenSist DESC, HasPrefered, NumAssigned, PK_ContactID,
    // ContactCanFillIn (NULL last).
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (a.IsFillIn != b.IsFillIn)
            return a.IsFillIn < b.IsFillIn;
        if (a.V.RotationRatio != b.V.RotationRatio)
            return a.V.RotationRatio > b.V.RotationRatio;
        if (a.V.SinceLast != b.V.SinceLast)
            return a.V.SinceLast > b.V.SinceLast;
        if (a.HasPrefered != b.HasPrefered)
            return a.HasPrefered < b.HasPrefered;
        if (a.V.NumAssigned != b.V.NumAssigned)
            return a.V.NumAssigned < b.V.NumAssigned;
        if (a.Contact != b.Contact)
            return a.Contact < b.Contact;
        if (a.CanFillIn.has_value() != b.CanFillIn.has_value())
            return a.CanFillIn.has_value();
        return a.CanFillIn < b.CanFillIn;
    });
    QList<TAutoScheduleCandidateRow> result;
    result.reserve(qsizetype(entries.size()));
    for (const Entry &e : entries)
        result.append({m_contactIds.at(e.Contact), e.IsFillIn});
    return result;
}

void TAutoScheduleRanking::Apply(const TAutoScheduleServiceWrite &write)
{
    for (const TAutoScheduleServiceWrite::Assignment &a : write.Assignments) {
        const auto it = m_rowByKey.constFind(a.ScheduledMemberID);
        if (it != m_rowByKey.constEnd())
            SetMember(*it, Contact(a.ContactID));
    }
}
