// The run as a whole: events and progress, stop requests, failures and their trace, what is
// written per service, and which liturgies take part.
#include "SchedulerHarness.h"

#include "foundation/QuorvaLogFile.h"

#include <QFile>

namespace {

class RunEvents : public SchedulerHarness {};

TEST_F(RunEvents, ProgressRunsFromOneToTwiceTheNumberOfServicesBetweenBeginAndEnd)
{
    People({"A"});
    repo.AddLiturgy("L1", At(2026, 11, 2, 10));
    repo.AddLiturgy("L2", At(2026, 11, 3, 10));
    repo.AddLiturgy("L3", At(2026, 11, 4, 10));
    ASSERT_TRUE(Run(QDate(2026, 11, 2), QDate(2026, 11, 5)));
    EXPECT_EQ(sink.Events, QStringList({"begin", "1/6", "2/6", "3/6", "4/6", "5/6", "6/6", "end"}));
    EXPECT_FALSE(running.load());
    EXPECT_TRUE(repo.Committed);
}

TEST_F(RunEvents, TheRunningFlagIsSetForTheLengthOfTheRun)
{
    People({"A"});
    repo.AddLiturgy("L1", Monday());
    bool seenRunning = false;
    repo.OnCall = [&](const QString &) { seenRunning = seenRunning || running.load(); };
    ASSERT_TRUE(RunMonday());
    EXPECT_TRUE(seenRunning);
    EXPECT_FALSE(running.load());
}

TEST_F(RunEvents, AFailedRunStillEndsWithTheEndEventAndClearsTheRunningFlag)
{
    People({"A"});
    repo.AddLiturgy("L1", Monday());
    repo.FailSaveOfLiturgy = "L1";
    EXPECT_FALSE(RunMonday());
    EXPECT_EQ(sink.Events.last(), "end");
    EXPECT_FALSE(running.load());
}

TEST_F(RunEvents, ASinkFailingAtTheEndDoesNotEscapeAndTheFlagIsCleared)
{
    struct Throwing : TRecordingSink
    {
        void AutoScheduleEnd() override { throw std::runtime_error("client gone"); }
    } throwing;
    EXPECT_NO_THROW({ TAutoScheduleRunGuard guard(&throwing, running); });
    EXPECT_FALSE(running.load());
}

class RunStop : public SchedulerHarness {};

TEST_F(RunStop, AStopBetweenServicesKeepsTheServicesSavedSoFar)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", At(2026, 11, 2, 10));
    repo.AddLiturgy("L2", At(2026, 11, 3, 10));
    const QString r1 = repo.AddRow("L1", "F1");
    const QString r2 = repo.AddRow("L2", "F1", false);
    repo.Rows.last().Function.MemberID = "OLD";
    Eligible("F1", {"A", "B"});
    repo.OnCall = [&](const QString &call) {
        if (call == "SaveService L1")
            stop = true;
    };
    EXPECT_FALSE(Run(QDate(2026, 11, 2), QDate(2026, 11, 4)));
    EXPECT_EQ(repo.SavedLiturgies, QStringList({"L1"}));
    EXPECT_EQ(repo.MemberOf(r1), "A");
    EXPECT_EQ(repo.MemberOf(r2), "OLD");
    EXPECT_FALSE(stop.load()) << "the run clears the request it acted on";
    EXPECT_FALSE(QFile::exists(TraceFile())) << "a stop is not a failure";
    EXPECT_EQ(sink.Events.last(), "end");
}

TEST_F(RunStop, AStopInTheFirstPassEndsBeforeAnythingIsWritten)
{
    People({"A"});
    repo.AddLiturgy("L1", At(2026, 11, 2, 10));
    repo.AddLiturgy("L2", At(2026, 11, 3, 10));
    repo.OnCall = [&](const QString &call) {
        if (call == "ReadFunctions L1")
            stop = true;
    };
    EXPECT_FALSE(Run(QDate(2026, 11, 2), QDate(2026, 11, 4)));
    EXPECT_TRUE(repo.SavedLiturgies.isEmpty());
    EXPECT_EQ(repo.CountCalls("ReadFunctions L2"), 0);
}

TEST_F(RunStop, AStopWhileTheRulesAreLoadedFailsTheRunWithItsTrace)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", Monday());
    stop = true;
    EXPECT_FALSE(RunMonday());
    EXPECT_FALSE(stop.load());
    EXPECT_TRUE(repo.RolledBack);
    QFile trace(TraceFile());
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    EXPECT_EQ(trace.readAll(), "Start AutoSchedule\nGet date\nCreate person list\nAdd rules to list\n");
}

class RunFailure : public SchedulerHarness
{
protected:
    void SetUp() override
    {
        log.SetFileName(folder.filePath(QStringLiteral("session.txt")));
        SessionLog = &log;
    }
    void TearDown() override { SessionLog = nullptr; }
    QString LogText() const
    {
        QFile f(folder.filePath(QStringLiteral("session.txt")));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    TQorLog log;
};

TEST_F(RunFailure, AFailedSaveKeepsEarlierServicesAndLeavesItsOwnServiceAsItWas)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", At(2026, 11, 2, 10));
    repo.AddLiturgy("L2", At(2026, 11, 3, 10));
    const QString r1 = repo.AddRow("L1", "F1");
    const QString r2 = repo.AddRow("L2", "F1");
    repo.Rows.last().Function.MemberID = "OLD";
    Eligible("F1", {"A", "B"});
    repo.FailSaveOfLiturgy = "L2";
    EXPECT_FALSE(Run(QDate(2026, 11, 2), QDate(2026, 11, 4)));
    EXPECT_EQ(repo.MemberOf(r1), "A");
    EXPECT_EQ(repo.MemberOf(r2), "OLD");
    EXPECT_TRUE(repo.RolledBack);
    EXPECT_FALSE(repo.Committed);
    EXPECT_TRUE(QFile::exists(TraceFile()));
    const QString text = LogText();
    EXPECT_TRUE(text.contains("Autoschedule")) << qPrintable(text);
    EXPECT_TRUE(text.contains("RunAutoSchedule"));
    EXPECT_TRUE(text.contains("disk full"));
    EXPECT_TRUE(text.contains("CrazyLog"));
    EXPECT_TRUE(text.contains("Schedule service"));
}

TEST_F(RunFailure, AFailureReadingThePeopleIsLoggedByTheScheduler)
{
    repo.OnCall = [](const QString &call) {
        if (call == "ReadContacts")
            throw std::runtime_error("no contacts table");
    };
    EXPECT_FALSE(RunMonday());
    const QString text = LogText();
    EXPECT_TRUE(text.contains("Auto-Scheduler")) << qPrintable(text);
    EXPECT_TRUE(text.contains("CreateUniversalPersonList"));
    EXPECT_TRUE(text.contains("no contacts table"));
}

TEST_F(RunFailure, ASecondFailedRunReplacesTheTraceFile)
{
    People({"A"});
    repo.AddLiturgy("L1", Monday());
    repo.FailSaveOfLiturgy = "L1";
    EXPECT_FALSE(RunMonday());
    repo.Calls.clear();
    stop = true;
    EXPECT_FALSE(RunMonday());
    QFile trace(TraceFile());
    ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
    EXPECT_FALSE(trace.readAll().contains("Schedule service"));
}

class RunTrace : public SchedulerHarness {};

TEST_F(RunTrace, TheTraceNamesEachStepInOrder)
{
    People({"A"});
    repo.AddLiturgy("L1", Monday());
    repo.AddRow("L1", "F1");
    Eligible("F1", {"A"});
    ASSERT_TRUE(RunMonday());
    const QStringList trace = scheduler->Trace();
    const QStringList head = trace.mid(0, 4);
    EXPECT_EQ(head, QStringList({"Start AutoSchedule", "Get date", "Create person list", "Add rules to list"}));
    EXPECT_TRUE(trace.at(4).startsWith("Ref date from:"));
    EXPECT_TRUE(trace.at(5).startsWith("Ref date to:"));
    EXPECT_EQ(trace.mid(6), QStringList({"Part 1", "Services : 1", "Service \t1", "Step3 opened with L1",
                                          "Step3 Records 1", "Step 5", "Step 6", "sp_Step3.move next",
                                          "Finished step 2 & 3, creating autoschedule", "Schedule service",
                                          "Schedule service  #0", "DONE"}));
}

class RunWrites : public SchedulerHarness {};

TEST_F(RunWrites, ColoursTellEmptyPartlyAndFullyStaffedServices)
{
    People({"A", "B"});
    repo.AddLiturgy("Empty", At(2026, 11, 2, 10));
    repo.AddLiturgy("Partly", At(2026, 11, 3, 10));
    repo.AddLiturgy("Full", At(2026, 11, 4, 10));
    repo.AddRow("Empty", "F9");
    repo.AddRow("Partly", "F1");
    repo.AddRow("Partly", "F9");
    repo.AddRow("Full", "F1");
    Eligible("F1", {"A"});
    ASSERT_TRUE(Run(QDate(2026, 11, 2), QDate(2026, 11, 5)));
    EXPECT_EQ(repo.EventColors.value("E-Empty"), "C1");
    EXPECT_EQ(repo.EventColors.value("E-Partly"), "C2");
    EXPECT_EQ(repo.EventColors.value("E-Full"), "C0");
}

TEST_F(RunWrites, TwoNewFillInsAndAFlaggedMemberGiveFlagFive)
{
    repo.AddContact("A", true);
    People({"B", "C"});
    repo.AddLiturgy("L1", Monday());
    repo.AddRow("L1", "F1");
    repo.AddRow("L1", "F2");
    repo.AddRow("L1", "F3");
    Eligible("F1", {"A"});
    Eligible("F2", {"B"}, 1);
    Eligible("F3", {"C"}, 1);
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.EventFlags.value("E-L1"), 5);
}

TEST_F(RunWrites, AFlaggedMemberBroughtByARuleFlagsTheService)
{
    People({"A"});
    repo.AddContact("Y", true);
    repo.AddRule("A", "Y", kRuleAlways);
    repo.AddLiturgy("L1", Monday());
    repo.AddRow("L1", "F1");
    repo.AddRow("L1", "F2");
    Eligible("F1", {"A"});
    Eligible("F2", {"Y"});
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(repo.EventFlags.value("E-L1"), 1);
}

TEST_F(RunWrites, AssignmentsSavedForEarlierServicesCountInLaterRankings)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", At(2026, 11, 2, 10));
    repo.AddLiturgy("L2", At(2026, 11, 3, 10));
    const QString r1 = repo.AddRow("L1", "F1");
    const QString r2 = repo.AddRow("L2", "F1");
    Eligible("F1", {"A", "B"});
    repo.HistoryStartDate = At(2026, 1, 1, 0);
    ASSERT_TRUE(Run(QDate(2026, 11, 2), QDate(2026, 11, 4)));
    EXPECT_EQ(repo.MemberOf(r1), "A");
    EXPECT_EQ(repo.MemberOf(r2), "B");
}

TEST_F(RunWrites, TwoRunsOnTheSameDataGiveTheSameAssignments)
{
    auto build = [](TMemoryRepository &r, bool reversed) {
        QStringList people{"P3", "P1", "P4", "P2"};
        if (reversed)
            std::reverse(people.begin(), people.end());
        for (const QString &p : people) {
            r.AddContact(p);
            r.AddEligible(p, "F1");
            r.AddEligible(p, "F2");
        }
        r.AddLiturgy("L1", At(2026, 11, 2, 10));
        r.AddLiturgy("L2", At(2026, 11, 3, 10));
        for (const char *l : {"L1", "L2"}) {
            r.AddRow(l, "F1");
            r.AddRow(l, "F2");
        }
    };
    build(repo, false);
    ASSERT_TRUE(Run(QDate(2026, 11, 2), QDate(2026, 11, 4)));
    TMemoryRepository other;
    build(other, true);
    TvoAutoScheduler second({}, At(2026, 11, 2, 0), At(2026, 11, 4, 0), {}, Colors, true, other, stop);
    second.SetTraceFolder(folder.path());
    ASSERT_TRUE(second.Execute());
    for (int i = 0; i < repo.Rows.size(); ++i)
        EXPECT_EQ(repo.Rows[i].Function.MemberID, other.Rows[i].Function.MemberID) << i;
    EXPECT_EQ(repo.MemberOf("L1/0"), "P1");
    EXPECT_EQ(repo.MemberOf("L1/1"), "P2");
}

class RunPeriod : public SchedulerHarness {};

TEST_F(RunPeriod, APeriodFromASundayReadsTheSaturdayEveningButDoesNotScheduleIt)
{
    People({"A", "M"});
    repo.AddLiturgy("Sat", At(2026, 11, 7, 17));
    repo.AddLiturgy("Sun", At(2026, 11, 8, 10));
    const QString sat = repo.AddRow("Sat", "F1");
    repo.Rows.last().Function.MemberID = "M";
    repo.Rows.last().Function.MemberTypeID = "{00000000-0000-0000-0000-000000000000}";
    const QString sun = repo.AddRow("Sun", "F1");
    Eligible("F1", {"M", "A"});
    repo.HistoryStartDate = At(2026, 11, 9, 0);
    ASSERT_TRUE(Run(QDate(2026, 11, 8), QDate(2026, 11, 9)));
    EXPECT_EQ(repo.CountCalls("ReadServices 2026-11-07T00:00:00 2026-11-09T00:00:00"), 1);
    EXPECT_EQ(repo.SavedLiturgies, QStringList({"Sun"}));
    EXPECT_EQ(repo.MemberOf(sat), "M");
    EXPECT_EQ(repo.MemberOf(sun), "A"); // M already serves that weekend
    EXPECT_EQ(sink.Events.at(1), "1/4");
}

TEST_F(RunPeriod, APeriodToASaturdayReadsItsSunday)
{
    People({"A"});
    repo.AddLiturgy("L1", At(2026, 11, 2, 10));
    ASSERT_TRUE(Run(QDate(2026, 11, 2), QDate(2026, 11, 8))); // last day Saturday 7th
    EXPECT_EQ(repo.CountCalls("ReadServices 2026-11-02T00:00:00 2026-11-09T00:00:00"), 1);
}

TEST_F(RunPeriod, TheRankingIsPreparedOnceForThePeriodReadBeforeTheFirstCandidates)
{
    People({"A"});
    repo.AddLiturgy("L1", At(2026, 11, 2, 10));
    repo.AddLiturgy("L2", At(2026, 11, 3, 10));
    repo.AddRow("L1", "F1");
    repo.AddRow("L2", "F1");
    Eligible("F1", {"A"});
    repo.HistoryStartDate = At(2026, 1, 1, 0);
    ASSERT_TRUE(Run(QDate(2026, 11, 2), QDate(2026, 11, 4)));
    const QString prepare = QStringLiteral("PrepareRanking 2026-01-01T00:00:00 2026-11-02T00:00:00 2026-11-04T00:00:00");
    EXPECT_EQ(repo.CountCalls("PrepareRanking"), 1);
    const qsizetype prepared = repo.Calls.indexOf(prepare);
    ASSERT_GE(prepared, 0) << qPrintable(repo.Calls.join(QLatin1Char('\n')));
    EXPECT_LT(repo.Calls.indexOf(QStringLiteral("ReadFunctions L2")), prepared);
    EXPECT_LT(prepared, repo.Calls.indexOf(QStringLiteral("ReadCandidates L1 F1 -1")));
}

TEST_F(RunPeriod, OnlyTheChosenTemplatesAreScheduled)
{
    People({"A"});
    repo.AddLiturgy("L1", At(2026, 11, 2, 10), "T1");
    repo.AddLiturgy("L2", At(2026, 11, 3, 10), "T2");
    ASSERT_TRUE(Run(QDate(2026, 11, 2), QDate(2026, 11, 4), {}, {"T2"}));
    EXPECT_EQ(repo.SavedLiturgies, QStringList({"L2"}));
}

TEST_F(RunPeriod, OnlyTheChosenFunctionsAreClearedAndFilled)
{
    People({"A", "B"});
    repo.AddLiturgy("L1", Monday());
    const QString kept = repo.AddRow("L1", "F1");
    repo.Rows.last().Function.MemberID = "A";
    repo.Rows.last().Function.MemberTypeID = "{00000000-0000-0000-0000-000000000000}";
    const QString open = repo.AddRow("L1", "F2");
    Eligible("F2", {"A", "B"});
    ASSERT_TRUE(RunMonday() ? true : false);
    // With no filter both rows were cleared and refilled; run again with a filter.
    repo.Rows[0].Function.MemberID = "A";
    repo.Rows[1].Function.MemberID.clear();
    repo.Calls.clear();
    ASSERT_TRUE(Run(QDate(2026, 11, 2), QDate(2026, 11, 3), {"F2"}));
    EXPECT_EQ(repo.MemberOf(kept), "A");
    EXPECT_EQ(repo.MemberOf(open), "B"); // A holds F1 outside the filter
    EXPECT_EQ(repo.CountCalls("ReadCandidates L1 F1"), 1) << "queried, though never filled";
}

TEST_F(RunPeriod, AMissingHistoryStartCountsFromThePeriodStart)
{
    People({"A"});
    repo.AddLiturgy("L1", Monday());
    ASSERT_TRUE(RunMonday());
    EXPECT_EQ(scheduler->HistoryStartDate(), At(2026, 11, 2, 0));
    EXPECT_EQ(scheduler->ToDate(), At(2026, 11, 2, 0));
}

} // namespace
