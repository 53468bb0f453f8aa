// Two client hosts against a real data server over HTTP with a generated parish: Anna starts
// a scheduling run through the host's running window, Ben only polls for server events and
// watches it. A test connection's share lock on the assignments table holds the run at its
// first save, so that the clients can be caught in the middle of it. Every window is the real
// one; a recording wrapper notes when each opened, moved and closed. The tests share one server
// and database.
#include "client/uDMClient.h"
#include "client/ufServerProgress.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/AutoScheduleFixture.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/ServiceHarness.h"
#include "testsupport/Wait.h"

#include "remoting/ROEventReceiver.h"
#include "remoting/ROHTTPChannel.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <thread>

using namespace kestrova::test;
using namespace std::chrono_literals;

namespace {

constexpr int kLiturgies = 4;
const QString kAnna = QStringLiteral("{C0000000-0000-0000-0000-0000000000A1}");
const QString kBen = QStringLiteral("{C0000000-0000-0000-0000-0000000000B1}");
const QDateTime kFrom(QDate(2026, 11, 1), QTime(0, 0));
const QDateTime kTo(QDate(2026, 12, 1), QTime(0, 0));
// The running window looks for its answer every 50 milliseconds; its keep-alive probe keeps its
// three minutes, since every probe is a synchronous call that holds back the events of both
// clients in this one process.
const TServerProgressTimings kTimings{50ms, 180s};
// The probe that finds a stopped server: every 300 milliseconds.
const TServerProgressTimings kFastProbe{50ms, 300ms};

// What one progress window did, in milliseconds of the test's clock.
struct WindowRecord
{
    bool Running = false;
    TfServerProgress *Form = nullptr;
    bool Open = false;
    qint64 ShownAt = -1;
    qint64 ClosedAt = -1;
    QList<int> Positions;
};

class RecordingWindow : public IServerProgressWindow
{
public:
    RecordingWindow(std::unique_ptr<IServerProgressWindow> inner, WindowRecord &record, const QElapsedTimer &clock)
        : m_inner(std::move(inner)), m_record(record), m_clock(clock)
    {
        m_record.Form = dynamic_cast<TfServerProgress *>(m_inner.get());
    }
    ~RecordingWindow() override { m_record.Form = nullptr; }
    void ShowModal() override
    {
        m_record.ShownAt = m_clock.elapsed();
        m_record.Open = true;
        m_inner->ShowModal();
        m_record.Open = false;
        m_record.ClosedAt = m_clock.elapsed();
    }
    bool IsVisible() override { return m_inner->IsVisible(); }
    void UpdateProgress(int position, int maximum) override
    {
        m_record.Positions << position;
        m_inner->UpdateProgress(position, maximum);
    }
    void AllowCloseAndClose() override { m_inner->AllowCloseAndClose(); }

private:
    std::unique_ptr<IServerProgressWindow> m_inner;
    WindowRecord &m_record;
    const QElapsedTimer &m_clock;
};

// The real windows, each noted in windows.
class RecordingFactory : public IServerProgressFactory
{
public:
    RecordingFactory(TDMClient &client, std::deque<WindowRecord> &windows, const QElapsedTimer &clock,
                     TServerProgressTimings timings = kTimings)
        : m_real(client, timings), m_windows(windows), m_clock(clock)
    {
    }
    std::unique_ptr<IServerProgressWindow> CreateWatching() override { return Record(m_real.CreateWatching(), false); }
    std::unique_ptr<IServerProgressWindow> CreateRunning(const QStringList &templateIds, const QStringList &functionIds,
                                                         const QDateTime &from, const QDateTime &to) override
    {
        return Record(m_real.CreateRunning(templateIds, functionIds, from, to), true);
    }

private:
    std::unique_ptr<IServerProgressWindow> Record(std::unique_ptr<IServerProgressWindow> window, bool running)
    {
        m_windows.emplace_back();
        m_windows.back().Running = running;
        return std::make_unique<RecordingWindow>(std::move(window), m_windows.back(), m_clock);
    }

    TServerProgressFactory m_real;
    std::deque<WindowRecord> &m_windows;
    const QElapsedTimer &m_clock;
};

// Records each auto-schedule event with the time it arrived.
class TimedWatcher : public AutoScheduleWatcher
{
public:
    explicit TimedWatcher(const QElapsedTimer &clock) : m_clock(clock) {}
    void OnAutoScheduleProgress(qint32 APosition, qint32 AMax) override { Note(QStringLiteral("%1/%2").arg(APosition).arg(AMax)); }
    void OnAutoScheduleBegin() override { Note(QStringLiteral("begin")); }
    void OnAutoScheduleEnd() override { Note(QStringLiteral("end")); }
    qint64 At(const QString &call) const { return times.value(calls.indexOf(call), -1); }

private:
    void Note(const QString &call)
    {
        calls << call;
        times << m_clock.elapsed();
    }
    const QElapsedTimer &m_clock;
    QList<qint64> times;
};

// Steps that each run once, as soon as their condition holds, whichever modal window is
// waiting at the time: the test cannot wait in line while windows are open inside each other.
class Director
{
public:
    Director()
    {
        m_timer.setInterval(10ms);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start();
    }
    void When(std::function<bool()> condition, std::function<void()> action)
    {
        m_steps.push_back({std::move(condition), std::move(action), false});
    }
    bool AllDone() const
    {
        return std::all_of(m_steps.begin(), m_steps.end(), [](const Step &step) { return step.Done; });
    }

private:
    struct Step
    {
        std::function<bool()> Condition;
        std::function<void()> Action;
        bool Done;
    };
    void Tick()
    {
        // An action may wait for a call, and the timer goes on meanwhile.
        if (m_busy)
            return;
        m_busy = true;
        for (Step &step : m_steps)
            if (!step.Done && step.Condition()) {
                step.Done = true;
                step.Action();
            }
        m_busy = false;
    }
    QTimer m_timer;
    std::vector<Step> m_steps;
    bool m_busy = false;
};

// One server and database for the whole program: every test starts from the same parish with
// nothing assigned and no run going, and leaves the server listening.
class ServerEvents : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        shared = std::make_unique<ServiceServer>();
        shared->Start();
        if (::testing::Test::IsSkipped() || ::testing::Test::HasFailure())
            return;
        shared->Sql(ParishSql(kLiturgies));
        shared->AddUser(kAnna, QStringLiteral("anna"), HashPassword(QStringLiteral("Anna-Secret1")), kAdministratorLevel);
        shared->AddUser(kBen, QStringLiteral("ben"), HashPassword(QStringLiteral("Ben-Secret1")));
        ready = true;
    }

    static void TearDownTestSuite()
    {
        if (shared)
            shared->Stop();
        shared.reset();
        ready = false;
    }

    void SetUp() override
    {
        if (!ready)
            GTEST_SKIP() << "no server for the clients";
        // A run that an earlier test left to finish writes nothing into this one.
        ASSERT_TRUE(WaitFor([] { return !shared->server->FAutoScheduleRunning.load(); }, 20s));
        shared->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = NULL, F_MinistryMemberTypeID = NULL, "
                                   "FlagMinister = 0, MemberNotAttended = 0;"
                                   "UPDATE tblEvents SET FlagEvent = 0, EventLabelColorID = NULL;"));
        clock.start();
        url = QStringLiteral("http://127.0.0.1:%1/Bin").arg(shared->http.Port());
        anna = Host(QStringLiteral("anna"), QStringLiteral("Anna-Secret1"), annaWindows);
        ben = Host(QStringLiteral("ben"), QStringLiteral("Ben-Secret1"), benWindows);
        // A watcher of its own that polls often: when the server fired what. Events reach only
        // logged-on sessions.
        ServiceClient probe = shared->LogOn(QStringLiteral("anna"), QStringLiteral("Anna-Secret1"));
        events = probe.Channel;
        receiver.SetChannel(events);
        receiver.SetServiceName(QStringLiteral("EventsService"));
        receiver.SetInterval(20ms);
        receiver.RegisterEventHandler(QStringLiteral("AutoScheduleEvent"), &watcher);
        receiver.SetActive(true);
        ASSERT_TRUE(WaitFor([&] { return polled(); }, 5s));
    }

    void TearDown() override
    {
        if (!ready)
            return;
        receiver.SetActive(false);
        receiver.UnregisterEventHandler(QStringLiteral("AutoScheduleEvent"), &watcher);
        if (lock && lock->GetInTransaction())
            lock->RollbackTransaction();
        lock.reset();
        if (stopper.joinable())
            stopper.join();
        // Late answers and the channels' clean-up run before the clients go.
        WaitFor([] { return false; }, 100ms);
        anna.reset();
        ben.reset();
        WaitFor([] { return false; }, 50ms);
        // A test that stopped the server leaves it listening again, on a port of its own.
        if (!shared->http.Active()) {
            shared->http.SetPort(0);
            shared->http.SetActive(true);
        }
    }

    std::unique_ptr<TDMClient> Host(const QString &name, const QString &password, std::deque<WindowRecord> &windows)
    {
        auto host = std::make_unique<TDMClient>(program.ProgramPath());
        // Two clients in one process: each its own session.
        host->SetSessionID(QUuid::createUuid());
        host->ReadConfiguration();
        host->ROHTTP()->SetTargetURL(url);
        host->ROHTTPEvents()->SetTargetURL(url);
        std::unique_ptr<ROUser> user;
        EXPECT_EQ(CoLogOnService::Create(host->ROBinMgs(), host->ROHTTP())
                      ->VerifyUser(host->ApplicationID(), name, password, false, QString(), false, user),
                  0);
        if (user)
            host->SetLoggedOnUser(user->UserID, user->UserName, user->UserLevel);
        host->SetServerProgressFactory(std::make_unique<RecordingFactory>(*host, windows, clock));
        host->ConnectEventHandler();
        return host;
    }

    bool polled()
    {
        bool done = false;
        QObject::connect(&receiver, &TROEventReceiver::Polled, &receiver, [&](const QString &) { done = true; },
                         Qt::SingleShotConnection);
        return WaitFor([&] { return done; }, 2s);
    }

    // Saves of assignments wait until Release().
    void HoldSaves()
    {
        lock = shared->Connection();
        lock->BeginTransaction();
        lock->NewCommand(QStringLiteral("LOCK TABLE tblScheduledMinistryFunctions IN SHARE MODE"))->Execute();
    }
    void Release()
    {
        if (lock && lock->GetInTransaction())
            lock->CommitTransaction();
    }
    QStringList Assigned()
    {
        QStringList rows;
        for (const QStringList &row : shared->db.rows(QStringLiteral("SELECT PK_ScheduledMemberID FROM dbo.tblScheduledMinistryFunctions "
                                                             "WHERE F_MinistryMemberID IS NOT NULL ORDER BY 1")))
            rows << row.value(0);
        return rows;
    }
    bool Running() { return shared->Administrator().Service<CoEventsService>()->IsAutoScheduleRunning(); }
    static bool Open(const std::deque<WindowRecord> &windows) { return !windows.empty() && windows.back().Open; }
    // The first save of the assigning pass: the run waits there while saves are held.
    static QString FirstSave() { return QStringLiteral("%1/%2").arg(kLiturgies + 1).arg(2 * kLiturgies); }
    // A button that closes the window once the server is out of reach.
    static bool Closable(const std::deque<WindowRecord> &windows)
    {
        return Open(windows) && windows.back().Form && windows.back().Form->btnCancel()->isVisible() &&
               windows.back().Form->btnCancel()->isEnabled() && windows.back().Form->Run().ServerLost();
    }

    static inline std::unique_ptr<ServiceServer> shared;
    static inline bool ready = false;
    LogCapture log;
    ProgramFolder program;
    QString url;
    QElapsedTimer clock;
    std::deque<WindowRecord> annaWindows;
    std::deque<WindowRecord> benWindows;
    std::unique_ptr<TDMClient> anna;
    std::unique_ptr<TDMClient> ben;
    std::shared_ptr<TROHTTPChannel> events;
    TROEventReceiver receiver;
    TimedWatcher watcher{clock};
    std::unique_ptr<IDAConnection> lock;
    std::thread stopper;
};

} // namespace

TEST_F(ServerEvents, AWatchingClientFollowsTheRunAnotherClientStartedFromBeginToEnd)
{
    HoldSaves();
    Director director;
    // Ben's window is open while the run waits; then the run goes on to its end.
    director.When([&] { return Open(benWindows); }, [&] { Release(); });
    anna->RunAutoScheduleWithProgress({}, {}, kFrom, kTo);
    ASSERT_TRUE(WaitFor([&] { return !benWindows.empty() && benWindows.back().ClosedAt >= 0; }, 20s));
    ASSERT_TRUE(WaitFor([&] { return watcher.calls.contains(QStringLiteral("end")); }, 5s));

    ASSERT_EQ(benWindows.size(), 1u);
    const WindowRecord &watching = benWindows.front();
    EXPECT_FALSE(watching.Running);
    EXPECT_LT(watching.ShownAt - watcher.At(QStringLiteral("begin")), 1000) << "opened within a second of the begin event";
    ASSERT_GE(watching.Positions.size(), 2) << "the positions after the held save";
    EXPECT_TRUE(std::is_sorted(watching.Positions.begin(), watching.Positions.end()));
    EXPECT_EQ(QSet<int>(watching.Positions.begin(), watching.Positions.end()).size(), watching.Positions.size());
    EXPECT_EQ(watching.Positions.last(), 2 * kLiturgies);
    EXPECT_FALSE(ben->AutoScheduleRunning());

    // The starting client had its running window only, never a second one for its own run.
    ASSERT_EQ(annaWindows.size(), 1u);
    EXPECT_TRUE(annaWindows.front().Running);
    EXPECT_GE(annaWindows.front().ClosedAt, 0);
    EXPECT_EQ(watcher.calls, WholeRun(kLiturgies));
    EXPECT_EQ(Assigned().size(), 2 * kLiturgies);
    EXPECT_FALSE(Running());
}

TEST_F(ServerEvents, CancelInTheStartingClientStopsTheRunWithTheServicesBeforeSaved)
{
    HoldSaves();
    Director director;
    bool openAfterCancel = false;
    director.When([&] { return Open(annaWindows) && watcher.calls.contains(FirstSave()); },
                  [&] {
                      annaWindows.back().Form->btnCancel()->click();
                      openAfterCancel = annaWindows.back().Form && annaWindows.back().Form->isVisible();
                  });
    director.When([&] { return shared->server->FStopAutoSchedule.load(); }, [&] { Release(); });
    anna->RunAutoScheduleWithProgress({}, {}, kFrom, kTo);
    EXPECT_TRUE(director.AllDone());
    ASSERT_TRUE(WaitFor([&] { return watcher.calls.contains(QStringLiteral("end")); }, 10s));

    EXPECT_TRUE(openAfterCancel) << "Cancel alone does not close the window";
    QStringList expected = WholeRun(kLiturgies).mid(0, kLiturgies + 2);
    expected << QStringLiteral("end");
    EXPECT_EQ(watcher.calls, expected);
    EXPECT_EQ(Assigned(), (QStringList{QStringLiteral("S1-1"), QStringLiteral("S1-2")}));
    EXPECT_FALSE(shared->server->FStopAutoSchedule.load());
    EXPECT_FALSE(Running());
    ASSERT_TRUE(WaitFor([&] { return !anna->AutoScheduleRunning(); }, 5s));
}

TEST_F(ServerEvents, AServerThatStopsDuringARunLeavesBothClientsFreeToCloseTheirWindows)
{
    anna->SetServerProgressFactory(std::make_unique<RecordingFactory>(*anna, annaWindows, clock, kFastProbe));
    ben->SetServerProgressFactory(std::make_unique<RecordingFactory>(*ben, benWindows, clock, kFastProbe));
    HoldSaves();
    Director director;
    // The server goes away while the run waits (its last request finishes once saves go on).
    director.When([&] { return Open(annaWindows) && Open(benWindows); },
                  [&] { stopper = std::thread([] { shared->http.SetActive(false); }); });
    director.When([&] { return Closable(benWindows); }, [&] { benWindows.back().Form->btnCancel()->click(); });
    // The starting client's own call may fail as the server goes, which ends its window at once.
    director.When([&] { return Closable(annaWindows) || (!annaWindows.empty() && annaWindows.back().ClosedAt >= 0); },
                  [&] {
                      if (Closable(annaWindows))
                          annaWindows.back().Form->btnCancel()->click();
                  });
    anna->RunAutoScheduleWithProgress({}, {}, kFrom, kTo);
    // The watching client finds out by its own probe, which may come after the starter's end.
    EXPECT_TRUE(WaitFor([&] { return director.AllDone(); }, 10s));
    ASSERT_EQ(annaWindows.size(), 1u);
    ASSERT_EQ(benWindows.size(), 1u);
    EXPECT_GE(annaWindows.front().ClosedAt, 0);
    EXPECT_TRUE(WaitFor([&] { return benWindows.front().ClosedAt >= 0; }, 5s));
    Release();
    stopper.join();
}

TEST_F(ServerEvents, BeginAndEndInOnePollOpenNoWindow)
{
    // Ben's receiver rests while a whole run goes by.
    ben->ROEventReceiver()->SetActive(false);
    AutoScheduleWatcher seen;
    ben->ROEventReceiver()->RegisterEventHandler(QStringLiteral("AutoScheduleEvent"), &seen);
    ASSERT_TRUE(shared->Administrator().Service<CoEventsService>()->RunAutoSchedule(kFrom, kTo, QString(), QString()));
    ASSERT_TRUE(WaitFor([&] { return watcher.calls.contains(QStringLiteral("end")); }, 10s));
    ben->ROEventReceiver()->SetActive(true);
    ASSERT_TRUE(WaitFor([&] { return seen.calls.contains(QStringLiteral("end")); }, 5s));
    WaitFor([] { return false; }, 500ms);
    ben->ROEventReceiver()->UnregisterEventHandler(QStringLiteral("AutoScheduleEvent"), &seen);
    EXPECT_EQ(seen.calls, WholeRun(kLiturgies)) << "all in one delivery";
    EXPECT_TRUE(benWindows.empty());
    EXPECT_FALSE(ben->AutoScheduleRunning());
}
