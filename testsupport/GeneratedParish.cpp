// The generated parish. Per week: Saturday 17:00, Sunday 09:30 and 11:30, Wednesday 18:00;
// 7 function rows per liturgy (6 functions, the first twice, the last allowing duplicates);
// each person serves one or two functions (30 % two), 50 % of preferences name a liturgy,
// 25 % a week of the month, 10 % are fill-ins, 5 % of people are flagged; a rule (always,
// don't apart, prefer, never) for one person in ten; two unavailable days each; 2 % of open
// rows (or the shape's share) locked with a member; one month of earlier assignments.
#include "testsupport/GeneratedParish.h"

#include "foundation/uCommon.h"
#include "server/scheduler/uScheduler.h"

#include <QDateTime>

#include <random>

namespace {

using kestrova::test::TestDatabase;

constexpr int kFunctions = 6;
constexpr unsigned kSeed = 20261209;
constexpr int kRowsPerInsert = 500;
const QStringList kTemplates{"{70000000-0000-0000-0000-000000000001}", "{70000000-0000-0000-0000-000000000002}",
                             "{70000000-0000-0000-0000-000000000003}", "{70000000-0000-0000-0000-000000000004}"};
// The week-of-month frequencies of the default data: weeks 1 to 5.
const QStringList kFrequencies{"{D74D24CB-17DE-4551-976C-988F6B55515E}", "{0B3E8DDA-8FE6-4FD3-BF84-2E06FFA4F32F}",
                               "{16A4AEE4-D2DC-4C7D-96D2-8E89E9F07CA0}", "{BA566940-71FA-401E-908B-962B1C361FA4}",
                               "{72AD24ED-BE26-418F-9E09-43BDBD00F194}"};

QString Key(char kind, int n)
{
    return QStringLiteral("{%1%2-0000-4000-8000-000000000000}").arg(QLatin1Char(kind)).arg(n, 7, 10, QLatin1Char('0'));
}

// Multi-row INSERTs in chunks, so a large parish loads in few statements.
class Inserter
{
public:
    Inserter(const TestDatabase &db, QString head) : m_db(db), m_head(std::move(head)) {}
    ~Inserter() { Flush(); }
    Inserter(const Inserter &) = delete;
    Inserter &operator=(const Inserter &) = delete;
    void Add(const QString &values)
    {
        m_rows << values;
        if (m_rows.size() >= kRowsPerInsert)
            Flush();
    }
    void Flush()
    {
        if (m_rows.isEmpty())
            return;
        m_db.exec(QStringLiteral("SET search_path=dbo; ") + m_head + QStringLiteral(" VALUES ") + m_rows.join(QLatin1Char(',')));
        m_rows.clear();
    }

private:
    const TestDatabase &m_db;
    QString m_head;
    QStringList m_rows;
};

struct Liturgy
{
    QString Id;
    QDateTime Start;
    QString Template; // empty for none
};

QList<Liturgy> Liturgies(const QDate &from, const QDate &to, bool quirks)
{
    QList<Liturgy> list;
    int n = 0;
    int wednesdays = 0;
    for (QDate d = from; d < to; d = d.addDays(1)) {
        auto add = [&](int h, int m, const QString &t) { list.append({Key('L', ++n), QDateTime(d, QTime(h, m)), t}); };
        if (d.dayOfWeek() == 6)
            add(17, 0, kTemplates.at(0));
        if (d.dayOfWeek() == 7) {
            add(9, 30, kTemplates.at(1));
            // The first Sunday of a month has a second liturgy at the same time.
            if (quirks && d.day() <= 7)
                add(9, 30, kTemplates.at(2));
            add(11, 30, kTemplates.at(2));
        }
        if (d.dayOfWeek() == 3)
            add(18, 0, quirks && ++wednesdays % 3 == 0 ? QString() : kTemplates.at(3));
    }
    return list;
}

} // namespace

QDate GeneratedParishStart()
{
    return QDate(2027, 1, 4);
}

void GenerateParish(const TestDatabase &db, const TParishShape &shape)
{
    std::mt19937 rng(kSeed);
    auto chance = [&](int percent) { return int(rng() % 100) < percent; };
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const QDate start = GeneratedParishStart();
    // With quirks the history starts on a Sunday morning, after that weekend's Saturday.
    QDate firstSunday = start.addMonths(-1);
    while (firstSunday.dayOfWeek() != 7)
        firstSunday = firstSunday.addDays(1);
    const QDateTime historyStart = shape.Quirks ? QDateTime(firstSunday, QTime(8, 0)) : QDateTime(start.addMonths(-1), QTime(0, 0));
    db.exec(QStringLiteral("SET search_path=dbo; UPDATE tblHistoryStartDate SET HistoryStartDate = '%1';")
                .arg(historyStart.toString(Qt::ISODate)));
    {
        Inserter f(db, QStringLiteral("INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, AllowDuplicate)"));
        for (int i = 1; i <= kFunctions; ++i)
            f.Add(QStringLiteral("('%1', 'Function %2', %3)").arg(Key('F', i)).arg(i).arg(i == kFunctions ? 1 : 0));
    }
    QList<QList<int>> servers(kFunctions + 1);
    {
        Inserter c(db, QStringLiteral("INSERT INTO tblContacts (PK_ContactID, FirstName, LastName, FlagContact)"));
        Inserter p(db, QStringLiteral("INSERT INTO tblLnkServingPrefrence (PK_ServingPrefrenceID, F_ContactID, F_MinistryFunctionID, ContactCanFillIn)"));
        Inserter pl(db, QStringLiteral("INSERT INTO tblServingPrefrenceLiturgy (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_LiturgyTemplateID)"));
        Inserter pf(db, QStringLiteral("INSERT INTO tblServingPrefrenceFrequency (PK_LinkID, F_ServingPrefrenceID, F_ContactID, F_FrequencyID)"));
        Inserter u(db, QStringLiteral("INSERT INTO tblUnAvailiabillity (PK_UnavailiableID, F_ContactID, UnavailiableDate)"));
        int prefs = 0;
        int links = 0;
        const int days = int(start.daysTo(start.addMonths(shape.Months)));
        for (int i = 1; i <= shape.People; ++i) {
            const QString id = Key('C', i);
            c.Add(QStringLiteral("('%1', 'Person', 'Number %2', %3)").arg(id).arg(i).arg(chance(5) ? 1 : 0));
            const int count = chance(30) ? 2 : 1;
            const int first = 1 + pick(kFunctions);
            auto preference = [&](int function, bool fillIn) {
                const QString pref = Key('P', ++prefs);
                p.Add(QStringLiteral("('%1', '%2', '%3', %4)").arg(pref, id, Key('F', function)).arg(fillIn ? 1 : 0));
                servers[function].append(i);
                const int liturgies = chance(50) ? (shape.Quirks && chance(10) ? 2 : 1) : 0;
                for (int k = 0; k < liturgies; ++k)
                    pl.Add(QStringLiteral("('%1', '%2', '%3', '%4')").arg(Key('A', ++links), pref, id, kTemplates.at(pick(kTemplates.size()))));
                const int weeks = chance(25) ? (shape.Quirks && chance(20) ? 2 : 1) : 0;
                for (int k = 0; k < weeks; ++k)
                    pf.Add(QStringLiteral("('%1', '%2', '%3', '%4')").arg(Key('B', ++links), pref, id, kFrequencies.at(pick(kFrequencies.size()))));
            };
            for (int k = 0; k < count; ++k) {
                const int function = 1 + (first - 1 + k) % kFunctions;
                const bool fillIn = chance(10);
                preference(function, fillIn);
                // The same function a second time, the other way round for filling in.
                if (shape.Quirks && chance(3))
                    preference(function, !fillIn);
            }
            for (int k = 0; k < 2; ++k)
                u.Add(QStringLiteral("('%1', '%2', '%3')").arg(Key('U', i * 2 + k), id, start.addDays(pick(days)).toString(Qt::ISODate)));
        }
    }
    {
        const QStringList ruleTypes{kRuleAlways, kRuleDontApart, kRulePrefer, "{98A1AD29-3773-40BE-B344-5541FD636256}"};
        Inserter r(db, QStringLiteral("INSERT INTO tblLnkServingRules (PK_RuleLnkID, F_OwnerMemberID, F_RuleMemberID, F_RuleTypeID)"));
        for (int i = 1; i <= shape.People / 10; ++i) {
            // Partners serve the same function or the next, as families and friends tend to.
            const int function = 1 + pick(kFunctions);
            const auto &pool = servers[function];
            const auto &other = servers[1 + function % kFunctions];
            if (pool.isEmpty() || other.isEmpty())
                continue;
            const int a = pool.at(pick(int(pool.size())));
            const int b = other.at(pick(int(other.size())));
            if (a != b)
                r.Add(QStringLiteral("('%1', '%2', '%3', '%4')").arg(Key('R', i), Key('C', a), Key('C', b), ruleTypes.at(i % 4)));
        }
    }
    // A month of history with members, then the period with open rows.
    Inserter e(db, QStringLiteral("INSERT INTO tblEvents (PK_EventID, EventSubject, StartDateTime, FlagEvent)"));
    Inserter l(db, QStringLiteral("INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID)"));
    Inserter s(db, QStringLiteral("INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID, F_MinistryMemberID, F_MinistryMemberTypeID, MemberLocked)"));
    int rows = 0;
    for (const Liturgy &lit : Liturgies(start.addMonths(-1), start.addMonths(shape.Months), shape.Quirks)) {
        const bool history = lit.Start.date() < start;
        const QString event = QString(lit.Id).replace(QLatin1Char('L'), QLatin1Char('E'));
        e.Add(QStringLiteral("('%1', 'Mass', '%2', 0)").arg(event, lit.Start.toString(Qt::ISODate)));
        l.Add(QStringLiteral("('%1', '%2', %3)").arg(lit.Id, event, lit.Template.isEmpty() ? QStringLiteral("NULL") : QLatin1Char('\'') + lit.Template + QLatin1Char('\'')));
        for (int k = 0; k <= kFunctions; ++k) {
            const int function = k == 0 ? 1 : k;
            QString member = QStringLiteral("NULL");
            QString type = QStringLiteral("NULL");
            const bool locked = !history && chance(shape.LockedPercent);
            if ((history || locked) && !servers[function].isEmpty()) {
                member = QStringLiteral("'%1'").arg(Key('C', servers[function].at(pick(int(servers[function].size())))));
                type = QStringLiteral("'%1'").arg(EmptyGUID);
            }
            s.Add(QStringLiteral("('%1', '%2', '%3', %4, %5, %6)").arg(Key('S', ++rows), lit.Id, Key('F', function), member, type).arg(locked ? 1 : 0));
        }
    }
    e.Flush();
    l.Flush();
    s.Flush();
    // The statistics a working database has: plans as in a parish's own.
    db.exec(QStringLiteral("ANALYZE"));
}

QList<QStringList> ScheduleOf(const TestDatabase &db)
{
    QList<QStringList> all = db.rows(QStringLiteral(
        "SELECT PK_ScheduledMemberID, F_MinistryMemberID, F_MinistryMemberTypeID, FlagMinister::text, MemberNotAttended::text "
        "FROM dbo.tblScheduledMinistryFunctions ORDER BY 1"));
    all << db.rows(QStringLiteral("SELECT PK_EventID, EventLabelColorID, FlagEvent::text FROM dbo.tblEvents ORDER BY 1"));
    return all;
}
