// The client data module against a real data server over HTTP: the user's settings read at
// log-on and sent soon after each write, blobs kept under the configured application id, the
// update check with its hand-over, and a whole start-up from the preferred server to the end.
#include "client/HostComponentFactory.h"
#include "client/QuorvaStartup.h"
#include "client/QuorvaSteps.h"
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"
#include "client/uDMData.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/LogCapture.h"
#include "testsupport/ServiceHarness.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/Wait.h"

#include "foundation/uRegistry.h"
#include "remoting/ROHTTPChannel.h"

#include <QFile>

using namespace kestrova::test;
using namespace Quorva;
using namespace std::chrono_literals;

namespace {

const QString kCarol = QStringLiteral("{C0000000-0000-0000-0000-00000000000C}");
const QString kCarolPassword = QStringLiteral("Carol-Secret1");

class ClientAgainstServer : public ServiceHarness
{
protected:
    void SetUp() override
    {
        ServiceHarness::SetUp();
        if (IsSkipped())
            return;
        AddUser(kCarol, QStringLiteral("carol"), HashPassword(kCarolPassword));
        url = QStringLiteral("http://127.0.0.1:%1/Bin").arg(http.Port());
    }

    // The client's kept-alive connections close before the server stops, which would otherwise
    // wait for them.
    void TearDown() override
    {
        client.reset();
        ServiceHarness::TearDown();
    }

    TDMClient &Client()
    {
        if (!client) {
            client = std::make_unique<TDMClient>(program.ProgramPath());
            client->ReadConfiguration();
            client->ROHTTP()->SetTargetURL(url);
            client->ROHTTPEvents()->SetTargetURL(url);
        }
        return *client;
    }

    // Logs carol on through the client's own channel, as the log-on does, and hands her over.
    static void LogOnCarol(TDMClient &host)
    {
        std::unique_ptr<ROUser> user;
        ASSERT_EQ(CoLogOnService::Create(host.ROBinMgs(), host.ROHTTP())
                      ->VerifyUser(host.ApplicationID(), QStringLiteral("carol"), kCarolPassword, false, QString(), false, user),
                  0);
        host.SetLoggedOnUser(user->UserID, user->UserName, user->UserLevel);
    }

    QString Stored(const QString &key)
    {
        return db.scalar(QStringLiteral("SELECT APPID || ':' || SettingsValue FROM dbo.tblSettings WHERE F_UserID = '%1' AND SettingsKey = '%2'")
                             .arg(kCarol, key));
    }
    QString Blob(const QString &name)
    {
        return db.scalar(QStringLiteral("SELECT AppID || ':' || convert_from(BlobData, 'UTF8') FROM dbo.tblBlobSettings "
                                        "WHERE F_UserID = '%1' AND BlobName = '%2'").arg(kCarol, name));
    }

    LogCapture log;
    ProgramFolder program;
    QString url;
    std::unique_ptr<TDMClient> client;
};

} // namespace

TEST_F(ClientAgainstServer, TheUsersSettingsAreReadAtLogOnWithKeysMatchedExactly)
{
    Sql(QStringLiteral("INSERT INTO tblSettings (APPID, F_UserID, SettingsKey, SettingsValue, SystemSetting) "
                       "VALUES ('A01', '%1', 'WorkhourStart', '07:30', 0)").arg(kCarol));
    LogOnCarol(Client());
    EXPECT_EQ(Client().GetUserSetting(QStringLiteral("WorkhourStart"), QStringLiteral("08:00")), QStringLiteral("07:30"));
    EXPECT_EQ(Client().GetUserSetting(QStringLiteral("workhourstart"), QStringLiteral("08:00")), QStringLiteral("08:00"));
    EXPECT_EQ(Client().GetUserSetting(QStringLiteral("StandardDuration"), QStringLiteral("60")), QStringLiteral("60"));
}

TEST_F(ClientAgainstServer, AWriteReachesTheServerSoonWithoutAShutdown)
{
    Sql(QStringLiteral("INSERT INTO tblSettings (APPID, F_UserID, SettingsKey, SettingsValue, SystemSetting) "
                       "VALUES ('A01', '%1', 'NavBarVisible', '-1', 0)").arg(kCarol));
    LogOnCarol(Client());
    Client().SetUserSetting(QStringLiteral("NavBarVisible"), QStringLiteral("0"));
    Client().SetUserSetting(QStringLiteral("Contacts_ViewType"), QStringLiteral("1"));
    // The same session reads its own writes at once.
    EXPECT_EQ(Client().GetUserSetting(QStringLiteral("NavBarVisible"), QStringLiteral("-1")), QStringLiteral("0"));
    EXPECT_TRUE(WaitFor([&] { return Stored(QStringLiteral("Contacts_ViewType")) == QLatin1String("A01:1"); }, 10s));
    EXPECT_EQ(Stored(QStringLiteral("NavBarVisible")), QStringLiteral("A01:0"));
    EXPECT_FALSE(Client().DMData()->HasPendingChanges());
}

TEST_F(ClientAgainstServer, WhatIsStillPendingAtShutdownIsSent)
{
    LogOnCarol(Client());
    Client().SetUserSetting(QStringLiteral("ActiveGroup"), QStringLiteral("2"));
    Client().CloseDatamodule();
    EXPECT_EQ(Stored(QStringLiteral("ActiveGroup")), QStringLiteral("A01:2"));
}

TEST_F(ClientAgainstServer, BlobsAndSettingsAreKeptUnderTheConfiguredApplicationId)
{
    program.SetSetting(QStringLiteral("ApplicationID"), QStringLiteral("B07"));
    LogOnCarol(Client());
    const QByteArray layout("grid layout");
    Client().SaveUserBlob(QStringLiteral("ContactsListView"), &layout);
    EXPECT_EQ(Blob(QStringLiteral("ContactsListView")), QStringLiteral("B07:grid layout"));
    EXPECT_EQ(Client().LoadUserBlob(QStringLiteral("ContactsListView")), std::optional<QByteArray>(layout));
    EXPECT_EQ(Client().LoadUserBlob(QStringLiteral("FamilyListView")), std::nullopt);
    Client().SaveUserBlob(QStringLiteral("GroupsListView"), nullptr);
    EXPECT_EQ(Blob(QStringLiteral("GroupsListView")), QString());
    EXPECT_TRUE(Client().ClearUserSetting(QStringLiteral("ContactsListView")));
    EXPECT_EQ(Blob(QStringLiteral("ContactsListView")), QString());
    EXPECT_EQ(Client().LoadUserBlob(QStringLiteral("ContactsListView")), std::nullopt);
    Client().SetUserSetting(QStringLiteral("ShowMonthNumber"), QStringLiteral("-1"));
    EXPECT_TRUE(WaitFor([&] { return Stored(QStringLiteral("ShowMonthNumber")) == QLatin1String("B07:-1"); }, 10s));
}

TEST_F(ClientAgainstServer, AnUnreachableServerLeavesReadsAtTheirDefaultAndLogsTheBlobCalls)
{
    LogOnCarol(Client());
    Client().ROHTTP()->SetTargetURL(QStringLiteral("http://127.0.0.1:1/Bin"));
    EXPECT_EQ(Client().LoadUserBlob(QStringLiteral("ContactsListView")), std::nullopt);
    const QByteArray layout("x");
    Client().SaveUserBlob(QStringLiteral("ContactsListView"), &layout);
    EXPECT_FALSE(Client().ClearUserSetting(QStringLiteral("ContactsListView")));
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("DMClient"), QStringLiteral("LoadUserBlob")).size(), 1);
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("DMClient"), QStringLiteral("SaveUserBlob")).size(), 1);
    EXPECT_EQ(log.texts(QStringLiteral("Severe"), QStringLiteral("DMClient"), QStringLiteral("ClearUserSetting")).size(), 1);
}

TEST_F(ClientAgainstServer, ANewerClientOnTheServerIsHandedToTheUpdater)
{
    QDir(folder.path()).mkpath(QStringLiteral("Updates/9.0.0.0"));
    const QString received = program.Path(QStringLiteral("arguments.txt"));
    program.AddFile(QStringLiteral("Update"),
                    QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '%1.part' && mv '%1.part' '%1'\n").arg(received).toUtf8());
    QFile(program.Path(QStringLiteral("Update"))).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Client().CheckForUpdate(), TDMClient::UpdateWaiting);
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("DMClient"), QStringLiteral("CheckForUpdate")),
              QStringList{QStringLiteral("A new update is available")});
    ASSERT_TRUE(Client().StartUpdater());
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(received); }, 10s));
    EXPECT_EQ(FileLines(received).join(QString()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              QStringList({url, QStringLiteral("A01"), program.ProgramPath()}) + QCoreApplication::arguments().mid(1));
}

TEST_F(ClientAgainstServer, WithoutANewerClientThereIsNoUpdate)
{
    QDir(folder.path()).mkpath(QStringLiteral("Updates/0.9.0.0"));
    program.AddFile(QStringLiteral("Update"), "#!/bin/sh\n");
    EXPECT_EQ(Client().CheckForUpdate(), TDMClient::NoUpdate);
}

namespace {

// The log-on of a later piece of work, reduced to what the start-up needs of it.
class CarolLogsOn : public ILogOnSteps
{
public:
    explicit CarolLogsOn(TDMClient &host) : m_host(host) {}
    int CheckInitialSetup() override { return CoLogOnService::Create(m_host.ROBinMgs(), m_host.ROHTTP())->VerifyInitialSetup(m_host.ApplicationID()); }
    bool RunInitialSetup() override { return false; }
    int ProcessLogon() override
    {
        std::unique_ptr<ROUser> user;
        const int answer = CoLogOnService::Create(m_host.ROBinMgs(), m_host.ROHTTP())
                               ->VerifyUser(m_host.ApplicationID(), QStringLiteral("carol"), kCarolPassword, false, QString(), false, user);
        if (answer == 0)
            m_host.SetLoggedOnUser(user->UserID, user->UserName, user->UserLevel);
        return answer;
    }

private:
    TDMClient &m_host;
};

class ServerStartFactory : public THostComponentFactory
{
public:
    QString title;
    void InstallComponents(TDMClient &client) override
    {
        THostComponentFactory::InstallComponents(client); // the preferred server
        client.SetLogOnSteps(std::make_unique<CarolLogsOn>(client));
        m_client = &client;
    }
    // The session as a plug-in lives it: one setting written through the host, then the end.
    void RunMessageLoop(IQuorvaMainWindow &window) override
    {
        title = window.Widget()->windowTitle();
        if (auto settings = host_cast<ISettings>(&m_client->HYROMgr()))
            settings->SetUserSetting(QStringLiteral("NavBarVisible"), QStringLiteral("0"));
    }

private:
    TDMClient *m_client = nullptr;
};

} // namespace

TEST_F(ClientAgainstServer, AWholeStartReachesTheMainWindowAndEndsInOrder)
{
    TQorReg::WriteString(HKEY_CURRENT_USER, ProductKey, url, QStringLiteral("Preferred server"));
    program.AddModule(QStringLiteral("TestService"));
    program.AddModule(QStringLiteral("TestViews"));
    QDir(program.Path()).mkdir(QStringLiteral("help"));
    program.AddFile(QStringLiteral("help/index.html"), "<html></html>");
    QDir(program.Path()).mkdir(QStringLiteral("Reports"));
    ServerStartFactory factory;
    {
        TQuorvaSteps steps(program.ProgramPath(), factory);
        TQuorvaStartup(steps, program.ProgramPath(), QStringLiteral(KESTROVA_VERSION)).Run();
    }
    EXPECT_EQ(factory.title, QStringLiteral("carol - Kestrova"));
    const QStringList lines = FileLines(program.Path(QStringLiteral("session.txt")));
    const int serverLine = IndexOf(lines, QStringLiteral("Main\tServer: ") + url);
    const int update = IndexOf(lines, QStringLiteral("CheckForUpdate Could not locate Update"));
    const int complete = IndexOf(lines, QStringLiteral("CloseDatamodule Complete"));
    EXPECT_NE(serverLine, -1);
    EXPECT_GT(update, serverLine);
    EXPECT_GT(complete, update);
    EXPECT_EQ(IndexOf(lines, QStringLiteral("Severe")), -1) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines.last(), QString(82, QLatin1Char('*')));
    EXPECT_EQ(Stored(QStringLiteral("NavBarVisible")), QStringLiteral("A01:0"));
}
