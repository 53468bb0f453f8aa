#include "ServerFixture.h"

namespace {

using namespace testsvc;
using namespace std::chrono_literals;

class EventDelivery : public LoopbackServer
{
protected:
    std::unique_ptr<TROEventReceiver> Receiver(const QUuid &session, PingTarget &target)
    {
        auto receiver = std::make_unique<TROEventReceiver>();
        receiver->SetChannel(Channel(session));
        receiver->SetServiceName(kService);
        receiver->SetInterval(50ms);
        receiver->RegisterEventHandler(kSink, &target);
        return receiver;
    }

    static void Fire(qint32 n, const QString &text)
    {
        auto writer = s_repository->GetEventWriter(kSinkId);
        static_cast<TestEvent_Writer &>(*writer).OnPing(QUuid(), n, text);
    }

    // Waits for one poll to finish.
    static void PollOnce(TROEventReceiver &receiver)
    {
        bool polled = false;
        auto connection = QObject::connect(&receiver, &TROEventReceiver::Polled, [&polled] { polled = true; });
        receiver.PollNow();
        ASSERT_TRUE(WaitFor([&] { return polled; }));
        QObject::disconnect(connection);
    }
};

TEST_F(EventDelivery, AnEventFiredOnTheServerReachesTwoPollingClients)
{
    PingTarget first;
    PingTarget second;
    const QUuid a = QUuid::createUuid();
    const QUuid b = QUuid::createUuid();
    Join(a);
    Join(b, QStringLiteral("bert"));
    auto receiverA = Receiver(a, first);
    auto receiverB = Receiver(b, second);
    PollOnce(*receiverA);
    PollOnce(*receiverB);
    receiverA->SetActive(true);
    receiverB->SetActive(true);

    Fire(3, QStringLiteral("progress"));
    Fire(10, QString());
    ASSERT_TRUE(WaitFor([&] { return first.Received.size() == 2 && second.Received.size() == 2; }));
    EXPECT_EQ(first.Received, (QList<qint32>{3, 10}));
    EXPECT_EQ(second.Received, (QList<qint32>{3, 10}));
    EXPECT_EQ(first.Texts.first(), QStringLiteral("progress"));
}

TEST_F(EventDelivery, EventsWaitWhileASynchronousCallIsInFlight)
{
    PingTarget target;
    const QUuid session = QUuid::createUuid();
    Join(session);
    auto receiver = Receiver(session, target);
    PollOnce(*receiver);
    receiver->SetActive(true);
    Fire(1, QString());
    TestService_Proxy proxy(std::make_shared<TROMessage>(), Channel(session));
    proxy.Call(QStringLiteral("Sleep"), [](TROMessage &m) { m.WriteInteger(QStringLiteral("Milliseconds"), 600); });
    ASSERT_TRUE(WaitFor([&] { return !target.Received.isEmpty(); }));
    EXPECT_EQ(target.CallsInProgressAtDelivery, 0);
}

TEST_F(EventDelivery, AnUnregisteredTargetReceivesNothing)
{
    PingTarget target;
    const QUuid session = QUuid::createUuid();
    Join(session);
    auto receiver = Receiver(session, target);
    receiver->UnregisterEventHandler(kSink, &target);
    EXPECT_FALSE(receiver->HasHandlers(kSink));
    Fire(5, QString());
    PollOnce(*receiver);
    EXPECT_TRUE(target.Received.isEmpty());
}

class NotATarget : public IROInterface
{
public:
    bool queryInterface(const QUuid &, void **) override { return false; }
};

TEST_F(EventDelivery, ATargetWithoutTheInterfaceFailsAloneAndOthersStillReceive)
{
    NotATarget wrong;
    PingTarget right;
    const QUuid session = QUuid::createUuid();
    Join(session);
    auto receiver = Receiver(session, right);
    receiver->RegisterEventHandler(kSink, &wrong);
    receiver->UnregisterEventHandler(kSink, &right);
    receiver->RegisterEventHandler(kSink, &right);
    Fire(8, QString());
    PollOnce(*receiver);
    EXPECT_EQ(right.Received, QList<qint32>{8});
}

// A target that takes itself off the receiver when it goes, as targets must.
class LeavingTarget : public PingTarget
{
public:
    explicit LeavingTarget(TROEventReceiver &receiver) : m_receiver(receiver) {}
    ~LeavingTarget() override { m_receiver.UnregisterEventHandler(kSink, this); }
    void OnPing(qint32 n, const QString &text) override
    {
        PingTarget::OnPing(n, text);
        if (Then)
            std::exchange(Then, {})();
    }
    std::function<void()> Then;

private:
    TROEventReceiver &m_receiver;
};

TEST_F(EventDelivery, AHandlerMayDeleteAnotherTargetOfTheSameEvent)
{
    const QUuid session = QUuid::createUuid();
    Join(session);
    PingTarget unused;
    auto receiver = Receiver(session, unused);
    receiver->UnregisterEventHandler(kSink, &unused);
    LeavingTarget first(*receiver);
    auto second = std::make_unique<LeavingTarget>(*receiver);
    receiver->RegisterEventHandler(kSink, &first);
    receiver->RegisterEventHandler(kSink, second.get());
    first.Then = [&second] { second.reset(); };
    Fire(1, QString());
    Fire(2, QString());
    PollOnce(*receiver);
    EXPECT_EQ(first.Received, (QList<qint32>{1, 2}));
    EXPECT_EQ(second, nullptr);
}

TEST_F(EventDelivery, AHandlerMayDeleteTheReceiverItself)
{
    const QUuid session = QUuid::createUuid();
    Join(session);
    PingTarget target;
    auto receiver = Receiver(session, target);
    receiver->UnregisterEventHandler(kSink, &target);
    auto leaving = std::make_unique<LeavingTarget>(*receiver);
    PingTarget after;
    receiver->RegisterEventHandler(kSink, leaving.get());
    receiver->RegisterEventHandler(kSink, &after);
    leaving->Then = [&] {
        leaving.reset();
        receiver.reset();
    };
    Fire(1, QString());
    Fire(2, QString());
    receiver->PollNow();
    ASSERT_TRUE(WaitFor([&] { return receiver == nullptr; }));
    WaitFor([] { return false; }, 200);
    EXPECT_TRUE(after.Received.isEmpty());
}

} // namespace

namespace {

using namespace testsvc;
using namespace std::chrono_literals;

// A server of its own whose sessions run on a clock the test moves.
TEST(EventExpiry, OverHttpASessionThatNeverPollsExpiresWhileAPollingOneStays)
{
    RegisterTestService();
    RegisterTestEvents();
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point() + 1000h;
    TROInMemorySessionManager sessions([&now] { return now; });
    TROInMemoryEventRepository repository(sessions);
    TROHTTPServer server;
    server.SetBindAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(0);
    server.SetSessionManager(&sessions);
    server.SetEventRepository(&repository);
    server.SetActive(true);
    const QString url = QStringLiteral("http://127.0.0.1:%1/bin").arg(server.Port());

    const QUuid polling = QUuid::createUuid();
    const QUuid silent = QUuid::createUuid();
    auto pollChannel = std::make_shared<TROHTTPChannel>();
    pollChannel->SetTargetURL(url);
    pollChannel->SetSessionID(polling);
    auto silentChannel = std::make_shared<TROHTTPChannel>();
    silentChannel->SetTargetURL(url);
    silentChannel->SetSessionID(silent);

    PingTarget target;
    TROEventReceiver receiver;
    receiver.SetChannel(pollChannel);
    receiver.SetServiceName(kService);
    receiver.RegisterEventHandler(kSink, &target);
    int polls = 0;
    QObject::connect(&receiver, &TROEventReceiver::Polled, [&polls] { ++polls; });
    auto pollOnce = [&] {
        const int before = polls;
        receiver.PollNow();
        ASSERT_TRUE(WaitFor([&] { return polls > before; }));
    };

    for (const auto &channel : {pollChannel, silentChannel}) {
        TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
        proxy.Call(QStringLiteral("LogOn"), [](TROMessage &m) { m.WriteAnsiString(QStringLiteral("UserName"), QStringLiteral("anna")); });
    }
    pollOnce();
    auto writer = repository.GetEventWriter(kSinkId);
    static_cast<TestEvent_Writer &>(*writer).OnPing(QUuid(), 1, QString());
    EXPECT_EQ(repository.PendingCount(silent), 1u);

    for (int minute = 0; minute < 10; ++minute) {
        now += 1min;
        pollOnce();
    }
    EXPECT_EQ(sessions.Find(silent), nullptr);
    EXPECT_NE(sessions.Find(polling), nullptr);
    EXPECT_EQ(repository.PendingCount(silent), 0u);
    EXPECT_EQ(target.Received, QList<qint32>{1});
}

} // namespace
