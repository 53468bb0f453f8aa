// A real server for a whole suite, an administrator's session on it and one events module over a
// stand-in host of that session, as the client keeps one module for its run. A suite fills the
// database before the module first reads it; its tests skip where no database is at hand.
#pragma once

#include "testsupport/EventsTestModule.h"
#include "testsupport/ServiceHarness.h"

#include <functional>

#include <gtest/gtest.h>

class EventsServerSuite : public ::testing::Test
{
protected:
    static void StartSuite(const std::function<void()> &fill = {})
    {
        server = new kestrova::test::ServiceServer;
        if (!server->db.available())
            return;
        server->Start();
        if (fill)
            fill();
        admin = new kestrova::test::ServiceClient(server->Administrator());
        host = new kestrova::test::TStandInHost(kestrova::test::kEventsHostParts, kestrova::test::TStandInHost::TabbedLine);
        host->Connect(*admin);
        host->User.UserID = kestrova::test::ServiceServer::kAdministratorId;
        module = new EventsModule(*host);
    }
    static void StopSuite()
    {
        delete module;
        module = nullptr;
        delete host;
        host = nullptr;
        delete admin;
        admin = nullptr;
        if (server->server)
            server->Stop();
        delete server;
        server = nullptr;
    }

    static void Sql(const QString &sql) { server->Sql(sql); }
    static QString Scalar(const QString &sql) { return server->db.scalar(QStringLiteral("SET search_path=dbo; ") + sql); }
    // The Severe lines of the module's log.
    static QStringList Failures()
    {
        QStringList lines;
        for (const QString &line : host->Log)
            if (line.startsWith(QStringLiteral("2\t")))
                lines << line;
        return lines;
    }

    static inline kestrova::test::ServiceServer *server = nullptr;
    static inline kestrova::test::ServiceClient *admin = nullptr;
    static inline kestrova::test::TStandInHost *host = nullptr;
    static inline EventsModule *module = nullptr;
};
