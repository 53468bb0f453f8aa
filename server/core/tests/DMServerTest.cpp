#include "server/core/uDMServer.h"
#include "server/core/uLogOnGate.h"
#include "server/core/ufServerForm.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDAConnectionManager.h"
#include "foundation/IniFile.h"
#include "foundation/QuorvaLogFile.h"
#include "remoting/ROSessionManager.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "testsupport/Wait.h"

#include <gtest/gtest.h>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

TEST(ConnectionString, ProviderNamesReplaceTheFrameworkNames)
{
    EXPECT_EQ(TDMServer::NormalizeConnectionString(
                  QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=HOST;Database=Kestrova;UserID=sa;Password=x y;")),
              QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Data Source=HOST;Initial Catalog=Kestrova;User ID=sa;Password=x y;"));
    const QString normalised = QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Data Source=HOST;Initial Catalog=Kestrova;User ID=sa;");
    EXPECT_EQ(TDMServer::NormalizeConnectionString(normalised), normalised);
}

TEST(ConnectionString, ValuesKeepTheirTextAndOnlyExactKeysChange)
{
    // A server whose name holds the word "Server", and values holding the old sentinels.
    EXPECT_EQ(TDMServer::NormalizeConnectionString(QStringLiteral("ADO?Server=MyServer\\SQL;Password=p*a@s s;server=x;Server=second")),
              QStringLiteral("ADO?Server=MyServer\\SQL;Password=p*a@s s;server=x;Data Source=second"));
    EXPECT_EQ(TDMServer::NormalizeConnectionString(QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=Server Room;Database=A;Database=B")),
              QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Data Source=Server Room;Initial Catalog=A;Database=B"));
    EXPECT_EQ(TDMServer::NormalizeConnectionString(QString()), QString());
}

TEST(ConnectionString, PasswordsAreHiddenInLogLines)
{
    EXPECT_EQ(TDMServer::MaskPassword(QStringLiteral("ADO?Data Source=h;Password=secret;User ID=sa;")),
              QStringLiteral("ADO?Data Source=h;Password=*****;User ID=sa;"));
    EXPECT_EQ(TDMServer::MaskPassword(QStringLiteral("ADO?pwd=secret")), QStringLiteral("ADO?pwd=*****"));
}

// The gate is the core's own: it reaches the database only for a session nobody logged on in
// that calls a service other than the log-on and probe services.
TEST(LogOnGate, TouchesTheDatabaseOnlyForSessionsNotLoggedOnOutsideTheLogOnServices)
{
    int connects = 0;
    const ROSessionCheck gate = MakeLogOnGate([&connects]() -> std::unique_ptr<IDAConnection> {
        ++connects;
        throw std::runtime_error("no database in this test");
    });
    TROSession anonymous(QUuid::createUuid());
    EXPECT_NO_THROW(gate(QStringLiteral("logonservice"), anonymous));
    EXPECT_NO_THROW(gate(QStringLiteral("ProbeService"), anonymous));
    TROSession member(QUuid::createUuid());
    TvoUser user;
    user.UserLevel = 1;
    member.SetUser(user);
    EXPECT_NO_THROW(gate(QStringLiteral("EventsService"), member));
    EXPECT_EQ(connects, 0);
    EXPECT_THROW(gate(QStringLiteral("EventsService"), anonymous), std::runtime_error);
    EXPECT_EQ(connects, 1);
}

TEST(LogOnGate, AnAdministratorHoldsEveryRightsBit)
{
    EXPECT_TRUE(IsAdministrator(kAdministratorRights));
    EXPECT_TRUE(IsAdministrator(-1));
    EXPECT_FALSE(IsAdministrator(kAdministratorRights - 1));
    EXPECT_FALSE(IsAdministrator(0));
}

TEST(SqlHelpers, DatesAndQuotes)
{
    EXPECT_EQ(TDMServer::QuoteSQLText(QStringLiteral("O'Brien's")), QStringLiteral("O''Brien''s"));
    EXPECT_EQ(TDMServer::QuoteSQLText(QStringLiteral("''")), QStringLiteral("''''"));
    const QString date = TDMServer::FormatSQLDate(QDate(2007, 3, 5));
    EXPECT_TRUE(date.startsWith(QStringLiteral("03"))) << date.toStdString();
    EXPECT_TRUE(date.endsWith(QStringLiteral("2007"))) << date.toStdString();
    EXPECT_EQ(date.mid(3, 2), QStringLiteral("05"));
}

class DataModule : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + QLatin1Char('/');
        log = std::make_unique<TQorLog>();
        log->SetFileName(folder + QStringLiteral("log.txt"));
        SessionLog = log.get();
    }
    void TearDown() override { SessionLog = nullptr; }
    void writeBasics()
    {
        writeFile(folder + QStringLiteral("settings.ini"), "[Server]\nPort=8081\n");
        writeFile(folder + QStringLiteral("server.lng"), "100=Quorva Data Service\n101=Close\n102=Version \n");
        QDir().mkpath(folder + QStringLiteral("Reports"));
    }
    QString logText() const
    {
        QFile f(log->FileName());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QTemporaryDir dir;
    QString folder;
    std::unique_ptr<TQorLog> log;
};

TEST_F(DataModule, MissingPiecesOfTheConfigurationAreNamed)
{
    TDMServer server(folder);
    EXPECT_EQ(server.GetText(100), QStringLiteral("Invalid # 100"));
    try {
        server.LoadConfiguration();
        FAIL();
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Unable to locate configuration file,please fix this before continuing");
    }
    writeFile(folder + QStringLiteral("Settings.ini"), "[System settings]\n");
    try {
        server.LoadConfiguration();
        FAIL();
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Unable to locate languagepack");
    }
    writeFile(folder + QStringLiteral("server.lng"), "100=Title\n");
    try {
        server.LoadConfiguration();
        FAIL();
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Unable to locate Report path");
    }
    QDir().mkpath(folder + QStringLiteral("Reports"));
    server.LoadConfiguration();
    EXPECT_EQ(server.ReportPath(), folder + QStringLiteral("Reports/"));
    EXPECT_EQ(server.GetText(100), QStringLiteral("Title"));
    EXPECT_TRUE(logText().contains(QStringLiteral("Information\tDMServer\tlanguagepack :  ") + folder + QStringLiteral("server.lng")));
}

TEST_F(DataModule, MissingKeysTakeTheirDefaults)
{
    writeBasics();
    writeFile(folder + QStringLiteral("settings.ini"), "[Data Access]\n");
    TDMServer server(folder);
    server.LoadConfiguration();
    // 8081, not the 8099 that the settings editor and the clients default to.
    EXPECT_EQ(server.ConfiguredHttpPort(), 8081);
    EXPECT_EQ(server.ConfiguredDiscoveryPort(), 8098);
    EXPECT_TRUE(server.ConfiguredDiscovery());
    writeFile(folder + QStringLiteral("settings.ini"), "[Discovery Service]\nUse discovery=false\nPort=9000\n[Server]\nPort=8099\n");
    EXPECT_EQ(server.ConfiguredHttpPort(), 8099);
    EXPECT_EQ(server.ConfiguredDiscoveryPort(), 9000);
    EXPECT_FALSE(server.ConfiguredDiscovery());
}

TEST_F(DataModule, DataTypeFailuresAreLoggedAndReported)
{
    writeBasics();
    TDMServer server(folder);
    server.LoadConfiguration();
    EXPECT_TRUE(server.InitializeServer());
    EXPECT_TRUE(logText().contains(QStringLiteral("Severe     \tDMServer\tVerifyServer No Data Access Type defined in the settings.ini file")));
    IniFile::writeString(folder + QStringLiteral("settings.ini"), QStringLiteral("Data Access"), QStringLiteral("Datatype"),
                         QStringLiteral("access"));
    EXPECT_TRUE(server.InitializeServer());
    EXPECT_TRUE(logText().contains(QStringLiteral("VerifyServer Microsoft Access in not longer supported!")));
    // With Use Web check missing the timer runs; its ticks then do nothing.
    EXPECT_TRUE(server.WebCheckActive());
}

TEST_F(DataModule, ThreeFailedAttemptsTakeThreeSecondsAndHideThePassword)
{
    writeBasics();
    IniFile::writeString(folder + QStringLiteral("settings.ini"), QStringLiteral("Data Access"), QStringLiteral("Datatype"),
                         QStringLiteral("MSSQL"));
    IniFile::writeString(folder + QStringLiteral("settings.ini"), QStringLiteral("Data Access"), QStringLiteral("DataSource"),
                         QStringLiteral("SDAC?Server=/nonexistent,1;Database=none;UserID=nobody;Password=topsecret;"));
    TDMServer server(folder);
    server.LoadConfiguration();
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(server.InitializeServer());
    EXPECT_GE(timer.elapsed(), 3000);
    const QString text = logText();
    EXPECT_EQ(text.count(QStringLiteral("Severe     \tDMServer\tUnable to connect to database ")), 3);
    EXPECT_FALSE(text.contains(QStringLiteral("topsecret")));
    EXPECT_TRUE(text.contains(QStringLiteral("VerifyServer Could not connect to db after 3 attempts")));
    EXPECT_TRUE(text.contains(QStringLiteral("Information\tDMServer\tData Access :  parsing driver")));
    // The ADO form goes back into the settings file.
    EXPECT_EQ(IniFile::readString(folder + QStringLiteral("settings.ini"), QStringLiteral("Data Access"), QStringLiteral("DataSource"), {}),
              QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Data Source=/nonexistent,1;Initial Catalog=none;User ID=nobody;Password=topsecret;"));
}

TEST_F(DataModule, AnOlderDatabaseNamedInTheSettingsBecomesTheMigrationSource)
{
    writeBasics();
    const QString settings = folder + QStringLiteral("settings.ini");
    IniFile::writeString(settings, QStringLiteral("Data Access"), QStringLiteral("Datatype"), QStringLiteral("MSSQL"));
    IniFile::writeString(settings, QStringLiteral("Data Access"), QStringLiteral("DataSource"),
                         QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=/nonexistent,1;Database=none;"));
    TDMServer server(folder);
    server.LoadConfiguration();
    EXPECT_TRUE(server.InitializeServer());
    EXPECT_EQ(server.ConnectionManager().FindConnection(QStringLiteral("Access")), nullptr);

    IniFile::writeString(settings, QStringLiteral("Data Access"), QStringLiteral("Access"),
                         QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=/nonexistent,1;Database=older;"));
    EXPECT_TRUE(server.InitializeServer());
    const TDAConnectionDefinition *source = server.ConnectionManager().FindConnection(QStringLiteral("Access"));
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->GetConnectionString(), QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=/nonexistent,1;Database=older;"));
}

TEST_F(DataModule, UpdatesTakeTheHighestNewerVersionFromAChildFolder)
{
    writeBasics();
    writeFile(folder + QStringLiteral("Updates/1.2.0.0/Quorva"), "old");
    writeFile(folder + QStringLiteral("Updates/1.10.0.0/Quorva"), "newest");
    writeFile(folder + QStringLiteral("Updates/1.10.0.0/plugins/RvEvents.qor"), "plugin");
    writeFile(folder + QStringLiteral("Updates/1.3.0.0/Quorva"), "middle");
    writeFile(folder + QStringLiteral("Updates/notes.txt"), "not a version");
    TDMServer server(folder);
    QString newer;
    EXPECT_TRUE(server.CheckClientUpdate(QStringLiteral("Quorva"), QStringLiteral("1.2.0.0"), newer));
    EXPECT_EQ(newer, QStringLiteral("1.10.0.0"));
    EXPECT_FALSE(server.CheckClientUpdate(QStringLiteral("Quorva"), QStringLiteral("1.10"), newer));
    EXPECT_TRUE(newer.isEmpty());

    const auto files = server.GetUpdateFiles(QStringLiteral("1.10.0.0"));
    ASSERT_TRUE(files);
    ASSERT_EQ(files->GetCount(), 2);
    EXPECT_EQ(files->Items(0).FileName, QStringLiteral("\\Quorva"));
    EXPECT_EQ(files->Items(0).Filedata().Bytes(), QByteArray("newest"));
    EXPECT_EQ(files->Items(1).FileName, QStringLiteral("\\plugins\\RvEvents.qor"));
    EXPECT_FALSE(server.GetUpdateFiles(QStringLiteral("9.9.9.9")));
    EXPECT_FALSE(server.GetUpdateFiles(QStringLiteral("../Updates")));
    EXPECT_FALSE(server.GetUpdateFiles(QStringLiteral("1.10.0.0/plugins")));
}

TEST_F(DataModule, UpdatesServeOnlyRegularFilesInsideTheUpdatesFolder)
{
    writeBasics();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    const QString secret = elsewhere.filePath(QStringLiteral("shadow"));
    writeFile(secret, "root:secret");
    writeFile(elsewhere.filePath(QStringLiteral("etc/passwd")), "root:x");
    const QString version = folder + QStringLiteral("Updates/1.10.0.0/");
    writeFile(version + QStringLiteral("Quorva"), "client");
    writeFile(folder + QStringLiteral("Updates/shared.qor"), "shared");
    ASSERT_TRUE(QFile::link(secret, version + QStringLiteral("Quorva.cfg")));
    ASSERT_TRUE(QFile::link(elsewhere.filePath(QStringLiteral("etc")), version + QStringLiteral("plugins")));
    ASSERT_TRUE(QFile::link(folder + QStringLiteral("Updates/shared.qor"), version + QStringLiteral("shared.qor")));
    ASSERT_TRUE(QFile::link(elsewhere.path(), folder + QStringLiteral("Updates/2.0.0.0")));
    TDMServer server(folder);

    const auto files = server.GetUpdateFiles(QStringLiteral("1.10.0.0"));
    ASSERT_TRUE(files);
    QStringList names;
    for (int i = 0; i < files->GetCount(); ++i) {
        names << files->Items(i).FileName;
        EXPECT_NE(files->Items(i).Filedata().Bytes(), QByteArray("root:secret"));
        EXPECT_NE(files->Items(i).Filedata().Bytes(), QByteArray("root:x"));
    }
    EXPECT_EQ(names, QStringList({"\\Quorva", "\\shared.qor"})) << "a link that stays inside is a file inside";
    EXPECT_FALSE(server.GetUpdateFiles(QStringLiteral("2.0.0.0"))) << "a version folder that leads outside";
    const QString text = logText();
    for (const QString &skipped : {version + QStringLiteral("Quorva.cfg"), version + QStringLiteral("plugins"),
                                   folder + QStringLiteral("Updates/2.0.0.0")})
        EXPECT_TRUE(text.contains(QStringLiteral("Warning    \tDMServer\tGetUpdateFiles ") + skipped + QStringLiteral(" is not served")))
            << skipped.toStdString() << "\n" << text.toStdString();
}

TEST_F(DataModule, APortThatIsNoPortNumberStopsTheStartNamingKeyAndValue)
{
    struct Case
    {
        const char *section;
        const char *value;
        bool discovery = true;
    };
    for (const Case c : {Case{"Server", ""}, Case{"Server", "99999"}, Case{"Server", "80a9x"}, Case{"Server", "0"},
                         Case{"Discovery Service", ""}, Case{"Discovery Service", "99999"}, Case{"Discovery Service", "80a9x"},
                         Case{"Discovery Service", "99999", false}}) {
        writeBasics();
        IniFile::writeString(folder + QStringLiteral("settings.ini"), QString::fromLatin1(c.section), QStringLiteral("Port"),
                             QString::fromLatin1(c.value));
        if (!c.discovery)
            IniFile::writeString(folder + QStringLiteral("settings.ini"), QStringLiteral("Discovery Service"),
                                 QStringLiteral("Use discovery"), QStringLiteral("FALSE"));
        const qsizetype logged = logText().size();
        TDMServer server(folder);
        server.LoadConfiguration();
        EXPECT_TRUE(server.InitializeServer()) << c.section << " " << c.value;
        const QString refused = QStringLiteral("Severe     \tDMServer\tVerifyServer [%1] Port = \"%2\" in settings.ini "
                                               "is not a port number from 1 to 65535")
                                    .arg(QString::fromLatin1(c.section), QString::fromLatin1(c.value));
        if (c.discovery) {
            EXPECT_TRUE(logText().contains(refused)) << logText().toStdString();
        } else {
            // Switched off, its port is not checked: the start goes on to the next missing piece.
            const QString run = logText().mid(logged);
            EXPECT_FALSE(run.contains(QStringLiteral("is not a port number"))) << run.toStdString();
            EXPECT_TRUE(run.contains(QStringLiteral("No Data Access Type defined"))) << run.toStdString();
        }
        EXPECT_EQ(server.HttpPort(), 0) << "nothing listens";
        EXPECT_EQ(server.DiscoveryPort(), 0);
    }
}

TEST_F(DataModule, TrayTipsComeFromTheLanguageTexts)
{
    writeBasics();
    TDMServer server(folder);
    server.LoadConfiguration();
    server.ServerVersion = QStringLiteral("1.2.3.4");
    TServerForm form(server);
    EXPECT_EQ(form.TrayIcon().Tip(), QStringLiteral("Quorva Data Service .. please wait"));
    EXPECT_EQ(form.VersionCaption(), QStringLiteral("Version 1.2.3.4"));
    EXPECT_EQ(form.CloseCaption(), QStringLiteral("Close"));
    form.UpdateTrayIcon();
    EXPECT_EQ(form.TrayIcon().Tip(), QStringLiteral("Quorva Data Service"));
    form.TrayIcon().SetTip(QString(80, QLatin1Char('x')));
    EXPECT_EQ(form.TrayIcon().Tip().size(), 63);
}

TEST_F(DataModule, WithoutAUsageServiceTheWebCheckSaysSoOnce)
{
    writeBasics();
    writeFile(folder + QStringLiteral("settings.ini"), "[Updater]\nUse Web check=TRUE\n");
    TDMServer server(folder);
    server.LoadConfiguration();
    for (int tick = 0; tick < 3; ++tick)
        server.tmrWebCheckTimer();
    EXPECT_EQ(logText().count(QStringLiteral("report skipped")), 1) << logText().toStdString();
}

TEST_F(DataModule, AFailedUsageReportIsLoggedAsSimpleLogFailure)
{
    writeBasics();
    // Nothing listens on the discard port of the loopback: the report is refused at once.
    writeFile(folder + QStringLiteral("settings.ini"), "[Updater]\nUse Web check=TRUE\n[WebServices]\nLogService=http://127.0.0.1:9\n");
    TDMServer server(folder);
    server.LoadConfiguration();
    server.tmrWebCheckTimer();
    const QString context = QStringLiteral("Severe     \tDMServer\tCheckUpdateServer:SimpleLog ");
    EXPECT_TRUE(kestrova::test::WaitFor([&] { return logText().contains(context); }, std::chrono::seconds(20))) << logText().toStdString();
}

} // namespace
