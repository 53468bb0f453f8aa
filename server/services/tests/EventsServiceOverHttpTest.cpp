// The events service through the real server over HTTP. A scheduling run: one client starts
// it asynchronously, as the progress window does, and a second client watches it by polling
// for server events; a test connection holding a share lock on the assignments table holds the
// run at its first save, so that a second run and a stop can be sent at a known point of the
// first. And the schedule's edits: deleting, unassigning and a client table's changes.
#include "foundation/QorDateTime.h"
#include "testsupport/AutoScheduleFixture.h"
#include "server/services/tests/ProxyDataAdapter.h"
#include "testsupport/ServiceHarness.h"

#include "Quorva_Data_Service_Async.h"
#include "dataaccess/TDACDSDataTable.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

namespace {

using kestrova::test::AutoScheduleWatcher;
using kestrova::test::ServiceClient;
using kestrova::test::WaitFor;
using namespace std::chrono_literals;

constexpr int kLiturgies = 3;
constexpr auto kRunLimit = 120s;

class AutoScheduleOverHttp : public kestrova::test::ServiceHarness
{
protected:
    void SetUp() override
    {
        kestrova::test::ServiceHarness::SetUp();
        if (IsSkipped())
            return;
        Sql(kestrova::test::ParishSql(kLiturgies));
        runner = Administrator();
        watching = Member();
        // The watcher polls on a channel of its own, with its session, as the client host does.
        events = std::make_shared<TROHTTPChannel>();
        events->SetTargetURL(watching.Channel->TargetURL());
        events->SetSessionID(watching.Channel->SessionID());
        receiver.SetChannel(events);
        receiver.SetServiceName(QStringLiteral("EventsService"));
        receiver.SetInterval(20ms);
        receiver.RegisterEventHandler(QStringLiteral("AutoScheduleEvent"), &watcher);
        receiver.SetActive(true);
    }

    void TearDown() override
    {
        receiver.SetActive(false);
        receiver.UnregisterEventHandler(QStringLiteral("AutoScheduleEvent"), &watcher);
        if (lock && lock->GetInTransaction())
            lock->RollbackTransaction();
        kestrova::test::ServiceHarness::TearDown();
    }

    // Starts the run on the runner's asynchronous proxy; the answer is fetched by Answer().
    void Start()
    {
        run = CoEventsService_Async::Create(runner.Message, runner.Channel);
        run->Invoke_RunAutoSchedule(WallClock(QDate(2026, 11, 1), QTime(0, 0)), WallClock(QDate(2026, 12, 1), QTime(0, 0)), {}, {});
    }
    bool Answer()
    {
        EXPECT_TRUE(WaitFor([this] { return run->GetAnswerReceived(); }, kRunLimit));
        return run->Retrieve_RunAutoSchedule();
    }
    bool Saw(const QString &call, std::chrono::milliseconds limit = kRunLimit)
    {
        return WaitFor([&] { return watcher.calls.contains(call); }, limit);
    }

    // Saves of assignments wait until Release().
    void HoldSaves()
    {
        lock = Connection();
        lock->BeginTransaction();
        lock->NewCommand(QStringLiteral("LOCK TABLE tblScheduledMinistryFunctions IN SHARE MODE"))->Execute();
    }
    void Release() { lock->CommitTransaction(); }

    QStringList Assigned()
    {
        QStringList rows;
        for (const QStringList &row : db.rows(QStringLiteral("SELECT PK_ScheduledMemberID FROM dbo.tblScheduledMinistryFunctions "
                                                             "WHERE F_MinistryMemberID IS NOT NULL ORDER BY 1")))
            rows << row.value(0);
        return rows;
    }
    static QStringList Everyone()
    {
        QStringList rows;
        for (int n = 1; n <= kLiturgies; ++n)
            rows << QStringLiteral("S%1-1").arg(n) << QStringLiteral("S%1-2").arg(n);
        return rows;
    }

    ServiceClient runner;
    ServiceClient watching;
    std::shared_ptr<TROHTTPChannel> events;
    TROEventReceiver receiver;
    AutoScheduleWatcher watcher;
    std::unique_ptr<IEventsService_Async> run;
    std::unique_ptr<IDAConnection> lock;
};

TEST_F(AutoScheduleOverHttp, ASecondClientSeesTheWholeRunAndItsAssignmentsAreSaved)
{
    Start();
    EXPECT_TRUE(Answer());
    ASSERT_TRUE(Saw(QStringLiteral("end")));
    EXPECT_EQ(watcher.calls, kestrova::test::WholeRun(kLiturgies));
    EXPECT_EQ(Assigned(), Everyone());
    EXPECT_FALSE(watching.Service<CoEventsService>()->IsAutoScheduleRunning());
}

TEST_F(AutoScheduleOverHttp, ASecondRunDuringTheFirstIsRefusedAndTheFirstGoesOn)
{
    HoldSaves();
    Start();
    ASSERT_TRUE(Saw(QStringLiteral("begin")));
    auto second = watching.Service<CoEventsService>();
    EXPECT_TRUE(second->IsAutoScheduleRunning());
    EXPECT_FALSE(second->RunAutoSchedule(WallClock(QDate(2026, 11, 1), QTime(0, 0)), WallClock(QDate(2026, 12, 1), QTime(0, 0)), {}, {}));
    EXPECT_TRUE(second->IsAutoScheduleRunning());
    Release();
    EXPECT_TRUE(Answer());
    ASSERT_TRUE(Saw(QStringLiteral("end")));
    // One begin and one end: the refused run fired nothing.
    EXPECT_EQ(watcher.calls, kestrova::test::WholeRun(kLiturgies));
    EXPECT_EQ(Assigned(), Everyone());
    EXPECT_FALSE(second->IsAutoScheduleRunning());
}

TEST_F(AutoScheduleOverHttp, AStopEndsTheRunWithTheServicesHandledBeforeItSaved)
{
    HoldSaves();
    Start();
    // The first service of the assigning pass is being saved, behind the lock.
    const QString firstSave = QStringLiteral("%1/%2").arg(kLiturgies + 1).arg(2 * kLiturgies);
    ASSERT_TRUE(Saw(firstSave));
    // The progress window's Cancel: a one-way stop on a channel of its own.
    ServiceClient cancel = NewClient();
    cancel.Channel->SetSessionID(watching.Channel->SessionID());
    cancel.Message->SetClientID(watching.Channel->SessionID());
    cancel.Service<CoEventsService>()->StopAutoSchedule();
    ASSERT_TRUE(WaitFor([this] { return server->FStopAutoSchedule.load(); }, 10s));
    Release();
    EXPECT_FALSE(Answer());
    ASSERT_TRUE(Saw(QStringLiteral("end")));
    QStringList expected = kestrova::test::WholeRun(kLiturgies).mid(0, kLiturgies + 2);
    expected << QStringLiteral("end");
    EXPECT_EQ(watcher.calls, expected);
    EXPECT_EQ(Assigned(), (QStringList{QStringLiteral("S1-1"), QStringLiteral("S1-2")}));
    EXPECT_FALSE(server->FStopAutoSchedule.load());
    EXPECT_FALSE(watching.Service<CoEventsService>()->IsAutoScheduleRunning());
}

class ScheduleOverHttp : public kestrova::test::ServiceHarness
{
protected:
    void SetUp() override
    {
        kestrova::test::ServiceHarness::SetUp();
        if (IsSkipped())
            return;
        Sql(kestrova::test::ParishSql(kLiturgies));
        events = Administrator().Service<CoEventsService>();
    }
    QStringList Column(const QString &sql)
    {
        QStringList values;
        for (const QStringList &row : db.rows(sql))
            values << row.value(0);
        return values;
    }

    std::shared_ptr<IEventsService> events;
};

TEST_F(ScheduleOverHttp, DeleteEventsRemovesEveryScheduleOfTheListedEventsAndNothingElse)
{
    // A second liturgy of E1, and an event without any.
    Sql(QStringLiteral("INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID) VALUES ('S1b', 'E1');"
                       "INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID) VALUES ('S1b-1', 'S1b');"
                       "INSERT INTO tblEvents (PK_EventID) VALUES ('E9');"));
    EXPECT_FALSE(events->DeleteEvents(QString()));
    EXPECT_TRUE(events->DeleteEvents(QStringLiteral("E1\r\nE9\r\nE3\r\n")));
    EXPECT_EQ(Column(QStringLiteral("SELECT PK_ScheduledMemberID FROM dbo.tblScheduledMinistryFunctions ORDER BY 1")),
              (QStringList{QStringLiteral("S2-1"), QStringLiteral("S2-2")}));
    EXPECT_EQ(Column(QStringLiteral("SELECT PK_ScheduledLiturgyID FROM dbo.tblScheduledLiturgies")), QStringList{QStringLiteral("S2")});
    // The events themselves are the client's to delete.
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblEvents")), QStringLiteral("4"));
}

TEST_F(ScheduleOverHttp, UnAssignMinistersKeepsLockedMembersAndResetsTheEventColour)
{
    Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '{C1}', FlagMinister = 1;"
                       "UPDATE tblScheduledMinistryFunctions SET MemberLocked = 1 WHERE PK_ScheduledMemberID = 'S1-1';"));
    events->UnAssignMinisters(QStringLiteral("E1,E2"), false);
    EXPECT_EQ(Column(QStringLiteral("SELECT PK_ScheduledMemberID FROM dbo.tblScheduledMinistryFunctions "
                                    "WHERE F_MinistryMemberID IS NOT NULL ORDER BY 1")),
              (QStringList{QStringLiteral("S1-1"), QStringLiteral("S3-1"), QStringLiteral("S3-2")}));
    EXPECT_EQ(Column(QStringLiteral("SELECT EventLabelColorID FROM dbo.tblEvents WHERE PK_EventID IN ('E1', 'E2') ORDER BY PK_EventID")),
              (QStringList{QStringLiteral("{00000000-0000-0000-0000-000000000002}"), QStringLiteral("{00000000-0000-0000-0000-000000000001}")}));
}

TEST_F(ScheduleOverHttp, AClientTableOfAssignmentsAppliesItsChangesAndReadsThemBack)
{
    Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET MemberPosition = 'Left' WHERE PK_ScheduledMemberID = 'S2-1';"));
    kestrova::test::ProxyDataAdapter adapter(events);
    TDACDSDataTable assignments(QStringLiteral("DAScheduledMinistryFunctions"), &adapter);
    assignments.ParamByName(QStringLiteral("liturgyID")).Value = QStringLiteral("S2");
    assignments.Open();
    ASSERT_EQ(assignments.GetRecordCount(), 2);
    ASSERT_TRUE(assignments.Locate(QStringLiteral("PK_ScheduledMemberID"), QStringLiteral("S2-1")));
    assignments.Edit();
    assignments.SetValue(QStringLiteral("F_MinistryMemberID"), QStringLiteral("{C2}"));
    // An emptied position is stored as NULL.
    assignments.SetValue(QStringLiteral("MemberPosition"), QStringLiteral(""));
    // The flags are Booleans here as in every other service.
    EXPECT_EQ(assignments.Value(QStringLiteral("MemberLocked")).typeId(), QMetaType::Bool);
    assignments.SetValue(QStringLiteral("MemberLocked"), true);
    assignments.Post();
    assignments.ApplyUpdates(true);
    ASSERT_TRUE(assignments.Locate(QStringLiteral("PK_ScheduledMemberID"), QStringLiteral("S2-1")));
    EXPECT_EQ(assignments.AsString(QStringLiteral("MemberCaption")), QStringLiteral("P2 Fixture"));
    EXPECT_TRUE(assignments.Value(QStringLiteral("MemberLocked")).toBool());
    EXPECT_EQ(db.rows(QStringLiteral("SELECT F_MinistryMemberID, coalesce(MemberPosition, 'null'), MemberLocked FROM dbo.tblScheduledMinistryFunctions "
                                     "WHERE PK_ScheduledMemberID = 'S2-1'")),
              (QList<QStringList>{{QStringLiteral("{C2}"), QStringLiteral("null"), QStringLiteral("1")}}));
}

} // namespace
