// One loopback server with the test service for a test suite.
#pragma once

#include "remoting/ROServer.h"

#include "TestService.h"

#include <gtest/gtest.h>

namespace testsvc {

class LoopbackServer : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        RegisterTestService();
        RegisterTestEvents();
        s_sessions = new TROInMemorySessionManager();
        s_repository = new TROInMemoryEventRepository(*s_sessions);
        s_server = new TROHTTPServer();
        s_server->SetBindAddress(QStringLiteral("127.0.0.1"));
        s_server->SetPort(0);
        s_server->AddDispatcher(QStringLiteral("Bin"));
        s_server->SetSessionManager(s_sessions);
        s_server->SetEventRepository(s_repository);
        s_server->SetActive(true);
    }
    static void TearDownTestSuite()
    {
        delete s_server;
        delete s_repository;
        delete s_sessions;
    }

    static QString Url(const QString &path = QStringLiteral("BIN"))
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(s_server->Port()).arg(path);
    }

    static std::shared_ptr<TROHTTPChannel> Channel(const QUuid &session = QUuid::createUuid())
    {
        auto channel = std::make_shared<TROHTTPChannel>();
        channel->SetTargetURL(Url());
        channel->SetSessionID(session);
        return channel;
    }

    // Logs a user on in the session: a served request makes the session, and events reach
    // sessions with a user.
    static void Join(const QUuid &session, const QString &userName = QStringLiteral("anna"))
    {
        TestService_Proxy proxy(std::make_shared<TROMessage>(), Channel(session));
        proxy.Call(QStringLiteral("LogOn"), [&](TROMessage &m) { m.WriteAnsiString(QStringLiteral("UserName"), userName); });
    }

    static inline TROInMemorySessionManager *s_sessions = nullptr;
    static inline TROInMemoryEventRepository *s_repository = nullptr;
    static inline TROHTTPServer *s_server = nullptr;
};

} // namespace testsvc
