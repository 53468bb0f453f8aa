// A data server with the real services and log-on gate, listening over HTTP on a fresh database
// at the current schema, and clients that reach it through the generated proxies: the ground
// every service's integration tests stand on.
#pragma once

#include "server/core/uDMServer.h"
#include "server/services/LogOnThrottle.h"
#include "server/services/PasswordHash.h"
#include "server/services/ServiceRegistration.h"
#include "server/core/uFailureReport.h"
#include "server/core/uLogOnGate.h"
#include "server/services/uLogOnService.h"
#include "testsupport/CurrentSchema.h"
#include "testsupport/TestDatabase.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/IDAConnection.h"
#include "dataaccess/TDAEDataset.h"
#include "dataaccess/TDAConnectionManager.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "remoting/ROServer.h"
#include "remoting/ROSessionManager.h"

#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

namespace kestrova::test {

inline const QString kAdministratorLevel = QStringLiteral("{86A13150-8F61-47CC-9503-A5BFAE09F465}");
inline const QString kUserLevel = QStringLiteral("{86A13150-8F61-47CC-9503-A5BFAE09F464}");

// One client: a channel and a message (and so a session) of its own.
struct ServiceClient
{
    std::shared_ptr<TROHTTPChannel> Channel;
    std::shared_ptr<TROMessage> Message;

    // A proxy of any service on this client's session, e.g. Service<CoContactsService>().
    template <class Co> auto Service() const { return Co::Create(Message, Channel); }
};

// The server and its database, for one test (ServiceHarness) or for a whole suite of tests
// that only read (made in SetUpTestSuite).
class ServiceServer
{
public:
    void Start()
    {
        if (!db.available())
            GTEST_SKIP();
        ASSERT_TRUE(folder.isValid());
        server = std::make_unique<TDMServer>(folder.path());
        server->ConnectionManager().AddConnection(QStringLiteral("MSSQL"), db.connectionString(), true);
        Sql(QStringLiteral("DELETE FROM tblUsers;"));
        // Failed log-ons of one test do not slow the next.
        TLogOnThrottle::Server().Clear();
        TLogOnThrottle::Server().SetClock(&std::chrono::steady_clock::now);
        RegisterServerServices();
        http.SetBindAddress(QStringLiteral("127.0.0.1"));
        http.SetPort(0);
        http.AddDispatcher(QStringLiteral("Bin"));
        http.SetSessionManager(&server->SessionManager());
        http.SetEventRepository(&server->EventRepository()); // clients' polls for server events
        http.SetSessionCheck(MakeLogOnGate([this] { return Connection(); }));
        http.SetFailureReport(ReportRequestFailure);
        http.SetActive(true);
    }

    void Stop()
    {
        http.SetActive(false);
        UnregisterServerServices();
        TLogOnThrottle::Server().SetClock(&std::chrono::steady_clock::now);
    }

    void Sql(const QString &sql) { db.exec(QStringLiteral("SET search_path=dbo;\n") + sql); }

    std::unique_ptr<IDAConnection> Connection() { return server->ConnectionManager().NewConnection(server->DataType()); }

    // Stores the password as given: a hash, an older clear text, empty or null.
    void AddUser(const QString &id, const QString &name, const QString &stored, const QString &level = kUserLevel)
    {
        auto connection = Connection(); // outlives its commands
        auto insert = connection->NewCommand(QStringLiteral(
            "INSERT INTO tblUsers (PK_UserID, LogonUsername, LogonPassword, F_Userlevel) VALUES (:ID, :Name, :Password, :Level)"));
        insert->ParamByName(QStringLiteral("ID")).Value = id;
        insert->ParamByName(QStringLiteral("Name")).Value = name;
        insert->ParamByName(QStringLiteral("Password")).Value = stored.isNull() ? QVariant() : QVariant(stored);
        insert->ParamByName(QStringLiteral("Level")).Value = level;
        insert->Execute();
    }

    // A client whose session has not logged on.
    ServiceClient NewClient()
    {
        auto channel = std::make_shared<TROHTTPChannel>();
        channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/Bin").arg(http.Port()));
        // A channel speaks for the whole program's session unless told otherwise.
        channel->SetSessionID(QUuid::createUuid());
        auto message = std::make_shared<TROMessage>();
        message->SetClientID(channel->SessionID());
        return ServiceClient{channel, message};
    }

    ServiceClient LogOn(const QString &name, const QString &password)
    {
        ServiceClient client = NewClient();
        std::unique_ptr<ROUser> user;
        const int answer = client.Service<CoLogOnService>()->VerifyUser(QStringLiteral("Quorva"), name, password, false,
                                                                       QString(), false, user);
        EXPECT_EQ(answer, 0) << "log-on of " << name.toStdString();
        return client;
    }

    // A logged-on session of an administrator, made on first use.
    ServiceClient Administrator() { return LogOnAs(kAdministratorId, QStringLiteral("admin"), kAdministratorLevel); }

    // A logged-on session of a user without administrator rights, made on first use.
    ServiceClient Member() { return LogOnAs(kMemberId, QStringLiteral("member"), kUserLevel); }

    static inline const QString kAdministratorId = QStringLiteral("{A0000000-0000-0000-0000-0000000000AD}");
    static inline const QString kMemberId = QStringLiteral("{A0000000-0000-0000-0000-0000000000EE}");

    TestDatabase db{CurrentSchemaStage()};
    QTemporaryDir folder;
    std::unique_ptr<TDMServer> server;
    TROHTTPServer http;

private:
    ServiceClient LogOnAs(const QString &id, const QString &name, const QString &level)
    {
        const QString password = name + QStringLiteral("-Secret1");
        if (db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblUsers WHERE PK_UserID = '%1'").arg(id)) == QStringLiteral("0"))
            AddUser(id, name, HashPassword(password), level);
        return LogOn(name, password);
    }
};

class ServiceHarness : public ::testing::Test, public ServiceServer
{
protected:
    void SetUp() override { Start(); }
    void TearDown() override { Stop(); }
};

} // namespace kestrova::test
