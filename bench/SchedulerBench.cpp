// Run time and database round trips of one automatic scheduling run on a generated parish,
// on the private PostgreSQL cluster (KESTROVA_TEST_PG, as the tests use it).
//   scheduler_bench                      the grid: 100, 300 and 1000 people over 3 and 12 months
//   scheduler_bench PEOPLE MONTHS [...]  the given sizes
// The parish: 3 weekend liturgies a week (Saturday 17:00, Sunday 09:30 and 11:30) and one on
// Wednesday, 6 ministry functions per liturgy (the first twice), each person serving one or two
// functions with liturgy, frequency and fill-in preferences, rules between one in ten people,
// two unavailable days each, and a month of earlier assignments. A fixed seed: runs repeat.
#include "dataaccess/TDAConnectionManager.h"
#include "foundation/QorDateTime.h"
#include "foundation/uCommon.h"
#include "pgdriver/uDAADODriver.h"
#include "server/scheduler/TAutoScheduleDARepository.h"
#include "server/scheduler/uScheduler.h"
#include "server/tests/CurrentSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <random>

namespace {

const TDAADODriver kRegistration;
constexpr int kFunctions = 6;
constexpr unsigned kSeed = 20261209;
const QDate kPeriodStart(2027, 1, 4);
const QStringList kTemplates{"{70000000-0000-0000-0000-000000000001}", "{70000000-0000-0000-0000-000000000002}",
                             "{70000000-0000-0000-0000-000000000003}", "{70000000-0000-0000-0000-000000000004}"};
const QStringList kFrequencies{"{D74D24CB-17DE-4551-976C-988F6B55515E}", "{0B3E8DDA-8FE6-4FD3-BF84-2E06FFA4F32F}",
                               "{16A4AEE4-D2DC-4C7D-96D2-8E89E9F07CA0}", "{BA566940-71FA-401E-908B-962B1C361FA4}",
                               "{72AD24ED-BE26-418F-9E09-43BDBD00F194}"};
const QStringList kRuleTypes{kRuleAlways, kRuleDontApart, kRulePrefer, "{98A1AD29-3773-40BE-B344-5541FD636256}"};

QString Key(char kind, int n)
{
    return QStringLiteral("{%1%2-0000-4000-8000-000000000000}").arg(QLatin1Char(kind)).arg(n, 7, 10, QLatin1Char('0'));
}

// Multi-row INSERTs in chunks, so a large parish loads in few statements.
class Inserter
{
public:
    Inserter(const kestrova::test::TestDatabase &db, QString head) : m_db(db), m_head(std::move(head)) {}
    ~Inserter() { Flush(); }
    void Add(const QString &values)
    {
        m_rows << values;
        if (m_rows.size() >= 500)
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
    const kestrova::test::TestDatabase &m_db;
    QString m_head;
    QStringList m_rows;
};

struct Liturgy
{
    QString Id;
    QDateTime Start;
    QString Template;
};

QList<Liturgy> Liturgies(const QDate &from, const QDate &to)
{
    QList<Liturgy> list;
    int n = 0;
    for (QDate d = from; d < to; d = d.addDays(1)) {
        auto add = [&](int h, int m, int t) { list.append({Key('L', ++n), WallClock(d, QTime(h, m)), kTemplates.at(t)}); };
        if (d.dayOfWeek() == 6)
            add(17, 0, 0);
        if (d.dayOfWeek() == 7) {
            add(9, 30, 1);
            add(11, 30, 2);
        }
        if (d.dayOfWeek() == 3)
            add(18, 0, 3);
    }
    return list;
}

void Generate(const kestrova::test::TestDatabase &db, int people, int months, std::mt19937 &rng)
{
    auto chance = [&](int percent) { return int(rng() % 100) < percent; };
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    db.exec(QStringLiteral("SET search_path=dbo; UPDATE tblHistoryStartDate SET HistoryStartDate = '%1';")
                .arg(kPeriodStart.addMonths(-1).toString(Qt::ISODate)));
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
        const int days = int(kPeriodStart.daysTo(kPeriodStart.addMonths(months)));
        for (int i = 1; i <= people; ++i) {
            const QString id = Key('C', i);
            c.Add(QStringLiteral("('%1', 'Person', 'Number %2', %3)").arg(id).arg(i).arg(chance(5) ? 1 : 0));
            const int count = chance(30) ? 2 : 1;
            const int first = 1 + pick(kFunctions);
            for (int k = 0; k < count; ++k) {
                const int function = 1 + (first - 1 + k) % kFunctions;
                const QString pref = Key('P', ++prefs);
                p.Add(QStringLiteral("('%1', '%2', '%3', %4)").arg(pref, id, Key('F', function)).arg(chance(10) ? 1 : 0));
                servers[function].append(i);
                if (chance(50))
                    pl.Add(QStringLiteral("('%1', '%2', '%3', '%4')").arg(Key('A', prefs), pref, id, kTemplates.at(pick(kTemplates.size()))));
                if (chance(25))
                    pf.Add(QStringLiteral("('%1', '%2', '%3', '%4')").arg(Key('B', prefs), pref, id, kFrequencies.at(pick(kFrequencies.size()))));
            }
            for (int k = 0; k < 2; ++k)
                u.Add(QStringLiteral("('%1', '%2', '%3')").arg(Key('U', i * 2 + k), id, kPeriodStart.addDays(pick(days)).toString(Qt::ISODate)));
        }
    }
    {
        Inserter r(db, QStringLiteral("INSERT INTO tblLnkServingRules (PK_RuleLnkID, F_OwnerMemberID, F_RuleMemberID, F_RuleTypeID)"));
        for (int i = 1; i <= people / 10; ++i) {
            // Partners serve the same function or the next, as families and friends tend to.
            const int function = 1 + pick(kFunctions);
            const auto &pool = servers[function];
            const auto &other = servers[1 + function % kFunctions];
            if (pool.isEmpty() || other.isEmpty())
                continue;
            const int a = pool.at(pick(int(pool.size())));
            const int b = other.at(pick(int(other.size())));
            if (a != b)
                r.Add(QStringLiteral("('%1', '%2', '%3', '%4')").arg(Key('R', i), Key('C', a), Key('C', b), kRuleTypes.at(i % 4)));
        }
    }
    // A month of history with members, then the period with open rows.
    Inserter e(db, QStringLiteral("INSERT INTO tblEvents (PK_EventID, EventSubject, StartDateTime, FlagEvent)"));
    Inserter l(db, QStringLiteral("INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID, F_LiturgyTemplateID)"));
    Inserter s(db, QStringLiteral("INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID, F_MinistryFunctionID, F_MinistryMemberID, F_MinistryMemberTypeID, MemberLocked)"));
    int rows = 0;
    for (const Liturgy &lit : Liturgies(kPeriodStart.addMonths(-1), kPeriodStart.addMonths(months))) {
        const bool history = lit.Start.date() < kPeriodStart;
        const QString event = QString(lit.Id).replace(QLatin1Char('L'), QLatin1Char('E'));
        e.Add(QStringLiteral("('%1', 'Mass', '%2', 0)").arg(event, lit.Start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        l.Add(QStringLiteral("('%1', '%2', '%3')").arg(lit.Id, event, lit.Template));
        for (int k = 0; k <= kFunctions; ++k) {
            const int function = k == 0 ? 1 : k;
            QString member = QStringLiteral("NULL");
            QString type = QStringLiteral("NULL");
            const bool locked = !history && chance(2);
            if ((history || locked) && !servers[function].isEmpty()) {
                member = QStringLiteral("'%1'").arg(Key('C', servers[function].at(pick(int(servers[function].size())))));
                type = QStringLiteral("'%1'").arg(EmptyGUID);
            }
            s.Add(QStringLiteral("('%1', '%2', '%3', %4, %5, %6)").arg(Key('S', ++rows), lit.Id, Key('F', function), member, type).arg(locked ? 1 : 0));
        }
    }
}

void RunOne(int people, int months)
{
    kestrova::test::TestDatabase db{kestrova::test::CurrentSchemaStage()};
    if (!db.available()) {
        std::fprintf(stderr, "no private PostgreSQL cluster: set KESTROVA_TEST_PG (scripts/pg url)\n");
        std::exit(2);
    }
    std::mt19937 rng(kSeed);
    Generate(db, people, months, rng);
    const QString inPeriod = QStringLiteral(
        "FROM dbo.tblScheduledMinistryFunctions s JOIN dbo.tblScheduledLiturgies l ON l.PK_ScheduledLiturgyID = s.F_ScheduledLiturgyID "
        "JOIN dbo.tblEvents e ON e.PK_EventID = l.F_EventID WHERE e.StartDateTime >= '%1'").arg(kPeriodStart.toString(Qt::ISODate));
    const int liturgies = db.scalar(QStringLiteral("SELECT count(DISTINCT l.PK_ScheduledLiturgyID) ") + inPeriod).toInt();
    const int rows = db.scalar(QStringLiteral("SELECT count(*) ") + inPeriod).toInt();

    TDAConnectionManager manager;
    manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
    TAutoScheduleDARepository repository(manager, QStringLiteral("MSSQL"));
    std::atomic<bool> stop{false};
    TvoAutoScheduler scheduler({}, WallClock(kPeriodStart), WallClock(kPeriodStart.addMonths(months)), {},
                               {EmptyGUID, "{00000000-0000-0000-0000-000000000001}", "{00000000-0000-0000-0000-000000000002}"},
                               true, repository, stop);
    scheduler.SetTraceFolder(QDir::tempPath());
    QElapsedTimer timer;
    timer.start();
    const bool ok = scheduler.Execute();
    const qint64 ms = timer.elapsed();
    const int filled = db.scalar(QStringLiteral("SELECT count(*) ") + inPeriod + QStringLiteral(" AND s.F_MinistryMemberID IS NOT NULL")).toInt();
    std::printf("%5d people %3d months  %4d liturgies %5d rows  %s  %8.1f s  %6d round trips  %5d rows filled\n", people,
                months, liturgies, rows, ok ? "ok    " : "FAILED", double(ms) / 1000.0, repository.RoundTrips(), filled);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<QPair<int, int>> sizes;
    for (int i = 1; i + 1 < argc; i += 2)
        sizes.append({std::atoi(argv[i]), std::atoi(argv[i + 1])});
    if (sizes.isEmpty())
        sizes = {{100, 3}, {300, 3}, {1000, 3}, {100, 12}, {300, 12}, {1000, 12}};
    for (const auto &[people, months] : sizes)
        RunOne(people, months);
    return 0;
}
