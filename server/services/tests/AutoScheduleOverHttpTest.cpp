// A scheduling run through the real server over HTTP: one client starts it asynchronously, as
// the progress window does, and a second client watches it by polling for server events.
// A test connection holding a share lock on the assignments table holds the run at its first
// save, so that a second run and a stop can be sent at a known point of the first.
#include "server/services/tests/AutoScheduleFixture.h"
#include "server/services/tests/ServiceHarness.h"

#include "Quorva_Data_Service_Async.h"
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
        run->Invoke_RunAutoSchedule(QDateTime(QDate(2026, 11, 1), QTime(0, 0)), QDateTime(QDate(2026, 12, 1), QTime(0, 0)), {}, {});
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
    EXPECT_FALSE(second->RunAutoSchedule(QDateTime(QDate(2026, 11, 1), QTime(0, 0)), QDateTime(QDate(2026, 12, 1), QTime(0, 0)), {}, {}));
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

} // namespace
