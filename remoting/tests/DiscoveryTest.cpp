#include "remoting/RODiscovery.h"

#include "TestService.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using testsvc::WaitFor;

class Discovery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        server.SetBindAddress(QHostAddress::LocalHost);
        server.SetPort(0);
        server.SetServiceNames({QStringLiteral("Kestrova")});
        TVODiscoveryResultOptions answer;
        answer.Port = 8099;
        answer.Version = QStringLiteral("1.2.3.4");
        server.SetAnswer(answer);
        ASSERT_TRUE(server.SetActive(true));
        client.SetTargetAddress(QHostAddress::LocalHost);
        client.SetTargetPort(server.Port());
        client.SetRetryInterval(60ms);
        QObject::connect(&client, &TRODiscoveryClient::NewServiceFound,
                         [this](const QString &name, const QString &host, const TVODiscoveryResultOptions &options) {
                             found.append(name + QLatin1Char('@') + host + QLatin1Char(':') +
                                          QString::number(options.Port) + QLatin1Char('/') + options.Version);
                         });
        QObject::connect(&client, &TRODiscoveryClient::ResponseTimeOut, [this] { timedOut = true; });
    }

    TRODiscoveryServer server;
    TRODiscoveryClient client;
    QStringList found;
    bool timedOut = false;
};

TEST_F(Discovery, TheClientFindsTheServerOnLoopbackWithItsPortAndVersion)
{
    client.RefreshServerList(QStringLiteral("Kestrova"));
    ASSERT_TRUE(WaitFor([this] { return timedOut; }));
    EXPECT_EQ(found, QStringList{QStringLiteral("Kestrova@127.0.0.1:8099/1.2.3.4")});
    EXPECT_FALSE(client.Running());
}

TEST_F(Discovery, OtherServiceNamesAreIgnoredAndTheWaitEndsAfterFiveAttempts)
{
    QElapsedTimer timer;
    timer.start();
    client.RefreshServerList(QStringLiteral("Other"));
    ASSERT_TRUE(WaitFor([this] { return timedOut; }));
    EXPECT_TRUE(found.isEmpty());
    EXPECT_GE(timer.elapsed(), 5 * 60 - 20);
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST_F(Discovery, TheClientCanStopBeforeTheTimeOut)
{
    QObject::connect(&client, &TRODiscoveryClient::NewServiceFound, &client, &TRODiscoveryClient::Stop);
    client.RefreshServerList(QStringLiteral("Kestrova"));
    ASSERT_TRUE(WaitFor([this] { return !found.isEmpty(); }));
    EXPECT_FALSE(client.Running());
    QThread::msleep(200);
    QCoreApplication::processEvents();
    EXPECT_FALSE(timedOut);
}

TEST(DiscoveryDatagram, OnlyExactDatagramsParse)
{
    const QByteArray request = EncodeDiscoveryRequest({QStringLiteral("Kestrova"), QStringLiteral("1.0")});
    const auto decoded = DecodeDiscoveryRequest(request);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->ServiceName, QStringLiteral("Kestrova"));
    EXPECT_EQ(decoded->ClientVersion, QStringLiteral("1.0"));
    for (qsizetype n = 0; n < request.size(); ++n)
        EXPECT_FALSE(DecodeDiscoveryRequest(request.left(n)).has_value());
    EXPECT_FALSE(DecodeDiscoveryRequest(request + "x").has_value());
    EXPECT_FALSE(DecodeDiscoveryAnswer(request).has_value());
    EXPECT_FALSE(DecodeDiscoveryRequest(QByteArray(600, 'K')).has_value());
    const auto answer = DecodeDiscoveryAnswer(EncodeDiscoveryAnswer({QStringLiteral("K"), 8099, QStringLiteral("2")}));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->Port, 8099);
}

} // namespace
