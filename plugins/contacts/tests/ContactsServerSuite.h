// One real server for a whole suite and an administrator's session on it, logged on when a test
// first needs it; each test's stand-in host speaks on that session as the administrator.
#pragma once

#include "testsupport/ServiceHarness.h"
#include "testsupport/StandInHost.h"

#include <memory>

#include <gtest/gtest.h>

class ContactsServerSuite : public ::testing::Test
{
protected:
    // False where no database is at hand: the suite's tests skip.
    static bool StartSuite()
    {
        server = new kestrova::test::ServiceServer;
        server->Start();
        return server->db.available();
    }
    static void StopSuite()
    {
        client.reset();
        if (server)
            server->Stop();
        delete server;
        server = nullptr;
    }
    static void ConnectAdministrator(kestrova::test::TStandInHost &host)
    {
        if (!client)
            client = std::make_unique<kestrova::test::ServiceClient>(server->Administrator());
        host.Connect(*client);
        host.User.UserID = kestrova::test::ServiceServer::kAdministratorId;
        host.User.UserName = QStringLiteral("admin");
    }

    static inline kestrova::test::ServiceServer *server = nullptr;
    static inline std::unique_ptr<kestrova::test::ServiceClient> client;
};
