// The log-on and probe services and the log-on gate through the generated proxies, over the
// real HTTP server and channel, against a database at the current schema.
#include "testsupport/ServiceHarness.h"
#include "testsupport/LogCapture.h"

#include "foundation/InteractiveLogon.h"
#include "remoting/ROErrors.h"

#include <QDir>
#include <QFile>

namespace {

using kestrova::test::kAdministratorLevel;
const QString kAnna = QStringLiteral("{A0000000-0000-0000-0000-000000000001}");
const QString kBen = QStringLiteral("{A0000000-0000-0000-0000-000000000002}");

class LogOnOverHttp : public kestrova::test::ServiceHarness
{
protected:
    void TearDown() override
    {
        logOn.reset();
        ServiceHarness::TearDown();
    }

    QVariant Column(const QString &id, const QString &column)
    {
        auto connection = Connection();
        auto row = connection->NewDataset(QStringLiteral("SELECT %1 FROM tblUsers WHERE PK_UserID = :ID").arg(column));
        row->ParamByName(QStringLiteral("ID")).Value = id;
        row->Open();
        return row->FieldByName(column);
    }

    std::shared_ptr<ILogOnService> Client()
    {
        client = NewClient();
        channel = client.Channel;
        message = client.Message;
        logOn = client.Service<CoLogOnService>();
        return logOn;
    }

    int Verify(const QString &name, const QString &password, std::unique_ptr<ROUser> &user)
    {
        return logOn->VerifyUser(QStringLiteral("Quorva"), name, password, false, QString(), false, user);
    }

    kestrova::test::ServiceClient client;
    std::shared_ptr<TROHTTPChannel> channel;
    std::shared_ptr<TROMessage> message;
    std::shared_ptr<ILogOnService> logOn;
};

TEST_F(LogOnOverHttp, InitialSetupIsAskedForOnlyWhileNoUserExists)
{
    Client();
    EXPECT_EQ(logOn->VerifyInitialSetup(QStringLiteral("Quorva")), 6);
    AddUser(kAnna, QStringLiteral("anna"), HashPassword(QStringLiteral("Credo")));
    EXPECT_EQ(logOn->VerifyInitialSetup(QStringLiteral("Quorva")), 4);
}

TEST_F(LogOnOverHttp, ThePasswordLogOnMatchesTheHashAndNeverAPattern)
{
    AddUser(kAnna, QStringLiteral("Anna"), HashPassword(QStringLiteral("Credo")), kAdministratorLevel);
    Client();
    std::unique_ptr<ROUser> user;
    EXPECT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("credo"), user), 7);
    EXPECT_EQ(user->UserID, QString());
    EXPECT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("%"), user), 7);
    EXPECT_EQ(Verify(QStringLiteral("%"), QStringLiteral("Credo"), user), 7);
    EXPECT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("Credo"), user), 0);
    EXPECT_EQ(user->UserID, kAnna);
    EXPECT_EQ(user->UserName, QStringLiteral("Anna"));
    EXPECT_EQ(user->UserLevel, kAdministratorRights);
    EXPECT_EQ(Column(kAnna, QStringLiteral("LastLoginDate")).toDateTime().date(), QDate::currentDate());
}

TEST_F(LogOnOverHttp, AnEmptyOrNullStoredPasswordLogsOnWithAnEmptyPassword)
{
    AddUser(kAnna, QStringLiteral("anna"), QString());
    AddUser(kBen, QStringLiteral("ben"), QStringLiteral(""));
    Client();
    std::unique_ptr<ROUser> user;
    EXPECT_EQ(Verify(QStringLiteral("anna"), QString(), user), 0);
    EXPECT_EQ(Verify(QStringLiteral("ben"), QString(), user), 0);
    EXPECT_EQ(Verify(QStringLiteral("ben"), QStringLiteral("x"), user), 7);
    EXPECT_TRUE(Column(kBen, QStringLiteral("LastLoginDate")).isValid());
}

TEST_F(LogOnOverHttp, AnOlderClearTextPasswordBecomesAHashAtItsLogOn)
{
    AddUser(kAnna, QStringLiteral("anna"), QStringLiteral("Agnus"));
    Client();
    std::unique_ptr<ROUser> user;
    EXPECT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("Agnus"), user), 0);
    const QString stored = Column(kAnna, QStringLiteral("LogonPassword")).toString();
    EXPECT_TRUE(IsPasswordHash(stored));
    EXPECT_TRUE(VerifyPassword(stored, QStringLiteral("Agnus")));
}

TEST_F(LogOnOverHttp, TheAutomaticLogOnNeedsTheSecretDerivedAtAPasswordLogOn)
{
    AddUser(kAnna, QStringLiteral("anna"), HashPassword(QStringLiteral("Credo")), kAdministratorLevel);
    Client();
    const QString account = QStringLiteral("PARISH\\anna");
    const QString secret = DeriveInteractiveLogonSecret(QStringLiteral("Credo"), QStringLiteral("anna"), account);
    std::unique_ptr<ROUser> user;
    EXPECT_EQ(logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("anna"), secret, true, account, false, user), 7);
    EXPECT_EQ(logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("anna"), QStringLiteral("Credo"), false, account, true, user), 0);
    EXPECT_EQ(Column(kAnna, QStringLiteral("WindowsAccount")).toString(), account);
    EXPECT_EQ(Column(kAnna, QStringLiteral("UseInteractiveLogon")).toInt(), 1);
    // Only a hash of the secret is kept.
    const QString stored = Column(kAnna, QStringLiteral("InteractiveLogonHash")).toString();
    EXPECT_TRUE(IsPasswordHash(stored));
    EXPECT_FALSE(stored.contains(secret));

    Client();
    EXPECT_EQ(logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("anna"), QString(), true, account, false, user), 7);
    EXPECT_EQ(logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("anna"), QStringLiteral("Credo"), true, account, false, user), 7);
    EXPECT_EQ(user->UserID, QString());
    EXPECT_EQ(logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("anna"), secret, true, QStringLiteral("parish\\anna"), false, user), 0);
    EXPECT_EQ(user->UserID, kAnna);
    EXPECT_EQ(user->UserLevel, kAdministratorRights);
    EXPECT_EQ(logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("anna"), secret, true, QStringLiteral("PARISH\\%"), false, user), 7);

    // A new password withdraws the secret.
    ASSERT_TRUE(logOn->RequestPasswordChange(QStringLiteral("anna"), QStringLiteral("Noster")));
    EXPECT_TRUE(Column(kAnna, QStringLiteral("InteractiveLogonHash")).isNull());
    Client();
    EXPECT_EQ(logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("anna"), secret, true, account, false, user), 7);
}

TEST_F(LogOnOverHttp, AKnownAccountWithoutTheSecretIsRefused)
{
    // An account stored before the secret existed, or set through the users' data.
    AddUser(kAnna, QStringLiteral("admin"), HashPassword(QStringLiteral("Credo")), kAdministratorLevel);
    Sql(QStringLiteral("UPDATE tblUsers SET UseInteractiveLogon = 1, WindowsAccount = 'PARISH\\admin'"));
    Client();
    std::unique_ptr<ROUser> user;
    for (const QString &password : {QString(), QStringLiteral("PARISH\\admin"), QStringLiteral("Credo"),
                                    DeriveInteractiveLogonSecret(QString(), QStringLiteral("admin"), QStringLiteral("PARISH\\admin"))})
        EXPECT_EQ(logOn->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("admin"), password, true,
                                    QStringLiteral("PARISH\\admin"), false, user), 7);
    EXPECT_EQ(user->UserID, QString());
    auto events = client.Service<CoEventsService>();
    EXPECT_THROW(events->GetSchema(QString()), EROServerError);
}

TEST_F(LogOnOverHttp, TheUserListEndsEachNameWithCrLfAndSkipsUsersWithoutALevel)
{
    AddUser(kAnna, QStringLiteral("anna"), QString());
    AddUser(kBen, QStringLiteral("ben"), QString());
    AddUser(QStringLiteral("{A0000000-0000-0000-0000-000000000003}"), QStringLiteral("nolevel"), QString(),
            QStringLiteral("{00000000-0000-0000-0000-0000000000FF}"));
    Client();
    QStringList names = logOn->GetUserList(QStringLiteral("Quorva")).split(QStringLiteral("\r\n"));
    EXPECT_EQ(names.takeLast(), QString());
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("anna"), QStringLiteral("ben")}));
}

TEST_F(LogOnOverHttp, VerifyUserAnswersOneWhenTheDatabaseIsDown)
{
    server->ConnectionManager().AddConnection(QStringLiteral("MSSQL"),
                                              kestrova::test::TestDatabase::connectionString(QStringLiteral("127.0.0.1"), 1, QStringLiteral("none")), true);
    Client();
    std::unique_ptr<ROUser> user;
    EXPECT_EQ(Verify(QStringLiteral("anna"), QString(), user), 1);
    EXPECT_EQ(logOn->VerifyInitialSetup(QStringLiteral("Quorva")), 4);
}

TEST_F(LogOnOverHttp, APasswordChangesOnlyFromTheUsersOwnOrAnAdministratorsSession)
{
    AddUser(kAnna, QStringLiteral("anna"), HashPassword(QStringLiteral("Credo")));
    AddUser(kBen, QStringLiteral("ben"), HashPassword(QStringLiteral("Pater")));
    Client();
    EXPECT_FALSE(logOn->RequestPasswordChange(QStringLiteral("anna"), QStringLiteral("Noster")));
    std::unique_ptr<ROUser> user;
    ASSERT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("Credo"), user), 0);
    EXPECT_FALSE(logOn->RequestPasswordChange(QStringLiteral("ben"), QStringLiteral("Noster")));
    EXPECT_TRUE(logOn->RequestPasswordChange(QStringLiteral("ANNA"), QStringLiteral("Noster")));
    const QString stored = Column(kAnna, QStringLiteral("LogonPassword")).toString();
    EXPECT_TRUE(IsPasswordHash(stored));
    EXPECT_TRUE(VerifyPassword(stored, QStringLiteral("Noster")));
    EXPECT_TRUE(VerifyPassword(Column(kBen, QStringLiteral("LogonPassword")).toString(), QStringLiteral("Pater")));
}

TEST_F(LogOnOverHttp, NoLogLineHoldsAPassword)
{
    kestrova::test::LogCapture log;
    AddUser(kAnna, QStringLiteral("anna"), HashPassword(QStringLiteral("Credo")));
    Client();
    std::unique_ptr<ROUser> user;
    EXPECT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("WrongSecret1"), user), 7);
    ASSERT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("Credo"), user), 0);
    EXPECT_TRUE(logOn->RequestPasswordChange(QStringLiteral("anna"), QStringLiteral("Noster7")));
    // With the database gone the operations write their error lines as well.
    server->ConnectionManager().AddConnection(QStringLiteral("MSSQL"),
                                              kestrova::test::TestDatabase::connectionString(QStringLiteral("127.0.0.1"), 1, QStringLiteral("none")), true);
    EXPECT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("Credo"), user), 1);
    EXPECT_FALSE(logOn->RequestPasswordChange(QStringLiteral("anna"), QStringLiteral("Later99")));
    const QString text = log.lines().join(QLatin1Char('\n'));
    EXPECT_TRUE(text.contains(QStringLiteral("VerifyUser")));
    for (const char *secret : {"WrongSecret1", "Credo", "Noster7", "Later99"})
        EXPECT_FALSE(text.contains(QLatin1String(secret))) << secret;
}

TEST_F(LogOnOverHttp, RepeatedFailuresAreLoggedWithNameAndAddressAndSlowFurtherAttempts)
{
    std::atomic<std::chrono::steady_clock::rep> ticks{std::chrono::steady_clock::now().time_since_epoch().count()};
    TLogOnThrottle::Server().SetClock([&ticks] { return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(ticks.load())); });
    kestrova::test::LogCapture log;
    AddUser(kAnna, QStringLiteral("anna"), HashPassword(QStringLiteral("Credo")));
    Client();
    std::unique_ptr<ROUser> user;
    for (int i = 0; i < TLogOnThrottle::kFreeFailuresPerName; ++i)
        EXPECT_EQ(Verify(QStringLiteral("Anna"), QStringLiteral("Guess%1").arg(i), user), 7);
    // Even the right password waits its turn, answered at once rather than held.
    EXPECT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("Credo"), user), 7);
    ticks += std::chrono::duration_cast<std::chrono::steady_clock::duration>(TLogOnThrottle::kFirstDelay).count();
    EXPECT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("Credo"), user), 0);

    const QStringList warnings = log.texts(QStringLiteral("Warning"), QStringLiteral("LogOnService"), QStringLiteral("VerifyUser"));
    ASSERT_EQ(warnings.size(), TLogOnThrottle::kFreeFailuresPerName + 1) << warnings.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(warnings.first(), QStringLiteral("Failed log-on of \"Anna\" from 127.0.0.1"));
    EXPECT_TRUE(warnings.last().startsWith(QStringLiteral("Log-on of \"anna\" from 127.0.0.1 refused unchecked"))) << warnings.last().toStdString();
    EXPECT_FALSE(log.lines().join(QLatin1Char('\n')).contains(QStringLiteral("Guess")));
}

TEST_F(LogOnOverHttp, VersionProbeAndOlderUpdateOperationsAnswer)
{
    Client();
    EXPECT_FALSE(logOn->GetServerVersion().isEmpty());
    EXPECT_FALSE(logOn->UpdateClient(QStringLiteral("Quorva"), 3));
    EXPECT_TRUE(CoProbeService::Create(std::make_shared<TROMessage>(), channel)->ProbeServer());
}

TEST_F(LogOnOverHttp, UpdatesComeFromAVersionFolderOnly)
{
    const QString updates = folder.path() + QStringLiteral("/Updates/");
    ASSERT_TRUE(QDir().mkpath(updates + QStringLiteral("1.0.0.9/plugins")));
    ASSERT_TRUE(QDir().mkpath(updates + QStringLiteral("1.0.0.5")));
    QFile top(updates + QStringLiteral("1.0.0.9/Quorva"));
    ASSERT_TRUE(top.open(QIODevice::WriteOnly));
    top.write("client");
    top.close();
    QFile plugin(updates + QStringLiteral("1.0.0.9/plugins/RvEvents.qor"));
    ASSERT_TRUE(plugin.open(QIODevice::WriteOnly));
    plugin.write("plugin");
    plugin.close();
    Client();
    QString newVersion;
    EXPECT_TRUE(logOn->UpdateClientEx(QStringLiteral("Quorva"), QStringLiteral("1.0.0.6"), newVersion));
    EXPECT_EQ(newVersion, QStringLiteral("1.0.0.9"));
    EXPECT_FALSE(logOn->UpdateClientEx(QStringLiteral("Quorva"), QStringLiteral("1.0.0.9"), newVersion));
    std::unique_ptr<UpdateFiles> files = logOn->DownloadClientUpdateEX(QStringLiteral("Quorva"), QStringLiteral("1.0.0.9"));
    ASSERT_TRUE(files);
    ASSERT_EQ(files->GetCount(), 2);
    EXPECT_EQ(files->Items(0).FileName, QStringLiteral("\\Quorva"));
    EXPECT_EQ(files->Items(1).FileName, QStringLiteral("\\plugins\\RvEvents.qor"));
    std::unique_ptr<UpdateFiles> outside = logOn->DownloadClientUpdateEX(QStringLiteral("Quorva"), QStringLiteral(".."));
    EXPECT_TRUE(!outside || outside->GetCount() == 0);
}

TEST_F(LogOnOverHttp, OtherServicesRefuseASessionNotLoggedOnWhileUsersExist)
{
    Client();
    auto events = CoEventsService::Create(message, channel);
    const auto refusal = [&]() -> QString {
        try {
            events->GetSchema(QString());
        } catch (const EROServerError &e) {
            return e.ClassName();
        }
        return QString();
    };
    // No user: the initial set-up reaches every service.
    EXPECT_NE(refusal(), QStringLiteral("EROSessionNotLoggedOn"));
    AddUser(kAnna, QStringLiteral("anna"), HashPassword(QStringLiteral("Credo")));
    EXPECT_EQ(refusal(), QStringLiteral("EROSessionNotLoggedOn"));
    EXPECT_EQ(logOn->VerifyInitialSetup(QStringLiteral("Quorva")), 4);
    std::unique_ptr<ROUser> user;
    ASSERT_EQ(Verify(QStringLiteral("anna"), QStringLiteral("Credo"), user), 0);
    EXPECT_NE(refusal(), QStringLiteral("EROSessionNotLoggedOn"));
    // Any logged-on user passes, administrator or not; another client's session does not.
    EXPECT_TRUE(Member().Service<CoEventsService>()->GetSchema(QString()).contains(QStringLiteral("DAScheduledMinistryFunctions")));
    EXPECT_THROW(NewClient().Service<CoEventsService>()->GetSchema(QString()), EROServerError);
}

} // namespace
