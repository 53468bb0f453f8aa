// The events service over a real database, reached through the generated proxy: a scheduling
// run watched by a second session, a refused second run, stop requests, and the schedule's
// deletion and unassignment.
#include "testsupport/FakeServices.h"
#include "foundation/QorDateTime.h"
#include "testsupport/AutoScheduleFixture.h"

#include "dataaccess/TDAConnectionManager.h"
#include "pgdriver/uDAADODriver.h"
#include "remoting/ROEventReceiver.h"
#include "remoting/ROEventRepository.h"
#include "remoting/ROSessionManager.h"
#include "server/services/uEventsService.h"
#include "testsupport/CurrentSchema.h"
#include "testsupport/TestDatabase.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

const TDAADODriver kRegistration;

using kestrova::test::AutoScheduleWatcher;

class EventsService : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!db.available())
            GTEST_SKIP();
        manager.AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
        // A client that has logged on: events reach logged-on sessions.
        TvoUser user;
        user.UserName = QStringLiteral("anna");
        sessions.Touch(watcher)->SetUser(user);
        RegisterClassFactory(std::make_shared<TROClassFactory>(
            QStringLiteral("EventsService"),
            [this] {
                TEventsServiceContext context{manager, &repository, running, stop, [this] { Backup(); }};
                context.TraceFolder = traceFolder.path();
                return std::make_unique<TEventsService>(context);
            },
            std::make_shared<TEventsService_Invoker>()));
    }
    void TearDown() override { UnregisterClassFactory(QStringLiteral("EventsService")); }

    // A proxy on a channel of its own, as a separate client has.
    std::shared_ptr<TROProxy> Client()
    {
        auto remote = std::make_shared<TRORemoteService>(std::make_shared<TROMessage>(), std::make_shared<LoopbackChannel>(dispatcher));
        remotes.push_back(remote);
        return remote->CreateProxy(IEventsService::IID);
    }
    static IEventsService &Events(const std::shared_ptr<TROProxy> &proxy) { return dynamic_cast<IEventsService &>(*proxy); }

    void Backup()
    {
        ++backups;
        // A copy: the test may replace the hook while this one runs.
        const std::function<void()> hook = onBackup;
        if (hook)
            hook();
    }

    void Sql(const QString &sql) { db.exec(QStringLiteral("SET search_path=dbo;\n") + sql); }

    void Parish(int liturgies) { Sql(kestrova::test::ParishSql(liturgies)); }
    int Count(const QString &where)
    {
        return db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblScheduledMinistryFunctions WHERE ") + where).toInt();
    }
    bool Run(IEventsService &events)
    {
        return events.RunAutoSchedule(WallClock(QDate(2026, 11, 1), QTime(0, 0)), WallClock(QDate(2026, 12, 1), QTime(0, 0)), {}, {});
    }
    QStringList Watched()
    {
        AutoScheduleWatcher target;
        TROEventReceiver receiver;
        for (const QByteArray &data : repository.GetEventData(watcher)) {
            TROMessage event;
            event.LoadFromBytes(data, 1 << 20);
            FindEventInvokerClass(event.InterfaceName())()->Invoke(receiver, event, target);
        }
        return target.calls;
    }
    static QStringList Progress(int liturgies) { return kestrova::test::WholeRun(liturgies); }

    kestrova::test::TestDatabase db{kestrova::test::CurrentSchemaStage()};
    TDAConnectionManager manager;
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository{sessions};
    TROMessageDispatcher dispatcher{&sessions, &repository};
    std::atomic<bool> running{false};
    std::atomic<bool> stop{false};
    std::atomic<int> backups{0};
    std::function<void()> onBackup;
    const QUuid watcher = QUuid::createUuid();
    QTemporaryDir traceFolder;
    std::vector<std::shared_ptr<TRORemoteService>> remotes;
};

TEST_F(EventsService, ARunIsWatchedFromBeginThroughEveryPositionToEndAndItsAssignmentsAreSaved)
{
    Parish(3);
    auto client = Client();
    EXPECT_TRUE(Run(Events(client)));
    EXPECT_EQ(Watched(), Progress(3));
    EXPECT_EQ(backups.load(), 1);
    EXPECT_EQ(Count(QStringLiteral("F_MinistryMemberID IS NOT NULL")), 6);
    EXPECT_FALSE(Events(client).IsAutoScheduleRunning());
}

// Without its three colours a run would write every event's colour empty: it does not start,
// and it makes no backup first.
struct BrokenColours
{
    const char *name;
    const char *sql;
};

class EventsServiceColours : public EventsService, public ::testing::WithParamInterface<BrokenColours>
{
};

TEST_P(EventsServiceColours, ARunWithoutItsThreeColoursFailsChangesNothingAndMakesNoBackup)
{
    Parish(2);
    Sql(QStringLiteral("UPDATE tblEvents SET EventLabelColorID = '{00000000-0000-0000-0000-000000000003}';")
        + QString::fromLatin1(GetParam().sql));
    auto client = Client();
    EXPECT_FALSE(Run(Events(client)));
    EXPECT_EQ(Count(QStringLiteral("F_MinistryMemberID IS NOT NULL")), 0);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblEvents "
                                       "WHERE EventLabelColorID IS DISTINCT FROM '{00000000-0000-0000-0000-000000000003}'")),
              QStringLiteral("0"));
    EXPECT_FALSE(Events(client).IsAutoScheduleRunning());
    EXPECT_EQ(backups.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Broken, EventsServiceColours,
    ::testing::Values(BrokenColours{"CannotBeRead", "ALTER TABLE tblEventColors RENAME TO tblEventColorsGone;"},
                      BrokenColours{"FewerThanThree", "DELETE FROM tblEventColors WHERE PK_ColorID <> '{00000000-0000-0000-0000-000000000003}';"}),
    [](const ::testing::TestParamInfo<BrokenColours> &tested) { return std::string(tested.param.name); });

TEST_F(EventsService, ASecondRunWhileOneRunsIsRefusedAndLeavesTheFirstAlone)
{
    Parish(2);
    std::promise<void> started;
    std::promise<void> release;
    auto released = release.get_future().share();
    onBackup = [&] {
        started.set_value();
        released.wait();
    };
    auto first = Client();
    auto runner = std::async(std::launch::async, [&] { return Run(Events(first)); });
    started.get_future().wait();
    onBackup = nullptr;

    auto second = Client();
    EXPECT_TRUE(Events(second).IsAutoScheduleRunning());
    EXPECT_FALSE(Run(Events(second)));
    EXPECT_TRUE(Events(second).IsAutoScheduleRunning());
    release.set_value();
    EXPECT_TRUE(runner.get());

    EXPECT_EQ(Watched(), Progress(2));
    EXPECT_EQ(backups.load(), 1);
    EXPECT_EQ(Count(QStringLiteral("F_MinistryMemberID IS NOT NULL")), 4);
    EXPECT_FALSE(Events(second).IsAutoScheduleRunning());
}

TEST_F(EventsService, AStopDuringTheRunEndsItWithTheEndEventAndAClearedFlag)
{
    Parish(2);
    auto watcherClient = Client();
    onBackup = [&] { Events(watcherClient).StopAutoSchedule(); };
    EXPECT_FALSE(Run(Events(Client())));
    const QStringList seen = Watched();
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.first(), QStringLiteral("begin"));
    EXPECT_EQ(seen.last(), QStringLiteral("end"));
    EXPECT_EQ(seen.count(QStringLiteral("end")), 1);
    EXPECT_EQ(Count(QStringLiteral("F_MinistryMemberID IS NOT NULL")), 0);
    EXPECT_FALSE(running.load());
    EXPECT_FALSE(stop.load());
}

TEST_F(EventsService, AStopAskedForWhileNothingRanDoesNotStopTheNextRun)
{
    Parish(2);
    auto client = Client();
    Events(client).StopAutoSchedule();
    EXPECT_TRUE(Run(Events(client)));
    EXPECT_EQ(Count(QStringLiteral("F_MinistryMemberID IS NOT NULL")), 4);
}

TEST_F(EventsService, AFailingRunStillEndsAndClearsTheFlag)
{
    Parish(1);
    onBackup = [] { throw std::runtime_error("backup failed"); };
    auto client = Client();
    EXPECT_FALSE(Run(Events(client)));
    EXPECT_EQ(Watched(), (QStringList{QStringLiteral("begin"), QStringLiteral("end")}));
    EXPECT_FALSE(Events(client).IsAutoScheduleRunning());
    EXPECT_EQ(Count(QStringLiteral("F_MinistryMemberID IS NOT NULL")), 0);
}

TEST_F(EventsService, DeleteEventsRemovesEveryScheduleOfTheListedEventsOnly)
{
    Parish(3);
    // A second liturgy of E1, and an event without any.
    Sql(QStringLiteral("INSERT INTO tblScheduledLiturgies (PK_ScheduledLiturgyID, F_EventID) VALUES ('S1b', 'E1');"
                       "INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID) VALUES ('S1b-1', 'S1b');"
                       "INSERT INTO tblEvents (PK_EventID) VALUES ('E9');"));
    auto client = Client();
    EXPECT_FALSE(Events(client).DeleteEvents(QString()));
    EXPECT_EQ(Count(QStringLiteral("true")), 7);

    EXPECT_TRUE(Events(client).DeleteEvents(QStringLiteral("E1\r\nE9\r\nE3\r\n")));
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_ScheduledMemberID FROM dbo.tblScheduledMinistryFunctions ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("S2-1")}, {QStringLiteral("S2-2")}}));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT string_agg(PK_ScheduledLiturgyID, ',') FROM dbo.tblScheduledLiturgies")), QStringLiteral("S2"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblEvents")), QStringLiteral("4"));
}

TEST_F(EventsService, UnAssignMinistersKeepsLockedMembersUnlessAskedAndResetsTheColours)
{
    Parish(2);
    Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '{C1}', FlagMinister = 1;"
                       "UPDATE tblScheduledMinistryFunctions SET MemberLocked = 1 WHERE PK_ScheduledMemberID IN ('S1-1', 'S2-1');"
                       "UPDATE tblEvents SET EventLabelColorID = '{00000000-0000-0000-0000-000000000003}';"));
    auto client = Client();
    Events(client).UnAssignMinisters(QStringLiteral("E1"), false);
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_ScheduledMemberID FROM dbo.tblScheduledMinistryFunctions "
                                     "WHERE F_MinistryMemberID IS NOT NULL ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("S1-1")}, {QStringLiteral("S2-1")}, {QStringLiteral("S2-2")}}));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT EventLabelColorID FROM dbo.tblEvents WHERE PK_EventID = 'E1'")),
              QStringLiteral("{00000000-0000-0000-0000-000000000002}"));

    Events(client).UnAssignMinisters(QStringLiteral("E1,E2'"), true);
    EXPECT_EQ(Count(QStringLiteral("F_MinistryMemberID IS NOT NULL")), 2);
    EXPECT_EQ(Count(QStringLiteral("MemberLocked = 1")), 1);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT EventLabelColorID FROM dbo.tblEvents WHERE PK_EventID = 'E1'")),
              QStringLiteral("{00000000-0000-0000-0000-000000000001}"));
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT EventLabelColorID FROM dbo.tblEvents WHERE PK_EventID = 'E2'")),
              QStringLiteral("{00000000-0000-0000-0000-000000000003}"));

    Events(client).UnAssignMinisters(QStringLiteral("E1, E2"), true);
    EXPECT_EQ(Count(QStringLiteral("F_MinistryMemberID IS NOT NULL")), 0);
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT EventLabelColorID FROM dbo.tblEvents WHERE PK_EventID = 'E2'")),
              QStringLiteral("{00000000-0000-0000-0000-000000000001}"));
}

TEST_F(EventsService, TheScheduleDatasetsReadBackThroughTheGenericOperations)
{
    Parish(1);
    Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '{C2}' WHERE PK_ScheduledMemberID = 'S1-1';"));
    auto client = Client();
    TableRequestInfoV5 request;
    request.Parameters << DataParameter{QStringLiteral("liturgyID"), QStringLiteral("S1")};
    const auto stream = Events(client).GetData({QStringLiteral("DAScheduledMinistryFunctions")}, {request});
    ASSERT_TRUE(stream);
    const QList<TDATableData> tables = TDADataStreamer::ReadDatasets(stream->Bytes());
    ASSERT_EQ(tables.size(), 1);
    ASSERT_EQ(tables[0].Rows.size(), 2);
    const int caption = DAFindField(tables[0].Fields, QStringLiteral("MemberCaption"));
    ASSERT_GE(caption, 0);
    QStringList captions;
    for (const QVariantList &row : tables[0].Rows)
        captions << row.at(caption).toString();
    captions.sort();
    EXPECT_EQ(captions, (QStringList{QString(), QStringLiteral("P2 Fixture")}));

    const auto events = Events(client).GetData({QStringLiteral("DAEventList")}, {TableRequestInfoV5{}});
    ASSERT_TRUE(events);
    EXPECT_EQ(TDADataStreamer::ReadDatasets(events->Bytes()).at(0).Rows.size(), 1);
}

TEST_F(EventsService, ADeltaOfMinistryFunctionsLandsAndAnEmptyPositionIsStoredAsNull)
{
    Parish(1);
    Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET MemberPosition = 'Left';"));
    TDADelta delta;
    delta.LogicalName = QStringLiteral("DAScheduledMinistryFunctions");
    delta.Fields = TEventsService::Schema().DatasetByName(delta.LogicalName).Fields;
    const int key = DAFindField(delta.Fields, QStringLiteral("PK_ScheduledMemberID"));
    const int position = DAFindField(delta.Fields, QStringLiteral("MemberPosition"));
    const int member = DAFindField(delta.Fields, QStringLiteral("F_MinistryMemberID"));
    int id = 0;
    for (const char *row : {"S1-1", "S1-2"}) {
        TDADeltaChange change(++id, TDAChangeType::ctUpdate, int(delta.Fields.size()));
        change.SetOldValue(key, QString::fromLatin1(row));
        change.SetNewValue(position, id == 1 ? QString() : QStringLiteral("Right"));
        change.SetNewValue(member, QStringLiteral("{C1}"));
        delta.Changes << change;
    }
    auto client = Client();
    const TROBinaryMemoryStream request(TDADataStreamer::WriteDeltas({delta}));
    const auto reply = Events(client).UpdateData(&request);
    ASSERT_TRUE(reply);
    for (const TDADelta &answered : TDADataStreamer::ReadDeltas(reply->Bytes()))
        for (const TDADeltaChange &change : answered.Changes)
            EXPECT_NE(change.Status, TDAChangeStatus::csFailed) << change.Message.toStdString();
    EXPECT_EQ(db.rows(QStringLiteral("SELECT PK_ScheduledMemberID, CASE WHEN MemberPosition IS NULL THEN 'null' ELSE 'set' END, coalesce(MemberPosition, '-'), F_MinistryMemberID "
                                     "FROM dbo.tblScheduledMinistryFunctions ORDER BY 1")),
              (QList<QStringList>{{QStringLiteral("S1-1"), QStringLiteral("null"), QStringLiteral("-"), QStringLiteral("{C1}")},
                                  {QStringLiteral("S1-2"), QStringLiteral("set"), QStringLiteral("Right"), QStringLiteral("{C1}")}}));
}

} // namespace
