#include "testsupport/FakeServices.h"
#include "testsupport/Wait.h"

#include "remoting/ROEventRepository.h"
#include "remoting/ROSessionManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()> &done)
{
    return kestrova::test::WaitFor(done, 10s);
}

// Listens on a free loopback port with sessions and events, as the data server does.
void StartOnLoopback(TROHTTPServer &server, TROInMemorySessionManager &sessions, TROInMemoryEventRepository &repository)
{
    server.SetBindAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(0);
    server.AddDispatcher(QStringLiteral("Bin"));
    server.SetSessionManager(&sessions);
    server.SetEventRepository(&repository);
    server.SetActive(true);
}

class Watcher : public IROInterface, public IAutoScheduleEvent, public IClientPopupEvent
{
public:
    bool queryInterface(const QUuid &id, void **object) override
    {
        if (id == IAutoScheduleEvent::IID)
            *object = static_cast<IAutoScheduleEvent *>(this);
        else if (id == IClientPopupEvent::IID)
            *object = static_cast<IClientPopupEvent *>(this);
        else
            return false;
        return true;
    }
    void OnAutoScheduleProgress(qint32 APosition, qint32 AMax) override { Seen << QStringLiteral("%1/%2").arg(APosition).arg(AMax); }
    void OnAutoScheduleBegin() override { Seen << QStringLiteral("begin"); }
    void OnAutoScheduleEnd() override { Seen << QStringLiteral("end"); }
    void OnNewPopup(const QString &ToUser, const QString &Title, const QString &Text, qint32 EventType) override
    {
        Seen << ToUser + Title + Text + QString::number(EventType);
    }
    QStringList Seen;
};

// The generated proxies and invokers over the real HTTP server and channel on loopback.
TEST(ContractOverHttp, ProxiesReachTheServicesThroughTheServer)
{
    RegisterClassFactory(std::make_shared<TROClassFactory>(
        QStringLiteral("LogOnService"), [] { return std::make_unique<FakeLogOn>(); },
        std::make_shared<TLogOnService_Invoker>()));
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository(sessions);
    TROHTTPServer server;
    StartOnLoopback(server, sessions, repository);

    {
        // The client goes first, so its kept-alive connections close before the server stops.
        auto channel = std::make_shared<TROHTTPChannel>();
        channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/BIN").arg(server.Port()));
        auto logOn = CoLogOnService::Create(std::make_shared<TROMessage>(), channel);
        EXPECT_EQ(logOn->GetUserList(QStringLiteral("Quorva")), QStringLiteral("anna\r\nben"));
        EXPECT_EQ(logOn->VerifyInitialSetup(QStringLiteral("Quorva")), 1);
        EXPECT_THROW(CoProbeService::Create(std::make_shared<TROMessage>(), channel)->ProbeServer(), EROServerError);
    }

    server.SetActive(false);
    UnregisterClassFactory(QStringLiteral("LogOnService"));
}

TEST(ContractOverHttp, ServerEventsReachAPollingClientsReceivingInterfaces)
{
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository(sessions);
    TROHTTPServer server;
    StartOnLoopback(server, sessions, repository);

    auto channel = std::make_shared<TROHTTPChannel>();
    channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/bin").arg(server.Port()));
    const QUuid session = QUuid::createUuid();
    channel->SetSessionID(session);
    // A client that has logged on: events reach logged-on sessions.
    TvoUser user;
    user.UserName = QStringLiteral("anna");
    sessions.Touch(session)->SetUser(user);
    auto receiver = std::make_unique<TROEventReceiver>();
    Watcher watcher;
    receiver->SetChannel(channel);
    receiver->SetServiceName(QStringLiteral("EventsService"));
    receiver->SetInterval(50ms);
    receiver->RegisterEventHandler(IAutoScheduleEvent::SinkName, &watcher);
    receiver->RegisterEventHandler(IClientPopupEvent::SinkName, &watcher);
    bool polled = false;
    QObject::connect(receiver.get(), &TROEventReceiver::Polled, [&polled] { polled = true; });
    receiver->PollNow();
    ASSERT_TRUE(waitFor([&] { return polled; }));
    receiver->SetActive(true);

    auto writer = repository.GetEventWriter(IAutoScheduleEvent_Writer::IID);
    auto &autoSchedule = dynamic_cast<IAutoScheduleEvent_Writer &>(*writer);
    autoSchedule.OnAutoScheduleBegin(QUuid());
    autoSchedule.OnAutoScheduleProgress(QUuid(), 3, 10);
    autoSchedule.OnAutoScheduleEnd(QUuid());
    dynamic_cast<IClientPopupEvent_Writer &>(*repository.GetEventWriter(IClientPopupEvent_Writer::IID))
        .OnNewPopup(QUuid(), QStringLiteral("anna"), QStringLiteral("T"), QStringLiteral("x"), 1);
    ASSERT_TRUE(waitFor([&] { return watcher.Seen.size() == 4; }));
    EXPECT_EQ(watcher.Seen, (QStringList{QStringLiteral("begin"), QStringLiteral("3/10"), QStringLiteral("end"),
                                         QStringLiteral("annaTx1")}));
    receiver->SetActive(false);
    receiver.reset();
    channel.reset();
    server.SetActive(false);
}

} // namespace
