// Run time and database round trips of one automatic scheduling run on a generated parish,
// on the private PostgreSQL cluster (KESTROVA_TEST_PG, as the tests use it).
//   scheduler_bench [--procedures] [PEOPLE MONTHS ...]
// Without sizes: 100, 300 and 1000 people over 3 and 12 months. The run ranks its candidates
// in memory; with --procedures the same parish is run a second time in a database of its own
// with the ranking procedure called per function, and the two runs are compared: every
// candidate list, and every function row, colour and flag they wrote.
#include "dataaccess/TDAConnectionManager.h"
#include "foundation/QorDateTime.h"
#include "foundation/uCommon.h"
#include "pgdriver/uDAADODriver.h"
#include "server/scheduler/TAutoScheduleDARepository.h"
#include "testsupport/GeneratedParish.h"
#include "testsupport/RecordingRepository.h"
#include "server/scheduler/uScheduler.h"
#include "testsupport/CurrentSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

const TDAADODriver kRegistration;

struct Outcome
{
    bool Ok = false;
    double Seconds = 0;
    double CpuSeconds = 0; // of this program: the run without the database server's share
    int RoundTrips = 0;
    QList<TRecordingRepository::List> Lists;
    QList<QStringList> Schedule;
};

double ProcessSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

Outcome RunOnce(const TParishShape &shape, TAutoScheduleRankingSource ranking, int &liturgies, int &rows, int &filled)
{
    kestrova::test::TestDatabase db{kestrova::test::CurrentSchemaStage()};
    if (!db.available()) {
        std::fprintf(stderr, "no private PostgreSQL cluster: set KESTROVA_TEST_PG (scripts/pg url)\n");
        std::exit(2);
    }
    GenerateParish(db, shape);
    const QDate start = GeneratedParishStart();
    const QString inPeriod = QStringLiteral(
        "FROM dbo.tblScheduledMinistryFunctions s JOIN dbo.tblScheduledLiturgies l ON l.PK_ScheduledLiturgyID = s.F_ScheduledLiturgyID "
        "JOIN dbo.tblEvents e ON e.PK_EventID = l.F_EventID WHERE e.StartDateTime >= '%1'").arg(start.toString(Qt::ISODate));
    liturgies = db.scalar(QStringLiteral("SELECT count(DISTINCT l.PK_ScheduledLiturgyID) ") + inPeriod).toInt();
    rows = db.scalar(QStringLiteral("SELECT count(*) ") + inPeriod).toInt();

    TDAConnectionManager manager;
    manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
    TAutoScheduleDARepository repository(manager, QStringLiteral("MSSQL"), ranking);
    TRecordingRepository recording(repository);
    std::atomic<bool> stop{false};
    TvoAutoScheduler scheduler({}, WallClock(start), WallClock(start.addMonths(shape.Months)), {},
                               {EmptyGUID, "{00000000-0000-0000-0000-000000000001}", "{00000000-0000-0000-0000-000000000002}"},
                               true, recording, stop);
    scheduler.SetTraceFolder(QDir::tempPath());
    Outcome outcome;
    QElapsedTimer timer;
    const double cpuBefore = ProcessSeconds();
    timer.start();
    outcome.Ok = scheduler.Execute();
    outcome.Seconds = double(timer.nsecsElapsed()) / 1e9;
    outcome.CpuSeconds = ProcessSeconds() - cpuBefore;
    outcome.RoundTrips = repository.RoundTrips();
    outcome.Lists = recording.Lists;
    outcome.Schedule = ScheduleOf(db);
    filled = db.scalar(QStringLiteral("SELECT count(*) ") + inPeriod + QStringLiteral(" AND s.F_MinistryMemberID IS NOT NULL")).toInt();
    return outcome;
}

void RunSize(int people, int months, bool procedures)
{
    const TParishShape shape{people, months, false};
    int liturgies = 0, rows = 0, filled = 0;
    const Outcome memory = RunOnce(shape, TAutoScheduleRankingSource::InMemory, liturgies, rows, filled);
    std::printf("%5d people %3d months  %4d liturgies %5d rows  in memory: %s %7.3f s (cpu %.3f s) %5d round trips %5d filled",
                people, months, liturgies, rows, memory.Ok ? "ok" : "FAILED", memory.Seconds, memory.CpuSeconds,
                memory.RoundTrips, filled);
    if (procedures) {
        int unused = 0, filledByProcedures = 0;
        const Outcome database = RunOnce(shape, TAutoScheduleRankingSource::Procedures, unused, unused, filledByProcedures);
        const QString lists = TRecordingRepository::FirstDifference(memory.Lists, database.Lists);
        const bool same = database.Ok && lists.isEmpty() && memory.Schedule == database.Schedule;
        std::printf("  | procedures: %s %7.3f s (cpu %.3f s) %5d round trips %5d filled  | %s (%lld lists)",
                    database.Ok ? "ok" : "FAILED", database.Seconds, database.CpuSeconds, database.RoundTrips,
                    filledByProcedures, same ? "identical" : "DIFFERENT", static_cast<long long>(memory.Lists.size()));
        if (!lists.isEmpty())
            std::printf("\n  candidate lists differ at %s", qPrintable(lists));
        else if (memory.Schedule != database.Schedule)
            std::printf("\n  the saved rows, colours or flags differ");
    }
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool procedures = false;
    QList<int> numbers;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--procedures") == 0)
            procedures = true;
        else
            numbers << std::atoi(argv[i]);
    }
    QList<QPair<int, int>> sizes;
    for (int i = 0; i + 1 < numbers.size(); i += 2)
        sizes.append({numbers[i], numbers[i + 1]});
    if (sizes.isEmpty())
        sizes = {{100, 3}, {300, 3}, {1000, 3}, {100, 12}, {300, 12}, {1000, 12}};
    for (const auto &[people, months] : sizes)
        RunSize(people, months, procedures);
    return 0;
}
