#include "ServerFixture.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>

#include <httplib.h>

#include <atomic>

namespace {

using namespace testsvc;
using namespace std::chrono_literals;

class Http : public LoopbackServer
{
};

TEST_F(Http, ACallTravelsThroughProxyChannelAndServer)
{
    TestService_Proxy proxy(std::make_shared<TROMessage>(), Channel());
    qint32 twice = 0;
    EXPECT_EQ(proxy.Echo(QStringLiteral("grüß "), 5, &twice), QStringLiteral("grüß 5"));
    EXPECT_EQ(twice, 10);
    EXPECT_TRUE(proxy.GetMessage()->Values().empty());
}

TEST_F(Http, ThePathBinMatchesWithoutRegardToCase)
{
    for (const QString &path : {QStringLiteral("Bin"), QStringLiteral("bin"), QStringLiteral("BIN")}) {
        auto channel = Channel();
        channel->SetTargetURL(Url(path));
        TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
        EXPECT_EQ(proxy.Echo(QStringLiteral("p"), 1), QStringLiteral("p1"));
    }
    auto channel = Channel();
    channel->SetTargetURL(Url(QStringLiteral("other")));
    TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
    EXPECT_THROW(proxy.Echo(QStringLiteral("p"), 1), EROTransportError);
}

TEST_F(Http, AServerErrorIsRaisedByTheProxyUnderItsClassName)
{
    TestService_Proxy proxy(std::make_shared<TROMessage>(), Channel());
    try {
        proxy.Call(QStringLiteral("Fail"));
        FAIL() << "no exception";
    } catch (const EROServerError &e) {
        EXPECT_EQ(e.ClassName(), QStringLiteral("ETestDomain"));
        EXPECT_EQ(e.Message(), QStringLiteral("it went wrong"));
    }
    EXPECT_TRUE(proxy.GetMessage()->Values().empty());
    EXPECT_EQ(proxy.Echo(QStringLiteral("after"), 0), QStringLiteral("after0"));
}

TEST_F(Http, LargeRepliesTravelCompressed)
{
    TestService_Proxy proxy(std::make_shared<TROMessage>(), Channel());
    std::unique_ptr<TROBinaryMemoryStream> result;
    proxy.Call(
        QStringLiteral("Big"), [](TROMessage &m) { m.WriteInteger(QStringLiteral("Size"), 5 * 1024 * 1024); },
        [&](TROMessage &m) { result = m.ReadBinary(QStringLiteral("Result")); });
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->Bytes(), QByteArray(5 * 1024 * 1024, 'z'));
}

TEST_F(Http, AOneWayCallGetsAnEmptyReply)
{
    g_stopped = false;
    TestService_Proxy proxy(std::make_shared<TROMessage>(), Channel());
    proxy.Call(QStringLiteral("Stop"));
    EXPECT_TRUE(g_stopped);
}

TEST_F(Http, GarbageGetsAnErrorReplyAndTheServerKeepsServing)
{
    httplib::Client raw("127.0.0.1", s_server->Port());
    for (const std::string &body : {std::string(), std::string("KQM1"), std::string(5000, '\xff')}) {
        const auto res = raw.Post("/Bin", body, "application/octet-stream");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        TROMessage answer;
        answer.LoadFromBytes(QByteArray::fromStdString(res->body), RemotingLimits::kMaxReplySize);
        EXPECT_EQ(answer.Kind(), ROMessageKind::Error);
        EXPECT_THROW(answer.RaiseIfError(), EROServerError);
    }
    TestService_Proxy proxy(std::make_shared<TROMessage>(), Channel());
    EXPECT_EQ(proxy.Echo(QStringLiteral("still"), 1), QStringLiteral("still1"));
}

TEST_F(Http, ARequestAboveTheSizeLimitIsRefusedAtTheDoor)
{
    // The refusal comes as soon as the head announces the size: none of the body is waited for.
    for (const std::size_t announced : {RemotingLimits::kMaxRequestBody + 1, std::size_t(1) << 31}) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(s_server->Port()));
        ASSERT_TRUE(socket.waitForConnected(5000));
        socket.write(QStringLiteral("POST /Bin HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                    "Content-Type: application/octet-stream\r\nContent-Length: %1\r\n\r\n")
                         .arg(announced)
                         .toLatin1());
        QElapsedTimer timer;
        timer.start();
        QByteArray answer;
        while (!answer.contains("\r\n") && socket.waitForReadyRead(5000))
            answer += socket.readAll();
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 413")) << answer.left(100).toStdString();
        EXPECT_LT(timer.elapsed(), 1000);
    }
}

TEST_F(Http, AClientThatExpectsContinueGetsOneAndThenItsReply)
{
    TROMessage request;
    request.SetClientID(QUuid::createUuid());
    request.InitializeRequest(kLibrary, kService, QStringLiteral("Echo"));
    request.WriteUtf8String(QStringLiteral("Text"), QStringLiteral("go"));
    request.WriteInteger(QStringLiteral("Number"), 7);
    const QByteArray body = request.SaveToBytes();
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(s_server->Port()));
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write(QStringLiteral("POST /Bin HTTP/1.1\r\nHost: 127.0.0.1\r\nExpect: 100-continue\r\nContent-Length: %1\r\n\r\n")
                     .arg(body.size())
                     .toLatin1());
    QByteArray answer;
    while (!answer.contains("\r\n\r\n") && socket.waitForReadyRead(5000))
        answer += socket.readAll();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 100 Continue\r\n\r\n")) << answer.toStdString();
    socket.write(body);
    answer.clear();
    // The whole reply: its head, then as many bytes as its Content-Length says.
    auto complete = [&answer] {
        const qsizetype end = answer.indexOf("\r\n\r\n");
        const qsizetype at = answer.toLower().indexOf("content-length:");
        return end >= 0 && at >= 0 &&
               answer.size() >= end + 4 + answer.mid(at + 15, answer.indexOf("\r\n", at) - at - 15).trimmed().toInt();
    };
    while (!complete() && socket.waitForReadyRead(5000))
        answer += socket.readAll();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 200")) << answer.left(60).toStdString();
    EXPECT_FALSE(answer.contains("100 Continue"));
    TROMessage reply;
    reply.LoadFromBytes(answer.mid(answer.indexOf("\r\n\r\n") + 4), RemotingLimits::kMaxReplySize);
    EXPECT_EQ(reply.ReadUtf8String(QStringLiteral("Result")), QStringLiteral("go7"));
}

TEST_F(Http, ABodyWithoutContentLengthIsRefused)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(s_server->Port()));
    ASSERT_TRUE(socket.waitForConnected(5000));
    socket.write("POST /Bin HTTP/1.1\r\nHost: 127.0.0.1\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nKQM1\r\n0\r\n\r\n");
    QByteArray answer;
    while (!answer.contains("\r\n") && socket.waitForReadyRead(5000))
        answer += socket.readAll();
    EXPECT_TRUE(answer.startsWith("HTTP/1.1 411")) << answer.left(100).toStdString();
}

TEST_F(Http, AnUnreachableServerIsATransportError)
{
    auto channel = Channel();
    channel->SetTargetURL(QStringLiteral("http://127.0.0.1:1/bin"));
    QList<TROCallFailure> failures;
    channel->SetFailureHandler([&failures](const TROCallFailure &failure) {
        failures << failure;
        return failures.size() < 3;
    });
    TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
    EXPECT_THROW(proxy.Echo(QStringLiteral("x"), 1), EROTransportError);
    ASSERT_EQ(failures.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(failures[i].Attempt, i);
        EXPECT_FALSE(failures[i].MayHaveReachedServer) << "nothing listens there";
    }
    EXPECT_FALSE(channel->Busy());
}

TEST_F(Http, TheChannelTimeOutEndsAHangingCall)
{
    auto channel = Channel();
    channel->SetTimeout(300ms);
    QList<TROCallFailure> failures;
    channel->SetFailureHandler([&failures](const TROCallFailure &failure) {
        failures << failure;
        return false;
    });
    TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
    QElapsedTimer timer;
    timer.start();
    EXPECT_THROW(proxy.Call(QStringLiteral("Sleep"),
                            [](TROMessage &m) { m.WriteInteger(QStringLiteral("Milliseconds"), 3000); }),
                 EROTransportError);
    EXPECT_LT(timer.elapsed(), 2900);
    // The server had the request: a handler must not take it for one that never arrived.
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].MayHaveReachedServer);
}

TEST_F(Http, AFiveSecondCallDoesNotDelayTheOthersAndKeepsItsChannelBusy)
{
    auto slowChannel = Channel();
    TestService_AsyncProxy slow(std::make_shared<TROMessage>(), slowChannel);
    QElapsedTimer timer;
    timer.start();
    slow.Invoke_Sleep(5000);
    EXPECT_TRUE(slow.GetBusy());
    EXPECT_TRUE(slowChannel->Busy());
    EXPECT_THROW(slow.Invoke_Sleep(1), EROChannelBusy);
    TestService_Proxy onBusyChannel(std::make_shared<TROMessage>(), slowChannel);
    EXPECT_THROW(onBusyChannel.Echo(QStringLiteral("x"), 1), EROChannelBusy);

    TestService_Proxy quick(std::make_shared<TROMessage>(), Channel());
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(quick.Echo(QStringLiteral("q"), i), QStringLiteral("q%1").arg(i));
    // Had they waited, the slow answer would have been taken in by their event loops already.
    EXPECT_FALSE(slow.GetAnswerReceived()) << "quick calls waited for the slow one";
    EXPECT_LT(timer.elapsed(), 4500);

    ASSERT_TRUE(WaitFor([&] { return slow.GetAnswerReceived(); }, 15000));
    EXPECT_GE(timer.elapsed(), 4900);
    EXPECT_FALSE(slow.GetBusy());
    EXPECT_TRUE(slow.Retrieve_Sleep());
    EXPECT_THROW(slow.Retrieve_Sleep(), EROMessageError);
}

TEST_F(Http, FiftyConcurrentClientsEachMakeTwoHundredCallsAllAnsweredCorrectly)
{
    constexpr int kClients = 50;
    constexpr int kCalls = 200;
    std::atomic<int> correct{0};
    std::atomic<int> wrong{0};
    const QString url = Url();
    std::vector<std::unique_ptr<QThread>> threads;
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back(QThread::create([&, c] {
            auto channel = std::make_shared<TROHTTPChannel>();
            channel->SetTargetURL(url);
            channel->SetSessionID(QUuid::createUuid());
            TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
            for (int i = 0; i < kCalls; ++i) {
                try {
                    qint32 twice = 0;
                    const QString text = QStringLiteral("c%1-").arg(c);
                    if (proxy.Echo(text, i, &twice) == text + QString::number(i) && twice == 2 * i)
                        ++correct;
                    else
                        ++wrong;
                } catch (const std::exception &e) {
                    ++wrong;
                }
            }
        }));
        threads.back()->start();
    }
    for (auto &thread : threads)
        thread->wait();
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(correct, kClients * kCalls);
}

TEST_F(Http, TheServerStopsAndStartsAgainOnAnotherPort)
{
    TROHTTPServer second;
    second.SetBindAddress(QStringLiteral("127.0.0.1"));
    second.SetPort(0);
    second.SetActive(true);
    EXPECT_TRUE(second.Active());
    EXPECT_GT(second.Port(), 0);
    TROHTTPServer clash;
    clash.SetBindAddress(QStringLiteral("127.0.0.1"));
    clash.SetPort(second.Port());
    EXPECT_THROW(clash.SetActive(true), EROTransportError);
    second.SetActive(false);
    EXPECT_FALSE(second.Active());
}

} // namespace

namespace {

using namespace testsvc;

TEST(HttpKeepAlive, ACallAfterTheServerClosedAnIdleConnectionStillSucceeds)
{
    RegisterTestService();
    TROHTTPServer server;
    server.SetBindAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(0);
    server.SetKeepAliveTimeout(std::chrono::seconds(1));
    server.SetActive(true);
    auto channel = std::make_shared<TROHTTPChannel>();
    channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/bin").arg(server.Port()));
    TestService_Proxy proxy(std::make_shared<TROMessage>(), channel);
    EXPECT_EQ(proxy.Echo(QStringLiteral("a"), 1), QStringLiteral("a1"));
    WaitFor([] { return false; }, 2500);
    EXPECT_EQ(proxy.Echo(QStringLiteral("b"), 2), QStringLiteral("b2"));
}

} // namespace

namespace {

using namespace testsvc;
using namespace std::chrono_literals;

// A stop waits for a request in service as long as its bound allows, and no longer: the request
// then runs on in the server left to it. Either way its client is cut off at once.
TEST(HttpStop, AStopWaitsForARequestInServiceOnlyWithinItsBound)
{
    RegisterTestService();
    struct Case
    {
        int sleepMs;
        std::chrono::milliseconds wait;
        bool stopped;
        qint64 fromMs;
        qint64 belowMs;
    };
    for (const Case &c : {Case{700, 5000ms, true, 300, 3000}, Case{60000, 300ms, false, 250, 1500}}) {
        SCOPED_TRACE(c.sleepMs);
        TROHTTPServer server;
        server.SetBindAddress(QStringLiteral("127.0.0.1"));
        server.SetPort(0);
        server.SetActive(true);
        auto channel = std::make_shared<TROHTTPChannel>();
        channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/Bin").arg(server.Port()));
        TestService_AsyncProxy call(std::make_shared<TROMessage>(), channel);
        call.Invoke_Sleep(c.sleepMs);
        WaitFor([] { return false; }, 200); // sent, and in service by now
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(server.Stop(c.wait), c.stopped);
        EXPECT_GE(timer.elapsed(), c.fromMs);
        EXPECT_LT(timer.elapsed(), c.belowMs);
        EXPECT_FALSE(server.Active());
        ASSERT_TRUE(WaitFor([&] { return call.GetAnswerReceived(); }, 5000)) << "the client was left hanging";
        EXPECT_THROW(call.Retrieve_Sleep(), EROTransportError);
    }
}

} // namespace
