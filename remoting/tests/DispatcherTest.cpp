#include "remoting/ROServer.h"

#include "TestService.h"

#include <gtest/gtest.h>

namespace {

using namespace testsvc;

class Dispatcher : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterTestService();
        RegisterTestEvents();
    }

    TROMessage Send(const TROMessage &request, bool *isError = nullptr)
    {
        const TROMessageDispatcher::Reply reply = dispatcher.Process(request.SaveToBytes());
        if (isError)
            *isError = reply.IsError;
        TROMessage answer;
        if (!reply.Data.isEmpty())
            answer.LoadFromBytes(reply.Data, RemotingLimits::kMaxReplySize);
        return answer;
    }

    static TROMessage Request(const QString &service, const QString &operation)
    {
        TROMessage m;
        m.SetClientID(QUuid::createUuid());
        m.InitializeRequest(kLibrary, service, operation);
        return m;
    }

    static void ExpectError(const TROMessage &answer, const QString &className)
    {
        ASSERT_EQ(answer.Kind(), ROMessageKind::Error);
        try {
            answer.RaiseIfError();
        } catch (const EROServerError &e) {
            EXPECT_EQ(e.ClassName(), className) << e.Message().toStdString();
        }
    }

    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository{sessions};
    TROMessageDispatcher dispatcher{&sessions, &repository};
};

TEST_F(Dispatcher, ReadsParametersInOrderAndAnswersWithTheOperationResponse)
{
    TROMessage request = Request(kService, QStringLiteral("Echo"));
    request.WriteUtf8String(QStringLiteral("Text"), QStringLiteral("abc"));
    request.WriteInteger(QStringLiteral("Number"), 21);
    bool isError = true;
    TROMessage answer = Send(request, &isError);
    EXPECT_FALSE(isError);
    EXPECT_EQ(answer.Kind(), ROMessageKind::Response);
    EXPECT_EQ(answer.MessageName(), QStringLiteral("EchoResponse"));
    EXPECT_EQ(answer.InterfaceName(), kService);
    EXPECT_EQ(answer.Values()[0].Name, QStringLiteral("Result"));
    EXPECT_EQ(answer.ReadUtf8String(QStringLiteral("Result")), QStringLiteral("abc21"));
    EXPECT_EQ(answer.ReadInteger(QStringLiteral("Twice")), 42);
}

TEST_F(Dispatcher, EveryRequestGetsANewServiceObject)
{
    const int before = g_instances;
    for (int i = 0; i < 3; ++i) {
        TROMessage request = Request(kService, QStringLiteral("Echo"));
        request.WriteUtf8String(QStringLiteral("Text"), QString());
        request.WriteInteger(QStringLiteral("Number"), i);
        Send(request);
    }
    EXPECT_EQ(g_instances - before, 3);
}

TEST_F(Dispatcher, UnknownServiceAndOperationGetErrorRepliesWithoutAServiceObject)
{
    const int before = g_instances;
    ExpectError(Send(Request(QStringLiteral("NoSuchService"), QStringLiteral("Echo"))), QStringLiteral("EROUnknownService"));
    ExpectError(Send(Request(kService, QStringLiteral("NoSuchOperation"))), QStringLiteral("EROUnknownOperation"));
    EXPECT_EQ(g_instances, before);
}

TEST_F(Dispatcher, ErrorsRaisedByTheOperationTravelWithTheirClassName)
{
    bool isError = false;
    TROMessage answer = Send(Request(kService, QStringLiteral("Fail")), &isError);
    EXPECT_TRUE(isError);
    ExpectError(answer, QStringLiteral("ETestDomain"));
    EXPECT_EQ(answer.MessageName(), QStringLiteral("Fail"));
    ExpectError(Send(Request(kService, QStringLiteral("Crash"))), QStringLiteral("Exception"));
}

TEST_F(Dispatcher, MissingOrMistypedParametersGetAnErrorReply)
{
    TROMessage request = Request(kService, QStringLiteral("Echo"));
    request.WriteInteger(QStringLiteral("Text"), 1);
    request.WriteInteger(QStringLiteral("Number"), 1);
    ExpectError(Send(request), QStringLiteral("EROMessageError"));
    ExpectError(Send(Request(kService, QStringLiteral("Echo"))), QStringLiteral("EROMessageError"));
}

TEST_F(Dispatcher, MalformedAndTruncatedRequestsGetErrorRepliesAndServingGoesOn)
{
    TROMessage good = Request(kService, QStringLiteral("Echo"));
    good.WriteUtf8String(QStringLiteral("Text"), QStringLiteral("x"));
    good.WriteInteger(QStringLiteral("Number"), 1);
    const QByteArray bytes = good.SaveToBytes();
    for (const QByteArray &bad : {QByteArray(), QByteArray("GET / HTTP/1.1"), bytes.left(10), bytes.left(bytes.size() - 1)}) {
        const TROMessageDispatcher::Reply reply = dispatcher.Process(bad);
        EXPECT_TRUE(reply.IsError);
        TROMessage answer;
        answer.LoadFromBytes(reply.Data, RemotingLimits::kMaxReplySize);
        ExpectError(answer, QStringLiteral("EROMessageError"));
    }
    EXPECT_FALSE(dispatcher.Process(bytes).IsError);
}

TEST_F(Dispatcher, RepliesAndEventsAreNotServedAsRequests)
{
    TROMessage event;
    event.InitializeEvent(kLibrary, kService, QStringLiteral("Echo"));
    ExpectError(Send(event), QStringLiteral("EROMessageError"));
}

TEST_F(Dispatcher, OneWayOperationSendsNoReply)
{
    g_stopped = false;
    const TROMessageDispatcher::Reply reply = dispatcher.Process(Request(kService, QStringLiteral("Stop")).SaveToBytes());
    EXPECT_TRUE(g_stopped);
    EXPECT_FALSE(reply.IsError);
    EXPECT_TRUE(reply.Data.isEmpty());
}

TEST_F(Dispatcher, AnOperationThatWritesNoResponseIsAnErrorNotAnEcho)
{
    ExpectError(Send(Request(kService, QStringLiteral("Forget"))), QStringLiteral("EROMessageError"));
}

TEST_F(Dispatcher, TheSessionHoldsTheUserAcrossRequests)
{
    const QUuid client = QUuid::createUuid();
    TROMessage logOn = Request(kService, QStringLiteral("LogOn"));
    logOn.SetClientID(client);
    logOn.WriteAnsiString(QStringLiteral("UserName"), QStringLiteral("anna"));
    Send(logOn);
    TROMessage who = Request(kService, QStringLiteral("WhoAmI"));
    who.SetClientID(client);
    EXPECT_EQ(Send(who).ReadAnsiString(QStringLiteral("Result")), QStringLiteral("anna"));
    TROMessage other = Request(kService, QStringLiteral("WhoAmI"));
    EXPECT_EQ(Send(other).ReadAnsiString(QStringLiteral("Result")), QString());
}

TEST_F(Dispatcher, PollIsAnsweredByTheFrameworkWithoutAServiceObject)
{
    const QUuid client = QUuid::createUuid();
    TROMessage logOn = Request(kService, QStringLiteral("LogOn"));
    logOn.SetClientID(client);
    logOn.WriteAnsiString(QStringLiteral("UserName"), QStringLiteral("anna"));
    Send(logOn);
    TROMessage poll = Request(QStringLiteral("AnyService"), TROInMemoryEventRepository::PollOperation);
    poll.SetClientID(client);
    const int before = g_instances;
    TROMessage first = Send(poll);
    EXPECT_EQ(first.MessageName(), QStringLiteral("ROPollEventsResponse"));
    EXPECT_TRUE(first.ReadValue(QStringLiteral("Events"), ROType::Array).Items().empty());

    auto writer = repository.GetEventWriter(kSinkId);
    static_cast<TestEvent_Writer &>(*writer).OnPing(QUuid(), 3, QStringLiteral("hello"));
    static_cast<TestEvent_Writer &>(*writer).OnPing(QUuid(), 4, QStringLiteral("again"));
    TROMessage second = Send(poll);
    const auto events = second.ReadValue(QStringLiteral("Events"), ROType::Array).Items();
    ASSERT_EQ(events.size(), 2u);
    TROMessage event;
    event.LoadFromBytes(events[0].ToBinary(), RemotingLimits::kMaxReplySize);
    EXPECT_EQ(event.Kind(), ROMessageKind::Event);
    EXPECT_EQ(event.InterfaceName(), kSink);
    EXPECT_EQ(event.MessageName(), QStringLiteral("OnPing"));
    EXPECT_EQ(event.ReadInteger(QStringLiteral("N")), 3);
    EXPECT_TRUE(Send(poll).ReadValue(QStringLiteral("Events"), ROType::Array).Items().empty());
    EXPECT_EQ(g_instances, before);
}

TEST_F(Dispatcher, AskingForAnUnregisteredWriterIsAnInterfaceCastError)
{
    EXPECT_THROW(repository.GetEventWriter(QUuid::createUuid()), EROInterfaceCastError);
}

} // namespace

namespace {

using namespace testsvc;

TEST(DispatcherWithoutSession, ARequestWithoutSessionIdLeavesNoSessionBehind)
{
    RegisterTestService();
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository(sessions);
    TROMessageDispatcher dispatcher(&sessions, &repository);
    TROMessage logOn;
    logOn.InitializeRequest(kLibrary, kService, QStringLiteral("LogOn"));
    logOn.WriteAnsiString(QStringLiteral("UserName"), QStringLiteral("nobody"));
    EXPECT_FALSE(dispatcher.Process(logOn.SaveToBytes()).IsError);
    TROMessage who;
    who.InitializeRequest(kLibrary, kService, QStringLiteral("WhoAmI"));
    TROMessage answer;
    answer.LoadFromBytes(dispatcher.Process(who.SaveToBytes()).Data, RemotingLimits::kMaxReplySize);
    EXPECT_EQ(answer.ReadAnsiString(QStringLiteral("Result")), QString());
    EXPECT_TRUE(sessions.SessionIDs().isEmpty());
}

} // namespace

namespace {

using namespace testsvc;

class SessionMaking : public ::testing::Test
{
protected:
    void SetUp() override { RegisterTestService(); }

    TROMessage Send(const QUuid &id, const QString &service, const QString &operation,
                    const std::function<void(TROMessage &)> &write = {})
    {
        TROMessage m;
        m.SetClientID(id);
        m.InitializeRequest(kLibrary, service, operation);
        if (write)
            write(m);
        TROMessage answer;
        answer.LoadFromBytes(dispatcher.Process(m.SaveToBytes()).Data, RemotingLimits::kMaxReplySize);
        return answer;
    }

    TROMessage LogOn(const QUuid &id, const QString &name)
    {
        return Send(id, kService, QStringLiteral("LogOn"),
                    [&](TROMessage &m) { m.WriteAnsiString(QStringLiteral("UserName"), name); });
    }

    QString WhoAmI(const QUuid &id)
    {
        return Send(id, kService, QStringLiteral("WhoAmI")).ReadAnsiString(QStringLiteral("Result"));
    }

    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository{sessions};
    TROMessageDispatcher dispatcher{&sessions, &repository};
};

TEST_F(SessionMaking, OnlyAServedRequestToAKnownServiceMakesASession)
{
    const QUuid id = QUuid::createUuid();
    Send(id, kService, TROInMemoryEventRepository::PollOperation);
    Send(id, QStringLiteral("NoSuchService"), QStringLiteral("Echo"));
    Send(id, kService, QStringLiteral("NoSuchOperation"));
    TROMessage garbage;
    garbage.SetClientID(id);
    dispatcher.Process(garbage.SaveToBytes().left(30));
    dispatcher.SetSessionCheck([](const QString &, const TROSession &) {
        throw EROException(QStringLiteral("EROSessionNotLoggedOn"), QStringLiteral("log on first"));
    });
    Send(id, kService, QStringLiteral("WhoAmI"));
    EXPECT_TRUE(sessions.SessionIDs().isEmpty());

    dispatcher.SetSessionCheck({});
    LogOn(id, QStringLiteral("anna"));
    EXPECT_EQ(sessions.SessionIDs(), QList<QUuid>{id});
    // A poll keeps a known session alive and answers it.
    EXPECT_EQ(Send(id, kService, TROInMemoryEventRepository::PollOperation).MessageName(),
              QStringLiteral("ROPollEventsResponse"));
}

TEST_F(SessionMaking, TenThousandOneHundredRandomSessionIdsLeaveANewLogOnWorking)
{
    const QUuid anna = QUuid::createUuid();
    LogOn(anna, QStringLiteral("anna"));
    for (int i = 0; i < 10'100; ++i) {
        const TROMessage answer = Send(QUuid::createUuid(), kService, QStringLiteral("WhoAmI"));
        ASSERT_EQ(answer.Kind(), ROMessageKind::Response) << "probe " << i;
    }
    EXPECT_LE(std::size_t(sessions.SessionIDs().size()), RemotingLimits::kMaxSessions);

    const QUuid bert = QUuid::createUuid();
    const TROMessage logOn = LogOn(bert, QStringLiteral("bert"));
    EXPECT_EQ(logOn.Kind(), ROMessageKind::Response);
    EXPECT_EQ(WhoAmI(bert), QStringLiteral("bert"));
    // The user who logged on before the flood is still logged on.
    EXPECT_EQ(WhoAmI(anna), QStringLiteral("anna"));
}

} // namespace
