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
    void SetUp() override { RegisterTestEvents(); }

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

TEST_F(Sessions, AFullQueueDropsTheOldestEventWithAWarning)
{
    QTemporaryDir dir;
    TQorLog log;
    log.SetFileName(dir.filePath(QStringLiteral("log.txt")));
    SessionLog = &log;
    const QUuid a = QUuid::createUuid();
    sessions.Touch(a);
    for (int i = 0; i < int(RemotingLimits::kMaxEventsPerSession) + 2; ++i)
        Fire(i);
    SessionLog = nullptr;
    EXPECT_EQ(repository.PendingCount(a), RemotingLimits::kMaxEventsPerSession);
    const QList<QByteArray> events = repository.GetEventData(a);
    TROMessage first;
    first.LoadFromBytes(events.first(), RemotingLimits::kMaxReplySize);
    EXPECT_EQ(first.ReadInteger(QStringLiteral("N")), 2);
    QFile file(log.FileName());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count(QStringLiteral("the oldest event was dropped")), 2) << text.toStdString();
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

} // namespace

namespace {

TEST(SessionLimit, ANewSessionBeyondTheMaximumIsRefusedUntilOneExpires)
{
    auto now = std::chrono::steady_clock::time_point() + std::chrono::hours(1000);
    TROInMemorySessionManager sessions([&now] { return now; });
    sessions.SetMaxSessions(2);
    const QUuid a = QUuid::createUuid();
    sessions.Touch(a);
    now += std::chrono::minutes(5);
    sessions.Touch(QUuid::createUuid());
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
