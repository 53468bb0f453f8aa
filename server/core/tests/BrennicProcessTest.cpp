// Starts the real Brennic program from a copy of the staging folder against a fresh database.
#include "Quorva_Data_Service_Intf.h"
#include "foundation/IniFile.h"
#include "remoting/RODiscovery.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "testsupport/DocumentReaders.h"
#include "pgdriver/uDAADODriver.h"
#include "server/database/uDMServerDatabase.h"
#include "server/tests/CurrentSchema.h"
#include "testsupport/FreePorts.h"
#include "testsupport/TestDatabase.h"
#include "testsupport/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

namespace {

using namespace std::chrono_literals;

bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit = 60s)
{
    return kestrova::test::WaitFor(done, limit);
}

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class BrennicProcess : public ::testing::Test
{
protected:
    BrennicProcess() : BrennicProcess(std::make_unique<kestrova::test::TestDatabase>()) {}
    explicit BrennicProcess(std::unique_ptr<kestrova::test::TestDatabase> database) : ownDb(std::move(database)), db(*ownDb) {}

    void SetUp() override
    {
        if (!db.available())
            return;
        ASSERT_TRUE(work.isValid());
        folder = work.filePath(QStringLiteral("stage"));
        // Hard links: the copy is instant, and the program finds its libraries beside it.
        ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), QStringLiteral(KESTROVA_STAGE_DIR), folder}), 0);
        const QString settings = folder + QStringLiteral("/Settings.ini");
        QFile::remove(settings);
        httpPort = kestrova::test::FreeTcpPort();
        discoveryPort = kestrova::test::FreeUdpPort();
        const auto set = [&](const char *section, const char *key, const QString &value) {
            ASSERT_TRUE(IniFile::writeString(settings, QString::fromLatin1(section), QString::fromLatin1(key), value));
        };
        set("Data Access", "Datatype", QStringLiteral("MSSQL"));
        set("Data Access", "DataSource", QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Server=%1,%2;Database=%3;UserID=postgres;Password=unused;")
                                             .arg(db.socketDir()).arg(db.port()).arg(db.name()));
        set("Server", "Port", QString::number(httpPort));
        set("Discovery Service", "Port", QString::number(discoveryPort));
        set("Updater", "Use Web check", QStringLiteral("False"));
        env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTROVA_LOCK_DIR"), work.path());
        env.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), work.path());
        env.remove(QStringLiteral("DISPLAY"));
    }

    std::unique_ptr<QProcess> start()
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->start(folder + QStringLiteral("/Brennic"), {QStringLiteral("--service")});
        return process;
    }

    bool probe()
    {
        try {
            auto channel = std::make_shared<TROHTTPChannel>();
            channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/Bin").arg(httpPort));
            channel->SetTimeout(2s);
            return CoProbeService::Create(std::make_shared<TROMessage>(), channel)->ProbeServer();
        } catch (const std::exception &) {
            return false;
        }
    }

    std::unique_ptr<kestrova::test::TestDatabase> ownDb;
    kestrova::test::TestDatabase &db;
    QTemporaryDir work{QStringLiteral(KESTROVA_STAGE_DIR "/../brennic-test-XXXXXX")};
    QString folder;
    int httpPort = 0;
    int discoveryPort = 0;
    QProcessEnvironment env;
};

TEST_F(BrennicProcess, StartsPatchesServesAndShutsDownInOrder)
{
    if (!db.available())
        GTEST_SKIP();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT max(Version) FROM dbo.tblDBVersion")), QStringLiteral("14"));
    auto server = start();
    ASSERT_TRUE(server->waitForStarted());
    // The climb to the current version imports the whole calendar; a loaded machine needs its time.
    ASSERT_TRUE(waitFor([&] { return probe() || server->state() == QProcess::NotRunning; }, 240s))
        << readFile(folder + QStringLiteral("/server_session.txt")).toStdString();
    ASSERT_EQ(server->state(), QProcess::Running) << readFile(folder + QStringLiteral("/server_session.txt")).toStdString();
    EXPECT_EQ(db.scalar(QStringLiteral("SELECT max(Version) FROM dbo.tblDBVersion")), QString::number(kDatabaseVersion));

    // Discovery on loopback finds it, with its HTTP port.
    TRODiscoveryClient discovery;
    discovery.SetTargetAddress(QHostAddress::LocalHost);
    discovery.SetTargetPort(quint16(discoveryPort));
    int answeredPort = 0;
    QObject::connect(&discovery, &TRODiscoveryClient::NewServiceFound,
                     [&](const QString &, const QString &, const TVODiscoveryResultOptions &options) { answeredPort = options.Port; });
    discovery.RefreshServerList(QStringLiteral("Kestrova"));
    ASSERT_TRUE(waitFor([&] { return answeredPort != 0; }, 10s));
    EXPECT_EQ(answeredPort, httpPort);

    // Without a display the service still renders reports: the engine's fonts need the GUI
    // application it runs on the offscreen platform. (No user yet: the calls are allowed.)
    db.exec(QStringLiteral("DELETE FROM dbo.tblUsers; INSERT INTO dbo.tblLocations (PK_LocationID, LocationName) "
                           "VALUES ('{0B000000-0000-0000-0000-000000000001}', 'Chapel of Ease');"));
    {
        auto channel = std::make_shared<TROHTTPChannel>();
        channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/Bin").arg(httpPort));
        channel->SetSessionID(QUuid::createUuid());
        auto message = std::make_shared<TROMessage>();
        message->SetClientID(channel->SessionID());
        const auto pdf = CoReportService::Create(message, channel)
                             ->GenerateReport(QStringLiteral("Locations.rtm"), QStringLiteral("rptDALocations"), {}, QStringLiteral("LocationName"));
        ASSERT_TRUE(pdf);
        const QStringList pages = kestrova::test::PdfPages(pdf->Bytes());
        ASSERT_EQ(pages.size(), 1);
        EXPECT_TRUE(pages.first().contains(QStringLiteral("Chapel of Ease"))) << pages.first().toStdString();
    }

    // A second instance refuses to start and leaves the first serving.
    auto second = start();
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_NE(second->exitCode(), 0);
    EXPECT_TRUE(probe());

    ::kill(pid_t(server->processId()), SIGTERM);
    ASSERT_TRUE(server->waitForFinished(30000));
    EXPECT_EQ(server->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server->exitCode(), 0);

    const QString log = readFile(folder + QStringLiteral("/server_session.txt"));
    const QStringList lines = log.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 8);
    const QString frame(82, QLatin1Char('*'));
    EXPECT_EQ(lines[0], frame);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("* Application   : Quorva Data Service\t1.")));
    EXPECT_EQ(lines[2], QStringLiteral("* Path          : Server path: %1/ ").arg(folder));
    EXPECT_TRUE(lines[6].endsWith(QStringLiteral(" : Information\tBrennic\t\tServer initialize "))) << lines[6].toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Information\tBrennic\t\t running as a service")));
    EXPECT_TRUE(log.contains(QStringLiteral("Information\tDMServer\tData Access :  MSSQL")));
    EXPECT_TRUE(log.contains(QStringLiteral("Information\tBrennic\t\tShutdown ")));
    EXPECT_EQ(lines.last(), frame);
    EXPECT_FALSE(log.contains(QStringLiteral("unused"))) << "the password reached the log";

    // Both listeners say when they listen; nothing of a first start on a new database is a failure.
    const QString http = QStringLiteral("Information\tDMServer\tHTTP server listening on port %1").arg(httpPort);
    const QString udp = QStringLiteral("Information\tDMServer\tDiscovery listening on UDP port %1 ").arg(discoveryPort);
    EXPECT_TRUE(log.contains(http)) << log.toStdString();
    EXPECT_TRUE(log.contains(udp)) << log.toStdString();
    const QStringList severe = lines.filter(QStringLiteral(" : Severe "));
    EXPECT_TRUE(severe.isEmpty()) << severe.join(QLatin1Char('\n')).toStdString();

    // A service writes the same lines to standard error, for its console and the journal.
    const QString console = QString::fromUtf8(server->readAllStandardError());
    EXPECT_TRUE(console.startsWith(frame + QLatin1Char('\n'))) << console.toStdString();
    EXPECT_TRUE(console.contains(http)) << console.toStdString();
    EXPECT_TRUE(console.contains(QStringLiteral(" : Information\tBrennic\t\tShutdown \n"))) << console.toStdString();
}

// A database at the current schema: the server starts in seconds.
class CurrentBrennic : public BrennicProcess
{
protected:
    CurrentBrennic() : BrennicProcess(std::make_unique<kestrova::test::TestDatabase>(kestrova::test::CurrentSchemaStage())) {}
};

TEST_F(CurrentBrennic, AStopEndsTheServerWithinSecondsWhileARequestWaitsOnTheDatabase)
{
    if (!db.available())
        GTEST_SKIP();
    auto server = start();
    ASSERT_TRUE(waitFor([&] { return probe() || server->state() == QProcess::NotRunning; }, 120s))
        << readFile(folder + QStringLiteral("/server_session.txt")).toStdString();

    // A log-on reads the users' table, which a second session holds: the request waits on it.
    TDAADODriver driver;
    TDAEADOConnection holder;
    holder.SetConnectionString(db.connectionString());
    holder.BeginTransaction();
    holder.NewCommand(QStringLiteral("LOCK TABLE dbo.tblUsers IN ACCESS EXCLUSIVE MODE"))->Execute();
    // 0 is a log-on; an answer that the database work failed is another number.
    std::atomic<int> answer{-1};
    std::unique_ptr<QThread> client(QThread::create([&] {
        try {
            auto channel = std::make_shared<TROHTTPChannel>();
            channel->SetTargetURL(QStringLiteral("http://127.0.0.1:%1/Bin").arg(httpPort));
            channel->SetSessionID(QUuid::createUuid());
            channel->SetTimeout(120s);
            auto message = std::make_shared<TROMessage>();
            message->SetClientID(channel->SessionID());
            std::unique_ptr<ROUser> user;
            answer = CoLogOnService::Create(message, channel)->VerifyUser(QStringLiteral("Quorva"), QStringLiteral("someone"),
                                                                         QStringLiteral("pw"), false, QString(), false, user);
        } catch (const std::exception &) {
            // Answered with an error or cut off: either is an end.
        }
    }));
    client->start();
    ASSERT_TRUE(waitFor([&] {
        return db.scalar(QStringLiteral("SELECT count(*) FROM pg_locks l JOIN pg_database d ON d.oid = l.database "
                                        "WHERE NOT l.granted AND d.datname = current_database()")) != QStringLiteral("0");
    }, 30s));

    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(server->processId()), SIGTERM);
    ASSERT_TRUE(server->waitForFinished(30000));
    EXPECT_LT(stopping.elapsed(), 8000);
    EXPECT_EQ(server->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server->exitCode(), 0);
    EXPECT_TRUE(client->wait(10000));
    EXPECT_NE(answer, 0);
    holder.RollbackTransaction();
    const QString log = readFile(folder + QStringLiteral("/server_session.txt"));
    EXPECT_TRUE(log.contains(QStringLiteral("Information\tBrennic\t\tShutdown "))) << log.toStdString();
    EXPECT_TRUE(log.trimmed().endsWith(QString(82, QLatin1Char('*')))) << "no footer";
}

TEST_F(BrennicProcess, AMissingSettingsFileEndsTheProgramWithItsReason)
{
    if (!db.available())
        GTEST_SKIP();
    QFile::remove(folder + QStringLiteral("/Settings.ini"));
    auto server = start();
    ASSERT_TRUE(server->waitForFinished(30000));
    EXPECT_NE(server->exitCode(), 0);
    const QString log = readFile(folder + QStringLiteral("/server_session.txt"));
    EXPECT_TRUE(log.contains(QStringLiteral("Unable to locate configuration file,please fix this before continuing")));
    EXPECT_TRUE(QString::fromUtf8(server->readAllStandardError())
                    .contains(QStringLiteral("Severe     \tBrennic\tServer startup Unable to locate configuration file")));
}

} // namespace
