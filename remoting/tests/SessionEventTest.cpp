#include "TestService.h"

#include "foundation/QuorvaLogFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testsvc;
using namespace std::chrono_literals;

struct FakeClock
{
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point() + 1000h;
    ROClock Clock()
    {
        return [this] { return now; };
    }
};

class Sessions : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterTestEvents();
        // Most tests here are about routing: their sessions stand for the clients of a server
        // that has no users yet, which get events without logging on.
        repository.SetNoUserExists([] { return true; });
    }

    void Fire(qint32 n, const QUuid &sender = QUuid(), const QStringList &list = {}, bool excludeSender = true,
              bool excludeList = false)
    {
        auto writer = repository.GetEventWriter(kSinkId);
        writer->SetSessionList(list);
        writer->SetExcludeSender(excludeSender);
        writer->SetExcludeSessionList(excludeList);
        static_cast<TestEvent_Writer &>(*writer).OnPing(sender, n, QString());
    }

    FakeClock clock;
    TROInMemorySessionManager sessions{clock.Clock()};
    TROInMemoryEventRepository repository{sessions};
};

TEST_F(Sessions, AnySessionUseKeepsItAliveAndTenIdleMinutesEndIt)
{
    const QUuid a = QUuid::createUuid();
    const QUuid b = QUuid::createUuid();
    sessions.Touch(a);
    sessions.Touch(b);
    clock.now += 9min;
    sessions.Touch(a);
    clock.now += 1min;
    EXPECT_NE(sessions.Find(a), nullptr);
    EXPECT_EQ(sessions.Find(b), nullptr);
    EXPECT_EQ(sessions.ExpireIdle(), QList<QUuid>{b});
    EXPECT_EQ(sessions.SessionIDs(), QList<QUuid>{a});
}

TEST_F(Sessions, AnExpiredSessionComesBackLoggedOff)
{
    const QUuid a = QUuid::createUuid();
    TvoUser user;
    user.UserName = QStringLiteral("anna");
    sessions.Touch(a)->SetUser(user);
    EXPECT_EQ(sessions.Touch(a)->User()->UserName, QStringLiteral("anna"));
    clock.now += 10min;
    EXPECT_FALSE(sessions.Touch(a)->User().has_value());
}

TEST_F(Sessions, SweepRunsAtMostOncePerSecond)
{
    const QUuid a = QUuid::createUuid();
    sessions.Touch(a);
    sessions.Sweep();
    clock.now += 10min;
    sessions.Sweep();
    EXPECT_TRUE(sessions.SessionIDs().isEmpty());
    sessions.Touch(a);
    clock.now += 10min;
    sessions.Sweep();  // the last sweep was ten minutes ago: this one runs
    EXPECT_EQ(sessions.Find(a), nullptr);
}

TEST_F(Sessions, ASessionThatNeverPollsExpiresWithItsEvents)
{
    const QUuid polling = QUuid::createUuid();
    const QUuid silent = QUuid::createUuid();
    sessions.Touch(polling);
    sessions.Touch(silent);
    Fire(1);
    EXPECT_EQ(repository.PendingCount(silent), 1u);
    for (int minute = 0; minute < 10; ++minute) {
        clock.now += 1min;
        sessions.Touch(polling);
        repository.GetEventData(polling);
    }
    sessions.Sweep();
    EXPECT_EQ(sessions.Find(silent), nullptr);
    EXPECT_EQ(repository.PendingCount(silent), 0u);
    Fire(2);
    EXPECT_EQ(repository.PendingCount(silent), 0u);
    EXPECT_EQ(repository.GetEventData(polling).size(), 1);
}

TEST_F(Sessions, TheAllZeroSenderWithoutListReachesEverySession)
{
    const QUuid a = QUuid::createUuid();
    const QUuid b = QUuid::createUuid();
    sessions.Touch(a);
    sessions.Touch(b);
    Fire(7, QUuid());
    EXPECT_EQ(repository.PendingCount(a), 1u);
    EXPECT_EQ(repository.PendingCount(b), 1u);
}

TEST_F(Sessions, RoutingHonoursSenderListAndExclusions)
{
    const QUuid a = QUuid::createUuid();
    const QUuid b = QUuid::createUuid();
    const QUuid c = QUuid::createUuid();
    for (const QUuid &id : {a, b, c})
        sessions.Touch(id);
    Fire(1, a);  // excludes the sender by default
    EXPECT_EQ(repository.PendingCount(a), 0u);
    EXPECT_EQ(repository.PendingCount(b), 1u);
    Fire(2, a, {}, false);
    EXPECT_EQ(repository.PendingCount(a), 1u);
    Fire(3, QUuid(), {b.toString()});
    EXPECT_EQ(repository.PendingCount(b), 3u);
    EXPECT_EQ(repository.PendingCount(c), 2u);
    Fire(4, QUuid(), {b.toString(), c.toString()}, true, true);
    EXPECT_EQ(repository.PendingCount(a), 2u);
    EXPECT_EQ(repository.PendingCount(b), 3u);
    EXPECT_EQ(repository.PendingCount(c), 2u);
    Fire(5, QUuid(), {QUuid::createUuid().toString()});  // unknown sessions get nothing stored
    EXPECT_EQ(repository.PendingCount(a) + repository.PendingCount(b) + repository.PendingCount(c), 7u);
}

TEST_F(Sessions, EventsArriveInFiringOrder)
{
    const QUuid a = QUuid::createUuid();
    sessions.Touch(a);
    for (int i = 0; i < 5; ++i)
        Fire(i);
    const QList<QByteArray> events = repository.GetEventData(a);
    ASSERT_EQ(events.size(), 5);
    for (int i = 0; i < 5; ++i) {
        TROMessage m;
        m.LoadFromBytes(events[i], RemotingLimits::kMaxReplySize);
        EXPECT_EQ(m.ReadInteger(QStringLiteral("N")), i);
    }
}

// Sessions that do not poll through a scheduling run: one line per session when its queue
// fills and one when it drains again, however many events were dropped in between.
TEST_F(Sessions, AFullQueueDropsTheOldestEventsWithOneWarningWhenItFillsAndOneWhenItDrains)
{
    QTemporaryDir dir;
    TQorLog log;
    log.SetFileName(dir.filePath(QStringLiteral("log.txt")));
    SessionLog = &log;
    QList<QUuid> ids;
    for (int i = 0; i < 6; ++i) {
        ids << QUuid::createUuid();
        sessions.Touch(ids.last());
    }
    const int fired = int(RemotingLimits::kMaxEventsPerSession) + 500;
    for (int i = 0; i < fired; ++i)
        Fire(i);
    EXPECT_EQ(repository.PendingCount(ids[0]), RemotingLimits::kMaxEventsPerSession);
    const QList<QByteArray> events = repository.GetEventData(ids[0]);
    repository.GetEventData(ids[0]);
    SessionLog = nullptr;
    TROMessage first;
    first.LoadFromBytes(events.first(), RemotingLimits::kMaxReplySize);
    EXPECT_EQ(first.ReadInteger(QStringLiteral("N")), 500);
    QFile file(log.FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QString polled = ids[0].toString(QUuid::WithBraces).toUpper();
    EXPECT_EQ(text.count(QStringLiteral("is full (%1 events)").arg(RemotingLimits::kMaxEventsPerSession)), 6) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("drains again")), 1) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Event queue of session %1 drains again; 500 events were dropped").arg(polled)));
    EXPECT_TRUE(text.contains(TQorLog::LevelWord(llWarning)));
}

TEST_F(Sessions, APollTakesNoMoreThanItsByteBudgetButAlwaysOneEvent)
{
    const QUuid a = QUuid::createUuid();
    sessions.Touch(a);
    for (int i = 0; i < 3; ++i)
        Fire(i);
    EXPECT_EQ(repository.GetEventData(a, 1).size(), 1);
    EXPECT_EQ(repository.PendingCount(a), 2u);
}

TEST_F(Sessions, FiringFromManyThreadsLosesNothing)
{
    const QUuid a = QUuid::createUuid();
    sessions.Touch(a);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([this, t] {
            for (int i = 0; i < 100; ++i)
                Fire(t * 1000 + i);
        });
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(repository.PendingCount(a), 800u);
}


class EventAudience : public Sessions
{
protected:
    QUuid LoggedOn()
    {
        const QUuid id = QUuid::createUuid();
        TvoUser user;
        user.UserName = QStringLiteral("anna");
        sessions.Touch(id)->SetUser(user);
        return id;
    }
};

TEST_F(EventAudience, EventsReachOnlyLoggedOnSessionsWhileUsersExist)
{
    bool noUserExists = false;
    repository.SetNoUserExists([&noUserExists] { return noUserExists; });
    const QUuid member = LoggedOn();
    const QUuid stranger = QUuid::createUuid();
    sessions.Touch(stranger);
    Fire(1);
    EXPECT_EQ(repository.PendingCount(member), 1u);
    EXPECT_EQ(repository.PendingCount(stranger), 0u);
    Fire(2, QUuid(), {stranger.toString()});
    EXPECT_EQ(repository.PendingCount(stranger), 0u);

    noUserExists = true;
    Fire(3);
    EXPECT_EQ(repository.PendingCount(member), 2u);
    EXPECT_EQ(repository.PendingCount(stranger), 1u);
}

TEST_F(EventAudience, WithoutAnAnswerToWhetherUsersExistOnlyLoggedOnSessionsGetEvents)
{
    TROInMemoryEventRepository plain(sessions);
    const QUuid member = LoggedOn();
    const QUuid stranger = QUuid::createUuid();
    sessions.Touch(stranger);
    auto writer = plain.GetEventWriter(kSinkId);
    static_cast<TestEvent_Writer &>(*writer).OnPing(QUuid(), 1, QString());
    EXPECT_EQ(plain.PendingCount(member), 1u);
    EXPECT_EQ(plain.PendingCount(stranger), 0u);
    // A failing answer counts as "users exist".
    plain.SetNoUserExists([]() -> bool { throw std::runtime_error("database away"); });
    static_cast<TestEvent_Writer &>(*writer).OnPing(QUuid(), 2, QString());
    EXPECT_EQ(plain.PendingCount(stranger), 0u);
}

TEST_F(EventAudience, ASessionThatExpiresWhileAnEventIsStoredGetsNoQueueBack)
{
    const QUuid member = LoggedOn();
    const QUuid stranger = QUuid::createUuid();
    sessions.Touch(stranger);
    // The question whether users exist comes while the event is being stored: both sessions
    // expire right then, and their queues go with them.
    repository.SetNoUserExists([this] {
        clock.now += 11min;
        sessions.ExpireIdle();
        return true;
    });
    Fire(1);
    EXPECT_EQ(sessions.Find(member), nullptr);
    EXPECT_EQ(repository.PendingCount(member), 0u);
    EXPECT_EQ(repository.PendingCount(stranger), 0u);
}

} // namespace

namespace {

TEST(SessionLimit, AtTheMaximumTheLongestIdleSessionWithoutAUserMakesRoom)
{
    auto now = std::chrono::steady_clock::time_point() + std::chrono::hours(1000);
    TROInMemorySessionManager sessions([&now] { return now; });
    sessions.SetMaxSessions(3);
    TvoUser user;
    user.UserName = QStringLiteral("anna");
    const QUuid loggedOn = QUuid::createUuid();
    const QUuid oldest = QUuid::createUuid();
    const QUuid younger = QUuid::createUuid();
    sessions.Touch(loggedOn)->SetUser(user);
    now += std::chrono::minutes(1);
    sessions.Touch(oldest);
    now += std::chrono::minutes(1);
    sessions.Touch(younger);
    now += std::chrono::minutes(1);
    sessions.Touch(oldest); // used again: now the younger one has waited longest
    const QUuid fresh = QUuid::createUuid();
    EXPECT_NE(sessions.Touch(fresh), nullptr);
    EXPECT_EQ(sessions.Find(younger), nullptr);
    EXPECT_NE(sessions.Find(oldest), nullptr);
    EXPECT_NE(sessions.Find(loggedOn), nullptr);
    EXPECT_EQ(sessions.SessionIDs().size(), 3);
}

TEST(SessionLimit, ANewSessionIsRefusedOnlyWhileEverySessionHasAUser)
{
    auto now = std::chrono::steady_clock::time_point() + std::chrono::hours(1000);
    TROInMemorySessionManager sessions([&now] { return now; });
    sessions.SetMaxSessions(2);
    TvoUser user;
    user.UserName = QStringLiteral("anna");
    const QUuid a = QUuid::createUuid();
    sessions.Touch(a)->SetUser(user);
    now += std::chrono::minutes(5);
    sessions.Touch(QUuid::createUuid())->SetUser(user);
    try {
        sessions.Touch(QUuid::createUuid());
        FAIL() << "no exception";
    } catch (const EROException &e) {
        EXPECT_EQ(e.ClassName(), QStringLiteral("EROSessionLimit"));
    }
    EXPECT_NE(sessions.Touch(a), nullptr);  // known sessions go on
    now += std::chrono::minutes(10);
    EXPECT_NE(sessions.Touch(QUuid::createUuid()), nullptr);
}

} // namespace
