#include "FakeServices.h"

#include "remoting/ROEventRepository.h"
#include "remoting/ROSessionManager.h"

#include <gtest/gtest.h>

namespace {

// The generated proxies and invokers over the real HTTP server and channel on loopback.
TEST(ContractOverHttp, ProxiesReachTheServicesThroughTheServer)
{
    RegisterClassFactory(std::make_shared<TROClassFactory>(
        QStringLiteral("LogOnService"), [] { return std::make_unique<FakeLogOn>(); },
        std::make_shared<TLogOnService_Invoker>()));
    TROInMemorySessionManager sessions;
    TROInMemoryEventRepository repository(sessions);
    TROHTTPServer server;
    server.SetBindAddress(QStringLiteral("127.0.0.1"));
    server.SetPort(0);
    server.AddDispatcher(QStringLiteral("Bin"));
    server.SetSessionManager(&sessions);
    server.SetEventRepository(&repository);
    server.SetActive(true);

    auto channel = std::make_shared<TROHTTPChannel>();
    channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/BIN").arg(server.Port()));
    auto logOn = CoLogOnService::Create(std::make_shared<TROMessage>(), channel);
    EXPECT_EQ(logOn->GetUserList(QStringLiteral("Quorva")), QStringLiteral("anna\r\nben"));
    EXPECT_EQ(logOn->VerifyInitialSetup(QStringLiteral("Quorva")), 1);
    EXPECT_THROW(CoProbeService::Create(std::make_shared<TROMessage>(), channel)->ProbeServer(), EROServerError);

    server.SetActive(false);
    UnregisterClassFactory(QStringLiteral("LogOnService"));
}

} // namespace
