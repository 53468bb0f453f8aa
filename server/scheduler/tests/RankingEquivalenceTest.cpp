// The in-memory ranking against the database's procedures on a generated parish with the
// ranking's corner cases, and the procedures' cheaper forms against the forms they replaced.
#include "testsupport/GeneratedParish.h"
#include "testsupport/RecordingRepository.h"

#include "dataaccess/TDAConnectionManager.h"
#include "foundation/uCommon.h"
#include "pgdriver/uDAADODriver.h"
#include "server/scheduler/TAutoScheduleDARepository.h"
#include "server/scheduler/uScheduler.h"
#include "testsupport/CurrentSchema.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using kestrova::test::CurrentSchemaStage;
using kestrova::test::TestDatabase;

const TDAADODriver kRegistration;
const TParishShape kShape{120, 3, true};

struct TRunResult
{
    bool Ok = false;
    QList<TRecordingRepository::List> Lists;
};

TRunResult Schedule(const TestDatabase &db, TAutoScheduleRankingSource ranking, const TParishShape &shape = kShape)
{
    TDAConnectionManager manager;
    manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
    TAutoScheduleDARepository repository(manager, QStringLiteral("MSSQL"), ranking);
    TRecordingRepository recording(repository);
    std::atomic<bool> stop{false};
    const QDate start = GeneratedParishStart();
    TvoAutoScheduler scheduler({}, QDateTime(start, QTime(0, 0)), QDateTime(start.addMonths(shape.Months), QTime(0, 0)), {},
                               {EmptyGUID, "{00000000-0000-0000-0000-000000000001}", "{00000000-0000-0000-0000-000000000002}"},
                               true, recording, stop);
    const QTemporaryDir traceFolder;
    scheduler.SetTraceFolder(traceFolder.path());
    TRunResult run;
    run.Ok = scheduler.Execute();
    run.Lists = recording.Lists;
    return run;
}

class RankingEquivalence : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // One parish scheduled both ways, shared by the tests below, which only read.
        memoryDb = new TestDatabase(CurrentSchemaStage());
        proceduresDb = new TestDatabase(CurrentSchemaStage());
        if (!memoryDb->available())
            return;
        GenerateParish(*memoryDb, kShape);
        GenerateParish(*proceduresDb, kShape);
        memory = Schedule(*memoryDb, TAutoScheduleRankingSource::InMemory);
        procedures = Schedule(*proceduresDb, TAutoScheduleRankingSource::Procedures);
    }
    static void TearDownTestSuite()
    {
        delete memoryDb;
        delete proceduresDb;
    }
    void SetUp() override
    {
        if (!memoryDb->available())
            GTEST_SKIP();
    }

    static TestDatabase *memoryDb;
    static TestDatabase *proceduresDb;
    static TRunResult memory;
    static TRunResult procedures;
};

TestDatabase *RankingEquivalence::memoryDb = nullptr;
TestDatabase *RankingEquivalence::proceduresDb = nullptr;
TRunResult RankingEquivalence::memory;
TRunResult RankingEquivalence::procedures;

TEST_F(RankingEquivalence, BothRankingsGiveTheSameCandidateListsAndTheSameSchedule)
{
    ASSERT_TRUE(memory.Ok);
    ASSERT_TRUE(procedures.Ok);
    EXPECT_EQ(TRecordingRepository::FirstDifference(memory.Lists, procedures.Lists), QString());
    EXPECT_EQ(ScheduleOf(*memoryDb), ScheduleOf(*proceduresDb));
    EXPECT_GT(memory.Lists.size(), 200);
}

TEST_F(RankingEquivalence, TheParishHoldsTheCornerCasesTheRankingMustKeep)
{
    int twice = 0;
    int weekday = 0;
    int withoutTemplate = 0;
    int fillIns = 0;
    for (const TRecordingRepository::List &list : std::as_const(memory.Lists)) {
        QSet<QString> seen;
        for (const TAutoScheduleCandidateRow &row : list.Rows) {
            twice += seen.contains(row.ContactID) ? 1 : 0;
            seen.insert(row.ContactID);
            fillIns += row.IsFillIn;
        }
        weekday += list.Query.WeekNum == -1 ? 1 : 0;
        withoutTemplate += list.Query.TemplateID.isEmpty() ? 1 : 0;
    }
    EXPECT_GT(twice, 0) << "a person listed twice";
    EXPECT_GT(weekday, 0);
    EXPECT_GT(withoutTemplate, 0);
    EXPECT_GT(fillIns, 0);
    // Two liturgies at one time, and history before the history start that nothing may count.
    EXPECT_EQ(memoryDb->scalar(QStringLiteral("SELECT count(*) FROM (SELECT StartDateTime FROM dbo.tblEvents GROUP BY 1 "
                                              "HAVING count(*) > 1) t")).toInt() > 0, true);
    EXPECT_EQ(memoryDb->scalar(QStringLiteral("SELECT count(*) FROM dbo.tblEvents, dbo.tblHistoryStartDate h "
                                              "WHERE StartDateTime < h.HistoryStartDate")).toInt() > 0, true);
}

TEST_F(RankingEquivalence, TheRulesReadAtOnceAreThoseOfTheProcedurePerPerson)
{
    TDAConnectionManager manager;
    manager.AddConnection(QStringLiteral("MSSQL"), memoryDb->connectionString(), true);
    TAutoScheduleDARepository repository(manager, QStringLiteral("MSSQL"));
    repository.BeginRead();
    QList<QStringList> atOnce;
    const QSet<QString> contacts = [&] {
        QSet<QString> ids;
        for (const QStringList &row : memoryDb->rows(QStringLiteral("SELECT PK_ContactID FROM dbo.tblContacts")))
            ids.insert(row.at(0));
        return ids;
    }();
    for (const TAutoScheduleRuleRow &row : repository.ReadRules())
        if (contacts.contains(row.Owner))
            atOnce << QStringList{row.Owner, row.Contact, row.Rule};
    repository.CommitRead();
    const QList<QStringList> perPerson = memoryDb->rows(QStringLiteral(
        "SET search_path = dbo; SELECT c.PK_ContactID, r.Contact, r.Rule FROM tblContacts c, "
        "LATERAL sp_AutoSchedule_Rulemembers(c.PK_ContactID, c.PK_ContactID) WITH ORDINALITY r "
        "ORDER BY c.PK_ContactID, r.ordinality"));
    EXPECT_EQ(atOnce, perPerson);
    EXPECT_GT(perPerson.size(), 10);
}

// Every candidate function answered for every liturgy, function and week, as text per call.
QList<QStringList> CandidateTexts(const TestDatabase &db, const QString &searchPath)
{
    const QString calls = QStringLiteral(
        "SET search_path = %1; "
        "WITH q AS (SELECT DISTINCT s.F_ScheduledLiturgyID AS l, s.F_MinistryFunctionID AS f, sl.F_LiturgyTemplateID AS t, w.w "
        "  FROM tblScheduledMinistryFunctions s JOIN tblScheduledLiturgies sl ON sl.PK_ScheduledLiturgyID = s.F_ScheduledLiturgyID "
        "  CROSS JOIN (VALUES (-1), (2)) w(w)), h AS (SELECT HistoryStartDate AS h FROM tblHistoryStartDate) "
        "SELECT q.l, q.f, q.w::text, "
        " (SELECT string_agg(concat_ws('|', r.PK_ContactID, r.ContactCanFillIn, r.NumAssigned, r.IsFillIn, r.LastName, "
        "    r.HasPrefered, r.NumFunctions, r.SidenSist, r.RRatio), ' ' ORDER BY r.ordinality) "
        "  FROM step4_weekend_ordered(q.w, q.t, q.l, q.f, h.h) WITH ORDINALITY r), "
        " (SELECT string_agg(concat_ws('|', r.PK_ContactID, r.ContactCanFillIn, r.NumAssigned, r.IsFillIn, r.LastName, "
        "    r.HasPrefered, r.NumFunctions, r.SidenSist, r.RRatio), ' ' ORDER BY r.ordinality) "
        "  FROM step4_nw_ordered(q.t, q.l, q.f, h.h) WITH ORDINALITY r WHERE q.w = -1), "
        // Rows of equal weight come in no fixed order: compared as a set.
        " (SELECT string_agg(t, ' ' ORDER BY t) FROM (SELECT concat_ws('|', r.*) AS t "
        "  FROM Step4(q.w, q.t, q.l, q.f, h.h, 0.3, 0.45, 0.25) r) x) "
        "FROM q CROSS JOIN h ORDER BY 1, 2, 3");
    return db.rows(calls.arg(searchPath));
}

TEST(RankingProcedures, TheCheaperFormsGiveTheRowsOfTheFormsTheyReplaced)
{
    // A smaller parish, scheduled once so the period holds members too: the replaced forms are slow.
    const TParishShape shape{50, 2, true};
    TestDatabase db(CurrentSchemaStage());
    if (!db.available())
        GTEST_SKIP();
    GenerateParish(db, shape);
    ASSERT_TRUE(Schedule(db, TAutoScheduleRankingSource::InMemory, shape).Ok);
    // The replaced forms in a schema of their own, found first on its search path.
    db.exec(QStringLiteral("CREATE SCHEMA legacy"));
    for (const char *file : {"NumAssigned", "SinceLast", "RotationRatio-4", "step4_nw_ordered", "step4_weekend_ordered", "Step4-2"}) {
        QFile text(QStringLiteral(KESTROVA_SOURCE_DIR "/server/database/objects/%1.sql").arg(QLatin1String(file)));
        ASSERT_TRUE(text.open(QIODevice::ReadOnly)) << file;
        db.exec(QStringLiteral("SET search_path = legacy, dbo;\n") + QString::fromUtf8(text.readAll()));
    }
    const QList<QStringList> current = CandidateTexts(db, QStringLiteral("dbo"));
    const QList<QStringList> replaced = CandidateTexts(db, QStringLiteral("legacy, dbo"));
    ASSERT_GT(current.size(), 300);
    ASSERT_EQ(current.size(), replaced.size());
    int candidates = 0;
    for (qsizetype i = 0; i < current.size(); ++i) {
        ASSERT_EQ(current.at(i), replaced.at(i)) << "call " << i;
        candidates += int(current.at(i).at(3).count(QLatin1Char(' ')));
    }
    EXPECT_GT(candidates, 1000);
}

} // namespace
